#include "UIKit/Window.h"

#include <algorithm>

#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Image.h"
#include "UIKit/AlertView.h"
#include "UIKit/Keyboard.h"
#include "UIKit/Screen.h"
#include "UIKit/StatusBar.h"
#include "UIKit/SystemNotifications.h"

namespace ui {

namespace {

std::weak_ptr<Window>& keyWindowSlot() {
  static std::weak_ptr<Window> key;
  return key;
}

// The main run loop lays the key window out at the end of each pass, from the first window made
// key on.
void installLayoutPass() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  ns::RunLoop::mainRunLoop()->addBeforeWaitingObserver([] { Window::layoutKeyWindow(); });
}

}  // namespace

std::shared_ptr<Window> Window::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<Window>();
}

void Window::makeKeyAndVisible() {
  setHidden(false);
  makeKeyWindow();
}

void Window::makeKeyWindow() {
  installLayoutPass();
  const bool wasKey = isKeyWindow();
  keyWindowSlot() = self<Window>();
  if (!wasKey)
    ns::NotificationCenter::defaultCenter()->postNotificationName(kWindowDidBecomeKeyNotification,
                                                                  ns::Value(shared_from_this()));
  installRootView();
  AlertView::presentFrontAlert();
  setNeedsLayout();
}

bool Window::isKeyWindow() const { return keyWindowSlot().lock().get() == this; }

void Window::resignKeyWindow() {
  if (isKeyWindow()) keyWindowSlot().reset();
}

std::shared_ptr<Window> Window::keyWindow() { return keyWindowSlot().lock(); }

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
  if (controller == rootViewController_) return;
  auto keep = self<Window>();
  if (auto old = rootViewController_; old && rootInstalled_) {
    old->viewWillDisappear(false);
    old->view()->removeFromSuperview();
    old->viewDidDisappear(false);
  }
  rootInstalled_ = false;
  rootViewController_ = std::move(controller);
  installRootView();
}

void Window::installRootView() {
  if (!rootViewController_ || rootInstalled_ || !isKeyWindow()) return;
  auto root = rootViewController_;
  auto v = root->view();
  v->setFrame(rootViewFrame());
  // Below whatever already lies on the window (an alert that came first).
  insertSubviewAtIndex(v, 0);
  rootInstalled_ = true;
  root->viewWillAppear(false);
  root->viewDidAppear(false);
}

void Window::layoutKeyWindow() {
  auto key = keyWindow();
  if (!key || !View::takeLayoutRequest()) return;
  key->layoutIfNeeded();
}

cg::Rect Window::rootViewFrame() const {
  cg::Rect b = bounds();
  double top = std::min(b.height(), Application::sharedApplication()->statusBarFrame().height());
  return {b.x(), b.y() + top, b.width(), b.height() - top};
}

void Window::statusBarDidChange() {
  auto key = keyWindow();
  if (!key || !key->rootInstalled_) return;
  key->rootViewController_->view()->setFrame(key->rootViewFrame());
}

const std::shared_ptr<StatusBar>& Window::statusBar() {
  if (!statusBar_) statusBar_ = std::make_shared<StatusBar>()->init();
  return statusBar_;
}

const std::shared_ptr<Keyboard>& Window::keyboard() {
  if (!keyboard_) keyboard_ = std::make_shared<Keyboard>()->init();
  return keyboard_;
}

std::optional<cg::Rect> Window::keyboardFrame() const {
  if (!isKeyWindow() || !Responder::isKeyboardShown()) return std::nullopt;
  return Keyboard::frameInBounds(bounds(), isPad());
}

std::shared_ptr<AlertView> Window::alertOnWindow() const {
  for (auto it = subviews().rbegin(); it != subviews().rend(); ++it)
    if (auto alert = std::dynamic_pointer_cast<AlertView>(*it)) return alert;
  return nullptr;
}

