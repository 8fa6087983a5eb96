// The player controller in a host page, from the start button to full screen and sharing.
#include "PlayerControllerScenes.h"

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Classes/SocialNetwork/PlayerShareSheets.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/RunLoop.h"
#include "Media/PlayerLayer.h"
#include "SampleServer.h"
#include "SceneSupport.h"
#include "ShareScenes.h"
#include "UIKit/AlertView.h"
#include "UIKit/Label.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"
#include "VkontaktePeer.h"

namespace scenes {

namespace {

// The page around the player: it keeps the player, as the title page's header does.
class HostPage final : public ui::ViewController {
 public:
  std::shared_ptr<ui::View> host;
  std::shared_ptr<AKMoviePlayerController> player;
};

struct Stage {
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<HostPage> page;
  std::unique_ptr<socialpeers::VkontaktePeer> peer;
  std::unique_ptr<PeerOrigin> origin;
};

Stage& stage() {
  static Stage current;
  return current;
}

ns::Value programme() {
  return ns::Dictionary{{"url", sampleService().url("/video/1001/index.m3u8")},
                        {"adv", false},
                        {"videoItemId", "1001"},
                        {"serialId", ""}};
}

ns::Value advertisement() {
  return ns::Dictionary{{"url", sampleService().url("/video/adv1/clip.mp4")},
                        {"adv", true},
                        {"videoItemId", "1001"},
                        {"webUrl", "http://example.test/advertiser"},
                        {"counterUrl", sampleService().url("/counter/1")}};
}

// A key window over the screen in the orientation, a grey page with a title and the player in
// its host view.
AKMoviePlayerController& openStage(ui::InterfaceOrientation orientation) {
  endPlayerScene();
  Stage& s = stage();
  s.window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  s.page = std::make_shared<HostPage>();
  s.page->init();
  s.window->setRootViewController(s.page);
  s.window->makeKeyAndVisible();
  if (orientation != ui::InterfaceOrientation::portrait) ui::simulateRotation(orientation);
  auto pageView = s.page->view();
  pageView->setBackgroundColor(ui::Color::colorWithWhite(0.85, 1));
  const bool pad = ui::isPad();
  const double width = pageView->bounds().width();
  cg::Rect hostFrame =
      pad ? cg::Rect{20, 84, width - 40, std::floor((width - 40) * 9 / 16)} : cg::Rect{0, 64, width, 180};
  auto title = std::make_shared<ui::Label>()->initWithFrame({20, 30, width - 40, 40});
  title->setText("Брат");
  title->setFont(ui::Font::boldSystemFontOfSize(24));
  title->setBackgroundColor(ui::Color::clearColor());
  pageView->addSubview(title);
  s.page->host = std::make_shared<ui::View>()->initWithFrame(hostFrame);
  s.page->host->setClipsToBounds(true);
  pageView->addSubview(s.page->host);

  AKMoviePlayerServices services;
  services.openShareSheet = openPlayerShareSheet;
  AKMoviePlayerController::setServices(services);
  auto player = std::make_shared<AKMoviePlayerController>();
  player->init();
  player->setAutoPlay(false);
  player->view()->setFrame(s.page->host->bounds());
  s.page->host->addSubview(player->view());
  player->setShareInfo(ns::Dictionary{
      {"message", "Смотрю сейчас 'Брат' на сайте"}, {"url", "http://example.test/title/7"}, {"image", ""}});
  s.page->player = player;
  return *player;
}

bool ready(AKMoviePlayerController& player) {
  runUntil([&] { return !player.isLoading(); }, 30);
  return !player.isLoading() && player.player();
}

// Until the picture shows a frame some way into the clip.
void showFrames(AKMoviePlayerController& player, double seconds) {
  runUntil([&] { return player.playerView()->playerLayer().isReadyForDisplay(); }, 10);
  auto start = std::chrono::steady_clock::now();
  runUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::duration<double>(seconds); },
           seconds + 1);
}

void endTransition(AKMoviePlayerController& player) {
  runUntil([&] { return !player.isChangingFullscreen(); }, 5);
  stage().window->layoutIfNeeded();
}

