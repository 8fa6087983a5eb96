// The demonstration pages: the info button toggles the flipside popover in the dark frame.
#include <gtest/gtest.h>

#include "Foundation/Exception.h"
#include "KSCustomPopover/KSCustomPopoverBackgroundView.h"
#include "KSCustomPopover/KSCustomPopoverDemo.h"
#include "UIKit/AlertView.h"
#include "UIKit/Application.h"
#include "UIKit/Screen.h"
#include "UIKit/TouchSimulation.h"

namespace {

TEST(KSCustomPopoverDemoTest, InfoButtonTogglesTheFlipsideInTheDarkFrame) {
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  auto delegate = std::make_shared<KSCustomPopoverAppDelegate>();
  delegate->setWindow(window);
  EXPECT_TRUE(delegate->applicationDidFinishLaunchingWithOptions({}));
  auto main = std::make_shared<KSCustomPopoverMainViewController>();
  main->init();
  window->makeKeyAndVisible();
  window->setRootViewController(main);

  ui::tap(main->infoButton());
  auto popover = main->flipsidePopoverController();
  ASSERT_TRUE(popover);
  ASSERT_TRUE(popover->isPopoverVisible());
  EXPECT_EQ(popover->popoverContentSize(), (cg::Size{320, 480}));
  EXPECT_TRUE(std::dynamic_pointer_cast<KSCustomPopoverBackgroundView>(popover->backgroundView()));
  EXPECT_EQ(popover->popoverArrowDirection(), ui::PopoverArrowDirectionUp);

  ui::tap(main->infoButton());
  EXPECT_FALSE(popover->isPopoverVisible()) << "a second press closes it";
  EXPECT_FALSE(main->flipsidePopoverController());

  ui::tap(main->infoButton());
  auto flipside = std::dynamic_pointer_cast<KSCustomPopoverFlipsideViewController>(
      main->flipsidePopoverController()->contentViewController());
  ASSERT_TRUE(flipside);
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  flipside->done(*button);
  EXPECT_FALSE(main->flipsidePopoverController()) << "done closes and forgets it";

  ui::tap(main->infoButton());
  ui::tapAtPoint(window, {20, 900});
  EXPECT_FALSE(main->flipsidePopoverController()) << "a touch outside closes and forgets it";
  EXPECT_THROW(main->performSegueWithIdentifier("other", nullptr), ns::Exception);
  window->resignKeyWindow();
}

}  // namespace
