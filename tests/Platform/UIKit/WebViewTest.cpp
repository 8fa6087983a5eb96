// The headless web view against a real server on the loopback: when it asks its delegate and with
// which navigation type, redirects and fragments, failures, cookies and the page it reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/URLLoader.h"
#include "Foundation/URLRequest.h"
#include "ScreenTestSupport.h"
#include "UIKit/DamageTracker.h"
#include "UIKit/SystemNotifications.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/WebView.h"
#include "support/CompressedBody.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/MemoryGrowth.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::RecordedRequest;
using testsupport::Reply;
using Type = ui::WebViewNavigationType;

const char* typeName(Type type) {
  switch (type) {
    case Type::linkClicked:
      return "link";
    case Type::formSubmitted:
      return "form";
    case Type::other:
      return "other";
    default:
      return "?";
  }
}

// Records every delegate call as one line; refuses URLs that start with a prefix it is given.
struct Recorder : ui::WebViewDelegate {
  std::vector<std::string> calls;
  std::vector<std::string> refuse;
  int finished = 0;
  int failed = 0;
  bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequestPtr& request, Type type) override {
    std::string url = request->URL()->absoluteString();
    calls.push_back(std::string("ask ") + typeName(type) + " " + request->HTTPMethod() + " " + url);
    for (const auto& prefix : refuse)
      if (url.rfind(prefix, 0) == 0) return false;
    return true;
  }
  void webViewDidStartLoad(ui::WebView&) override { calls.push_back("start"); }
  void webViewDidFinishLoad(ui::WebView& view) override {
    calls.push_back("finish " + view.request()->URL()->absoluteString());
    ++finished;
  }
  void webViewDidFailLoadWithError(ui::WebView&, const ns::ErrorPtr& error) override {
    calls.push_back("fail " + error->domain() + " " + std::to_string(error->code()));
    ++failed;
  }
};

const char* kLoginPage = R"(<!DOCTYPE html>
<html><head><title> Log   in </title><script>var x = "<b>no</b>";</script></head>
<body><h1>Welcome</h1><p>Please <b>sign</b> in.</p>
<form method="post" action="/login?next=1">
  <input type="hidden" name="csrf" value="abc">
  <input type="text" name="email">
  <input type="password" name="pass" value="">
  <input type="checkbox" name="remember" value="yes">
  <input type="submit" name="login" value="Log In">
</form>
<form action="search"><input name="q" value="a b"><button type="submit">Find</button></form>
<a href="/help">Help &amp; more</a> <a href="fbconnect://cancel?error_code=190&amp;error_msg=x">Cancel</a>
</body></html>)";

class WebViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clearCookies();
    view_ = std::make_shared<ui::WebView>()->initWithFrame({0, 0, 320, 480});
    view_->setDelegate(recorder_);
    server_.on("/page", [](const RecordedRequest&) {
      Reply r = Reply::text(kLoginPage);
      r.contentType = "text/html; charset=utf-8";
      return r;
    });
  }
  void TearDown() override { clearCookies(); }
  static void clearCookies() {
    auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
    for (const auto& cookie : storage->cookies()) storage->deleteCookie(cookie);
  }

  void load(const std::string& url, int finishedOrFailed = 1) {
    view_->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(url)));
    waitFor(finishedOrFailed);
  }
  void waitFor(int finishedOrFailed) {
    ASSERT_TRUE(
        testsupport::spinUntil([&] { return recorder_->finished + recorder_->failed >= finishedOrFailed; }));
  }

  testsupport::LoopbackServer server_;
  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
  std::shared_ptr<ui::WebView> view_;
};

