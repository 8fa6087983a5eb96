// The web dialogs through the web view against the fake peer: login outcomes, cancels and errors,
// one dismissal per dialog, links out, and the panel's geometry, bounce and drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Classes/SocialNetwork/FB/FBDialog.h"
#include "Classes/SocialNetwork/FB/Facebook.h"
#include "Classes/WidgetTestSupport.h"
#include "FacebookPeerSuite.h"
#include "Foundation/Clock.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/URLRequest.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/SystemNotifications.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/CaseName.h"
#include "support/RunLoopSpin.h"

namespace {

// A text entry of a dictionary; "<none>" when absent or not text.
std::string text(const ns::Dictionary& d, const char* key) {
  const ns::Value* v = d.find(key);
  return v && v->asString() ? *v->asString() : "<none>";
}

struct SessionRecorder : FBSessionDelegate {
  std::vector<std::string> calls;
  void fbDidLogin() override { calls.push_back("login"); }
  void fbDidNotLogin(bool cancelled) override {
    calls.push_back(cancelled ? "not login: cancelled" : "not login");
  }
};

struct DialogRecorder : FBDialogDelegate {
  std::vector<std::string> calls;
  ns::ErrorPtr error;
  bool openLinks = true;
  void dialogDidComplete(FBDialog&) override { calls.push_back("complete"); }
  void dialogCompleteWithUrl(const ns::URL& url) override {
    calls.push_back("complete " + url.absoluteString());
  }
  void dialogDidNotCompleteWithUrl(const std::optional<ns::URL>& url) override {
    calls.push_back("not complete " + (url ? url->absoluteString() : "nil"));
  }
  void dialogDidNotComplete(FBDialog&) override { calls.push_back("not complete"); }
  void dialogDidFailWithError(FBDialog&, const ns::ErrorPtr& e) override {
    calls.push_back("error");
    error = e;
  }
  bool dialogShouldOpenURLInExternalBrowser(FBDialog&, const ns::URL&) override { return openLinks; }
};

// Counts "FBDialogCanceled".
class CancelCounter {
 public:
  CancelCounter() {
    ns::NotificationCenter::defaultCenter()->addObserver(
        token_, [this](const ns::Notification&) { ++count; }, kFBDialogCanceledNotification);
  }
  ~CancelCounter() { ns::NotificationCenter::defaultCenter()->removeObserver(token_); }
  int count = 0;

 private:
  std::shared_ptr<ns::Object> token_ = std::make_shared<ns::Object>();
};

class DialogSuite : public testsupport::FacebookPeerSuite {
 protected:
  void SetUp() override {
    FacebookPeerSuite::SetUp();
    window_ = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
    window_->makeKeyAndVisible();
    ui::Application::sharedApplication()->clearOpenedURLs();
  }
  void TearDown() override {
    ui::Application::sharedApplication()->clearOpenedURLs();
    FacebookPeerSuite::TearDown();
  }

  std::shared_ptr<FBDialog> logInDialog() {
    facebook_->authorize(std::nullopt, session_);
    return facebook_->loginDialog();
  }
  static bool pageShown(const std::shared_ptr<FBDialog>& dialog) {
    return testsupport::spinUntil([&] { return dialog->title() == "Log in to Facebook"; });
  }
  static void submit(const std::shared_ptr<FBDialog>& dialog) {
    ASSERT_TRUE(dialog->webView()->fillField("email", "user@example.com"));
    ASSERT_TRUE(dialog->webView()->fillField("pass", "secret"));
    ASSERT_TRUE(dialog->webView()->pressButton("Log In"));
  }
  // The fade has ended and the panel has left the window.
  static bool gone(const std::shared_ptr<FBDialog>& dialog) {
    return testsupport::spinUntil([&] { return !dialog->superview(); });
  }

