#pragma once

#include <memory>
#include <optional>
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
  void setPlayer(std::shared_ptr<Player> player) { change(player_, player); }
  const std::string& videoGravity() const { return videoGravity_; }
  // Unknown names count as fitting the picture inside.
  void setVideoGravity(std::string gravity) { change(videoGravity_, gravity); }

  // Where the picture lies in the bounds under the gravity; empty when there is no picture.
  cg::Rect videoRect() const;
  // Whether the frame for the current time has been decoded.
  bool isReadyForDisplay() const;
  // When the picture drawn next would differ from the last one drawn, on the process clock: the
  // next frame's moment while playing, `now` while a picture newer than the one drawn waits (a
  // seek while paused, a frame decoded late), none while the picture stands still.
  std::optional<double> nextPictureChange(double now) const;

  void drawInContext(cg::Context& context) override;
  // Fits the picture to bounds of the size shown (a view growing to full screen shows it growing).
  void drawInContextAtSize(cg::Context& context, cg::Size shown) override;

 private:
  cg::Rect rectForPicture(cg::Size picture, const cg::Rect& bounds) const;

  std::shared_ptr<Player> player_;
  std::string videoGravity_ = kLayerVideoGravityResizeAspect;
  // What the last drawing showed: the media position, and whether its own frame was there.
  double drawnPosition_ = -1;
  bool drewOwnFrame_ = false;
};

}  // namespace av
