// The tablet category page as the menu opens it, loaded from a sample service in this process.
#include "CategoryScenes.h"

#include <cstdio>

#include "Classes/CategoryPage/TLSCategoryVC.h"
#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "SceneSupport.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"

namespace scenes {

std::shared_ptr<ui::View> categoryPage(ui::InterfaceOrientation orientation, CategoryExtra extra) {
  sampleService();
  auto network = NTNetworkActivityIndicatorManager::sharedManager();
  // Time stands still, so the banner shows its first poster.
  ns::ManualClock clock;
  auto previousKey = ui::Window::keyWindow();
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  auto page = std::make_shared<TLSCategoryVC>()->init();
  page->setCategoryTitle("Фильмы");
  page->setCategoryId(1);
  auto nav = std::make_shared<ui::NavigationController>()->initWithRootViewController(page);
  nav->setNavigationBarHidden(true);
  window->setRootViewController(nav);
  window->makeKeyAndVisible();
  if (orientation != ui::InterfaceOrientation::portrait) ui::simulateRotation(orientation);
  auto settled = [&] {
    auto grid = page->sCategary()->categoryFilmsScroll();
    return grid->hasReply() && page->genres().isArray() && page->sCategary()->sliderView()->isLoadedJSON() &&
           network->activityCount() == 0 && !anyShownSpinnerTurning(window) && shownPostersIn(window);
  };
  bool ok = runUntil(settled, kLoadSeconds);
  if (ok && extra == CategoryExtra::nothingFound) {
    page->yearSelected(7);
    ok = runUntil(settled, kLoadSeconds);
  }
  // The banner's refill after its last layout, and the posters that refill fetches.
  clock.advance(0.3);
  window->layoutIfNeeded();
  ok = ok && runUntil(settled, kLoadSeconds);
  if (extra == CategoryExtra::genres) page->genrePressed(*page->genreBtn());
  if (extra == CategoryExtra::years) page->yearPressed(*page->yearBtn());
  window->layoutIfNeeded();
  window->resignKeyWindow();
  if (previousKey) previousKey->makeKeyWindow();
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  if (!ok) {
    std::fprintf(stderr, "render-views: the category page did not finish loading in %g s\n", kLoadSeconds);
    return nullptr;
  }
  return window;
}

}  // namespace scenes
