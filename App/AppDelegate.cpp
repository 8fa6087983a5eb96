#include "App/AppDelegate.h"

#include "Analytics/Library/MAI.h"
#include "Classes/MainPage/TLMainPageVC.h"
#include "Classes/Navigation/TLMenuNavigationController.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/MainPage/TLMainPageVC_iphone.h"
#include "Classes/iphone/Navigation/TLMenuNavigationController_iphone.h"
#include "UIKit/Color.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

#ifndef VCC_TRACKING_ID
#define VCC_TRACKING_ID "UA-00000000-1"
#endif

const char* const AppDelegate::kTrackingId = VCC_TRACKING_ID;

bool isPad() { return ui::isPad(); }

bool AppDelegate::applicationDidFinishLaunchingWithOptions(
    const std::shared_ptr<ui::Application>& application, const ns::Value& /*launchOptions*/) {
  // What an earlier run may have left in the caches goes before the home page reads them: files of
  // writes it was killed in, and a category list too long to build a page of.
  TLSettings::removeStaleTemporaryFiles();
  TLSettings::cutCachedCategoriesFile();

  setWindow(std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds()));
  window()->setBackgroundColor(ui::Color::whiteColor());
  window()->makeKeyAndVisible();

  // Analytics is ready before the home page exists: the page reports its screen as soon as its
  // view loads, which happens when it becomes the root of the key window.
  MAI::sharedInstance()->setTrackUncaughtExceptions(true);
  MAI::sharedInstance()->setDispatchInterval(20.0);
  MAI::sharedInstance()->trackerWithTrackingId(std::string(kTrackingId));

  std::shared_ptr<ui::ViewController> navigation;
  if (isPad()) {
    auto home = std::make_shared<TLMainPageVC>();
    home->init();
    navigation = std::make_shared<TLMenuNavigationController>()->initWithRootViewController(home);
  } else {
    auto home = std::make_shared<TLMainPageVC_iphone>();
    home->init();
    application->setStatusBarStyle(ui::StatusBarStyle::blackOpaque);
    navigation = std::make_shared<TLMenuNavigationController_iphone>()->initWithRootViewController(home);
  }
  window()->setRootViewController(navigation);

  TLSettings::removeRefreshMainPageFlag();
  return true;
}
