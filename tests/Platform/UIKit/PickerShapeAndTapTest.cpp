// The picker's wheels turned by code, a finger and a mouse wheel, the shape layer and an image's stretched
// part as drawn, a tap recogniser that leaves the touches to the views, and the scroll view's content inset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Foundation/Clock.h"
#include "Graphics/Context.h"
#include "Graphics/ShapeLayer.h"
#include "Graphics/Text.h"
#include "UIKit/GestureRecognizer.h"
#include "UIKit/ImageView.h"
#include "UIKit/PickerView.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "support/CaseName.h"

namespace {

class Wheels final : public ui::PickerViewDataSource, public ui::PickerViewDelegate {
 public:
  std::vector<int> rows{3, 5};
  // The first wheel's titles, when given.
  std::vector<std::string> titles;
  std::vector<std::pair<int, int>> picked;
  int numberOfComponentsInPickerView(ui::PickerView&) override { return int(rows.size()); }
  int pickerViewNumberOfRowsInComponent(ui::PickerView&, int c) override { return rows[std::size_t(c)]; }
  std::optional<std::string> pickerViewTitleForRowForComponent(ui::PickerView&, int row, int c) override {
    if (c == 0 && std::size_t(row) < titles.size()) return titles[std::size_t(row)];
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

// A picker of 20 and 30 rows (wheels 160 and 90 wide) inside a page that scrolls up and down, as
// a panel of a phone page may; fingers and the wheel reach it from the root.
struct PickerScene {
  std::shared_ptr<Wheels> wheels = std::make_shared<Wheels>();
  std::shared_ptr<ui::View> root = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 480});
  std::shared_ptr<ui::ScrollView> page = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, 320, 480});
  std::shared_ptr<ui::PickerView> picker =
      std::make_shared<ui::PickerView>()->initWithFrame({20, 100, 280, 216});
  PickerScene() {
    wheels->rows = {20, 30};
    page->setContentSize({320, 1000});
    root->addSubview(page);
    page->addSubview(picker);
    picker->setDelegate(wheels);
    picker->setDataSource(wheels);
  }
  // A point of the root over a wheel, `rowsFromMiddle` rows below the middle of the middle band.
  cg::Point over(int component, double rowsFromMiddle = 0) const {
    double x = component == 0 ? 15 + 80 : 175 + 45;
    double y = std::round((216 - ui::PickerView::kRowHeight) / 2) + ui::PickerView::kRowHeight / 2 +
               rowsFromMiddle * ui::PickerView::kRowHeight;
    return picker->convertPointToView(cg::Point{x, y}, root.get());
  }
};

struct PickerDragCase {
  const char* name;
  int startRow;
  double dy;  // points the finger travels, up being negative
  int moves;  // taken at even times over `seconds`
  double seconds;
  double hold;       // the finger rests this long before it lifts
  int rest;          // the row the wheel comes to rest on
  double dx = 0;     // points the finger travels sideways
  double from = 0;   // where the finger goes down, in rows below the middle
  int shrinkTo = 0;  // rows the wheel is left with once the finger lifts
  // The moves are handled together after the last of them, stamped with when they were made, as
  // behind a slow frame.
  bool late = false;
};

void PrintTo(const PickerDragCase& c, std::ostream* os) { *os << c.name; }

class PickerDragTest : public ::testing::TestWithParam<PickerDragCase> {};

