#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "AppAnalytics/Library/MALDataDispatcher.h"
#include "Foundation/Clock.h"
#include "Foundation/Locale.h"
#include "MALTestSupport.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"
#include "support/ScriptedTCPServer.h"

namespace {

using maltest::DispatcherRecorder;
using testsupport::ScriptedTCPServer;
using testsupport::ScriptStep;
using testsupport::spinUntil;

std::vector<std::uint64_t> ids(std::size_t from, std::size_t to) {
  std::vector<std::uint64_t> out(to - from + 1);
  std::iota(out.begin(), out.end(), from);
  return out;
}

std::size_t occurrences(const std::string& text, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

class MALDataDispatcherTest : public ::testing::Test {
 protected:
  MALDataDispatcherPtr makeDispatcher(std::uint16_t port) {
    auto d = std::make_shared<MALDataDispatcher>()->initWithDelegate(recorder, "AppAnalytics", "1.5.1");
    d->setDestinationHost("127.0.0.1");
    d->setDestinationPort(port);
    return d;
  }
  MALDataDispatcherPtr makeDispatcher() { return makeDispatcher(static_cast<std::uint16_t>(server.port())); }
  // Dispatches and waits for the end.
  void run(const MALDataDispatcherPtr& d, const std::vector<MALHitPtr>& hits, double timeout = 60) {
    int before = recorder->completions;
    d->dispatchHits(hits);
    ASSERT_TRUE(spinUntil([&] { return recorder->completions > before; }, timeout));
    EXPECT_FALSE(d->isDispatching());
  }

  ScriptedTCPServer server;
  std::shared_ptr<DispatcherRecorder> recorder = std::make_shared<DispatcherRecorder>();
};

TEST_F(MALDataDispatcherTest, HitsUpTo2036BytesGoByGetLongerOnesByPostWithTheirByteLength) {
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  const std::string base = "/__utm.gif?utmwv=4.9.1mi&utmp=";
  auto padded = [&](std::size_t bytes, const std::string& fill) {
    std::string s = base;
    while (s.size() + fill.size() <= bytes) s += fill;
    while (s.size() < bytes) s += "a";
    return s;
  };
  // Two-byte characters: 1100 characters, 2200 bytes; the wire counts bytes.
  auto hits = std::vector<MALHitPtr>{maltest::hit(padded(2036, "a"), 1), maltest::hit(padded(2037, "a"), 2),
                                     maltest::hit(padded(2200, "ж"), 3)};
  auto d = makeDispatcher();
  d->setDestinationPathPrefix("/collect");
  run(d, hits);
  EXPECT_EQ(recorder->acknowledged, ids(1, 3));
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/collect" + hits[0]->hitString());
  EXPECT_EQ(requests[0].header("host"), "127.0.0.1");
  EXPECT_EQ(requests[0].header("user-agent"), d->userAgent());
  EXPECT_EQ(d->userAgent().rfind("AppAnalytics/1.5.1 (", 0), 0u);
  for (std::size_t i : {1u, 2u}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(requests[i].method, "POST");
    EXPECT_EQ(requests[i].target, "/collect/p/__utm.gif");
    EXPECT_EQ(requests[i].header("content-type"), "text/plain");
    const std::string& text = hits[i]->hitString();
    EXPECT_EQ(requests[i].body, text.substr(text.find('?') + 1));
    EXPECT_EQ(requests[i].header("content-length"), std::to_string(requests[i].body.size()));
  }
}

TEST_F(MALDataDispatcherTest, FortyHitsArePipelinedAsThirtyThenTen) {
  ScriptStep first = ScriptStep::reply(ScriptedTCPServer::ok());
  first.minWaiting = 30;  // all thirty arrive before any answer
  std::vector<ScriptStep> script{first};
  for (int i = 1; i < 40; ++i) script.push_back(ScriptStep::reply(ScriptedTCPServer::ok()));
  server.setScript(script);
  auto d = makeDispatcher();
  run(d, maltest::hits(40));
  EXPECT_EQ(recorder->acknowledged, ids(1, 40));
  EXPECT_EQ(recorder->completions, 1);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 40u);
  EXPECT_EQ(requests[29].answersBefore, 0u);
  EXPECT_EQ(requests[30].answersBefore, 30u);  // the second write waited for thirty answers
  EXPECT_EQ(server.connectionCount(), 1u);
  EXPECT_TRUE(d->pipelineMode());
}

TEST_F(MALDataDispatcherTest, AServerThatWillNotKeepConnectionsGetsOneHitPerConnectionForGood) {
  struct Case {
    const char* name;
    std::string firstAnswer;
  } cases[] = {{"Connection: close", ScriptedTCPServer::ok("Connection: close\r\n")},
               {"HTTP/1.0", ScriptedTCPServer::ok("", "HTTP/1.0")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedTCPServer s;
    s.setScript({ScriptStep::replyAndClose(c.firstAnswer)});
    s.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
    auto d = makeDispatcher(static_cast<std::uint16_t>(s.port()));
    recorder->acknowledged.clear();
    // Hits that carry their creation time get their queue time once, however often they are sent.
    run(d, maltest::hits(4, "&utmht=1000"));
    EXPECT_EQ(recorder->acknowledged, ids(1, 4));
    EXPECT_FALSE(d->pipelineMode());
    EXPECT_EQ(s.connectionCount(), 4u);
    for (const auto& r : s.requests()) EXPECT_EQ(occurrences(r.target, "utmqt="), 1u) << r.target;
    EXPECT_EQ(occurrences(s.receivedOn(0), "GET "), 4u);  // the first write was pipelined

    run(d, maltest::hits(2));
    EXPECT_EQ(s.connectionCount(), 6u);
  }
}

TEST_F(MALDataDispatcherTest, WithoutPipeliningADispatchSendsFiveHitsAndLeavesTheRest) {
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok("", "HTTP/1.0")));
  auto d = makeDispatcher();
  run(d, maltest::hits(7));
  EXPECT_EQ(recorder->acknowledged, ids(1, 5));
  EXPECT_EQ(server.connectionCount(), 5u);
}

