// When the window draws: only when something it shows changes, as often as it moves while it
// moves, and never while all stands still; events posted to it are handled at once. A page of
// plain views in the window through SDL's offscreen driver, on the manual clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "App/ClientProgram.h"
#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/Button.h"
#include "UIKit/Label.h"
#include "UIKit/Screen.h"
#include "UIKit/SearchBar.h"
#include "UIKit/TextView.h"
#include "UIKit/ViewController.h"
#include "UIKit/WebView.h"
#include "UIKit/Window.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

namespace {

// 10 s into a minute, so that no minute of the status bar's turns within a test.
constexpr double kStart = 1'800'000'010;

class WindowFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("SDL_VIDEODRIVER")) previousDriver_ = old;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    clock_.emplace(kStart);
    open({"--window", "--device", "tablet", "--scale", "1"});
  }
  void TearDown() override {
    close();
    clock_.reset();
    if (previousDriver_)
      setenv("SDL_VIDEODRIVER", previousDriver_->c_str(), 1);
    else
      unsetenv("SDL_VIDEODRIVER");
  }

  // The window host over a key window holding a white page, launched and drawn once.
  void open(const std::vector<std::string>& arguments) {
    ClientOptions options;
    std::string error;
    ASSERT_TRUE(ClientOptions::parse(arguments, options, error)) << error;
    previousProfile_ = ui::Device::setProfile(options.device);
    ui::Application::sharedApplication()->reset();
    page_ = std::make_shared<ui::ViewController>()->init();
    page_->view()->setBackgroundColor(ui::Color::whiteColor());
    window_ = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
    window_->makeKeyAndVisible();
    window_->setRootViewController(page_);
    host_ = makeWindowHost(options, nullptr, error);
    ASSERT_TRUE(host_) << error;
    host_->applicationDidLaunch();
    settle();
    ASSERT_EQ(host_->framesDrawn(), 1u);
  }
  void close() {
    if (host_) host_->applicationDidExit(0);
    host_.reset();
    if (auto responder = ui::Responder::currentFirstResponder()) responder->resignFirstResponder();
    if (window_) window_->resignKeyWindow();
    window_.reset();
    page_.reset();
    ui::Application::sharedApplication()->reset();
    if (previousProfile_) ui::Device::setProfile(*previousProfile_);
    previousProfile_.reset();
  }

  // Lets the main run loop do what is due now, without the clock moving.
  static void settle() {
    auto loop = ns::RunLoop::mainRunLoop();
    while (loop->runOnce(0)) {
    }
  }
  // The pictures drawn while the clock runs on by `seconds` (stopping at every timer on the way).
  std::uint64_t framesOver(double seconds) {
    const auto before = host_->framesDrawn();
    clock_->advance(seconds);
    settle();
    return host_->framesDrawn() - before;
  }
  std::uint64_t framesFor(const std::function<void()>& change) {
    const auto before = host_->framesDrawn();
    change();
    settle();
    return host_->framesDrawn() - before;
  }

  std::optional<ns::ManualClock> clock_;
  std::shared_ptr<ClientWindowHost> host_;
  std::shared_ptr<ui::ViewController> page_;
  std::shared_ptr<ui::Window> window_;
  std::optional<ui::DeviceProfile> previousProfile_;
  std::optional<std::string> previousDriver_;
};

TEST_F(WindowFrameTest, AStillPageDrawsNothingAndAChangeDrawsOnePicture) {
  auto label = std::make_shared<ui::Label>()->initWithFrame({20, 40, 300, 30});
  EXPECT_EQ(framesFor([&] { page_->view()->addSubview(label); }), 1u);
  EXPECT_EQ(framesOver(30), 0u) << "nothing moves";
  EXPECT_EQ(framesFor([&] { label->setText("Фильмы"); }), 1u);
  EXPECT_EQ(framesFor([] {}), 0u);
  // Two changes in one turn of the loop: one picture.
  EXPECT_EQ(framesFor([&] {
              label->setText("Сериалы");
              label->setTextColor(ui::Color::redColor());
            }),
            1u);
  EXPECT_EQ(framesOver(10), 0u);
}

struct MotionCase {
  const char* name;
  // Sets something moving on the page; returns what stops it.
  std::function<std::function<void()>(ui::View& page)> start;
  double seconds;             // how long it is watched
  std::uint64_t least, most;  // pictures drawn meanwhile
};

void PrintTo(const MotionCase& c, std::ostream* os) { *os << c.name; }

class WindowMotionTest : public WindowFrameTest, public ::testing::WithParamInterface<MotionCase> {};

