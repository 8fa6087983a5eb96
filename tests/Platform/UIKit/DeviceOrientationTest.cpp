// The device's own orientation: it follows rotations, and turns the interface cannot follow are
// only announced.
#include <gtest/gtest.h>

#include "Foundation/NotificationCenter.h"
#include "ScreenTestSupport.h"
#include "UIKit/SystemNotifications.h"

namespace {

TEST(DeviceOrientationTest, FollowsRotationsAndAnnouncesEveryTurn) {
  testsupport::ScreenScope screen;
  auto device = ui::Device::currentDevice();
  EXPECT_EQ(device->orientation(), ui::DeviceOrientation::unknown);
  int heard = 0;
  auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
      ui::kDeviceOrientationDidChangeNotification, {}, [&](const ns::Notification&) { ++heard; });
  screen.showWindow(std::make_shared<ui::ViewController>()->init());
  auto app = ui::Application::sharedApplication();

  EXPECT_TRUE(ui::simulateDeviceOrientation(ui::DeviceOrientation::landscapeLeft));
  EXPECT_EQ(device->orientation(), ui::DeviceOrientation::landscapeLeft);
  EXPECT_EQ(app->statusBarOrientation(), ui::InterfaceOrientation::landscapeRight);
  for (auto flat :
       {ui::DeviceOrientation::faceUp, ui::DeviceOrientation::faceDown, ui::DeviceOrientation::unknown}) {
    EXPECT_FALSE(ui::simulateDeviceOrientation(flat));
    EXPECT_EQ(device->orientation(), flat);
    EXPECT_EQ(app->statusBarOrientation(), ui::InterfaceOrientation::landscapeRight) << "the interface stays";
  }
  ui::simulateRotation(ui::InterfaceOrientation::portrait);
  EXPECT_EQ(device->orientation(), ui::DeviceOrientation::portrait);
  EXPECT_EQ(heard, 5);
  ns::NotificationCenter::defaultCenter()->removeObserver(token);
}

}  // namespace
