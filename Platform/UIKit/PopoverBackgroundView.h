#pragma once

#include <functional>
#include <memory>
#include <string>

#include "UIKit/View.h"

namespace ui {

enum PopoverArrowDirection : unsigned {
  PopoverArrowDirectionUp = 1,
  PopoverArrowDirectionDown = 2,
  PopoverArrowDirectionLeft = 4,
  PopoverArrowDirectionRight = 8,
  PopoverArrowDirectionAny = 15,
  PopoverArrowDirectionUnknown = ~0u,
};

// The frame a popover draws around its content, arrow included. The popover sizes and places it
// and tells it where its arrow points: the direction and the arrow's offset from the middle of
// the edge it sits on. Subclasses draw it; the class's metrics (arrow base and height, content
// insets) are given to the popover with the class (PopoverBackgroundViewClass).
class PopoverBackgroundView : public View {
 public:
  std::shared_ptr<PopoverBackgroundView> initWithFrame(const cg::Rect& frame);

  double arrowOffset() const { return arrowOffset_; }
  virtual void setArrowOffset(double offset) {
    arrowOffset_ = offset;
    setNeedsDisplay();
  }
  unsigned arrowDirection() const { return arrowDirection_; }
  virtual void setArrowDirection(unsigned direction) {
    arrowDirection_ = direction;
    setNeedsDisplay();
  }

  void appendDumpAttributes(std::string& line) const override;

 private:
  double arrowOffset_ = 0;
  unsigned arrowDirection_ = PopoverArrowDirectionUnknown;
};

// A background view class as the popover takes it: how to make one and its class metrics.
struct PopoverBackgroundViewClass {
  std::function<std::shared_ptr<PopoverBackgroundView>(const cg::Rect&)> make;
  double arrowBase = 0;
  double arrowHeight = 0;
  cg::EdgeInsets contentViewInsets;

  // T has initWithFrame and the static arrowBase, arrowHeight and contentViewInsets.
  template <class T>
  static PopoverBackgroundViewClass of() {
    return {[](const cg::Rect& frame) -> std::shared_ptr<PopoverBackgroundView> {
              auto view = std::make_shared<T>();
              view->initWithFrame(frame);
              return view;
            },
            T::arrowBase(), T::arrowHeight(), T::contentViewInsets()};
  }
};

}  // namespace ui
