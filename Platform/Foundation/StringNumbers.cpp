#include "Foundation/StringNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace ns {
namespace {

bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view skipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(static_cast<unsigned char>(text[i]))) ++i;
  return text.substr(i);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether an unsigned decimal "digits[.digits][e[sign]digits]" is at least 1 in magnitude.
bool decimalMagnitudeAboveOne(std::string_view number) {
  long long position = 0;  // decimal exponent of the first non-zero digit, plus one
  bool seenPoint = false, seenNonZero = false;
  std::size_t i = 0;
  for (; i < number.size() && (isDigit(number[i]) || number[i] == '.'); ++i) {
    char c = number[i];
    if (c == '.') {
      seenPoint = true;
    } else if (!seenNonZero) {
      if (c != '0') {
        seenNonZero = true;
        if (!seenPoint) ++position;
      } else if (seenPoint) {
        --position;
      }
    } else if (!seenPoint) {
      ++position;
    }
  }
  long long exponent = 0;
  if (i < number.size()) exponent = std::clamp<long long>(stringLongLongValue(number.substr(i + 1)), -1000000, 1000000);
  return seenNonZero && position + exponent > 0;
}

}  // namespace

std::int64_t stringLongLongValue(std::string_view text) {
  text = skipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // Accumulate as a negative number so INT64_MIN is reachable.
  std::int64_t value = 0;
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  for (char c : text) {
    if (!isDigit(c)) break;
    int digit = c - '0';
    if (value < (kMin + digit) / 10) {
      return negative ? kMin : std::numeric_limits<std::int64_t>::max();
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

int stringIntValue(std::string_view text) {
  std::int64_t v = stringLongLongValue(text);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

double stringDoubleValue(std::string_view text) {
  text = skipBlanks(text);
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && isDigit(text[j])) {
      while (j < text.size() && isDigit(text[j])) ++j;
      i = j;
    }
  }
  std::string_view number = text.substr(0, i);
  bool negative = number[0] == '-';
  if (number[0] == '+' || number[0] == '-') number.remove_prefix(1);
  double value = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone: a magnitude above 1 overflowed, below 1 underflowed.
    value = decimalMagnitudeAboveOne(number) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

bool stringBoolValue(std::string_view text) {
  text = skipBlanks(text);
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  while (!text.empty() && text[0] == '0') text.remove_prefix(1);
  if (text.empty()) return false;
  char c = text[0];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

int saturatingInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

std::int64_t saturatingInt64(double value) {
  if (std::isnan(value)) return 0;
  // 2^63 is exactly representable; anything at or above it does not fit.
  if (value >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

}  // namespace ns
