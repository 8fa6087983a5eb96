#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "Analytics/Library/MAI.h"
#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAILock.h"
#include "Analytics/Library/MAITrackerImpl.h"
#include "Analytics/Library/MAIUncaughtExceptionHandler.h"
#include "AnalyticsTestSupport.h"
#include "CollectServer.h"
#include "Foundation/Bundle.h"
#include "Foundation/Clock.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

// The facade is one for the process: every test starts from a reset one whose hits go to its own server.
class MAIFacadeTest : public ::testing::Test {
 protected:
  void SetUp() override { analyticstest::resetFacade(); }
  void TearDown() override {
    analyticstest::resetFacade();
    MAILogDebug = false;
  }
  analyticstest::CollectServer server_;
  analyticstest::ScopedEnv collectUrl_{"VCC_COLLECT_URL", server_.url().c_str()};
};

TEST_F(MAIFacadeTest, TrackersAreKeptByTrimmedIdAndTheFirstIsTheDefault) {
  auto mai = MAI::sharedInstance();
  EXPECT_EQ(mai, MAI::sharedInstance());
  testsupport::LogCapture log;
  for (const char* empty : {"", "  \n\t"}) {
    EXPECT_EQ(mai->trackerWithTrackingId(std::string(empty)), nullptr);
    EXPECT_TRUE(
        log.contains("ERROR: Null or empty application tracking id supplied. Cannot create tracker."));
  }
  EXPECT_EQ(mai->trackerWithTrackingId(std::nullopt), nullptr);
  EXPECT_EQ(mai->defaultTracker(), nullptr);

  auto first = mai->trackerWithTrackingId(std::string("UA-1"));
  ASSERT_TRUE(first);
  EXPECT_EQ(mai->trackerWithTrackingId(std::string("  UA-1 \n")), first);
  auto second = mai->trackerWithTrackingId(std::string("UA-2"));
  ASSERT_TRUE(second);
  EXPECT_NE(second, first);
  EXPECT_EQ(mai->defaultTracker(), first);
  EXPECT_EQ(first->trackingId(), "UA-1");
  // The application's name and version come from the bundle's Info.plist.
  EXPECT_EQ(first->appName(), ns::Bundle::mainBundle()->name());
  EXPECT_EQ(first->appVersion(), ns::Bundle::mainBundle()->shortVersion());
  EXPECT_EQ(first->clientId(), mai->clientId());

  first->close();
  EXPECT_EQ(mai->defaultTracker(), nullptr);
  EXPECT_EQ(mai->trackers().size(), 1u);
  auto third = mai->trackerWithTrackingId(std::string("UA-1"));
  EXPECT_NE(third, first);
  EXPECT_EQ(mai->defaultTracker(), third);
}

// A tracker's client id is read without the tracker's lock: a thread reporting a crash, which waits
// for a lock only so long, gets it even while another thread is inside the tracker.
TEST_F(MAIFacadeTest, ATrackersClientIdIsReadWithoutItsLock) {
  auto mai = MAI::sharedInstance();
  auto tracker = mai->trackerWithTrackingId(std::string("UA-1"));
  ASSERT_TRUE(tracker);
  auto factory = mai->trackerImplClass();
  std::thread closer;
  std::optional<std::string> whileHeld;
  bool held = false;
  // Trackers are made under the facade's lock: a tracker closing meanwhile holds its own lock while
  // it waits for the facade's.
  mai->setTrackerImplClass([&](const auto&... arguments) {
    closer = std::thread([&] { tracker->close(); });
    {
      MAICrashReportScope reporting;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!held && std::chrono::steady_clock::now() < deadline) held = !tracker->trackingId();
      whileHeld = tracker->clientId();
    }
    return factory(arguments...);
  });
  EXPECT_TRUE(mai->trackerWithTrackingId(std::string("UA-2")));
  closer.join();
  EXPECT_TRUE(held);
  EXPECT_EQ(whileHeld, mai->clientId());
  EXPECT_TRUE(whileHeld);
  mai->setTrackerImplClass(factory);
}

