#include "AKMoviePlayer/AKMoviePlayerController.h"

#include <algorithm>
#include <cmath>

#include "Dispatch/Dispatch.h"
#include "Foundation/Bundle.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "Media/PlayerLayer.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/Font.h"
#include "UIKit/Label.h"

namespace {

int AKMoviePlayerStatusObservationContext;
int AKMoviePlayerItemTimeRangesObservationContext;
int AKMoviePlayerCurrentItemObservationContext;
int AKMoviePlayerRateObservationContext;

constexpr const char* kTracksKey = "tracks";
constexpr const char* kPlayableKey = "playable";
constexpr const char* kStatusKey = "status";
constexpr const char* kLoadedTimeRangesKey = "loadedTimeRanges";
constexpr const char* kCurrentItemKey = "currentItem";
constexpr const char* kRateKey = "rate";

constexpr std::int32_t kNanoseconds = 1'000'000'000;

av::Time seconds(double s) { return av::TimeMakeWithSeconds(s, kNanoseconds); }

}  // namespace

AKMoviePlayerController::AKMoviePlayerController() = default;

AKMoviePlayerController::~AKMoviePlayerController() {
  // Teardown: nothing may call back into a controller that is going.
  if (player_ && timeObserver_) player_->removeTimeObserver(timeObserver_);
  if (player_ && playedTimeObserver_) player_->removeTimeObserver(playedTimeObserver_);
  if (playerItem_) {
    playerItem_->removeObserver(this, kStatusKey);
    playerItem_->removeObserver(this, kLoadedTimeRangesKey);
  }
  if (endObserver_) ns::NotificationCenter::defaultCenter()->removeObserver(endObserver_);
  if (player_) {
    if (observingPlayer_) {
      player_->removeObserver(this, kCurrentItemKey);
      player_->removeObserver(this, kRateKey);
    }
    player_->pause();
  }
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
  ns::cancelPreviousPerformRequestsWithTarget(this);
}

std::shared_ptr<AKMoviePlayerController> AKMoviePlayerController::init() {
  ui::ViewController::init();
  isFullscreen_ = false;
  isLoading_ = true;
  firstInit_ = true;
  autoPlay_ = true;
  setModalPresentationStyle(ui::ModalPresentationStyle::fullScreen);
  auto center = ns::NotificationCenter::defaultCenter();
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  center->addObserver(
      shared_from_this(),
      [weak](const ns::Notification&) {
        if (auto self = weak.lock()) self->pause();
      },
      ui::kApplicationDidEnterBackgroundNotification);
  center->addObserver(
      shared_from_this(),
      [weak](const ns::Notification&) {
        if (auto self = weak.lock()) self->syncPlayPauseButtons();
      },
      ui::kApplicationDidBecomeActiveNotification);
  return self<AKMoviePlayerController>();
}

bool AKMoviePlayerController::isPhone() const {
  return ui::Device::currentDevice()->userInterfaceIdiom() == ui::UserInterfaceIdiom::phone;
}

void AKMoviePlayerController::viewDidLoad() {
  auto v = view();
  const unsigned flexibleSize = ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight;
  playerView_ = std::make_shared<AKMoviePlayerView>();
  playerView_->initWithFrame({});
  playerView_->setBackgroundColor(ui::Color::blackColor());
  playerView_->setAutoresizingMask(flexibleSize);
  v->setFrame({0, 0, 300, 300});
  v->setClipsToBounds(true);
  playerView_->setFrame(v->frame());
  v->addSubview(playerView_);

  previewImgView_ = std::make_shared<ui::ImageView>();
  previewImgView_->initWithFrame(v->frame());
  previewImgView_->setAutoresizingMask(flexibleSize);
  previewImgView_->setContentMode(ui::ViewContentMode::scaleAspectFill);
  previewImgView_->setBackgroundColor(ui::Color::blackColor());
  previewImgView_->setHidden(true);
  v->addSubview(previewImgView_);

  blackScreen_ = std::make_shared<ui::View>();
  blackScreen_->initWithFrame(v->frame());
  blackScreen_->setAutoresizingMask(flexibleSize);
  blackScreen_->setBackgroundColor(ui::Color::blackColor());
  blackScreen_->setHidden(true);
  v->addSubview(blackScreen_);

  previewControllBar_ = std::make_shared<AKMoviePreviewControllBar>();
  previewControllBar_->initWithParentFrame(v->frame());
  previewControllBar_->setDelegate(self<AKMoviePlayerController>());
  previewControllBar_->setHidden(true);
  v->addSubview(previewControllBar_);

  addGestureRecognizers();
  initScrubberTimer();
  syncPlayPauseButtons();
}

