#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIDispatcher.h"
#include "Analytics/Library/MAILog.h"
#include "CollectServer.h"
#include "Foundation/Clock.h"
#include "Foundation/Error.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/MemoryGrowth.h"
#include "support/RunLoopSpin.h"
#include "support/ScriptedTCPServer.h"
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
    if (dispatcher) countAttempts(*dispatcher, dispatcher->urlConnectionClass());
    return dispatcher;
  }
  void queue(MAIDispatcher& dispatcher, int count) {
    for (int i = 0; i < count; ++i)
      dispatcher.queueDispatch({{"t", "event"}, {"n", std::to_string(i)}}, server.url());
  }
  static std::int64_t stored(MAIDispatcher& dispatcher) { return dispatcher.dataStore()->hitCount(nullptr); }
  // Runs what is due on this thread until nothing is left. A loop that never quiets down fails the
  // test rather than hanging it.
  static void settle(double timeoutSeconds = 30) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
    auto loop = ns::RunLoop::currentRunLoop();
    for (int quiet = 0; quiet < 3;) {
      if (Clock::now() >= deadline) {
        ADD_FAILURE() << "settle: the run loop still had work after " << timeoutSeconds << " s";
        return;
      }
      quiet = loop->runOnce(0.02) ? 0 : quiet + 1;
    }
  }
  // Counts the requests started, with those of a connection class set later.
  void countAttempts(MAIDispatcher& dispatcher, MAIURLConnectionClass real) {
    dispatcher.setUrlConnectionClass([this, real](const ns::URLRequestPtr& request,
                                                  const dispatch::QueuePtr& queue,
                                                  MAIURLConnection::CompletionHandler handler) {
      ++attempts;
      return real(request, queue, std::move(handler));
    });
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

// An endpoint whose answer has no end: the request stops at its bound, holding no more than that,
// and the answer settles the hit instead of sending it again.
TEST_F(MAIDispatcherTest, AnEndlessAnswerIsCutOffAndSettlesTheHit) {
  testsupport::LoopbackServer endless;
  endless.reply("/collect", testsupport::Reply::endless("image/gif"));
  auto d = make(-1);
  MAILogDebug = true;
  testsupport::LogCapture log;
  testsupport::PeakMemoryGrowth memory;
  d->queueDispatch({{"t", "event"}}, endless.url("/collect"));
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 1; }));
  d->dispatch();
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 0; }));
  settle();
  MAILogDebug = false;
  EXPECT_EQ(attempts.load(), 1);
  EXPECT_EQ(endless.requestsTo("/collect").size(), 1u);
  if (!testsupport::kSanitized) {
    EXPECT_LT(memory.megabytes(), 32);
  }
  EXPECT_TRUE(log.contains(" is longer than the " + std::to_string(MAIURLConnection::kMaxResponseLength) +
                           " bytes the request reads: refused"))
      << testing::PrintToString(log.lines());
  EXPECT_TRUE(log.contains("Giving up on")) << testing::PrintToString(log.lines());
  EXPECT_TRUE(spinUntil([&] { return endless.disconnectsSeen() == 1; }));
  d->wait_and_release();
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

std::string collectUrl(const char* scheme, const std::string& host, int port) {
  return std::string(scheme) + "://" + host + ":" + std::to_string(port) + "/collect";
}

