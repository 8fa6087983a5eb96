#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <thread>

// The lock of a facade, tracker or dispatcher: recursive, as the tracker's close relies on, and
// aware of its owner, so the crash-reporting path can refuse it when the crashing thread holds it
// already (what it guards may be half changed) and wait for it only so long.
class MAILock {
 public:
  MAILock() = default;
  MAILock(const MAILock&) = delete;
  MAILock& operator=(const MAILock&) = delete;

  void lock();
  void unlock();
  // False when the calling thread holds it already or it is not free within `seconds` of real time.
  bool tryLockFromOutside(double seconds);

 private:
  std::recursive_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  std::size_t depth_ = 0;  // changed by the owner only
};

// Takes a lock for a scope. On a thread that is reporting a crash (MAICrashReportScope) a lock the
// thread held before the report began is refused, and another is waited for only so long; the
// guard tells whether it got the lock. Locks taken during the report may be taken again.
class MAILockGuard {
 public:
  explicit MAILockGuard(MAILock& lock);
  ~MAILockGuard();
  MAILockGuard(const MAILockGuard&) = delete;
  MAILockGuard& operator=(const MAILockGuard&) = delete;
  explicit operator bool() const { return locked_; }

 private:
  MAILock& lock_;
  bool locked_ = false;
  bool firstOnCrashPath_ = false;
};

// Marks the calling thread as reporting an uncaught exception for its lifetime.
class MAICrashReportScope {
 public:
  MAICrashReportScope();
  ~MAICrashReportScope();
  MAICrashReportScope(const MAICrashReportScope&) = delete;
  MAICrashReportScope& operator=(const MAICrashReportScope&) = delete;
  static bool isActive();
};
