#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "Foundation/Date.h"

namespace ns {

namespace detail {

// A lock's name, settable from any thread.
class LockName {
 public:
  std::string get() const {
    std::lock_guard lock(mutex_);
    return name_;
  }
  void set(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
  }

 private:
  mutable std::mutex mutex_;
  std::string name_;
};

// Waits for `mutex` until `limit` on the process clock, lending a worker's slot meanwhile.
template <class Mutex>
bool lockBefore(Mutex& mutex, Date limit);

template <class Mutex>
class BasicLock {
 public:
  BasicLock() = default;
  BasicLock(const BasicLock&) = delete;
  BasicLock& operator=(const BasicLock&) = delete;

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool tryLock() { return mutex_.try_lock(); }
  bool try_lock() { return tryLock(); }
  bool lockBeforeDate(Date limit) { return lockBefore(mutex_, limit); }
  std::string name() const { return name_.get(); }
  void setName(std::string name) { name_.set(std::move(name)); }

 private:
  Mutex mutex_;
  LockName name_;
};

}  // namespace detail

// The platform's locks. Each also works with std::lock_guard / std::unique_lock. Limit dates are
// on the process clock.
class Lock final : public detail::BasicLock<std::timed_mutex> {};

// A lock the holding thread may take again; each lock() needs its unlock().
class RecursiveLock final : public detail::BasicLock<std::recursive_timed_mutex> {};

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
  std::string name() const { return name_.get(); }
  void setName(std::string name) { name_.set(std::move(name)); }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  detail::LockName name_;
};

}  // namespace ns
