#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "Foundation/Timer.h"
#include "Foundation/WorkerPool.h"

namespace dispatch {

using Chain = std::vector<const Queue*>;

class Queue {
 public:
  enum class Kind { Main, Global, Serial };
  Queue(Kind kind, std::string label, ns::WorkerPool::Priority priority)
      : kind_(kind), label_(std::move(label)), priority_(priority) {}

  struct Job {
    std::function<void()> block;
    Chain chain;  // queues the submitting thread was running, for sync
  };

  Kind kind_;
  std::string label_;
  ns::WorkerPool::Priority priority_;
  std::mutex mutex_;
  std::deque<Job> jobs_;
  bool draining_ = false;
};

namespace {

// The serial queues the calling thread is running, innermost last (a sync block runs with the
// chain of the thread that waits for it, so waiting in a circle is caught too).
thread_local Chain tlsChain;

Chain currentChain() {
  Chain chain = tlsChain;
  if (ns::Thread::isMainThread()) chain.push_back(mainQueue().get());
  return chain;
}

void runUncaught(const std::function<void()>& block) {
  try {
    block();
  } catch (...) {
    std::terminate();  // an escaping exception is uncaught (Foundation/Exception.h)
  }
}

void drain(const QueuePtr& queue) {
  // Hands the worker back now and then so one busy queue cannot hold it for ever.
  constexpr int kBatch = 64;
  for (int n = 0;; ++n) {
    Queue::Job job;
    {
      std::lock_guard lock(queue->mutex_);
      if (queue->jobs_.empty()) {
        queue->draining_ = false;
        return;
      }
      if (n == kBatch) {
        ns::WorkerPool::shared().submit(queue->priority_, [queue] { drain(queue); });
        return;
      }
      job = std::move(queue->jobs_.front());
      queue->jobs_.pop_front();
    }
    Chain saved = std::move(tlsChain);
    tlsChain = std::move(job.chain);
    tlsChain.push_back(queue.get());
    runUncaught(job.block);
    tlsChain = std::move(saved);
  }
}

void enqueueSerial(const QueuePtr& queue, Queue::Job job) {
  bool start = false;
  {
    std::lock_guard lock(queue->mutex_);
    queue->jobs_.push_back(std::move(job));
    start = !std::exchange(queue->draining_, true);
  }
  if (start) ns::WorkerPool::shared().submit(queue->priority_, [queue] { drain(queue); });
}

ns::WorkerPool::Priority poolPriority(long priority) {
  switch (priority) {
    case QUEUE_PRIORITY_HIGH:
      return ns::WorkerPool::Priority::High;
    case QUEUE_PRIORITY_LOW:
      return ns::WorkerPool::Priority::Low;
    case QUEUE_PRIORITY_BACKGROUND:
      return ns::WorkerPool::Priority::Background;
    default:
      return ns::WorkerPool::Priority::Default;
  }
}

// Delayed work for queues other than the main one waits on this thread's run loop.
std::shared_ptr<ns::RunLoop> timerRunLoop() {
  static const auto* loop = new std::shared_ptr<ns::RunLoop>([] {
    auto thread = std::make_shared<ns::Thread>()->initWithBlock([] {
      for (;;) ns::RunLoop::currentRunLoop()->run();
    });
    thread->setName("dispatch.timers");
    thread->start();
    return thread->runLoop();
  }());
  return *loop;
}

}  // namespace

Time time(Time when, std::int64_t deltaNanoseconds) {
  if (when == TIME_FOREVER) return TIME_FOREVER;
  long double base =
      when == TIME_NOW ? static_cast<long double>(ns::clockNow()) * 1e9L : static_cast<long double>(when);
  long double result = base + static_cast<long double>(deltaNanoseconds);
  if (result <= 1) return 1;  // 0 would read as TIME_NOW
  if (result >= static_cast<long double>(TIME_FOREVER - 1)) return TIME_FOREVER - 1;
  return static_cast<Time>(result);
}

QueuePtr mainQueue() {
  // The process-wide queues are never destroyed: worker threads may still reach them while the
  // process exits.
  static const auto* queue =
      new QueuePtr(std::make_shared<Queue>(Queue::Kind::Main, "main-thread", ns::WorkerPool::Priority::High));
  return *queue;
}

QueuePtr getGlobalQueue(long priority, unsigned long) {
  static const auto* queues = new QueuePtr[4]{
      std::make_shared<Queue>(Queue::Kind::Global, "global.high", ns::WorkerPool::Priority::High),
      std::make_shared<Queue>(Queue::Kind::Global, "global.default", ns::WorkerPool::Priority::Default),
      std::make_shared<Queue>(Queue::Kind::Global, "global.low", ns::WorkerPool::Priority::Low),
      std::make_shared<Queue>(Queue::Kind::Global, "global.background", ns::WorkerPool::Priority::Background),
  };
  return queues[static_cast<int>(poolPriority(priority))];
}

QueuePtr queueCreate(std::string label) {
  return std::make_shared<Queue>(Queue::Kind::Serial, std::move(label), ns::WorkerPool::Priority::Default);
}

const std::string& queueGetLabel(const QueuePtr& queue) {
  static const std::string empty;
  return queue ? queue->label_ : empty;
}

void async(const QueuePtr& queue, std::function<void()> block) {
  if (!queue || !block) return;
  switch (queue->kind_) {
    case Queue::Kind::Main:
      ns::RunLoop::mainRunLoop()->performBlock(std::move(block));
      return;
    case Queue::Kind::Global:
      ns::WorkerPool::shared().submit(queue->priority_, std::move(block));
      return;
    case Queue::Kind::Serial:
      enqueueSerial(queue, {std::move(block), {}});
      return;
  }
}

void sync(const QueuePtr& queue, std::function<void()> block) {
  if (!queue || !block) return;
  Chain chain = currentChain();
  if (queue->kind_ == Queue::Kind::Global) {
    block();
    return;
  }
  if (std::find(chain.begin(), chain.end(), queue.get()) != chain.end())
    throw ns::Exception(
        ns::kInternalInconsistencyException,
        ns::format("dispatch::sync onto queue \"%s\", which the calling thread is running, would "
                   "never return",
                   queue->label_));

  struct Wait {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
  };
  auto wait = std::make_shared<Wait>();
  auto run = [wait, block = std::move(block)] {
    std::exception_ptr error;
    try {
      block();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(wait->mutex);
    wait->error = error;
    wait->done = true;
    wait->cv.notify_all();
  };
  if (queue->kind_ == Queue::Kind::Main)
    ns::RunLoop::mainRunLoop()->performBlock([run = std::move(run), chain]() mutable {
      Chain saved = std::move(tlsChain);
      tlsChain = std::move(chain);
      run();
      tlsChain = std::move(saved);
    });
  else
    enqueueSerial(queue, {std::move(run), std::move(chain)});

  ns::WorkerPool::BlockingScope blocking;
  std::unique_lock lock(wait->mutex);
  wait->cv.wait(lock, [&] { return wait->done; });
  if (wait->error) std::rethrow_exception(wait->error);
}

void after(Time when, const QueuePtr& queue, std::function<void()> block) {
  if (!queue || !block || when == TIME_FOREVER) return;
  double delay = when == TIME_NOW ? 0 : static_cast<double>(when) / 1e9 - ns::clockNow();
  if (delay <= 0) {
    async(queue, std::move(block));
    return;
  }
  auto timer = ns::Timer::timerWithTimeInterval(
      delay, false, [queue, block = std::move(block)](const ns::TimerPtr&) { async(queue, block); });
  auto loop = queue->kind_ == Queue::Kind::Main ? ns::RunLoop::mainRunLoop() : timerRunLoop();
  loop->addTimer(timer, ns::kRunLoopCommonModes);
}

void once(OnceFlag& flag, const std::function<void()>& block) { std::call_once(flag, block); }

}  // namespace dispatch
