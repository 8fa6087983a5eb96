#include <gtest/gtest.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

TEST(RunLoopTest, PostedBlocksRunInPostingOrderPerThread) {
  auto loop = ns::RunLoop::currentRunLoop();
  constexpr int kThreads = 4, kEach = 200;
  std::mutex mutex;
  std::map<int, std::vector<int>> seen;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i)
        loop->performBlock([&, t, i] {
          std::lock_guard lock(mutex);
          seen[t].push_back(i);
        });
    });
  }
  for (auto& p : posters) p.join();
  ASSERT_TRUE(spinUntil([&] {
    std::lock_guard lock(mutex);
    std::size_t total = 0;
    for (auto& [t, v] : seen) total += v.size();
    return total == kThreads * kEach;
  }));
  for (auto& [t, v] : seen) {
    SCOPED_TRACE(t);
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(v[i], i);
  }
}

TEST(RunLoopTest, BlocksPostedDuringAPassWaitForTheNextPass) {
  auto loop = ns::RunLoop::currentRunLoop();
  int runs = 0;
  std::function<void()> again = [&] {
    if (++runs < 100) loop->performBlock(again);
  };
  loop->performBlock(again);
  EXPECT_TRUE(loop->runOnce(0));
  EXPECT_EQ(runs, 1);
  ASSERT_TRUE(spinUntil([&] { return runs == 100; }));
}

TEST(RunLoopTest, BeforeWaitingObserversRunAfterEachPassesCalls) {
  auto loop = ns::RunLoop::currentRunLoop();
  std::vector<std::string> order;
  auto first = loop->addBeforeWaitingObserver([&] { order.push_back("first"); });
  auto second = loop->addBeforeWaitingObserver([&] {
    order.push_back("second");
    // Calls posted here belong to the next pass, which does not wait for them.
    if (order.size() < 4) loop->performBlock([&] { order.push_back("posted"); });
  });
  loop->performBlock([&] { order.push_back("call"); });
  loop->runOnce(0);
  EXPECT_EQ(order, (std::vector<std::string>{"call", "first", "second"}));
  loop->removeBeforeWaitingObserver(first);
  order.clear();
  loop->runOnce(0);
  EXPECT_EQ(order, (std::vector<std::string>{"posted", "second"}));
  loop->removeBeforeWaitingObserver(second);
  order.clear();
  loop->runOnce(0);
  EXPECT_EQ(order, (std::vector<std::string>{"posted"}));
}

