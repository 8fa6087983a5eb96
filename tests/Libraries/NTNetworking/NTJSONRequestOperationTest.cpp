#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Foundation/ClassRegistry.h"
#include "Foundation/JSONSerialization.h"
#include "Foundation/Thread.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NetworkingTestSupport.h"

namespace {

using nttest::requestFor;
using testsupport::LoopbackServer;
using testsupport::Reply;
using testsupport::spinUntil;

struct Result {
  bool done = false;
  bool succeeded = false;
  ns::Value JSON;
  ns::ErrorPtr error;
  ns::HTTPURLResponsePtr response;
};

std::shared_ptr<Result> fetch(const LoopbackServer& server, const std::string& path,
                              std::string_view cls = "NTJSONRequestOperation") {
  auto result = std::make_shared<Result>();
  auto op = NTJSONRequestOperation::JSONRequestOperationWithRequest(
      cls, requestFor(server, path),
      [result](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr& response, const ns::Value& JSON) {
        result->succeeded = true;
        result->JSON = JSON;
        result->response = response;
        result->done = true;
      },
      [result](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr& response, const ns::ErrorPtr& error,
               const ns::Value& JSON) {
        result->error = error;
        result->JSON = JSON;
        result->response = response;
        result->done = true;
      });
  op->start();
  EXPECT_TRUE(spinUntil([&] { return result->done; })) << path;
  return result;
}

// A subclass that also takes JSON served as plain text.
class PlainJSONOperation : public NTJSONRequestOperation {};

TEST(NTJSONRequestOperationTest, TheFactoryMakesTheClassItIsAskedFor) {
  NTJSONRequestOperation::registerClass();
  ns::ClassRegistry::shared().registerClass<PlainJSONOperation>("PlainJSONOperation",
                                                                "NTJSONRequestOperation");
  NTHTTPRequestOperation::addAcceptableContentTypes("PlainJSONOperation", {"text/plain"});
  LoopbackServer server;
  server.reply("/plain", Reply::text("[1]"));
  struct Case {
    const char* cls;
    bool succeeded;
  } cases[] = {{"NTJSONRequestOperation", false}, {"PlainJSONOperation", true}};
  for (const auto& c : cases) EXPECT_EQ(fetch(server, "/plain", c.cls)->succeeded, c.succeeded) << c.cls;
  auto request = requestFor(server, "/plain");
  EXPECT_TRUE(
      std::dynamic_pointer_cast<PlainJSONOperation>(NTJSONRequestOperation::JSONRequestOperationWithRequest(
          "PlainJSONOperation", request, nullptr, nullptr)));
  for (const char* other : {"NTHTTPRequestOperation", "NoSuchClass"})
    EXPECT_FALSE(NTJSONRequestOperation::JSONRequestOperationWithRequest(other, request, nullptr, nullptr))
        << other;
}

TEST(NTJSONRequestOperationTest, EveryTopLevelKindDecodes) {
  LoopbackServer server;
  const char* bodies[] = {
      R"({"a":[1,2,{"b":null}]})", "[1,\"two\",3.5]", "\"text\"", "42", "-0.25", "true", "false", "null"};
  for (const char* body : bodies) {
    server.reply("/json", Reply::json(body));
    auto result = fetch(server, "/json");
    ASSERT_TRUE(result->succeeded) << body;
    EXPECT_EQ(result->JSON, ns::JSONSerialization::JSONObjectWithString(body)) << body;
    EXPECT_FALSE(result->JSON.isNil()) << body;
    EXPECT_EQ(result->response->statusCode(), 200) << body;
  }
}

TEST(NTJSONRequestOperationTest, FailuresCarryTheRightErrorAndWhateverBodyDecoded) {
  LoopbackServer server;
  struct Case {
    const char* name;
    Reply reply;
    std::string domain;
    long code;
    ns::Value JSON;
  } cases[] = {
      {"invalid JSON", Reply::json("{\"a\": [1, 2"), ns::kCocoaErrorDomain, 3840, ns::Value()},
      {"JSON 404", Reply::json(R"({"error":"no such title"})", 404), NTNetworkingErrorDomain,
       ns::URLError::BadServerResponse,
       ns::JSONSerialization::JSONObjectWithString(R"({"error":"no such title"})")},
      {"JSON 500", Reply::json("[\"down\"]", 500), NTNetworkingErrorDomain, ns::URLError::BadServerResponse,
       ns::JSONSerialization::JSONObjectWithString("[\"down\"]")},
      {"HTML 404",
       [] {
         Reply r = Reply::text("<p>missing</p>", 404);
         r.contentType = "text/html";
         return r;
       }(),
       NTNetworkingErrorDomain, ns::URLError::BadServerResponse, ns::Value()},
  };
  for (const auto& c : cases) {
    server.reply("/json", c.reply);
    auto result = fetch(server, "/json");
    ASSERT_FALSE(result->succeeded) << c.name;
    ASSERT_TRUE(result->error) << c.name;
    EXPECT_EQ(result->error->domain(), c.domain) << c.name;
    EXPECT_EQ(result->error->code(), c.code) << c.name;
    EXPECT_EQ(result->JSON, c.JSON) << c.name;
  }
}

TEST(NTJSONRequestOperationTest, AnEmptyBodySucceedsWithNoValue) {
  LoopbackServer server;
  server.reply("/empty", Reply::json(""));
  auto result = fetch(server, "/empty");
  EXPECT_TRUE(result->succeeded);
  EXPECT_TRUE(result->JSON.isNil());
}

TEST(NTJSONRequestOperationTest, DecodingWaitsForTheEndAndIsNotRetriedAfterAFailure) {
  LoopbackServer server;
  server.reply("/bad", Reply::json("nope"));
  auto op = std::make_shared<NTJSONRequestOperation>()->initWithRequest(requestFor(server, "/bad"));
  EXPECT_TRUE(op->responseJSON().isNil());
  EXPECT_FALSE(op->JSONError());
  ASSERT_TRUE(nttest::runToEnd(op));
  EXPECT_TRUE(op->responseJSON().isNil());
  auto error = op->JSONError();
  ASSERT_TRUE(error);
  EXPECT_EQ(op->error(), error);
  op->responseJSON();
  EXPECT_EQ(op->JSONError(), error);
}

TEST(NTJSONRequestOperationTest, TwoHundredOperationsAtOnceEachCallBackOnceOnTheMainThread) {
  LoopbackServer server;
  server.on("/item", [](const testsupport::RecordedRequest& request) {
    return Reply::json("{\"id\":" + request.params.at("id") + "}");
  });
  constexpr int kCount = 200;
  std::vector<int> calls(kCount, 0);
  int offMain = 0;
  int finished = 0;
  std::vector<std::weak_ptr<NTJSONRequestOperation>> dropped;
  std::vector<ns::Value> kept;
  for (int i = 0; i < kCount; ++i) {
    auto op = NTJSONRequestOperation::JSONRequestOperationWithRequest(
        requestFor(server, "/item?id=" + std::to_string(i)),
        [&, i](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& JSON) {
          offMain += !ns::Thread::isMainThread();
          calls[static_cast<std::size_t>(JSON["id"].intValue())] += JSON["id"].intValue() == i ? 1 : 100;
          if (i % 2) kept.push_back(JSON);
          ++finished;
        },
        [&](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& error,
            const ns::Value&) {
          ADD_FAILURE() << error->describe();
          ++finished;
        });
    op->start();
    dropped.push_back(op);
  }
  ASSERT_TRUE(spinUntil([&] { return finished == kCount; }, 120));
  EXPECT_EQ(offMain, 0);
  EXPECT_EQ(std::set<int>(calls.begin(), calls.end()), std::set<int>{1});
  // Each operation lets go of itself (and its decoded value, elsewhere) once it has called back;
  // values a callback kept stay whole.
  EXPECT_TRUE(spinUntil([&] {
    return std::all_of(dropped.begin(), dropped.end(), [](const auto& weak) { return weak.expired(); });
  }));
  for (const ns::Value& JSON : kept) EXPECT_EQ(JSON["id"].intValue() % 2, 1);
}

// A processing step runs where the body was decoded, off the main thread; the success callback
// gets what it kept, and the decoded body is gone by then: neither the step's queue nor the
// operation holds it. Failures reach the failure callback without the step.
TEST(NTJSONRequestOperationTest, AProcessingStepHandsOnWhatItKeepsAndTheRestIsLetGo) {
  LoopbackServer server;
  server.reply("/list", Reply::json(R"({"keep": [1, 2], "rest": [3, 4, 5]})"));
  server.reply("/missing", Reply::json(R"({"keep": 1})", 404));
  server.reply("/broken", Reply::json(R"({"keep": )"));
  struct Case {
    const char* path;
    bool succeeds;
  };
  for (const Case& c : {Case{"/list", true}, Case{"/missing", false}, Case{"/broken", false}}) {
    SCOPED_TRACE(c.path);
    struct Seen {
      int steps = 0;
      bool stepOffMain = false;
      std::weak_ptr<const ns::Dictionary> decoded;
      bool done = false, succeeded = false, decodedGoneAtSuccess = false;
      ns::Value kept;
    };
    auto seen = std::make_shared<Seen>();
    auto op = NTJSONRequestOperation::JSONRequestOperationWithRequest(
        requestFor(server, c.path),
        [seen](const ns::Value& JSON) {
          ++seen->steps;
          seen->stepOffMain = !ns::Thread::isMainThread();
          seen->decoded = JSON.sharedDictionary();
          return JSON["keep"];
        },
        [seen](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& JSON) {
          seen->kept = JSON;
          seen->succeeded = true;
          seen->decodedGoneAtSuccess = seen->decoded.expired();
          seen->done = true;
        },
        [seen](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr&,
               const ns::Value&) { seen->done = true; });
    op->start();
    ASSERT_TRUE(spinUntil([&] { return seen->done; }));
    EXPECT_EQ(seen->succeeded, c.succeeds);
    EXPECT_EQ(seen->steps, c.succeeds ? 1 : 0);
    if (!c.succeeds) continue;
    EXPECT_TRUE(seen->stepOffMain);
    EXPECT_EQ(seen->kept, (ns::Value(ns::Array{1, 2})));
    EXPECT_TRUE(seen->decodedGoneAtSuccess);
    EXPECT_TRUE(op->responseJSON().isNil()) << "the operation no longer holds the body it decoded";
  }
}

}  // namespace