void AKMoviePlayerController::showBlackScreen() {
  view();
  blackScreen_->setHidden(false);
}

void AKMoviePlayerController::hideBlackScreen() {
  view();
  blackScreen_->setHidden(true);
}

void AKMoviePlayerController::setPreviewImage(std::shared_ptr<ui::Image> image) {
  view();
  previewImage_ = std::move(image);
  hideBlackScreen();
  if (isPlaying()) {
    previewImgView_->setHidden(true);
  } else if (!previewImage_) {
    previewImgView_->setImage(nullptr);
    previewImgView_->setHidden(true);
  } else {
    previewImgView_->setImage(previewImage_);
    previewImgView_->setHidden(false);
  }
}

bool AKMoviePlayerController::isPlaying() const {
  return restoreAfterScrubbingRate_ != 0 || (player_ && player_->rate() != 0);
}

// --- Playlist and loading

void AKMoviePlayerController::setPlayList(const ns::Array& playList) {
  // An empty list is ignored outright: it must not even pause what is playing.
  if (playList.empty()) return;
  pause();
  playList_ = playList;
  playItemFromList(0, false);
}

void AKMoviePlayerController::playItemFromList(int index, bool autoPlay) {
  view();
  autoPlayItemFromList_ = autoPlay;
  if (index < 0 || static_cast<std::size_t>(index) >= playList_.size()) {
    ns::log("Error: no item in play list");
    return;
  }
  playingIndexItem_ = index;
  syncTimeLabel();
  syncScrubber();
  const ns::Value& entry = playList_[static_cast<std::size_t>(index)];
  const ns::Value& urlValue = entry["url"];
  std::optional<ns::URL> url =
      urlValue.asString() ? ns::URL::URLWithString(*urlValue.asString()) : std::nullopt;
  checkNextAndPrevItemButton();
  playingItemIsAdv_ = entry["adv"].boolValue();
  previewControllBar_->setIsAdv(playingItemIsAdv_);
  if (upperControllBar_) upperControllBar_->setIsAdv(playingItemIsAdv_);
  if (lowerControllBar_) lowerControllBar_->setIsAdv(playingItemIsAdv_);
  if (url) {
    setURL(*url);
    return;
  }
  // An address that does not parse is an asset that cannot be played.
  url_.reset();
  openingAsset_.reset();
  showActivity();
  hideActivity();
  assetFailedToPrepareForPlayback(ns::Error::make("StitchedStreamPlayer", 0, {}));
}

void AKMoviePlayerController::nextPlaylistItem(bool autoPlay) {
  autoPlay_ = false;
  firstInit_ = false;
  playItemFromList(playingIndexItem_ + 1, autoPlay);
}

void AKMoviePlayerController::setURL(const ns::URL& url) {
  url_ = url;
  showActivity();
  auto asset = av::URLAsset::URLAssetWithURL(url);
  openingAsset_ = asset;
  std::vector<std::string> keys = {kTracksKey, kPlayableKey};
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  asset->loadValuesAsynchronouslyForKeys(keys, [weak, asset, keys] {
    dispatch::async(dispatch::mainQueue(), [weak, asset, keys] {
      auto self = weak.lock();
      // A reset, a newer entry or teardown has moved on: this asset is no longer wanted.
      if (!self || self->openingAsset_ != asset) return;
      self->openingAsset_.reset();
      self->prepareToPlayAsset(asset, keys);
    });
  });
}

