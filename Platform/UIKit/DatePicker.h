#pragma once

#include <memory>

#include "UIKit/PickerView.h"

namespace ui {

// A picker of calendar dates: a wheel of days, one of months and one of years, in one inner
// picker view. Its wheels follow the user's locale.
class DatePicker : public View {
 public:
  std::shared_ptr<DatePicker> initWithFrame(const cg::Rect& frame);
  const std::shared_ptr<PickerView>& pickerView() const { return picker_; }

 private:
  class Wheels;
  std::shared_ptr<Wheels> wheels_;
  std::shared_ptr<PickerView> picker_;
};

}  // namespace ui
