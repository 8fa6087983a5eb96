// Sliders and progress views, and images drawn in nine parts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Graphics/Context.h"
#include "UIKit/ImageView.h"
#include "UIKit/ProgressView.h"
#include "UIKit/Slider.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "support/CaseName.h"

namespace {

using Log = std::vector<std::string>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool near(const cg::Color& a, const cg::Color& b) {
  double t = 3.0 / 255;
  return std::abs(a.red - b.red) <= t && std::abs(a.green - b.green) <= t && std::abs(a.blue - b.blue) <= t &&
         std::abs(a.alpha - b.alpha) <= t;
}

struct ValueCase {
  const char* name;
  float minimum, maximum, value, expected;
};

class SliderValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(SliderValueTest, ValueStaysWithinTheRange) {
  const auto& c = GetParam();
  auto slider = std::make_shared<ui::Slider>()->initWithFrame({0, 0, 100, 20});
  slider->setMinimumValue(c.minimum);
  slider->setMaximumValue(c.maximum);
  slider->setValue(c.value);
  EXPECT_EQ(slider->value(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, SliderValueTest,
                         ::testing::Values(ValueCase{"Inside", 0, 1, 0.25f, 0.25f},
                                           ValueCase{"Below", 0, 1, -2, 0}, ValueCase{"Above", 0, 1, 7, 1},
                                           ValueCase{"NotANumberReadsTheMinimum", 2, 5, kNaN, 2},
                                           ValueCase{"Infinity", 0, 1, kInf, 1},
                                           ValueCase{"OtherRange", -10, 10, 3, 3}),
                         testsupport::CaseName());

TEST(SliderTest, NarrowingTheRangePullsTheValueIn) {
  auto slider = std::make_shared<ui::Slider>()->initWithFrame({0, 0, 100, 20});
  slider->setValue(0.8f);
  slider->setMaximumValue(0.5f);
  EXPECT_EQ(slider->value(), 0.5f);
  slider->setMinimumValue(0.7f);
  EXPECT_EQ(slider->maximumValue(), 0.7f);
  EXPECT_EQ(slider->value(), 0.7f);
}

struct Recorded {
  std::shared_ptr<ui::Slider> slider = std::make_shared<ui::Slider>()->initWithFrame({10, 10, 123, 23});
  std::shared_ptr<ui::View> root = std::make_shared<ui::View>()->initWithFrame({0, 0, 400, 100});
  Log log;
  Recorded() {
    root->addSubview(slider);
    const std::pair<unsigned, const char*> events[] = {{ui::ControlEventTouchDown, "down"},
                                                       {ui::ControlEventValueChanged, "value"},
                                                       {ui::ControlEventTouchUpInside, "upInside"},
                                                       {ui::ControlEventTouchUpOutside, "upOutside"},
                                                       {ui::ControlEventTouchCancel, "cancel"}};
    for (auto [event, name] : events)
      slider->addTarget(
          nullptr, [this, name = std::string(name)](ui::Control&) { log.push_back(name); }, event);
  }
};

TEST(SliderTest, TheValueFollowsAFingerDraggedAlongTheTrack) {
  Recorded r;
  // 123 wide with the 23-point default thumb: 100 points of travel from x 21.5 to 121.5 (root).
  {
    ui::SimulatedTouch touch(r.root, {46.5, 20});
    EXPECT_NEAR(r.slider->value(), 0.25, 1e-6);
    touch.moveTo({96.5, 22});
    EXPECT_NEAR(r.slider->value(), 0.75, 1e-6);
    touch.moveTo({96.5, 30});  // across the track only: no change, no event
    touch.moveTo({500, 20});   // past the end
    EXPECT_EQ(r.slider->value(), 1);
    touch.end();
  }
  EXPECT_EQ(r.log, (Log{"down", "value", "value", "value", "upOutside"}));

  r.log.clear();
  {
    ui::SimulatedTouch touch(r.root, {15, 20});
    touch.cancel();
  }
  EXPECT_EQ(r.slider->value(), 0);
  EXPECT_EQ(r.log, (Log{"down", "value", "cancel"}));

  r.log.clear();
  ui::tap(r.slider);
  EXPECT_EQ(r.log, (Log{"down", "value", "upInside"}));
  EXPECT_NE(ui::dumpViewTree(r.root).find("value=0.500"), std::string::npos) << ui::dumpViewTree(r.root);

  r.log.clear();
  r.slider->setEnabled(false);
  ui::tap(r.slider);
  EXPECT_TRUE(r.log.empty());
  EXPECT_EQ(r.slider->value(), 0.5f);
}

TEST(SliderTest, TheThumbIsDrawnAboveTheSlidersOwnSubviews) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 123, 23});
  auto slider = std::make_shared<ui::Slider>()->initWithFrame({0, 0, 123, 23});
  root->addSubview(slider);
  auto cover = std::make_shared<ui::View>()->initWithFrame({0, 0, 123, 23});
  cover->setBackgroundColor(ui::Color::redColor());
  cover->setUserInteractionEnabled(false);
  slider->addSubview(cover);
  slider->setValue(0.5f);
  auto image = ui::renderView(root, 1);
  ASSERT_TRUE(image);
  EXPECT_TRUE(near(image->colorAt(61, 11), cg::Color::white(1))) << "thumb over the cover";
  EXPECT_TRUE(near(image->colorAt(2, 2), cg::Color::rgba(1, 0, 0))) << "cover over the maximum track";
  EXPECT_EQ(ui::tapAtPoint(root, {100, 11}), slider);
}

