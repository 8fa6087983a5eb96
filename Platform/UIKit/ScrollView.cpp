#include "UIKit/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Clock.h"
#include "Foundation/Format.h"
#include "Foundation/RunLoop.h"

namespace ui {

namespace {

constexpr double kSlideStep = 1.0 / 60;

cg::Point touchPoint(const TouchSet& touches) {
  return touches.empty() ? cg::Point{} : touches.front()->locationInView(nullptr);
}

}  // namespace

ScrollView::ScrollView() { setClipsToBounds(true); }

ScrollView::~ScrollView() {
  stopSlide();
  stopWheel();
}

std::shared_ptr<ScrollView> ScrollView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<ScrollView>();
}

void ScrollView::setContentSize(cg::Size size) { contentSize_ = size; }

void ScrollView::setContentOffset(cg::Point offset) {
  stopSlide();
  moveBoundsOrigin(offset);
}

void ScrollView::setContentOffset(cg::Point offset, bool animated) {
  if (!animated || offset == contentOffset()) return setContentOffset(offset);
  stopSlide();
  animation_ = std::make_unique<Slide>(Slide{contentOffset(), offset, ns::clockNow(), nullptr});
  std::weak_ptr<ScrollView> weak = self<ScrollView>();
  animation_->timer = ns::Timer::timerWithTimeInterval(kSlideStep, true, [weak](const ns::TimerPtr& timer) {
    if (auto view = weak.lock())
      view->slideStep();
    else
      timer->invalidate();
  });
  ns::RunLoop::mainRunLoop()->addTimer(animation_->timer, ns::kDefaultRunLoopMode);
}

void ScrollView::stopSlide() {
  decelerating_ = false;
  if (!animation_) return;
  animation_->timer->invalidate();
  animation_.reset();
}

void ScrollView::slideStep() {
  if (!animation_) return;
  double t = (ns::clockNow() - animation_->start) / kScrollAnimationDuration;
  cg::Point from = animation_->from, to = animation_->to;
  if (t >= 1) {
    bool decelerating = decelerating_;
    stopSlide();
    moveBoundsOrigin(to);
    if (decelerating) endDecelerating();
    return;
  }
  double eased = t * (2 - t);
  // The delegate may stop the slide from here by setting an offset of its own.
  moveBoundsOrigin({from.x + (to.x - from.x) * eased, from.y + (to.y - from.y) * eased});
}

void ScrollView::moveBoundsOrigin(cg::Point offset) { setBounds({offset, bounds().size}); }

cg::Point ScrollView::maximumContentOffset() const {
  cg::Point min = minimumContentOffset();
  return {std::max(min.x, contentSize_.width + contentInset_.right - bounds().width()),
          std::max(min.y, contentSize_.height + contentInset_.bottom - bounds().height())};
}

void ScrollView::scrollRectToVisible(const cg::Rect& rect, bool animated) {
  cg::Rect b = bounds();
  auto axis = [](double offset, double visible, double start, double length, double maxOffset) {
    if (length >= visible || start < offset)
      offset = start;
    else if (start + length > offset + visible)
      offset = start + length - visible;
    return std::clamp(offset, 0.0, maxOffset);
  };
  cg::Point max = maximumContentOffset();
  cg::Point next{axis(b.x(), b.width(), rect.x(), rect.width(), max.x),
                 axis(b.y(), b.height(), rect.y(), rect.height(), max.y)};
  if (next != b.origin) setContentOffset(next, animated);
}

void ScrollView::boundsOriginDidChange(cg::Point) {
  auto keep = self<ScrollView>();
  if (auto d = delegate_.lock()) d->scrollViewDidScroll(*this);
}

// --- Dragging -------------------------------------------------------------------------------

bool ScrollView::scrollsHorizontally() const { return contentSize_.width > bounds().width(); }
bool ScrollView::scrollsVertically() const { return contentSize_.height > bounds().height(); }

bool ScrollView::shouldTakeOverTouch(cg::Point from, cg::Point to) const {
  if (!scrollEnabled_) return false;
  return (scrollsHorizontally() && std::abs(to.x - from.x) > kDragSlop) ||
         (scrollsVertically() && std::abs(to.y - from.y) > kDragSlop);
}

cg::Point ScrollView::restingOffset() const {
  cg::Point offset = contentOffset(), max = maximumContentOffset();
  cg::Size page = bounds().size;
  if (pagingEnabled_) {
    if (page.width > 0) offset.x = std::round(offset.x / page.width) * page.width;
    if (page.height > 0) offset.y = std::round(offset.y / page.height) * page.height;
  }
  cg::Point min = minimumContentOffset();
  return {std::clamp(offset.x, min.x, max.x), std::clamp(offset.y, min.y, max.y)};
}