TEST_P(PickerDragTest, TheWheelFollowsTheFingerAndRestsOnARowOnce) {
  const PickerDragCase& c = GetParam();
  ns::ManualClock clock;
  PickerScene scene;
  scene.picker->selectRowInComponent(c.startRow, 0, false);
  scene.picker->selectRowInComponent(4, 1, false);
  cg::Point start = scene.over(0, c.from);
  const double began = ns::clockNow() - (c.late ? c.seconds : 0);
  ui::SimulatedTouch finger(scene.root, start, began);
  for (int i = 1; i <= c.moves; ++i) {
    if (c.seconds > 0 && !c.late) clock.advance(c.seconds / c.moves);
    finger.moveTo({start.x + c.dx * i / c.moves, start.y + c.dy * i / c.moves},
                  c.late ? began + c.seconds * i / c.moves : ns::clockNow());
  }
  EXPECT_EQ(finger.hitView(), scene.picker) << "the page around it does not take the drag over";
  EXPECT_EQ(scene.page->contentOffset(), (cg::Point{0, 0}));
  if (c.hold > 0) clock.advance(c.hold);
  finger.end();
  if (c.shrinkTo > 0) {
    scene.wheels->rows[0] = c.shrinkTo;
    scene.picker->reloadComponent(0);
  }
  clock.advance(0.03);
  EXPECT_EQ(scene.wheels->picked.empty(), scene.picker->isComponentMoving(0)) << "told once it rests";
  clock.advance(ui::PickerView::kLongestSlideSeconds + 0.1);
  EXPECT_FALSE(scene.picker->isComponentMoving(0));
  EXPECT_EQ(scene.picker->selectedRowInComponent(0), c.rest);
  EXPECT_EQ(scene.picker->positionOfComponent(0), c.rest);
  EXPECT_EQ(scene.wheels->picked, (std::vector<std::pair<int, int>>{{0, c.rest}}));
  EXPECT_EQ(scene.picker->selectedRowInComponent(1), 4) << "the other wheel stays";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PickerDragTest,
    ::testing::Values(PickerDragCase{"two rows up held before lifting", 0, -88, 8, 0.4, 0.2, 2},
                      PickerDragCase{"a bit more than two rows held", 0, -100, 8, 0.4, 0.2, 2},
                      PickerDragCase{"nearer three rows held", 0, -120, 8, 0.4, 0.2, 3},
                      PickerDragCase{"down from row ten held", 10, 176, 8, 0.4, 0.2, 6},
                      // 88 points a second is two rows a second: half a second's worth more.
                      PickerDragCase{"two rows slowly, lifted moving", 0, -88, 10, 1, 0, 3},
                      // Twenty rows a second carry the wheel ten rows on.
                      PickerDragCase{"two rows flicked", 0, -88, 5, 0.1, 0, 12},
                      PickerDragCase{"two rows flicked, handled late", 0, -88, 5, 0.1, 0, 12, 0, 0, 0, true},
                      PickerDragCase{"flicked past the end", 10, -132, 3, 0.03, 0, 19},
                      PickerDragCase{"flicked past the start", 3, 200, 4, 0.04, 0, 0},
                      PickerDragCase{"pulled past the start and let go", 0, 150, 8, 0.4, 0.2, 0},
                      // Let go over the row below: no tap, and only the few points down count.
                      PickerDragCase{"sideways from the row below", 5, 6, 6, 0.3, 0.2, 5, 60, 1},
                      PickerDragCase{"flicked, and the wheel shrinks meanwhile", 0, -88, 5, 0.1, 0, 7, 0, 0,
                                     8},
                      // Moves that come at one instant tell no speed: as a script drags.
                      PickerDragCase{"all at once", 0, -88, 8, 0, 0, 2}),
    testsupport::CaseName());

