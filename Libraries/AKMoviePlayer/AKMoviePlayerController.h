#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AKMoviePlayer/AKMovieLowerControllBar.h"
#include "AKMoviePlayer/AKMoviePlayerView.h"
#include "AKMoviePlayer/AKMoviePreviewControllBar.h"
#include "AKMoviePlayer/AKMovieSocialControllBar.h"
#include "AKMoviePlayer/AKMovieUpperControllBar.h"
#include "Foundation/Error.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"
#include "Media/Player.h"
#include "Media/PlayerItem.h"
#include "Media/URLAsset.h"
#include "UIKit/AlertView.h"
#include "UIKit/Button.h"
#include "UIKit/GestureRecognizer.h"
#include "UIKit/ImageView.h"
#include "UIKit/ViewController.h"

class AKMoviePlayerController;

// What the player needs of the application around it, installed once by the application: where
// the per-title list files are, and its two alerts. Absent services find no list and show no alert.
struct AKMoviePlayerServices {
  // The root dictionary of a per-title list file, read within the application's bounds; nil for a
  // missing or refused file.
  std::function<ns::Value(const std::string& fileName)> readListFile;
  std::function<void()> noServerItemDataAlert;
  std::function<void(const ns::ErrorPtr& error)> showConnectionError;
  // The application's in-app share sheet for Facebook or VKontakte, built from the title's
  // message, share address and poster path, marked as shown in the player and already added to
  // `playerView`; it removes itself when closed. None: nothing is shared. Never asked for Twitter,
  // which has the platform's composers.
  enum class Network { facebook, vkontakte, twitter };
  std::function<std::shared_ptr<ui::View>(Network network, const std::string& message, const std::string& url,
                                          const std::string& image, ui::View& playerView)>
      openShareSheet;
};

// The title page's side of the player: told after the player has moved to another episode.
class AKMoviePlayerControllerDelegate {
 public:
  virtual ~AKMoviePlayerControllerDelegate() = default;
  // info: {id, parent_id, url (the address that was fetched)}.
  virtual void AKMoviePlayerControllerDidSetVideo(AKMoviePlayerController&, const ns::Value& /*info*/) {}
};

