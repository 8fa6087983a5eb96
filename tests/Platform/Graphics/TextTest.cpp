#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Graphics/Text.h"
#include "Graphics/TextDetail.h"

namespace {

using cg::Font;
using cg::LineBreakMode;
using cg::Size;

const std::string kLong = "Популярные фильмы и сериалы этой недели, которые стоит посмотреть всей семьёй";

TEST(FontTest, TheAppsFaceAndTheSystemFontDrawInTheProjectsFaceAndOthersFallBack) {
  const std::pair<Font, const char*> cases[] = {
      {Font("PF Square Sans Pro", 12), "Roboto Condensed"},
      {Font("PF Square Sans Pro", 12, true), "Roboto Condensed"},
      {Font::systemFont(14), "Roboto Condensed"},
      {Font::boldSystemFont(14), "Roboto Condensed"},
      {Font("No Such Family", 12), Font::kFallbackFamily},
      {Font("", 12), Font::kFallbackFamily},
      {Font("No, Such", 12), Font::kFallbackFamily},
      {Font("DejaVu Serif", 12), "DejaVu Serif"},
      {Font("dejavu sans mono", 12), "DejaVu Sans Mono"},
  };
  for (const auto& [font, resolved] : cases)
    EXPECT_EQ(font.resolvedFamily(), resolved) << "\"" << font.familyName() << "\"";
  EXPECT_TRUE(Font::boldSystemFont(14).isBold());
  // The face lacks these; the last fallback draws them rather than boxes.
  EXPECT_EQ(cg::detail::unknownGlyphCount("★ ☎ ⌘", Font("PF Square Sans Pro", 14)), 0);
}

TEST(FontTest, MetricsGrowWithTheSizeAndAddUpToTheLineHeight) {
  double previous = 0;
  for (double size : {10.0, 14.0, 18.0, 30.0}) {
    Font font("PF Square Sans Pro", size);
    EXPECT_GT(font.ascender(), 0);
    EXPECT_LT(font.descender(), 0);
    EXPECT_NEAR(font.lineHeight(), font.ascender() - font.descender(), 1e-9);
    EXPECT_GT(font.lineHeight(), size) << size;
    EXPECT_LT(font.lineHeight(), size * 1.5) << size;
    EXPECT_GT(font.lineHeight(), previous);
    previous = font.lineHeight();
  }
}

// Metrics are kept per font: each family and weight has its own, whichever was asked for first.
// Their line height is the height of the font's laid-out lines.
TEST(FontTest, EachFamilyAndWeightHasItsOwnMetrics) {
  const std::vector<Font> fonts = {Font("PF Square Sans Pro", 100), Font("DejaVu Serif", 100),
                                   Font("DejaVu Serif", 100, true), Font("PF Square Sans Pro", 100, true)};
  for (bool reversed : {false, true}) {
    for (std::size_t i = 0; i < fonts.size(); ++i) {
      const Font& font = fonts[reversed ? fonts.size() - 1 - i : i];
      std::string name = font.familyName() + (font.isBold() ? " bold" : "") + (reversed ? ", reversed" : "");
      double threeLines = cg::measureText("Ag\nAg\nAg", font, {1000, 10000}, LineBreakMode::WordWrap).height;
      EXPECT_GE(threeLines, 3 * font.lineHeight() - 1e-6) << name;
      EXPECT_LT(threeLines, 3 * font.lineHeight() + 1) << name;  // rounded up to whole points
    }
  }
}

TEST(TextMeasureTest, OneLineWidthFollowsTheTextAndTheWeight) {
  Font font("PF Square Sans Pro", 16);
  Size shortSize = cg::measureText("Новые", font), longSize = cg::measureText("Новые поступления", font);
  EXPECT_GT(shortSize.width, 0);
  EXPECT_GT(longSize.width, shortSize.width);
  EXPECT_EQ(shortSize.height, std::ceil(font.lineHeight() - 1e-6));
  EXPECT_GT(cg::measureText("Новые", Font::boldSystemFont(16)).width, shortSize.width);
  EXPECT_EQ(cg::measureText("", font), (Size{0, 0}));
  EXPECT_EQ(cg::measureText("a\nb", font).height, shortSize.height) << "one line, newlines and all";
  EXPECT_EQ(cg::measureText("Новые", font).width, std::ceil(cg::measureText("Новые", font).width))
      << "whole points";
}

TEST(TextMeasureTest, BoxesWrapTruncateAndLimitLines) {
  Font font("PF Square Sans Pro", 14);
  double line = font.lineHeight();
  double oneLine = std::ceil(line - 1e-6);
  double full = cg::measureText(kLong, font).width;
  const struct {
    const char* name;
    Size box;
    LineBreakMode mode;
    int lines;  // expected line count; 0: more than one
  } cases[] = {
      {"word wrap grows the height", {150, 1000}, LineBreakMode::WordWrap, 0},
      {"char wrap grows the height", {150, 1000}, LineBreakMode::CharWrap, 0},
      {"clip wraps too", {150, 1000}, LineBreakMode::Clip, 0},
      {"tail truncation in one line", {150, line}, LineBreakMode::TruncateTail, 1},
      {"head truncation in one line", {150, line}, LineBreakMode::TruncateHead, 1},
      {"middle truncation in one line", {150, line}, LineBreakMode::TruncateMiddle, 1},
      {"two and a half lines hold two", {150, line * 2.5}, LineBreakMode::WordWrap, 2},
      {"two lines truncated", {150, line * 2}, LineBreakMode::TruncateTail, 2},
      {"a box lower than a line still shows one", {150, 3}, LineBreakMode::WordWrap, 1},
      {"a wide box needs one line", {2000, 1000}, LineBreakMode::WordWrap, 1},
  };
  for (const auto& c : cases) {
    Size size = cg::measureText(kLong, font, c.box, c.mode);
    EXPECT_LE(size.width, std::max(c.box.width, full)) << c.name;
    if (c.box.width < full) {
      EXPECT_LE(size.width, c.box.width) << c.name << ": stays inside the box";
      EXPECT_GT(size.width, c.box.width * 0.6) << c.name << ": fills most of the box";
    } else {
      EXPECT_EQ(size.width, full) << c.name;
    }
    if (c.lines == 0) {
      EXPECT_GT(size.height, 2 * line) << c.name;
    } else {
      EXPECT_NEAR(size.height, c.lines == 1 ? oneLine : std::ceil(c.lines * line - 1e-6), 1.0) << c.name;
    }
  }
  EXPECT_LT(cg::measureText(kLong, font, {150, 1000}, LineBreakMode::WordWrap).height,
            cg::measureText(kLong, font, {80, 1000}, LineBreakMode::WordWrap).height)
      << "a narrower box makes more lines";
}

TEST(TextMeasureTest, AnEllipsisStandsRightBesideTheCharactersKept) {
  Font font("PF Square Sans Pro", 14);
  double line = font.lineHeight();
  const std::string text = "Лёгкая история о том, как юная героиня";
  auto width = [&](const std::string& s) { return cg::measureText(s, font).width; };
  // Boxes just wide enough for the kept words, the blank beside the cut and an ellipsis.
  const struct {
    const char* name;
    Size box;
    LineBreakMode mode;
    std::vector<std::string> lines;
  } cases[] = {
      {"tail",
       {width("Лёгкая история о том, как юная …"), line},
       LineBreakMode::TruncateTail,
       {"Лёгкая история о том, как юная…"}},
      {"head", {width("… как юная героиня"), line}, LineBreakMode::TruncateHead, {"…как юная героиня"}},
      {"no cut", {width(text) + 1, line}, LineBreakMode::TruncateTail, {text}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cg::detail::shownLines(text, font, c.box, c.mode), c.lines) << c.name;
    EXPECT_LE(cg::measureText(text, font, c.box, c.mode).width, c.box.width) << c.name;
  }
  // Wherever the cut falls, in each truncating mode, in the first line or the second, no blank
  // is left beside the ellipsis.
  for (LineBreakMode mode :
       {LineBreakMode::TruncateTail, LineBreakMode::TruncateHead, LineBreakMode::TruncateMiddle})
    for (int lines : {1, 2})
      for (double w = 40; w < width(text); w += 3) {
        auto shown = cg::detail::shownLines(text, font, {w, lines * line}, mode);
        ASSERT_GE(shown.size(), 1u);
        ASSERT_LE(shown.size(), std::size_t(lines));
        if (lines == 1) {
          EXPECT_NE(shown[0].find("\u2026"), std::string::npos) << shown[0];
        }
        for (const std::string& l : shown) {
          EXPECT_EQ(l.find(" \u2026"), std::string::npos) << l;
          EXPECT_EQ(l.find("\u2026 "), std::string::npos) << l;
        }
      }
}

TEST(TextMeasureTest, EmptyOrDegenerateInputMeasuresNothingWithoutFailing) {
  Font font("PF Square Sans Pro", 14);
  EXPECT_EQ(cg::measureText("", font, {100, 100}, LineBreakMode::WordWrap), (Size{0, 0}));
  EXPECT_EQ(cg::measureText("abc", font, {0, 100}, LineBreakMode::WordWrap), (Size{0, 0}));
  EXPECT_EQ(cg::measureText("abc", font, {100, -1}, LineBreakMode::WordWrap), (Size{0, 0}));
  EXPECT_GT(cg::measureText(std::string("\xFF\xFE bad \xC3", 8), font).width, 0)
      << "invalid UTF-8 is replaced";
  EXPECT_GT(cg::measureText("abc", Font("x", std::nan("")), {100, 100}, LineBreakMode::WordWrap).width, 0);
  EXPECT_GT(cg::measureText("abc", font, {INFINITY, INFINITY}, LineBreakMode::WordWrap).width, 0);
}

// The columns of the image that hold any ink.
std::pair<int, int> inkColumns(const cg::Image& image) {
  int first = image.pixelWidth(), last = -1;
  for (int y = 0; y < image.pixelHeight(); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x)
      if (image.colorAt(x, y).alpha > 0.5) first = std::min(first, x), last = std::max(last, x);
  return {first, last};
}

TEST(TextDrawTest, CyrillicDrawsWithRealGlyphsInTheFillColour) {
  Font font("PF Square Sans Pro", 18);
  EXPECT_EQ(cg::detail::unknownGlyphCount("Главная Коллекции ЁЖЩЫЮЯ ёжщыюя", font), 0);
  auto context = cg::Context::makeBitmap({200, 30}, false, 2);
  context->setFillColor(cg::Color::rgba(1, 0, 0));
  Size drawn = cg::drawText(*context, "Главная", cg::Rect(0, 0, 200, 30), font, LineBreakMode::TruncateTail,
                            cg::TextAlignment::Left);
  EXPECT_EQ(drawn, cg::measureText("Главная", font, {200, 30}, LineBreakMode::TruncateTail));
  auto image = context->makeImage();
  int inked = 0;
  for (int y = 0; y < image->pixelHeight(); ++y)
    for (int x = 0; x < image->pixelWidth(); ++x) {
      cg::Color c = image->colorAt(x, y);
      if (c.alpha > 0.9) {
        ++inked;
        EXPECT_NEAR(c.red, 1, 0.02);
        EXPECT_NEAR(c.blue, 0, 0.02);
      }
    }
  EXPECT_GT(inked, 100);
  auto [first, last] = inkColumns(*image);
  EXPECT_LE(last, int(drawn.width * 2) + 2) << "ink stays within the measured width";
}

TEST(TextDrawTest, TextCastsTheContextsShadow) {
  auto context = cg::Context::makeBitmap({60, 30}, false, 1);
  context->setFillColor(cg::Color::white(1));
  context->setShadow({0, 2}, 0, cg::Color::black());
  cg::drawText(*context, "ОК", cg::Rect(0, 0, 60, 30), Font("PF Square Sans Pro", 18),
               LineBreakMode::WordWrap, cg::TextAlignment::Left);
  auto image = context->makeImage();
  int white = 0, black = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      cg::Color c = image->colorAt(x, y);
      if (c.alpha > 0.9) (c.red > 0.9 ? white : black) += c.red > 0.9 || c.red < 0.1;
    }
  EXPECT_GT(white, 20);
  EXPECT_GT(black, 5) << "the shadow shows below the glyphs";
}

