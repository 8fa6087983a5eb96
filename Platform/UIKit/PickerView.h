#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/View.h"

namespace ui {

class PickerView;

// Tells the picker how many wheels it has and how many rows each holds.
class PickerViewDataSource {
 public:
  virtual ~PickerViewDataSource() = default;
  virtual int numberOfComponentsInPickerView(PickerView& pickerView) = 0;
  virtual int pickerViewNumberOfRowsInComponent(PickerView& pickerView, int component) = 0;
};

// Gives the rows' titles and the wheels' widths, and hears of a wheel coming to rest on a row.
class PickerViewDelegate {
 public:
  virtual ~PickerViewDelegate() = default;
  virtual std::optional<std::string> pickerViewTitleForRowForComponent(PickerView&, int, int) {
    return std::nullopt;
  }
  // 0 or less: the picker shares its width out evenly.
  virtual double pickerViewWidthForComponent(PickerView&, int) { return 0; }
  virtual void pickerViewDidSelectRowInComponent(PickerView&, int, int) {}
};

// A row of spinning wheels, one per component, each resting on one selected row that sits in the
// middle band. The counts and titles come from the data source and the delegate; reload reads
// them again and keeps each selection inside its wheel.
class PickerView : public View {
 public:
  static constexpr double kRowHeight = 44;
  // Space at each side of the wheels when the delegate gives no widths.
  static constexpr double kSideMargin = 9;

  std::shared_ptr<PickerView> initWithFrame(const cg::Rect& frame);

  std::shared_ptr<PickerViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDataSource(std::weak_ptr<PickerViewDataSource> dataSource);
  std::shared_ptr<PickerViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<PickerViewDelegate> delegate);

  int numberOfComponents() const { return int(rowCounts_.size()); }
  int numberOfRowsInComponent(int component) const;
  // The size of one row of the wheel: its width and kRowHeight.
  cg::Size rowSizeForComponent(int component) const;

  void reloadAllComponents();
  void reloadComponent(int component);

  // -1 for a wheel that does not exist or has no rows.
  int selectedRowInComponent(int component) const;
  // Rows out of range are ignored; the delegate is not told (as when code moves a wheel).
  void selectRowInComponent(int row, int component, bool animated);
  // What a finger flicking the wheel does: it comes to rest on the row (clamped into the wheel)
  // and the delegate hears of it.
  void spinComponentToRow(int component, int row);

  bool showsSelectionIndicator() const { return showsSelectionIndicator_; }
  void setShowsSelectionIndicator(bool shows);

  // The title a row shows ("" when the delegate gives none).
  std::string titleForRow(int row, int component) const;

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  void readCounts();
  double widthOfComponent(int component) const;

  std::weak_ptr<PickerViewDataSource> dataSource_;
  std::weak_ptr<PickerViewDelegate> delegate_;
  std::vector<int> rowCounts_;
  std::vector<int> selected_;
  bool showsSelectionIndicator_ = false;
};

}  // namespace ui
