// What the render-views scenes wait for: only what their pictures show.
#include <gtest/gtest.h>

#include "SceneSupport.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/ScrollView.h"

namespace {

struct SpinnerCase {
  const char* name;
  cg::Rect spinnerFrame;  // in the holder, itself at (0, 0) in the scroll view's content
  bool animating;
  bool holderHidden;
  double holderAlpha;
  bool holderClips;
  double scrolledTo;  // the scroll view's horizontal offset
  bool counted;
};

// A 320 × 480 root with a 320 × 200 clipping scroll view at (0, 100) whose content is three pages
// wide; the spinner sits in a 20 × 20 holder in the content.
TEST(SceneSupportTest, OnlyASpinnerThePictureShowsCountsAsTurning) {
  const SpinnerCase cases[] = {
      {"on the shown page, outside its holder", {100, 50, 20, 20}, true, false, 1, false, 0, true},
      {"stopped", {100, 50, 20, 20}, false, false, 1, false, 0, false},
      {"under a hidden view", {100, 50, 20, 20}, true, true, 1, false, 0, false},
      {"under a transparent view", {100, 50, 20, 20}, true, false, 0, false, 0, false},
      {"on the next page", {420, 50, 20, 20}, true, false, 1, false, 0, false},
      {"on the next page, scrolled to", {420, 50, 20, 20}, true, false, 1, false, 320, true},
      {"on the page scrolled away from", {100, 50, 20, 20}, true, false, 1, false, 320, false},
      {"half over the scroll view's edge", {310, 50, 20, 20}, true, false, 1, false, 0, true},
      {"below the scroll view", {100, 210, 20, 20}, true, false, 1, false, 0, false},
      {"outside a holder that clips", {100, 50, 20, 20}, true, false, 1, true, 0, false},
      {"inside a holder that clips", {0, 0, 20, 20}, true, false, 1, true, 0, true},
  };
  for (const SpinnerCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 480});
    auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame({0, 100, 320, 200});
    scroll->setClipsToBounds(true);
    scroll->setContentSize({960, 200});
    root->addSubview(scroll);
    auto holder = std::make_shared<ui::View>()->initWithFrame({0, 0, 20, 20});
    holder->setHidden(c.holderHidden);
    holder->setAlpha(c.holderAlpha);
    holder->setClipsToBounds(c.holderClips);
    scroll->addSubview(holder);
    auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::white);
    spinner->setFrame(c.spinnerFrame);
    if (c.animating) spinner->startAnimating();
    holder->addSubview(spinner);
    scroll->setContentOffset({c.scrolledTo, 0});
    EXPECT_EQ(scenes::anyShownSpinnerTurning(root), c.counted);
  }
}

}  // namespace
