#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "Foundation/URLLoader.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "NTNetworking/NTImageRequestOperation.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NTNetworking/NTNetworkingConstants.h"
#include "NTNetworking/NTPropertyListRequestOperation.h"
#include "NTNetworking/NTXMLRequestOperation.h"
#include "NetworkingTestSupport.h"
#include "support/CompressedBody.h"
#include "support/LogCapture.h"

namespace {

using testsupport::LoopbackServer;
using testsupport::Reply;

constexpr std::int64_t kLimit = kNTMaximumDecodedResponseLength;

struct Outcome {
  bool done = false;
  ns::Value object;
  ns::ErrorPtr error;
  std::int64_t bytesRead = 0;
};

// Runs the operation to its callback, which must come within the time limit.
Outcome run(const NTHTTPRequestOperationPtr& operation, double seconds = 120) {
  auto outcome = std::make_shared<Outcome>();
  operation->setCompletionBlockWithSuccess(
      [outcome](const NTHTTPRequestOperationPtr&, const ns::Value& object) {
        outcome->object = object;
        outcome->done = true;
      },
      [outcome](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr& error) {
        outcome->error = error;
        outcome->done = true;
      });
  auto start = std::chrono::steady_clock::now();
  operation->start();
  EXPECT_TRUE(testsupport::spinUntil([&] { return outcome->done; }, seconds));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::duration<double>(seconds));
  outcome->bytesRead = operation->totalBytesRead();
  return *outcome;
}

// `length` bytes of the type, generated as they are sent; chunked ones announce no length.
Reply generated(const char* type, std::int64_t length, bool chunked) {
  Reply r;
  r.contentType = type;
  r.generatedLength = static_cast<std::size_t>(length);
  r.generatedByte = [](std::size_t) { return ' '; };
  r.chunked = chunked;
  r.chunkSize = 256 * 1024;
  return r;
}

struct Maker {
  const char* name;
  const char* type;
  std::function<NTHTTPRequestOperationPtr(ns::URLRequestPtr)> make;
  std::int64_t limit;
};

std::vector<Maker> makers() {
  return {
      {"JSON", "application/json",
       [](ns::URLRequestPtr r) { return std::make_shared<NTJSONRequestOperation>()->initWithRequest(r); },
       kLimit},
      {"property list", "application/x-plist",
       [](ns::URLRequestPtr r) {
         return std::make_shared<NTPropertyListRequestOperation>()->initWithRequest(r);
       },
       kLimit},
      {"XML", "application/xml",
       [](ns::URLRequestPtr r) { return std::make_shared<NTXMLRequestOperation>()->initWithRequest(r); },
       kLimit},
      {"image", "image/png",
       [](ns::URLRequestPtr r) { return std::make_shared<NTImageRequestOperation>()->initWithRequest(r); },
       4 * cg::Image::kMaxPixels}};
}

// A body announced longer than the operation reads fails it at once: nothing of it is taken in
// and the connection is dropped.
TEST(NTResponseLengthTest, AnAnnouncedBodyPastTheBoundFailsBeforeAnyOfItIsRead) {
  for (const Maker& m : makers()) {
    SCOPED_TRACE(m.name);
    LoopbackServer server;
    server.reply("/big", generated(m.type, m.limit + 1, false));
    Outcome outcome = run(m.make(nttest::requestFor(server, "/big")));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), ns::kURLErrorDomain);
    EXPECT_EQ(outcome.error->code(), ns::URLError::DataLengthExceedsMaximum);
    EXPECT_NE(outcome.error->localizedDescription().find(std::to_string(m.limit)), std::string::npos)
        << outcome.error->localizedDescription();
    EXPECT_EQ(outcome.bytesRead, 0);
    EXPECT_TRUE(testsupport::spinUntil([&] { return server.disconnectsSeen() == 1; }));
  }
}

