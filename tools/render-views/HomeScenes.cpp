// The home page as the application starts it: the menu navigation controller over the home page
// controller, the category list, posters and rows loaded from a sample service in this process.
#include "HomeScenes.h"

#include <cstdio>

#include "Classes/MainPage/MainViewBase.h"
#include "Classes/MainPage/TLMainPageVC.h"
#include "Classes/Navigation/TLMenuNavigationController.h"
#include "Classes/iphone/MainPage/TLMainPageVC_iphone.h"
#include "Classes/iphone/Navigation/TLMenuNavigationController_iphone.h"
#include "Foundation/Clock.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "SceneSupport.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"

namespace scenes {

namespace {

std::shared_ptr<MainViewBase> mainViewIn(const std::shared_ptr<ui::View>& view) {
  if (auto m = std::dynamic_pointer_cast<MainViewBase>(view)) return m;
  for (const auto& sub : view->subviews())
    if (auto m = mainViewIn(sub)) return m;
  return nullptr;
}

}  // namespace

std::shared_ptr<ui::View> homePage(ui::InterfaceOrientation orientation) {
  sampleService();
  // Counts the requests, so that none is left running when the picture is taken.
  auto network = NTNetworkActivityIndicatorManager::sharedManager();
  // Time stands still, so the slider shows its first poster rather than wherever it has got to.
  ns::ManualClock clock;
  auto previousKey = ui::Window::keyWindow();
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  // The menu saves the service's category list and says so; the page then builds its rows again
  // from it. Rows built before, from a list an earlier run left, may have loaded already.
  bool listArrived = false;
  auto center = ns::NotificationCenter::defaultCenter();
  auto listObserver = center->addObserverForName("ReloadRubrikNotification", {},
                                                 [&](const ns::Notification&) { listArrived = true; });
  std::shared_ptr<ui::ViewController> home;
  std::shared_ptr<TLMenuNavigationController> nav;
  if (ui::isPad()) {
    home = std::make_shared<TLMainPageVC>()->init();
    nav = std::make_shared<TLMenuNavigationController>()->initWithRootViewController(home);
  } else {
    home = std::make_shared<TLMainPageVC_iphone>()->init();
    nav = std::make_shared<TLMenuNavigationController_iphone>()->initWithRootViewController(home);
  }
  window->setRootViewController(nav);
  window->makeKeyAndVisible();
  if (orientation != ui::InterfaceOrientation::portrait) ui::simulateRotation(orientation);

  // The category list arrives, the rows are rebuilt from it, and what the screen shows of them
  // comes in. The tablet's count of outstanding rows only adds up over loads, so it is no sign.
  bool settled = runUntil(
      [&] {
        auto main = mainViewIn(window);
        return listArrived && main && main->slider()->isLoadedJSON() &&
               !main->horizScrollViewNew()->subviews().empty() && network->activityCount() == 0 &&
               !anyShownSpinnerTurning(window) && shownPostersIn(window);
      },
      kLoadSeconds);
  center->removeObserver(listObserver);
  // The slider's refill after its last layout.
  clock.advance(0.3);
  window->layoutIfNeeded();
  window->resignKeyWindow();
  if (previousKey) previousKey->makeKeyWindow();
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  if (!settled) {
    std::fprintf(stderr, "render-views: the home page did not finish loading in %g s\n", kLoadSeconds);
    return nullptr;
  }
  return window;
}

}  // namespace scenes
