#include <gtest/gtest.h>

#include "UIKit/Control.h"
#include "UIKit/TouchSimulation.h"
#include "support/CaseName.h"

namespace {

using namespace ui;

template <class T = View>
std::shared_ptr<T> make(const cg::Rect& frame) {
  auto v = std::make_shared<T>();
  v->initWithFrame(frame);
  return v;
}

struct HitCase {
  const char* name;
  std::function<void(View& front)> change;
  bool frontHit;
};

class HitTestTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTestTest, SkipsViewsThatCannotTakeTouches) {
  auto root = make({0, 0, 100, 100});
  auto back = make({0, 0, 100, 100});
  auto front = make({0, 0, 50, 50});
  root->addSubview(back);
  root->addSubview(front);
  GetParam().change(*front);
  auto hit = root->hitTest({10, 10}, nullptr);
  EXPECT_EQ(hit, GetParam().frontHit ? front : back) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HitTestTest,
    ::testing::Values(HitCase{"plain", [](View&) {}, true},
                      HitCase{"hidden", [](View& v) { v.setHidden(true); }, false},
                      HitCase{"alpha below 0.01", [](View& v) { v.setAlpha(0.009); }, false},
                      HitCase{"alpha 0.01", [](View& v) { v.setAlpha(0.01); }, true},
                      HitCase{"interaction off", [](View& v) { v.setUserInteractionEnabled(false); }, false},
                      HitCase{"moved away",
                              [](View& v) {
                                v.setFrame({60, 60, 10, 10});
                              },
                              false}),
    testsupport::CaseName());

TEST(TouchRoutingTest, HitTestFindsDeepestViewAndHonoursBoundsOrigin) {
  auto root = make({0, 0, 300, 300});
  auto panel = make({100, 100, 100, 100});
  auto leaf = make({10, 10, 20, 20});
  root->addSubview(panel);
  panel->addSubview(leaf);
  EXPECT_EQ(root->hitTest({115, 115}, nullptr), leaf);
  EXPECT_EQ(root->hitTest({150, 150}, nullptr), panel);
  // Subviews that stick out of their parent take no touches there.
  leaf->setFrame({90, 90, 30, 30});
  EXPECT_EQ(root->hitTest({205, 205}, nullptr), root);
  panel->setBounds({-50, 0, 100, 100});
  EXPECT_EQ(root->hitTest({165, 115}, nullptr), panel);
  leaf->setFrame({10, 10, 20, 20});
  EXPECT_EQ(root->hitTest({165, 115}, nullptr), leaf);
}

struct EventLog {
  std::vector<std::string> events;
  void attach(const std::shared_ptr<Control>& c, const std::shared_ptr<ns::Object>& target) {
    auto add = [this, &c, &target](unsigned e, const char* name) {
      c->addTarget(
          target, [this, name](Control&) { events.push_back(name); }, e);
    };
    add(ControlEventTouchDown, "down");
    add(ControlEventTouchDragInside, "dragInside");
    add(ControlEventTouchDragOutside, "dragOutside");
    add(ControlEventTouchDragExit, "exit");
    add(ControlEventTouchUpInside, "upInside");
    add(ControlEventTouchUpOutside, "upOutside");
    add(ControlEventTouchCancel, "cancel");
  }
};

TEST(TouchRoutingTest, TapOnPlainSubviewReachesEnclosingControl) {
  auto root = make({0, 0, 320, 480});
  auto control = make<Control>({10, 10, 100, 40});
  auto inner = make({0, 0, 100, 40});
  root->addSubview(control);
  control->addSubview(inner);
  auto target = std::make_shared<ns::Object>();
  EventLog log;
  log.attach(control, target);
  EXPECT_EQ(tap(inner), inner);
  EXPECT_EQ(log.events, (std::vector<std::string>{"down", "upInside"}));
  EXPECT_FALSE(control->isHighlighted());
}

TEST(TouchRoutingTest, DragOutsideThenReleaseReportsOutside) {
  auto root = make({0, 0, 320, 480});
  auto control = make<Control>({10, 10, 100, 40});
  root->addSubview(control);
  auto target = std::make_shared<ns::Object>();
  EventLog log;
  log.attach(control, target);
  dragOutside(control);
  EXPECT_EQ(log.events, (std::vector<std::string>{"down", "dragOutside", "exit", "upOutside"}));
}

