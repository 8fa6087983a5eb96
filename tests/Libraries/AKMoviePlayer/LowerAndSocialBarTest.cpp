// The full-screen bottom panel (frames, enabling rules, taps, volume) and the share panel.
#include <gtest/gtest.h>

#include <sstream>

#include "Foundation/Clock.h"
#include "Libraries/AKMoviePlayer/PlayerViewsTestSupport.h"
#include "Media/MusicPlayerController.h"
#include "UIKit/TouchSimulation.h"
#include "support/CaseName.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::Log;
using Orientation = ui::InterfaceOrientation;

struct PanelCase {
  const char* name;
  ui::DeviceProfile device;
  Orientation orientation;
  cg::Rect frame;
  const char* pattern;
  cg::Rect volume;
  cg::Rect play;
  cg::Rect social;
};

class LowerBarFrameTest : public ::testing::TestWithParam<PanelCase> {};

TEST_P(LowerBarFrameTest, PanelSitsCentredNearTheBottomForTheDeviceAndOrientation) {
  const auto& c = GetParam();
  testsupport::PlayerScreen screen(c.device, c.orientation);
  auto bar = std::make_shared<AKMovieLowerControllBar>()->init();
  EXPECT_EQ(bar->frame(), c.frame);
  ASSERT_TRUE(bar->backgroundColor());
  EXPECT_EQ(testsupport::imageName(bar->backgroundColor()->patternImage()), c.pattern);
  EXPECT_EQ(bar->volumeView()->frame(), c.volume);
  EXPECT_FALSE(bar->volumeView()->clipsToBounds());
  EXPECT_EQ(bar->play()->frame(), c.play);
  EXPECT_EQ(bar->social()->frame(), c.social);
  // Volume first, then back 30, previous, play, next and share.
  std::vector<std::shared_ptr<ui::View>> order{bar->volumeView(), bar->back30(), bar->prev(),
                                               bar->play(),       bar->next(),   bar->social()};
  EXPECT_EQ(bar->subviews(), order);
  EXPECT_EQ(bar->autoresizingMask(),
            unsigned(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                     ui::ViewAutoresizingFlexibleTopMargin));
}

const char* kPad = "AKMovieImages.bundle/controllPanel";
const char* kPhone = "AKMovieImages.bundle/controllPanel_iPhone";

INSTANTIATE_TEST_SUITE_P(Devices, LowerBarFrameTest,
                         ::testing::Values(PanelCase{"TabletLandscape",
                                                     ui::DeviceProfile::tablet(),
                                                     Orientation::landscapeRight,
                                                     {296, 600, 431, 90},
                                                     kPad,
                                                     {65, 57, 300, 30},
                                                     {200, 7, 40, 30},
                                                     {380, 7, 40, 30}},
                                           PanelCase{"TabletPortrait",
                                                     ui::DeviceProfile::tablet(),
                                                     Orientation::portrait,
                                                     {165, 850, 431, 90},
                                                     kPad,
                                                     {65, 57, 300, 30},
                                                     {200, 7, 40, 30},
                                                     {380, 7, 40, 30}},
                                           PanelCase{"TallPhoneLandscape",
                                                     ui::DeviceProfile::phoneTall(),
                                                     Orientation::landscapeLeft,
                                                     {129, 210, 310, 90},
                                                     kPhone,
                                                     {20, 55, 270, 30},
                                                     {136, 7, 40, 30},
                                                     {260, 7, 40, 30}},
                                           PanelCase{"TallPhonePortrait",
                                                     ui::DeviceProfile::phoneTall(),
                                                     Orientation::portrait,
                                                     {5, 473, 310, 90},
                                                     kPhone,
                                                     {20, 55, 270, 30},
                                                     {136, 7, 40, 30},
                                                     {260, 7, 40, 30}},
                                           PanelCase{"PhoneLandscape",
                                                     ui::DeviceProfile::phone(),
                                                     Orientation::landscapeRight,
                                                     {85, 210, 310, 90},
                                                     kPhone,
                                                     {20, 55, 270, 30},
                                                     {136, 7, 40, 30},
                                                     {260, 7, 40, 30}},
                                           PanelCase{"PhonePortrait",
                                                     ui::DeviceProfile::phone(),
                                                     Orientation::portraitUpsideDown,
                                                     {5, 380, 310, 90},
                                                     kPhone,
                                                     {20, 55, 270, 30},
                                                     {136, 7, 40, 30},
                                                     {260, 7, 40, 30}}),
                         testsupport::CaseName());