void AKMoviePlayerController::prepareToPlayAsset(const std::shared_ptr<av::URLAsset>& asset,
                                                 const std::vector<std::string>& keys) {
  showActivity();
  if (isFullscreen_ && upperControllBar_) upperControllBar_->didSetNewItem();
  if (autoPlayItemFromList_) showBlackScreen();
  for (const auto& key : keys) {
    if (asset->statusOfValueForKey(key) == av::KeyValueStatus::failed) {
      hideActivity();
      ns::ErrorPtr error;
      if (asset->statusOfValueForKey(key, &error) == av::KeyValueStatus::failed) {
        assetFailedToPrepareForPlayback(error);
        return;
      }
    }
  }
  if (!asset->isPlayable()) {
    hideActivity();
    ns::Dictionary info;
    info.set(ns::kLocalizedDescriptionKey, ns::localizedString("Item cannot be played"));
    info.set(ns::kLocalizedFailureReasonErrorKey,
             ns::localizedString("The assets tracks were loaded, but could not be made playable."));
    assetFailedToPrepareForPlayback(ns::Error::make("StitchedStreamPlayer", 0, std::move(info)));
    return;
  }
  removeItemObservers();
  playerItem_ = av::PlayerItem::playerItemWithAsset(asset);
  auto me = shared_from_this();
  playerItem_->addObserver(me, kStatusKey,
                           ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial,
                           &AKMoviePlayerStatusObservationContext);
  playerItem_->addObserver(me, kLoadedTimeRangesKey, ns::KeyValueObservingOptionNew,
                           &AKMoviePlayerItemTimeRangesObservationContext);
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  std::weak_ptr<av::PlayerItem> weakItem = playerItem_;
  endObserver_ = ns::NotificationCenter::defaultCenter()->addObserverForName(
      av::kPlayerItemDidPlayToEndTimeNotification,
      ns::Value(std::static_pointer_cast<ns::Object>(playerItem_)), [weak](const ns::Notification&) {
        if (auto self = weak.lock()) self->playerItemDidReachEnd();
      });
  seekToZeroBeforePlay_ = false;
  if (!player_) {
    player_ = av::Player::playerWithPlayerItem(playerItem_);
    player_->setAllowsExternalPlayback(true);
    player_->addObserver(me, kCurrentItemKey,
                         ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial,
                         &AKMoviePlayerCurrentItemObservationContext);
    player_->addObserver(me, kRateKey, ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial,
                         &AKMoviePlayerRateObservationContext);
    observingPlayer_ = true;
  }
  if (player_->currentItem() != playerItem_) {
    player_->replaceCurrentItemWithPlayerItem(playerItem_);
    syncPlayPauseButtons();
  }
}

void AKMoviePlayerController::removeItemObservers() {
  if (endObserver_) {
    ns::NotificationCenter::defaultCenter()->removeObserver(endObserver_);
    endObserver_.reset();
  }
  if (!playerItem_) return;
  playerItem_->removeObserver(this, kStatusKey);
  playerItem_->removeObserver(this, kLoadedTimeRangesKey);
}

void AKMoviePlayerController::removePlayerObservers() {
  if (!player_ || !observingPlayer_) return;
  player_->removeObserver(this, kCurrentItemKey);
  player_->removeObserver(this, kRateKey);
  observingPlayer_ = false;
}

void AKMoviePlayerController::observeValueForKeyPath(std::string_view keyPath, ns::Object& object,
                                                     const ns::Value& change, void* context) {
  const ns::Value& value = change[ns::kKeyValueChangeNewKey];
  if (context == &AKMoviePlayerStatusObservationContext) {
    if (&object != playerItem_.get()) return;
    syncPlayPauseButtons();
    switch (static_cast<av::PlayerItemStatus>(value.intValue())) {
      case av::PlayerItemStatus::unknown:
        removePlayerTimeObserver();
        syncScrubber();
        previewControllBar_->setHidden(true);
        break;
      case av::PlayerItemStatus::readyToPlay:
        itemBecameReady();
        break;
      case av::PlayerItemStatus::failed:
        assetFailedToPrepareForPlayback(playerItem_->error());
        break;
    }
  } else if (context == &AKMoviePlayerRateObservationContext) {
    syncPlayPauseButtons();
  } else if (context == &AKMoviePlayerCurrentItemObservationContext) {
    if (value.isNull() || value.isNil()) {
      previewControllBar_->setHidden(true);
    } else {
      playerView_->setPlayer(player_);
      playerView_->setVideoFillMode(av::kLayerVideoGravityResizeAspect);
      syncPlayPauseButtons();
    }
  } else if (context == &AKMoviePlayerItemTimeRangesObservationContext) {
    syncLoadedTime();
  } else {
    ui::ViewController::observeValueForKeyPath(keyPath, object, change, context);
  }
}

