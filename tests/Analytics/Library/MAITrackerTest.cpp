#include <gtest/gtest.h>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIDispatcher.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAITrackerImpl.h"
#include "Foundation/Clock.h"
#include "UIKit/Application.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

// A tracker over a dispatcher that keeps its hits in memory and never sends them.
class MAITrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application::sharedApplication()->reset();
    dispatcher_ = MAIDispatcher::dispatcherWithDatastorePath(std::nullopt, -1, nullptr);
    ASSERT_TRUE(dispatcher_);
    tracker_ = MAITrackerImpl::trackerWithDispatcher(dispatcher_, std::string("UA-1"), std::string("App"),
                                                     std::string("1.0"));
    ASSERT_TRUE(tracker_);
  }
  void TearDown() override {
    // Every hit handed over is stored before the test ends: none is still on its way between queues.
    EXPECT_TRUE(spinUntil([&] {
      return dispatcher_->dataStore()->hitCount(nullptr) == static_cast<std::int64_t>(tracker_->hitCount());
    }));
    MAILogDebug = false;
    ui::Application::sharedApplication()->reset();
  }
  // The hits handed to the dispatcher, once it has stored `count` of them.
  std::vector<MAIParameters> storedHits(std::size_t count) {
    EXPECT_TRUE(spinUntil(
        [&] { return dispatcher_->dataStore()->hitCount(nullptr) == static_cast<std::int64_t>(count); }));
    std::vector<MAIParameters> hits;
    for (const auto& hit : dispatcher_->dataStore()
                               ->fetchHitsWithLimit(0, nullptr)
                               .value_or(std::vector<std::shared_ptr<MAIHit>>{}))
      hits.push_back(hit->parameters().value_or(MAIParameters{}));
    return hits;
  }

  ns::ManualClock clock_;
  MAIDispatcherPtr dispatcher_;
  MAITrackerImplPtr tracker_;
};

TEST_F(MAITrackerTest, TheFirstHitStartsASession) {
  EXPECT_TRUE(tracker_->sendView(std::string("Home Screen")));
  clock_.advance(1);
  EXPECT_TRUE(tracker_->sendEventWithCategory(std::string("Home Screen"), std::string("Переход на вкладку"),
                                              std::string("популярные"), ns::Value()));
  auto hits = storedHits(2);
  std::sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.at("t") < b.at("t"); });
  EXPECT_EQ(hits[0].at("t"), "appview");
  EXPECT_EQ(hits[1].at("t"), "event");
  EXPECT_EQ(hits[0].count("sc") + hits[1].count("sc"), 1u);
  EXPECT_EQ(hits[1].at("cd"), "Home Screen");
  EXPECT_EQ(hits[1].at("el"), "популярные");
  EXPECT_EQ(hits[1].count("ev"), 0u);
  EXPECT_EQ(tracker_->trackCount(), 2u);
  EXPECT_EQ(tracker_->hitCount(), 2u);
}

TEST_F(MAITrackerTest, SixtySendsPassInOneInstantThenOneEveryTwoSeconds) {
  testsupport::LogCapture log;
  MAILogDebug = true;
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(tracker_->sendView(std::string("S"))) << i;
  EXPECT_FALSE(tracker_->sendView(std::string("S")));
  EXPECT_TRUE(log.contains("DEBUG: Excessive tracking detected and throttled."));
  clock_.advance(1);
  EXPECT_FALSE(tracker_->sendView(std::string("S")));
  clock_.advance(1);
  EXPECT_TRUE(tracker_->sendView(std::string("S")));
  EXPECT_FALSE(tracker_->sendView(std::string("S")));
  EXPECT_EQ(tracker_->trackCount(), 64u);
  EXPECT_EQ(tracker_->hitCount(), 61u);
  MAILogDebug = false;
  log.clear();
  clock_.advance(0.5);
  EXPECT_FALSE(tracker_->sendView(std::string("S")));
  EXPECT_FALSE(log.contains("throttled"));
}

TEST_F(MAITrackerTest, ReturningAfterTheSessionTimeoutStartsASession) {
  auto app = ui::Application::sharedApplication();
  struct Case {
    double timeout;
    double away;
    bool starts;
  } cases[] = {{30, 10, false}, {30, 31, true}, {30, 30, true}, {0, 1, true}, {-1, 3600, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.timeout << " s timeout, " << c.away << " s away");
    tracker_->setSessionTimeout(c.timeout);
    app->setApplicationState(ui::ApplicationState::active);
    tracker_->sendView(std::string("before"));  // uses up any session start
    app->setApplicationState(ui::ApplicationState::background);
    clock_.advance(c.away);
    app->setApplicationState(ui::ApplicationState::active);
    EXPECT_EQ(tracker_->sessionStart(), c.starts);
    tracker_->sendView(std::string("after"));
    EXPECT_FALSE(tracker_->sessionStart());
    clock_.advance(2);  // a credit back for the next case
  }
}

TEST_F(MAITrackerTest, AClosedTrackerRefusesToSend) {
  testsupport::LogCapture log;
  tracker_->close();
  EXPECT_FALSE(tracker_->sendView(std::string("x")));
  EXPECT_TRUE(log.contains("ERROR: tracker is closed."));
  EXPECT_FALSE(tracker_->set("appId", std::string("a")));
  EXPECT_EQ(tracker_->get("appName"), std::nullopt);
  EXPECT_FALSE(tracker_->setCustomDimension(1, ns::Value("d")));
  tracker_->close();
  EXPECT_FALSE(log.contains("tracker is already closed."));
  MAILogDebug = true;
  tracker_->close();
  EXPECT_TRUE(log.contains("DEBUG: tracker is already closed."));
  // Settings stay readable and writable.
  tracker_->setAppId(std::string("id"));
  EXPECT_EQ(tracker_->appId(), "id");
}

