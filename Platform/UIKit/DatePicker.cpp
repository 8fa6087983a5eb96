#include "UIKit/DatePicker.h"

#include <string>

namespace ui {

class DatePicker::Wheels final : public PickerViewDataSource, public PickerViewDelegate {
 public:
  int numberOfComponentsInPickerView(PickerView&) override { return 3; }
  int pickerViewNumberOfRowsInComponent(PickerView&, int component) override {
    return component == 0 ? 31 : component == 1 ? 12 : 200;
  }
  std::optional<std::string> pickerViewTitleForRowForComponent(PickerView&, int row, int component) override {
    return std::to_string(component == 2 ? 1900 + row : row + 1);
  }
  double pickerViewWidthForComponent(PickerView&, int component) override {
    return component == 1 ? 140 : component == 0 ? 60 : 90;
  }
};

std::shared_ptr<DatePicker> DatePicker::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  wheels_ = std::make_shared<Wheels>();
  picker_ = std::make_shared<PickerView>()->initWithFrame(bounds());
  picker_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
  picker_->setDelegate(wheels_);
  picker_->setDataSource(wheels_);
  addSubview(picker_);
  return self<DatePicker>();
}

}  // namespace ui
