#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "Foundation/Value.h"

namespace ns {

// One argument of ns::format, captured by value so the format string decides how it prints.
class FormatArg {
 public:
  template <std::integral T>
    requires(!std::same_as<T, bool>)
  FormatArg(T n) {
    if constexpr (std::is_signed_v<T>)
      value_ = static_cast<std::int64_t>(n);
    else
      value_ = static_cast<std::uint64_t>(n);
  }
  FormatArg(bool b) : value_(static_cast<std::int64_t>(b)) {}
  FormatArg(double d) : value_(d) {}
  FormatArg(const char* s) : value_(s ? std::string_view(s) : std::string_view("(null)")) {}
  FormatArg(std::string_view s) : value_(s) {}
  FormatArg(const std::string& s) : value_(std::string_view(s)) {}
  FormatArg(const Value& v) : value_(&v) {}
  // Collections are described when the line is made, only as far as it shows them.
  FormatArg(const Dictionary& d) : value_(Value(d)) {}
  FormatArg(const Array& a) : value_(Value(a)) {}
  // Plain value types that print themselves (a URL, say).
  template <class T>
    requires(!std::derived_from<T, Object> && !std::same_as<T, Value> &&
             requires(const T& t) { { t.describe() } -> std::convertible_to<std::string>; })
  FormatArg(const T& v) : value_(v.describe()) {}
  template <class T>
    requires std::derived_from<T, Object>
  FormatArg(const std::shared_ptr<T>& object) : value_(object ? object->describe() : std::string("(null)")) {}
  template <class T>
    requires std::derived_from<T, Object>
  FormatArg(const T* object) : value_(object ? object->describe() : std::string("(null)")) {}
  FormatArg(const void* p) : value_(Pointer{p}) {}
  FormatArg(std::nullptr_t) : value_(Pointer{nullptr}) {}

  struct Pointer {
    const void* p;
  };
  using Storage =
      std::variant<std::int64_t, std::uint64_t, double, std::string_view, std::string, const Value*, Value, Pointer>;
  const Storage& storage() const { return value_; }

 private:
  Storage value_;
};

// printf-style formatting with the platform's %@ (anything's description). Flags, width,
// precision (also as *), and length modifiers are understood; the decimal point is always '.'.
std::string formatArgs(std::string_view format, const std::vector<FormatArg>& args);

template <class... Args>
std::string format(std::string_view fmt, const Args&... args) {
  return formatArgs(fmt, std::vector<FormatArg>{FormatArg(args)...});
}

// What a log line shows of one %@ or %s value: replies, ids, URLs and files from outside can be
// of any length, and a log line holding one whole costs its length at every call.
inline constexpr std::size_t kLogValueLimit = 1024;
// What a log line holds at most, however the message was built.
inline constexpr std::size_t kLogLineLimit = 8192;

// The text whole when it is at most `limit` bytes; else its first bytes up to a character
// boundary at or before `limit`, then "… (N bytes in all)".
std::string textForLog(std::string_view text, std::size_t limit = kLogValueLimit);

// format() with each %@ and %s value cut as textForLog cuts it: for messages that go to a log.
std::string formatArgsForLog(std::string_view format, const std::vector<FormatArg>& args);
template <class... Args>
std::string formatForLog(std::string_view fmt, const Args&... args) {
  return formatArgsForLog(fmt, std::vector<FormatArg>{FormatArg(args)...});
}

// One console line per call: the message (cut to kLogLineLimit), prefixed with time and process
// as the platform's log does, written with a single write to standard error (or to the installed
// handler).
void logLine(const std::string& message);
// The message formatted with formatForLog, so no value makes the line longer than its bound.
template <class... Args>
void log(std::string_view fmt, const Args&... args) {
  logLine(formatForLog(fmt, args...));
}

// Replaces where log lines go (tests capture them); returns the previous handler.
// An empty handler restores standard error.
using LogHandler = std::function<void(const std::string& message)>;
LogHandler setLogHandler(LogHandler handler);

}  // namespace ns
