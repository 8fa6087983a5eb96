#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "Foundation/String.h"
#include "Graphics/Context.h"
#include "Graphics/Font.h"
#include "Graphics/Geometry.h"

namespace ui {

class View;

enum class CaretMove { left, right, lineStart, lineEnd };

// What the keys do to the text input that holds the keyboard (search fields, text views, a web
// page's fields): text goes in at the caret, the delete keys take the character before or after
// it, the arrows and Home/End move it, and Return is the input's own return. Each operation is
// false when the input has no keyboard (or nothing to do). Caret positions count UTF-16 units.
class TextInput {
 public:
  virtual ~TextInput() = default;
  virtual bool insertText(const std::string& text) = 0;
  virtual bool deleteBackward() = 0;
  virtual bool deleteForward() = 0;
  virtual bool moveCaret(CaretMove move) = 0;
  virtual bool returnKey() = 0;
  virtual std::size_t caretPosition() const = 0;
  // Whether a caret shows in the input now that it holds the keyboard.
  virtual bool showsCaret() const = 0;
  // Has what shows the caret drawn again (the caret blinked).
  virtual void setNeedsCaretDisplay() = 0;
};

// The text input holding the keyboard, as a view: the one whose caret blinks. Main thread only.
std::shared_ptr<View> currentTextInput();

// Whether the blinking insertion caret of the text input that has the keyboard shows at this
// moment. The window turns it on and off; headless it stays on, so that pictures show where
// typing goes. Main thread only.
bool isCaretBlinkOn();
void setCaretBlinkOn(bool on);
// The caret every input draws: `at` is a zero-wide rect a line high where the text will go; the
// caret stands centred on it, in the gap between the characters.
void drawCaret(cg::Context& context, const cg::Rect& at);

// For inputs of one line: how far from the text's start the caret at a position stands, and the
// position nearest a point (from the text's top left) in the text drawn on one line in the font.
double caretOffset(std::string_view text, const cg::Font& font, std::size_t position);
std::size_t placedCaret(std::string_view text, const cg::Font& font, cg::Point point);
// How far a one-line input shown `width` wide moves its text left so that the caret stays in view,
// as a device's field does: the scroll it had, changed as little as brings the caret inside, and
// never so far that room is left after the text's end. Draw the text that far left, clipped to the
// width widened by half a caret either side, and add it to a touch's x before placing the caret.
double scrolledToCaret(std::string_view text, const cg::Font& font, std::size_t caret, double width,
                       double scroll);

// A text and a caret in it, edited a whole user-perceived character at a time.
class EditedText {
 public:
  const std::string& text() const { return text_; }
  std::size_t caret() const { return caret_; }
  // A new text puts the caret at its end.
  void setText(std::string text);
  void setCaret(std::size_t caret);
  void setCaretToEnd() { caret_ = ns::utf16Length(text_); }
  // The range, in UTF-16 units, the delete keys would take: empty at the ends.
  std::size_t previousPosition() const;
  std::size_t nextPosition() const;
  // Puts `piece` over the units [from, to) and the caret after it.
  void replace(std::size_t from, std::size_t to, std::string_view piece);
  // Moves the caret as in one line of text: a character either way, or to either end.
  void move(CaretMove move);

 private:
  std::string text_;
  std::size_t caret_ = 0;
};

}  // namespace ui
