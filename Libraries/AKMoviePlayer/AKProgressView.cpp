#include "AKMoviePlayer/AKProgressView.h"

#include "AKMoviePlayer/AKMovieBarSupport.h"

std::shared_ptr<AKProgressView> AKProgressView::initWithFrame(const cg::Rect& frame) {
  ui::ProgressView::initWithFrame(frame);
  return self<AKProgressView>();
}

void AKProgressView::setProgress(float progress) {
  ui::ProgressView::setProgress(progress);
  // The fill follows the fraction as the bar pinned it to 0...1.
  setProgressImage(akmovie::capped(this->progress() < 0.99f ? "AKMovieImages.bundle/sliderBufferProgressF"
                                                            : "AKMovieImages.bundle/sliderBufferProgress"));
}
