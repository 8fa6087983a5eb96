#include "Media/PlayerLayer.h"

#include <algorithm>

#include "Foundation/Clock.h"
#include "Graphics/Context.h"

namespace av {

std::shared_ptr<PlayerLayer> PlayerLayer::playerLayerWithPlayer(const std::shared_ptr<Player>& player) {
  auto layer = std::make_shared<PlayerLayer>();
  layer->setPlayer(player);
  return layer;
}

cg::Rect PlayerLayer::rectForPicture(cg::Size picture) const {
  cg::Rect b = bounds();
  if (picture.width <= 0 || picture.height <= 0) return {};
  if (videoGravity_ == kLayerVideoGravityResize) return b;
  double sx = b.width() / picture.width, sy = b.height() / picture.height;
  double s = videoGravity_ == kLayerVideoGravityResizeAspectFill ? std::max(sx, sy) : std::min(sx, sy);
  double w = picture.width * s, h = picture.height * s;
  return {b.midX() - w / 2, b.midY() - h / 2, w, h};
}

cg::Rect PlayerLayer::videoRect() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  return item ? rectForPicture(item->presentationSize()) : cg::Rect{};
}

bool PlayerLayer::isReadyForDisplay() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  return item && item->hasPictureForCurrentTime();
}

void PlayerLayer::drawInContext(cg::Context& context) {
  auto item = player_ ? player_->currentItem() : nullptr;
  if (!item) return;
  cg::ImagePtr picture = item->currentPicture(ns::clockIsManual());
  if (!picture) return;
  context.saveGState();
  context.clipToRect(bounds());
  context.drawImage(*picture, rectForPicture(picture->size()));
  context.restoreGState();
}

}  // namespace av
