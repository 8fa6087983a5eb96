#include "UIKit/ScrollView.h"

#include <algorithm>

#include "Foundation/Format.h"

namespace ui {

ScrollView::ScrollView() { setClipsToBounds(true); }

std::shared_ptr<ScrollView> ScrollView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<ScrollView>();
}

void ScrollView::setContentSize(cg::Size size) { contentSize_ = size; }

void ScrollView::setContentOffset(cg::Point offset) { setBounds({offset, bounds().size}); }

void ScrollView::setContentOffset(cg::Point offset, bool) { setContentOffset(offset); }

cg::Point ScrollView::maximumContentOffset() const {
  return {std::max(0.0, contentSize_.width - bounds().width()),
          std::max(0.0, contentSize_.height - bounds().height())};
}

void ScrollView::scrollRectToVisible(const cg::Rect& rect, bool animated) {
  cg::Rect b = bounds();
  auto axis = [](double offset, double visible, double start, double length, double maxOffset) {
    if (length >= visible || start < offset)
      offset = start;
    else if (start + length > offset + visible)
      offset = start + length - visible;
    return std::clamp(offset, 0.0, maxOffset);
  };
  cg::Point max = maximumContentOffset();
  cg::Point next{axis(b.x(), b.width(), rect.x(), rect.width(), max.x),
                 axis(b.y(), b.height(), rect.y(), rect.height(), max.y)};
  if (next != b.origin) setContentOffset(next, animated);
}

void ScrollView::boundsOriginDidChange(cg::Point) {
  auto keep = self<ScrollView>();
  if (auto d = delegate_.lock()) d->scrollViewDidScroll(*this);
}

void ScrollView::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  line += " contentSize=" + cg::describe(contentSize_);
  if (pagingEnabled_) line += " paging";
  if (!scrollEnabled_) line += " noScroll";
}

}  // namespace ui
