#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "Graphics/Context.h"

namespace {

using cg::BlendMode;
using cg::Color;
using cg::Context;
using cg::Rect;

void expectColor(const Color& actual, const Color& expected, double tolerance, const std::string& where) {
  EXPECT_NEAR(actual.red, expected.red, tolerance) << where << " got " << actual.describe();
  EXPECT_NEAR(actual.green, expected.green, tolerance) << where << " got " << actual.describe();
  EXPECT_NEAR(actual.blue, expected.blue, tolerance) << where << " got " << actual.describe();
  EXPECT_NEAR(actual.alpha, expected.alpha, tolerance) << where << " got " << actual.describe();
}

constexpr Color kRed = Color::rgba(1, 0, 0);
constexpr Color kGreen = Color::rgba(0, 1, 0);
constexpr Color kBlue = Color::rgba(0, 0, 1);
constexpr double kTolerance = 1.5 / 255;

std::unique_ptr<Context> bitmap(double width, double height, double scale = 1, bool opaque = false) {
  auto context = Context::makeBitmap({width, height}, opaque, scale);
  EXPECT_TRUE(context);
  return context;
}

// An image whose left half is opaque in `color` and whose right half is clear, except for one
// half-transparent pixel at (w-1, 0).
cg::ImagePtr halfImage(int width, int height, const Color& color, double scale = 1) {
  std::vector<std::uint32_t> pixels(std::size_t(width * height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width / 2; ++x) pixels[std::size_t(y * width + x)] = cg::premultipliedPixel(color);
  pixels[std::size_t(width - 1)] = cg::premultipliedPixel(color.withAlpha(0.5));
  return cg::Image::fromPixels(width, height, pixels, scale);
}

TEST(ContextTest, BitmapSizeFollowsPointsAndScale) {
  const struct {
    cg::Size size;
    double scale;
    int width, height;
  } cases[] = {{{10, 5}, 1, 10, 5},
               {{10, 5}, 2, 20, 10},
               {{10.2, 5}, 1, 11, 5},
               {{130.6, 38}, 2, 262, 76},
               {{3, 3}, 0, 3, 3}};
  for (const auto& c : cases) {
    auto context = Context::makeBitmap(c.size, false, c.scale);
    ASSERT_TRUE(context);
    EXPECT_EQ(context->pixelWidth(), c.width);
    EXPECT_EQ(context->pixelHeight(), c.height);
    auto image = context->makeImage();
    EXPECT_EQ(image->pixelWidth(), c.width);
    EXPECT_EQ(image->scale(), c.scale > 0 ? c.scale : 1);
  }
}

TEST(ContextTest, RefusesEmptyOrAbsurdSizes) {
  const cg::Size sizes[] = {{0, 10}, {10, -1}, {1e6, 1e6}, {std::nan(""), 4}, {1e300, 1e300}, {40000, 1}};
  for (auto size : sizes) EXPECT_FALSE(Context::makeBitmap(size, false, 1)) << cg::describe(size);
}

TEST(ContextTest, FillsRectsEllipsesAndRoundedRectsWherePixelsShouldBe) {
  struct Probe {
    int x, y;
    bool filled;
  };
  const struct {
    const char* name;
    std::function<void(Context&)> draw;
    std::vector<Probe> probes;
  } cases[] = {
      {"rect",
       [](Context& c) {
         c.fillRect({2, 2, 4, 4});
       },
       {{2, 2, true}, {5, 5, true}, {6, 6, false}, {1, 3, false}}},
      {"ellipse",
       [](Context& c) {
         c.fillEllipseInRect({0, 0, 20, 20});
       },
       {{10, 10, true}, {1, 1, false}, {18, 18, false}, {10, 1, true}}},
      {"rounded rect",
       [](Context& c) {
         c.fillPath(cg::Path::roundedRect({0, 0, 20, 20}, 6));
       },
       {{0, 0, false}, {19, 19, false}, {10, 0, true}, {0, 10, true}, {10, 10, true}}},
      {"stroked rect",
       [](Context& c) {
         c.setLineWidth(2);
         c.strokeRect({5, 5, 10, 10});
       },
       {{4, 10, true}, {5, 10, true}, {10, 10, false}, {2, 10, false}}},
      {"triangle path",
       [](Context& c) {
         c.moveTo({0, 0});
         c.addLineTo({20, 0});
         c.addLineTo({0, 20});
         c.closePath();
         c.fillPath();
       },
       {{2, 2, true}, {17, 17, false}}},
      {"even-odd ring",
       [](Context& c) {
         cg::Path ring;
         ring.addRect({0, 0, 20, 20});
         ring.addRect({5, 5, 10, 10});
         c.fillPath(ring, cg::FillRule::EvenOdd);
       },
       {{2, 2, true}, {10, 10, false}}},
      {"arc, clockwise on screen",
       [](Context& c) {
         c.moveTo({10, 10});
         c.addArc({10, 10}, 8, 0, cg::kPi / 2, true);  // the lower right quarter
         c.closePath();
         c.fillPath();
       },
       {{13, 13, true}, {7, 7, false}, {13, 7, false}}},
  };
  for (const auto& c : cases) {
    auto context = bitmap(20, 20);
    context->setFillColor(kRed);
    context->setStrokeColor(kRed);
    c.draw(*context);
    auto image = context->makeImage();
    for (const auto& p : c.probes)
      expectColor(image->colorAt(p.x, p.y), p.filled ? kRed : Color::clear(), kTolerance,
                  std::string(c.name) + " at " + std::to_string(p.x) + "," + std::to_string(p.y));
  }
}

TEST(ContextTest, ScaleTwoDrawsTwoPixelsPerPoint) {
  auto context = bitmap(10, 10, 2);
  context->setFillColor(kBlue);
  context->fillRect({0, 0, 5, 5});
  auto image = context->makeImage();
  expectColor(image->colorAt(9, 9), kBlue, kTolerance, "inside");
  expectColor(image->colorAt(10, 10), Color::clear(), kTolerance, "outside");
}

TEST(ContextTest, ClipAndTransformLastUntilTheStateIsRestored) {
  auto context = bitmap(20, 20);
  context->setFillColor(kRed);
  context->saveGState();
  context->clipToRect({0, 0, 10, 20});
  context->translateCTM(2, 0);
  context->setFillColor(kGreen);
  context->fillRect({0, 0, 20, 10});
  context->restoreGState();
  context->restoreGState();  // unmatched: ignored
  context->fillRect({0, 10, 20, 10});
  auto image = context->makeImage();
  expectColor(image->colorAt(1, 5), Color::clear(), kTolerance, "translated away");
  expectColor(image->colorAt(5, 5), kGreen, kTolerance, "inside the clip");
  expectColor(image->colorAt(15, 5), Color::clear(), kTolerance, "clipped");
  expectColor(image->colorAt(15, 15), kRed, kTolerance, "after restore: no clip, old colour");
  EXPECT_TRUE(context->ctm().isIdentity());
}

TEST(ContextTest, RectOperationsLeaveTheCurrentPathAlone) {
  auto context = bitmap(20, 20);
  context->setFillColor(kRed);
  context->addRect({0, 0, 5, 5});
  context->clipToRect({0, 0, 20, 20});
  context->fillRect({10, 10, 5, 5});
  context->fillPath();
  auto image = context->makeImage();
  expectColor(image->colorAt(2, 2), kRed, kTolerance, "path built before");
  expectColor(image->colorAt(12, 12), kRed, kTolerance, "rect");
}

TEST(ContextTest, SingularTransformDrawsNothingUntilRestored) {
  auto context = bitmap(10, 10);
  context->setFillColor(kRed);
  context->saveGState();
  context->scaleCTM(0, 0);
  context->fillRect({0, 0, 10, 10});
  context->restoreGState();
  expectColor(context->makeImage()->colorAt(5, 5), Color::clear(), kTolerance, "while singular");
  context->fillRect({0, 0, 10, 10});
  expectColor(context->makeImage()->colorAt(5, 5), kRed, kTolerance, "after restore");
}

TEST(ContextTest, BlendModesCombineSourceAndDestination) {
  const Color destination = Color::rgba(0.2, 0.4, 0.8, 1);
  const Color source = Color::rgba(1, 0.5, 0, 1);
  const struct {
    BlendMode mode;
    Color source;
    Color expected;
  } cases[] = {
      {BlendMode::Normal, source, source},
      {BlendMode::Normal, source.withAlpha(0.5), Color::rgba(0.6, 0.45, 0.4, 1)},
      {BlendMode::Multiply, source, Color::rgba(0.2, 0.2, 0, 1)},
      {BlendMode::Screen, source, Color::rgba(1, 0.7, 0.8, 1)},
      {BlendMode::Copy, source.withAlpha(0.5), source.withAlpha(0.5)},
      {BlendMode::Clear, source, Color::clear()},
      {BlendMode::SourceIn, source.withAlpha(0.5), source.withAlpha(0.5)},
      {BlendMode::DestinationIn, source.withAlpha(0.5), destination.withAlpha(0.5)},
      {BlendMode::DestinationOut, source.withAlpha(0.25), destination.withAlpha(0.75)},
      {BlendMode::DestinationOver, source, destination},
      {BlendMode::PlusLighter, source, Color::rgba(1, 0.9, 0.8, 1)},
  };
  for (const auto& c : cases) {
    auto context = bitmap(10, 10);
    context->setFillColor(destination);
    context->fillRect({0, 0, 10, 10});
    context->setBlendMode(c.mode);
    context->setFillColor(c.source);
    context->fillRect({0, 0, 5, 10});
    auto image = context->makeImage();
    std::string name = "mode " + std::to_string(int(c.mode));
    expectColor(image->colorAt(2, 5), c.expected, 2.5 / 255, name + " inside");
    // Outside the shape nothing changes, in every mode.
    expectColor(image->colorAt(7, 5), destination, kTolerance, name + " outside");
  }
}

TEST(ContextTest, SourceInTintKeepsTheShapeAndScaleOfAnImage) {
  auto icon = halfImage(8, 8, kRed, 2);
  auto context = bitmap(icon->size().width, icon->size().height, icon->scale());
  Rect rect({0, 0}, icon->size());
  context->drawImage(*icon, rect);
  context->setBlendMode(BlendMode::SourceIn);
  context->setFillColor(Color::white(245 / 255.0));
  context->fillRect(rect);
  auto tinted = context->makeImage();
  EXPECT_EQ(tinted->size(), icon->size());
  EXPECT_EQ(tinted->scale(), 2);
  expectColor(tinted->colorAt(1, 3), Color::white(245 / 255.0), kTolerance, "opaque part");
  expectColor(tinted->colorAt(5, 3), Color::clear(), kTolerance, "clear part stays clear");
  expectColor(tinted->colorAt(7, 0), Color::white(245 / 255.0, 0.5), kTolerance, "half alpha kept");
}

TEST(ContextTest, DrawsImagesByPointsWhateverTheirScale) {
  auto image = halfImage(4, 4, kGreen, 2);  // 2 × 2 points, the left point green
  auto context = bitmap(10, 10);
  context->drawImage(*image, cg::Point{1, 1});
  context->drawImage(*image, Rect(4, 4, 6, 6));  // stretched to 6 × 6 points
  auto out = context->makeImage();
  expectColor(out->colorAt(1, 1), kGreen, kTolerance, "natural size, left half");
  expectColor(out->colorAt(2, 2), Color::clear(), kTolerance, "natural size, right half");
  expectColor(out->colorAt(3, 3), Color::clear(), kTolerance, "beyond the natural size");
  expectColor(out->colorAt(5, 8), kGreen, kTolerance, "stretched, left half");
  expectColor(out->colorAt(8, 8), Color::clear(), kTolerance, "stretched, right half");
}

TEST(ContextTest, AlphaMultipliesFillsAndImages) {
  auto context = bitmap(10, 10);
  context->setAlpha(0.5);
  context->setFillColor(kRed);
  context->fillRect({0, 0, 5, 10});
  auto image = halfImage(2, 2, kBlue);
  context->drawImage(*image, Rect(5, 0, 10, 10));
  auto out = context->makeImage();
  expectColor(out->colorAt(2, 5), kRed.withAlpha(0.5), kTolerance, "fill");
  expectColor(out->colorAt(6, 5), kBlue.withAlpha(0.5), kTolerance, "image");
}

TEST(ContextTest, LinearGradientRunsBetweenItsEndColoursAndExtendsOnlyWhenAsked) {
  cg::Gradient gradient{{kRed, kBlue}, {}};
  const struct {
    bool extendBefore, extendAfter;
    Color atTop, atBottom;
  } cases[] = {
      {false, false, Color::clear(), Color::clear()},
      {true, false, kRed, Color::clear()},
      {false, true, Color::clear(), kBlue},
      {true, true, kRed, kBlue},
  };
  for (const auto& c : cases) {
    auto context = bitmap(4, 100);
    context->drawLinearGradient(gradient, {0, 20}, {0, 80}, c.extendBefore, c.extendAfter);
    auto image = context->makeImage();
    std::string name = std::to_string(c.extendBefore) + std::to_string(c.extendAfter);
    expectColor(image->colorAt(2, 20), kRed, 0.03, name + " start");
    expectColor(image->colorAt(2, 79), kBlue, 0.03, name + " end");
    expectColor(image->colorAt(2, 50), Color::rgba(0.5, 0, 0.5), 0.03, name + " middle");
    expectColor(image->colorAt(2, 5), c.atTop, kTolerance, name + " before");
    expectColor(image->colorAt(2, 95), c.atBottom, kTolerance, name + " after");
  }
}

TEST(ContextTest, GradientStopsFollowTheirLocations) {
  cg::Gradient gradient{{kRed, kGreen, kBlue}, {0, 0.25, 1}};
  auto context = bitmap(101, 1);
  context->drawLinearGradient(gradient, {0, 0}, {100, 0}, true, true);
  auto image = context->makeImage();
  expectColor(image->colorAt(25, 0), kGreen, 0.03, "second stop");
}

TEST(ContextTest, TransparencyLayerMaskedByAGradientImageFadesOut) {
  auto maskContext = bitmap(10, 1);
  maskContext->drawLinearGradient({{Color::black(), Color::clear()}, {}}, {0, 0}, {10, 0});
  auto mask = maskContext->makeImage();
  auto context = bitmap(10, 10);
  context->beginTransparencyLayer();
  context->setFillColor(kRed);
  context->fillRect({0, 0, 10, 10});
  context->endTransparencyLayer(*mask, Rect(0, 0, 10, 10));
  auto image = context->makeImage();
  EXPECT_GT(image->colorAt(0, 5).alpha, 0.9);
  EXPECT_LT(image->colorAt(9, 5).alpha, 0.1);
  expectColor(image->colorAt(1, 5).withAlpha(1), kRed, kTolerance, "colour kept");
}

TEST(ContextTest, TransparencyLayerCompositesOnceWithTheOuterAlpha) {
  auto context = bitmap(10, 10);
  context->setAlpha(0.5);
  context->beginTransparencyLayer();
  context->setFillColor(kRed);
  context->fillRect({0, 0, 10, 10});
  context->fillRect({0, 0, 10, 10});  // inside the layer alpha is 1, so overdraw changes nothing
  context->saveGState();              // left open: closed with the layer
  context->endTransparencyLayer();
  context->endTransparencyLayer();  // unmatched: ignored
  expectColor(context->makeImage()->colorAt(5, 5), kRed.withAlpha(0.5), kTolerance, "layer");
}

TEST(ContextTest, TransparencyLayerBoundedByARectDrawsTheSameInsideAndNothingOutside) {
  // Fractional places at scale 2, so that the rect's edges fall inside device pixels.
  auto draw = [](bool bounded) {
    auto context = bitmap(40, 20, 2);
    context->translateCTM(0.3, 0.45);
    context->setAlpha(0.6);
    Rect r(5.2, 3.1, 10.35, 8.7);
    bounded ? context->beginTransparencyLayer(r) : context->beginTransparencyLayer();
    context->setFillColor(kRed);
    context->fillPath(cg::Path::roundedRect(r, 3));
    context->setFillColor(kBlue);
    context->fillRect({25, 0, 10, 10});  // outside the rect
    context->endTransparencyLayer();
    return context->makeImage();
  };
  auto open = draw(false), bounded = draw(true);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) {
      if (x < 50) {
        ASSERT_EQ(bounded->pixelAt(x, y), open->pixelAt(x, y)) << x << "," << y;
      } else {
        ASSERT_EQ(bounded->pixelAt(x, y), 0u) << x << "," << y;
      }
    }
  expectColor(open->colorAt(60, 5), kBlue.withAlpha(0.6), kTolerance, "open layer");
}

// Screen-sized contexts draw into buffers used again once their pictures go.
TEST(ContextTest, PicturesTakenFromScreenSizedContextsKeepTheirPixelsAndStartClean) {
  auto take = [](const Color* fill, bool opaque = false) {
    auto context = bitmap(768, 1024, 1, opaque);
    if (fill) {
      context->setFillColor(*fill);
      context->fillRect({0, 0, 768, 1024});
    }
    return context->takeImage();
  };
  for (int round = 0; round < 3; ++round) {
    auto red = take(&kRed);
    auto blank = take(nullptr);
    auto blue = take(&kBlue);
    ASSERT_TRUE(red && blank && blue);
    for (auto [x, y] : {std::pair{0, 0}, {767, 1023}, {400, 500}}) {
      std::string where = std::to_string(round) + ": " + std::to_string(x) + "," + std::to_string(y);
      expectColor(red->colorAt(x, y), kRed, 0, "held while others draw " + where);
      expectColor(blank->colorAt(x, y), Color::clear(), 0, "starts clear " + where);
      expectColor(blue->colorAt(x, y), kBlue, 0, where);
    }
    red.reset();
    blank.reset();
    auto opaque = take(nullptr, true);
    EXPECT_FALSE(opaque->hasAlpha()) << round;
    expectColor(opaque->colorAt(10, 10), Color::black(), 0, "opaque starts black");
  }
  auto small = bitmap(4, 4);
  small->setFillColor(kGreen);
  small->fillRect({0, 0, 4, 4});
  expectColor(small->takeImage()->colorAt(1, 1), kGreen, 0, "small");
}

// Pictures drawn scaled onto whole pixels are scaled once and the copy kept for later frames.
TEST(ContextTest, ScaledPicturesDrawnAgainShowTheirOwnPixelsAtTheirOwnSize) {
  const Rect rects[] = {{0, 0, 20, 10}, {0, 0, 40, 20}, {2, 1, 12.5, 10}};
  for (int round = 0; round < 6; ++round) {
    // A new picture each round, perhaps where the last one lay in memory.
    const Color& color = round % 2 ? kBlue : kRed;
    auto image = halfImage(8, 8, color);
    for (const Rect& r : rects) {
      std::string where = std::to_string(round) + " " + cg::describe(r);
      auto context = bitmap(40, 20, 2);
      context->drawImage(*image, r);
      auto out = context->makeImage();
      int left = int((r.x() + r.width() / 4) * 2), right = int((r.x() + r.width() * 3 / 4) * 2);
      int middle = int((r.y() + r.height() / 2) * 2);
      expectColor(out->colorAt(left, middle), color, kTolerance, "left half " + where);
      expectColor(out->colorAt(right, middle), Color::clear(), kTolerance, "right half " + where);
      int below = int(r.maxY() * 2) + 1;
      if (below < 40) expectColor(out->colorAt(left, below), Color::clear(), 0, "below " + where);
    }
  }
  auto image = halfImage(8, 8, kGreen);
  auto once = bitmap(40, 20, 2);
  once->drawImage(*image, Rect(0, 0, 20, 10));
  EXPECT_GE(cg::Image::purgeDecodedPixels(), std::size_t(40 * 20 * 4)) << "a purge frees the kept copies";
  auto again = bitmap(40, 20, 2);
  again->drawImage(*image, Rect(0, 0, 20, 10));
  auto a = once->makeImage(), b = again->makeImage();
  EXPECT_TRUE(std::equal(a->pixels().begin(), a->pixels().end(), b->pixels().begin()));
}

// A kept copy serves only the size it was scaled to: one picture drawn at one width and two
// heights, or one height and two widths, shows at each size as that size scales it.
TEST(ContextTest, APictureDrawnAtTwoSizesSharingOneSideIsScaledForEach) {
  struct Case {
    const char* name;
    Rect first, second;
  };
  const Case cases[] = {
      {"same width, taller", {0, 0, 20, 4}, {0, 0, 20, 16}},
      {"same width, shorter", {0, 0, 20, 16}, {0, 0, 20, 4}},
      {"same height, wider", {0, 0, 6, 10}, {0, 0, 30, 10}},
      {"same height, narrower", {0, 0, 30, 10}, {0, 0, 6, 10}},
  };
  for (const Case& c : cases) {
    // Coloured in its top left quarter only, so that a copy of another size shows in both ways.
    std::vector<std::uint32_t> pixels(8 * 8, 0);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) pixels[std::size_t(y * 8 + x)] = cg::premultipliedPixel(kRed);
    auto image = cg::Image::fromPixels(8, 8, pixels);
    for (const Rect& r : {c.first, c.second}) {
      std::string where = std::string(c.name) + " " + cg::describe(r);
      auto context = bitmap(40, 20, 2);
      context->drawImage(*image, r);
      auto out = context->makeImage();
      auto at = [&](double fx, double fy) {
        return out->colorAt(int((r.x() + r.width() * fx) * 2), int((r.y() + r.height() * fy) * 2));
      };
      expectColor(at(0.25, 0.25), kRed, kTolerance, "top left " + where);
      expectColor(at(0.75, 0.25), Color::clear(), kTolerance, "top right " + where);
      expectColor(at(0.25, 0.75), Color::clear(), kTolerance, "bottom left " + where);
    }
  }
}

