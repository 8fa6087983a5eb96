#include <gtest/gtest.h>

#include "Foundation/NotificationCenter.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

namespace {

using namespace ui;

struct ProfileCase {
  const char* name;
  bool known;
  bool pad;
  cg::Size size;
  double scale;
};

class DeviceProfileTest : public ::testing::TestWithParam<ProfileCase> {
 protected:
  void TearDown() override { Device::setProfile(saved_); }
  DeviceProfile saved_ = Device::profile();
};

TEST_P(DeviceProfileTest, NamedProfilesSetIdiomScreenAndScale) {
  const auto& c = GetParam();
  DeviceProfile p;
  ASSERT_EQ(DeviceProfile::fromName(c.name, p), c.known) << c.name;
  if (!c.known) return;
  Device::setProfile(p);
  EXPECT_EQ(isPad(), c.pad);
  EXPECT_EQ(Screen::mainScreen()->bounds(), cg::Rect(0, 0, c.size.width, c.size.height));
  EXPECT_EQ(Screen::mainScreen()->scale(), c.scale);
}

INSTANTIATE_TEST_SUITE_P(Names, DeviceProfileTest,
                         ::testing::Values(ProfileCase{"pad", true, true, {768, 1024}, 1},
                                           ProfileCase{"pad@2x", true, true, {768, 1024}, 2},
                                           ProfileCase{"phone", true, false, {320, 480}, 2},
                                           ProfileCase{"phone@1x", true, false, {320, 480}, 1},
                                           ProfileCase{"phone568", true, false, {320, 568}, 2},
                                           ProfileCase{"watch", false, false, {}, 0},
                                           ProfileCase{"pad@3x", false, false, {}, 0}));

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { app->reset(); }
  void TearDown() override { app->reset(); }
  std::shared_ptr<Application> app = Application::sharedApplication();
};

TEST_F(ApplicationTest, StateChangesPostTheirNotifications) {
  std::vector<std::string> heard;
  auto center = ns::NotificationCenter::defaultCenter();
  std::vector<std::shared_ptr<ns::Object>> tokens;
  for (const char* name : {kApplicationDidBecomeActiveNotification, kApplicationWillResignActiveNotification,
                           kApplicationDidEnterBackgroundNotification})
    tokens.push_back(center->addObserverForName(name, ns::Value(), [&](const ns::Notification& n) {
      EXPECT_EQ(n.object.asObject(), app);
      heard.push_back(n.name);
    }));
  EXPECT_EQ(app->applicationState(), ApplicationState::inactive);
  struct Step {
    ApplicationState to;
    std::vector<std::string> posted;
  } steps[] = {
      {ApplicationState::active, {kApplicationDidBecomeActiveNotification}},
      {ApplicationState::active, {}},
      {ApplicationState::background,
       {kApplicationWillResignActiveNotification, kApplicationDidEnterBackgroundNotification}},
      {ApplicationState::inactive, {}},
      {ApplicationState::active, {kApplicationDidBecomeActiveNotification}},
      {ApplicationState::inactive, {kApplicationWillResignActiveNotification}},
  };
  for (const auto& step : steps) {
    heard.clear();
    app->setApplicationState(step.to);
    EXPECT_EQ(app->applicationState(), step.to);
    EXPECT_EQ(heard, step.posted);
  }
  for (const auto& token : tokens) center->removeObserver(token);
}

TEST_F(ApplicationTest, RecordsBackgroundTasksAndRunsExpiryOfOpenOnesOnly) {
  int expiredA = 0, expiredB = 0;
  auto a = app->beginBackgroundTaskWithExpirationHandler([&] { ++expiredA; });
  auto b = app->beginBackgroundTaskWithExpirationHandler([&] { ++expiredB; });
  EXPECT_NE(a, kBackgroundTaskInvalid);
  EXPECT_NE(a, b);
  EXPECT_EQ(app->openBackgroundTaskCount(), 2u);
  app->endBackgroundTask(a);
  app->endBackgroundTask(a);
  app->endBackgroundTask(12345);
  EXPECT_EQ(app->openBackgroundTaskCount(), 1u);
  app->expireBackgroundTasks();
  EXPECT_EQ(expiredA, 0);
  EXPECT_EQ(expiredB, 1);
  auto tasks = app->backgroundTasks();
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_TRUE(tasks[0].ended);
  EXPECT_FALSE(tasks[1].ended);
}

TEST_F(ApplicationTest, ExpiryHandlerMayEndItsOwnTask) {
  BackgroundTaskIdentifier id = kBackgroundTaskInvalid;
  id = app->beginBackgroundTaskWithExpirationHandler([&] { app->endBackgroundTask(id); });
  app->expireBackgroundTasks();
  EXPECT_EQ(app->openBackgroundTaskCount(), 0u);
}

TEST_F(ApplicationTest, StatusBarAndIndicatorSettings) {
  EXPECT_FALSE(app->isNetworkActivityIndicatorVisible());
  app->setNetworkActivityIndicatorVisible(true);
  EXPECT_TRUE(app->isNetworkActivityIndicatorVisible());
  app->setStatusBarStyle(StatusBarStyle::blackOpaque);
  EXPECT_EQ(static_cast<int>(app->statusBarStyle()), 2);
  EXPECT_EQ(Screen::mainScreen()->applicationFrame().y(), 20);
  app->setStatusBarHidden(true);
  EXPECT_EQ(Screen::mainScreen()->applicationFrame(), Screen::mainScreen()->bounds());
  app->setStatusBarOrientation(InterfaceOrientation::landscapeLeft);
  EXPECT_TRUE(isLandscape(app->statusBarOrientation()));
}

}  // namespace
