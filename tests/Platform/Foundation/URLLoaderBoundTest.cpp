// A request's bound on its body holds where the loader receives the bytes, as decoded: a body
// that inflates far past it is refused once the bound and one read more are decoded.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "Foundation/URLConnection.h"
#include "Foundation/URLLoader.h"
#include "support/CompressedBody.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::LoopbackServer;
using testsupport::Reply;
using testsupport::spinUntil;

constexpr std::int64_t kBound = 8 << 20;

struct Outcome : ns::URLConnectionDelegate {
  std::atomic<bool> done{false};
  std::atomic<std::int64_t> received{0};
  std::string body;
  bool keepBody = true;
  bool followRedirects = true;
  ns::ErrorPtr error;

  ns::URLRequestPtr connectionWillSendRequest(const ns::URLConnectionPtr&, const ns::URLRequestPtr& request,
                                              const ns::URLResponsePtr&) override {
    return followRedirects ? request : nullptr;
  }
  void connectionDidReceiveData(const ns::URLConnectionPtr&, const ns::Data& data) override {
    received += static_cast<std::int64_t>(data.length());
    if (keepBody) body.append(data.view());
  }
  void connectionDidFinishLoading(const ns::URLConnectionPtr&) override { done = true; }
  void connectionDidFailWithError(const ns::URLConnectionPtr&, const ns::ErrorPtr& e) override {
    error = e;
    done = true;
  }
};

ns::URLRequestPtr requestFor(const std::string& url, std::int64_t bound) {
  auto request = ns::URLRequest::requestWithURL(ns::URL::URLWithString(url));
  request->setMaximumBodyLength(bound);
  return request;
}

std::shared_ptr<Outcome> load(const ns::URLRequestPtr& request, bool followRedirects = true) {
  auto outcome = std::make_shared<Outcome>();
  outcome->followRedirects = followRedirects;
  ns::URLConnection::connectionWithRequest(request, outcome);
  EXPECT_TRUE(spinUntil([&] { return outcome->done.load(); }));
  return outcome;
}

std::int64_t decoded() { return ns::URLLoader::shared().decodedBodyBytes(); }

std::string zeros(std::size_t megabytes) { return std::string(megabytes << 20, '\0'); }

// A gzip stream cut after its first half, the half announced as the whole length: every byte the
// server promised arrives, and the stream has not ended.
Reply halfAGzipStream(std::string contentType, std::size_t megabytes) {
  Reply reply = testsupport::gzippedZerosReply(std::move(contentType), megabytes);
  reply.generatedLength /= 2;
  return reply;
}

// Past the bound the load fails with the length error and its one log line, having decoded no more
// than the bound and one read; the connection is closed, so the next request opens another. Up to
// the bound a compressed body is read whole, decoded.
TEST(URLLoaderBoundTest, ABodyEndsOnceItsDecodedBytesPassTheBound) {
  struct Case {
    const char* name;
    Reply reply;
    bool refused;
    std::string body;          // when read
    std::int64_t failure = 0;  // the error of a body that is neither read nor refused
  };
  const Case cases[] = {
      {"a gigabyte of gzip", testsupport::gzippedZerosReply("image/jpeg"), true, ""},
      {"an endless plain body", Reply::endless("application/json"), true, ""},
      {"gzip within the bound", testsupport::gzippedZerosReply("image/jpeg", 3), false, zeros(3)},
      {"gzip at the bound", testsupport::gzippedZerosReply("image/jpeg", 8), false, zeros(8)},
      {"a coding not offered",
       [] {
         Reply r = Reply::text("plain");
         r.headers.push_back({"Content-Encoding", "br"});
         return r;
       }(),
       false, "", ns::URLError::CannotDecodeRawData},
      {"half a gzip stream", halfAGzipStream("image/jpeg", 3), false, "", ns::URLError::CannotDecodeRawData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server;
    server.reply("/body", c.reply);
    server.reply("/small", Reply::text("ok"));
    testsupport::LogCapture log;
    std::int64_t before = decoded();
    auto outcome = load(requestFor(server.url("/body?access_token=SECRET"), kBound));
    std::int64_t inflated = decoded() - before;
    if (c.failure) {
      ASSERT_TRUE(outcome->error);
      EXPECT_EQ(outcome->error->code(), c.failure);
      continue;
    }
    if (!c.refused) {
      EXPECT_EQ(outcome->error, nullptr);
      EXPECT_TRUE(outcome->body == c.body) << outcome->body.size();
      EXPECT_FALSE(log.contains("longer than"));
      continue;
    }
    ASSERT_TRUE(outcome->error);
    EXPECT_EQ(outcome->error->domain(), ns::kURLErrorDomain);
    EXPECT_EQ(outcome->error->code(), ns::URLError::DataLengthExceedsMaximum);
    EXPECT_GT(inflated, kBound);
    EXPECT_LE(inflated, kBound + ns::URLLoader::kReadBytes);
    EXPECT_LE(outcome->received.load(), kBound);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"The reply of " + server.url("/body?access_token=...") +
                                                    " is longer than the 8388608 bytes the request reads: "
                                                    "refused"});
    EXPECT_EQ(load(requestFor(server.url("/small"), kBound))->body, "ok");
    EXPECT_EQ(server.connectionCount(), 2u);
  }
}