TEST_F(MAIFacadeTest, ADispatcherIsMadeOnlyOnTheMainThreadAndMissingOneIsReported) {
  auto mai = MAI::sharedInstance();
  testsupport::LogCapture log;
  double interval = -1;
  std::thread([&] { interval = mai->dispatchInterval(); }).join();
  EXPECT_EQ(interval, 0.0);
  EXPECT_TRUE(
      log.contains("ERROR: Cannot get dispatchInterval - dispatcher initialization failed: Error Domain=" +
                   std::string(kMAIErrorDomain)))
      << testing::PrintToString(log.lines());
  EXPECT_EQ(mai->dispatcher(), nullptr);
  EXPECT_EQ(mai->dispatchInterval(), 120.0);
  EXPECT_TRUE(mai->dispatcher());
  mai->setDispatchInterval(20.0);
  EXPECT_EQ(mai->dispatchInterval(), 20.0);
  EXPECT_FALSE(mai->optOut());
}

TEST_F(MAIFacadeTest, AStoreThatCannotBeReadIsReportedWithItsError) {
  auto path = *MAI::dataStorePath();
  std::filesystem::remove(path);
  {
    auto store = MAIDataStore::dataStoreWithPath(path, nullptr);
    for (int i = 0; i < 2; ++i)
      store->propertyForName("p" + std::to_string(i), true, nullptr)
          ->setName(std::string(kOptOutPropertyName));
    ASSERT_TRUE(store->save(nullptr));
  }
  testsupport::LogCapture log;
  EXPECT_EQ(MAI::sharedInstance()->trackerWithTrackingId(std::string("UA-1")), nullptr);
  EXPECT_TRUE(log.contains("Cannot create tracker: dispatcher initialization failed: Error Domain="))
      << testing::PrintToString(log.lines());
  EXPECT_FALSE(log.contains("(null)"));
  std::filesystem::remove(path);
}

TEST_F(MAIFacadeTest, DebugLinesPrintOnlyWhileDebugging) {
  auto mai = MAI::sharedInstance();
  ns::ManualClock clock;
  auto tracker = mai->trackerWithTrackingId(std::string("UA-1"));
  ASSERT_TRUE(tracker);
  testsupport::LogCapture log;
  mai->setDebug(false);
  for (int i = 0; i < 61; ++i) tracker->sendView(std::string("S"));
  EXPECT_FALSE(log.contains("throttled"));
  mai->setDebug(true);
  EXPECT_TRUE(mai->debug());
  tracker->sendView(std::string("S"));
  EXPECT_TRUE(log.contains("DEBUG: Excessive tracking detected and throttled."));
  mai->setDebug(false);
  tracker->close();
  log.clear();
  tracker->sendView(std::string("S"));
  // "<product> <version> <operation> (<file>:<line>) ERROR: <message>"
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(std::regex_search(
      log.lines()[0],
      std::regex(
          R"(^AppAnalytics 2\.0b4 MAITrackerImpl::\w+ \(MAITrackerImpl\.cpp:\d+\) ERROR: tracker is closed\.$)")))
      << log.lines()[0];
}

TEST_F(MAIFacadeTest, TheCrashReporterIsSwitchedAndRemembersThePreviousHandler) {
  auto mai = MAI::sharedInstance();
  auto previous = [](const ns::Exception&) {};
  ns::setUncaughtExceptionHandler(previous);
  mai->setTrackUncaughtExceptions(true);
  EXPECT_TRUE(mai->trackUncaughtExceptions());
  EXPECT_EQ(ns::getUncaughtExceptionHandler(), &MAIUncaughtExceptionHandler);
  mai->setTrackUncaughtExceptions(true);
  mai->setTrackUncaughtExceptions(false);
  EXPECT_FALSE(mai->trackUncaughtExceptions());
  EXPECT_EQ(ns::getUncaughtExceptionHandler(), static_cast<ns::UncaughtExceptionHandler>(previous));
  // Not installed: uninstalling leaves another handler alone.
  mai->setTrackUncaughtExceptions(false);
  EXPECT_EQ(ns::getUncaughtExceptionHandler(), static_cast<ns::UncaughtExceptionHandler>(previous));
  ns::setUncaughtExceptionHandler(nullptr);
}

}  // namespace