// A body that announces no length is cut off once it passes the bound: what the client holds
// stays within the bound, and nothing is decoded.
TEST(NTResponseLengthTest, AnUnannouncedBodyIsCutOffAtTheBound) {
  LoopbackServer server;
  server.reply("/endless", generated("application/json", std::int64_t{1} << 30, true));
  Outcome outcome = run(
      std::make_shared<NTJSONRequestOperation>()->initWithRequest(nttest::requestFor(server, "/endless")));
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(outcome.error->code(), ns::URLError::DataLengthExceedsMaximum);
  EXPECT_LE(outcome.bytesRead, kLimit);
  EXPECT_GT(outcome.bytesRead, kLimit / 2);
  EXPECT_TRUE(testsupport::spinUntil([&] { return server.disconnectsSeen() == 1; }));
}

// The bound itself is the last length that is read and decoded.
TEST(NTResponseLengthTest, ABodyAsLongAsTheBoundStillDecodes) {
  LoopbackServer server;
  std::string text(static_cast<std::size_t>(kLimit) - 2, 'j');
  server.reply("/long", Reply::json("\"" + text + "\""));
  Outcome outcome =
      run(std::make_shared<NTJSONRequestOperation>()->initWithRequest(nttest::requestFor(server, "/long")));
  ASSERT_FALSE(outcome.error) << outcome.error->describe();
  ASSERT_TRUE(outcome.object.asString());
  EXPECT_EQ(outcome.object.asString()->size(), text.size());
}

// A caller's bound lowers the class's, whichever class: a body past it fails as one past the
// class's does, a body at it is read. A bound above the class's leaves the class's in force, and
// a copy of the operation keeps the caller's.
TEST(NTResponseLengthTest, ACallersBoundLowersTheClassBoundAndNeverRaisesIt) {
  struct Case {
    const char* name;
    const char* type;
    std::function<NTHTTPRequestOperationPtr(ns::URLRequestPtr)> make;
    std::int64_t own;      // the caller's bound
    std::int64_t applies;  // the bound that holds
    bool copied;
  };
  auto http = [](ns::URLRequestPtr r) {
    return std::make_shared<NTHTTPRequestOperation>()->initWithRequest(r);
  };
  auto image = [](ns::URLRequestPtr r) {
    return std::make_shared<NTImageRequestOperation>()->initWithRequest(r);
  };
  auto json = [](ns::URLRequestPtr r) {
    return std::make_shared<NTJSONRequestOperation>()->initWithRequest(r);
  };
  const Case cases[] = {
      {"plain", "image/png", http, 1000, 1000, false},
      {"plain copy", "image/png", http, 1000, 1000, true},
      {"image", "image/png", image, 1000, 1000, false},
      {"JSON above its class", "application/json", json, 4 * kLimit, kLimit, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool chunked : {false, true}) {
      LoopbackServer server;
      server.reply("/past", generated(c.type, c.applies + 1, chunked));
      server.reply("/at", generated(c.type, c.applies, chunked));
      for (const char* path : {"/past", "/at"}) {
        auto operation = c.make(nttest::requestFor(server, path));
        operation->limitResponseLength(c.own);
        if (c.copied) operation = std::static_pointer_cast<NTHTTPRequestOperation>(operation->copy());
        Outcome outcome = run(operation);
        bool past = std::string(path) == "/past";
        if (!past) {
          // Bodies of spaces decode to nothing, but they are read whole.
          EXPECT_EQ(outcome.bytesRead, c.applies) << path << chunked;
          continue;
        }
        ASSERT_TRUE(outcome.error) << chunked;
        EXPECT_EQ(outcome.error->code(), ns::URLError::DataLengthExceedsMaximum) << chunked;
        EXPECT_NE(outcome.error->localizedDescription().find(std::to_string(c.applies) + " bytes"),
                  std::string::npos)
            << outcome.error->localizedDescription();
        EXPECT_LE(outcome.bytesRead, c.applies) << chunked;
      }
    }
  }
}

