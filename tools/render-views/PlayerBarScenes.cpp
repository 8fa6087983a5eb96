// The video player's bars on a picture from the sample service's programme clip.
#include "PlayerBarScenes.h"

#include <chrono>
#include <cmath>
#include <functional>

#include "AKMoviePlayer/AKMovieLowerControllBar.h"
#include "AKMoviePlayer/AKMoviePlayerView.h"
#include "AKMoviePlayer/AKMoviePreviewControllBar.h"
#include "AKMoviePlayer/AKMovieSocialControllBar.h"
#include "AKMoviePlayer/AKMovieUpperControllBar.h"
#include "Foundation/RunLoop.h"
#include "Media/PlayerItem.h"
#include "Media/URLAsset.h"
#include "SampleServer.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

namespace scenes {

namespace {

constexpr double kClipSeconds = 3;
constexpr double kShownDuration = 3725.4;

// The status bar in an orientation while a scene is built.
class StatusBarOrientation {
 public:
  explicit StatusBarOrientation(ui::InterfaceOrientation orientation)
      : previous_(ui::Application::sharedApplication()->statusBarOrientation()) {
    ui::Application::sharedApplication()->setStatusBarOrientation(orientation);
  }
  ~StatusBarOrientation() { ui::Application::sharedApplication()->setStatusBarOrientation(previous_); }
  StatusBarOrientation(const StatusBarOrientation&) = delete;
  StatusBarOrientation& operator=(const StatusBarOrientation&) = delete;

 private:
  ui::InterfaceOrientation previous_;
};

bool waitFor(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ns::RunLoop::currentRunLoop()->runOnce(0.05);
  }
  return true;
}

// A player view with the programme clip paused a few seconds in; none when it cannot be shown.
std::shared_ptr<AKMoviePlayerView> pictureView(const cg::Rect& frame) {
  static auto server = [] {
    auto s = std::make_unique<sampleservice::Server>();
    s->start();
    return s;
  }();
  auto url = ns::URL::URLWithString(server->url("/video/1001/index.m3u8"));
  auto item = av::PlayerItem::playerItemWithAsset(av::URLAsset::URLAssetWithURL(*url));
  auto player = av::Player::playerWithPlayerItem(item);
  auto view = std::make_shared<AKMoviePlayerView>();
  view->initWithFrame(frame);
  view->setBackgroundColor(ui::Color::blackColor());
  view->setPlayer(player);
  view->setVideoFillMode(av::kLayerVideoGravityResizeAspect);
  if (!waitFor([&] { return item->status() != av::PlayerItemStatus::unknown; }) ||
      item->status() != av::PlayerItemStatus::readyToPlay)
    return nullptr;
  player->seekToTime(av::TimeMakeWithSeconds(kClipSeconds, 1'000'000'000));
  if (!waitFor([&] { return view->playerLayer().isReadyForDisplay(); })) return nullptr;
  return view;
}

av::Time seconds(double s) { return av::TimeMakeWithSeconds(s, 1'000'000'000); }

// The screen in the status bar's orientation.
cg::Rect screenRect(ui::InterfaceOrientation orientation) {
  cg::Size s = ui::Screen::mainScreen()->bounds().size;
  return ui::isLandscape(orientation) ? cg::Rect{0, 0, s.height, s.width} : cg::Rect{0, 0, s.width, s.height};
}

// The upper bar fed as the player feeds it while a title plays 20 minutes in.
std::shared_ptr<AKMovieUpperControllBar> upperBarWithTimes() {
  auto bar = std::make_shared<AKMovieUpperControllBar>()->initWithWidth(0);
  bar->setItemDuration(seconds(kShownDuration));
  bar->syncPlayedTime(seconds(1200));
  bar->syncScrubber(float(1200 / kShownDuration));
  bar->syncLoadedTime(2400);
  return bar;
}

// The share panel beside the lower bar, where the player opens it.
std::shared_ptr<AKMovieSocialControllBar> sharePanelBeside(const cg::Rect& bar, bool landscape) {
  cg::Rect frame;
  if (!ui::isPad())
    frame = {bar.x(), bar.y() - 104, 310, 104};
  else if (landscape)
    frame = {bar.x() + bar.width(), bar.y() + 2, 193, 88};
  else
    frame = {bar.x() + bar.width(), std::floor(bar.y() - (196 - bar.height()) / 2), 108, 196};
  return std::make_shared<AKMovieSocialControllBar>()->initWithFrame(frame, landscape);
}

}  // namespace

std::shared_ptr<ui::View> inlinePlayerBar(ui::InterfaceOrientation orientation) {
  StatusBarOrientation turned(orientation);
  bool pad = ui::isPad();
  cg::Rect frame = !pad                           ? cg::Rect{0, 0, 320, 180}
                   : ui::isLandscape(orientation) ? cg::Rect{0, 0, 720, 405}
                                                  : cg::Rect{0, 0, 560, 315};
  auto view = pictureView(frame);
  if (!view) return nullptr;
  auto bar = std::make_shared<AKMoviePreviewControllBar>()->initWithParentFrame(view->frame());
  bar->showPauseButton();
  bar->setItemDuration(seconds(kShownDuration));
  bar->syncPlayedTime(seconds(1200));
  bar->syncScrubber(float(1200 / kShownDuration));
  bar->syncLoadedTime(1800);
  view->addSubview(bar);
  return view;
}

std::shared_ptr<ui::View> fullscreenBarsDuringAdvertisement(ui::InterfaceOrientation orientation) {
  StatusBarOrientation turned(orientation);
  auto screen = pictureView(screenRect(orientation));
  if (!screen) return nullptr;
  auto upper = upperBarWithTimes();
  upper->setIsAdv(true);
  screen->addSubview(upper);
  auto lower = std::make_shared<AKMovieLowerControllBar>()->init();
  lower->setButtonsEnabled(true);
  lower->setIsAdv(true);
  lower->showPauseButton();
  screen->addSubview(lower);
  screen->addSubview(sharePanelBeside(lower->frame(), ui::isLandscape(orientation)));
  return screen;
}

std::shared_ptr<ui::View> fullscreenBarsLoading(ui::InterfaceOrientation orientation) {
  StatusBarOrientation turned(orientation);
  auto screen = std::make_shared<ui::View>()->initWithFrame(screenRect(orientation));
  screen->setBackgroundColor(ui::Color::blackColor());
  auto upper = upperBarWithTimes();
  upper->setLoading(true);
  screen->addSubview(upper);
  auto lower = std::make_shared<AKMovieLowerControllBar>()->init();
  lower->setPrevItemEnabled(true);
  lower->setNextItemEnabled(false);
  lower->setButtonsEnabled(true);
  lower->showPlayButton();
  screen->addSubview(lower);
  return screen;
}

}  // namespace scenes
