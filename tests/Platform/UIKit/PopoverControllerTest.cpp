// Popovers: where they sit around the rectangle they point at, what their background is told,
// the content's size, and the touch outside that closes them; table pages inside them.
#include <gtest/gtest.h>

#include "ScreenTestSupport.h"
#include "UIKit/NavigationController.h"
#include "UIKit/PopoverController.h"
#include "UIKit/TableViewController.h"
#include "UIKit/TouchSimulation.h"

namespace {

ui::PopoverBackgroundViewClass metrics() {
  ui::PopoverBackgroundViewClass c;
  c.make = [](const cg::Rect& frame) {
    return std::make_shared<ui::PopoverBackgroundView>()->initWithFrame(frame);
  };
  c.arrowBase = 35;
  c.arrowHeight = 19;
  c.contentViewInsets = {8, 8, 8, 8};
  return c;
}

TEST(PopoverControllerTest, SitsBelowThenAboveThenBesideTheRectangleInsideTheWindow) {
  struct Case {
    const char* name;
    cg::Rect target;
    cg::Size content;
    unsigned directions;
    cg::Rect frame;
    unsigned direction;
    double arrowOffset;
  };
  const cg::Size window{768, 1024};
  const Case cases[] = {
      {"below, centred on the button", {300, 6, 72, 31}, {300, 308}, 15, {178, 37, 316, 343}, 1, 0},
      {"below, pushed inside the right edge", {680, 6, 72, 31}, {300, 308}, 15, {447, 37, 316, 343}, 1, 111},
      {"above when below does not fit", {300, 900, 80, 40}, {300, 308}, 15, {182, 557, 316, 343}, 2, 0},
      {"beside when neither fits", {10, 400, 40, 40}, {300, 600}, 15, {50, 112, 335, 616}, 4, 0},
      {"only the directions allowed", {600, 6, 72, 31}, {100, 100}, 8, {465, 5, 135, 116}, 8, -41.5},
  };
  for (const Case& c : cases) {
    auto p = ui::PopoverController::place(c.target, window, c.content, metrics(), c.directions);
    EXPECT_EQ(p.frame, c.frame) << c.name;
    EXPECT_EQ(p.direction, c.direction) << c.name;
    EXPECT_DOUBLE_EQ(p.arrowOffset, c.arrowOffset) << c.name;
  }
}

class Rows final : public ui::TableViewController {
 public:
  int tableViewNumberOfRowsInSection(ui::TableView&, int) override { return 3; }
  std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView&,
                                                                    const ns::IndexPath& indexPath) override {
    auto cell =
        std::make_shared<ui::TableViewCell>()->initWithStyle(ui::TableViewCellStyle::defaultStyle, "");
    cell->textLabel()->setText("row " + std::to_string(indexPath.row()));
    if (indexPath.row() == 1) cell->setAccessoryType(ui::TableViewCellAccessoryType::checkmark);
    return cell;
  }
};

struct Closed : ns::Object, ui::PopoverControllerDelegate {
  int count = 0;
  void popoverControllerDidDismissPopover(ui::PopoverController&) override { ++count; }
};

TEST(PopoverControllerTest, ShowsANavigationPageAboveTheWindowUntilATouchOutside) {
  testsupport::ScreenScope screen;
  auto root = std::make_shared<ui::ViewController>()->init();
  auto window = screen.showWindow(root);
  auto rows = std::make_shared<Rows>();
  rows->initWithStyle(ui::TableViewStyle::plain);
  rows->setTitle("Строки");
  rows->setContentSizeForViewInPopover({300, 132});
  auto navigation = std::make_shared<ui::NavigationController>()->initWithRootViewController(rows);
  auto popover = std::make_shared<ui::PopoverController>()->initWithContentViewController(navigation);
  popover->setPopoverBackgroundViewClass(metrics());
  auto closed = std::make_shared<Closed>();
  popover->setDelegate(closed);
  EXPECT_EQ(popover->popoverContentSize(), (cg::Size{300, 176})) << "the bar's 44 points added";

  navigation->navigationBar()->setTintColor(ui::Color::grayColor());
  popover->presentPopoverFromRect({600, 6, 72, 31}, root->view(), ui::PopoverArrowDirectionAny, true);
  ASSERT_TRUE(popover->isPopoverVisible());
  EXPECT_EQ(popover->backgroundView()->arrowDirection(), ui::PopoverArrowDirectionUp);
  // The root's view lies below the status bar, 20 points down.
  EXPECT_EQ(popover->backgroundView()->frame(), (cg::Rect{447, 57, 316, 211}));
  EXPECT_EQ(navigation->view()->frame(), (cg::Rect{455, 84, 300, 176}))
      << "inside the insets, below the arrow";
  EXPECT_EQ(window->subviews().back(), popover->backgroundView()->superview()) << "above everything";
  EXPECT_EQ(rows->tableView()->numberOfRowsInSection(0), 3);
  auto checked = rows->tableView()->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(1, 0));
  ASSERT_TRUE(checked);
  EXPECT_EQ(checked->accessoryType(), ui::TableViewCellAccessoryType::checkmark);

  ui::tapAtPoint(window, {600, 150});
  EXPECT_TRUE(popover->isPopoverVisible()) << "a touch inside keeps it";
  ui::tapAtPoint(window, {600, 100});
  EXPECT_TRUE(popover->isPopoverVisible()) << "so does one on its bar, which no view there takes";
  ui::tapAtPoint(window, {100, 800});
  EXPECT_FALSE(popover->isPopoverVisible());
  EXPECT_EQ(closed->count, 1);
  EXPECT_EQ(window->subviews().size(), 1u);

  popover->presentPopoverFromRect({600, 6, 72, 31}, root->view(), ui::PopoverArrowDirectionAny, true);
  popover->dismissPopoverAnimated(true);
  EXPECT_FALSE(popover->isPopoverVisible());
  EXPECT_EQ(closed->count, 1) << "the owner's dismissal is not reported";
}

}  // namespace
