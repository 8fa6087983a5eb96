#include "Classes/TLPlayerServices.h"

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Classes/TLSettings.h"
#include "UIKit/Device.h"

namespace {

std::shared_ptr<ui::View> openShareSheet(AKMoviePlayerServices::Network network, const std::string& message,
                                         const std::string& url, const std::string& image,
                                         ui::View& playerView) {
  if (network == AKMoviePlayerServices::Network::facebook) {
    auto sheet = std::make_shared<FaceBookSender>()->initWithMessage(message, url, image);
    if (!sheet) return nullptr;
    playerView.addSubview(sheet);
    sheet->setInPlayer(true);
    sheet->loginToFacebook();
    return sheet;
  }
  if (network != AKMoviePlayerServices::Network::vkontakte) return nullptr;
  auto sheet = std::make_shared<VkontakteWebView>()->initWithMessage(message, url, image);
  if (!sheet) return nullptr;
  sheet->setInPlayer(true);
  // Below the full-screen player's upper bar.
  if (ui::isPad() && sheet->contentView()) {
    cg::Rect frame = sheet->contentView()->frame();
    sheet->contentView()->setFrame({frame.x(), frame.y() + 50, frame.width(), frame.height()});
  }
  playerView.addSubview(sheet);
  return sheet;
}

}  // namespace

void TLInstallPlayerServices() {
  static const bool installed = [] {
    AKMoviePlayerServices services;
    services.listFilePath = [](const std::string& fileName) {
      return TLSettings::getPlistDirectoryWithFileName(fileName);
    };
    services.noServerItemDataAlert = [] { TLSettings::noServerItemDataAlert(); };
    services.showConnectionError = [](const ns::ErrorPtr& error) { TLSettings::showConnectionError(error); };
    services.openShareSheet = openShareSheet;
    AKMoviePlayerController::setServices(std::move(services));
    return true;
  }();
  (void)installed;
}
