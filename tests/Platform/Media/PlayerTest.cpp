#include <gtest/gtest.h>

#include <cmath>

#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/NotificationCenter.h"
#include "MediaTestSupport.h"
#include "support/LogCapture.h"

namespace {

using mediatest::MediaTest;
using mediatest::seconds;

int rateContext, itemContext, statusContext;

// Writes what it hears, in order, into a shared log.
struct Recorder : ns::Object {
  std::vector<std::string> log;
  std::vector<ns::Value> items;
  void observeValueForKeyPath(std::string_view key, ns::Object&, const ns::Value& change,
                              void* context) override {
    const ns::Value& value = change[ns::kKeyValueChangeNewKey];
    if (context == &rateContext) log.push_back(ns::format("rate=%g", value.doubleValue()));
    if (context == &statusContext) log.push_back(ns::format("status=%d", value.intValue()));
    if (context == &itemContext) items.push_back(value);
    (void)key;
  }
};

// Collects the times a periodic observer is called with.
struct Ticks {
  std::vector<double> times;
  av::Player::TimeObserverBlock block() {
    return [this](av::Time t) { times.push_back(av::TimeGetSeconds(t)); };
  }
};

void expectTimes(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size()) << ::testing::PrintToString(got);
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-3) << "call " << i;
}

double now(const av::Player& player) { return av::TimeGetSeconds(player.currentTime()); }

