#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/String.h"
#include "UIKit/Color.h"
#include "UIKit/Font.h"
#include "UIKit/TextInput.h"
#include "UIKit/View.h"

namespace ui {

class TextView;

enum class ReturnKeyType { defaultKey = 0, go = 1, search = 6, send = 7, done = 9 };

// Told what the user does in a text view; every operation has an empty default.
class TextViewDelegate {
 public:
  virtual ~TextViewDelegate() = default;
  virtual void textViewDidBeginEditing(TextView&) {}
  virtual void textViewDidEndEditing(TextView&) {}
  // Asked before every change the user types (a character run, or "\n" for the return key);
  // false keeps the text as it is. The range counts UTF-16 code units.
  virtual bool textViewShouldChangeTextInRangeReplacementText(TextView&, ns::Range, const std::string&) {
    return true;
  }
  virtual void textViewDidChange(TextView&) {}
};

// An editable block of text, wrapped to its width. A touch makes it first responder, which brings
// up the keyboard, and puts the caret where it falls; a new text puts it at the end. Every change
// the keys make (typing, the delete keys, the return key's "\n") goes through the delegate, and
// the text scrolls to keep the caret in view.
class TextView : public View, public TextInput {
 public:
  TextView();
  std::shared_ptr<TextView> initWithFrame(const cg::Rect& frame);

  const std::string& text() const { return edited_.text(); }
  // Replaces the text without asking the delegate.
  void setText(std::string text);
  const std::shared_ptr<Font>& font() const { return font_; }
  void setFont(std::shared_ptr<Font> font);
  const Color& textColor() const { return textColor_; }
  void setTextColor(Color color);
  bool isEditable() const { return editable_; }
  void setEditable(bool editable) { editable_ = editable; }
  // Space kept clear around the text, on top of the view's own margin.
  const cg::EdgeInsets& contentInset() const { return contentInset_; }
  void setContentInset(const cg::EdgeInsets& inset);
  // A read-only text still bounces when dragged, however short it is.
  bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
  void setAlwaysBounceVertical(bool bounces) { alwaysBounceVertical_ = bounces; }

  // A text taller than the view scrolls under a finger dragged up or down: the offset is how far
  // the text has moved up. A drag may pull past either end (short texts too when the view always
  // bounces); on release the text rests within its ends. A new text starts at the top.
  cg::Point contentOffset() const { return {0, offset_}; }
  void setContentOffset(cg::Point offset);
  // The text's height with its margins and insets. A text longer than kScreensLaidOut times the
  // text area can hold is laid out, and scrolls, only that far.
  double contentHeight() const;
  static constexpr double kScreensLaidOut = 20;
  double maximumContentOffsetY() const;
  ReturnKeyType returnKeyType() const { return returnKeyType_; }
  void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }
  std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<TextViewDelegate> delegate) { delegate_ = std::move(delegate); }

  bool canBecomeFirstResponder() const override { return editable_; }
  bool showsKeyboard() const override { return true; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;

  // The user types at the caret: the view takes the keyboard if it has not, and each run of
  // characters and each "\n" (the return key) is offered to the delegate in turn. False when the
  // view cannot take the keyboard (not editable, hidden, not interactive).
  bool simulateTyping(const std::string& typed);
  // The return key: "\n" offered as above.
  bool simulateReturnKey() { return simulateTyping("\n"); }

  bool insertText(const std::string& text) override;
  bool deleteBackward() override;
  bool deleteForward() override;
  // Home and End go to the ends of the line the caret is on, as it is wrapped.
  bool moveCaret(CaretMove move) override;
  bool returnKey() override { return simulateReturnKey(); }
  std::size_t caretPosition() const override { return edited_.caret(); }
  bool showsCaret() const override { return isFirstResponder(); }
  void setNeedsCaretDisplay() override { setNeedsDisplay(); }

  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesMoved(const TouchSet& touches, const Event* event) override;
  void touchesEnded(const TouchSet& touches, const Event* event) override;
  void touchesCancelled(const TouchSet& touches, const Event* event) override;
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  // Offers the delegate `piece` for the units [from, to); false when it refuses.
  bool change(std::size_t from, std::size_t to, const std::string& piece);
  // The caret in the text area's coordinates, before the offset.
  cg::Rect caretRect() const;
  void scrollToCaret();
  cg::Rect textArea() const;
  // The text laid out in the text area's width, made again only when the text, the font or the
  // area's size has changed since.
  const cg::TextLayout* textLayout() const;
  void textChanged();
  // Brings the offset back within the text's ends.
  void settle();

  EditedText edited_;
  std::shared_ptr<Font> font_;
  Color textColor_ = Color::blackColor();
  std::weak_ptr<TextViewDelegate> delegate_;
  ReturnKeyType returnKeyType_ = ReturnKeyType::defaultKey;
  bool editable_ = true;
  bool alwaysBounceVertical_ = false;
  cg::EdgeInsets contentInset_{};
  double offset_ = 0;
  mutable std::unique_ptr<cg::TextLayout> layout_;
  mutable cg::Size layoutArea_;
  mutable std::optional<cg::Font> layoutFont_;
  // A finger down on the view: where it went down (view coordinates), the offset then, and
  // whether it has moved far enough to be a drag.
  std::optional<cg::Point> touchStart_;
  double offsetAtTouch_ = 0;
  bool dragging_ = false;
};

}  // namespace ui
