#include "UIKit/TextInput.h"

#include <algorithm>
#include <cmath>

#include "Foundation/String.h"
#include "Graphics/Layer.h"
#include "Graphics/Text.h"
#include "UIKit/View.h"

namespace ui {

namespace {
bool caretBlinkOn = true;
constexpr double kCaretWidth = 2;
}  // namespace

std::shared_ptr<View> currentTextInput() {
  auto view = std::dynamic_pointer_cast<View>(Responder::currentFirstResponder());
  auto* input = dynamic_cast<TextInput*>(view.get());
  return input && input->showsCaret() ? view : nullptr;
}

namespace {
TextInput* currentCaretInput() {
  auto view = currentTextInput();
  return dynamic_cast<TextInput*>(view.get());
}
}  // namespace

bool isCaretBlinkOn() { return caretBlinkOn; }

void setCaretBlinkOn(bool on) {
  if (on == caretBlinkOn) return;
  caretBlinkOn = on;
  // The caret is drawn by the input that holds the keyboard, and by nothing else.
  if (TextInput* input = currentCaretInput()) input->setNeedsCaretDisplay();
  cg::noteDisplayChange();
}

void drawCaret(cg::Context& context, const cg::Rect& at) {
  context.setFillColor(cg::Color::rgba(0.26, 0.42, 0.95));
  context.fillRect({std::floor(at.x() + 0.5) - kCaretWidth / 2, at.y(), kCaretWidth, at.height()});
}

namespace {
// One line, as long as it is.
cg::TextLayout oneLine(std::string_view text, const cg::Font& font) {
  return cg::TextLayout(text, font, {1e6, 1e6}, cg::LineBreakMode::Clip, cg::TextAlignment::Left);
}
}  // namespace

double caretOffset(std::string_view text, const cg::Font& font, std::size_t position) {
  if (text.empty() || position == 0) return 0;
  return oneLine(text, font).caretRect(position).x();
}

std::size_t placedCaret(std::string_view text, const cg::Font& font, cg::Point point) {
  if (text.empty()) return 0;
  return oneLine(text, font).positionAtPoint(point);
}

double scrolledToCaret(std::string_view text, const cg::Font& font, std::size_t caret, double width,
                       double scroll) {
  if (text.empty()) return 0;
  const double at = caretOffset(text, font, caret);
  const double end = caretOffset(text, font, ns::utf16Length(text));
  if (at > scroll + width) scroll = at - width;
  if (at < scroll) scroll = at;
  return std::clamp(scroll, 0.0, std::max(0.0, end - width));
}

void EditedText::setText(std::string text) {
  text_ = std::move(text);
  setCaretToEnd();
}

void EditedText::setCaret(std::size_t caret) {
  caret = std::min(caret, ns::utf16Length(text_));
  // Never between the halves of a pair.
  caret_ = ns::utf16Length(ns::substringToIndex(text_, caret));
}

// The delete keys and the arrows take a whole user-perceived character: a flag, an emoji with its
// modifier, a letter with its accents.
std::size_t EditedText::previousPosition() const {
  if (caret_ == 0) return 0;
  return ns::rangeOfComposedCharacterSequenceAtIndex(text_, caret_ - 1).location;
}

std::size_t EditedText::nextPosition() const {
  return ns::rangeOfComposedCharacterSequenceAtIndex(text_, caret_).max();
}

void EditedText::replace(std::size_t from, std::size_t to, std::string_view piece) {
  const std::size_t length = ns::utf16Length(text_);
  to = std::min(to, length);
  from = std::min(from, to);
  text_ = ns::substringToIndex(text_, from) + std::string(piece) + ns::substringFromIndex(text_, to);
  setCaret(ns::utf16Length(ns::substringToIndex(text_, from)) + ns::utf16Length(piece));
}

void EditedText::move(CaretMove move) {
  switch (move) {
    case CaretMove::left:
      setCaret(previousPosition());
      break;
    case CaretMove::right:
      setCaret(nextPosition());
      break;
    case CaretMove::lineStart:
      setCaret(0);
      break;
    case CaretMove::lineEnd:
      setCaretToEnd();
      break;
  }
}

}  // namespace ui