TEST(TextDrawTest, AlignmentPlacesTheLineInsideTheRect) {
  Font font("PF Square Sans Pro", 16);
  const struct {
    cg::TextAlignment alignment;
    int minFirst, maxLast;
  } cases[] = {{cg::TextAlignment::Left, 0, 60},
               {cg::TextAlignment::Center, 60, 140},
               {cg::TextAlignment::Right, 140, 200}};
  for (const auto& c : cases) {
    auto context = cg::Context::makeBitmap({200, 20}, false, 1);
    cg::drawText(*context, "ОК", cg::Rect(0, 0, 200, 20), font, LineBreakMode::WordWrap, c.alignment);
    auto [first, last] = inkColumns(*context->makeImage());
    EXPECT_GE(first, c.minFirst) << int(c.alignment);
    EXPECT_LE(last, c.maxLast) << int(c.alignment);
  }
}

TEST(TextDrawTest, ClipModeDrawsNothingOutsideTheRectAndAlphaApplies) {
  Font font("PF Square Sans Pro", 16);
  auto context = cg::Context::makeBitmap({100, 40}, false, 1);
  context->setAlpha(0.5);
  // A glyph wider than the rect cannot be wrapped away: it is cut at the rect's edge.
  cg::drawText(*context, "WWW", cg::Rect(10, 0, 8, 20), font, LineBreakMode::Clip, cg::TextAlignment::Left);
  auto image = context->makeImage();
  double maxAlpha = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 100; ++x) {
      double a = image->colorAt(x, y).alpha;
      maxAlpha = std::max(maxAlpha, a);
      if (x < 10 || x >= 18) {
        EXPECT_EQ(a, 0) << x << "," << y;
      }
    }
  EXPECT_NEAR(maxAlpha, 0.5, 0.02);
}

