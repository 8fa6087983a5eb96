#include <gtest/gtest.h>

#include <functional>

#include "AppAnalytics/Library/MALTracker.h"
#include "Foundation/Clock.h"
#include "Foundation/FileManager.h"
#include "Foundation/Thread.h"
#include "MALTestSupport.h"
#include "UIKit/Application.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"
#include "support/ScriptedTCPServer.h"

namespace {

using testsupport::ScriptedTCPServer;
using testsupport::ScriptStep;
using testsupport::spinUntil;

struct TrackerRecorder final : MALTrackerDelegate {
  std::vector<std::string> dispatched;
  std::vector<std::pair<unsigned, unsigned>> completions;
  void hitDispatched(const std::string& hit) override { dispatched.push_back(hit); }
  void trackerDispatchDidComplete(MALTracker&, unsigned sent, unsigned failed) override {
    completions.emplace_back(sent, failed);
  }
};

std::string storePath() {
  return ns::stringByAppendingPathComponent(ns::libraryDirectory(), kMALDatabaseFileName);
}

class MALTrackerTest : public ::testing::Test {
 protected:
  void SetUp() override { ns::FileManager::defaultManager()->removeItemAtPath(storePath()); }
  void TearDown() override {
    MALOptOut::injectOptOutClass(nullptr);
    tracker->stopTracker();
    tracker->setDryRun(false);
    tracker->setSampleRate(100);
    tracker->setDestinationHost(std::string(kMALAppAnalyticsHost));
    tracker->setDestinationPort(kMALAppAnalyticsPort);
    tracker->setDestinationPathPrefix(std::string());
    ns::FileManager::defaultManager()->removeItemAtPath(storePath());
  }
  void start(const std::string& accounts = "UA-1", int period = 0) {
    tracker->setDestinationHost(std::string("127.0.0.1"));
    tracker->setDestinationPort(static_cast<unsigned>(server.port()));
    tracker->startTrackerWithAccountID(accounts, period, recorder);
  }
  std::vector<std::string> stored() {
    std::vector<std::string> out;
    if (auto store = tracker->persistentHitStore())
      for (const auto& h : store->peekHits(-1)) out.push_back(h->hitString());
    return out;
  }
  static void expectError(const ns::ErrorPtr& error, std::int32_t code) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), kMALTrackerErrorDomain);
    EXPECT_EQ(error->code(), code);
  }

  std::shared_ptr<MALTracker> tracker = MALTracker::sharedTracker();
  std::shared_ptr<TrackerRecorder> recorder = std::make_shared<TrackerRecorder>();
  ScriptedTCPServer server;
};

