#include "UIKit/Control.h"

namespace ui {

std::shared_ptr<Control> Control::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<Control>();
}

void Control::setEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled) {
    highlighted_ = false;
    tracking_ = false;
  }
  setNeedsLayout();
  setNeedsDisplay();
  stateDidChange();
}

void Control::setSelected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  setNeedsLayout();
  setNeedsDisplay();
  stateDidChange();
}

void Control::setHighlighted(bool highlighted) {
  if (highlighted_ == highlighted) return;
  highlighted_ = highlighted;
  setNeedsLayout();
  setNeedsDisplay();
  stateDidChange();
}

unsigned Control::state() const {
  unsigned s = ControlStateNormal;
  if (highlighted_) s |= ControlStateHighlighted;
  if (!enabled_) s |= ControlStateDisabled;
  if (selected_) s |= ControlStateSelected;
  return s;
}

void Control::setContentHorizontalAlignment(ControlContentHorizontalAlignment a) {
  horizontalAlignment_ = a;
  setNeedsLayout();
}

void Control::setContentVerticalAlignment(ControlContentVerticalAlignment a) {
  verticalAlignment_ = a;
  setNeedsLayout();
}

void Control::addTarget(const std::shared_ptr<ns::Object>& target, Action action, unsigned events) {
  if (!action || events == 0) return;
  targets_.push_back({target, target != nullptr, std::move(action), events});
}

void Control::removeTarget(const ns::Object* target, unsigned events) {
  for (auto& t : targets_) {
    if (target && t.target.lock().get() != target) continue;
    t.events &= ~events;
  }
  std::erase_if(targets_, [](const Target& t) { return t.events == 0; });
}

unsigned Control::allControlEvents() const {
  unsigned all = 0;
  for (const auto& t : targets_) all |= t.events;
  return all;
}

void Control::sendActionsForControlEvents(unsigned events) {
  auto keep = self<Control>();
  // Actions may add or remove targets; run from a copy.
  auto targets = targets_;
  for (std::size_t bit = 0; bit < 32; ++bit) {
    unsigned event = 1u << bit;
    if (!(events & event)) continue;
    for (auto& t : targets) {
      if (!(t.events & event)) continue;
      if (t.hasTarget) {
        auto alive = t.target.lock();
        if (!alive) continue;
        t.action(*this);
      } else {
        t.action(*this);
      }
    }
  }
}

bool Control::touchIsInside(const TouchSet& touches) const {
  if (touches.empty()) return false;
  cg::Point p = touches.front()->locationInView(this);
  return bounds().insetBy(-kTrackingSlop, -kTrackingSlop).contains(p);
}

void Control::touchesBegan(const TouchSet& touches, const Event*) {
  if (!enabled_) return;
  auto keep = self<Control>();
  tracking_ = true;
  touchInside_ = true;
  setHighlighted(true);
  unsigned events = ControlEventTouchDown;
  if (!touches.empty() && touches.front()->tapCount() > 1) events |= ControlEventTouchDownRepeat;
  sendActionsForControlEvents(events);
}

void Control::touchesMoved(const TouchSet& touches, const Event*) {
  if (!tracking_) return;
  auto keep = self<Control>();
  bool inside = touchIsInside(touches);
  unsigned events = inside ? ControlEventTouchDragInside : ControlEventTouchDragOutside;
  if (inside && !touchInside_) events |= ControlEventTouchDragEnter;
  if (!inside && touchInside_) events |= ControlEventTouchDragExit;
  touchInside_ = inside;
  setHighlighted(inside);
  sendActionsForControlEvents(events);
}

void Control::touchesEnded(const TouchSet& touches, const Event*) {
  if (!tracking_) return;
  auto keep = self<Control>();
  bool inside = touchIsInside(touches);
  tracking_ = false;
  touchInside_ = inside;
  setHighlighted(false);
  sendActionsForControlEvents(inside ? ControlEventTouchUpInside : ControlEventTouchUpOutside);
}

void Control::touchesCancelled(const TouchSet&, const Event*) {
  if (!tracking_) return;
  auto keep = self<Control>();
  tracking_ = false;
  setHighlighted(false);
  sendActionsForControlEvents(ControlEventTouchCancel);
}

void Control::appendDumpAttributes(std::string& line) const {
  line += " state=";
  if (state() == ControlStateNormal) {
    line += "normal";
  } else {
    std::string s;
    if (highlighted_) s += "highlighted|";
    if (!enabled_) s += "disabled|";
    if (selected_) s += "selected|";
    s.pop_back();
    line += s;
  }
}

}  // namespace ui
