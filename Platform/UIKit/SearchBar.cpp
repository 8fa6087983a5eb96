#include "UIKit/SearchBar.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "Graphics/Layer.h"
#include "Graphics/Text.h"
#include "UIKit/Control.h"
#include "UIKit/Font.h"
#include "UIKit/ViewDump.h"

namespace ui {

namespace {
constexpr double kFieldInset = 4;
constexpr double kFieldHeight = 30;
// Room at the field's left for the magnifier glyph.
constexpr double kGlyphWidth = 26;
constexpr double kFontSize = 14;
}  // namespace

SearchBar::SearchBar() { setOpaque(false); }

std::shared_ptr<SearchBar> SearchBar::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<SearchBar>();
}

void SearchBar::setText(std::string text) {
  edited_.setText(std::move(text));
  keepCaretInView();
  setNeedsDisplay();
}

void SearchBar::setPlaceholder(std::string placeholder) {
  placeholder_ = std::move(placeholder);
  setNeedsDisplay();
}

void SearchBar::setSearchFieldBackgroundImage(std::shared_ptr<Image> image, unsigned state) {
  fieldBackgrounds_[state] = std::move(image);
  setNeedsDisplay();
}

std::shared_ptr<Image> SearchBar::searchFieldBackgroundImageForState(unsigned state) const {
  if (auto it = fieldBackgrounds_.find(state); it != fieldBackgrounds_.end() && it->second) return it->second;
  auto it = fieldBackgrounds_.find(ControlStateNormal);
  return it == fieldBackgrounds_.end() ? nullptr : it->second;
}

void SearchBar::setShowsBarBackground(bool shows) {
  showsBarBackground_ = shows;
  setNeedsDisplay();
}

void SearchBar::setSearchFieldTextColor(Color color) {
  fieldTextColor_ = std::move(color);
  setNeedsDisplay();
}

cg::Rect SearchBar::searchFieldRect() const {
  cg::Rect b = bounds();
  double h = std::min(b.height(), kFieldHeight);
  return {b.x() + kFieldInset, b.y() + std::floor((b.height() - h) / 2),
          std::max(0.0, b.width() - 2 * kFieldInset), h};
}

bool SearchBar::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!View::becomeFirstResponder()) return false;
  setNeedsDisplay();
  auto keep = self<SearchBar>();
  if (auto d = delegate_.lock()) d->searchBarTextDidBeginEditing(*this);
  return true;
}

bool SearchBar::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  View::resignFirstResponder();
  scroll_ = 0;
  setNeedsDisplay();
  auto keep = self<SearchBar>();
  if (auto d = delegate_.lock()) d->searchBarTextDidEndEditing(*this);
  return true;
}

bool SearchBar::simulateTyping(const std::string& typed) {
  if (isHidden() || !isUserInteractionEnabled()) return false;
  if (!becomeFirstResponder()) return false;
  return insertText(typed);
}

bool SearchBar::insertText(const std::string& text) {
  if (!isFirstResponder()) return false;
  auto keep = self<SearchBar>();
  edited_.replace(edited_.caret(), edited_.caret(), text);
  keepCaretInView();
  setNeedsDisplay();
  if (auto d = delegate_.lock()) d->searchBarTextDidChange(*this, edited_.text());
  return true;
}

bool SearchBar::cut(std::size_t from, std::size_t to) {
  if (!isFirstResponder() || from == to) return false;
  auto keep = self<SearchBar>();
  edited_.replace(from, to, "");
  keepCaretInView();
  setNeedsDisplay();
  if (auto d = delegate_.lock()) d->searchBarTextDidChange(*this, edited_.text());
  return true;
}

bool SearchBar::deleteBackward() { return cut(edited_.previousPosition(), edited_.caret()); }

bool SearchBar::deleteForward() { return cut(edited_.caret(), edited_.nextPosition()); }

bool SearchBar::moveCaret(CaretMove move) {
  if (!isFirstResponder()) return false;
  const std::size_t before = edited_.caret();
  edited_.move(move);
  if (edited_.caret() == before) return true;
  keepCaretInView();
  setNeedsDisplay();
  return true;
}

bool SearchBar::simulateSearchKey() {
  if (!isFirstResponder()) return false;
  auto keep = self<SearchBar>();
  if (auto d = delegate_.lock()) d->searchBarSearchButtonClicked(*this);
  return true;
}

// The bar keeps the touch for itself; lifting it inside gives the bar the keyboard.
void SearchBar::touchesBegan(const TouchSet&, const Event*) {}

