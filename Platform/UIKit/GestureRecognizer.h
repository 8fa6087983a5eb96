#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "Foundation/Object.h"
#include "Graphics/Geometry.h"

namespace ui {

class View;
class GestureRecognizer;

// Lets an owner refuse a recogniser a touch (it then reaches the views as if there were no
// recogniser) or refuse a recognised gesture.
class GestureRecognizerDelegate {
 public:
  virtual ~GestureRecognizerDelegate() = default;
  // `touched` is the view the touch went down on.
  virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, const View* /*touched*/) {
    return true;
  }
  virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
};

enum class GestureRecognizerState { possible, began, changed, ended, cancelled };

// Recognises a gesture from the touches that reach its view or the view's subviews, and then
// runs its action. By default the touches that made the gesture are taken from the views (they
// see them cancelled); with cancelsTouchesInView off they are delivered as well.
class GestureRecognizer : public ns::Object {
 public:
  using Action = std::function<void(GestureRecognizer&)>;

  std::shared_ptr<View> view() const { return view_.lock(); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
  void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }

  std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<GestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }
  GestureRecognizerState state() const { return state_; }
  // Asks the delegate, if any.
  bool shouldReceiveTouch(const View* touched);
  bool shouldBegin();

  // Where the gesture happened, in a view's coordinates (null: the root's).
  cg::Point locationInView(const View* view) const;

  // A touch of the recogniser's view went down at `from` and lifted at `to` (root coordinates):
  // whether that is the gesture.
  virtual bool recognizesTap(cg::Point from, cg::Point to) const = 0;
  void fire(cg::Point rootLocation);

 protected:
  Action action_;
  GestureRecognizerState state_ = GestureRecognizerState::possible;

 private:
  friend class View;
  std::weak_ptr<View> view_;
  std::weak_ptr<GestureRecognizerDelegate> delegate_;
  cg::Point location_;
  bool enabled_ = true;
  bool cancelsTouchesInView_ = true;
};

// One finger down and up again without travelling.
class TapGestureRecognizer final : public GestureRecognizer {
 public:
  static constexpr double kMaximumMovement = 10;
  std::shared_ptr<TapGestureRecognizer> initWithAction(Action action);
  bool recognizesTap(cg::Point from, cg::Point to) const override;
};

// Two fingers moving apart or together; scale() is their distance over the starting one.
class PinchGestureRecognizer final : public GestureRecognizer {
 public:
  std::shared_ptr<PinchGestureRecognizer> initWithAction(Action action);
  double scale() const { return scale_; }
  bool recognizesTap(cg::Point, cg::Point) const override { return false; }
  // One step of a pinch: the action runs with the new state and scale.
  void update(GestureRecognizerState state, double scale, cg::Point rootLocation);

 private:
  double scale_ = 1;
};

// A pinch at the centre of a view, hit-tested from the root of its hierarchy: the pinch
// recognisers of the hit view and its ancestors that accept it see it begin at scale 1, change
// through each of the scales and end at the last. Returns the view hit (null for none).
std::shared_ptr<View> simulatePinch(const std::shared_ptr<View>& view, const std::vector<double>& scales);

}  // namespace ui
