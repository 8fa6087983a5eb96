// The Facebook sheet against the fake peer: the stored session, the login dialog with the bundle's
// permissions, the identity check, the feed post and its failures, logout.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/WidgetTestSupport.h"
#include "Foundation/Clock.h"
#include "Foundation/HTTPCookieStorage.h"
#include "ShareSheetSuite.h"
#include "UIKit/TouchSimulation.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/MemoryGrowth.h"

namespace {

using testsupport::spinUntil;

const char* kMessage = "Смотрю  'Брат' на мобильном http://example.test/about/mobile";
const char* kLink = "http://example.test/title/7?a=1&b=2";

// A session that the sheet takes as logged in for the next expiresIn seconds.
void storeSession(const std::string& token, double expiresIn) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->setObject(token, FaceBookSender::kAccessTokenKey);
  defaults->setObject(ns::Date::now().dateByAddingTimeInterval(expiresIn),
                      FaceBookSender::kExpirationDateKey);
}

class FaceBookSenderTest : public testsupport::ShareSheetSuite, public ::testing::WithParamInterface<bool> {
 protected:
  bool pad() const { return GetParam(); }

  std::shared_ptr<FaceBookSender> open() {
    makeHost();
    auto sheet = std::make_shared<FaceBookSender>()->initWithMessage(kMessage, kLink, "");
    sheet->setClosedHandler([this] { ++closed_; });
    host_->addSubview(sheet);
    sheet->loginToFacebook();
    return sheet;
  }
  static bool editorShown(const std::shared_ptr<FaceBookSender>& sheet) {
    return spinUntil([&] { return sheet->messageInputView() && sheet->messageInputView()->superview(); });
  }
  static std::shared_ptr<FBDialog> dialogShown(const std::shared_ptr<FaceBookSender>& sheet) {
    auto dialog = [&] { return sheet->facebook() ? sheet->facebook()->loginDialog() : nullptr; };
    if (!spinUntil([&] { return dialog() && dialog()->title() == "Log in to Facebook"; })) return nullptr;
    return dialog();
  }
  static void logIn(const std::shared_ptr<FBDialog>& dialog) {
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(dialog->webView()->fillField("email", "user@example.com"));
    ASSERT_TRUE(dialog->webView()->fillField("pass", "secret"));
    ASSERT_TRUE(dialog->webView()->pressButton("Log In"));
  }
  std::shared_ptr<FaceBookSender> openEditor() {
    storeSession(peer_->accessToken(), 3600);
    auto sheet = open();
    EXPECT_TRUE(editorShown(sheet));
    return sheet;
  }

  testsupport::ScopedDevice device_{pad() ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone()};
  int closed_ = 0;
};

TEST_P(FaceBookSenderTest, AnUnexpiredStoredSessionSkipsTheDialog) {
  auto sheet = openEditor();
  EXPECT_FALSE(sheet->facebook()->loginDialog());
  auto me = peer_->requestsTo("/me");
  ASSERT_EQ(me.size(), 1u);
  EXPECT_EQ(me[0].params["fields"], "id");
  EXPECT_EQ(me[0].params["access_token"], peer_->accessToken());
  EXPECT_EQ(sheet->userIDString(), std::optional<std::string>("12345"));
  EXPECT_EQ(sheet->messageField()->text(), kMessage);
  // The editor opens as a composer does, with the keyboard up and the caret after the message, and
  // nothing turns behind it.
  auto keys = std::dynamic_pointer_cast<ui::TextInput>(ui::Responder::currentFirstResponder());
  ASSERT_TRUE(keys);
  EXPECT_TRUE(keys->insertText("!"));
  EXPECT_EQ(sheet->messageField()->text(), std::string(kMessage) + "!");
  std::function<int(const ui::View&)> turning = [&](const ui::View& view) {
    auto* spinner = dynamic_cast<const ui::ActivityIndicatorView*>(&view);
    int n = spinner && spinner->isAnimating() && !spinner->isHidden();
    for (const auto& sub : view.subviews()) n += turning(*sub);
    return n;
  };
  EXPECT_EQ(turning(*sheet), 0);
  sheet->cancelMessageBtnClick();
}

