#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "Foundation/ClassRegistry.h"
#include "Foundation/Stream.h"
#include "Foundation/Thread.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "NTNetworking/NTImageRequestOperation.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NetworkingTestSupport.h"
#include "support/TempDir.h"

namespace {

using nttest::requestFor;
using nttest::runToEnd;
using nttest::withType;
using testsupport::LoopbackServer;
using testsupport::RecordedRequest;
using testsupport::Reply;
using testsupport::spinUntil;

// Subclasses registered for these tests only, so that changing their acceptable values leaves
// the real classes alone.
class StatusTestOperation : public NTHTTPRequestOperation {};
class StatusTestSibling : public NTHTTPRequestOperation {};
class StatusTestChild : public StatusTestOperation {};
class OctetStreamOperation : public NTHTTPRequestOperation {};

// Subclasses nobody registers: they take the values of the nearest class they derive from.
class UnregisteredOperation : public NTHTTPRequestOperation {};
class UnregisteredJSONOperation : public NTJSONRequestOperation {};
class UnregisteredChild : public StatusTestChild {};

void registerTestClasses() {
  static bool done = [] {
    NTHTTPRequestOperation::registerClass();
    auto& registry = ns::ClassRegistry::shared();
    registry.registerClass<StatusTestOperation>("StatusTestOperation", "NTHTTPRequestOperation");
    registry.registerClass<StatusTestSibling>("StatusTestSibling", "NTHTTPRequestOperation");
    registry.registerClass<StatusTestChild>("StatusTestChild", "StatusTestOperation");
    registry.registerClass<OctetStreamOperation>("OctetStreamOperation", "NTHTTPRequestOperation");
    NTHTTPRequestOperation::addAcceptableContentTypes("OctetStreamOperation", {"application/octet-stream"});
    return true;
  }();
  (void)done;
}

struct Outcome {
  bool done = false;
  ns::Value object;
  ns::ErrorPtr error;
};

// Installs the callbacks, starts the operation (or resumes a paused one) and waits for a callback.
Outcome complete(const NTHTTPRequestOperationPtr& op) {
  auto outcome = std::make_shared<Outcome>();
  op->setCompletionBlockWithSuccess(
      [outcome](const NTHTTPRequestOperationPtr&, const ns::Value& object) {
        outcome->object = object;
        outcome->done = true;
      },
      [outcome](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr& error) {
        outcome->error = error;
        outcome->done = true;
      });
  if (op->isPaused())
    op->resume();
  else
    op->start();
  EXPECT_TRUE(spinUntil([&] { return outcome->done; }));
  return *outcome;
}

TEST(NTHTTPRequestOperationTest, StatusAndContentTypeDecideBetweenSuccessAndTheHTTPError) {
  LoopbackServer server;
  struct Case {
    const char* name;
    bool json;  // through NTJSONRequestOperation, else NTHTTPRequestOperation
    Reply reply;
    std::optional<long> code;  // none: success
    std::string message;
  } cases[] = {
      {"304", false, withType("text/plain", "", 304), ns::URLError::BadServerResponse,
       "Expected status code in (200-299), got 304"},
      {"500 HTML, status goes first", true, withType("text/html", "<h1>oops</h1>", 500),
       ns::URLError::BadServerResponse, "Expected status code in (200-299), got 500"},
      {"text/xml body", true, withType("text/xml", "<a/>"), ns::URLError::CannotDecodeContentData,
       "Expected content type {(application/json, text/javascript, text/json)}, got text/xml"},
      {"empty text/xml", true, withType("text/xml", ""), std::nullopt, ""},
      {"type with case and parameters", true, withType("Application/JSON; charset=UTF-8", "[1]"),
       std::nullopt, ""},
      {"any type for the plain class", false, withType("image/png", "bytes"), std::nullopt, ""},
  };
  for (const auto& c : cases) {
    server.reply("/answer", c.reply);
    auto request = requestFor(server, "/answer");
    NTHTTPRequestOperationPtr op = c.json
                                       ? std::make_shared<NTJSONRequestOperation>()->initWithRequest(request)
                                       : std::make_shared<NTHTTPRequestOperation>()->initWithRequest(request);
    Outcome outcome = complete(op);
    if (!c.code) {
      EXPECT_FALSE(outcome.error) << c.name << ": " << (outcome.error ? outcome.error->describe() : "");
      continue;
    }
    ASSERT_TRUE(outcome.error) << c.name;
    EXPECT_EQ(outcome.error->domain(), NTNetworkingErrorDomain) << c.name;
    EXPECT_EQ(outcome.error->code(), *c.code) << c.name;
    const ns::Dictionary& info = outcome.error->userInfo();
    EXPECT_EQ(info[ns::kLocalizedDescriptionKey].describe(), c.message) << c.name;
    EXPECT_EQ(info[ns::kURLErrorFailingURLErrorKey].describe(), server.url("/answer")) << c.name;
    EXPECT_EQ(info[NTNetworkingOperationFailingURLRequestErrorKey].asObject(), request) << c.name;
    EXPECT_TRUE(info[NTNetworkingOperationFailingURLResponseErrorKey].asObject<ns::HTTPURLResponse>())
        << c.name;
    if (!c.reply.body.empty()) {
      EXPECT_EQ(info[ns::kLocalizedRecoverySuggestionErrorKey].describe(), c.reply.body) << c.name;
    }
  }
}

// A 410 whose body is cut short: the connection fails, but the status is what the caller hears.
TEST(NTHTTPRequestOperationTest, HTTPErrorIsComputedOnceAndWinsOverTheConnectionError) {
  LoopbackServer server;
  Reply cut = Reply::text(std::string(4096, 'g'), 410);
  cut.dropAfterBytes = 100;
  server.reply("/gone", cut);
  auto op = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(requestFor(server, "/gone"));
  EXPECT_FALSE(op->hasAcceptableStatusCode());  // no response yet
  EXPECT_FALSE(op->hasAcceptableContentType());
  ASSERT_TRUE(runToEnd(op));
  auto connectionError = op->NTURLConnectionOperation::error();
  ASSERT_TRUE(connectionError);
  EXPECT_EQ(connectionError->domain(), ns::kURLErrorDomain);
  auto first = op->error();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->domain(), NTNetworkingErrorDomain);
  EXPECT_EQ(first->code(), ns::URLError::BadServerResponse);
  EXPECT_EQ(op->error(), first);
  EXPECT_TRUE(op->hasAcceptableContentType());
}

