#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "Foundation/Date.h"

namespace ns {

// The platform's locks. Each also works with std::lock_guard / std::unique_lock. Limit dates are
// on the process clock.
class Lock final {
 public:
  Lock() = default;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool tryLock() { return mutex_.try_lock(); }
  bool try_lock() { return tryLock(); }
  bool lockBeforeDate(Date limit);
  std::string name() const;
  void setName(std::string name);

 private:
  std::timed_mutex mutex_;
  mutable std::mutex nameMutex_;
  std::string name_;
};

// A lock the holding thread may take again; each lock() needs its unlock().
class RecursiveLock final {
 public:
  RecursiveLock() = default;
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool tryLock() { return mutex_.try_lock(); }
  bool try_lock() { return tryLock(); }
  bool lockBeforeDate(Date limit);
  std::string name() const;
  void setName(std::string name);

 private:
  std::recursive_timed_mutex mutex_;
  mutable std::mutex nameMutex_;
  std::string name_;
};

// A lock with a condition: wait() releases the lock while waiting and takes it back before returning.
// Waits may wake spuriously, so callers test their predicate in a loop, as on the platform.
class Condition final {
 public:
  Condition() = default;
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool tryLock() { return mutex_.try_lock(); }
  bool try_lock() { return tryLock(); }
  // Call with the lock held.
  void wait();
  // False when the limit passed first.
  bool waitUntilDate(Date limit);
  void signal() { cv_.notify_one(); }
  void broadcast() { cv_.notify_all(); }
  std::string name() const;
  void setName(std::string name);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  mutable std::mutex nameMutex_;
  std::string name_;
};

}  // namespace ns
