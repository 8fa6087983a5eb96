// The request's URL and body encodings, its reply reading, and whole calls against the fake peer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Classes/SocialNetwork/FB/FBConfiguration.h"
#include "Classes/SocialNetwork/FB/FBRequest.h"
#include "Classes/SocialNetwork/FB/FBVideoUpload.h"
#include "FacebookPeerSuite.h"
#include "Foundation/DataFile.h"
#include "Foundation/URLLoader.h"
#include "Foundation/URLResponse.h"
#include "Graphics/Context.h"
#include "UIKit/Image.h"
#include "support/CaseName.h"
#include "support/CompressedBody.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/MemoryGrowth.h"
#include "support/RunLoopSpin.h"
#include "support/TempDir.h"

namespace {

using ns::Dictionary;
using ns::Value;

std::shared_ptr<ui::Image> smallImage() {
  auto context = cg::Context::makeBitmap({2, 1}, false, 1);
  context->setFillColor(cg::Color::rgba(1, 0, 0, 1));
  context->fillRect({0, 0, 2, 1});
  return ui::Image::imageWithCGImage(context->makeImage());
}

struct Serialized {
  std::string name;
  std::string base;
  Dictionary params;
  std::string method;
  std::string url;
};

class FBRequestSerializeTest : public ::testing::TestWithParam<Serialized> {};

TEST_P(FBRequestSerializeTest, PutsTextParametersIntoTheQuery) {
  const Serialized& c = GetParam();
  EXPECT_EQ(FBRequest::serializeURL(c.base, c.params, c.method), c.url);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FBRequestSerializeTest,
    ::testing::Values(
        Serialized{
            "question_mark_first", "http://h/me", {{"b", "2"}, {"a", "1"}}, "GET", "http://h/me?a=1&b=2"},
        Serialized{"ampersand_after_query", "http://h/me?x=1", {{"a", "1"}}, "GET", "http://h/me?x=1&a=1"},
        Serialized{"bare_separator_without_pairs", "http://h/me", {}, "GET", "http://h/me?"},
        Serialized{"reserved_characters_escaped",
                   "http://h/p",
                   {{"v", "!*'();:@&=+$,/?%#[] é~-._"}},
                   "GET",
                   "http://h/p?v=%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%20%C3%A9~-._"},
        Serialized{"keys_as_they_are", "http://h/p", {{"a[b]", "c"}}, "GET", "http://h/p?a[b]=c"},
        Serialized{"numbers_by_description", "http://h/p", {{"n", 12}}, "GET", "http://h/p?n=12"},
        Serialized{"files_left_out",
                   "http://h/p",
                   {{"f", ns::Data::fromString("x")}, {"t", "y"}},
                   "POST",
                   "http://h/p?t=y"}),
    testsupport::CaseName());

TEST(FBRequestTest, AFileInAGetRequestIsLeftOutWithALogLine) {
  testsupport::LogCapture log;
  EXPECT_EQ(FBRequest::serializeURL("http://h/p", {{"img", Value(smallImage())}}), "http://h/p?");
  EXPECT_TRUE(log.contains("can not use GET to upload a file"));
  log.clear();
  FBRequest::serializeURL("http://h/p", {{"img", Value(smallImage())}}, "POST");
  EXPECT_TRUE(log.lines().empty());
}

TEST(FBRequestTest, MultipartBodyHasStringsThenFilesEachEndingInTheBoundaryAndNoClosingDelimiter) {
  const std::string b = FBRequest::kStringBoundary;
  ASSERT_EQ(b.size(), 40u);
  auto image = smallImage();
  ns::Data png = ui::ImagePNGRepresentation(image);
  ASSERT_FALSE(png.empty());
  auto request = FBRequest::getRequestWithParams({{"b", "два"},
                                                  {"a", "1"},
                                                  {"pic", Value(image)},
                                                  {"raw", ns::Data::fromString(std::string("\0\1", 2))}},
                                                 "POST", {}, "http://h/p");
  std::string expected =
      "--" + b + "\r\n" + "Content-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + b + "\r\n" +
      "Content-Disposition: form-data; name=\"b\"\r\n\r\nдва\r\n--" + b + "\r\n" +
      "Content-Disposition: form-data; filename=\"pic\"\r\nContent-Type: image/png\r\n\r\n" + png.toString() +
      "\r\n--" + b + "\r\n" +
      "Content-Disposition: form-data; filename=\"raw\"\r\nContent-Type: content/unknown\r\n\r\n" +
      std::string("\0\1", 2) + "\r\n--" + b + "\r\n";
  EXPECT_EQ(request->generatePostBody().toString(), expected);
}

struct Reply {
  std::string name;
  std::string body;
  Value result;                       // nil: none
  std::optional<std::int64_t> error;  // the code, when there is an error
  std::string errorKey = "";          // a key the error's user information must hold
};

class FBRequestReplyTest : public ::testing::TestWithParam<Reply> {};

TEST_P(FBRequestReplyTest, ReadsTheReply) {
  const Reply& c = GetParam();
  ns::ErrorPtr error;
  Value result = FBRequest::parseJsonResponse(ns::Data::fromString(c.body), &error);
  EXPECT_EQ(result, c.result);
  ASSERT_EQ(error != nullptr, c.error.has_value());
  if (!error) return;
  EXPECT_EQ(error->domain(), facebookErrDomain);
  EXPECT_EQ(error->code(), *c.error);
  if (!c.errorKey.empty()) {
    EXPECT_TRUE(error->userInfo().contains(c.errorKey));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, FBRequestReplyTest,
    ::testing::Values(Reply{"true", "true", Dictionary{{"result", "true"}}, std::nullopt},
                      Reply{"false", "false", Value(), 10000, "error_msg"},
                      Reply{"array", R"(["a"])", ns::Array{"a"}, std::nullopt},
                      Reply{"dictionary", R"({"id":"1"})", Dictionary{{"id", "1"}}, std::nullopt},
                      Reply{"error_object", R"({"error":{"code":200}})", Value(), 10000, "error"},
                      Reply{"error_code", R"({"error_code":190,"error_msg":"x"})", Value(), 190, "error_msg"},
                      Reply{"error_code_as_text", R"({"error_code":"17"})", Value(), 17, "error_code"},
                      Reply{"error_msg_keeps_result", R"({"error_msg":"m"})", Dictionary{{"error_msg", "m"}},
                            10000, "error_msg"},
                      Reply{"error_reason_keeps_result", R"({"error_reason":"r"})",
                            Dictionary{{"error_reason", "r"}}, 10000, "error_reason"},
                      Reply{"html_page_fails", "<html>oops</html>", Value(), 10000, "error_msg"},
                      Reply{"scalar_fails", "123", Value(), 10000, ns::kUnderlyingErrorKey},
                      Reply{"empty_fails", "", Value(), 10000},
                      Reply{"not_utf8_fails", "\xff\xfe", Value(), 10000}),
    testsupport::CaseName());

// Records what a request tells its delegate, in order.
struct Recorder : FBRequestDelegate {
  std::vector<std::string> events;
  Value result;
  ns::ErrorPtr error;
  bool done = false;
  void requestLoading(FBRequest&) override { events.push_back("loading"); }
  void requestDidReceiveResponse(FBRequest&, const ns::URLResponsePtr& response) override {
    auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response);
    events.push_back("response " + std::to_string(http ? http->statusCode() : 0));
  }
  void requestDidLoadRawResponse(FBRequest&, const ns::Data& data) override {
    events.push_back("raw " + data.toString());
  }
  void requestDidLoad(FBRequest&, const Value& value) override {
    events.push_back("load");
    result = value;
    done = true;
  }
  void requestDidFailWithError(FBRequest&, const ns::ErrorPtr& e) override {
    events.push_back("fail " + std::to_string(e->code()));
    error = e;
    done = true;
  }
};

class FBRequestPeerTest : public testsupport::FacebookPeerSuite {
 protected:
  // Starts the request and lets it go: the connection keeps it alive.
  void start(Dictionary params, const std::string& method, const std::string& url) {
    FBRequest::getRequestWithParams(std::move(params), method, recorder_, url)->connect();
  }
  void waitUntilDone() {
    ASSERT_TRUE(testsupport::spinUntil([&] { return recorder_->done; }));
  }

  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(FBRequestPeerTest, GetSendsTheQueryAndUserAgentAndReportsInOrder) {
  start({{"fields", "id"}, {"access_token", "T"}}, "GET", peer_->origin() + "/me");
  waitUntilDone();
  EXPECT_EQ(recorder_->events,
            (std::vector<std::string>{"loading", "response 200", R"(raw {"id":"12345"})", "load"}));
  EXPECT_EQ(recorder_->result, Value(Dictionary{{"id", "12345"}}));
  auto logged = peer_->requestsTo("/me");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].method, "GET");
  EXPECT_EQ(logged[0].query, "access_token=T&fields=id");
  EXPECT_EQ(logged[0].header("User-Agent"), "FacebookConnect");
  EXPECT_EQ(logged[0].header("Host"), peer_->origin().substr(7));
}

