#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Internal to Graphics.
namespace cg::detail {

struct DecodedPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // the Image layout (premultiplied 0xAARRGGBB)
};

// A whole JPEG decoded to width x height pixels (no larger than it is stored), then turned as its
// Exif orientation says. libjpeg scales by 1/2, 1/4 or 1/8 while it decodes, and the rest is a
// mean of the pixels each covers, so a plain (one-scan) JPEG holds only a few rows besides the
// result; one of several scans holds its coefficients (at most `mostHeldBytes`, else it fails).
// nullopt for damaged data, including data the decoder warns is cut short or meets a marker
// inside its scan (it would fill what is missing with grey).
std::optional<DecodedPixels> decodeJPEGScaled(const std::uint8_t* bytes, std::size_t length, int width,
                                              int height, std::size_t mostHeldBytes);

}  // namespace cg::detail
