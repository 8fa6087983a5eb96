// The controller's controls: auto-hide, taps and pinches, scrubbing, the advertiser's page,
// back 30 seconds, video gravity and the passage to and from full screen.
#include <algorithm>
#include <cmath>

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Foundation/RunLoop.h"
#include "Foundation/URLRequest.h"
#include "Media/PlayerLayer.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "UIKit/Application.h"
#include "UIKit/Window.h"

namespace {

constexpr std::int32_t kNanoseconds = 1'000'000'000;
constexpr double kTransitionSeconds = 0.4;
constexpr double kPinchThreshold = 0.2;

av::Time seconds(double s) { return av::TimeMakeWithSeconds(s, kNanoseconds); }

bool isInside(const ui::View* touched, const std::shared_ptr<ui::View>& container) {
  return touched && container && (touched == container.get() || touched->isDescendantOfView(container.get()));
}

// Only a web address is offered and opened from an advertising entry.
std::optional<ns::URL> webAddress(const ns::Value& value) {
  const std::string* text = value.asString();
  if (!text || text->empty()) return std::nullopt;
  auto url = ns::URL::URLWithString(*text);
  if (!url) return std::nullopt;
  std::string scheme = url->scheme().value_or("");
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (scheme != "http" && scheme != "https") return std::nullopt;
  return url;
}

}  // namespace

void AKMoviePlayerController::scheduleAfterDelay(const char* selector,
                                                 void (AKMoviePlayerController::*method)()) {
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  ns::performAfterDelay(
      shared_from_this(), selector,
      [weak, method] {
        if (auto self = weak.lock()) ((*self).*method)();
      },
      kControlsHideDelay);
}

bool AKMoviePlayerController::isShareSheetOnScreen() const {
  return (vkSocialView_ && vkSocialView_->superview()) || (fbSocialView_ && fbSocialView_->superview());
}

// --- Auto-hide

void AKMoviePlayerController::showControlsBar() {
  if (isLoading_) return;
  if (isFullscreen_) {
    if (upperControllBar_) upperControllBar_->show();
    if (lowerControllBar_) lowerControllBar_->show();
  } else if (previewControllBar_) {
    previewControllBar_->show();
  }
}

void AKMoviePlayerController::hideControlsBar() {
  if (playingItemIsAdv_) return;
  if (isFullscreen_) {
    if (upperControllBar_) upperControllBar_->hide();
    if (lowerControllBar_) lowerControllBar_->hide();
    if (socialControllBar_) socialControllBar_->hide();
  } else if (previewControllBar_) {
    previewControllBar_->hide();
  }
}

void AKMoviePlayerController::checkVisibilityPreviewControllBar() {
  ns::cancelPreviousPerformRequestsWithTarget(this, "hideControlsBar");
  ns::cancelPreviousPerformRequestsWithTarget(this, "checkVisibilityPreviewControllBar");
  if (firstInit_ || !previewControllBar_) return;
  if (isFullscreen_) {
    previewControllBar_->hide();
    return;
  }
  if (previewControllBar_->isHidden()) {
    previewControllBar_->show();
    if (isPlaying())
      scheduleAfterDelay("checkVisibilityPreviewControllBar",
                         &AKMoviePlayerController::checkVisibilityPreviewControllBar);
  } else if (!playingItemIsAdv_ && restoreAfterScrubbingRate_ == 0) {
    previewControllBar_->hide();
  }
}

void AKMoviePlayerController::checkVisibilityFullScreenControl() {
  ns::cancelPreviousPerformRequestsWithTarget(this, "checkVisibilityFullScreenControl");
  if (playingItemIsAdv_) return;
  if (!isFullscreen_) {
    if (upperControllBar_) upperControllBar_->hide();
    if (lowerControllBar_) lowerControllBar_->hide();
    return;
  }
  if (!upperControllBar_) return;
  if (upperControllBar_->isHidden()) {
    if (isShareSheetOnScreen()) return;
    upperControllBar_->show();
    if (lowerControllBar_) lowerControllBar_->show();
    if (isPlaying())
      scheduleAfterDelay("checkVisibilityFullScreenControl",
                         &AKMoviePlayerController::checkVisibilityFullScreenControl);
  } else if (restoreAfterScrubbingRate_ == 0) {
    upperControllBar_->hide();
    if (lowerControllBar_) lowerControllBar_->hide();
    if (socialControllBar_) socialControllBar_->hide();
  }
}

// --- Touches

