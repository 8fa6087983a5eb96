#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Media/Time.h"
#include "support/CaseName.h"

namespace {

using namespace av;

struct SecondsCase {
  const char* name;
  double seconds;
  std::int32_t timescale;
  Time expected;
  double readBack;  // NaN: reads back as not-a-number
};

void PrintTo(const SecondsCase& c, std::ostream* os) { *os << c.name; }

class TimeSecondsTest : public ::testing::TestWithParam<SecondsCase> {};

TEST_P(TimeSecondsTest, MakesTimesFromSecondsAndReadsThemBack) {
  const auto& c = GetParam();
  Time t = TimeMakeWithSeconds(c.seconds, c.timescale);
  EXPECT_EQ(t.value, c.expected.value);
  EXPECT_EQ(t.timescale, c.expected.timescale);
  EXPECT_EQ(t.flags, c.expected.flags);
  if (std::isnan(c.readBack))
    EXPECT_TRUE(std::isnan(TimeGetSeconds(t)));
  else
    EXPECT_DOUBLE_EQ(TimeGetSeconds(t), c.readBack);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeSecondsTest,
    ::testing::Values(
        SecondsCase{"whole", 2.0, 1'000'000'000, {2'000'000'000, 1'000'000'000, kTimeFlagsValid, 0}, 2.0},
        SecondsCase{
            "rounded", 1.0 / 3, 600, {200, 600, kTimeFlagsValid | kTimeFlagsHasBeenRounded, 0}, 1.0 / 3},
        SecondsCase{"negative", -30.5, 2, {-61, 2, kTimeFlagsValid, 0}, -30.5},
        SecondsCase{"notANumber", kNaN, 600, kTimeInvalid, kNaN},
        SecondsCase{"noTimescale", 1.0, 0, kTimeInvalid, kNaN},
        SecondsCase{"infinite", kInf, 600, kTimePositiveInfinity, kInf},
        SecondsCase{"minusInfinite", -kInf, 600, kTimeNegativeInfinity, -kInf},
        SecondsCase{"beyond64Bits", 1e12, 1'000'000'000, kTimePositiveInfinity, kInf}),
    testsupport::CaseName());

TEST(TimeTest, ComparesAcrossTimescalesAndKinds) {
  EXPECT_EQ(TimeMake(1, 2), TimeMake(500, 1000));
  EXPECT_LT(TimeMake(1, 3), TimeMake(334, 1000));
  EXPECT_GT(TimeMake(-1, 3), TimeMake(-334, 1000));
  EXPECT_EQ(TimeCompare(kTimeZero, TimeMakeWithSeconds(0, 1'000'000'000)), 0);
  // Values too large for a plain product still compare exactly.
  EXPECT_LT(TimeMake(INT64_MAX - 1, 1'000'000'000), TimeMake(INT64_MAX, 1'000'000'000));
  // Ordered: −∞ < numbers < indefinite < +∞ < invalid (all invalid times are equal).
  const Time order[] = {kTimeNegativeInfinity, TimeMake(-5, 1),       TimeMake(7, 1),
                        kTimeIndefinite,       kTimePositiveInfinity, kTimeInvalid};
  for (std::size_t i = 0; i < std::size(order); ++i)
    for (std::size_t j = 0; j < std::size(order); ++j)
      EXPECT_EQ(TimeCompare(order[i], order[j]), i < j ? -1 : (i > j ? 1 : 0)) << i << " vs " << j;
  EXPECT_EQ(TimeCompare(kTimeInvalid, Time{5, 0, 0, 0}), 0);
  // A later epoch is later, whatever the value.
  Time later = TimeMake(1, 1);
  later.epoch = 1;
  EXPECT_GT(later, TimeMake(100, 1));
}

TEST(TimeTest, ClassifiesTimes) {
  EXPECT_TRUE(TimeIsNumeric(kTimeZero));
  EXPECT_FALSE(TimeIsValid(kTimeInvalid));
  EXPECT_TRUE(TimeIsValid(kTimeIndefinite));
  EXPECT_TRUE(TimeIsIndefinite(kTimeIndefinite));
  EXPECT_FALSE(TimeIsNumeric(kTimeIndefinite));
  EXPECT_FALSE(TimeIsNumeric(kTimePositiveInfinity));
  EXPECT_TRUE(TimeIsPositiveInfinity(kTimePositiveInfinity));
  EXPECT_TRUE(TimeIsNegativeInfinity(kTimeNegativeInfinity));
  EXPECT_TRUE(std::isnan(TimeGetSeconds(kTimeIndefinite)));
  EXPECT_EQ(TimeMake(1, -1), kTimeInvalid);
}

}  // namespace
