#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/Clock.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "Foundation/WorkerPool.h"
#include "PlayerViewsTestSupport.h"
#include "UIKit/AlertView.h"
#include "UIKit/Window.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace playertest {

template <typename Field, typename V>
sampleservice::Override overrideWith(Field sampleservice::Override::*field, V value) {
  sampleservice::Override o;
  o.*field = value;
  return o;
}

constexpr double kProgrammeSeconds = 12;
constexpr double kAdvertSeconds = 8;

inline double secondsOf(av::Time t) { return av::TimeGetSeconds(t); }

// A player in a host view of a plain window, on the manual clock, fed by the sample service.
class PlayerControllerTest : public testsupport::SampleServiceSuite {
 protected:
  void SetUp() override {
    testsupport::SampleServiceSuite::SetUp();
    ui::AlertView::dismissAll();
    ui::Application::sharedApplication()->clearOpenedURLs();
  }

  void TearDown() override {
    if (player) {
      player->resetPlayList();
      // A pending hide keeps its target alive, as the platform does; it must not outlive the test.
      ns::cancelPreviousPerformRequestsWithTarget(player.get());
    }
    player.reset();
    ui::AlertView::dismissAll();
    if (window) window->setRootViewController(nullptr);
    window.reset();
    AKMoviePlayerController::setServices({});
    // An asset still opening in the background must not finish while the process exits.
    EXPECT_TRUE(testsupport::spinUntil([] { return ns::WorkerPool::shared().unfinishedJobCount() == 0; }));
  }

  // The header view's set-up: the player waits for the start button unless told otherwise.
  void makePlayer(const ui::DeviceProfile& profile = ui::DeviceProfile::tablet()) {
    screen.reset();  // the old one restores its device before the new one is set
    screen = std::make_unique<testsupport::PlayerScreen>(profile);
    cg::Rect screenBounds{0, 0, profile.idiom == ui::UserInterfaceIdiom::phone ? 320.0 : 768.0,
                          profile.idiom == ui::UserInterfaceIdiom::phone ? 480.0 : 1024.0};
    window = std::make_shared<ui::Window>();
    window->initWithFrame(screenBounds);
    root = std::make_shared<ui::ViewController>();
    root->init();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    host = std::make_shared<ui::View>();
    host->initWithFrame({20, 100, 400, 225});
    host->setClipsToBounds(true);
    root->view()->addSubview(host);
    player = std::make_shared<AKMoviePlayerController>();
    player->init();
    player->setAutoPlay(false);
    player->view()->setFrame(host->bounds());
    host->addSubview(player->view());
  }

  static ns::Value programme(const std::string& path = "/video/1001/clip.mp4",
                             const std::string& serialId = "", const std::string& itemId = "1001") {
    return ns::Dictionary{
        {"url", server_->url(path)}, {"adv", false}, {"videoItemId", itemId}, {"serialId", serialId}};
  }
  static ns::Value advert(const std::string& path = "/video/adv1/clip.mp4", const std::string& webUrl = "",
                          const std::string& counterUrl = "") {
    return ns::Dictionary{{"url", server_->url(path)},
                          {"adv", true},
                          {"videoItemId", "1003"},
                          {"webUrl", webUrl},
                          {"counterUrl", counterUrl}};
  }

  // Returns once an asset of the path, asked for after the player's, has loaded and the main
  // queue has run what its completion posted: the player's own completion has had its turn.
  static void afterAssetOf(const std::string& path) {
    auto asset = av::URLAsset::URLAssetWithURL(*ns::URL::URLWithString(server_->url(path)));
    auto done = std::make_shared<std::atomic<bool>>(false);
    asset->loadValuesAsynchronouslyForKeys({"tracks", "playable"}, [done] {
      dispatch::async(dispatch::mainQueue(),
                      [done] { dispatch::async(dispatch::mainQueue(), [done] { *done = true; }); });
    });
    EXPECT_TRUE(testsupport::spinUntil([&] { return done->load(); }));
  }

  // A tablet player playing the list in full screen, the transition over.
  void playingInFullScreen(ns::ManualClock& clock, const ns::Array& playList) {
    makePlayer();
    player->setAutoPlay(true);
    player->setPlayList(playList);
    ASSERT_TRUE(waitReady());
    player->goToFullscreen();
    clock.advance(1);
    ASSERT_TRUE(player->isFullscreen());
  }

  bool waitReady() {
    return testsupport::spinUntil([&] { return !player->isLoading(); });
  }
  double now() const { return player->player() ? secondsOf(player->player()->currentTime()) : 0; }
  bool startButtonShown() const { return player->startButton() && !player->startButton()->isHidden(); }
  static std::size_t alertCount() { return ui::AlertView::visibleAlerts().size(); }

  std::unique_ptr<testsupport::PlayerScreen> screen;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ui::ViewController> root;
  std::shared_ptr<ui::View> host;
  std::shared_ptr<AKMoviePlayerController> player;
};

}  // namespace playertest
