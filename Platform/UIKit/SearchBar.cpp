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
bool caretBlinkOn = true;
}  // namespace

bool isCaretBlinkOn() { return caretBlinkOn; }
void setCaretBlinkOn(bool on) {
  if (on == caretBlinkOn) return;
  caretBlinkOn = on;
  // The caret is drawn by the field that holds the keyboard, and by nothing else.
  if (auto field = std::dynamic_pointer_cast<SearchBar>(Responder::currentFirstResponder()))
    field->setNeedsDisplay();
  cg::noteDisplayChange();
}

SearchBar::SearchBar() { setOpaque(false); }

std::shared_ptr<SearchBar> SearchBar::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<SearchBar>();
}

void SearchBar::setText(std::string text) {
  text_ = std::move(text);
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
  setNeedsDisplay();
  auto keep = self<SearchBar>();
  if (auto d = delegate_.lock()) d->searchBarTextDidEndEditing(*this);
  return true;
}

bool SearchBar::simulateTyping(const std::string& typed) {
  if (isHidden() || !isUserInteractionEnabled()) return false;
  if (!becomeFirstResponder()) return false;
  auto keep = self<SearchBar>();
  text_ += typed;
  setNeedsDisplay();
  if (auto d = delegate_.lock()) d->searchBarTextDidChange(*this, text_);
  return true;
}

bool SearchBar::simulateDeleteBackward() {
  if (!isFirstResponder() || text_.empty()) return false;
  auto keep = self<SearchBar>();
  std::size_t cut = text_.size() - 1;
  while (cut > 0 && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80) --cut;
  text_.erase(cut);
  setNeedsDisplay();
  if (auto d = delegate_.lock()) d->searchBarTextDidChange(*this, text_);
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
  if (!touches.empty() && bounds().contains(touches.front()->locationInView(this))) becomeFirstResponder();
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
  bool empty = text_.empty();
  const std::string& shown = empty ? placeholder_ : text_;
  cg::Rect textRect(field.x() + kGlyphWidth, field.y(), std::max(0.0, field.width() - kGlyphWidth - 6),
                    field.height());
  double lineHeight = std::ceil(font->lineHeight());
  textRect = {textRect.x(), textRect.y() + std::floor((textRect.height() - lineHeight) / 2), textRect.width(),
              lineHeight};
  ctx->saveGState();
  ctx->clipToRect(field);
  double drawnWidth = 0;
  if (!shown.empty()) {
    ctx->setFillColor(empty ? cg::Color::white(0.7) : fieldTextColor_.cgColor());
    drawnWidth = cg::drawText(*ctx, shown, textRect, font->cgFont(), cg::LineBreakMode::TruncateTail,
                              cg::TextAlignment::Left)
                     .width;
  }
  // The caret at the insertion point, the end of the text (the start when there is none).
  if (isFirstResponder() && isCaretBlinkOn()) {
    double x = textRect.x() + (empty ? 0 : std::min(drawnWidth, textRect.width()));
    ctx->setFillColor(cg::Color::rgba(0.26, 0.42, 0.95));
    ctx->fillRect({x, textRect.y(), 2, textRect.height()});
  }
  ctx->restoreGState();
}

void SearchBar::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  line += ns::format(" text=\"%@\"", text_);
  if (!placeholder_.empty()) line += ns::format(" placeholder=\"%@\"", placeholder_);
  if (auto image = searchFieldBackgroundImageForState(ControlStateNormal))
    line += " fieldBackground=" + image->describeSource();
  if (!showsBarBackground_) line += " noBarBackground";
  line += " fieldTextColor=" + fieldTextColor_.describe();
  if (isFirstResponder()) line += " firstResponder";
}

}  // namespace ui