TEST(PickerTurnTest, TapsTurnTheTappedWheelToTheTappedRow) {
  ns::ManualClock clock;
  PickerScene scene;
  scene.picker->selectRowInComponent(5, 0, false);
  struct Case {
    int component;
    double rowsFromMiddle;
    int rest0, rest1;
    bool told;
  };
  const Case cases[] = {
      {0, -1, 4, 0, true}, {0, 2.3, 6, 0, true}, {0, 0.4, 6, 0, false},  // the selection itself
      {1, 1, 6, 1, true},  {1, -1, 6, 0, true},  {1, -1, 6, 0, false},   // nothing above row 0
  };
  for (const Case& c : cases) {
    scene.wheels->picked.clear();
    ui::tapAtPoint(scene.root, scene.over(c.component, c.rowsFromMiddle));
    clock.advance(ui::PickerView::kSettleSeconds + 0.05);
    EXPECT_EQ(scene.picker->selectedRowInComponent(0), c.rest0) << c.component << " " << c.rowsFromMiddle;
    EXPECT_EQ(scene.picker->selectedRowInComponent(1), c.rest1) << c.component << " " << c.rowsFromMiddle;
    auto told = c.told ? std::vector<std::pair<int, int>>{{c.component, c.component ? c.rest1 : c.rest0}}
                       : std::vector<std::pair<int, int>>{};
    EXPECT_EQ(scene.wheels->picked, told) << c.component << " " << c.rowsFromMiddle;
  }
}

TEST(PickerTurnTest, AFlickSlidesFrameByFrameAndAFingerCatchesIt) {
  ns::ManualClock clock;
  PickerScene scene;
  auto flick = [&] {
    cg::Point start = scene.over(0);
    ui::SimulatedTouch finger(scene.root, start);
    for (int i = 1; i <= 5; ++i) {
      clock.advance(0.02);
      finger.moveTo({start.x, start.y - 88.0 * i / 5});
    }
    finger.end();
  };
  flick();
  std::vector<double> positions;
  auto version = scene.picker->displayVersion();
  for (int frame = 0; frame < 10; ++frame) {
    clock.advance(1.0 / 60);
    positions.push_back(scene.picker->positionOfComponent(0));
    EXPECT_GT(scene.picker->displayVersion(), version) << "each frame is drawn again";
    version = scene.picker->displayVersion();
  }
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_LT(positions.back(), 12);
  EXPECT_GT(positions[1] - positions[0], positions[9] - positions[8]) << "it slows down";
  // A finger put on the turning wheel stops it; lifted, the wheel settles on the nearest row.
  double caught = scene.picker->positionOfComponent(0);
  ui::tapAtPoint(scene.root, scene.over(0, 1));
  clock.advance(ui::PickerView::kLongestSlideSeconds);
  EXPECT_EQ(scene.picker->selectedRowInComponent(0), int(std::lround(caught)));
  EXPECT_EQ(scene.wheels->picked, (std::vector<std::pair<int, int>>{{0, int(std::lround(caught))}}))
      << "the caught flick never rested";
}

TEST(PickerTurnTest, AMouseWheelTurnsTheWheelUnderItARowANotch) {
  ns::ManualClock clock;
  PickerScene scene;
  struct Case {
    int component;
    std::vector<double> turns;  // points each, taken at once
    int rest0, rest1;
    bool told;
  };
  const double notch = ui::kWheelNotchPoints;
  const Case cases[] = {
      {1, {notch}, 0, 1, true},       {1, {notch, notch, notch}, 0, 4, true},  // told once, at the end
      {0, {3 * notch}, 3, 4, true},   {0, {-notch}, 2, 4, true},
      {0, {notch / 2}, 2, 4, false},  {0, {notch / 2}, 3, 4, true},  // the two halves make a notch
      {0, {-10 * notch}, 0, 4, true},
  };
  for (const Case& c : cases) {
    scene.wheels->picked.clear();
    for (double turn : c.turns)
      EXPECT_EQ(ui::scrollWheelAtPoint(scene.root, scene.over(c.component), {0, turn}), scene.picker);
    clock.advance(ui::PickerView::kSettleSeconds + 0.05);
    EXPECT_EQ(scene.picker->selectedRowInComponent(0), c.rest0) << c.turns.size() << " " << c.turns[0];
    EXPECT_EQ(scene.picker->selectedRowInComponent(1), c.rest1) << c.turns.size() << " " << c.turns[0];
    EXPECT_EQ(scene.wheels->picked.size(), c.told ? 1u : 0u) << c.turns.size() << " " << c.turns[0];
  }
  EXPECT_EQ(scene.page->contentOffset(), (cg::Point{0, 0})) << "the page under the picker stays";
  EXPECT_EQ(ui::scrollWheelAtPoint(scene.root, scene.over(0), {notch, 0}), nullptr)
      << "no wheel turns sideways";
}