TEST(ContextTest, TiledImageRepeatsFromTheTileOrigin) {
  auto tile = halfImage(2, 2, kRed);
  auto context = bitmap(8, 2);
  context->clipToRect({0, 0, 8, 1});
  context->drawTiledImage(*tile, Rect(0, 0, 2, 2));
  auto image = context->makeImage();
  for (int x = 0; x < 8; x += 2) {
    expectColor(image->colorAt(x, 0), kRed, kTolerance, "tile " + std::to_string(x));
    expectColor(image->colorAt(x, 1), Color::clear(), kTolerance, "clipped " + std::to_string(x));
  }
}

TEST(ContextTest, OpaqueContextsStartBlackAndClearRectMakesThemBlackAgain) {
  auto context = bitmap(4, 4, 1, true);
  EXPECT_FALSE(context->makeImage()->hasAlpha());
  expectColor(context->makeImage()->colorAt(1, 1), Color::black(), 0, "start");
  auto clear = bitmap(4, 4);
  clear->setFillColor(kRed);
  clear->fillRect({0, 0, 4, 4});
  clear->clearRect({0, 0, 2, 4});
  expectColor(clear->makeImage()->colorAt(0, 0), Color::clear(), 0, "cleared");
  expectColor(clear->makeImage()->colorAt(3, 0), kRed, 0, "kept");
}

