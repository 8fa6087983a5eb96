#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "Foundation/Format.h"

// The subsystem's debug switch: DEBUG lines print only while it is set.
inline std::atomic<bool> MAILogDebug{false};

enum class MAILogLevel { error, debug };

// One console line: "<product> <version> <operation> (<file>:<line>) ERROR: <message>" (or DEBUG).
void MAILogLine(MAILogLevel level, const char* prettyFunction, const char* file, int line,
                const std::string& message);
// "Class::operation" from the compiler's full function signature.
std::string MAIOperationName(std::string_view prettyFunction);

#define MAI_LOG_ERROR(...) \
  MAILogLine(MAILogLevel::error, __PRETTY_FUNCTION__, __FILE__, __LINE__, ::ns::formatForLog(__VA_ARGS__))
#define MAI_LOG_DEBUG(...)                                                    \
  do {                                                                        \
    if (MAILogDebug.load(std::memory_order_relaxed))                          \
      MAILogLine(MAILogLevel::debug, __PRETTY_FUNCTION__, __FILE__, __LINE__, \
                 ::ns::formatForLog(__VA_ARGS__));                            \
  } while (0)
