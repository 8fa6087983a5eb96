#include "UIKit/PopoverController.h"

#include <algorithm>

#include "Graphics/Context.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Touch.h"
#include "UIKit/Window.h"

namespace ui {

namespace {

// The platform's own frame: a dark rounded panel; the arrow is left out of the drawing.
class DefaultPopoverBackgroundView final : public PopoverBackgroundView {
 public:
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect&) override {
    cg::Context* ctx = cg::currentContext();
    if (!ctx) return;
    ctx->setFillColor(cg::Color::white(0.1, 0.95));
    ctx->beginPath();
    ctx->addRoundedRect(bounds(), 8);
    ctx->fillPath();
  }
};

PopoverBackgroundViewClass defaultBackgroundClass() {
  return {[](const cg::Rect& frame) -> std::shared_ptr<PopoverBackgroundView> {
            auto view = std::make_shared<DefaultPopoverBackgroundView>();
            view->initWithFrame(frame);
            return view;
          },
          37, 13, cg::EdgeInsets{8, 8, 8, 8}};
}

}  // namespace

// Covers the window above everything else; a touch that went down outside the popover closes it.
// One inside that its views leave unhandled (on a bar, say) comes up here too, and is let be.
class PopoverController::Container final : public View {
 public:
  std::weak_ptr<PopoverController> owner;
  void touchesBegan(const TouchSet& touches, const Event*) override {
    auto popover = owner.lock();
    auto hit = touches.empty() ? nullptr : touches.front()->view();
    if (popover && (!hit || hit.get() == this)) popover->closedByTouch();
  }
};

PopoverController::PopoverController() : backgroundClass_(defaultBackgroundClass()) {}

PopoverController::~PopoverController() {
  if (container_) container_->removeFromSuperview();
}

std::shared_ptr<PopoverController> PopoverController::initWithContentViewController(
    std::shared_ptr<ViewController> content) {
  content_ = std::move(content);
  return std::static_pointer_cast<PopoverController>(shared_from_this());
}

cg::Size PopoverController::popoverContentSize() const {
  if (contentSize_) return *contentSize_;
  return content_ ? content_->contentSizeForViewInPopover() : cg::Size{320, 1100};
}

void PopoverController::setPopoverBackgroundViewClass(PopoverBackgroundViewClass backgroundClass) {
  backgroundClass_ = backgroundClass.make ? std::move(backgroundClass) : defaultBackgroundClass();
}

PopoverController::Placement PopoverController::place(const cg::Rect& target, cg::Size window,
                                                      cg::Size content,
                                                      const PopoverBackgroundViewClass& backgroundClass,
                                                      unsigned directions) {
  const cg::EdgeInsets& in = backgroundClass.contentViewInsets;
  double arrow = backgroundClass.arrowHeight, m = kWindowMargin;
  double w = content.width + in.left + in.right, h = content.height + in.top + in.bottom;
  auto clampInto = [m](double v, double size, double limit) {
    return std::max(m, std::min(v, limit - m - size));
  };
  auto vertical = [&](unsigned direction, double y) {
    double ph = h + arrow;
    double x = clampInto(target.midX() - w / 2, w, window.width);
    return Placement{{x, y, w, ph}, direction, target.midX() - (x + w / 2)};
  };
  auto horizontal = [&](unsigned direction, double x) {
    double pw = w + arrow;
    double y = clampInto(target.midY() - h / 2, h, window.height);
    return Placement{{x, y, pw, h}, direction, target.midY() - (y + h / 2)};
  };
  if (directions == 0) directions = PopoverArrowDirectionAny;
  if ((directions & PopoverArrowDirectionUp) && target.maxY() + h + arrow <= window.height - m)
    return vertical(PopoverArrowDirectionUp, target.maxY());
  if ((directions & PopoverArrowDirectionDown) && target.minY() - h - arrow >= m)
    return vertical(PopoverArrowDirectionDown, target.minY() - h - arrow);
  if ((directions & PopoverArrowDirectionLeft) && target.maxX() + w + arrow <= window.width - m)
    return horizontal(PopoverArrowDirectionLeft, target.maxX());
  if ((directions & PopoverArrowDirectionRight) && target.minX() - w - arrow >= m)
    return horizontal(PopoverArrowDirectionRight, target.minX() - w - arrow);
  // Nowhere whole: below, pushed inside the window.
  Placement p = vertical(PopoverArrowDirectionUp, target.maxY());
  p.frame.origin.y = clampInto(p.frame.origin.y, p.frame.height(), window.height);
  return p;
}

