#include "Media/PlayerLayer.h"

#include <algorithm>

#include "Foundation/Clock.h"
#include "Graphics/Context.h"

namespace av {

namespace {
// How often a window looks again for a frame the decoder has not delivered yet.
constexpr double kPictureWaitPoll = 1.0 / 60;
}  // namespace

std::shared_ptr<PlayerLayer> PlayerLayer::playerLayerWithPlayer(const std::shared_ptr<Player>& player) {
  auto layer = std::make_shared<PlayerLayer>();
  layer->setPlayer(player);
  return layer;
}

cg::Rect PlayerLayer::rectForPicture(cg::Size picture, const cg::Rect& b) const {
  if (picture.width <= 0 || picture.height <= 0) return {};
  if (videoGravity_ == kLayerVideoGravityResize) return b;
  double sx = b.width() / picture.width, sy = b.height() / picture.height;
  double s = videoGravity_ == kLayerVideoGravityResizeAspectFill ? std::max(sx, sy) : std::min(sx, sy);
  double w = picture.width * s, h = picture.height * s;
  return {b.midX() - w / 2, b.midY() - h / 2, w, h};
}

cg::Rect PlayerLayer::videoRect() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  return item ? rectForPicture(item->presentationSize(), bounds()) : cg::Rect{};
}

bool PlayerLayer::isReadyForDisplay() const {
  auto item = player_ ? player_->currentItem() : nullptr;
  return item && item->hasPictureForCurrentTime();
}

std::optional<double> PlayerLayer::nextPictureChange(double now) const {
  auto item = player_ ? player_->currentItem() : nullptr;
  if (!item || item->status() != PlayerItemStatus::readyToPlay) return std::nullopt;
  const double position = item->position();
  auto next = item->nextPictureTime();
  if (!next) return std::nullopt;
  // The frame for the position is not decoded yet: look again in a moment.
  if (*next <= position) return now + kPictureWaitPoll;
  if (item->isMoving() && item->rate_ > 0) {
    if (!drewOwnFrame_) return now;
    return now + (*next - position) / item->rate_;
  }
  // Still: the position's own frame, once drawn, stays.
  if (!drewOwnFrame_ || drawnPosition_ != position) return now;
  return std::nullopt;
}

void PlayerLayer::drawInContext(cg::Context& context) { drawInContextAtSize(context, bounds().size); }

void PlayerLayer::drawInContextAtSize(cg::Context& context, cg::Size shown) {
  auto item = player_ ? player_->currentItem() : nullptr;
  if (!item) return;
  drawnPosition_ = item->position();
  drewOwnFrame_ = item->hasPictureForCurrentTime();
  cg::ImagePtr picture = item->currentPicture(ns::clockIsManual());
  if (!picture) return;
  const cg::Rect b{{0, 0}, shown};
  context.saveGState();
  context.clipToRect(b);
  context.drawImage(*picture, rectForPicture(picture->size(), b));
  context.restoreGState();
}

}  // namespace av
