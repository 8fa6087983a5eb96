#pragma once

#include <memory>

#include "UIKit/Touch.h"
#include "UIKit/View.h"

namespace ui {

// A finger driven by code (tests, tools): it goes down on the view that a hit test from the
// root of a hierarchy finds, moves, and lifts or is cancelled. The hit view receives every
// phase; what it does not handle travels up the responder chain to the nearest control. A touch
// on a control inside a scroll view that moves far enough to scroll it is taken over: the control
// is told the touch was cancelled and the scroll view gets it from where it went down.
class SimulatedTouch {
 public:
  SimulatedTouch(const std::shared_ptr<View>& root, cg::Point rootPoint);
  ~SimulatedTouch();
  SimulatedTouch(const SimulatedTouch&) = delete;
  SimulatedTouch& operator=(const SimulatedTouch&) = delete;

  // The view the touch went down on; null when nothing took it.
  std::shared_ptr<View> hitView() const { return hitView_; }
  void moveTo(cg::Point rootPoint);
  void end();
  void cancel();

 private:
  void deliver(TouchPhase phase);
  void handOverToScrollView(cg::Point rootPoint);

  std::shared_ptr<View> hitView_;
  std::shared_ptr<Touch> touch_;
  cg::Point start_;
  bool finished_ = false;
};

// Down and up at a point of the root's coordinates; returns the view hit (null for none).
std::shared_ptr<View> tapAtPoint(const std::shared_ptr<View>& root, cg::Point rootPoint);
// Down and up at the centre of a view, hit-tested from the root of its hierarchy.
std::shared_ptr<View> tap(const std::shared_ptr<View>& view);
// Down at the centre of a view, dragged well beyond its right edge, lifted there.
std::shared_ptr<View> dragOutside(const std::shared_ptr<View>& view);

}  // namespace ui
