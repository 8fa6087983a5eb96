#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "UIKit/View.h"
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