// Compressed bodies are asked for only where a bound stops their inflating; a request without one
// takes what the server sends as it is, so nothing grows in memory as it is decoded.
TEST(URLLoaderBoundTest, OnlyABoundedRequestOffersCompressedBodies) {
  LoopbackServer server;
  server.reply("/body", testsupport::gzippedZerosReply("application/octet-stream", 2));
  const std::string sent = *testsupport::gzippedZeros(2);
  for (std::int64_t bound : {std::int64_t{-1}, kBound}) {
    SCOPED_TRACE(bound);
    server.clearLog();
    auto outcome = load(requestFor(server.url("/body"), bound));
    EXPECT_EQ(outcome->error, nullptr);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].hasHeader("Accept-Encoding"), bound >= 0);
    EXPECT_TRUE(outcome->body == (bound >= 0 ? zeros(2) : sent)) << outcome->body.size();
  }
}

// A thread whose run loop is held up until open(): a delegate scheduled there lags.
struct GatedThread {
  std::shared_ptr<ns::Thread> thread;
  std::atomic<bool> gateOpen{false};

  GatedThread() {
    thread = std::make_shared<ns::Thread>()->initWithBlock([] {
      while (!ns::Thread::currentThread()->isCancelled()) ns::RunLoop::currentRunLoop()->run();
    });
    thread->start();
    thread->runLoop()->performBlock([this] {
      while (!gateOpen.load()) std::this_thread::yield();
    });
  }
  ~GatedThread() {
    open();
    thread->cancel();
    thread->runLoop()->performBlock([] { ns::RunLoop::currentRunLoop()->stop(); });
    EXPECT_TRUE(spinUntil([&] { return thread->isFinished(); }));
  }
  void open() { gateOpen = true; }
  // Starts the request with its delegate calls going to this thread.
  void start(const ns::URLRequestPtr& request, const std::shared_ptr<Outcome>& outcome) {
    auto connection = std::make_shared<ns::URLConnection>()->initWithRequest(request, outcome, false);
    connection->scheduleInRunLoop(thread->runLoop(), ns::kDefaultRunLoopMode);
    connection->start();
  }
  // Runs the block on the thread once what was posted before it has run.
  void check(std::function<void()> block) { ns::performOnThread(thread, std::move(block), true); }
};

// An inflated body is not paused for a lagging delegate (curl would go on inflating the rest of its
// read into a buffer of its own): it is refused at the bound all the same.
TEST(URLLoaderBoundTest, AnInflatedBodyIsRefusedAtTheBoundWhileTheDelegateLags) {
  LoopbackServer server;
  server.reply("/body", testsupport::gzippedZerosReply("image/png"));
  testsupport::LogCapture log;
  GatedThread lagging;
  auto outcome = std::make_shared<Outcome>();
  outcome->keepBody = false;
  std::size_t loads = ns::URLLoader::shared().activeLoadCount();
  std::int64_t before = decoded();
  lagging.start(requestFor(server.url("/body"), kBound), outcome);
  // The load ends while nothing of it has been delivered.
  EXPECT_TRUE(spinUntil([&] { return ns::URLLoader::shared().activeLoadCount() == loads; }, 60));
  EXPECT_FALSE(outcome->done.load());
  EXPECT_LE(decoded() - before, kBound + ns::URLLoader::kReadBytes);
  lagging.open();
  ASSERT_TRUE(spinUntil([&] { return outcome->done.load(); }));
  lagging.check([&] {
    ASSERT_TRUE(outcome->error);
    EXPECT_EQ(outcome->error->code(), ns::URLError::DataLengthExceedsMaximum);
    EXPECT_LE(outcome->received.load(), kBound);
  });
}

