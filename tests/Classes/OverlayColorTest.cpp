#include <gtest/gtest.h>

#include "Classes/Navigation/Image+OverlayColor.h"
#include "WidgetTestSupport.h"
#include "support/CaseName.h"

namespace {

// A scale-2 image: an opaque red left half, a half-transparent green quarter, the rest clear.
std::shared_ptr<ui::Image> sample() {
  int w = 8, h = 4;
  std::vector<std::uint32_t> px(std::size_t(w * h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (x < 4)
        px[std::size_t(y * w + x)] = cg::premultipliedPixel(cg::Color::rgba(1, 0, 0, 1));
      else if (x < 6)
        px[std::size_t(y * w + x)] = cg::premultipliedPixel(cg::Color::rgba(0, 1, 0, 0.5));
    }
  return ui::Image::imageWithCGImage(cg::Image::fromPixels(w, h, std::move(px), 2));
}

struct TintCase {
  const char* name;
  cg::Color tint;
  int x;
  cg::Color expected;
};

class OverlayColorTest : public ::testing::TestWithParam<TintCase> {};

TEST_P(OverlayColorTest, RepaintsKeepingAlphaSizeAndScale) {
  const auto& c = GetParam();
  auto tinted = imageWithOverlayColor(sample(), c.tint);
  ASSERT_TRUE(tinted);
  EXPECT_EQ(tinted->scale(), 2);
  EXPECT_EQ(tinted->size(), (cg::Size{4, 2}));
  EXPECT_EQ(tinted->CGImage()->pixelWidth(), 8);
  cg::Color at = tinted->CGImage()->colorAt(c.x, 1);
  EXPECT_TRUE(testsupport::near(at, c.expected, 3.0 / 255)) << at.describe();
}

const cg::Color kTint = testsupport::rgb255(245, 245, 245);
INSTANTIATE_TEST_SUITE_P(Pixels, OverlayColorTest,
                         ::testing::Values(TintCase{"opaque takes the colour", kTint, 1, kTint},
                                           TintCase{"half alpha keeps its alpha", kTint, 4,
                                                    kTint.withAlpha(0.5)},
                                           TintCase{"clear stays clear", kTint, 7, cg::Color::clear()},
                                           TintCase{"colour alpha multiplies", cg::Color::rgba(0, 0, 1, 0.5),
                                                    1, cg::Color::rgba(0, 0, 1, 0.5)}),
                         testsupport::CaseName());

TEST(InvertImageNamedTest, TintsANamedImageOrGivesNone) {
  EXPECT_EQ(invertImageNamed("noSuchPicture"), nullptr);
  EXPECT_EQ(imageWithOverlayColor(nullptr, ui::Color::whiteColor()), nullptr);
  auto original = ui::Image::imageNamed("menuItemMain");
  auto inverted = invertImageNamed("menuItemMain");
  ASSERT_TRUE(inverted);
  EXPECT_EQ(inverted->size(), original->size());
  cg::Color centre = inverted->CGImage()->colorAt(16, 16);
  EXPECT_TRUE(testsupport::near(centre, kTint)) << centre.describe();
  EXPECT_EQ(inverted->CGImage()->colorAt(0, 0).alpha, 0);
}

}  // namespace
