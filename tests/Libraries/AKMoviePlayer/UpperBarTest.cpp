// The full-screen top bar: its size per device and orientation, the toolbar's items, Done, the
// fit/fill switch, loading, widening labels and the fades that take the status bar along.
#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "Libraries/AKMoviePlayer/PlayerViewsTestSupport.h"
#include "Media/PlayerLayer.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Font.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "support/CaseName.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::Log;
using testsupport::seconds;
using Orientation = ui::InterfaceOrientation;

std::shared_ptr<AKMovieUpperControllBar> makeBar() {
  auto bar = std::make_shared<AKMovieUpperControllBar>()->initWithWidth(12345);
  bar->layoutIfNeeded();
  bar->toolbar()->layoutIfNeeded();
  return bar;
}

struct FrameCase {
  const char* name;
  ui::DeviceProfile device;
  Orientation orientation;
  double width;
  double sliderWidth;
  const char* done;
  double doneWidth;
  const char* fit;
};

class UpperBarFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(UpperBarFrameTest, SizeComesFromTheDeviceAndTheStatusBarOrientation) {
  const auto& c = GetParam();
  testsupport::PlayerScreen screen(c.device, c.orientation);
  auto bar = makeBar();
  EXPECT_EQ(bar->frame(), cg::Rect(0, 10, c.width, 44));
  EXPECT_EQ(bar->toolbar()->frame(), cg::Rect(0, 10, c.width, 44));
  EXPECT_EQ(testsupport::imageName(bar->toolbar()->backgroundImageForToolbarPosition(
                ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics)),
            "AKMovieImages.bundle/toolbarBg");
  EXPECT_EQ(bar->scrubber()->frame().width(), c.sliderWidth);
  EXPECT_EQ(bar->doneBt()->frame().size, (cg::Size{c.doneWidth, 30}));
  EXPECT_EQ(testsupport::imageName(bar->doneBt()->backgroundImageForState(ui::ControlStateNormal)), c.done);
  EXPECT_EQ(testsupport::imageName(bar->videoSizeBt()->backgroundImageForState(ui::ControlStateNormal)),
            std::string("AKMovieImages.bundle/videoGravityResizeAspect") + c.fit);
  EXPECT_EQ(testsupport::imageName(bar->videoSizeBt()->backgroundImageForState(ui::ControlStateSelected)),
            std::string("AKMovieImages.bundle/videoGravityResizeAspectFill") + c.fit);

  // The items in order, the phone's negative space first; every control inside the bar.
  std::vector<std::shared_ptr<ui::View>> expected{bar->doneBt(), bar->currentTime(), bar->scrubber(),
                                                  bar->leftTime(), bar->videoSizeBt()};
  const auto& items = bar->toolbar()->items();
  bool phone = c.device.idiom == ui::UserInterfaceIdiom::phone;
  ASSERT_EQ(items.size(), expected.size() + (phone ? 1 : 0));
  if (phone) {
    EXPECT_TRUE(items[0]->isFixedSpace());
    EXPECT_EQ(items[0]->width(), -5);
  }
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(items[i + (phone ? 1 : 0)]->customView(), expected[i]) << i;
  EXPECT_LE(bar->videoSizeBt()->frame().maxX(), c.width);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, UpperBarFrameTest,
    ::testing::Values(FrameCase{"TabletLandscape", ui::DeviceProfile::tablet(), Orientation::landscapeLeft,
                                1024, 769, "tbBack", 68, ""},
                      FrameCase{"TabletPortrait", ui::DeviceProfile::tablet(),
                                Orientation::portraitUpsideDown, 768, 513, "tbBack", 68, ""},
                      FrameCase{"TallPhoneLandscape", ui::DeviceProfile::phoneTall(),
                                Orientation::landscapeRight, 568, 333, "tmBackIphone", 61, "_iPhone"},
                      FrameCase{"TallPhonePortrait", ui::DeviceProfile::phoneTall(), Orientation::portrait,
                                320, 85, "tmBackIphone", 61, "_iPhone"},
                      FrameCase{"PhoneLandscape", ui::DeviceProfile::phone(), Orientation::landscapeLeft, 480,
                                245, "tmBackIphone", 61, "_iPhone"},
                      FrameCase{"PhonePortrait", ui::DeviceProfile::phone(), Orientation::portrait, 320, 85,
                                "tmBackIphone", 61, "_iPhone"}),
    testsupport::CaseName());

