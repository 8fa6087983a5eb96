#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "NTNetworking/NTHTTPClient.h"
#include "NTNetworking/NTNetworkReachability.h"
#include "support/RunLoopSpin.h"

namespace {

// Lets the main queue drain what was queued before this call.
void drainMainQueue() {
  auto done = std::make_shared<std::atomic<bool>>(false);
  dispatch::async(dispatch::mainQueue(), [done] { *done = true; });
  ASSERT_TRUE(testsupport::spinUntil([&] { return done->load(); }));
}

// Counts the reachability notifications and keeps the statuses they carry.
struct NotificationLog {
  NotificationLog() {
    token = ns::NotificationCenter::defaultCenter()->addObserverForName(
        NTNetworkingReachabilityDidChangeNotification, {}, [statuses = statuses](const ns::Notification& n) {
          EXPECT_TRUE(n.object.isNil());
          statuses->push_back(n.userInfo[NTNetworkingReachabilityNotificationStatusItem].intValue());
        });
  }
  ~NotificationLog() { ns::NotificationCenter::defaultCenter()->removeObserver(token); }
  std::shared_ptr<std::vector<int>> statuses = std::make_shared<std::vector<int>>();
  std::shared_ptr<ns::Object> token;
};

TEST(NTNetworkReachabilityTest, StatusFromFlags) {
  using namespace sc;
  struct Case {
    NetworkReachabilityFlags flags;
    NTNetworkReachabilityStatus status;
  } cases[] = {
      {0, NTNetworkReachabilityStatusNotReachable},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsConnectionRequired,
       NTNetworkReachabilityStatusNotReachable},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsWWAN,
       NTNetworkReachabilityStatusReachableViaWWAN},
      {kNetworkReachabilityFlagsReachable, NTNetworkReachabilityStatusReachableViaWiFi},
      {kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsLocalAddress |
           kNetworkReachabilityFlagsIsDirect,
       NTNetworkReachabilityStatusReachableViaWiFi},
      {kNetworkReachabilityFlagsIsWWAN, NTNetworkReachabilityStatusNotReachable},
  };
  for (const auto& c : cases) EXPECT_EQ(NTNetworkReachabilityStatusForFlags(c.flags), c.status) << c.flags;
}

TEST(NTNetworkReachabilityTest, NumericHosts) {
  struct Case {
    const char* url;
    bool numeric;
  } cases[] = {
      {"http://127.0.0.1/", true},  {"http://[::1]:8080/x", true}, {"http://10.1.2.3:9/", true},
      {"http://localhost/", false}, {"http://1.2.3/", false},      {"http://graph.example/", false},
      {"file:///tmp/x", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NTURLHostIsIPAddress(*ns::URL::URLWithString(c.url)), c.numeric) << c.url;
}

TEST(NTNetworkReachabilityTest, CallbackStoresAndAnnouncesEveryChange) {
  NotificationLog log;
  std::vector<NTNetworkReachabilityStatus> heard;
  NTNetworkReachabilityStatusBlock block = [&heard](NTNetworkReachabilityStatus s) { heard.push_back(s); };
  auto context = NTNetworkReachabilityRetainCallback(&block);
  block = nullptr;  // the context is a copy of its own
  auto target = sc::NetworkReachability::createWithName("127.0.0.1");
  NTNetworkReachabilityCallback(*target, sc::kNetworkReachabilityFlagsReachable, context);
  NTNetworkReachabilityCallback(*target, 0, context);
  NTNetworkReachabilityCallback(*target, sc::kNetworkReachabilityFlagsReachable, nullptr);
  NTNetworkReachabilityReleaseCallback(context);
  EXPECT_EQ(heard, (std::vector<NTNetworkReachabilityStatus>{NTNetworkReachabilityStatusReachableViaWiFi,
                                                             NTNetworkReachabilityStatusNotReachable}));
  EXPECT_EQ(*log.statuses, (std::vector<int>{2, 0, 2}));
}

TEST(NTNetworkReachabilityTest, NumericHostReportsAtOnceWithoutNotification) {
  NotificationLog log;
  auto client = NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString("http://127.0.0.1:1/api"));
  std::vector<NTNetworkReachabilityStatus> heard;
  client->setReachabilityStatusChangeBlock([&heard](NTNetworkReachabilityStatus s) { heard.push_back(s); });
  EXPECT_EQ(client->networkReachabilityStatus(), NTNetworkReachabilityStatusUnknown);
  EXPECT_TRUE(client->networkReachability());
  drainMainQueue();
  EXPECT_EQ(heard, (std::vector<NTNetworkReachabilityStatus>{NTNetworkReachabilityStatusReachableViaWiFi}));
  EXPECT_EQ(client->networkReachabilityStatus(), NTNetworkReachabilityStatusReachableViaWiFi);
  EXPECT_TRUE(log.statuses->empty());

  // Stopping keeps the last status; a new status callback replaces the old one.
  client->stopMonitoringNetworkReachability();
  client->stopMonitoringNetworkReachability();
  EXPECT_FALSE(client->networkReachability());
  EXPECT_EQ(client->networkReachabilityStatus(), NTNetworkReachabilityStatusReachableViaWiFi);
  std::vector<NTNetworkReachabilityStatus> replaced;
  client->setReachabilityStatusChangeBlock(
      [&replaced](NTNetworkReachabilityStatus s) { replaced.push_back(s); });
  client->startMonitoringNetworkReachability();
  auto first = client->networkReachability();
  client->startMonitoringNetworkReachability();
  EXPECT_NE(client->networkReachability(), first);
  // The replaced object no longer watches the main run loop; the new one does.
  EXPECT_FALSE(first->unscheduleFromRunLoop(ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes));
  drainMainQueue();
  EXPECT_EQ(heard.size(), 1u);
  EXPECT_EQ(replaced.size(), 2u);
  EXPECT_TRUE(client->networkReachability()->unscheduleFromRunLoop(ns::RunLoop::mainRunLoop(),
                                                                   ns::kRunLoopCommonModes));
}

TEST(NTNetworkReachabilityTest, HostNameIsReportedWithNotificationWhenResolved) {
  NotificationLog log;
  auto client = NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString("http://localhost:1/"));
  std::vector<NTNetworkReachabilityStatus> heard;
  client->setReachabilityStatusChangeBlock([&heard](NTNetworkReachabilityStatus s) { heard.push_back(s); });
  EXPECT_EQ(client->networkReachabilityStatus(), NTNetworkReachabilityStatusUnknown);
  ASSERT_TRUE(testsupport::spinUntil([&] { return !log.statuses->empty(); }));
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(client->networkReachabilityStatus(), heard[0]);
  EXPECT_EQ(log.statuses->front(), static_cast<int>(heard[0]));
}

TEST(NTNetworkReachabilityTest, AClientThatIsGoneHearsNothing) {
  NotificationLog log;
  auto heard = std::make_shared<int>(0);
  {
    auto client = NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString("http://127.0.0.1:1/"));
    client->setReachabilityStatusChangeBlock([heard](NTNetworkReachabilityStatus) { ++*heard; });
  }
  drainMainQueue();
  EXPECT_EQ(*heard, 0);
  EXPECT_TRUE(log.statuses->empty());
}

}  // namespace
