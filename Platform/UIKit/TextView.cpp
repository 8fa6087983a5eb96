#include "UIKit/TextView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "Graphics/Text.h"

namespace ui {

namespace {
// Room between the border and the text, as the platform's text view leaves.
constexpr double kTextInset = 8;
// How far a finger moves before a touch becomes a drag.
constexpr double kDragSlop = 10;
}  // namespace

TextView::TextView() : font_(Font::systemFontOfSize(12)) { setBackgroundColor(Color::whiteColor()); }

std::shared_ptr<TextView> TextView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<TextView>();
}

void TextView::setText(std::string text) {
  text_ = std::move(text);
  offset_ = 0;
  textChanged();
}

void TextView::textChanged() {
  layout_.reset();
  setNeedsDisplay();
}

void TextView::setContentInset(const cg::EdgeInsets& inset) {
  contentInset_ = inset;
  setNeedsDisplay();
}

cg::Rect TextView::textArea() const {
  cg::Rect b = bounds();
  const cg::EdgeInsets& in = contentInset_;
  return {b.x() + kTextInset + in.left, b.y() + kTextInset + in.top,
          std::max(0.0, b.width() - 2 * kTextInset - in.left - in.right),
          std::max(0.0, b.height() - 2 * kTextInset - in.top - in.bottom)};
}

const cg::TextLayout* TextView::textLayout() const {
  if (text_.empty()) return nullptr;
  cg::Rect area = textArea();
  if (!layout_ || layoutArea_ != area.size || layoutFont_ != font_->cgFont()) {
    // As much text as fills the area some screens over: a text of any length costs what the
    // view can scroll through, once.
    double height = kScreensLaidOut * std::max(area.height(), font_->lineHeight());
    layout_ = std::make_unique<cg::TextLayout>(text_, font_->cgFont(), cg::Size{area.width(), height},
                                               cg::LineBreakMode::WordWrap, cg::TextAlignment::Left);
    layoutArea_ = area.size;
    layoutFont_ = font_->cgFont();
  }
  return layout_.get();
}

double TextView::contentHeight() const {
  const cg::TextLayout* layout = textLayout();
  double text = layout ? layout->size().height : 0;
  return text + 2 * kTextInset + contentInset_.top + contentInset_.bottom;
}

double TextView::maximumContentOffsetY() const { return std::max(0.0, contentHeight() - bounds().height()); }

void TextView::setContentOffset(cg::Point offset) {
  if (offset.y == offset_) return;
  offset_ = offset.y;
  setNeedsDisplay();
}

void TextView::settle() { setContentOffset({0, std::clamp(offset_, 0.0, maximumContentOffsetY())}); }

void TextView::setFont(std::shared_ptr<Font> font) {
  if (!font) font = Font::systemFontOfSize(12);
  font_ = std::move(font);
  textChanged();
}

void TextView::setTextColor(Color color) {
  textColor_ = std::move(color);
  setNeedsDisplay();
}

bool TextView::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!View::becomeFirstResponder()) return false;
  auto keep = self<TextView>();
  if (auto d = delegate_.lock()) d->textViewDidBeginEditing(*this);
  return true;
}

bool TextView::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  View::resignFirstResponder();
  auto keep = self<TextView>();
  if (auto d = delegate_.lock()) d->textViewDidEndEditing(*this);
  return true;
}

void TextView::insert(const std::string& piece) {
  ns::Range at{ns::utf16Length(text_), 0};
  if (auto d = delegate_.lock(); d && !d->textViewShouldChangeTextInRangeReplacementText(*this, at, piece))
    return;
  text_ += piece;
  textChanged();
  if (auto d = delegate_.lock()) d->textViewDidChange(*this);
}

bool TextView::simulateTyping(const std::string& typed) {
  if (!editable_ || isHidden() || !isUserInteractionEnabled()) return false;
  if (!becomeFirstResponder()) return false;
  auto keep = self<TextView>();
  std::size_t at = 0;
  while (at < typed.size()) {
    std::size_t newline = typed.find('\n', at);
    if (newline == at) {
      insert("\n");
      ++at;
      continue;
    }
    std::size_t end = newline == std::string::npos ? typed.size() : newline;
    insert(typed.substr(at, end - at));
    at = end;
  }
  return true;
}

// The view keeps the touch for itself: a drag scrolls the text, lifting a touch that did not
// drag inside the view gives the view the keyboard.
void TextView::touchesBegan(const TouchSet& touches, const Event*) {
  if (touches.empty()) return;
  touchStart_ = touches.front()->locationInView(this);
  offsetAtTouch_ = offset_;
  dragging_ = false;
}

void TextView::touchesMoved(const TouchSet& touches, const Event*) {
  if (touches.empty() || !touchStart_) return;
  const double dy = touches.front()->locationInView(this).y - touchStart_->y;
  if (!dragging_ && std::abs(dy) < kDragSlop) return;
  dragging_ = true;
  const double max = maximumContentOffsetY();
  double offset = offsetAtTouch_ - dy;
  if (max == 0 && !alwaysBounceVertical_) {
    offset = 0;
  } else if (offset < 0 || offset > max) {
    // Past an end the text follows the finger at half its pace.
    const double end = offset < 0 ? 0 : max;
    offset = end + (offset - end) / 2;
  }
  setContentOffset({0, offset});
}

void TextView::touchesEnded(const TouchSet& touches, const Event*) {
  const bool dragged = dragging_;
  touchStart_.reset();
  dragging_ = false;
  if (dragged) {
    settle();
    return;
  }
  if (!touches.empty() && bounds().contains(touches.front()->locationInView(this))) becomeFirstResponder();
}

void TextView::touchesCancelled(const TouchSet&, const Event*) {
  touchStart_.reset();
  dragging_ = false;
  settle();
}

void TextView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  const cg::TextLayout* layout = ctx ? textLayout() : nullptr;
  if (!layout) return;
  cg::Rect b = bounds();
  // The text moved up by the offset; only the lines inside the view are drawn.
  cg::Rect area = textArea();
  ctx->saveGState();
  ctx->clipToRect(b);
  ctx->setFillColor(textColor_.cgColor());
  layout->draw(*ctx, {area.x(), area.y() - offset_}, b);
  ctx->restoreGState();
}

void TextView::appendDumpAttributes(std::string& line) const {
  line += ns::format(" text=\"%@\" font=%@ textColor=%@", text_, font_->describe(), textColor_.describe());
  if (!editable_) line += " notEditable";
  if (alwaysBounceVertical_) line += " bouncesVertically";
  if (offset_ != 0) line += ns::format(" contentOffset=%g", offset_);
  if (returnKeyType_ == ReturnKeyType::done) line += " returnKey=done";
  if (isFirstResponder()) line += " firstResponder";
}

}  // namespace ui
