#include <chrono>

#include "PlayerControllerTestSupport.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/MemoryGrowth.h"

namespace {

using playertest::overrideWith;
using playertest::PlayerControllerTest;

class PlayerControlsTest : public PlayerControllerTest {
 protected:
  // A tablet player already playing the list, its bars hidden.
  void playing(const ns::Array& playList) {
    makePlayer();
    player->setAutoPlay(true);
    player->setPlayList(playList);
    ASSERT_TRUE(waitReady());
    ASSERT_FALSE(player->firstInit());
  }
  // A bar fading out counts as gone already.
  static bool shown(const std::shared_ptr<ui::View>& bar) { return !bar->isHidden() && bar->alpha() > 0; }
  bool previewBarShown() const { return shown(player->previewControllBar()); }
};

TEST_F(PlayerControlsTest, TheInlineBarHidesAfterSixSecondsOnlyWhileAProgrammePlaysUnscrubbed) {
  struct Case {
    const char* name;
    bool advert;
    bool paused;
    bool scrubbing;
    bool hiddenAfterSix;
  };
  const Case cases[] = {
      {"playing programme", false, false, false, true},
      {"paused programme", false, true, false, false},
      {"scrubbing", false, false, true, false},
      {"advertisement", true, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::ManualClock clock;
    playing({c.advert ? advert() : programme()});
    if (c.paused) player->pause();
    if (!previewBarShown()) player->handleTouchesOne();
    ASSERT_TRUE(previewBarShown());
    if (c.scrubbing) player->beginScrubbing();
    clock.advance(player->kControlsHideDelay - 0.05);
    EXPECT_TRUE(previewBarShown()) << "still up just before the delay";
    clock.advance(0.1);
    EXPECT_EQ(!previewBarShown(), c.hiddenAfterSix);
    clock.advance(10);
    EXPECT_EQ(!previewBarShown(), c.hiddenAfterSix) << "nothing later brings it back or hides it";
    TearDown();
  }
}

TEST_F(PlayerControlsTest, ATapTogglesTheInlineBarAndFullScreenBars) {
  ns::ManualClock clock;
  playing({programme()});
  player->handleTouchesOne();
  EXPECT_TRUE(previewBarShown());
  player->handleTouchesOne();
  EXPECT_FALSE(previewBarShown());

  player->goToFullscreen();
  clock.advance(1);
  ASSERT_TRUE(player->isFullscreen());
  ASSERT_NE(player->upperControllBar(), nullptr);
  EXPECT_FALSE(shown(player->upperControllBar()));
  player->handleTouchesOne();
  EXPECT_TRUE(shown(player->upperControllBar()));
  EXPECT_TRUE(shown(player->lowerControllBar()));
  EXPECT_FALSE(previewBarShown()) << "the inline bar stays down in full screen";
  clock.advance(player->kControlsHideDelay + 0.1);
  EXPECT_FALSE(shown(player->upperControllBar()));
  EXPECT_FALSE(shown(player->lowerControllBar()));
}

TEST_F(PlayerControlsTest, GatesOfTheTapAndPinch) {
  ns::ManualClock clock;
  makePlayer();
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  const ui::View* playerView = player->view().get();
  EXPECT_FALSE(player->gestureShouldReceiveTouch(playerView)) << "before the first start";
  EXPECT_FALSE(player->gestureShouldBegin()) << "before the first start";
  player->startPlay();
  EXPECT_TRUE(player->gestureShouldReceiveTouch(playerView));
  EXPECT_TRUE(player->gestureShouldBegin());

  auto child = [](const std::shared_ptr<ui::View>& v) -> const ui::View* {
    return v && !v->subviews().empty() ? v->subviews().front().get() : v.get();
  };
  EXPECT_FALSE(player->gestureShouldReceiveTouch(player->previewControllBar().get()));
  EXPECT_FALSE(player->gestureShouldReceiveTouch(child(player->previewControllBar())));
  player->setStartButton();
  EXPECT_FALSE(player->gestureShouldReceiveTouch(player->startButton().get()));

  player->goToFullscreen();
  clock.advance(1);
  ASSERT_TRUE(player->isFullscreen());
  EXPECT_FALSE(player->gestureShouldReceiveTouch(child(player->upperControllBar())));
  EXPECT_FALSE(player->gestureShouldReceiveTouch(child(player->lowerControllBar())));
  EXPECT_TRUE(player->gestureShouldReceiveTouch(playerView));

  player->assetFailedToPrepareForPlayback(ns::Error::make("test", 1));
  EXPECT_FALSE(player->gestureShouldReceiveTouch(playerView)) << "an entry in error";
}

TEST_F(PlayerControlsTest, RealTapsAndPinchesReachTheHandlersThroughTheGates) {
  ns::ManualClock clock;
  makePlayer();
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  ui::simulatePinch(player->view(), {1.5});
  EXPECT_FALSE(player->isChangingFullscreen()) << "no pinch before the first start";
  player->startPlay();
  player->pause();
  ui::tap(player->view());
  EXPECT_TRUE(previewBarShown());
  // A touch on the bar is the bar's own: the tap does not toggle it away.
  ui::tap(player->previewControllBar());
  EXPECT_TRUE(previewBarShown());
  ui::tap(player->view());
  EXPECT_FALSE(previewBarShown());
  ui::simulatePinch(player->view(), {1.1, 1.3});
  EXPECT_TRUE(player->isFullscreen());
  clock.advance(1);
  ui::simulatePinch(player->view(), {0.7});
  EXPECT_FALSE(player->isFullscreen());
}

TEST_F(PlayerControlsTest, APinchPastTwoTenthsSwitchesFullScreenOnce) {
  ns::ManualClock clock;
  playing({programme()});
  player->handlePinchBegan(1.0);
  player->handlePinchChanged(1.19);
  EXPECT_FALSE(player->isFullscreen()) << "0.19 is not enough";
  player->handlePinchChanged(1.21);
  EXPECT_TRUE(player->isFullscreen());
  player->handlePinchChanged(1.6);
  player->handlePinchChanged(0.5);
  clock.advance(1);
  EXPECT_TRUE(player->isFullscreen()) << "one switch per pinch";
  EXPECT_FALSE(player->isChangingFullscreen());

  player->handlePinchBegan(1.0);
  player->handlePinchChanged(0.81);
  EXPECT_TRUE(player->isFullscreen());
  player->handlePinchChanged(0.79);
  EXPECT_FALSE(player->isFullscreen());
  clock.advance(1);
  EXPECT_EQ(player->view()->superview(), host);
}

TEST_F(PlayerControlsTest, TapsAndPinchesDuringATransitionAreIgnored) {
  ns::ManualClock clock;
  playing({programme()});
  player->goToFullscreen();
  ASSERT_TRUE(player->isChangingFullscreen());
  player->handleTouchesOne();
  EXPECT_FALSE(previewBarShown());
  player->handlePinchBegan(1.0);
  player->handlePinchChanged(0.5);
  clock.advance(1);
  EXPECT_TRUE(player->isFullscreen());
  EXPECT_EQ(player->upperControllBar()->superview(), player->view());
}

TEST_F(PlayerControlsTest, BackThirtySecondsStopsAtTheStartAndPlaysOnFromThere) {
  ns::ManualClock clock;
  playing({programme()});
  clock.advance(playertest::kProgrammeSeconds + 1);
  ASSERT_FALSE(player->isPlaying());
  player->back30();
  EXPECT_EQ(now(), 0);
  player->play();
  clock.advance(2);
  EXPECT_NEAR(now(), 2, 1e-3) << "back 30 replaces the rewind at the end";
}

TEST_F(PlayerControlsTest, TheScrubberFollowsAnHourLongItemEveryHalfPointOfItsSlider) {
  // An hour of the programme's three segments over and over.
  std::string hour = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:4\n#EXT-X-MEDIA-SEQUENCE:0\n";
  for (int i = 0; i < 900; ++i) hour += "#EXTINF:4.000000,\nsegment" + std::to_string(i % 3) + ".ts\n";
  hour += "#EXT-X-ENDLIST\n";
  server_->setOverride("/video/1001/index.m3u8", overrideWith(&sampleservice::Override::body, hour));
  ns::ManualClock clock;
  playing({programme("/video/1001/index.m3u8")});
  ASSERT_NEAR(playertest::secondsOf(player->playerItemDuration()), 3600, 1e-3);
  auto scrubber = player->previewControllBar()->scrubber();
  // A scrub ended on a 300-point slider puts the observer back at 0.5 x 3,600 / 300 = 6.0 s.
  player->beginScrubbing();
  player->endScrubbing(300);
  ASSERT_TRUE(player->isPlaying());
  clock.advance(0.5);
  const float atStart = scrubber->value();
  clock.advance(5.3);
  EXPECT_EQ(scrubber->value(), atStart) << "not yet at 5.8 s";
  clock.advance(0.4);
  EXPECT_NEAR(scrubber->value(), 6.0 / 3600, 1e-4) << "moved at 6.0 s";
  clock.advance(5.6);
  EXPECT_NEAR(scrubber->value(), 6.0 / 3600, 1e-4);
  clock.advance(0.5);
  EXPECT_NEAR(scrubber->value(), 12.0 / 3600, 1e-4);
}

// --- The advertiser's page

class AdvertiserTest : public PlayerControlsTest {
 protected:
  void tapAdvert(const std::string& webUrl, const std::string& counterUrl) {
    playing({advert("/video/adv1/clip.mp4", webUrl, counterUrl), programme()});
    ASSERT_TRUE(player->playingItemIsAdv());
    server_->clearLog();
    player->handleTouchesOne();
  }
  std::size_t counterRequests() const {
    std::size_t n = 0;
    for (const auto& r : server_->requests())
      if (r.path.rfind("/counter/", 0) == 0) ++n;
    return n;
  }
};

TEST_F(AdvertiserTest, CancelKeepsPlayingAndOkCountsTheClickBeforeOpeningThePage) {
  ns::ManualClock clock;
  const std::string web = server_->url("/promo/acme");
  tapAdvert(web, server_->url("/counter/adv/acme"));
  ASSERT_EQ(alertCount(), 1u);
  auto alert = ui::AlertView::visibleAlerts().front();
  EXPECT_EQ(alert->message(), "Перейти на веб-сайт рекламодателя?");
  EXPECT_EQ(alert->buttonTitleAtIndex(1), "Отмена");
  EXPECT_TRUE(alert->tapButtonAtIndex(1));
  EXPECT_TRUE(player->isPlaying());
  EXPECT_TRUE(ui::Application::sharedApplication()->openedURLs().empty());
  EXPECT_EQ(counterRequests(), 0u);

  player->handleTouchesOne();
  ASSERT_EQ(alertCount(), 1u);
  ui::AlertView::visibleAlerts().front()->tapButtonAtIndex(0);
  // The counter is asked, and has answered, by the time the page is opened.
  EXPECT_EQ(counterRequests(), 1u);
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(), std::vector<std::string>{web});
}

TEST_F(AdvertiserTest, OnlyWebPagesAreOfferedAndOnlyWebCountersAsked) {
  struct Case {
    const char* name;
    std::string webUrl;
    std::string counterUrl;
    bool offered;
    std::size_t counted;
  };
  const Case cases[] = {
      {"no page", "", "", false, 0},
      {"script page", "javascript:alert(1)", "", false, 0},
      {"phone page", "tel:+70000000000", "", false, 0},
      {"ftp page", "ftp://127.0.0.1/promo", "", false, 0},
      {"https page without counter", "https://ads.invalid/promo", "", true, 0},
      {"unparsable counter", "https://ads.invalid/promo", "::not a url", true, 0},
      {"non-web counter", "https://ads.invalid/promo", "file:///etc/passwd", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::ManualClock clock;
    ui::Application::sharedApplication()->clearOpenedURLs();
    tapAdvert(c.webUrl, c.counterUrl);
    EXPECT_EQ(alertCount(), c.offered ? 1u : 0u);
    if (c.offered) {
      ui::AlertView::visibleAlerts().front()->tapButtonAtIndex(0);
      EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(), std::vector<std::string>{c.webUrl});
    } else {
      EXPECT_TRUE(ui::Application::sharedApplication()->openedURLs().empty());
    }
    EXPECT_EQ(counterRequests(), c.counted);
    TearDown();
  }
}

TEST_F(AdvertiserTest, ASilentCounterHoldsThePageBackOnlyForItsTimeOut) {
  ns::ManualClock clock;
  const std::string web = server_->url("/promo/acme");
  server_->setOverride("/counter/adv/silent", overrideWith(&sampleservice::Override::delaySeconds, 120.0));
  tapAdvert(web, server_->url("/counter/adv/silent"));
  ASSERT_EQ(alertCount(), 1u);
  auto started = std::chrono::steady_clock::now();
  ui::AlertView::visibleAlerts().front()->tapButtonAtIndex(0);
  auto waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // A guard against the old minute-long freeze, not a measurement.
  EXPECT_LT(waited, 60.0);
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(), std::vector<std::string>{web});
}

