#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/Object.h"
#include "Foundation/Timer.h"
#include "Media/PlayerItem.h"
#include "Media/Time.h"

namespace av {

// Plays one item at a time. Its time follows the process clock (so a test's manual clock moves
// playback, periodic observers and the end of an item): at rate r the current time advances r
// seconds per second of the clock once the item is ready. At the item's end the rate goes to 0,
// then kPlayerItemDidPlayToEndTimeNotification is posted. Observable keys: "rate" (a number) and
// "currentItem" (the item, null for none). Main thread only.
class Player final : public ns::Object {
 public:
  using TimeObserverBlock = std::function<void(Time time)>;

  static std::shared_ptr<Player> playerWithPlayerItem(const std::shared_ptr<PlayerItem>& item);
  Player();
  std::shared_ptr<Player> init();
  std::shared_ptr<Player> initWithPlayerItem(const std::shared_ptr<PlayerItem>& item);
  ~Player() override;

  const std::shared_ptr<PlayerItem>& currentItem() const { return item_; }
  // A null item empties the player. An item already playing in another player throws
  // NSInvalidArgumentException.
  void replaceCurrentItemWithPlayerItem(const std::shared_ptr<PlayerItem>& item);

  void play() { setRate(1); }
  void pause() { setRate(0); }
  float rate() const { return rate_; }
  void setRate(float rate);

  // Zero without an item.
  Time currentTime() const;
  // Moves to the time (clamped to the item); the periodic observers hear of the jump.
  void seekToTime(Time time);

  // Calls the block on the queue (the main queue when null) each time the current time passes a
  // multiple of the interval while playing, and when playback starts, stops or jumps. The
  // returned object removes it. An interval that is not a finite time above 0 adds nothing: it
  // logs a line and returns null.
  std::shared_ptr<ns::Object> addPeriodicTimeObserverForInterval(Time interval, dispatch::QueuePtr queue,
                                                                 TimeObserverBlock block);
  // Unknown or null observers are ignored. A removed observer is not called again.
  void removeTimeObserver(const std::shared_ptr<ns::Object>& observer);

  // External playback permissions: recorded only.
  bool allowsAirPlayVideo() const { return allowsAirPlayVideo_; }
  void setAllowsAirPlayVideo(bool allows) { allowsAirPlayVideo_ = allows; }
  bool allowsExternalPlayback() const { return allowsExternalPlayback_; }
  void setAllowsExternalPlayback(bool allows) { allowsExternalPlayback_ = allows; }

  ns::Value valueForKey(std::string_view key) const override;

  // What the players alive are doing: some current item still loading; some moving (ready, at a
  // rate other than 0); some moving ahead of its picture (the one for the present time is not
  // decoded yet). A playing player whose picture shows waits for nothing: the timer that takes
  // it to its next mark is not pending work.
  struct Activity {
    bool loading = false;
    bool playing = false;
    bool pictureBehind = false;
  };
  static Activity activity();

 private:
  friend class PlayerItem;
  class TimeObserver;

  void itemStatusChanged(PlayerItem& item);
  // Arms the one timer for the next observer time or the item's end.
  void schedule();
  void timerFired();
  void reachEnd();
  void notifyAll();
  void notify(const std::shared_ptr<TimeObserver>& observer, double position);
  double position() const;

  std::shared_ptr<PlayerItem> item_;
  float rate_ = 0;
  std::vector<std::shared_ptr<TimeObserver>> observers_;
  ns::TimerPtr timer_;
  bool allowsAirPlayVideo_ = true;
  bool allowsExternalPlayback_ = true;
};

}  // namespace av