struct EnablingCase {
  const char* name;
  const char* calls;    // space-separated: buttons=0/1, adv=0/1, next=0/1, prev=0/1, pause, play
  const char* enabled;  // play, back30, prev, next, social
};

class LowerBarEnablingTest : public ::testing::TestWithParam<EnablingCase> {};

TEST_P(LowerBarEnablingTest, ButtonsFollowLoadingAdvertisementsAndNeighbours) {
  const auto& c = GetParam();
  testsupport::PlayerScreen screen;
  auto bar = std::make_shared<AKMovieLowerControllBar>()->init();
  std::istringstream calls(c.calls);
  for (std::string call; calls >> call;) {
    if (call == "pause") {
      bar->showPauseButton();
    } else if (call == "play") {
      bar->showPlayButton();
    } else {
      bool on = call.back() == '1';
      std::string what = call.substr(0, call.size() - 2);
      if (what == "buttons") bar->setButtonsEnabled(on);
      if (what == "adv") bar->setIsAdv(on);
      if (what == "next") bar->setNextItemEnabled(on);
      if (what == "prev") bar->setPrevItemEnabled(on);
    }
  }
  std::string enabled;
  for (const auto& b : {bar->play(), bar->back30(), bar->prev(), bar->next(), bar->social()})
    enabled += b->isEnabled() ? '1' : '0';
  EXPECT_EQ(enabled, c.enabled) << c.calls;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, LowerBarEnablingTest,
    ::testing::Values(EnablingCase{"Loading", "buttons=0", "00000"},
                      EnablingCase{"ReadyWithoutNeighbours", "buttons=0 buttons=1", "11001"},
                      EnablingCase{"ReadyWithNeighbours", "next=1 prev=1 buttons=0 buttons=1", "11111"},
                      EnablingCase{"ReadyDuringAdvertisementChangesNothing", "buttons=0 adv=1 buttons=1",
                                   "00000"},
                      EnablingCase{"AdvertisementPausedCanResume", "adv=1", "10000"},
                      EnablingCase{"AdvertisementPlayingCannotPause", "pause adv=1", "00000"},
                      EnablingCase{"PauseImageDuringAdvertisement", "adv=1 pause", "00000"},
                      EnablingCase{"AdvertisementOverIgnoresLoading", "buttons=0 adv=1 adv=0", "11001"},
                      EnablingCase{"NextEnabledAtOnce", "buttons=0 buttons=1 next=1", "11011"},
                      EnablingCase{"NeighboursIgnoreAdvertisement", "adv=1 next=1 prev=1", "10110"},
                      EnablingCase{"PlayImageWhileLoadingStaysDisabled", "buttons=0 play", "00000"},
                      EnablingCase{"PlayImageEnablesWhenButtonsAre", "buttons=1 adv=1 pause play", "10000"}),
    testsupport::CaseName());

TEST(LowerBarTest, TapsReachTheDelegateAndThePlayButtonRemembersItsImage) {
  testsupport::PlayerScreen screen;
  auto bar = std::make_shared<AKMovieLowerControllBar>()->init();
  auto root = testsupport::hostFor(bar);
  auto recorder = std::make_shared<testsupport::BarRecorder>();
  bar->setDelegate(recorder);
  EXPECT_EQ(bar->play()->tag(), AKMovieLowerControllBar::kPlayImageTag);
  for (const auto& b : {bar->play(), bar->play(), bar->back30(), bar->prev(), bar->next(), bar->social()})
    ui::tap(b);
  EXPECT_EQ(recorder->log, (Log{"play tag=1", "pause tag=0", "back30", "previous", "next", "social"}));
  EXPECT_EQ(testsupport::imageName(bar->play()->imageForState(ui::ControlStateNormal)),
            "AKMovieImages.bundle/play");
}

TEST(LowerBarTest, VolumeChangesSetTheApplicationsVolume) {
  testsupport::PlayerScreen screen;
  auto player = av::MusicPlayerController::applicationMusicPlayer();
  float before = player->volume();
  auto bar = std::make_shared<AKMovieLowerControllBar>()->init();
  auto slider = std::make_shared<ui::Slider>()->initWithFrame({0, 0, 100, 20});
  slider->setValue(0.25f);
  bar->volumeValueDidChange(*slider);
  EXPECT_FLOAT_EQ(player->volume(), 0.25f);
  // The volume view on the panel sets it by itself.
  auto root = testsupport::hostFor(bar);
  const auto& volume = bar->volumeView();
  ui::tapAtPoint(root, volume->convertPointToView(cg::Point{volume->bounds().maxX() - 1, 15}, nullptr));
  EXPECT_FLOAT_EQ(player->volume(), 1.0f);
  player->setVolume(before);
}

