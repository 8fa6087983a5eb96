#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <functional>
#include <thread>

#include "Fixtures.h"
#include "Graphics/Image.h"
#include "Graphics/ImageHeader.h"
#include "support/TempDir.h"

#if defined(__SANITIZE_ADDRESS__)
// Any single allocation past 1 GiB fails the run: a decoder that believed a huge header would.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=1024"; }
#endif

namespace {

using cg::Image;
using cg::ImagePtr;

ImagePtr decode(const std::string& bytes, double scale = 1) {
  return Image::decode(bytes.data(), bytes.size(), scale);
}

// Whether a channel (0...1) is within `tolerance` of the expected value.
void expectColor(const cg::Color& actual, const cg::Color& expected, double tolerance,
                 const std::string& where) {
  EXPECT_NEAR(actual.red, expected.red, tolerance) << where;
  EXPECT_NEAR(actual.green, expected.green, tolerance) << where;
  EXPECT_NEAR(actual.blue, expected.blue, tolerance) << where;
  EXPECT_NEAR(actual.alpha, expected.alpha, tolerance) << where;
}

constexpr cg::Color kRed = cg::Color::rgba(1, 0, 0);
constexpr cg::Color kBlue = cg::Color::rgba(0, 0, 1);

struct DecodeCase {
  const char* name;
  std::function<std::string()> make;
  double tolerance;  // lossy formats come back close, not exact
};

TEST(ImageDecodeTest, DecodesEveryAcceptedTypeUpright) {
  const DecodeCase cases[] = {
      {"png", [] { return fixtures::saved("png", 16, 8); }, 0},
      {"jpeg", [] { return fixtures::saved("jpeg", 16, 8); }, 0.1},
      {"progressive jpeg", [] { return fixtures::progressiveJPEG(16, 8); }, 0.1},
      {"gif", [] { return fixtures::gif(16, 8); }, 0},
      {"gif, first of two frames", [] { return fixtures::gifWithTwoFrames(16, 8); }, 0},
      {"gif whose frame is smaller than its canvas", [] { return fixtures::gifWithSmallFrame(16, 8, 2, 4); },
       0},
      {"interlaced png", [] { return fixtures::interlacedPNG(16, 8); }, 0},
      {"16-bit rgba png", [] { return fixtures::builtPNG(16, 8, false, true); }, 0},
      {"16-bit rgba interlaced png", [] { return fixtures::builtPNG(16, 8, true, true); }, 0},
      {"tiff", [] { return fixtures::saved("tiff", 16, 8); }, 0},
      {"bmp", [] { return fixtures::saved("bmp", 16, 8); }, 0},
      {"ico", [] { return fixtures::saved("ico", 16, 8); }, 0},
      {"cur", [] { return fixtures::cursor(16, 8); }, 0},
  };
  for (const auto& c : cases) {
    ImagePtr image = decode(c.make());
    ASSERT_TRUE(image) << c.name;
    EXPECT_EQ(image->pixelWidth(), 16) << c.name;
    EXPECT_EQ(image->pixelHeight(), 8) << c.name;
    EXPECT_EQ(image->scale(), 1) << c.name;
    expectColor(image->colorAt(2, 4), kRed, c.tolerance, c.name);
    expectColor(image->colorAt(13, 4), kBlue, c.tolerance, c.name);
    // Each decoded into a view of half its size.
    const std::string bytes = c.make();
    ImagePtr boxed = Image::decode(bytes.data(), bytes.size(), 1, {8, 4});
    ASSERT_TRUE(boxed) << c.name;
    EXPECT_EQ(boxed->pixelWidth(), 8) << c.name;
    EXPECT_EQ(boxed->pixelHeight(), 4) << c.name;
    expectColor(boxed->colorAt(1, 2), kRed, c.tolerance, c.name);
    expectColor(boxed->colorAt(6, 2), kBlue, c.tolerance, c.name);
  }
}

TEST(ImageDecodeTest, HonoursExifOrientationSixByTurningThePixels) {
  // Orientation 6: the stored picture is shown turned a quarter clockwise, so the stored left
  // half (red) becomes the top.
  ImagePtr image = decode(fixtures::withExifOrientation(fixtures::saved("jpeg", 40, 20), 6), 2);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 20);
  EXPECT_EQ(image->pixelHeight(), 40);
  EXPECT_EQ(image->size(), (cg::Size{10, 20}));
  expectColor(image->colorAt(10, 5), kRed, 0.1, "top");
  expectColor(image->colorAt(10, 34), kBlue, 0.1, "bottom");
}

