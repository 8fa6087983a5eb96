#include "Media/PlayerItem.h"

#include <algorithm>

#include "Dispatch/Dispatch.h"
#include "Foundation/Value.h"
#include "Media/Pipeline.h"
#include "Media/Player.h"

namespace av {

namespace {

constexpr std::int32_t kTimescale = 1'000'000'000;
// How long a picture is waited for under the manual clock (sanitizer builds are slow).
constexpr double kPictureWait = 20.0;

}  // namespace

PlayerItem::PlayerItem() : timeline_(std::make_shared<detail::Timeline>()) {}

// The pipeline's threads are stopped and joined here at the latest.
PlayerItem::~PlayerItem() = default;

std::shared_ptr<PlayerItem> PlayerItem::playerItemWithAsset(const std::shared_ptr<URLAsset>& asset) {
  return std::make_shared<PlayerItem>()->initWithAsset(asset);
}

std::shared_ptr<PlayerItem> PlayerItem::initWithAsset(const std::shared_ptr<URLAsset>& asset) {
  asset_ = asset;
  return std::static_pointer_cast<PlayerItem>(shared_from_this());
}

Time PlayerItem::duration() const {
  if (!durationKnown_ || !duration_) return kTimeIndefinite;
  return TimeMakeWithSeconds(*duration_, kTimescale);
}

double PlayerItem::position() const { return timeline_->position(); }

Time PlayerItem::currentTime() const { return TimeMakeWithSeconds(position(), kTimescale); }

ns::Value PlayerItem::valueForKey(std::string_view key) const {
  if (key == "status") return ns::Value(int(status_));
  if (key == "loadedTimeRanges") {
    ns::Array ranges;
    for (const TimeRange& r : loadedTimeRanges_)
      ranges.push_back(
          ns::Dictionary{{"start", TimeGetSeconds(r.start)}, {"duration", TimeGetSeconds(r.duration)}});
    return ns::Value(std::move(ranges));
  }
  return ns::Object::valueForKey(key);
}

void PlayerItem::attach(const std::shared_ptr<Player>& player) {
  player_ = player;
  if (pipeline_ || status_ == PlayerItemStatus::failed || !asset_) return;
  std::uint64_t generation = ++generation_;
  std::weak_ptr<PlayerItem> weak = std::static_pointer_cast<PlayerItem>(shared_from_this());
  // Workers report on their threads; the item hears on the main queue, if it is still there
  // and still playing the same pipeline.
  auto onMain = [weak, generation](auto call) {
    dispatch::async(dispatch::mainQueue(), [weak, generation, call] {
      if (auto item = weak.lock(); item && item->generation_ == generation) call(*item);
    });
  };
  detail::Pipeline::Events events;
  events.ready = [onMain](const detail::MediaInfo& info) {
    onMain([info](PlayerItem& item) { item.pipelineReady(info.presentationSize, info.duration); });
  };
  events.failed = [onMain](ns::ErrorPtr error) {
    onMain([error](PlayerItem& item) { item.pipelineFailed(error); });
  };
  events.loaded = [onMain](double start, double end) {
    onMain([start, end](PlayerItem& item) { item.pipelineLoaded(start, end); });
  };
  detail::Pipeline::Options options;
  options.start = position();
  pipeline_ = std::make_unique<detail::Pipeline>(asset_->URL().absoluteString(), timeline_, options,
                                                 std::move(events));
}

void PlayerItem::detach() {
  player_.reset();
  ++generation_;
  rate_ = 0;
  timeline_->set(position(), 0);
  pipeline_.reset();
}

void PlayerItem::setPlaybackRate(double rate) {
  rate_ = rate;
  applyRate();
}

void PlayerItem::applyRate() {
  timeline_->set(position(), status_ == PlayerItemStatus::readyToPlay ? rate_ : 0);
  if (pipeline_) pipeline_->timelineChanged();
}

bool PlayerItem::isMoving() const { return status_ == PlayerItemStatus::readyToPlay && rate_ != 0; }

void PlayerItem::seekTo(double seconds) {
  double target = std::max(0.0, seconds);
  if (durationKnown_ && duration_) target = std::min(target, *duration_);
  timeline_->set(target, status_ == PlayerItemStatus::readyToPlay ? rate_ : 0);
  if (pipeline_) {
    pipeline_->seek(target);
    pipeline_->timelineChanged();
  }
}

void PlayerItem::stopAtEnd() {
  rate_ = 0;
  timeline_->set(duration_.value_or(position()), 0);
  if (pipeline_) pipeline_->timelineChanged();
}

cg::ImagePtr PlayerItem::currentPicture(bool wait) {
  if (!pipeline_) return nullptr;
  return pipeline_->frameAt(position(), wait && status_ == PlayerItemStatus::readyToPlay, kPictureWait);
}

bool PlayerItem::hasPictureForCurrentTime() { return pipeline_ && pipeline_->hasFrameFor(position()); }

std::optional<double> PlayerItem::nextPictureTime() {
  if (!pipeline_) return std::nullopt;
  return pipeline_->nextPictureTime(position());
}

void PlayerItem::setStatus(PlayerItemStatus status) {
  if (status == status_) return;
  willChangeValueForKey("status");
  status_ = status;
  if (status == PlayerItemStatus::readyToPlay) applyRate();
  // The player sets its clock and timers before anyone hears of the change.
  if (auto player = player_.lock()) player->itemStatusChanged(*this);
  didChangeValueForKey("status");
}

void PlayerItem::pipelineReady(cg::Size size, std::optional<double> duration) {
  duration_ = duration;
  durationKnown_ = true;
  if (duration) timeline_->setEnd(*duration);
  presentationSize_ = size;
  setStatus(PlayerItemStatus::readyToPlay);
}

void PlayerItem::pipelineFailed(ns::ErrorPtr error) {
  error_ = std::move(error);
  // Its workers have stopped; let them go.
  ++generation_;
  pipeline_.reset();
  setStatus(PlayerItemStatus::failed);
}

void PlayerItem::pipelineLoaded(double start, double end) {
  willChangeValueForKey("loadedTimeRanges");
  loadedTimeRanges_ = {TimeRangeMake(TimeMakeWithSeconds(start, kTimescale),
                                     TimeMakeWithSeconds(std::max(0.0, end - start), kTimescale))};
  didChangeValueForKey("loadedTimeRanges");
}

}  // namespace av