TEST(TouchRoutingTest, HighlightFollowsTheFingerAndSlopCountsAsInside) {
  auto root = make({0, 0, 320, 480});
  auto control = make<Control>({100, 100, 50, 50});
  root->addSubview(control);
  SimulatedTouch touch(root, {125, 125});
  EXPECT_TRUE(control->isHighlighted());
  EXPECT_TRUE(control->isTracking());
  touch.moveTo({210, 125});  // 60 beyond the edge: within the slop
  EXPECT_TRUE(control->isHighlighted());
  touch.moveTo({300, 125});
  EXPECT_FALSE(control->isHighlighted());
  touch.moveTo({140, 140});
  EXPECT_TRUE(control->isHighlighted());
  touch.cancel();
  EXPECT_FALSE(control->isHighlighted());
  EXPECT_FALSE(control->isTracking());
}

TEST(TouchRoutingTest, DisabledControlSendsNothing) {
  auto root = make({0, 0, 320, 480});
  auto control = make<Control>({0, 0, 50, 50});
  root->addSubview(control);
  auto target = std::make_shared<ns::Object>();
  EventLog log;
  log.attach(control, target);
  control->setEnabled(false);
  tap(control);
  EXPECT_TRUE(log.events.empty());
  EXPECT_EQ(control->state(), unsigned(ControlStateDisabled));
}

TEST(TouchRoutingTest, ActionsOfAGoneTargetAreSkippedAndTargetsCanBeRemoved) {
  auto root = make({0, 0, 320, 480});
  auto control = make<Control>({0, 0, 50, 50});
  root->addSubview(control);
  int kept = 0, dropped = 0, untargeted = 0;
  auto keeper = std::make_shared<ns::Object>();
  auto leaver = std::make_shared<ns::Object>();
  control->addTarget(
      keeper, [&](Control&) { ++kept; }, ControlEventTouchUpInside);
  control->addTarget(
      leaver, [&](Control&) { ++dropped; }, ControlEventTouchUpInside);
  control->addTarget(
      nullptr, [&](Control&) { ++untargeted; }, ControlEventTouchUpInside);
  leaver.reset();
  tap(control);
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(dropped, 0);
  EXPECT_EQ(untargeted, 1);
  control->removeTarget(keeper.get(), ControlEventTouchUpInside);
  tap(control);
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(untargeted, 2);
  control->removeTarget(nullptr, ControlEventAllEvents);
  EXPECT_EQ(control->allControlEvents(), 0u);
}

class Tracker : public ns::Object {
 public:
  int taps = 0;
  Control* sender = nullptr;
  void tapped() { ++taps; }
  void tappedBy(Control& c) { sender = &c; }
};

TEST(TouchRoutingTest, MemberFunctionTargets) {
  auto root = make({0, 0, 320, 480});
  auto control = make<Control>({0, 0, 50, 50});
  root->addSubview(control);
  auto tracker = std::make_shared<Tracker>();
  control->addTarget(tracker, &Tracker::tapped, ControlEventTouchUpInside);
  control->addTarget(tracker, &Tracker::tappedBy, ControlEventTouchDown);
  tap(control);
  EXPECT_EQ(tracker->taps, 1);
  EXPECT_EQ(tracker->sender, control.get());
}

class SwallowingView : public View {
 public:
  int began = 0;
  void touchesBegan(const TouchSet&, const Event*) override { ++began; }
  void touchesEnded(const TouchSet&, const Event*) override {}
};

TEST(TouchRoutingTest, OverriddenHandlerStopsTheChainAndSeesLocalCoordinates) {
  auto root = make({0, 0, 320, 480});
  auto control = make<Control>({0, 0, 200, 200});
  auto swallow = make<SwallowingView>({50, 50, 100, 100});
  root->addSubview(control);
  control->addSubview(swallow);
  int downs = 0;
  control->addTarget(
      nullptr, [&](Control&) { ++downs; }, ControlEventTouchDown);
  SimulatedTouch touch(root, {60, 70});
  EXPECT_EQ(swallow->began, 1);
  EXPECT_EQ(downs, 0);
  touch.end();
}

TEST(TouchRoutingTest, TouchLocationIsConvertedToAnyView) {
  auto root = make({0, 0, 320, 480});
  auto a = make({100, 200, 50, 50});
  root->addSubview(a);
  Touch t(a, {110, 230}, TouchPhase::began);
  EXPECT_EQ(t.locationInView(a.get()), (cg::Point{10, 30}));
  EXPECT_EQ(t.locationInView(nullptr), (cg::Point{110, 230}));
}

TEST(TouchRoutingTest, TapOnNothingHitsNothing) {
  auto root = make({0, 0, 100, 100});
  EXPECT_EQ(tapAtPoint(root, {150, 10}), nullptr);
  root->setHidden(true);
  EXPECT_EQ(tapAtPoint(root, {10, 10}), nullptr);
}

}  // namespace
