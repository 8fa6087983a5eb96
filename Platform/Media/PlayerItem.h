#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Graphics/Geometry.h"
#include "Graphics/Image.h"
#include "Media/Time.h"
#include "Media/URLAsset.h"

namespace av {

class Player;
namespace detail {
class Pipeline;
class Timeline;
}  // namespace detail

enum class PlayerItemStatus { unknown = 0, readyToPlay = 1, failed = 2 };

// Posted on the default centre, on the main thread, with the item as the object, when an item
// has played to its end (after its player's rate went to 0).
inline constexpr const char* kPlayerItemDidPlayToEndTimeNotification =
    "AVPlayerItemDidPlayToEndTimeNotification";

// What a player plays: the presentation state of an asset. It starts loading once a player has
// it as its current item: its status goes from unknown to ready to play (the first picture is
// decoded) or to failed (with an error); its loaded time ranges grow as the media arrives.
// Observable keys: "status" (the status as a number) and "loadedTimeRanges" (an array of
// dictionaries {start, duration} in seconds). Main thread only.
class PlayerItem final : public ns::Object {
 public:
  static std::shared_ptr<PlayerItem> playerItemWithAsset(const std::shared_ptr<URLAsset>& asset);
  std::shared_ptr<PlayerItem> initWithAsset(const std::shared_ptr<URLAsset>& asset);
  PlayerItem();
  ~PlayerItem() override;

  const std::shared_ptr<URLAsset>& asset() const { return asset_; }
  PlayerItemStatus status() const { return status_; }
  const ns::ErrorPtr& error() const { return error_; }
  // Indefinite until the item is ready, and for a live stream.
  Time duration() const;
  const std::vector<TimeRange>& loadedTimeRanges() const { return loadedTimeRanges_; }
  Time currentTime() const;
  // The size of the picture in pixels; zero before the item is ready and for sound only.
  cg::Size presentationSize() const { return presentationSize_; }

  ns::Value valueForKey(std::string_view key) const override;

 private:
  friend class Player;
  friend class PlayerLayer;

  // Called by the player that has this item as its current one.
  void attach(const std::shared_ptr<Player>& player);
  void detach();
  std::shared_ptr<Player> player() const { return player_.lock(); }
  double position() const;
  // Playback at a rate (0: still) from the present position; takes effect once the item is ready.
  void setPlaybackRate(double rate);
  bool isMoving() const;
  void seekTo(double seconds);
  // Positions the item at its end with no motion.
  void stopAtEnd();
  std::optional<double> finiteDuration() const { return duration_; }
  // The picture for the present position (see PlayerLayer).
  cg::ImagePtr currentPicture(bool wait);
  bool hasPictureForCurrentTime();
  // In media time: see detail::Pipeline::nextPictureTime.
  std::optional<double> nextPictureTime();

  void pipelineReady(cg::Size size, std::optional<double> duration);
  void pipelineFailed(ns::ErrorPtr error);
  void pipelineLoaded(double start, double end);
  void setStatus(PlayerItemStatus status);
  void applyRate();

  std::shared_ptr<URLAsset> asset_;
  std::weak_ptr<Player> player_;
  PlayerItemStatus status_ = PlayerItemStatus::unknown;
  ns::ErrorPtr error_;
  std::optional<double> duration_;
  bool durationKnown_ = false;
  cg::Size presentationSize_;
  std::vector<TimeRange> loadedTimeRanges_;
  double rate_ = 0;
  std::shared_ptr<detail::Timeline> timeline_;
  std::unique_ptr<detail::Pipeline> pipeline_;
  std::uint64_t generation_ = 0;
};

}  // namespace av
