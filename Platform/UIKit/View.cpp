#include "UIKit/View.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <typeinfo>

#include "Foundation/Exception.h"
#include "UIKit/GestureRecognizer.h"
#include "UIKit/ViewAnimationState.h"
#include "UIKit/ViewController.h"
#include "UIKit/Window.h"

namespace ui {

namespace {
// Set by any view that asks for layout; atomic because trees built off the main thread (and
// handed over later) may ask too.
std::atomic<bool> layoutRequested{false};
}  // namespace

void View::setNeedsLayout() {
  needsLayout_ = true;
  layoutRequested.store(true, std::memory_order_relaxed);
}

bool View::takeLayoutRequest() { return layoutRequested.exchange(false, std::memory_order_relaxed); }

cg::Rect contentModeRect(ViewContentMode mode, cg::Size content, const cg::Rect& b) {
  double w = content.width, h = content.height;
  switch (mode) {
    case ViewContentMode::scaleToFill:
    case ViewContentMode::redraw:
      return b;
    case ViewContentMode::scaleAspectFit:
    case ViewContentMode::scaleAspectFill: {
      if (w <= 0 || h <= 0) return b;
      double sx = b.width() / w, sy = b.height() / h;
      double s = mode == ViewContentMode::scaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
      return {b.midX() - w * s / 2, b.midY() - h * s / 2, w * s, h * s};
    }
    case ViewContentMode::center:
      return {b.midX() - w / 2, b.midY() - h / 2, w, h};
    case ViewContentMode::top:
      return {b.midX() - w / 2, b.minY(), w, h};
    case ViewContentMode::bottom:
      return {b.midX() - w / 2, b.maxY() - h, w, h};
    case ViewContentMode::left:
      return {b.minX(), b.midY() - h / 2, w, h};
    case ViewContentMode::right:
      return {b.maxX() - w, b.midY() - h / 2, w, h};
    case ViewContentMode::topLeft:
      return {b.minX(), b.minY(), w, h};
    case ViewContentMode::topRight:
      return {b.maxX() - w, b.minY(), w, h};
    case ViewContentMode::bottomLeft:
      return {b.minX(), b.maxY() - h, w, h};
    case ViewContentMode::bottomRight:
      return {b.maxX() - w, b.maxY() - h, w, h};
  }
  return b;
}

View::View() : layer_(std::make_shared<cg::Layer>()) {}

View::View(const LayerClass& layerClass) : layer_(layerClass ? layerClass() : nullptr) {
  if (!layer_) layer_ = std::make_shared<cg::Layer>();
}

void View::setNeedsDisplay() {
  needsDisplay_ = true;
  displayDidChange();
}

void View::displayDidChange() {
  displayVersion_ = cg::nextDisplayVersion();
  cg::noteDisplayChange();
}

View::~View() {
  // Subviews outlive their parent only if someone else holds them; leave them parentless.
  for (auto& sub : subviews_) sub->superview_.reset();
}

std::shared_ptr<View> View::initWithFrame(const cg::Rect& frame) {
  setFrame(frame);
  setNeedsLayout();
  return self<View>();
}

// --- Geometry -------------------------------------------------------------------------------

cg::Rect View::frame() const {
  cg::Size s = bounds_.size;
  if (transform_.isIdentity()) return {center_.x - s.width / 2, center_.y - s.height / 2, s.width, s.height};
  cg::Rect r = transform_.apply(cg::Rect(-s.width / 2, -s.height / 2, s.width, s.height));
  return r.offsetBy(center_.x, center_.y);
}

void View::setFrame(const cg::Rect& frameIn) {
  cg::Rect f = frameIn.standardized();
  setCenter({f.x() + f.width() / 2, f.y() + f.height() / 2});
  if (transform_.isIdentity()) applyBoundsSize(f.size);
}

void View::setBounds(const cg::Rect& b) {
  cg::Point oldOrigin = bounds_.origin;
  if (oldOrigin != b.origin) {
    ViewPresentation next{center_, {b.origin, bounds_.size}, transform_, alpha_};
    animatedPropertyWillChange(AnimatedProperty::boundsOrigin, next);
    bounds_.origin = b.origin;
    cg::noteDisplayChange();
  }
  applyBoundsSize(b.size);
  if (oldOrigin != b.origin) boundsOriginDidChange(oldOrigin);
}

void View::boundsOriginDidChange(cg::Point) {}

void View::setCenter(cg::Point center) {
  if (center == center_) return;
  animatedPropertyWillChange(AnimatedProperty::center, {center, bounds_, transform_, alpha_});
  center_ = center;
  cg::noteDisplayChange();
}

void View::setTransform(const cg::AffineTransform& transform) {
  if (transform == transform_) return;
  animatedPropertyWillChange(AnimatedProperty::transform, {center_, bounds_, transform, alpha_});
  transform_ = transform;
  cg::noteDisplayChange();
}

void View::applyBoundsSize(cg::Size size) {
  cg::Size old = bounds_.size;
  if (old == size) return;
  animatedPropertyWillChange(AnimatedProperty::boundsSize,
                             {center_, {bounds_.origin, size}, transform_, alpha_});
  bounds_.size = size;
  cg::noteDisplayChange();
  layer_->setBounds(bounds_);
  resizeSubviewsWithOldSize(old);
  setNeedsLayout();
  if (contentMode_ == ViewContentMode::redraw || layer_->needsDisplayOnBoundsChange()) needsDisplay_ = true;
  boundsSizeDidChange(old);
}

void View::boundsSizeDidChange(cg::Size) {}

void View::resizeSubviewsWithOldSize(cg::Size oldSize) {
  if (!autoresizesSubviews_) return;
  auto subs = subviews_;
  for (auto& sub : subs) sub->autoresizeWithOldSuperviewSize(oldSize);
}

namespace {

// Springs and struts along one axis: the flexible parts share the change of the superview's
// length in proportion to their current lengths (evenly when those give no proportion).
void resizeAxis(double& pos, double& len, double oldSuper, double newSuper, bool flexLead, bool flexLen,
                bool flexTrail) {
  double delta = newSuper - oldSuper;
  int n = int(flexLead) + int(flexLen) + int(flexTrail);
  if (delta == 0 || n == 0) return;
  double lead = pos, mid = len, trail = oldSuper - pos - len;
  bool proportional = (!flexLead || lead >= 0) && (!flexLen || mid >= 0) && (!flexTrail || trail >= 0);
  double sum = (flexLead ? lead : 0) + (flexLen ? mid : 0) + (flexTrail ? trail : 0);
  auto share = [&](double part) { return proportional && sum > 0 ? delta * part / sum : delta / n; };
  if (flexLead) pos += share(lead);
  if (flexLen) len += share(mid);
}

}  // namespace

void View::autoresizeWithOldSuperviewSize(cg::Size oldSize) {
  auto parent = superview();
  if (!parent || autoresizingMask_ == ViewAutoresizingNone) return;
  cg::Size newSize = parent->bounds_.size;
  cg::Rect f = frame();
  double x = f.x(), y = f.y(), w = f.width(), h = f.height();
  unsigned m = autoresizingMask_;
  resizeAxis(x, w, oldSize.width, newSize.width, m & ViewAutoresizingFlexibleLeftMargin,
             m & ViewAutoresizingFlexibleWidth, m & ViewAutoresizingFlexibleRightMargin);
  resizeAxis(y, h, oldSize.height, newSize.height, m & ViewAutoresizingFlexibleTopMargin,
             m & ViewAutoresizingFlexibleHeight, m & ViewAutoresizingFlexibleBottomMargin);
  setFrame({x, y, std::max(0.0, w), std::max(0.0, h)});
}

// --- Appearance -----------------------------------------------------------------------------

void View::setHidden(bool hidden) {
  if (hidden == hidden_) return;
  hidden_ = hidden;
  cg::noteDisplayChange();
}

void View::setAlpha(double alphaIn) {
  double alpha = std::clamp(alphaIn, 0.0, 1.0);
  if (alpha == alpha_) return;
  animatedPropertyWillChange(AnimatedProperty::alpha, {center_, bounds_, transform_, alpha});
  alpha_ = alpha;
  cg::noteDisplayChange();
}

void View::setBackgroundColor(std::optional<Color> color) {
  backgroundColor_ = std::move(color);
  setNeedsDisplay();
}

void View::setContentMode(ViewContentMode mode) {
  if (mode == contentMode_) return;
  contentMode_ = mode;
  displayDidChange();
}

std::shared_ptr<View> View::viewWithTag(long long tag) {
  if (tag_ == tag) return self<View>();
  for (auto& sub : subviews_)
    if (auto found = sub->viewWithTag(tag)) return found;
  return nullptr;
}

// --- Hierarchy ------------------------------------------------------------------------------

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, subviews_.size()); }