TEST(TextMeasureTest, MeasuresTheSameOnSeveralThreadsAtOnce) {
  Font font("PF Square Sans Pro", 14);
  Size expected = cg::measureText(kLong, font, {150, 1000}, LineBreakMode::WordWrap);
  std::vector<std::thread> threads;
  std::atomic<int> same{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      auto context = cg::Context::makeBitmap({150, 100}, false, 2);
      for (int i = 0; i < 10; ++i) {
        Size measured = cg::measureText(kLong, font, {150, 1000}, LineBreakMode::WordWrap);
        Size drawn = cg::drawText(*context, kLong, cg::Rect(0, 0, 150, 1000), font, LineBreakMode::WordWrap,
                                  cg::TextAlignment::Left);
        if (measured == expected && drawn == expected && font.lineHeight() > 0) ++same;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(same.load(), 40);
}

// Texts drawn again are not laid out again; whatever tells two drawings apart must still show.
TEST(TextDrawTest, ADrawingAfterAnotherShowsItsOwnTextFontBoxAndAlignment) {
  struct Drawing {
    const char* name;
    std::string text;
    Font font;
    double width;
    LineBreakMode mode;
    cg::TextAlignment alignment;
  };
  const Drawing base{"base", "Новые фильмы",          Font("PF Square Sans Pro", 16),
                     120,    LineBreakMode::WordWrap, cg::TextAlignment::Left};
  const Drawing others[] = {
      {"text", "Новые сериалы", base.font, 120, base.mode, base.alignment},
      {"size", base.text, Font("PF Square Sans Pro", 20), 120, base.mode, base.alignment},
      {"weight", base.text, Font("PF Square Sans Pro", 16, true), 120, base.mode, base.alignment},
      {"family", base.text, Font("DejaVu Serif", 16), 120, base.mode, base.alignment},
      {"width", base.text, base.font, 60, base.mode, base.alignment},
      {"mode", base.text, base.font, 60, LineBreakMode::TruncateTail, base.alignment},
      {"alignment", base.text, base.font, 120, base.mode, cg::TextAlignment::Right},
  };
  auto draw = [](const Drawing& d, Size& drawn) {
    auto context = cg::Context::makeBitmap({120, 40}, false, 2);
    drawn = cg::drawText(*context, d.text, cg::Rect(0, 0, d.width, 40), d.font, d.mode, d.alignment);
    auto image = context->makeImage();
    return std::vector<std::uint32_t>(image->pixels().begin(), image->pixels().end());
  };
  Size baseSize;
  auto first = draw(base, baseSize);
  for (const Drawing& other : others) {
    Size size;
    EXPECT_TRUE(draw(other, size) != first) << other.name;
    EXPECT_EQ(size, cg::measureText(other.text, other.font, {other.width, 40}, other.mode)) << other.name;
    Size again;
    EXPECT_TRUE(draw(base, again) == first) << "base after " << other.name;
    EXPECT_EQ(again, baseSize) << other.name;
  }
  EXPECT_NE(cg::measureText(base.text, base.font, 60), cg::measureText(base.text, base.font))
      << "a one-line measure follows its width limit";
  EXPECT_NE(Font("PF Square Sans Pro", 20).lineHeight(), base.font.lineHeight());
}

// Layouts are kept for the text drawn again, each for all that shapes it: two texts alike in all
// but their break mode, or but being one line rather than a box as wide, lay out as their own,
// whichever comes first.
TEST(TextMeasureTest, TextsAlikeButForTheModeOrBeingOneLineKeepTheirOwnLayouts) {
  using Pixels = std::vector<std::uint32_t>;
  const Font font("PF Square Sans Pro", 16);
  auto drawn = [&](LineBreakMode mode) {
    return [&font, mode] {
      auto context = cg::Context::makeBitmap({120, 40}, false, 2);
      cg::drawText(*context, kLong, cg::Rect(0, 0, 120, 40), font, mode, cg::TextAlignment::Left);
      auto image = context->makeImage();
      return Pixels(image->pixels().begin(), image->pixels().end());
    };
  };
  auto size = [](Size s) { return Pixels{std::uint32_t(s.width), std::uint32_t(s.height)}; };
  struct Case {
    const char* name;
    std::function<Pixels()> one, other;
  };
  const Case cases[] = {
      {"word wrap, truncated tail", drawn(LineBreakMode::WordWrap), drawn(LineBreakMode::TruncateTail)},
      {"char wrap, clip", drawn(LineBreakMode::CharWrap), drawn(LineBreakMode::Clip)},
      {"one line, a box as wide", [&] { return size(cg::measureText(kLong, font, 100)); },
       [&] {
         return size(cg::measureText(kLong, font, {100, 1e6}, LineBreakMode::Clip));
       }},
  };
  for (const Case& c : cases) {
    for (bool swapped : {false, true}) {
      const auto& first = swapped ? c.other : c.one;
      const auto& second = swapped ? c.one : c.other;
      std::string name = std::string(c.name) + (swapped ? ", the other first" : "");
      Pixels a = first(), b = second();
      EXPECT_TRUE(a != b) << name;
      EXPECT_TRUE(first() == a) << name;
      EXPECT_TRUE(second() == b) << name;
    }
  }
}

}  // namespace
