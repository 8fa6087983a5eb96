#include "Foundation/Thread.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <thread>

#include "Foundation/Exception.h"
#include "Foundation/WorkerPool.h"

namespace ns {
namespace {
thread_local std::shared_ptr<Thread> tlsThread;
}

Thread::Thread() = default;
Thread::~Thread() = default;

std::shared_ptr<Thread> Thread::initWithBlock(std::function<void()> block) {
  std::lock_guard lock(mutex_);
  block_ = std::move(block);
  if (!runLoop_) runLoop_ = RunLoop::makeForThread(0);
  return std::static_pointer_cast<Thread>(shared_from_this());
}

void Thread::detachNewThreadWithBlock(std::function<void()> block) {
  std::make_shared<Thread>()->initWithBlock(std::move(block))->start();
}

std::string Thread::name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void Thread::setName(std::string name) {
  std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

void Thread::start() {
  if (isMain_ || started_.exchange(true)) return;
  std::shared_ptr<RunLoop> loop;
  {
    std::lock_guard lock(mutex_);
    if (!runLoop_) runLoop_ = RunLoop::makeForThread(0);
    loop = runLoop_;
  }
  auto self = std::static_pointer_cast<Thread>(shared_from_this());
  executing_.store(true);
  // The thread holds its object until the body returns.
  std::thread([self, loop] {
    loop->bindToCurrentThread();
    tlsThread = self;
    {
      std::string name = self->name();
      if (!name.empty()) pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
    }
    std::function<void()> body;
    {
      std::lock_guard lock(self->mutex_);
      body = std::move(self->block_);
    }
    try {
      if (body) body();
    } catch (...) {
      std::terminate();  // an escaping exception is uncaught (Foundation/Exception.h)
    }
    self->executing_.store(false);
    self->finished_.store(true);
    tlsThread.reset();
  }).detach();
}

std::shared_ptr<Thread> Thread::makeForCurrentThread(std::shared_ptr<RunLoop> runLoop, bool isMain) {
  auto thread = std::make_shared<Thread>();
  thread->runLoop_ = std::move(runLoop);
  thread->isMain_ = isMain;
  thread->started_.store(true);
  thread->executing_.store(true);
  return thread;
}

std::shared_ptr<Thread> Thread::mainThread() {
  static const auto* main = new std::shared_ptr<Thread>([] {
    auto thread = makeForCurrentThread(RunLoop::mainRunLoop(), true);
    thread->name_ = "main";
    return thread;
  }());
  return *main;
}

std::shared_ptr<Thread> Thread::currentThread() {
  if (!tlsThread)
    tlsThread = isMainThread() ? mainThread() : makeForCurrentThread(RunLoop::currentRunLoop(), false);
  return tlsThread;
}

bool Thread::isMainThread() { return detail::currentThreadId() == static_cast<int>(::getpid()); }

void Thread::sleepForTimeInterval(double seconds) {
  if (seconds <= 0) return;
  WorkerPool::BlockingScope blocking;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void performOnThread(const ThreadPtr& thread, std::function<void()> block, bool waitUntilDone) {
  if (!thread || !block || thread->isFinished()) return;
  auto loop = thread->runLoop();
  if (!loop) return;
  if (waitUntilDone && loop->isCurrent()) {
    block();
    return;
  }
  if (!waitUntilDone) {
    loop->performBlock(std::move(block));
    return;
  }
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  auto done = std::make_shared<Done>();
  // The guard marks the call done even when the block throws or is dropped unrun.
  struct Signal {
    explicit Signal(std::shared_ptr<Done> d) : done(std::move(d)) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    std::shared_ptr<Done> done;
    ~Signal() {
      std::lock_guard lock(done->mutex);
      done->done = true;
      done->cv.notify_all();
    }
  };
  auto signal = std::make_shared<Signal>(done);
  loop->performBlock([block = std::move(block), signal]() mutable {
    auto keep = std::move(signal);
    block();
  });
  signal.reset();
  WorkerPool::BlockingScope blocking;
  std::unique_lock lock(done->mutex);
  done->cv.wait(lock, [&] { return done->done || thread->isFinished(); });
}

void performOnMainThread(std::function<void()> block, bool waitUntilDone) {
  performOnThread(Thread::mainThread(), std::move(block), waitUntilDone);
}

}  // namespace ns