void View::insertSubviewAtIndex(const std::shared_ptr<View>& view, std::size_t index) {
  insertSubview(view, index);
}

void View::insertSubviewAboveSubview(const std::shared_ptr<View>& view,
                                     const std::shared_ptr<View>& sibling) {
  auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
  insertSubview(view, it == subviews_.end() ? subviews_.size() : std::size_t(it - subviews_.begin()) + 1);
}

void View::insertSubviewBelowSubview(const std::shared_ptr<View>& view,
                                     const std::shared_ptr<View>& sibling) {
  auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
  insertSubview(view, it == subviews_.end() ? 0 : std::size_t(it - subviews_.begin()));
}

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) {
  NS_PARAMETER_ASSERT(view != nullptr);
  NS_PARAMETER_ASSERT(view.get() != this && !isDescendantOfView(view.get()));
  auto keep = view;  // the old superview may hold the last reference
  auto me = self<View>();
  if (view->superview().get() == this) {
    // Reordering among siblings: no move notifications.
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    std::size_t old = std::size_t(it - subviews_.begin());
    subviews_.erase(it);
    if (index > old) --index;
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(std::min(index, subviews_.size())), view);
    view->displayDidChange();
    return;
  }
  view->willMoveToSuperview(me);
  view->detachFromSuperview();
  subviews_.insert(subviews_.begin() + std::ptrdiff_t(std::min(index, subviews_.size())), view);
  view->superview_ = me;
  // Back in the tree, it is drawn as a subview, no longer as leaving.
  if (animations_) std::erase_if(animations_->departing, [&](const auto& d) { return d.view == view; });
  // Now over or under other views than before, wherever it lies.
  view->displayVersion_ = cg::nextDisplayVersion();
  cg::noteDisplayChange();
  // The view and its subviews may have asked for layout before they came into this tree.
  layoutRequested.store(true, std::memory_order_relaxed);
  view->didMoveToSuperview();
  didAddSubview(view);
}