void AKMoviePlayerController::itemBecameReady() {
  removePlayerTimeObserver();
  initScrubberTimer();
  syncScrubber();
  previewControllBar_->setItemDuration(playerItemDuration());
  previewControllBar_->setHidden(true);
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  // Kept so that it goes together with the scrubber observer, one per ready entry.
  playedTimeObserver_ =
      player_->addPeriodicTimeObserverForInterval(seconds(1.0), dispatch::mainQueue(), [weak](av::Time) {
        if (auto self = weak.lock()) self->syncTimeLabel();
      });
  hideActivity();
  syncTimeLabel();
  if (!isPhone()) checkVisibilityPreviewControllBar();
  if (isFullscreen_ && upperControllBar_) upperControllBar_->setItemDuration(playerItemDuration());
  if (autoPlay_) {
    play();
    autoPlay_ = false;
    firstInit_ = false;
  } else if (firstInit_) {
    setStartButton();
  }
  if (autoPlayItemFromList_) play();
  autoPlayItemFromList_ = false;
  syncPlayPauseButtons();
}

void AKMoviePlayerController::setStartButton() {
  view();
  if (!startButton_) {
    startButton_ = ui::Button::buttonWithType(ui::ButtonType::custom);
    cg::Rect b = view()->bounds();
    startButton_->setFrame({std::floor((b.width() - 66) / 2), std::floor((b.height() - 66) / 2), 66, 66});
    startButton_->setAutoresizingMask(
        ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
        ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    startButton_->setImage(ui::Image::imageNamed("AKMovieImages.bundle/startPlay"), ui::ControlStateNormal);
    startButton_->addTarget(self<AKMoviePlayerController>(), &AKMoviePlayerController::startPlay,
                            ui::ControlEventTouchDown);
    view()->addSubview(startButton_);
  }
  startButton_->setHidden(false);
}

void AKMoviePlayerController::startPlay() {
  if (startButton_) startButton_->setHidden(true);
  if (isItemHasError_) {
    isItemHasError_ = false;
    playItemFromList(playingIndexItem_, true);
    return;
  }
  firstInit_ = false;
  play();
}

void AKMoviePlayerController::play() {
  view();
  if (seekToZeroBeforePlay_) {
    seekToZeroBeforePlay_ = false;
    if (player_) player_->seekToTime(av::kTimeZero);
  }
  previewImgView_->setHidden(true);
  blackScreen_->setHidden(true);
  if (startButton_) startButton_->setHidden(true);
  if (player_) player_->play();
  if (isPhone()) {
    previewControllBar_->setHidden(true);
    goToFullscreen();
  }
  syncPlayPauseButtons();
  if (playingItemIsAdv_) {
    showControlsBar();
  } else {
    scheduleAfterDelay("hideControlsBar", &AKMoviePlayerController::hideControlsBar);
  }
}

void AKMoviePlayerController::pause() {
  if (player_) player_->pause();
  syncPlayPauseButtons();
}

void AKMoviePlayerController::syncPlayPauseButtons() {
  if (!previewControllBar_) return;
  bool playing = isPlaying();
  if (playing) {
    previewControllBar_->showPauseButton();
    if (lowerControllBar_) lowerControllBar_->showPauseButton();
  } else {
    previewControllBar_->showPlayButton();
    if (lowerControllBar_) lowerControllBar_->showPlayButton();
  }
  if (isPhone() && playingItemIsAdv_ && lowerControllBar_) {
    if (playing)
      lowerControllBar_->hide();
    else
      lowerControllBar_->show();
  }
}

void AKMoviePlayerController::playerItemDidReachEnd() {
  seekToZeroBeforePlay_ = true;
  if (static_cast<std::size_t>(playingIndexItem_ + 1) < playList_.size()) {
    nextPlaylistItem(true);
  } else {
    nextVideo();
  }
}

void AKMoviePlayerController::preparePlayList() {
  if (isFullscreen_) return;
  isReset_ = false;
  if (!playList_.empty()) setPlayList(ns::Array(playList_));
  firstInit_ = true;
  if (previewImage_) setPreviewImage(previewImage_);
}

void AKMoviePlayerController::resetPlayList() {
  if (isFullscreen_) return;
  isReset_ = true;
  pause();
  openingAsset_.reset();
  removePlayerTimeObserver();
  removeItemObservers();
  removePlayerObservers();
  playingIndexItem_ = 0;
  if (player_) player_->replaceCurrentItemWithPlayerItem(nullptr);
  playerItem_.reset();
  player_.reset();
  if (playerView_) playerView_->setPlayer(nullptr);
  if (startButton_) {
    startButton_->removeFromSuperview();
    startButton_.reset();
  }
}

// --- Times

av::Time AKMoviePlayerController::playerItemDuration() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  if (item && item->status() == av::PlayerItemStatus::readyToPlay) return item->duration();
  return av::kTimeInvalid;
}

