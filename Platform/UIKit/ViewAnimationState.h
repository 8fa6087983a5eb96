#pragma once

#include <optional>
#include <vector>

#include "UIKit/View.h"

namespace ui::detail {

// The running animations of one view: each moves one property from what the screen showed when
// it began to the model value, along a timing curve.
struct ViewAnimations {
  struct Animation {
    View::AnimatedProperty property;
    ViewPresentation from;
    double begin = 0;
    double duration = 0;
    unsigned curve = 0;  // the ViewAnimationOptionCurve... bits
  };
  std::vector<Animation> running;

  // The curve's progress (0...1) of an animation at `time`.
  static double progress(const Animation& animation, double time);
  // Mixes one property of `from` into `shown` by the fraction left to run (1 - progress).
  static void apply(const Animation& animation, double time, ViewPresentation& shown);
  // Drops the animations that have ended by `time`.
  void prune(double time);
};

// Sets the moment renderPresentationTime() reports while a picture is drawn on this thread.
class PresentationRenderScope {
 public:
  explicit PresentationRenderScope(std::optional<double> time);
  ~PresentationRenderScope();
  PresentationRenderScope(const PresentationRenderScope&) = delete;
  PresentationRenderScope& operator=(const PresentationRenderScope&) = delete;

 private:
  std::optional<double> previous_;
};

}  // namespace ui::detail
