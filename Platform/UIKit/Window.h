#pragma once

#include <memory>

#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/View.h"
#include "UIKit/ViewController.h"

namespace ui {

// The root of what is on screen. The key window holds the root controller's view over its
// bounds; the main run loop lays the key window's tree out (layoutIfNeeded) at the end of every
// pass, before it waits, so views asking for layout are laid out without any dump or screenshot
// being taken. Main thread only.
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

  void appendDumpAttributes(std::string& line) const override;

 private:
  void installRootView();

  std::shared_ptr<ViewController> rootViewController_;
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
