#include <gtest/gtest.h>

#include "Classes/SegmentedBTN/CustomSegmentedControl.h"
#include "Foundation/Exception.h"
#include "Graphics/Context.h"
#include "UIKit/ImageView.h"
#include "UIKit/TouchSimulation.h"
#include "WidgetTestSupport.h"
#include "support/CaseName.h"

namespace {

using ui::Image;

class Recorder : public CustomSegmentedControlDelegate {
 public:
  std::vector<unsigned> taps;
  void touchUpInsideSegmentIndex(unsigned i) override { taps.push_back(i); }
};

class Silent : public CustomSegmentedControlDelegate {};

ns::Array nulls(unsigned n) { return ns::Array(n, ns::Value::null()); }

std::shared_ptr<CustomSegmentedControl> make(unsigned count, ns::Array widths,
                                             std::weak_ptr<CustomSegmentedControlDelegate> delegate = {},
                                             ns::Array titles = {}) {
  if (titles.empty()) titles = nulls(count);
  return std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      count, titles, nulls(count), 38, widths, Image::imageNamed("black_divider"), 10,
      Image::imageNamed("segment_button"), Image::imageNamed("segment_button_pressed"), 9000, delegate);
}

std::vector<cg::Rect> dividerFrames(const CustomSegmentedControl& c) {
  std::vector<cg::Rect> out;
  for (const auto& sub : c.subviews())
    if (std::dynamic_pointer_cast<ui::ImageView>(sub)) out.push_back(sub->frame());
  return out;
}

struct LayoutCase {
  const char* name;
  ns::Array widths;
  double controlWidth;
  std::vector<cg::Rect> buttons;
  std::vector<cg::Rect> dividers;
};

class SegmentLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SegmentLayoutTest, LaysOutButtonsAndDividers) {
  const auto& c = GetParam();
  auto control = make(unsigned(c.widths.size()), c.widths);
  EXPECT_EQ(control->frame(), cg::Rect(0, 0, c.controlWidth, 38));
  ASSERT_EQ(control->buttons().size(), c.buttons.size());
  for (std::size_t i = 0; i < c.buttons.size(); ++i)
    EXPECT_EQ(control->buttons()[i]->frame(), c.buttons[i]) << i;
  EXPECT_EQ(dividerFrames(*control), c.dividers);
  EXPECT_EQ(control->tag(), 9000);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, SegmentLayoutTest,
    ::testing::Values(
        LayoutCase{"two", ns::Array{130, 150}, 282, {{0, 0, 130, 38}, {132, 0, 150, 38}}, {{130, 0, 2, 38}}},
        LayoutCase{"one", ns::Array{122}, 122, {{0, 0, 122, 38}}, {}},
        LayoutCase{"fraction",
                   ns::Array{130.6, 100},
                   232,
                   {{0, 0, float(130.6), 38}, {132, 0, 100, 38}},
                   {{130, 0, 2, 38}}},
        LayoutCase{"three",
                   ns::Array{50, 60, 70},
                   184,
                   {{0, 0, 50, 38}, {52, 0, 60, 38}, {114, 0, 70, 38}},
                   {{50, 0, 2, 38}, {112, 0, 2, 38}}}),
    [](const auto& p) { return std::string(p.param.name); });

// Left cap red, middle grey, right cap blue: only the outer ends keep their caps.
TEST(SegmentedControlTest, BackgroundsKeepCapsOnlyAtTheOuterEnds) {
  const cg::Color red = testsupport::rgb255(200, 60, 60), grey = testsupport::rgb255(70, 70, 70),
                  blue = testsupport::rgb255(60, 60, 200);
  // 21 x 38: the caps 10 wide around a one-point middle of the given colour.
  auto capped = [&](const cg::Color& middle) {
    auto ctx = cg::Context::makeBitmap({21, 38}, false, 1);
    ctx->setFillColor(red);
    ctx->fillRect({0, 0, 10, 38});
    ctx->setFillColor(middle);
    ctx->fillRect({10, 0, 1, 38});
    ctx->setFillColor(blue);
    ctx->fillRect({11, 0, 10, 38});
    return Image::imageWithCGImage(ctx->makeImage());
  };
  auto control = std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      3, nulls(3), nulls(3), 38, ns::Array{60, 60, 60}, Image::imageNamed("black_divider"), 10, capped(grey),
      capped(testsupport::rgb255(30, 144, 255)), 9000, {});
  struct Expect {
    cg::Color left, middle, right;
  } expected[] = {{red, grey, grey}, {grey, grey, grey}, {grey, grey, blue}};
  for (std::size_t i = 0; i < 3; ++i) {
    auto bg = control->buttons()[i]->backgroundImageForState(ui::ControlStateNormal);
    ASSERT_TRUE(bg);
    EXPECT_EQ(bg->size(), (cg::Size{60, 38}));
    auto& px = *bg->CGImage();
    EXPECT_TRUE(testsupport::near(testsupport::colorAtPoint(px, 2, 19), expected[i].left)) << i;
    EXPECT_TRUE(testsupport::near(testsupport::colorAtPoint(px, 30, 19), expected[i].middle)) << i;
    EXPECT_TRUE(testsupport::near(testsupport::colorAtPoint(px, 57, 19), expected[i].right)) << i;
  }
  // Highlighted and selected share the pressed picture.
  auto b = control->buttons()[1];
  EXPECT_EQ(b->backgroundImageForState(ui::ControlStateHighlighted),
            b->backgroundImageForState(ui::ControlStateSelected));
  EXPECT_NE(b->backgroundImageForState(ui::ControlStateHighlighted),
            b->backgroundImageForState(ui::ControlStateNormal));
}

