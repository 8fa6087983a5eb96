#include "Analytics/Library/MAILock.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace {
thread_local int tlsCrashReports = 0;
// Locks the reporting thread took since its report began.
thread_local std::vector<const MAILock*> tlsTakenWhileReporting;
// How long the crash path waits for each lock: long enough for another thread's ordinary use,
// short enough that a lock held for ever costs the report little of its time.
constexpr double kCrashLockWaitSeconds = 0.5;
}  // namespace

void MAILock::lock() {
  mutex_.lock();
  if (depth_++ == 0) owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void MAILock::unlock() {
  if (--depth_ == 0) owner_.store(std::thread::id(), std::memory_order_relaxed);
  mutex_.unlock();
}

bool MAILock::tryLockFromOutside(double seconds) {
  if (owner_.load(std::memory_order_relaxed) == std::this_thread::get_id()) return false;
  // Polled rather than a timed wait, which thread checkers do not follow.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!mutex_.try_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  depth_ = 1;
  owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  return true;
}

MAILockGuard::MAILockGuard(MAILock& lock) : lock_(lock) {
  auto& taken = tlsTakenWhileReporting;
  if (!MAICrashReportScope::isActive() || std::find(taken.begin(), taken.end(), &lock) != taken.end()) {
    lock_.lock();
    locked_ = true;
    return;
  }
  locked_ = firstOnCrashPath_ = lock_.tryLockFromOutside(kCrashLockWaitSeconds);
  if (firstOnCrashPath_) taken.push_back(&lock);
}

MAILockGuard::~MAILockGuard() {
  if (firstOnCrashPath_) std::erase(tlsTakenWhileReporting, &lock_);
  if (locked_) lock_.unlock();
}

MAICrashReportScope::MAICrashReportScope() { ++tlsCrashReports; }
MAICrashReportScope::~MAICrashReportScope() { --tlsCrashReports; }
bool MAICrashReportScope::isActive() { return tlsCrashReports > 0; }
