// The session: validity on the manual clock, logout against the fake peer with its cookie rule,
// the request factories and the hand-back URL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Classes/SocialNetwork/FB/Facebook.h"
#include "FacebookPeerSuite.h"
#include "Foundation/Clock.h"
#include "Foundation/HTTPCookie.h"
#include "Foundation/HTTPCookieStorage.h"
#include "support/CaseName.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"

namespace {

using ns::Dictionary;

struct SessionRecorder : FBSessionDelegate {
  std::vector<std::string> calls;
  void fbDidLogin() override { calls.push_back("login"); }
  void fbDidNotLogin(bool cancelled) override {
    calls.push_back(cancelled ? "not login: cancelled" : "not login");
  }
  void fbDidLogout() override { calls.push_back("logout"); }
};

std::shared_ptr<Facebook> session(const std::string& appId = "123") {
  return std::make_shared<Facebook>()->initWithAppId(appId);
}

struct Validity {
  std::string name;
  std::optional<std::string> token;
  std::optional<double> expiresIn;  // seconds from now
  bool valid;
};

class FacebookValidityTest : public ::testing::TestWithParam<Validity> {};

TEST_P(FacebookValidityTest, NeedsATokenAndAnExpiryStrictlyLaterThanNow) {
  ns::ManualClock clock(1'000'000);
  auto facebook = session();
  facebook->setAccessToken(GetParam().token);
  if (GetParam().expiresIn)
    facebook->setExpirationDate(ns::Date::now().dateByAddingTimeInterval(*GetParam().expiresIn));
  EXPECT_EQ(facebook->isSessionValid(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(Sessions, FacebookValidityTest,
                         ::testing::Values(Validity{"future", "T", 1, true},
                                           Validity{"exactly_now", "T", 0, false},
                                           Validity{"past", "T", -1, false},
                                           Validity{"no_expiry", "T", std::nullopt, false},
                                           Validity{"no_token", std::nullopt, 3600, false}),
                         testsupport::CaseName());

TEST(FacebookTest, AnExpiryBecomesInvalidAsTheClockPassesIt) {
  ns::ManualClock clock(1'000'000);
  auto facebook = session();
  facebook->setAccessToken("T");
  facebook->setExpirationDate(ns::Date::now().dateByAddingTimeInterval(10));
  EXPECT_TRUE(facebook->isSessionValid());
  clock.advance(10);
  EXPECT_FALSE(facebook->isSessionValid());
  facebook->setExpirationDate(ns::Date::distantFuture());
  EXPECT_TRUE(facebook->isSessionValid());
}

class FacebookPeerTest : public testsupport::FacebookPeerSuite {
 protected:
  static void addCookie(const std::string& domain, const std::string& path, bool secure = false) {
    Dictionary properties{{ns::kHTTPCookieName, "c" + std::to_string(counter_++)},
                          {ns::kHTTPCookieValue, "v"},
                          {ns::kHTTPCookieDomain, domain},
                          {ns::kHTTPCookiePath, path}};
    if (secure) properties.set(ns::kHTTPCookieSecure, "TRUE");
    auto cookie = ns::HTTPCookie::cookieWithProperties(properties);
    ASSERT_TRUE(cookie) << domain;
    ns::HTTPCookieStorage::sharedHTTPCookieStorage()->setCookie(cookie);
  }
  static std::vector<std::string> cookieDomains() {
    std::vector<std::string> out;
    for (const auto& cookie : ns::HTTPCookieStorage::sharedHTTPCookieStorage()->cookies())
      out.push_back(cookie->domain() + cookie->path());
    return out;
  }
  void waitForExpireRequest() {
    ASSERT_TRUE(
        testsupport::spinUntil([] { return !peer_->requestsTo("/method/auth.expireSession").empty(); }));
  }

  static inline int counter_ = 0;
};

TEST_F(FacebookPeerTest, LogoutExpiresTheTokenOnTheServerAfterTheSessionAndItsOwnerAreGone) {
  auto recorder = std::make_shared<SessionRecorder>();
  {
    auto facebook = session();
    facebook->setAccessToken("T");
    facebook->setExpirationDate(ns::Date::distantFuture());
    facebook->logout(recorder);
    EXPECT_EQ(recorder->calls, std::vector<std::string>{"logout"});
    EXPECT_FALSE(facebook->accessToken());
    EXPECT_FALSE(facebook->expirationDate());
    EXPECT_FALSE(facebook->isSessionValid());
  }
  recorder.reset();
  waitForExpireRequest();
  auto logged = peer_->requestsTo("/method/auth.expireSession")[0];
  EXPECT_EQ(logged.method, "GET");
  EXPECT_EQ(logged.params.at("access_token"), "T");
  EXPECT_EQ(logged.params.at("format"), "json");
  EXPECT_EQ(logged.params.at("sdk"), "ios");
  EXPECT_EQ(logged.params.at("sdk_version"), "2");
  EXPECT_TRUE(testsupport::spinUntil([] { return !peer_->isTokenValid("T"); }));
}

TEST_F(FacebookPeerTest, LogoutWithoutADelegateOrAValidSessionStillClearsButSendsNoToken) {
  auto facebook = session();
  facebook->setAccessToken("T");
  facebook->setExpirationDate(ns::Date::now().dateByAddingTimeInterval(-1));
  facebook->logout({});
  EXPECT_FALSE(facebook->accessToken());
  waitForExpireRequest();
  EXPECT_FALSE(peer_->requestsTo("/method/auth.expireSession")[0].params.contains("access_token"));
  EXPECT_TRUE(peer_->isTokenValid("T"));
}

TEST_F(FacebookPeerTest, LogoutDeletesEveryCookieOfTheSiteWhateverItsPathOrSecureFlag) {
  addCookie("fb.localhost", "/");
  addCookie(".fb.localhost", "/dialog");
  addCookie("fb.localhost", "/", true);
  addCookie("www.fb.localhost", "/x");
  addCookie("vk.localhost", "/");
  addCookie("notfb.localhost", "/");
  addCookie("127.0.0.1", "/");
  session()->logout({});
  auto left = cookieDomains();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"127.0.0.1/", "notfb.localhost/", "vk.localhost/"}));
  waitForExpireRequest();
}

TEST_F(FacebookPeerTest, FactoriesBuildRestAndGraphRequestsWithTheSessionParameters) {
  auto facebook = session();
  facebook->setAccessToken("T");
  facebook->setExpirationDate(ns::Date::distantFuture());
  auto delegate = std::make_shared<FBRequestDelegate>();

  testsupport::LogCapture log;
  facebook->requestWithParams({{"x", "1"}}, delegate);
  EXPECT_TRUE(log.contains("API Method must be specified"));
  EXPECT_EQ(facebook->request(), nullptr);

  facebook->requestWithParams({{"method", "users.getInfo"}, {"uids", "1"}}, delegate);
  ASSERT_TRUE(facebook->request());
  EXPECT_EQ(facebook->request()->url(), peer_->origin() + "/method/users.getInfo");
  EXPECT_EQ(facebook->request()->httpMethod(), "GET");
  EXPECT_EQ(
      facebook->request()->params(),
      (Dictionary{
          {"uids", "1"}, {"format", "json"}, {"sdk", "ios"}, {"sdk_version", "2"}, {"access_token", "T"}}));

  facebook->requestWithGraphPath("me", delegate);
  EXPECT_EQ(facebook->request()->url(), peer_->origin() + "/me");
  EXPECT_EQ(facebook->request()->httpMethod(), "GET");
  facebook->requestWithGraphPath("12345/feed", {{"message", "m"}}, "POST", delegate);
  EXPECT_EQ(facebook->request()->httpMethod(), "POST");
  EXPECT_EQ(facebook->request()->params()["message"], ns::Value("m"));
  facebook->requestWithMethodName("auth.expireSession", {}, "GET", delegate);
  EXPECT_EQ(facebook->request()->url(), peer_->origin() + "/method/auth.expireSession");
  ASSERT_TRUE(testsupport::spinUntil([&] { return peer_->requests().size() == 4; }));
  EXPECT_EQ(peer_->requestsTo("/me")[0].query, "access_token=T&format=json&sdk=ios&sdk_version=2");
}

TEST_F(FacebookPeerTest, ARefusedOriginSendsNothing) {
  environment_.set("VCC_FB_GRAPH_ORIGIN", "http://graph.example");
  struct Recorder : FBRequestDelegate {
    ns::ErrorPtr error;
    void requestDidFailWithError(FBRequest&, const ns::ErrorPtr& e) override { error = e; }
  };
  auto recorder = std::make_shared<Recorder>();
  testsupport::LogCapture log;
  EXPECT_EQ(Facebook::kGraphBaseURL(), std::nullopt);
  session()->requestWithGraphPath("me", recorder);
  ASSERT_TRUE(testsupport::spinUntil([&] { return recorder->error != nullptr; }));
  EXPECT_EQ(recorder->error->code(), ns::URLError::BadURL);
  EXPECT_TRUE(log.contains("VCC_FB_GRAPH_ORIGIN refused"));
  EXPECT_TRUE(peer_->requests().empty());
}

struct HandBack {
  std::string name;
  std::string url;
  bool handled;
  std::vector<std::string> calls;
  std::optional<std::string> token = std::nullopt;
  std::optional<double> expiresIn = std::nullopt;  // seconds from now; nullopt: the distant future
};

class FacebookHandOpenURLTest : public ::testing::TestWithParam<HandBack> {};

TEST_P(FacebookHandOpenURLTest, CompletesOrRefusesTheLogin) {
  const HandBack& c = GetParam();
  ns::ManualClock clock(2'000'000);
  auto facebook = session("123");
  auto recorder = std::make_shared<SessionRecorder>();
  facebook->setSessionDelegate(recorder);
  auto url = ns::URL::URLWithString(c.url);
  ASSERT_TRUE(url);
  EXPECT_EQ(facebook->handleOpenURL(*url), c.handled);
  EXPECT_EQ(recorder->calls, c.calls);
  EXPECT_EQ(facebook->accessToken(), c.token);
  if (c.token) {
    EXPECT_EQ(facebook->expirationDate(), c.expiresIn ? ns::Date::now().dateByAddingTimeInterval(*c.expiresIn)
                                                      : ns::Date::distantFuture());
  }
}

INSTANTIATE_TEST_SUITE_P(
    URLs, FacebookHandOpenURLTest,
    ::testing::Values(
        HandBack{"token_and_expiry",
                 "fb123://authorize#access_token=abc&expires_in=3600",
                 true,
                 {"login"},
                 "abc",
                 3600},
        HandBack{"escaped_token_no_expiry", "fb123://authorize#access_token=a%20b", true, {"login"}, "a b"},
        HandBack{"zero_expiry_never_expires",
                 "fb123://authorize#expires_in=0&access_token=x",
                 true,
                 {"login"},
                 "x"},
        HandBack{"query_without_fragment", "fb123://authorize?access_token=q", true, {"login"}, "q"},
        HandBack{"odd_pairs_skipped", "fb123://authorize#junk&bad=%FF&access_token=t", true, {"login"}, "t"},
        HandBack{"undecodable_token_skipped",
                 "fb123://authorize#access_token=%FF",
                 true,
                 {"not login: cancelled"}},
        HandBack{"access_denied", "fb123://authorize#error=access_denied", true, {"not login: cancelled"}},
        HandBack{"nothing", "fb123://authorize", true, {"not login: cancelled"}},
        HandBack{"other_error", "fb123://authorize#error=unknown", true, {"not login"}},
        HandBack{"error_code", "fb123://authorize#error=access_denied&error_code=190", true, {"not login"}},
        HandBack{"other_application", "fb999://authorize#access_token=t", false, {}},
        HandBack{"web_address", "https://fb.example/authorize#access_token=t", false, {}}),
    testsupport::CaseName());

TEST(FacebookTest, LoginOutcomesReachTheSessionDelegate) {
  auto facebook = session();
  facebook->fbDialogLogin("tok", std::nullopt);  // no delegate: nothing to tell
  EXPECT_EQ(facebook->accessToken(), "tok");
  auto recorder = std::make_shared<SessionRecorder>();
  facebook->setSessionDelegate(recorder);
  facebook->fbDialogNotLogin(false);
  facebook->fbDialogNotLogin(true);
  facebook->fbDialogLogin("t2", ns::Date(5));
  EXPECT_EQ(recorder->calls, (std::vector<std::string>{"not login", "not login: cancelled", "login"}));
  EXPECT_EQ(facebook->expirationDate(), ns::Date(5));
  testsupport::LogCapture log;
  auto request = FBRequest::getRequestWithParams({}, "GET", {}, "");
  facebook->requestDidFailWithError(*request, ns::Error::make("d", 1));
  EXPECT_TRUE(log.contains("Failed to expire the session"));
}

}  // namespace
