#pragma once

#include <compare>
#include <cstdint>

namespace av {

enum TimeFlags : std::uint32_t {
  kTimeFlagsValid = 1u << 0,
  kTimeFlagsHasBeenRounded = 1u << 1,
  kTimeFlagsPositiveInfinity = 1u << 2,
  kTimeFlagsNegativeInfinity = 1u << 3,
  kTimeFlagsIndefinite = 1u << 4,
};

// A media time: a rational number of seconds (value / timescale) with flags for the invalid,
// indefinite and infinite times, and an epoch that orders times of different loops of a
// timeline. The same layout as the platform's media time.
struct Time {
  std::int64_t value = 0;
  std::int32_t timescale = 0;
  std::uint32_t flags = 0;
  std::int64_t epoch = 0;
};

inline constexpr Time kTimeInvalid{};
inline constexpr Time kTimeIndefinite{0, 0, kTimeFlagsValid | kTimeFlagsIndefinite, 0};
inline constexpr Time kTimePositiveInfinity{0, 0, kTimeFlagsValid | kTimeFlagsPositiveInfinity, 0};
inline constexpr Time kTimeNegativeInfinity{0, 0, kTimeFlagsValid | kTimeFlagsNegativeInfinity, 0};
inline constexpr Time kTimeZero{0, 1, kTimeFlagsValid, 0};

// value / timescale; a timescale of 0 or less gives the invalid time.
Time TimeMake(std::int64_t value, std::int32_t timescale);
// The nearest time in the timescale (marked rounded when not exact). Not-a-number gives the
// invalid time, an infinite number or one beyond the 64-bit range the matching infinity.
Time TimeMakeWithSeconds(double seconds, std::int32_t preferredTimescale);
// Seconds of a numeric time; infinities give ±infinity, invalid and indefinite not-a-number.
double TimeGetSeconds(Time time);

inline bool TimeIsValid(Time t) { return (t.flags & kTimeFlagsValid) != 0; }
inline bool TimeIsInvalid(Time t) { return !TimeIsValid(t); }
inline bool TimeIsIndefinite(Time t) { return TimeIsValid(t) && (t.flags & kTimeFlagsIndefinite); }
inline bool TimeIsPositiveInfinity(Time t) {
  return TimeIsValid(t) && (t.flags & kTimeFlagsPositiveInfinity);
}
inline bool TimeIsNegativeInfinity(Time t) {
  return TimeIsValid(t) && (t.flags & kTimeFlagsNegativeInfinity);
}
// Valid and a number: neither indefinite nor infinite.
inline bool TimeIsNumeric(Time t) {
  return TimeIsValid(t) &&
         !(t.flags & (kTimeFlagsIndefinite | kTimeFlagsPositiveInfinity | kTimeFlagsNegativeInfinity));
}

// -1, 0 or 1. Numeric times compare by value exactly, whatever their timescales (after their
// epochs). Negative infinity is below everything else; then the numbers; then indefinite;
// then positive infinity; invalid times are equal to each other and above everything.
int TimeCompare(Time a, Time b);

inline bool operator==(Time a, Time b) { return TimeCompare(a, b) == 0; }
inline std::strong_ordering operator<=>(Time a, Time b) { return TimeCompare(a, b) <=> 0; }

// A range of media time: where it starts and how long it lasts.
struct TimeRange {
  Time start;
  Time duration;
};

inline TimeRange TimeRangeMake(Time start, Time duration) { return {start, duration}; }

}  // namespace av
