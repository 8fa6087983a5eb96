#include "Media/Player.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"

namespace av {

namespace {

constexpr std::int32_t kTimescale = 1'000'000'000;
// Clock arithmetic is not exact: a time this close to a mark counts as reaching it.
constexpr double kSlack = 1e-6;

// Every player alive. Players are used on the main thread, but the last owner may let go of
// one elsewhere.
struct LivePlayers {
  std::mutex mutex;
  std::vector<Player*> players;
};
LivePlayers& livePlayers() {
  static auto& live = *new LivePlayers;
  return live;
}

}  // namespace

class Player::TimeObserver final : public ns::Object {
 public:
  TimeObserver(double every, dispatch::QueuePtr on, TimeObserverBlock call)
      : interval(every), queue(std::move(on)), block(std::move(call)) {}
  const double interval;
  const dispatch::QueuePtr queue;
  const TimeObserverBlock block;
  double next = 0;  // the media time it is due at
  std::atomic<bool> active{true};
};

std::shared_ptr<Player> Player::playerWithPlayerItem(const std::shared_ptr<PlayerItem>& item) {
  return std::make_shared<Player>()->initWithPlayerItem(item);
}

std::shared_ptr<Player> Player::init() { return std::static_pointer_cast<Player>(shared_from_this()); }

std::shared_ptr<Player> Player::initWithPlayerItem(const std::shared_ptr<PlayerItem>& item) {
  replaceCurrentItemWithPlayerItem(item);
  return init();
}

Player::Player() {
  auto& live = livePlayers();
  std::lock_guard lock(live.mutex);
  live.players.push_back(this);
}

Player::Activity Player::activity() {
  Activity activity;
  auto& live = livePlayers();
  std::lock_guard lock(live.mutex);
  for (const Player* player : live.players) {
    const auto& item = player->item_;
    if (!item) continue;
    activity.loading = activity.loading || item->status() == PlayerItemStatus::unknown;
    if (!item->isMoving()) continue;
    activity.playing = true;
    activity.pictureBehind = activity.pictureBehind || !item->hasPictureForCurrentTime();
  }
  return activity;
}

Player::~Player() {
  {
    auto& live = livePlayers();
    std::lock_guard lock(live.mutex);
    std::erase(live.players, this);
  }
  if (timer_) timer_->invalidate();
  for (auto& o : observers_) o->active = false;
  if (item_) item_->detach();
}

ns::Value Player::valueForKey(std::string_view key) const {
  if (key == "rate") return ns::Value(double(rate_));
  if (key == "currentItem") return item_ ? ns::Value(item_) : ns::Value();
  return ns::Object::valueForKey(key);
}

double Player::position() const { return item_ ? item_->position() : 0; }

Time Player::currentTime() const { return item_ ? item_->currentTime() : kTimeZero; }

void Player::replaceCurrentItemWithPlayerItem(const std::shared_ptr<PlayerItem>& item) {
  if (item == item_) return;
  if (item) {
    auto other = item->player();
    if (other && other.get() != this)
      throw ns::Exception(ns::kInvalidArgumentException,
                          "A player item cannot be associated with more than one player");
  }
  willChangeValueForKey("currentItem");
  if (item_) item_->detach();
  item_ = item;
  if (item_) {
    item_->attach(std::static_pointer_cast<Player>(shared_from_this()));
    item_->setPlaybackRate(rate_);
  }
  didChangeValueForKey("currentItem");
  schedule();
}

void Player::setRate(float rate) {
  if (rate == rate_ || std::isnan(rate)) return;
  bool wasMoving = item_ && item_->isMoving();
  willChangeValueForKey("rate");
  rate_ = rate;
  if (item_) item_->setPlaybackRate(rate);
  didChangeValueForKey("rate");
  if (wasMoving != (item_ && item_->isMoving())) notifyAll();
  schedule();
}

void Player::seekToTime(Time time) {
  if (!item_ || !TimeIsNumeric(time)) return;
  item_->seekTo(TimeGetSeconds(time));
  notifyAll();
  schedule();
}

void Player::itemStatusChanged(PlayerItem& item) {
  if (&item != item_.get()) return;
  if (item.status() == PlayerItemStatus::failed) {
    setRate(0);
    schedule();
    return;
  }
  if (item.isMoving()) notifyAll();
  schedule();
}

std::shared_ptr<ns::Object> Player::addPeriodicTimeObserverForInterval(Time interval,
                                                                       dispatch::QueuePtr queue,
                                                                       TimeObserverBlock block) {
  double seconds = TimeGetSeconds(interval);
  if (!TimeIsNumeric(interval) || !std::isfinite(seconds) || seconds <= 0 || !block) {
    ns::log("Player: no periodic time observer added: its interval is not a finite time above 0 (%g)",
            seconds);
    return nullptr;
  }
  auto observer = std::make_shared<TimeObserver>(seconds, std::move(queue), std::move(block));
  observers_.push_back(observer);
  schedule();
  return observer;
}

void Player::removeTimeObserver(const std::shared_ptr<ns::Object>& observer) {
  auto it = std::find(observers_.begin(), observers_.end(), observer);
  if (it == observers_.end()) return;
  (*it)->active = false;
  observers_.erase(it);
  schedule();
}

void Player::notify(const std::shared_ptr<TimeObserver>& observer, double position) {
  Time time = TimeMakeWithSeconds(position, kTimescale);
  auto queue = observer->queue ? observer->queue : dispatch::mainQueue();
  dispatch::async(queue, [observer, time] {
    if (observer->active) observer->block(time);
  });
}

void Player::notifyAll() {
  double p = position();
  for (const auto& o : observers_) notify(o, p);
}

void Player::schedule() {
  if (timer_) {
    timer_->invalidate();
    timer_.reset();
  }
  if (!item_ || !item_->isMoving() || rate_ <= 0) return;
  double p = position();
  double next = INFINITY;
  for (const auto& o : observers_) {
    // The slack is in seconds: a relative one falls below the clock's resolution for short
    // intervals, and a timer due "now" would then fire for ever without time moving.
    o->next = (std::floor((p + kSlack) / o->interval) + 1) * o->interval;
    next = std::min(next, o->next);
  }
  if (auto end = item_->finiteDuration()) next = std::min(next, *end);
  if (!std::isfinite(next)) return;
  double delay = std::max(0.0, (next - p) / rate_);
  std::weak_ptr<Player> weak = std::static_pointer_cast<Player>(shared_from_this());
  timer_ = ns::Timer::timerWithTimeInterval(delay, false, [weak](const ns::TimerPtr&) {
    if (auto player = weak.lock()) player->timerFired();
  });
  timer_->setCountsAsPendingWork(false);
  ns::RunLoop::mainRunLoop()->addTimer(timer_, ns::kRunLoopCommonModes);
}

void Player::timerFired() {
  timer_.reset();
  if (!item_) return;
  double p = position();
  auto end = item_->finiteDuration();
  if (end && p >= *end - kSlack && rate_ > 0) {
    reachEnd();
    return;
  }
  for (const auto& o : observers_)
    if (o->next <= p + kSlack) notify(o, p);
  schedule();
}

void Player::reachEnd() {
  auto item = item_;
  item->stopAtEnd();
  willChangeValueForKey("rate");
  rate_ = 0;
  didChangeValueForKey("rate");
  notifyAll();
  schedule();
  ns::NotificationCenter::defaultCenter()->postNotificationName(kPlayerItemDidPlayToEndTimeNotification,
                                                                ns::Value(item));
}

}  // namespace av
