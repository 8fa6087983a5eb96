#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "Foundation/Date.h"
#include "Foundation/Object.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Value.h"

namespace ns {

// A timer on a run loop, measured on the process clock. A repeating timer fires every interval
// (a firing missed while the loop was busy is skipped, not made up); a one-shot timer invalidates
// itself after firing. The timer keeps its target and action alive until it is invalidated.
class Timer final : public Object {
 public:
  using Action = std::function<void(const TimerPtr& timer)>;

  // An interval of 0 or less becomes 0.1 ms, as on the platform.
  static TimerPtr timerWithTimeInterval(double interval, bool repeats, Action action);
  // The same, added to the current run loop in the default mode.
  static TimerPtr scheduledTimerWithTimeInterval(double interval, bool repeats, Action action);

  // Target and selector: the member is called on the target, which the timer holds until invalidated.
  // The selector takes no argument or the timer.
  template <class T, class Selector>
  static TimerPtr timerWithTimeInterval(double interval, const std::shared_ptr<T>& target, Selector selector,
                                        Value userInfo, bool repeats) {
    static_assert(std::is_member_function_pointer_v<Selector>);
    auto timer = timerWithTimeInterval(interval, repeats, [raw = target.get(), selector](const TimerPtr& t) {
      if constexpr (std::is_invocable_v<Selector, T*, const TimerPtr&>)
        (raw->*selector)(t);
      else
        (raw->*selector)();
    });
    timer->target_ = target;
    timer->userInfo_ = std::move(userInfo);
    return timer;
  }
  template <class T, class Selector>
  static TimerPtr scheduledTimerWithTimeInterval(double interval, const std::shared_ptr<T>& target,
                                                 Selector selector, Value userInfo, bool repeats) {
    auto timer = timerWithTimeInterval(interval, target, selector, std::move(userInfo), repeats);
    RunLoop::currentRunLoop()->addTimer(timer, kDefaultRunLoopMode);
    return timer;
  }

  Timer() = default;

  // Fires now, outside the schedule; a one-shot timer is then invalidated.
  void fire();
  // Stops the timer for good and lets go of its target and action. Safe from any thread.
  void invalidate();
  bool isValid() const { return valid_.load(std::memory_order_acquire); }

  Date fireDate() const;
  // Moves the next firing (the run loop re-sorts it).
  void setFireDate(Date date);
  double timeInterval() const { return repeats_ ? interval_ : 0; }
  Value userInfo() const;

  // A one-shot timer that paces ongoing work (a playing clip's next mark) rather than ending
  // something pending: RunLoop::pendingWork() passes over it, as over a repeating timer.
  bool countsAsPendingWork() const { return countsAsPendingWork_.load(std::memory_order_relaxed); }
  void setCountsAsPendingWork(bool counts) { countsAsPendingWork_.store(counts, std::memory_order_relaxed); }

 private:
  friend class RunLoop;
  // Called by the run loop when the timer is due; false when it should be dropped.
  bool fireFromRunLoop(double scheduledDate, double now);

  mutable std::mutex mutex_;
  std::atomic<bool> valid_{true};
  std::atomic<bool> countsAsPendingWork_{true};
  bool repeats_ = false;
  double interval_ = 0;
  double fireDate_ = 0;
  std::shared_ptr<Action> action_;
  std::shared_ptr<void> target_;
  Value userInfo_;
  std::weak_ptr<RunLoop> runLoop_;
};

}  // namespace ns
