#pragma once

#include <memory>

#include "UIKit/Button.h"
#include "UIKit/PopoverController.h"
#include "UIKit/StoryboardSegue.h"
#include "UIKit/ViewController.h"
#include "UIKit/Window.h"

// The component's demonstration: a page whose button opens a second page in a popover drawn
// with KSCustomPopoverBackgroundView. Nothing in the application makes these.

class KSCustomPopoverAppDelegate final : public ns::Object {
 public:
  const std::shared_ptr<ui::Window>& window() const { return window_; }
  void setWindow(std::shared_ptr<ui::Window> window) { window_ = std::move(window); }
  bool applicationDidFinishLaunchingWithOptions(const ns::Value&) { return true; }
  void applicationWillResignActive() {}
  void applicationDidEnterBackground() {}
  void applicationWillEnterForeground() {}
  void applicationDidBecomeActive() {}
  void applicationWillTerminate() {}

 private:
  std::shared_ptr<ui::Window> window_;
};

class KSCustomPopoverFlipsideViewController;

class KSCustomPopoverFlipsideViewControllerDelegate {
 public:
  virtual ~KSCustomPopoverFlipsideViewControllerDelegate() = default;
  virtual void flipsideViewControllerDidFinish(KSCustomPopoverFlipsideViewController& controller) = 0;
};

class KSCustomPopoverFlipsideViewController final : public ui::ViewController {
 public:
  // What loading from the interface file does: the popover size 320 x 480.
  void awakeFromNib() { setContentSizeForViewInPopover({320, 480}); }
  void done(ui::Control& sender);
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return true; }
  unsigned supportedInterfaceOrientations() override { return ui::InterfaceOrientationMaskAll; }

  std::shared_ptr<KSCustomPopoverFlipsideViewControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<KSCustomPopoverFlipsideViewControllerDelegate> d) {
    delegate_ = std::move(d);
  }

 private:
  std::weak_ptr<KSCustomPopoverFlipsideViewControllerDelegate> delegate_;
};

class KSCustomPopoverMainViewController final : public ui::ViewController,
                                                public KSCustomPopoverFlipsideViewControllerDelegate,
                                                public ui::PopoverControllerDelegate {
 public:
  // The page's info button, which the "showAlternate" popover points at.
  void viewDidLoad() override;
  void prepareForSegue(ui::StoryboardSegue& segue, ui::Control* sender);
  void performSegueWithIdentifier(const std::string& identifier, ui::Control* sender);
  void togglePopover(ui::Control& sender);
  void flipsideViewControllerDidFinish(KSCustomPopoverFlipsideViewController& controller) override;
  void popoverControllerDidDismissPopover(ui::PopoverController& popover) override;
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return true; }
  unsigned supportedInterfaceOrientations() override { return ui::InterfaceOrientationMaskAll; }

  const std::shared_ptr<ui::PopoverController>& flipsidePopoverController() const {
    return flipsidePopoverController_;
  }
  const std::shared_ptr<ui::Button>& infoButton() const { return infoButton_; }

 private:
  std::shared_ptr<ui::PopoverController> flipsidePopoverController_;
  std::shared_ptr<ui::Button> infoButton_;
  ui::SegueTable segues_;
};
