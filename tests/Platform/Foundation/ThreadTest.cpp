#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "Foundation/WorkerPool.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

std::shared_ptr<ns::Thread> startLoopThread(std::string name) {
  auto thread = std::make_shared<ns::Thread>()->initWithBlock([] {
    while (!ns::Thread::currentThread()->isCancelled()) ns::RunLoop::currentRunLoop()->run();
  });
  thread->setName(std::move(name));
  thread->start();
  return thread;
}

void stopLoopThread(const std::shared_ptr<ns::Thread>& thread) {
  thread->cancel();
  thread->runLoop()->performBlock([] { ns::RunLoop::currentRunLoop()->stop(); });
  ASSERT_TRUE(spinUntil([&] { return thread->isFinished(); }));
}

TEST(ThreadTest, WaitingOnTheCurrentThreadRunsTheCallInline) {
  bool ran = false;
  ns::performOnMainThread([&] { ran = true; }, true);
  EXPECT_TRUE(ran);
  auto thread = startLoopThread("inline");
  std::vector<int> order;
  ns::performOnThread(
      thread,
      [&] {
        order.push_back(1);
        ns::performOnThread(
            ns::Thread::currentThread(), [&] { order.push_back(2); }, true);
        order.push_back(3);
      },
      true);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  stopLoopThread(thread);
}

TEST(ThreadTest, CallsRunOnTheTargetThreadInOrder) {
  auto thread = startLoopThread("worker");
  std::vector<int> seen;
  std::atomic<bool> allOnThread{true};
  for (int i = 0; i < 50; ++i)
    ns::performOnThread(
        thread,
        [&, i] {
          if (ns::Thread::isMainThread() || ns::Thread::currentThread() != thread) allOnThread = false;
          seen.push_back(i);
        },
        false);
  ns::performOnThread(
      thread, [] {}, true);  // everything queued before has run
  ASSERT_EQ(seen.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_TRUE(allOnThread);
  EXPECT_EQ(thread->name(), "worker");
  EXPECT_FALSE(thread->isMain());
  stopLoopThread(thread);
}

TEST(ThreadTest, BackgroundThreadWaitsForTheMainThread) {
  std::atomic<bool> returned{false};
  bool ranOnMain = false;
  std::thread background([&] {
    ns::performOnMainThread([&] { ranOnMain = ns::Thread::isMainThread(); }, true);
    returned = true;
  });
  ASSERT_TRUE(spinUntil([&] { return returned.load(); }));
  background.join();
  EXPECT_TRUE(ranOnMain);
}

TEST(ThreadTest, FinishedThreadDropsCalls) {
  auto thread = std::make_shared<ns::Thread>()->initWithBlock([] {});
  thread->start();
  ASSERT_TRUE(spinUntil([&] { return thread->isFinished(); }));
  bool ran = false;
  ns::performOnThread(
      thread, [&] { ran = true; }, true);  // returns at once
  EXPECT_FALSE(ran);
  EXPECT_FALSE(thread->isExecuting());
}

TEST(ThreadTest, DetachedThreadRunsItsBlock) {
  std::atomic<bool> ran{false};
  ns::Thread::detachNewThreadWithBlock([&] { ran = !ns::Thread::isMainThread(); });
  ASSERT_TRUE(spinUntil([&] { return ran.load(); }));
}

// Workers that block in a platform wait lend their slot, so work queued behind them still runs.
TEST(WorkerPoolTest, BlockedWorkersDoNotStarveThePool) {
  auto& pool = ns::WorkerPool::shared();
  const std::size_t blockers = pool.width() + 2;
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  std::atomic<std::size_t> finished{0};
  for (std::size_t i = 0; i < blockers; ++i)
    pool.submit(ns::WorkerPool::Priority::Default, [&] {
      ns::WorkerPool::BlockingScope blocking;
      std::unique_lock lock(mutex);
      cv.wait(lock, [&] { return open; });
      ++finished;
    });
  pool.submit(ns::WorkerPool::Priority::Background, [&] {
    std::lock_guard lock(mutex);
    open = true;
    cv.notify_all();
  });
  ASSERT_TRUE(spinUntil([&] { return finished.load() == blockers; }));
}

TEST(WorkerPoolTest, JobsRunOffTheMainThread) {
  auto& pool = ns::WorkerPool::shared();
  std::atomic<int> done{0};
  std::atomic<bool> onMain{false};
  for (int i = 0; i < 100; ++i) {
    pool.submit(i % 2 ? ns::WorkerPool::Priority::High : ns::WorkerPool::Priority::Low, [&] {
      if (ns::Thread::isMainThread() || !ns::WorkerPool::isWorkerThread()) onMain = true;
      ++done;
    });
  }
  ASSERT_TRUE(spinUntil([&] { return done.load() == 100; }));
  EXPECT_FALSE(onMain.load());
  EXPECT_LE(pool.threadCount(), 512u);
}

}  // namespace