  testsupport::ScreenScope screen_{ui::DeviceProfile::tablet()};
  std::shared_ptr<ui::Window> window_;
  CancelCounter cancels_;
  std::shared_ptr<SessionRecorder> session_ = std::make_shared<SessionRecorder>();
  std::shared_ptr<Facebook> facebook_ = std::make_shared<Facebook>()->initWithAppId("777");
};

struct LoginCase {
  std::string name;
  std::string token;
  std::optional<std::string> expiresIn;
  std::vector<std::string> calls;
  std::optional<double> expiresAfter;  // seconds from now; none for no expiry
  bool distantFuture = false;
};

class FBLoginDialogOutcomeTest : public DialogSuite, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(FBLoginDialogOutcomeTest, TheSuccessRedirectBecomesTheSession) {
  const LoginCase& c = GetParam();
  peer_->setAccessToken(c.token);
  peer_->setExpiresIn(c.expiresIn);
  auto dialog = logInDialog();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->superview(), window_);
  ASSERT_TRUE(pageShown(dialog));
  double before = ns::Date::now().timeIntervalSince1970();
  submit(dialog);
  ASSERT_TRUE(testsupport::spinUntil([&] { return !session_->calls.empty(); }));
  double after = ns::Date::now().timeIntervalSince1970();
  ASSERT_TRUE(gone(dialog));
  EXPECT_EQ(session_->calls, c.calls);
  EXPECT_EQ(cancels_.count, c.calls[0] == "login" ? 0 : 1);
  if (c.calls[0] != "login") return;
  EXPECT_EQ(facebook_->accessToken(), c.token);
  if (c.distantFuture) {
    EXPECT_EQ(facebook_->expirationDate(), ns::Date::distantFuture());
  } else if (c.expiresAfter) {
    ASSERT_TRUE(facebook_->expirationDate());
    double at = facebook_->expirationDate()->timeIntervalSince1970();
    EXPECT_GE(at, before + *c.expiresAfter - 1);
    EXPECT_LE(at, after + *c.expiresAfter + 1);
  } else {
    EXPECT_FALSE(facebook_->expirationDate());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Redirects, FBLoginDialogOutcomeTest,
    ::testing::Values(LoginCase{"expires_in_3600", "T", "3600", {"login"}, 3600, false},
                      LoginCase{"never_expires", "T", "0", {"login"}, std::nullopt, true},
                      LoginCase{"no_expiry", "T", std::nullopt, {"login"}, std::nullopt, false},
                      LoginCase{
                          "empty_token_cancels", "", "3600", {"not login: cancelled"}, std::nullopt, false}),
    testsupport::CaseName());

TEST_F(DialogSuite, TheLoginAsksForTheDialogWithTheSessionsParameters) {
  facebook_->authorize(std::vector<std::string>{"publish_stream", "read_stream"}, session_);
  auto dialog = facebook_->loginDialog();
  ASSERT_TRUE(pageShown(dialog));
  auto asked = peer_->requestsTo("/dialog/oauth");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].params.at("client_id"), "777");
  EXPECT_EQ(asked[0].params.at("redirect_uri"), "fbconnect://success");
  EXPECT_EQ(asked[0].params.at("type"), "user_agent");
  EXPECT_EQ(asked[0].params.at("display"), "touch");
  EXPECT_EQ(asked[0].params.at("sdk"), "2");
  EXPECT_EQ(asked[0].params.at("scope"), "publish_stream,read_stream");

  facebook_->authorize(std::vector<std::string>{}, session_);
  EXPECT_EQ(text(facebook_->loginDialog()->params(), "scope"), "");
  facebook_->authorize(std::nullopt, session_);
  EXPECT_FALSE(facebook_->loginDialog()->params().find("scope"));
}

TEST_F(DialogSuite, EitherCloseButtonCancelsOnceEvenWhenAnotherOutcomeFollowsDuringTheFade) {
  for (bool top : {false, true}) {
    SCOPED_TRACE(top ? "top close button" : "title bar close button");
    session_->calls.clear();
    cancels_.count = 0;
    auto dialog = logInDialog();
    ASSERT_TRUE(pageShown(dialog));
    // The top button acts on touch-down, the title bar's on touch-up inside.
    if (top) {
      ui::SimulatedTouch touch(window_, dialog->topCloseButton()->convertPointToView(
                                            {16, 16}, static_cast<const ui::View*>(nullptr)));
      EXPECT_EQ(touch.hitView(), dialog->topCloseButton());
      touch.end();
    } else {
      dialog->closeButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    }
    EXPECT_EQ(session_->calls, std::vector<std::string>{"not login: cancelled"});
    // While it fades: a second close and a late success redirect change nothing.
    dialog->cancel();
    dialog->webView()->loadRequest(
        ns::URLRequest::requestWithURL(ns::URL::URLWithString("fbconnect://success#access_token=T")));
    dialog->webViewDidFailLoadWithError(*dialog->webView(), ns::Error::make(ns::kURLErrorDomain, -1004, {}));
    ASSERT_TRUE(gone(dialog));
    EXPECT_FALSE(dialog->modalBackgroundView()->superview());
    EXPECT_EQ(session_->calls, std::vector<std::string>{"not login: cancelled"});
    EXPECT_EQ(cancels_.count, 1);
    EXPECT_FALSE(facebook_->accessToken());
  }
}

