// Scroll views moved by a finger and by animated offsets: dragging with and without bounces and
// paging, delegates that move the offset from their scroll report, and touches that start on a
// control inside the scroll view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Foundation/Clock.h"
#include "ScreenTestSupport.h"
#include "UIKit/Button.h"
#include "UIKit/DamageTracker.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TouchSimulation.h"
#include "support/CaseName.h"

namespace {

struct Offsets : ui::ScrollViewDelegate {
  std::vector<double> xs;
  std::vector<double> rests;    // the offsets the scroll view came to rest at after drags
  std::vector<double> carries;  // where it was when it began to move by itself
  void scrollViewWillBeginDecelerating(ui::ScrollView& scroll) override {
    carries.push_back(scroll.contentOffset().x);
  }
  void scrollViewDidEndDecelerating(ui::ScrollView& scroll) override {
    rests.push_back(scroll.contentOffset().x);
  }
  // Like an endless strip: past `wrapAt` the offset jumps back by `wrapBy`, from inside the report.
  double wrapAt = 1e9, wrapBy = 0;
  void scrollViewDidScroll(ui::ScrollView& scroll) override {
    xs.push_back(scroll.contentOffset().x);
    if (scroll.contentOffset().x >= wrapAt) scroll.setContentOffset({scroll.contentOffset().x - wrapBy, 0});
  }
};

// A 200 x 100 scroll view inside a root view, as on screen.
struct Scene {
  std::shared_ptr<ui::View> root = std::make_shared<ui::View>()->initWithFrame({0, 0, 400, 300});
  std::shared_ptr<ui::ScrollView> scroll =
      std::make_shared<ui::ScrollView>()->initWithFrame({50, 50, 200, 100});
  std::shared_ptr<Offsets> delegate = std::make_shared<Offsets>();
  explicit Scene(double contentWidth) {
    root->addSubview(scroll);
    scroll->setContentSize({contentWidth, 100});
    scroll->setDelegate(delegate);
  }
  // A finger from (150, 100) moved by dx in steps of at most 20 points, all at one instant, or
  // evenly over `seconds` of the manual clock with a step every 20 ms at most.
  void drag(double dx, bool lift = true, double seconds = 0, ns::ManualClock* clock = nullptr) {
    touch(150, dx, lift, seconds, clock);
  }
  void touch(double from, double dx, bool lift, double seconds = 0, ns::ManualClock* clock = nullptr) {
    finger = std::make_unique<ui::SimulatedTouch>(root, cg::Point{from, 100});
    int steps = std::max({1, static_cast<int>(std::ceil(std::abs(dx) / 20)),
                          static_cast<int>(std::ceil(seconds / 0.02 - 1e-9))});
    for (int i = 1; i <= steps; ++i) {
      if (clock && seconds > 0) clock->advance(seconds / steps);
      finger->moveTo({from + dx * i / steps, 100});
    }
    if (lift) finger->end();
  }
  std::unique_ptr<ui::SimulatedTouch> finger;
};

struct DragCase {
  const char* name;
  double contentWidth;
  bool paging;
  bool bounces;
  double startX;
  double dx;
  double whileDown;    // offset before the finger lifts
  double settled;      // once the slide after the release is over
  double seconds = 0;  // how long the drag takes (0: no time, so no speed)
};

class ScrollDragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(ScrollDragTest, TheContentFollowsTheFingerAndSettlesWithinIt) {
  const DragCase& c = GetParam();
  ns::ManualClock clock;
  Scene scene(c.contentWidth);
  scene.scroll->setPagingEnabled(c.paging);
  scene.scroll->setBounces(c.bounces);
  scene.scroll->setContentOffset({c.startX, 0});
  scene.drag(c.dx, false, c.seconds, &clock);
  EXPECT_NEAR(scene.scroll->contentOffset().x, c.whileDown, 1e-9);
  scene.finger->end();
  EXPECT_FALSE(scene.scroll->isDragging());
  clock.advance(c.seconds == 0 ? ui::ScrollView::kScrollAnimationDuration + 0.05 : 10);
  EXPECT_NEAR(scene.scroll->contentOffset().x, c.settled, 1e-9);
  EXPECT_FALSE(scene.scroll->isScrollAnimating());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScrollDragTest,
    ::testing::Values(
        DragCase{"left within the content", 1000, false, true, 0, -120, 120, 120},
        DragCase{"past the start with bounces", 1000, false, true, 0, 60, -60, 0},
        DragCase{"past the start without bounces", 1000, false, false, 0, 60, 0, 0},
        DragCase{"past the end with bounces", 1000, false, true, 780, -60, 840, 800},
        DragCase{"more than half a page", 1000, true, true, 0, -130, 130, 200},
        DragCase{"less than half a page", 1000, true, true, 200, -80, 280, 200},
        DragCase{"back a page", 1000, true, true, 400, 140, 260, 200},
        DragCase{"content narrower than the view", 150, false, true, 0, -100, 0, 0},
        DragCase{"within the slop", 1000, false, true, 0, -8, 0, 0},
        // The same 80 points turn a page as a swipe and snap back as a slow drag.
        DragCase{"a quick short swipe", 1000, true, true, 0, -80, 80, 200, 0.1},
        DragCase{"the same drag slowly", 1000, true, true, 0, -80, 80, 0, 1},
        DragCase{"a quick swipe back", 1000, true, true, 400, 60, 340, 200, 0.05},
        DragCase{"a swipe past a page turns one", 1000, true, true, 200, -300, 500, 600, 0.1},
        DragCase{"a swipe at the last page", 1000, true, true, 800, -80, 880, 800, 0.1},
        // Carried on speed x kDecelerationTime: 1000 pt/s goes 500 further.
        DragCase{"a flick carries on", 2000, false, true, 0, -100, 100, 600, 0.1},
        DragCase{"a slow drag stops with the finger", 2000, false, true, 0, -100, 100, 100, 4},
        DragCase{"a flick past the end bounces back", 1000, false, true, 600, -100, 700, 800, 0.1},
        DragCase{"a flick past the end without bounces", 1000, false, false, 600, -100, 700, 800, 0.1},
        DragCase{"a flick back to the start", 2000, false, true, 300, 100, 200, 0, 0.1},
        // Moves that came in a burst say nothing of the finger's speed.
        DragCase{"a burst of moves carries nothing", 2000, false, true, 0, -300, 300, 300, 0.005}),
    testsupport::CaseName());

TEST(ScrollViewTest, AnimatedOffsetsSlideOnTheClockAndStopForAPlainOne) {
  ns::ManualClock clock;
  Scene scene(2000);
  scene.scroll->setContentOffset({300, 0}, true);
  EXPECT_EQ(scene.scroll->contentOffset().x, 0) << "nothing moves inside the call";
  clock.advance(ui::ScrollView::kScrollAnimationDuration / 2);
  double halfway = scene.scroll->contentOffset().x;
  EXPECT_GT(halfway, 0);
  EXPECT_LT(halfway, 300);
  clock.advance(ui::ScrollView::kScrollAnimationDuration);
  EXPECT_EQ(scene.scroll->contentOffset().x, 300);
  EXPECT_TRUE(std::is_sorted(scene.delegate->xs.begin(), scene.delegate->xs.end()));
  EXPECT_GT(scene.delegate->xs.size(), 3u) << "told at every step";

  scene.scroll->setContentOffset({900, 0}, true);
  clock.advance(0.05);
  scene.scroll->setContentOffset({10, 0});
  clock.advance(1);
  EXPECT_EQ(scene.scroll->contentOffset().x, 10) << "a plain offset ends the slide";

  scene.scroll->setContentOffset({900, 0}, true);
  clock.advance(0.05);
  scene.drag(-40);
  EXPECT_FALSE(scene.scroll->isScrollAnimating()) << "a finger stops the slide";
}

TEST(ScrollViewTest, ADelegateMayMoveTheOffsetWhileTheFingerDrags) {
  ns::ManualClock clock;
  Scene scene(1000);
  scene.delegate->wrapAt = 400;
  scene.delegate->wrapBy = 300;
  scene.scroll->setContentOffset({340, 0});
  scene.drag(-100);
  // 340 -> 400 jumps to 100 inside the report; the finger's last 40 points go on from there.
  ASSERT_GE(scene.delegate->xs.size(), 3u);
  EXPECT_NE(std::find(scene.delegate->xs.begin(), scene.delegate->xs.end(), 100.0), scene.delegate->xs.end());
  clock.advance(1);
  EXPECT_DOUBLE_EQ(scene.scroll->contentOffset().x, 140);
}

// A full-size button inside the scroll view, as a poster tile has.
struct ButtonScene : Scene {
  std::shared_ptr<ui::Button> button = ui::Button::buttonWithType(ui::ButtonType::custom);
  std::vector<std::string> events;
  ButtonScene() : Scene(1000) {
    button->setFrame({0, 0, 400, 100});
    scroll->addSubview(button);
    auto log = [this](const char* name) { return [this, name](ui::Control&) { events.push_back(name); }; };
    button->addTarget(nullptr, log("up inside"), ui::ControlEventTouchUpInside);
    button->addTarget(nullptr, log("cancel"), ui::ControlEventTouchCancel);
  }
};

TEST(ScrollViewTest, ASwipeOverAControlScrollsAndCancelsTheControlsTouch) {
  ns::ManualClock clock;
  ButtonScene swipe;
  swipe.drag(-150);
  EXPECT_EQ(swipe.events, std::vector<std::string>{"cancel"});
  EXPECT_GT(swipe.scroll->contentOffset().x, 100);

  ButtonScene tap;
  EXPECT_EQ(ui::tapAtPoint(tap.root, {150, 100}), tap.button);
  EXPECT_EQ(tap.events, std::vector<std::string>{"up inside"});
  EXPECT_EQ(tap.scroll->contentOffset().x, 0);

  ButtonScene across;  // a vertical move on a strip that scrolls only sideways stays the button's
  ui::SimulatedTouch finger(across.root, {150, 100});
  finger.moveTo({152, 140});
  finger.moveTo({150, 120});
  finger.end();
  EXPECT_EQ(across.events, std::vector<std::string>{"up inside"});
  EXPECT_EQ(across.scroll->contentOffset().x, 0);

  ButtonScene locked;
  locked.scroll->setScrollEnabled(false);
  locked.drag(-150);
  EXPECT_EQ(locked.scroll->contentOffset().x, 0);
  EXPECT_TRUE(std::find(locked.events.begin(), locked.events.end(), "cancel") == locked.events.end());
}

}  // namespace

