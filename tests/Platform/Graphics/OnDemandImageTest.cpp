// Images that keep their encoded bytes and decode their pixels when needed.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <vector>

#include "Fixtures.h"
#include "Graphics/Context.h"
#include "Graphics/Image.h"
#include "Graphics/ImageHeader.h"
#include "support/TempDir.h"

namespace {

using cg::Image;
using cg::ImagePtr;

std::vector<std::uint32_t> copyOf(const ImagePtr& image) {
  auto pixels = image->pixels();
  return {pixels.begin(), pixels.end()};
}

// The PNG with a byte of its first IDAT's data changed; with its checksum made to match again
// when asked, so that only a decoder can tell.
std::string withImageDataChanged(std::string png, bool fixChecksum) {
  std::size_t type = png.find("IDAT");
  std::size_t length = std::size_t(std::uint8_t(png[type - 2])) << 8 | std::uint8_t(png[type - 1]);
  png[type + 4 + length / 2] = char(png[type + 4 + length / 2] ^ 0x5A);
  if (fixChecksum) {
    auto crc =
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(png.data() + type), uInt(length + 4));
    for (int i = 0; i < 4; ++i) png[type + 4 + length + std::size_t(i)] = char(crc >> (24 - 8 * i));
  }
  return png;
}

TEST(OnDemandImageTest, RefusesWhatDecodeRefusesAndGivesTheSamePictureOtherwise) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string png = fixtures::saved("png", 6, 4);
  std::string jpeg = fixtures::saved("jpeg", 8, 5);
  for (const Case& c :
       {Case{"png", png}, Case{"jpeg", jpeg}, Case{"cut png", png.substr(0, png.size() / 2)},
        Case{"cut jpeg", jpeg.substr(0, jpeg.size() * 2 / 3)}, Case{"not an image", "hello"}}) {
    SCOPED_TRACE(c.name);
    ImagePtr eager = Image::decode(c.bytes.data(), c.bytes.size(), 2);
    ImagePtr lazy = Image::decodeOnDemand(ns::Data(c.bytes), 2);
    ASSERT_EQ(lazy != nullptr, eager != nullptr);
    if (!eager) continue;
    EXPECT_TRUE(lazy->isDecodedOnDemand());
    EXPECT_EQ(lazy->pixelWidth(), eager->pixelWidth());
    EXPECT_EQ(lazy->pixelHeight(), eager->pixelHeight());
    EXPECT_EQ(lazy->size(), eager->size());
    EXPECT_EQ(copyOf(lazy), copyOf(eager));
  }
}

TEST(OnDemandImageTest, ThePixelsOfTheCheckAreKeptAndAPurgeDropsThemUntilTheNextRead) {
  Image::purgeDecodedPixels();
  std::string png = fixtures::saved("png", 10, 7);
  const std::uint64_t decoders = cg::detail::decodersStarted();
  ImagePtr image = Image::decodeOnDemand(ns::Data(png));
  ASSERT_TRUE(image);
  const std::size_t bytes = 10 * 7 * sizeof(std::uint32_t);
  EXPECT_EQ(Image::decodedOnDemandBytes(), bytes) << "what checking the bytes decoded is kept";

  ns::Data encoded = image->pngData();
  EXPECT_FALSE(encoded.empty());
  std::vector<std::uint32_t> first = copyOf(image);
  EXPECT_EQ(cg::detail::decodersStarted() - decoders, 1u)
      << "decoded once for the check, the read and the encoding";
  EXPECT_EQ(image->withScale(2)->pixelBuffer(), image->pixelBuffer()) << "scales share one decoding";

  // A buffer held across the purge stays whole; the image decodes again afterwards.
  auto held = image->pixelBuffer();
  EXPECT_EQ(Image::purgeDecodedPixels(), bytes);
  EXPECT_EQ(Image::decodedOnDemandBytes(), 0u);
  EXPECT_EQ(std::vector<std::uint32_t>(held->begin(), held->end()), first);
  // Encoding reads the pixels once without keeping them.
  EXPECT_FALSE(image->pngData().empty());
  EXPECT_EQ(Image::decodedOnDemandBytes(), 0u);
  EXPECT_EQ(image->colorAt(9, 6), cg::Color::rgba(0, 0, 1));
  EXPECT_EQ(copyOf(image), first);

  image.reset();
  EXPECT_EQ(Image::decodedOnDemandBytes(), 0u) << "a freed image holds nothing";
}

