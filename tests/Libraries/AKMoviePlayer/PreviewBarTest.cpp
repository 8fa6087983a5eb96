// The inline bar: layout, touches and what they tell the delegate, widening labels, fades.
#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "Libraries/AKMoviePlayer/PlayerViewsTestSupport.h"
#include "UIKit/Font.h"
#include "UIKit/TouchSimulation.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::Log;
using testsupport::seconds;

struct PreviewBar {
  std::shared_ptr<AKMoviePreviewControllBar> bar =
      std::make_shared<AKMoviePreviewControllBar>()->initWithParentFrame({0, 0, 300, 300});
  std::shared_ptr<ui::View> root = testsupport::hostFor(bar, 300, 300);
  std::shared_ptr<testsupport::BarRecorder> recorder = std::make_shared<testsupport::BarRecorder>();
  PreviewBar() { bar->setDelegate(recorder); }
};

// Text measured at ten points a character, whatever the fonts installed.
ui::ScopedTextMeasurer tenPointsACharacter() {
  return ui::ScopedTextMeasurer([](const std::string& text, const ui::Font*, cg::Size, ui::LineBreakMode) {
    return cg::Size{10.0 * double(text.size()), 14};
  });
}

TEST(PreviewBarTest, LaysItsControlsAlongTheBottomOfThePlayer) {
  PreviewBar p;
  auto& bar = *p.bar;
  EXPECT_EQ(bar.frame(), cg::Rect(0, 262, 300, 38));
  EXPECT_EQ(bar.playBt()->frame(), cg::Rect(0, 0, 60, 38));
  EXPECT_EQ(bar.currentTime()->frame(), cg::Rect(60, 9, 35, 20));
  EXPECT_EQ(bar.scrubber()->frame(), cg::Rect(105, 8, 90, 20));
  EXPECT_EQ(bar.leftTime()->frame(), cg::Rect(205, 9, 40, 20));
  EXPECT_EQ(bar.goToFullscreen()->frame(), cg::Rect(240, 0, 60, 38));
  EXPECT_EQ(testsupport::imageName(bar.playBt()->imageForState(ui::ControlStateNormal)),
            "AKMovieImages.bundle/smallPlay");
  // The player view widens: the slider takes the room, the right-hand controls keep to the edge.
  p.root->setFrame({0, 0, 500, 300});
  EXPECT_EQ(bar.frame(), cg::Rect(0, 262, 500, 38));
  EXPECT_EQ(bar.scrubber()->frame(), cg::Rect(105, 8, 290, 20));
  EXPECT_EQ(bar.scrubber()->bufferSize()->frame().width(), 288);
  EXPECT_EQ(bar.goToFullscreen()->frame(), cg::Rect(440, 0, 60, 38));
}

TEST(PreviewBarTest, PlayAndPauseSwitchTheImageBeforeTellingTheDelegate) {
  PreviewBar p;
  ui::tap(p.bar->playBt());
  ui::tap(p.bar->playBt());
  ui::tap(p.bar->goToFullscreen());
  EXPECT_EQ(p.recorder->log, (Log{"play image=AKMovieImages.bundle/smallPause",
                                  "pause image=AKMovieImages.bundle/smallPlay", "fullscreen"}));
  // What the owner sets is what the next tap answers to.
  p.recorder->log.clear();
  p.bar->showPauseButton();
  ui::tap(p.bar->playBt());
  EXPECT_EQ(p.recorder->log, (Log{"pause image=AKMovieImages.bundle/smallPlay"}));
}

TEST(PreviewBarTest, AnAdvertisementCannotBePausedOrScrubbed) {
  PreviewBar p;
  auto& bar = *p.bar;
  bar.setIsAdv(true);
  EXPECT_FALSE(bar.scrubber()->isEnabled());
  bar.showPauseButton();
  EXPECT_FALSE(bar.playBt()->isEnabled());
  ui::tap(bar.playBt());
  ui::tap(bar.scrubber());
  EXPECT_TRUE(p.recorder->log.empty());
  bar.showPlayButton();
  EXPECT_TRUE(bar.playBt()->isEnabled()) << "a paused clip can be resumed";
  EXPECT_FALSE(bar.scrubber()->isEnabled());
  bar.showPauseButton();
  bar.setIsAdv(false);
  EXPECT_TRUE(bar.scrubber()->isEnabled());
  bar.showPauseButton();
  EXPECT_TRUE(bar.playBt()->isEnabled()) << "the programme after the clip can be paused";
}

