// Labels with texts far longer than they can show: measured and drawn at the cost of what they show.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "UIKit/Label.h"
#include "UIKit/ViewRenderer.h"

namespace {

bool samePixels(const cg::Image& a, const cg::Image& b) {
  if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight()) return false;
  for (int y = 0; y < a.pixelHeight(); ++y)
    for (int x = 0; x < a.pixelWidth(); ++x)
      if (a.colorAt(x, y) != b.colorAt(x, y)) return false;
  return true;
}

TEST(LabelTest, AMegabyteTitleShowsAsItsStartWouldAndDrawsInTime) {
  std::string start = "Очень длинное название";
  std::string huge = start;
  while (huge.size() < (1u << 20)) huge += "абвгдежзикabcdefghij";
  std::string shortOne = huge.substr(0, 4000);
  auto began = std::chrono::steady_clock::now();
  const struct {
    int lines;
    cg::Rect frame;
    ui::LineBreakMode mode;
  } cases[] = {{1, {0, 0, 205, 25}, ui::LineBreakMode::TruncateTail},
               {2, {0, 0, 113, 42}, ui::LineBreakMode::WordWrap},
               {0, {0, 0, 300, 200}, ui::LineBreakMode::CharWrap},
               {3, {0, 0, 155, 60}, ui::LineBreakMode::TruncateTail}};
  for (const auto& c : cases) {
    auto label = [&](const std::string& text) {
      auto l = std::make_shared<ui::Label>()->initWithFrame(c.frame);
      l->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
      l->setNumberOfLines(c.lines);
      l->setLineBreakMode(c.mode);
      l->setText(text);
      return l;
    };
    auto hugeLabel = label(huge), shortLabel = label(shortOne);
    EXPECT_EQ(hugeLabel->textRectForBounds(hugeLabel->bounds()),
              shortLabel->textRectForBounds(shortLabel->bounds()))
        << c.lines;
    if (c.lines == 1)
      EXPECT_GT(hugeLabel->sizeThatFits({}).width, 1e4) << "one line measures far past its frame";
    else
      EXPECT_LE(hugeLabel->sizeThatFits(c.frame.size).width, c.frame.width()) << c.lines;
    auto hugeImage = ui::renderView(hugeLabel), shortImage = ui::renderView(shortLabel);
    ASSERT_TRUE(hugeImage && shortImage);
    EXPECT_TRUE(samePixels(*hugeImage, *shortImage)) << c.lines;
  }
  // Before, a one-line label measured all of it on every draw; the bound only guards that.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(), 60);
}

// A line keeps its height in a shorter label: the text shows whole, over and under its frame.
TEST(LabelTest, ALineTallerThanItsLabelShowsWhole) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 100});
  auto label = std::make_shared<ui::Label>()->initWithFrame({10, 46, 180, 8});
  label->setBackgroundColor(ui::Color::clearColor());
  label->setFont(ui::Font::boldSystemFontOfSize(40));
  label->setText("ЖЖЖ");
  root->addSubview(label);
  auto image = ui::renderView(root, 1);
  ASSERT_TRUE(image);
  int above = 0, below = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      if (image->colorAt(x, y).alpha > 0.5) {
        above += y < 40;
        below += y > 60;
      }
  EXPECT_GT(above, 20);
  EXPECT_GT(below, 20);
}

}  // namespace
