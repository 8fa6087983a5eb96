#include <algorithm>
#include <cmath>
#include <mutex>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "UIKit/View.h"
#include "UIKit/ViewAnimationState.h"

namespace ui {

namespace {

// The animation block running on this thread, if any; nested blocks stack.
struct AnimationContext {
  double begin = 0;
  double duration = 0;
  unsigned curve = 0;
};
thread_local std::vector<AnimationContext> contexts;

thread_local std::optional<double> presentationTime;

constexpr unsigned kCurveMask = 3u << 16;

// A cubic Bézier timing curve through (0, 0) and (1, 1) with control points (x1, y1), (x2, y2):
// the y of the point whose x is `x`.
double bezier(double x, double x1, double y1, double x2, double y2) {
  auto at = [](double t, double p1, double p2) {
    double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
  };
  double lo = 0, hi = 1, t = x;
  for (int i = 0; i < 40; ++i) {
    double v = at(t, x1, x2);
    if (std::abs(v - x) < 1e-7) break;
    if (v < x)
      lo = t;
    else
      hi = t;
    t = (lo + hi) / 2;
  }
  return at(t, y1, y2);
}

double curveValue(unsigned curve, double x) {
  switch (curve & kCurveMask) {
    case ViewAnimationOptionCurveEaseIn:
      return bezier(x, 0.42, 0, 1, 1);
    case ViewAnimationOptionCurveEaseOut:
      return bezier(x, 0, 0, 0.58, 1);
    case ViewAnimationOptionCurveLinear:
      return x;
    default:
      return bezier(x, 0.42, 0, 0.58, 1);
  }
}

// Views whose picture may move without a model change: those with animations and those that
// move by themselves. Views built on other threads may start spinners, hence the lock.
std::mutex motionLock;
std::vector<std::weak_ptr<View>>& viewsInMotion() {
  static auto* views = new std::vector<std::weak_ptr<View>>;
  return *views;
}

void listInMotion(View& view, bool& listed) {
  if (listed) return;
  auto weak = view.weak_from_this();
  if (weak.expired()) return;
  std::lock_guard lock(motionLock);
  viewsInMotion().push_back(std::static_pointer_cast<View>(weak.lock()));
  listed = true;
}

cg::Point mix(cg::Point from, cg::Point to, double p) {
  return {from.x + (to.x - from.x) * p, from.y + (to.y - from.y) * p};
}

cg::Size mix(cg::Size from, cg::Size to, double p) {
  return {from.width + (to.width - from.width) * p, from.height + (to.height - from.height) * p};
}

// Whether a view of root's tree is shown at `now`: it and its ancestors are not hidden nor
// transparent, and some of it lies inside root and inside every ancestor that clips.
bool isShownIn(const View& view, const View& root, double now) {
  cg::Rect rect = view.convertRectToView(view.bounds(), &root);
  const View* v = &view;
  for (;;) {
    if (v->isHidden() || v->presentation(now).alpha <= 0) return false;
    if (v == &root || v->clipsToBounds()) {
      rect = rect.intersection(v == &root ? root.bounds() : v->convertRectToView(v->bounds(), &root));
      if (rect.isEmpty()) return false;
    }
    if (v == &root) return true;
    auto parent = v->superview();
    if (!parent) return false;
    v = parent.get();
  }
}

}  // namespace

namespace detail {

double ViewAnimations::progress(double begin, double duration, unsigned curve, double time) {
  if (time <= begin) return 0;
  if (duration <= 0 || time >= begin + duration) return 1;
  return curveValue(curve, (time - begin) / duration);
}

void ViewAnimations::apply(const Animation& animation, double time, ViewPresentation& shown) {
  double p = progress(animation, time);
  if (p >= 1) return;
  const ViewPresentation& from = animation.from;
  switch (animation.property) {
    case View::AnimatedProperty::center:
      shown.center = mix(from.center, shown.center, p);
      break;
    case View::AnimatedProperty::boundsOrigin:
      shown.bounds.origin = mix(from.bounds.origin, shown.bounds.origin, p);
      break;
    case View::AnimatedProperty::boundsSize:
      shown.bounds.size = mix(from.bounds.size, shown.bounds.size, p);
      break;
    case View::AnimatedProperty::transform: {
      const cg::AffineTransform& f = from.transform;
      cg::AffineTransform& t = shown.transform;
      auto m = [p](double a, double b) { return a + (b - a) * p; };
      t = {m(f.a, t.a), m(f.b, t.b), m(f.c, t.c), m(f.d, t.d), m(f.tx, t.tx), m(f.ty, t.ty)};
      break;
    }
    case View::AnimatedProperty::alpha:
      shown.alpha = from.alpha + (shown.alpha - from.alpha) * p;
      break;
  }
}

bool ViewAnimations::prune(double time) {
  std::size_t before = running.size() + departing.size();
  std::erase_if(running, [time](const Animation& a) { return time >= a.begin + a.duration; });
  std::erase_if(departing, [time](const Departure& d) {
    return time >= d.begin + d.duration || d.view->superview() != nullptr;
  });
  return running.size() + departing.size() != before;
}

const std::vector<ViewAnimations::Departure>& ViewAnimations::departures(const View& view) {
  static const std::vector<Departure> none;
  return view.animations_ ? view.animations_->departing : none;
}

ViewPresentation ViewAnimations::departurePresentation(const Departure& departure, double time) {
  ViewPresentation shown = departure.view->presentation(time);
  double p = progress(departure.begin, departure.duration, departure.curve, time);
  shown.center = {shown.center.x + departure.by.x * p, shown.center.y + departure.by.y * p};
  if (departure.fades) shown.alpha *= 1 - p;
  return shown;
}

std::optional<ViewPresentation> ViewAnimations::departingPresentation(const View& parent, const View& view,
                                                                      double time) {
  for (const auto& d : departures(parent))
    if (d.view.get() == &view && time < d.begin + d.duration) return departurePresentation(d, time);
  return std::nullopt;
}

}  // namespace detail

void View::animateWithDuration(double duration, const std::function<void()>& animations,
                               std::function<void(bool finished)> completion) {
  animateWithDuration(duration, 0, ViewAnimationOptionNone, animations, std::move(completion));
}

void View::animateWithDuration(double duration, double delay, unsigned options,
                               const std::function<void()>& animations,
                               std::function<void(bool finished)> completion) {
  duration = std::max(0.0, duration);
  delay = std::max(0.0, delay);
  if (animations) {
    contexts.push_back({ns::clockNow() + delay, duration, options & kCurveMask});
    struct Pop {
      ~Pop() { contexts.pop_back(); }
    } pop;
    animations();
  }
  if (!completion) return;
  double wait = duration + delay;
  auto loop = ns::RunLoop::mainRunLoop();
  auto finish = [completion = std::move(completion)] { completion(true); };
  if (wait <= 0)
    loop->performBlock(std::move(finish));
  else
    loop->performAfterDelay(std::make_shared<ns::Object>(), "animationDidStop", std::move(finish), wait);
}

void View::animatedPropertyWillChange(AnimatedProperty property, const ViewPresentation&) {
  auto drop = [&] {
    if (animations_)
      std::erase_if(animations_->running, [property](const detail::ViewAnimations::Animation& a) {
        return a.property == property;
      });
  };
  const AnimationContext* context = contexts.empty() ? nullptr : &contexts.back();
  // Outside a block, in a zero-length one, or off the screen the new value shows at once.
  if (!context || context->duration <= 0 || !window()) {
    drop();
    return;
  }
  ViewPresentation shown = presentation(ns::clockNow());
  drop();
  if (!animations_) animations_ = std::make_unique<detail::ViewAnimations>();
  animations_->running.push_back({property, shown, context->begin, context->duration, context->curve});
  listInMotion(*this, listedInMotion_);
}

void View::removeSubviewMovingBy(const std::shared_ptr<View>& subview, cg::Point by,
                                 const std::shared_ptr<View>& under) {
  removeSubviewDeparting(subview, by, under, false);
}

void View::removeSubviewFadingOut(const std::shared_ptr<View>& subview) {
  removeSubviewDeparting(subview, {0, 0}, nullptr, true);
}

void View::removeSubviewDeparting(const std::shared_ptr<View>& subview, cg::Point by,
                                  const std::shared_ptr<View>& under, bool fades) {
  if (!subview || subview->superview().get() != this) return;
  const AnimationContext* context = contexts.empty() ? nullptr : &contexts.back();
  if (!context || context->duration <= 0 || !window()) {
    subview->removeFromSuperview();
    return;
  }
  auto me = self<View>();
  auto it = std::find(subviews_.begin(), subviews_.end(), subview);
  std::weak_ptr<View> below = under;
  if (!under && it + 1 < subviews_.end()) below = *(it + 1);
  subview->removeFromSuperview();
  // Its hooks may have put it somewhere again.
  if (subview->superview()) return;
  if (!animations_) animations_ = std::make_unique<detail::ViewAnimations>();
  auto& departing = animations_->departing;
  std::erase_if(departing, [&](const auto& d) { return d.view == subview; });
  departing.push_back({subview, below, by, fades, context->begin, context->duration, context->curve});
  listInMotion(*this, listedInMotion_);
  // Let go on the run loop's clock, so that a window that draws no more still frees it.
  std::weak_ptr<View> weak = me;
  double end = context->begin + context->duration;
  ns::RunLoop::mainRunLoop()->performAfterDelay(
      std::make_shared<ns::Object>(), "departureDidEnd",
      [weak] {
        auto view = weak.lock();
        if (view && view->animations_ && view->animations_->prune(ns::clockNow())) cg::noteDisplayChange();
      },
      std::max(0.0, end - ns::clockNow()));
}

ViewPresentation View::presentation(double time) const {
  ViewPresentation shown{center_, bounds_, transform_, alpha_};
  if (animations_)
    for (const auto& animation : animations_->running) detail::ViewAnimations::apply(animation, time, shown);
  return shown;
}

bool View::isAnimating(double time) const {
  if (!animations_) return false;
  return std::any_of(animations_->running.begin(), animations_->running.end(),
                     [time](const auto& a) { return time < a.begin + a.duration; });
}

std::optional<double> View::nextPresentationChange(double) const { return std::nullopt; }

void View::setMovesByItself(bool moves) {
  if (moves == movesByItself_) return;
  movesByItself_ = moves;
  if (moves) listInMotion(*this, listedInMotion_);
  cg::noteDisplayChange();
}

std::optional<double> nextPresentationChange(const View& root, double now) {
  std::vector<std::shared_ptr<View>> views;
  {
    std::lock_guard lock(motionLock);
    auto& list = viewsInMotion();
    views.reserve(list.size());
    std::erase_if(list, [&](const std::weak_ptr<View>& weak) {
      auto view = weak.lock();
      if (!view) return true;
      views.push_back(std::move(view));
      return false;
    });
  }
  std::optional<double> next;
  auto take = [&next](double t) { next = next ? std::min(*next, t) : t; };
  std::vector<View*> still;
  for (auto& view : views) {
    bool animating = false;
    if (auto& animations = view->animations_) {
      // The last picture drawn was part of the way: the end wants one more.
      if (animations->prune(now)) cg::noteDisplayChange();
      animating = !animations->running.empty() || !animations->departing.empty();
      if (!animating) animations.reset();
    }
    if (!animating && !view->movesByItself_) {
      still.push_back(view.get());
      continue;
    }
    if (!isShownIn(*view, root, now)) continue;
    if (animating) {
      for (const auto& a : view->animations_->running) take(std::max(now, a.begin));
      for (const auto& d : view->animations_->departing) take(std::max(now, d.begin));
    } else if (auto t = view->nextPresentationChange(now)) {
      take(std::max(now, *t));
    }
  }
  if (!still.empty()) {
    std::lock_guard lock(motionLock);
    std::erase_if(viewsInMotion(), [&](const std::weak_ptr<View>& weak) {
      auto view = weak.lock();
      if (!view || std::find(still.begin(), still.end(), view.get()) == still.end()) return !view;
      view->listedInMotion_ = false;
      return true;
    });
  }
  return next;
}

std::optional<double> renderPresentationTime() { return presentationTime; }

bool detail::ViewAnimations::anyRunning() {
  std::lock_guard lock(motionLock);
  return std::any_of(viewsInMotion().begin(), viewsInMotion().end(), [](const std::weak_ptr<View>& weak) {
    auto view = weak.lock();
    return view && view->animations_ &&
           (!view->animations_->running.empty() || !view->animations_->departing.empty());
  });
}

namespace detail {

PresentationRenderScope::PresentationRenderScope(std::optional<double> time) : previous_(presentationTime) {
  presentationTime = time;
}

PresentationRenderScope::~PresentationRenderScope() { presentationTime = previous_; }

}  // namespace detail

}  // namespace ui