void AKMoviePlayerController::addGestureRecognizers() {
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  auto tap = std::make_shared<ui::TapGestureRecognizer>();
  tap->initWithAction([weak](ui::GestureRecognizer&) {
    if (auto self = weak.lock()) self->handleTouchesOne();
  });
  // The bars under the finger still get their touch.
  tap->setCancelsTouchesInView(false);
  tap->setDelegate(weak);
  view()->addGestureRecognizer(tap);

  auto pinch = std::make_shared<ui::PinchGestureRecognizer>();
  pinch->initWithAction([weak](ui::GestureRecognizer& r) {
    auto self = weak.lock();
    if (!self) return;
    auto& p = static_cast<ui::PinchGestureRecognizer&>(r);
    if (p.state() == ui::GestureRecognizerState::began)
      self->handlePinchBegan(p.scale());
    else if (p.state() == ui::GestureRecognizerState::changed)
      self->handlePinchChanged(p.scale());
  });
  pinch->setDelegate(weak);
  view()->addGestureRecognizer(pinch);
}

bool AKMoviePlayerController::gestureShouldReceiveTouch(const ui::View* touched) const {
  if (firstInit_ || isItemHasError_) return false;
  const std::shared_ptr<ui::View> refused[] = {startButton_,      previewControllBar_, upperControllBar_,
                                               lowerControllBar_, socialControllBar_,  vkSocialView_,
                                               fbSocialView_};
  return std::none_of(std::begin(refused), std::end(refused),
                      [touched](const std::shared_ptr<ui::View>& v) { return isInside(touched, v); });
}

bool AKMoviePlayerController::gestureShouldBegin() const { return !firstInit_ && !isShareSheetOnScreen(); }

void AKMoviePlayerController::handleTouchesOne() {
  if ((isPhone() && !isFullscreen_) || isChangingFullscreen_) return;
  if (playingItemIsAdv_ && static_cast<std::size_t>(playingIndexItem_) < playList_.size()) {
    const ns::Value& entry = playList_[static_cast<std::size_t>(playingIndexItem_)];
    if (webAddress(entry["webUrl"])) {
      sendAdvItem_ = entry;
      auto alert = std::make_shared<ui::AlertView>();
      alert->initWithTitle("", "Перейти на веб-сайт рекламодателя?", self<AKMoviePlayerController>(), "OK",
                           {"Отмена"});
      alert->show();
      return;
    }
  }
  if (isFullscreen_) {
    checkVisibilityFullScreenControl();
  } else if (!isLoading_) {
    checkVisibilityPreviewControllBar();
  }
}

void AKMoviePlayerController::alertViewClickedButtonAtIndex(ui::AlertView&, int buttonIndex) {
  if (buttonIndex == 0) goToAdvLink();
}

void AKMoviePlayerController::goToAdvLink() {
  ns::Value item = std::move(sendAdvItem_);
  sendAdvItem_ = ns::Value();
  auto web = webAddress(item["webUrl"]);
  // The click is counted before the page opens; the wait is bounded so that a silent counter
  // cannot freeze the client for long.
  if (auto counter = webAddress(item["counterUrl"])) {
    auto request = ns::URLRequest::requestWithURL(
        *counter, ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, kCounterTimeout);
    auto operation = std::make_shared<NTHTTPRequestOperation>();
    operation->initWithRequest(request);
    operation->limitResponseLength(kMaxCounterReplyLength);
    operation->start();
    operation->waitUntilFinished();
  }
  if (web) ui::Application::sharedApplication()->openURL(*web);
}

void AKMoviePlayerController::handlePinchBegan(double scale) {
  pinchScale_ = scale;
  catchPinch_ = false;
}

void AKMoviePlayerController::handlePinchChanged(double scale) {
  if (catchPinch_ || isChangingFullscreen_ || isLoading_) return;
  if (scale > pinchScale_ + kPinchThreshold && !isFullscreen_) {
    catchPinch_ = true;
    goToFullscreen();
  }
  if (scale < pinchScale_ - kPinchThreshold && isFullscreen_ && !catchPinch_) {
    catchPinch_ = true;
    backFromFullscreen();
  }
}

// --- Scrubbing

void AKMoviePlayerController::initScrubberTimer() {
  av::Time duration = playerItemDuration();
  if (av::TimeIsInvalid(duration) || !previewControllBar_) return;
  double total = av::TimeGetSeconds(duration);
  double interval = 0.1;
  if (std::isfinite(total)) {
    float width = previewControllBar_->scrubberWidth();
    if (width > 0) interval = 0.5 * total / width;
  }
  addScrubberObserver(interval);
}

void AKMoviePlayerController::addScrubberObserver(double interval) {
  if (!player_) return;
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  timeObserver_ =
      player_->addPeriodicTimeObserverForInterval(seconds(interval), dispatch::mainQueue(), [weak](av::Time) {
        if (auto self = weak.lock()) self->syncScrubber();
      });
}