TEST(LowerBarTest, FadesOutOverThreeTenthsOfASecond) {
  ns::ManualClock clock;
  testsupport::PlayerScreen screen;
  auto bar = std::make_shared<AKMovieLowerControllBar>()->init();
  bar->setHidden(true);
  bar->show();
  EXPECT_FALSE(bar->isHidden());
  bar->hide();
  clock.advance(0.29);
  EXPECT_FALSE(bar->isHidden());
  clock.advance(0.02);
  EXPECT_TRUE(testsupport::spinUntil([&] { return bar->isHidden(); }, 10));
}

struct ShareCase {
  const char* name;
  ui::DeviceProfile device;
  bool landscape;
  cg::Rect frame;
  const char* pattern;
  cg::Rect fb, tw, vk;
};

class SocialBarLayoutTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(SocialBarLayoutTest, ButtonsInARowOrAColumnOnTheirPattern) {
  const auto& c = GetParam();
  testsupport::PlayerScreen screen(c.device);
  auto bar = std::make_shared<AKMovieSocialControllBar>()->initWithFrame(c.frame, c.landscape);
  EXPECT_EQ(bar->frame(), c.frame);
  ASSERT_TRUE(bar->backgroundColor());
  EXPECT_EQ(testsupport::imageName(bar->backgroundColor()->patternImage()), c.pattern);
  ASSERT_EQ(bar->subviews().size(), 3u);
  const cg::Rect frames[] = {c.fb, c.tw, c.vk};
  const char* images[] = {"movie_FbIcon", "movie_TwIcon", "movie_VkIcon"};
  for (std::size_t i = 0; i < 3; ++i) {
    auto button = std::dynamic_pointer_cast<ui::Button>(bar->subviews()[i]);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->frame(), frames[i]) << images[i];
    EXPECT_EQ(testsupport::imageName(button->imageForState(ui::ControlStateNormal)), images[i]);
  }
  auto root = testsupport::hostFor(bar);
  auto recorder = std::make_shared<testsupport::BarRecorder>();
  bar->setDelegate(recorder);
  for (const auto& b : bar->subviews()) ui::tap(b);
  EXPECT_EQ(recorder->log, (Log{"fb", "tw", "vk"}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, SocialBarLayoutTest,
                         ::testing::Values(ShareCase{"TabletRow",
                                                     ui::DeviceProfile::tablet(),
                                                     true,
                                                     {727, 602, 193, 88},
                                                     "movie_socialBg3",
                                                     {30, 28, 30, 30},
                                                     {85, 28, 30, 30},
                                                     {140, 28, 30, 30}},
                                           ShareCase{"TabletColumn",
                                                     ui::DeviceProfile::tablet(),
                                                     false,
                                                     {596, 797, 108, 196},
                                                     "movie_socialBg3P",
                                                     {48, 30, 30, 30},
                                                     {48, 85, 30, 30},
                                                     {48, 140, 30, 30}},
                                           ShareCase{"PhoneIgnoresTheFlag",
                                                     ui::DeviceProfile::phone(),
                                                     true,
                                                     {5, 276, 310, 104},
                                                     "movie_socialBgIphone",
                                                     {70, 28, 30, 30},
                                                     {145, 28, 30, 30},
                                                     {215, 28, 30, 30}},
                                           ShareCase{"PhoneRow",
                                                     ui::DeviceProfile::phoneTall(),
                                                     false,
                                                     {5, 369, 310, 104},
                                                     "movie_socialBgIphone",
                                                     {70, 28, 30, 30},
                                                     {145, 28, 30, 30},
                                                     {215, 28, 30, 30}}),
                         testsupport::CaseName());

TEST(SocialBarTest, HidingTakesThePanelOutOfTheTreeOnceItHasFaded) {
  ns::ManualClock clock;
  testsupport::PlayerScreen screen;
  auto bar = std::make_shared<AKMovieSocialControllBar>()->initWithFrame({0, 0, 193, 88}, true);
  auto root = testsupport::hostFor(bar);
  bar->hide();
  EXPECT_EQ(bar->alpha(), 0);
  clock.advance(0.29);
  EXPECT_EQ(bar->superview(), root);
  clock.advance(0.02);
  EXPECT_TRUE(testsupport::spinUntil([&] { return bar->superview() == nullptr; }, 10));
  EXPECT_TRUE(root->subviews().empty());
}

}  // namespace
