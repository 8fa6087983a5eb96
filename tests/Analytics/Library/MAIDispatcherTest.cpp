#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIDispatcher.h"
#include "Analytics/Library/MAILog.h"
#include "CollectServer.h"
#include "Foundation/Clock.h"
#include "Foundation/Error.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"
#include "support/TempDir.h"

namespace {

using analyticstest::CollectServer;
using testsupport::spinUntil;

constexpr double kDay = 86400;

class MAIDispatcherTest : public testsupport::TempDirTest {
 protected:
  MAIDispatcherPtr make(double interval, const std::string& file = "hits.sql") {
    ns::ErrorPtr error;
    auto dispatcher = MAIDispatcher::dispatcherWithDatastorePath(tmp.file(file), interval, &error);
    EXPECT_TRUE(dispatcher) << error;
    if (dispatcher) {
      // Counts the requests started, whatever becomes of them.
      dispatcher->setUrlConnectionClass([this, real = dispatcher->urlConnectionClass()](
                                            const ns::URLRequestPtr& request, const dispatch::QueuePtr& queue,
                                            MAIURLConnection::CompletionHandler handler) {
        ++attempts;
        return real(request, queue, std::move(handler));
      });
    }
    return dispatcher;
  }
  void queue(MAIDispatcher& dispatcher, int count) {
    for (int i = 0; i < count; ++i)
      dispatcher.queueDispatch({{"t", "event"}, {"n", std::to_string(i)}}, server.url());
  }
  static std::int64_t stored(MAIDispatcher& dispatcher) { return dispatcher.dataStore()->hitCount(nullptr); }
  // Runs what is due on this thread until nothing is left.
  static void settle() {
    auto loop = ns::RunLoop::currentRunLoop();
    for (int quiet = 0; quiet < 3;) quiet = loop->runOnce(0.02) ? 0 : quiet + 1;
  }

  CollectServer server;
  std::atomic<int> attempts{0};
};

TEST_F(MAIDispatcherTest, TheIntervalDecidesWhenStoredHitsAreSent) {
  ns::ManualClock clock;
  {
    SCOPED_TRACE("0: at once");
    auto d = make(0);
    queue(*d, 1);
    ASSERT_TRUE(spinUntil([&] { return server.count() == 1 && stored(*d) == 0; }));
    EXPECT_FALSE(d->hasTimer());
    d->wait_and_release();
  }
  {
    SCOPED_TRACE("120: on the timer");
    auto d = make(120);
    queue(*d, 1);
    ASSERT_TRUE(spinUntil([&] { return d->hasTimer(); }));
    clock.advance(119);
    settle();
    EXPECT_EQ(server.count(), 1u);
    EXPECT_FALSE(d->isSending());
    clock.advance(1);
    ASSERT_TRUE(spinUntil([&] { return server.count() == 2 && !d->hasTimer(); }));
    EXPECT_EQ(stored(*d), 0);
    d->wait_and_release();
  }
  {
    SCOPED_TRACE("-1: only on request");
    auto d = make(-1);
    queue(*d, 1);
    ASSERT_TRUE(spinUntil([&] { return stored(*d) == 1; }));
    clock.advance(3600);
    settle();
    EXPECT_EQ(server.count(), 2u);
    EXPECT_FALSE(d->hasTimer());
    d->dispatch();
    ASSERT_TRUE(spinUntil([&] { return server.count() == 3 && stored(*d) == 0; }));
    // The interval set to 0 while hits wait sends them at once.
    queue(*d, 1);
    ASSERT_TRUE(spinUntil([&] { return stored(*d) == 1; }));
    d->setDispatchInterval(0);
    ASSERT_TRUE(spinUntil([&] { return server.count() == 4; }));
    d->wait_and_release();
  }
}

TEST_F(MAIDispatcherTest, ABacklogDrainsOneRequestAtATimeWithRisingCacheBusters) {
  auto d = make(-1);
  queue(*d, 50);
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 50; }));
  d->dispatch();
  ASSERT_TRUE(spinUntil([&] { return server.count() == 50 && stored(*d) == 0; }));
  EXPECT_FALSE(server.sawOverlap());
  // Sent oldest first; numbered in the order they were stored, one apart.
  auto z = analyticstest::distinctCacheBusters(server.hits());
  ASSERT_EQ(z.size(), 50u);
  std::sort(z.begin(), z.end());
  for (std::size_t i = 1; i < z.size(); ++i) EXPECT_EQ(z[i], z[i - 1] + 1) << i;
  for (const auto& hit : server.hits()) {
    EXPECT_EQ(hit.parameters.at("t"), "event");
    EXPECT_EQ(hit.headers.at("Content-Type"), "application/x-www-form-urlencoded; charset=UTF-8");
  }
}