TEST_F(DialogSuite, CancelRedirectsBareWithAnErrorOrTooShort) {
  // The login dialog: a bare cancel is the user's.
  auto login = logInDialog();
  ASSERT_TRUE(pageShown(login));
  ASSERT_TRUE(login->webView()->followLink("Cancel"));
  ASSERT_TRUE(gone(login));
  EXPECT_EQ(session_->calls, std::vector<std::string>{"not login: cancelled"});
  EXPECT_EQ(cancels_.count, 1);

  // A plain dialog on the same page: the server's error with its unescaped message.
  peer_->setCancelError(std::make_pair(190, "Сессия истекла & всё"));
  auto delegate = std::make_shared<DialogRecorder>();
  auto dialog = std::make_shared<FBDialog>()->initWithURL(peer_->origin() + "/dialog/oauth", {}, delegate);
  dialog->show();
  ASSERT_TRUE(pageShown(dialog));
  ASSERT_TRUE(dialog->webView()->followLink("Cancel"));
  ASSERT_TRUE(gone(dialog));
  EXPECT_EQ(delegate->calls, std::vector<std::string>{"error"});
  ASSERT_TRUE(delegate->error);
  EXPECT_EQ(delegate->error->domain(), "facebookErrDomain");
  EXPECT_EQ(delegate->error->code(), 190);
  EXPECT_EQ(text(delegate->error->userInfo(), "error_msg"), "Сессия истекла & всё");
  EXPECT_EQ(cancels_.count, 2);

  // "fbconnect:x" is too short to be a cancel: a success without a token, which the login
  // dialog takes for a cancel and a plain dialog for a completion.
  for (bool isLogin : {true, false}) {
    auto d = isLogin
                 ? logInDialog()
                 : std::make_shared<FBDialog>()->initWithURL(peer_->origin() + "/dialog/oauth", {}, delegate);
    if (!isLogin) d->show();
    delegate->calls.clear();
    session_->calls.clear();
    d->webView()->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString("fbconnect:x")));
    ASSERT_TRUE(gone(d));
    if (isLogin)
      EXPECT_EQ(session_->calls, std::vector<std::string>{"not login: cancelled"});
    else
      EXPECT_EQ(delegate->calls, (std::vector<std::string>{"complete fbconnect:x", "complete"}));
  }
  EXPECT_EQ(cancels_.count, 3);
}

TEST_F(DialogSuite, ALoadThatFailsEndsTheLoginOnceButInterruptionsAndCancelsAreIgnored) {
  // A peer of its own, stopped once its page is up.
  socialpeers::FacebookPeer going;
  going.start();
  environment_.set("VCC_FB_DIALOG_ORIGIN", going.origin());
  auto dialog = logInDialog();
  ASSERT_TRUE(pageShown(dialog));
  dialog->webViewDidFailLoadWithError(
      *dialog->webView(),
      ns::Error::make(ui::kWebKitErrorDomain, ui::kWebKitErrorFrameLoadInterruptedByPolicyChange, {}));
  dialog->webViewDidFailLoadWithError(*dialog->webView(),
                                      ns::Error::make(ns::kURLErrorDomain, ns::URLError::Cancelled, {}));
  EXPECT_FALSE(dialog->isDismissing());
  EXPECT_TRUE(session_->calls.empty());

  going.stop();
  submit(dialog);
  ASSERT_TRUE(testsupport::spinUntil([&] { return !session_->calls.empty(); }));
  ASSERT_TRUE(gone(dialog));
  EXPECT_EQ(session_->calls, std::vector<std::string>{"not login"});
  EXPECT_EQ(cancels_.count, 1);
}