TEST_P(WindowMotionTest, WhatMovesIsDrawnWhileItMovesAndNothingAfter) {
  const MotionCase& c = GetParam();
  std::function<void()> stop;
  framesFor([&] { stop = c.start(*page_->view()); });
  const auto moving = framesOver(c.seconds);
  EXPECT_GE(moving, c.least);
  EXPECT_LE(moving, c.most);
  if (stop) {
    EXPECT_LE(framesFor(stop), 1u);
  }
  EXPECT_EQ(framesOver(5), 0u) << "still again";
}

std::shared_ptr<ui::ActivityIndicatorView> spinnerOn(ui::View& parent) {
  auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::gray);
  spinner->setCenter({100, 100});
  parent.addSubview(spinner);
  spinner->startAnimating();
  return spinner;
}

INSTANTIATE_TEST_SUITE_P(
    Motions, WindowMotionTest,
    ::testing::Values(
        // Twelve steps a second.
        MotionCase{"spinner",
                   [](ui::View& page) {
                     auto spinner = spinnerOn(page);
                     return [spinner] { spinner->stopAnimating(); };
                   },
                   2, 23, 25},
        MotionCase{"spinner_in_a_hidden_view",
                   [](ui::View& page) {
                     auto box = std::make_shared<ui::View>()->initWithFrame({0, 100, 200, 200});
                     page.addSubview(box);
                     auto spinner = spinnerOn(*box);
                     box->setHidden(true);
                     return [spinner] { spinner->stopAnimating(); };
                   },
                   2, 0, 0},
        // As often as the display draws, 60 times a second, for half a second.
        MotionCase{"animation",
                   [](ui::View& page) {
                     auto box = std::make_shared<ui::View>()->initWithFrame({0, 100, 50, 50});
                     box->setBackgroundColor(ui::Color::redColor());
                     page.addSubview(box);
                     ui::View::animateWithDuration(0.5, [box] { box->setFrame({200, 100, 50, 50}); });
                     return std::function<void()>();
                   },
                   1, 28, 32},
        // The status bar's spinner steps twelve times a second too.
        MotionCase{"network_activity",
                   [](ui::View&) {
                     ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(true);
                     return [] {
                       ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(false);
                     };
                   },
                   2, 23, 25},
        // In step: a page's spinner and the bar's turning together cost one picture a step.
        MotionCase{"spinner_and_network_activity",
                   [](ui::View& page) {
                     auto spinner = spinnerOn(page);
                     ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(true);
                     return [spinner] {
                       spinner->stopAnimating();
                       ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(false);
                     };
                   },
                   2, 23, 25},
        // The caret shows and hides for 0.53 s each.
        MotionCase{"caret",
                   [](ui::View& page) {
                     auto field = std::make_shared<ui::SearchBar>()->initWithFrame({0, 40, 300, 44});
                     page.addSubview(field);
                     field->becomeFirstResponder();
                     return [field] { field->resignFirstResponder(); };
                   },
                   2.2, 4, 4},
        MotionCase{"caret_in_a_text_view",
                   [](ui::View& page) {
                     auto text = std::make_shared<ui::TextView>()->initWithFrame({0, 40, 300, 100});
                     text->setText("Отзыв");
                     page.addSubview(text);
                     text->becomeFirstResponder();
                     return [text] { text->resignFirstResponder(); };
                   },
                   2.2, 4, 4}),
    [](const auto& p) { return std::string(p.param.name); });

// What the desktop erased over the window is drawn again whole when it says so, though nothing
// on the page changed.
TEST_F(WindowFrameTest, AnExposedWindowIsDrawnAgainWhole) {
  auto label = std::make_shared<ui::Label>()->initWithFrame({20, 40, 300, 30});
  label->setText("Фильмы");
  page_->view()->addSubview(label);
  settle();
  int width = 0, height = 0;
  std::vector<std::uint32_t> shown, erased, after;
  ASSERT_TRUE(host_->readPixels(width, height, shown));
  EXPECT_EQ(framesFor([&] {
              host_->postExpose();
              ASSERT_TRUE(host_->readPixels(width, height, erased));
            }),
            1u);
  ASSERT_TRUE(host_->readPixels(width, height, after));
  EXPECT_NE(erased, shown) << "the desktop erased the window";
  EXPECT_EQ(after, shown);
}

TEST_F(WindowFrameTest, TheStatusBarIsDrawnAgainWhenItsMinuteTurns) {
  EXPECT_EQ(framesOver(49.9), 0u);
  EXPECT_EQ(framesOver(0.2), 1u) << "10:01 where 10:00 was";
}