TEST(ImageDecodeTest, ScaleDividesTheSizeInPoints) {
  std::string png = fixtures::saved("png", 30, 20);
  for (double scale : {1.0, 2.0}) {
    ImagePtr image = decode(png, scale);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), scale);
    EXPECT_EQ(image->size(), (cg::Size{30 / scale, 20 / scale}));
  }
  ImagePtr image = decode(png, 2);
  ImagePtr rescaled = image->withScale(1);
  EXPECT_EQ(rescaled->size(), (cg::Size{30, 20}));
  EXPECT_EQ(rescaled->pixels().data(), image->pixels().data()) << "pixels are shared, not copied";
}

std::string cut(std::string bytes, double fraction) {
  return bytes.substr(0, std::size_t(bytes.size() * fraction));
}

const std::string kJPEGEnd("\xFF\xD9", 2);
const std::string kPNGEnd("\0\0\0\0IEND\xAE\x42\x60\x82", 12);

// The PNG cut before its n-th image data chunk (counted from 1).
std::string cutBeforeImageData(const std::string& png, int n) {
  std::size_t at = 0;
  for (int i = 0; i < n; ++i) at = png.find("IDAT", at + 1);
  return png.substr(0, at - 4);
}

// The JPEG with `bytes` of comment segments after its start marker.
std::string withComments(const std::string& jpeg, std::size_t bytes) {
  std::string comments;
  while (comments.size() < bytes) comments += std::string("\xFF\xFE\xFF\xFF", 4) + std::string(65533, 'c');
  return jpeg.substr(0, 2) + comments + jpeg.substr(2);
}

// A decoder fills in what a cut picture lacks (grey rows, or an interlaced picture's early passes)
// and calls it whole; each of these is refused.
TEST(ImageDecodeTest, BytesThatAreNoCompleteImageGiveNone) {
  const std::string noisyJPEG = fixtures::saved("jpeg", 200, 150, true);
  const std::string noisyPNG = fixtures::saved("png", 200, 150, true);
  ASSERT_TRUE(decode(noisyJPEG) && decode(noisyPNG) && decode(fixtures::interlacedPNG(64, 64)));
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"text", "this is not an image"},
      {"html error page", "<html><body>404 Not Found</body></html>"},
      {"png signature only", std::string("\x89PNG\r\n\x1a\n", 8)},
      {"half a png", cut(fixtures::saved("png", 64, 64), 0.5)},
      {"half a jpeg", cut(fixtures::saved("jpeg", 64, 64), 0.5)},
      {"half a progressive jpeg", cut(fixtures::progressiveJPEG(64, 64), 0.5)},
      {"jpeg without frame header", std::string("\xFF\xD8\xFF\xD9", 4)},
      {"half a gif", cut(fixtures::gif(64, 64), 0.5)},
      {"photograph jpeg cut at 50 %", cut(noisyJPEG, 0.5)},
      {"photograph jpeg cut at 90 %", cut(noisyJPEG, 0.9)},
      {"photograph jpeg cut at 99 %", cut(noisyJPEG, 0.99)},
      {"jpeg without its end marker", noisyJPEG.substr(0, noisyJPEG.size() - 2)},
      {"half an interlaced png", cut(fixtures::interlacedPNG(64, 64), 0.5)},
      {"png without its end chunk", noisyPNG.substr(0, noisyPNG.size() - 12)},
      {"gif without frames", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00\x3B", 14)},
      {"half a tiff", cut(fixtures::saved("tiff", 64, 64), 0.5)},
      {"half a bmp", cut(fixtures::saved("bmp", 64, 64), 0.5)},
      {"half an ico", cut(fixtures::saved("ico", 64, 64), 0.5)},
      {"svg (not an accepted type)", "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>"},
      {"zero-sized bmp", fixtures::bmpHeader(0, 10)},
      // Given their end back, so that only the decoder can tell.
      {"photograph jpeg cut at half, its end marker put back", cut(noisyJPEG, 0.5) + kJPEGEnd},
      {"photograph jpeg cut after 4 KB, its end marker put back", noisyJPEG.substr(0, 4096) + kJPEGEnd},
      {"progressive jpeg cut at half, its end marker put back",
       cut(fixtures::progressiveJPEG(64, 64), 0.5) + kJPEGEnd},
      {"png cut before its third image data chunk, its end chunk put back",
       cutBeforeImageData(noisyPNG, 3) + kPNGEnd},
      {"jpeg whose frame header follows 7 MB of comments",
       withComments(fixtures::saved("jpeg", 16, 8), 7 << 20)},
  };
  for (const auto& [name, bytes] : cases) {
    EXPECT_FALSE(decode(bytes)) << name;
    EXPECT_FALSE(Image::decode(bytes.data(), bytes.size(), 1, {32, 24})) << name << ", in a box";
    EXPECT_FALSE(Image::decodeOnDemand(ns::Data(bytes), 1, {32, 24})) << name << ", on demand";
  }
  EXPECT_FALSE(Image::decode(nullptr, 10));
}

