// Pushes, pops and modal presentations animated on the screen: presentation renders part of the
// way show both pages sliding while the model, the dumps and the touches are in the end state at
// once, and the page that left is let go when its slide ends.
#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Layer.h"
#include "ScreenTestSupport.h"
#include "UIKit/NavigationController.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "support/CaseName.h"

namespace {

using Log = std::vector<std::string>;

// The colours the pages are painted in, as a picture's pixels are told apart.
enum class Paint { red, green, blue, other };

Paint paintAt(const cg::ImagePtr& picture, int x, int y) {
  cg::Color c = picture->colorAt(x, y);
  if (c.red > 0.9 && c.green < 0.1 && c.blue < 0.1) return Paint::red;
  if (c.green > 0.9 && c.red < 0.1 && c.blue < 0.1) return Paint::green;
  if (c.blue > 0.9 && c.red < 0.1 && c.green < 0.1) return Paint::blue;
  return Paint::other;
}

constexpr double kScale = 0.25;

// A tablet window whose root is a navigation controller over a red root page; a green and a blue
// page stand ready.
struct Stage {
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  std::shared_ptr<Log> log = std::make_shared<Log>();
  std::shared_ptr<ui::ViewController> root = page("root", ui::Color::redColor());
  std::shared_ptr<ui::ViewController> middle = page("middle", ui::Color(cg::Color::rgba(0, 1, 0)));
  std::shared_ptr<ui::ViewController> top = page("top", ui::Color::blueColor());
  std::shared_ptr<ui::NavigationController> nav =
      std::make_shared<ui::NavigationController>()->initWithRootViewController(root);
  std::shared_ptr<ui::Window> window;
  bool completed = false;

