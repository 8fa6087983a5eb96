#include "Foundation/Lock.h"

#include <algorithm>
#include <chrono>

#include "Foundation/WorkerPool.h"

namespace ns {
namespace {
std::chrono::duration<double> untilDate(Date limit) {
  return std::chrono::duration<double>(std::max(0.0, limit.timeIntervalSinceNow()));
}
}  // namespace

namespace detail {
template <class Mutex>
bool lockBefore(Mutex& mutex, Date limit) {
  if (mutex.try_lock()) return true;
  WorkerPool::BlockingScope blocking;
  return mutex.try_lock_for(untilDate(limit));
}
template bool lockBefore(std::timed_mutex&, Date);
template bool lockBefore(std::recursive_timed_mutex&, Date);
}  // namespace detail

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

}  // namespace ns
