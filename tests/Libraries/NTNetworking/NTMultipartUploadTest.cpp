#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Dispatch/Dispatch.h"
#include "Foundation/Exception.h"
#include "NTNetworking/NTHTTPBodyPart.h"
#include "NTNetworking/NTHTTPClient.h"
#include "NetworkingTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"
#include "support/TempDir.h"

namespace {

using NTMultipartUploadTest = testsupport::TempDirTest;
using ns::Dictionary;
using ns::Value;

// The parts as the server's multipart parser read them: name, file name, type, and content (a
// SHA-256 for files).
std::string describeParts(const testsupport::RecordedRequest& r) {
  std::string out;
  for (const auto& part : r.parts) {
    out += part.name + "|" + part.filename + "|" + part.contentType + "|" +
           (part.filename.empty() ? part.content : nttest::sha256(part.content)) + "\n";
  }
  return out;
}

std::string writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

struct Outcome {
  bool done = false;
  std::string reply;
  ns::ErrorPtr error;
};

void run(const NTHTTPClientPtr& client, const ns::URLRequestPtr& request, Outcome& outcome) {
  auto operation = client->HTTPRequestOperationWithRequest(
      request,
      [&outcome](const NTHTTPRequestOperationPtr&, const Value& body) {
        outcome.reply = body.asData() ? body.asData()->toString() : "";
        outcome.done = true;
      },
      [&outcome](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr& error) {
        outcome.error = error;
        outcome.done = true;
      });
  client->enqueueHTTPRequestOperation(operation);
  ASSERT_TRUE(testsupport::spinUntil([&] { return outcome.done; }));
}

TEST_F(NTMultipartUploadTest, UploadsFieldsAndAFileTheServerReceivesIntact) {
  testsupport::LoopbackServer server;
  server.on("/upload", [](const testsupport::RecordedRequest& r) {
    return testsupport::Reply::text(r.method + " " + r.header("Content-Length") + "\n" + describeParts(r));
  });
  std::string content = nttest::patternedBody(3'000'000);
  std::string path = writeFile(tmp.file("poster.png"), content);
  auto client = NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString(server.url("/")));
  auto request = client->multipartFormRequestWithMethod(
      "POST", "upload",
      Dictionary{{"a", 1},
                 {"list", ns::Array{"x"}},
                 {"n", Value::null()},
                 {"raw", ns::Data::fromString("\x01\x02")}},
      [&](NTMultipartFormData& form) {
        ns::ErrorPtr error;
        EXPECT_TRUE(form.appendPartWithFileURL(ns::URL::fileURLWithPath(path), "poster", &error));
      });
  EXPECT_FALSE(request->URL()->query());
  Outcome outcome;
  run(client, request, outcome);
  ASSERT_EQ(outcome.error, nullptr) << outcome.error->describe();
  std::string length = *request->valueForHTTPHeaderField("Content-Length");
  EXPECT_EQ(outcome.reply, "POST " + length + "\n" +
                               "a|||1\n"
                               "list[]|||x\n"
                               "n|||\n"
                               "poster|poster.png|image/png|" +
                               nttest::sha256(content) +
                               "\n"
                               "raw|||\x01\x02\n");
}

TEST_F(NTMultipartUploadTest, MultipartRequestsRefuseGetAndHead) {
  auto client = NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString("http://127.0.0.1:1/"));
  for (const char* method : {"GET", "HEAD"}) {
    std::string reason;
    try {
      client->multipartFormRequestWithMethod(method, "x", std::nullopt, nullptr);
    } catch (const ns::Exception& e) {
      reason = e.reason();
    }
    EXPECT_TRUE(reason.starts_with("Invalid parameter not satisfying: ")) << method;
  }
  // Without parts the request is a plain one.
  auto request = client->multipartFormRequestWithMethod("POST", "x", std::nullopt, nullptr);
  EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Type"));
  EXPECT_EQ(request->HTTPBodyStream(), nullptr);
}

// A file that shrank after its size was announced fails the upload; the connection is not left
// with a half-sent body, so the next request on the same client goes through.
TEST_F(NTMultipartUploadTest, ASourceShorterThanAnnouncedFailsTheOperation) {
  testsupport::LoopbackServer server;
  server.fallback([](const testsupport::RecordedRequest& r) { return testsupport::Reply::text(r.path); });
  std::string path = writeFile(tmp.file("shrinking.bin"), nttest::patternedBody(100'000));
  auto client = NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString(server.url("/")));
  auto request =
      client->multipartFormRequestWithMethod("POST", "upload", std::nullopt, [&](NTMultipartFormData& form) {
        EXPECT_TRUE(form.appendPartWithFileURL(ns::URL::fileURLWithPath(path), "f"));
      });
  writeFile(path, "short");
  Outcome outcome;
  run(client, request, outcome);
  ASSERT_NE(outcome.error, nullptr) << outcome.reply;
  EXPECT_TRUE(server.requestsTo("/upload").empty());

  Outcome next;
  run(client, client->requestWithMethod("GET", "after"), next);
  EXPECT_EQ(next.error, nullptr);
  EXPECT_EQ(next.reply, "/after");
}

// Phases change on the reading thread, so an upload completes while the main thread waits for it
// without running its run loop.
TEST_F(NTMultipartUploadTest, UploadCompletesWhileTheMainThreadBlocksOnIt) {
  testsupport::LoopbackServer server;
  server.fallback(
      [](const testsupport::RecordedRequest& r) { return testsupport::Reply::text(describeParts(r)); });
  std::string content = nttest::patternedBody(200'000);
  std::string path = writeFile(tmp.file("f.txt"), content);
  auto client = NTHTTPClient::clientWithBaseURL(ns::URL::URLWithString(server.url("/")));
  auto request = client->multipartFormRequestWithMethod(
      "PUT", "up", Dictionary{{"k", "v"}}, [&](NTMultipartFormData& form) {
        EXPECT_TRUE(form.appendPartWithFileURL(ns::URL::fileURLWithPath(path), "f"));
        form.throttleBandwidthWithPacketSize(64 * 1024, 0);
      });
  auto operation = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(request);
  auto finished = dispatch::semaphoreCreate(0);
  operation->setCompletionBlock([finished] { dispatch::semaphoreSignal(finished); });
  operation->start();
  // Blocks the main thread, bounded so that a deadlock fails instead of hanging.
  ASSERT_EQ(
      dispatch::semaphoreWait(finished, dispatch::time(dispatch::TIME_NOW, 60 * dispatch::NSEC_PER_SEC)), 0);
  EXPECT_EQ(operation->error(), nullptr);
  ASSERT_TRUE(operation->responseData());
  EXPECT_EQ(operation->responseData()->toString(),
            "f|f.txt|text/plain|" + nttest::sha256(content) + "\nk|||v\n");
}

}  // namespace
