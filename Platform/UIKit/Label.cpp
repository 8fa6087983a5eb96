#include "UIKit/Label.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/Context.h"

namespace ui {

Label::Label() : font_(Font::systemFontOfSize(Font::labelFontSize())) {
  setUserInteractionEnabled(false);
  setBackgroundColor(Color::whiteColor());
}

std::shared_ptr<Label> Label::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<Label>();
}

void Label::setText(std::string text) {
  text_ = std::move(text);
  setNeedsDisplay();
}

void Label::setFont(std::shared_ptr<Font> font) {
  font_ = font ? std::move(font) : Font::systemFontOfSize(Font::labelFontSize());
  setNeedsDisplay();
}

void Label::setTextColor(std::optional<Color> color) {
  textColor_ = color.value_or(Color::blackColor());
  setNeedsDisplay();
}

void Label::setShadowColor(std::optional<Color> color) {
  shadowColor_ = std::move(color);
  setNeedsDisplay();
}

void Label::setShadowOffset(cg::Size offset) {
  shadowOffset_ = offset;
  setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment) {
  alignment_ = alignment;
  setNeedsDisplay();
}

void Label::setNumberOfLines(int lines) {
  numberOfLines_ = std::max(0, lines);
  setNeedsDisplay();
}

void Label::setLineBreakMode(LineBreakMode mode) {
  lineBreakMode_ = mode;
  setNeedsDisplay();
}

void Label::setEnabled(bool enabled) {
  enabled_ = enabled;
  setNeedsDisplay();
}

cg::Size Label::textSize(cg::Size box) const {
  if (text_.empty()) return {0, 0};
  if (numberOfLines_ > 0) box.height = std::min(box.height, numberOfLines_ * font_->lineHeight());
  // A single line never wraps: it is measured at full length and cut to the box.
  if (numberOfLines_ == 1) {
    cg::Size one = cg::measureText(text_, font_->cgFont(), box.width);
    return {std::min(one.width, box.width), std::min(one.height, std::ceil(font_->lineHeight()))};
  }
  return cg::measureText(text_, font_->cgFont(), box, lineBreakMode_);
}

cg::Rect Label::textRectForBounds(const cg::Rect& b) const {
  cg::Size s = textSize(b.size);
  return {b.x(), b.y() + std::floor((b.height() - s.height) / 2), b.width(), s.height};
}

cg::Size Label::sizeThatFits(cg::Size size) const {
  if (numberOfLines_ == 1) return textSize({1e9, 1e9});
  return textSize({size.width > 0 ? size.width : 1e9, 1e9});
}

void Label::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx || text_.empty()) return;
  cg::Rect r = textRectForBounds(bounds());
  // Enough height for the lines measured; the drawing mode decides where to cut.
  cg::LineBreakMode mode = lineBreakMode_;
  if (shadowColor_) {
    ctx->saveGState();
    ctx->setFillColor(shadowColor_->cgColor());
    cg::drawText(*ctx, text_, r.offsetBy(shadowOffset_.width, shadowOffset_.height), font_->cgFont(), mode,
                 alignment_);
    ctx->restoreGState();
  }
  ctx->saveGState();
  cg::Color c = textColor_.cgColor();
  if (!enabled_) c.alpha *= 0.44;
  ctx->setFillColor(c);
  cg::drawText(*ctx, text_, r, font_->cgFont(), mode, alignment_);
  ctx->restoreGState();
}

std::optional<cg::Rect> Label::contentExtent() const {
  if (text_.empty()) return std::nullopt;
  const cg::Rect b = bounds();
  // Text keeps at least one line's height however short its label: measured only then.
  cg::Rect r = std::ceil(font_->lineHeight()) > b.height() ? textRectForBounds(b).unionWith(b) : b;
  if (shadowColor_) r = r.unionWith(r.offsetBy(shadowOffset_.width, shadowOffset_.height));
  if (r == b) return std::nullopt;
  return r;
}

void Label::appendDumpAttributes(std::string& line) const {
  line += ns::format(" text=\"%@\" font=%@ textColor=%@", text_, font_->describe(), textColor_.describe());
  if (numberOfLines_ != 1) line += ns::format(" lines=%d", numberOfLines_);
  if (alignment_ == TextAlignment::Center) line += " center";
  if (alignment_ == TextAlignment::Right) line += " right";
  if (shadowColor_) line += ns::format(" shadow=%@", shadowColor_->describe());
}

}  // namespace ui
