#include "UIKit/Button.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"

namespace ui {

std::shared_ptr<Button> Button::buttonWithType(ButtonType type) { return buttonWithType<Button>(type); }

std::shared_ptr<Button> Button::initWithFrame(const cg::Rect& frame) {
  Control::initWithFrame(frame);
  setOpaque(false);
  return self<Button>();
}

template <class V>
V Button::lookup(const PerState<V>& values, unsigned state) {
  if (auto it = values.find(state); it != values.end() && it->second) return it->second;
  if (auto it = values.find(ControlStateNormal); it != values.end()) return it->second;
  return V{};
}

void Button::setTitle(std::optional<std::string> title, unsigned state) {
  titles_[state] = std::move(title);
  updateParts();
}
std::optional<std::string> Button::titleForState(unsigned state) const { return lookup(titles_, state); }

void Button::setTitleColor(std::optional<Color> color, unsigned state) {
  titleColors_[state] = std::move(color);
  updateParts();
}
std::optional<Color> Button::titleColorForState(unsigned state) const {
  auto c = lookup(titleColors_, state);
  // A custom button's titles are white unless set.
  return c ? c : std::optional<Color>(Color::whiteColor());
}

void Button::setTitleShadowColor(std::optional<Color> color, unsigned state) {
  titleShadowColors_[state] = std::move(color);
  updateParts();
}
std::optional<Color> Button::titleShadowColorForState(unsigned state) const {
  return lookup(titleShadowColors_, state);
}

void Button::setImage(std::shared_ptr<Image> image, unsigned state) {
  images_[state] = std::move(image);
  updateParts();
}
std::shared_ptr<Image> Button::imageForState(unsigned state) const { return lookup(images_, state); }

void Button::setBackgroundImage(std::shared_ptr<Image> image, unsigned state) {
  backgroundImages_[state] = std::move(image);
  updateParts();
}
std::shared_ptr<Image> Button::backgroundImageForState(unsigned state) const {
  return lookup(backgroundImages_, state);
}

std::size_t Button::partIndex(const View* part) const {
  const auto& subs = subviews();
  for (std::size_t i = 0; i < subs.size(); ++i)
    if (subs[i].get() == part) return i + 1;
  return 0;
}

std::shared_ptr<Label> Button::titleLabel() {
  if (!titleLabel_) {
    titleLabel_ = std::make_shared<Label>()->initWithFrame({});
    titleLabel_->setBackgroundColor(std::nullopt);
    titleLabel_->setOpaque(false);
    titleLabel_->setFont(Font::boldSystemFontOfSize(15));
    titleLabel_->setTextAlignment(TextAlignment::Center);
    titleLabel_->setTextColor(currentTitleColor());
    titleLabel_->setHidden(true);
    // Above the image and the background, below anything the owner added.
    std::size_t at = std::max(partIndex(imageView_.get()), partIndex(backgroundView_.get()));
    insertSubviewAtIndex(titleLabel_, at);
  }
  return titleLabel_;
}

std::shared_ptr<ImageView> Button::imageView() {
  if (!imageView_) {
    imageView_ = std::make_shared<ImageView>()->initWithFrame({});
    imageView_->setContentMode(ViewContentMode::center);
    imageView_->setHidden(true);
    insertSubviewAtIndex(imageView_, partIndex(backgroundView_.get()));
  }
  return imageView_;
}

void Button::updateParts() {
  unsigned s = state();
  if (auto bg = backgroundImageForState(s); bg || backgroundView_) {
    if (!backgroundView_) {
      backgroundView_ = std::make_shared<ImageView>()->initWithFrame({});
      insertSubviewAtIndex(backgroundView_, 0);
    }
    backgroundView_->setImage(bg);
    backgroundView_->setHidden(bg == nullptr);
  }
  if (auto img = imageForState(s); img || imageView_) {
    imageView()->setImage(img);
    imageView_->setHidden(img == nullptr);
    auto own = images_.find(s);
    bool dimmed = adjustsImageWhenDisabled_ && !isEnabled() && (own == images_.end() || !own->second);
    imageView_->setAlpha(dimmed ? 0.4 : 1.0);
  }
  auto title = titleForState(s);
  if ((title && !title->empty()) || titleLabel_) {
    auto label = titleLabel();
    label->setText(title.value_or(""));
    label->setHidden(!title || title->empty());
    label->setTextColor(currentTitleColor());
    label->setShadowColor(titleShadowColorForState(s));
  }
  setNeedsLayout();
}

void Button::stateDidChange() { updateParts(); }

void Button::setAdjustsImageWhenDisabled(bool adjusts) {
  adjustsImageWhenDisabled_ = adjusts;
  updateParts();
}

void Button::setContentEdgeInsets(cg::EdgeInsets insets) {
  contentInsets_ = insets;
  setNeedsLayout();
}
void Button::setTitleEdgeInsets(cg::EdgeInsets insets) {
  titleInsets_ = insets;
  setNeedsLayout();
}
void Button::setImageEdgeInsets(cg::EdgeInsets insets) {
  imageInsets_ = insets;
  setNeedsLayout();
}

void Button::layoutSubviews() {
  cg::Rect b = bounds();
  if (backgroundView_) backgroundView_->setFrame(b);
  cg::Rect content = contentInsets_.inset(b);
  bool hasImage = imageView_ && !imageView_->isHidden();
  bool hasTitle = titleLabel_ && !titleLabel_->isHidden();
  cg::Size imageSize = hasImage ? imageView_->image()->size() : cg::Size{};
  cg::Size titleSize = hasTitle ? titleLabel_->sizeThatFits(content.size) : cg::Size{};
  titleSize.width = std::min(titleSize.width, std::max(0.0, content.width() - imageSize.width));
  double total = imageSize.width + titleSize.width;
  double x;
  switch (contentHorizontalAlignment()) {
    case ControlContentHorizontalAlignment::left:
      x = content.x();
      break;
    case ControlContentHorizontalAlignment::right:
      x = content.maxX() - total;
      break;
    default:
      x = content.x() + std::floor((content.width() - total) / 2);
  }
  auto vertical = [&](double h) {
    switch (contentVerticalAlignment()) {
      case ControlContentVerticalAlignment::top:
        return content.y();
      case ControlContentVerticalAlignment::bottom:
        return content.maxY() - h;
      default:
        return content.y() + std::floor((content.height() - h) / 2);
    }
  };
  bool fill = contentHorizontalAlignment() == ControlContentHorizontalAlignment::fill;
  if (hasImage) {
    cg::Rect r(x, vertical(imageSize.height), imageSize.width, imageSize.height);
    if (fill && !hasTitle) r = content;
    imageView_->setFrame(imageInsets_.inset(r));
  }
  if (hasTitle) {
    cg::Rect r(x + imageSize.width, vertical(titleSize.height), titleSize.width, titleSize.height);
    if (fill) r = {content.x() + imageSize.width, r.y(), content.width() - imageSize.width, r.height()};
    titleLabel_->setFrame(titleInsets_.inset(r));
  }
}

cg::Size Button::sizeThatFits(cg::Size size) const {
  cg::Size image = currentImage() ? currentImage()->size() : cg::Size{};
  cg::Size title = titleLabel_ && !titleLabel_->isHidden() ? titleLabel_->sizeThatFits(size) : cg::Size{};
  cg::Size bg = currentBackgroundImage() ? currentBackgroundImage()->size() : cg::Size{};
  double w = image.width + title.width + contentInsets_.left + contentInsets_.right;
  double h = std::max(image.height, title.height) + contentInsets_.top + contentInsets_.bottom;
  return {std::max(w, bg.width), std::max(h, bg.height)};
}

void Button::appendDumpAttributes(std::string& line) const {
  Control::appendDumpAttributes(line);
  if (auto t = currentTitle(); t && !t->empty()) line += ns::format(" title=\"%@\"", *t);
  if (auto i = currentImage()) line += " image=" + i->describeSource();
  if (auto bg = currentBackgroundImage()) line += " backgroundImage=" + bg->describeSource();
}

}  // namespace ui