TEST_F(MALDataDispatcherTest, ServerErrorsEndTheDispatchAndDelayTheNextByARandomDoublingTime) {
  ns::ManualClock clock;
  server.setScript({ScriptStep::reply(ScriptedTCPServer::status(503, "Service Unavailable"))});
  auto d = makeDispatcher();
  run(d, maltest::hits(3));
  EXPECT_TRUE(recorder->acknowledged.empty());
  EXPECT_EQ(d->lastStatusCode(), 503);

  struct Step {
    const char* answer;
    double interval;  // the back-off range of this dispatch
  } steps[] = {{"HTTP/1.1 500 Internal Server Error\r\n\r\n", 2}, {"HTTP/1.1 503 Busy\r\n\r\n", 4}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.interval);
    ns::Random::shared().seed(7);
    const double delay = step.interval * (ns::Random::shared().next() / 4294967295.0);
    ns::Random::shared().seed(7);
    server.appendStep(ScriptStep::reply(step.answer));
    std::size_t connections = server.connectionCount();
    int completions = recorder->completions;
    d->dispatchHits(maltest::hits(3));
    EXPECT_TRUE(d->isDispatching());
    clock.advance(delay - 0.01);
    for (int i = 0; i < 20; ++i) ns::RunLoop::currentRunLoop()->runOnce(0.002);
    EXPECT_EQ(server.connectionCount(), connections);  // still waiting
    clock.advance(0.02);
    ASSERT_TRUE(spinUntil([&] { return recorder->completions > completions; }));
    EXPECT_EQ(server.connectionCount(), connections + 1);
    EXPECT_EQ(d->retryInterval(), step.interval * 2);
  }

  // After the last 503 the wait is up to 8 s; another status then ends the backing off.
  server.appendStep(ScriptStep::reply(ScriptedTCPServer::status(404, "Not Found")));
  int completions = recorder->completions;
  d->dispatchHits(maltest::hits(1));
  clock.advance(8.01);
  ASSERT_TRUE(spinUntil([&] { return recorder->completions > completions; }));
  EXPECT_EQ(d->lastStatusCode(), 404);
  EXPECT_EQ(d->retryInterval(), 16.0);
  server.appendStep(ScriptStep::reply(ScriptedTCPServer::ok()));
  run(d, maltest::hits(1));
  EXPECT_EQ(d->retryInterval(), 2.0);
  EXPECT_EQ(recorder->acknowledged, std::vector<std::uint64_t>{1});
}

TEST_F(MALDataDispatcherTest, AnAnswerArrivingOneByteAtATimeIsReadWhole) {
  server.setScript({ScriptStep::dripped(ScriptedTCPServer::ok("Connection: keep-alive\r\n"), 0.001)});
  auto d = makeDispatcher();
  run(d, maltest::hits(1));
  EXPECT_EQ(recorder->acknowledged, ids(1, 1));
  EXPECT_TRUE(d->pipelineMode());
}

