// Exact decimals: the texts they accept, their plain form and their readings through Value.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "Foundation/DecimalNumber.h"
#include "Foundation/Value.h"
#include "support/CaseName.h"

namespace {

struct Decimal {
  std::string name;
  std::string text;
  std::string plain;  // empty: refused
  std::int64_t integer = 0;
};

class DecimalNumberTest : public ::testing::TestWithParam<Decimal> {};

TEST_P(DecimalNumberTest, KeepsTheValueExactly) {
  const Decimal& c = GetParam();
  auto number = ns::DecimalNumber::decimalNumberWithString(c.text);
  if (c.plain.empty()) {
    EXPECT_EQ(number, nullptr);
    return;
  }
  ASSERT_TRUE(number);
  EXPECT_EQ(number->stringValue(), c.plain);
  EXPECT_EQ(ns::Value(number).longLongValue(), c.integer);
  EXPECT_EQ(ns::Value(number).describe(), c.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecimalNumberTest,
    ::testing::Values(
        Decimal{"integer", "42", "42", 42}, Decimal{"negative_fraction", "-12.50", "-12.5", -12},
        Decimal{"exponent", "1.5e3", "1500", 1500}, Decimal{"negative_exponent", "25e-4", "0.0025", 0},
        Decimal{"zero_forms", "-0.000e7", "0", 0}, Decimal{"leading_zeros", "007", "7", 7},
        Decimal{"beyond_int64", "99999999999999999999", "99999999999999999999", INT64_MAX},
        Decimal{"below_int64", "-99999999999999999999", "-99999999999999999999", INT64_MIN},
        Decimal{"int64_min", "-9223372036854775808", "-9223372036854775808", INT64_MIN},
        Decimal{"largest", "1e308", "1" + std::string(308, '0'), INT64_MAX},
        Decimal{"too_large", "1e309", ""}, Decimal{"too_small", "1e-309", ""},
        Decimal{"many_digits_too_large", "1" + std::string(400, '0'), ""},
        Decimal{"huge_exponent_text", "1e99999999999999999999999", ""}, Decimal{"not_a_number", "1x", ""},
        Decimal{"empty", "", ""}, Decimal{"bare_point", "1.", ""}, Decimal{"plus", "+1", ""}),
    testsupport::CaseName());

TEST(DecimalNumberValueTest, ReadsAsNumbersAndComparesByValue) {
  ns::Value v(ns::DecimalNumber::decimalNumberWithString("2.75"));
  EXPECT_EQ(v.intValue(), 2);
  EXPECT_DOUBLE_EQ(v.doubleValue(), 2.75);
  EXPECT_TRUE(v.boolValue());
  EXPECT_FALSE(ns::Value(ns::DecimalNumber::decimalNumberWithString("0")).boolValue());
  EXPECT_EQ(ns::Value(ns::DecimalNumber::decimalNumberWithString("1e400e")), ns::Value());
  EXPECT_EQ(v, ns::Value(ns::DecimalNumber::decimalNumberWithString("275e-2")));
  EXPECT_FALSE(v == ns::Value(ns::DecimalNumber::decimalNumberWithString("2.7")));
  EXPECT_EQ(ns::Value(ns::DecimalNumber::decimalNumberWithString("3e10")).intValue(),
            std::numeric_limits<int>::max());
  EXPECT_GT(ns::Date::distantFuture(), ns::Date(1e10));
}

}  // namespace