TEST_P(FaceBookSenderTest, AnExpiredOrMissingSessionAsksForTheBundlesPermissionsAndStoresTheLogin) {
  for (bool expired : {true, false}) {
    SCOPED_TRACE(expired ? "expired" : "missing");
    clearDefaults();
    peer_->clearLog();
    clearCookies();
    if (expired) storeSession(peer_->accessToken(), -1);
    auto sheet = open();
    auto dialog = dialogShown(sheet);
    ASSERT_TRUE(dialog);
    auto asked = peer_->requestsTo("/dialog/oauth");
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].params["scope"], "publish_stream,offline_access");
    logIn(dialog);
    ASSERT_TRUE(editorShown(sheet));
    // The login reached the file: reopened, it holds token and expiry, readable by the user only.
    std::string path = ns::UserDefaults::standardUserDefaults()->path();
    auto reopened = std::make_shared<ns::UserDefaults>()->initWithPath(path);
    EXPECT_EQ(reopened->stringForKey(FaceBookSender::kAccessTokenKey), peer_->accessToken());
    EXPECT_TRUE(reopened->objectForKey(FaceBookSender::kExpirationDateKey).isDate());
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    sheet->cancelMessageBtnClick();
    spinUntil([&] { return !dialog->superview(); });
  }
}

TEST_P(FaceBookSenderTest, SendPostsTheEditedMessageToTheUsersFeedAndCloses) {
  testsupport::LogCapture log;
  peer_->setAccessToken("SECRETFB");
  auto sheet = openEditor();
  ns::ManualClock clock;
  sheet->messageField()->setText("edited & sent #1");
  sheet->sendMessageBtnClick();
  sheet->sendMessageBtnClick();
  clock.advance(0.9);
  EXPECT_TRUE(peer_->requestsTo("/12345/feed/").empty());
  clock.advance(0.1);
  ASSERT_TRUE(spinUntil([&] { return sheet->isClosed(); }));
  auto feed = peer_->requestsTo("/12345/feed/");
  ASSERT_EQ(feed.size(), 1u);
  EXPECT_EQ(feed[0].method, "POST");
  EXPECT_EQ(feed[0].params["message"], "edited & sent #1");
  EXPECT_EQ(feed[0].params["link"], kLink);
  EXPECT_EQ(feed[0].params["access_token"], peer_->accessToken());
  EXPECT_EQ(sheet->message(), "edited & sent #1");
  EXPECT_EQ(closed_, 1);
  for (const auto& line : log.lines()) EXPECT_EQ(line.find("SECRETFB"), std::string::npos) << line;
}

TEST_P(FaceBookSenderTest, AWithdrawnPermissionLogsOutAndANewLoginOpensANewEditor) {
  auto sheet = openEditor();
  auto clock = std::make_optional<ns::ManualClock>();
  auto firstEditor = sheet->messageInputView();
  peer_->setFeedReply(socialpeers::FacebookPeer::FeedReply::permissionError);
  sheet->sendMessageBtnClick();
  clock->advance(1.0);
  ASSERT_TRUE(spinUntil([&] { return !sheet->contentView(); }));
  clock.reset();  // the dialog's page loads on the real clock
  auto dialog = dialogShown(sheet);
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(firstEditor->isDescendantOfView(sheet.get()));
  // The logout is sent before the dialog, but on its own connection: the peer may log it later.
  EXPECT_TRUE(spinUntil([&] { return !peer_->requestsTo("/method/auth.expireSession").empty(); }));
  EXPECT_EQ(peer_->requestsTo("/method/auth.expireSession").size(), 1u);
  peer_->setFeedReply(socialpeers::FacebookPeer::FeedReply::ok);
  peer_->setAccessToken("T2");  // the expired token is not handed out again
  logIn(dialog);
  ASSERT_TRUE(editorShown(sheet));
  EXPECT_NE(sheet->messageInputView(), firstEditor);
  EXPECT_FALSE(sheet->isClosed());
}

