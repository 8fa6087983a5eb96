#include <gtest/gtest.h>

#include <atomic>

#include "Analytics/Library/MAIExceptionParser.h"
#include "Analytics/Library/MAIURLConnection.h"
#include "Foundation/Thread.h"
#include "Foundation/URLLoader.h"
#include "support/CompressedBody.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

// Outside any namespace, so the program exports its name for call stacks.
[[gnu::noinline]] void throwWithADeepStack(int depth) {
  if (depth == 0) throw ns::Exception(ns::kRangeException, "deep");
  throwWithADeepStack(depth - 1);
  asm volatile("");
}

namespace {

using testsupport::LoopbackServer;
using testsupport::Reply;
using testsupport::spinUntil;

struct Outcome {
  std::atomic<int> calls{0};
  std::atomic<bool> onMain{false};
  ns::URLResponsePtr response;
  std::optional<ns::Data> data;
  ns::ErrorPtr error;
};

MAIURLConnection::CompletionHandler recordInto(const std::shared_ptr<Outcome>& outcome) {
  return [outcome](const ns::URLResponsePtr& response, const std::optional<ns::Data>& data,
                   const ns::ErrorPtr& error) {
    outcome->response = response;
    outcome->data = data;
    outcome->error = error;
    outcome->onMain = ns::Thread::isMainThread();
    ++outcome->calls;
  };
}

ns::URLRequestPtr requestTo(const std::string& url) {
  return ns::URLRequest::requestWithURL(ns::URL::URLWithString(url));
}

TEST(MAIURLConnectionTest, OneCompletionOnTheGivenQueueAndNoneAfterCancel) {
  LoopbackServer server;
  server.reply("/ok", Reply::text("body", 201));
  Reply slow = Reply::text("late");
  slow.delaySeconds = 0.5;
  server.reply("/slow", slow);

  auto done = std::make_shared<Outcome>();
  auto connection = std::make_shared<MAIURLConnection>()->initWithRequest(
      requestTo(server.url("/ok")), dispatch::mainQueue(), recordInto(done));
  ASSERT_TRUE(spinUntil([&] { return done->calls.load() == 1; }));
  EXPECT_TRUE(done->onMain);
  EXPECT_EQ(std::dynamic_pointer_cast<ns::HTTPURLResponse>(done->response)->statusCode(), 201);
  EXPECT_EQ(done->data->toString(), "body");
  EXPECT_FALSE(done->error);

  auto background = std::make_shared<Outcome>();
  std::make_shared<MAIURLConnection>()->initWithRequest(
      requestTo(server.url("/ok")), dispatch::queueCreate("completions"), recordInto(background));
  ASSERT_TRUE(spinUntil([&] { return background->calls.load() == 1; }));
  EXPECT_FALSE(background->onMain);

  auto cancelled = std::make_shared<Outcome>();
  auto slowConnection = std::make_shared<MAIURLConnection>()->initWithRequest(
      requestTo(server.url("/slow")), dispatch::mainQueue(), recordInto(cancelled));
  ASSERT_TRUE(spinUntil([&] { return server.requestsTo("/slow").size() == 1; }));
  slowConnection->cancel();
  // A later request finishing shows the loop went on past the cancelled one's reply.
  auto after = std::make_shared<Outcome>();
  std::make_shared<MAIURLConnection>()->initWithRequest(requestTo(server.url("/slow")), dispatch::mainQueue(),
                                                        recordInto(after));
  ASSERT_TRUE(spinUntil([&] { return after->calls.load() == 1; }));
  EXPECT_EQ(cancelled->calls.load(), 0);

  auto refused = std::make_shared<Outcome>();
  std::make_shared<MAIURLConnection>()->initWithRequest(requestTo("http://127.0.0.1:1/collect"),
                                                        dispatch::mainQueue(), recordInto(refused));
  ASSERT_TRUE(spinUntil([&] { return refused->calls.load() == 1; }));
  ASSERT_TRUE(refused->error);
  EXPECT_EQ(refused->error->code(), ns::URLError::CannotConnectToHost);
}

TEST(MAIURLConnectionTest, ANewResponseDiscardsTheBodyBeforeIt) {
  LoopbackServer server;
  Reply held = Reply::text("real body");
  held.delaySeconds = 0.5;
  server.reply("/held", held);
  auto done = std::make_shared<Outcome>();
  auto connection = std::make_shared<MAIURLConnection>()->initWithRequest(
      requestTo(server.url("/held")), dispatch::mainQueue(), recordInto(done));
  // What the platform reports for a load whose first answer is replaced, told to the connection directly.
  auto first = std::make_shared<ns::HTTPURLResponse>()->initWithURL(*ns::URL::URLWithString("http://x/1"),
                                                                    100, "HTTP/1.1", {});
  auto second = std::make_shared<ns::HTTPURLResponse>()->initWithURL(*ns::URL::URLWithString("http://x/2"),
                                                                     200, "HTTP/1.1", {});
  connection->connectionDidReceiveResponse(nullptr, first);
  connection->connectionDidReceiveData(nullptr, ns::Data::fromString("interim"));
  connection->connectionDidReceiveResponse(nullptr, second);
  connection->connectionDidReceiveData(nullptr, ns::Data::fromString("fin"));
  connection->connectionDidReceiveData(nullptr, ns::Data::fromString("al"));
  connection->connectionDidFinishLoading(nullptr);
  ASSERT_TRUE(spinUntil([&] { return done->calls.load() == 1; }));
  EXPECT_EQ(done->response, second);
  EXPECT_EQ(done->data->toString(), "final");
  // The real load's own finish later is not a second completion.
  ASSERT_TRUE(spinUntil([&] { return server.requestCount() == 1; }));
  auto marker = std::make_shared<Outcome>();
  std::make_shared<MAIURLConnection>()->initWithRequest(requestTo(server.url("/held")), dispatch::mainQueue(),
                                                        recordInto(marker));
  ASSERT_TRUE(spinUntil([&] { return marker->calls.load() == 1; }));
  EXPECT_EQ(done->calls.load(), 1);
}

// A body longer than the connection reads, announced, with no end in sight or inflating past it,
// ends the load at the bound, having decoded no more than that and one read: one completion with
// the response, no body and -1103.
TEST(MAIURLConnectionTest, ABodyLongerThanTheBoundEndsTheLoadThere) {
  LoopbackServer server;
  Reply announced;
  announced.generatedLength = static_cast<std::size_t>(MAIURLConnection::kMaxResponseLength) + 1;
  announced.generatedByte = [](std::size_t) { return 'x'; };
  server.reply("/announced", announced);
  server.reply("/endless", Reply::endless("image/gif"));
  server.reply("/gzip", testsupport::gzippedZerosReply("image/gif"));
  // In pieces that reach the connection one at a time before the bound is passed.
  Reply dripped;
  dripped.chunked = true;
  dripped.chunkSize = 16 * 1024;
  dripped.dripIntervalSeconds = 0.01;
  dripped.generatedLength = 2 * static_cast<std::size_t>(MAIURLConnection::kMaxResponseLength);
  dripped.generatedByte = [](std::size_t) { return 'd'; };
  server.reply("/dripped", dripped);
  for (const char* path : {"/announced", "/endless", "/gzip", "/dripped"}) {
    SCOPED_TRACE(path);
    auto done = std::make_shared<Outcome>();
    std::int64_t before = ns::URLLoader::shared().decodedBodyBytes();
    auto connection = std::make_shared<MAIURLConnection>()->initWithRequest(
        requestTo(server.url(path)), dispatch::mainQueue(), recordInto(done));
    ASSERT_TRUE(spinUntil([&] { return done->calls.load() == 1; }));
    EXPECT_LE(ns::URLLoader::shared().decodedBodyBytes() - before,
              MAIURLConnection::kMaxResponseLength + ns::URLLoader::kReadBytes);
    ASSERT_TRUE(done->error);
    EXPECT_EQ(done->error->code(), ns::URLError::DataLengthExceedsMaximum);
    EXPECT_EQ(std::dynamic_pointer_cast<ns::HTTPURLResponse>(done->response)->statusCode(), 200);
    EXPECT_FALSE(done->data);
  }
  EXPECT_TRUE(spinUntil([&] { return server.disconnectsSeen() >= 1; }));
}

TEST(MAIExceptionParserTest, SymbolsAreTakenFromStackLines) {
  struct Case {
    const char* line;
    std::optional<std::string> symbol;
  } cases[] = {
      {"3   Catalogue                           0x0000000100001234 main + 52", "main"},
      {"4   Catalogue    0x0000000100001234 -[TLMainPageVC loadView] + 120", "-[TLMainPageVC loadView]"},
      {"0   CoreFoundation   0x00000001 +[NSException raise:format:] + 12", std::nullopt},
      {"1   libobjc.A.dylib  0x00000002", std::nullopt},
      {"", std::nullopt},
      {"5 FoundationTests 0x1 ns::Exception::Exception(std::string,std::string) + 9",
       "ns::Exception::Exception(std::string,std::string)"},
  };
  for (const auto& c : cases) EXPECT_EQ(MAIExceptionParser::symbolFromStackFrame(c.line), c.symbol) << c.line;
}

TEST(MAIExceptionParserTest, DescriptionsNameTheExceptionAndTraceItsStackWithinTheLimit) {
  try {
    throwWithADeepStack(30);
  } catch (const ns::Exception& e) {
    std::string whole = MAIExceptionParser::exceptionDescription(e, 0);
    EXPECT_TRUE(whole.starts_with("NSRangeException\nTrace:\n")) << whole;
    EXPECT_EQ(whole.find("captureCallStack"), std::string::npos)
        << "the making of the exception is not traced";
    EXPECT_NE(whole.find("throwWithADeepStack"), std::string::npos) << whole;
    std::string cut = MAIExceptionParser::exceptionDescription(e, 150);
    EXPECT_EQ(cut.size(), 150u);
    EXPECT_TRUE(whole.starts_with(cut));
  }
  // A limit shorter than the name cuts the name.
  EXPECT_EQ(MAIExceptionParser::exceptionDescription(ns::Exception("Named", "r"), 5), "Named");
}

}  // namespace
