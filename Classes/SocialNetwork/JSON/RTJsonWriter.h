#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Classes/SocialNetwork/JSON/RTJsonBase.h"
#include "Foundation/Value.h"

// An object the writer cannot write itself but can stand for a JSON value: the writer writes
// its proxy instead.
class RTJsonProxy {
 public:
  virtual ~RTJsonProxy() = default;
  virtual ns::Value proxyForJson() const = 0;
};

// Writes values as JSON text, compact or indented (a line feed and two blanks per level, " : "
// between key and value), with keys in dictionary order or sorted. Failures leave nil and a trace.
class RTJsonWriter final : public RTJsonBase {
 public:
  std::shared_ptr<RTJsonWriter> init() { return std::static_pointer_cast<RTJsonWriter>(shared_from_this()); }

  // A dictionary or an array (or an object whose proxy is one), else nil with code 4.
  std::optional<std::string> stringWithObject(const ns::Value& value);
  // Any value JSON can hold.
  std::optional<std::string> stringWithFragment(const ns::Value& value);

  bool sortKeys() const { return sortKeys_.load(); }
  void setSortKeys(bool sortKeys) { sortKeys_.store(sortKeys); }
  bool humanReadable() const { return humanReadable_.load(); }
  void setHumanReadable(bool humanReadable) { humanReadable_.store(humanReadable); }

 private:
  bool appendValue(const ns::Value& value, std::string& json);
  bool appendArray(const ns::Array& array, std::string& json);
  bool appendDictionary(const ns::Dictionary& dictionary, std::string& json);
  bool appendString(std::string_view text, std::string& json);
  void appendIndent(std::string& json) const;

  std::atomic<bool> sortKeys_{false};
  std::atomic<bool> humanReadable_{false};
};
