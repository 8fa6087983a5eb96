#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "UIKit/View.h"

namespace ui {

class AlertView;

// Told which button of an alert the user tapped.
class AlertViewDelegate {
 public:
  virtual ~AlertViewDelegate() = default;
  virtual void alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) = 0;
};

// A modal message with a title, a text and buttons. Shown alerts are kept by the platform (the
// creator need not hold them) in a list that tests read, in the order they were shown, until a
// button is tapped or they are dismissed. Main thread only.
class AlertView final : public View {
 public:
  // The cancel button, when given, is button 0; the other buttons follow in order.
  std::shared_ptr<AlertView> initWithTitle(std::string title, std::string message,
                                           std::weak_ptr<AlertViewDelegate> delegate,
                                           std::string cancelButtonTitle,
                                           std::vector<std::string> otherButtonTitles = {});

  const std::string& title() const { return title_; }
  const std::string& message() const { return message_; }
  std::shared_ptr<AlertViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<AlertViewDelegate> delegate) { delegate_ = std::move(delegate); }

  // Returns the new button's index.
  int addButtonWithTitle(std::string title);
  int numberOfButtons() const { return static_cast<int>(buttonTitles_.size()); }
  // "" for an index out of range.
  std::string buttonTitleAtIndex(int index) const;
  // -1 when the alert has no cancel button.
  int cancelButtonIndex() const { return cancelButtonIndex_; }

  void show();
  bool isVisible() const;
  // Takes the alert off the screen without telling the delegate.
  void dismissWithClickedButtonIndex(int buttonIndex, bool animated);
  // The user taps a button: the delegate hears of it, then the alert goes away. An index out of
  // range, or an alert not on screen, does nothing (false).
  bool tapButtonAtIndex(int buttonIndex);

  // The alerts on screen, first shown first.
  static std::vector<std::shared_ptr<AlertView>> visibleAlerts();
  // Takes every alert off the screen without telling delegates (tests start from none).
  static void dismissAll();

  void appendDumpAttributes(std::string& line) const override;
  // The alert as the platform shows it over a window of these bounds: a dimmed cover holding a
  // centred panel with the title, the message and the buttons. Drawn by the PNG renderer.
  std::shared_ptr<View> appearanceInBounds(const cg::Rect& bounds) const;

 private:
  static std::mutex& listMutex();
  static std::vector<std::shared_ptr<AlertView>>& shownList();

  std::string title_;
  std::string message_;
  std::weak_ptr<AlertViewDelegate> delegate_;
  std::vector<std::string> buttonTitles_;
  int cancelButtonIndex_ = -1;
};

}  // namespace ui