// Only the endpoint's own answer settles a hit: whatever keeps the answer from coming, the hit stays
// stored, and goes out at a later dispatch once the endpoint answers.
TEST_F(MAIDispatcherTest, AHitThatGetsNoAnswerStaysForALaterDispatch) {
  ns::ManualClock clock;
  // What stands at the hit's address while it fails, and what answers afterwards.
  struct Endpoint {
    int port = 0;
    std::unique_ptr<analyticstest::ResettingServer> resetting;
    std::unique_ptr<CollectServer> collect;
  };
  struct Case {
    const char* what;
    std::function<std::string(Endpoint&, MAIDispatcher&)> open;
    // Makes the endpoint answer; none when nothing can.
    std::function<void(Endpoint&, MAIDispatcher&)> heal;
    const char* code;  // the failure, as the debug line shows it
    int attempts;      // before the hit is put aside
    bool offline;      // the dispatcher waits for the host instead
  };
  auto answerAt = [](Endpoint& e, MAIDispatcher&) {
    e.resetting.reset();
    e.collect = std::make_unique<CollectServer>(e.port);
  };
  const Case cases[] = {
      {"refused",
       [](Endpoint& e, MAIDispatcher&) {
         e.port = testsupport::ScriptedTCPServer::closedPort();
         return collectUrl("http", "127.0.0.1", e.port);
       },
       answerAt, "Code=-1004", 1, true},
      {"reset",
       [](Endpoint& e, MAIDispatcher&) {
         e.resetting = std::make_unique<analyticstest::ResettingServer>();
         e.port = e.resetting->port();
         return collectUrl("http", "127.0.0.1", e.port);
       },
       answerAt, "Code=-1005", 6, false},
      {"timed out",
       [this](Endpoint& e, MAIDispatcher& d) {
         e.collect = std::make_unique<CollectServer>();
         e.collect->script(std::vector<CollectServer::Reply>(6, {200, 1.0, false}));
         countAttempts(d, [](const ns::URLRequestPtr& request, const dispatch::QueuePtr& queue,
                             MAIURLConnection::CompletionHandler handler) {
           auto quick = request->copy();
           quick->setTimeoutInterval(0.2);
           return std::make_shared<MAIURLConnection>()->initWithRequest(quick, queue, std::move(handler));
         });
         return e.collect->url();
       },
       [this](Endpoint&, MAIDispatcher& d) {
         countAttempts(d, [](const ns::URLRequestPtr& request, const dispatch::QueuePtr& queue,
                             MAIURLConnection::CompletionHandler handler) {
           return std::make_shared<MAIURLConnection>()->initWithRequest(request, queue, std::move(handler));
         });
       },
       "Code=-1001", 6, false},
      {"TLS to a plain HTTP server",
       [](Endpoint& e, MAIDispatcher&) {
         e.collect = std::make_unique<CollectServer>();
         return collectUrl("https", "127.0.0.1", e.collect->port());
       },
       nullptr, "Code=-1200", 1, false},
      {"unknown host", [](Endpoint&, MAIDispatcher&) { return collectUrl("http", "collect.invalid", 80); },
       nullptr, "Code=-1003", 1, true},
  };
  MAILogDebug = true;
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::LogCapture log;
    Endpoint endpoint;
    attempts = 0;
    auto d = make(20, "lost" + std::to_string(n++) + ".sql");
    const std::string url = c.open(endpoint, *d);
    d->queueDispatch({{"t", "event"}}, url);
    ASSERT_TRUE(spinUntil([&] { return d->hasTimer() && stored(*d) == 1; }));
    clock.advance(20);
    ASSERT_TRUE(spinUntil(
        [&] { return attempts.load() == c.attempts && !d->isSending() && (d->isOffline() || !c.offline); }));
    settle();
    EXPECT_TRUE(log.contains(c.code)) << testing::PrintToString(log.lines());
    EXPECT_FALSE(log.contains("Giving up on"));
    EXPECT_EQ(attempts.load(), c.attempts);
    EXPECT_EQ(stored(*d), 1);
    EXPECT_EQ(d->isOffline(), c.offline);

    // The next dispatch: the timer's, or the one that follows the host's return.
    if (c.heal) c.heal(endpoint, *d);
    clock.advance(kReachabilityProbePeriod);
    if (c.heal) {
      ASSERT_TRUE(spinUntil([&] { return stored(*d) == 0; }));
      EXPECT_TRUE(log.contains("Successfully dispatched"));
      const auto hits = endpoint.collect->hits();
      ASSERT_FALSE(hits.empty());
      EXPECT_EQ(hits.back().parameters.at("t"), "event");
    } else if (!c.offline) {
      ASSERT_TRUE(spinUntil([&] { return attempts.load() > c.attempts && !d->isSending(); }));
      settle();
      EXPECT_EQ(stored(*d), 1);
    } else {
      settle();
      EXPECT_EQ(stored(*d), 1);
      EXPECT_TRUE(d->isOffline());
    }
    d->wait_and_release();
  }
  MAILogDebug = false;
}

// An endpoint that cannot be reached holds back only its own hits: those for another go out in the
// same dispatch, and the held one is tried again at the next.
TEST_F(MAIDispatcherTest, AnEndpointWithoutAnswersHoldsBackOnlyItsOwnHits) {
  auto d = make(-1);
  const std::string secure = collectUrl("https", "127.0.0.1", server.port());
  d->queueDispatch({{"n", "0"}}, secure);
  queue(*d, 2);
  d->queueDispatch({{"n", "3"}}, secure);
  ASSERT_TRUE(spinUntil([&] { return stored(*d) == 4; }));
  d->dispatch();
  ASSERT_TRUE(spinUntil([&] { return server.count() == 2 && stored(*d) == 2 && !d->isSending(); }));
  settle();
  // One try of the oldest held hit per dispatch; the one behind it waits without a try.
  EXPECT_EQ(attempts.load(), 3);
  d->dispatch();
  ASSERT_TRUE(spinUntil([&] { return attempts.load() == 4 && !d->isSending(); }));
  settle();
  EXPECT_EQ(attempts.load(), 4);
  EXPECT_EQ(stored(*d), 2);
  EXPECT_EQ(server.count(), 2u);
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
