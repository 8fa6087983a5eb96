#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FacebookPeerSuite.h"
#include "Foundation/UserDefaults.h"
#include "UIKit/AlertView.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"
#include "VkontaktePeer.h"
#include "support/RunLoopSpin.h"

namespace testsupport {

// Both fakes in-process, every origin of the client pointing at them, a key window holding a host
// page of the device's screen; each test starts with reset fakes, no cookies, no stored tokens
// and no alerts.
class ShareSheetSuite : public FacebookPeerSuite {
 protected:
  static void SetUpTestSuite() {
    FacebookPeerSuite::SetUpTestSuite();
    vk_ = new socialpeers::VkontaktePeer();
    vk_->start();
  }
  static void TearDownTestSuite() {
    delete vk_;
    vk_ = nullptr;
    FacebookPeerSuite::TearDownTestSuite();
  }
  void SetUp() override {
    FacebookPeerSuite::SetUp();
    environment_.set("VCC_VK_ORIGIN", vk_->origin());
    environment_.set("VCC_VK_APP_ID", std::nullopt);
    environment_.set("VCC_VK_COOKIE_SUFFIX", std::nullopt);
    vk_->reset();
    clearDefaults();
    ui::AlertView::dismissAll();
  }
  void TearDown() override {
    ui::AlertView::dismissAll();
    if (window_) window_->resignKeyWindow();
    ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
    clearDefaults();
    FacebookPeerSuite::TearDown();
  }

  // A key window with a host page over the screen (under the current device profile).
  std::shared_ptr<ui::View> makeHost() {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    window_ = std::make_shared<ui::Window>()->initWithFrame(screen);
    window_->makeKeyAndVisible();
    host_ = std::make_shared<ui::View>()->initWithFrame(screen);
    window_->addSubview(host_);
    return host_;
  }

  static void clearDefaults() {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    for (const char* key : {"VKontakteAccessToken", "FaceBookAccessToken", "FaceBookExpirationDate"})
      defaults->removeObjectForKey(key);
    defaults->synchronize();
  }

  static std::string alertText() {
    auto alerts = ui::AlertView::visibleAlerts();
    if (alerts.empty()) return "";
    auto& a = alerts.front();
    return a->title() + " / " + a->message() + " / " + a->buttonTitleAtIndex(0);
  }

  static inline socialpeers::VkontaktePeer* vk_ = nullptr;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<ui::View> host_;
};

}  // namespace testsupport
