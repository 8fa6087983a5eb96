#include <gtest/gtest.h>

#include "Analytics/Library/MAIReachabilityChecker.h"
#include "Foundation/Clock.h"
#include "Network/NetworkReachability.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

struct Recorder final : MAIReachabilityDelegate {
  std::vector<int> statuses;
  void reachabilityStatusChanged(MAIReachabilityChecker&, int status) override { statuses.push_back(status); }
};

// The five platform operations, recorded; the test delivers the flags.
struct FakePlatform {
  std::vector<std::string> calls;
  MAIReachabilityApi::Callback callback;
  bool scheduleFails = false;
  MAIReachabilityApi api() {
    return {
        [this](const std::string& host) -> MAIReachabilityApi::Handle {
          calls.push_back("create " + host);
          return std::make_shared<int>(0);
        },
        [this](const MAIReachabilityApi::Handle&, MAIReachabilityApi::Callback c) {
          calls.push_back("callback");
          callback = std::move(c);
          return true;
        },
        [this](const MAIReachabilityApi::Handle&, const std::shared_ptr<ns::RunLoop>& loop,
               std::string_view) {
          calls.push_back(loop == ns::RunLoop::mainRunLoop() ? "schedule main" : "schedule other");
          return !scheduleFails;
        },
        [this](const MAIReachabilityApi::Handle&, const std::shared_ptr<ns::RunLoop>&, std::string_view) {
          calls.push_back("unschedule");
          return true;
        },
        [this](MAIReachabilityApi::Handle& h) {
          calls.push_back("release");
          h.reset();
        },
    };
  }
};

TEST(MAIReachabilityCheckerTest, FlagsMapToStatuses) {
  using namespace sc;
  const std::pair<MAIReachabilityFlags, int> cases[] = {
      {0, 1},
      {kNetworkReachabilityFlagsReachable, 2},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsWWAN, 3},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsConnectionRequired, 1},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsConnectionRequired |
           kNetworkReachabilityFlagsConnectionOnDemand,
       2},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsConnectionRequired |
           kNetworkReachabilityFlagsConnectionOnTraffic | kNetworkReachabilityFlagsIsWWAN,
       3},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsConnectionRequired |
           kNetworkReachabilityFlagsConnectionOnDemand | kNetworkReachabilityFlagsInterventionRequired,
       1},
      {kNetworkReachabilityFlagsIsWWAN, 1},
  };
  for (const auto& [flags, status] : cases)
    EXPECT_EQ(MAIReachabilityChecker::statusForFlags(flags), status) << flags;
}

TEST(MAIReachabilityCheckerTest, ReportsChangesOnlyAndWorksThroughTheFiveOperations) {
  testsupport::LogCapture log;
  auto recorder = std::make_shared<Recorder>();
  EXPECT_EQ(std::make_shared<MAIReachabilityChecker>()->initWithDelegate(recorder, ""), nullptr);
  EXPECT_TRUE(log.contains("ERROR: Invalid host specified."));

  FakePlatform platform;
  auto checker =
      std::make_shared<MAIReachabilityChecker>()->initWithDelegate(recorder, std::string("collect.example"));
  ASSERT_TRUE(checker);
  checker->setReachabilityApi(platform.api());
  ASSERT_TRUE(checker->start());
  EXPECT_TRUE(checker->isActive());
  EXPECT_TRUE(checker->start());
  EXPECT_EQ(platform.calls,
            (std::vector<std::string>{"create collect.example", "callback", "schedule main"}));
  checker->setReachabilityApi(FakePlatform().api());
  EXPECT_TRUE(log.contains("Cannot change reachability API while reachability running; call stop first."));

  platform.callback(sc::kNetworkReachabilityFlagsReachable);
  platform.callback(sc::kNetworkReachabilityFlagsReachable | sc::kNetworkReachabilityFlagsIsLocalAddress);
  platform.callback(0);
  platform.callback(sc::kNetworkReachabilityFlagsReachable | sc::kNetworkReachabilityFlagsIsWWAN);
  EXPECT_EQ(recorder->statuses, (std::vector<int>{2, 1, 3}));

  checker->stop();
  EXPECT_FALSE(checker->isActive());
  EXPECT_EQ(checker->reachabilityStatus(), 0);
  EXPECT_EQ(platform.calls.back(), "release");

  // A platform object that cannot be scheduled is let go again.
  FakePlatform failing;
  failing.scheduleFails = true;
  checker->setReachabilityApi(failing.api());
  EXPECT_FALSE(checker->start());
  EXPECT_FALSE(checker->isActive());
  EXPECT_EQ(failing.calls.back(), "release");
}

// The platform's own operations report a reachable host once one probe period has passed, and not before.
TEST(MAIReachabilityCheckerTest, AReachableHostIsReportedOnlyAfterOneProbePeriod) {
  ns::ManualClock clock;
  auto recorder = std::make_shared<Recorder>();
  auto checker =
      std::make_shared<MAIReachabilityChecker>()->initWithDelegate(recorder, std::string("127.0.0.1"));
  ASSERT_TRUE(checker->start());
  auto loop = ns::RunLoop::currentRunLoop();
  while (loop->runOnce(0.05)) {
  }
  clock.advance(kReachabilityProbePeriod - 1);
  while (loop->runOnce(0.05)) {
  }
  EXPECT_TRUE(recorder->statuses.empty());
  clock.advance(1);
  ASSERT_TRUE(spinUntil([&] { return !recorder->statuses.empty(); }));
  EXPECT_EQ(recorder->statuses, std::vector<int>{2});
  // Still reachable at the next probe: no change, nothing told.
  clock.advance(kReachabilityProbePeriod);
  while (loop->runOnce(0.05)) {
  }
  EXPECT_EQ(recorder->statuses, std::vector<int>{2});
  checker->stop();
}

}  // namespace