TEST(SegmentedControlTest, BackgroundsAreDrawnAtTheScreenScale) {
  testsupport::ScopedDevice device(ui::DeviceProfile::tablet(2));
  ui::Image::clearNamedCache();
  auto control = make(2, ns::Array{61, 40});
  auto bg = control->buttons()[0]->backgroundImageForState(ui::ControlStateNormal);
  EXPECT_EQ(bg->scale(), 2);
  EXPECT_EQ(bg->size(), (cg::Size{61, 38}));
  ui::Image::clearNamedCache();
}

TEST(SegmentedControlTest, TitlesAndImagesOnlyWhenGiven) {
  auto picture = Image::imageNamed("menuItemMain");
  auto control = std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      3, ns::Array{"Популярные", "", ns::Value::null()},
      ns::Array{ns::Value::null(), picture, ns::Value::null()}, 38, ns::Array{100, 100, 100},
      Image::imageNamed("black_divider"), 10, Image::imageNamed("segment_button"),
      Image::imageNamed("segment_button_pressed"), 1, {});
  const auto& b = control->buttons();
  EXPECT_EQ(b[0]->titleForState(ui::ControlStateNormal), std::optional<std::string>("Популярные"));
  EXPECT_FALSE(b[1]->titleForState(ui::ControlStateNormal));
  EXPECT_FALSE(b[2]->titleForState(ui::ControlStateNormal));
  EXPECT_EQ(b[0]->imageForState(ui::ControlStateNormal), nullptr);
  EXPECT_EQ(b[1]->imageForState(ui::ControlStateNormal), picture);
  for (const auto& button : b) EXPECT_EQ(button->titleLabel()->textColor(), ui::Color::lightGrayColor());
  EXPECT_EQ(control->selectedButtonIndex(), 0);
  for (const auto& button : b) EXPECT_FALSE(button->isSelected());
}

std::vector<bool> selection(const CustomSegmentedControl& c) {
  std::vector<bool> out;
  for (const auto& b : c.buttons()) out.push_back(b->isSelected());
  return out;
}

