// Pushes, pops, modal presentations and popovers animated on the screen: presentation renders part
// of the way show both pages sliding (a sheet's dimming and a popover fading) while the model, the
// dumps and the touches are in the end state at once, and the page that left is let go when its
// slide ends.
#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Layer.h"
#include "ScreenTestSupport.h"
#include "UIKit/ComposeViewController.h"
#include "UIKit/NavigationController.h"
#include "UIKit/PopoverController.h"
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

// The red of the picture at a point of the window.
double redAt(const cg::ImagePtr& picture, cg::Point p) {
  return picture->colorAt(int(p.x * kScale), int(p.y * kScale)).red;
}

TEST(TransitionTest, ASheetSlidesOverADimmingThatFadesInAndOut) {
  Stage stage;
  auto sheet = std::make_shared<ui::TweetComposeViewController>()->init();
  // Beside the card, high and low on the window, and the card's own top (it stands a third down).
  const cg::Point high{10, 100}, low{10, 900};
  stage.root->presentViewController(sheet, true);
  // The sheet comes with the keyboard; put away, it leaves the window's foot to the dimming.
  ASSERT_TRUE(ui::Responder::isKeyboardShown());
  ui::Responder::currentFirstResponder()->resignFirstResponder();
  auto dimming = sheet->presentationDimmingView();
  EXPECT_TRUE(dimming && dimming->superview() == stage.window);
  const cg::Rect card = sheet->view()->subviews().front()->frame();
  const double duration = ui::ViewController::kPresentationDuration;

  stage.clock.advance(duration / 2);
  EXPECT_NEAR(dimming ? dimming->presentation(stage.clock.now()).alpha : 1, 0.5, 0.01);
  auto half = stage.picture(stage.clock.now());
  EXPECT_NEAR(redAt(half, high), 0.75, 0.03) << "the dimming half faded in over the whole window";
  EXPECT_NEAR(redAt(half, low), 0.75, 0.03);
  EXPECT_NEAR(redAt(half, {card.x() + 4, card.y() + 512 + 22}), 0.86, 0.03) << "the card half-way up";
  EXPECT_NEAR(redAt(half, {card.x() + 4, card.y() + 22}), 0.75, 0.03);
  EXPECT_EQ(ui::nextPresentationChange(*stage.window, stage.clock.now()), stage.clock.now());
  stage.clock.advance(duration / 2 + 0.01);
  auto shown = stage.picture(stage.clock.now());
  EXPECT_NEAR(redAt(shown, high), 0.5, 0.03);
  EXPECT_NEAR(redAt(shown, low), 0.5, 0.03);

  sheet->dismissViewControllerAnimated(true);
  EXPECT_TRUE(dimming && !dimming->superview()) << "gone at once for touches and dumps";
  EXPECT_EQ(sheet->presentationDimmingView(), nullptr);
  stage.clock.advance(duration / 2);
  half = stage.picture(stage.clock.now());
  EXPECT_NEAR(redAt(half, high), 0.75, 0.03) << "the dimming half faded out";
  EXPECT_NEAR(redAt(half, low), 0.75, 0.03);
  EXPECT_NEAR(redAt(half, {card.x() + 4, card.y() + 512 + 22}), 0.86, 0.03) << "the card half-way down";
  stage.clock.advance(duration / 2 + 0.01);
  auto gone = stage.picture(stage.clock.now());
  EXPECT_EQ(paintAt(gone, int(high.x * kScale), int(high.y * kScale)), Paint::red);
  EXPECT_EQ(paintAt(gone, int(low.x * kScale), int(low.y * kScale)), Paint::red);
  EXPECT_EQ(ui::nextPresentationChange(*stage.window, stage.clock.now()), std::nullopt);
}

// A popover of a blue page over the red root, shown from a point of the root and faded in and out.
TEST(TransitionTest, APopoverFadesInAndOutWhileTouchesSeeItShownOrGoneAtOnce) {
  Stage stage;
  auto page = stage.page("popover", ui::Color::blueColor());
  auto popover = std::make_shared<ui::PopoverController>()->initWithContentViewController(page);
  popover->setPopoverContentSize({200, 200});
  popover->presentPopoverFromRect({300, 300, 10, 10}, stage.root->view(), ui::PopoverArrowDirectionAny, true);
  ASSERT_TRUE(popover->isPopoverVisible());
  const cg::Rect content = page->view()->convertRectToView(page->view()->bounds(), stage.window.get());
  const cg::Point middle{content.midX(), content.midY()};
  auto blueAt = [&](const cg::ImagePtr& picture) {
    return picture->colorAt(int(middle.x * kScale), int(middle.y * kScale)).blue;
  };
  auto hit = stage.window->hitTest(middle, nullptr);
  EXPECT_TRUE(hit && hit->isDescendantOfView(page->view().get())) << "touches reach it at once";
  const double duration = ui::PopoverController::kFadeDuration;

  stage.clock.advance(duration / 2);
  auto half = stage.picture(stage.clock.now());
  EXPECT_NEAR(blueAt(half), 0.5, 0.04) << "half faded in";
  EXPECT_NEAR(redAt(half, middle), 0.5, 0.04);
  EXPECT_EQ(ui::nextPresentationChange(*stage.window, stage.clock.now()), stage.clock.now());
  stage.clock.advance(duration / 2 + 0.01);
  EXPECT_EQ(paintAt(stage.picture(stage.clock.now()), int(middle.x * kScale), int(middle.y * kScale)),
            Paint::blue);

  popover->dismissPopoverAnimated(true);
  EXPECT_FALSE(popover->isPopoverVisible());
  EXPECT_EQ(page->view()->superview(), nullptr);
  EXPECT_EQ(stage.window->hitTest(middle, nullptr), stage.root->view()) << "touches pass at once";
  stage.clock.advance(duration / 2);
  half = stage.picture(stage.clock.now());
  EXPECT_NEAR(blueAt(half), 0.5, 0.04) << "half faded out, content and all";
  EXPECT_NEAR(redAt(half, middle), 0.5, 0.04);
  stage.clock.advance(duration / 2 + 0.01);
  EXPECT_EQ(paintAt(stage.picture(stage.clock.now()), int(middle.x * kScale), int(middle.y * kScale)),
            Paint::red);
  EXPECT_EQ(ui::nextPresentationChange(*stage.window, stage.clock.now()), std::nullopt);

  // Not animated, it comes and goes in one frame.
  popover->presentPopoverFromRect({300, 300, 10, 10}, stage.root->view(), ui::PopoverArrowDirectionAny,
                                  false);
  EXPECT_EQ(paintAt(stage.picture(stage.clock.now()), int(middle.x * kScale), int(middle.y * kScale)),
            Paint::blue);
  popover->dismissPopoverAnimated(false);
  EXPECT_EQ(paintAt(stage.picture(stage.clock.now()), int(middle.x * kScale), int(middle.y * kScale)),
            Paint::red);
}

}  // namespace
