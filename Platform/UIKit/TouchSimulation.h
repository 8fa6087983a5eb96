#pragma once

#include <memory>

#include "Foundation/Clock.h"
#include "UIKit/Touch.h"
#include "UIKit/View.h"

namespace ui {

// A finger driven by code (tests, tools): it goes down on the view that a hit test from the
// root of a hierarchy finds, moves, and lifts or is cancelled. The hit view receives every
// phase; what it does not handle travels up the responder chain to the nearest control. As a
// touch screen does, the first move beyond the drag slop decides the drag's direction (the axis
// it moved further along): the innermost scroll view, from the hit view up, that can move along
// it takes the touch over (the views that had it are told it was cancelled, and the scroll view
// gets it from where it went down), so a mostly vertical drag over a row that scrolls sideways
// scrolls the page around it. A picker keeps an up or down drag for its wheel. With no such
// scroll view the touch stays where it went down.
// Each step may carry the moment the input happened (a window's event time); by default it is
// the moment it is handled.
class SimulatedTouch {
 public:
  SimulatedTouch(const std::shared_ptr<View>& root, cg::Point rootPoint, double timestamp = ns::clockNow());
  ~SimulatedTouch();
  SimulatedTouch(const SimulatedTouch&) = delete;
  SimulatedTouch& operator=(const SimulatedTouch&) = delete;

  // The view the touch went down on; null when nothing took it.
  std::shared_ptr<View> hitView() const { return hitView_; }
  void moveTo(cg::Point rootPoint, double timestamp = ns::clockNow());
  void end(double timestamp = ns::clockNow());
  void cancel();

 private:
  void deliver(TouchPhase phase);
  void handOverToScrollView(cg::Point rootPoint, double timestamp);

  std::shared_ptr<View> hitView_;
  std::shared_ptr<Touch> touch_;
  cg::Point start_;
  bool finished_ = false;
  bool directionDecided_ = false;
};

// Down and up at a point of the root's coordinates; returns the view hit (null for none).
std::shared_ptr<View> tapAtPoint(const std::shared_ptr<View>& root, cg::Point rootPoint);
// Down and up at the centre of a view, hit-tested from the root of its hierarchy.
std::shared_ptr<View> tap(const std::shared_ptr<View>& view);
// Down at the centre of a view, dragged well beyond its right edge, lifted there.
std::shared_ptr<View> dragOutside(const std::shared_ptr<View>& view);

// How far one notch of a mouse wheel scrolls, in points.
inline constexpr double kWheelNotchPoints = 40;

// A turn of a mouse wheel with the pointer at a point of the root's coordinates: the innermost
// scroll view under the pointer (hit-tested, then up its superviews) that can move along the
// turn's main axis scrolls by the distance along that axis (ScrollView::scrollByWheel); a picker
// met on the way takes an up or down turn over its wheels (PickerView::scrollByWheel). Returns
// the view that moved; null when none can.
std::shared_ptr<View> scrollWheelAtPoint(const std::shared_ptr<View>& root, cg::Point rootPoint,
                                         cg::Point distance);

}  // namespace ui
