// Nested scroll views as a page with rows has them: which one a drag moves, decided by the drag's
// first movement, and the mouse wheel over them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Foundation/Clock.h"
#include "UIKit/Button.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TouchSimulation.h"

namespace {

struct Reports : ui::ScrollViewDelegate {
  int scrolls = 0;
  int rests = 0;
  void scrollViewDidScroll(ui::ScrollView&) override { ++scrolls; }
  void scrollViewDidEndDecelerating(ui::ScrollView&) override { ++rests; }
};

// A page 300 x 400 scrolling down a 2000-point content, holding at y 100 a row that pages sideways
// through three 300-point pages, with a tile button on its first page; the page's own top 100
// points hold nothing that scrolls sideways.
struct Page {
  std::shared_ptr<ui::View> root = std::make_shared<ui::View>()->initWithFrame({0, 0, 300, 400});
  std::shared_ptr<ui::ScrollView> page = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, 300, 400});
  std::shared_ptr<ui::ScrollView> row = std::make_shared<ui::ScrollView>()->initWithFrame({0, 100, 300, 100});
  std::shared_ptr<ui::Button> tile = ui::Button::buttonWithType(ui::ButtonType::custom);
  std::shared_ptr<Reports> pageReports = std::make_shared<Reports>();
  std::vector<std::string> tileEvents;
  Page() {
    root->addSubview(page);
    page->setContentSize({300, 2000});
    page->setDelegate(pageReports);
    page->addSubview(row);
    row->setContentSize({900, 100});
    row->setPagingEnabled(true);
    tile->setFrame({10, 10, 120, 80});
    row->addSubview(tile);
    tile->addTarget(
        nullptr, [this](ui::Control&) { tileEvents.push_back("up inside"); }, ui::ControlEventTouchUpInside);
    tile->addTarget(
        nullptr, [this](ui::Control&) { tileEvents.push_back("cancel"); }, ui::ControlEventTouchCancel);
  }
  // A finger from the point through each of the moves (root coordinates), lifted at the last.
  void drag(cg::Point from, const std::vector<cg::Point>& moves) {
    ui::SimulatedTouch finger(root, from);
    for (cg::Point p : moves) finger.moveTo(p);
    finger.end();
  }
};

struct DragCase {
  const char* name;
  cg::Point from;
  std::vector<cg::Point> moves;
  double pageY;  // where the page rests (0: it did not move)
  double rowX;   // where the row rests
  std::vector<std::string> tileEvents;
};

class DragRoutingTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(DragRoutingTest, TheInnermostScrollViewThatMovesTheDragsWayTakesIt) {
  const DragCase& c = GetParam();
  ns::ManualClock clock;
  Page page;
  page.drag(c.from, c.moves);
  clock.advance(1);
  EXPECT_EQ(page.page->contentOffset().y, c.pageY);
  EXPECT_EQ(page.row->contentOffset().x, c.rowX);
  EXPECT_EQ(page.tileEvents, c.tileEvents);
}

INSTANTIATE_TEST_SUITE_P(
    Drags, DragRoutingTest,
    ::testing::Values(
        // Up over the row, on a spot of its own: the page scrolls, the row stays.
        DragCase{"up_over_the_row", {200, 150}, {{200, 130}, {200, 50}}, 100, 0, {}},
        // The same starting on the tile: the tile loses the touch to the page.
        DragCase{"up_over_the_tile", {60, 150}, {{62, 130}, {64, 50}}, 100, 0, {"cancel"}},
        // Sideways over the row: it pages, the page stays.
        DragCase{"left_over_the_row", {250, 150}, {{230, 152}, {100, 155}}, 0, 300, {}},
        DragCase{"left_over_the_tile", {100, 150}, {{80, 150}, {-50, 140}}, 0, 300, {"cancel"}},
        // The first movement decides: up first, then sideways, is still the page's.
        DragCase{"up_then_left", {200, 150}, {{198, 130}, {50, 110}}, 40, 0, {}},
        // Sideways where nothing scrolls sideways: nothing moves.
        DragCase{"left_above_the_row", {250, 50}, {{230, 50}, {100, 50}}, 0, 0, {}},
        // Within the slop it is a tap on the tile.
        DragCase{"a_tap", {60, 150}, {{64, 153}}, 0, 0, {"up inside"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ScrollWheelTest, TheWheelScrollsTheScrollViewUnderThePointerWithinItsEnds) {
  ns::ManualClock clock;
  Page page;
  // Down over the row: the page moves, told of each step as a drag tells it.
  EXPECT_EQ(ui::scrollWheelAtPoint(page.root, {60, 150}, {0, 120}), page.page);
  EXPECT_EQ(page.page->contentOffset().y, 120);
  EXPECT_EQ(page.pageReports->scrolls, 1);
  clock.advance(1);
  EXPECT_EQ(page.page->contentOffset().y, 120) << "within its content it stays";
  EXPECT_EQ(page.pageReports->rests, 1);

  // Past the end it goes a little way beyond, then settles at the end once the wheel rests.
  const double end = 2000 - 400;
  for (int i = 0; i < 50; ++i) ui::scrollWheelAtPoint(page.root, {150, 300}, {0, 120});
  EXPECT_EQ(page.page->contentOffset().y, end + ui::ScrollView::kWheelOvershoot);
  clock.advance(1);
  EXPECT_EQ(page.page->contentOffset().y, end);
  for (int i = 0; i < 50; ++i) ui::scrollWheelAtPoint(page.root, {150, 300}, {0, -120});
  clock.advance(1);
  EXPECT_EQ(page.page->contentOffset().y, 0);

  // Sideways over the row: a notch pages it, and it stops at its last page.
  EXPECT_EQ(ui::scrollWheelAtPoint(page.root, {60, 150}, {40, 0}), page.row);
  clock.advance(1);
  EXPECT_EQ(page.row->contentOffset().x, 300);
  for (int step = 0; step < 3; ++step) {
    ui::scrollWheelAtPoint(page.root, {60, 150}, {40, 0});
    clock.advance(1);
  }
  EXPECT_EQ(page.row->contentOffset().x, 600);
  // Sideways where nothing scrolls that way, or over nothing: no one takes it.
  EXPECT_EQ(ui::scrollWheelAtPoint(page.root, {60, 50}, {40, 0}), nullptr);
  EXPECT_EQ(ui::scrollWheelAtPoint(page.root, {60, 500}, {0, 40}), nullptr);
  page.page->setScrollEnabled(false);
  EXPECT_EQ(ui::scrollWheelAtPoint(page.root, {60, 150}, {0, 40}), nullptr);
}

}  // namespace
