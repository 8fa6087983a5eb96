#include "SceneSupport.h"

#include <stdlib.h>

#include <chrono>

#include "Foundation/RunLoop.h"
#include "SampleServer.h"
#include "UIKit/ActivityIndicatorView.h"

namespace scenes {

sampleservice::Server& sampleService() {
  static sampleservice::Server* server = [] {
    auto* s = new sampleservice::Server();
    s->start();
    setenv("VCC_SERVICE_HOST", s->hostAndPort().c_str(), 1);
    return s;
  }();
  return *server;
}

bool anySpinnerTurning(const std::shared_ptr<ui::View>& view) {
  if (auto spinner = std::dynamic_pointer_cast<ui::ActivityIndicatorView>(view))
    if (spinner->isAnimating() && !spinner->isHidden()) return true;
  for (const auto& sub : view->subviews())
    if (anySpinnerTurning(sub)) return true;
  return false;
}

void runUntil(const std::function<bool()>& done, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done() && std::chrono::steady_clock::now() < end) ns::RunLoop::mainRunLoop()->runOnce(0.05);
}

}  // namespace scenes
