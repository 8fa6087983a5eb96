#pragma once

#include <memory>

#include "AKMoviePlayer/AKProgressView.h"
#include "UIKit/Slider.h"

// The player's time slider over 0...1 (the played fraction), carrying the buffer bar along its
// track. The buffer bar takes no touches: they reach the slider.
class AKMovieSlider final : public ui::Slider {
 public:
  std::shared_ptr<AKMovieSlider> initWithFrame(const cg::Rect& frame);

  const std::shared_ptr<AKProgressView>& bufferSize() const { return bufferSize_; }
  void setBufferSize(std::shared_ptr<AKProgressView> bufferSize) { bufferSize_ = std::move(bufferSize); }

 private:
  std::shared_ptr<AKProgressView> bufferSize_;
};
