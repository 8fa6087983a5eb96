#include <gtest/gtest.h>
#include <httplib.h>

#include "Analytics/Library/MAI.h"
#include "AnalyticsTestSupport.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/Clock.h"
#include "Foundation/JSONSerialization.h"
#include "UIKit/ApplicationMain.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace {

using testsupport::spinUntil;

class MAIStartUpTest : public testsupport::SampleServiceSuite {};

// Launches as the platform does: the tracker is made while the application is still inactive, the
// application becomes active (and says so), the home page reports its view and a tab, and the
// application ends. The view goes before the activation or after it.
class LaunchingDelegate final : public ns::Object, public ui::ApplicationDelegate {
 public:
  static inline bool viewBeforeActive = true;

  bool applicationDidFinishLaunchingWithOptions(const std::shared_ptr<ui::Application>&,
                                                const ns::Value&) override {
    MAI::sharedInstance()->setDispatchInterval(20.0);
    MAI::sharedInstance()->trackerWithTrackingId(std::string("UA-VCC-1"));
    if (viewBeforeActive) sendView();
    // Runs in the main loop, once the application is active.
    dispatch::async(dispatch::mainQueue(), [] {
      if (!viewBeforeActive) sendView();
      if (auto tracker = MAI::sharedInstance()->defaultTracker())
        tracker->sendEventWithCategory(std::string("Home Screen"), std::string("Переход на вкладку"),
                                       std::string("новые поступления"), ns::Value());
      ui::applicationExit(0);
    });
    return true;
  }

 private:
  static void sendView() {
    if (auto tracker = MAI::sharedInstance()->defaultTracker()) tracker->sendView(std::string("Home Screen"));
  }
};

TEST_F(MAIStartUpTest, ALaunchStartsOneSession) {
  ns::ManualClock clock;
  analyticstest::ScopedEnv collect("VCC_COLLECT_URL", server_->url("/collect").c_str());
  ns::ClassRegistry::shared().registerClass<LaunchingDelegate>("LaunchingDelegate");
  std::size_t collected = 0;
  for (bool before : {true, false}) {
    SCOPED_TRACE(before ? "view before the activation" : "view after the activation");
    analyticstest::resetFacade();
    ui::Application::sharedApplication()->reset();
    LaunchingDelegate::viewBeforeActive = before;
    ASSERT_EQ(ui::applicationMain(0, nullptr, "", "LaunchingDelegate"), 0);
    auto dispatcher = MAI::sharedInstance()->dispatcher();
    ASSERT_TRUE(spinUntil([&] { return dispatcher->dataStore()->hitCount(nullptr) == 2; }));
    clock.advance(20);
    ASSERT_TRUE(spinUntil([&] { return server_->collectedHits().size() == collected + 2; }));
    auto hits = server_->collectedHits();
    int starts = 0;
    for (std::size_t i = collected; i < hits.size(); ++i) starts += hits[i].parameters.count("sc") > 0;
    EXPECT_EQ(starts, 1);
    collected = hits.size();
  }
  ui::Application::sharedApplication()->reset();
  analyticstest::resetFacade();
}

// Configured as the application starts it, the tracker delivers the home page's screen view and tab
// event to the sample service's collection endpoint, which lists them.
TEST_F(MAIStartUpTest, TheHomePagesReportsReachTheSampleService) {
  ns::ManualClock clock;
  analyticstest::resetFacade();
  analyticstest::ScopedEnv collect("VCC_COLLECT_URL", server_->url("/collect").c_str());
  MAI::sharedInstance()->setTrackUncaughtExceptions(true);
  MAI::sharedInstance()->setDispatchInterval(20.0);
  MAI::sharedInstance()->trackerWithTrackingId(std::string("UA-VCC-1"));

  auto tracker = MAI::sharedInstance()->defaultTracker();
  ASSERT_TRUE(tracker);
  tracker->sendView(std::string("Home Screen"));
  tracker->sendEventWithCategory(std::string("Home Screen"), std::string("Переход на вкладку"),
                                 std::string("популярные"), ns::Value());
  auto dispatcher = MAI::sharedInstance()->dispatcher();
  ASSERT_TRUE(
      spinUntil([&] { return dispatcher->dataStore()->hitCount(nullptr) == 2 && dispatcher->hasTimer(); }));
  EXPECT_TRUE(server_->collectedHits().empty());
  clock.advance(20);
  ASSERT_TRUE(spinUntil([&] { return server_->collectedHits().size() == 2; }));

  httplib::Client client("127.0.0.1", server_->port());
  auto listed = client.Get("/collect");
  ASSERT_TRUE(listed);
  ns::Value hits = ns::JSONSerialization::JSONObjectWithString(listed->body)["hits"];
  ASSERT_EQ(hits.count(), 2u);
  std::map<std::string, ns::Value> byType;
  for (std::size_t i = 0; i < hits.count(); ++i)
    byType[*hits.at(i)["parameters"]["t"].asString()] = hits.at(i)["parameters"];
  EXPECT_EQ(byType["appview"]["cd"], ns::Value("Home Screen"));
  EXPECT_EQ(byType["event"]["ec"], ns::Value("Home Screen"));
  EXPECT_EQ(byType["event"]["ea"], ns::Value("Переход на вкладку"));
  EXPECT_EQ(byType["event"]["el"], ns::Value("популярные"));
  for (const auto& type : {"appview", "event"}) EXPECT_EQ(byType[type]["tid"], ns::Value("UA-VCC-1")) << type;

  MAI::sharedInstance()->setTrackUncaughtExceptions(false);
  analyticstest::resetFacade();
}

}  // namespace
