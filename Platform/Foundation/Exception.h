#pragma once

#include <exception>
#include <string>

#include "Foundation/Value.h"

namespace ns {

inline constexpr const char* kGenericException = "NSGenericException";
inline constexpr const char* kInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* kInternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr const char* kRangeException = "NSRangeException";

// What the platform throws: a named exception with a reason. what() gives the reason.
class Exception : public std::exception {
 public:
  Exception(std::string name, std::string reason, Dictionary userInfo = {})
      : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)) {}
  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const Dictionary& userInfo() const { return userInfo_; }
  const char* what() const noexcept override { return reason_.c_str(); }

 private:
  std::string name_;
  std::string reason_;
  Dictionary userInfo_;
};

// Throws the platform's precondition failure: "Invalid parameter not satisfying: <condition>".
[[noreturn]] void raiseInvalidParameter(const char* condition);

}  // namespace ns

#define NS_PARAMETER_ASSERT(condition) \
  do {                                 \
    if (!(condition)) ::ns::raiseInvalidParameter(#condition); \
  } while (0)