// Writing a poster to its file as a JPEG at best quality costs no decoding and encoding again.
TEST(OnDemandImageTest, AJPEGAtItsStoredSizeIsItsOwnBestEncoding) {
  std::string jpeg = fixtures::saved("jpeg", 400, 300);
  ImagePtr whole = Image::decodeOnDemand(ns::Data(jpeg));
  ImagePtr scaled = Image::decodeOnDemand(ns::Data(jpeg), 1, {200, 150});
  ASSERT_TRUE(whole && scaled);
  ASSERT_EQ(scaled->pixelWidth(), 200);
  Image::purgeDecodedPixels();
  const std::uint64_t decoders = cg::detail::decodersStarted();
  EXPECT_EQ(whole->jpegData(1.0).view(), jpeg);
  EXPECT_EQ(cg::detail::decodersStarted(), decoders);
  EXPECT_NE(whole->jpegData(0.5).view(), jpeg);
  ImagePtr back = Image::decode(scaled->jpegData(1.0));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixelWidth(), 200) << "a picture scaled for its view is encoded at its size";
}

// A picture much larger than its view is decoded at the view's size; a picture padded to far more
// bytes than its pixels keeps its pixels alone; the pictures decoded on demand hold no more than
// their bound together, those drawn longest ago giving way.
TEST(OnDemandImageTest, WhatAPictureHoldsIsWhatItsViewDrawsAndThePicturesTogetherStayWithinTheirBound) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const cg::PixelBox box{200, 100};
  for (const Case& c :
       {Case{"png", fixtures::saved("png", 1600, 1200)}, Case{"jpeg", fixtures::saved("jpeg", 1600, 1200)},
        Case{"gif", fixtures::gif(1600, 1200)}}) {
    SCOPED_TRACE(c.name);
    const std::uint64_t pixels = cg::detail::pixelsDecoded();
    ImagePtr image = Image::decodeOnDemand(ns::Data(c.bytes), 2, box);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 200);
    EXPECT_EQ(image->pixelHeight(), 150);
    EXPECT_EQ(image->size(), (cg::Size{800, 600})) << "the size in points stays";
    EXPECT_EQ(cg::detail::pixelsDecoded() - pixels, 200u * 150u);
    EXPECT_GT(image->colorAt(20, 75).red, 0.95);
    EXPECT_GT(image->colorAt(180, 75).blue, 0.95);
    EXPECT_LE(image->heldBytes(), c.bytes.size() + 200 * 150 * 4);
    // What fits its box is decoded as it is.
    EXPECT_EQ(Image::decodeOnDemand(ns::Data(c.bytes), 2, {1600, 1200})->pixelWidth(), 1600);
  }
  // Damage is found however the picture is decoded.
  const std::string large = fixtures::saved("png", 1600, 1200);
  EXPECT_FALSE(Image::decode(ns::Data(withImageDataChanged(large, false)), 1, box));
  EXPECT_FALSE(Image::decode(ns::Data(withImageDataChanged(large, true)), 1, box));

  std::string padded = fixtures::withTextChunk(fixtures::saved("png", 200, 200), 8 << 20);
  ImagePtr small = Image::decodeOnDemand(ns::Data(padded));
  ASSERT_TRUE(small);
  EXPECT_LE(small->heldBytes(), 200u * 200u * 4u) << "the padding is not kept";
  testsupport::TempDir dir;
  std::ofstream(dir.file("padded.png"), std::ios::binary) << padded;
  ImagePtr read = Image::fromFileOnDemand(dir.file("padded.png"));
  ASSERT_TRUE(read);
  EXPECT_LE(read->heldBytes(), 200u * 200u * 4u) << "nor is it when read from a file";

  Image::purgeDecodedPixels();
  std::string png = fixtures::saved("png", 1024, 1024);  // 4 MB of pixels each
  std::vector<ImagePtr> page;
  for (int i = 0; i < 24; ++i) {
    page.push_back(Image::decodeOnDemand(ns::Data(png)));
    ASSERT_TRUE(page.back());
    // Pictures only decoded, none drawn yet (a page's posters as they come in), hold little.
    EXPECT_LE(Image::decodedOnDemandBytes(), Image::kMostUndrawnBytes + 4u * 1024 * 1024);
  }
  // Those drawn are kept up to the whole bound, and give way to pictures only decoded last.
  for (const auto& image : page) EXPECT_EQ(image->colorAt(5, 5), cg::Color::rgba(1, 0, 0));
  EXPECT_LE(Image::decodedOnDemandBytes(), Image::kMostHeldBytes);
  EXPECT_GE(Image::decodedOnDemandBytes(), Image::kMostHeldBytes - 4u * 1024 * 1024);
  std::vector<ImagePtr> more;
  for (int i = 0; i < 8; ++i) more.push_back(Image::decodeOnDemand(ns::Data(png)));
  const std::uint64_t decoders = cg::detail::decodersStarted();
  for (std::size_t i = page.size() - 8; i < page.size(); ++i) page[i]->colorAt(5, 5);
  EXPECT_EQ(cg::detail::decodersStarted(), decoders) << "the pictures drawn last are still held";
}

