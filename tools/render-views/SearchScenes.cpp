// The search pages and the phone category page as the menu opens them, filled from the sample
// service in this process, and the dressed picker on its own.
#include "SearchScenes.h"

#include <chrono>
#include <functional>

#include "Classes/SearchPage/TLSSearchVC.h"
#include "Classes/iphone/CategoryPage/TLSCategoryVC_iphone.h"
#include "Classes/iphone/SearchPage/TLSSearchVC_iphone.h"
#include "Foundation/RunLoop.h"
#include "IXPickerOverlayView/IXPickerOverlayView.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "SceneSupport.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"

namespace scenes {

namespace {

void runUntilQuiet(double seconds) {
  auto network = NTNetworkActivityIndicatorManager::sharedManager();
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  // A few turns first, so that the requests have started.
  for (int i = 0; i < 3; ++i) ns::RunLoop::mainRunLoop()->runOnce(0.05);
  while (network->activityCount() > 0 && std::chrono::steady_clock::now() < end)
    ns::RunLoop::mainRunLoop()->runOnce(0.05);
  for (int i = 0; i < 10; ++i) ns::RunLoop::mainRunLoop()->runOnce(0.02);
}

std::shared_ptr<ui::View> show(const std::shared_ptr<ui::ViewController>& page,
                               ui::InterfaceOrientation orientation) {
  auto previousKey = ui::Window::keyWindow();
  ui::Application::sharedApplication()->setStatusBarOrientation(orientation);
  cg::Rect screen = ui::Screen::mainScreen()->bounds();
  if (ui::isLandscape(orientation)) screen = {0, 0, screen.height(), screen.width()};
  auto window = std::make_shared<ui::Window>()->initWithFrame(screen);
  window->setRootViewController(page);
  window->makeKeyAndVisible();
  runUntilQuiet(30);
  runUntilQuiet(30);  // posters of the rows
  window->layoutIfNeeded();
  window->resignKeyWindow();
  if (previousKey) previousKey->makeKeyWindow();
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  return window;
}

// Wheels for the dressed picker scene.
class SceneWheels final : public ui::PickerViewDataSource, public ui::PickerViewDelegate {
 public:
  int numberOfComponentsInPickerView(ui::PickerView&) override { return 2; }
  int pickerViewNumberOfRowsInComponent(ui::PickerView&, int) override { return 6; }
  std::optional<std::string> pickerViewTitleForRowForComponent(ui::PickerView&, int row, int c) override {
    return c == 0 ? std::string("Жанр ") + std::to_string(row) : std::to_string(2010 - row);
  }
  double pickerViewWidthForComponent(ui::PickerView&, int c) override { return c == 0 ? 160 : 90; }
};

}  // namespace

std::shared_ptr<ui::View> searchPage(const std::string& query, ui::InterfaceOrientation orientation) {
  sampleService();
  std::shared_ptr<ui::ViewController> page;
  if (ui::isPad()) {
    auto pad = std::make_shared<TLSSearchVC>()->init();
    pad->setQuery(query);
    page = pad;
  } else {
    auto phone = std::make_shared<TLSSearchVC_iphone>()->init();
    phone->setQuery(query);
    page = phone;
  }
  return show(page, orientation);
}

std::shared_ptr<ui::View> phoneCategoryPage(bool panelOpen) {
  sampleService();
  auto page = std::make_shared<TLSCategoryVC_iphone>()->initWithNibName("TLSCategoryVC_iphone", nullptr);
  page->setCategoryTitle("Фильмы");
  page->setCategoryId(1);
  auto window = show(page, ui::InterfaceOrientation::portrait);
  if (panelOpen) {
    page->showParams();
    page->paramPicker()->selectRowInComponent(3, 1, false);
    window->layoutIfNeeded();
  }
  return window;
}

std::shared_ptr<ui::View> dressedPicker() {
  static auto wheels = std::make_shared<SceneWheels>();
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 280});
  root->setBackgroundColor(ui::Color::colorWithWhite(0.15, 1));
  auto picker = std::make_shared<ui::PickerView>()->initWithFrame({20, 0, 280, 280});
  picker->setDelegate(wheels);
  picker->setDataSource(wheels);
  picker->selectRowInComponent(2, 0, false);
  root->addSubview(picker);
  auto overlay = std::make_shared<IXPickerOverlayView>()->initWithFrame(picker->frame());
  overlay->setHostPickerView(picker);
  overlay->setUserInteractionEnabled(false);
  root->addSubview(overlay);
  root->layoutIfNeeded();
  return root;
}

}  // namespace scenes
