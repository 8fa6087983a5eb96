// The time texts, the buffered fraction and the buffer bar of the inline and the upper bar.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "AKMoviePlayer/AKMovieSlider.h"
#include "Libraries/AKMoviePlayer/PlayerViewsTestSupport.h"
#include "UIKit/TouchSimulation.h"
#include "support/CaseName.h"

namespace {

using testsupport::seconds;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Both bars that show times, made for the current device.
std::vector<std::shared_ptr<AKMovieTimeBar>> timeBars() {
  return {std::make_shared<AKMoviePreviewControllBar>()->initWithParentFrame({0, 0, 400, 300}),
          std::make_shared<AKMovieUpperControllBar>()->initWithWidth(0)};
}

struct TimeCase {
  const char* name;
  std::optional<av::Time> duration;  // none: no duration given yet
  std::optional<av::Time> played;    // none: no time synced yet
  const char* current;
  const char* left;
};

class TimeTextTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTextTest, LabelsShowPlayedAndRemainingTime) {
  const auto& c = GetParam();
  testsupport::PlayerScreen screen;
  for (const auto& bar : timeBars()) {
    if (c.duration) bar->setItemDuration(*c.duration);
    if (c.played) bar->syncPlayedTime(*c.played);
    EXPECT_EQ(bar->currentTime()->text(), c.current) << bar->className();
    EXPECT_EQ(bar->leftTime()->text(), c.left) << bar->className();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Times, TimeTextTest,
    ::testing::Values(TimeCase{"BeforeAnyDuration", std::nullopt, std::nullopt, "--:--", "--:--"},
                      TimeCase{"DurationAloneChangesNoText", seconds(3725.4), std::nullopt, "--:--", "--:--"},
                      TimeCase{"Start", seconds(3725.4), seconds(0), "0:00", "-62:05"},
                      TimeCase{"End", seconds(3725.4), seconds(3725.4), "62:05", "-0:00"},
                      TimeCase{"UnderAMinute", seconds(100), seconds(59.9), "0:59", "-0:40"},
                      TimeCase{"BeyondTheDuration", seconds(100), seconds(130), "2:10", "-0:00"},
                      TimeCase{"NegativePlayedTime", seconds(100), seconds(-5), "0:00", "-1:45"},
                      TimeCase{"InvalidPlayedTime", seconds(100), av::kTimeInvalid, "0:00", "-0:00"},
                      TimeCase{"InfiniteDuration", av::kTimePositiveInfinity, seconds(10), "0:10", "-0:00"},
                      TimeCase{"IndefiniteDuration", av::kTimeIndefinite, seconds(10), "0:10", "-0:00"},
                      TimeCase{"NoDurationYet", std::nullopt, seconds(10), "0:10", "-0:00"},
                      TimeCase{"MinutesBeyondTheTextsRange", seconds(100), seconds(1e15), "0:00", "-0:00"},
                      TimeCase{"NegativeInfinity", seconds(100), av::kTimeNegativeInfinity, "0:00", "-0:00"}),
    testsupport::CaseName());

TEST(TimeTextTest, TheSharedTextCoversEveryDoubleWithoutUndefinedConversions) {
  EXPECT_EQ(akmovie::timeStringForSeconds(kNaN), "0:00");
  EXPECT_EQ(akmovie::timeStringForSeconds(kInf), "0:00");
  EXPECT_EQ(akmovie::timeStringForSeconds(-kInf), "0:00");
  EXPECT_EQ(akmovie::timeStringForSeconds(std::numeric_limits<double>::max()), "0:00");
  EXPECT_EQ(akmovie::timeStringForSeconds(59.999), "0:59");
  EXPECT_EQ(akmovie::timeStringForSeconds(60), "1:00");
  // The largest minute count the text holds still reads as a number.
  double last = 60.0 * std::numeric_limits<int>::max();
  EXPECT_EQ(akmovie::timeStringForSeconds(last), ns::format("%d:00", std::numeric_limits<int>::max()));
}

struct BufferCase {
  const char* name;
  av::Time duration;
  double loaded;
  float fraction;
  const char* fill;
};

class BufferTest : public ::testing::TestWithParam<BufferCase> {};

TEST_P(BufferTest, LoadedTimeSetsTheBufferBarAndItsFill) {
  const auto& c = GetParam();
  testsupport::PlayerScreen screen;
  for (const auto& bar : timeBars()) {
    bar->setItemDuration(c.duration);
    bar->scrubber()->bufferSize()->setProgress(0.5f);  // shows that 0 is set, not left alone
    bar->syncLoadedTime(c.loaded);
    const auto& buffer = bar->scrubber()->bufferSize();
    EXPECT_NEAR(buffer->progress(), c.fraction, 1e-6) << bar->className();
    EXPECT_EQ(testsupport::imageName(buffer->progressImage()), std::string("AKMovieImages.bundle/") + c.fill);
    EXPECT_EQ(buffer->progressImage()->capInsets(), (cg::EdgeInsets{0, 5, 0, 5}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fractions, BufferTest,
    ::testing::Values(
        BufferCase{"UnderOneSecond", seconds(100), 0.9, 0, "sliderBufferProgressF"},
        BufferCase{"WholeSecondsOnly", seconds(100), 50.7, 0.5f, "sliderBufferProgressF"},
        BufferCase{"JustBelowTheClosedFill", seconds(100), 98.6, 0.98f, "sliderBufferProgressF"},
        BufferCase{"ClosedFill", seconds(100), 99, 0.99f, "sliderBufferProgress"},
        BufferCase{"MoreThanTheDuration", seconds(100), 150, 1, "sliderBufferProgress"},
        BufferCase{"FarMoreThanTheDuration", seconds(0.5), 1e12, 1, "sliderBufferProgress"},
        BufferCase{"ZeroDuration", seconds(0), 5, 0, "sliderBufferProgressF"},
        BufferCase{"NoDuration", av::kTimeInvalid, 5, 0, "sliderBufferProgressF"},
        BufferCase{"InfiniteDuration", av::kTimePositiveInfinity, 5, 0, "sliderBufferProgressF"},
        BufferCase{"LoadedNotANumber", seconds(100), kNaN, 0, "sliderBufferProgressF"},
        BufferCase{"LoadedNegative", seconds(100), -20, 0, "sliderBufferProgressF"}),
    testsupport::CaseName());

// The bar pins what it is given to 0...1 and picks its fill from the pinned value.
TEST(MovieSliderTest, TheBufferBarPinsItsFractionAndFillsByThePinnedValue) {
  struct Case {
    float given, kept;
    const char* fill;
  };
  const Case cases[] = {{1.5f, 1, "sliderBufferProgress"},
                        {-0.5f, 0, "sliderBufferProgressF"},
                        {std::numeric_limits<float>::quiet_NaN(), 0, "sliderBufferProgressF"},
                        {std::numeric_limits<float>::infinity(), 1, "sliderBufferProgress"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    auto bar = std::make_shared<AKProgressView>()->initWithFrame({0, 0, 100, 11});
    bar->setProgress(c.given);
    EXPECT_EQ(bar->progress(), c.kept);
    EXPECT_EQ(testsupport::imageName(bar->progressImage()), std::string("AKMovieImages.bundle/") + c.fill);
  }
}

TEST(MovieSliderTest, BufferBarLiesAlongTheTrackAndFollowsTheSlidersWidth) {
  auto slider = std::make_shared<AKMovieSlider>()->initWithFrame({0, 0, 100, 20});
  const auto& buffer = slider->bufferSize();
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->superview(), slider);
  EXPECT_EQ(buffer->frame(), cg::Rect(1, 6, 98, 11));
  EXPECT_FALSE(buffer->isUserInteractionEnabled());
  EXPECT_EQ(testsupport::imageName(buffer->trackImage()), "AKMovieImages.bundle/sliderBufferTrack");
  slider->setFrame({0, 0, 300, 20});
  EXPECT_EQ(buffer->frame(), cg::Rect(1, 6, 298, 11));
  slider->setFrame({0, 0, 40, 20});
  EXPECT_EQ(buffer->frame(), cg::Rect(1, 6, 38, 11));

  EXPECT_EQ(slider->minimumValue(), 0);
  EXPECT_EQ(slider->maximumValue(), 1);
  for (float v : {-3.0f, 7.5f, float(kNaN), float(kInf)}) {
    slider->setValue(v);
    EXPECT_GE(slider->value(), 0) << v;
    EXPECT_LE(slider->value(), 1) << v;
  }
  EXPECT_EQ(testsupport::imageName(slider->thumbImageForState(ui::ControlStateNormal)),
            "AKMovieImages.bundle/sliderThumb");
  EXPECT_EQ(slider->minimumTrackImageForState(ui::ControlStateNormal)->capInsets(),
            (cg::EdgeInsets{0, 5, 0, 5}));
  EXPECT_FALSE(slider->maximumTrackImageForState(ui::ControlStateNormal)->isStretchable());
}

TEST(MovieSliderTest, TouchesOnTheBufferBarReachTheSlider) {
  auto slider = std::make_shared<AKMovieSlider>()->initWithFrame({10, 10, 200, 20});
  auto root = testsupport::hostFor(slider, 300, 100);
  int changes = 0;
  slider->addTarget(
      nullptr, [&](ui::Control&) { ++changes; }, ui::ControlEventValueChanged);
  EXPECT_EQ(ui::tapAtPoint(root, {160, 21}), slider);
  EXPECT_EQ(changes, 1);
  EXPECT_GT(slider->value(), 0.5f);
}

}  // namespace
