#include "Classes/SocialNetwork/PlayerShareSheets.h"

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "UIKit/Device.h"

std::shared_ptr<ui::View> openPlayerShareSheet(AKMoviePlayerServices::Network network,
                                               const std::string& message, const std::string& url,
                                               const std::string& image, ui::View& playerView) {
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