TEST_F(MediaTest, PlaybackFollowsTheManualClockWithPeriodicObserversAndStopsAtTheEnd) {
  ns::ManualClock clock;
  auto player = readyPlayer("/video/1001/index.m3u8");
  auto item = player->currentItem();
  EXPECT_NEAR(av::TimeGetSeconds(item->duration()), mediatest::kProgrammeSeconds, 0.05);
  auto recorder = std::make_shared<Recorder>();
  player->addObserver(recorder, "rate", ns::KeyValueObservingOptionNew, &rateContext);
  ns::NotificationCenter::defaultCenter()->addObserver(
      recorder,
      [&](const ns::Notification& n) {
        EXPECT_EQ(n.object.asObject(), item);
        recorder->log.push_back(ns::format("end at %.2f", now(*player)));
      },
      av::kPlayerItemDidPlayToEndTimeNotification);
  Ticks ticks;
  auto token = player->addPeriodicTimeObserverForInterval(seconds(1.0), nullptr, ticks.block());
  ASSERT_TRUE(token);

  player->play();
  clock.advance(3.5);
  expectTimes(ticks.times, {0, 1, 2, 3});  // playback starts, then every second
  EXPECT_NEAR(now(*player), 3.5, 1e-6);

  player->pause();
  clock.advance(5);
  EXPECT_NEAR(now(*player), 3.5, 1e-6) << "paused time stands still";

  ticks.times.clear();
  player->play();
  clock.advance(10);
  expectTimes(ticks.times, {3.5, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  EXPECT_NEAR(now(*player), 12, 1e-6);
  EXPECT_EQ(player->rate(), 0);
  // The rate goes to 0 first, then the end is announced.
  EXPECT_EQ(recorder->log,
            (std::vector<std::string>{"rate=1", "rate=0", "rate=1", "rate=0", "end at 12.00"}));

  // A removed observer is not called again.
  player->removeTimeObserver(token);
  ticks.times.clear();
  player->seekToTime(seconds(0));
  player->play();
  clock.advance(2);
  EXPECT_TRUE(ticks.times.empty());
  ns::NotificationCenter::defaultCenter()->removeObserver(recorder);
}

TEST_F(MediaTest, SeekingMovesTheTimeWithinTheItemAndTellsTheObservers) {
  ns::ManualClock clock;
  auto player = readyPlayer("/video/1001/index.m3u8");
  Ticks ticks;
  auto token = player->addPeriodicTimeObserverForInterval(seconds(1.0), dispatch::mainQueue(), ticks.block());
  struct Case {
    double to, expected;
  };
  for (Case c : {Case{5.25, 5.25}, Case{-3, 0}, Case{40, 12}, Case{2, 2}}) {
    ticks.times.clear();
    player->seekToTime(seconds(c.to));
    EXPECT_NEAR(now(*player), c.expected, 1e-6);
    ASSERT_TRUE(testsupport::spinUntil([&] { return !ticks.times.empty(); }));
    expectTimes(ticks.times, {c.expected});
  }
  // Times that are not numbers are ignored.
  player->seekToTime(av::kTimeIndefinite);
  EXPECT_NEAR(now(*player), 2, 1e-6);

  ticks.times.clear();
  player->play();
  clock.advance(1.5);
  expectTimes(ticks.times, {2, 3});
  player->removeTimeObserver(token);
}

TEST_F(MediaTest, ItemStatusIsObservableFromUnknownToReady) {
  auto item = av::PlayerItem::playerItemWithAsset(asset("/video/1001/clip.mp4"));
  auto recorder = std::make_shared<Recorder>();
  item->addObserver(recorder, "status", ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial,
                    &statusContext);
  // An item loads only once a player has it.
  EXPECT_EQ(recorder->log, std::vector<std::string>{"status=0"});
  EXPECT_TRUE(av::TimeIsIndefinite(item->duration()));
  auto player = av::Player::playerWithPlayerItem(item);
  ASSERT_TRUE(waitForStatus(item));
  EXPECT_EQ(recorder->log, (std::vector<std::string>{"status=0", "status=1"}));
  EXPECT_NEAR(av::TimeGetSeconds(item->duration()), mediatest::kProgrammeSeconds, 0.05);
  EXPECT_EQ(item->presentationSize(), cg::Size(320, 180));
  item->removeObserver(recorder.get(), "status", &statusContext);
}

TEST_F(MediaTest, ReplacingTheItemIsObservedAndStopsTheOldItemsWork) {
  int before = mediatest::settledMediaThreads();
  auto first = av::PlayerItem::playerItemWithAsset(asset("/video/1001/index.m3u8"));
  auto player = av::Player::playerWithPlayerItem(first);
  auto recorder = std::make_shared<Recorder>();
  player->addObserver(recorder, "currentItem",
                      ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial, &itemContext);
  player->addObserver(recorder, "rate", ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial,
                      &rateContext);
  ASSERT_TRUE(waitForStatus(first));
  EXPECT_GT(mediatest::mediaThreads(), before);

  auto second = av::PlayerItem::playerItemWithAsset(asset("/video/adv1/index.m3u8"));
  player->play();
  player->replaceCurrentItemWithPlayerItem(second);
  ASSERT_TRUE(waitForStatus(second));
  EXPECT_EQ(second->status(), av::PlayerItemStatus::readyToPlay);
  EXPECT_EQ(player->rate(), 1) << "the rate carries over to the new item";
  player->replaceCurrentItemWithPlayerItem(nullptr);
  EXPECT_EQ(av::TimeGetSeconds(player->currentTime()), 0);
  EXPECT_TRUE(mediatest::mediaThreadsFallTo(before)) << "no item of the player is loading";

  ASSERT_EQ(recorder->items.size(), 3u);
  EXPECT_EQ(recorder->items[0].asObject(), first);
  EXPECT_EQ(recorder->items[1].asObject(), second);
  EXPECT_TRUE(recorder->items[2].isNull());
  EXPECT_EQ(recorder->log, (std::vector<std::string>{"rate=0", "rate=1"}));

  // An item plays in one player at a time.
  player->replaceCurrentItemWithPlayerItem(first);
  auto other = std::make_shared<av::Player>()->init();
  EXPECT_THROW(other->replaceCurrentItemWithPlayerItem(first), ns::Exception);
  player->removeObserver(recorder.get(), "currentItem");
  player->removeObserver(recorder.get(), "rate");
}

TEST_F(MediaTest, ReleasingThePlayerLeavesNoDecodingThreadBehind) {
  int before = mediatest::settledMediaThreads();
  {
    ns::ManualClock clock;
    auto player = readyPlayer("/video/1001/index.m3u8");
    player->play();
    clock.advance(2);
    EXPECT_GT(mediatest::mediaThreads(), before);
  }
  EXPECT_TRUE(mediatest::mediaThreadsFallTo(before));

  // An item still held elsewhere stops with the player that played it.
  auto item = av::PlayerItem::playerItemWithAsset(asset("/video/1001/clip.mp4"));
  {
    auto player = av::Player::playerWithPlayerItem(item);
    ASSERT_TRUE(waitForStatus(item));
  }
  EXPECT_TRUE(mediatest::mediaThreadsFallTo(before));
}

TEST_F(MediaTest, AFailedItemKeepsItsErrorAndStopsThePlayer) {
  server_->setOverride("/video/1001/segment1.ts", [] {
    sampleservice::Override o;
    o.status = 404;
    return o;
  }());
  auto item = av::PlayerItem::playerItemWithAsset(asset("/video/1001/index.m3u8"));
  auto player = av::Player::playerWithPlayerItem(item);
  auto recorder = std::make_shared<Recorder>();
  player->addObserver(recorder, "rate", ns::KeyValueObservingOptionNew, &rateContext);
  player->play();
  ASSERT_TRUE(testsupport::spinUntil([&] { return item->status() == av::PlayerItemStatus::failed; }));
  ASSERT_TRUE(item->error());
  EXPECT_EQ(item->error()->domain(), ns::kURLErrorDomain);
  EXPECT_EQ(item->error()->code(), ns::URLError::FileDoesNotExist);
  EXPECT_EQ(player->rate(), 0);
  EXPECT_EQ(recorder->log, (std::vector<std::string>{"rate=1", "rate=0"}));
  player->removeObserver(recorder.get(), "rate");
}

TEST_F(MediaTest, PeriodicObserversNeedAFiniteIntervalAboveZero) {
  auto player = std::make_shared<av::Player>()->init();
  testsupport::LogCapture log;
  // What the scrubber computes for an unbounded duration or a slider of no width, among others.
  for (av::Time interval : {av::kTimeInvalid, av::kTimeIndefinite, av::kTimePositiveInfinity, av::kTimeZero,
                            seconds(-1), seconds(0.5 * 3600 / 0.0)}) {
    EXPECT_EQ(player->addPeriodicTimeObserverForInterval(interval, nullptr, [](av::Time) {}), nullptr);
  }
  EXPECT_EQ(log.lines().size(), 6u);
  EXPECT_TRUE(log.contains("no periodic time observer added"));
  EXPECT_NE(player->addPeriodicTimeObserverForInterval(seconds(0.5 * 3600 / 300), nullptr, [](av::Time) {}),
            nullptr);
  player->removeTimeObserver(nullptr);  // harmless
}

TEST_F(MediaTest, LoadedRangesGrowAsSegmentsArrive) {
  sampleservice::Override slow;
  slow.delaySeconds = 1.5;
  server_->setOverride("/video/1001/segment2.ts", slow);
  auto player = readyPlayer("/video/1001/index.m3u8");
  auto item = player->currentItem();
  std::vector<double> ends;
  auto token = item->addObserverForKey("loadedTimeRanges", [&](ns::Object&, std::string_view, bool prior) {
    if (!prior) ends.push_back(loadedEnd(*item));
  });
  EXPECT_LT(loadedEnd(*item), 8.5) << "the third segment is still on its way";
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return loadedEnd(*item) >= mediatest::kProgrammeSeconds - 0.01; }));
  EXPECT_TRUE(std::is_sorted(ends.begin(), ends.end()));
  EXPECT_EQ(av::TimeGetSeconds(item->loadedTimeRanges()[0].start), 0);
  item->removeObserver(token);
}