TEST_P(FaceBookSenderTest, OtherFeedFailuresAlertAndKeepTheEditorForAnotherSend) {
  auto sheet = openEditor();
  ns::ManualClock clock;
  peer_->setFeedReply(socialpeers::FacebookPeer::FeedReply::serverError);
  sheet->sendMessageBtnClick();
  clock.advance(1.0);
  ASSERT_TRUE(spinUntil([&] { return !ui::AlertView::visibleAlerts().empty(); }));
  EXPECT_EQ(alertText(), "Ошибка / Данные не отправлены на сервер / OK");
  EXPECT_FALSE(sheet->isClosed());
  EXPECT_FALSE(sheet->isSending());
  ui::AlertView::dismissAll();
  peer_->setFeedReply(socialpeers::FacebookPeer::FeedReply::ok);
  sheet->sendMessageBtnClick();
  clock.advance(1.0);
  ASSERT_TRUE(spinUntil([&] { return sheet->isClosed(); }));
  EXPECT_EQ(peer_->requestsTo("/12345/feed/").size(), 2u);
}

TEST_P(FaceBookSenderTest, ARefusedIdentityCheckShowsTheDialog) {
  storeSession("stale", 3600);
  auto sheet = open();
  ASSERT_TRUE(dialogShown(sheet));
  EXPECT_FALSE(sheet->isClosed());
}

TEST_P(FaceBookSenderTest, ACancelledDialogClosesTheSheet) {
  auto sheet = open();
  auto dialog = dialogShown(sheet);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(dialog->webView()->followLink("Cancel"));
  ASSERT_TRUE(spinUntil([&] { return sheet->isClosed(); }));
  EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
}

TEST_P(FaceBookSenderTest, LogoutRemovesTheStoredSessionAndTheSitesCookiesAndCloses) {
  auto sheet = open();
  auto dialog = dialogShown(sheet);
  logIn(dialog);
  ASSERT_TRUE(editorShown(sheet));
  ASSERT_TRUE(spinUntil([&] { return !dialog->superview(); }));
  auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
  ASSERT_FALSE(storage->cookiesForURL(*ns::URL::URLWithString(peer_->origin() + "/dialog/oauth")).empty());
  // The editor opened with the keyboard; Done lowers it and brings the top of the editor back.
  ASSERT_TRUE(sheet->messageField()->simulateReturnKey());
  ui::tap(sheet->logoutButton());
  ASSERT_TRUE(spinUntil([&] { return sheet->isClosed(); }));
  auto defaults = ns::UserDefaults::standardUserDefaults();
  EXPECT_TRUE(defaults->objectForKey(FaceBookSender::kAccessTokenKey).isNil());
  EXPECT_TRUE(defaults->objectForKey(FaceBookSender::kExpirationDateKey).isNil());
  EXPECT_TRUE(storage->cookiesForURL(*ns::URL::URLWithString(peer_->origin() + "/dialog/oauth")).empty());
}

INSTANTIATE_TEST_SUITE_P(Idioms, FaceBookSenderTest, ::testing::Values(true, false),
                         [](const auto& p) { return std::string(p.param ? "pad" : "phone"); });

// Identity replies the fake does not give: a server error and ids that must not become a path.
struct IdentityCase {
  std::string name;
  testsupport::Reply reply;
  bool editor;
};

