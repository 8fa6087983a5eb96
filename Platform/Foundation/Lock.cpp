#include "Foundation/Lock.h"

#include <chrono>

#include "Foundation/WorkerPool.h"

namespace ns {
namespace {
std::chrono::duration<double> untilDate(Date limit) {
  return std::chrono::duration<double>(std::max(0.0, limit.timeIntervalSinceNow()));
}
}  // namespace

bool Lock::lockBeforeDate(Date limit) {
  if (mutex_.try_lock()) return true;
  WorkerPool::BlockingScope blocking;
  return mutex_.try_lock_for(untilDate(limit));
}

std::string Lock::name() const {
  std::lock_guard lock(nameMutex_);
  return name_;
}

void Lock::setName(std::string name) {
  std::lock_guard lock(nameMutex_);
  name_ = std::move(name);
}

bool RecursiveLock::lockBeforeDate(Date limit) {
  if (mutex_.try_lock()) return true;
  WorkerPool::BlockingScope blocking;
  return mutex_.try_lock_for(untilDate(limit));
}

std::string RecursiveLock::name() const {
  std::lock_guard lock(nameMutex_);
  return name_;
}

void RecursiveLock::setName(std::string name) {
  std::lock_guard lock(nameMutex_);
  name_ = std::move(name);
}

void Condition::wait() {
  WorkerPool::BlockingScope blocking;
  std::unique_lock lock(mutex_, std::adopt_lock);
  cv_.wait(lock);
  lock.release();
}

bool Condition::waitUntilDate(Date limit) {
  WorkerPool::BlockingScope blocking;
  std::unique_lock lock(mutex_, std::adopt_lock);
  bool signalled = cv_.wait_for(lock, untilDate(limit)) == std::cv_status::no_timeout;
  lock.release();
  return signalled;
}

std::string Condition::name() const {
  std::lock_guard lock(nameMutex_);
  return name_;
}

void Condition::setName(std::string name) {
  std::lock_guard lock(nameMutex_);
  name_ = std::move(name);
}

}  // namespace ns