TEST(UpperBarTest, DoneAnswersTheFingerGoingDown) {
  testsupport::PlayerScreen screen;
  auto bar = makeBar();
  auto root = testsupport::hostFor(bar);
  auto recorder = std::make_shared<testsupport::BarRecorder>();
  bar->setDelegate(recorder);
  cg::Point centre = bar->doneBt()->convertPointToView(bar->doneBt()->bounds().center(), nullptr);
  ui::SimulatedTouch touch(root, centre);
  EXPECT_EQ(recorder->log, Log{"done"});
  touch.end();
  EXPECT_EQ(recorder->log, Log{"done"});
}

TEST(UpperBarTest, TheFitFillSwitchAsksForFillThenFitAndNewItemsStartFitted) {
  testsupport::PlayerScreen screen;
  auto bar = makeBar();
  auto root = testsupport::hostFor(bar);
  auto recorder = std::make_shared<testsupport::BarRecorder>();
  bar->setDelegate(recorder);
  ui::tap(bar->videoSizeBt());
  EXPECT_TRUE(bar->videoSizeBt()->isSelected());
  ui::tap(bar->videoSizeBt());
  EXPECT_EQ(recorder->log, (Log{av::kLayerVideoGravityResizeAspectFill, av::kLayerVideoGravityResizeAspect}));
  EXPECT_FALSE(bar->videoSizeBt()->isSelected());
  ui::tap(bar->videoSizeBt());
  bar->didSetNewItem();
  EXPECT_FALSE(bar->videoSizeBt()->isSelected());
}

TEST(UpperBarTest, ScrubbingEventsCarryTheSlidersWidth) {
  testsupport::PlayerScreen screen(ui::DeviceProfile::phone(), Orientation::portrait);
  auto bar = makeBar();
  auto root = testsupport::hostFor(bar);
  auto recorder = std::make_shared<testsupport::BarRecorder>();
  bar->setDelegate(recorder);
  ui::dragOutside(bar->scrubber());
  EXPECT_EQ(recorder->log.front(), "begin");
  EXPECT_EQ(recorder->log.back(), "end 85");
  EXPECT_EQ(std::count(recorder->log.begin(), recorder->log.end(), "end 85"), 1);
  bar->setIsAdv(true);
  recorder->log.clear();
  ui::tap(bar->scrubber());
  EXPECT_TRUE(recorder->log.empty()) << "an advertisement cannot be scrubbed";
}

int indicatorsIn(const ui::View& bar) {
  int n = 0;
  for (const auto& v : bar.subviews())
    for (const auto& inner : v->subviews())
      if (std::dynamic_pointer_cast<ui::ActivityIndicatorView>(inner)) ++n;
  return n;
}

TEST(UpperBarTest, LoadingShowsOneIndicatorInPlaceOfTheTimeControls) {
  testsupport::PlayerScreen screen(ui::DeviceProfile::tablet(), Orientation::landscapeLeft);
  auto bar = makeBar();
  bar->syncScrubber(0.4f);
  bar->setItemDuration(seconds(100));
  bar->syncLoadedTime(60);

  bar->setLoading(true);
  bar->setLoading(true);
  EXPECT_EQ(indicatorsIn(*bar), 1);
  ASSERT_TRUE(bar->activityView());
  EXPECT_EQ(bar->activityView()->superview(), bar);
  EXPECT_EQ(bar->activityView()->frame(), cg::Rect(457, 24, 110, 20));
  EXPECT_EQ(bar->scrubber()->value(), 0);
  EXPECT_EQ(bar->scrubber()->bufferSize()->progress(), 0);
  EXPECT_TRUE(bar->currentTime()->isHidden());
  EXPECT_TRUE(bar->leftTime()->isHidden());
  EXPECT_TRUE(bar->scrubber()->isHidden());
  EXPECT_FALSE(bar->videoSizeBt()->isEnabled());
  EXPECT_NE(ui::dumpViewTree(bar).find("Загрузка..."), std::string::npos);

  bar->setLoading(false);
  EXPECT_EQ(indicatorsIn(*bar), 0);
  EXPECT_FALSE(bar->scrubber()->isHidden());
  EXPECT_TRUE(bar->videoSizeBt()->isEnabled());
  // Again without an indicator: only the controls' visibility is touched.
  bar->currentTime()->setHidden(true);
  bar->setLoading(false);
  EXPECT_FALSE(bar->currentTime()->isHidden());
  EXPECT_EQ(indicatorsIn(*bar), 0);
}

