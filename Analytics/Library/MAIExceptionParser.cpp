#include "Analytics/Library/MAIExceptionParser.h"

#include <vector>

#include "Foundation/String.h"

std::optional<std::string> MAIExceptionParser::symbolFromStackFrame(std::string_view frame) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start < frame.size()) {
    auto end = frame.find_first_of(" \t\r\n", start);
    if (end == std::string_view::npos) end = frame.size();
    if (end > start) pieces.push_back(frame.substr(start, end - start));
    start = end + 1;
  }
  if (pieces.size() < 5 || pieces[3] == "+[NSException") return std::nullopt;
  if (pieces[4] == "+") return std::string(pieces[3]);
  return std::string(pieces[3]) + " " + std::string(pieces[4]);
}

std::string MAIExceptionParser::exceptionDescription(const ns::Exception& exception, unsigned maxLength) {
  std::string text = exception.name();
  auto frames = exception.callStackSymbols();
  bool traced = false;
  // The first two lines are the making of the exception.
  for (std::size_t i = 2; i < frames.size(); ++i) {
    auto symbol = symbolFromStackFrame(frames[i]);
    if (!symbol) continue;
    if (!traced) text += "\nTrace:";
    traced = true;
    text += "\n" + *symbol;
    if (maxLength > 0 && ns::utf16Length(text) >= maxLength) break;
  }
  if (maxLength > 0 && ns::utf16Length(text) > maxLength) text = ns::truncatedToUTF16Length(text, maxLength);
  return text;
}