std::shared_ptr<View> Window::hitTest(cg::Point point, const Event* event) {
  if (auto alert = alertOnWindow()) {
    if (!pointInside(point, event)) return nullptr;
    return alert->hitTest(alert->convertPointFromView(point, this), event);
  }
  if (Application::sharedApplication()->statusBarFrame().contains(point)) return nullptr;
  // The keyboard takes every touch on it, keys or not; none of them reaches the views below.
  if (auto panel = keyboardFrame(); panel && panel->contains(point)) {
    keyboard()->setFrame(*panel);
    return keyboard();
  }
  return View::hitTest(point, event);
}

void Window::layoutSubviews() {
  if (auto alert = alertOnWindow()) alert->placeInBounds(bounds());
}

void Window::didAddSubview(const std::shared_ptr<View>& view) {
  auto alert = alertOnWindow();
  if (!alert || view == alert || view == alert->dimmingView()) return;
  // Whatever comes later (a presented page, a popover) goes under the alert.
  bringSubviewToFront(alert->dimmingView());
  bringSubviewToFront(alert);
}

void Window::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  if (isKeyWindow()) line += " key";
}

bool simulateRotation(InterfaceOrientation orientation) {
  // The device turns whether or not the interface follows; the status bar has turned by the
  // time observers hear of it when it does.
  struct Announce {
    ~Announce() {
      ns::NotificationCenter::defaultCenter()->postNotificationName(kDeviceOrientationDidChangeNotification);
    }
  } announce;
  Device::currentDevice()->setOrientation(DeviceOrientation(int(orientation)));
  auto window = Window::keyWindow();
  auto root = window ? window->rootViewController() : nullptr;
  if (!root) return false;
  // A presented controller, covering everything, answers for the screen.
  auto asked = root->topPresentedViewController();
  if (!asked->shouldAutorotate()) return false;
  if (!(asked->supportedInterfaceOrientations() & interfaceOrientationMask(orientation))) return false;
  // The older question is still put, for the pages that lay out when it comes; the newer ones
  // above decide. Then the controllers hear of the turn while the status bar shows the old side:
  // the root first, then each presented one, as all their views turn.
  const double duration = Application::sharedApplication()->statusBarOrientationAnimationDuration();
  for (auto c = root; c; c = c->presentedViewController()) {
    c->shouldAutorotateToInterfaceOrientation(orientation);
    c->willRotateToInterfaceOrientation(orientation, duration);
  }
  ns::NotificationCenter::defaultCenter()->postNotificationName(
      kApplicationWillChangeStatusBarOrientationNotification, Application::sharedApplication(),
      ns::Dictionary{{kApplicationStatusBarOrientationUserInfoKey, static_cast<std::int64_t>(orientation)}});
  Application::sharedApplication()->setStatusBarOrientation(orientation);
  cg::Size screen = Screen::mainScreen()->bounds().size;
  cg::Size size = isLandscape(orientation) ? cg::Size{screen.height, screen.width} : screen;
  window->setFrame({window->frame().origin, size});
  if (root->isViewLoaded()) root->view()->setFrame(window->rootViewFrame());
  for (auto shown = root->presentedViewController(); shown; shown = shown->presentedViewController())
    if (shown->isViewLoaded()) shown->view()->setFrame(window->bounds());
  window->layoutIfNeeded();
  return true;
}

bool simulateDeviceOrientation(DeviceOrientation orientation) {
  int value = int(orientation);
  if (value >= 1 && value <= 4) return simulateRotation(InterfaceOrientation(value));
  Device::currentDevice()->setOrientation(orientation);
  ns::NotificationCenter::defaultCenter()->postNotificationName(kDeviceOrientationDidChangeNotification);
  return false;
}

void simulateMemoryWarning() {
  auto window = Window::keyWindow();
  if (auto root = window ? window->rootViewController() : nullptr) root->didReceiveMemoryWarning();
  // Pictures decoded from files and downloads are decoded again when next drawn.
  cg::Image::purgeDecodedPixels();
}

}  // namespace ui
