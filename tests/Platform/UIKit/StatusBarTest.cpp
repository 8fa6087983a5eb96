// The status bar over the key window: where it lies on each device and orientation, the root
// page's frame below it, its style as drawn, and the touches it keeps.
#include <gtest/gtest.h>

#include "Foundation/Clock.h"
#include "ScreenTestSupport.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Button.h"
#include "UIKit/StatusBar.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"

namespace {

struct BarCase {
  const char* name;
  ui::DeviceProfile profile;
  bool landscape;
  ui::StatusBarStyle style;
  bool hidden;
  cg::Rect bar;   // the status bar's frame
  cg::Rect root;  // the root page's
  double top;     // the red of a pixel at the bar's right end, as drawn
};

class StatusBarTest : public ::testing::TestWithParam<BarCase> {};

TEST_P(StatusBarTest, TheBarLiesOverTheTopAndTheRootPageBelowIt) {
  const BarCase& c = GetParam();
  testsupport::ScreenScope screen(c.profile);
  auto app = ui::Application::sharedApplication();
  app->setStatusBarStyle(c.style);
  auto root = std::make_shared<ui::ViewController>()->init();
  root->view()->setBackgroundColor(ui::Color::whiteColor());
  auto window = screen.showWindow(root);
  if (c.landscape) {
    ASSERT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  }
  app->setStatusBarHidden(c.hidden);

  EXPECT_EQ(app->statusBarFrame(), c.bar);
  EXPECT_EQ(root->view()->frame(), c.root);
  const std::string dump = ui::dumpViewTree(window);
  EXPECT_NE(dump.find("\n  StatusBar frame="), std::string::npos) << dump;

  auto image = ui::renderView(window, 1);
  ASSERT_TRUE(image);
  const std::uint32_t pixel =
      image->pixels()[static_cast<std::size_t>(10 * image->pixelWidth() + image->pixelWidth() - 3)];
  EXPECT_NEAR(((pixel >> 16) & 0xFF) / 255.0, c.top, 0.2);

  // Touches on the shown bar reach no page.
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  button->setFrame(root->view()->bounds());
  root->view()->addSubview(button);
  EXPECT_EQ(ui::tapAtPoint(window, {30, 10}) == button, c.hidden);
  EXPECT_EQ(ui::tapAtPoint(window, {30, 30}), button);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, StatusBarTest,
    ::testing::Values(BarCase{"tablet",
                              ui::DeviceProfile::tablet(),
                              false,
                              ui::StatusBarStyle::defaultStyle,
                              false,
                              {0, 0, 768, 20},
                              {0, 20, 768, 1004},
                              0},
                      BarCase{"tablet_landscape",
                              ui::DeviceProfile::tablet(),
                              true,
                              ui::StatusBarStyle::defaultStyle,
                              false,
                              {0, 0, 1024, 20},
                              {0, 20, 1024, 748},
                              0},
                      BarCase{"phone_black_opaque",
                              ui::DeviceProfile::phone(),
                              false,
                              ui::StatusBarStyle::blackOpaque,
                              false,
                              {0, 0, 320, 20},
                              {0, 20, 320, 460},
                              0},
                      BarCase{"phone_default",
                              ui::DeviceProfile::phone(),
                              false,
                              ui::StatusBarStyle::defaultStyle,
                              false,
                              {0, 0, 320, 20},
                              {0, 20, 320, 460},
                              0.75},
                      BarCase{"phone_tall",
                              ui::DeviceProfile::phoneTall(),
                              false,
                              ui::StatusBarStyle::blackOpaque,
                              false,
                              {0, 0, 320, 20},
                              {0, 20, 320, 548},
                              0},
                      // Hidden, as over the full-screen player: the page takes the whole window.
                      BarCase{"hidden",
                              ui::DeviceProfile::phone(),
                              false,
                              ui::StatusBarStyle::blackOpaque,
                              true,
                              {},
                              {0, 0, 320, 480},
                              1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(StatusBarRefreshTest, TheBarShowsTheTimeAndTheNetworkActivityWhenRefreshed) {
  testsupport::ScreenScope screen(ui::DeviceProfile::phone());
  auto window = screen.showWindow(std::make_shared<ui::ViewController>()->init());
  auto& bar = window->statusBar();
  bar->refresh();
  EXPECT_EQ(bar->timeText().size(), 5u) << bar->timeText();
  EXPECT_FALSE(bar->showsNetworkActivity());
  EXPECT_FALSE(bar->refresh()) << "nothing changed";
  ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(true);
  EXPECT_TRUE(bar->refresh());
  EXPECT_TRUE(bar->showsNetworkActivity());
  EXPECT_NE(ui::dumpViewTree(window).find("StatusBar frame={{0, 0}, {320, 20}} noInteraction style=default "
                                          "networkActivity"),
            std::string::npos);
  ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(false);
  EXPECT_TRUE(bar->refresh());
}

struct NextChangeCase {
  const char* name;
  bool activity;
  bool hidden;
  std::optional<double> after;  // seconds after the start until the bar changes by itself
};

class StatusBarNextChangeTest : public ::testing::TestWithParam<NextChangeCase> {};

TEST_P(StatusBarNextChangeTest, TheBarSaysWhenItChangesNextAndChangesThen) {
  const NextChangeCase& c = GetParam();
  // 30.02 s into a minute on the process clock.
  const double start = 1'800'000'030.02;
  ns::ManualClock clock(start);
  testsupport::ScreenScope screen(ui::DeviceProfile::phone());
  auto window = screen.showWindow(std::make_shared<ui::ViewController>()->init());
  auto app = ui::Application::sharedApplication();
  app->setNetworkActivityIndicatorVisible(c.activity);
  app->setStatusBarHidden(c.hidden);
  auto& bar = window->statusBar();
  bar->refresh();
  auto next = bar->nextChange(clock.now());
  ASSERT_EQ(next.has_value(), c.after.has_value());
  if (!next) return;
  EXPECT_NEAR(*next - start, *c.after, 1e-6);
  if (c.activity) {
    // The bar's spinner steps with every other: the window draws both in one frame.
    auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::gray);
    spinner->startAnimating();
    EXPECT_EQ(spinner->nextPresentationChange(clock.now()), next);
  }
  clock.advance(*next - clock.now() - 0.001);
  EXPECT_FALSE(bar->refresh()) << "not yet";
  clock.advance(0.002);
  EXPECT_TRUE(bar->refresh());
}

INSTANTIATE_TEST_SUITE_P(States, StatusBarNextChangeTest,
                         ::testing::Values(NextChangeCase{"the_next_minute", false, false, 29.98},
                                           NextChangeCase{"the_spinner_s_next_step", true, false,
                                                          1.0 / 12 - 0.02},
                                           NextChangeCase{"hidden", true, true, std::nullopt}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
