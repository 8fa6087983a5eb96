#include "Foundation/Timer.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Clock.h"

namespace ns {

TimerPtr Timer::timerWithTimeInterval(double interval, bool repeats, Action action) {
  auto timer = std::make_shared<Timer>();
  timer->interval_ = interval > 0 ? interval : 0.0001;
  timer->repeats_ = repeats;
  timer->fireDate_ = clockNow() + timer->interval_;
  timer->action_ = std::make_shared<Action>(std::move(action));
  return timer;
}

TimerPtr Timer::scheduledTimerWithTimeInterval(double interval, bool repeats, Action action) {
  auto timer = timerWithTimeInterval(interval, repeats, std::move(action));
  RunLoop::currentRunLoop()->addTimer(timer, kDefaultRunLoopMode);
  return timer;
}

Date Timer::fireDate() const {
  std::lock_guard lock(mutex_);
  return Date(fireDate_);
}

void Timer::setFireDate(Date date) {
  std::shared_ptr<RunLoop> loop;
  {
    std::lock_guard lock(mutex_);
    fireDate_ = date.timeIntervalSince1970();
    loop = runLoop_.lock();
  }
  if (loop) loop->rescheduleTimer(std::static_pointer_cast<Timer>(shared_from_this()));
}

Value Timer::userInfo() const {
  std::lock_guard lock(mutex_);
  return userInfo_;
}

void Timer::invalidate() {
  std::shared_ptr<RunLoop> loop;
  std::shared_ptr<Action> action;
  std::shared_ptr<void> target;
  {
    std::lock_guard lock(mutex_);
    valid_.store(false, std::memory_order_release);
    loop = runLoop_.lock();
    runLoop_.reset();
    action = std::move(action_);
    target = std::move(target_);
  }
  if (loop) loop->removeTimer(this);
  // The action and target are released here, outside every lock.
}

void Timer::fire() {
  std::shared_ptr<Action> action;
  std::shared_ptr<void> target;
  {
    std::lock_guard lock(mutex_);
    if (!valid_) return;
    action = action_;
    target = target_;
  }
  auto self = std::static_pointer_cast<Timer>(shared_from_this());
  if (action && *action) (*action)(self);
  if (!repeats_) invalidate();
}

bool Timer::fireFromRunLoop(double scheduledDate, double now) {
  std::shared_ptr<Action> action;
  std::shared_ptr<void> target;
  {
    std::lock_guard lock(mutex_);
    if (!valid_) return false;
    action = action_;
    target = target_;
  }
  auto self = std::static_pointer_cast<Timer>(shared_from_this());
  if (action && *action) (*action)(self);
  {
    std::lock_guard lock(mutex_);
    if (!valid_) return false;
    // Moved by the action itself: keep the new date.
    if (fireDate_ != scheduledDate) return true;
    if (repeats_) {
      double missed = std::floor(std::max(0.0, now - scheduledDate) / interval_);
      fireDate_ = scheduledDate + interval_ * (missed + 1);
      return true;
    }
  }
  invalidate();
  return false;
}

}  // namespace ns
