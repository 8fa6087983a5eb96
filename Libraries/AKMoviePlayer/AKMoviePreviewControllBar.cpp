#include "AKMoviePlayer/AKMoviePreviewControllBar.h"

namespace {
constexpr double kBarHeight = 38;
constexpr double kFadeDuration = 0.2;
}  // namespace

std::shared_ptr<AKMoviePreviewControllBar> AKMoviePreviewControllBar::initWithParentFrame(
    const cg::Rect& parentFrame) {
  double w = parentFrame.width();
  initWithFrame({0, parentFrame.height() - kBarHeight, w, kBarHeight});
  setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin);
  auto me = self<AKMoviePreviewControllBar>();

  auto background = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, w, kBarHeight});
  background->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  background->setImage(ui::Image::imageNamed("AKMovieImages.bundle/smallBarBg"));
  addSubview(background);

  controllView_ = std::make_shared<ui::View>()->initWithFrame({0, 0, w, kBarHeight});
  controllView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  controllView_->setBackgroundColor(ui::Color::clearColor());
  addSubview(controllView_);

  playBt_ = akmovie::imageButton({0, 0, 60, kBarHeight}, "AKMovieImages.bundle/smallPlay");
  playBt_->addTarget(me, &AKMoviePreviewControllBar::playBtTapped, ui::ControlEventTouchUpInside);
  controllView_->addSubview(playBt_);

  setCurrentTime(timeLabel({60, 9, 35, 20}, ui::TextAlignment::Right));
  controllView_->addSubview(currentTime());

  makeScrubber({105, 8, w - 210, 20});
  controllView_->addSubview(scrubber());

  setLeftTime(timeLabel({w - 95, 9, 40, 20}, ui::TextAlignment::Left));
  leftTime()->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  controllView_->addSubview(leftTime());

  goToFullscreen_ = akmovie::imageButton({w - 60, 0, 60, kBarHeight}, "AKMovieImages.bundle/smallFullscreen");
  goToFullscreen_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  goToFullscreen_->addTarget(me, &AKMoviePreviewControllBar::goToFullscreenAction,
                             ui::ControlEventTouchUpInside);
  controllView_->addSubview(goToFullscreen_);
  return me;
}

void AKMoviePreviewControllBar::widenTimeLabels(double played, double left) {
  auto scrub = scrubber();
  if (played > 0) {
    cg::Rect f = currentTime()->frame();
    currentTime()->setFrame({f.x(), f.y(), f.width() + played, f.height()});
    cg::Rect s = scrub->frame();
    scrub->setFrame({s.x() + played, s.y(), s.width() - played, s.height()});
  }
  if (left > 0) {
    cg::Rect f = leftTime()->frame();
    leftTime()->setFrame({f.x() - left, f.y(), f.width() + left, f.height()});
    cg::Rect s = scrub->frame();
    scrub->setFrame({s.x(), s.y(), s.width() - left, s.height()});
  }
}

void AKMoviePreviewControllBar::showPauseButton() {
  showsPause_ = true;
  playBt_->setImage(ui::Image::imageNamed("AKMovieImages.bundle/smallPause"), ui::ControlStateNormal);
  // Enabled again once the advertising clip is over, even if the pause image stayed up meanwhile.
  playBt_->setEnabled(!isAdv());
}

void AKMoviePreviewControllBar::showPlayButton() {
  showsPause_ = false;
  playBt_->setImage(ui::Image::imageNamed("AKMovieImages.bundle/smallPlay"), ui::ControlStateNormal);
  playBt_->setEnabled(true);
}

void AKMoviePreviewControllBar::playBtTapped() {
  if (showsPause_)
    pauseAction();
  else
    playAction();
}

void AKMoviePreviewControllBar::playAction() {
  auto keep = self<AKMoviePreviewControllBar>();
  showPauseButton();
  if (auto d = delegate()) d->AKMoviePreviewControllBarPlay(*this);
}

void AKMoviePreviewControllBar::pauseAction() {
  auto keep = self<AKMoviePreviewControllBar>();
  showPlayButton();
  if (auto d = delegate()) d->AKMoviePreviewControllBarPause(*this);
}

void AKMoviePreviewControllBar::goToFullscreenAction() {
  if (auto d = delegate()) d->AKMoviePreviewControllBarGoToFullscreen(*this);
}

void AKMoviePreviewControllBar::beginScrubbing() {
  if (auto d = delegate()) d->AKMoviePreviewControllBarBeginScrubbing(*this);
}

void AKMoviePreviewControllBar::scrub(float value) {
  if (auto d = delegate()) d->AKMoviePreviewControllBarScrub(*this, value);
}

void AKMoviePreviewControllBar::endScrubbing(float width) {
  if (auto d = delegate()) d->AKMoviePreviewControllBarEndScrubbing(*this, width);
}

void AKMoviePreviewControllBar::show() { fader_.fadeIn(*this, kFadeDuration); }

void AKMoviePreviewControllBar::hide() { fader_.fadeOut(self<View>(), kFadeDuration); }
