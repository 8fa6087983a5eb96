#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Layer.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/View.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/RunLoopSpin.h"

namespace {

using ui::View;

struct AnimationCase {
  const char* name;
  double duration;
  double delay;
};

class AnimationTest : public ::testing::TestWithParam<AnimationCase> {};

TEST_P(AnimationTest, ValuesChangeAtOnceAndCompletionWaitsForTheClock) {
  const auto& c = GetParam();
  ns::ManualClock clock;
  auto v = std::make_shared<View>()->initWithFrame({0, 0, 10, 10});
  std::vector<bool> done;
  View::animateWithDuration(
      c.duration, c.delay, ui::ViewAnimationOptionNone,
      [&] {
        v->setAlpha(0.6);
        v->setFrame({100, 0, 10, 10});
      },
      [&](bool finished) { done.push_back(finished); });
  EXPECT_EQ(v->alpha(), 0.6);
  EXPECT_EQ(v->frame().x(), 100);
  EXPECT_TRUE(done.empty()) << "completion ran inside the call";
  double total = c.duration + c.delay;
  if (total > 0) {
    clock.advance(total * 0.99);
    ns::RunLoop::mainRunLoop()->runOnce(0);
    EXPECT_TRUE(done.empty());
    clock.advance(total * 0.02);
  }
  EXPECT_TRUE(testsupport::spinUntil([&] { return !done.empty(); }, 10));
  EXPECT_EQ(done, std::vector<bool>{true});
}

INSTANTIATE_TEST_SUITE_P(Durations, AnimationTest,
                         ::testing::Values(AnimationCase{"zero", 0, 0}, AnimationCase{"menu", 0.5, 0},
                                           AnimationCase{"fullscreen", 0.4, 0},
                                           AnimationCase{"delayed", 0.2, 0.3}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(AnimationTest, CompletionsRunInTimeOrder) {
  ns::ManualClock clock;
  std::vector<int> order;
  View::animateWithDuration(0.5, nullptr, [&](bool) { order.push_back(2); });
  View::animateWithDuration(0.1, nullptr, [&](bool) { order.push_back(1); });
  View::animateWithDuration(0.0, nullptr, [&](bool) { order.push_back(0); });
  clock.advance(1);
  EXPECT_TRUE(testsupport::spinUntil([&] { return order.size() == 3; }, 10));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(AnimationTest, AnimationsWithoutCompletionJustApply) {
  auto v = std::make_shared<View>()->initWithFrame({0, 0, 10, 10});
  View::animateWithDuration(0.3, [&] { v->setHidden(true); });
  EXPECT_TRUE(v->isHidden());
}

}  // namespace

namespace {

// A window with one 10 x 10 red square at the left, drawn at one pixel a point.
struct Scene {
  std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>()->initWithFrame({0, 0, 100, 20});
  std::shared_ptr<View> square = std::make_shared<View>()->initWithFrame({0, 5, 10, 10});
  Scene() {
    window->setBackgroundColor(ui::Color::whiteColor());
    square->setBackgroundColor(ui::Color::redColor());
    window->addSubview(square);
  }
  // The left edge of the red square in a picture of the window, or -1.
  int redLeft(std::optional<double> time) const {
    auto picture = ui::renderView(window, ui::RenderOptions{1, time});
    for (int x = 0; x < picture->pixelWidth(); ++x)
      if (picture->colorAt(x, 10).red > 0.9 && picture->colorAt(x, 10).green < 0.1) return x;
    return -1;
  }
};

struct CurveCase {
  const char* name;
  unsigned options;
  double fraction;  // of the way at half time
};

class AnimationPresentationTest : public ::testing::TestWithParam<CurveCase> {};

TEST_P(AnimationPresentationTest, APresentationRenderDrawsTheInterpolatedPlaceWhileTheModelHasMoved) {
  ns::ManualClock clock;
  Scene scene;
  View::animateWithDuration(
      1.0, 0, GetParam().options,
      [&] {
        scene.square->setFrame({80, 5, 10, 10});
      },
      nullptr);
  EXPECT_EQ(scene.square->frame().x(), 80);
  clock.advance(0.5);
  const int expected = static_cast<int>(80 * GetParam().fraction);
  EXPECT_NEAR(scene.redLeft(clock.now()), expected, 1);
  EXPECT_EQ(scene.redLeft(std::nullopt), 80) << "a model picture shows where the square is";
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, clock.now()), clock.now());
  clock.advance(0.6);
  EXPECT_EQ(scene.redLeft(clock.now()), 80);
  auto generation = cg::displayGeneration();
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, clock.now()), std::nullopt);
  EXPECT_NE(cg::displayGeneration(), generation) << "the end of an animation asks for its last picture";
}

