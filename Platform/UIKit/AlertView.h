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
// button is tapped or they are dismissed. They queue as on the device: the first one listed lies
// on the key window, centred over a dimming cover, above everything else, and takes every touch
// (the window sees to that); the next one comes up when it goes. Its buttons are buttons: a tap
// on one answers the alert. Main thread only.
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
  // The first button that is not the cancel button; -1 when there is none.
  int firstOtherButtonIndex() const;
  // The button a keyboard's Return answers with: the first other button, else the cancel button.
  int returnKeyButtonIndex() const;

  void show();
  bool isVisible() const;
  // Takes the alert off the screen without telling the delegate.
  void dismissWithClickedButtonIndex(int buttonIndex, bool animated);
  // The user taps a button: the delegate hears of it, then the alert goes away. An index out of
  // range, or an alert not on screen, does nothing (false).
  bool tapButtonAtIndex(int buttonIndex);

  // The alerts shown and not yet answered or dismissed, first shown first.
  static std::vector<std::shared_ptr<AlertView>> visibleAlerts();
  // The one on the screen: the first of them.
  static std::shared_ptr<AlertView> frontAlert();
  // Takes every alert off the screen without telling delegates (tests start from none).
  static void dismissAll();
  // Puts the front alert on the key window when it is not there yet (a window became key).
  static void presentFrontAlert();

  // The cover under the alert that dims the window; on the window while the alert is.
  const std::shared_ptr<View>& dimmingView() const { return dimming_; }
  // Centres the panel (title, message, buttons) and spreads the cover over the window's bounds.
  void placeInBounds(const cg::Rect& bounds);

  void appendDumpAttributes(std::string& line) const override;

 private:
  static std::mutex& listMutex();
  static std::vector<std::shared_ptr<AlertView>>& shownList();
  // Builds the panel's labels and buttons afresh.
  void buildPanel();
  void takeOffScreen();

  std::string title_;
  std::string message_;
  std::weak_ptr<AlertViewDelegate> delegate_;
  std::vector<std::string> buttonTitles_;
  int cancelButtonIndex_ = -1;
  std::shared_ptr<View> dimming_;
};

}  // namespace ui