// Headers with as little data after them as passes the check that the data reaches its end.
std::string wholePNGClaiming(std::uint32_t width, std::uint32_t height, bool interlaced) {
  std::string png = fixtures::pngHeader(width, height);
  png[28] = char(interlaced ? 1 : 0);
  return png + std::string("\0\0\0\2IDAT\x78\x9C\0\0\0\0", 14) + kPNGEnd;
}
std::string wholeJPEGClaiming(std::uint16_t width, std::uint16_t height, bool progressive) {
  std::string jpeg = fixtures::jpegHeader(width, height);
  if (progressive) jpeg[3] = char(0xC2);
  return jpeg + std::string("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00\x00\x00", 16) +
         kJPEGEnd;
}

// Sizes no decoder here takes; in a view, far more pixels than it draws (no poster stores 64 times
// them), or a decoder that would hold more than its room (32 MB, less for a small view) before
// making the view's picture.
TEST(ImageDecodeTest, HugeClaimedSizesAreRefusedBeforeAnyDecoderStarts) {
  const cg::PixelBox tile{450, 338}, small{200, 150};
  const struct {
    const char* name;
    std::string bytes;
    cg::PixelBox box;
  } cases[] = {
      {"png", fixtures::pngHeader(100000, 100000), {}},
      {"jpeg", fixtures::jpegHeader(65535, 65535), {}},
      {"gif canvas", fixtures::gifHeader(65535, 65535), {}},
      {"bmp", fixtures::bmpHeader(100000, 100000), {}},
      {"bmp, top-down", fixtures::bmpHeader(100000, -100000), {}},
      {"ico holding a png", fixtures::icoWithPNGHeader(100000, 100000), {}},
      {"tiff", fixtures::tiffHeader(100000, 100000), {}},
      {"png just past the limit", fixtures::pngHeader(8000, 5001), {}},
      {"png wider than cairo draws", fixtures::pngHeader(40000, 1), {}},
      {"6300 x 6300 png on a tile", wholePNGClaiming(6300, 6300, false), tile},
      {"6000 x 4000 jpeg on a tile", wholeJPEGClaiming(6000, 4000, false), tile},
      {"png a row past 64 times a small view", wholePNGClaiming(2048, 2049, false), small},
      {"interlaced png", wholePNGClaiming(3000, 3000, true), tile},
      {"progressive jpeg", wholeJPEGClaiming(3000, 3000, true), tile},
      {"gif canvas in a view", fixtures::gifHeader(2100, 2100), tile},
      {"gif canvas", fixtures::gifHeader(2100, 2100), {}},
      {"tiff in a view", fixtures::tiffHeader(3000, 3000), tile},
      {"bmp in a view", fixtures::bmpHeader(3000, 3000), tile},
  };
  for (const auto& c : cases) {
    auto header =
        cg::detail::readImageHeader(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size());
    ASSERT_TRUE(header) << c.name << ": the header is read";
    std::uint64_t before = cg::detail::decodersStarted();
    EXPECT_FALSE(Image::decode(c.bytes.data(), c.bytes.size(), 1, c.box)) << c.name;
    EXPECT_EQ(cg::detail::decodersStarted(), before) << c.name;
  }
  // As many pixels as a small view allows are decoded, straight into its size.
  const std::string largest = fixtures::builtPNG(2048, 2048, false, false);
  ImagePtr image = Image::decode(largest.data(), largest.size(), 1, small);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 200);
}