TEST_F(MALDataDispatcherTest, AnswersToRequestsNeverSentAreIgnored) {
  ScriptStep three =
      ScriptStep::reply(ScriptedTCPServer::ok() + ScriptedTCPServer::ok() + ScriptedTCPServer::ok());
  three.minWaiting = 2;
  server.setScript({three});
  auto d = makeDispatcher();
  run(d, maltest::hits(2));
  EXPECT_EQ(recorder->acknowledged, ids(1, 2));
  EXPECT_EQ(recorder->completions, 1);

  // Thirty-one answers to a write of thirty: the extra one must not acknowledge a hit of the next
  // write before that write is even answered.
  ScriptedTCPServer s;
  ScriptStep burst = ScriptStep::reply("");
  for (int i = 0; i < 31; ++i) burst.bytes += ScriptedTCPServer::ok();
  burst.minWaiting = 30;
  std::vector<ScriptStep> script{burst};
  for (int i = 0; i < 29; ++i) script.push_back(ScriptStep::reply(""));  // those requests are answered
  s.setScript(script);
  s.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  recorder->acknowledged.clear();
  auto d2 = makeDispatcher(static_cast<std::uint16_t>(s.port()));
  run(d2, maltest::hits(40));
  EXPECT_EQ(recorder->acknowledged, ids(1, 40));
  EXPECT_EQ(recorder->completions, 2);
  EXPECT_EQ(s.requestCount(), 40u);

  // The same when sending synchronously, to a server that then falls silent.
  ScriptedTCPServer s2;
  s2.setScript(script);
  recorder->acknowledged.clear();
  EXPECT_FALSE(
      makeDispatcher(static_cast<std::uint16_t>(s2.port()))->dispatchHitsSynchronously(maltest::hits(40), 1));
  EXPECT_EQ(recorder->acknowledged, ids(1, 30));
}

TEST_F(MALDataDispatcherTest, ASlowReaderGetsEveryByteOfALargeWrite) {
  testsupport::ScriptedTCPServerOptions options;
  options.receiveBufferBytes = 4096;
  options.readPauseSeconds = 0.5;
  ScriptedTCPServer slow(options);
  slow.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  // Thirty POSTs of 200 KB: far more than the kernel takes while nobody reads.
  auto hits = maltest::hits(30, "&utmp=" + std::string(200 * 1024, 'p'));
  auto d = makeDispatcher(static_cast<std::uint16_t>(slow.port()));
  run(d, hits, 120);
  EXPECT_EQ(recorder->acknowledged, ids(1, 30));
  EXPECT_EQ(slow.requestCount(), 30u);
}

TEST_F(MALDataDispatcherTest, ASilentServerIsGivenUpAfterTheTimeOut) {
  ns::ManualClock clock;
  auto d = makeDispatcher();
  d->dispatchHits(maltest::hits(2));
  ASSERT_TRUE(spinUntil([&] { return server.requestCount() == 2; }));
  clock.advance(MALDataDispatcher::kDispatchTimeoutSeconds - 1);
  for (int i = 0; i < 10; ++i) ns::RunLoop::currentRunLoop()->runOnce(0.002);
  EXPECT_EQ(recorder->completions, 0);
  EXPECT_TRUE(d->isDispatching());
  clock.advance(2);
  ASSERT_TRUE(spinUntil([&] { return recorder->completions == 1; }));
  EXPECT_TRUE(recorder->acknowledged.empty());
  EXPECT_FALSE(d->isDispatching());

  // The next dispatch is not refused as busy.
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  run(d, maltest::hits(2));
  EXPECT_EQ(recorder->acknowledged, ids(1, 2));

  // Cancelling ends a dispatch at once.
  server.setFallback(std::nullopt);
  d->dispatchHits(maltest::hits(1));
  ASSERT_TRUE(spinUntil([&] { return server.requestCount() == 5; }));
  int completions = recorder->completions;
  d->cancelDispatch();
  EXPECT_EQ(recorder->completions, completions + 1);
  EXPECT_FALSE(d->isDispatching());
}

TEST_F(MALDataDispatcherTest, DryRunOpensTheConnectionButWritesNothing) {
  auto d = makeDispatcher();
  d->setDryRun(true);
  run(d, maltest::hits(200));
  EXPECT_EQ(recorder->acknowledged, ids(1, 150));  // five writes of thirty
  ASSERT_TRUE(spinUntil([&] { return server.connectionCount() == 1; }));
  EXPECT_EQ(server.bytesReceived(), 0u);
}

TEST_F(MALDataDispatcherTest, AServerThatIsDownAcknowledgesNothing) {
  auto d = makeDispatcher(ScriptedTCPServer::closedPort());
  run(d, maltest::hits(3));
  EXPECT_TRUE(recorder->acknowledged.empty());
  EXPECT_EQ(recorder->completions, 1);
  run(d, {});
  EXPECT_EQ(recorder->completions, 2);
}

