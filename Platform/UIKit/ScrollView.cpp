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
  if (reporting_ && decelerating_ && animation_) {
    // An endless strip recentring itself while it slides: the slide goes on from there.
    cg::Point now = contentOffset();
    auto shift = [&](cg::Point& p) { p = {p.x + offset.x - now.x, p.y + offset.y - now.y}; };
    shift(animation_->from);
    shift(animation_->to);
    if (animation_->back) shift(*animation_->back);
    return moveBoundsOrigin(offset);
  }
  stopSlide();
  moveBoundsOrigin(offset);
}

void ScrollView::setContentOffset(cg::Point offset, bool animated) {
  if (!animated || offset == contentOffset()) return setContentOffset(offset);
  startSlide(easeOut(contentOffset(), offset));
}

std::unique_ptr<ScrollView::Slide> ScrollView::easeOut(cg::Point from, cg::Point to) {
  auto slide = std::make_unique<Slide>();
  slide->from = from;
  slide->to = to;
  return slide;
}

void ScrollView::startSlide(std::unique_ptr<Slide> slide) {
  stopSlide();
  animation_ = std::move(slide);
  animation_->start = ns::clockNow();
  std::weak_ptr<ScrollView> weak = self<ScrollView>();
  animation_->timer = ns::Timer::timerWithTimeInterval(kSlideStep, true, [weak](const ns::TimerPtr& timer) {
    if (auto view = weak.lock())
      view->slideStep();
    else
      timer->invalidate();
  });
  ns::RunLoop::mainRunLoop()->addTimer(animation_->timer, ns::kDefaultRunLoopMode);
}

void ScrollView::beginDecelerating(std::unique_ptr<Slide> slide) {
  startSlide(std::move(slide));
  decelerating_ = true;
  auto keep = self<ScrollView>();
  if (auto d = delegate()) d->scrollViewWillBeginDecelerating(*this);
}

void ScrollView::stopSlide() {
  decelerating_ = false;
  if (!animation_) return;
  animation_->timer->invalidate();
  animation_.reset();
}

void ScrollView::slideStep() {
  if (!animation_) return;
  const Slide& slide = *animation_;
  double elapsed = ns::clockNow() - slide.start;
  cg::Point from = slide.from, to = slide.to;
  if (elapsed >= slide.duration) {
    bool decelerating = decelerating_;
    std::optional<cg::Point> back = slide.back;
    stopSlide();
    moveBoundsOrigin(to);
    if (!decelerating) return;
    cg::Point at = contentOffset();
    if (back) {
      // Carried past an edge: it springs back (from wherever the delegate's report left it).
      cg::Point rest{back->x + at.x - to.x, back->y + at.y - to.y};
      if (rest != at) {
        startSlide(easeOut(at, rest));
        decelerating_ = true;
        return;
      }
    }
    return endDecelerating();
  }
  cg::Point next;
  if (slide.carried) {
    auto axis = [elapsed](double a, double b, double timeConstant) {
      return timeConstant <= 0 ? b : a + (b - a) * (1 - std::exp(-elapsed / timeConstant));
    };
    next = {axis(from.x, to.x, slide.timeConstant.x), axis(from.y, to.y, slide.timeConstant.y)};
  } else {
    double t = elapsed / slide.duration;
    double eased = t * (2 - t);
    next = {from.x + (to.x - from.x) * eased, from.y + (to.y - from.y) * eased};
  }
  // The delegate may stop the slide from here by setting an offset of its own.
  moveBoundsOrigin(next);
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
  auto d = delegate_.lock();
  if (!d) return;
  bool outer = reporting_;
  reporting_ = true;
  d->scrollViewDidScroll(*this);
  reporting_ = outer;
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
  beginDecelerating(easeOut(contentOffset(), rest));
}

// --- Release --------------------------------------------------------------------------------

void ScrollView::noteSample(const TouchSet& touches) {
  if (touches.empty()) return;
  cg::Point rootPoint = touchPoint(touches);
  double now = touches.front()->timestamp();
  // Only the last stretch counts; a bound keeps a burst of events at one instant small too.
  constexpr std::size_t kMaxSamples = 64;
  auto old = std::find_if(samples_.begin(), samples_.end(),
                          [now](const Sample& s) { return now - s.time <= kVelocityWindow; });
  samples_.erase(samples_.begin(), old);
  if (samples_.size() >= kMaxSamples) samples_.erase(samples_.begin());
  samples_.push_back({now, rootPoint});
}