TEST_F(MAITrackerTest, RefusedArgumentsChangeNothing) {
  testsupport::LogCapture log;
  struct Case {
    const char* what;
    std::function<bool()> call;
    const char* message;
  } cases[] = {
      {"no screen", [&] { return tracker_->sendView(std::nullopt); }, "screen parameter must not be nil."},
      {"no network", [&] { return tracker_->sendSocial(std::nullopt, std::string("like"), std::nullopt); },
       "Social network is required."},
      {"nothing", [&] { return tracker_->sendSocial(std::nullopt, std::nullopt, std::nullopt); },
       "Social network and action are both required."},
      {"no type", [&] { return tracker_->send(std::string(""), {}); }, "Bad or missing track type."},
      {"dimension 0", [&] { return tracker_->setCustomDimension(0, ns::Value("x")); },
       "bad dimension index given: 0. Index must be positive."},
      {"dimension number", [&] { return tracker_->setCustomDimension(1, ns::Value(1)); },
       "bad dimension value given (must be NSString)."},
      {"metric text", [&] { return tracker_->setCustomMetric(1, ns::Value("1")); },
       "bad metric value given (must be NSNumber)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    log.clear();
    EXPECT_FALSE(c.call());
    EXPECT_TRUE(log.contains(c.message)) << testing::PrintToString(log.lines());
  }
  EXPECT_EQ(tracker_->trackCount(), 0u);
  EXPECT_FALSE(tracker_->sendView());
  EXPECT_TRUE(log.contains("appScreen must not be nil."));
}

TEST_F(MAITrackerTest, CustomValuesAndTransactionsGoWithTheirHitsOnly) {
  tracker_->sendView(std::string("start"));
  EXPECT_TRUE(tracker_->setCustomDimension(2, ns::Value("second")));
  EXPECT_TRUE(tracker_->setCustomMetric(1, ns::Value(3.7)));
  tracker_->sendView(std::string("with"));
  tracker_->sendView(std::string("without"));
  EXPECT_TRUE(tracker_->sendException(
      false, ns::Error::make("Domain", 7, {{ns::kLocalizedDescriptionKey, "100% off"}})));
  MAITransaction transaction{
      "T-1", "shop", 3000000,
      0,     0,      {{"a", "Film A", "films", 1000000, 1}, {"b", "Film B", "films", 2000000, 1}}};
  EXPECT_TRUE(tracker_->sendTransaction(transaction));
  EXPECT_EQ(tracker_->trackCount(), 5u);
  auto hits = storedHits(7);
  std::map<std::string, int> types;
  for (const auto& hit : hits) {
    ++types[hit.at("t")];
    if (hit.count("cd") && hit.at("cd") == "with" && hit.at("t") == "appview") {
      EXPECT_EQ(hit.at("cd2"), "second");
      EXPECT_EQ(hit.at("cm1"), "3");
    } else {
      EXPECT_EQ(hit.count("cd2"), 0u);
      EXPECT_EQ(hit.count("cm1"), 0u);
    }
    if (hit.at("t") == "exception") {
      EXPECT_EQ(hit.at("exd"), "Domain 7: 100% off");
      EXPECT_EQ(hit.at("exf"), "0");
    }
    if (hit.at("t") == "item") {
      EXPECT_EQ(hit.at("ti"), "T-1");
    }
    if (hit.at("t") == "tran") {
      EXPECT_EQ(hit.at("tr"), "3");
    }
  }
  EXPECT_EQ(types, (std::map<std::string, int>{{"appview", 3}, {"exception", 1}, {"item", 2}, {"tran", 1}}));
  // One credit paid for the transaction's three hits: 55 of 60 are left.
  for (int i = 0; i < 55; ++i)
    ASSERT_TRUE(tracker_->sendTimingWithCategory(std::string("c"), 1, std::nullopt, std::nullopt));
  EXPECT_FALSE(tracker_->sendTimingWithCategory(std::string("c"), 1, std::nullopt, std::nullopt));
}

TEST_F(MAITrackerTest, TheApplicationNameIsFixedByTheFirstHitAndAnUnsampledClientSendsNothing) {
  testsupport::LogCapture log;
  tracker_->setSampleRate(0);
  EXPECT_TRUE(tracker_->sendView(std::string("unsampled")));
  EXPECT_EQ(tracker_->hitCount(), 0u);
  tracker_->setAppName(std::string("Renamed"));
  EXPECT_EQ(tracker_->appName(), "Renamed");
  tracker_->setSampleRate(100);
  tracker_->sendView(std::string("sampled"));
  tracker_->setAppName(std::string("Again"));
  EXPECT_TRUE(log.contains("Cannot set application name after tracking calls."));
  EXPECT_EQ(tracker_->appName(), "Renamed");
  tracker_->setAppVersion(std::string("2.0"));
  EXPECT_TRUE(log.contains("Cannot set application version after tracking calls."));
  auto hits = storedHits(1);
  EXPECT_EQ(hits[0].at("an"), "Renamed");
  EXPECT_EQ(hits[0].at("av"), "1.0");
  EXPECT_EQ(hits[0].at("cid"), dispatcher_->clientId());
}

}  // namespace
