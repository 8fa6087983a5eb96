#include "SceneSupport.h"

#include <stdlib.h>

#include <chrono>

#include "Classes/MainPage/TLVideoItemPriviewBase.h"
#include "Foundation/RunLoop.h"
#include "SampleServer.h"
#include "UIKit/ActivityIndicatorView.h"

namespace scenes {

namespace {

// Calls `visit` for each view of the tree whose picture can show in `root`: `clip` is what the
// clipping views above it leave, in `root`'s coordinates.
void eachShownView(const std::shared_ptr<ui::View>& view, const ui::View& root, const cg::Rect& clip,
                   const std::function<void(const std::shared_ptr<ui::View>&)>& visit) {
  if (view->isHidden() || view->alpha() <= 0.01) return;
  cg::Rect shown = view->convertRectToView(view->bounds(), &root).intersection(clip);
  if (shown.isEmpty()) {
    // A view's subviews may lie outside it unless it clips them.
    if (view->clipsToBounds()) return;
  } else {
    visit(view);
  }
  const cg::Rect inner = view->clipsToBounds() ? shown : clip;
  for (const auto& sub : view->subviews()) eachShownView(sub, root, inner, visit);
}

}  // namespace

sampleservice::Server& sampleService() {
  static sampleservice::Server* server = [] {
    auto* s = new sampleservice::Server();
    s->start();
    setenv("VCC_SERVICE_HOST", s->hostAndPort().c_str(), 1);
    return s;
  }();
  return *server;
}

bool anyShownSpinnerTurning(const std::shared_ptr<ui::View>& root) {
  bool turning = false;
  eachShownView(root, *root, root->bounds(), [&](const std::shared_ptr<ui::View>& view) {
    if (auto spinner = std::dynamic_pointer_cast<ui::ActivityIndicatorView>(view))
      if (spinner->isAnimating()) turning = true;
  });
  return turning;
}

bool shownPostersIn(const std::shared_ptr<ui::View>& root) {
  bool all = true;
  eachShownView(root, *root, root->bounds(), [&](const std::shared_ptr<ui::View>& view) {
    if (auto tile = std::dynamic_pointer_cast<TLVideoItemPriviewBase>(view))
      if (tile->imageUrl() && !tile->imageUrl()->empty() &&
          !tile->imageBt()->backgroundImageForState(ui::ControlStateNormal))
        all = false;
  });
  return all;
}

bool runUntil(const std::function<bool()>& done, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    ns::RunLoop::mainRunLoop()->runOnce(0.05);
  }
  return true;
}

}  // namespace scenes
