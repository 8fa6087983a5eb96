// The controller's share panel beside the full-screen lower bar, and the in-app share sheets.
#include <cmath>

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Dispatch/Dispatch.h"
#include "UIKit/Application.h"
#include "UIKit/ComposeViewController.h"

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
  using Network = AKMoviePlayerServices::Network;
  hideControlsBar();
  auto text = [this](const char* key) {
    const std::string* value = shareInfo_[key].asString();
    return value ? *value : std::string();
  };
  const std::string message = text("message"), url = text("url"), image = text("image");
  // The system's own composers where it has them; VKontakte always has the in-app sheet.
  if (network != Network::vkontakte && ui::ComposeViewController::isClassAvailable()) {
    auto composer = ui::ComposeViewController::composeViewControllerForServiceType(
        network == Network::facebook ? ui::kServiceTypeFacebook : ui::kServiceTypeTwitter);
    if (!composer) return;
    composer->setInitialText(message);
    if (auto link = ns::URL::URLWithString(url)) composer->addURL(*link);
    // The poster is read off the main thread at the form's picture's pixels, whatever size its
    // file has; the form comes once it has been.
    std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT), [weak, composer, image] {
      auto poster =
          image.empty() ? nullptr : ui::Image::imageWithContentsOfFile(image, ui::ComposeForm::imageBox());
      dispatch::async(dispatch::mainQueue(), [weak, composer, poster] {
        auto player = weak.lock();
        if (!player) return;
        composer->addImage(poster);
        player->presentViewController(composer, true);
      });
    });
    return;
  }
  if (network == Network::twitter) {
    // The older composer gets the application's own picture, never the poster.
    auto tweet = std::make_shared<ui::TweetComposeViewController>()->init();
    tweet->setInitialText(message);
    if (auto link = ns::URL::URLWithString(url)) tweet->addURL(*link);
    tweet->addImage(ui::Image::imageNamed("twitter.png"));
    presentViewController(tweet, true);
    return;
  }
  const auto& open = services().openShareSheet;
  if (!open) return;
  auto sheet = open(network, message, url, image, *view());
  if (!sheet) return;
  if (network == Network::facebook)
    fbSocialView_ = sheet;
  else
    vkSocialView_ = sheet;
  if (isPhone()) ui::Application::sharedApplication()->setStatusBarHidden(true, false);
}