TEST_F(MALTrackerTest, ATrackerNobodyStartedRefusesEverythingAndWritesNoFile) {
  EXPECT_EQ(MALTracker::sharedTracker(), tracker);
  using Call = std::function<bool(ns::ErrorPtr*)>;
  std::pair<const char*, Call> calls[] = {
      {"page view",
       [&](ns::ErrorPtr* e) { return tracker->trackPageview(std::string("/categoryId=5_title=x"), e); }},
      {"page view without a path", [&](ns::ErrorPtr* e) { return tracker->trackPageview(std::nullopt, e); }},
      {"event", [&](ns::ErrorPtr* e) { return tracker->trackEvent("c", "a", std::nullopt, 1, e); }},
      {"custom variable", [&](ns::ErrorPtr* e) { return tracker->setCustomVariableAtIndex(1, "n", "v", e); }},
      {"transaction", [&](ns::ErrorPtr* e) { return tracker->addTransaction("o", 1, "s", 0, 0, e); }},
      {"item", [&](ns::ErrorPtr* e) { return tracker->addItem("o", "s", 1, 1, "n", "c", e); }},
      {"track transactions", [&](ns::ErrorPtr* e) { return tracker->trackTransactions(e); }},
      {"clear transactions", [&](ns::ErrorPtr* e) { return tracker->clearTransactions(e); }},
      {"referrer", [&](ns::ErrorPtr* e) { return tracker->setReferrer("gclid=1", e); }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    ns::ErrorPtr error;
    EXPECT_FALSE(call(&error));
    expectError(error, kMALErrorNotStarted);
    EXPECT_FALSE(call(nullptr));
  }
  EXPECT_EQ(kMALErrorNotStarted, 0xBADA55);
  EXPECT_FALSE(tracker->dispatch());
  EXPECT_FALSE(tracker->dispatchSynchronous(1));
  EXPECT_EQ(tracker->getVisitorCustomVarAtIndex(1), std::nullopt);
  EXPECT_EQ(tracker->accountIDForAfma(), std::nullopt);
  EXPECT_FALSE(ns::FileManager::defaultManager()->fileExistsAtPath(storePath()));
}

TEST_F(MALTrackerTest, PageViewsAndEventsReachTheServerOncePerAccount) {
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  start("UA-1,UA-2");
  EXPECT_EQ(tracker->accountIDForAfma(), "UA-1");
  EXPECT_TRUE(tracker->trackPageview(std::string("category")));
  EXPECT_TRUE(tracker->trackEvent("video", "play", std::nullopt, -1));
  EXPECT_TRUE(tracker->trackPageview(std::string("")));
  ns::ErrorPtr error;
  EXPECT_FALSE(tracker->trackPageview(std::nullopt, &error));
  expectError(error, kMALErrorBadArgument);
  EXPECT_FALSE(tracker->trackEvent("video", std::nullopt, "l", 1, &error));
  expectError(error, kMALErrorBadArgument);
  auto hits = stored();
  ASSERT_EQ(hits.size(), 6u);
  EXPECT_NE(hits[0].find("utmp=%2Fcategory&utmac=UA-1&"), std::string::npos);
  EXPECT_NE(hits[1].find("utmp=%2Fcategory&utmac=UA-2&"), std::string::npos);
  EXPECT_NE(hits[2].find("utme=5(video*play)&"), std::string::npos);
  EXPECT_NE(hits[2].find("&utmp=%2Fcategory"), std::string::npos);  // the last page viewed
  EXPECT_NE(hits[4].find("utmp=%2F&"), std::string::npos);
  EXPECT_NE(tracker->visitorIDForAds(), std::nullopt);

  EXPECT_TRUE(tracker->dispatch());
  EXPECT_FALSE(tracker->dispatch());  // busy
  ASSERT_TRUE(spinUntil([&] { return !recorder->completions.empty(); }));
  EXPECT_EQ(recorder->completions.front(), std::make_pair(6u, 0u));
  EXPECT_EQ(recorder->dispatched, hits);
  EXPECT_TRUE(stored().empty());
  EXPECT_EQ(server.requestCount(), 6u);
  // With nothing stored, nothing is sent.
  EXPECT_FALSE(tracker->dispatch());
}

TEST_F(MALTrackerTest, FiveHundredEventsAreAcceptedPerStart) {
  tracker->setSampleRate(0);  // accepted and counted, never written
  start();
  ns::ErrorPtr error;
  EXPECT_FALSE(tracker->trackEvent("c", std::nullopt, std::nullopt, 0, &error));  // invalid: not counted
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(tracker->trackEvent("c", "a", std::nullopt, i)) << i;
  EXPECT_FALSE(tracker->trackPageview(std::string("/501"), &error));
  expectError(error, kMALErrorTooManyEvents);
  EXPECT_EQ(error->code(), static_cast<std::int32_t>(0xBAD5704Eu));
  EXPECT_LT(error->code(), 0);
  tracker->stopTracker();
  start();
  EXPECT_TRUE(tracker->trackPageview(std::string("/again")));
}

TEST_F(MALTrackerTest, CustomVariablesAreCheckedAndRideOnExactlyOneHit) {
  start();
  std::string name64;
  for (int i = 0; i < 64; ++i) name64 += "ж";
  struct Case {
    const char* label;
    unsigned index;
    std::optional<std::string> name, value;
    int scope;
    bool ok;
  } cases[] = {
      {"index 0", 0, "n", "v", 3, false},
      {"index 51", 51, "n", "v", 3, false},
      {"65-character name", 1, std::string(65, 'n'), "v", 3, false},
      {"65-character value", 1, "n", std::string(65, 'v'), 3, false},
      {"scope 0", 1, "n", "v", 0, false},
      {"scope 4", 1, "n", "v", 4, false},
      {"no name", 1, std::nullopt, "v", 3, false},
      {"64 Cyrillic characters", 50, name64, "v", 1, true},
      {"plain", 2, "genre", "drama", 3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ns::ErrorPtr error;
    EXPECT_EQ(tracker->setCustomVariableAtIndex(c.index, c.name, c.value, c.scope, &error), c.ok);
    if (!c.ok) expectError(error, kMALErrorBadArgument);
  }
  EXPECT_EQ(kMALErrorBadArgument, 0xBADE7A9);
  ASSERT_TRUE(tracker->trackPageview(std::string("/one")));
  ASSERT_TRUE(tracker->trackPageview(std::string("/two")));
  auto hits = stored();
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_NE(hits[0].find("&utme=8(2!genre*50!"), std::string::npos) << hits[0];
  EXPECT_EQ(hits[1].find("&utme="), std::string::npos);
  EXPECT_EQ(tracker->getVisitorCustomVarAtIndex(50), "v");
  testsupport::LogCapture log;
  EXPECT_EQ(tracker->getVisitorCustomVarAtIndex(51), std::nullopt);
  EXPECT_TRUE(log.contains("Error: index must be between 1 and kMALMaxCustomVariables"));
}

TEST_F(MALTrackerTest, CustomVariablesMaySafelyBeSetWhileAnotherThreadTracks) {
  tracker->setSampleRate(0);
  start();
  auto setter = std::make_shared<ns::Thread>()->initWithBlock([this] {
    for (unsigned i = 0; i < 300; ++i) tracker->setCustomVariableAtIndex(1 + i % 50, "n", "v", nullptr);
  });
  setter->start();
  for (int i = 0; i < 300; ++i) tracker->trackEvent("c", "a", std::nullopt, i);
  ASSERT_TRUE(spinUntil([&] { return setter->isFinished(); }));
}

TEST_F(MALTrackerTest, AnItemOfAnUnknownOrderIsTrackedWithAnEmptyTransaction) {
  start();
  ns::ErrorPtr error;
  EXPECT_FALSE(tracker->addTransaction(std::string(""), 1, std::nullopt, 0, 0, &error));
  expectError(error, kMALErrorBadArgument);
  EXPECT_FALSE(
      tracker->addItem(std::string("o9"), std::string(""), 1, 1, std::nullopt, std::nullopt, &error));
  expectError(error, kMALErrorBadArgument);
  ASSERT_TRUE(
      tracker->addItem(std::string("o9"), std::string("s1"), 3.5, 2, std::string("Film"), std::nullopt));
  ASSERT_TRUE(tracker->trackTransactions());
  auto hits = stored();
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_NE(hits[0].find("utmt=tran&utmtid=o9&utmtst=&utmtto=&utmttx=&utmtsp=&"), std::string::npos)
      << hits[0];
  EXPECT_NE(hits[1].find("utmt=item&utmtid=o9&utmipc=s1&utmipn=Film&utmiva=&utmipr=3.500000&utmiqt=2&"),
            std::string::npos);
  EXPECT_TRUE(tracker->trackTransactions());  // the queues were emptied
  ASSERT_TRUE(tracker->addTransaction(std::string("o1"), 10, std::string("shop"), 1, 2));
  ASSERT_TRUE(tracker->clearTransactions());
  EXPECT_TRUE(tracker->trackTransactions());
  EXPECT_EQ(stored().size(), 2u);
}

TEST_F(MALTrackerTest, TheTimerDispatchesAndRestsWhileTheStoreIsEmpty) {
  ns::ManualClock clock;
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  start("UA-1", 20);
  ASSERT_TRUE(tracker->trackerPrivate()->dispatchTaskTimer());
  EXPECT_FALSE(tracker->dispatch());  // nothing stored: the timer stops
  EXPECT_TRUE(tracker->trackerPrivate()->powerSaveMode());
  EXPECT_FALSE(tracker->trackerPrivate()->dispatchTaskTimer());
  ASSERT_TRUE(tracker->trackPageview(std::string("/p")));
  ASSERT_TRUE(tracker->trackerPrivate()->dispatchTaskTimer());
  EXPECT_FALSE(tracker->trackerPrivate()->powerSaveMode());
  clock.advance(19);
  EXPECT_EQ(server.connectionCount(), 0u);
  clock.advance(1);
  ASSERT_TRUE(spinUntil([&] { return !recorder->completions.empty(); }));
  EXPECT_EQ(recorder->completions.front(), std::make_pair(1u, 0u));
  tracker->setDispatchPeriod(0);
  EXPECT_FALSE(tracker->trackerPrivate()->dispatchTaskTimer());
  EXPECT_EQ(tracker->dispatchPeriod(), 0);
}

TEST_F(MALTrackerTest, AnOptedOutUserIsNotTrackedAndTheAnswerIsKeptTenMinutes) {
  ns::ManualClock clock;
  auto app = ui::Application::sharedApplication();
  start();
  app->setURLSchemeHandled("malanalyticsoptout", true);
  clock.advance(MALOptOut::kCacheSeconds + 1);
  EXPECT_TRUE(tracker->trackPageview(std::string("/hidden")));
  EXPECT_EQ(app->canOpenURLQueries().back(), MALOptOut::kOptOutURL);
  std::size_t asked = app->canOpenURLQueries().size();
  EXPECT_TRUE(tracker->trackEvent("c", "a", std::nullopt, 1));
  EXPECT_TRUE(tracker->addTransaction(std::string("o"), 1, std::nullopt, 0, 0));
  EXPECT_TRUE(tracker->trackTransactions());
  EXPECT_TRUE(stored().empty());
  EXPECT_EQ(app->canOpenURLQueries().size(), asked);  // answered from the cache

  app->setURLSchemeHandled("malanalyticsoptout", false);
  clock.advance(MALOptOut::kCacheSeconds - 10);
  EXPECT_TRUE(tracker->trackPageview(std::string("/still-hidden")));
  EXPECT_TRUE(stored().empty());
  clock.advance(11);
  EXPECT_TRUE(tracker->trackPageview(std::string("/seen")));
  EXPECT_EQ(stored().size(), 1u);
}

TEST_F(MALTrackerTest, AnInjectedOptOutCheckDecidesInsteadOfThePlatform) {
  // Far past any answer the built-in check kept for earlier tests.
  ns::ManualClock clock(ns::Date::now().timeIntervalSince1970() + 100 * MALOptOut::kCacheSeconds);
  auto app = ui::Application::sharedApplication();
  app->setURLSchemeHandled("malanalyticsoptout", false);
  start();
  bool optedOut = true;
  int asked = 0;
  MALOptOut::injectOptOutClass([&] {
    ++asked;
    return optedOut;
  });
  std::size_t platformAsked = app->canOpenURLQueries().size();
  EXPECT_TRUE(tracker->trackPageview(std::string("/hidden")));
  EXPECT_TRUE(tracker->trackEvent("c", "a", std::nullopt, 1));
  EXPECT_TRUE(stored().empty());
  // Asked at every call: its answer is not kept.
  optedOut = false;
  EXPECT_TRUE(tracker->trackPageview(std::string("/seen")));
  EXPECT_EQ(stored().size(), 1u);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(app->canOpenURLQueries().size(), platformAsked);

  // Without it, the platform is asked again.
  MALOptOut::injectOptOutClass(nullptr);
  app->setURLSchemeHandled("malanalyticsoptout", true);
  EXPECT_TRUE(tracker->trackPageview(std::string("/hidden again")));
  EXPECT_EQ(stored().size(), 1u);
  EXPECT_GT(app->canOpenURLQueries().size(), platformAsked);
  app->setURLSchemeHandled("malanalyticsoptout", false);
}

TEST_F(MALTrackerTest, SynchronousDispatchSendsMoreThanThirtyHits) {
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  start();
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(tracker->trackEvent("c", "a", std::nullopt, i));
  EXPECT_TRUE(tracker->dispatchSynchronous(60));
  EXPECT_TRUE(stored().empty());
  ASSERT_EQ(recorder->completions.size(), 1u);
  EXPECT_EQ(recorder->completions.front(), std::make_pair(40u, 0u));
}

TEST_F(MALTrackerTest, ASilentServerDoesNotKeepTheTrackerBusyForEver) {
  ns::ManualClock clock;
  start();
  ASSERT_TRUE(tracker->trackPageview(std::string("/p")));
  ASSERT_TRUE(tracker->dispatch());
  ASSERT_TRUE(spinUntil([&] { return server.requestCount() == 1; }));
  EXPECT_FALSE(tracker->dispatch());
  clock.advance(MALDataDispatcher::kDispatchTimeoutSeconds + 1);
  ASSERT_TRUE(spinUntil([&] { return !recorder->completions.empty(); }));
  EXPECT_EQ(recorder->completions.front(), std::make_pair(0u, 1u));
  EXPECT_EQ(stored().size(), 1u);  // kept for the next dispatch
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  EXPECT_TRUE(tracker->dispatch());
  ASSERT_TRUE(spinUntil([&] { return recorder->completions.size() == 2; }));
  EXPECT_TRUE(stored().empty());
}

TEST_F(MALTrackerTest, DestinationSettingsPassToTheDispatcherAtStart) {
  testsupport::LogCapture log;
  tracker->setSampleRate(40);
  tracker->setSampleRate(101);
  EXPECT_TRUE(log.contains("Invalid sample rate: 101 (should be between 0 and 100)"));
  EXPECT_EQ(tracker->sampleRate(), 40u);
  tracker->setDestinationPathPrefix(std::string("/v1"));
  start();
  EXPECT_EQ(tracker->getDispatcher()->destinationHost(), "127.0.0.1");
  EXPECT_EQ(tracker->getDispatcher()->destinationPort(), static_cast<unsigned>(server.port()));
  EXPECT_EQ(tracker->destinationPathPrefix(), "/v1");
  EXPECT_EQ(tracker->persistentHitStore()->sampleRate(), 40u);
  tracker->setDestinationPort(8080);
  EXPECT_EQ(tracker->getDispatcher()->destinationPort(), 8080u);
  tracker->stopTracker();
  // The tracker handed its own values over.
  EXPECT_EQ(tracker->destinationHost(), std::nullopt);
  EXPECT_EQ(tracker->destinationPort(), 0u);
}

TEST_F(MALTrackerTest, AdHitIdsAreDrawnOnlyWithTheAdvertisingKitAndJoinTheVisit) {
  EXPECT_EQ(MALAdHitIdGenerator().adHitId(), 0);  // no advertising classes in this application
  start();
  auto info = MALAdNetInfo::sharedGANAdNetInfo();
  tracker->setHitIdGenerator(std::make_shared<MALAdHitIdGenerator>(true));
  ASSERT_TRUE(tracker->trackPageview(std::string("/ad")));
  const std::int32_t id = info->adHitId();
  ASSERT_NE(id, 0);
  EXPECT_NE(stored().back().find("&utmhid=" + std::to_string(id)), std::string::npos);
  EXPECT_EQ(info->joinId(), "A," + *tracker->visitorIDForAds() + "," + *tracker->sessionIDForAds() + "," +
                                std::to_string(id));
  tracker->stopTracker();
  EXPECT_EQ(info->adHitId(), 0);
  EXPECT_EQ(info->joinId(), std::nullopt);
}

}  // namespace
