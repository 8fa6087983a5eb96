#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Analytics/Library/MAI.h"
#include "Analytics/Library/MAIUncaughtExceptionHandler.h"
#include "AnalyticsTestSupport.h"
#include "CollectServer.h"
#include "Foundation/Clock.h"
#include "support/TempDir.h"

namespace {

using analyticstest::ChildProcess;
using analyticstest::CollectServer;

struct CrashCase {
  const char* mode;
  const char* reason;
  int sent;             // whether a fatal exception hit reaches the server (-1: either)
  bool previousCalled;  // the handler installed before runs
  const char* thrower;  // a frame the report names, when sent
};

// The helper starts the tracker as the application does (crash reports on, interval 20 s, one
// tracker), then dies of an uncaught exception.
TEST(MAICrashReportTest, AnUncaughtExceptionIsReportedBeforeThePreviousHandlerRuns) {
  const CrashCase cases[] = {
      {"main", "index 5 beyond bounds", 1, true, "crashTheHelper(charconst*)"},
      {"worker", "crashed on a worker", 1, true, "crashTheHelper(charconst*)"},
      {"second", "first", -1, false, nullptr},
      {"held-elsewhere", "while the facade is busy", 0, true, nullptr},
      {"held-here", "inside the facade", 0, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    CollectServer server;
    testsupport::TempDir sandbox;
    ChildProcess helper(ANALYTICS_CRASH_HELPER, {c.mode},
                        {"VCC_SANDBOX_ROOT=" + sandbox.str(), "VCC_COLLECT_URL=" + server.url()});
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(helper.waitForExit(120)) << helper.output();
    const std::string& output = helper.output();
    EXPECT_TRUE(WIFSIGNALED(helper.status()) && WTERMSIG(helper.status()) == SIGABRT) << output;
    EXPECT_NE(output.find(std::string("Uncaught exception: ") + c.reason), std::string::npos) << output;
    EXPECT_EQ(output.find(std::string("previous handler: ") + c.reason) != std::string::npos,
              c.previousCalled)
        << output;
    auto hits = server.hits();
    if (c.sent >= 0) {
      ASSERT_EQ(hits.size(), c.sent ? 1u : 0u) << output;
    }
    if (c.sent == 1) {
      const auto& hit = hits[0].parameters;
      EXPECT_EQ(hit.at("t"), "exception");
      EXPECT_EQ(hit.count("exf"), 0u) << "fatal is the assumed value";
      EXPECT_EQ(hit.at("tid"), "UA-CRASH-1");
      EXPECT_EQ(hit.at("sc"), "start");
      const std::string& description = hit.at("exd");
      EXPECT_TRUE(description.starts_with("NSRangeException\nTrace:\n")) << description;
      EXPECT_NE(description.find(c.thrower), std::string::npos) << description;
      EXPECT_LE(description.size(), 150u);
    }
    if (std::string(c.mode) == "second") {
      EXPECT_NE(output.find("Bailing on multiple uncaught exceptions: second"), std::string::npos) << output;
      EXPECT_EQ(output.find("previous handler"), std::string::npos) << output;
    }
  }
}

// The report's wait is measured in real time: a manual clock that nobody moves cannot hold it up,
// and the report goes out meanwhile.
TEST(MAICrashReportDeathTest, TheHandlerWaitsInRealTimeEvenUnderTheManualClock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  CollectServer server;
  analyticstest::ScopedEnv collect("VCC_COLLECT_URL", server.url().c_str());
  EXPECT_EXIT(
      {
        ns::ManualClock clock;
        MAI::sharedInstance()->setDispatchInterval(20.0);
        MAI::sharedInstance()->trackerWithTrackingId(std::string("UA-CLOCK-1"));
        auto start = std::chrono::steady_clock::now();
        MAIUncaughtExceptionHandler(ns::Exception(ns::kGenericException, "under a manual clock"));
        double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The death test runs this test's body again in the child, server included: the child tells.
        std::fprintf(stderr, "returned after %s seconds, %zu sent\n",
                     waited >= 5 && waited < 60 ? "about 5" : "too many or few", server.count());
        std::fflush(stderr);
        _exit(3);
      },
      ::testing::ExitedWithCode(3), "returned after about 5 seconds, 1 sent");
}

}  // namespace
