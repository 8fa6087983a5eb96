#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

namespace sampleservice {

enum class ImageFormat { png, jpeg };

// Draws the catalogue's pictures: a colour field with a pattern chosen by the item's id, so each
// poster and photo is distinct on screen. (No captions: text drawing leaves fontconfig state
// behind on the server's threads, which the leak checker of the sanitizer builds reports.)
struct ImageRequest {
  std::string seed;  // decides colours and pattern (kind and item id)
  int width = 0;
  int height = 0;
  ImageFormat format = ImageFormat::jpeg;
};

// Encoded image bytes, or nothing when the size is out of range or encoding failed.
std::optional<std::string> renderImage(const ImageRequest& request);

// Largest edge the service draws; bigger requests are refused.
inline constexpr int kMaxImageEdge = 2000;

// Remembers rendered images, since the client asks for the same posters again and again.
// Safe to use from the server's threads.
class ImageCache {
 public:
  explicit ImageCache(std::size_t maxBytes = 64u << 20) : maxBytes_(maxBytes) {}
  std::optional<std::string> get(const ImageRequest& request);

 private:
  using Key = std::tuple<std::string, int, int, int>;
  std::mutex mutex_;
  std::map<Key, std::string> images_;
  std::size_t bytes_ = 0;
  std::size_t maxBytes_;
};

}  // namespace sampleservice
