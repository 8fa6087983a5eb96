#include <gtest/gtest.h>

#include <cmath>

#include "Media/MusicPlayerController.h"
#include "Media/VolumeView.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"

namespace {

// Puts the process-wide volume back after each test.
class VolumeTest : public ::testing::Test {
 protected:
  void TearDown() override { av::MusicPlayerController::applicationMusicPlayer()->setVolume(1); }
  static float volume() { return av::MusicPlayerController::applicationMusicPlayer()->volume(); }
};

TEST_F(VolumeTest, TheMusicPlayersVolumeIsOneClampedProcessWideValue) {
  auto music = av::MusicPlayerController::applicationMusicPlayer();
  EXPECT_EQ(music, av::MusicPlayerController::applicationMusicPlayer());
  struct Case {
    float set, read;
  };
  for (Case c : {Case{0.25f, 0.25f}, Case{-1, 0}, Case{7, 1}, Case{NAN, 0}, Case{1, 1}}) {
    music->setVolume(c.set);
    EXPECT_EQ(volume(), c.read) << c.set;
  }
}

TEST_F(VolumeTest, TheVolumeViewSetsTheVolumeWhereItIsTouched) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 400, 100});
  auto slider = std::make_shared<av::VolumeView>()->initWithFrame({65, 57, 300, 30});
  slider->setClipsToBounds(false);
  root->addSubview(slider);
  // The knob's centre runs from 8 points in from the left edge to 8 points in from the right.
  struct Case {
    double x;
    float volume;
  };
  for (Case c : {Case{65 + 8, 0}, Case{65 + 150, 0.5f}, Case{65 + 292, 1}, Case{66, 0}}) {
    ui::tapAtPoint(root, {c.x, 70});
    EXPECT_NEAR(volume(), c.volume, 1e-4) << c.x;
  }
  ui::SimulatedTouch drag(root, {65 + 292, 70});
  drag.moveTo({65 + 8 + 71, 70});
  drag.end();
  EXPECT_NEAR(volume(), 0.25, 1e-4);
  EXPECT_NE(ui::dumpViewTree(slider).find("volume=0.25"), std::string::npos);
}

}  // namespace
