// The picker's dressing: where the panes, wheels, separators and glass go, the textured band, and
// when the overlay lays itself out again.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Foundation/Locale.h"
#include "Foundation/NotificationCenter.h"
#include "IXPickerOverlayView/IXPickerOverlayView.h"
#include "UIKit/DatePicker.h"
#include "UIKit/ImageView.h"
#include "UIKit/ViewRenderer.h"

namespace {

// Wheels of given widths, 5 rows each.
class Wheels final : public ui::PickerViewDataSource, public ui::PickerViewDelegate {
 public:
  explicit Wheels(std::vector<double> widths) : widths_(std::move(widths)) {}
  int numberOfComponentsInPickerView(ui::PickerView&) override { return int(widths_.size()); }
  int pickerViewNumberOfRowsInComponent(ui::PickerView&, int) override { return 5; }
  double pickerViewWidthForComponent(ui::PickerView&, int c) override { return widths_[c]; }
  std::optional<std::string> pickerViewTitleForRowForComponent(ui::PickerView&, int row, int) override {
    return "Жанр " + std::to_string(row + 1);
  }

 private:
  std::vector<double> widths_;
};

struct Dressed {
  std::shared_ptr<Wheels> wheels;
  std::shared_ptr<ui::PickerView> picker;
  std::shared_ptr<IXPickerOverlayView> overlay;
};

Dressed dress(std::vector<double> widths) {
  Dressed d;
  d.wheels = std::make_shared<Wheels>(std::move(widths));
  d.picker = std::make_shared<ui::PickerView>()->initWithFrame({20, 0, 280, 216});
  d.picker->setDelegate(d.wheels);
  d.picker->setDataSource(d.wheels);
  d.picker->setShowsSelectionIndicator(true);
  d.overlay = std::make_shared<IXPickerOverlayView>()->initWithFrame(d.picker->frame());
  d.overlay->setHostPickerView(d.picker);
  d.overlay->layoutIfNeeded();
  return d;
}

std::vector<std::pair<cg::Rect, std::string>> imageViews(const ui::View& overlay) {
  std::vector<std::pair<cg::Rect, std::string>> out;
  for (const auto& sub : overlay.subviews()) {
    auto view = std::dynamic_pointer_cast<ui::ImageView>(sub);
    out.emplace_back(sub->frame(), view && view->image() ? view->image()->name() : "");
  }
  return out;
}

TEST(IXPickerOverlayViewTest, PlacesPanesWheelsSeparatorsAndGlass) {
  struct Case {
    const char* name;
    std::vector<double> widths;
    std::vector<std::pair<cg::Rect, std::string>> views;
  };
  // 280 wide: R = 280 - sum(w - 2); an odd R gives its extra point to the left margin.
  const Case cases[] = {
      {"one component, even space",
       {162},
       {{{0, 0, 60, 216}, "ixPickerOverlayLeftPane"},
        {{220, 0, 60, 216}, "ixPickerOverlayRightPane"},
        {{60, 0, 160, 216}, "ixPickerOverlaySectionWheel"},
        {{54, 88, 172, 40}, "ixPickerOverlayGlass"}}},
      {"two components, odd space",
       {160, 91},
       {{{0, 0, 17, 216}, "ixPickerOverlayLeftPane"},
        {{264, 0, 16, 216}, "ixPickerOverlayRightPane"},
        {{17, 0, 158, 216}, "ixPickerOverlaySectionWheel"},
        {{175, 0, 8, 216}, "ixPickerOverlaySectionsSeparator"},
        {{183, 0, 89, 216}, "ixPickerOverlaySectionWheel"},
        {{11, 88, 259, 40}, "ixPickerOverlayGlass"}}},
  };
  for (const Case& c : cases) {
    Dressed d = dress(c.widths);
    auto views = imageViews(*d.overlay);
    ASSERT_EQ(views.size(), c.views.size()) << c.name;
    for (std::size_t i = 0; i < views.size(); ++i) {
      EXPECT_EQ(views[i].first, c.views[i].first) << c.name << " view " << i;
      EXPECT_EQ(views[i].second, c.views[i].second) << c.name << " view " << i;
    }
    EXPECT_FALSE(d.picker->showsSelectionIndicator()) << c.name;
  }
}

TEST(IXPickerOverlayViewTest, StretchesOnlyTheEdgesOfPanesAndTheMiddleOfWheels) {
  Dressed d = dress({160, 90});
  auto stretch = [&](std::size_t i) {
    return std::static_pointer_cast<ui::ImageView>(d.overlay->subviews()[i])->contentStretch();
  };
  EXPECT_EQ(stretch(0), cg::Rect(0, 0, 0, 1));
  EXPECT_EQ(stretch(1), cg::Rect(1, 0, 0, 1));
  EXPECT_EQ(stretch(2), cg::Rect(0, 0.25, 1, 0.5));
  EXPECT_EQ(stretch(3), cg::Rect(0, 0.25, 1, 0.5));
  EXPECT_EQ(stretch(5), cg::Rect(0.5, 0, 0, 1));
}

TEST(IXPickerOverlayViewTest, TextureFillsOnlyTheBandAroundTheWheels) {
  Dressed d = dress({162});
  auto layer = d.overlay->textureLayer();
  ASSERT_EQ(d.overlay->layer()->sublayers().size(), 1u);
  EXPECT_EQ(layer->fillRule(), cg::FillRule::EvenOdd);
  ASSERT_TRUE(layer->fillPattern());
  EXPECT_EQ(layer->transform(), cg::AffineTransform::makeScale(1, -1));
  // Drawn, the frame covers the margins and the top and bottom 10 points, not the wheel.
  auto ctx = cg::Context::makeBitmap({280, 216}, false, 1);
  layer->drawInContext(*ctx);
  auto image = ctx->makeImage();
  auto alphaAt = [&](int x, int y) { return image->pixels()[std::size_t(y) * 280 + std::size_t(x)] >> 24; };
  EXPECT_GT(alphaAt(30, 100), 0u);   // left margin
  EXPECT_GT(alphaAt(250, 100), 0u);  // right margin
  EXPECT_GT(alphaAt(140, 5), 0u);    // top band
  EXPECT_EQ(alphaAt(140, 100), 0u);  // the wheel
}

// The overlay draws the frame around the wheels and the glass band across the selected row, and
// nothing over the wheels themselves: the rows read through it.
TEST(IXPickerOverlayViewTest, ThePickerRowsReadThroughTheOverlay) {
  Dressed d = dress({160, 91});
  auto host = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 216});
  host->addSubview(d.picker);
  host->addSubview(d.overlay);
  d.overlay->setHidden(true);
  auto plain = ui::renderView(host, 2);
  d.overlay->setHidden(false);
  auto dressed = ui::renderView(host, 2);
  ASSERT_TRUE(plain && dressed);
  auto darkness = [](const cg::Color& c) { return c.alpha * (1 - (c.red + c.green + c.blue) / 3); };
  // The row below the selected one, in the first wheel: below the glass, above the frame's band.
  int letters = 0;
  for (int y = 2 * 135; y < 2 * 170; ++y)
    for (int x = 2 * 40; x < 2 * 180; ++x) {
      if (darkness(plain->colorAt(x, y)) < 0.7) continue;
      ++letters;
      cg::Color was = plain->colorAt(x, y), is = dressed->colorAt(x, y);
      EXPECT_LT(std::abs(is.red - was.red) + std::abs(is.green - was.green) + std::abs(is.blue - was.blue),
                0.1)
          << x / 2 << "," << y / 2;
    }
  EXPECT_GT(letters, 50);
}

