#include "AKMoviePlayer/AKMovieSlider.h"

#include "AKMoviePlayer/AKMovieBarSupport.h"

std::shared_ptr<AKMovieSlider> AKMovieSlider::initWithFrame(const cg::Rect& frame) {
  ui::Slider::initWithFrame(frame);
  bufferSize_ = std::make_shared<AKProgressView>()->initWithFrame({});
  bufferSize_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  bufferSize_->setProgressImage(akmovie::capped("AKMovieImages.bundle/sliderBufferProgress"));
  bufferSize_->setTrackImage(akmovie::capped("AKMovieImages.bundle/sliderBufferTrack"));
  bufferSize_->setUserInteractionEnabled(false);
  bufferSize_->setFrame({1, 6, frame.width() - 2, 11});
  addSubview(bufferSize_);
  setMinimumValue(0);
  setMaximumValue(1);
  setMinimumTrackImage(akmovie::capped("AKMovieImages.bundle/sliderMinTrack"), ui::ControlStateNormal);
  setMaximumTrackImage(ui::Image::imageNamed("AKMovieImages.bundle/sliderMaxTrack"), ui::ControlStateNormal);
  setThumbImage(ui::Image::imageNamed("AKMovieImages.bundle/sliderThumb"), ui::ControlStateNormal);
  return self<AKMovieSlider>();
}
