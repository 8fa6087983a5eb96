#include "Classes/SocialNetwork/PlayerShareSheets.h"

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "UIKit/Device.h"

std::shared_ptr<ui::View> openPlayerShareSheet(AKMoviePlayerServices::Network network,
                                               const std::string& message, const std::string& url,
                                               const std::string& image, ui::View& playerView) {
  if (network == AKMoviePlayerServices::Network::facebook) {
    auto sheet = std::make_shared<FaceBookSender>();
    sheet->initWithMessage(message, url, image);
    playerView.addSubview(sheet);
    sheet->setInPlayer(true);
    sheet->loginToFacebook();
    return sheet;
  }
  auto sheet = std::make_shared<VkontakteWebView>();
  sheet->initWithMessage(message, url, image);
  sheet->setInPlayer(true);
  if (ui::Device::currentDevice()->userInterfaceIdiom() != ui::UserInterfaceIdiom::phone) {
    if (const auto& content = sheet->contentView()) {
      cg::Rect f = content->frame();
      content->setFrame({f.x(), f.y() + 50, f.width(), f.height()});
    }
  }
  playerView.addSubview(sheet);
  return sheet;
}