double AKMoviePlayerController::availableDuration() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  if (!item || item->loadedTimeRanges().empty()) return 0;
  const av::TimeRange& range = item->loadedTimeRanges().front();
  return av::TimeGetSeconds(range.start) + av::TimeGetSeconds(range.duration);
}

void AKMoviePlayerController::syncTimeLabel() {
  if (!previewControllBar_) return;
  av::Time now = player_ ? player_->currentTime() : av::kTimeZero;
  previewControllBar_->syncPlayedTime(now);
  if (isFullscreen_ && upperControllBar_) upperControllBar_->syncPlayedTime(now);
}

void AKMoviePlayerController::syncLoadedTime() {
  double loaded = availableDuration();
  previewControllBar_->syncLoadedTime(loaded);
  if (isFullscreen_ && upperControllBar_) upperControllBar_->syncLoadedTime(loaded);
}

// --- Activity

void AKMoviePlayerController::showActivity() {
  isLoading_ = true;
  if (isFullscreen_) {
    if (upperControllBar_) {
      upperControllBar_->setLoading(true);
      upperControllBar_->show();
    }
    if (lowerControllBar_) {
      lowerControllBar_->setButtonsEnabled(false);
      lowerControllBar_->show();
    }
    if (socialControllBar_) socialControllBar_->hide();
    return;
  }
  previewControllBar_->setHidden(true);
  auto v = view();
  if (activityView_ && activityView_->superview() == v) return;
  cg::Rect b = v->bounds();
  activityView_ = std::make_shared<ui::View>();
  activityView_->initWithFrame({std::floor((b.width() - 110) / 2), b.height() - 30, 110, 20});
  activityView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                     ui::ViewAutoresizingFlexibleRightMargin |
                                     ui::ViewAutoresizingFlexibleTopMargin);
  auto spinner = std::make_shared<ui::ActivityIndicatorView>();
  spinner->initWithFrame({0, 0, 20, 20});
  spinner->startAnimating();
  activityView_->addSubview(spinner);
  auto label = std::make_shared<ui::Label>();
  label->initWithFrame({30, 0, 80, 20});
  label->setText("Загрузка...");
  label->setFont(ui::Font::boldSystemFontOfSize(14));
  label->setTextColor(ui::Color::whiteColor());
  label->setBackgroundColor(ui::Color::clearColor());
  activityView_->addSubview(label);
  v->addSubview(activityView_);
}

void AKMoviePlayerController::hideActivity() {
  isLoading_ = false;
  if (isFullscreen_) {
    if (upperControllBar_) upperControllBar_->setLoading(false);
    if (lowerControllBar_) lowerControllBar_->setButtonsEnabled(true);
    return;
  }
  if (activityView_) activityView_->removeFromSuperview();
}

// --- Failures

void AKMoviePlayerController::assetFailedToPrepareForPlayback(const ns::ErrorPtr&) {
  // The indicator goes whatever failed, or taps stay dead and "Загрузка..." stays up for ever.
  hideActivity();
  if (playingItemIsAdv_) {
    nextPlaylistItem(false);
    return;
  }
  backFromFullscreen();
  removePlayerTimeObserver();
  syncScrubber();
  previewControllBar_->setHidden(true);
  setStartButton();
  isItemHasError_ = true;
  showErrorAlert();
}

void AKMoviePlayerController::showErrorAlert() {
  auto alert = std::make_shared<ui::AlertView>();
  alert->initWithTitle("Ошибка", "Выбранный вами эпизод временно недоступен. Повторите попытку позже.", {},
                       "OK", {});
  alert->show();
}
