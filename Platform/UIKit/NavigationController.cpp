#include "UIKit/NavigationController.h"

#include <algorithm>

#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "UIKit/Label.h"
#include "UIKit/ViewAnimationState.h"

namespace ui {

namespace {
constexpr double kBarHeight = 44;
constexpr std::size_t kTransitionsKept = 32;
}  // namespace

std::shared_ptr<NavigationController> NavigationController::initWithRootViewController(
    const std::shared_ptr<ViewController>& root) {
  initWithNibName("", nullptr);
  if (root) changeStack({root}, Transition::set, false);
  transitions_.clear();
  return self<NavigationController>();
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
  return stack_.empty() ? nullptr : stack_.back();
}

void NavigationController::setViewControllers(Stack controllers, bool animated) {
  std::erase(controllers, nullptr);
  changeStack(std::move(controllers), Transition::set, animated);
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller,
                                              bool animated) {
  NS_PARAMETER_ASSERT(controller != nullptr);
  if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end())
    throw ns::Exception(ns::kInvalidArgumentException,
                        "Pushing the same view controller instance more than once is not supported");
  Stack next = stack_;
  next.push_back(controller);
  changeStack(std::move(next), Transition::push, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
  if (stack_.size() < 2) return nullptr;
  auto popped = stack_.back();
  Stack next(stack_.begin(), stack_.end() - 1);
  changeStack(std::move(next), Transition::pop, animated);
  return popped;
}

NavigationController::Stack NavigationController::popToRootViewControllerAnimated(bool animated) {
  if (stack_.size() < 2) return {};
  Stack popped(stack_.begin() + 1, stack_.end());
  changeStack({stack_.front()}, Transition::popToRoot, animated);
  return popped;
}

NavigationController::Stack NavigationController::popToViewController(
    const std::shared_ptr<ViewController>& controller, bool animated) {
  auto it = std::find(stack_.begin(), stack_.end(), controller);
  if (it == stack_.end() || it + 1 == stack_.end()) return {};
  Stack popped(it + 1, stack_.end());
  changeStack(Stack(stack_.begin(), it + 1), Transition::popTo, animated);
  return popped;
}

void NavigationController::changeStack(Stack next, Transition kind, bool animated) {
  auto keep = self<NavigationController>();
  Stack previous = std::move(stack_);
  stack_ = std::move(next);
  for (auto& page : stack_) page->parent_ = keep;
  transitions_.push_back({kind, animated});
  while (transitions_.size() > kTransitionsKept) transitions_.pop_front();
  // A new stack slides forward unless its top page was already on the old one.
  bool forward = kind == Transition::push ||
                 (kind == Transition::set && !stack_.empty() &&
                  std::find(previous.begin(), previous.end(), stack_.back()) == previous.end());
  showTopPage(animated, forward);
  for (auto& page : previous) {
    if (std::find(stack_.begin(), stack_.end(), page) != stack_.end()) continue;
    if (page->parent_.lock().get() == this) page->parent_.reset();
    page->placedByContainer_ = false;
  }
}

cg::Rect NavigationController::pageArea() {
  cg::Rect b = view()->bounds();
  double top = navigationBarHidden_ ? 0 : kBarHeight;
  double bottom = toolbarHidden_ ? 0 : kBarHeight;
  return {0, top, b.width(), std::max(0.0, b.height() - top - bottom)};
}

cg::Size NavigationController::contentSizeForViewInPopover() const {
  auto top = topViewController();
  cg::Size size = top ? top->contentSizeForViewInPopover() : ViewController::contentSizeForViewInPopover();
  if (!navigationBarHidden_) size.height += kBarHeight;
  return size;
}

std::shared_ptr<Toolbar> NavigationController::navigationBar() {
  if (!navigationBar_) {
    auto bar = std::make_shared<Toolbar>()->initWithFrame({0, 0, view()->bounds().width(), kBarHeight});
    bar->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
    auto title = std::make_shared<Label>()->initWithFrame(bar->bounds());
    title->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
    title->setTextAlignment(TextAlignment::Center);
    title->setTextColor(Color::whiteColor());
    title->setBackgroundColor(Color::clearColor());
    title->setFont(Font::boldSystemFontOfSize(18));
    bar->addSubview(title);
    navigationBar_ = bar;
    barTitle_ = title;
  }
  auto top = topViewController();
  barTitle_->setText(top ? top->title() : "");
  navigationBar_->setHidden(navigationBarHidden_);
  if (!navigationBar_->superview()) view()->addSubview(navigationBar_);
  return navigationBar_;
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
  navigationBarHidden_ = hidden;
  if (shown_ && shown_->isViewLoaded()) shown_->view()->setFrame(pageArea());
}

void NavigationController::setToolbarHidden(bool hidden, bool) {
  toolbarHidden_ = hidden;
  if (shown_ && shown_->isViewLoaded()) shown_->view()->setFrame(pageArea());
}

void NavigationController::childViewDidLoad(ViewController& child) {
  if (std::find_if(stack_.begin(), stack_.end(), [&](const auto& p) { return p.get() == &child; }) ==
      stack_.end())
    return;
  placePageView(child);
}

void NavigationController::placePageView(ViewController& page) {
  if (page.placedByContainer_) return;
  page.placedByContainer_ = true;
  page.view_->setFrame(pageArea());
}

void NavigationController::showTopPage(bool animated, bool forward) {
  auto top = topViewController();
  if (top == shown_) return;
  auto old = shown_;
  if (!isAppearing() || !isViewLoaded()) {
    // Off screen: the new top page is brought in when the controller appears.
    if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
    shown_ = nullptr;
    return;
  }
  std::shared_ptr<View> incoming;
  if (top) {
    incoming = top->view();
    placePageView(*top);
  }
  if (old) old->viewWillDisappear(animated);
  if (top) top->viewWillAppear(animated);
  shown_ = top;
  // A page sent back while it is still leaving turns round where it is shown.
  std::optional<ViewPresentation> leaving;
  if (incoming && animated)
    leaving = detail::ViewAnimations::departingPresentation(*view(), *incoming, ns::clockNow());
  if (incoming) view()->insertSubviewAtIndex(incoming, 0);
  auto outgoing = old && old->isViewLoaded() && old->view() != incoming ? old->view() : nullptr;
  if (animated)
    slidePages(incoming, outgoing, forward,
               leaving ? std::optional<cg::Point>(leaving->center) : std::nullopt);
  else if (outgoing)
    outgoing->removeFromSuperview();
  if (old) old->viewDidDisappear(animated);
  if (top) top->viewDidAppear(animated);
  if (navigationBar_) navigationBar();
}

void NavigationController::slidePages(const std::shared_ptr<View>& incoming,
                                      const std::shared_ptr<View>& outgoing, bool forward,
                                      std::optional<cg::Point> incomingFrom) {
  auto container = view();
  const double width = container->bounds().width() * (forward ? 1 : -1);
  cg::Point place;
  if (incoming) {
    place = incoming->center();
    // Set out of the block, the start shows at once; the model is back in place before any page
    // code runs again.
    if (incoming->window()) incoming->setCenter(incomingFrom.value_or(cg::Point{place.x + width, place.y}));
  }
  View::animateWithDuration(
      kTransitionDuration, 0, ViewAnimationOptionCurveEaseInOut,
      [&] {
        if (incoming) incoming->setCenter(place);
        // The page that comes forward lies over the one below it, which may reach past its bounds.
        if (outgoing) container->removeSubviewMovingBy(outgoing, {-width, 0}, forward ? incoming : nullptr);
      },
      nullptr);
}

void NavigationController::viewWillAppear(bool animated) {
  ViewController::viewWillAppear(animated);
  auto top = topViewController();
  if (!top) return;
  if (shown_ != top) {
    if (shown_ && shown_->isViewLoaded()) shown_->view()->removeFromSuperview();
    auto v = top->view();
    placePageView(*top);
    shown_ = top;
    view()->insertSubviewAtIndex(v, 0);
  }
  shown_->viewWillAppear(animated);
}

void NavigationController::viewDidAppear(bool animated) {
  ViewController::viewDidAppear(animated);
  if (shown_) shown_->viewDidAppear(animated);
}

void NavigationController::viewWillDisappear(bool animated) {
  if (shown_) shown_->viewWillDisappear(animated);
  ViewController::viewWillDisappear(animated);
}

void NavigationController::viewDidDisappear(bool animated) {
  if (shown_) shown_->viewDidDisappear(animated);
  ViewController::viewDidDisappear(animated);
}

bool NavigationController::shouldAutorotate() {
  auto top = topViewController();
  return top ? top->shouldAutorotate() : ViewController::shouldAutorotate();
}

unsigned NavigationController::supportedInterfaceOrientations() {
  auto top = topViewController();
  return top ? top->supportedInterfaceOrientations() : ViewController::supportedInterfaceOrientations();
}

void NavigationController::willRotateToInterfaceOrientation(InterfaceOrientation orientation,
                                                            double duration) {
  if (auto top = topViewController()) top->willRotateToInterfaceOrientation(orientation, duration);
}

bool NavigationController::shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) {
  auto top = topViewController();
  return top ? top->shouldAutorotateToInterfaceOrientation(orientation)
             : ViewController::shouldAutorotateToInterfaceOrientation(orientation);
}

void NavigationController::didReceiveMemoryWarning() {
  ViewController::didReceiveMemoryWarning();
  Stack pages = stack_;
  for (auto& page : pages) page->didReceiveMemoryWarning();
}

void NavigationController::appendDumpAttributes(std::string& line) const {
  ViewController::appendDumpAttributes(line);
  line += " stack=[";
  for (std::size_t i = 0; i < stack_.size(); ++i) line += (i ? ", " : "") + stack_[i]->className();
  line += "]";
}

}  // namespace ui
