// The controller's share panel beside the full-screen lower bar, and the in-app share sheets.
#include <cmath>

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "UIKit/Application.h"

void AKMoviePlayerController::showSocialPanel(const AKMovieLowerControllBar& bar) {
  if (socialControllBar_) socialControllBar_->removeFromSuperview();
  const cg::Rect b = bar.frame();
  cg::Rect frame;
  bool landscape = false;
  if (isPhone()) {
    frame = {b.x(), b.y() - 104, 310, 104};
  } else if (ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation())) {
    frame = {b.x() + b.width(), b.y() + 2, 193, 88};
    landscape = true;
  } else {
    frame = {b.x() + b.width(), b.y() - (196 - b.height()) / 2, 108, 196};
  }
  frame = {std::trunc(frame.x()), std::trunc(frame.y()), frame.width(), frame.height()};
  socialControllBar_ = std::make_shared<AKMovieSocialControllBar>();
  socialControllBar_->initWithFrame(frame, landscape);
  socialControllBar_->setDelegate(self<AKMoviePlayerController>());
  view()->addSubview(socialControllBar_);
}

void AKMoviePlayerController::shareWith(AKMoviePlayerServices::Network network) {
  hideControlsBar();
  const auto& open = services().openShareSheet;
  if (!open) return;
  auto text = [this](const char* key) {
    const std::string* value = shareInfo_[key].asString();
    return value ? *value : std::string();
  };
  auto sheet = open(network, text("message"), text("url"), text("image"), *view());
  if (!sheet) return;
  if (network == AKMoviePlayerServices::Network::facebook)
    fbSocialView_ = sheet;
  else
    vkSocialView_ = sheet;
  if (isPhone()) ui::Application::sharedApplication()->setStatusBarHidden(true, false);
}
