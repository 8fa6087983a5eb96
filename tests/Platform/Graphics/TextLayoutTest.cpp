// Line breaking without hyphens, huge texts laid out only as far as their box shows, and a layout
// kept to be drawn again.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Graphics/Context.h"
#include "Graphics/Text.h"

namespace {

using cg::Font;
using cg::LineBreakMode;
using cg::Size;

// The width of the longest start of the text, in whole characters, that fits the width on one
// line; spaces at its end take no room.
double fittingStartWidth(const std::string& text, const Font& font, double width) {
  double best = 0;
  for (std::size_t end = 1; end <= text.size(); ++end) {
    if (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) continue;
    std::string start = text.substr(0, end);
    start.erase(start.find_last_not_of(' ') + 1);
    double w = cg::measureText(start, font).width;
    if (w > width) break;
    best = w;
  }
  return best;
}

TEST(TextBreakTest, AWrappedLineEndsWhereItBreaksWithoutAHyphen) {
  Font font("PF Square Sans Pro", 16);
  const struct {
    const char* text;
    LineBreakMode mode;
  } cases[] = {
      {"Приключения", LineBreakMode::CharWrap},
      {"1985, Испания, Фильмы, Комедия", LineBreakMode::CharWrap},
      {"Тень ночного поезда", LineBreakMode::CharWrap},
      {"Достопримечательности", LineBreakMode::WordWrap},
      {"Достопримечательности", LineBreakMode::TruncateTail},
  };
  for (const auto& c : cases) {
    double full = cg::measureText(c.text, font).width;
    for (double width = 30; width < full - 5; width += 7) {
      // One line's height: the measured width is that of the first line.
      Size shown = cg::measureText(c.text, font, {width, font.lineHeight()}, c.mode);
      if (c.mode == LineBreakMode::TruncateTail) {
        EXPECT_LE(shown.width, width) << c.text;
        continue;
      }
      EXPECT_EQ(shown.width, fittingStartWidth(c.text, font, width)) << c.text << " in " << width;
    }
  }
}

// Fills a box with text and returns the picture.
cg::ImagePtr drawn(const std::string& text, const Font& font, cg::Rect box, LineBreakMode mode) {
  auto context = cg::Context::makeBitmap({box.maxX(), box.maxY()}, false, 1);
  cg::drawText(*context, text, box, font, mode, cg::TextAlignment::Left);
  return context->makeImage();
}

bool samePixels(const cg::Image& a, const cg::Image& b) {
  if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight()) return false;
  for (int y = 0; y < a.pixelHeight(); ++y)
    for (int x = 0; x < a.pixelWidth(); ++x)
      if (a.colorAt(x, y).alpha != b.colorAt(x, y).alpha) return false;
  return true;
}

int inkedRows(const cg::Image& image, int fromRow, int toRow) {
  int rows = 0;
  for (int y = std::max(0, fromRow); y < std::min(toRow, image.pixelHeight()); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x)
      if (image.colorAt(x, y).alpha > 0.3) {
        ++rows;
        break;
      }
  return rows;
}

std::string repeated(const std::string& piece, std::size_t times) {
  std::string s;
  s.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) s += piece;
  return s;
}

TEST(TextBreakTest, AnUnbreakableRunLongerThanALineWrapsAsACharacterWrapWould) {
  Font font("PF Square Sans Pro", 15);
  const std::string runs[] = {repeated("абвгдеёжзий", 30), repeated("abc", 100),
                              "коротко " + repeated("щ", 200)};
  for (const auto& text : runs) {
    cg::Rect box(0, 0, 150, 600);
    EXPECT_EQ(cg::measureText(text, font, box.size, LineBreakMode::WordWrap),
              cg::measureText(text, font, box.size, LineBreakMode::CharWrap))
        << text;
    EXPECT_TRUE(samePixels(*drawn(text, font, box, LineBreakMode::WordWrap),
                           *drawn(text, font, box, LineBreakMode::CharWrap)))
        << text;
  }
}