TEST(ContextShadowTest, ShapesCastShadowsOffsetInPointsWhateverTheTransform) {
  const Color shadow = Color::black().withAlpha(0.5);
  const struct {
    const char* name;
    double scale;
    std::function<void(Context&)> draw;
  } cases[] = {
      {"rect", 1,
       [](Context& c) {
         c.fillRect({2, 2, 4, 4});
       }},
      {"rect at scale 2", 2,
       [](Context& c) {
         c.fillRect({2, 2, 4, 4});
       }},
      {"scaled transform", 1,
       [](Context& c) {
         c.scaleCTM(2, 2);
         c.fillRect({1, 1, 2, 2});
       }},
      {"image", 1,
       [](Context& c) {
         c.drawImage(*cg::Image::fromPixels(1, 1, {cg::premultipliedPixel(kRed)}), Rect(2, 2, 4, 4));
       }},
  };
  for (const auto& c : cases) {
    auto context = bitmap(20, 20, c.scale);
    context->setFillColor(kRed);
    context->setShadow({3, 3}, 0, shadow);
    c.draw(*context);
    auto image = context->makeImage();
    auto at = [&](double x, double y) { return image->colorAt(int(x * c.scale), int(y * c.scale)); };
    expectColor(at(3, 3), kRed, kTolerance, std::string(c.name) + ": the shape over its shadow");
    expectColor(at(7.5, 7.5), shadow, kTolerance, std::string(c.name) + ": the shadow alone");
    expectColor(at(9.5, 9.5), Color::clear(), kTolerance, std::string(c.name) + ": past the shadow");
  }
}