// The box around the dark pixels of a part of an image drawn black on white, and how many there are.
struct Ink {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1, count = 0;
  int width() const { return right < left ? 0 : right - left + 1; }
  int height() const { return bottom < top ? 0 : bottom - top + 1; }
};
Ink inkIn(const cg::Image& image, int x0, int y0, int x1, int y1) {
  Ink ink;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (std::uint32_t p = image.pixelAt(x, y); (p >> 24) > 128 && ((p >> 8) & 0xff) < 128) {
        ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
        ++ink.count;
      }
  return ink;
}

// The drawn row of each title in a wheel 160 wide, against the whole title drawn on one line in
// the font the row uses: the long ones shrink and show whole; past the smallest size the row
// keeps to one line and ends early.
TEST(PickerViewTest, RowTitlesShrinkToTheirWheelThenEndInAnEllipsis) {
  struct Case {
    const char* title;
    bool shrinks;
    bool whole;
  };
  const Case cases[] = {
      {"Сказки", false, true},
      {"Полнометражные", true, true},
      {"Короткометражные", true, true},
      {"Короткометражные и полнометражные мультфильмы", true, false},
  };
  auto wheels = std::make_shared<Wheels>();
  for (const Case& c : cases) wheels->titles.push_back(c.title);
  wheels->rows = {int(std::size(cases)), 1};
  auto picker = std::make_shared<ui::PickerView>()->initWithFrame({0, 0, 320, 216});
  picker->setDelegate(wheels);
  picker->setDataSource(wheels);
  // The first wheel's left edge and the title's room in it.
  const int left = int(std::round((320 - 160 - picker->rowSizeForComponent(1).width) / 2));
  const double room = picker->titleWidthForComponent(0);
  const int band = int(std::round((216 - ui::PickerView::kRowHeight) / 2));
  for (int row = 0; row < int(std::size(cases)); ++row) {
    const Case& c = cases[row];
    picker->selectRowInComponent(row, 0, false);
    auto drawn = ui::renderView(picker, 1);
    ASSERT_TRUE(drawn);
    Ink shown = inkIn(*drawn, left, band, left + 160, band + int(ui::PickerView::kRowHeight));
    cg::Font font = picker->titleFontForRow(row, 0);
    EXPECT_EQ(font.pointSize() < ui::PickerView::kTitleFontSize, c.shrinks) << c.title;
    EXPECT_GE(font.pointSize(), ui::PickerView::kMinimumTitleFontSize) << c.title;
    // The whole title on one line, as wide as it is.
    auto line = cg::Context::makeBitmap({600, 60}, true, 1);
    line->setFillColor(cg::Color::white(1));
    line->fillRect({0, 0, 600, 60});
    line->setFillColor(cg::Color::black());
    cg::drawText(*line, c.title, cg::Point{10, 10}, font);
    Ink whole = inkIn(*line->makeImage(), 0, 0, 600, 60);
    EXPECT_LE(shown.right - left, 160 - 2) << c.title << ": inside its wheel";
    EXPECT_LE(shown.right - shown.left, room) << c.title;
    EXPECT_LE(shown.height(), font.lineHeight()) << c.title << ": one line";
    if (c.whole) {
      EXPECT_EQ(shown.width(), whole.width()) << c.title << ": not cut";
      EXPECT_EQ(shown.count, whole.count) << c.title << ": not cut";
    } else {
      EXPECT_LT(shown.width(), whole.width()) << c.title;
      EXPECT_GT(shown.right - shown.left, room * 3 / 4) << c.title << ": the wheel's room used";
    }
  }
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