// The page shows its generic alert for a refused reply: the log says which URL went past which
// bound, in one line however the body came, and keeps a credential in the URL to itself.
TEST(NTResponseLengthTest, ARefusedReplyLogsOneLineWithItsURLAndTheBound) {
  for (bool chunked : {false, true}) {
    SCOPED_TRACE(chunked);
    LoopbackServer server;
    server.reply("/me", generated("application/json", kLimit + (std::int64_t{1} << 20), chunked));
    testsupport::LogCapture log;
    Outcome outcome = run(std::make_shared<NTJSONRequestOperation>()->initWithRequest(
        nttest::requestFor(server, "/me?fields=id&access_token=SECRET&x=1")));
    ASSERT_TRUE(outcome.error);
    std::vector<std::string> lines;
    for (const std::string& line : log.lines())
      if (line.find("longer than") != std::string::npos) lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(server.url("/me?fields=id&access_token=...&x=1")), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(std::to_string(kLimit)), std::string::npos) << lines[0];
    EXPECT_FALSE(log.contains("SECRET"));
  }
  // A reply within its bound logs nothing of the kind.
  LoopbackServer server;
  server.reply("/small", Reply::json("[1]"));
  testsupport::LogCapture log;
  Outcome outcome =
      run(std::make_shared<NTJSONRequestOperation>()->initWithRequest(nttest::requestFor(server, "/small")));
  EXPECT_FALSE(outcome.error);
  EXPECT_FALSE(log.contains("longer than"));
}

// A body that inflates far past the bound (a gigabyte of zeros in a megabyte of gzip) fails as a
// body past the bound always has, with its one log line, once the loader has decoded the bound and
// one read more: an API reply, a picture as the pages fetch it, a counter's reply. The connection
// is closed, so the next request opens another.
TEST(NTResponseLengthTest, ACompressedBodyIsRefusedOnceItInflatesPastTheBound) {
  struct Case {
    const char* name;
    const char* type;
    std::function<NTHTTPRequestOperationPtr(ns::URLRequestPtr)> make;
    std::int64_t own;  // the caller's bound, or -1
    std::int64_t applies;
  };
  const Case cases[] = {
      {"API reply", "application/json",
       [](ns::URLRequestPtr r) { return std::make_shared<NTJSONRequestOperation>()->initWithRequest(r); }, -1,
       kLimit},
      {"picture", "image/jpeg",
       [](ns::URLRequestPtr r) { return std::make_shared<NTImageRequestOperation>()->initWithRequest(r); },
       8 << 20, 8 << 20},
      {"counter", "text/html",
       [](ns::URLRequestPtr r) { return std::make_shared<NTHTTPRequestOperation>()->initWithRequest(r); },
       64 << 10, 64 << 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server;
    server.reply("/bomb", testsupport::gzippedZerosReply(c.type));
    server.reply("/small", Reply::text("ok"));
    testsupport::LogCapture log;
    auto operation = c.make(nttest::requestFor(server, "/bomb"));
    if (c.own >= 0) operation->limitResponseLength(c.own);
    std::int64_t before = ns::URLLoader::shared().decodedBodyBytes();
    Outcome outcome = run(operation);
    std::int64_t inflated = ns::URLLoader::shared().decodedBodyBytes() - before;
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), ns::kURLErrorDomain);
    EXPECT_EQ(outcome.error->code(), ns::URLError::DataLengthExceedsMaximum);
    EXPECT_NE(outcome.error->localizedDescription().find(std::to_string(c.applies) + " bytes"),
              std::string::npos)
        << outcome.error->localizedDescription();
    EXPECT_LE(outcome.bytesRead, c.applies);
    EXPECT_GT(inflated, c.applies);
    EXPECT_LE(inflated, c.applies + ns::URLLoader::kReadBytes);
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"The reply of " + server.url("/bomb") + " is longer than the " +
                                       std::to_string(c.applies) + " bytes the request reads: refused"});
    Outcome next = run(
        std::make_shared<NTHTTPRequestOperation>()->initWithRequest(nttest::requestFor(server, "/small")));
    EXPECT_FALSE(next.error);
    EXPECT_EQ(server.connectionCount(), 2u);
  }
}

}  // namespace