TEST_F(WindowFrameTest, PostedEventsAreHandledWithoutTheClockMoving) {
  // A click is a tap where it falls, shown at once.
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  button->setFrame({0, 400, 200, 100});
  int taps = 0;
  button->addTarget(
      nullptr,
      [&](ui::Control& sender) {
        ++taps;
        sender.setBackgroundColor(ui::Color::redColor());
      },
      ui::ControlEventTouchUpInside);
  auto field = std::make_shared<ui::SearchBar>()->initWithFrame({0, 40, 300, 44});
  page_->view()->addSubview(button);
  page_->view()->addSubview(field);
  settle();
  clock_->advance(1);
  settle();
  auto drawn = host_->framesDrawn();
  host_->postMouse(ClientWindowHost::Mouse::down, 100, 450);
  host_->postMouse(ClientWindowHost::Mouse::up, 100, 450);
  EXPECT_TRUE(testsupport::spinUntil([&] { return taps == 1 && host_->framesDrawn() > drawn; }, 10));
  EXPECT_EQ(host_->lastFrameTime(), kStart + 1) << "the clock did not move";

  // Keys are read as they come; the picture waits for the typing to pause.
  field->becomeFirstResponder();
  settle();
  drawn = host_->framesDrawn();
  host_->postText("поездк");
  host_->postKey(ClientWindowHost::Key::backspace);
  EXPECT_TRUE(testsupport::spinUntil([&] { return field->text() == "поезд"; }, 10));
  EXPECT_EQ(host_->framesDrawn(), drawn);
  EXPECT_EQ(framesOver(0.09), 0u);
  EXPECT_EQ(framesOver(0.02), 1u);
}

TEST_F(WindowFrameTest, TheWindowTakesTheLargestScaleThatFitsTheDisplay) {
  // The offscreen display is 1024 x 768 pixels; the window's frame takes 40 of them in height.
  struct Case {
    const char* device;
    double scale;
    int width, height;
  };
  for (const Case& c : {Case{"tablet", 0.7, 538, 717}, Case{"tablet-landscape", 0.9, 922, 691},
                        Case{"phone", 0.75, 480, 720}, Case{"phone-4in", 0.6, 384, 682}}) {
    close();
    open({"--window", "--device", c.device});
    EXPECT_DOUBLE_EQ(host_->windowScale(), c.scale) << c.device;
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    ASSERT_TRUE(host_->readPixels(width, height, pixels));
    EXPECT_EQ(width, c.width) << c.device;
    EXPECT_EQ(height, c.height) << c.device;
  }
}

struct EditCase {
  const char* name;
  const char* device;
  const char* scale;
  // Puts an input holding "абв где" on the page, with `start` where its text starts.
  std::function<std::shared_ptr<ui::View>(ui::View& page, testsupport::LoopbackServer& server,
                                          cg::Point& start)>
      make;
  std::function<std::string(ui::View& input)> text;
  // Whether the input's return key has done what it does.
  std::function<bool(ui::View& input, testsupport::LoopbackServer& server)> returned;
};

void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class WindowEditTest : public WindowFrameTest, public ::testing::WithParamInterface<EditCase> {
 protected:
  cg::Point pixels(ui::View& view, cg::Point at) const {
    const double perPoint = ui::Device::profile().scale * host_->windowScale();
    const cg::Point p = view.convertPointToView(at, window_.get());
    return {p.x * perPoint, p.y * perPoint};
  }
  // Where the caret is drawn, in window points: the columns that change as it blinks.
  std::optional<double> caretColumn() {
    int width = 0, height = 0;
    std::vector<std::uint32_t> on, off;
    framesOver(0.2);
    host_->readPixels(width, height, on);
    framesOver(0.5);
    host_->readPixels(width, height, off);
    std::optional<int> column;
    for (std::size_t i = 0; i < on.size() && i < off.size(); ++i)
      if (on[i] != off[i] && (!column || int(i % width) < *column)) column = int(i % width);
    if (!column) return std::nullopt;
    return *column / (ui::Device::profile().scale * host_->windowScale());
  }
};

