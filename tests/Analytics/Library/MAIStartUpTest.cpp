#include <gtest/gtest.h>
#include <httplib.h>

#include "Analytics/Library/MAI.h"
#include "AnalyticsTestSupport.h"
#include "Foundation/Clock.h"
#include "Foundation/JSONSerialization.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace {

using testsupport::spinUntil;

class MAIStartUpTest : public testsupport::SampleServiceSuite {};

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