TEST_F(DialogSuite, ARefusedDialogOriginFailsTheLoginWithoutContactingIt) {
  environment_.set("VCC_FB_DIALOG_ORIGIN", "http://fb.example.com");
  auto dialog = logInDialog();
  ASSERT_TRUE(testsupport::spinUntil([&] { return !session_->calls.empty(); }));
  ASSERT_TRUE(gone(dialog));
  EXPECT_EQ(session_->calls, std::vector<std::string>{"not login"});
  EXPECT_EQ(cancels_.count, 1);
  EXPECT_TRUE(peer_->requests().empty());
}

TEST_F(DialogSuite, AFollowedLinkGoesToTheBrowserUnlessTheDelegateKeepsIt) {
  auto delegate = std::make_shared<DialogRecorder>();
  auto dialog = std::make_shared<FBDialog>()->initWithURL(peer_->origin() + "/dialog/oauth", {}, delegate);
  dialog->show();
  ASSERT_TRUE(pageShown(dialog));
  ASSERT_TRUE(dialog->webView()->followLink("Forgot password?"));
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(),
            std::vector<std::string>{peer_->origin() + "/recover"});
  delegate->openLinks = false;
  ASSERT_TRUE(dialog->webView()->followLink("Forgot password?"));
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs().size(), 1u);
  EXPECT_FALSE(dialog->isDismissing());
  EXPECT_TRUE(peer_->requestsTo("/recover").empty());
  EXPECT_TRUE(delegate->calls.empty());
}

TEST(FBDialogURLTest, ParametersAreEscapedReservedCharactersIncluded) {
  struct Case {
    ns::Dictionary params;
    std::string url;
  } cases[] = {
      {{}, "http://h/dialog/feed"},
      {{{"a", "x y"}}, "http://h/dialog/feed?a=x%20y"},
      {{{"q", "a&b=c"}}, "http://h/dialog/feed?q=a%26b%3Dc"},
      {{{"r", "!*'();:@&=+$,/?%#[]"}},
       "http://h/dialog/feed?r=%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D"},
      {{{"u", "фб"}, {"n", 5}}, "http://h/dialog/feed?n=5&u=%D1%84%D0%B1"},
  };
  for (const Case& c : cases) EXPECT_EQ(FBDialog::generateURL("http://h/dialog/feed", c.params), c.url);
}

TEST(FBDialogURLTest, ParameterReadingStopsAtTheNextPairAndUnescapes) {
  const std::string url = "fbconnect://cancel?error_code=190&error_msg=a%20b%26c";
  EXPECT_EQ(FBDialog::getStringFromUrl(url, "error_code="), "190");
  EXPECT_EQ(FBDialog::getStringFromUrl(url, "error_msg="), "a b&c");
  EXPECT_EQ(FBDialog::getStringFromUrl(url, "access_token="), std::nullopt);
  EXPECT_EQ(FBDialog::getStringFromUrl("fbconnect://success#access_token=&x=1", "access_token="), "");
}

// --- Geometry -------------------------------------------------------------------------------

// Refuses every load, so a dialog's page never starts and the dialog stays up.
struct RefuseAll : ui::WebViewDelegate {
  bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequestPtr&,
                                         ui::WebViewNavigationType) override {
    return false;
  }
};

// Lets the bounce end, in short steps: each step runs what has come due by its end.
void settle(ns::ManualClock& clock) {
  for (int i = 0; i < 20; ++i) clock.advance(0.05);
}

// A dialog shown in the key window whose page never loads.
std::shared_ptr<FBDialog> quietDialog() {
  static auto refuse = std::make_shared<RefuseAll>();
  auto dialog = std::make_shared<FBDialog>()->initWithURL("http://fb.localhost/dialog/x", {}, {});
  dialog->webView()->setDelegate(refuse);
  dialog->show();
  return dialog;
}

struct Layout {
  std::string name;
  ui::DeviceProfile device;
  ui::InterfaceOrientation orientation;
  cg::Size size;  // the panel's bounds
  double topCloseX;
};

class FBDialogLayoutTest : public ::testing::TestWithParam<Layout> {};

