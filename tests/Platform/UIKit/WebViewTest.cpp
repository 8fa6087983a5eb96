// The headless web view against a real server on the loopback: when it asks its delegate and with
// which navigation type, redirects and fragments, failures, cookies and the page it reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/URLRequest.h"
#include "UIKit/WebView.h"
#include "support/LoopbackServer.h"
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

}  // namespace