TEST_F(MALDataDispatcherTest, SynchronousDispatchSendsEveryBatchAndSaysWhetherAllWereAcknowledged) {
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  auto d = makeDispatcher();
  EXPECT_TRUE(d->dispatchHitsSynchronously(maltest::hits(70), 60));
  EXPECT_EQ(recorder->acknowledged, ids(1, 70));
  EXPECT_EQ(recorder->completions, 1);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 70u);
  EXPECT_EQ(requests[30].answersBefore, 30u);
  EXPECT_EQ(requests[60].answersBefore, 60u);

  // One hit per connection once the server closes them.
  ScriptedTCPServer closing;
  closing.setFallback(ScriptStep::replyAndClose(ScriptedTCPServer::ok("Connection: close\r\n")));
  recorder->acknowledged.clear();
  auto d2 = makeDispatcher(static_cast<std::uint16_t>(closing.port()));
  EXPECT_TRUE(d2->dispatchHitsSynchronously(maltest::hits(3), 60));
  EXPECT_EQ(recorder->acknowledged, ids(1, 3));
  EXPECT_EQ(closing.connectionCount(), 3u);

  // A server error ends it at once; a server that is down fails to connect.
  ScriptedTCPServer failing;
  failing.setFallback(ScriptStep::reply(ScriptedTCPServer::status(503, "Busy")));
  recorder->acknowledged.clear();
  auto d3 = makeDispatcher(static_cast<std::uint16_t>(failing.port()));
  EXPECT_FALSE(d3->dispatchHitsSynchronously(maltest::hits(3), 60));
  EXPECT_EQ(d3->lastStatusCode(), 503);
  testsupport::LogCapture log;
  EXPECT_FALSE(
      makeDispatcher(ScriptedTCPServer::closedPort())->dispatchHitsSynchronously(maltest::hits(3), 60));
  EXPECT_TRUE(log.contains("connect failed"));
  EXPECT_TRUE(recorder->acknowledged.empty());

  // Dry run acknowledges every hit without writing.
  auto d4 = makeDispatcher();
  d4->setDryRun(true);
  std::size_t received = server.bytesReceived();
  EXPECT_TRUE(d4->dispatchHitsSynchronously(maltest::hits(40), 60));
  EXPECT_EQ(recorder->acknowledged.size(), 40u);
  EXPECT_EQ(server.bytesReceived(), received);
}

// A socket that connects to the given port of 127.0.0.1, whatever address the dispatcher names.
class RedirectedSocket final : public MALTCPSocket {
 public:
  explicit RedirectedSocket(std::uint16_t port) : port_(port) {}
  bool connect(const std::string&, std::uint16_t, bool inLine, double timeoutSeconds) override {
    return MALTCPSocket::connect("127.0.0.1", port_, inLine, timeoutSeconds);
  }

 private:
  std::uint16_t port_;
};

TEST_F(MALDataDispatcherTest, AnInjectedSocketClassMakesTheConnectionsAndIsNotBackedOff) {
  ns::ManualClock clock;
  server.setScript({ScriptStep::reply(ScriptedTCPServer::status(503, "Service Unavailable"))});
  server.setFallback(ScriptStep::reply(ScriptedTCPServer::ok()));
  // The dispatcher's own address refuses: only the injected sockets reach the server.
  auto d = makeDispatcher(ScriptedTCPServer::closedPort());
  int made = 0;
  d->injectSocketClass([&] {
    ++made;
    return std::make_shared<RedirectedSocket>(static_cast<std::uint16_t>(server.port()));
  });
  run(d, maltest::hits(2));
  EXPECT_EQ(d->lastStatusCode(), 503);
  EXPECT_TRUE(recorder->acknowledged.empty());
  // No waiting after the 503: the time stands still, and the next dispatch is answered.
  run(d, maltest::hits(2));
  EXPECT_EQ(recorder->acknowledged, ids(1, 2));
  EXPECT_TRUE(d->dispatchHitsSynchronously(maltest::hits(1), 60));
  EXPECT_EQ(made, 3);
  EXPECT_EQ(server.connectionCount(), 3u);

  // Without it, the built-in socket goes to the dispatcher's own address again.
  d->injectSocketClass(nullptr);
  recorder->acknowledged.clear();
  run(d, maltest::hits(1));
  EXPECT_TRUE(recorder->acknowledged.empty());
  EXPECT_EQ(made, 3);
  EXPECT_EQ(server.connectionCount(), 3u);
}

TEST_F(MALDataDispatcherTest, SynchronousDispatchGivesUpAtItsDeadline) {
  auto d = makeDispatcher();
  EXPECT_FALSE(d->dispatchHitsSynchronously(maltest::hits(2), 0.3));
  EXPECT_TRUE(spinUntil([&] { return server.requestCount() == 2; }));
  EXPECT_TRUE(recorder->acknowledged.empty());
  EXPECT_FALSE(d->isDispatching());
}

}  // namespace