INSTANTIATE_TEST_SUITE_P(Curves, AnimationPresentationTest,
                         ::testing::Values(CurveCase{"linear", ui::ViewAnimationOptionCurveLinear, 0.5},
                                           CurveCase{"easeInOut", ui::ViewAnimationOptionCurveEaseInOut, 0.5},
                                           CurveCase{"easeIn", ui::ViewAnimationOptionCurveEaseIn, 0.3153},
                                           CurveCase{"easeOut", ui::ViewAnimationOptionCurveEaseOut, 0.6847}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(AnimationPresentationTest, AnAnimationGoesOnFromWhereTheScreenShowsAndAPlainSetStopsIt) {
  ns::ManualClock clock;
  Scene scene;
  auto linear = ui::ViewAnimationOptionCurveLinear;
  View::animateWithDuration(
      1.0, 0, linear,
      [&] {
        scene.square->setFrame({80, 5, 10, 10});
      },
      nullptr);
  clock.advance(0.5);
  // Sent back half-way: it turns round where it is drawn, not where the model was.
  View::animateWithDuration(
      1.0, 0, linear,
      [&] {
        scene.square->setFrame({0, 5, 10, 10});
      },
      nullptr);
  EXPECT_NEAR(scene.redLeft(clock.now()), 40, 1);
  clock.advance(0.5);
  EXPECT_NEAR(scene.redLeft(clock.now()), 20, 1);
  scene.square->setFrame({60, 5, 10, 10});
  EXPECT_EQ(scene.redLeft(clock.now()), 60);
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, clock.now()), std::nullopt);
}

TEST(AnimationPresentationTest, AlphaAndDelayedAnimationsAndViewsOutsideAWindow) {
  ns::ManualClock clock;
  Scene scene;
  View::animateWithDuration(
      1.0, 1.0, ui::ViewAnimationOptionCurveLinear, [&] { scene.square->setAlpha(0); }, nullptr);
  EXPECT_EQ(scene.square->presentation(clock.now()).alpha, 1) << "a delayed animation waits at its start";
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, clock.now()), clock.now() + 1);
  clock.advance(1.5);
  EXPECT_DOUBLE_EQ(scene.square->presentation(clock.now()).alpha, 0.5);
  auto loose = std::make_shared<View>()->initWithFrame({0, 0, 10, 10});
  View::animateWithDuration(1.0, [&] { loose->setFrame({50, 0, 10, 10}); });
  EXPECT_EQ(loose->presentation(clock.now()).center.x, 55) << "a view in no window has nothing to show";
}

TEST(AnimationPresentationTest, ATurningSpinnerAsksForItsNextStepOnlyWhileShown) {
  ns::ManualClock clock(1000.0);
  Scene scene;
  auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::gray);
  scene.window->addSubview(spinner);
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, 1000.0), std::nullopt) << "stopped, hidden";
  spinner->startAnimating();
  auto next = ui::nextPresentationChange(*scene.window, 1000.0);
  ASSERT_TRUE(next);
  EXPECT_NEAR(*next, 1000.0 + 1.0 / 12, 1e-6);
  auto at = [&](double t) { return ui::renderView(scene.window, ui::RenderOptions{2, t})->pngData(); };
  EXPECT_FALSE(at(1000.0) == at(1000.0 + 1.0 / 12)) << "a step later the spokes have moved on";
  EXPECT_TRUE(at(1000.0) == at(1001.0)) << "a whole turn a second";
  spinner->setFrame({200, 0, 20, 20});
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, 1000.0), std::nullopt) << "outside the window";
  spinner->setFrame({0, 0, 20, 20});
  spinner->stopAnimating();
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, 1000.0), std::nullopt);
}

}  // namespace