TEST(UpperBarTest, WiderLabelsTakeTheirRoomFromTheSliderAlone) {
  ui::ScopedTextMeasurer measurer([](const std::string& text, const ui::Font*, cg::Size, ui::LineBreakMode) {
    return cg::Size{10.0 * double(text.size()), 14};
  });
  testsupport::PlayerScreen screen(ui::DeviceProfile::tablet(), Orientation::landscapeLeft);
  auto bar = makeBar();
  cg::Rect leftBefore = bar->leftTime()->frame(), switchBefore = bar->videoSizeBt()->frame();
  double currentX = bar->currentTime()->frame().x();
  bar->setItemDuration(seconds(3725.4));
  bar->toolbar()->layoutIfNeeded();
  EXPECT_EQ(bar->currentTime()->frame(), cg::Rect(currentX, 12, 50, 20));
  EXPECT_EQ(bar->leftTime()->frame().width(), 60);
  EXPECT_EQ(bar->scrubber()->frame().width(), 769 - 15 - 20);
  EXPECT_EQ(bar->leftTime()->frame().maxX(), leftBefore.maxX()) << "nothing to its right moves";
  EXPECT_EQ(bar->videoSizeBt()->frame(), switchBefore);
  bar->setItemDuration(seconds(5));
  bar->toolbar()->layoutIfNeeded();
  EXPECT_EQ(bar->scrubber()->frame().width(), 769 - 15 - 20);
}

TEST(UpperBarTest, TurningTheScreenLaysTheToolbarOutAsIfBuiltThatWay) {
  testsupport::PlayerScreen screen(ui::DeviceProfile::tablet(), Orientation::landscapeLeft);
  auto built = makeBar();
  ui::Application::sharedApplication()->setStatusBarOrientation(Orientation::portrait);
  auto turned = makeBar();
  turned->setFrame(built->frame());
  turned->toolbar()->layoutIfNeeded();
  EXPECT_EQ(turned->toolbar()->frame(), built->toolbar()->frame());
  for (auto part : {&AKMovieUpperControllBar::doneBt, &AKMovieUpperControllBar::videoSizeBt})
    EXPECT_EQ(((*turned).*part)()->frame(), ((*built).*part)()->frame());
  EXPECT_EQ(turned->scrubber()->frame(), built->scrubber()->frame());
  EXPECT_EQ(turned->leftTime()->frame(), built->leftTime()->frame());
  EXPECT_EQ(turned->scrubber()->bufferSize()->frame(), built->scrubber()->bufferSize()->frame());
}

TEST(UpperBarTest, TheStatusBarShowsAndHidesWithTheBar) {
  ns::ManualClock clock;
  testsupport::PlayerScreen screen;
  auto app = ui::Application::sharedApplication();
  auto bar = makeBar();
  bar->setHidden(true);
  app->setStatusBarHidden(true);
  bar->show();
  EXPECT_FALSE(app->isStatusBarHidden());
  EXPECT_FALSE(bar->isHidden());
  bar->hide();
  EXPECT_TRUE(app->isStatusBarHidden());
  clock.advance(0.29);
  EXPECT_FALSE(bar->isHidden());
  clock.advance(0.02);
  EXPECT_TRUE(testsupport::spinUntil([&] { return bar->isHidden(); }, 10));
}

}  // namespace
