#include "UIKit/TouchSimulation.h"

#include <cmath>

#include "UIKit/Control.h"
#include "UIKit/GestureRecognizer.h"
#include "UIKit/PickerView.h"
#include "UIKit/ScrollView.h"

namespace ui {

SimulatedTouch::SimulatedTouch(const std::shared_ptr<View>& root, cg::Point rootPoint, double timestamp)
    : start_(rootPoint) {
  if (!root) return;
  hitView_ = root->hitTest(rootPoint, nullptr);
  if (!hitView_) return;
  touch_ = std::make_shared<Touch>(hitView_, rootPoint, TouchPhase::began, 1, timestamp);
  deliver(TouchPhase::began);
}

SimulatedTouch::~SimulatedTouch() {
  if (!finished_) cancel();
}

void SimulatedTouch::deliver(TouchPhase phase) {
  if (!hitView_) return;
  TouchSet touches{touch_};
  Event event(touches);
  switch (phase) {
    case TouchPhase::began:
      hitView_->touchesBegan(touches, &event);
      break;
    case TouchPhase::moved:
    case TouchPhase::stationary:
      hitView_->touchesMoved(touches, &event);
      break;
    case TouchPhase::ended:
      hitView_->touchesEnded(touches, &event);
      break;
    case TouchPhase::cancelled:
      hitView_->touchesCancelled(touches, &event);
      break;
  }
}

void SimulatedTouch::moveTo(cg::Point rootPoint, double timestamp) {
  if (!touch_ || finished_) return;
  handOverToScrollView(rootPoint, timestamp);
  touch_->moveTo(rootPoint, TouchPhase::moved);
  touch_->setTimestamp(timestamp);
  deliver(TouchPhase::moved);
}

namespace {

// The innermost scroll view from the view up that can move along the axis; none above a picker,
// whose wheels turn up and down.
std::shared_ptr<ScrollView> scrollViewAlong(const std::shared_ptr<View>& from, bool horizontal) {
  for (auto v = from; v; v = v->superview()) {
    if (!horizontal && std::dynamic_pointer_cast<PickerView>(v)) return nullptr;
    auto scroll = std::dynamic_pointer_cast<ScrollView>(v);
    if (scroll && (horizontal ? scroll->canScrollHorizontally() : scroll->canScrollVertically()))
      return scroll;
  }
  return nullptr;
}

}  // namespace

void SimulatedTouch::handOverToScrollView(cg::Point rootPoint, double timestamp) {
  if (directionDecided_) return;
  const double dx = std::abs(rootPoint.x - start_.x), dy = std::abs(rootPoint.y - start_.y);
  if (std::max(dx, dy) <= ScrollView::kDragSlop) return;
  directionDecided_ = true;
  auto scroll = scrollViewAlong(hitView_, dx > dy);
  if (!scroll || scroll == hitView_) return;
  touch_->moveTo(rootPoint, TouchPhase::cancelled);
  touch_->setTimestamp(timestamp);
  deliver(TouchPhase::cancelled);
  hitView_ = scroll;
  touch_ = std::make_shared<Touch>(scroll, start_, TouchPhase::began, 1, timestamp);
  deliver(TouchPhase::began);
}

void SimulatedTouch::end(double timestamp) {
  if (!touch_ || finished_) return;
  finished_ = true;
  touch_->setTimestamp(timestamp);
  cg::Point last = touch_->locationInView(nullptr);
  // Recognisers of the hit view and its ancestors see the gesture first; one that takes the
  // touches leaves the views a cancelled touch.
  std::vector<std::shared_ptr<GestureRecognizer>> recognised;
  for (auto v = hitView_; v; v = v->superview())
    for (const auto& r : v->gestureRecognizers())
      if (r->isEnabled() && r->recognizesTap(start_, last) && r->shouldReceiveTouch(hitView_.get()) &&
          r->shouldBegin())
        recognised.push_back(r);
  bool cancels = false;
  for (const auto& r : recognised) {
    r->fire(last);
    cancels = cancels || r->cancelsTouchesInView();
  }
  touch_->setPhase(cancels ? TouchPhase::cancelled : TouchPhase::ended);
  deliver(cancels ? TouchPhase::cancelled : TouchPhase::ended);
}

void SimulatedTouch::cancel() {
  if (!touch_ || finished_) return;
  finished_ = true;
  touch_->setPhase(TouchPhase::cancelled);
  deliver(TouchPhase::cancelled);
}

std::shared_ptr<View> tapAtPoint(const std::shared_ptr<View>& root, cg::Point rootPoint) {
  SimulatedTouch touch(root, rootPoint);
  touch.end();
  return touch.hitView();
}

namespace {
cg::Point centreInRoot(const std::shared_ptr<View>& view) {
  cg::Rect b = view->bounds();
  return view->convertPointToView(cg::Point{b.midX(), b.midY()}, nullptr);
}
}  // namespace

std::shared_ptr<View> tap(const std::shared_ptr<View>& view) {
  if (!view) return nullptr;
  return tapAtPoint(view->rootView(), centreInRoot(view));
}

std::shared_ptr<View> dragOutside(const std::shared_ptr<View>& view) {
  if (!view) return nullptr;
  SimulatedTouch touch(view->rootView(), centreInRoot(view));
  cg::Rect b = view->bounds();
  // Beyond the slop within which a control still counts a dragged touch as inside.
  cg::Point far = view->convertPointToView(cg::Point{b.maxX() + 150, b.midY()}, nullptr);
  touch.moveTo(far);
  touch.end();
  return touch.hitView();
}

std::shared_ptr<View> scrollWheelAtPoint(const std::shared_ptr<View>& root, cg::Point rootPoint,
                                         cg::Point distance) {
  if (!root) return nullptr;
  auto hit = root->hitTest(rootPoint, nullptr);
  const bool horizontal = std::abs(distance.x) > std::abs(distance.y);
  if (!horizontal)
    for (auto v = hit; v; v = v->superview())
      if (auto picker = std::dynamic_pointer_cast<PickerView>(v))
        return picker->scrollByWheel(picker->convertPointFromView(rootPoint, nullptr), distance.y) ? picker
                                                                                                   : nullptr;
  auto scroll = scrollViewAlong(hit, horizontal);
  if (!scroll) return nullptr;
  if (!scroll->scrollByWheel(horizontal ? cg::Point{distance.x, 0} : cg::Point{0, distance.y}))
    return nullptr;
  return scroll;
}

}  // namespace ui