TEST(OnDemandImageTest, DrawsAfterAPurgeAsBefore) {
  std::string png = fixtures::saved("png", 4, 2);
  ImagePtr image = Image::decodeOnDemand(ns::Data(png));
  ASSERT_TRUE(image);
  auto draw = [&] {
    auto context = cg::Context::makeBitmap({4, 2}, false, 1);
    context->drawImage(*image, cg::Rect(0, 0, 4, 2));
    return copyOf(context->makeImage());
  };
  auto before = draw();
  Image::purgeDecodedPixels();
  EXPECT_EQ(draw(), before);
  EXPECT_EQ(before, copyOf(Image::decode(png.data(), png.size())));
}

TEST(OnDemandImageTest, FilesAreReadOnDemandAndRefusedWhenBroken) {
  testsupport::TempDir dir;
  std::string png = fixtures::saved("png", 3, 3);
  std::ofstream(dir.file("good.png"), std::ios::binary) << png;
  std::ofstream(dir.file("broken.png"), std::ios::binary) << png.substr(0, png.size() / 2);
  ImagePtr good = Image::fromFileOnDemand(dir.file("good.png"), 2);
  ASSERT_TRUE(good);
  EXPECT_TRUE(good->isDecodedOnDemand());
  EXPECT_DOUBLE_EQ(good->scale(), 2);
  EXPECT_EQ(copyOf(good), copyOf(Image::decode(png.data(), png.size())));
  EXPECT_FALSE(Image::fromFileOnDemand(dir.file("broken.png")));
  EXPECT_FALSE(Image::fromFileOnDemand(dir.file("missing.png")));
}

// A whole PNG or JPEG file starts no decoder until its pixels are read. Any other file is decoded
// at once and kept only if that works: one that would be turned (Exif); one missing its end is
// refused, however little is missing.
TEST(OnDemandImageTest, WholeFilesWaitToBeDecodedAndOthersAreCheckedAtOnce) {
  enum class Read { later, atOnce, refused };
  struct Case {
    const char* name;
    std::string bytes;
    Read read;
  };
  std::string png = fixtures::saved("png", 12, 6);
  std::string jpeg = fixtures::saved("jpeg", 16, 8);
  const Case cases[] = {
      {"png", png, Read::later},
      {"jpeg", jpeg, Read::later},
      {"progressive jpeg", fixtures::progressiveJPEG(16, 8), Read::later},
      {"jpeg turned by exif", fixtures::withExifOrientation(jpeg, 6), Read::atOnce},
      {"gif", fixtures::gif(6, 4), Read::atOnce},
      {"png without its end chunk", png.substr(0, png.size() - 12), Read::refused},
      {"png cut in its image data", png.substr(0, png.find("IDAT") + 10), Read::refused},
      {"png with a damaged chunk", withImageDataChanged(png, false), Read::refused},
      {"jpeg without its end marker", jpeg.substr(0, jpeg.size() - 2), Read::refused},
      {"jpeg cut in its scan", jpeg.substr(0, jpeg.size() * 3 / 4), Read::refused},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(dir.file("picture"), std::ios::binary | std::ios::trunc) << c.bytes;
    const std::uint64_t before = cg::detail::decodersStarted();
    ImagePtr image = Image::fromFileOnDemand(dir.file("picture"), 2);
    ImagePtr eager = Image::decode(c.bytes.data(), c.bytes.size(), 2);
    if (c.read == Read::refused) {
      EXPECT_FALSE(image);
      EXPECT_FALSE(eager);
      continue;
    }
    ASSERT_TRUE(image && eager);
    EXPECT_EQ(cg::detail::decodersStarted() - before, c.read == Read::later ? 1u : 2u);
    EXPECT_EQ(image->pixelWidth(), eager->pixelWidth());
    EXPECT_EQ(image->pixelHeight(), eager->pixelHeight());
    EXPECT_EQ(image->size(), eager->size());
    EXPECT_EQ(copyOf(image), copyOf(eager));
  }
}

TEST(OnDemandImageTest, AWholeFileThatCannotBeDecodedDrawsAsAClearPictureOfItsSize) {
  testsupport::TempDir dir;
  std::string png = withImageDataChanged(fixtures::saved("png", 8, 4), true);
  ASSERT_FALSE(Image::decode(png.data(), png.size()));
  std::ofstream(dir.file("picture.png"), std::ios::binary) << png;
  ImagePtr image = Image::fromFileOnDemand(dir.file("picture.png"));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 8);
  EXPECT_EQ(image->pixelHeight(), 4);
  EXPECT_EQ(copyOf(image), std::vector<std::uint32_t>(8 * 4, 0u));
}

}  // namespace