TEST(PreviewBarTest, EachWayOfLeavingTheSliderEndsScrubbingOnce) {
  PreviewBar p;
  auto& slider = p.bar->scrubber();
  cg::Point centre = slider->convertPointToView(cg::Point{45, 10}, nullptr);
  {
    ui::SimulatedTouch touch(p.root, centre);
    touch.moveTo({centre.x + 20, centre.y});
    touch.end();
  }
  EXPECT_EQ(p.recorder->log, (Log{"begin", "scrub", "scrub", "end 90"}));
  p.recorder->log.clear();
  ui::dragOutside(slider);
  EXPECT_EQ(p.recorder->log.front(), "begin");
  EXPECT_EQ(p.recorder->log.back(), "end 90");
  EXPECT_EQ(std::count(p.recorder->log.begin(), p.recorder->log.end(), "end 90"), 1);
  p.recorder->log.clear();
  {
    ui::SimulatedTouch touch(p.root, centre);
    touch.cancel();
  }
  EXPECT_EQ(p.recorder->log.back(), "end 90");
  EXPECT_EQ(std::count(p.recorder->log.begin(), p.recorder->log.end(), "end 90"), 1);
}

TEST(PreviewBarTest, ALongerDurationWidensTheLabelsAndNarrowsTheSlider) {
  auto measurer = tenPointsACharacter();
  PreviewBar p;
  auto& bar = *p.bar;
  bar.setItemDuration(seconds(3725.4));  // "62:05" is 50 points, "-62:05" 60
  EXPECT_EQ(bar.currentTime()->frame(), cg::Rect(60, 9, 50, 20));
  EXPECT_EQ(bar.leftTime()->frame(), cg::Rect(185, 9, 60, 20));
  EXPECT_EQ(bar.scrubber()->frame(), cg::Rect(120, 8, 55, 20));
  EXPECT_EQ(bar.scrubberWidth(), 55);
  EXPECT_EQ(bar.currentTime()->text(), "--:--") << "texts wait for the next sync";
  bar.setItemDuration(seconds(59));  // shorter: nothing shrinks
  EXPECT_EQ(bar.currentTime()->frame(), cg::Rect(60, 9, 50, 20));
  EXPECT_EQ(bar.leftTime()->frame(), cg::Rect(185, 9, 60, 20));
  EXPECT_EQ(bar.scrubber()->frame(), cg::Rect(120, 8, 55, 20));
  EXPECT_EQ(av::TimeGetSeconds(bar.itemDuration()), 59);
}

TEST(PreviewBarTest, FadesOutOverAFifthOfASecondUnlessShownAgain) {
  ns::ManualClock clock;
  PreviewBar p;
  auto& bar = *p.bar;
  bar.setHidden(true);
  bar.show();
  EXPECT_FALSE(bar.isHidden());
  EXPECT_EQ(bar.alpha(), 1);
  bar.hide();
  EXPECT_EQ(bar.alpha(), 0);
  clock.advance(0.19);
  EXPECT_FALSE(bar.isHidden());
  clock.advance(0.02);
  EXPECT_TRUE(testsupport::spinUntil([&] { return bar.isHidden(); }, 10));

  // Shown again while fading out: the earlier fade's end leaves it on screen.
  bar.show();
  bar.hide();
  clock.advance(0.1);
  bar.show();
  clock.advance(0.5);
  ns::RunLoop::mainRunLoop()->runOnce(0);
  EXPECT_FALSE(bar.isHidden());
  EXPECT_EQ(bar.alpha(), 1);
}

}  // namespace
