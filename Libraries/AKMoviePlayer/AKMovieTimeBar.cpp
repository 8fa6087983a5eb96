#include "AKMoviePlayer/AKMovieTimeBar.h"

#include <algorithm>

#include "UIKit/Font.h"

std::shared_ptr<ui::Label> AKMovieTimeBar::timeLabel(const cg::Rect& frame, ui::TextAlignment alignment) {
  auto label = std::make_shared<ui::Label>()->initWithFrame(frame);
  label->setText("--:--");
  label->setFont(ui::Font::boldSystemFontOfSize(12));
  label->setTextAlignment(alignment);
  label->setTextColor(ui::Color::whiteColor());
  label->setBackgroundColor(ui::Color::clearColor());
  return label;
}

void AKMovieTimeBar::makeScrubber(const cg::Rect& frame) {
  scrubber_ = std::make_shared<AKMovieSlider>()->initWithFrame(frame);
  scrubber_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  auto me = self<AKMovieTimeBar>();
  scrubber_->addTarget(me, &AKMovieTimeBar::beginScrubbingAction, ui::ControlEventTouchDown);
  scrubber_->addTarget(me, &AKMovieTimeBar::scrubAction, ui::ControlEventValueChanged);
  scrubber_->addTarget(
      me, &AKMovieTimeBar::endScrubbingAction,
      ui::ControlEventTouchUpInside | ui::ControlEventTouchUpOutside | ui::ControlEventTouchCancel);
}

void AKMovieTimeBar::setItemDuration(av::Time duration) {
  std::string text = akmovie::timeStringForSeconds(av::TimeGetSeconds(duration));
  const auto& font = currentTime_->font();
  double played = ui::sizeWithFont(text, font).width - currentTime_->frame().width();
  double left = ui::sizeWithFont("-" + text, leftTime_->font()).width - leftTime_->frame().width();
  widenTimeLabels(std::max(0.0, played), std::max(0.0, left));
  itemDuration_ = duration;
}

void AKMovieTimeBar::syncPlayedTime(av::Time time) {
  currentTime_->setText(akmovie::timeStringForSeconds(av::TimeGetSeconds(time)));
  syncLeftTime(time);
}

void AKMovieTimeBar::syncLeftTime(av::Time time) {
  double remaining = av::TimeGetSeconds(itemDuration_) - av::TimeGetSeconds(time);
  leftTime_->setText("-" + akmovie::timeStringForSeconds(remaining));
}

void AKMovieTimeBar::syncLoadedTime(double loadedSeconds) {
  scrubber_->bufferSize()->setProgress(akmovie::bufferedFraction(loadedSeconds, itemDuration_));
}

void AKMovieTimeBar::syncScrubber(float value) { scrubber_->setValue(value); }

float AKMovieTimeBar::scrubberWidth() const { return float(scrubber_->frame().width()); }

void AKMovieTimeBar::setIsAdv(bool isAdv) {
  isAdv_ = isAdv;
  setEnabledScrubber(!isAdv);
}

void AKMovieTimeBar::setEnabledScrubber(bool enabled) {
  enabledScrubber_ = enabled;
  scrubber_->setEnabled(enabled);
}
