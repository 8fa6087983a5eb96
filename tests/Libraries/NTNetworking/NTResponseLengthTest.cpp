#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "NTNetworking/NTImageRequestOperation.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NTNetworking/NTNetworkingConstants.h"
#include "NTNetworking/NTPropertyListRequestOperation.h"
#include "NTNetworking/NTXMLRequestOperation.h"
#include "NetworkingTestSupport.h"

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

}  // namespace