// A counter whose reply has no end holds the page back only until the counter has sent as much as
// it may: the request hangs up there, holding no more than that, and one log line names it.
TEST_F(AdvertiserTest, AnEndlessCounterIsCutOffAtItsBoundAndThePageOpens) {
  ns::ManualClock clock;
  const std::string web = server_->url("/promo/acme");
  testsupport::LoopbackServer counter;
  counter.reply("/counter/adv/endless", testsupport::Reply::endless("text/html"));
  tapAdvert(web, counter.url("/counter/adv/endless"));
  ASSERT_EQ(alertCount(), 1u);
  testsupport::LogCapture log;
  testsupport::PeakMemoryGrowth memory;
  auto started = std::chrono::steady_clock::now();
  ui::AlertView::visibleAlerts().front()->tapButtonAtIndex(0);
  auto waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(waited, 60.0);
  if (!testsupport::kSanitized) {
    EXPECT_LT(memory.megabytes(), 32);
  }
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(), std::vector<std::string>{web});
  EXPECT_TRUE(testsupport::spinUntil([&] { return counter.disconnectsSeen() == 1; }));
  const std::string bound = std::to_string(AKMoviePlayerController::kMaxCounterReplyLength);
  EXPECT_TRUE(
      log.contains("The reply of " + counter.url("/counter/adv/endless") + " is longer than the " + bound))
      << testing::PrintToString(log.lines());
}