TEST_F(FBRequestPeerTest, ServerErrorsAndPagesThatAreNotJSONFailAfterTheRawReply) {
  start({{"fields", "id"}, {"access_token", "dead"}}, "GET", peer_->origin() + "/me");
  waitUntilDone();
  ASSERT_EQ(recorder_->events.size(), 4u);
  EXPECT_EQ(recorder_->events[1], "response 400");
  EXPECT_EQ(recorder_->events[3], "fail 10000");
  EXPECT_EQ(recorder_->error->userInfo()["error"]["code"].intValue(), 190);

  recorder_ = std::make_shared<Recorder>();
  peer_->setFeedReply(socialpeers::FacebookPeer::FeedReply::serverError);
  start({{"message", "m"}}, "POST", peer_->origin() + "/12345/feed/");
  waitUntilDone();
  ASSERT_EQ(recorder_->events.size(), 4u);
  EXPECT_EQ(recorder_->events[1], "response 500");
  EXPECT_EQ(recorder_->events[2].rfind("raw <html>", 0), 0u);
  EXPECT_EQ(recorder_->events[3], "fail 10000");
  EXPECT_TRUE(recorder_->result.isNil());

  recorder_ = std::make_shared<Recorder>();
  peer_->setFeedReply(socialpeers::FacebookPeer::FeedReply::permissionError);
  start({{"message", "m"}}, "POST", peer_->origin() + "/12345/feed");
  waitUntilDone();
  ASSERT_EQ(recorder_->events.size(), 4u);
  EXPECT_EQ(recorder_->events[1], "response 403");
  EXPECT_EQ(recorder_->error->userInfo()["error"]["code"].intValue(), 200);
}

