#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Foundation/Clock.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/OperationQueue.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "NTNetworking/NTURLConnectionOperation.h"
#include "UIKit/Application.h"
#include "support/RunLoopSpin.h"

namespace {

class NTNetworkActivityIndicatorManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application::sharedApplication()->reset();
    manager = std::make_shared<NTNetworkActivityIndicatorManager>()->init();
  }
  void TearDown() override { ui::Application::sharedApplication()->reset(); }

  static void post(const char* name) { ns::NotificationCenter::defaultCenter()->postNotificationName(name); }
  static void started() { post(NTNetworkingOperationDidStartNotification); }
  static void finished() { post(NTNetworkingOperationDidFinishNotification); }
  static bool shown() { return ui::Application::sharedApplication()->isNetworkActivityIndicatorVisible(); }

  ns::ManualClock clock;
  std::shared_ptr<NTNetworkActivityIndicatorManager> manager;
};

TEST_F(NTNetworkActivityIndicatorManagerTest, BackToBackRequestsKeepTheIndicatorShown) {
  manager->setEnabled(true);
  std::vector<bool> seen;
  started();
  seen.push_back(shown());
  finished();
  seen.push_back(shown());
  clock.advance(0.1);
  started();
  seen.push_back(shown());
  clock.advance(0.1);  // the first hide timer fires now and finds the count up again
  seen.push_back(shown());
  finished();
  clock.advance(0.16);
  seen.push_back(shown());
  clock.advance(0.02);
  seen.push_back(shown());
  EXPECT_EQ(seen, (std::vector<bool>{true, true, true, true, true, false}));
  EXPECT_EQ(manager->activityCount(), 0);
}

TEST_F(NTNetworkActivityIndicatorManagerTest, CountNeverGoesBelowZero) {
  started();
  finished();
  finished();
  finished();
  EXPECT_EQ(manager->activityCount(), 0);
  started();
  EXPECT_EQ(manager->activityCount(), 1);
  manager->setActivityCount(5);
  EXPECT_EQ(manager->activityCount(), 5);
  EXPECT_TRUE(manager->isNetworkActivityIndicatorVisible());
}

TEST_F(NTNetworkActivityIndicatorManagerTest, DisabledManagerCountsButLeavesTheIndicatorAlone) {
  started();
  started();
  EXPECT_EQ(manager->activityCount(), 2);
  EXPECT_FALSE(shown());
  manager->setEnabled(true);
  EXPECT_FALSE(shown());  // until the next change
  finished();
  EXPECT_TRUE(shown());
  finished();
  clock.advance(NTNetworkActivityIndicatorManager::kVisibilityDelay);
  EXPECT_FALSE(shown());
}

TEST_F(NTNetworkActivityIndicatorManagerTest, AnnouncesCountAndVisibilityChanges) {
  std::vector<std::string> heard;
  for (const char* key : {"activityCount", "isNetworkActivityIndicatorVisible"})
    manager->addObserverForKey(key, [&heard](ns::Object&, std::string_view k, bool prior) {
      if (!prior) heard.emplace_back(k);
    });
  manager->incrementActivityCount();
  EXPECT_EQ(heard, (std::vector<std::string>{"activityCount", "isNetworkActivityIndicatorVisible"}));
}

// Starts and finishes posted from many threads at once are counted on the main thread, one at a time.
TEST_F(NTNetworkActivityIndicatorManagerTest, NotificationsFromOtherThreadsAreCountedOnTheMainThread) {
  manager->setEnabled(true);
  auto queue = std::make_shared<ns::OperationQueue>();
  std::vector<ns::OperationPtr> work;
  for (int t = 0; t < 8; ++t)
    work.push_back(ns::BlockOperation::blockOperationWithBlock([] {
      for (int i = 0; i < 200; ++i) {
        started();
        finished();
      }
    }));
  queue->addOperations(work, true);
  // Queued, not yet counted: nothing runs off the main thread.
  EXPECT_EQ(manager->activityCount(), 0);
  int changes = 0;
  manager->addObserverForKey("activityCount", [&changes](ns::Object&, std::string_view, bool prior) {
    if (!prior) ++changes;
  });
  ASSERT_TRUE(testsupport::spinUntil([&] { return changes == 8 * 200 * 2; }));
  EXPECT_EQ(manager->activityCount(), 0);
  clock.advance(NTNetworkActivityIndicatorManager::kVisibilityDelay);
  EXPECT_FALSE(shown());
}

TEST_F(NTNetworkActivityIndicatorManagerTest, AGoneManagerNoLongerCounts) {
  std::weak_ptr<NTNetworkActivityIndicatorManager> weak = manager;
  manager->setEnabled(true);
  started();
  finished();
  manager.reset();
  EXPECT_TRUE(weak.expired());
  clock.advance(1);  // its timer was invalidated with it
  EXPECT_TRUE(shown());
  EXPECT_EQ(NTNetworkActivityIndicatorManager::sharedManager(),
            NTNetworkActivityIndicatorManager::sharedManager());
}

}  // namespace