// The video player of the title page: plays a playlist of entries ({url, adv, videoItemId, ...})
// one at a time, drives the control bars, goes full screen and steps through a series.
// Main thread only.
class AKMoviePlayerController final : public ui::ViewController,
                                      public AKMoviePreviewControllBarDelegate,
                                      public AKMovieUpperControllBarDelegate,
                                      public AKMovieLowerControllBarDelegate,
                                      public AKMovieSocialControllBarDelegate,
                                      public ui::AlertViewDelegate,
                                      public ui::GestureRecognizerDelegate {
 public:
  // How long the controls stay up after play or a toggle while playing.
  static constexpr double kControlsHideDelay = 6.0;
  // Longest wait for the advertiser's click counter before the page opens anyway.
  static constexpr double kCounterTimeout = 5.0;
  // The counter's body is never read: a longer one ends the wait there.
  static constexpr std::int64_t kMaxCounterReplyLength = 64 * 1024;

  AKMoviePlayerController();
  ~AKMoviePlayerController() override;
  AKMoviePlayerController(const AKMoviePlayerController&) = delete;
  AKMoviePlayerController& operator=(const AKMoviePlayerController&) = delete;

  static void setServices(AKMoviePlayerServices services);
  static const AKMoviePlayerServices& services();

  std::shared_ptr<AKMoviePlayerController> init();
  void viewDidLoad() override;

  // --- Used by the title page and its header view.
  void setDelegate(std::weak_ptr<AKMoviePlayerControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  bool autoPlay() const { return autoPlay_; }
  void setAutoPlay(bool autoPlay) { autoPlay_ = autoPlay; }
  void showBlackScreen();
  void hideBlackScreen();
  const std::shared_ptr<ui::Image>& previewImage() const { return previewImage_; }
  void setPreviewImage(std::shared_ptr<ui::Image> image);
  const ns::Value& shareInfo() const { return shareInfo_; }
  void setShareInfo(ns::Value shareInfo) { shareInfo_ = std::move(shareInfo); }
  const ns::Array& playList() const { return playList_; }
  void setPlayList(const ns::Array& playList);
  void preparePlayList();
  void resetPlayList();

  // --- State.
  bool isFullscreen() const { return isFullscreen_; }
  bool isChangingFullscreen() const { return isChangingFullscreen_; }
  bool isPlaying() const;
  bool isLoading() const { return isLoading_; }
  bool isItemHasError() const { return isItemHasError_; }
  bool firstInit() const { return firstInit_; }
  int playingIndexItem() const { return playingIndexItem_; }
  bool playingItemIsAdv() const { return playingItemIsAdv_; }
  const std::optional<ns::URL>& URL() const { return url_; }
  const std::shared_ptr<av::Player>& player() const { return player_; }
  const std::shared_ptr<av::PlayerItem>& playerItem() const { return playerItem_; }
  const std::shared_ptr<AKMoviePlayerView>& playerView() const { return playerView_; }
  const std::shared_ptr<AKMoviePreviewControllBar>& previewControllBar() const { return previewControllBar_; }
  const std::shared_ptr<AKMovieUpperControllBar>& upperControllBar() const { return upperControllBar_; }
  const std::shared_ptr<AKMovieLowerControllBar>& lowerControllBar() const { return lowerControllBar_; }
  const std::shared_ptr<AKMovieSocialControllBar>& socialControllBar() const { return socialControllBar_; }
  const std::shared_ptr<ui::View>& activityView() const { return activityView_; }
  const std::shared_ptr<ui::Button>& startButton() const { return startButton_; }
  const std::shared_ptr<ui::View>& blackScreen() const { return blackScreen_; }
  const std::shared_ptr<ui::ImageView>& previewImgView() const { return previewImgView_; }
  const std::shared_ptr<ui::View>& previewMask() const { return previewMask_; }
  // Whether the scrubber and played-time observers are installed.
  bool hasTimeObservers() const { return timeObserver_ != nullptr || playedTimeObserver_ != nullptr; }

  // --- Playback.
  void playItemFromList(int index, bool autoPlay);
  void nextPlaylistItem(bool autoPlay);
  void setURL(const ns::URL& url);
  void play();
  void pause();
  void startPlay();
  void setStartButton();
  void showActivity();
  void hideActivity();
  av::Time playerItemDuration() const;
  double availableDuration() const;
  void syncTimeLabel();
  void syncLoadedTime();
  void syncPlayPauseButtons();
  void syncScrubber();
  void initScrubberTimer();
  void removePlayerTimeObserver();
  void assetFailedToPrepareForPlayback(const ns::ErrorPtr& error);
  void showErrorAlert();

  // --- Controls.
  void showControlsBar();
  void hideControlsBar();
  void checkVisibilityPreviewControllBar();
  void checkVisibilityFullScreenControl();
  void beginScrubbing();
  void scrub(float value);
  void endScrubbing(float width);
  void back30();
  void setVideoGravity(const std::string& gravity);
  // The one-tap and pinch gestures; the gates decide whether they are delivered at all.
  bool gestureShouldReceiveTouch(const ui::View* touched) const;
  bool gestureShouldBegin() const;
  void handleTouchesOne();
  void handlePinchBegan(double scale);
  void handlePinchChanged(double scale);
  void goToAdvLink();

  // --- Episodes of a series.
  ns::Value nextVideoItem() const;
  ns::Value prevVideoItem() const;
  void checkNextAndPrevItemButton();
  void nextVideo();
  void previousVideo();
  void setNewVideoItem(const ns::Value& item);

  // --- Sharing.
  // Opens the share panel beside the lower bar, replacing any earlier one.
  void showSocialPanel(const AKMovieLowerControllBar& bar);
  void shareWith(AKMoviePlayerServices::Network network);
  const std::shared_ptr<ui::View>& fbSocialView() const { return fbSocialView_; }
  const std::shared_ptr<ui::View>& vkSocialView() const { return vkSocialView_; }

  // --- Full screen.
  void goToFullscreen();
  void backFromFullscreen();
  bool shouldAutorotate() override;
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override;

  // --- Bar delegates.
  void AKMoviePreviewControllBarPlay(AKMoviePreviewControllBar&) override { play(); }
  void AKMoviePreviewControllBarPause(AKMoviePreviewControllBar&) override { pause(); }
  void AKMoviePreviewControllBarGoToFullscreen(AKMoviePreviewControllBar&) override { goToFullscreen(); }
  void AKMoviePreviewControllBarBeginScrubbing(AKMoviePreviewControllBar&) override { beginScrubbing(); }
  void AKMoviePreviewControllBarScrub(AKMoviePreviewControllBar&, float value) override { scrub(value); }
  void AKMoviePreviewControllBarEndScrubbing(AKMoviePreviewControllBar&, float width) override {
    endScrubbing(width);
  }
  void AKMovieUpperControllBarDone(AKMovieUpperControllBar&) override { backFromFullscreen(); }
  void AKMovieUpperControllBarChangeVideoGravity(AKMovieUpperControllBar&,
                                                 const std::string& gravity) override {
    setVideoGravity(gravity);
  }
  void AKMovieUpperControllBarBeginScrubbing(AKMovieUpperControllBar&) override { beginScrubbing(); }
  void AKMovieUpperControllBarScrub(AKMovieUpperControllBar&, float value) override { scrub(value); }
  void AKMovieUpperControllBarEndScrubbing(AKMovieUpperControllBar&, float width) override {
    endScrubbing(width);
  }
  void AKMovieLowerControllBarPlay(AKMovieLowerControllBar&) override { play(); }
  void AKMovieLowerControllBarPause(AKMovieLowerControllBar&) override { pause(); }
  void AKMovieLowerControllBarBack30(AKMovieLowerControllBar&) override { back30(); }
  void AKMovieLowerControllBarPrevious(AKMovieLowerControllBar&) override { previousVideo(); }
  void AKMovieLowerControllBarNext(AKMovieLowerControllBar&) override { nextVideo(); }
  void AKMovieLowerControllBarShowSocial(AKMovieLowerControllBar& bar) override { showSocialPanel(bar); }
  void AKMovieSocialControllBarFb(AKMovieSocialControllBar&) override {
    shareWith(AKMoviePlayerServices::Network::facebook);
  }
  void AKMovieSocialControllBarTw(AKMovieSocialControllBar&) override {
    shareWith(AKMoviePlayerServices::Network::twitter);
  }
  void AKMovieSocialControllBarVk(AKMovieSocialControllBar&) override {
    shareWith(AKMoviePlayerServices::Network::vkontakte);
  }
  void alertViewClickedButtonAtIndex(ui::AlertView& alertView, int buttonIndex) override;
  bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, const ui::View* touched) override {
    return gestureShouldReceiveTouch(touched);
  }
  bool gestureRecognizerShouldBegin(ui::GestureRecognizer&) override { return gestureShouldBegin(); }

  void observeValueForKeyPath(std::string_view keyPath, ns::Object& object, const ns::Value& change,
                              void* context) override;

 private:
  void prepareToPlayAsset(const std::shared_ptr<av::URLAsset>& asset, const std::vector<std::string>& keys);
  void itemBecameReady();
  void playerItemDidReachEnd();
  void removeItemObservers();
  void removePlayerObservers();
  void addScrubberObserver(double interval);
  void addGestureRecognizers();
  void scheduleAfterDelay(const char* selector, void (AKMoviePlayerController::*method)());
  void didGoToFullscreen();
  // Once dismissed: the view goes back towards its place in the host.
  void returnFromPresentation();
  void didBackFromFullscreen();
  // A switch the player itself asked for while a transition ran: made when it ends.
  void runPendingSwitch();
  bool isShareSheetOnScreen() const;
  ns::Value neighbourVideoItem(int step) const;
  void didLoadVideoItem(const ns::Value& record, const std::optional<ns::URL>& url);
  bool isPhone() const;

  std::weak_ptr<AKMoviePlayerControllerDelegate> delegate_;
  std::optional<ns::URL> url_;
  ns::Array playList_;
  ns::Value shareInfo_;
  std::shared_ptr<ui::Image> previewImage_;
  std::shared_ptr<av::Player> player_;
  std::shared_ptr<av::PlayerItem> playerItem_;
  // The asset whose keys are loading; a completion for any other asset is stale.
  std::shared_ptr<av::URLAsset> openingAsset_;
  std::shared_ptr<ns::Object> timeObserver_;
  std::shared_ptr<ns::Object> playedTimeObserver_;
  std::shared_ptr<ns::Object> endObserver_;
  bool observingPlayer_ = false;

  std::shared_ptr<AKMoviePlayerView> playerView_;
  std::shared_ptr<AKMoviePreviewControllBar> previewControllBar_;
  std::shared_ptr<AKMovieUpperControllBar> upperControllBar_;
  std::shared_ptr<AKMovieLowerControllBar> lowerControllBar_;
  std::shared_ptr<AKMovieSocialControllBar> socialControllBar_;
  std::shared_ptr<ui::View> activityView_;
  std::shared_ptr<ui::View> previewMask_;
  std::shared_ptr<ui::ImageView> previewImgView_;
  std::shared_ptr<ui::Button> startButton_;
  std::shared_ptr<ui::View> blackScreen_;
  std::shared_ptr<ui::View> vkSocialView_;
  std::shared_ptr<ui::View> fbSocialView_;
  ns::Value sendAdvItem_;

  // Between resetPlayList and the next preparePlayList: the page is not on screen.
  bool isReset_ = false;
  bool isFullscreen_ = false;
  bool isChangingFullscreen_ = false;
  std::optional<bool> pendingFullscreen_;
  bool firstInit_ = true;
  bool autoPlay_ = true;
  bool autoPlayItemFromList_ = false;
  bool playingItemIsAdv_ = false;
  bool isItemHasError_ = false;
  bool isLoading_ = true;
  bool seekToZeroBeforePlay_ = false;
  float restoreAfterScrubbingRate_ = 0;
  int playingIndexItem_ = 0;
  bool statusBarInParentController_ = false;
  bool masksToBoundsInParentView_ = false;
  bool catchPinch_ = false;
  double pinchScale_ = 1;
  std::uint64_t backgroundToken_ = 0;
};
