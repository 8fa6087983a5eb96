#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/Object.h"
#include "UIKit/View.h"

namespace ui {

enum class BarButtonSystemItem { flexibleSpace = 5, fixedSpace = 6 };

// One item of a toolbar: a space (fixed, of its width, which may be negative to pull its
// neighbours closer; or flexible, sharing what the bar has left) or a custom view.
class BarButtonItem final : public ns::Object {
 public:
  std::shared_ptr<BarButtonItem> initWithBarButtonSystemItem(BarButtonSystemItem item);
  std::shared_ptr<BarButtonItem> initWithCustomView(std::shared_ptr<View> view);

  bool isFixedSpace() const { return system_ == BarButtonSystemItem::fixedSpace; }
  bool isFlexibleSpace() const { return system_ == BarButtonSystemItem::flexibleSpace; }
  const std::shared_ptr<View>& customView() const { return customView_; }
  // A fixed space's width (0 until set).
  double width() const { return width_; }
  void setWidth(double width) { width_ = width; }

  std::string describe() const override;

 private:
  std::optional<BarButtonSystemItem> system_;
  std::shared_ptr<View> customView_;
  double width_ = 0;
};

}  // namespace ui
