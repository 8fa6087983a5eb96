#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/Thread.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

TEST(DispatchTest, MainQueueRunsOnTheMainThreadInSubmissionOrder) {
  std::vector<int> seen;
  std::atomic<bool> allOnMain{true};
  std::thread([&] {
    for (int i = 0; i < 100; ++i)
      dispatch::async(dispatch::mainQueue(), [&, i] {
        if (!ns::Thread::isMainThread()) allOnMain = false;
        seen.push_back(i);
      });
  }).join();
  ASSERT_TRUE(spinUntil([&] { return seen.size() == 100; }));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_TRUE(allOnMain);
}

TEST(DispatchTest, GlobalQueuesRunBlocksConcurrentlyOffTheMainThread) {
  for (long priority : {dispatch::QUEUE_PRIORITY_HIGH, dispatch::QUEUE_PRIORITY_DEFAULT,
                        dispatch::QUEUE_PRIORITY_LOW, dispatch::QUEUE_PRIORITY_BACKGROUND}) {
    SCOPED_TRACE(priority);
    // Two blocks that each wait for the other can only finish if they run at the same time.
    auto first = dispatch::semaphoreCreate(0), second = dispatch::semaphoreCreate(0);
    auto group = dispatch::groupCreate();
    std::atomic<bool> onMain{false};
    auto queue = dispatch::getGlobalQueue(priority);
    dispatch::groupAsync(group, queue, [&] {
      onMain = onMain || ns::Thread::isMainThread();
      dispatch::semaphoreSignal(first);
      dispatch::semaphoreWait(second, dispatch::TIME_FOREVER);
    });
    dispatch::groupAsync(group, queue, [&] {
      dispatch::semaphoreSignal(second);
      dispatch::semaphoreWait(first, dispatch::TIME_FOREVER);
    });
    EXPECT_EQ(dispatch::groupWait(group, dispatch::time(dispatch::TIME_NOW, 60 * dispatch::NSEC_PER_SEC)), 0);
    EXPECT_FALSE(onMain);
  }
}

TEST(DispatchTest, SerialQueueRunsOneBlockAtATimeInOrder) {
  auto queue = dispatch::queueCreate("serial.test");
  EXPECT_EQ(dispatch::queueGetLabel(queue), "serial.test");
  std::vector<int> order;  // unguarded on purpose: the queue is the lock
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::vector<std::thread> submitters;
  for (int t = 0; t < 4; ++t)
    submitters.emplace_back([&, t] {
      for (int i = 0; i < 250; ++i)
        dispatch::async(queue, [&, t, i] {
          if (inside.fetch_add(1) != 0) overlapped = true;
          order.push_back(t * 1000 + i);
          inside.fetch_sub(1);
        });
    });
  for (auto& s : submitters) s.join();
  std::size_t count = 0;
  dispatch::sync(queue, [&] { count = order.size(); });
  EXPECT_EQ(count, 1000u);
  EXPECT_FALSE(overlapped);
  std::vector<int> last(4, -1);
  for (int v : order) {
    EXPECT_GT(v % 1000, last[v / 1000]);
    last[v / 1000] = v % 1000;
  }
}

TEST(DispatchTest, SyncReturnsAfterTheBlockAndPassesItsException) {
  auto queue = dispatch::queueCreate("sync.test");
  int value = 0;
  dispatch::sync(queue, [&] { value = 42; });
  EXPECT_EQ(value, 42);
  EXPECT_THROW(dispatch::sync(queue, [] { throw std::runtime_error("inside"); }), std::runtime_error);
  // The queue still works afterwards.
  dispatch::sync(queue, [&] { value = 7; });
  EXPECT_EQ(value, 7);
  bool inlineOnMain = false;
  dispatch::sync(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                 [&] { inlineOnMain = ns::Thread::isMainThread(); });
  EXPECT_TRUE(inlineOnMain);
}

TEST(DispatchTest, SyncOntoTheMainQueueFromAWorkerWaitsForTheMainThread) {
  std::atomic<bool> done{false};
  bool ranOnMain = false;
  dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT), [&] {
    dispatch::sync(dispatch::mainQueue(), [&] { ranOnMain = ns::Thread::isMainThread(); });
    done = true;
  });
  ASSERT_TRUE(spinUntil([&] { return done.load(); }));
  EXPECT_TRUE(ranOnMain);
}

