// The share sheets as the title page shows them.
#include "ShareScenes.h"

#include <stdlib.h>

#include <chrono>
#include <optional>
#include <string>

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/RunLoop.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"
#include "VkontaktePeer.h"

namespace scenes {

namespace {

bool runUntil(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ns::RunLoop::currentRunLoop()->runOnce(0.05);
  }
  return true;
}

std::shared_ptr<ui::View> hostPage() {
  auto host = std::make_shared<ui::View>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  host->setBackgroundColor(ui::Color::colorWithWhite(0.85, 1));
  return host;
}

std::string message() { return ShareSheetView::messageForTitle("Брат"); }

std::shared_ptr<ui::View> vkontakteSheet(bool logIn) {
  socialpeers::VkontaktePeer peer;
  peer.start();
  PeerOrigin origin(peer.origin());
  auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
  for (const auto& cookie : storage->cookies()) storage->deleteCookie(cookie);
  auto host = hostPage();
  auto sheet =
      std::make_shared<VkontakteWebView>()->initWithMessage(message(), "http://example.test/title/7", "");
  // As the phone title page shows it.
  if (!ui::isPad()) sheet->setInPlayer(false);
  host->addSubview(sheet);
  auto web = sheet->webView();
  bool ok = runUntil([&] { return web->page().title == "VKontakte login" && !web->isLoading(); });
  if (ok && logIn) {
    web->fillField("email", "user@example.com");
    web->fillField("pass", "secret");
    web->pressButton("Log in");
    ok = runUntil([&] { return sheet->messageInputView() != nullptr; });
    // The page's second fetch ends before the peer goes.
    ok = ok && runUntil([&] { return peer.requestsTo("/blank.html").size() >= 2; });
  } else if (ok) {
    web->fillField("email", "user@example.com");
    ok = runUntil([&] { return peer.requestsTo("/oauth/authorize").size() >= 2; });
  }
  // Let the second fetch's reply arrive before the peer stops.
  for (int i = 0; i < 10; ++i) ns::RunLoop::currentRunLoop()->runOnce(0.02);
  peer.stop();
  for (const auto& cookie : storage->cookies()) storage->deleteCookie(cookie);
  if (!ok || sheet->isClosed()) return nullptr;
  return host;
}

}  // namespace

PeerOrigin::PeerOrigin(const std::string& origin) {
  if (const char* old = getenv(kName)) saved_ = old;
  setenv(kName, origin.c_str(), 1);
}

PeerOrigin::~PeerOrigin() {
  if (saved_)
    setenv(kName, saved_->c_str(), 1);
  else
    unsetenv(kName);
}

std::shared_ptr<ui::View> vkontakteLoginSheet() { return vkontakteSheet(false); }

std::shared_ptr<ui::View> vkontakteEditorSheet() { return vkontakteSheet(true); }

std::shared_ptr<ui::View> facebookEditorSheet() {
  auto host = hostPage();
  auto sheet =
      std::make_shared<FaceBookSender>()->initWithMessage(message(), "http://example.test/title/7", "");
  host->addSubview(sheet);
  // The editor as the identity check opens it.
  sheet->loadMessageInputView();
  return host;
}

}  // namespace scenes