// A tablet sheet with a stored session, whose graph requests go to a server of the test's own.
class FaceBookGraphSuite : public testsupport::ShareSheetSuite {
 protected:
  std::shared_ptr<FaceBookSender> openWithSession(const testsupport::LoopbackServer& graph,
                                                  const std::string& token) {
    environment_.set("VCC_FB_GRAPH_ORIGIN", graph.url(""));
    makeHost();
    storeSession(token, 3600);
    auto sheet = std::make_shared<FaceBookSender>()->initWithMessage(kMessage, kLink, "");
    host_->addSubview(sheet);
    sheet->loginToFacebook();
    return sheet;
  }

  testsupport::ScopedDevice device_{ui::DeviceProfile::tablet()};
};

class FaceBookIdentityTest : public FaceBookGraphSuite, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(FaceBookIdentityTest, OnlyAPlainIdOpensTheEditorAnythingElseAlertsAndCloses) {
  testsupport::LoopbackServer graph;
  graph.reply("/me", GetParam().reply);
  auto sheet = openWithSession(graph, "tok+en/=");
  ASSERT_TRUE(spinUntil([&] { return sheet->isClosed() || sheet->messageInputView(); }));
  EXPECT_EQ(graph.requestsTo("/me").at(0).params["access_token"], "tok+en/=");
  EXPECT_EQ(bool(sheet->messageInputView()), GetParam().editor);
  EXPECT_EQ(sheet->isClosed(), !GetParam().editor);
  if (!GetParam().editor) {
    EXPECT_EQ(alertText(), "Ошибка / Данные не отправлены на сервер / OK");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FaceBookIdentityTest,
    ::testing::Values(IdentityCase{"numeric_id", testsupport::Reply::json(R"({"id":12345})"), true},
                      IdentityCase{"text_id", testsupport::Reply::json(R"({"id":"abc_12"})"), true},
                      IdentityCase{"path_in_id", testsupport::Reply::json(R"({"id":"../me/x"})"), false},
                      IdentityCase{"query_in_id", testsupport::Reply::json(R"({"id":"1?x=2"})"), false},
                      IdentityCase{"no_id", testsupport::Reply::json(R"({"name":"x"})"), false},
                      IdentityCase{"server_error", testsupport::Reply::text("oops", 500), false}),
    [](const auto& p) { return p.param.name; });

// A feed whose answer has no end: the post stops at its bound, holding no more than that, with one
// log line, and the user sees the usual failure with the editor kept for another send.
class FaceBookFeedReplyTest : public FaceBookGraphSuite {};

TEST_F(FaceBookFeedReplyTest, AnEndlessFeedReplyFailsThePostAtItsBound) {
  testsupport::LoopbackServer graph;
  graph.reply("/me", testsupport::Reply::json(R"({"id":"12345"})"));
  graph.reply("/12345/feed/", testsupport::Reply::endless("application/json"));
  auto sheet = openWithSession(graph, "T");
  ASSERT_TRUE(spinUntil([&] { return sheet->messageInputView() != nullptr; }));
  testsupport::LogCapture log;
  testsupport::PeakMemoryGrowth memory;
  {
    ns::ManualClock clock;
    sheet->sendMessageBtnClick();
    clock.advance(FaceBookSender::kPostDelay);
  }
  ASSERT_TRUE(spinUntil([&] { return !ui::AlertView::visibleAlerts().empty(); }));
  EXPECT_EQ(alertText(), "Ошибка / Данные не отправлены на сервер / OK");
  EXPECT_FALSE(sheet->isClosed());
  EXPECT_FALSE(sheet->isSending());
  if (!testsupport::kSanitized) {
    EXPECT_LT(memory.megabytes(), 32);
  }
  EXPECT_TRUE(log.contains("The reply of " + graph.url("/12345/feed/") + " is longer than the " +
                           std::to_string(FaceBookSender::kMaxFeedReplyLength) + " bytes"))
      << testing::PrintToString(log.lines());
  EXPECT_TRUE(spinUntil([&] { return graph.disconnectsSeen() == 1; }));
}

}  // namespace
