// The Facebook login dialog as the share sheet opens it, showing the fake peer's page.
#include "FacebookScenes.h"

#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

#include "Classes/SocialNetwork/FB/Facebook.h"
#include "FacebookPeer.h"
#include "Foundation/Date.h"
#include "Foundation/RunLoop.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"

namespace scenes {

namespace {

// Points every Facebook origin at the peer for one scope.
class PeerOrigins {
 public:
  explicit PeerOrigins(const std::string& origin) {
    for (const char* name : kNames) {
      const char* old = getenv(name);
      saved_.push_back(old ? std::optional<std::string>(old) : std::nullopt);
      setenv(name, origin.c_str(), 1);
    }
  }
  ~PeerOrigins() {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i])
        setenv(kNames[i], saved_[i]->c_str(), 1);
      else
        unsetenv(kNames[i]);
    }
  }
  PeerOrigins(const PeerOrigins&) = delete;
  PeerOrigins& operator=(const PeerOrigins&) = delete;

 private:
  static constexpr const char* kNames[] = {"VCC_FB_DIALOG_ORIGIN", "VCC_FB_GRAPH_ORIGIN",
                                           "VCC_FB_REST_ORIGIN", "VCC_FB_VIDEO_ORIGIN", "VCC_FB_SITE_ORIGIN"};
  std::vector<std::optional<std::string>> saved_;
};

// Runs the main run loop until the condition holds or ten seconds have passed.
bool runUntil(const std::function<bool()>& condition) {
  auto loop = ns::RunLoop::mainRunLoop();
  double limit = ns::Date::now().timeIntervalSince1970() + 10;
  while (!condition()) {
    if (ns::Date::now().timeIntervalSince1970() > limit) return false;
    loop->runOnce(0.05);
  }
  return true;
}

}  // namespace

std::shared_ptr<ui::View> facebookLoginDialog() {
  socialpeers::FacebookPeer peer;
  peer.start();
  PeerOrigins origins(peer.origin());

  auto previousKey = ui::Window::keyWindow();
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  window->setBackgroundColor(ui::Color::whiteColor());
  window->makeKeyAndVisible();

  auto facebook = std::make_shared<Facebook>()->initWithAppId("100000000000001");
  facebook->authorize(std::vector<std::string>{"publish_stream"}, {});
  auto dialog = facebook->loginDialog();
  bool ok = dialog && runUntil([&] {
              return !dialog->webView()->isLoading() && !dialog->title().empty() &&
                     dialog->title() != FBDialog::kDefaultTitle;
            });
  // The bounce ends before the picture is taken.
  ok = ok && runUntil([&] { return dialog->transform() == cg::AffineTransform::identity(); });
  if (ok) dialog->webView()->fillField("email", "user@example.com");
  window->layoutIfNeeded();
  window->resignKeyWindow();
  if (previousKey) previousKey->makeKeyWindow();
  peer.stop();
  if (!ok) return nullptr;
  return window;
}

}  // namespace scenes