// Keys and clicks reach the input through the window, as the window system sends them.
TEST_P(WindowEditTest, ClicksPlaceTheCaretAndKeysTypeMoveDeleteAndReturnAtIt) {
  const EditCase& c = GetParam();
  close();
  open({"--window", "--device", c.device, "--scale", c.scale});
  testsupport::LoopbackServer server;
  cg::Point start;
  auto input = c.make(*page_->view(), server, start);
  ASSERT_TRUE(input);
  settle();
  const cg::Point textStart = input->convertPointToView(start, window_.get());
  // A click just inside the text's start puts the caret before its first character.
  const cg::Point click = pixels(*input, {start.x + 1, start.y + 6});
  host_->postMouse(ClientWindowHost::Mouse::down, click.x, click.y);
  host_->postMouse(ClientWindowHost::Mouse::up, click.x, click.y);
  settle();
  ASSERT_TRUE(input->isFirstResponder());
  using Key = ClientWindowHost::Key;
  host_->postText("X");
  for (Key key : {Key::right, Key::right, Key::backspace, Key::deleteKey, Key::end}) host_->postKey(key);
  host_->postText("!");
  settle();
  EXPECT_EQ(c.text(*input), "Xа где!");
  auto end = caretColumn();
  ASSERT_TRUE(end) << "the caret blinks";
  EXPECT_GT(*end, textStart.x + 20) << "after the text";
  host_->postKey(Key::home);
  host_->postKey(Key::deleteKey);
  settle();
  EXPECT_EQ(c.text(*input), "а где!");
  auto home = caretColumn();
  ASSERT_TRUE(home);
  EXPECT_NEAR(*home, textStart.x, 2) << "before the text";
  host_->postKey(Key::returnKey);
  EXPECT_TRUE(testsupport::spinUntil([&] { return c.returned(*input, server); }, 30));
}

std::shared_ptr<ui::View> textViewOn(ui::View& page, testsupport::LoopbackServer&, cg::Point& start) {
  auto text = std::make_shared<ui::TextView>()->initWithFrame({10, 70, 300, 100});
  text->setText("абв где");
  page.addSubview(text);
  start = {8, 8};
  return text;
}

std::shared_ptr<ui::View> webFormOn(ui::View& page, testsupport::LoopbackServer& server, cg::Point& start) {
  server.reply("/login", testsupport::Reply::text("ok"));
  testsupport::Reply form = testsupport::Reply::text(
      R"(<form method="post" action="/login"><input type="text" name="email" value="абв где">)"
      R"(<input type="submit" name="go" value="Go"></form>)");
  form.contentType = "text/html; charset=utf-8";
  server.reply("/page", form);
  auto web = std::make_shared<ui::WebView>()->initWithFrame({10, 70, 300, 200});
  page.addSubview(web);
  web->loadRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(server.url("/page"))));
  if (!testsupport::spinUntil([&] { return !web->isLoading() && !web->page().fields.empty(); }, 30))
    return nullptr;
  // The field's box, and its text inside its padding.
  start = {8 + 4, 8 + 4};
  return web;
}

std::string webFieldText(ui::View& input) {
  auto& web = static_cast<ui::WebView&>(input);
  return web.page().fields.empty() ? "" : web.page().fields[0].value;
}

bool formPosted(ui::View&, testsupport::LoopbackServer& server) {
  auto posted = server.requestsTo("/login");
  return posted.size() == 1 && posted[0].body == "email=%D0%B0+%D0%B3%D0%B4%D0%B5%21&go=Go";
}

struct Searches : ui::SearchBarDelegate {
  int searched = 0;
  void searchBarSearchButtonClicked(ui::SearchBar&) override { ++searched; }
};

const std::shared_ptr<Searches> searches = std::make_shared<Searches>();

std::shared_ptr<ui::View> searchFieldOn(ui::View& page, testsupport::LoopbackServer&, cg::Point& start) {
  searches->searched = 0;
  auto field = std::make_shared<ui::SearchBar>()->initWithFrame({10, 70, 300, 44});
  field->setText("абв где");
  field->setDelegate(searches);
  page.addSubview(field);
  start = {field->searchFieldRect().x() + 26, 15};
  return field;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, WindowEditTest,
    ::testing::Values(
        // A text view's return is a line break where the caret is.
        EditCase{"text_view_tablet", "tablet", "1", textViewOn,
                 [](ui::View& v) { return static_cast<ui::TextView&>(v).text(); },
                 [](ui::View& v, auto&) { return static_cast<ui::TextView&>(v).text() == "\nа где!"; }},
        EditCase{"text_view_phone", "phone", "0.75", textViewOn,
                 [](ui::View& v) { return static_cast<ui::TextView&>(v).text(); },
                 [](ui::View& v, auto&) { return static_cast<ui::TextView&>(v).text() == "\nа где!"; }},
        // A web form's field posts the form as its submit button does.
        EditCase{"web_field_tablet", "tablet", "1", webFormOn, webFieldText, formPosted},
        EditCase{"web_field_phone", "phone", "0.75", webFormOn, webFieldText, formPosted},
        EditCase{"search_field_phone", "phone", "0.75", searchFieldOn,
                 [](ui::View& v) { return static_cast<ui::SearchBar&>(v).text(); },
                 [](ui::View&, auto&) { return searches->searched == 1; }}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