TEST(RunLoopTest, ModeBeforeDateReturnsAfterHandlingAndOnlyAfterTheLimitOtherwise) {
  auto loop = ns::RunLoop::currentRunLoop();
  bool ran = false;
  loop->performBlock([&] { ran = true; });
  EXPECT_TRUE(loop->runModeBeforeDate(ns::kDefaultRunLoopMode, ns::Date::now().dateByAddingTimeInterval(30)));
  EXPECT_TRUE(ran);
  // Nothing to do: the call returns at the limit, and the idle wait does not burn the processor.
  timespec before{}, after{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
  auto start = ns::Date::now();
  EXPECT_FALSE(loop->runModeBeforeDate(ns::kDefaultRunLoopMode, start.dateByAddingTimeInterval(0.2)));
  EXPECT_GE(ns::Date::now().timeIntervalSinceDate(start), 0.19);
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
  double cpu = (after.tv_sec - before.tv_sec) + (after.tv_nsec - before.tv_nsec) / 1e9;
  EXPECT_LT(cpu, 0.05);
}

TEST(RunLoopTest, FileDescriptorSourceRunsWhileRegistered) {
  auto loop = ns::RunLoop::currentRunLoop();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int reads = 0;
  auto id = loop->addFileDescriptorSource(fds[0], POLLIN, [&](short revents) {
    EXPECT_TRUE(revents & POLLIN);
    char c;
    if (::read(fds[0], &c, 1) == 1) ++reads;
  });
  std::thread writer([&] { ASSERT_EQ(::write(fds[1], "x", 1), 1); });
  ASSERT_TRUE(spinUntil([&] { return reads == 1; }));
  writer.join();
  loop->removeFileDescriptorSource(id);
  // The byte is already there: a registered source would run in this pass.
  ASSERT_EQ(::write(fds[1], "y", 1), 1);
  loop->runOnce(0);
  EXPECT_EQ(reads, 1);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(RunLoopTest, StopFromAnotherThreadEndsRun) {
  std::atomic<bool> returned{false};
  auto thread = std::make_shared<ns::Thread>()->initWithBlock([&] {
    ns::RunLoop::currentRunLoop()->run();
    returned = true;
  });
  thread->start();
  // Wait until the thread runs its loop, then stop it from here.
  std::atomic<bool> running{false};
  thread->runLoop()->performBlock([&] { running = true; });
  ASSERT_TRUE(spinUntil([&] { return running.load(); }));
  thread->runLoop()->stop();
  ASSERT_TRUE(spinUntil([&] { return thread->isFinished(); }));
  EXPECT_TRUE(returned);
}

// A loop with nothing to wait for sleeps until it is woken. Wake-ups come from every side at once
// (a moving clock wakes every loop while other threads post to it): however they interleave with
// the loop's own waking, each post still wakes it.
TEST(RunLoopTest, APostWakesASleepingLoopWhateverOtherWakeUpsInterleave) {
  auto sleeper = std::make_shared<ns::Thread>()->initWithBlock([] { ns::RunLoop::currentRunLoop()->run(); });
  sleeper->start();
  auto loop = sleeper->runLoop();
  std::atomic<bool> quit{false};
  std::vector<std::thread> wakers;
  for (int i = 0; i < 3; ++i)
    wakers.emplace_back([&] {
      while (!quit.load()) loop->wakeUp();
    });
  constexpr int kRounds = 500;
  int round = 0;
  for (; round < kRounds; ++round) {
    std::atomic<bool> ran{false};
    loop->performBlock([&] { ran = true; });
    if (!spinUntil([&] { return ran.load(); }, 10)) break;
  }
  EXPECT_EQ(round, kRounds) << "a post was not run";
  quit = true;
  for (auto& w : wakers) w.join();
  loop->stop();
  ASSERT_TRUE(spinUntil([&] { return sleeper->isFinished(); }));
}

TEST(RunLoopTest, StopInsideACallEndsOnlyTheInnermostRun) {
  auto loop = ns::RunLoop::currentRunLoop();
  std::vector<std::string> trace;
  loop->performBlock([&] {
    trace.push_back("outer call");
    loop->performBlock([&] {
      trace.push_back("inner call");
      loop->stop();
    });
    loop->run();  // nested, ended by the stop above
    trace.push_back("nested run returned");
  });
  ASSERT_TRUE(spinUntil([&] { return trace.size() == 3; }));
  EXPECT_EQ(trace, (std::vector<std::string>{"outer call", "inner call", "nested run returned"}));
}

TEST(RunLoopTest, RunningAnotherThreadsLoopIsRefused) {
  auto thread = std::make_shared<ns::Thread>()->initWithBlock([] {});
  EXPECT_THROW(thread->runLoop()->runOnce(0), ns::Exception);
}

TEST(RunLoopTest, MainRunLoopBelongsToTheMainThread) {
  EXPECT_TRUE(ns::Thread::isMainThread());
  EXPECT_EQ(ns::RunLoop::currentRunLoop(), ns::RunLoop::mainRunLoop());
  EXPECT_TRUE(ns::Thread::currentThread()->isMain());
  std::shared_ptr<ns::RunLoop> seen;
  bool isMain = true;
  std::thread([&] {
    seen = ns::RunLoop::currentRunLoop();
    isMain = ns::Thread::isMainThread();
  }).join();
  EXPECT_NE(seen, ns::RunLoop::mainRunLoop());
  EXPECT_FALSE(isMain);
}

}  // namespace
