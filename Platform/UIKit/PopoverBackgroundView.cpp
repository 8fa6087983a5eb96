#include "UIKit/PopoverBackgroundView.h"

#include "Foundation/Format.h"

namespace ui {

std::shared_ptr<PopoverBackgroundView> PopoverBackgroundView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<PopoverBackgroundView>();
}

void PopoverBackgroundView::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  line += ns::format(" arrow=%u arrowOffset=%g", arrowDirection_, arrowOffset_);
}

}  // namespace ui