std::shared_ptr<ui::View> finished() {
  stage().window->layoutIfNeeded();
  return stage().window;
}

// Full screen, playing the programme, its bars up.
AKMoviePlayerController* fullscreenPlaying(ui::InterfaceOrientation orientation) {
  auto& player = openStage(orientation);
  player.setAutoPlay(true);
  player.setPlayList({programme()});
  if (!ready(player)) return nullptr;
  player.goToFullscreen();  // the phone's play has gone there already
  endTransition(player);
  showFrames(player, 1.5);
  player.checkVisibilityFullScreenControl();
  if (!player.upperControllBar() || player.upperControllBar()->isHidden()) return nullptr;
  return &player;
}

}  // namespace

void endPlayerScene() {
  Stage& s = stage();
  ui::AlertView::dismissAll();
  if (s.page && s.page->player) {
    ns::cancelPreviousPerformRequestsWithTarget(s.page->player.get());
    s.page->player->pause();
  }
  if (s.window) {
    s.window->resignKeyWindow();
    s.window->setRootViewController(nullptr);
  }
  s.page.reset();
  s.window.reset();
  s.origin.reset();
  if (s.peer) s.peer->stop();
  s.peer.reset();
  AKMoviePlayerController::setServices({});
  ui::Application::sharedApplication()->setStatusBarHidden(false, false);
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
}

std::shared_ptr<ui::View> playerStartButton(ui::InterfaceOrientation orientation) {
  auto& player = openStage(orientation);
  player.setPlayList({programme()});
  if (!ready(player) || !player.startButton() || player.startButton()->isHidden()) return nullptr;
  runUntil([&] { return player.playerView()->playerLayer().isReadyForDisplay(); }, 10);
  return finished();
}

std::shared_ptr<ui::View> playerAdvertisement(ui::InterfaceOrientation orientation) {
  auto& player = openStage(orientation);
  player.setAutoPlay(true);
  player.setPlayList({advertisement(), programme()});
  if (!ready(player) || !player.playingItemIsAdv()) return nullptr;
  endTransition(player);  // the phone plays in full screen
  showFrames(player, 1.5);
  player.handleTouchesOne();
  if (ui::AlertView::visibleAlerts().empty()) return nullptr;
  return finished();
}

std::shared_ptr<ui::View> playerProgrammeInline(ui::InterfaceOrientation orientation) {
  auto& player = openStage(orientation);
  player.setAutoPlay(true);
  player.setPlayList({programme()});
  if (!ready(player)) return nullptr;
  showFrames(player, 2);
  player.checkVisibilityPreviewControllBar();
  if (player.previewControllBar()->isHidden()) return nullptr;
  return finished();
}

std::shared_ptr<ui::View> playerFullscreen(ui::InterfaceOrientation orientation) {
  auto* player = fullscreenPlaying(orientation);
  if (!player) return nullptr;
  player->showSocialPanel(*player->lowerControllBar());
  return finished();
}

std::shared_ptr<ui::View> playerVkontakteSheet(ui::InterfaceOrientation orientation) {
  auto* player = fullscreenPlaying(orientation);
  if (!player) return nullptr;
  Stage& s = stage();
  s.peer = std::make_unique<socialpeers::VkontaktePeer>();
  s.peer->start();
  s.origin = std::make_unique<PeerOrigin>(s.peer->origin());
  auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
  for (const auto& cookie : storage->cookies()) storage->deleteCookie(cookie);
  player->showSocialPanel(*player->lowerControllBar());
  player->AKMovieSocialControllBarVk(*player->socialControllBar());
  auto sheet = std::dynamic_pointer_cast<VkontakteWebView>(player->vkSocialView());
  if (!sheet) return nullptr;
  auto web = sheet->webView();
  runUntil([&] { return web->page().title == "VKontakte login" && !web->isLoading(); }, 10);
  if (web->page().title != "VKontakte login") return nullptr;
  return finished();
}

}  // namespace scenes
