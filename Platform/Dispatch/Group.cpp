#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/WorkerPool.h"

namespace dispatch {

namespace {

// Waits on cv until ready() or the clock time `timeout`; the remaining time is read from the
// process clock once and then waited in real time.
template <class Ready>
bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, Time timeout, Ready ready) {
  if (ready()) return true;
  if (timeout == TIME_NOW) return false;
  ns::WorkerPool::BlockingScope blocking;
  if (timeout == TIME_FOREVER) {
    cv.wait(lock, ready);
    return true;
  }
  double left = static_cast<double>(timeout) / 1e9 - ns::clockNow();
  if (left <= 0) return false;
  return cv.wait_for(lock, std::chrono::duration<double>(left), ready);
}

}  // namespace

class Group {
 public:
  std::mutex mutex;
  std::condition_variable cv;
  long count = 0;
  std::vector<std::pair<QueuePtr, std::function<void()>>> notifications;
};

class Semaphore {
 public:
  std::mutex mutex;
  std::condition_variable cv;
  long value = 0;
  long waiters = 0;
};

GroupPtr groupCreate() { return std::make_shared<Group>(); }

void groupEnter(const GroupPtr& group) {
  std::lock_guard lock(group->mutex);
  ++group->count;
}

void groupLeave(const GroupPtr& group) {
  std::vector<std::pair<QueuePtr, std::function<void()>>> ready;
  {
    std::lock_guard lock(group->mutex);
    if (group->count == 0)
      throw ns::Exception(ns::kInternalInconsistencyException,
                          "dispatch::groupLeave without a matching groupEnter");
    if (--group->count > 0) return;
    ready = std::move(group->notifications);
    group->notifications.clear();
    group->cv.notify_all();
  }
  for (auto& [queue, block] : ready) async(queue, std::move(block));
}

void groupAsync(const GroupPtr& group, const QueuePtr& queue, std::function<void()> block) {
  groupEnter(group);
  async(queue, [group, block = std::move(block)] {
    struct Leave {
      GroupPtr group;
      ~Leave() { groupLeave(group); }
    } leave{group};
    block();
  });
}

void groupNotify(const GroupPtr& group, const QueuePtr& queue, std::function<void()> block) {
  {
    std::lock_guard lock(group->mutex);
    if (group->count > 0) {
      group->notifications.emplace_back(queue, std::move(block));
      return;
    }
  }
  async(queue, std::move(block));
}

long groupWait(const GroupPtr& group, Time timeout) {
  std::unique_lock lock(group->mutex);
  return waitUntil(lock, group->cv, timeout, [&] { return group->count == 0; }) ? 0 : 1;
}

SemaphorePtr semaphoreCreate(long value) {
  if (value < 0) return nullptr;
  auto semaphore = std::make_shared<Semaphore>();
  semaphore->value = value;
  return semaphore;
}

long semaphoreSignal(const SemaphorePtr& semaphore) {
  std::lock_guard lock(semaphore->mutex);
  ++semaphore->value;
  if (semaphore->waiters == 0) return 0;
  semaphore->cv.notify_one();
  return 1;
}

long semaphoreWait(const SemaphorePtr& semaphore, Time timeout) {
  std::unique_lock lock(semaphore->mutex);
  ++semaphore->waiters;
  bool got = waitUntil(lock, semaphore->cv, timeout, [&] { return semaphore->value > 0; });
  --semaphore->waiters;
  if (!got) return 1;
  --semaphore->value;
  return 0;
}

}  // namespace dispatch
