#pragma once

#include <compare>

namespace ns {

// A point in time: seconds since 1970-01-01 00:00:00 UTC.
class Date {
 public:
  constexpr Date() = default;
  constexpr explicit Date(double secondsSince1970) : seconds_(secondsSince1970) {}
  // Now, as the process clock reads it (the manual clock in tests).
  static Date now();
  static constexpr Date dateWithTimeIntervalSince1970(double seconds) { return Date(seconds); }
  // The first instant of the year 4001: the platform's "never" for expiry dates.
  static constexpr Date distantFuture() { return Date(64092211200.0); }
  // The platform's reference date is 2001-01-01 00:00:00 UTC.
  static constexpr double kReferenceDateOffset = 978307200.0;

  constexpr double timeIntervalSince1970() const { return seconds_; }
  constexpr double timeIntervalSinceReferenceDate() const { return seconds_ - kReferenceDateOffset; }
  constexpr double timeIntervalSinceDate(Date other) const { return seconds_ - other.seconds_; }
  double timeIntervalSinceNow() const { return seconds_ - now().seconds_; }
  constexpr Date dateByAddingTimeInterval(double seconds) const { return Date(seconds_ + seconds); }

  constexpr auto operator<=>(const Date&) const = default;

 private:
  double seconds_ = 0;
};

}  // namespace ns
