// The bars' fades as the screen shows them: half-way through, a presentation render draws a bar
// half through, while its alpha (the model) is at the end value from the start.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "Foundation/Clock.h"
#include "Libraries/AKMoviePlayer/PlayerViewsTestSupport.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/CaseName.h"

namespace {

struct FadeCase {
  const char* name;
  std::function<std::shared_ptr<ui::View>()> make;
  // Shows the bar; null for a bar that is on screen once added.
  std::function<void(ui::View&)> show;
  std::function<void(ui::View&)> hide;
  double duration;
};

template <class Bar>
std::function<void(ui::View&)> call(void (Bar::*operation)()) {
  return [operation](ui::View& v) { (static_cast<Bar&>(v).*operation)(); };
}

const FadeCase kFades[] = {
    {"preview",
     [] {
       return std::make_shared<AKMoviePreviewControllBar>()->initWithParentFrame({0, 0, 300, 300});
     },
     call(&AKMoviePreviewControllBar::show), call(&AKMoviePreviewControllBar::hide), 0.2},
    {"upper", [] { return std::make_shared<AKMovieUpperControllBar>()->initWithWidth(300); },
     call(&AKMovieUpperControllBar::show), call(&AKMovieUpperControllBar::hide), 0.3},
    {"lower", [] { return std::make_shared<AKMovieLowerControllBar>()->init(); },
     call(&AKMovieLowerControllBar::show), call(&AKMovieLowerControllBar::hide), 0.3},
    {"social",
     [] {
       return std::make_shared<AKMovieSocialControllBar>()->initWithFrame({0, 0, 193, 88}, true);
     },
     nullptr, call(&AKMovieSocialControllBar::hide), 0.3},
};

class BarFadeTest : public ::testing::TestWithParam<FadeCase> {};

TEST_P(BarFadeTest, HalfWayTheScreenShowsTheBarHalfThroughWhileTheModelIsAtTheEnd) {
  const FadeCase& c = GetParam();
  ns::ManualClock clock;
  testsupport::PlayerScreen screen;
  auto window = std::make_shared<ui::Window>()->initWithFrame({0, 0, 1100, 1100});
  window->setBackgroundColor(ui::Color::whiteColor());
  auto bar = c.make();
  // Opaque all over, so that a pixel of it shows its alpha against the white.
  bar->setBackgroundColor(ui::Color::blackColor());
  window->addSubview(bar);
  cg::Rect f = bar->frame();
  const int x = int(f.x() + 2), y = int(f.maxY() - 2);
  auto redAt = [&](std::optional<double> time) {
    return ui::renderView(window, ui::RenderOptions{1, time})->colorAt(x, y).red;
  };
  const double shown = redAt(std::nullopt);
  ASSERT_LT(shown, 0.9) << "the bar is drawn there";
  const double halfWay = (shown + 1) / 2;

  if (c.show) {
    bar->setHidden(true);
    c.show(*bar);
    EXPECT_EQ(bar->alpha(), 1);
    clock.advance(c.duration / 2);
    EXPECT_NEAR(redAt(clock.now()), halfWay, 0.02) << "fading in";
    EXPECT_NEAR(redAt(std::nullopt), shown, 0.01);
    clock.advance(c.duration);
    EXPECT_NEAR(redAt(clock.now()), shown, 0.01);
  }
  c.hide(*bar);
  EXPECT_EQ(bar->alpha(), 0);
  clock.advance(c.duration / 2);
  EXPECT_NEAR(redAt(clock.now()), halfWay, 0.02) << "fading out";
  EXPECT_NEAR(redAt(std::nullopt), 1, 0.01) << "a model picture has it gone";
  EXPECT_EQ(ui::nextPresentationChange(*window, clock.now()), clock.now());
  clock.advance(c.duration);
  EXPECT_TRUE(bar->isHidden() || !bar->superview()) << "the fade's end still hides it";
  EXPECT_EQ(ui::nextPresentationChange(*window, clock.now()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Bars, BarFadeTest, ::testing::ValuesIn(kFades), testsupport::CaseName());

}  // namespace
