#include "Analytics/Library/MAIStringUtil.h"

#include "Foundation/Format.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/String.h"
#include "Foundation/URL.h"

std::string MAIStringUtil::trim(std::string_view text) { return ns::trimWhitespaceAndNewlines(text); }

std::string MAIStringUtil::intString(std::int64_t value) { return ns::format("%lld", value); }

std::string MAIStringUtil::uintString(std::uint64_t value) { return ns::format("%llu", value); }

std::string MAIStringUtil::decimalString(double value, int decimals) {
  std::string text = ns::format("%.*f", decimals, value);
  auto point = text.rfind('.');
  if (point == std::string::npos) return text;
  auto last = text.find_last_not_of('0');
  if (last != std::string::npos && last >= point) text.erase(last + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string MAIStringUtil::currencyMicrosString(std::int64_t micros) {
  const char* sign = micros < 0 ? "-" : "";
  std::uint64_t magnitude =
      micros < 0 ? 0 - static_cast<std::uint64_t>(micros) : static_cast<std::uint64_t>(micros);
  std::uint64_t whole = magnitude / 1000000;
  int fraction = static_cast<int>(magnitude % 1000000);
  if (fraction == 0) return ns::format("%s%llu", sign, whole);
  std::string digits = ns::format("%06d", fraction);
  digits.erase(digits.find_last_not_of('0') + 1);
  return whole != 0 ? ns::format("%s%llu.%@", sign, whole, digits) : ns::format("%s.%@", sign, digits);
}

std::string MAIStringUtil::percentEncode(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (std::isalnum(c) && c < 0x80) {
      out += static_cast<char>(c);
    } else if (c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

std::optional<std::string> MAIStringUtil::percentDecode(std::string_view text) {
  return ns::removePercentEncoding(ns::stringByReplacingOccurrences(text, "+", " "));
}

std::map<std::string, std::string> MAIStringUtil::decodeParametersFromQuery(std::string_view query) {
  std::map<std::string, std::string> parameters;
  for (const auto& piece : ns::componentsSeparatedByString(query, "&")) {
    auto equals = piece.find('=');
    auto name = percentDecode(std::string_view(piece).substr(0, equals));
    auto value = equals == std::string::npos ? std::optional<std::string>("")
                                             : percentDecode(std::string_view(piece).substr(equals + 1));
    if (!name || !value) continue;
    parameters[*name] = *value;
  }
  return parameters;
}

std::optional<std::map<std::string, std::string>> MAIStringUtil::decodeParametersFromUrl(
    std::string_view text) {
  auto url = ns::URL::URLWithString(text);
  if (!url) return std::nullopt;
  if (!url->query() || url->query()->empty()) return std::map<std::string, std::string>();
  return decodeParametersFromQuery(*url->query());
}