TEST_F(WebViewTest, ReadsTitleTextLinksAndFormsOfThePage) {
  load(server_.url("/page"));
  const ui::WebPage& page = view_->page();
  EXPECT_EQ(page.title, "Log in");
  EXPECT_EQ(page.text, "Welcome\nPlease sign in.\nLog In\nFind\nHelp & more Cancel");
  ASSERT_EQ(page.links.size(), 2u);
  EXPECT_EQ(page.links[0].href, server_.url("/help"));
  EXPECT_EQ(page.links[1].href, "fbconnect://cancel?error_code=190&error_msg=x");
  ASSERT_EQ(page.forms.size(), 2u);
  EXPECT_EQ(page.forms[0].method, "POST");
  EXPECT_EQ(page.forms[0].action, server_.url("/login?next=1"));
  EXPECT_EQ(page.forms[1].method, "GET");
  EXPECT_EQ(page.forms[1].action, server_.url("/search"));
  std::vector<std::string> fields;
  for (const auto& field : page.fields)
    fields.push_back(field.name + ":" + field.type + ":" + std::to_string(field.form));
  EXPECT_EQ(fields,
            (std::vector<std::string>{"csrf:hidden:0", "email:text:0", "pass:password:0", "q:text:1"}));
  ASSERT_EQ(page.buttons.size(), 2u);
  EXPECT_EQ(page.buttons[0].value, "Log In");
  EXPECT_EQ(page.buttons[1].value, "Find");

  EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.title"), "Log in");
  EXPECT_EQ(view_->stringByEvaluatingJavaScriptFromString("document.body.setAttribute('orientation', 90);"),
            "");
  EXPECT_EQ(view_->evaluatedScripts(),
            std::vector<std::string>{"document.body.setAttribute('orientation', 90);"});
}

TEST_F(WebViewTest, AsksBeforeEveryLoadRedirectLinkAndFormWithItsType) {
  server_.reply("/go", Reply::redirect("/page"));
  server_.reply("/help", Reply::text("help"));
  server_.reply("/login", Reply::text("done"));
  load(server_.url("/go"));
  ASSERT_TRUE(view_->followLink("Help & more"));
  waitFor(2);
  load(server_.url("/page"), 3);
  ASSERT_TRUE(view_->fillField("email", "me@example.com"));
  ASSERT_TRUE(view_->pressButton("Log In"));
  waitFor(4);
  EXPECT_EQ(recorder_->calls,
            (std::vector<std::string>{
                "ask other GET " + server_.url("/go"), "start", "ask other GET " + server_.url("/page"),
                "finish " + server_.url("/page"), "ask link GET " + server_.url("/help"), "start",
                "finish " + server_.url("/help"), "ask other GET " + server_.url("/page"), "start",
                "finish " + server_.url("/page"), "ask form POST " + server_.url("/login?next=1"), "start",
                "finish " + server_.url("/login?next=1")}));
  auto posted = server_.requestsTo("/login");
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].body, "csrf=abc&email=me%40example.com&pass=&login=Log+In");
  EXPECT_EQ(view_->request()->HTTPMethod(), "POST");
}

TEST_F(WebViewTest, AGetFormPutsItsFieldsIntoTheQuery) {
  server_.reply("/search", Reply::text("results"));
  load(server_.url("/page"));
  ASSERT_TRUE(view_->pressButton("Find"));
  waitFor(2);
  EXPECT_EQ(view_->request()->URL()->absoluteString(), server_.url("/search?q=a+b"));
  EXPECT_FALSE(view_->pressButton("Missing"));
  EXPECT_FALSE(view_->fillField("missing", "x"));
  EXPECT_FALSE(view_->followLink("Missing"));
}

TEST_F(WebViewTest, ARedirectWithoutAFragmentKeepsThePreviousOne) {
  server_.reply("/a", Reply::redirect("/b"));
  server_.reply("/b", Reply::redirect("/c#own"));
  server_.reply("/c", Reply::redirect("/d"));
  server_.reply("/d", Reply::text("end"));
  load(server_.url("/a#first"));
  EXPECT_EQ(recorder_->calls,
            (std::vector<std::string>{
                "ask other GET " + server_.url("/a#first"), "start",
                "ask other GET " + server_.url("/b#first"), "ask other GET " + server_.url("/c#own"),
                "ask other GET " + server_.url("/d#own"), "finish " + server_.url("/d#own")}));
  EXPECT_EQ(view_->page().text, "end");
}

TEST_F(WebViewTest, AnyStatusFinishesTheLoad) {
  server_.reply("/missing", Reply::text("<html><head><title>Not here</title></head></html>", 404));
  load(server_.url("/missing"));
  EXPECT_EQ(recorder_->finished, 1);
  EXPECT_EQ(view_->page().title, "Not here");
  EXPECT_FALSE(view_->isLoading());
}