namespace {

TEST(ScrollViewTest, ADragReportsItsRestOnceTheSettlingSlideEnds) {
  ns::ManualClock clock;
  Scene scene(1000);
  scene.scroll->setPagingEnabled(true);
  scene.drag(-130);
  EXPECT_TRUE(scene.scroll->isDecelerating());
  EXPECT_TRUE(scene.delegate->rests.empty()) << "not while it slides";
  clock.advance(1);
  EXPECT_EQ(scene.delegate->rests, (std::vector<double>{200}));
  EXPECT_FALSE(scene.scroll->isDecelerating());

  // A drag that ends where it rests reports at once; an offset set in code reports nothing.
  scene.drag(0.0 - 20 * 10, false);
  scene.finger->moveTo({150, 100});
  scene.finger->end();
  EXPECT_EQ(scene.delegate->rests.size(), 2u);
  scene.scroll->setContentOffset({600, 0}, true);
  clock.advance(1);
  EXPECT_EQ(scene.delegate->rests.size(), 2u);

  // A new touch stops the slide before it settles: no report for it.
  scene.drag(-130);
  scene.finger = std::make_unique<ui::SimulatedTouch>(scene.root, cg::Point{150, 100});
  clock.advance(1);
  EXPECT_EQ(scene.delegate->rests.size(), 2u);
  EXPECT_FALSE(scene.scroll->isDecelerating());
}

}  // namespace