void PopoverController::presentPopoverFromRect(const cg::Rect& rect, const std::shared_ptr<View>& view,
                                               unsigned directions, bool animated) {
  auto window = Window::keyWindow();
  if (!window || !view || !content_) return;
  if (container_) dismissPopoverAnimated(false);
  cg::Rect target = view->convertRectToView(rect, window);
  // The content's views load first: a page sets its popover size when its view loads.
  auto contentView = content_->view();
  auto navigation = std::dynamic_pointer_cast<NavigationController>(content_);
  if (navigation && navigation->topViewController()) navigation->topViewController()->view();
  cg::Size size = popoverContentSize();
  Placement p = place(target, window->bounds().size, size, backgroundClass_, directions);
  frame_ = p.frame;
  arrowDirection_ = p.direction;

  auto container = std::make_shared<Container>();
  container->initWithFrame(window->bounds());
  container->owner = std::static_pointer_cast<PopoverController>(shared_from_this());
  container->setBackgroundColor(Color::clearColor());
  background_ = backgroundClass_.make(p.frame);
  background_->setArrowDirection(p.direction);
  background_->setArrowOffset(p.arrowOffset);
  container->addSubview(background_);

  const cg::EdgeInsets& in = backgroundClass_.contentViewInsets;
  double arrow = backgroundClass_.arrowHeight;
  cg::Point origin{p.frame.x() + in.left + (p.direction == PopoverArrowDirectionLeft ? arrow : 0),
                   p.frame.y() + in.top + (p.direction == PopoverArrowDirectionUp ? arrow : 0)};
  contentView->setFrame({origin, size});
  container->addSubview(contentView);
  window->addSubview(container);
  container_ = container;
  // Shown at once to touches, dumps and the model; the screen shows it fading in.
  if (animated) {
    container->setAlpha(0);
    View::animateWithDuration(kFadeDuration, [&] { container->setAlpha(1); });
  }
  content_->viewWillAppear(false);
  // A page placed before the popover had its size fills the popover's page area.
  if (navigation && navigation->topViewController())
    navigation->topViewController()->view()->setFrame(navigation->pageArea());
  content_->viewDidAppear(false);
}

void PopoverController::dismissPopoverAnimated(bool animated) {
  if (!container_) return;
  auto container = std::move(container_);
  container_ = nullptr;
  content_->viewWillDisappear(false);
  // Gone at once for touches and the model; animated, the screen shows the popover with its
  // content fading out.
  View::animateWithDuration(animated ? kFadeDuration : 0, [&] {
    if (content_->isViewLoaded() && content_->view()->superview() == container)
      container->removeSubviewMovingBy(content_->view(), {0, 0});
    else if (content_->isViewLoaded())
      content_->view()->removeFromSuperview();
    if (auto parent = container->superview())
      parent->removeSubviewFadingOut(container);
    else
      container->removeFromSuperview();
  });
  background_ = nullptr;
  arrowDirection_ = PopoverArrowDirectionUnknown;
  content_->viewDidDisappear(false);
}

void PopoverController::closedByTouch() {
  // Holds itself: the delegate may let go of it.
  auto me = std::static_pointer_cast<PopoverController>(shared_from_this());
  dismissPopoverAnimated(true);
  if (auto d = delegate()) d->popoverControllerDidDismissPopover(*this);
}

}  // namespace ui