  Stage() {
    nav->setNavigationBarHidden(true);
    window = screen.showWindow(nav);
  }
  std::shared_ptr<ui::ViewController> page(const std::string& name, const ui::Color& color) {
    auto p = testsupport::probe(name, log);
    p->view()->setBackgroundColor(color);
    return p;
  }
  std::shared_ptr<ui::View> viewPainted(Paint paint) const {
    return (paint == Paint::red ? root : paint == Paint::green ? middle : top)->view();
  }
  cg::ImagePtr picture(std::optional<double> time) const {
    return ui::renderView(window, ui::RenderOptions{kScale, time});
  }
  static void settle() { ns::RunLoop::mainRunLoop()->runOnce(0); }
};

// Along a line across the window (a row at y 500, or a column at x 400 for vertical slides):
// the paint at its start, where that paint ends (in points; the line's length when it does not),
// and the paint beyond.
struct Split {
  Paint near, far;
  double edge;
};

Split splitAlong(const cg::ImagePtr& picture, bool vertical) {
  int length = vertical ? picture->pixelHeight() : picture->pixelWidth();
  auto at = [&](int i) {
    return vertical ? paintAt(picture, int(400 * kScale), i) : paintAt(picture, i, int(500 * kScale));
  };
  // The status bar covers the top of a column.
  int first = vertical ? int(30 * kScale) : 0;
  Split split{at(first), at(first), length / kScale};
  for (int i = first; i < length; ++i) {
    if (at(i) == split.near) continue;
    // Past the pixel that the edge may share between the two.
    split.far = at(std::min(i + 1, length - 1));
    split.edge = i / kScale;
    break;
  }
  return split;
}

struct TransitionCase {
  const char* name;
  void (*setUp)(Stage&);
  void (*change)(Stage&);
  double duration;
  bool vertical;
  Paint near, far;  // either side of the edge while it slides
  Paint end;        // the page that is there when it has
  // Where the edge is a quarter of the way through the time (the ease-in-out curve is 12.9 % of
  // the way then); at half time it is half-way across.
  double quarterEdge;
  // Whether the page that leaves goes from memory with the slide (nothing else holds it).
  bool leaverGoes;
};

void nothing(Stage&) {}

const TransitionCase kTransitions[] = {
    {"push", nothing, [](Stage& s) { s.nav->pushViewController(s.top, true); },
     ui::NavigationController::kTransitionDuration, false, Paint::red, Paint::blue, Paint::blue,
     768 * (1 - 0.1292), false},
    {"pop", [](Stage& s) { s.nav->pushViewController(s.top, false); },
     [](Stage& s) { s.nav->popViewControllerAnimated(true); }, ui::NavigationController::kTransitionDuration,
     false, Paint::red, Paint::blue, Paint::red, 768 * 0.1292, true},
    {"pop to the root past a page never shown",
     [](Stage& s) {
       s.nav->pushViewController(s.middle, false);
       s.nav->pushViewController(s.top, false);
     },
     [](Stage& s) { s.nav->popToRootViewControllerAnimated(true); },
     ui::NavigationController::kTransitionDuration, false, Paint::red, Paint::blue, Paint::red, 768 * 0.1292,
     true},
    {"present", nothing,
     [](Stage& s) { s.nav->presentViewController(s.top, true, [&s] { s.completed = true; }); },
     ui::ViewController::kPresentationDuration, true, Paint::red, Paint::blue, Paint::blue,
     1024 * (1 - 0.1292), false},
    {"dismiss",
     [](Stage& s) {
       s.nav->presentViewController(s.top, false);
       Stage::settle();
     },
     [](Stage& s) { s.nav->dismissViewControllerAnimated(true, [&s] { s.completed = true; }); },
     ui::ViewController::kPresentationDuration, true, Paint::red, Paint::blue, Paint::red, 1024 * 0.1292,
     true},
};

class TransitionTest : public ::testing::TestWithParam<TransitionCase> {};

TEST_P(TransitionTest, TheScreenShowsThePagesSlidingWhileTheModelIsInItsEndState) {
  const TransitionCase& c = GetParam();
  Stage stage;
  c.setUp(stage);
  const bool modal = c.vertical;
  std::weak_ptr<ui::View> leaver = stage.viewPainted(c.end == Paint::red ? Paint::blue : Paint::red);
  c.change(stage);
  if (c.leaverGoes) stage.top.reset();
  stage.middle.reset();
  const std::string endDump = ui::dumpViewTree(stage.window);

  stage.clock.advance(c.duration / 4);
  Split quarter = splitAlong(stage.picture(stage.clock.now()), c.vertical);
  EXPECT_EQ(quarter.near, c.near);
  EXPECT_EQ(quarter.far, c.far);
  EXPECT_NEAR(quarter.edge, c.quarterEdge, 6);

  stage.clock.advance(c.duration / 4);
  Split half = splitAlong(stage.picture(stage.clock.now()), c.vertical);
  EXPECT_EQ(half.near, c.near);
  EXPECT_EQ(half.far, c.far);
  EXPECT_NEAR(half.edge, c.vertical ? 512 : 384, 6);
  Split model = splitAlong(stage.picture(std::nullopt), c.vertical);
  EXPECT_EQ(model.near, c.end) << "a model picture shows the end";
  EXPECT_EQ(model.far, c.end);
  EXPECT_EQ(ui::dumpViewTree(stage.window), endDump) << "the dump is in the end state at once";
  auto endView = stage.viewPainted(c.end);
  for (cg::Point p : {cg::Point{100, 500}, cg::Point{700, 500}, cg::Point{400, 100}, cg::Point{400, 1000}}) {
    auto hit = stage.window->hitTest(p, nullptr);
    EXPECT_TRUE(hit && hit->isDescendantOfView(endView.get())) << "touches go to the end's page only";
  }
  EXPECT_EQ(ui::nextPresentationChange(*stage.window, stage.clock.now()), stage.clock.now());
  EXPECT_FALSE(leaver.expired()) << "the screen still draws the page that leaves";
  EXPECT_FALSE(stage.completed);

  auto generation = cg::displayGeneration();
  stage.clock.advance(c.duration / 2 + 0.01);
  EXPECT_EQ(stage.completed, modal) << "a presentation's completion runs once its time has passed";
  EXPECT_EQ(ui::nextPresentationChange(*stage.window, stage.clock.now()), std::nullopt);
  EXPECT_NE(cg::displayGeneration(), generation) << "the end asks for its last picture";
  Split done = splitAlong(stage.picture(stage.clock.now()), c.vertical);
  EXPECT_EQ(done.near, c.end);
  EXPECT_EQ(done.far, c.end);
  EXPECT_EQ(leaver.expired(), c.leaverGoes);
}

INSTANTIATE_TEST_SUITE_P(Changes, TransitionTest, ::testing::ValuesIn(kTransitions), testsupport::CaseName());

TEST(TransitionTest, APageSentBackWhileItLeavesTurnsRoundWhereItIsShown) {
  Stage stage;
  stage.nav->pushViewController(stage.top, false);
  stage.nav->popViewControllerAnimated(true);
  stage.clock.advance(ui::NavigationController::kTransitionDuration / 2);
  stage.nav->pushViewController(stage.top, true);
  Split split = splitAlong(stage.picture(stage.clock.now()), false);
  EXPECT_EQ(split.near, Paint::red);
  EXPECT_EQ(split.far, Paint::blue);
  EXPECT_NEAR(split.edge, 384, 6) << "the blue page goes on from the middle, not from the right edge";
  EXPECT_EQ(stage.top->view()->superview(), stage.nav->view());
  stage.clock.advance(ui::NavigationController::kTransitionDuration);
  EXPECT_EQ(splitAlong(stage.picture(stage.clock.now()), false).near, Paint::blue);
}

}  // namespace