TEST_P(FBDialogLayoutTest, ThePanelFitsTheScreenAndItsPartsTheTitleBar) {
  const Layout& c = GetParam();
  testsupport::ScreenScope screen(c.device);
  ns::ManualClock clock;
  ui::Application::sharedApplication()->setStatusBarOrientation(c.orientation);
  // The window turns with the interface, as it does when the device turns.
  cg::Size screenSize = ui::Screen::mainScreen()->bounds().size;
  auto window = std::make_shared<ui::Window>()->initWithFrame(
      {0, 0, ui::isLandscape(c.orientation) ? screenSize.height : screenSize.width,
       ui::isLandscape(c.orientation) ? screenSize.width : screenSize.height});
  window->makeKeyAndVisible();
  auto dialog = quietDialog();
  settle(clock);

  cg::Rect app = window->rootViewFrame();
  EXPECT_EQ(dialog->bounds().size, c.size);
  EXPECT_EQ(dialog->center(),
            (cg::Point{app.x() + std::ceil(app.width() / 2), app.y() + std::ceil(app.height() / 2)}));
  // Upright, inside the window below its status bar.
  EXPECT_EQ(dialog->transform(), cg::AffineTransform::identity());
  EXPECT_TRUE(app.contains(dialog->frame())) << cg::describe(dialog->frame());
  EXPECT_TRUE(window->bounds().contains(
      dialog->convertRectToView(dialog->topCloseButton()->frame(), window).insetBy(7, 7)));
  EXPECT_EQ(dialog->orientation(), c.orientation);
  EXPECT_EQ(dialog->topCloseButton()->frame(), (cg::Rect{c.topCloseX, -7, 33, 33}));

  double w = c.size.width, h = c.size.height, inner = w - 22;
  double bar = dialog->titleLabel()->frame().height();
  cg::Size icon = dialog->iconView()->bounds().size;
  EXPECT_GT(bar, 8);
  EXPECT_EQ(dialog->titleLabel()->frame().origin, (cg::Point{18 + icon.width + 8, 10}));
  EXPECT_EQ(dialog->titleLabel()->frame().width(), inner - (bar - 8 + icon.width + 16));
  EXPECT_EQ(dialog->iconView()->frame(),
            (cg::Rect{18, 10 + std::floor(bar / 2 - icon.height / 2), icon.width, icon.height}));
  EXPECT_EQ(dialog->closeButton()->frame(), (cg::Rect{w - (bar + 10), 10, bar, bar}));
  EXPECT_EQ(dialog->webView()->frame(), (cg::Rect{11, 10 + bar, inner, h - (bar + 21)}));
  EXPECT_EQ(dialog->spinner()->center(), dialog->webView()->center());
  EXPECT_EQ(dialog->titleLabel()->font()->pointSize(), ui::isPad() ? 18 : 14);
  // Above the backdrop, which covers the window.
  ASSERT_EQ(window->subviews().size(), 2u);
  EXPECT_EQ(window->subviews()[0], dialog->modalBackgroundView());
  EXPECT_EQ(window->subviews()[1], dialog);
  EXPECT_EQ(dialog->modalBackgroundView()->frame(), window->frame());
  window->resignKeyWindow();
}

INSTANTIATE_TEST_SUITE_P(Devices, FBDialogLayoutTest,
                         ::testing::Values(Layout{"tablet_portrait",
                                                  ui::DeviceProfile::tablet(),
                                                  ui::InterfaceOrientation::portrait,
                                                  {440, 582},
                                                  412},
                                           Layout{"tablet_landscape_left",
                                                  ui::DeviceProfile::tablet(),
                                                  ui::InterfaceOrientation::landscapeLeft,
                                                  {594, 428},
                                                  567},
                                           Layout{"tablet_upside_down",
                                                  ui::DeviceProfile::tablet(),
                                                  ui::InterfaceOrientation::portraitUpsideDown,
                                                  {440, 582},
                                                  412},
                                           Layout{"phone_portrait",
                                                  ui::DeviceProfile::phone(),
                                                  ui::InterfaceOrientation::portrait,
                                                  {300, 440},
                                                  270},
                                           Layout{"phone_landscape_right",
                                                  ui::DeviceProfile::phone(),
                                                  ui::InterfaceOrientation::landscapeRight,
                                                  {460, 280},
                                                  430}),
                         testsupport::CaseName());