cg::Point ScrollView::releaseVelocity() const {
  if (samples_.size() < 2) return {};
  const Sample& last = samples_.back();
  const Sample* first = &last;
  for (auto it = samples_.rbegin(); it != samples_.rend() && last.time - it->time <= kVelocityWindow; ++it)
    first = &*it;
  double elapsed = last.time - first->time;
  if (elapsed < kMinimumVelocitySpan) return {};
  // The content moves against the finger.
  auto speed = [elapsed](double moved) {
    return std::clamp(-moved / elapsed, -kMaxFlickSpeed, kMaxFlickSpeed);
  };
  return {scrollsHorizontally() ? speed(last.point.x - first->point.x) : 0,
          scrollsVertically() ? speed(last.point.y - first->point.y) : 0};
}

std::unique_ptr<ScrollView::Slide> ScrollView::slideAfterRelease(cg::Point velocity) const {
  cg::Point at = contentOffset(), min = minimumContentOffset(), max = maximumContentOffset();
  auto slide = easeOut(at, at);
  if (pagingEnabled_) {
    cg::Size page = bounds().size;
    auto axis = [](double offset, double speed, double length, double low, double high) {
      if (length <= 0) return std::clamp(offset, low, high);
      double n = std::round(offset / length);
      if (std::abs(speed) >= kFlickSpeed) {
        // A swipe: on to the next page boundary its way, however short it was; never further.
        constexpr double kEpsilon = 1e-9;
        n = speed > 0 ? std::ceil(offset / length - kEpsilon) : std::floor(offset / length + kEpsilon);
      }
      return std::clamp(n * length, low, high);
    };
    slide->to = {axis(at.x, velocity.x, page.width, min.x, max.x),
                 axis(at.y, velocity.y, page.height, min.y, max.y)};
    if (slide->to == at) return nullptr;
    return slide;
  }
  if (at.x < min.x || at.x > max.x || at.y < min.y || at.y > max.y) {
    // Pulled past an edge: it goes back within the content whatever the speed.
    slide->to = restingOffset();
    if (slide->to == at) return nullptr;
    return slide;
  }
  cg::Point back = at;
  bool overshoots = false;
  auto axis = [&](double offset, double speed, double low, double high, double& to, double& timeConstant,
                  double& backTo) {
    if (std::abs(speed) < kCarrySpeed) return;
    double target = std::round(offset + speed * kDecelerationTime);
    double edge = std::clamp(target, low, high);
    if (edge != target) {
      if (bounces_) {
        overshoots = true;
        backTo = edge;
        target = edge + std::clamp(target - edge, -kBounceOvershoot, kBounceOvershoot);
      } else {
        target = edge;
      }
    }
    to = target;
    // The same speed at the start, however far the edge lets it go.
    timeConstant = (target - offset) / speed;
  };
  axis(at.x, velocity.x, min.x, max.x, slide->to.x, slide->timeConstant.x, back.x);
  axis(at.y, velocity.y, min.y, max.y, slide->to.y, slide->timeConstant.y, back.y);
  if (slide->to == at) return nullptr;
  if (overshoots) {
    if (back.x == at.x) back.x = slide->to.x;
    if (back.y == at.y) back.y = slide->to.y;
    slide->back = back;
  }
  slide->carried = true;
  // Within half a point of its rest on every axis.
  double duration = kSlideStep;
  auto settle = [&](double from, double to, double timeConstant) {
    double distance = std::abs(to - from);
    if (timeConstant > 0 && distance > 0.5)
      duration = std::max(duration, timeConstant * std::log(distance / 0.5));
  };
  settle(at.x, slide->to.x, slide->timeConstant.x);
  settle(at.y, slide->to.y, slide->timeConstant.y);
  slide->duration = duration;
  return slide;
}

// --- Touches --------------------------------------------------------------------------------

void ScrollView::touchesBegan(const TouchSet& touches, const Event* event) {
  if (!scrollEnabled_) return View::touchesBegan(touches, event);
  stopSlide();
  stopWheel();
  touchStart_ = touchPoint(touches);
  touchPoint_ = touchStart_;
  dragging_ = false;
  samples_.clear();
  noteSample(touches);
}

void ScrollView::touchesMoved(const TouchSet& touches, const Event* event) {
  if (!scrollEnabled_) return View::touchesMoved(touches, event);
  if (!touchPoint_) return;
  cg::Point p = touchPoint(touches);
  noteSample(touches);
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
  noteSample(touches);
  auto slide = slideAfterRelease(releaseVelocity());
  if (!slide) return endDecelerating();
  beginDecelerating(std::move(slide));
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
