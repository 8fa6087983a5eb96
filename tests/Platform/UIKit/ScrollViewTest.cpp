// Scroll views moved by a finger and by animated offsets: dragging with and without bounces and
// paging, delegates that move the offset from their scroll report, and touches that start on a
// control inside the scroll view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Foundation/Clock.h"
#include "UIKit/Button.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TouchSimulation.h"
#include "support/CaseName.h"

namespace {

struct Offsets : ui::ScrollViewDelegate {
  std::vector<double> xs;
  std::vector<double> rests;  // the offsets the scroll view came to rest at after drags
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
  // A finger from (150, 100) moved by dx in steps of at most 20 points.
  void drag(double dx, bool lift = true) { touch(150, dx, lift); }
  void touch(double from, double dx, bool lift) {
    finger = std::make_unique<ui::SimulatedTouch>(root, cg::Point{from, 100});
    int steps = std::max(1, static_cast<int>(std::ceil(std::abs(dx) / 20)));
    for (int i = 1; i <= steps; ++i) finger->moveTo({from + dx * i / steps, 100});
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
  double whileDown;  // offset before the finger lifts
  double settled;    // once the slide after the release is over
};

class ScrollDragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(ScrollDragTest, TheContentFollowsTheFingerAndSettlesWithinIt) {
  const DragCase& c = GetParam();
  ns::ManualClock clock;
  Scene scene(c.contentWidth);
  scene.scroll->setPagingEnabled(c.paging);
  scene.scroll->setBounces(c.bounces);
  scene.scroll->setContentOffset({c.startX, 0});
  scene.drag(c.dx, false);
  EXPECT_NEAR(scene.scroll->contentOffset().x, c.whileDown, 1e-9);
  scene.finger->end();
  EXPECT_FALSE(scene.scroll->isDragging());
  clock.advance(ui::ScrollView::kScrollAnimationDuration + 0.05);
  EXPECT_NEAR(scene.scroll->contentOffset().x, c.settled, 1e-9);
  EXPECT_FALSE(scene.scroll->isScrollAnimating());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScrollDragTest,
    ::testing::Values(DragCase{"left within the content", 1000, false, true, 0, -120, 120, 120},
                      DragCase{"past the start with bounces", 1000, false, true, 0, 60, -60, 0},
                      DragCase{"past the start without bounces", 1000, false, false, 0, 60, 0, 0},
                      DragCase{"past the end with bounces", 1000, false, true, 780, -60, 840, 800},
                      DragCase{"more than half a page", 1000, true, true, 0, -130, 130, 200},
                      DragCase{"less than half a page", 1000, true, true, 200, -80, 280, 200},
                      DragCase{"back a page", 1000, true, true, 400, 140, 260, 200},
                      DragCase{"content narrower than the view", 150, false, true, 0, -100, 0, 0},
                      DragCase{"within the slop", 1000, false, true, 0, -8, 0, 0}),
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
