#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Graphics/Image.h"
#include "UIKit/AlertView.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"
#include "UIKit/ViewController.h"
#include "UIKit/Window.h"

namespace testsupport {

// One test's screen: a device profile, and on the way out no key window, no first responder, no
// alert and the status bar back in portrait, so the next test starts clean.
class ScreenScope {
 public:
  explicit ScreenScope(const ui::DeviceProfile& profile = ui::DeviceProfile::tablet())
      : previous_(ui::Device::setProfile(profile)) {
    reset();
  }
  ~ScreenScope() {
    reset();
    ui::Device::setProfile(previous_);
  }
  ScreenScope(const ScreenScope&) = delete;
  ScreenScope& operator=(const ScreenScope&) = delete;

  // A key window over the screen holding the root controller.
  std::shared_ptr<ui::Window> showWindow(const std::shared_ptr<ui::ViewController>& root) {
    window_ = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
    window_->makeKeyAndVisible();
    window_->setRootViewController(root);
    return window_;
  }
  const std::shared_ptr<ui::Window>& window() const { return window_; }

 private:
  void reset() {
    if (auto key = ui::Window::keyWindow()) key->resignKeyWindow();
    if (auto responder = ui::Responder::currentFirstResponder()) responder->resignFirstResponder();
    ui::AlertView::dismissAll();
    ui::Application::sharedApplication()->reset();
  }

  ui::DeviceProfile previous_;
  std::shared_ptr<ui::Window> window_;
};

// A page that writes what happens to it into a shared log as "<name> <event>".
class ProbeController : public ui::ViewController {
 public:
  ProbeController(std::string name, std::shared_ptr<std::vector<std::string>> log)
      : name_(std::move(name)), log_(std::move(log)) {}

  bool autorotate = true;
  unsigned orientations = ui::InterfaceOrientationMaskAll;
  // Applied to the view in viewDidLoad when set.
  std::optional<cg::Rect> frameInViewDidLoad;
  // What the page saw when its view loaded.
  cg::Rect frameAtLoad;
  bool hadContainerAtLoad = false;
  // The status bar's orientation when the page heard of the last turn.
  std::optional<ui::InterfaceOrientation> statusBarAtWillRotate;

  void loadView() override {
    note("loadView");
    ui::ViewController::loadView();
  }
  void viewDidLoad() override {
    ui::ViewController::viewDidLoad();
    note("viewDidLoad");
    frameAtLoad = view()->frame();
    hadContainerAtLoad = navigationController() != nullptr;
    if (frameInViewDidLoad) view()->setFrame(*frameInViewDidLoad);
  }
  void viewWillAppear(bool animated) override {
    ui::ViewController::viewWillAppear(animated);
    note("willAppear");
  }
  void viewDidAppear(bool animated) override {
    ui::ViewController::viewDidAppear(animated);
    note("didAppear");
  }
  void viewWillDisappear(bool animated) override {
    ui::ViewController::viewWillDisappear(animated);
    note("willDisappear");
  }
  void viewDidDisappear(bool animated) override {
    ui::ViewController::viewDidDisappear(animated);
    note("didDisappear");
  }
  bool shouldAutorotate() override {
    note("shouldAutorotate");
    return autorotate;
  }
  unsigned supportedInterfaceOrientations() override {
    note("supportedInterfaceOrientations");
    return orientations;
  }
  void willRotateToInterfaceOrientation(ui::InterfaceOrientation, double) override {
    note("willRotate");
    statusBarAtWillRotate = ui::Application::sharedApplication()->statusBarOrientation();
  }
  void didReceiveMemoryWarning() override { note("memoryWarning"); }

  void note(const std::string& event) { log_->push_back(name_ + " " + event); }

 private:
  std::string name_;
  std::shared_ptr<std::vector<std::string>> log_;
};

inline std::shared_ptr<ProbeController> probe(const std::string& name,
                                              const std::shared_ptr<std::vector<std::string>>& log) {
  auto page = std::make_shared<ProbeController>(name, log);
  page->init();
  return page;
}

// The first and last pixel columns that show an input's blue caret in a picture, if any do.
inline std::optional<std::pair<int, int>> caretColumns(const cg::Image& image) {
  std::optional<std::pair<int, int>> columns;
  for (int y = 0; y < image.pixelHeight(); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x) {
      const cg::Color c = image.colorAt(x, y);
      if (std::abs(c.red - 0.26) > 0.08 || std::abs(c.green - 0.42) > 0.08 || c.blue < 0.85) continue;
      if (!columns) columns = {x, x};
      columns->first = std::min(columns->first, x);
      columns->second = std::max(columns->second, x);
    }
  return columns;
}

}  // namespace testsupport
