#include "Foundation/WorkerPool.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace ns {
namespace {
thread_local bool tlsIsWorker = false;
constexpr std::size_t kHardLimit = 512;
constexpr auto kIdleExit = std::chrono::seconds(20);
}  // namespace

struct WorkerPool::State {
  // An idle worker, waiting to be handed work.
  struct Idle {
    std::condition_variable wake;
    bool claimed = false;
  };

  std::mutex mutex;
  std::array<std::deque<std::function<void()>>, 4> queues;
  std::size_t threads = 0;  // workers alive
  // Idle workers not yet claimed, the most recently idle last: it is woken first, since its caches
  // and its allocator's free memory are the warmest (a serial queue that keeps restarting stays
  // on one thread).
  std::vector<Idle*> idle;
  std::size_t blocked = 0;     // workers inside a BlockingScope
  std::size_t unfinished = 0;  // jobs submitted and not yet returned

  bool hasWorkLocked() const {
    return std::any_of(queues.begin(), queues.end(), [](const auto& q) { return !q.empty(); });
  }
  std::function<void()> popLocked() {
    for (auto& q : queues) {
      if (!q.empty()) {
        auto job = std::move(q.front());
        q.pop_front();
        return job;
      }
    }
    return {};
  }
};

WorkerPool& WorkerPool::shared() {
  static WorkerPool* pool = new WorkerPool();
  return *pool;
}

WorkerPool::WorkerPool() : state_(new State), width_(std::max(2u, std::thread::hardware_concurrency())) {}

bool WorkerPool::isWorkerThread() { return tlsIsWorker; }

std::size_t WorkerPool::threadCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->threads;
}

std::size_t WorkerPool::unfinishedJobCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->unfinished;
}

void WorkerPool::spawnLocked() {
  ++state_->threads;
  std::thread([this] { workerLoop(); }).detach();
}

// Queued work wants a worker: wake an idle one, or start one while fewer than width_ are running.
void WorkerPool::provideWorkerLocked() {
  if (!state_->idle.empty()) {
    State::Idle* worker = state_->idle.back();
    state_->idle.pop_back();
    worker->claimed = true;
    worker->wake.notify_one();
  } else if (state_->threads - state_->blocked < width_ && state_->threads < kHardLimit) {
    spawnLocked();
  }
}

void WorkerPool::submit(Priority priority, std::function<void()> job) {
  if (!job) return;
  std::lock_guard lock(state_->mutex);
  state_->queues[static_cast<std::size_t>(priority)].push_back(std::move(job));
  ++state_->unfinished;
  provideWorkerLocked();
}

void WorkerPool::workerLoop() {
  tlsIsWorker = true;
  pthread_setname_np(pthread_self(), "ns.worker");
  State::Idle self;
  std::unique_lock lock(state_->mutex);
  for (;;) {
    if (auto job = state_->popLocked()) {
      lock.unlock();
      try {
        job();
      } catch (...) {
        std::terminate();  // an escaping exception is uncaught (Foundation/Exception.h)
      }
      job = nullptr;  // release what the job captured before taking the lock again
      lock.lock();
      --state_->unfinished;
      continue;
    }
    self.claimed = false;
    state_->idle.push_back(&self);
    if (self.wake.wait_for(lock, kIdleExit, [&] { return self.claimed; })) continue;
    std::erase(state_->idle, &self);
    --state_->threads;
    return;
  }
}

void WorkerPool::blockingChanged(bool entering) {
  std::lock_guard lock(state_->mutex);
  if (!entering) {
    --state_->blocked;
    return;
  }
  ++state_->blocked;
  if (state_->hasWorkLocked()) provideWorkerLocked();
}

WorkerPool::BlockingScope::BlockingScope() : active_(tlsIsWorker) {
  if (active_) shared().blockingChanged(true);
}

WorkerPool::BlockingScope::~BlockingScope() {
  if (active_) shared().blockingChanged(false);
}

}  // namespace ns
