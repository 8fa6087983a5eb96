#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Foundation/Object.h"

namespace ns {

// An exact decimal number: sign, significant digits and a power of ten, as written (no binary
// rounding). The magnitude is bounded, 10^-kMaxExponent to 10^kMaxExponent, so a short text cannot
// ask for an enormous value. Held in a Value as an object; Value's numeric readings read it.
class DecimalNumber final : public Object {
 public:
  static constexpr int kMaxExponent = 308;

  // Text of the form [-]digits[.digits][(e|E)[+|-]digits]; nullptr for anything else, and for a
  // non-zero value whose magnitude lies outside the bound.
  static std::shared_ptr<DecimalNumber> decimalNumberWithString(std::string_view text);

  // Plain notation without exponent and without trailing fractional zeros: "12500", "-0.125", "0".
  std::string stringValue() const;
  std::string describe() const override { return stringValue(); }

  bool isZero() const { return digits_.empty(); }
  bool isNegative() const { return negative_; }
  // The integer part (truncated towards zero), saturating at the type's bounds.
  std::int64_t longLongValue() const;
  int intValue() const;
  // The nearest double (infinite beyond its range).
  double doubleValue() const;
  bool boolValue() const { return !isZero(); }

  bool isEqualToNumber(const DecimalNumber& other) const {
    return negative_ == other.negative_ && digits_ == other.digits_ && exponent_ == other.exponent_;
  }

 private:
  // value = (negative_ ? -1 : 1) * digits_ * 10^exponent_; digits_ has no leading or trailing
  // zeros and is empty for zero (which is never negative).
  bool negative_ = false;
  std::string digits_;
  std::int64_t exponent_ = 0;
};

using DecimalNumberPtr = std::shared_ptr<DecimalNumber>;

}  // namespace ns