// --- Full screen

struct FullscreenCase {
  const char* name;
  bool phone;
};

class FullscreenTest : public PlayerControllerTest, public testing::WithParamInterface<FullscreenCase> {};

TEST_P(FullscreenTest, FramesAtBothEndsOfTheTransitionAndWhatLeavingRestores) {
  ns::ManualClock clock;
  const bool phone = GetParam().phone;
  makePlayer(phone ? ui::DeviceProfile::phone() : ui::DeviceProfile::tablet());
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  auto v = player->view();
  const cg::Rect inHost = v->frame();
  const cg::Rect inWindow = host->convertRectToView(inHost, root->view());
  player->startButton()->sendActionsForControlEvents(ui::ControlEventTouchDown);  // the phone's play
  if (!phone)
    player->previewControllBar()->goToFullscreen()->sendActionsForControlEvents(
        ui::ControlEventTouchUpInside);

  EXPECT_TRUE(player->isFullscreen());
  EXPECT_TRUE(player->isChangingFullscreen());
  EXPECT_EQ(v->superview(), root->view());
  EXPECT_EQ(v->frame(), root->view()->bounds()) << "animated to cover the window";
  ASSERT_NE(player->previewMask(), nullptr);
  EXPECT_EQ(player->previewMask()->superview(), host);
  EXPECT_EQ(player->previewMask()->frame(), inHost) << "the page keeps the player's place";
  EXPECT_FALSE(host->clipsToBounds()) << "the host does not clip the growing player";
  clock.advance(0.5);
  EXPECT_FALSE(player->isChangingFullscreen());
  EXPECT_EQ(root->presentedViewController(), player) << "presented over the window";
  EXPECT_EQ(v->superview(), window);
  EXPECT_EQ(v->frame(), window->bounds());
  EXPECT_TRUE(ui::Application::sharedApplication()->isStatusBarHidden());
  ASSERT_NE(player->upperControllBar(), nullptr);
  EXPECT_EQ(player->upperControllBar()->superview(), v);
  EXPECT_EQ(player->lowerControllBar()->superview(), v);
  EXPECT_TRUE(player->isPlaying());

  player->upperControllBar()->delegate()->AKMovieUpperControllBarDone(*player->upperControllBar());
  EXPECT_FALSE(player->isFullscreen());
  EXPECT_TRUE(player->isChangingFullscreen());
  EXPECT_FALSE(ui::Application::sharedApplication()->isStatusBarHidden());
  EXPECT_EQ(player->upperControllBar(), nullptr);
  EXPECT_EQ(root->presentedViewController(), nullptr);
  clock.advance(0.01);
  EXPECT_EQ(v->superview(), root->view()) << "dismissed, then animated back";
  EXPECT_EQ(v->frame(), inWindow) << "ends where the page keeps its place";
  EXPECT_TRUE(player->isChangingFullscreen());
  clock.advance(0.5);
  EXPECT_FALSE(player->isChangingFullscreen());
  EXPECT_EQ(v->superview(), host);
  EXPECT_EQ(v->frame(), inHost);
  EXPECT_TRUE(host->clipsToBounds());
  EXPECT_EQ(player->previewMask(), nullptr);
  EXPECT_EQ(player->isPlaying(), !phone) << "the phone pauses under its start button";
  EXPECT_EQ(startButtonShown(), phone);
}

