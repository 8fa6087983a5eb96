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
  // An interlaced PNG, whose decoder needs every pass and so holds the whole stored picture.
  bool interlaced = false;
  // Of a JPEG: where its frame header starts, and what its coefficients take when the decoder
  // must hold them all (a progressive JPEG or one of several scans; 0 otherwise).
  std::size_t frameOffset = 0;
  std::int64_t coefficientBytes = 0;
};

// What the decoder of this picture holds besides the picture it makes, in bytes: a few rows for a
// plain PNG or a one-scan JPEG (which are scaled while read); the whole stored picture for an
// interlaced PNG, a TIFF (and its file), a BMP or an icon; a JPEG's coefficients; two canvases
// for a GIF.
std::int64_t decoderHeldBytes(const ImageHeader& header, std::size_t length);

// The pixels of a box count as at least this many when its pictures are bounded (a small view may
// show a picture of ordinary size).
inline constexpr std::int64_t kLeastDrawnPixels = 256 * 256;
// A picture storing more than this many times the pixels of the largest view showing it is no
// poster: it is refused before it is decoded.
inline constexpr std::int64_t kMostStoredPerDrawn = 64;
// What the decoders hold together, and so also the most one may hold (less for a picture shown in
// a small view: 4 bytes for each pixel kMostStoredPerDrawn allows).
inline constexpr std::int64_t kMostDecodingBytes = std::int64_t{32} << 20;
// Metadata a picture may carry; a JPEG whose frame header comes after more is padding.
inline constexpr std::int64_t kMetadataRoom = std::int64_t{1} << 20;

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
// The most bytes the decoders have held together in this process, as their headers claim.
std::int64_t mostDecodingBytesAtOnce();

}  // namespace cg::detail
