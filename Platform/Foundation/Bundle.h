#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace ns {

inline constexpr const char* kCFBundleNameKey = "CFBundleName";
inline constexpr const char* kCFBundleVersionKey = "CFBundleVersion";
inline constexpr const char* kCFBundleShortVersionStringKey = "CFBundleShortVersionString";
inline constexpr const char* kCFBundleIdentifierKey = "CFBundleIdentifier";
inline constexpr const char* kCFBundleExecutableKey = "CFBundleExecutable";

// The application's bundle: its resources folder and the Info property list in it ("Info.plist").
// The main bundle's resources folder is $VCC_RESOURCES_DIR when set, else the folder the build
// names (the source tree's Resources/).
class Bundle final : public Object {
 public:
  static std::shared_ptr<Bundle> mainBundle();
  // A bundle over any resources folder (tests, tools).
  std::shared_ptr<Bundle> initWithPath(std::string resourcePath);

  const std::string& resourcePath() const { return resourcePath_; }
  const Dictionary& infoDictionary() const { return info_; }
  const Value& objectForInfoDictionaryKey(const std::string& key) const { return info_[key]; }
  // Empty strings when the Info property list lacks them; the executable falls back to the
  // running program's name.
  std::string bundleIdentifier() const;
  std::string name() const;
  std::string version() const;
  std::string shortVersion() const;
  std::string executable() const;

  // "<resources>/<name>.<type>" (type may be empty or given in the name) when that file exists.
  std::optional<std::string> pathForResource(const std::string& name, const std::string& type) const;

  // The translation of a key from the table "<table or Localizable>.strings" (a property list
  // dictionary) in the resources; the value, or else the key, when the table has none.
  std::string localizedStringForKey(const std::string& key, const std::string& value = "",
                                    const std::string& table = "") const;

 private:
  std::string infoString(const char* key) const;
  std::string resourcePath_;
  Dictionary info_;
};

// The main bundle's translation of a key, or the key itself.
std::string localizedString(const std::string& key);

}  // namespace ns