// Whatever the type, a body is bounded by what its header claims once its header has come.
TEST(ImageDecodeTest, EveryTypeGetsADownloadBoundFromItsHeader) {
  const std::int64_t claimed = 100 * 80 * 16 + cg::detail::kMetadataRoom;
  const std::string farTIFF = std::string("II*\0\0\0\x10\0", 8) + std::string(Image::kMostHeadLength, '\0');
  const std::string commented = withComments(fixtures::saved("jpeg", 100, 80), 7 << 20);
  const struct {
    const char* name;
    std::string head;
    std::optional<std::int64_t> bound;
  } cases[] = {
      {"gif", fixtures::gifHeader(100, 80), claimed},
      {"gif whose first frame has not come", fixtures::gifHeader(100, 80).substr(0, 13), claimed},
      {"bmp", fixtures::bmpHeader(100, 80), claimed},
      {"tiff", fixtures::tiffHeader(100, 80), claimed},
      {"png", fixtures::pngHeader(100, 80), claimed},
      {"tiff whose directory lies past the head", farTIFF, Image::kMostLengthOfNone},
      {"jpeg whose frame header lies past the head", commented.substr(0, Image::kMostHeadLength),
       Image::kMostLengthOfNone},
      {"jpeg whose frame header has not come", commented.substr(0, 4096), std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Image::mostEncodedLength(c.head.data(), c.head.size()), c.bound) << c.name;
  for (const std::string& icon : {fixtures::saved("ico", 16, 8), fixtures::cursor(16, 8)})
    EXPECT_LT(*Image::mostEncodedLength(icon.data(), icon.size()), 2 * cg::detail::kMetadataRoom);
}

TEST(ImageDecodeTest, PixelLimitCountsBothSidesAndTheTotal) {
  const struct {
    std::int64_t width, height;
    bool acceptable;
  } cases[] = {{8000, 5000, true}, {8000, 5001, false}, {32767, 1, true}, {32768, 1, false},
               {1, 32768, false},  {0, 10, false},      {10, -1, false}};
  for (const auto& c : cases)
    EXPECT_EQ(cg::detail::acceptablePixelSize(c.width, c.height), c.acceptable) << c.width << "x" << c.height;
}

TEST(ImageEncodeTest, PNGRoundTripKeepsEveryPixelAndTheAlpha) {
  std::vector<std::uint32_t> pixels;
  for (int i = 0; i < 12; ++i) {
    std::uint32_t a = std::uint32_t(i * 23);
    pixels.push_back(cg::premultipliedPixel(cg::Color::rgba(1, 0.5, 0.25, a / 255.0)));
  }
  ImagePtr original = Image::fromPixels(4, 3, pixels, 2);
  ASSERT_TRUE(original);
  ns::Data png = original->pngData();
  ASSERT_FALSE(png.empty());
  ImagePtr back = Image::decode(png, 2);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->pixelWidth(), 4);
  ASSERT_EQ(back->pixelHeight(), 3);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(back->pixels()[std::size_t(i)], pixels[std::size_t(i)]) << i;
}

TEST(ImageEncodeTest, JPEGRoundTripIsCloseAndQualityChangesTheSize) {
  ImagePtr original = decode(fixtures::saved("png", 64, 64));
  ASSERT_TRUE(original);
  ns::Data best = original->jpegData(1.0), worst = original->jpegData(0.0);
  ASSERT_FALSE(best.empty());
  ASSERT_FALSE(worst.empty());
  EXPECT_LT(worst.size(), best.size());
  ImagePtr back = Image::decode(best);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->size(), original->size());
  expectColor(back->colorAt(10, 30), kRed, 0.05, "left");
  expectColor(back->colorAt(50, 30), kBlue, 0.05, "right");
  EXPECT_FALSE(back->hasAlpha());
}

TEST(ImageEncodeTest, JPEGOfTransparentPixelsIsBlackAndQualityIsClamped) {
  ImagePtr clear = Image::fromPixels(8, 8, std::vector<std::uint32_t>(64, 0));
  ASSERT_TRUE(clear);
  for (double quality : {-3.0, 0.5, 7.0, std::nan("")}) {
    ImagePtr back = Image::decode(clear->jpegData(quality));
    ASSERT_TRUE(back) << quality;
    expectColor(back->colorAt(4, 4), cg::Color::black(), 0.02, "clear becomes black");
  }
}

TEST(ImageTest, FromPixelsRefusesMismatchedOrAbsurdSizes) {
  EXPECT_FALSE(Image::fromPixels(2, 2, std::vector<std::uint32_t>(3)));
  EXPECT_FALSE(Image::fromPixels(0, 0, {}));
  EXPECT_FALSE(Image::fromPixels(-2, -2, std::vector<std::uint32_t>(4)));
  ImagePtr image = Image::fromPixels(2, 2, std::vector<std::uint32_t>(4), -1);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->scale(), 1);
  EXPECT_EQ(image->pixelAt(5, 0), 0u);
  EXPECT_EQ(image->colorAt(-1, 0), cg::Color::clear());
}