// The box of the pixels of a window's picture, below the status bar, that are not of the two
// plain paints (the player view's blue and the page's red) nor of a mix of them at their edges.
cg::Rect paintedBox(const cg::ImagePtr& image) {
  int minX = image->pixelWidth(), minY = image->pixelHeight(), maxX = -1, maxY = -1;
  for (int y = 20; y < image->pixelHeight(); ++y)
    for (int x = 0; x < image->pixelWidth(); ++x) {
      cg::Color c = image->colorAt(x, y);
      if (c.green < 0.02 && c.red + c.blue > 0.97) continue;
      minX = std::min(minX, x), minY = std::min(minY, y), maxX = std::max(maxX, x), maxY = std::max(maxY, y);
    }
  if (maxX < 0) return {};
  return {double(minX), double(minY), double(maxX - minX + 1), double(maxY - minY + 1)};
}

// Half-way to full screen and half-way back, the screen shows the picture at the size the player
// has then, fitted and centred in the frame it is shown in.
TEST_P(FullscreenTest, HalfWayThePictureSitsCentredInThePlayersShownFrame) {
  ns::ManualClock clock;
  const bool phone = GetParam().phone;
  makePlayer(phone ? ui::DeviceProfile::phone() : ui::DeviceProfile::tablet());
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  player->playerView()->setBackgroundColor(ui::Color::blueColor());
  root->view()->setBackgroundColor(ui::Color::redColor());
  window->setBackgroundColor(ui::Color::redColor());
  auto v = player->view();
  // Where the 16:9 picture lies, in the window, fitted to the player's frame shown at `time`.
  auto fitted = [&](double time) {
    ui::ViewPresentation shown = v->presentation(time);
    cg::Point origin = v->superview()->convertPointToView({0, 0}, window.get());
    cg::Rect frame{origin.x + shown.center.x - shown.bounds.width() / 2,
                   origin.y + shown.center.y - shown.bounds.height() / 2, shown.bounds.width(),
                   shown.bounds.height()};
    double w = std::min(frame.width(), frame.height() * 16 / 9), h = w * 9 / 16;
    return cg::Rect{frame.midX() - w / 2, frame.midY() - h / 2, w, h}.intersection(window->bounds());
  };
  auto expectPictureAt = [&](const cg::Rect& expected, const char* when) {
    ASSERT_TRUE(
        testsupport::spinUntil([&] { return player->playerView()->playerLayer().isReadyForDisplay(); }));
    cg::Rect box = paintedBox(ui::renderView(window, ui::RenderOptions{1, clock.now()}));
    EXPECT_NEAR(box.x(), expected.x(), 2) << when;
    EXPECT_NEAR(box.y(), expected.y(), 2) << when;
    EXPECT_NEAR(box.width(), expected.width(), 3) << when;
    EXPECT_NEAR(box.height(), expected.height(), 3) << when;
  };

  player->goToFullscreen();
  ASSERT_TRUE(player->isChangingFullscreen());
  player->pause();
  clock.advance(0.2);
  ASSERT_TRUE(player->isChangingFullscreen());
  expectPictureAt(fitted(clock.now()), "going");
  clock.advance(0.3);
  ASSERT_FALSE(player->isChangingFullscreen());

  player->backFromFullscreen();
  clock.advance(0.01);
  ASSERT_TRUE(player->isChangingFullscreen());
  player->pause();
  clock.advance(0.2);
  player->previewControllBar()->setHidden(true);  // the tablet's, over the picture's bottom
  expectPictureAt(fitted(clock.now()), "coming back");
}

