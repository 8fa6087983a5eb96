#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/View.h"

namespace ui {

enum class TableViewCellStyle { defaultStyle = 0, value1 = 1, value2 = 2, subtitle = 3 };
enum class TableViewCellSelectionStyle { none = 0, blue = 1, gray = 2 };
enum class TableViewCellAccessoryType {
  none = 0,
  disclosureIndicator = 1,
  detailDisclosureButton = 2,
  checkmark = 3
};

// One row of a table: a content view holding an image view at the left and a text label after
// it, over an optional background view, with an optional selected background shown while the
// row is selected. Transparent unless given backgrounds. A table that draws separators leaves
// the row's bottom point to its line.
class TableViewCell : public View {
 public:
  TableViewCell();
  // 320 x 44, resizing with the table's width.
  std::shared_ptr<TableViewCell> initWithStyle(TableViewCellStyle style, std::string reuseIdentifier);

  TableViewCellStyle style() const { return style_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  // Called when the table takes the cell from its reuse queue.
  virtual void prepareForReuse() {}

  const std::shared_ptr<View>& contentView() const { return contentView_; }
  // Made on first use, inside the content view.
  std::shared_ptr<Label> textLabel();
  std::shared_ptr<ImageView> imageView();

  const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
  void setBackgroundView(std::shared_ptr<View> view);
  const std::shared_ptr<View>& selectedBackgroundView() const { return selectedBackgroundView_; }
  void setSelectedBackgroundView(std::shared_ptr<View> view);
  TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(TableViewCellSelectionStyle style) { selectionStyle_ = style; }

  // A check mark is drawn at the row's right end, the text kept clear of it; the other kinds are
  // recorded only.
  TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
  void setAccessoryType(TableViewCellAccessoryType type);

  bool isSelected() const { return selected_; }
  void setSelected(bool selected) { setSelected(selected, false); }
  // Shows or hides the selected background. Subclasses change their look here too, after the
  // inherited call.
  virtual void setSelected(bool selected, bool animated);

  // Set by the table: the colour of the one-point line at the row's bottom, or none.
  void setSeparatorColor(std::optional<Color> color);

  void layoutSubviews() override;
  bool drawsContent() const override {
    return separatorColor_.has_value() || accessoryType_ == TableViewCellAccessoryType::checkmark;
  }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  void updateSelectedBackground();

  TableViewCellStyle style_ = TableViewCellStyle::defaultStyle;
  TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::blue;
  TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::none;
  std::string reuseIdentifier_;
  std::shared_ptr<View> contentView_;
  std::shared_ptr<Label> textLabel_;
  std::shared_ptr<ImageView> imageView_;
  std::shared_ptr<View> backgroundView_;
  std::shared_ptr<View> selectedBackgroundView_;
  std::optional<Color> separatorColor_;
  bool selected_ = false;
};

}  // namespace ui
