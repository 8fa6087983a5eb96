#include "Analytics/Library/MAILog.h"

#include "Analytics/Library/MAIConstants.h"

std::string MAIOperationName(std::string_view pretty) {
  // The name is what stands before the parameter list, after the return type.
  int depth = 0;
  std::size_t end = pretty.size();
  for (std::size_t i = 0; i < pretty.size(); ++i) {
    char c = pretty[i];
    if (c == '<') ++depth;
    if (c == '>') --depth;
    if (c == '(' && depth == 0) {
      end = i;
      break;
    }
  }
  std::string_view head = pretty.substr(0, end);
  depth = 0;
  std::size_t start = 0;
  for (std::size_t i = head.size(); i-- > 0;) {
    char c = head[i];
    if (c == '>') ++depth;
    if (c == '<') --depth;
    if (c == ' ' && depth == 0) {
      start = i + 1;
      break;
    }
  }
  return std::string(head.substr(start));
}

void MAILogLine(MAILogLevel level, const char* prettyFunction, const char* file, int line,
                const std::string& message) {
  std::string_view path(file);
  if (auto slash = path.rfind('/'); slash != std::string_view::npos) path = path.substr(slash + 1);
  const char* format = level == MAILogLevel::error ? "%@ %@ %s (%@:%d) ERROR: " : "%@ %@ %s (%@:%d) DEBUG: ";
  ns::logLine(ns::format(format, kMAIProduct, kMAIVersion, MAIOperationName(prettyFunction), path, line) +
              message);
}