namespace {

// A 1000 pt/s flick from 600 on a 1000-wide strip: carried towards 1200, it overshoots the end by
// kBounceOvershoot and springs back, decelerating all the way, with one report at each end of it.
TEST(ScrollViewTest, AFlickDeceleratesPastTheEdgeAndSpringsBackToRest) {
  ns::ManualClock clock;
  Scene scene(1000);
  scene.scroll->setContentOffset({600, 0});
  scene.drag(-100, true, 0.1, &clock);
  EXPECT_EQ(scene.delegate->carries, (std::vector<double>{700}));
  EXPECT_TRUE(scene.scroll->isDecelerating());
  scene.delegate->xs.clear();
  std::vector<double> frames{700};
  for (int i = 0; i < 600 && scene.scroll->isDecelerating(); ++i) {
    clock.advance(1.0 / 60);
    frames.push_back(scene.scroll->contentOffset().x);
    if (scene.scroll->isDecelerating()) {
      EXPECT_TRUE(scene.delegate->rests.empty());
    }
  }
  EXPECT_EQ(scene.delegate->rests, (std::vector<double>{800}));
  EXPECT_EQ(scene.delegate->carries.size(), 1u);
  auto top = std::max_element(frames.begin(), frames.end());
  EXPECT_NEAR(*top, 800 + ui::ScrollView::kBounceOvershoot, 1e-9);
  EXPECT_TRUE(std::is_sorted(frames.begin(), top + 1));
  EXPECT_TRUE(std::is_sorted(top, frames.end(), std::greater<>()));
  // Slowing down: the first frame goes further than the one a tenth of a second later.
  EXPECT_GT(frames[1] - frames[0], 2 * (frames[7] - frames[6]));
  EXPECT_GT(frames.size(), 30u) << "it moves frame by frame, not in one jump";
}

// Moves handled together after a slow frame keep the speed they were made at.
TEST(ScrollViewTest, TheSpeedIsTakenFromWhenTheMovesHappened) {
  ns::ManualClock clock;
  Scene scene(1000);
  scene.scroll->setPagingEnabled(true);
  double now = ns::clockNow();
  ui::SimulatedTouch finger(scene.root, {150, 100}, now - 0.1);
  for (int i = 1; i <= 5; ++i) finger.moveTo({150 - 16.0 * i, 100}, now - 0.1 + 0.02 * i);
  finger.end(now);
  clock.advance(1);
  EXPECT_EQ(scene.scroll->contentOffset().x, 200);
}

// An endless strip recentres itself from its scroll report while a swipe's slide passes the
// seam: the slide goes on from there and rests on a page.
TEST(ScrollViewTest, AStripRecentredDuringTheSlideStillComesToRestOnAPage) {
  ns::ManualClock clock;
  Scene scene(1000);
  scene.scroll->setPagingEnabled(true);
  scene.delegate->wrapAt = 700;
  scene.delegate->wrapBy = 600;
  scene.scroll->setContentOffset({600, 0});
  scene.drag(-80, true, 0.1, &clock);
  clock.advance(1);
  EXPECT_EQ(scene.scroll->contentOffset().x, 200);
  EXPECT_EQ(scene.delegate->rests, (std::vector<double>{200}));
}

}  // namespace