TEST(ContextShadowTest, BlurSpreadsTheShadowAndLayersCastOneShadow) {
  auto context = bitmap(40, 40);
  context->setShadow({0, 0}, 6, Color::black());
  context->beginTransparencyLayer();
  context->setFillColor(Color::white(1, 0.5));
  context->fillRect({10, 10, 20, 20});
  context->fillRect({10, 10, 20, 20});  // no shadow inside the layer, so no darker overlap
  context->endTransparencyLayer();
  auto image = context->makeImage();
  double outside = image->colorAt(8, 20).alpha, far = image->colorAt(1, 20).alpha;
  EXPECT_GT(outside, 0.05) << "the blur reaches beyond the shape";
  EXPECT_LT(outside, 0.6);
  EXPECT_LT(far, outside);
  Color centre = image->colorAt(20, 20);
  // The layer holds white at 0.75 (two halves); its shadow is black at 0.75: 0.75 + 0.75 × 0.25.
  EXPECT_NEAR(centre.alpha, 0.9375, 0.02);

  auto plain = bitmap(10, 10);
  plain->setShadow({2, 2}, 0, Color::clear());
  plain->fillRect({0, 0, 4, 4});
  expectColor(plain->makeImage()->colorAt(5, 5), Color::clear(), 0, "a clear shadow is none");
}

