#include "UIKit/TableViewCell.h"

#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "UIKit/ViewDump.h"

namespace ui {

namespace {
constexpr double kPadding = 10;
}  // namespace

TableViewCell::TableViewCell() { setOpaque(false); }

std::shared_ptr<TableViewCell> TableViewCell::initWithStyle(TableViewCellStyle style,
                                                            std::string reuseIdentifier) {
  View::initWithFrame({0, 0, 320, 44});
  style_ = style;
  reuseIdentifier_ = std::move(reuseIdentifier);
  setAutoresizingMask(ViewAutoresizingFlexibleWidth);
  contentView_ = std::make_shared<View>()->initWithFrame(bounds());
  contentView_->setOpaque(false);
  contentView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
  addSubview(contentView_);
  return self<TableViewCell>();
}

std::shared_ptr<Label> TableViewCell::textLabel() {
  if (!textLabel_) {
    textLabel_ = std::make_shared<Label>()->initWithFrame({});
    textLabel_->setFont(Font::boldSystemFontOfSize(20));
    textLabel_->setBackgroundColor(std::nullopt);
    textLabel_->setOpaque(false);
    contentView_->addSubview(textLabel_);
    setNeedsLayout();
  }
  return textLabel_;
}

std::shared_ptr<ImageView> TableViewCell::imageView() {
  if (!imageView_) {
    imageView_ = std::make_shared<ImageView>()->initWithFrame({});
    contentView_->insertSubviewAtIndex(imageView_, 0);
    setNeedsLayout();
  }
  return imageView_;
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> view) {
  if (backgroundView_ == view) return;
  if (backgroundView_) backgroundView_->removeFromSuperview();
  backgroundView_ = std::move(view);
  if (backgroundView_) insertSubviewAtIndex(backgroundView_, 0);
  setNeedsLayout();
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view) {
  if (selectedBackgroundView_ == view) return;
  if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
  selectedBackgroundView_ = std::move(view);
  if (selectedBackgroundView_) {
    if (backgroundView_)
      insertSubviewAboveSubview(selectedBackgroundView_, backgroundView_);
    else
      insertSubviewAtIndex(selectedBackgroundView_, 0);
  }
  updateSelectedBackground();
  setNeedsLayout();
}

void TableViewCell::setSelected(bool selected, bool) {
  selected_ = selected;
  updateSelectedBackground();
  setNeedsLayout();
}

void TableViewCell::updateSelectedBackground() {
  if (selectedBackgroundView_)
    selectedBackgroundView_->setHidden(!selected_ || selectionStyle_ == TableViewCellSelectionStyle::none);
}

void TableViewCell::setSeparatorColor(std::optional<Color> color) {
  if (separatorColor_ == color) return;
  separatorColor_ = std::move(color);
  setNeedsLayout();
  setNeedsDisplay();
}

namespace {
constexpr double kAccessoryWidth = 30;
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type) {
  accessoryType_ = type;
  setNeedsLayout();
  setNeedsDisplay();
}

void TableViewCell::layoutSubviews() {
  cg::Rect b = bounds();
  cg::Rect area(0, 0, b.width(), std::max(0.0, b.height() - (separatorColor_ ? 1 : 0)));
  if (backgroundView_) backgroundView_->setFrame(area);
  if (selectedBackgroundView_) selectedBackgroundView_->setFrame(area);
  contentView_->setFrame(area);
  double x = kPadding;
  if (imageView_) {
    cg::Size s = imageView_->image() ? imageView_->image()->size() : cg::Size{};
    imageView_->setFrame({x, std::floor((area.height() - s.height) / 2), s.width, s.height});
    if (s.width > 0) x += s.width + kPadding;
  }
  double right = accessoryType_ == TableViewCellAccessoryType::checkmark ? kAccessoryWidth : kPadding;
  if (textLabel_) textLabel_->setFrame({x, 0, std::max(0.0, area.width() - x - right), area.height()});
}

void TableViewCell::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect b = bounds();
  if (accessoryType_ == TableViewCellAccessoryType::checkmark) {
    double cx = b.maxX() - kAccessoryWidth + 8, cy = b.midY();
    ctx->setStrokeColor(cg::Color::rgba(0.2, 0.33, 0.53));
    ctx->setLineWidth(2.5);
    ctx->beginPath();
    ctx->moveTo({cx, cy});
    ctx->addLineTo({cx + 4, cy + 5});
    ctx->addLineTo({cx + 13, cy - 7});
    ctx->strokePath();
  }
  if (!separatorColor_) return;
  ctx->setFillColor(separatorColor_->cgColor());
  ctx->fillRect({b.x(), b.maxY() - 1, b.width(), 1});
}

void TableViewCell::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  if (!reuseIdentifier_.empty()) line += ns::format(" reuse=\"%@\"", reuseIdentifier_);
  if (selected_) line += " selected";
  if (accessoryType_ != TableViewCellAccessoryType::none)
    line += ns::format(" accessory=%d", int(accessoryType_));
  if (separatorColor_) line += " separator=" + describeColor(separatorColor_);
}

}  // namespace ui
