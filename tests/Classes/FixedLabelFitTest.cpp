// The pages' own fixed texts in the frames the pages give them, in the face installed for "PF
// Square Sans Pro" and the system font: each shows whole, on the lines it has.
#include <gtest/gtest.h>

#include "TextFitSupport.h"
#include "UIKit/Font.h"
#include "UIKit/Label.h"

namespace {

struct FixedLabel {
  const char* where;
  const char* text;
  const char* font;  // "System" and "System-Bold" are the platform's fonts
  double size;
  double width, height;
  int lines;
};

std::shared_ptr<ui::Font> fontNamed(const std::string& name, double size) {
  if (name == "System") return ui::Font::systemFontOfSize(size);
  if (name == "System-Bold") return ui::Font::boldSystemFontOfSize(size);
  return ui::Font::fontWithName(name, size);
}

constexpr const char* kFace = "PF Square Sans Pro";

// Widths are the segment, button or room a text has; a caption beside its value has the 136
// points up to the value.
const FixedLabel kFixedLabels[] = {
    {"home switch", "Популярные", kFace, 16, 130, 38, 1},
    {"home switch", "Новые поступления", kFace, 16, 150, 38, 1},
    {"phone home switch", "Популярные", kFace, 17, 122, 34, 1},
    {"phone home switch", "Новые", kFace, 17, 122, 34, 1},
    {"home menu button", "     Навигация", kFace, 16, 140, 44, 1},
    {"category sort", "По популярности", kFace, 16, 140, 38, 1},
    {"category sort", "По новизне", kFace, 16, 120, 38, 1},
    {"category sort", "По алфавиту", kFace, 16, 120, 38, 1},
    {"category sort", "По рейтингу", kFace, 16, 120, 38, 1},
    {"title sections", "Описание", kFace, 16, 120, 38, 1},
    {"title sections", "Выбор эпизода", kFace, 16, 120, 38, 1},
    {"title sections", "Персоны", kFace, 16, 120, 38, 1},
    {"title sections", "Смотрите также", kFace, 16, 126, 38, 1},
    {"menu row", "Главная", kFace, 18, 158, 44, 1},
    {"person captions", "Карьера", kFace, 17, 136, 25, 1},
    {"person captions", "Дата рождения", kFace, 17, 136, 25, 1},
    {"person captions", "Место рождения", kFace, 17, 136, 25, 1},
    {"person captions", "Жанры", kFace, 17, 136, 25, 1},
    {"phone person captions", "Место рождения", kFace, 14, 143, 25, 1},
    {"share sheet buttons", "Отправить", "System-Bold", 17, 100, 20, 1},
    {"share sheet buttons", "Отмена", "System-Bold", 17, 100, 20, 1},
    {"tile year", "Комедия, 1985", kFace, 15, 141, 20, 1},
    {"small tile year", "Комедия, 1985", kFace, 15, 106, 15, 1},
    {"big tile year", "Приключения, 1988", kFace, 20, 326, 25, 1},
    {"phone tile year", "Комедия, 1985", kFace, 14, 88, 12, 1},
    {"big phone tile year", "Приключения, 1988", kFace, 18, 151, 15, 1},
};

TEST(FixedLabelFitTest, EachFixedTextShowsWholeInItsFrame) {
  for (const FixedLabel& f : kFixedLabels) {
    auto label = std::make_shared<ui::Label>()->initWithFrame({0, 0, f.width, f.height});
    label->setFont(fontNamed(f.font, f.size));
    label->setNumberOfLines(f.lines);
    label->setText(f.text);
    EXPECT_TRUE(testsupport::showsWholeText(*label))
        << f.where << ": \"" << f.text << "\" is " << cg::measureText(f.text, label->font()->cgFont()).width
        << " wide in " << f.width;
  }
}

}  // namespace