TEST_F(MAIDispatcherTest, OutcomesDecideBetweenRetryingAndDroppingAHit) {
  using Reply = CollectServer::Reply;
  const Reply unavailable{503, 0.005, false};
  struct Case {
    const char* what;
    std::vector<Reply> replies;
    std::size_t attempts;
    const char* verdict;
  } cases[] = {
      {"503 five times, then 200",
       {unavailable, unavailable, unavailable, unavailable, unavailable},
       6,
       "Successfully dispatched"},
      {"503 six times", std::vector<Reply>(6, unavailable), 6, "Giving up on"},
      {"404", {{404}}, 1, "Giving up on"},
      {"408 and 504, then 200", {{408}, {504}}, 3, "Successfully dispatched"},
      {"connection closed without a reply", {{200, 0, true}}, 2, "Successfully dispatched"},
  };
  MAILogDebug = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CollectServer own;
    own.script(c.replies);
    auto d = make(0);
    testsupport::LogCapture log;
    d->queueDispatch({{"t", "event"}}, own.url());
    ASSERT_TRUE(spinUntil([&] { return own.count() == c.attempts && stored(*d) == 0; }));
    settle();
    EXPECT_EQ(own.count(), c.attempts);
    EXPECT_TRUE(log.contains(c.verdict)) << testing::PrintToString(log.lines());
    auto hits = own.hits();
    // Every attempt is the same hit: time and cache buster stay, the queue time grows.
    for (const auto& hit : hits) {
      EXPECT_EQ(hit.parameters.at("ht"), hits[0].parameters.at("ht"));
      EXPECT_EQ(hit.parameters.at("z"), hits[0].parameters.at("z"));
    }
    auto qt = [](const CollectServer::Hit& hit) {
      return hit.parameters.contains("qt") ? std::stoll(hit.parameters.at("qt")) : 0;
    };
    for (std::size_t i = 1; i < hits.size(); ++i) EXPECT_GE(qt(hits[i]), qt(hits[i - 1]));
    if (c.attempts == 6) {
      EXPECT_GT(qt(hits.back()), qt(hits.front()));
    }
    d->wait_and_release();
  }
  MAILogDebug = false;
}

// A connection that answers with nothing at all: no response, no body, no error.
class SilentConnection final : public MAIURLConnection {
 public:
  void start(MAIURLConnection::CompletionHandler handler) {
    dispatch::async(dispatch::mainQueue(), [handler] { handler(nullptr, std::nullopt, nullptr); });
  }
  void cancel() override {}
};

TEST_F(MAIDispatcherTest, ACompletionWithoutAnHTTPResponseIsDroppedUnretried) {
  auto d = make(-1);
  int created = 0;
  d->setUrlConnectionClass(
      [&](const ns::URLRequestPtr&, const dispatch::QueuePtr&, MAIURLConnection::CompletionHandler h) {
        ++created;
        auto connection = std::make_shared<SilentConnection>();
        connection->start(std::move(h));
        return connection;
      });
  queue(*d, 1);
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 1; }));
  d->dispatch();
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 0; }));
  settle();
  EXPECT_EQ(created, 1);
}

TEST_F(MAIDispatcherTest, ATimedOutRequestIsSentAgain) {
  auto d = make(-1);
  auto real = d->urlConnectionClass();
  d->setUrlConnectionClass([real](const ns::URLRequestPtr& request, const dispatch::QueuePtr& queue,
                                  MAIURLConnection::CompletionHandler handler) {
    auto quick = request->copy();
    quick->setTimeoutInterval(0.3);
    return real(quick, queue, std::move(handler));
  });
  server.script({{200, 5.0, false}});
  queue(*d, 1);
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 1; }));
  d->dispatch();
  ASSERT_TRUE(spinUntil([&] { return server.count() == 2 && stored(*d) == 0; }));
}

