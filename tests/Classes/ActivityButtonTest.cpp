#include <gtest/gtest.h>

#include "Classes/AKActivityButton.h"
#include "UIKit/TouchSimulation.h"
#include "WidgetTestSupport.h"
#include "support/CaseName.h"

namespace {

struct Fixture {
  std::shared_ptr<ui::View> root = testsupport::rootView();
  std::shared_ptr<AKActivityButton> button = AKActivityButton::buttonWithType(ui::ButtonType::custom);
  std::shared_ptr<ui::Image> rest = ui::Image::imageNamed("reloadBt");
  std::shared_ptr<ui::Image> busy = ui::Image::imageNamed("reloadBtBg");
  int taps = 0;

  explicit Fixture(cg::Rect frame = {100, 100, 44, 44}) {
    button->setFrame(frame);
    button->setImage(rest);
    button->setActivitiImage(busy);
    button->addTarget(
        nullptr, [this](ui::Control&) { ++taps; }, ui::ControlEventTouchUpInside);
    root->addSubview(button);
  }
};

TEST(AKActivityButtonTest, SetImageShowsAtOnceAndActivityImageOnlyWhenSpinning) {
  Fixture f;
  EXPECT_EQ(f.button->currentImage(), f.rest);
  EXPECT_EQ(f.button->activitiImage(), f.busy);
  EXPECT_FALSE(f.button->isAnimating());
}

struct Step {
  const char* name;
  std::vector<bool> starts;  // true start, false stop, in order
  bool animating;
  bool enabled;
  bool spinner;
  bool spinnerHidden;
  const char* image;
};

class ActivityStepsTest : public ::testing::TestWithParam<Step> {};

TEST_P(ActivityStepsTest, StartAndStopInAnyOrder) {
  const auto& c = GetParam();
  Fixture f;
  for (bool start : c.starts) start ? f.button->startAnimating() : f.button->stopAnimating();
  EXPECT_EQ(f.button->isAnimating(), c.animating);
  EXPECT_EQ(f.button->isEnabled(), c.enabled);
  EXPECT_EQ(f.button->activity() != nullptr, c.spinner);
  if (f.button->activity()) {
    EXPECT_EQ(f.button->activity()->isHidden(), c.spinnerHidden);
  }
  EXPECT_EQ(f.button->currentImage()->name(), c.image);
  int spinners = 0;
  for (const auto& sub : f.button->subviews())
    spinners += std::dynamic_pointer_cast<ui::ActivityIndicatorView>(sub) != nullptr;
  EXPECT_EQ(spinners, c.spinner ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ActivityStepsTest,
    ::testing::Values(Step{"stop before start", {false}, false, true, false, true, "reloadBt"},
                      Step{"start", {true}, true, false, true, false, "reloadBtBg"},
                      Step{"start twice", {true, true}, true, false, true, false, "reloadBtBg"},
                      Step{"start stop", {true, false}, false, true, true, true, "reloadBt"},
                      Step{"stop twice", {true, false, false}, false, true, true, true, "reloadBt"},
                      Step{"restart", {true, false, true}, true, false, true, false, "reloadBtBg"}),
    testsupport::CaseName());

struct CentreCase {
  cg::Rect frame;
  cg::Point centre;
};

class SpinnerCentreTest : public ::testing::TestWithParam<CentreCase> {};

TEST_P(SpinnerCentreTest, SpinnerIsCentredByTheSizeAtFirstStart) {
  Fixture f(GetParam().frame);
  f.button->startAnimating();
  EXPECT_EQ(f.button->activity()->center(), GetParam().centre);
  EXPECT_EQ(f.button->activity()->frame().size, (cg::Size{20, 20}));
  EXPECT_EQ(f.button->activity()->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::white);
  // Resizing later does not move it.
  f.button->stopAnimating();
  f.button->setFrame({0, 0, 100, 100});
  f.button->startAnimating();
  EXPECT_EQ(f.button->activity()->center(), GetParam().centre);
}

INSTANTIATE_TEST_SUITE_P(Frames, SpinnerCentreTest,
                         ::testing::Values(CentreCase{{100, 100, 44, 44}, {22, 22}},
                                           CentreCase{{5, 0, 50, 44}, {25, 22}}));

TEST(AKActivityButtonTest, IgnoresTapsWhileSpinning) {
  Fixture f;
  f.button->startAnimating();
  ui::tap(f.button);
  EXPECT_EQ(f.taps, 0);
  f.button->stopAnimating();
  ui::tap(f.button);
  EXPECT_EQ(f.taps, 1);
}

}  // namespace
