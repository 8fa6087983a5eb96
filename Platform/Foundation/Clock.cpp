#include "Foundation/Clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>

#include "Foundation/RunLoop.h"

namespace ns {
namespace {

double realNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

// The real clock is read without a lock; only an installed manual clock goes through the mutex.
std::atomic<bool> manualInstalled{false};

std::mutex& clockMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<const Clock>& installed() {
  // Never destroyed: worker threads may still read the time while the process exits.
  static auto* clock = new std::shared_ptr<const Clock>();
  return *clock;
}

std::shared_ptr<const Clock> currentClock() {
  std::lock_guard lock(clockMutex());
  return installed();
}

void wakeAllRunLoops() {
  for (const auto& loop : RunLoop::allRunLoops()) loop->wakeUp();
}

}  // namespace

double clockNow() {
  if (!manualInstalled.load(std::memory_order_acquire)) return realNow();
  auto clock = currentClock();
  return clock ? clock->now() : realNow();
}

bool clockIsManual() {
  if (!manualInstalled.load(std::memory_order_acquire)) return false;
  auto clock = currentClock();
  return clock && clock->isManual();
}

namespace detail {
std::shared_ptr<const Clock> installClock(std::shared_ptr<const Clock> clock) {
  std::shared_ptr<const Clock> previous;
  {
    std::lock_guard lock(clockMutex());
    previous = std::exchange(installed(), std::move(clock));
    manualInstalled.store(installed() != nullptr, std::memory_order_release);
  }
  // Sleeping loops computed their waits on the old clock.
  wakeAllRunLoops();
  return previous;
}
}  // namespace detail

class ManualClock::Source final : public Clock {
 public:
  explicit Source(double start) : now_(start) {}
  double now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  bool isManual() const override { return true; }
  void set(double t) {
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, t);
  }

 private:
  mutable std::mutex mutex_;
  double now_;
};

ManualClock::ManualClock() : ManualClock(realNow()) {}

ManualClock::ManualClock(double start) : source_(std::make_shared<Source>(start)) {
  previous_ = detail::installClock(source_);
}

ManualClock::~ManualClock() { detail::installClock(std::move(previous_)); }

double ManualClock::now() const { return source_->now(); }

void ManualClock::advance(double seconds) {
  const double target = source_->now() + std::max(0.0, seconds);
  auto current = RunLoop::currentRunLoop();
  auto drainCurrent = [&] {
    while (current->runOnce(0)) {
    }
  };
  for (;;) {
    // Deadlines already reached belong to loops that have been woken; look only ahead.
    const double now = source_->now();
    double next = target;
    bool found = false;
    for (const auto& loop : RunLoop::allRunLoops()) {
      double date = 0;
      if (loop->nextTimerDate(date) && date > now && date <= next) {
        next = date;
        found = true;
      }
    }
    if (!found) break;
    source_->set(next);
    wakeAllRunLoops();
    drainCurrent();
  }
  source_->set(target);
  wakeAllRunLoops();
  drainCurrent();
}

class SkippingClock::Source final : public Clock {
 public:
  double now() const override {
    double held = frozenAt_.load(std::memory_order_acquire);
    return std::isnan(held) ? realNow() + offset_.load(std::memory_order_acquire) : held;
  }
  void skipTo(double t) {
    std::lock_guard lock(mutex_);
    double ahead = t - now();
    if (ahead <= 0) return;
    offset_.store(offset_.load() + ahead, std::memory_order_release);
    if (!std::isnan(frozenAt_.load())) frozenAt_.store(t, std::memory_order_release);
  }
  void freeze() {
    std::lock_guard lock(mutex_);
    if (std::isnan(frozenAt_.load())) frozenAt_.store(now(), std::memory_order_release);
  }
  void thaw() {
    std::lock_guard lock(mutex_);
    double held = frozenAt_.load();
    if (std::isnan(held)) return;
    // The offset first: a reader that no longer sees the frozen time already sees the new offset.
    offset_.store(held - realNow(), std::memory_order_release);
    frozenAt_.store(std::numeric_limits<double>::quiet_NaN(), std::memory_order_release);
  }

 private:
  std::mutex mutex_;
  std::atomic<double> offset_{0};
  std::atomic<double> frozenAt_{std::numeric_limits<double>::quiet_NaN()};
};

SkippingClock::SkippingClock() : source_(std::make_shared<Source>()) {
  previous_ = detail::installClock(source_);
}

SkippingClock::~SkippingClock() { detail::installClock(std::move(previous_)); }

double SkippingClock::now() const { return source_->now(); }

void SkippingClock::skipTo(double secondsSince1970) {
  source_->skipTo(secondsSince1970);
  wakeAllRunLoops();
}

void SkippingClock::freeze() { source_->freeze(); }

void SkippingClock::thaw() { source_->thaw(); }

}  // namespace ns
