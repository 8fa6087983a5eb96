#include "Media/MediaError.h"
#include "PlayerControllerTestSupport.h"
#include "support/LogCapture.h"

namespace {

using playertest::overrideWith;
using playertest::PlayerControllerTest;

TEST_F(PlayerControllerTest, AFreshPageWaitsUnderTheStartButtonAndPlaysOnlyOnIt) {
  ns::ManualClock clock;
  makePlayer();
  player->setPlayList({programme()});
  EXPECT_TRUE(player->isLoading());
  ASSERT_NE(player->activityView(), nullptr);
  EXPECT_EQ(player->activityView()->superview(), player->view());
  ASSERT_TRUE(waitReady());
  EXPECT_EQ(player->activityView()->superview(), nullptr);
  EXPECT_TRUE(startButtonShown());
  clock.advance(3);
  EXPECT_EQ(now(), 0) << "nothing plays before the start button";
  player->startButton()->sendActionsForControlEvents(ui::ControlEventTouchDown);
  EXPECT_FALSE(startButtonShown());
  EXPECT_FALSE(player->firstInit());
  clock.advance(2);
  EXPECT_NEAR(now(), 2, 1e-3);
  EXPECT_TRUE(player->isPlaying());
}

TEST_F(PlayerControllerTest, AnAdvertisementIsFollowedByTheProgrammeWhichPlaysByItself) {
  ns::ManualClock clock;
  makePlayer();
  player->setAutoPlay(true);
  player->setPlayList({advert(), programme()});
  ASSERT_TRUE(waitReady());
  EXPECT_TRUE(player->playingItemIsAdv());
  EXPECT_TRUE(player->previewControllBar()->isAdv());
  clock.advance(playertest::kAdvertSeconds + 0.5);
  EXPECT_EQ(player->playingIndexItem(), 1);
  ASSERT_TRUE(waitReady());
  EXPECT_FALSE(player->playingItemIsAdv());
  EXPECT_FALSE(startButtonShown());
  clock.advance(1);
  EXPECT_NEAR(now(), 1, 1e-3) << "the programme opened with auto-play";
}

TEST_F(PlayerControllerTest, AFilmStopsAtItsEnd) {
  ns::ManualClock clock;
  makePlayer();
  player->setAutoPlay(true);
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  clock.advance(playertest::kProgrammeSeconds + 5);
  EXPECT_FALSE(player->isPlaying());
  EXPECT_EQ(player->playingIndexItem(), 0);
  EXPECT_EQ(server_->requestsFor("get_title").size(), 0u) << "a film has no next episode";
  // Played again, it starts over.
  player->play();
  clock.advance(1);
  EXPECT_TRUE(player->isPlaying());
  EXPECT_NEAR(now(), 1, 1e-3);
}

TEST_F(PlayerControllerTest, FailuresOfEntries) {
  struct Case {
    const char* name;
    ns::Array playList;
    int index;         // the entry current after the failure
    bool alert;        // the error alert shows
    bool startButton;  // the start button waits (a skipped advertisement leaves only the bars)
  };
  const Case cases[] = {
      {"failing advertisement skipped to a waiting programme",
       {advert("/video/none/clip.mp4"), programme()},
       1,
       false,
       false},
      {"failing programme", {programme("/video/none/clip.mp4")}, 0, true, true},
      {"unparsable address", {ns::Dictionary{{"url", "::not a url"}, {"adv", false}}}, 0, true, true},
      {"failing advertisement alone", {advert("/video/none/clip.mp4")}, 0, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::ManualClock clock;
    makePlayer();
    player->setPlayList(c.playList);
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(player->playingIndexItem(), c.index);
    EXPECT_EQ(alertCount(), c.alert ? 1u : 0u);
    EXPECT_EQ(startButtonShown(), c.startButton);
    // The indicator is gone whatever failed.
    EXPECT_TRUE(!player->activityView() || !player->activityView()->superview());
    TearDown();
  }
}

// An item that fails while it loads (its status turns failed) takes the indicator down too, so
// taps work again and a lone advertisement does not show "Загрузка..." for ever.
TEST_F(PlayerControllerTest, AnItemFailingWhileLoadingTakesTheIndicatorDown) {
  for (bool advertisement : {true, false}) {
    SCOPED_TRACE(advertisement ? "advertisement" : "programme");
    ns::ManualClock clock;
    makePlayer();
    player->setPlayList({advertisement ? advert() : programme()});
    ASSERT_TRUE(waitReady());
    player->startPlay();
    player->showActivity();
    ASSERT_TRUE(player->isLoading());
    player->assetFailedToPrepareForPlayback(ns::Error::make(av::kMediaErrorDomain, -11800));
    EXPECT_FALSE(player->isLoading());
    EXPECT_TRUE(!player->activityView() || !player->activityView()->superview());
    TearDown();
  }
}

TEST_F(PlayerControllerTest, AFailingProgrammeAlertsOnceAndTheStartButtonRetriesIt) {
  ns::ManualClock clock;
  makePlayer();
  std::string path = "/video/1001/clip.mp4";
  server_->setOverride(path, overrideWith(&sampleservice::Override::status, 404));
  player->setPlayList({programme(path)});
  ASSERT_TRUE(testsupport::spinUntil([&] { return player->isItemHasError(); }));
  ASSERT_EQ(alertCount(), 1u);
  EXPECT_EQ(ui::AlertView::visibleAlerts()[0]->message(),
            "Выбранный вами эпизод временно недоступен. Повторите попытку позже.");
  EXPECT_FALSE(player->gestureShouldReceiveTouch(player->view().get()));
  ui::AlertView::dismissAll();
  server_->clearOverrides();
  player->startButton()->sendActionsForControlEvents(ui::ControlEventTouchDown);
  EXPECT_FALSE(player->isItemHasError());
  ASSERT_TRUE(waitReady());
  clock.advance(1);
  EXPECT_NEAR(now(), 1, 1e-3) << "the retry plays by itself";
  EXPECT_EQ(alertCount(), 0u);
}

TEST_F(PlayerControllerTest, AnEmptyPlayListChangesNothingNotEvenPlayback) {
  ns::ManualClock clock;
  makePlayer();
  player->setAutoPlay(true);
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  clock.advance(1);
  player->setPlayList({});
  EXPECT_TRUE(player->isPlaying());
  EXPECT_EQ(player->playList().size(), 1u);
  testsupport::LogCapture log;
  player->playItemFromList(1, true);
  EXPECT_TRUE(log.contains("Error: no item in play list"));
  EXPECT_TRUE(player->isPlaying());
}

TEST_F(PlayerControllerTest, AnAssetStillOpeningWhenThePageGoesIsDropped) {
  ns::ManualClock clock;
  makePlayer();
  std::string path = "/video/1001/clip.mp4";
  server_->setOverride(path, overrideWith(&sampleservice::Override::delaySeconds, 0.5));
  player->setAutoPlay(true);
  player->setPlayList({programme(path)});
  player->resetPlayList();
  ASSERT_TRUE(server_->waitForRequests(1, 30));
  afterAssetOf(path);
  EXPECT_EQ(player->player(), nullptr) << "no player made behind a page that has gone";
}

TEST_F(PlayerControllerTest, ANewerEntryWinsOverAnOlderOneStillOpening) {
  ns::ManualClock clock;
  makePlayer();
  std::string slow = "/video/1002/clip.mp4";
  server_->setOverride(slow, overrideWith(&sampleservice::Override::delaySeconds, 1.0));
  player->setPlayList({programme(slow)});
  player->setPlayList({programme("/video/1001/index.m3u8")});
  ASSERT_TRUE(waitReady());
  afterAssetOf(slow);
  ASSERT_NE(player->playerItem(), nullptr);
  EXPECT_EQ(player->playerItem()->asset()->URL().absoluteString(), server_->url("/video/1001/index.m3u8"));
}

TEST_F(PlayerControllerTest, BackgroundPausesAndReturningDoesNotResume) {
  ns::ManualClock clock;
  makePlayer();
  player->setAutoPlay(true);
  player->setPlayList({programme()});
  ASSERT_TRUE(waitReady());
  clock.advance(2);
  auto center = ns::NotificationCenter::defaultCenter();
  center->postNotificationName(ui::kApplicationDidEnterBackgroundNotification);
  EXPECT_FALSE(player->isPlaying());
  center->postNotificationName(ui::kApplicationDidBecomeActiveNotification);
  clock.advance(2);
  EXPECT_FALSE(player->isPlaying());
  EXPECT_NEAR(now(), 2, 1e-3);
}

TEST_F(PlayerControllerTest, TheControllerGoesWhileLoadingOrPlaying) {
  for (bool waitForPlayback : {false, true}) {
    SCOPED_TRACE(waitForPlayback ? "playing" : "loading");
    ns::ManualClock clock;
    makePlayer();
    player->setAutoPlay(true);
    player->setPlayList({programme("/video/1001/index.m3u8")});
    if (waitForPlayback) {
      ASSERT_TRUE(waitReady());
      clock.advance(1);
    }
    std::weak_ptr<AKMoviePlayerController> weak = player;
    player->view()->removeFromSuperview();
    player.reset();
    clock.advance(10);  // pending hides and observers run on nothing
    afterAssetOf("/video/1001/index.m3u8");
    EXPECT_TRUE(weak.expired());
    TearDown();
  }
}

}  // namespace
