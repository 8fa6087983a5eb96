#include "Foundation/UserDefaults.h"

#include <filesystem>

#include "Foundation/Bundle.h"
#include "Foundation/DataFile.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/PropertyList.h"

namespace ns {

std::shared_ptr<UserDefaults> UserDefaults::standardUserDefaults() {
  static const auto* standard = new std::shared_ptr<UserDefaults>([] {
    std::string identifier = Bundle::mainBundle()->bundleIdentifier();
    if (identifier.empty()) identifier = "application";
    std::string folder = libraryDirectory() + "/Preferences";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::make_shared<UserDefaults>()->initWithPath(folder + "/" + identifier + ".plist");
  }());
  return *standard;
}

std::shared_ptr<UserDefaults> UserDefaults::initWithPath(std::string path) {
  std::lock_guard lock(mutex_);
  path_ = std::move(path);
  if (auto stored = dictionaryWithContentsOfFile(path_)) values_ = std::move(*stored);
  return std::static_pointer_cast<UserDefaults>(shared_from_this());
}

Value UserDefaults::objectForKey(const std::string& key) const {
  std::lock_guard lock(mutex_);
  return values_[key];
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
  Value value = objectForKey(key);
  if (auto text = value.asString()) return *text;
  if (value.isNumber() && !value.isBool()) return value.describe();
  return std::nullopt;
}

bool UserDefaults::boolForKey(const std::string& key) const { return objectForKey(key).boolValue(); }
std::int64_t UserDefaults::integerForKey(const std::string& key) const {
  return objectForKey(key).integerValue();
}
double UserDefaults::doubleForKey(const std::string& key) const { return objectForKey(key).doubleValue(); }

std::optional<Array> UserDefaults::arrayForKey(const std::string& key) const {
  Value value = objectForKey(key);
  return value.asArray() ? std::optional<Array>(*value.asArray()) : std::nullopt;
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(const std::string& key) const {
  Value value = objectForKey(key);
  return value.asDictionary() ? std::optional<Dictionary>(*value.asDictionary()) : std::nullopt;
}

void UserDefaults::setObject(const Value& value, const std::string& key) {
  if (value.isNil()) return removeObjectForKey(key);
  if (!PropertyListSerialization::propertyListIsValid(value)) {
    log("Attempt to set a non-property-list object %@ as a user default for key %@", value, key);
    return;
  }
  std::lock_guard lock(mutex_);
  values_.set(key, value);
  dirty_ = true;
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  std::lock_guard lock(mutex_);
  if (values_.remove(key)) dirty_ = true;
}

bool UserDefaults::synchronize() {
  std::lock_guard lock(mutex_);
  if (!dirty_) return true;
  auto data = PropertyListSerialization::dataWithPropertyList(Value(values_), PropertyListFormat::Binary);
  if (!data || !writeDataToFile(*data, path_, true, nullptr, 0600)) return false;
  dirty_ = false;
  return true;
}

}  // namespace ns