namespace {

// Each frame of the slide after a flick changes the window's picture, and the rest does not.
TEST(ScrollViewTest, EveryFrameOfAFlickRedrawsTheWindow) {
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  auto page = std::make_shared<ui::ViewController>();
  auto window = screen.showWindow(page);
  auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame({0, 100, 300, 200});
  scroll->setContentSize({3000, 200});
  for (int i = 0; i < 30; ++i) {
    auto stripe = std::make_shared<ui::View>()->initWithFrame({i * 100.0, 0, 50, 200});
    stripe->setBackgroundColor(ui::Color::grayColor());
    scroll->addSubview(stripe);
  }
  page->view()->addSubview(scroll);
  ui::Window::layoutKeyWindow();
  cg::Point start = scroll->convertPointToView({150, 100}, window.get());
  ui::DamageTracker tracker;
  tracker.damage(*window, ns::clockNow(), 1);
  ui::SimulatedTouch finger(window, start);
  for (int i = 1; i <= 5; ++i) {
    clock.advance(0.02);
    finger.moveTo({start.x - 20 * i, start.y});
  }
  finger.end();
  tracker.damage(*window, ns::clockNow(), 1);
  int frames = 0;
  while (scroll->isDecelerating() && frames < 600) {
    clock.advance(1.0 / 60);
    ++frames;
    EXPECT_FALSE(tracker.damage(*window, ns::clockNow(), 1).empty()) << "frame " << frames;
  }
  EXPECT_GT(frames, 30);
  EXPECT_EQ(scroll->contentOffset().x, 600);
  clock.advance(1.0 / 60);
  EXPECT_TRUE(tracker.damage(*window, ns::clockNow(), 1).empty());
}

}  // namespace
