// Images that keep their encoded bytes and decode their pixels when needed.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "Fixtures.h"
#include "Graphics/Context.h"
#include "Graphics/Image.h"
#include "support/TempDir.h"

namespace {

using cg::Image;
using cg::ImagePtr;

std::vector<std::uint32_t> copyOf(const ImagePtr& image) {
  auto pixels = image->pixels();
  return {pixels.begin(), pixels.end()};
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

TEST(OnDemandImageTest, PixelsAreHeldOnlyOnceReadAndAPurgeDropsThemUntilTheNextRead) {
  Image::purgeDecodedPixels();
  std::string png = fixtures::saved("png", 10, 7);
  ImagePtr image = Image::decodeOnDemand(ns::Data(png));
  ASSERT_TRUE(image);
  const std::size_t bytes = 10 * 7 * sizeof(std::uint32_t);
  EXPECT_EQ(Image::decodedOnDemandBytes(), 0u) << "checking the bytes keeps no pixels";

  // Encoding reads the pixels once without keeping them.
  ns::Data encoded = image->pngData();
  EXPECT_FALSE(encoded.empty());
  EXPECT_EQ(Image::decodedOnDemandBytes(), 0u);

  std::vector<std::uint32_t> first = copyOf(image);
  EXPECT_EQ(Image::decodedOnDemandBytes(), bytes);
  EXPECT_EQ(image->withScale(2)->pixelBuffer(), image->pixelBuffer()) << "scales share one decoding";

  // A buffer held across the purge stays whole; the image decodes again afterwards.
  auto held = image->pixelBuffer();
  EXPECT_EQ(Image::purgeDecodedPixels(), bytes);
  EXPECT_EQ(Image::decodedOnDemandBytes(), 0u);
  EXPECT_EQ(std::vector<std::uint32_t>(held->begin(), held->end()), first);
  EXPECT_EQ(image->colorAt(9, 6), cg::Color::rgba(0, 0, 1));
  EXPECT_EQ(copyOf(image), first);

  image.reset();
  EXPECT_EQ(Image::decodedOnDemandBytes(), 0u) << "a freed image holds nothing";
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

}  // namespace
