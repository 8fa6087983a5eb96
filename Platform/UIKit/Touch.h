#pragma once

#include <memory>
#include <vector>

#include "Foundation/Clock.h"
#include "Foundation/Object.h"
#include "Graphics/Geometry.h"

namespace ui {

class View;

enum class TouchPhase { began, moved, stationary, ended, cancelled };

// One finger on the screen. Its location is kept in the coordinates of the root of the
// hierarchy it was delivered to and converted on request.
class Touch final : public ns::Object {
 public:
  Touch(std::shared_ptr<View> view, cg::Point rootLocation, TouchPhase phase, int tapCount = 1,
        double timestamp = ns::clockNow());

  // The hit-tested view the touch was delivered to.
  std::shared_ptr<View> view() const { return view_.lock(); }
  TouchPhase phase() const { return phase_; }
  int tapCount() const { return tapCount_; }
  // When the finger was last where the touch says (platform clock, seconds): the moment the
  // input happened, which may be before it is handled.
  double timestamp() const { return timestamp_; }
  void setTimestamp(double timestamp) { timestamp_ = timestamp; }
  // Location in a view's coordinates; nullptr gives the root's coordinates.
  cg::Point locationInView(const View* view) const;
  cg::Point locationInView(const std::shared_ptr<View>& view) const { return locationInView(view.get()); }
  cg::Point previousLocationInView(const View* view) const;

  void moveTo(cg::Point rootLocation, TouchPhase phase);
  void setPhase(TouchPhase phase) { phase_ = phase; }

 private:
  cg::Point convert(cg::Point rootPoint, const View* view) const;

  std::weak_ptr<View> view_;
  cg::Point location_;
  cg::Point previous_;
  TouchPhase phase_;
  int tapCount_;
  double timestamp_;
};

using TouchSet = std::vector<std::shared_ptr<Touch>>;

// The event a set of touches belongs to.
class Event final : public ns::Object {
 public:
  explicit Event(TouchSet touches) : touches_(std::move(touches)) {}
  const TouchSet& allTouches() const { return touches_; }

 private:
  TouchSet touches_;
};

// Receives touches; passes what it does not handle to the next responder.
class Responder : public ns::Object {
 public:
  virtual std::shared_ptr<Responder> nextResponder() const { return nullptr; }

  virtual void touchesBegan(const TouchSet& touches, const Event* event);
  virtual void touchesMoved(const TouchSet& touches, const Event* event);
  virtual void touchesEnded(const TouchSet& touches, const Event* event);
  virtual void touchesCancelled(const TouchSet& touches, const Event* event);

  // The first responder: the one object that takes the keyboard's input. Main thread only.
  virtual bool canBecomeFirstResponder() const { return false; }
  // Takes the role from the current holder (which may refuse by not resigning); false when this
  // responder cannot take it.
  virtual bool becomeFirstResponder();
  // Gives the role up; false only when this responder refuses. True when it did not hold it.
  virtual bool resignFirstResponder();
  bool isFirstResponder() const;
  static std::shared_ptr<Responder> currentFirstResponder();
  // Text inputs bring up the keyboard while they are first responder.
  virtual bool showsKeyboard() const { return false; }
  // Whether the on-screen keyboard is up (its first responder shows it).
  static bool isKeyboardShown();
};

}  // namespace ui
