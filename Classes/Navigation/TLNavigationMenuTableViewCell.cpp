#include "Classes/Navigation/TLNavigationMenuTableViewCell.h"

#include "UIKit/Font.h"

namespace {
ui::Color grey(int level) { return ui::Color::colorWithRed(level / 255.0, level / 255.0, level / 255.0, 1); }
}  // namespace

std::shared_ptr<ui::View> TLNavigationMenuTableViewCell::patternView(const std::string& imageName) {
  auto view = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 44});
  // A missing picture leaves the view clear rather than a flat stand-in colour.
  if (auto image = ui::Image::imageNamed(imageName))
    view->setBackgroundColor(ui::Color::colorWithPatternImage(image));
  return view;
}

ui::Color TLNavigationMenuTableViewCell::titleColor() { return grey(172); }
ui::Color TLNavigationMenuTableViewCell::selectedTitleColor() { return grey(237); }
ui::Color TLNavigationMenuTableViewCell::separatorLineColor() { return grey(42); }

std::shared_ptr<TLNavigationMenuTableViewCell> TLNavigationMenuTableViewCell::initWithStyle(
    ui::TableViewCellStyle style, std::string reuseIdentifier) {
  ui::TableViewCell::initWithStyle(style, std::move(reuseIdentifier));
  auto label = textLabel();
  label->setTextColor(titleColor());
  setClipsToBounds(true);
  setUpBackgrounds();
  label->setFont(ui::Font::boldSystemFontOfSize(ui::Font::systemFontSize()));
  label->setShadowOffset({0, 2});
  label->setShadowColor(ui::Color::colorWithRed(0, 0, 0, 0.25));
  imageView()->setContentMode(ui::ViewContentMode::center);
  imageView()->setImage(icon_);
  // The menu table draws no separators: this line at the row's bottom is the only divider.
  cg::Rect content = contentView()->bounds();
  auto separator = std::make_shared<ui::View>()->initWithFrame({0, content.height() - 1, content.width(), 1});
  separator->setBackgroundColor(separatorLineColor());
  separator->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin);
  contentView()->addSubview(separator);
  return std::static_pointer_cast<TLNavigationMenuTableViewCell>(shared_from_this());
}

void TLNavigationMenuTableViewCell::layoutSubviews() {
  ui::TableViewCell::layoutSubviews();
  auto label = textLabel();
  auto font = label->font();
  if (!font || label->text().empty()) return;
  // Down to 14 points, below which a row would read as a different kind of entry.
  constexpr double kSmallest = 14;
  double width = label->bounds().width();
  while (font->pointSize() > kSmallest && ui::sizeWithFont(label->text(), font).width > width)
    font = font->fontWithSize(font->pointSize() - 1);
  if (font != label->font()) label->setFont(font);
}

void TLNavigationMenuTableViewCell::setUpBackgrounds() {
  setSelectedBackgroundView(patternView("selectedCellBg"));
}

void TLNavigationMenuTableViewCell::setSelected(bool selected, bool animated) {
  ui::TableViewCell::setSelected(selected, animated);
  textLabel()->setTextColor(selected ? selectedTitleColor() : titleColor());
  imageView()->setImage(selected ? selectedIcon_ : icon_);
}