TEST(ContextStackTest, ImageContextsNestAndOnlyImageContextsAreEnded) {
  EXPECT_EQ(cg::currentContext(), nullptr);
  EXPECT_FALSE(cg::imageFromCurrentImageContext());
  EXPECT_FALSE(cg::beginImageContext({0, 10}, false, 1));
  EXPECT_EQ(cg::currentContext(), nullptr);

  ASSERT_TRUE(cg::beginImageContext({4, 4}, false, 2));
  Context* outer = cg::currentContext();
  ASSERT_NE(outer, nullptr);
  std::shared_ptr<Context> view = Context::makeBitmap({2, 2}, false, 1);
  cg::pushContext(view);
  EXPECT_EQ(cg::currentContext(), view.get());
  EXPECT_FALSE(cg::imageFromCurrentImageContext()) << "a view's context is no image context";
  cg::endImageContext();
  EXPECT_EQ(cg::currentContext(), view.get()) << "end pops image contexts only";
  cg::popContext();

  Context* seenElsewhere = outer;
  std::thread([&] { seenElsewhere = cg::currentContext(); }).join();
  EXPECT_EQ(seenElsewhere, nullptr) << "each thread has its own stack";

  outer->setFillColor(kRed);
  outer->fillRect({0, 0, 4, 4});
  auto image = cg::imageFromCurrentImageContext();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (cg::Size{4, 4}));
  EXPECT_EQ(image->scale(), 2);
  cg::endImageContext();
  EXPECT_EQ(cg::currentContext(), nullptr);
  cg::endImageContext();
  cg::popContext();
}

}  // namespace