TEST(ImageTest, CroppingCutsTheRectToTheImage) {
  std::vector<std::uint32_t> pixels(12);
  for (std::uint32_t i = 0; i < 12; ++i) pixels[i] = 0xFF000000u | i;  // 4 × 3, numbered row by row
  ImagePtr image = Image::fromPixels(4, 3, pixels, 2);
  const struct {
    int x, y, width, height;
    int expectedWidth, expectedHeight;
    std::uint32_t firstPixel;
  } cases[] = {
      {1, 1, 2, 2, 2, 2, 5}, {-5, -5, 7, 6, 2, 1, 0}, {3, 0, 100, 100, 1, 3, 3}, {0, 0, 4, 3, 4, 3, 0}};
  for (const auto& c : cases) {
    ImagePtr part = image->cropped(c.x, c.y, c.width, c.height);
    ASSERT_TRUE(part) << c.x << "," << c.y;
    EXPECT_EQ(part->pixelWidth(), c.expectedWidth);
    EXPECT_EQ(part->pixelHeight(), c.expectedHeight);
    EXPECT_EQ(part->pixelAt(0, 0) & 0xFF, c.firstPixel);
    EXPECT_EQ(part->scale(), 2);
  }
  EXPECT_FALSE(image->cropped(4, 0, 1, 1)) << "outside";
  EXPECT_FALSE(image->cropped(0, 0, 0, 3)) << "empty";
  EXPECT_FALSE(image->cropped(2147483600, 0, 2147483600, 1)) << "no overflow";
}

TEST(ImageTest, PremultipliedPixelsConvertBothWays) {
  const struct {
    cg::Color color;
    std::uint32_t pixel;
  } cases[] = {
      {cg::Color::rgba(1, 0, 0, 1), 0xFFFF0000u},
      {cg::Color::rgba(1, 1, 1, 0.5), 0x80808080u},
      {cg::Color::rgba(0, 0, 1, 0), 0x00000000u},
      {cg::Color::rgba(2, -1, 0.5, 1), 0xFFFF0080u},  // out-of-range channels are clamped
  };
  for (const auto& c : cases) EXPECT_EQ(cg::premultipliedPixel(c.color), c.pixel) << c.color.describe();
  expectColor(cg::colorFromPremultiplied(0x80808080u), cg::Color::rgba(1, 1, 1, 128 / 255.0), 1e-9,
              "half white");
}

class ImageFileTest : public testsupport::TempDirTest {};

TEST_F(ImageFileTest, LoadsFromAFileAndRefusesMissingOrBrokenOnes) {
  std::string png = fixtures::saved("png", 6, 4);
  {
    std::ofstream(tmp.file("poster.png"), std::ios::binary) << png;
    std::ofstream(tmp.file("broken.png"), std::ios::binary) << png.substr(0, png.size() / 2);
    std::ofstream(tmp.file("empty.png"), std::ios::binary);
  }
  ImagePtr image = Image::fromFile(tmp.file("poster.png"), 2);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (cg::Size{3, 2}));
  EXPECT_FALSE(Image::fromFile(tmp.file("broken.png")));
  EXPECT_FALSE(Image::fromFile(tmp.file("empty.png")));
  EXPECT_FALSE(Image::fromFile(tmp.file("missing.png")));
  EXPECT_FALSE(Image::fromFile(tmp.str())) << "a folder";
}

TEST(ImageDecodeTest, DecodesOnSeveralThreadsAtOnce) {
  const std::string inputs[] = {fixtures::saved("png", 32, 32), fixtures::saved("jpeg", 32, 32),
                                fixtures::gif(32, 32), fixtures::saved("tiff", 32, 32)};
  std::atomic<int> decoded{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) {
        ImagePtr image = decode(inputs[(t + i) % 4]);
        if (image && image->pixelWidth() == 32 && !image->pngData().empty()) ++decoded;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(decoded.load(), 80);
}

// Interlaced pictures, each holding 16 MB while it is decoded: no two at once.
TEST(ImageDecodeTest, DecodersTogetherStayWithinTheirRoom) {
  const std::string png = fixtures::builtPNG(2000, 2000, true, false);
  std::atomic<int> decoded{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 2; ++i)
        if (ImagePtr image = Image::decode(png.data(), png.size(), 1, {500, 500});
            image && image->pixelWidth() == 500)
          ++decoded;
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(decoded.load(), 8);
  EXPECT_GE(cg::detail::mostDecodingBytesAtOnce(), 16 << 20);
  EXPECT_LE(cg::detail::mostDecodingBytesAtOnce(), cg::detail::kMostDecodingBytes);
}

}  // namespace
