#pragma once

#include <memory>

#include "UIKit/ApplicationMain.h"
#include "UIKit/Touch.h"
#include "UIKit/Window.h"

// Whether the device is a tablet: it answers the idiom question, with the pad idiom. Every choice
// between a tablet page and its phone twin goes through here.
bool isPad();

// The application's delegate: at launch it shows a white window over the screen, puts the home
// page of the device into the menu navigation controller of the device as the window's root,
// clears the main-page refresh flag and configures analytics. Every other event changes nothing.
class AppDelegate : public ui::Responder, public ui::ApplicationDelegate {
 public:
  // The analytics property the application reports to.
  static const char* const kTrackingId;

  const std::shared_ptr<ui::Window>& window() const { return window_; }
  void setWindow(std::shared_ptr<ui::Window> window) { window_ = std::move(window); }

  bool applicationDidFinishLaunchingWithOptions(const std::shared_ptr<ui::Application>& application,
                                                const ns::Value& launchOptions) override;
  void applicationWillResignActive(const std::shared_ptr<ui::Application>&) override {}
  void applicationDidEnterBackground(const std::shared_ptr<ui::Application>&) override {}
  void applicationWillEnterForeground(const std::shared_ptr<ui::Application>&) override {}
  void applicationDidBecomeActive(const std::shared_ptr<ui::Application>&) override {}
  void applicationWillTerminate(const std::shared_ptr<ui::Application>&) override {}

 private:
  std::shared_ptr<ui::Window> window_;
};