// A sync that could only return after itself is reported instead of hanging.
TEST(DispatchTest, SyncOntoAQueueTheCallerIsRunningThrows) {
  auto a = dispatch::queueCreate("a");
  auto b = dispatch::queueCreate("b");
  struct Case {
    const char* name;
    std::function<void()> run;
  } cases[] = {
      {"main from main", [] { dispatch::sync(dispatch::mainQueue(), [] {}); }},
      {"a inside a", [&] { dispatch::sync(a, [&] { dispatch::sync(a, [] {}); }); }},
      {"a inside b inside a",
       [&] { dispatch::sync(a, [&] { dispatch::sync(b, [&] { dispatch::sync(a, [] {}); }); }); }},
      {"main inside a from main",
       [&] { dispatch::sync(a, [] { dispatch::sync(dispatch::mainQueue(), [] {}); }); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(c.run(), ns::Exception);
  }
  // The same nesting from an asynchronous block: reported there, and the queue keeps working.
  testsupport::LogCapture log;
  std::atomic<bool> threw{false};
  dispatch::async(a, [&] {
    try {
      dispatch::sync(a, [] {});
    } catch (const ns::Exception&) {
      threw = true;
    }
  });
  int after = 0;
  dispatch::sync(a, [&] { after = 1; });
  EXPECT_TRUE(threw);
  EXPECT_EQ(after, 1);
}

TEST(DispatchTest, AfterRunsWhenTheManualClockReachesTheTime) {
  ns::ManualClock clock;
  std::vector<std::string> order;
  dispatch::after(dispatch::time(dispatch::TIME_NOW, 2 * dispatch::NSEC_PER_SEC), dispatch::mainQueue(),
                  [&] { order.push_back("2s"); });
  dispatch::after(dispatch::time(dispatch::TIME_NOW, 1 * dispatch::NSEC_PER_SEC), dispatch::mainQueue(),
                  [&] { order.push_back("1s"); });
  dispatch::after(dispatch::TIME_FOREVER, dispatch::mainQueue(), [&] { order.push_back("never"); });
  std::atomic<bool> background{false};
  dispatch::after(dispatch::time(dispatch::TIME_NOW, 20 * dispatch::NSEC_PER_SEC),
                  dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT), [&] { background = true; });
  clock.advance(0.999);
  EXPECT_TRUE(order.empty());
  clock.advance(0.001);
  EXPECT_EQ(order, std::vector<std::string>{"1s"});
  clock.advance(1.0);
  EXPECT_EQ(order, (std::vector<std::string>{"1s", "2s"}));
  EXPECT_FALSE(background.load());
  clock.advance(18.0);
  ASSERT_TRUE(spinUntil([&] { return background.load(); }));
  clock.advance(1000);
  EXPECT_EQ(order.size(), 2u);
}

TEST(DispatchTest, OnceRunsItsBlockOnceAcrossThreads) {
  dispatch::OnceFlag flag;
  std::atomic<int> runs{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([&] { dispatch::once(flag, [&] { ++runs; }); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(runs.load(), 1);
}

TEST(DispatchTest, GroupNotifiesOnceEmptyAndWaitsWithATimeout) {
  auto group = dispatch::groupCreate();
  int notified = 0;
  dispatch::groupNotify(group, dispatch::mainQueue(), [&] { ++notified; });  // already empty
  ASSERT_TRUE(spinUntil([&] { return notified == 1; }));

  dispatch::groupEnter(group);
  dispatch::groupEnter(group);
  dispatch::groupNotify(group, dispatch::mainQueue(), [&] { ++notified; });
  EXPECT_NE(dispatch::groupWait(group, dispatch::TIME_NOW), 0);
  EXPECT_NE(dispatch::groupWait(group, dispatch::time(dispatch::TIME_NOW, 10 * dispatch::NSEC_PER_MSEC)), 0);
  dispatch::groupLeave(group);
  EXPECT_NE(dispatch::groupWait(group, dispatch::TIME_NOW), 0);
  dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_LOW),
                  [group] { dispatch::groupLeave(group); });
  EXPECT_EQ(dispatch::groupWait(group, dispatch::TIME_FOREVER), 0);
  ASSERT_TRUE(spinUntil([&] { return notified == 2; }));
  EXPECT_THROW(dispatch::groupLeave(group), ns::Exception);
}

TEST(DispatchTest, SemaphoreCountsSignalsAndTimesOut) {
  EXPECT_EQ(dispatch::semaphoreCreate(-1), nullptr);
  auto semaphore = dispatch::semaphoreCreate(1);
  EXPECT_EQ(dispatch::semaphoreWait(semaphore, dispatch::TIME_NOW), 0);
  EXPECT_NE(dispatch::semaphoreWait(semaphore, dispatch::TIME_NOW), 0);
  EXPECT_NE(
      dispatch::semaphoreWait(semaphore, dispatch::time(dispatch::TIME_NOW, 5 * dispatch::NSEC_PER_MSEC)), 0);
  // Producer and consumer hand over 1,000 items one by one.
  auto items = dispatch::semaphoreCreate(0);
  std::atomic<int> consumed{0};
  std::thread consumer([&] {
    for (int i = 0; i < 1000; ++i) {
      dispatch::semaphoreWait(items, dispatch::TIME_FOREVER);
      ++consumed;
    }
  });
  for (int i = 0; i < 1000; ++i) dispatch::semaphoreSignal(items);
  consumer.join();
  EXPECT_EQ(consumed.load(), 1000);
  EXPECT_NE(dispatch::semaphoreWait(items, dispatch::TIME_NOW), 0);
}

}  // namespace

namespace {

void printingHandler(const ns::Exception& exception) {
  std::fprintf(stderr, "handled %s on %s thread\n", exception.reason().c_str(),
               ns::Thread::isMainThread() ? "the main" : "another");
}

// Every queue treats an escaping exception alike: the handler hears it where it escaped, then the process
// ends.
TEST(DispatchDeathTest, ABlocksEscapingExceptionIsUncaughtOnEveryQueue) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* queue;
    std::function<void()> escape;
    const char* expected;
  } cases[] = {
      {"main", [] { dispatch::async(dispatch::mainQueue(), [] { throw ns::Exception("E", "main block"); }); },
       "handled main block on the main thread"},
      {"global",
       [] {
         dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                         [] { throw ns::Exception("E", "global block"); });
       },
       "handled global block on another thread"},
      {"serial",
       [] { dispatch::async(dispatch::queueCreate("s"), [] { throw ns::Exception("E", "serial block"); }); },
       "handled serial block on another thread"},
      {"after, main",
       [] {
         dispatch::after(dispatch::time(dispatch::TIME_NOW, 10 * dispatch::NSEC_PER_MSEC),
                         dispatch::mainQueue(), [] { throw std::runtime_error("later"); });
       },
       "handled later on the main thread"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.queue);
    EXPECT_DEATH(
        {
          ns::setUncaughtExceptionHandler(printingHandler);
          c.escape();
          spinUntil([] { return false; }, 60);
        },
        c.expected);
  }
}

}  // namespace