TEST(ProgressViewTest, ProgressStaysWithinZeroAndOneAndFillsThatFarFromTheLeft) {
  auto view = std::make_shared<ui::ProgressView>()->initWithFrame({0, 0, 100, 10});
  const std::pair<float, float> cases[] = {{0.3f, 0.3f}, {-1, 0}, {2, 1}, {kNaN, 0}, {kInf, 1}};
  for (auto [in, out] : cases) {
    view->setProgress(in);
    EXPECT_EQ(view->progress(), out) << in;
  }
  view->setProgress(0.3f);
  EXPECT_EQ(view->progressRect(), cg::Rect(0, 0, 30, 10));
  auto image = ui::renderView(view, 1);
  ASSERT_TRUE(image);
  EXPECT_TRUE(near(image->colorAt(15, 5), cg::Color::rgba(0.16, 0.47, 0.94)));
  EXPECT_TRUE(near(image->colorAt(60, 5), cg::Color::white(0.72)));
}

// A 15 x 15 image of nine 5 x 5 squares, each its own colour.
std::shared_ptr<ui::Image> nineSquares() {
  auto ctx = cg::Context::makeBitmap({15, 15}, false, 1);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) {
      ctx->setFillColor(cg::Color::rgba(col / 2.0, row / 2.0, 0.5));
      ctx->fillRect({col * 5.0, row * 5.0, 5, 5});
    }
  return ui::Image::imageWithCGImage(ctx->makeImage());
}

TEST(ResizableImageTest, CornersKeepTheirSizeEdgesStretchAlongAndTheMiddleBothWays) {
  auto image = nineSquares()->resizableImageWithCapInsets({5, 5, 5, 5});
  EXPECT_TRUE(image->isStretchable());
  EXPECT_EQ(image->capInsets(), (cg::EdgeInsets{5, 5, 5, 5}));
  auto view = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, 100, 60});
  view->setImage(image);
  auto drawn = ui::renderView(view, 1);
  ASSERT_TRUE(drawn);
  auto square = [](int col, int row) { return cg::Color::rgba(col / 2.0, row / 2.0, 0.5); };
  const struct {
    int x, y, col, row;
  } probes[] = {{2, 2, 0, 0},   {50, 2, 1, 0}, {97, 2, 2, 0},  {2, 30, 0, 1},  {50, 30, 1, 1},
                {97, 30, 2, 1}, {2, 57, 0, 2}, {50, 57, 1, 2}, {97, 57, 2, 2}, {6, 6, 1, 1},
                {93, 53, 1, 1}, {4, 4, 0, 0},  {95, 55, 2, 2}};
  for (const auto& p : probes)
    EXPECT_TRUE(near(drawn->colorAt(p.x, p.y), square(p.col, p.row))) << p.x << "," << p.y;

  // Caps on one axis only: the other stretches whole, as the player's slider images do.
  auto row = nineSquares()->resizableImageWithCapInsets({0, 5, 0, 5});
  view->setImage(row);
  drawn = ui::renderView(view, 1);
  ASSERT_TRUE(drawn);
  EXPECT_TRUE(near(drawn->colorAt(2, 5), square(0, 0)));
  EXPECT_TRUE(near(drawn->colorAt(2, 55), square(0, 2)));
  EXPECT_TRUE(near(drawn->colorAt(97, 30), square(2, 1)));
  EXPECT_FALSE(nineSquares()->resizableImageWithCapInsets({})->isStretchable());
}

}  // namespace
