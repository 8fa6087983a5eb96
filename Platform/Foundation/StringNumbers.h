#pragma once

#include <cstdint>
#include <string_view>

namespace ns {

// The platform string's number readings: skip leading white space, take an optional sign and
// the digits that follow, stop at the first other character ("12abc" reads 12, "abc" reads 0),
// and saturate when the digits do not fit.
int stringIntValue(std::string_view text);
std::int64_t stringLongLongValue(std::string_view text);
// Decimal only, locale independent: digits, an optional fraction and exponent ("1.5e3x" is 1500).
// Overflow gives ±infinity, underflow 0.
double stringDoubleValue(std::string_view text);
// True on a leading "Y", "y", "T", "t" or a digit 1-9, after blanks, a sign and leading zeros.
bool stringBoolValue(std::string_view text);

// Conversions that are undefined in C++ when the value does not fit: saturate, NaN gives 0.
int saturatingInt(double value);
std::int64_t saturatingInt64(double value);

}  // namespace ns
