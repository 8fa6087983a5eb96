#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "Foundation/Timer.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

class TimerTest : public ::testing::Test {
 protected:
  ns::ManualClock clock{1'000'000.0};
};

// The intervals the system's timers use: sliders, control hiding, play time, dispatch, activity.
TEST_F(TimerTest, RepeatingTimersFireOncePerIntervalOnTheManualClock) {
  for (double interval : {8.0, 6.0, 1.0, 20.0, 0.17}) {
    SCOPED_TRACE(interval);
    const double start = clock.now();
    std::vector<double> firings;
    auto timer = ns::Timer::scheduledTimerWithTimeInterval(interval, true, [&](const ns::TimerPtr&) {
      firings.push_back(ns::Date::now().timeIntervalSince1970());
    });
    clock.advance(interval * 0.5);
    EXPECT_TRUE(firings.empty());
    clock.advance(interval * 3);  // reaches 3.5 intervals
    ASSERT_EQ(firings.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(firings[i] - start, interval * (i + 1), 1e-9);
    timer->invalidate();
    clock.advance(interval * 2);
    EXPECT_EQ(firings.size(), 3u);
  }
}

TEST_F(TimerTest, OneShotTimerFiresOnceAndInvalidatesItself) {
  int fired = 0;
  auto timer = ns::Timer::scheduledTimerWithTimeInterval(6.0, false, [&](const ns::TimerPtr&) { ++fired; });
  clock.advance(5.999);
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(timer->isValid());
  clock.advance(0.001);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timer->isValid());
  clock.advance(60);
  EXPECT_EQ(fired, 1);
}

TEST_F(TimerTest, TimersFireInDeadlineOrderAcrossOneAdvance) {
  std::vector<std::string> order;
  auto a = ns::Timer::scheduledTimerWithTimeInterval(8.0, true,
                                                     [&](const ns::TimerPtr&) { order.push_back("8"); });
  auto b = ns::Timer::scheduledTimerWithTimeInterval(6.0, false,
                                                     [&](const ns::TimerPtr&) { order.push_back("6"); });
  auto c = ns::Timer::scheduledTimerWithTimeInterval(20.0, true,
                                                     [&](const ns::TimerPtr&) { order.push_back("20"); });
  clock.advance(24.0);
  EXPECT_EQ(order, (std::vector<std::string>{"6", "8", "8", "20", "8"}));
  a->invalidate();
  c->invalidate();
}

struct Slider : ns::Object {
  int steps = 0;
  void timerMethodPush() { ++steps; }
  void withTimer(const ns::TimerPtr& t) { steps += t->userInfo().intValue(); }
};

TEST_F(TimerTest, TargetIsKeptUntilInvalidated) {
  std::weak_ptr<Slider> weak;
  ns::TimerPtr timer;
  {
    auto slider = std::make_shared<Slider>();
    weak = slider;
    timer =
        ns::Timer::scheduledTimerWithTimeInterval(8.0, slider, &Slider::timerMethodPush, ns::Value(), true);
  }
  clock.advance(16.0);
  ASSERT_FALSE(weak.expired());
  EXPECT_EQ(weak.lock()->steps, 2);
  timer->invalidate();
  EXPECT_TRUE(weak.expired());
}

TEST_F(TimerTest, SelectorMayTakeTheTimerAndReadItsUserInfo) {
  auto slider = std::make_shared<Slider>();
  auto timer =
      ns::Timer::scheduledTimerWithTimeInterval(1.0, slider, &Slider::withTimer, ns::Value(5), false);
  clock.advance(1.0);
  EXPECT_EQ(slider->steps, 5);
}

TEST_F(TimerTest, InvalidatingFromItsOwnActionStopsIt) {
  int fired = 0;
  ns::Timer::scheduledTimerWithTimeInterval(1.0, true, [&](const ns::TimerPtr& t) {
    if (++fired == 2) t->invalidate();
  });
  clock.advance(10);
  EXPECT_EQ(fired, 2);
}

TEST_F(TimerTest, MovingTheFireDateReschedules) {
  int fired = 0;
  auto timer = ns::Timer::scheduledTimerWithTimeInterval(8.0, false, [&](const ns::TimerPtr&) { ++fired; });
  timer->setFireDate(ns::Date(clock.now() + 2.0));
  clock.advance(2.0);
  EXPECT_EQ(fired, 1);
}

TEST_F(TimerTest, ManualFireRunsTheActionAndEndsAOneShotTimer) {
  int fired = 0;
  auto repeating =
      ns::Timer::scheduledTimerWithTimeInterval(1.0, true, [&](const ns::TimerPtr&) { ++fired; });
  repeating->fire();
  EXPECT_TRUE(repeating->isValid());
  auto once =
      ns::Timer::scheduledTimerWithTimeInterval(1.0, false, [&](const ns::TimerPtr&) { fired += 10; });
  once->fire();
  EXPECT_FALSE(once->isValid());
  EXPECT_EQ(fired, 11);
  repeating->invalidate();
}

TEST_F(TimerTest, TimerAddedFromAnotherThreadFiresOnTheMainThread) {
  std::atomic<bool> onMain{false};
  std::atomic<int> fired{0};
  std::thread([&] {
    auto timer = ns::Timer::timerWithTimeInterval(0.17, false, [&](const ns::TimerPtr&) {
      onMain = ns::Thread::isMainThread();
      ++fired;
    });
    ns::RunLoop::mainRunLoop()->addTimer(timer, ns::kRunLoopCommonModes);
  }).join();
  clock.advance(0.17);
  EXPECT_EQ(fired.load(), 1);
  EXPECT_TRUE(onMain.load());
}