TEST_F(WebViewTest, OtherSchemesAreAskedAboutButNeverFetched) {
  server_.reply("/login", Reply::redirect("fbconnect://success#access_token=T"));
  recorder_->refuse = {"fbconnect:"};
  load(server_.url("/page"));
  ASSERT_TRUE(view_->pressButton("Log In"));
  waitFor(2);
  // A refused redirect interrupts the load.
  EXPECT_EQ(recorder_->calls.back(), "fail WebKitErrorDomain 102");
  EXPECT_EQ(recorder_->calls[recorder_->calls.size() - 2],
            "ask other GET fbconnect://success#access_token=T");
  EXPECT_FALSE(view_->isLoading());

  // A refused link does nothing at all; an allowed one is still not fetched.
  std::size_t asked = recorder_->calls.size();
  ASSERT_TRUE(view_->followLink("Cancel"));
  EXPECT_EQ(recorder_->calls.size(), asked + 1);
  EXPECT_EQ(recorder_->calls.back(), "ask link GET fbconnect://cancel?error_code=190&error_msg=x");
  recorder_->refuse.clear();
  load("fbconnect://cancel", 3);
  EXPECT_EQ(recorder_->calls.back(), "fail WebKitErrorDomain 101");
  EXPECT_EQ(server_.requestCount(), 2u);  // the page and the form
}

TEST_F(WebViewTest, ARefusedFirstLoadStartsNothing) {
  recorder_->refuse = {server_.url("/")};
  view_->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(server_.url("/page"))));
  EXPECT_FALSE(view_->isLoading());
  EXPECT_EQ(recorder_->calls.size(), 1u);
  EXPECT_EQ(view_->request(), nullptr);
}

TEST_F(WebViewTest, ANewLoadFailsTheRunningOneAsCancelled) {
  Reply slow = Reply::text("slow");
  slow.delaySeconds = 2;
  server_.reply("/slow", slow);
  view_->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(server_.url("/slow"))));
  ASSERT_TRUE(view_->isLoading());
  load(server_.url("/page"), 2);
  EXPECT_EQ(recorder_->calls,
            (std::vector<std::string>{"ask other GET " + server_.url("/slow"), "start",
                                      "ask other GET " + server_.url("/page"), "fail NSURLErrorDomain -999",
                                      "start", "finish " + server_.url("/page")}));
  view_->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(server_.url("/slow"))));
  view_->stopLoading();
  EXPECT_EQ(recorder_->calls.back(), "fail NSURLErrorDomain -999");
  EXPECT_FALSE(view_->isLoading());
}

TEST_F(WebViewTest, APagesCookieGoesWithItsFormPost) {
  server_.on("/page", [](const RecordedRequest&) {
    Reply r = Reply::text(kLoginPage);
    r.contentType = "text/html";
    r.headers.push_back({"Set-Cookie", "session=s1; Path=/"});
    return r;
  });
  server_.reply("/login", Reply::text("ok"));
  load(server_.url("/page"));
  ASSERT_TRUE(view_->pressButton("login"));
  waitFor(2);
  auto posted = server_.requestsTo("/login");
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].header("Cookie"), "session=s1");
  EXPECT_EQ(posted[0].header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(WebViewTest, ConnectionFailuresReachTheDelegate) {
  int closedPort = 0;
  {
    testsupport::LoopbackServer closed;
    closedPort = closed.port();
  }
  load("http://127.0.0.1:" + std::to_string(closedPort) + "/");
  EXPECT_EQ(recorder_->calls.back(), "fail NSURLErrorDomain -1004");
}

// A body longer than a page may be, announced, with no end in sight or inflating past it, fails the
// load at the bound with -1103 and one log line, having decoded no more than the bound and one read;
// a page of exactly the bound loads.
TEST_F(WebViewTest, APageLongerThanTheBoundFailsTheLoadThere) {
  auto generated = [](std::size_t length) {
    Reply r;
    r.contentType = "text/html";
    r.generatedLength = length;
    r.generatedByte = [](std::size_t offset) { return static_cast<char>('a' + offset % 26); };
    return r;
  };
  const auto bound = static_cast<std::size_t>(ui::WebView::kMaxPageLength);
  struct Case {
    std::string path;
    Reply reply;
    bool loads;
  };
  const Case cases[] = {
      {"/endless", Reply::endless("text/html"), false},
      {"/gzip", testsupport::gzippedZerosReply("text/html"), false},
      {"/announced", generated(bound + 1), false},
      {"/at-bound", generated(bound), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    server_.reply(c.path, c.reply);
    recorder_ = std::make_shared<Recorder>();
    view_->setDelegate(recorder_);
    testsupport::LogCapture log;
    testsupport::PeakMemoryGrowth memory;
    std::int64_t before = ns::URLLoader::shared().decodedBodyBytes();
    load(server_.url(c.path));
    EXPECT_LE(ns::URLLoader::shared().decodedBodyBytes() - before,
              ui::WebView::kMaxPageLength + ns::URLLoader::kReadBytes);
    EXPECT_FALSE(view_->isLoading());
    if (c.loads) {
      EXPECT_EQ(recorder_->calls.back(), "finish " + server_.url(c.path));
      EXPECT_EQ(view_->page().text.size(), bound);
      continue;
    }
    EXPECT_EQ(recorder_->calls.back(), "fail NSURLErrorDomain -1103");
    EXPECT_TRUE(log.contains("The reply of " + server_.url(c.path) + " is longer than the " +
                             std::to_string(ui::WebView::kMaxPageLength) + " bytes"))
        << testing::PrintToString(log.lines());
    if (!testsupport::kSanitized) {
      EXPECT_LT(memory.megabytes(), 32);
    }
  }
  // The endless body's connection was closed, not left to run.
  EXPECT_TRUE(testsupport::spinUntil([&] { return server_.disconnectsSeen() >= 1; }));
}

TEST_F(WebViewTest, DumpShowsTitleAddressWithoutQueryOrFragmentAndFieldNames) {
  load(server_.url("/page?token=secret#frag"));
  std::string line;
  view_->appendDumpAttributes(line);
  EXPECT_EQ(line, " title=\"Log in\" url=" + server_.url("/page") + " fields=email,pass,q");
}

TEST(WebPageTest, MalformedAndDeeplyNestedMarkupIsReadAsFarAsItGoes) {
  auto view = std::make_shared<ui::WebView>()->initWithFrame({0, 0, 10, 10});
  testsupport::LoopbackServer server;
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<div>";
  deep += "deep</div><a href='x'>unclosed";
  server.reply("/deep", Reply::text("<title>T</title><p>one<p>two" + deep));
  auto recorder = std::make_shared<Recorder>();
  view->setDelegate(recorder);
  view->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(server.url("/deep"))));
  ASSERT_TRUE(testsupport::spinUntil([&] { return recorder->finished == 1; }));
  EXPECT_EQ(view->page().title, "T");
  EXPECT_EQ(view->page().text.rfind("one\ntwo", 0), 0u);
}

