#include "Media/URLAsset.h"

#include <algorithm>

#include "Dispatch/Dispatch.h"
#include "Foundation/WorkerPool.h"
#include "Media/MediaInput.h"

namespace av {

namespace {

constexpr std::string_view kKeys[] = {"tracks", "playable", "duration"};

}  // namespace

std::shared_ptr<URLAsset> URLAsset::URLAssetWithURL(const ns::URL& url, const ns::Dictionary&) {
  auto asset = std::make_shared<URLAsset>();
  asset->url_ = url;
  return asset;
}

bool URLAsset::knownKey(std::string_view key) {
  return std::find(std::begin(kKeys), std::end(kKeys), key) != std::end(kKeys);
}

void URLAsset::loadValuesAsynchronouslyForKeys(std::vector<std::string> keys, std::function<void()> handler) {
  bool start = false, done = false;
  {
    std::lock_guard lock(mutex_);
    for (auto& key : keys)
      if (std::find(requested_.begin(), requested_.end(), key) == requested_.end()) requested_.push_back(key);
    done = probe_.has_value();
    if (!done && handler) waiting_.push_back(std::move(handler));
    start = !done && !probing_;
    if (start) probing_ = true;
  }
  auto queue = dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT);
  if (done) {
    if (handler) dispatch::async(queue, std::move(handler));
    return;
  }
  if (start) {
    auto self = std::static_pointer_cast<URLAsset>(shared_from_this());
    dispatch::async(queue, [self] { self->runProbe(); });
  }
}

void URLAsset::runProbe() {
  Probe result;
  {
    // The look blocks on the network; let the pool run other work meanwhile.
    ns::WorkerPool::BlockingScope blocking;
    bool notMedia = false;
    auto input = detail::Input::open(url_.absoluteString(), nullptr, result.error, notMedia);
    if (notMedia) result.error = nullptr;
    if (input) {
      for (const auto& t : input->tracks())
        result.tracks.push_back(
            std::make_shared<AssetTrack>(t.video ? kMediaTypeVideo : kMediaTypeAudio, t.supported));
      result.playable = input->videoStream() >= 0 || input->audioStream() >= 0;
      result.duration = input->duration();
    }
  }
  std::vector<std::function<void()>> handlers;
  {
    std::lock_guard lock(mutex_);
    probe_ = std::move(result);
    probing_ = false;
    handlers.swap(waiting_);
  }
  for (auto& handler : handlers) handler();
}

KeyValueStatus URLAsset::statusOfValueForKey(std::string_view key, ns::ErrorPtr* error) const {
  if (error) *error = nullptr;
  std::lock_guard lock(mutex_);
  if (std::find(requested_.begin(), requested_.end(), key) == requested_.end())
    return KeyValueStatus::unknown;
  if (!probe_) return KeyValueStatus::loading;
  if (!knownKey(key)) {
    if (error)
      *error = detail::mediaError(detail::kMediaErrorUnknown, "The operation could not be completed",
                                  "The key \"" + std::string(key) + "\" is not a key of an asset.");
    return KeyValueStatus::failed;
  }
  if (probe_->error) {
    if (error) *error = probe_->error;
    return KeyValueStatus::failed;
  }
  return KeyValueStatus::loaded;
}

bool URLAsset::isPlayable() const {
  std::lock_guard lock(mutex_);
  return probe_ && !probe_->error && probe_->playable;
}

std::vector<std::shared_ptr<AssetTrack>> URLAsset::tracks() const {
  std::lock_guard lock(mutex_);
  return probe_ && !probe_->error ? probe_->tracks : std::vector<std::shared_ptr<AssetTrack>>{};
}

Time URLAsset::duration() const {
  std::lock_guard lock(mutex_);
  if (!probe_ || probe_->error) return kTimeInvalid;
  if (!probe_->duration) return kTimeIndefinite;
  return TimeMakeWithSeconds(*probe_->duration, 1'000'000'000);
}

}  // namespace av