// A redirect's body waits, up to a bound of its own, while the delegate decides; an inflated one is
// not paused there either but cut, and its connection closed: the redirect is followed as ever, and
// taken as the answer it is refused for its length.
TEST(URLLoaderBoundTest, AnInflatedRedirectBodyIsCutWhileTheRedirectIsDecided) {
  LoopbackServer server;
  // 64 GB: a compressed stream longer than the socket buffers can grow, so hanging up shows.
  Reply redirect = testsupport::gzippedZerosReply("text/html", 64 << 10);
  redirect.status = 302;
  redirect.headers.push_back({"Location", "/target"});
  server.reply("/moved", redirect);
  server.reply("/target", Reply::text("here"));
  testsupport::LogCapture log;
  const std::int64_t held = (1 << 20) + ns::URLLoader::kReadBytes;

  std::int64_t before = decoded();
  auto followed = load(requestFor(server.url("/moved"), kBound));
  EXPECT_EQ(followed->error, nullptr);
  EXPECT_EQ(followed->body, "here");
  EXPECT_LE(decoded() - before, held + 4);

  // While the delegate has not decided, the transfer ends at the hold's bound.
  // The followed one's connection is closed too.
  EXPECT_TRUE(spinUntil([&] { return server.disconnectsSeen() == 1; }));
  GatedThread deciding;
  auto refused = std::make_shared<Outcome>();
  refused->followRedirects = false;
  before = decoded();
  deciding.start(requestFor(server.url("/moved"), kBound), refused);
  EXPECT_TRUE(spinUntil([&] { return server.disconnectsSeen() == 2; }, 60));
  EXPECT_LE(decoded() - before, held);
  deciding.open();
  ASSERT_TRUE(spinUntil([&] { return refused->done.load(); }));
  deciding.check([&] {
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), ns::URLError::DataLengthExceedsMaximum);
    EXPECT_EQ(refused->received.load(), 0);
  });
}

// A redirect's body held while the delegate decides counts towards the bound once it is taken as
// the answer: a held megabyte and the rest that follows are refused together past the bound, and
// never more than the bound reaches the delegate.
TEST(URLLoaderBoundTest, AHeldBodyTakenAsTheAnswerCountsTowardsTheBound) {
  struct Case {
    const char* name;
    std::int64_t bound;
  };
  for (const Case& c :
       {Case{"bound past the held part", 2 << 20}, Case{"bound within the held part", 512 << 10}}) {
    SCOPED_TRACE(c.name);
    LoopbackServer server;
    Reply redirect;
    redirect.status = 302;
    redirect.headers.push_back({"Location", "/target"});
    redirect.contentType = "text/html";
    redirect.generatedLength = 3 << 20;
    redirect.generatedByte = [](std::size_t) { return 'r'; };
    server.reply("/moved", redirect);
    testsupport::LogCapture log;
    GatedThread deciding;
    auto outcome = std::make_shared<Outcome>();
    outcome->followRedirects = false;
    outcome->keepBody = false;
    std::int64_t before = decoded();
    deciding.start(requestFor(server.url("/moved"), c.bound), outcome);
    // The hold is full before the delegate is asked.
    ASSERT_TRUE(spinUntil([&] { return decoded() - before >= (1 << 20); }));
    deciding.open();
    ASSERT_TRUE(spinUntil([&] { return outcome->done.load(); }));
    deciding.check([&] {
      ASSERT_TRUE(outcome->error);
      EXPECT_EQ(outcome->error->code(), ns::URLError::DataLengthExceedsMaximum);
      EXPECT_LE(outcome->received.load(), c.bound);
    });
  }
}

}  // namespace
