// Modal presentation: a presented controller's view goes over everything in the key window.
#include <utility>
#include <vector>

#include "Foundation/Format.h"
#include "Foundation/RunLoop.h"
#include "UIKit/ViewController.h"
#include "UIKit/Window.h"

namespace ui {

namespace {

constexpr double kPresentationSeconds = ViewController::kPresentationDuration;

// Runs the block on a later turn of the main loop: after the animation's time when animated.
void later(bool animated, std::function<void()> block) {
  if (animated)
    View::animateWithDuration(kPresentationSeconds, nullptr, [block = std::move(block)](bool) { block(); });
  else
    ns::RunLoop::mainRunLoop()->performBlock(std::move(block));
}

// A presented view slides up from below the window into its place, and down out of sight when
// it goes; the model is in its end state at once.
void slideIn(View& v, const Window& window) {
  cg::Point place = v.center();
  v.setCenter({place.x, place.y + window.bounds().height()});
  View::animateWithDuration(kPresentationSeconds, [&] { v.setCenter(place); });
}

void slideOut(const std::shared_ptr<View>& v) {
  auto parent = v->superview();
  if (!parent) return;
  View::animateWithDuration(kPresentationSeconds, [&] {
    parent->removeSubviewMovingBy(v, {0, parent->bounds().height()});
  });
}

// The cover that dims the window under a presented view stays where it is while the view slides:
// it fades in, and out when the view goes.
std::shared_ptr<View> dimUnder(const std::shared_ptr<View>& v, Window& window, const Color& colour,
                               bool animated) {
  auto dimming = std::make_shared<View>()->initWithFrame(window.bounds());
  dimming->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
  dimming->setBackgroundColor(colour);
  window.insertSubviewBelowSubview(dimming, v);
  if (animated) {
    dimming->setAlpha(0);
    View::animateWithDuration(kPresentationSeconds, [&] { dimming->setAlpha(1); });
  }
  return dimming;
}

void undim(const std::shared_ptr<View>& dimming, bool animated) {
  auto parent = dimming ? dimming->superview() : nullptr;
  if (!parent) return;
  View::animateWithDuration(animated ? kPresentationSeconds : 0,
                            [&] { parent->removeSubviewFadingOut(dimming); });
}

}  // namespace

std::shared_ptr<ViewController> ViewController::topPresentedViewController() {
  auto top = self<ViewController>();
  while (top->presented_) top = top->presented_;
  return top;
}

void ViewController::presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                                           std::function<void()> completion) {
  auto window = Window::keyWindow();
  if (!controller || controller.get() == this || presented_ || controller->presenting_.lock() || !window) {
    ns::log("Warning: Attempt to present %@ on %@ which is already presenting or cannot present",
            controller ? controller->className() : std::string("nil"), className());
    return;
  }
  auto me = self<ViewController>();
  presented_ = controller;
  presentedAnimated_ = animated;
  controller->presenting_ = me;
  const bool coversPresenter = controller->modalPresentationStyle_ == ModalPresentationStyle::fullScreen;
  if (coversPresenter && isViewLoaded()) viewWillDisappear(animated);
  auto v = controller->view();
  v->removeFromSuperview();
  v->setFrame(window->bounds());
  v->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
  controller->viewWillAppear(animated);
  window->addSubview(v);
  if (auto colour = controller->presentationDimmingColor())
    controller->dimming_ = dimUnder(v, *window, *colour, animated);
  if (animated) slideIn(*v, *window);
  std::weak_ptr<ViewController> weakMe = me;
  std::weak_ptr<ViewController> weakShown = controller;
  later(animated, [weakMe, weakShown, coversPresenter, animated, completion = std::move(completion)] {
    auto shown = weakShown.lock();
    if (shown) shown->viewDidAppear(animated);
    if (auto presenter = weakMe.lock(); presenter && coversPresenter && presenter->isViewLoaded())
      presenter->viewDidDisappear(animated);
    if (completion) completion();
  });
}

void ViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
  if (!presented_) {
    if (auto presenter = presenting_.lock())
      presenter->dismissViewControllerAnimated(animated, std::move(completion));
    return;
  }
  // The whole chain goes, the last presented first.
  std::vector<std::shared_ptr<ViewController>> chain;
  for (auto c = presented_; c; c = c->presented_) chain.push_back(c);
  const bool coversPresenter = presented_->modalPresentationStyle_ == ModalPresentationStyle::fullScreen;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    auto& c = *it;
    c->viewWillDisappear(animated);
    // The last presented, on top, slides away; those under it go at once, unseen.
    const bool seenGoing = animated && it == chain.rbegin();
    // The dimming first: the screen draws what leaves in the order it left, so the view stays over it.
    undim(std::exchange(c->dimming_, nullptr), seenGoing);
    if (c->isViewLoaded() && seenGoing)
      slideOut(c->view());
    else if (c->isViewLoaded())
      c->view()->removeFromSuperview();
    c->presented_.reset();
    c->presenting_.reset();
  }
  presented_.reset();
  if (coversPresenter && isViewLoaded()) viewWillAppear(animated);
  std::weak_ptr<ViewController> weakMe = self<ViewController>();
  // Weak: a pending turn must not keep the dismissed controllers alive.
  std::vector<std::weak_ptr<ViewController>> gone(chain.rbegin(), chain.rend());
  later(animated,
        [weakMe, gone = std::move(gone), coversPresenter, animated, completion = std::move(completion)] {
          for (const auto& weak : gone)
            if (auto c = weak.lock()) c->viewDidDisappear(animated);
          if (auto presenter = weakMe.lock(); presenter && coversPresenter && presenter->isViewLoaded())
            presenter->viewDidAppear(animated);
          if (completion) completion();
        });
}

}  // namespace ui