INSTANTIATE_TEST_SUITE_P(Devices, FullscreenTest,
                         testing::Values(FullscreenCase{"tablet", false}, FullscreenCase{"phone", true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_P(FullscreenTest, AnAdvertisementPausedThereResumesFromTheFullScreenBar) {
  ns::ManualClock clock;
  const bool phone = GetParam().phone;
  makePlayer(phone ? ui::DeviceProfile::phone() : ui::DeviceProfile::tablet());
  player->setAutoPlay(true);
  player->setPlayList({advert(), programme()});
  ASSERT_TRUE(waitReady());
  if (!player->isFullscreen()) player->goToFullscreen();
  clock.advance(0.5);
  ASSERT_TRUE(player->isFullscreen());
  ASSERT_TRUE(player->playingItemIsAdv());
  ASSERT_TRUE(player->isPlaying());
  auto play = player->lowerControllBar()->play();
  EXPECT_FALSE(play->isEnabled()) << "a playing advertisement cannot be paused";
  ns::NotificationCenter::defaultCenter()->postNotificationName(
      ui::kApplicationDidEnterBackgroundNotification);
  ASSERT_FALSE(player->isPlaying());
  EXPECT_TRUE(play->isEnabled()) << "a paused one can be resumed, as inline";
  EXPECT_TRUE(player->previewControllBar()->playBt()->isEnabled());
  play->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
  EXPECT_TRUE(player->isPlaying());
  EXPECT_FALSE(play->isEnabled());
}

TEST_F(PlayerControllerTest, AFailureWhileEnteringFullScreenLeavesOnceEnteringEnds) {
  ns::ManualClock clock;
  makePlayer();
  player->setAutoPlay(true);
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  player->goToFullscreen();
  ASSERT_TRUE(player->isChangingFullscreen());
  player->backFromFullscreen();  // what a failure of the entry asks for
  EXPECT_TRUE(player->isFullscreen());
  clock.advance(0.5);
  EXPECT_FALSE(player->isFullscreen()) << "the entering ended and the leaving began";
  EXPECT_TRUE(player->isChangingFullscreen());
  clock.advance(0.5);
  EXPECT_FALSE(player->isChangingFullscreen());
  EXPECT_EQ(player->view()->superview(), host);
  EXPECT_EQ(player->upperControllBar(), nullptr);

  // Nothing is stuck: full screen is entered and left again normally.
  player->goToFullscreen();
  clock.advance(0.5);
  ASSERT_TRUE(player->isFullscreen());
  player->AKMovieUpperControllBarDone(*player->upperControllBar());
  clock.advance(0.5);
  EXPECT_FALSE(player->isFullscreen());
  EXPECT_EQ(player->view()->superview(), host);
}

TEST_F(PlayerControllerTest, ThePhonesPlayWhileLeavingReturnsToFullScreenAfterwards) {
  ns::ManualClock clock;
  makePlayer(ui::DeviceProfile::phone());
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  player->startPlay();
  clock.advance(0.5);
  ASSERT_TRUE(player->isFullscreen());
  player->backFromFullscreen();
  ASSERT_TRUE(player->isChangingFullscreen());
  player->play();
  clock.advance(0.5);
  EXPECT_TRUE(player->isFullscreen()) << "the last switch asked for wins";
  clock.advance(0.5);
  EXPECT_FALSE(player->isChangingFullscreen());
  EXPECT_EQ(player->presentingViewController(), root);
  EXPECT_EQ(player->view()->frame(), window->bounds());
}

}  // namespace
