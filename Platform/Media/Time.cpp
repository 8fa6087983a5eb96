#include "Media/Time.h"

#include <cmath>
#include <limits>

namespace av {

Time TimeMake(std::int64_t value, std::int32_t timescale) {
  if (timescale <= 0) return kTimeInvalid;
  return {value, timescale, kTimeFlagsValid, 0};
}

Time TimeMakeWithSeconds(double seconds, std::int32_t preferredTimescale) {
  if (std::isnan(seconds) || preferredTimescale <= 0) return kTimeInvalid;
  if (std::isinf(seconds)) return seconds > 0 ? kTimePositiveInfinity : kTimeNegativeInfinity;
  long double scaled = static_cast<long double>(seconds) * preferredTimescale;
  // Past what 64 bits hold, the time is as good as infinite.
  constexpr long double limit = 9.2233720368547758e18L;
  if (scaled >= limit) return kTimePositiveInfinity;
  if (scaled <= -limit) return kTimeNegativeInfinity;
  long double rounded = std::nearbyint(scaled);
  Time t{static_cast<std::int64_t>(rounded), preferredTimescale, kTimeFlagsValid, 0};
  if (rounded != scaled) t.flags |= kTimeFlagsHasBeenRounded;
  return t;
}

double TimeGetSeconds(Time t) {
  if (TimeIsPositiveInfinity(t)) return std::numeric_limits<double>::infinity();
  if (TimeIsNegativeInfinity(t)) return -std::numeric_limits<double>::infinity();
  if (!TimeIsNumeric(t) || t.timescale <= 0) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(t.value) / t.timescale;
}

namespace {

// Where a time stands among the kinds, lowest first.
int rank(Time t) {
  if (!TimeIsValid(t)) return 4;
  if (t.flags & kTimeFlagsPositiveInfinity) return 3;
  if (t.flags & kTimeFlagsIndefinite) return 2;
  if (t.flags & kTimeFlagsNegativeInfinity) return 0;
  return 1;
}

}  // namespace

int TimeCompare(Time a, Time b) {
  int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra != 1) return 0;
  if (a.epoch != b.epoch) return a.epoch < b.epoch ? -1 : 1;
  if (a.timescale <= 0 || b.timescale <= 0) return 0;  // hand-made times without a scale
  __int128 lhs = static_cast<__int128>(a.value) * b.timescale;
  __int128 rhs = static_cast<__int128>(b.value) * a.timescale;
  return lhs < rhs ? -1 : (lhs > rhs ? 1 : 0);
}

}  // namespace av
