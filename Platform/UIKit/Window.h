#pragma once

#include <memory>
#include <optional>

#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/View.h"
#include "UIKit/ViewController.h"

namespace ui {

class Keyboard;
class StatusBar;

// The root of what is on screen. The key window holds the root controller's view below the
// status bar, as the device does (over its whole bounds while the bar is hidden); the status bar
// is drawn over its top. The main run loop lays the key window's tree out (layoutIfNeeded) at
// the end of every pass, before it waits, so views asking for layout are laid out without any
// dump or screenshot being taken. While an alert lies on the window, it stays above everything
// and takes every touch. While a text input holds the keyboard, the keyboard's panel is drawn
// over the window's bottom. Main thread only.
class Window : public View {
 public:
  std::shared_ptr<Window> initWithFrame(const cg::Rect& frame);

  // Shows the window and makes it key; legal before a root controller exists. The root
  // controller's view (loading it) goes in at once when there is one.
  void makeKeyAndVisible();
  void makeKeyWindow();
  bool isKeyWindow() const;
  // Hands the key role back (tests start from no key window).
  void resignKeyWindow();
  static std::shared_ptr<Window> keyWindow();

  const std::shared_ptr<ViewController>& rootViewController() const { return rootViewController_; }
  // The old root's view leaves; the new root's view fills the window's bounds, at once when the
  // window is key, otherwise when it becomes key.
  void setRootViewController(std::shared_ptr<ViewController> controller);

  // The key window's layout pass, as the main run loop makes it (nothing when no view asked).
  static void layoutKeyWindow();

  // Where the root controller's view lies: the bounds less the status bar's strip while it shows.
  cg::Rect rootViewFrame() const;
  // The status bar was hidden or shown: the key window's root view takes its new frame.
  static void statusBarDidChange();
  // The bar drawn over the window while it is key; made on first use.
  const std::shared_ptr<StatusBar>& statusBar();
  // The keyboard panel drawn over the window's bottom while it is key and a text input holds the
  // keyboard; made on first use.
  const std::shared_ptr<Keyboard>& keyboard();
  // Where that panel lies now (the window's coordinates); none while it is not drawn.
  std::optional<cg::Rect> keyboardFrame() const;

  // An alert on the window takes the touches on it and leaves every other point to nothing; the
  // status bar, while shown, keeps the touches on it from the views below; the keyboard panel,
  // while drawn, takes those on it (its own view, which does nothing with them).
  std::shared_ptr<View> hitTest(cg::Point point, const Event* event) override;
  void layoutSubviews() override;
  void didAddSubview(const std::shared_ptr<View>& view) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  void installRootView();
  // The alert lying on the window, if any.
  std::shared_ptr<class AlertView> alertOnWindow() const;

  std::shared_ptr<ViewController> rootViewController_;
  std::shared_ptr<StatusBar> statusBar_;
  std::shared_ptr<Keyboard> keyboard_;
  bool rootInstalled_ = false;
};

// The device turns: the key window's root controller, or the last one presented over it, is
// asked (shouldAutorotate, then whether supportedInterfaceOrientations holds the orientation);
// when it agrees the status bar takes the orientation (announced first with the will-change
// notification), the window takes the screen's size for it, presented views cover it again and
// its tree is laid out again. False, with everything as it was, when it refuses or there is no
// root controller. The device takes the interface orientation too.
bool simulateRotation(InterfaceOrientation orientation);
// The device is turned to any orientation: 1 to 4 as simulateRotation, any other (face up or down,
// unknown) only announced, the interface staying as it is.
bool simulateDeviceOrientation(DeviceOrientation orientation);

// The system runs low on memory: the key window's root controller gets didReceiveMemoryWarning.
void simulateMemoryWarning();

}  // namespace ui