// A megabyte without a break, as a hostile record can carry it.
const std::string& hugeRun() {
  static const std::string text = "Начало" + repeated("абвгдежзик", 100000) + "Конец";
  return text;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(TextHugeTest, AHugeTextCostsWhatItsBoxShowsAndShowsWhatItsStartWould) {
  Font font("PF Square Sans Pro", 16);
  const std::string& huge = hugeRun();
  // As long as the box can show, and more: it fills every box below the same way.
  const std::string start = huge.substr(0, 60 * 1024);
  auto began = std::chrono::steady_clock::now();
  const struct {
    Size box;
    LineBreakMode mode;
  } cases[] = {{{300, 400}, LineBreakMode::WordWrap},
               {{300, 400}, LineBreakMode::CharWrap},
               {{300, 400}, LineBreakMode::TruncateTail},
               {{300, 20}, LineBreakMode::Clip},
               {{120, 2000}, LineBreakMode::WordWrap}};
  for (const auto& c : cases) {
    Size size = cg::measureText(huge, font, c.box, c.mode);
    EXPECT_EQ(size, cg::measureText(start, font, c.box, c.mode)) << c.box.width << "x" << c.box.height;
    EXPECT_GT(size.height, c.box.height - font.lineHeight());
  }
  EXPECT_GT(cg::measureText(huge, font, {300, 1e9}, LineBreakMode::WordWrap).height, 2000)
      << "without a height bound a long start is laid out";
  EXPECT_EQ(cg::measureText(huge, font, 250.0), (Size{250, std::ceil(font.lineHeight() - 1e-6)}));
  EXPECT_GT(cg::measureText(huge, font).width, 1e5) << "a line without a bound is measured far";
  auto context = cg::Context::makeBitmap({300, 400}, false, 2);
  cg::drawText(*context, huge, cg::Rect(0, 0, 300, 400), font, LineBreakMode::WordWrap,
               cg::TextAlignment::Left);
  cg::drawText(*context, huge, cg::Point{0, 0}, font);
  // Before, Pango took minutes over a text like this; the bound only guards against that.
  EXPECT_LT(secondsSince(began), 60);
}

TEST(TextHugeTest, TruncationShowsTheHugeTextsOwnEnds) {
  Font font("PF Square Sans Pro", 16);
  const std::string& huge = hugeRun();
  const std::string shortOne = "Начало" + repeated("абвгдежзик", 300) + "Конец";
  for (LineBreakMode mode :
       {LineBreakMode::TruncateHead, LineBreakMode::TruncateMiddle, LineBreakMode::TruncateTail}) {
    for (cg::Rect box : {cg::Rect(0, 0, 200, 20), cg::Rect(0, 0, 200, 60)}) {
      auto shown = drawn(huge, font, box, mode);
      EXPECT_TRUE(samePixels(*shown, *drawn(shortOne, font, box, mode))) << int(mode) << " " << box.height();
      EXPECT_GT(inkedRows(*shown, 0, int(box.height())), 5);
    }
  }
}

TEST(TextLayoutTest, AKeptLayoutMeasuresAndDrawsAsTheOneOffCallsAndOnlyTheVisibleLines) {
  Font font("PF Square Sans Pro", 16);
  const std::string text = repeated("Тень ночного поезда идёт на север. ", 12);
  cg::Rect box(10, 5, 200, 1000);
  cg::TextLayout layout(text, font, box.size, LineBreakMode::WordWrap, cg::TextAlignment::Center);
  EXPECT_EQ(layout.size(), cg::measureText(text, font, box.size, LineBreakMode::WordWrap));
  ASSERT_GT(layout.size().height, 8 * font.lineHeight());

  auto once = cg::Context::makeBitmap({220, 400}, false, 1);
  cg::drawText(*once, text, box, font, LineBreakMode::WordWrap, cg::TextAlignment::Center);
  auto kept = cg::Context::makeBitmap({220, 400}, false, 1);
  layout.draw(*kept, box.origin, cg::Rect(0, 0, 220, 400));
  layout.draw(*kept, box.origin, cg::Rect(0, 0, 220, 400));  // twice: the same layout again
  auto onceImage = once->makeImage();
  EXPECT_GT(inkedRows(*onceImage, 0, 400), 50);
  // Drawn twice over itself, antialiased edges darken: compare where the ink is.
  auto keptImage = kept->makeImage();
  int differing = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 220; ++x)
      differing += (onceImage->colorAt(x, y).alpha > 0) != (keptImage->colorAt(x, y).alpha > 0);
  EXPECT_EQ(differing, 0);

  // Only the lines reaching into the visible band are drawn.
  double line = font.lineHeight();
  auto band = cg::Context::makeBitmap({220, 400}, false, 1);
  layout.draw(*band, box.origin, cg::Rect(0, box.y() + 3 * line + 1, 220, line - 2));
  auto bandImage = band->makeImage();
  EXPECT_EQ(inkedRows(*bandImage, 0, int(box.y() + 3 * line - 1)), 0);
  EXPECT_GT(inkedRows(*bandImage, int(box.y() + 3 * line), int(box.y() + 4 * line)), 5);
  EXPECT_EQ(inkedRows(*bandImage, int(box.y() + 4 * line + 1), 400), 0);

  cg::TextLayout empty("", font, box.size, LineBreakMode::WordWrap, cg::TextAlignment::Left);
  EXPECT_EQ(empty.size(), (Size{0, 0}));
  empty.draw(*band, box.origin, cg::Rect(0, 0, 220, 400));
}

}  // namespace
