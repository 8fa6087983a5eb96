// The picker's wheels, the shape layer and an image's stretched part as drawn, a tap recogniser
// that leaves the touches to the views, and the scroll view's content inset.
#include <gtest/gtest.h>

#include "Graphics/ShapeLayer.h"
#include "UIKit/GestureRecognizer.h"
#include "UIKit/ImageView.h"
#include "UIKit/PickerView.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"

namespace {

class Wheels final : public ui::PickerViewDataSource, public ui::PickerViewDelegate {
 public:
  std::vector<int> rows{3, 5};
  std::vector<std::pair<int, int>> picked;
  int numberOfComponentsInPickerView(ui::PickerView&) override { return int(rows.size()); }
  int pickerViewNumberOfRowsInComponent(ui::PickerView&, int c) override { return rows[std::size_t(c)]; }
  std::optional<std::string> pickerViewTitleForRowForComponent(ui::PickerView&, int row, int c) override {
    return std::to_string(c) + ":" + std::to_string(row);
  }
  double pickerViewWidthForComponent(ui::PickerView&, int c) override { return c == 0 ? 160 : 0; }
  void pickerViewDidSelectRowInComponent(ui::PickerView&, int row, int c) override {
    picked.emplace_back(c, row);
  }
};

TEST(PickerViewTest, WheelsSelectionAndReload) {
  auto wheels = std::make_shared<Wheels>();
  auto picker = std::make_shared<ui::PickerView>()->initWithFrame({0, 0, 280, 216});
  picker->setDelegate(wheels);
  picker->setDataSource(wheels);
  EXPECT_EQ(picker->numberOfComponents(), 2);
  EXPECT_EQ(picker->rowSizeForComponent(0), (cg::Size{160, 44}));
  EXPECT_EQ(picker->rowSizeForComponent(1).width, (280 - 2 * ui::PickerView::kSideMargin) / 2)
      << "no width from the delegate: an even share";
  EXPECT_EQ(picker->titleForRow(2, 1), "1:2");

  picker->selectRowInComponent(4, 1, false);
  picker->selectRowInComponent(9, 1, false);
  EXPECT_EQ(picker->selectedRowInComponent(1), 4) << "a row beyond the wheel is ignored";
  EXPECT_TRUE(wheels->picked.empty()) << "code moving a wheel tells nobody";
  picker->spinComponentToRow(0, 7);
  EXPECT_EQ(picker->selectedRowInComponent(0), 2);
  EXPECT_EQ(wheels->picked, (std::vector<std::pair<int, int>>{{0, 2}}));

  wheels->rows[1] = 2;
  picker->reloadComponent(1);
  EXPECT_EQ(picker->selectedRowInComponent(1), 1) << "kept inside the shorter wheel";
  wheels->rows = {};
  picker->reloadAllComponents();
  EXPECT_EQ(picker->numberOfComponents(), 0);
  EXPECT_EQ(picker->selectedRowInComponent(0), -1);
}

TEST(ShapeLayerTest, EvenOddPatternFillAndStretchedImageParts) {
  // A pattern fills only the band between two rectangles under the even-odd rule.
  auto tile = cg::Context::makeBitmap({4, 4}, false, 1);
  tile->setFillColor(cg::Color::rgba(1, 0, 0, 1));
  tile->fillRect({0, 0, 4, 4});
  cg::ShapeLayer layer;
  cg::Path path;
  path.addRect({0, 0, 40, 40});
  path.addRect({10, 10, 20, 20});
  layer.setPath(path);
  layer.setFillRule(cg::FillRule::EvenOdd);
  layer.setFillPattern(tile->makeImage());
  auto ctx = cg::Context::makeBitmap({40, 40}, false, 1);
  layer.drawInContext(*ctx);
  auto image = ctx->makeImage();
  auto alpha = [&](int x, int y) { return image->pixels()[std::size_t(y) * 40 + std::size_t(x)] >> 24; };
  EXPECT_EQ(alpha(5, 5), 255u);
  EXPECT_EQ(alpha(20, 20), 0u);

  // Only the image's middle column stretches: its left and right columns keep one point each.
  auto source = cg::Context::makeBitmap({3, 1}, false, 1);
  source->setFillColor(cg::Color::rgba(1, 0, 0, 1));
  source->fillRect({0, 0, 1, 1});
  source->setFillColor(cg::Color::rgba(0, 1, 0, 1));
  source->fillRect({1, 0, 1, 1});
  source->setFillColor(cg::Color::rgba(0, 0, 1, 1));
  source->fillRect({2, 0, 1, 1});
  auto view = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, 30, 4});
  view->setImage(ui::Image::imageWithCGImage(source->makeImage()));
  view->setContentStretch({1.0 / 3, 0, 1.0 / 3, 1});
  auto drawn = ui::renderView(view, 1);
  ASSERT_TRUE(drawn);
  auto colour = [&](int x) { return drawn->pixels()[std::size_t(x)] & 0xffffffu; };
  EXPECT_EQ(colour(0), 0xff0000u);
  EXPECT_EQ(colour(15), 0x00ff00u);
  EXPECT_EQ(colour(29), 0x0000ffu);
}

// Counts what reaches it.
class TouchCounter final : public ui::View {
 public:
  int ended = 0, cancelled = 0;
  void touchesEnded(const ui::TouchSet&, const ui::Event*) override { ++ended; }
  void touchesCancelled(const ui::TouchSet&, const ui::Event*) override { ++cancelled; }
};

TEST(TapGestureRecognizerTest, FiresOnATapAndCancelsTheTouchOnlyWhenAskedTo) {
  for (bool cancels : {true, false}) {
    auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 200});
    auto counter = std::make_shared<TouchCounter>();
    counter->initWithFrame({0, 0, 100, 100});
    root->addSubview(counter);
    int taps = 0;
    auto tap =
        std::make_shared<ui::TapGestureRecognizer>()->initWithAction([&](ui::GestureRecognizer&) { ++taps; });
    tap->setCancelsTouchesInView(cancels);
    root->addGestureRecognizer(tap);
    ui::tapAtPoint(root, {50, 50});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(counter->ended, cancels ? 0 : 1);
    EXPECT_EQ(counter->cancelled, cancels ? 1 : 0);
    // A finger that travels is no tap.
    ui::SimulatedTouch drag(root, {20, 20});
    drag.moveTo({80, 80});
    drag.end();
    EXPECT_EQ(taps, 1);
  }
}

TEST(ScrollViewInsetTest, ADragRestsAsFarAsTheInsetsReach) {
  auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, 100, 100});
  scroll->setContentSize({100, 300});
  EXPECT_EQ(scroll->maximumContentOffset(), (cg::Point{0, 200}));
  scroll->setContentInset({10, 0, 30, 0});
  EXPECT_EQ(scroll->minimumContentOffset(), (cg::Point{0, -10}));
  EXPECT_EQ(scroll->maximumContentOffset(), (cg::Point{0, 230}));
}

}  // namespace
