#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace ns {

// Persistent settings: a dictionary kept as a property list. The standard store is
// Library/Preferences/<bundle identifier>.plist in the sandbox (file mode 0600). Changes are
// seen at once in this process and reach the file on synchronize(). Safe from several threads.
class UserDefaults final : public Object {
 public:
  static std::shared_ptr<UserDefaults> standardUserDefaults();
  // A store over its own file (read now if it exists).
  std::shared_ptr<UserDefaults> initWithPath(std::string path);

  Value objectForKey(const std::string& key) const;
  std::optional<std::string> stringForKey(const std::string& key) const;
  bool boolForKey(const std::string& key) const;
  std::int64_t integerForKey(const std::string& key) const;
  double doubleForKey(const std::string& key) const;
  std::optional<Array> arrayForKey(const std::string& key) const;
  std::optional<Dictionary> dictionaryForKey(const std::string& key) const;

  // Values must be property-list values; anything else (or nil) is refused with a log line.
  void setObject(const Value& value, const std::string& key);
  void setBool(bool value, const std::string& key) { setObject(Value(value), key); }
  void setInteger(std::int64_t value, const std::string& key) { setObject(Value(value), key); }
  void setDouble(double value, const std::string& key) { setObject(Value(value), key); }
  void removeObjectForKey(const std::string& key);

  // Writes pending changes atomically; false when the file cannot be written.
  bool synchronize();
  const std::string& path() const { return path_; }

 private:
  mutable std::mutex mutex_;
  std::string path_;
  Dictionary values_;
  bool dirty_ = false;
};

}  // namespace ns