TEST_F(FBRequestPeerTest, PostSendsTheMultipartBodyAndKeepsTheParametersInTheQuery) {
  Dictionary params{{"method", "auth.expireSession"}, {"format", "json"}};
  auto request =
      FBRequest::getRequestWithParams(params, "POST", recorder_, peer_->origin() + "/restserver.php");
  ns::Data body = request->generatePostBody();
  request->connect();
  EXPECT_TRUE(request->loading());
  waitUntilDone();
  EXPECT_FALSE(request->loading());
  EXPECT_EQ(request->connection(), nullptr);
  auto logged = peer_->requestsTo("/restserver.php");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].method, "POST");
  EXPECT_EQ(logged[0].query, "format=json&method=auth.expireSession");
  EXPECT_EQ(logged[0].header("Content-Type"),
            std::string("multipart/form-data; boundary=") + FBRequest::kStringBoundary);
  EXPECT_EQ(logged[0].body, body.toString());
}

TEST_F(FBRequestPeerTest, TransportFailuresAndRefusedURLsReportOnlyLoadingAndTheFailure) {
  int closedPort = 0;
  {
    testsupport::LoopbackServer server;
    closedPort = server.port();
  }
  struct Case {
    std::string url;
    std::int64_t code;
  };
  for (const Case& c :
       {Case{"http://127.0.0.1:" + std::to_string(closedPort) + "/me", ns::URLError::CannotConnectToHost},
        Case{"http://graph.example/me", ns::URLError::AppTransportSecurityRequiresSecureConnection},
        Case{"not a url", ns::URLError::BadURL}}) {
    recorder_ = std::make_shared<Recorder>();
    testsupport::LogCapture log;
    start({{"access_token", "T"}}, "GET", c.url);
    EXPECT_EQ(recorder_->events, std::vector<std::string>{"loading"}) << "reported inside connect: " << c.url;
    waitUntilDone();
    EXPECT_EQ(recorder_->events, (std::vector<std::string>{"loading", "fail " + std::to_string(c.code)}))
        << c.url;
    EXPECT_EQ(recorder_->error->domain(), ns::kURLErrorDomain);
  }
}