void View::detachFromSuperview() {
  auto parent = superview();
  if (!parent) return;
  auto me = self<View>();
  parent->willRemoveSubview(me);
  // Looked for from the end, where views removed newest first are: taking many of them away then
  // costs one step each, not a pass over all the others.
  auto& siblings = parent->subviews_;
  if (auto it = std::find(siblings.rbegin(), siblings.rend(), me); it != siblings.rend())
    siblings.erase(std::next(it).base());
  superview_.reset();
  cg::noteDisplayChange();
}

void View::removeFromSuperview() {
  auto parent = superview();
  if (!parent) return;
  auto me = self<View>();  // keeps this alive until the hooks have run
  // A first responder inside gives the role up while it is still in the tree, so its owner can
  // still reach the views around it (a page moved for the keyboard moves back).
  if (auto responder = std::dynamic_pointer_cast<View>(currentFirstResponder());
      responder && responder->isDescendantOfView(this))
    responder->resignFirstResponder();
  willMoveToSuperview(nullptr);
  detachFromSuperview();
  didMoveToSuperview();
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
  auto it = std::find(subviews_.begin(), subviews_.end(), view);
  if (it == subviews_.end()) return;
  auto keep = *it;
  subviews_.erase(it);
  subviews_.push_back(keep);
  keep->displayDidChange();
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
  auto it = std::find(subviews_.begin(), subviews_.end(), view);
  if (it == subviews_.end()) return;
  auto keep = *it;
  subviews_.erase(it);
  subviews_.insert(subviews_.begin(), keep);
  keep->displayDidChange();
}

bool View::isDescendantOfView(const View* view) const {
  if (!view) return false;
  for (const View* v = this; v; v = v->superview_.lock().get())
    if (v == view) return true;
  return false;
}

std::shared_ptr<View> View::rootView() {
  auto v = self<View>();
  while (auto parent = v->superview()) v = parent;
  return v;
}

std::shared_ptr<Window> View::window() const {
  auto v = std::const_pointer_cast<View>(self<View>());
  while (auto parent = v->superview()) v = parent;
  return std::dynamic_pointer_cast<Window>(v);
}

// --- Layout ---------------------------------------------------------------------------------

void View::layoutIfNeeded() {
  auto keep = self<View>();
  if (needsLayout_) {
    needsLayout_ = false;
    layoutSubviews();
  }
  auto subs = subviews_;
  for (auto& sub : subs) sub->layoutIfNeeded();
}

cg::Size View::sizeThatFits(cg::Size) const { return bounds_.size; }

void View::sizeToFit() {
  cg::Size s = sizeThatFits(bounds_.size);
  cg::Rect f = frame();
  setFrame({f.x(), f.y(), s.width, s.height});
}

void View::drawRect(const cg::Rect&) {}

