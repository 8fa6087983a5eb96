// A recogniser's delegate refusing touches and gestures, and simulated pinches.
#include <gtest/gtest.h>

#include "UIKit/GestureRecognizer.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/View.h"

namespace {

class Gate final : public ui::GestureRecognizerDelegate {
 public:
  const ui::View* refusedView = nullptr;
  bool begins = true;
  bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, const ui::View* touched) override {
    return touched != refusedView;
  }
  bool gestureRecognizerShouldBegin(ui::GestureRecognizer&) override { return begins; }
};

class Ended final : public ui::View {
 public:
  int ended = 0;
  void touchesEnded(const ui::TouchSet&, const ui::Event*) override { ++ended; }
};

TEST(GestureDelegateTest, ARefusedTouchReachesTheViewAsIfThereWereNoRecogniser) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 200});
  auto left = std::make_shared<Ended>();
  left->initWithFrame({0, 0, 100, 200});
  auto right = std::make_shared<Ended>();
  right->initWithFrame({100, 0, 100, 200});
  root->addSubview(left);
  root->addSubview(right);
  int taps = 0;
  auto tap =
      std::make_shared<ui::TapGestureRecognizer>()->initWithAction([&](ui::GestureRecognizer&) { ++taps; });
  auto gate = std::make_shared<Gate>();
  gate->refusedView = right.get();
  tap->setDelegate(gate);
  root->addGestureRecognizer(tap);

  ui::tapAtPoint(root, {50, 50});
  EXPECT_EQ(taps, 1);
  EXPECT_EQ(left->ended, 0) << "taken by the recogniser";
  ui::tapAtPoint(root, {150, 50});
  EXPECT_EQ(taps, 1);
  EXPECT_EQ(right->ended, 1);
  gate->begins = false;
  ui::tapAtPoint(root, {50, 50});
  EXPECT_EQ(taps, 1);
  EXPECT_EQ(left->ended, 1);
}

TEST(PinchGestureRecognizerTest, ASimulatedPinchBeginsChangesAndEndsWithItsScales) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 200});
  auto child = std::make_shared<ui::View>()->initWithFrame({50, 50, 100, 100});
  root->addSubview(child);
  std::vector<std::pair<ui::GestureRecognizerState, double>> seen;
  auto pinch = std::make_shared<ui::PinchGestureRecognizer>()->initWithAction([&](ui::GestureRecognizer& r) {
    seen.emplace_back(r.state(), static_cast<ui::PinchGestureRecognizer&>(r).scale());
  });
  root->addGestureRecognizer(pinch);
  EXPECT_EQ(ui::simulatePinch(child, {1.1, 1.3}), child);
  using S = ui::GestureRecognizerState;
  const std::vector<std::pair<S, double>> expected{
      {S::began, 1}, {S::changed, 1.1}, {S::changed, 1.3}, {S::ended, 1.3}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(pinch->state(), S::possible);

  seen.clear();
  auto gate = std::make_shared<Gate>();
  gate->refusedView = child.get();
  pinch->setDelegate(gate);
  ui::simulatePinch(child, {0.5});
  EXPECT_TRUE(seen.empty()) << "refused on the touched view";
  pinch->setEnabled(false);
  gate->refusedView = nullptr;
  ui::simulatePinch(child, {0.5});
  EXPECT_TRUE(seen.empty()) << "disabled";
}

}  // namespace
