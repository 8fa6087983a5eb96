#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Internal to Graphics: what an encoded image claims about itself, read before any decoder runs.
namespace cg::detail {

enum class ImageFormat { PNG, JPEG, GIF, TIFF, BMP, ICO, CUR };

struct ImageHeader {
  ImageFormat format;
  // The largest extent any part of the header claims (the canvas, a frame, an icon entry or a
  // tile), so that a decoder working from any of them stays within it.
  std::int64_t width = 0;
  std::int64_t height = 0;
  // How many leading bytes the decoder needs: all of them, except for GIF, whose first frame
  // ends there (later frames are never decoded).
  std::size_t decodeLength = 0;
  // The rows the decoder reports of the first image: all of them (-1), or a GIF frame's, which
  // are reported from the frame's top, whatever its place on the canvas.
  std::int64_t rowCount = -1;
};

// The type and claimed size of an encoded image; nullopt when the bytes are none of the accepted
// types, or the header is cut short or claims no pixels.
std::optional<ImageHeader> readImageHeader(const std::uint8_t* bytes, std::size_t length);

// Whether the data of a PNG or JPEG reaches its end (the image end chunk, the end marker after
// its scans) rather than stopping where a decoder would make up the rest; true for other types.
bool reachesItsEnd(const ImageHeader& header, const std::uint8_t* bytes, std::size_t length);

struct PixelSize {
  int width = 0;
  int height = 0;
};

// The pixel size of a PNG or JPEG whose structure is whole, so that decoding it can wait until
// its pixels are needed: a PNG's chunks each within the bytes and matching their CRC, from a
// valid IHDR through its image data to IEND; a JPEG's segments each within the bytes, from a
// Huffman-coded frame through its scans to the end marker. nullopt for anything else, including
// pictures that decoding would turn (an Exif block): those must be decoded to be trusted.
std::optional<PixelSize> wholeImageSize(const std::uint8_t* bytes, std::size_t length);

// Encoded files larger than this are not read at all.
inline constexpr std::uintmax_t kMaxEncodedFileBytes = 512u << 20;
// The whole of an encoded image file; nullopt when it cannot be read, is empty or is over the limit.
std::optional<std::string> readEncodedFile(const std::string& path);

// Whether a bitmap of this many pixels may be made: both sides 1...32767 (the most Cairo draws)
// and at most Image::kMaxPixels in all.
bool acceptablePixelSize(std::int64_t width, std::int64_t height);

// Defined next to the sanitizer hooks; referring to it links them into every binary using Graphics.
extern const int kSanitizerHooks;

// Drops the scaled copies of pictures that drawing keeps; the number of bytes freed.
std::size_t purgeScaledImages();

// How many times a decoder has been started in this process (refused bytes never start one).
std::uint64_t decodersStarted();
// How many pixels the decoders have produced in this process (of scaled pictures, the scaled ones).
std::uint64_t pixelsDecoded();

}  // namespace cg::detail
