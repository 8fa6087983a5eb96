#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Media/Player.h"
#include "Media/PlayerLayer.h"
#include "UIKit/View.h"

// The view the video is drawn in: its layer is a player layer, which keeps the player.
class AKMoviePlayerView final : public ui::View {
 public:
  AKMoviePlayerView();

  static ui::LayerClass layerClass() { return ui::layerClassOf<av::PlayerLayer>(); }
  av::PlayerLayer& playerLayer() const { return static_cast<av::PlayerLayer&>(*layer()); }

  std::shared_ptr<av::Player> player() const { return playerLayer().player(); }
  // With a player the picture moves by itself while it plays.
  void setPlayer(std::shared_ptr<av::Player> player);
  // A gravity name: av::kLayerVideoGravityResizeAspect or ...ResizeAspectFill.
  void setVideoFillMode(const std::string& fillMode) { playerLayer().setVideoGravity(fillMode); }

  std::optional<double> nextPresentationChange(double now) const override;
};
