#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "UIKit/View.h"

namespace ui {

enum ControlState : unsigned {
  ControlStateNormal = 0,
  ControlStateHighlighted = 1 << 0,
  ControlStateDisabled = 1 << 1,
  ControlStateSelected = 1 << 2,
};

enum ControlEvents : unsigned {
  ControlEventTouchDown = 1 << 0,
  ControlEventTouchDownRepeat = 1 << 1,
  ControlEventTouchDragInside = 1 << 2,
  ControlEventTouchDragOutside = 1 << 3,
  ControlEventTouchDragEnter = 1 << 4,
  ControlEventTouchDragExit = 1 << 5,
  ControlEventTouchUpInside = 1 << 6,
  ControlEventTouchUpOutside = 1 << 7,
  ControlEventTouchCancel = 1 << 8,
  ControlEventValueChanged = 1 << 12,
  ControlEventAllTouchEvents = 0x0FFF,
  ControlEventAllEvents = 0xFFFFFFFF,
};

enum class ControlContentHorizontalAlignment { center, left, right, fill };
enum class ControlContentVerticalAlignment { center, top, bottom, fill };

// A view that tracks touches and sends actions to targets for control events.
class Control : public View {
 public:
  using Action = std::function<void(Control& sender)>;

  std::shared_ptr<Control> initWithFrame(const cg::Rect& frame);

  bool isEnabled() const { return enabled_; }
  virtual void setEnabled(bool enabled);
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected);
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted);
  // Highlighted, disabled and selected bits combined; ControlStateNormal when none is set.
  unsigned state() const;
  bool isTracking() const { return tracking_; }
  bool isTouchInside() const { return touchInside_; }

  ControlContentHorizontalAlignment contentHorizontalAlignment() const { return horizontalAlignment_; }
  void setContentHorizontalAlignment(ControlContentHorizontalAlignment a);
  ControlContentVerticalAlignment contentVerticalAlignment() const { return verticalAlignment_; }
  void setContentVerticalAlignment(ControlContentVerticalAlignment a);

  // The target is held weakly: once it is gone its actions are skipped. A null target makes the
  // action unconditional. Actions of one event run in the order they were added.
  void addTarget(const std::shared_ptr<ns::Object>& target, Action action, unsigned events);
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*method)(), unsigned events) {
    std::weak_ptr<T> weak = target;
    addTarget(
        target,
        [weak, method](Control&) {
          if (auto t = weak.lock()) (t.get()->*method)();
        },
        events);
  }
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*method)(Control&), unsigned events) {
    std::weak_ptr<T> weak = target;
    addTarget(
        target,
        [weak, method](Control& c) {
          if (auto t = weak.lock()) (t.get()->*method)(c);
        },
        events);
  }
  // Removes the target's actions for the events (every target's when target is null).
  void removeTarget(const ns::Object* target, unsigned events);
  // The events that have at least one action.
  unsigned allControlEvents() const;
  void sendActionsForControlEvents(unsigned events);

  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesMoved(const TouchSet& touches, const Event* event) override;
  void touchesEnded(const TouchSet& touches, const Event* event) override;
  void touchesCancelled(const TouchSet& touches, const Event* event) override;

  void appendDumpAttributes(std::string& line) const override;

 protected:
  // How far outside its bounds a tracked touch still counts as inside.
  static constexpr double kTrackingSlop = 70;
  // Called when enabled, selected or highlighted changed.
  virtual void stateDidChange() {}

 private:
  struct Target {
    std::weak_ptr<ns::Object> target;
    bool hasTarget;
    Action action;
    unsigned events;
  };
  bool touchIsInside(const TouchSet& touches) const;

  std::vector<Target> targets_;
  ControlContentHorizontalAlignment horizontalAlignment_ = ControlContentHorizontalAlignment::center;
  ControlContentVerticalAlignment verticalAlignment_ = ControlContentVerticalAlignment::center;
  bool enabled_ = true;
  bool selected_ = false;
  bool highlighted_ = false;
  bool tracking_ = false;
  bool touchInside_ = false;
};

}  // namespace ui
