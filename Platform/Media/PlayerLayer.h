#pragma once

#include <memory>
#include <string>

#include "Graphics/Layer.h"
#include "Media/Player.h"

namespace av {

// How the picture fills the layer: fitted inside, filling it (cut at the edges), or stretched.
inline constexpr const char* kLayerVideoGravityResizeAspect = "AVLayerVideoGravityResizeAspect";
inline constexpr const char* kLayerVideoGravityResizeAspectFill = "AVLayerVideoGravityResizeAspectFill";
inline constexpr const char* kLayerVideoGravityResize = "AVLayerVideoGravityResize";

// A layer showing the picture of its player's current item at the player's current time: the
// view renderer draws it, so screenshots show the frame of the moment. Under the manual clock
// drawing waits for that frame to be decoded; otherwise it shows the latest one decoded. A view
// is backed by one when its class names it as its layer class:
//   class PlayerView : public ui::View { PlayerView() : View(ui::layerClassOf<av::PlayerLayer>()) {} };
// Main thread only. It keeps its player.
class PlayerLayer final : public cg::Layer {
 public:
  static std::shared_ptr<PlayerLayer> playerLayerWithPlayer(const std::shared_ptr<Player>& player);

  const std::shared_ptr<Player>& player() const { return player_; }
  void setPlayer(std::shared_ptr<Player> player) { player_ = std::move(player); }
  const std::string& videoGravity() const { return videoGravity_; }
  // Unknown names count as fitting the picture inside.
  void setVideoGravity(std::string gravity) { videoGravity_ = std::move(gravity); }

  // Where the picture lies in the bounds under the gravity; empty when there is no picture.
  cg::Rect videoRect() const;
  // Whether the frame for the current time has been decoded.
  bool isReadyForDisplay() const;

  void drawInContext(cg::Context& context) override;

 private:
  cg::Rect rectForPicture(cg::Size picture) const;

  std::shared_ptr<Player> player_;
  std::string videoGravity_ = kLayerVideoGravityResizeAspect;
};

}  // namespace av
