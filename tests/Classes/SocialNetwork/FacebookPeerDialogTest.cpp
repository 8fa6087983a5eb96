// The fake peer's login dialog as a web view sees it: the form, the cookie, the redirects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FacebookPeerSuite.h"
#include "Foundation/URLRequest.h"
#include "UIKit/WebView.h"
#include "support/CaseName.h"
#include "support/RunLoopSpin.h"

namespace {

// Refuses the "fbconnect:" redirects, as the login dialog does, and keeps the last one.
struct DialogDelegate : ui::WebViewDelegate {
  std::string redirect;
  int finished = 0;
  int interrupted = 0;
  bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequestPtr& request,
                                         ui::WebViewNavigationType) override {
    std::string url = request->URL()->absoluteString();
    if (url.rfind("fbconnect:", 0) != 0) return true;
    redirect = url;
    return false;
  }
  void webViewDidFinishLoad(ui::WebView&) override { ++finished; }
  void webViewDidFailLoadWithError(ui::WebView&, const ns::ErrorPtr& error) override {
    if (error->code() == ui::kWebKitErrorFrameLoadInterruptedByPolicyChange) ++interrupted;
  }
};

class FacebookPeerDialogTest : public testsupport::FacebookPeerSuite {
 protected:
  void SetUp() override {
    FacebookPeerSuite::SetUp();
    view_ = std::make_shared<ui::WebView>()->initWithFrame({0, 0, 480, 480});
    view_->setDelegate(delegate_);
  }
  void openDialog() {
    view_->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(
        peer_->origin() +
        "/dialog/oauth?client_id=1&redirect_uri=fbconnect%3A%2F%2Fsuccess&type=user_agent")));
  }
  void logIn() {
    openDialog();
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate_->finished == 1; }));
    ASSERT_TRUE(view_->fillField("email", "user@example.com"));
    ASSERT_TRUE(view_->fillField("pass", "secret"));
    ASSERT_TRUE(view_->pressButton("Log In"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate_->interrupted == 1; }));
  }

  std::shared_ptr<DialogDelegate> delegate_ = std::make_shared<DialogDelegate>();
  std::shared_ptr<ui::WebView> view_;
};

TEST_F(FacebookPeerDialogTest, TheFormLogsInAndTheCookieThenSkipsIt) {
  logIn();
  EXPECT_EQ(view_->page().title, "Log in to Facebook");
  EXPECT_EQ(delegate_->redirect, "fbconnect://success#access_token=T&expires_in=3600");
  auto posted = peer_->requestsTo("/dialog/oauth/login");
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].params.at("pass"), "secret");

  delegate_->redirect.clear();
  openDialog();
  ASSERT_TRUE(testsupport::spinUntil([&] { return delegate_->interrupted == 2; }));
  EXPECT_EQ(delegate_->finished, 1);  // no form this time
  EXPECT_EQ(delegate_->redirect, "fbconnect://success#access_token=T&expires_in=3600");
  EXPECT_FALSE(peer_->requestsTo("/dialog/oauth").back().cookie("xs").empty());
}

struct Handed {
  std::string name;
  std::string token;
  std::optional<std::string> expiresIn;
  std::string redirect;
};

class FacebookPeerTokenTest : public FacebookPeerDialogTest, public ::testing::WithParamInterface<Handed> {};

TEST_P(FacebookPeerTokenTest, TheRedirectCarriesWhatThePeerHandsOut) {
  peer_->setAccessToken(GetParam().token);
  peer_->setExpiresIn(GetParam().expiresIn);
  logIn();
  EXPECT_EQ(delegate_->redirect, GetParam().redirect);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FacebookPeerTokenTest,
    ::testing::Values(Handed{"never_expires", "T", "0", "fbconnect://success#access_token=T&expires_in=0"},
                      Handed{"no_expiry", "T", std::nullopt, "fbconnect://success#access_token=T"},
                      Handed{"empty_token", "", "3600", "fbconnect://success#access_token=&expires_in=3600"}),
    testsupport::CaseName());

TEST_F(FacebookPeerDialogTest, CancelLinksToABareOrAnErrorCancel) {
  openDialog();
  ASSERT_TRUE(testsupport::spinUntil([&] { return delegate_->finished == 1; }));
  ASSERT_TRUE(view_->followLink("Cancel"));
  EXPECT_EQ(delegate_->redirect, "fbconnect://cancel");

  peer_->setCancelError(std::make_pair(190, "Сессия истекла & всё"));
  openDialog();
  ASSERT_TRUE(testsupport::spinUntil([&] { return delegate_->finished == 2; }));
  ASSERT_TRUE(view_->followLink("Cancel"));
  EXPECT_EQ(delegate_->redirect,
            "fbconnect://cancel?error_code=190&error_msg="
            "%D0%A1%D0%B5%D1%81%D1%81%D0%B8%D1%8F%20%D0%B8%D1%81%D1%82%D0%B5%D0%BA%D0%BB%D0%B0%20%26%20%D0%"
            "B2%D1%81%D1%91");
}

}  // namespace