void SearchBar::touchesEnded(const TouchSet& touches, const Event*) {
  if (touches.empty()) return;
  const cg::Point at = touches.front()->locationInView(this);
  // The caret goes between the characters nearest the touch, in the text as it showed.
  const double scroll = textScroll();
  if (!bounds().contains(at) || !becomeFirstResponder()) return;
  const cg::Rect r = textRect();
  edited_.setCaret(placedCaret(edited_.text(), Font::systemFontOfSize(kFontSize)->cgFont(),
                               {at.x - r.x() + scroll, r.height() / 2}));
  keepCaretInView();
  setNeedsDisplay();
}

cg::Rect SearchBar::textRect() const {
  const cg::Rect field = searchFieldRect();
  const double lineHeight = std::ceil(Font::systemFontOfSize(kFontSize)->lineHeight());
  return {field.x() + kGlyphWidth, field.y() + std::floor((field.height() - lineHeight) / 2),
          std::max(0.0, field.width() - kGlyphWidth - 6), lineHeight};
}

double SearchBar::textScroll() const {
  if (!isFirstResponder()) return 0;
  return scrolledToCaret(edited_.text(), Font::systemFontOfSize(kFontSize)->cgFont(), edited_.caret(),
                         textRect().width(), scroll_);
}

void SearchBar::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect b = bounds();
  if (showsBarBackground_) {
    cg::Gradient g{{cg::Color::white(0.78), cg::Color::white(0.62)}, {}};
    ctx->saveGState();
    ctx->clipToRect(b);
    ctx->drawLinearGradient(g, {b.x(), b.y()}, {b.x(), b.maxY()});
    ctx->restoreGState();
  }
  cg::Rect field = searchFieldRect();
  if (auto image = searchFieldBackgroundImageForState(ControlStateNormal)) {
    image->drawInRect(field);
  } else {
    cg::Path outline = cg::Path::roundedRect(field.insetBy(0.5, 0.5), field.height() / 2);
    ctx->setFillColor(cg::Color::white(1));
    ctx->fillPath(outline);
    ctx->setStrokeColor(cg::Color::white(0.6));
    ctx->setLineWidth(1);
    ctx->strokePath(outline);
  }
  // The magnifier: a ring and its handle.
  double r = 4.5, cx = field.x() + 12, cy = field.midY() - 1;
  ctx->setStrokeColor(cg::Color::white(0.45));
  ctx->setLineWidth(1.5);
  ctx->strokeEllipseInRect({cx - r, cy - r, 2 * r, 2 * r});
  ctx->beginPath();
  ctx->moveTo({cx + r * 0.7, cy + r * 0.7});
  ctx->addLineTo({cx + r * 1.6, cy + r * 1.6});
  ctx->strokePath();

  auto font = Font::systemFontOfSize(kFontSize);
  const std::string& text = edited_.text();
  bool empty = text.empty();
  const std::string& shown = empty ? placeholder_ : text;
  const cg::Rect textRect = this->textRect();
  ctx->saveGState();
  ctx->clipToRect(field);
  if (isFirstResponder() && !empty) {
    // Editing, the line scrolls under the field to keep the caret in view: it is cut at the text's
    // edges (and half a caret beyond), not short of the end.
    const double scroll = textScroll();
    ctx->clipToRect({textRect.x() - 1, field.y(), textRect.width() + 2, field.height()});
    ctx->setFillColor(fieldTextColor_.cgColor());
    cg::drawText(*ctx, text, {textRect.x() - scroll, textRect.y()}, font->cgFont());
    if (isCaretBlinkOn()) {
      const double x = caretOffset(text, font->cgFont(), edited_.caret()) - scroll;
      drawCaret(*ctx, {textRect.x() + x, textRect.y(), 0, textRect.height()});
    }
  } else {
    if (!shown.empty()) {
      ctx->setFillColor(empty ? cg::Color::white(0.7) : fieldTextColor_.cgColor());
      cg::drawText(*ctx, shown, textRect, font->cgFont(), cg::LineBreakMode::TruncateTail,
                   cg::TextAlignment::Left);
    }
    if (isFirstResponder() && isCaretBlinkOn())
      drawCaret(*ctx, {textRect.x(), textRect.y(), 0, textRect.height()});
  }
  ctx->restoreGState();
}

void SearchBar::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  line += ns::format(" text=\"%@\"", edited_.text());
  if (!placeholder_.empty()) line += ns::format(" placeholder=\"%@\"", placeholder_);
  if (auto image = searchFieldBackgroundImageForState(ControlStateNormal))
    line += " fieldBackground=" + image->describeSource();
  if (!showsBarBackground_) line += " noBarBackground";
  line += " fieldTextColor=" + fieldTextColor_.describe();
  if (isFirstResponder()) line += " firstResponder";
}

}  // namespace ui
