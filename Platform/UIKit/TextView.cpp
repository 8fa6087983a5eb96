#include "UIKit/TextView.h"

#include <algorithm>

#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "Graphics/Text.h"

namespace ui {

namespace {
// Room between the border and the text, as the platform's text view leaves.
constexpr double kTextInset = 8;
}  // namespace

TextView::TextView() : font_(Font::systemFontOfSize(12)) { setBackgroundColor(Color::whiteColor()); }

std::shared_ptr<TextView> TextView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<TextView>();
}

void TextView::setText(std::string text) {
  text_ = std::move(text);
  setNeedsDisplay();
}

void TextView::setFont(std::shared_ptr<Font> font) {
  if (!font) font = Font::systemFontOfSize(12);
  font_ = std::move(font);
  setNeedsDisplay();
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
  setNeedsDisplay();
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

// The view keeps the touch for itself; lifting it inside gives the view the keyboard.
void TextView::touchesBegan(const TouchSet&, const Event*) {}

void TextView::touchesEnded(const TouchSet& touches, const Event*) {
  if (!touches.empty() && bounds().contains(touches.front()->locationInView(this))) becomeFirstResponder();
}

void TextView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx || text_.empty()) return;
  cg::Rect b = bounds();
  const cg::EdgeInsets& in = contentInset_;
  cg::Rect area(b.x() + kTextInset + in.left, b.y() + kTextInset + in.top,
                std::max(0.0, b.width() - 2 * kTextInset - in.left - in.right),
                std::max(0.0, b.height() - 2 * kTextInset - in.top - in.bottom));
  ctx->saveGState();
  ctx->clipToRect(b);
  ctx->setFillColor(textColor_.cgColor());
  cg::drawText(*ctx, text_, area, font_->cgFont(), cg::LineBreakMode::WordWrap, cg::TextAlignment::Left);
  ctx->restoreGState();
}

void TextView::appendDumpAttributes(std::string& line) const {
  line += ns::format(" text=\"%@\" font=%@ textColor=%@", text_, font_->describe(), textColor_.describe());
  if (!editable_) line += " notEditable";
  if (alwaysBounceVertical_) line += " bouncesVertically";
  if (returnKeyType_ == ReturnKeyType::done) line += " returnKey=done";
  if (isFirstResponder()) line += " firstResponder";
}

}  // namespace ui