namespace {
// How far past what it says it paints a view's drawing (text, strokes, smoothed edges) may reach.
constexpr double kDrawingMargin = 4;

cg::Rect join(const cg::Rect& a, const cg::Rect& b) {
  return a.isEmpty() ? b : b.isEmpty() ? a : a.unionWith(b);
}
}  // namespace

cg::Rect View::drawnRect(const cg::Rect& shown) const {
  cg::Rect r = shown;
  if (auto content = contentExtent()) r = join(r, *content);
  return r.insetBy(-kDrawingMargin, -kDrawingMargin);
}

std::optional<cg::Rect> View::visualRect(const cg::Rect& shown) const {
  const cg::Layer& layer = *layer_;
  const cg::Rect own(shown.origin, shown.size);
  cg::Rect r = own;
  if (!layer.masksToBounds()) {
    if (!layer.sublayers().empty()) return std::nullopt;
    // A layer of its own class draws its content over the bounds, smoothed at the edges.
    if (typeid(layer) != typeid(cg::Layer)) r = own.insetBy(-kDrawingMargin, -kDrawingMargin);
    if (drawsContent()) r = join(r, drawnRect(shown));
  }
  // The shadow lies under the view, outside any clip of its own.
  if (layer.hasShadow()) {
    const double reach = layer.shadowRadius() + 1;
    r = join(r,
             own.offsetBy(layer.shadowOffset().width, layer.shadowOffset().height).insetBy(-reach, -reach));
  }
  return r;
}

// --- Coordinates ----------------------------------------------------------------------------

cg::Point View::pointToSuperview(cg::Point p) const {
  cg::Point q{p.x - bounds_.x() - bounds_.width() / 2, p.y - bounds_.y() - bounds_.height() / 2};
  if (!transform_.isIdentity()) q = transform_.apply(q);
  return {q.x + center_.x, q.y + center_.y};
}

cg::Point View::pointFromSuperview(cg::Point p) const {
  cg::Point q{p.x - center_.x, p.y - center_.y};
  if (!transform_.isIdentity()) q = transform_.inverted().apply(q);
  return {q.x + bounds_.x() + bounds_.width() / 2, q.y + bounds_.y() + bounds_.height() / 2};
}

cg::Point View::pointToRoot(cg::Point p) const {
  const View* v = this;
  while (auto parent = v->superview_.lock()) {
    p = v->pointToSuperview(p);
    v = parent.get();
  }
  return p;
}

cg::Point View::pointFromRoot(cg::Point p) const {
  std::vector<const View*> chain;
  for (const View* v = this; v->superview_.lock(); v = v->superview_.lock().get()) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) p = (*it)->pointFromSuperview(p);
  return p;
}

cg::Point View::convertPointToView(cg::Point point, const View* view) const {
  cg::Point root = pointToRoot(point);
  return view ? view->pointFromRoot(root) : root;
}

cg::Point View::convertPointFromView(cg::Point point, const View* view) const {
  cg::Point root = view ? view->pointToRoot(point) : point;
  return pointFromRoot(root);
}

namespace {

template <class Map>
cg::Rect mapRect(const cg::Rect& r, Map map) {
  cg::Rect s = r.standardized();
  cg::Point corners[] = {map(cg::Point{s.minX(), s.minY()}), map(cg::Point{s.maxX(), s.minY()}),
                         map(cg::Point{s.minX(), s.maxY()}), map(cg::Point{s.maxX(), s.maxY()})};
  double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
  for (const auto& p : corners) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

cg::Rect View::convertRectToView(const cg::Rect& rect, const View* view) const {
  return mapRect(rect, [&](cg::Point p) { return convertPointToView(p, view); });
}

cg::Rect View::convertRectFromView(const cg::Rect& rect, const View* view) const {
  return mapRect(rect, [&](cg::Point p) { return convertPointFromView(p, view); });
}

// --- Touches --------------------------------------------------------------------------------

bool View::pointInside(cg::Point point, const Event*) const { return bounds_.contains(point); }

std::shared_ptr<View> View::hitTest(cg::Point point, const Event* event) {
  if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01) return nullptr;
  if (!pointInside(point, event)) return nullptr;
  auto subs = subviews_;
  for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
    if (auto hit = (*it)->hitTest((*it)->pointFromSuperview(point), event)) return hit;
  }
  return self<View>();
}

std::shared_ptr<Responder> View::nextResponder() const {
  if (auto controller = controller_.lock()) return controller;
  return superview();
}

}  // namespace ui

namespace ui {

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
  if (!recognizer) return;
  recognizer->view_ = self<View>();
  recognizers_.push_back(recognizer);
}

}  // namespace ui
