#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Foundation/Data.h"
#include "Foundation/Object.h"
#include "Graphics/Color.h"
#include "Graphics/Geometry.h"

namespace cg {

class Image;

// The most pixels a view draws a picture at. A larger picture is decoded scaled down, its aspect
// kept, to cover the box (with no more than four times its pixels), and its scale is lowered to
// match, so that it keeps its size in points. Sides of 0: no bound.
struct PixelBox {
  int width = 0;
  int height = 0;
};

using ImagePtr = std::shared_ptr<const Image>;

// An immutable bitmap: premultiplied 32-bit ARGB pixels (0xAARRGGBB in a native uint32_t, the
// layout Cairo draws from), rows top to bottom, plus a scale (pixels per point).
//
// Decoded images are always upright: an orientation recorded in the file (EXIF for JPEG, the
// orientation tag for TIFF) is applied to the pixels while decoding, so size(), pixels and
// drawing agree without any orientation to carry around.
//
// Decoding refuses anything that is not one of the accepted types (PNG, JPEG, GIF, TIFF, BMP,
// ICO, CUR), whose header claims more than kMaxPixels, or that does not decode completely
// (truncated data, or data that stops before its end chunk or marker); those give nullptr.
// Shown in a box, a picture is also refused when it stores far more pixels than the box draws, or
// when its decoder would hold more than the box allows (detail::kMostStoredPerDrawn and
// kMostDecodingBytes in ImageHeader.h); decoders at work together hold at most the latter.
// Decoding and encoding are safe on any thread.
class Image final : public ns::Object {
 public:
  static constexpr std::int64_t kMaxPixels = 40'000'000;
  // The decoded pixels of images decoded on demand that stay held together: past it, those drawn
  // longest ago are dropped (and decoded again when next needed).
  static constexpr std::size_t kMostHeldBytes = std::size_t{64} << 20;
  // Of those, the pixels that were decoded (to check the bytes) but never drawn or read since.
  static constexpr std::size_t kMostUndrawnBytes = std::size_t{8} << 20;

  using PixelBox = cg::PixelBox;

  // Wraps pixels given in the layout above; nullptr when the count does not match the size or
  // the size is empty or too large. A scale <= 0 counts as 1.
  static ImagePtr fromPixels(int pixelWidth, int pixelHeight, std::vector<std::uint32_t> pixels,
                             double scale = 1);
  static ImagePtr decode(const void* bytes, std::size_t length, double scale = 1, PixelBox box = {});
  static ImagePtr decode(const ns::Data& data, double scale = 1, PixelBox box = {}) {
    return decode(data.bytes(), data.length(), scale, box);
  }
  static ImagePtr fromFile(const std::string& path, double scale = 1);
  // The most bytes an encoded picture starting with these bytes may take, for refusing a body
  // while it arrives: kMostLengthOfNone once the start is plainly no accepted type, or when the
  // header giving its size does not come within kMostHeadLength; otherwise what any file of that
  // size could need (its pixels stored uncompressed at 16 bytes each, and room for metadata).
  // nullopt while too few bytes have come.
  static constexpr std::size_t kMostHeadLength = 64 << 10;
  static constexpr std::int64_t kMostLengthOfNone = kMostHeadLength;
  static std::optional<std::int64_t> mostEncodedLength(const void* head, std::size_t length);
  // As decode and fromFile (undecodable data gives nullptr), but the image keeps its encoded bytes
  // beside the pixels this decoding gave: purgeDecodedPixels(), or more than kMostHeldBytes held,
  // drops the pixels, which are decoded again when next drawn or read, as the device does with the
  // pictures of its pages. Bytes far larger than their pixels (a small picture padded with
  // metadata) are not kept: such an image holds its pixels alone.
  static ImagePtr decodeOnDemand(const ns::Data& data, double scale = 1, PixelBox box = {});
  // A PNG or JPEG file whose structure is whole and whose size fits the box is not decoded until
  // its pixels are needed; should that decoding fail after all, it draws as a clear picture of its
  // size. Any other file is decoded here, and refused (nullptr) when it cannot be.
  static ImagePtr fromFileOnDemand(const std::string& path, double scale = 1, PixelBox box = {});
  // Drops the decoded pixels of every image decoded on demand (under memory pressure); they are
  // decoded again when next needed. The number of bytes freed.
  static std::size_t purgeDecodedPixels();
  // The decoded pixels held by the images decoded on demand that are alive, in bytes.
  static std::size_t decodedOnDemandBytes();

  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  double scale() const { return scale_; }
  // Size in points: pixels divided by the scale.
  Size size() const { return {width_ / scale_, height_ / scale_}; }

  // The same pixels (shared, not copied) at another scale.
  ImagePtr withScale(double scale) const;
  // A copy of the pixels inside a rect given in pixels (cut to the image), at the same scale;
  // nullptr when nothing of the image is inside. Stretchable images draw their caps from these.
  ImagePtr cropped(int x, int y, int width, int height) const;

  // The pixels. Of an image decoded on demand they stay valid until the next purge; code that may
  // meet a purge on another thread holds pixelBuffer() instead.
  std::span<const std::uint32_t> pixels() const;
  std::shared_ptr<const std::vector<std::uint32_t>> pixelBuffer() const;
  bool isDecodedOnDemand() const { return onDemand_ != nullptr; }
  // What the image holds now: its pixels, and an image decoded on demand its encoded bytes too.
  std::size_t heldBytes() const;
  // The premultiplied pixel at (x, y); 0 outside the image.
  std::uint32_t pixelAt(int x, int y) const;
  // The colour at (x, y), not premultiplied, channels rounded to 1/255; clear outside the image.
  Color colorAt(int x, int y) const;
  bool hasAlpha() const;

  // Encodings; empty data when encoding fails. JPEG has no alpha: transparent pixels come out
  // as the colour they hold premultiplied (black where fully transparent). Quality is 0...1.
  ns::Data pngData() const;
  ns::Data jpegData(double quality) const;

  std::string describe() const override;

  // The encoded bytes and the decoded pixels, if any, of an image decoded on demand.
  struct OnDemandPixels;

  // Use the factories; public only for std::make_shared.
  Image(int width, int height, std::shared_ptr<const std::vector<std::uint32_t>> pixels, double scale);
  Image(int width, int height, std::shared_ptr<OnDemandPixels> onDemand, double scale);

 private:
  friend struct OnDemandPixels;
  // Encoded bytes kept beside pixels may exceed the pixels' own bytes by this much.
  static constexpr std::size_t kMostKeptSurplus = 64 << 10;
  // An image of this size whose pixels are the encoded bytes decoded when needed, or already.
  static ImagePtr onDemand(const ns::Data& data, int width, int height, double scale, PixelBox box,
                           std::shared_ptr<const std::vector<std::uint32_t>> decoded);
  // The pixels, decoded again if they were dropped; kept for later unless keep is false (an
  // encoding reads them once).
  std::shared_ptr<const std::vector<std::uint32_t>> pixelBuffer(bool keep) const;
  // The bytes an image decoded on demand is decoded from; empty for any other.
  ns::Data encodedBytes() const;

  int width_;
  int height_;
  double scale_;
  // Pixels of their own, or none for an image decoded on demand.
  std::shared_ptr<const std::vector<std::uint32_t>> pixels_;
  std::shared_ptr<OnDemandPixels> onDemand_;
};

// Premultiplied ARGB from a colour, and back (rounded to 1/255).
std::uint32_t premultipliedPixel(const Color& color);
Color colorFromPremultiplied(std::uint32_t pixel);

}  // namespace cg
