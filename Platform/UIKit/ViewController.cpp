#include "UIKit/ViewController.h"

#include "UIKit/Device.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"

namespace ui {

ViewController::ViewController() = default;

ViewController::~ViewController() {
  // The view may outlive its controller in someone else's hands; it no longer answers to it.
  if (view_) view_->controller_.reset();
}

std::shared_ptr<ViewController> ViewController::initWithNibName(const std::string& nibName,
                                                                const std::shared_ptr<ns::Bundle>&) {
  nibName_ = nibName;
  return self<ViewController>();
}

std::shared_ptr<View> ViewController::view() {
  if (view_ || loading_) return view_;
  auto keep = self<ViewController>();
  loading_ = true;
  try {
    loadView();
  } catch (...) {
    loading_ = false;
    throw;
  }
  loading_ = false;
  // A loadView that made nothing still leaves the page a view to show.
  if (!view_) ViewController::loadView();
  if (auto parent = parent_.lock()) parent->childViewDidLoad(*this);
  viewDidLoad();
  return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
  if (view_ == view) return;
  if (view_ && view_->controller_.lock().get() == this) view_->controller_.reset();
  view_ = std::move(view);
  if (view_) view_->controller_ = self<ViewController>();
}

void ViewController::loadView() {
  auto v = std::make_shared<View>()->initWithFrame(Screen::mainScreen()->bounds());
  v->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
  setView(v);
}

void ViewController::viewWillAppear(bool) { appearing_ = true; }
void ViewController::viewDidAppear(bool) {}
void ViewController::viewWillDisappear(bool) { appearing_ = false; }
void ViewController::viewDidDisappear(bool) {}

unsigned ViewController::supportedInterfaceOrientations() {
  return isPad() ? InterfaceOrientationMaskAll : InterfaceOrientationMaskAllButUpsideDown;
}

bool ViewController::shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) {
  return orientation == InterfaceOrientation::portrait;
}

InterfaceOrientation ViewController::interfaceOrientation() const {
  return Application::sharedApplication()->statusBarOrientation();
}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
  for (auto parent = parent_.lock(); parent; parent = parent->parent_.lock())
    if (auto nav = std::dynamic_pointer_cast<NavigationController>(parent)) return nav;
  return nullptr;
}

std::shared_ptr<Responder> ViewController::nextResponder() const {
  return view_ ? view_->superview() : nullptr;
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                                           std::function<void()> completion) {
  if (!controller || presented_) return;
  auto window = isViewLoaded() && view_->window() ? view_->window() : Window::keyWindow();
  presented_ = controller;
  presentedAnimated_ = animated;
  auto shown = controller->view();
  if (window) {
    shown->setFrame(window->bounds());
    controller->viewWillAppear(animated);
    window->addSubview(shown);
    controller->viewDidAppear(animated);
  }
  if (completion) completion();
}

void ViewController::dismissViewControllerAnimated(bool animated) {
  if (!presented_) return;
  auto controller = std::move(presented_);
  presented_.reset();
  controller->viewWillDisappear(animated);
  if (controller->isViewLoaded()) controller->view()->removeFromSuperview();
  controller->viewDidDisappear(animated);
}

void ViewController::appendDumpAttributes(std::string& line) const { line += " controller=" + className(); }

}  // namespace ui
