#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Exception.h"

// Turns an exception into a short text: its name, then "Trace:" and the symbols of its call stack.
class MAIExceptionParser final {
 public:
  MAIExceptionParser() = delete;

  // maxLength counts characters as the platform does (UTF-16 units); 0 means no limit.
  static std::string exceptionDescription(const ns::Exception& exception, unsigned maxLength);
  // The symbol of one call-stack line, or nullopt for a line without one or of the raising machinery.
  static std::optional<std::string> symbolFromStackFrame(std::string_view frame);
};