// A seek outside the item's known length loads from the nearest end of it: the loaded range the
// item reports never lies before its start or past its end.
TEST_F(MediaTest, ASeekOutsideTheItemLoadsFromItsNearestEnd) {
  auto player = readyPlayer("/video/1001/index.m3u8");
  auto item = player->currentItem();
  auto start = [&] { return av::TimeGetSeconds(item->loadedTimeRanges().at(0).start); };
  ASSERT_TRUE(testsupport::spinUntil([&] { return !item->loadedTimeRanges().empty(); }));
  struct Case {
    double to;
    double loadsFrom;
  };
  for (Case c : {Case{40, mediatest::kProgrammeSeconds}, Case{5, 5}, Case{-3, 0}}) {
    SCOPED_TRACE(c.to);
    double before = start();
    player->seekToTime(seconds(c.to));
    ASSERT_TRUE(testsupport::spinUntil([&] { return std::abs(start() - before) > 1; }, 30));
    EXPECT_NEAR(start(), c.loadsFrom, 0.01);
    double end = loadedEnd(*item);
    EXPECT_GE(end, start());
    EXPECT_LE(end, mediatest::kProgrammeSeconds + 0.01);
  }
}

TEST_F(MediaTest, ALiveStreamPlaysOnWithoutAnEnd) {
  ns::ManualClock clock;
  auto player = readyPlayer("/video/1001/live.m3u8");
  auto item = player->currentItem();
  EXPECT_TRUE(av::TimeIsIndefinite(item->duration()));
  int ends = 0;
  auto listener = std::make_shared<ns::Object>();
  ns::NotificationCenter::defaultCenter()->addObserver(
      listener, [&](const ns::Notification&) { ++ends; }, av::kPlayerItemDidPlayToEndTimeNotification);
  player->play();
  clock.advance(mediatest::kProgrammeSeconds + 3);
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(player->rate(), 1);
  EXPECT_NEAR(now(*player), mediatest::kProgrammeSeconds + 3, 1e-6);
  ns::NotificationCenter::defaultCenter()->removeObserver(listener);
}

TEST_F(MediaTest, ExternalPlaybackSettingsAreKept) {
  auto player = std::make_shared<av::Player>()->init();
  player->setAllowsAirPlayVideo(false);
  player->setAllowsExternalPlayback(false);
  EXPECT_FALSE(player->allowsAirPlayVideo());
  EXPECT_FALSE(player->allowsExternalPlayback());
  EXPECT_TRUE(av::TimeCompare(player->currentTime(), av::kTimeZero) == 0);
  player->play();  // with no item nothing moves
  EXPECT_EQ(player->rate(), 1);
  EXPECT_EQ(av::TimeGetSeconds(player->currentTime()), 0);
}

}  // namespace

namespace {

TEST_F(MediaTest, ShortObserverIntervalsKeepTheManualClockMoving) {
  ns::ManualClock clock;
  auto player = readyPlayer("/video/1001/clip.mp4");
  // Half a second over a slider a few hundred points wide: intervals of a few hundredths.
  for (double interval : {0.024, 0.0213, 1.0 / 30}) {
    SCOPED_TRACE(interval);
    player->seekToTime(seconds(0));
    Ticks ticks;
    auto token = player->addPeriodicTimeObserverForInterval(seconds(interval), nullptr, ticks.block());
    player->play();
    clock.advance(2);
    player->pause();
    clock.advance(0);
    player->removeTimeObserver(token);
    EXPECT_NEAR(now(*player), 2, 1e-6);
    EXPECT_GE(ticks.times.size(), static_cast<std::size_t>(2 / interval));
  }
}

}  // namespace