void AKMoviePlayerController::removePlayerTimeObserver() {
  if (player_) {
    if (timeObserver_) player_->removeTimeObserver(timeObserver_);
    if (playedTimeObserver_) player_->removeTimeObserver(playedTimeObserver_);
  }
  timeObserver_.reset();
  playedTimeObserver_.reset();
}

void AKMoviePlayerController::syncScrubber() {
  if (!previewControllBar_) return;
  av::Time duration = playerItemDuration();
  if (av::TimeIsInvalid(duration)) {
    previewControllBar_->syncScrubber(0);
    return;
  }
  double total = av::TimeGetSeconds(duration);
  if (!std::isfinite(total) || total <= 0) return;
  float value = static_cast<float>(av::TimeGetSeconds(player_->currentTime()) / total);
  previewControllBar_->syncScrubber(value);
  if (isFullscreen_ && upperControllBar_) upperControllBar_->syncScrubber(value);
}

void AKMoviePlayerController::beginScrubbing() {
  if (!player_) return;
  restoreAfterScrubbingRate_ = player_->rate();
  player_->setRate(0);
  if (player_ && timeObserver_) player_->removeTimeObserver(timeObserver_);
  timeObserver_.reset();
}

void AKMoviePlayerController::scrub(float value) {
  av::Time duration = playerItemDuration();
  if (!player_ || !av::TimeIsNumeric(duration)) return;
  player_->seekToTime(seconds(value * av::TimeGetSeconds(duration)));
}

void AKMoviePlayerController::endScrubbing(float width) {
  if (!timeObserver_) {
    av::Time duration = playerItemDuration();
    if (av::TimeIsInvalid(duration)) return;
    double total = av::TimeGetSeconds(duration);
    if (std::isfinite(total) && width > 0) addScrubberObserver(0.5 * total / width);
  }
  if (restoreAfterScrubbingRate_ != 0) {
    if (player_) player_->setRate(restoreAfterScrubbingRate_);
    restoreAfterScrubbingRate_ = 0;
    if (previewControllBar_ && !previewControllBar_->isHidden())
      scheduleAfterDelay("checkVisibilityPreviewControllBar",
                         &AKMoviePlayerController::checkVisibilityPreviewControllBar);
    if (upperControllBar_ && !upperControllBar_->isHidden())
      scheduleAfterDelay("checkVisibilityFullScreenControl",
                         &AKMoviePlayerController::checkVisibilityFullScreenControl);
  }
}

void AKMoviePlayerController::back30() {
  if (!player_) return;
  double now = av::TimeGetSeconds(player_->currentTime());
  player_->seekToTime(seconds(std::max(0.0, now - 30)));
  seekToZeroBeforePlay_ = false;
}

void AKMoviePlayerController::setVideoGravity(const std::string& gravity) {
  if (!playerView_) return;
  av::PlayerLayer& layer = playerView_->playerLayer();
  layer.setVideoGravity(gravity);
  layer.setBounds(layer.bounds());
  layer.setNeedsDisplayOnBoundsChange(true);
}

// --- Full screen

void AKMoviePlayerController::goToFullscreen() {
  if (isChangingFullscreen_) {
    // Asked for by the player itself (the phone's play) while a transition runs.
    pendingFullscreen_ = true;
    return;
  }
  if (isFullscreen_) return;
  auto window = ui::Window::keyWindow();
  auto root = window && window->rootViewController() ? window->rootViewController()->view() : nullptr;
  auto v = view();
  auto host = v->superview();
  if (!root || !host) return;
  isFullscreen_ = true;
  auto app = ui::Application::sharedApplication();
  statusBarInParentController_ = app->isStatusBarHidden();
  previewControllBar_->setHidden(true);

  previewMask_ = std::make_shared<ui::View>();
  previewMask_->initWithFrame(v->frame());
  previewMask_->setAutoresizingMask(v->autoresizingMask());
  previewMask_->setBackgroundColor(ui::Color::clearColor());
  host->addSubview(previewMask_);
  masksToBoundsInParentView_ = host->clipsToBounds();
  host->setClipsToBounds(false);

  cg::Rect start = v->convertRectToView(v->frame(), root);
  v->removeFromSuperview();
  v->setFrame(start);
  root->addSubview(v);
  isChangingFullscreen_ = true;
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  cg::Rect target = root->bounds();
  ui::View::animateWithDuration(
      kTransitionSeconds, [v, target] { v->setFrame(target); },
      [weak](bool) {
        if (auto self = weak.lock()) self->didGoToFullscreen();
      });
}

