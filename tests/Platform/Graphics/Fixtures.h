#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encoded test images made on the spot: gdk-pixbuf's savers for PNG, JPEG, TIFF, BMP and ICO, and
// small hand-built files for what no saver writes (GIF, CUR, EXIF orientation, lying headers).
namespace fixtures {

// A width × height picture: the left half opaque red, the right half opaque blue; with noise over
// it when asked.
std::string saved(const char* type, int width, int height, bool noisy = false);
std::string gif(int width, int height);  // same picture, one frame (a second, green one when asked)
std::string gifWithTwoFrames(int width, int height);
// The same picture in a frame of frameHeight rows from row `top`, on a width × height canvas.
std::string gifWithSmallFrame(int width, int height, int top, int frameHeight);
// The same picture as an interlaced (Adam7) RGB PNG.
std::string interlacedPNG(int width, int height);
// The same picture as an 8-bit RGB or a 16-bit RGBA PNG, plain or interlaced.
std::string builtPNG(int width, int height, bool interlaced, bool sixteenBits);
// The PNG carrying a text chunk of about `length` bytes.
std::string withTextChunk(const std::string& png, std::size_t length);
std::string cursor(int width, int height);  // an ICO turned into a CUR
std::string progressiveJPEG(int width, int height);
// The JPEG with an EXIF block saying orientation `orientation` inserted after its start marker.
std::string withExifOrientation(std::string jpeg, int orientation);

// Headers that claim width × height and carry next to no pixel data.
std::string pngHeader(std::uint32_t width, std::uint32_t height);
std::string jpegHeader(std::uint16_t width, std::uint16_t height);
std::string gifHeader(std::uint16_t width, std::uint16_t height);
std::string bmpHeader(std::int32_t width, std::int32_t height);
std::string icoWithPNGHeader(std::uint32_t width, std::uint32_t height);
std::string tiffHeader(std::uint32_t width, std::uint32_t height);

}  // namespace fixtures
