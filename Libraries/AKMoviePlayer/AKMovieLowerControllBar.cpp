#include "AKMoviePlayer/AKMovieLowerControllBar.h"

#include "Media/MusicPlayerController.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

namespace {

constexpr double kFadeDuration = 0.3;

// The panel's frame for the device and the status bar's orientation.
cg::Rect panelFrame() {
  bool landscape = ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
  if (ui::isPad()) return landscape ? cg::Rect{296, 600, 431, 90} : cg::Rect{165, 850, 431, 90};
  bool tall = ui::Screen::mainScreen()->bounds().height() == 568;
  if (landscape) return {tall ? 129.0 : 85.0, 210, 310, 90};
  return {5, tall ? 473.0 : 380.0, 310, 90};
}

}  // namespace

std::shared_ptr<AKMovieLowerControllBar> AKMovieLowerControllBar::init() {
  bool pad = ui::isPad();
  initWithFrame(panelFrame());
  setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                      ui::ViewAutoresizingFlexibleTopMargin);
  if (auto pattern = ui::Image::imageNamed(pad ? "AKMovieImages.bundle/controllPanel"
                                               : "AKMovieImages.bundle/controllPanel_iPhone"))
    setBackgroundColor(ui::Color::colorWithPatternImage(pattern));
  auto me = self<AKMovieLowerControllBar>();

  volumeView_ = std::make_shared<av::VolumeView>()->initWithFrame(pad ? cg::Rect{65, 57, 300, 30}
                                                                      : cg::Rect{20, 55, 270, 30});
  volumeView_->setClipsToBounds(false);
  addSubview(volumeView_);

  auto button = [&](cg::Rect padFrame, cg::Rect phoneFrame, const char* image,
                    void (AKMovieLowerControllBar::*action)()) {
    auto b = akmovie::imageButton(pad ? padFrame : phoneFrame, image);
    b->addTarget(me, action, ui::ControlEventTouchUpInside);
    addSubview(b);
    return b;
  };
  back30_ = button({70, 5, 40, 35}, {10, 5, 40, 35}, "AKMovieImages.bundle/back30",
                   &AKMovieLowerControllBar::back30Action);
  prev_ = button({130, 5, 40, 35}, {70, 5, 40, 35}, "AKMovieImages.bundle/previous",
                 &AKMovieLowerControllBar::prevAction);
  play_ = button({200, 7, 40, 30}, {136, 7, 40, 30}, "AKMovieImages.bundle/play",
                 &AKMovieLowerControllBar::playTapped);
  play_->setTag(kPlayImageTag);
  next_ = button({260, 7, 40, 30}, {201, 7, 40, 30}, "AKMovieImages.bundle/next",
                 &AKMovieLowerControllBar::nextAction);
  social_ = button({380, 7, 40, 30}, {260, 7, 40, 30}, "AKMovieImages.bundle/social",
                   &AKMovieLowerControllBar::socialAction);
  return me;
}

void AKMovieLowerControllBar::show() { fader_.fadeIn(*this, kFadeDuration); }

void AKMovieLowerControllBar::hide() { fader_.fadeOut(self<View>(), kFadeDuration); }

void AKMovieLowerControllBar::showPauseButton() {
  play_->setImage(ui::Image::imageNamed("AKMovieImages.bundle/pause"), ui::ControlStateNormal);
  play_->setTag(kPauseImageTag);
  if (isAdv_) play_->setEnabled(false);
}

void AKMovieLowerControllBar::showPlayButton() {
  play_->setImage(ui::Image::imageNamed("AKMovieImages.bundle/play"), ui::ControlStateNormal);
  play_->setTag(kPlayImageTag);
  if (buttonsEnabled_) play_->setEnabled(true);
}

// Everything on for the item that plays: next and previous only where they lead somewhere.
void AKMovieLowerControllBar::enableForItem() {
  play_->setEnabled(true);
  back30_->setEnabled(true);
  next_->setEnabled(nextItemEnabled_);
  prev_->setEnabled(prevItemEnabled_);
  social_->setEnabled(true);
}

void AKMovieLowerControllBar::setButtonsEnabled(bool enabled) {
  buttonsEnabled_ = enabled;
  if (!enabled) {
    for (const auto& b : {play_, back30_, next_, prev_, social_}) b->setEnabled(false);
    return;
  }
  if (!isAdv_) enableForItem();
}

void AKMovieLowerControllBar::setIsAdv(bool isAdv) {
  isAdv_ = isAdv;
  if (!isAdv) {
    enableForItem();
    return;
  }
  if (play_->tag() == kPauseImageTag) play_->setEnabled(false);
  for (const auto& b : {back30_, next_, prev_, social_}) b->setEnabled(false);
}

void AKMovieLowerControllBar::setNextItemEnabled(bool enabled) {
  nextItemEnabled_ = enabled;
  next_->setEnabled(enabled);
}

void AKMovieLowerControllBar::setPrevItemEnabled(bool enabled) {
  prevItemEnabled_ = enabled;
  prev_->setEnabled(enabled);
}

void AKMovieLowerControllBar::volumeValueDidChange(ui::Slider& slider) {
  av::MusicPlayerController::applicationMusicPlayer()->setVolume(slider.value());
}

void AKMovieLowerControllBar::playTapped() {
  if (play_->tag() == kPauseImageTag)
    pauseAction();
  else
    playAction();
}

void AKMovieLowerControllBar::playAction() {
  auto keep = self<AKMovieLowerControllBar>();
  showPauseButton();
  if (auto d = delegate()) d->AKMovieLowerControllBarPlay(*this);
}

void AKMovieLowerControllBar::pauseAction() {
  auto keep = self<AKMovieLowerControllBar>();
  showPlayButton();
  if (auto d = delegate()) d->AKMovieLowerControllBarPause(*this);
}

void AKMovieLowerControllBar::back30Action() {
  if (auto d = delegate()) d->AKMovieLowerControllBarBack30(*this);
}

void AKMovieLowerControllBar::prevAction() {
  if (auto d = delegate()) d->AKMovieLowerControllBarPrevious(*this);
}

void AKMovieLowerControllBar::nextAction() {
  if (auto d = delegate()) d->AKMovieLowerControllBarNext(*this);
}

void AKMovieLowerControllBar::socialAction() {
  if (auto d = delegate()) d->AKMovieLowerControllBarShowSocial(*this);
}
