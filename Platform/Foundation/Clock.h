#pragma once

#include <memory>

namespace ns {

// The process clock: seconds since 1970 as Date::now() reads them. Every timer, delayed call,
// dispatch::after and run-loop deadline is measured on it, so tests can swap in a manual clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
  // A manual clock only moves when told to; run loops then wait for a wake-up instead of a deadline.
  virtual bool isManual() const { return false; }
};

// The installed clock's time (the real clock unless a ManualClock is alive).
double clockNow();
bool clockIsManual();

// Installs a manual clock for its lifetime (tests), starting at the real time of installation,
// and restores the previous clock when destroyed. Not nestable across threads: install and
// destroy it on the thread that drives the test (normally the main thread).
class ManualClock final {
 public:
  ManualClock();
  explicit ManualClock(double startSecondsSince1970);
  ~ManualClock();
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  double now() const;
  // Moves the time forward by `seconds`, stopping at every timer deadline on the way in time order:
  // at each stop the calling thread's run loop runs what became due (timers, delayed calls, the
  // calls they post), and other run loops are woken to do the same on their threads.
  void advance(double seconds);

 private:
  class Source;
  std::shared_ptr<Source> source_;
  std::shared_ptr<const Clock> previous_;
};

// Installs, for its lifetime, the real clock with an offset: a program that runs without a person
// watching skips the time its loops would only wait for timers, and may stop the time while it
// works for itself. The time never goes back. Install and
// destroy it on the main thread; skipTo may be called from any thread.
class SkippingClock final {
 public:
  SkippingClock();
  ~SkippingClock();
  SkippingClock(const SkippingClock&) = delete;
  SkippingClock& operator=(const SkippingClock&) = delete;

  double now() const;
  // Moves the time ahead to the date (never back) and wakes every run loop to look at it.
  void skipTo(double secondsSince1970);
  // Stops the time until thaw(), which lets it go on from where it stood: what the program does
  // for its own sake meanwhile (a screenshot) takes none of the watched client's time.
  void freeze();
  void thaw();

 private:
  class Source;
  std::shared_ptr<Source> source_;
  std::shared_ptr<const Clock> previous_;
};

namespace detail {
// Swaps the installed clock; an empty pointer restores the real clock. Returns the previous one.
std::shared_ptr<const Clock> installClock(std::shared_ptr<const Clock> clock);
}  // namespace detail

}  // namespace ns
