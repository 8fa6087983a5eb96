#pragma once

#include <memory>
#include <optional>

#include "UIKit/PopoverBackgroundView.h"
#include "UIKit/ViewController.h"

namespace ui {

class PopoverController;

// Told when a touch outside has closed the popover (not when the owner dismisses it).
class PopoverControllerDelegate {
 public:
  virtual ~PopoverControllerDelegate() = default;
  virtual void popoverControllerDidDismissPopover(PopoverController&) {}
};

// Shows a controller's view in a frame with an arrow pointing at a rectangle, above everything
// else in the key window. The popover sits below the rectangle with its arrow up when it fits,
// else above it, else beside it (right, then left), always inside the window; the background
// view of the given class covers the popover and gets the arrow's direction and its offset from
// the middle of its edge; the content sits inside the class's insets. A touch outside closes it.
class PopoverController : public ns::Object {
 public:
  PopoverController();
  ~PopoverController() override;
  PopoverController(const PopoverController&) = delete;
  PopoverController& operator=(const PopoverController&) = delete;

  std::shared_ptr<PopoverController> initWithContentViewController(std::shared_ptr<ViewController> content);

  const std::shared_ptr<ViewController>& contentViewController() const { return content_; }
  // The content controller's popover size unless set.
  cg::Size popoverContentSize() const;
  void setPopoverContentSize(cg::Size size) { contentSize_ = size; }
  const PopoverBackgroundViewClass& popoverBackgroundViewClass() const { return backgroundClass_; }
  void setPopoverBackgroundViewClass(PopoverBackgroundViewClass backgroundClass);
  std::shared_ptr<PopoverControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<PopoverControllerDelegate> delegate) { delegate_ = std::move(delegate); }

  // The rectangle is in the view's coordinates; directions is a mask of PopoverArrowDirection.
  // Animated, the screen shows the popover fading in (and out on dismissal) over kFadeDuration,
  // while it is shown (or gone) at once for touches, layout and dumps.
  void presentPopoverFromRect(const cg::Rect& rect, const std::shared_ptr<View>& view, unsigned directions,
                              bool animated);
  void dismissPopoverAnimated(bool animated);
  static constexpr double kFadeDuration = 0.2;
  bool isPopoverVisible() const { return container_ != nullptr; }
  // The arrow direction of the shown popover (unknown when hidden).
  unsigned popoverArrowDirection() const { return arrowDirection_; }
  // While shown: the background view and the popover's frame in the window.
  const std::shared_ptr<PopoverBackgroundView>& backgroundView() const { return background_; }
  cg::Rect popoverFrame() const { return frame_; }

  // Placement in a window of the size: the popover's frame, the arrow's direction and offset.
  struct Placement {
    cg::Rect frame;
    unsigned direction;
    double arrowOffset;
  };
  static Placement place(const cg::Rect& target, cg::Size window, cg::Size content,
                         const PopoverBackgroundViewClass& backgroundClass, unsigned directions);
  // How far the popover keeps from the window's edges.
  static constexpr double kWindowMargin = 5;

 private:
  class Container;
  void closedByTouch();

  std::shared_ptr<ViewController> content_;
  std::optional<cg::Size> contentSize_;
  PopoverBackgroundViewClass backgroundClass_;
  std::weak_ptr<PopoverControllerDelegate> delegate_;
  std::shared_ptr<View> container_;
  std::shared_ptr<PopoverBackgroundView> background_;
  cg::Rect frame_;
  unsigned arrowDirection_ = PopoverArrowDirectionUnknown;
};

}  // namespace ui
