#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

namespace sampleservice {

enum class ImageFormat { png, jpeg };

// Draws the catalogue's pictures: a colour field with a pattern chosen by the item's id and the
// item's name on it, so each poster and photo is distinct and recognisable on screen.
struct ImageRequest {
  std::string seed;     // decides colours and pattern (kind and item id)
  std::string caption;  // drawn on the picture; may be empty
  int width = 0;
  int height = 0;
  ImageFormat format = ImageFormat::jpeg;
  // "#RRGGBB": the picture's ground runs out to this colour at its left and right edges, so that
  // bars of it beside a picture narrower than its frame look like more of it. Empty: none.
  std::string ground;
  // Where the caption's first line starts, as a share of the height from the top; none: it ends
  // near the foot.
  std::optional<double> captionTop;
  // The caption's size, as a share of the picture's shorter side.
  double captionSize = 1.0 / 9;
};

struct PictureSize {
  int width, height;
};
// What pictures are drawn at when their URL names no size: the shapes of the frames that show
// them. Posters fill the rows' tiles (about 16:9) and the phone lists' rows; big posters fill the
// rows' big tiles (4:3), and the title header shows the middle of them.
inline constexpr PictureSize kPosterSize{320, 180};
inline constexpr PictureSize kBigPosterSize{600, 450};

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
  using Key = std::tuple<std::string, std::string, int, int, int, std::string, double, double>;
  std::mutex mutex_;
  std::map<Key, std::string> images_;
  std::size_t bytes_ = 0;
  std::size_t maxBytes_;
};

}  // namespace sampleservice
