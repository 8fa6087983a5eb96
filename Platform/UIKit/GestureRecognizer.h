#pragma once

#include <functional>
#include <memory>

#include "Foundation/Object.h"
#include "Graphics/Geometry.h"

namespace ui {

class View;

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

  // Where the gesture happened, in a view's coordinates (null: the root's).
  cg::Point locationInView(const View* view) const;

  // A touch of the recogniser's view went down at `from` and lifted at `to` (root coordinates):
  // whether that is the gesture.
  virtual bool recognizesTap(cg::Point from, cg::Point to) const = 0;
  void fire(cg::Point rootLocation);

 protected:
  Action action_;

 private:
  friend class View;
  std::weak_ptr<View> view_;
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

}  // namespace ui