namespace {

// A red square taken out of the window while it moves 40 points right under a blue one.
struct Departure : Scene {
  std::shared_ptr<View> cover = std::make_shared<View>()->initWithFrame({30, 0, 20, 20});
  Departure() {
    cover->setBackgroundColor(ui::Color::blueColor());
    window->addSubview(cover);
  }
  bool blueAt(int x, double time) const {
    auto picture = ui::renderView(window, ui::RenderOptions{1, time});
    return picture->colorAt(x, 10).blue > 0.9 && picture->colorAt(x, 10).red < 0.1;
  }
};

TEST(AnimationPresentationTest, AViewTakenOutMovingIsDrawnInItsPlaceUntilItsMoveEnds) {
  ns::ManualClock clock;
  Departure scene;
  std::weak_ptr<View> weak = scene.square;
  View::animateWithDuration(
      1.0, 0, ui::ViewAnimationOptionCurveLinear,
      [&] {
        scene.window->removeSubviewMovingBy(scene.square, {40, 0});
      },
      nullptr);
  EXPECT_EQ(scene.square->superview(), nullptr);
  EXPECT_EQ(scene.window->subviews(), std::vector<std::shared_ptr<View>>{scene.cover});
  EXPECT_EQ(scene.window->View::hitTest({5, 10}, nullptr), scene.window) << "it takes no touches";
  scene.square.reset();
  clock.advance(0.5);
  EXPECT_NEAR(scene.redLeft(clock.now()), 20, 1);
  EXPECT_EQ(scene.redLeft(std::nullopt), -1) << "a model picture has it gone";
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, clock.now()), clock.now());
  clock.advance(0.125);
  EXPECT_NEAR(scene.redLeft(clock.now()), 25, 1);
  EXPECT_TRUE(scene.blueAt(32, clock.now())) << "still under the view it lay under";
  EXPECT_FALSE(weak.expired());
  auto generation = cg::displayGeneration();
  clock.advance(0.4);
  EXPECT_TRUE(weak.expired()) << "let go once the move has ended, with no one drawing";
  EXPECT_NE(cg::displayGeneration(), generation);
  EXPECT_EQ(scene.redLeft(clock.now()), -1);
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, clock.now()), std::nullopt);
}

TEST(AnimationPresentationTest, AViewTakenOutOutsideABlockOrOffTheScreenJustGoes) {
  ns::ManualClock clock;
  Departure scene;
  scene.window->removeSubviewMovingBy(scene.square, {40, 0});
  EXPECT_EQ(scene.square->superview(), nullptr);
  EXPECT_EQ(scene.redLeft(clock.now()), -1) << "outside a block";

  scene.window->insertSubviewBelowSubview(scene.square, scene.cover);
  auto loose = std::make_shared<View>()->initWithFrame({0, 0, 100, 20});
  loose->addSubview(scene.cover);
  View::animateWithDuration(1.0, [&] { loose->removeSubviewMovingBy(scene.cover, {40, 0}); });
  EXPECT_EQ(scene.cover->superview(), nullptr);
  EXPECT_EQ(ui::renderView(loose, ui::RenderOptions{1, clock.now()})->colorAt(35, 10).alpha, 0)
      << "in no window";

  // Put back while it leaves, it is drawn once, where the model has it.
  View::animateWithDuration(1.0, [&] { scene.window->removeSubviewMovingBy(scene.square, {40, 0}); });
  clock.advance(0.5);
  scene.window->addSubview(scene.square);
  EXPECT_EQ(scene.redLeft(clock.now()), 0);
  scene.square->setFrame({60, 5, 10, 10});
  EXPECT_EQ(scene.redLeft(clock.now()), 60);
  EXPECT_EQ(ui::nextPresentationChange(*scene.window, clock.now()), std::nullopt);
}

}  // namespace