// By address or by name, a host that refuses connections is tried again after one probe period:
// neither never nor at once.
TEST_F(MAIDispatcherTest, ARefusingHostSuspendsSendingUntilItIsReachableAgain) {
  ns::ManualClock clock;
  for (const char* host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    attempts = 0;
    const std::string url = "http://" + std::string(host) + ":" + std::to_string(server.port()) + "/collect";
    auto d = make(20, std::string(host) + ".sql");
    server.stop();
    for (int i = 0; i < 2; ++i) d->queueDispatch({{"t", "event"}}, url);
    ASSERT_TRUE(spinUntil([&] { return d->hasTimer() && stored(*d) == 2; }));
    std::size_t received = server.count();
    clock.advance(20);
    ASSERT_TRUE(spinUntil([&] { return d->isOffline(); }));
    EXPECT_FALSE(d->hasTimer());
    EXPECT_EQ(stored(*d), 2);
    settle();
    clock.advance(kReachabilityProbePeriod - 1);
    settle();
    EXPECT_EQ(attempts.load(), 1);
    EXPECT_TRUE(d->isOffline());

    server.start();
    clock.advance(1);
    ASSERT_TRUE(spinUntil([&] { return server.count() == received + 2 && stored(*d) == 0; }));
    EXPECT_FALSE(d->isOffline());
    EXPECT_EQ(attempts.load(), 3);
    settle();
    EXPECT_FALSE(d->hasTimer());
    d->wait_and_release();
  }
}

TEST_F(MAIDispatcherTest, HitsThirtyDaysOldAreDroppedUnsent) {
  ns::ManualClock clock;
  auto d = make(-1);
  double now = ns::Date::now().timeIntervalSinceReferenceDate();
  d->queueDispatch({{"age", "30"}}, server.url(), now - 30 * kDay);
  d->queueDispatch({{"age", "29"}}, server.url(), now - 29 * kDay);
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 2; }));
  d->dispatch();
  ASSERT_TRUE(spinUntil([&] { return server.count() == 1 && stored(*d) == 0; }));
  EXPECT_EQ(server.hits()[0].parameters.at("age"), "29");
}

TEST_F(MAIDispatcherTest, OptingOutEmptiesTheStoreAndLastsAcrossRuns) {
  auto first = make(-1);
  std::string clientId = first->clientId();
  EXPECT_EQ(clientId.size(), 36u);
  queue(*first, 3);
  ASSERT_TRUE(spinUntil([&] { return stored(*first) == 3; }));
  first->setOptOut(true);
  ASSERT_TRUE(spinUntil([&] {
    auto property = first->dataStore()->propertyForName(kOptOutPropertyName, false, nullptr);
    return property && property->number() == 1 && stored(*first) == 0;
  }));
  first->wait_and_release();
  first.reset();

  auto second = make(-1);
  EXPECT_TRUE(second->optOut());
  EXPECT_EQ(second->clientId(), clientId);
  second->queueDispatch({{"t", "event"}}, server.url(), ns::Date::now().timeIntervalSinceReferenceDate());
  settle();
  EXPECT_EQ(stored(*second), 0);
  second->dispatch();
  settle();
  EXPECT_EQ(server.count(), 0u);
}

TEST_F(MAIDispatcherTest, ADispatcherThatCannotBeMadeSaysWhy) {
  ns::ErrorPtr error;
  std::thread([&] {
    EXPECT_EQ(MAIDispatcher::dispatcherWithDatastorePath(std::nullopt, 1, &error), nullptr);
  }).join();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kMAIErrorDomain);
  EXPECT_EQ(error->code(), 1);
  EXPECT_EQ(error->localizedDescription(), "Dispatcher must be initialized on main thread.");

  // Two client id records: the store gives no error of its own, so the dispatcher makes one.
  {
    auto store = MAIDataStore::dataStoreWithPath(tmp.file("twins.sql"), nullptr);
    for (int i = 0; i < 2; ++i)
      store->propertyForName("scratch" + std::to_string(i), true, nullptr)
          ->setName(std::string(kClientIdPropertyName));
    ASSERT_TRUE(store->save(nullptr));
  }
  testsupport::LogCapture log;
  error.reset();
  EXPECT_EQ(MAIDispatcher::dispatcherWithDatastorePath(tmp.file("twins.sql"), 1, &error), nullptr);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kMAIErrorDomain);
  EXPECT_TRUE(log.contains("Failed to fetch or create client id property: Error Domain="))
      << testing::PrintToString(log.lines());
  EXPECT_FALSE(log.contains("(null)"));
}

}  // namespace
