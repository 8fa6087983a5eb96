#include "Foundation/Bundle.h"

#include <errno.h>

#include <cstdlib>

#include "Foundation/FileManager.h"
#include "Foundation/PropertyList.h"

#ifndef VCC_DEFAULT_RESOURCES_DIR
#define VCC_DEFAULT_RESOURCES_DIR "Resources"
#endif

namespace ns {

std::shared_ptr<Bundle> Bundle::mainBundle() {
  static const auto* main = new std::shared_ptr<Bundle>([] {
    const char* env = std::getenv("VCC_RESOURCES_DIR");
    return std::make_shared<Bundle>()->initWithPath(env && *env ? env : VCC_DEFAULT_RESOURCES_DIR);
  }());
  return *main;
}

std::shared_ptr<Bundle> Bundle::initWithPath(std::string resourcePath) {
  resourcePath_ = std::move(resourcePath);
  if (auto info = dictionaryWithContentsOfFile(resourcePath_ + "/Info.plist")) info_ = std::move(*info);
  return std::static_pointer_cast<Bundle>(shared_from_this());
}

std::string Bundle::infoString(const char* key) const {
  const std::string* text = info_[key].asString();
  return text ? *text : std::string();
}

std::string Bundle::bundleIdentifier() const { return infoString(kCFBundleIdentifierKey); }
std::string Bundle::name() const { return infoString(kCFBundleNameKey); }
std::string Bundle::version() const { return infoString(kCFBundleVersionKey); }
std::string Bundle::shortVersion() const { return infoString(kCFBundleShortVersionStringKey); }

std::string Bundle::executable() const {
  std::string executable = infoString(kCFBundleExecutableKey);
  return executable.empty() ? std::string(program_invocation_short_name) : executable;
}

std::optional<std::string> Bundle::pathForResource(const std::string& name, const std::string& type) const {
  if (name.empty() || name.find("..") != std::string::npos) return std::nullopt;
  std::string file = type.empty() ? name : name + "." + type;
  std::string path = stringByAppendingPathComponent(resourcePath_, file);
  bool isDirectory = false;
  if (!FileManager::defaultManager()->fileExistsAtPath(path, &isDirectory) || isDirectory)
    return std::nullopt;
  return path;
}

std::string Bundle::localizedStringForKey(const std::string& key, const std::string& value,
                                          const std::string& table) const {
  if (auto path = pathForResource(table.empty() ? "Localizable" : table, "strings")) {
    if (auto strings = dictionaryWithContentsOfFile(*path))
      if (const std::string* text = (*strings)[key].asString()) return *text;
  }
  return value.empty() ? key : value;
}

std::string localizedString(const std::string& key) {
  return Bundle::mainBundle()->localizedStringForKey(key);
}

}  // namespace ns