TEST(FBDialogAnimationTest, BouncesInOnTheClockAndFadesOutBeforeLeavingTheWindow) {
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  window->makeKeyAndVisible();
  auto dialog = quietDialog();
  EXPECT_EQ(dialog->transform(), cg::AffineTransform::makeScale(1.1, 1.1));
  clock.advance(0.19);
  EXPECT_EQ(dialog->transform(), cg::AffineTransform::makeScale(1.1, 1.1));
  clock.advance(0.02);
  EXPECT_EQ(dialog->transform(), cg::AffineTransform::makeScale(0.9, 0.9));
  clock.advance(0.2);
  EXPECT_EQ(dialog->transform(), cg::AffineTransform::identity());

  CancelCounter cancels;
  dialog->cancel();
  EXPECT_EQ(dialog->alpha(), 0);
  clock.advance(0.29);
  EXPECT_EQ(dialog->superview(), window);
  EXPECT_EQ(cancels.count, 0);
  clock.advance(0.02);
  EXPECT_FALSE(dialog->superview());
  EXPECT_EQ(cancels.count, 1);
  window->resignKeyWindow();
}

TEST(FBDialogAnimationTest, TurnsWithTheInterfaceUnlessTheKeyboardIsUp) {
  testsupport::ScreenScope screen(ui::DeviceProfile::phone());
  ns::ManualClock clock;
  auto app = ui::Application::sharedApplication();
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  window->makeKeyAndVisible();
  auto dialog = quietDialog();
  settle(clock);
  auto center = ns::NotificationCenter::defaultCenter();
  // The interface turns and the window with it, as when the device turns.
  cg::Size screenSize = ui::Screen::mainScreen()->bounds().size;
  auto turn = [&](ui::InterfaceOrientation orientation) {
    app->setStatusBarOrientation(orientation);
    bool landscape = ui::isLandscape(orientation);
    window->setFrame({0, 0, landscape ? screenSize.height : screenSize.width,
                      landscape ? screenSize.width : screenSize.height});
    center->postNotificationName(ui::kDeviceOrientationDidChangeNotification);
  };

  turn(ui::InterfaceOrientation::landscapeLeft);
  // Upright, across the turned window below its status bar.
  EXPECT_EQ(dialog->bounds().size, (cg::Size{460, 280}));
  EXPECT_EQ(dialog->center(), (cg::Point{240, 170}));
  EXPECT_EQ(dialog->transform(), cg::AffineTransform::identity());
  EXPECT_EQ(dialog->webView()->evaluatedScripts().back(), "document.body.setAttribute('orientation', 90);");

  // The phone's keyboard in landscape takes the web view over the title bar and borders.
  cg::Rect web = dialog->webView()->frame();
  double bar = dialog->titleLabel()->frame().height();
  center->postNotificationName(ui::kKeyboardWillShowNotification);
  EXPECT_TRUE(dialog->isShowingKeyboard());
  EXPECT_EQ(dialog->webView()->frame(), web.insetBy(-20, -20 - bar));
  turn(ui::InterfaceOrientation::portrait);
  EXPECT_EQ(dialog->orientation(), ui::InterfaceOrientation::landscapeLeft);
  turn(ui::InterfaceOrientation::landscapeLeft);
  center->postNotificationName(ui::kKeyboardWillHideNotification);
  EXPECT_FALSE(dialog->isShowingKeyboard());
  EXPECT_EQ(dialog->webView()->frame(), web);

  turn(ui::InterfaceOrientation::portrait);
  EXPECT_EQ(dialog->bounds().size, (cg::Size{300, 440}));
  EXPECT_EQ(dialog->transform(), cg::AffineTransform::identity());
  EXPECT_EQ(dialog->webView()->evaluatedScripts().back(), "document.body.removeAttribute('orientation');");

  // Once dismissed it no longer listens.
  dialog->dismissWithSuccess(true, false);
  EXPECT_FALSE(dialog->superview());
  turn(ui::InterfaceOrientation::landscapeRight);
  EXPECT_EQ(dialog->orientation(), ui::InterfaceOrientation::portrait);
  window->resignKeyWindow();
}

