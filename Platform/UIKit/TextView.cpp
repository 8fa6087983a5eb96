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
  edited_.setText(std::move(text));
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
  if (edited_.text().empty()) return nullptr;
  cg::Rect area = textArea();
  if (!layout_ || layoutArea_ != area.size || layoutFont_ != font_->cgFont()) {
    // As much text as fills the area some screens over: a text of any length costs what the
    // view can scroll through, once.
    double height = kScreensLaidOut * std::max(area.height(), font_->lineHeight());
    layout_ =
        std::make_unique<cg::TextLayout>(edited_.text(), font_->cgFont(), cg::Size{area.width(), height},
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
  // The caret shows where typing goes: in a long text, at its end, the text scrolls to it.
  scrollToCaret();
  setNeedsDisplay();
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

bool TextView::change(std::size_t from, std::size_t to, const std::string& piece) {
  if (auto d = delegate_.lock();
      d && !d->textViewShouldChangeTextInRangeReplacementText(*this, {from, to - from}, piece))
    return false;
  edited_.replace(from, to, piece);
  textChanged();
  scrollToCaret();
  if (auto d = delegate_.lock()) d->textViewDidChange(*this);
  return true;
}

bool TextView::insertText(const std::string& text) {
  if (!isFirstResponder()) return false;
  auto keep = self<TextView>();
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t newline = text.find('\n', at);
    std::size_t end = newline == at ? at + 1 : newline == std::string::npos ? text.size() : newline;
    change(edited_.caret(), edited_.caret(), text.substr(at, end - at));
    at = end;
  }
  return true;
}

bool TextView::deleteBackward() {
  if (!isFirstResponder() || edited_.caret() == 0) return false;
  auto keep = self<TextView>();
  return change(edited_.previousPosition(), edited_.caret(), "");
}

bool TextView::deleteForward() {
  const std::size_t next = edited_.nextPosition();
  if (!isFirstResponder() || next == edited_.caret()) return false;
  auto keep = self<TextView>();
  return change(edited_.caret(), next, "");
}

bool TextView::moveCaret(CaretMove move) {
  if (!isFirstResponder()) return false;
  const bool toLineEnd = move == CaretMove::lineStart || move == CaretMove::lineEnd;
  if (!toLineEnd) {
    edited_.move(move);
  } else if (const cg::TextLayout* layout = textLayout()) {
    // Home and End keep to the wrapped line the caret is on.
    auto [start, end] = layout->lineBounds(edited_.caret());
    edited_.setCaret(move == CaretMove::lineStart ? start : end);
  }
  setNeedsDisplay();
  scrollToCaret();
  return true;
}

cg::Rect TextView::caretRect() const {
  const cg::TextLayout* layout = textLayout();
  if (!layout) return {0, 0, 0, font_->lineHeight()};
  return layout->caretRect(edited_.caret());
}

void TextView::scrollToCaret() {
  const cg::Rect caret = caretRect();
  const cg::Rect area = textArea();
  double offset = offset_;
  if (caret.maxY() - offset > area.height()) offset = caret.maxY() - area.height();
  if (caret.y() < offset) offset = caret.y();
  setContentOffset({0, std::clamp(offset, 0.0, maximumContentOffsetY())});
}

bool TextView::simulateTyping(const std::string& typed) {
  if (!editable_ || isHidden() || !isUserInteractionEnabled()) return false;
  if (!becomeFirstResponder()) return false;
  return insertText(typed);
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
  if (touches.empty()) return;
  const cg::Point at = touches.front()->locationInView(this);
  if (!bounds().contains(at)) return;
  // The caret goes between the characters nearest the touch; under the last line, after them all.
  // It is placed before the view takes the keyboard, so that the text does not scroll away from it.
  const std::size_t before = edited_.caret();
  const cg::Rect area = textArea();
  const cg::Point inText{at.x - area.x(), at.y - area.y() + offset_};
  if (const cg::TextLayout* layout = textLayout(); layout && inText.y < layout->size().height)
    edited_.setCaret(layout->positionAtPoint(inText));
  else
    edited_.setCaretToEnd();
  if (!becomeFirstResponder()) {
    edited_.setCaret(before);
    return;
  }
  scrollToCaret();
  setNeedsDisplay();
}

void TextView::touchesCancelled(const TouchSet&, const Event*) {
  touchStart_.reset();
  dragging_ = false;
  settle();
}

void TextView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  const cg::TextLayout* layout = textLayout();
  const bool caret = isFirstResponder() && isCaretBlinkOn();
  if (!layout && !caret) return;
  cg::Rect b = bounds();
  // The text moved up by the offset; only the lines inside the view are drawn.
  cg::Rect area = textArea();
  ctx->saveGState();
  ctx->clipToRect(b);
  ctx->setFillColor(textColor_.cgColor());
  if (layout) layout->draw(*ctx, {area.x(), area.y() - offset_}, b);
  if (caret) drawCaret(*ctx, caretRect().offsetBy(area.x(), area.y() - offset_));
  ctx->restoreGState();
}

void TextView::appendDumpAttributes(std::string& line) const {
  line += ns::format(" text=\"%@\" font=%@ textColor=%@", edited_.text(), font_->describe(),
                     textColor_.describe());
  if (!editable_) line += " notEditable";
  if (alwaysBounceVertical_) line += " bouncesVertically";
  if (offset_ != 0) line += ns::format(" contentOffset=%g", offset_);
  if (returnKeyType_ == ReturnKeyType::done) line += " returnKey=done";
  if (isFirstResponder()) line += " firstResponder";
}

}  // namespace ui