TEST_F(TimerTest, TimersOnAnotherThreadFollowTheManualClock) {
  std::atomic<int> fired{0};
  auto thread = std::make_shared<ns::Thread>()->initWithBlock([] { ns::RunLoop::currentRunLoop()->run(); });
  thread->start();
  ns::performOnThread(
      thread,
      [&] { ns::Timer::scheduledTimerWithTimeInterval(20.0, true, [&](const ns::TimerPtr&) { ++fired; }); },
      true);
  clock.advance(19.0);
  clock.advance(1.0);
  ASSERT_TRUE(spinUntil([&] { return fired.load() == 1; }));
  thread->runLoop()->stop();
  ASSERT_TRUE(spinUntil([&] { return thread->isFinished(); }));
}

TEST_F(TimerTest, DateNowFollowsTheInstalledClockAndIsRestored) {
  EXPECT_DOUBLE_EQ(ns::Date::now().timeIntervalSince1970(), 1'000'000.0);
  clock.advance(2.5);
  EXPECT_DOUBLE_EQ(ns::Date::now().timeIntervalSince1970(), 1'000'002.5);
  {
    ns::ManualClock inner(5.0);
    EXPECT_DOUBLE_EQ(ns::Date::now().timeIntervalSince1970(), 5.0);
  }
  EXPECT_DOUBLE_EQ(ns::Date::now().timeIntervalSince1970(), 1'000'002.5);
}

struct Player : ns::Object {};

// Delayed calls as the player's control bars use them: cancel by target, or by target and name.
TEST_F(TimerTest, DelayedCallsAreCancelledByTargetOrByTargetAndName) {
  struct Case {
    const char* cancel;  // "", "target", "hide", "check"
    std::vector<std::string> expected;
  } cases[] = {
      {"", {"hide", "check", "other"}},
      {"target", {"other"}},
      {"hide", {"check", "other"}},
      {"check", {"hide", "other"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cancel);
    auto player = std::make_shared<Player>();
    auto other = std::make_shared<Player>();
    std::vector<std::string> ran;
    ns::performAfterDelay(
        player, "hideControlsBar", [&] { ran.push_back("hide"); }, 6.0);
    ns::performAfterDelay(
        player, "checkVisibility", [&] { ran.push_back("check"); }, 6.5);
    ns::performAfterDelay(
        other, "hideControlsBar", [&] { ran.push_back("other"); }, 7.0);
    std::string what = c.cancel;
    if (what == "target") ns::cancelPreviousPerformRequestsWithTarget(player.get());
    if (what == "hide") ns::cancelPreviousPerformRequestsWithTarget(player.get(), "hideControlsBar");
    if (what == "check") ns::cancelPreviousPerformRequestsWithTarget(player.get(), "checkVisibility");
    clock.advance(7.0);
    EXPECT_EQ(ran, c.expected);
  }
}

TEST_F(TimerTest, DelayedCallKeepsItsTargetUntilItRuns) {
  std::weak_ptr<Player> weak;
  {
    auto player = std::make_shared<Player>();
    weak = player;
    ns::performAfterDelay(
        player, "hideControlsBar", [] {}, 6.0);
  }
  EXPECT_FALSE(weak.expired());
  clock.advance(6.0);
  EXPECT_TRUE(weak.expired());
}

}  // namespace

namespace {

// A one-shot timer that paces ongoing work is passed over when the loop says what it waits for.
TEST_F(TimerTest, PacingTimersAreNoPendingWork) {
  auto loop = ns::RunLoop::mainRunLoop();
  auto timer = ns::Timer::timerWithTimeInterval(5, false, [](const ns::TimerPtr&) {});
  loop->addTimer(timer, ns::kRunLoopCommonModes);
  EXPECT_TRUE(loop->pendingWork().oneShotTimer);
  timer->setCountsAsPendingWork(false);
  EXPECT_FALSE(loop->pendingWork().oneShotTimer);
  double date = 0;
  EXPECT_TRUE(loop->nextTimerDate(date)) << "it still fires on time";
  timer->invalidate();
}

// The skipping clock moves ahead on demand and stands still while frozen, then goes on from there.
TEST(SkippingClockTest, SkipsAheadAndStandsStillWhileFrozen) {
  ns::SkippingClock clock;
  const double start = ns::clockNow();
  clock.skipTo(start + 100);
  EXPECT_GE(ns::clockNow(), start + 100);
  clock.skipTo(start);  // never back
  EXPECT_GE(ns::clockNow(), start + 100);

  clock.freeze();
  const double frozen = ns::clockNow();
  const auto realStart = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - realStart < std::chrono::milliseconds(20)) {
  }
  EXPECT_EQ(ns::clockNow(), frozen) << "real time passed, the clock's did not";
  clock.skipTo(frozen + 5);
  EXPECT_EQ(ns::clockNow(), frozen + 5) << "a skip still moves a frozen clock";
  clock.thaw();
  const double after = ns::clockNow();
  EXPECT_GE(after, frozen + 5);
  EXPECT_LT(after, frozen + 5 + 1) << "it goes on from where it stood";
}

}  // namespace
