#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/Clock.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/OperationQueue.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "NTNetworking/NTURLConnectionOperation.h"
#include "NetworkingTestSupport.h"
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

// The count is current on the thread that posted, even while the main thread is blocked; the
// indicator follows when the main thread gets to it.
TEST_F(NTNetworkActivityIndicatorManagerTest, CountsOnThePostingThreadAndShowsOnTheMainThread) {
  manager->setEnabled(true);
  auto queue = std::make_shared<ns::OperationQueue>();
  auto onWorkers = [&](int threads, const std::function<void()>& body) {
    std::vector<ns::OperationPtr> work;
    for (int t = 0; t < threads; ++t) work.push_back(ns::BlockOperation::blockOperationWithBlock(body));
    queue->addOperations(work, true);  // blocks the main thread until they are done
  };
  onWorkers(8, [] {
    for (int i = 0; i < 200; ++i) {
      started();
      finished();
    }
    started();
  });
  EXPECT_EQ(manager->activityCount(), 8);
  EXPECT_FALSE(shown());
  ASSERT_TRUE(testsupport::spinUntil([&] { return shown(); }));

  onWorkers(8, [] { finished(); });
  EXPECT_EQ(manager->activityCount(), 0);
  auto drained = std::make_shared<bool>(false);
  dispatch::async(dispatch::mainQueue(), [drained] { *drained = true; });
  ASSERT_TRUE(testsupport::spinUntil([&] { return *drained; }));
  EXPECT_TRUE(shown());
  clock.advance(NTNetworkActivityIndicatorManager::kVisibilityDelay);
  EXPECT_FALSE(shown());
}

// Every way an operation can go posts as many finishes as starts, so the count of a manager that
// also sees another running operation comes back to exactly that one.
TEST_F(NTNetworkActivityIndicatorManagerTest, EveryPathOfAnOperationLeavesTheCountWhereItWas) {
  testsupport::LoopbackServer server;
  nttest::Gate gate;
  server.reply("/drip", nttest::stalledBody(256 * 1024, 64 * 1024, gate));
  auto sentinel =
      std::make_shared<NTURLConnectionOperation>()->initWithRequest(nttest::requestFor(server, "/drip"));
  sentinel->start();
  ASSERT_EQ(manager->activityCount(), 1);

  using Op = NTURLConnectionOperation;
  auto startAndWait = [](Op& op) {
    op.start();
    ASSERT_TRUE(testsupport::spinUntil([&] { return op.totalBytesRead() > 0; }));
  };
  struct Case {
    const char* name;
    std::function<void(Op&)> steps;
    int starts;
  } cases[] = {
      {"ready, pause, cancel", [](Op& op) { op.pause(), op.cancel(); }, 0},
      {"ready, cancel, start", [](Op& op) { op.cancel(), op.start(); }, 1},
      {"ready, pause, resume, cancel", [](Op& op) { op.pause(), op.resume(), op.cancel(); }, 1},
      {"executing, cancel", [&](Op& op) { startAndWait(op), op.cancel(); }, 1},
      {"executing, pause, cancel", [&](Op& op) { startAndWait(op), op.pause(), op.cancel(); }, 1},
      {"executing, pause, resume, cancel",
       [&](Op& op) { startAndWait(op), op.pause(), op.resume(), op.cancel(); }, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto op = std::make_shared<Op>()->initWithRequest(nttest::requestFor(server, "/drip"));
    nttest::NotificationCounter counter(op);
    c.steps(*op);
    ASSERT_TRUE(testsupport::spinUntil([&] { return op->isFinished(); }));
    { std::lock_guard posted(op->lock()); }  // the finish is posted under the operation's lock
    EXPECT_EQ(counter.starts(), c.starts);
    EXPECT_EQ(counter.finishes(), c.starts);
    EXPECT_EQ(manager->activityCount(), 1);
  }
  sentinel->cancel();
  ASSERT_TRUE(testsupport::spinUntil([&] { return sentinel->isFinished(); }));
  { std::lock_guard posted(sentinel->lock()); }
  EXPECT_EQ(manager->activityCount(), 0);
}

// The shared manager is made observing the operations' notifications.
TEST_F(NTNetworkActivityIndicatorManagerTest, TheSharedManagerCountsOperations) {
  auto shared = NTNetworkActivityIndicatorManager::sharedManager();
  int before = shared->activityCount();
  started();
  EXPECT_EQ(shared->activityCount(), before + 1);
  finished();
  EXPECT_EQ(shared->activityCount(), before);
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
}

}  // namespace