// --- The wheel ------------------------------------------------------------------------------

bool ScrollView::scrollByWheel(cg::Point distance) {
  if (touchPoint_) return false;
  cg::Point d{canScrollHorizontally() ? distance.x : 0, canScrollVertically() ? distance.y : 0};
  if (d == cg::Point{}) return false;
  if (!wheelRest_) {
    stopSlide();
    wheelStart_ = contentOffset();
  }
  cg::Point min = minimumContentOffset(), max = maximumContentOffset();
  const double over = bounces_ ? kWheelOvershoot : 0;
  auto axis = [over](double offset, double by, double low, double high) {
    if (by == 0) return offset;
    // Never pulled further out than it already is.
    return std::clamp(offset + by, std::min(offset, low - over), std::max(offset, high + over));
  };
  cg::Point offset = contentOffset();
  offset = {axis(offset.x, d.x, min.x, max.x), axis(offset.y, d.y, min.y, max.y)};
  if (wheelRest_) wheelRest_->invalidate();
  std::weak_ptr<ScrollView> weak = self<ScrollView>();
  wheelRest_ =
      ns::Timer::scheduledTimerWithTimeInterval(kWheelRestSeconds, false, [weak](const ns::TimerPtr&) {
        if (auto view = weak.lock()) view->wheelDidRest();
      });
  moveBoundsOrigin(offset);
  return true;
}

void ScrollView::stopWheel() {
  if (wheelRest_) wheelRest_->invalidate();
  wheelRest_.reset();
}

void ScrollView::wheelDidRest() {
  wheelRest_.reset();
  cg::Point rest = restingOffset();
  if (pagingEnabled_) {
    // On to the next page the way the wheel moved, as a flick would.
    cg::Point now = contentOffset(), min = minimumContentOffset(), max = maximumContentOffset();
    cg::Size page = bounds().size;
    auto axis = [](double from, double to, double length, double low, double high, double resting) {
      if (length <= 0 || std::abs(to - from) < 0.5) return resting;
      double pages = to > from ? std::ceil(to / length) : std::floor(to / length);
      return std::clamp(pages * length, low, high);
    };
    rest = {axis(wheelStart_.x, now.x, page.width, min.x, max.x, rest.x),
            axis(wheelStart_.y, now.y, page.height, min.y, max.y, rest.y)};
  }
  if (rest == contentOffset()) return endDecelerating();
  setContentOffset(rest, true);
  decelerating_ = true;
}

// --- Touches --------------------------------------------------------------------------------

void ScrollView::touchesBegan(const TouchSet& touches, const Event* event) {
  if (!scrollEnabled_) return View::touchesBegan(touches, event);
  stopSlide();
  stopWheel();
  touchStart_ = touchPoint(touches);
  touchPoint_ = touchStart_;
  dragging_ = false;
}

void ScrollView::touchesMoved(const TouchSet& touches, const Event* event) {
  if (!scrollEnabled_) return View::touchesMoved(touches, event);
  if (!touchPoint_) return;
  cg::Point p = touchPoint(touches);
  if (!dragging_ && !shouldTakeOverTouch(touchStart_, p)) return;
  dragging_ = true;
  // Relative to the offset of now: the delegate may have moved it since the last step.
  cg::Point offset = contentOffset(), max = maximumContentOffset();
  if (scrollsHorizontally()) offset.x -= p.x - touchPoint_->x;
  if (scrollsVertically()) offset.y -= p.y - touchPoint_->y;
  cg::Point min = minimumContentOffset();
  if (!bounces_) offset = {std::clamp(offset.x, min.x, max.x), std::clamp(offset.y, min.y, max.y)};
  touchPoint_ = p;
  moveBoundsOrigin(offset);
}

void ScrollView::touchesEnded(const TouchSet& touches, const Event* event) {
  if (!scrollEnabled_) return View::touchesEnded(touches, event);
  touchPoint_.reset();
  if (!dragging_) return;
  dragging_ = false;
  cg::Point rest = restingOffset();
  if (rest == contentOffset()) return endDecelerating();
  setContentOffset(rest, true);
  decelerating_ = true;
}

void ScrollView::endDecelerating() {
  decelerating_ = false;
  if (auto d = delegate()) d->scrollViewDidEndDecelerating(*this);
}

void ScrollView::touchesCancelled(const TouchSet& touches, const Event* event) {
  if (!scrollEnabled_) return View::touchesCancelled(touches, event);
  // Its own ending only: a subclass's (a table's row selection) is for a touch that lifted.
  ScrollView::touchesEnded(touches, event);
}

void ScrollView::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  line += " contentSize=" + cg::describe(contentSize_);
  if (pagingEnabled_) line += " paging";
  if (!scrollEnabled_) line += " noScroll";
}

}  // namespace ui