TEST(NTHTTPRequestOperationTest, ACancelledOperationCallsNeitherCallback) {
  LoopbackServer server;
  nttest::Gate gate;
  server.reply("/", Reply::text("x"));
  server.reply("/drip", nttest::stalledBody(256 * 1024, 64 * 1024, gate));
  struct Case {
    const char* name;
    const char* path;
    bool midway;
  } cases[] = {{"before start", "/", false}, {"mid-body", "/drip", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto op = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(requestFor(server, c.path));
    int callbacks = 0;
    op->setCompletionBlockWithSuccess([&](const auto&, const auto&) { ++callbacks; },
                                      [&](const auto&, const auto&) { ++callbacks; });
    if (c.midway) {
      op->start();
      ASSERT_TRUE(spinUntil([&] { return op->totalBytesRead() > 0; }));
    }
    op->cancel();
    ASSERT_TRUE(runToEnd(op));
    // One more pass of the main queue, where a callback would have landed.
    auto marker = std::make_shared<bool>(false);
    dispatch::async(dispatch::mainQueue(), [marker] { *marker = true; });
    ASSERT_TRUE(spinUntil([&] { return *marker; }));
    EXPECT_EQ(callbacks, 0);
  }
}

// A response that names no MIME type is taken as "application/octet-stream".
TEST(NTHTTPRequestOperationTest, AResponseWithoutAMIMETypeCountsAsOctetStream) {
  registerTestClasses();
  LoopbackServer server;
  server.reply("/untyped", withType("", "bytes"));
  struct Case {
    const char* name;
    std::function<NTHTTPRequestOperationPtr()> make;
    bool accepted;
  } cases[] = {
      {"octet-stream class", [] { return std::make_shared<OctetStreamOperation>(); }, true},
      {"JSON class", [] { return std::make_shared<NTJSONRequestOperation>(); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto op = c.make();
    ASSERT_TRUE(op->initWithRequest(requestFor(server, "/untyped")));
    ASSERT_TRUE(runToEnd(op));
    EXPECT_FALSE(op->response()->MIMEType());
    EXPECT_EQ(op->hasAcceptableContentType(), c.accepted);
    if (c.accepted) {
      EXPECT_FALSE(op->error());
    } else {
      ASSERT_TRUE(op->error());
      EXPECT_EQ(op->error()->code(), ns::URLError::CannotDecodeContentData);
    }
  }
}

TEST(NTHTTPRequestOperationTest, CallbacksRunOnTheQueuesGivenOrTheMainQueue) {
  LoopbackServer server;
  server.reply("/ok", Reply::text("ok"));
  server.reply("/bad", Reply::text("bad", 400));
  auto queue = dispatch::queueCreate("test.callbacks");
  struct Case {
    const char* path;
    bool setQueues;
    bool expectMain;
  } cases[] = {{"/ok", false, true}, {"/bad", false, true}, {"/ok", true, false}, {"/bad", true, false}};
  for (const auto& c : cases) {
    auto op = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(requestFor(server, c.path));
    if (c.setQueues) {
      op->setSuccessCallbackQueue(queue);
      op->setFailureCallbackQueue(queue);
    }
    std::atomic<int> onMain{-1};
    auto record = [&] { onMain = ns::Thread::isMainThread() ? 1 : 0; };
    op->setCompletionBlockWithSuccess([&](const auto&, const auto&) { record(); },
                                      [&](const auto&, const auto&) { record(); });
    op->start();
    ASSERT_TRUE(spinUntil([&] { return onMain >= 0; })) << c.path;
    EXPECT_EQ(onMain == 1, c.expectMain) << c.path << " queues " << c.setQueues;
  }
}

TEST(NTHTTPRequestOperationTest, AddedValuesStayInTheClassAndItsSubclasses) {
  registerTestClasses();
  NTHTTPRequestOperation::addAcceptableStatusCodes("StatusTestOperation", ns::IndexSet{304, 401, 400});
  NTHTTPRequestOperation::addAcceptableContentTypes("StatusTestOperation", {"text/csv"});
  struct Case {
    const char* cls;
    std::string codes;
    std::optional<NTContentTypeSet> types;
  } cases[] = {
      {"StatusTestOperation", "200-299,304,400-401", NTContentTypeSet{"text/csv"}},
      {"StatusTestChild", "200-299,304,400-401", NTContentTypeSet{"text/csv"}},
      {"StatusTestSibling", "200-299", std::nullopt},
      {"NTHTTPRequestOperation", "200-299", std::nullopt},
      {"NTJSONRequestOperation", "200-299",
       NTContentTypeSet{"application/json", "text/json", "text/javascript"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NTStringFromIndexSet(*NTHTTPRequestOperation::acceptableStatusCodes(c.cls)), c.codes) << c.cls;
    EXPECT_EQ(NTHTTPRequestOperation::acceptableContentTypes(c.cls), c.types) << c.cls;
  }
  EXPECT_EQ(NTHTTPRequestOperation::acceptableStatusCodes(),
            ns::IndexSet::indexSetWithIndexesInRange({200, 100}));
}

TEST(NTHTTPRequestOperationTest, UnregisteredSubclassesInheritTheAcceptableValues) {
  registerTestClasses();
  NTHTTPRequestOperation::addAcceptableStatusCodes("StatusTestOperation", ns::IndexSet{304, 401, 400});
  NTHTTPRequestOperation::addAcceptableContentTypes("StatusTestOperation", {"text/csv"});
  LoopbackServer server;
  struct Case {
    const char* name;
    std::function<NTHTTPRequestOperationPtr()> make;
    Reply reply;
    std::optional<long> code;  // none: success
  } cases[] = {
      {"404 to a plain subclass", [] { return std::make_shared<UnregisteredOperation>(); },
       withType("text/plain", "missing", 404), ns::URLError::BadServerResponse},
      {"500 to a plain subclass", [] { return std::make_shared<UnregisteredOperation>(); },
       withType("text/plain", "broken", 500), ns::URLError::BadServerResponse},
      {"HTML to a JSON subclass", [] { return std::make_shared<UnregisteredJSONOperation>(); },
       withType("text/html", "<p>"), ns::URLError::CannotDecodeContentData},
      {"JSON to a JSON subclass", [] { return std::make_shared<UnregisteredJSONOperation>(); },
       withType("application/json", "[1]"), std::nullopt},
      {"added code to a grandchild", [] { return std::make_shared<UnregisteredChild>(); },
       withType("text/csv", "a,b", 401), std::nullopt},
      {"type outside the added ones to a grandchild", [] { return std::make_shared<UnregisteredChild>(); },
       withType("text/html", "<p>"), ns::URLError::CannotDecodeContentData},
  };
  for (const auto& c : cases) {
    server.reply("/answer", c.reply);
    auto op = c.make();
    ASSERT_TRUE(op->initWithRequest(requestFor(server, "/answer"))) << c.name;
    Outcome outcome = complete(op);
    if (!c.code) {
      EXPECT_FALSE(outcome.error) << c.name << ": " << (outcome.error ? outcome.error->describe() : "");
      continue;
    }
    ASSERT_TRUE(outcome.error) << c.name;
    EXPECT_EQ(outcome.error->code(), *c.code) << c.name;
  }
}

TEST(NTHTTPRequestOperationTest, ClassesClaimRequestsByPathExtensionOrAcceptHeader) {
  registerTestClasses();
  auto request = [](const char* url, std::optional<std::string> accept) {
    auto r = nttest::requestFor(url);
    r->setValueForHTTPHeaderField(accept, "Accept");
    return r;
  };
  struct Case {
    const char* cls;
    const char* url;
    std::optional<std::string> accept;
    bool claimed;
  } cases[] = {
      {"NTHTTPRequestOperation", "http://h/anything", std::nullopt, true},
      {"StatusTestSibling", "http://h/x.json", "application/json", false},  // no types of its own
      {"NTJSONRequestOperation", "http://h/list.json", "text/html", true},
      {"NTJSONRequestOperation", "http://h/list", "text/html, application/json;q=0.9", true},
      {"NTJSONRequestOperation", "http://h/list", std::nullopt, false},
      {"NTJSONRequestOperation", "http://h/list.JSON", std::nullopt, false},
      {"NTImageRequestOperation", "http://h/poster.png", std::nullopt, true},
      {"NTImageRequestOperation", "http://h/icon.cur", std::nullopt, true},
      {"NTImageRequestOperation", "http://h/poster.PNG", std::nullopt, false},
      {"NTImageRequestOperation", "http://h/poster.PNG", "image/png", true},
      {"NTImageRequestOperation", "http://h/poster", "image/*", false},
      {"NTURLConnectionOperation", "http://h/x.json", "application/json", false},
      {"NoSuchClass", "http://h/x.json", "application/json", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NTHTTPRequestOperation::canProcessRequest(c.cls, *request(c.url, c.accept)), c.claimed)
        << c.cls << " " << c.url << " " << c.accept.value_or("(no Accept)");
}

// Serves a patterned body that stops after its first 64 KB until the gate opens, honouring Range
// only when `ranges` is set; `override` answers instead when it gives a reply.
struct ResumableServer {
  static constexpr std::size_t kStall = 64 * 1024;
  LoopbackServer server;
  nttest::Gate gate;  // declared after the server, so it opens before the server stops
  std::string body;
  bool ranges = true;
  std::string etag;
  std::function<std::optional<Reply>(const RecordedRequest&)> override;

  explicit ResumableServer(std::size_t length) : body(nttest::patternedBody(length)) {
    server.on("/file", [this](const RecordedRequest& request) {
      if (auto reply = override ? override(request) : std::nullopt) return *reply;
      Reply r = nttest::stalledBody(body.size(), kStall, gate);
      r.applyRange = ranges;
      if (!etag.empty()) r.headers.push_back({"ETag", etag});
      return r;
    });
  }

  // Starts the operation, pauses it once the first 64 KB are in and lets the server go on.
  void startAndPauseMidway(const NTHTTPRequestOperationPtr& op) {
    op->start();
    ASSERT_TRUE(spinUntil([&] { return op->totalBytesRead() == static_cast<std::int64_t>(kStall); }));
    op->pause();
    ASSERT_TRUE(op->isPaused());
    gate.open();
  }
};

// Pauses a download to a file midway and resumes it.
TEST(NTHTTPRequestOperationTest, PausedDownloadsResumeIntoTheSameFileWithoutDuplicates) {
  const std::string body = nttest::patternedBody(512 * 1024);
  // A range that starts before the first byte asked for, as a server may answer: the stream must
  // be put back at the range's first byte, or those bytes come twice.
  auto earlierRange = [&body](const RecordedRequest& request) -> std::optional<Reply> {
    std::string range = request.header("Range");
    if (range.empty()) return std::nullopt;
    std::size_t from = std::stoul(range.substr(6)) - 1000;
    Reply r;
    r.status = 206;
    r.contentType = "application/octet-stream";
    r.body = body.substr(from);
    r.applyRange = false;
    r.headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" +
                                              std::to_string(body.size() - 1) + "/" +
                                              std::to_string(body.size())});
    return r;
  };
  struct Case {
    const char* name;
    bool serverHonoursRange;
    std::string etag;
    std::function<std::optional<Reply>(const RecordedRequest&)> override;
    std::int64_t offsetBeforeHeld;
  } cases[] = {
      {"206 continuation", true, "\"v1\"", nullptr, 0},
      {"206 from an earlier byte", true, "", earlierRange, 1000},
      {"server ignores Range and answers 200", false, "", nullptr, 0},
  };
  for (const auto& c : cases) {
    ResumableServer origin(body.size());
    origin.ranges = c.serverHonoursRange;
    origin.etag = c.etag;
    origin.override = c.override;
    testsupport::TempDir tmp;
    auto op = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(requestFor(origin.server, "/file"));
    op->setOutputStream(ns::OutputStream::outputStreamToFileAtPath(tmp.file("download"), false));
    ASSERT_NO_FATAL_FAILURE(origin.startAndPauseMidway(op)) << c.name;
    // Nothing lands after the pause: what the file holds is where the range starts.
    ns::performOnThread(
        NTURLConnectionOperation::networkRequestThread(), [] {}, true);
    auto held = static_cast<std::int64_t>(nttest::fileContents(tmp.file("download")).size());
    EXPECT_EQ(op->request()->valueForHTTPHeaderField("Range"), "bytes=" + std::to_string(held) + "-")
        << c.name;
    EXPECT_EQ(op->request()->valueForHTTPHeaderField("If-Range"),
              c.etag.empty() ? std::nullopt : std::optional<std::string>(c.etag))
        << c.name;
    Outcome outcome = complete(op);
    EXPECT_FALSE(outcome.error) << c.name;
    EXPECT_EQ(nttest::sha256(nttest::fileContents(tmp.file("download"))), nttest::sha256(body)) << c.name;
    EXPECT_EQ(op->offsetContentLength(), c.serverHonoursRange ? held - c.offsetBeforeHeld : 0) << c.name;
    EXPECT_EQ(op->totalContentLength(), static_cast<std::int64_t>(body.size())) << c.name;
  }
}

TEST(NTHTTPRequestOperationTest, AFreshBodyAfterResumingReplacesWhatWasHeld) {
  std::string shorter = "a new, much shorter body";
  struct Case {
    const char* name;
    bool toFile;
  } cases[] = {{"file", true}, {"memory", false}};
  for (const auto& c : cases) {
    ResumableServer origin(256 * 1024);
    origin.override = [&](const RecordedRequest& request) -> std::optional<Reply> {
      if (!request.hasHeader("Range")) return std::nullopt;
      Reply r = Reply::text(shorter);
      r.applyRange = false;
      return r;
    };
    testsupport::TempDir tmp;
    auto op = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(requestFor(origin.server, "/file"));
    if (c.toFile)
      op->setOutputStream(ns::OutputStream::outputStreamToFileAtPath(tmp.file("download"), false));
    ASSERT_NO_FATAL_FAILURE(origin.startAndPauseMidway(op)) << c.name;
    Outcome outcome = complete(op);
    EXPECT_FALSE(outcome.error) << c.name;
    std::string held = c.toFile ? nttest::fileContents(tmp.file("download")) : op->responseData()->toString();
    EXPECT_EQ(held, shorter) << c.name;
  }
}

TEST(NTHTTPRequestOperationTest, APartialBodyThatDoesNotContinueWhatWasHeldFails) {
  struct Case {
    const char* name;
    std::function<std::string(std::size_t held)> range;
  } cases[] = {
      {"starts beyond the held bytes",
       [](std::size_t held) { return "bytes " + std::to_string(held + 100) + "-9/9"; }},
      {"unreadable Content-Range", [](std::size_t) { return std::string("bytes */262144"); }},
  };
  for (const auto& c : cases) {
    ResumableServer origin(256 * 1024);
    origin.override = [&](const RecordedRequest& request) -> std::optional<Reply> {
      if (!request.hasHeader("Range")) return std::nullopt;
      Reply r = Reply::text("tail");
      r.status = 206;
      r.applyRange = false;
      r.headers.push_back({"Content-Range", c.range(ResumableServer::kStall)});
      return r;
    };
    testsupport::TempDir tmp;
    auto op = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(requestFor(origin.server, "/file"));
    op->setOutputStream(ns::OutputStream::outputStreamToFileAtPath(tmp.file("download"), false));
    ASSERT_NO_FATAL_FAILURE(origin.startAndPauseMidway(op)) << c.name;
    Outcome outcome = complete(op);
    ASSERT_TRUE(outcome.error) << c.name;
    EXPECT_EQ(outcome.error->code(), ns::URLError::BadServerResponse) << c.name;
    // What was held stays as it was.
    EXPECT_EQ(nttest::fileContents(tmp.file("download")), origin.body.substr(0, ResumableServer::kStall))
        << c.name;
  }
}

TEST(NTHTTPRequestOperationTest, APartialBodyToAFirstRequestIsKeptAsSent) {
  LoopbackServer server;
  server.reply("/part", Reply::text("0123456789"));
  auto request = requestFor(server, "/part");
  request->setValueForHTTPHeaderField("bytes=4-", "Range");
  auto op = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(request);
  Outcome outcome = complete(op);
  EXPECT_FALSE(outcome.error);
  EXPECT_EQ(outcome.object.asData()->toString(), "456789");
  EXPECT_EQ(op->offsetContentLength(), 4);
  EXPECT_EQ(op->totalContentLength(), 10);
}

}  // namespace