// The boxes of one kind and element, in order.
std::vector<ui::WebView::Box> boxesOf(const ui::WebView& view, ui::WebPage::Item::Kind kind,
                                      std::size_t index) {
  std::vector<ui::WebView::Box> out;
  for (const auto& box : view.pageLayout())
    if (box.kind == kind && box.index == index) out.push_back(box);
  return out;
}

cg::Point centre(const cg::Rect& r) { return {r.x() + r.width() / 2, r.y() + r.height() / 2}; }

TEST_F(WebViewTest, TouchesFollowLinksFocusFieldsForTypingAndPressButtons) {
  server_.reply("/login", Reply::text("ok"));
  load(server_.url("/page"));
  std::vector<std::string> keyboard;
  auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
      "", ns::Value(), [&](const ns::Notification& n) {
        if (n.name == ui::kKeyboardWillShowNotification) keyboard.push_back("show");
        if (n.name == ui::kKeyboardWillHideNotification) keyboard.push_back("hide");
      });

  // Fields: the e-mail, then the password; the keyboard stays up between them.
  auto email = boxesOf(*view_, ui::WebPage::Item::Kind::field, 1);
  auto pass = boxesOf(*view_, ui::WebPage::Item::Kind::field, 2);
  ASSERT_EQ(email.size(), 1u);
  ASSERT_EQ(pass.size(), 1u);
  EXPECT_TRUE(boxesOf(*view_, ui::WebPage::Item::Kind::field, 0).empty());  // hidden
  EXPECT_FALSE(view_->simulateTyping("x"));
  ui::tapAtPoint(view_, centre(email[0].rect));
  EXPECT_TRUE(view_->isFirstResponder());
  EXPECT_TRUE(view_->simulateTyping("me@example.com"));
  ui::tapAtPoint(view_, centre(pass[0].rect));
  EXPECT_EQ(view_->focusedField(), 2u);
  EXPECT_TRUE(view_->simulateTyping("пароль"));
  EXPECT_EQ(boxesOf(*view_, ui::WebPage::Item::Kind::field, 2)[0].text, "••••••");
  EXPECT_EQ(boxesOf(*view_, ui::WebPage::Item::Kind::field, 1)[0].text, "me@example.com");
  EXPECT_EQ(keyboard, std::vector<std::string>{"show"});

  // Outside everything: the keyboard goes.
  ui::tapAtPoint(view_, {310, 470});
  EXPECT_FALSE(view_->isFirstResponder());
  EXPECT_EQ(keyboard, (std::vector<std::string>{"show", "hide"}));

  // The button posts what was typed.
  auto button = boxesOf(*view_, ui::WebPage::Item::Kind::button, 0);
  ASSERT_EQ(button.size(), 1u);
  ui::tapAtPoint(view_, centre(button[0].rect));
  waitFor(2);
  auto posted = server_.requestsTo("/login");
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].body,
            "csrf=abc&email=me%40example.com&pass=%D0%BF%D0%B0%D1%80%D0%BE%D0%BB%D1%8C&login=Log+In");

  // A link's words each follow it.
  load(server_.url("/page"), 3);
  auto help = boxesOf(*view_, ui::WebPage::Item::Kind::link, 0);
  ASSERT_EQ(help.size(), 3u);  // "Help", "&", "more"
  recorder_->calls.clear();
  ui::tapAtPoint(view_, centre(help[2].rect));
  ASSERT_FALSE(recorder_->calls.empty());
  EXPECT_EQ(recorder_->calls[0], "ask link GET " + server_.url("/help"));
  ns::NotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(WebViewTest, DrawsAWhitePageBoldTitleBlueLinksAndGreyButtons) {
  load(server_.url("/page"));
  auto image = ui::renderView(view_, 1);
  ASSERT_TRUE(image);
  auto has = [&](const cg::Rect& r, auto predicate) {
    for (int y = int(r.y()); y < int(r.maxY()); ++y)
      for (int x = int(r.x()); x < int(r.maxX()); ++x)
        if (predicate(image->colorAt(x, y))) return true;
    return false;
  };
  auto close = [](double a, double b) { return std::abs(a - b) < 0.02; };
  cg::Color corner = image->colorAt(2, 2);
  EXPECT_TRUE(close(corner.red, 1) && close(corner.green, 1) && close(corner.blue, 1) &&
              close(corner.alpha, 1));
  auto layout = view_->pageLayout();
  ASSERT_FALSE(layout.empty());
  EXPECT_EQ(layout[0].text, "Log in");
  EXPECT_TRUE(has(layout[0].rect, [&](cg::Color c) { return c.red < 0.2 && c.green < 0.2 && c.blue < 0.2; }));
  auto link = boxesOf(*view_, ui::WebPage::Item::Kind::link, 0)[0].rect;
  EXPECT_TRUE(has(link, [&](cg::Color c) { return c.blue > 0.6 && c.red < 0.3 && c.green < 0.3; }));
  auto button = boxesOf(*view_, ui::WebPage::Item::Kind::button, 0)[0].rect;
  cg::Color grey = image->colorAt(int(button.x()) + 1, int(button.y()) + 1);
  EXPECT_TRUE(close(grey.red, 0.85) && close(grey.blue, 0.85));
  // Every box lies inside the page's width.
  for (const auto& box : layout) EXPECT_LE(box.rect.maxX(), 320 - 8 + 0.001) << box.text;
}

// The focused field's caret blinks over the page: each blink draws the field again, not the page.
TEST_F(WebViewTest, TheCaretsBlinkDrawsOnlyTheFocusedFieldAgain) {
  testsupport::ScreenScope screen;
  auto root = std::make_shared<ui::ViewController>()->init();
  auto window = screen.showWindow(root);
  root->view()->addSubview(view_);
  load(server_.url("/page"));
  const cg::Rect email = boxesOf(*view_, ui::WebPage::Item::Kind::field, 1).at(0).rect;
  ui::tapAtPoint(window, view_->convertPointToView(centre(email), window.get()));
  ASSERT_EQ(view_->focusedField(), 1u);
  ui::DamageTracker tracker;
  ui::Window::layoutKeyWindow();
  tracker.damage(*window, std::nullopt, 1);
  double drawn = 0;
  for (bool on : {false, true}) {
    ui::setCaretBlinkOn(on);
    for (const auto& r : tracker.damage(*window, std::nullopt, 1)) drawn += double(r.width) * r.height;
  }
  EXPECT_GT(drawn, 0);
  EXPECT_LE(drawn, 2 * 2 * (email.width() + 8) * (email.height() + 8));
  view_->removeFromSuperview();
}

}  // namespace
