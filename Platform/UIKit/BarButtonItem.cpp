#include "UIKit/BarButtonItem.h"

#include "Foundation/Format.h"

namespace ui {

std::shared_ptr<BarButtonItem> BarButtonItem::initWithBarButtonSystemItem(BarButtonSystemItem item) {
  system_ = item;
  return std::static_pointer_cast<BarButtonItem>(shared_from_this());
}

std::shared_ptr<BarButtonItem> BarButtonItem::initWithCustomView(std::shared_ptr<View> view) {
  customView_ = std::move(view);
  return std::static_pointer_cast<BarButtonItem>(shared_from_this());
}

std::string BarButtonItem::describe() const {
  if (isFixedSpace()) return ns::format("fixed(%g)", width_);
  if (isFlexibleSpace()) return "flexible";
  if (customView_) return customView_->className();
  return "item";
}

}  // namespace ui