TEST(FBDialogDrawingTest, GreyRoundedBorderBlueTitleBarAndOutlinedPage) {
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  window->makeKeyAndVisible();
  auto dialog = quietDialog();
  settle(clock);
  dialog->removeFromSuperview();
  auto image = ui::renderView(dialog, 1);
  ASSERT_TRUE(image);
  double bar = dialog->titleLabel()->frame().height();
  double w = dialog->bounds().width();
  using testsupport::colorAtPoint;
  using testsupport::near;
  EXPECT_EQ(colorAtPoint(*image, 0, 0).alpha, 0);  // the rounded corner
  EXPECT_TRUE(near(colorAtPoint(*image, 5, 200), FBDialog::kBorderGray));
  EXPECT_TRUE(near(colorAtPoint(*image, 12.5, 10 + bar / 2), FBDialog::kFacebookBlue));
  EXPECT_TRUE(near(colorAtPoint(*image, w / 2, 9.5), FBDialog::kBorderBlue));
  EXPECT_TRUE(near(colorAtPoint(*image, 10.5, 10 + bar + 50), FBDialog::kBorderBlack));
  EXPECT_TRUE(near(colorAtPoint(*image, w - 10.5, 10 + bar + 50), FBDialog::kBorderBlack));
  window->resignKeyWindow();
}

// --- The session's dialog routes ------------------------------------------------------------

TEST_F(DialogSuite, HandedBackServiceErrorsRetryTheLoginThroughTheBrowserOrTheDialog) {
  auto browser = ns::URL::URLWithString("fb777://authorize#error=service_disabled_use_browser");
  EXPECT_TRUE(facebook_->handleOpenURL(*browser));
  auto opened = ui::Application::sharedApplication()->openedURLs();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].starts_with(peer_->origin() + "/dialog/oauth?")) << opened[0];
  EXPECT_NE(opened[0].find("redirect_uri=fb777%3A%2F%2Fauthorize"), std::string::npos) << opened[0];
  EXPECT_FALSE(facebook_->loginDialog());

  auto inApp = ns::URL::URLWithString("fb777://authorize?error=service_disabled");
  EXPECT_TRUE(facebook_->handleOpenURL(*inApp));
  ASSERT_TRUE(facebook_->loginDialog());
  EXPECT_EQ(facebook_->loginDialog()->superview(), window_);
  EXPECT_EQ(text(facebook_->loginDialog()->params(), "redirect_uri"), "fbconnect://success");
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs().size(), 1u);
}

TEST_F(DialogSuite, TheDialogFactoryAddsTheTokenOnlyOutsideTheLoginAction) {
  facebook_->setAccessToken("A%2BB");
  facebook_->setExpirationDate(ns::Date::distantFuture());
  auto delegate = std::make_shared<DialogRecorder>();

  facebook_->dialog("feed", {{"link", "http://x"}}, delegate);
  auto feed = facebook_->fbDialog();
  ASSERT_TRUE(feed);
  EXPECT_FALSE(std::dynamic_pointer_cast<FBLoginDialog>(feed));
  EXPECT_EQ(feed->delegate(), delegate);
  EXPECT_EQ(feed->serverURL(), peer_->origin() + "/dialog/feed");
  const ns::Dictionary& p = feed->params();
  EXPECT_EQ(text(p, "app_id"), "777");
  EXPECT_EQ(text(p, "access_token"), "A+B");
  EXPECT_EQ(text(p, "display"), "touch");
  EXPECT_EQ(text(p, "redirect_uri"), "fbconnect://success");
  EXPECT_EQ(text(p, "link"), "http://x");
  EXPECT_FALSE(p.find("type"));

  facebook_->dialog("oauth", delegate);
  auto login = facebook_->fbDialog();
  EXPECT_TRUE(std::dynamic_pointer_cast<FBLoginDialog>(login));
  EXPECT_FALSE(login->delegate());
  EXPECT_EQ(text(login->params(), "type"), "user_agent");
  EXPECT_FALSE(login->params().find("app_id"));
  EXPECT_FALSE(login->params().find("access_token"));
  // The replaced dialog is no longer the factory's.
  EXPECT_NE(feed, login);
}

}  // namespace