void AKMoviePlayerController::didGoToFullscreen() {
  ui::Application::sharedApplication()->setStatusBarHidden(true, true);
  auto window = ui::Window::keyWindow();
  if (auto rootController = window ? window->rootViewController() : nullptr)
    rootController->presentViewController(self<AKMoviePlayerController>(), false);
  isChangingFullscreen_ = false;
  auto v = view();
  auto me = self<AKMoviePlayerController>();
  upperControllBar_ = std::make_shared<AKMovieUpperControllBar>();
  upperControllBar_->initWithWidth(static_cast<float>(v->bounds().width()));
  upperControllBar_->setDelegate(me);
  upperControllBar_->setItemDuration(playerItemDuration());
  upperControllBar_->setHidden(true);
  if (playingItemIsAdv_) upperControllBar_->setEnabledScrubber(false);
  lowerControllBar_ = std::make_shared<AKMovieLowerControllBar>();
  lowerControllBar_->init();
  lowerControllBar_->setDelegate(me);
  lowerControllBar_->setHidden(true);
  // A bar made after the entry loaded has heard no end of loading: without it a paused
  // advertisement's play button would stay disabled.
  lowerControllBar_->setButtonsEnabled(!isLoading_);
  v->addSubview(upperControllBar_);
  v->addSubview(lowerControllBar_);
  syncScrubber();
  syncLoadedTime();
  syncPlayPauseButtons();
  syncTimeLabel();
  if (playingItemIsAdv_) {
    upperControllBar_->setIsAdv(true);
    lowerControllBar_->setIsAdv(true);
  }
  checkNextAndPrevItemButton();
  if (playingItemIsAdv_) showControlsBar();
  runPendingSwitch();
}

void AKMoviePlayerController::backFromFullscreen() {
  if (isChangingFullscreen_) {
    // A failure while entering: leave once the entering has ended.
    pendingFullscreen_ = false;
    return;
  }
  if (!isFullscreen_) return;
  if (upperControllBar_) upperControllBar_->removeFromSuperview();
  if (lowerControllBar_) lowerControllBar_->removeFromSuperview();
  if (socialControllBar_) socialControllBar_->removeFromSuperview();
  upperControllBar_.reset();
  lowerControllBar_.reset();
  socialControllBar_.reset();
  auto app = ui::Application::sharedApplication();
  if (!statusBarInParentController_) app->setStatusBarHidden(false, false);
  isChangingFullscreen_ = true;
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  auto returnToHost = [weak] {
    if (auto self = weak.lock()) self->returnFromPresentation();
  };
  // Through the presenter, so that a composer the player presented goes too.
  if (auto presenter = presentingViewController())
    presenter->dismissViewControllerAnimated(false, returnToHost);
  else
    ns::RunLoop::mainRunLoop()->performBlock(returnToHost);
  isFullscreen_ = false;
  showControlsBar();
  if (isPhone()) {
    pause();
    setStartButton();
    previewControllBar_->setHidden(true);
  }
}

void AKMoviePlayerController::returnFromPresentation() {
  auto window = ui::Window::keyWindow();
  auto root = window && window->rootViewController() ? window->rootViewController()->view() : nullptr;
  if (!root) return didBackFromFullscreen();
  root->layoutIfNeeded();
  auto v = view();
  cg::Rect target = previewMask_ && previewMask_->superview()
                        ? previewMask_->convertRectToView(previewMask_->frame(), root)
                        : v->frame();
  v->setTransform(cg::AffineTransform::identity());
  root->addSubview(v);
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  ui::View::animateWithDuration(
      kTransitionSeconds, [v, target] { v->setFrame(target); },
      [weak](bool) {
        if (auto self = weak.lock()) self->didBackFromFullscreen();
      });
}

void AKMoviePlayerController::didBackFromFullscreen() {
  isChangingFullscreen_ = false;
  auto v = view();
  if (previewMask_) {
    if (auto host = previewMask_->superview()) {
      v->removeFromSuperview();
      v->setFrame(previewMask_->frame());
      host->insertSubviewAboveSubview(v, previewMask_);
      if (masksToBoundsInParentView_) host->setClipsToBounds(true);
    }
    previewMask_->removeFromSuperview();
    previewMask_.reset();
  }
  if (playerView_) playerView_->setVideoFillMode(av::kLayerVideoGravityResizeAspect);
  if (isPhone()) {
    pause();
    setStartButton();
  }
  runPendingSwitch();
}

void AKMoviePlayerController::runPendingSwitch() {
  auto pending = pendingFullscreen_;
  pendingFullscreen_.reset();
  if (!pending) return;
  if (*pending)
    goToFullscreen();
  else
    backFromFullscreen();
}

bool AKMoviePlayerController::shouldAutorotate() {
  if (socialControllBar_) socialControllBar_->removeFromSuperview();
  return true;
}

bool AKMoviePlayerController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) {
  if (socialControllBar_) socialControllBar_->removeFromSuperview();
  return true;
}