TEST(IXPickerOverlayViewTest, WithoutAPickerOrComponentsTheOverlayStaysEmpty) {
  auto overlay = std::make_shared<IXPickerOverlayView>()->initWithFrame({0, 0, 280, 216});
  auto plain = std::make_shared<ui::View>()->initWithFrame({0, 0, 280, 216});
  overlay->setHostPickerView(plain);
  overlay->layoutIfNeeded();
  EXPECT_TRUE(overlay->subviews().empty());

  // A picker nested in the host is found; one without components leaves nothing.
  Dressed d = dress({});
  EXPECT_TRUE(d.overlay->subviews().empty());
  auto holder = std::make_shared<ui::View>()->initWithFrame({0, 0, 280, 216});
  auto inner = std::make_shared<ui::View>()->initWithFrame({0, 0, 280, 216});
  holder->addSubview(inner);
  inner->addSubview(d.picker);
  EXPECT_EQ(IXPickerOverlayView::findPickerInView(holder), d.picker);
}

TEST(IXPickerOverlayViewTest, ADatePickerHostIsLaidOutAgainWhenTheLocaleChanges) {
  auto date = std::make_shared<ui::DatePicker>()->initWithFrame({0, 0, 300, 216});
  auto overlay = std::make_shared<IXPickerOverlayView>()->initWithFrame({0, 0, 300, 216});
  overlay->setHostPickerView(date);
  overlay->layoutIfNeeded();
  EXPECT_EQ(overlay->subviews().size(), 3u + 3u + 2u);  // panes, wheels, glass; two separators
  ASSERT_FALSE(overlay->needsLayout());
  ns::NotificationCenter::defaultCenter()->postNotificationName(ns::kCurrentLocaleDidChangeNotification,
                                                                ns::Value());
  EXPECT_TRUE(overlay->needsLayout());

  // A plain picker host is not observed; nor is a date picker once replaced.
  Dressed d = dress({160});
  overlay->setHostPickerView(d.picker);
  overlay->layoutIfNeeded();
  ns::NotificationCenter::defaultCenter()->postNotificationName(ns::kCurrentLocaleDidChangeNotification,
                                                                ns::Value());
  EXPECT_FALSE(overlay->needsLayout());
}

}  // namespace
