#include "Foundation/DecimalNumber.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace ns {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Far beyond any exponent the bound lets through, and far from overflowing the arithmetic.
constexpr std::int64_t kExponentClamp = 1'000'000'000'000;

}  // namespace

std::shared_ptr<DecimalNumber> DecimalNumber::decimalNumberWithString(std::string_view text) {
  std::size_t i = 0;
  bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  std::string digits;
  std::size_t start = i;
  while (i < text.size() && isDigit(text[i])) digits += text[i++];
  if (i == start) return nullptr;
  std::int64_t exponent = 0;
  if (i < text.size() && text[i] == '.') {
    start = ++i;
    while (i < text.size() && isDigit(text[i])) digits += text[i++];
    if (i == start) return nullptr;
    exponent -= static_cast<std::int64_t>(i - start);
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    start = i;
    std::int64_t written = 0;
    while (i < text.size() && isDigit(text[i]))
      written = std::min(written * 10 + (text[i++] - '0'), kExponentClamp);
    if (i == start) return nullptr;
    exponent += negativeExponent ? -written : written;
  }
  if (i != text.size()) return nullptr;

  auto number = std::make_shared<DecimalNumber>();
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return number;  // zero, whatever its sign and exponent
  std::size_t last = digits.find_last_not_of('0');
  exponent += static_cast<std::int64_t>(digits.size() - 1 - last);
  digits = digits.substr(first, last - first + 1);
  std::int64_t scientific = exponent + static_cast<std::int64_t>(digits.size()) - 1;
  if (scientific > kMaxExponent || scientific < -kMaxExponent) return nullptr;
  number->negative_ = negative;
  number->digits_ = std::move(digits);
  number->exponent_ = exponent;
  return number;
}

std::string DecimalNumber::stringValue() const {
  if (isZero()) return "0";
  std::string out = negative_ ? "-" : "";
  auto length = static_cast<std::int64_t>(digits_.size());
  if (exponent_ >= 0) {
    out += digits_;
    out.append(static_cast<std::size_t>(exponent_), '0');
    return out;
  }
  std::int64_t integerDigits = length + exponent_;
  if (integerDigits > 0) {
    out.append(digits_, 0, static_cast<std::size_t>(integerDigits));
    out += '.';
    out.append(digits_, static_cast<std::size_t>(integerDigits));
  } else {
    out += "0.";
    out.append(static_cast<std::size_t>(-integerDigits), '0');
    out += digits_;
  }
  return out;
}

std::int64_t DecimalNumber::longLongValue() const {
  std::int64_t integerDigits = static_cast<std::int64_t>(digits_.size()) + exponent_;
  if (isZero() || integerDigits <= 0) return 0;
  const auto limit = negative_ ? std::uint64_t(std::numeric_limits<std::int64_t>::max()) + 1
                               : std::uint64_t(std::numeric_limits<std::int64_t>::max());
  std::uint64_t magnitude = 0;
  for (std::int64_t k = 0; k < integerDigits; ++k) {
    int digit =
        k < static_cast<std::int64_t>(digits_.size()) ? digits_[static_cast<std::size_t>(k)] - '0' : 0;
    if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / 10) {
      magnitude = limit;
      break;
    }
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit);
  }
  if (!negative_) return static_cast<std::int64_t>(magnitude);
  return magnitude == limit ? std::numeric_limits<std::int64_t>::min()
                            : -static_cast<std::int64_t>(magnitude);
}

int DecimalNumber::intValue() const {
  return static_cast<int>(std::clamp<std::int64_t>(longLongValue(), std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

double DecimalNumber::doubleValue() const {
  if (isZero()) return 0;
  // No decimal point in the text, so the locale cannot change how it reads.
  std::string text = (negative_ ? "-" : "") + digits_ + "e" + std::to_string(exponent_);
  return std::strtod(text.c_str(), nullptr);
}

}  // namespace ns