// A reply longer than the request reads, announced, with no end in sight or inflating past it, fails
// it at the bound with -1103 after the response, having decoded no more than that and one read; the
// log names it without the token.
TEST_F(FBRequestPeerTest, AReplyLongerThanTheBoundFailsTheRequestThere) {
  testsupport::LoopbackServer server;
  testsupport::Reply announced;
  announced.contentType = "application/json";
  announced.generatedLength = static_cast<std::size_t>(FBRequest::kMaxResponseLength) + 1;
  announced.generatedByte = [](std::size_t) { return ' '; };
  server.reply("/endless", testsupport::Reply::endless("application/json"));
  server.reply("/announced", announced);
  server.reply("/gzip", testsupport::gzippedZerosReply("application/json"));
  for (const char* path : {"/endless", "/announced", "/gzip"}) {
    SCOPED_TRACE(path);
    recorder_ = std::make_shared<Recorder>();
    testsupport::LogCapture log;
    testsupport::PeakMemoryGrowth memory;
    std::int64_t before = ns::URLLoader::shared().decodedBodyBytes();
    start({{"access_token", "SECRETFB"}}, "GET", server.url(path));
    waitUntilDone();
    EXPECT_LE(ns::URLLoader::shared().decodedBodyBytes() - before,
              FBRequest::kMaxResponseLength + ns::URLLoader::kReadBytes);
    EXPECT_EQ(recorder_->events, (std::vector<std::string>{"loading", "response 200", "fail -1103"}));
    EXPECT_EQ(recorder_->error->domain(), ns::kURLErrorDomain);
    EXPECT_TRUE(log.contains("The reply of " + server.url(path) + "?access_token=... is longer than the " +
                             std::to_string(FBRequest::kMaxResponseLength) + " bytes"))
        << testing::PrintToString(log.lines());
    if (!testsupport::kSanitized) {
      EXPECT_LT(memory.megabytes(), 32);
    }
  }
  EXPECT_TRUE(testsupport::spinUntil([&] { return server.disconnectsSeen() >= 1; }));
}

TEST_F(FBRequestPeerTest, ARequestWhoseDelegateIsGoneStillRunsButTellsNobody) {
  start({{"access_token", "T"}, {"method", "auth.expireSession"}}, "GET",
        peer_->origin() + "/method/auth.expireSession");
  recorder_.reset();
  ASSERT_TRUE(testsupport::spinUntil([&] { return !peer_->isTokenValid("T"); }));
}

TEST_F(FBRequestPeerTest, VideoUploadSignsItsParametersAndSendsTheFile) {
  testsupport::TempDir folder;
  std::string path = folder.file("clip.mp4");
  ASSERT_TRUE(ns::writeDataToFile(ns::Data::fromString("VIDEO"), path));
  auto upload = std::make_shared<FBVideoUpload>();
  upload->setAccessToken("app|SESSION|sig");
  upload->setApiKey("KEY");
  upload->setAppSecret("SECRET");
  EXPECT_EQ(upload->sessionID(), "SESSION");
  upload->startUploadWithURL(ns::URL::fileURLWithPath(path), {{"title", "Кино"}, {"Zeta", 5}}, recorder_);
  waitUntilDone();
  EXPECT_EQ(recorder_->events.back(), "load");
  auto logged = peer_->requestsTo("/restserver.php");
  ASSERT_EQ(logged.size(), 1u);
  // MD5 of "api_key=KEYmethod=facebook.video.uploadsession_key=SESSIONtitle=Киноv=1.0SECRET": the
  // string values' key=value, keys sorted without regard to case ("Zeta" is a number), then the secret.
  EXPECT_EQ(logged[0].params.at("sig"), "a41d18129b03b796cd609fcf260816e0");
  EXPECT_EQ(logged[0].params.at("session_key"), "SESSION");
  EXPECT_EQ(logged[0].params.at("method"), "facebook.video.upload");
  EXPECT_NE(logged[0].body.find("Content-Disposition: form-data; filename=\"clip.mp4\"\r\n"
                                "Content-Type: content/unknown\r\n\r\nVIDEO\r\n"),
            std::string::npos);
}

TEST(FBVideoUploadTest, WithoutASessionKeyOrAReadableFileNothingIsSent) {
  testsupport::LogCapture log;
  auto upload = std::make_shared<FBVideoUpload>();
  upload->setAccessToken("no-session");
  EXPECT_EQ(upload->sessionID(), std::nullopt);
  upload->startUploadWithURL(ns::URL::fileURLWithPath("/nonexistent"), {}, {});
  EXPECT_TRUE(log.contains("Unable to retrieve session key from the access token."));
  upload->setAccessToken("app|SESSION|sig");
  upload->startUploadWithURL(ns::URL::fileURLWithPath("/nonexistent/clip.mp4"), {}, {});
  EXPECT_TRUE(log.contains("Unable to read the video file /nonexistent/clip.mp4."));
  EXPECT_EQ(FBVideoUpload::md5HexDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
