#include "AKMoviePlayer/AKMovieTimeBar.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Foundation/Format.h"
#include "UIKit/Font.h"

std::string timeStringForSeconds(double seconds) {
  // Whole minutes that fit the "%d" field; anything beyond, like infinity or not-a-number, has
  // no whole-number conversion.
  constexpr double kMaxMinutes = std::numeric_limits<int>::max();
  if (!(seconds >= 0) || !std::isfinite(seconds) || seconds / 60 >= kMaxMinutes + 1) return "0:00";
  double minutes = std::floor(seconds / 60);
  int rest = std::clamp(int(seconds - minutes * 60), 0, 59);
  return ns::format("%d:%02d", int(minutes), rest);
}

float bufferedFraction(double loadedSeconds, av::Time duration) {
  double total = av::TimeGetSeconds(duration);
  if (!std::isfinite(total) || total <= 0 || !std::isfinite(loadedSeconds) || loadedSeconds < 1) return 0;
  return float(std::clamp(std::trunc(loadedSeconds) / total, 0.0, 1.0));
}

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
  std::string text = timeStringForSeconds(av::TimeGetSeconds(duration));
  const auto& font = currentTime_->font();
  double played = ui::sizeWithFont(text, font).width - currentTime_->frame().width();
  double left = ui::sizeWithFont("-" + text, leftTime_->font()).width - leftTime_->frame().width();
  widenTimeLabels(std::max(0.0, played), std::max(0.0, left));
  itemDuration_ = duration;
}

void AKMovieTimeBar::syncPlayedTime(av::Time time) {
  currentTime_->setText(timeStringForSeconds(av::TimeGetSeconds(time)));
  syncLeftTime(time);
}

void AKMovieTimeBar::syncLeftTime(av::Time time) {
  double remaining = av::TimeGetSeconds(itemDuration_) - av::TimeGetSeconds(time);
  leftTime_->setText("-" + timeStringForSeconds(remaining));
}

void AKMovieTimeBar::syncLoadedTime(double loadedSeconds) {
  scrubber_->bufferSize()->setProgress(bufferedFraction(loadedSeconds, itemDuration_));
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
