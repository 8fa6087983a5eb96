#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Media/Time.h"

namespace av {

enum class KeyValueStatus { unknown = 0, loading = 1, loaded = 2, failed = 3, cancelled = 4 };

inline constexpr const char* kMediaTypeVideo = "vide";
inline constexpr const char* kMediaTypeAudio = "soun";

// One video or sound track of an asset.
class AssetTrack final : public ns::Object {
 public:
  AssetTrack(std::string mediaType, bool playable) : mediaType_(std::move(mediaType)), playable_(playable) {}
  const std::string& mediaType() const { return mediaType_; }
  // Whether the platform decodes its format.
  bool isPlayable() const { return playable_; }

 private:
  std::string mediaType_;
  bool playable_;
};

// Media at a URL: an HLS playlist or a media file, over HTTP or HTTPS (any other URL fails the
// keys with -1002 before anything is opened). Its keys ("tracks", "playable", "duration") are
// loaded on request, off the main thread, by one look at the media. A transport failure or an
// HTTP error status (of the playlist or of a segment) fails the keys with an error of the URL
// domain; a resource that is no media this layer plays loads them as not playable. Safe from any
// thread.
class URLAsset final : public ns::Object {
 public:
  // The options are accepted for the platform's signature; none is used.
  static std::shared_ptr<URLAsset> URLAssetWithURL(const ns::URL& url, const ns::Dictionary& options = {});

  const ns::URL& URL() const { return url_; }

  // Loads the keys not loaded yet, then runs the handler once, on a background queue.
  void loadValuesAsynchronouslyForKeys(std::vector<std::string> keys, std::function<void()> handler);
  // A key never asked for is unknown; a key this class does not know fails.
  KeyValueStatus statusOfValueForKey(std::string_view key, ns::ErrorPtr* error = nullptr) const;

  // Read after their keys are loaded: false, empty and invalid before.
  bool isPlayable() const;
  std::vector<std::shared_ptr<AssetTrack>> tracks() const;
  // Indefinite for a live stream.
  Time duration() const;

 private:
  struct Probe {
    ns::ErrorPtr error;
    std::vector<std::shared_ptr<AssetTrack>> tracks;
    bool playable = false;
    std::optional<double> duration;
  };
  struct Request {
    std::vector<std::string> keys;
    std::function<void()> handler;
  };
  static bool knownKey(std::string_view key);
  void runProbe();

  ns::URL url_;
  mutable std::mutex mutex_;
  std::vector<std::string> requested_;
  std::optional<Probe> probe_;
  bool probing_ = false;
  std::vector<std::function<void()>> waiting_;
};

}  // namespace av
