#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "UIKit/Image.h"
#include "UIKit/TextInput.h"
#include "UIKit/View.h"

namespace ui {

class SearchBar;

// Told what the user does in a search bar; every operation has an empty default.
class SearchBarDelegate {
 public:
  virtual ~SearchBarDelegate() = default;
  virtual void searchBarTextDidBeginEditing(SearchBar&) {}
  virtual void searchBarTextDidEndEditing(SearchBar&) {}
  // After the user changed the text (not after setText).
  virtual void searchBarTextDidChange(SearchBar&, const std::string&) {}
  // The keyboard's search key.
  virtual void searchBarSearchButtonClicked(SearchBar&) {}
};

// A text field for a query over an optional bar background. A touch makes it first responder,
// which brings up the keyboard, and puts the caret where it falls in the text; a new text puts
// it at the end. While the bar has the keyboard, a text wider than the field scrolls sideways to
// keep the caret in view; without it, the text shows from its start. Typing and the search key are simulated
// (tests, scripts, the window's keyboard). The field's background image and text colour are plain properties,
// as is whether the bar's own background is drawn.
class SearchBar : public View, public TextInput {
 public:
  SearchBar();
  std::shared_ptr<SearchBar> initWithFrame(const cg::Rect& frame);

  const std::string& text() const { return edited_.text(); }
  // Replaces the text without telling the delegate.
  void setText(std::string text);
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string placeholder);
  std::shared_ptr<SearchBarDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<SearchBarDelegate> delegate) { delegate_ = std::move(delegate); }

  // Per control state; the normal state's image stands in for a state without one.
  void setSearchFieldBackgroundImage(std::shared_ptr<Image> image, unsigned state);
  std::shared_ptr<Image> searchFieldBackgroundImageForState(unsigned state) const;
  // The grey bar behind the field; drawn unless turned off.
  bool showsBarBackground() const { return showsBarBackground_; }
  void setShowsBarBackground(bool shows);
  const Color& searchFieldTextColor() const { return fieldTextColor_; }
  void setSearchFieldTextColor(Color color);
  // Where the field lies in the bar's bounds.
  cg::Rect searchFieldRect() const;

  bool canBecomeFirstResponder() const override { return true; }
  bool showsKeyboard() const override { return true; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;

  // The user types: the bar takes the keyboard if it has not, the text goes in at the caret and
  // the delegate hears of the change. False when the bar cannot take the keyboard (hidden, not
  // interactive).
  bool simulateTyping(const std::string& typed);
  // The user presses the keyboard's delete key: the character before the caret goes (all of its
  // bytes) and the delegate hears of the change. Only while the bar has the keyboard and there is
  // such a character; false otherwise.
  bool simulateDeleteBackward() { return deleteBackward(); }
  // The user presses the keyboard's search key: only while the bar has the keyboard.
  bool simulateSearchKey();

  bool insertText(const std::string& text) override;
  bool deleteBackward() override;
  bool deleteForward() override;
  bool moveCaret(CaretMove move) override;
  bool returnKey() override { return simulateSearchKey(); }
  std::size_t caretPosition() const override { return edited_.caret(); }
  bool showsCaret() const override { return isFirstResponder(); }
  void setNeedsCaretDisplay() override { setNeedsDisplay(); }

  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesEnded(const TouchSet& touches, const Event* event) override;
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  // Where the text is drawn in the bar's bounds, one line high.
  cg::Rect textRect() const;
  // Takes the units [from, to) out and tells the delegate.
  bool cut(std::size_t from, std::size_t to);
  // How far the text is moved left to show the caret, while the bar has the keyboard.
  double textScroll() const;
  void keepCaretInView() { scroll_ = textScroll(); }

  EditedText edited_;
  std::string placeholder_;
  std::weak_ptr<SearchBarDelegate> delegate_;
  std::map<unsigned, std::shared_ptr<Image>> fieldBackgrounds_;
  Color fieldTextColor_ = Color::blackColor();
  bool showsBarBackground_ = true;
  double scroll_ = 0;
};

}  // namespace ui
