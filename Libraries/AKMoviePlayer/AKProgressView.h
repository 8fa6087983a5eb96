#pragma once

#include <memory>

#include "UIKit/ProgressView.h"

// The buffer bar inside the player's time slider. Its fill image tells a part-buffered item from
// a fully buffered one.
class AKProgressView final : public ui::ProgressView {
 public:
  std::shared_ptr<AKProgressView> initWithFrame(const cg::Rect& frame);

  // Takes the fraction, pinned to 0...1 (not a number reads 0), then picks the fill image anew:
  // the open-ended one below 0.99, the closed one from 0.99 on.
  void setProgress(float progress) override;
};
