#include <algorithm>

#include "Foundation/RunLoop.h"
#include "UIKit/View.h"

namespace ui {

void View::animateWithDuration(double duration, const std::function<void()>& animations,
                               std::function<void(bool finished)> completion) {
  animateWithDuration(duration, 0, ViewAnimationOptionNone, animations, std::move(completion));
}

// Headless views have nothing to interpolate: the new values hold at once and only the
// completion waits for the animation's time to pass.
void View::animateWithDuration(double duration, double delay, unsigned,
                               const std::function<void()>& animations,
                               std::function<void(bool finished)> completion) {
  if (animations) animations();
  if (!completion) return;
  double wait = std::max(0.0, duration) + std::max(0.0, delay);
  auto loop = ns::RunLoop::mainRunLoop();
  auto finish = [completion = std::move(completion)] { completion(true); };
  if (wait <= 0)
    loop->performBlock(std::move(finish));
  else
    loop->performAfterDelay(std::make_shared<ns::Object>(), "animationDidStop", std::move(finish), wait);
}

}  // namespace ui