TEST(SegmentedControlTest, SetFontSelectsTheFirstSegment) {
  auto control = make(3, ns::Array{50, 50, 50});
  auto font = ui::Font::fontWithName("PF Square Sans Pro", 16);
  control->setFont(font);
  EXPECT_EQ(selection(*control), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(control->buttons()[0]->titleLabel()->font(), font);
  EXPECT_EQ(control->buttons()[0]->titleLabel()->textColor(), ui::Color::whiteColor());
  EXPECT_EQ(control->buttons()[2]->titleLabel()->textColor(), ui::Color::lightGrayColor());
}

struct IndexCase {
  const char* name;
  std::function<void(CustomSegmentedControl&)> act;
  std::vector<bool> selected;
  int index;
};

class SegmentIndexTest : public ::testing::TestWithParam<IndexCase> {};

TEST_P(SegmentIndexTest, SelectionByHand) {
  auto control = make(3, ns::Array{50, 50, 50});
  GetParam().act(*control);
  EXPECT_EQ(selection(*control), GetParam().selected);
  EXPECT_EQ(control->selectedButtonIndex(), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SegmentIndexTest,
    ::testing::Values(IndexCase{"none", [](CustomSegmentedControl&) {}, {false, false, false}, 0},
                      IndexCase{"past the end selects first",
                                [](CustomSegmentedControl& c) { c.setSelectedAtIndex(5); },
                                {true, false, false},
                                0},
                      IndexCase{"deselect past the end",
                                [](CustomSegmentedControl& c) {
                                  c.setSelectedAtIndex(2);
                                  c.deselectAtIndex(5);
                                },
                                {false, false, true},
                                2},
                      IndexCase{"both selected answers first",
                                [](CustomSegmentedControl& c) {
                                  c.setFont(ui::Font::systemFontOfSize(12));
                                  c.setSelectedAtIndex(1);
                                },
                                {true, true, false},
                                0},
                      IndexCase{"moved by hand",
                                [](CustomSegmentedControl& c) {
                                  c.setFont(ui::Font::systemFontOfSize(12));
                                  c.setSelectedAtIndex(2);
                                  c.deselectAtIndex(0);
                                },
                                {false, false, true},
                                2}),
    testsupport::CaseName());

TEST(SegmentedControlTest, TapsSelectAndReportEveryTime) {
  auto recorder = std::make_shared<Recorder>();
  auto root = testsupport::rootView();
  auto control = make(3, ns::Array{50, 50, 50}, recorder);
  control->setFont(ui::Font::systemFontOfSize(12));
  root->addSubview(control);
  ui::tap(control->buttons()[2]);
  ui::tap(control->buttons()[2]);
  ui::tap(control->buttons()[1]);
  EXPECT_EQ(recorder->taps, (std::vector<unsigned>{2, 2, 1}));
  EXPECT_EQ(selection(*control), (std::vector<bool>{false, true, false}));
  EXPECT_EQ(control->buttons()[1]->titleLabel()->textColor(), ui::Color::whiteColor());
  EXPECT_EQ(control->buttons()[2]->titleLabel()->textColor(), ui::Color::lightGrayColor());
  EXPECT_FALSE(control->buttons()[1]->isHighlighted());
}

TEST(SegmentedControlTest, DragOutsideGreysTheTitleAndKeepsTheSelection) {
  auto recorder = std::make_shared<Recorder>();
  auto root = testsupport::rootView();
  auto control = make(2, ns::Array{100, 100}, recorder);
  control->setFont(ui::Font::systemFontOfSize(12));
  root->addSubview(control);
  ui::dragOutside(control->buttons()[0]);
  EXPECT_TRUE(recorder->taps.empty());
  EXPECT_EQ(selection(*control), (std::vector<bool>{true, false}));
  EXPECT_EQ(control->buttons()[0]->titleLabel()->textColor(), ui::Color::lightGrayColor());
  ui::dragOutside(control->buttons()[1]);
  EXPECT_EQ(selection(*control), (std::vector<bool>{true, false}));
}

TEST(SegmentedControlTest, DelegateWithoutTheOperationOrGoneStillSelects) {
  auto root = testsupport::rootView();
  auto silent = std::make_shared<Silent>();
  auto control = make(2, ns::Array{100, 100}, silent);
  root->addSubview(control);
  ui::tap(control->buttons()[1]);
  EXPECT_EQ(selection(*control), (std::vector<bool>{false, true}));
  silent.reset();
  ui::tap(control->buttons()[0]);
  EXPECT_EQ(selection(*control), (std::vector<bool>{true, false}));
}

struct BadInput {
  const char* name;
  unsigned count;
  ns::Array titles, images, widths;
  float cap;
};

class SegmentPreconditionTest : public ::testing::TestWithParam<BadInput> {};

// Counts and lists that would index past their ends, and negative lengths, are refused.
TEST_P(SegmentPreconditionTest, RefusesInputThatCannotBeLaidOut) {
  const auto& c = GetParam();
  try {
    std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
        c.count, c.titles, c.images, 38, c.widths, Image::imageNamed("black_divider"), c.cap,
        Image::imageNamed("segment_button"), Image::imageNamed("segment_button_pressed"), 0, {});
    FAIL() << "no precondition failure for " << c.name;
  } catch (const ns::Exception& e) {
    EXPECT_EQ(e.name(), ns::kInternalInconsistencyException);
    EXPECT_EQ(e.reason().rfind("Invalid parameter not satisfying: ", 0), 0u) << e.reason();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SegmentPreconditionTest,
    ::testing::Values(BadInput{"no segments", 0, {}, {}, {}, 10},
                      BadInput{"short titles", 2, nulls(1), nulls(2), ns::Array{10, 10}, 10},
                      BadInput{"short images", 2, nulls(2), nulls(1), ns::Array{10, 10}, 10},
                      BadInput{"short widths", 3, nulls(3), nulls(3), ns::Array{10, 10}, 10},
                      BadInput{"negative cap", 2, nulls(2), nulls(2), ns::Array{10, 10}, -1},
                      BadInput{"negative width", 2, nulls(2), nulls(2), ns::Array{10, -10}, 10}),
    testsupport::CaseName());

}  // namespace
