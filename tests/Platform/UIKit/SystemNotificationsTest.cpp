// What the platform announces when the device turns, and the URLs handed to the system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Foundation/NotificationCenter.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/SystemNotifications.h"

namespace {

TEST(SystemNotificationsTest, TheDeviceTurningIsAnnouncedWhetherOrNotTheInterfaceFollows) {
  testsupport::ScreenScope screen;
  auto log = std::make_shared<std::vector<std::string>>();
  auto root = std::make_shared<testsupport::ProbeController>("root", log);
  root->init();
  root->orientations = ui::InterfaceOrientationMaskPortrait | ui::InterfaceOrientationMaskLandscapeLeft;
  screen.showWindow(root);
  auto app = ui::Application::sharedApplication();
  std::vector<ui::InterfaceOrientation> heard;
  auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
      ui::kDeviceOrientationDidChangeNotification, ns::Value(),
      [&](const ns::Notification&) { heard.push_back(app->statusBarOrientation()); });

  EXPECT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_FALSE(ui::simulateRotation(ui::InterfaceOrientation::landscapeRight));
  EXPECT_EQ(heard, (std::vector<ui::InterfaceOrientation>{ui::InterfaceOrientation::landscapeLeft,
                                                          ui::InterfaceOrientation::landscapeLeft}));
  ns::NotificationCenter::defaultCenter()->removeObserver(token);
}

TEST(SystemNotificationsTest, TheBrowserTakesWebAddressesAndEveryHandOverIsRecorded) {
  auto app = ui::Application::sharedApplication();
  app->clearOpenedURLs();
  EXPECT_TRUE(app->openURL(*ns::URL::URLWithString("https://fb.localhost/recover")));
  EXPECT_TRUE(app->openURL(*ns::URL::URLWithString("http://example.com/")));
  EXPECT_FALSE(app->openURL(*ns::URL::URLWithString("fbauth://authorize?client_id=1")));
  EXPECT_EQ(app->openedURLs(),
            (std::vector<std::string>{"https://fb.localhost/recover", "http://example.com/",
                                      "fbauth://authorize?client_id=1"}));
  app->clearOpenedURLs();
  EXPECT_TRUE(app->openedURLs().empty());
}

}  // namespace
