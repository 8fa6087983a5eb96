// The menu rows of both idioms: which icons an item gets (and the fallbacks when pictures are
// missing, from a folder of the test's own pictures), the title colours of the two states and the
// rows' backgrounds and divider.
#include <gtest/gtest.h>

#include <algorithm>

#include "Classes/iphone/Navigation/TLMenuView_iphone.h"
#include "MenuTestSupport.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "TextFitSupport.h"
#include "WidgetTestSupport.h"
#include "support/CaseName.h"

namespace {

using testsupport::menuItem;

struct IconCase {
  const char* name;
  ns::Value item;
  const char* icon;                 // on the tablet; "" for none
  const char* selected;             // on the tablet
  const char* phoneIcon = nullptr;  // where the phone differs
  const char* phoneSelected = nullptr;
};

// The folder has icons of their own for ids 0 and 5, a selected one only for 6, and every special
// picture; no picture at all for 7.
const std::vector<std::string> kPictures = {
    "menuItem0",          "menuItemSel0",          "menuItem5",      "menuItemSel5",
    "menuItemSel6",       "menuItemNoImage",       "menuItemMain",   "menuItemMainSel",
    "menuItemCollection", "menuItemSelCollection", "selectedCellBg", "checked_menu_item",
    "unchecked_menu_item"};

const IconCase kIconCases[] = {
    {"home entry", menuItem("0", "Главная"), "menuItemMain", "menuItemMainSel"},
    {"own icons", menuItem("5", "Фильмы"), "menuItem5", "menuItemSel5"},
    {"selected icon only", menuItem("6", "Сериалы"), "menuItemNoImage", "menuItemSel6"},
    {"no icons", menuItem("7", "Театр"), "menuItemNoImage", "menuItemNoImage"},
    {"empty id reads as 0", menuItem("", "Без номера"), "menuItem0", "menuItemSel0"},
    {"id that is no number", menuItem("abc", "Буквы"), "menuItem0", "menuItemSel0"},
    {"collections", menuItem("7", "Коллекции"), "menuItemNoImage", "menuItemNoImage", "menuItemCollection",
     "menuItemSelCollection"},
    {"home title with another id", menuItem("5", "Главная"), "menuItemMain", "menuItemMainSel"},
};

class MenuCellTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    screen_ = std::make_unique<testsupport::ScreenScope>(GetParam() ? ui::DeviceProfile::phone()
                                                                    : ui::DeviceProfile::tablet());
    cg::Rect bounds = ui::Screen::mainScreen()->bounds();
    menu_ = GetParam() ? std::make_shared<TLMenuView_iphone>()->initWithFrame(bounds)
                       : std::make_shared<TLMenuView>()->initWithFrame(bounds);
  }
  std::shared_ptr<TLNavigationMenuTableViewCell> cell(int row) const {
    return std::dynamic_pointer_cast<TLNavigationMenuTableViewCell>(
        menu_->menuTable()->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(row, 0)));
  }
  static std::string nameOf(const std::shared_ptr<ui::Image>& image) { return image ? image->name() : ""; }

  testsupport::ResourceFolder pictures_{kPictures};
  std::unique_ptr<testsupport::ScreenScope> screen_;
  std::shared_ptr<TLMenuView> menu_;
};

TEST_P(MenuCellTest, IconsFollowTheItemsIdAndTitle) {
  const bool phone = GetParam();
  ns::Array items;
  for (const IconCase& c : kIconCases) items.push_back(c.item);
  menu_->setItems(items);
  for (std::size_t row = 0; row < std::size(kIconCases); ++row) {
    const IconCase& c = kIconCases[row];
    SCOPED_TRACE(c.name);
    auto shown = cell(int(row));
    ASSERT_TRUE(shown);
    std::string icon = phone && c.phoneIcon ? c.phoneIcon : c.icon;
    std::string selected = phone && c.phoneSelected ? c.phoneSelected : c.selected;
    EXPECT_EQ(nameOf(shown->icon()), icon);
    EXPECT_EQ(nameOf(shown->selectedIcon()), selected);
    // The image view shows the icon of the row's state from the start.
    EXPECT_EQ(nameOf(shown->imageView()->image()), row == 0 ? selected : icon);
    EXPECT_EQ(shown->textLabel()->text(), c.item["title"].asString() ? *c.item["title"].asString() : "");
    EXPECT_EQ(shown->textLabel()->font()->fontName(), "PF Square Sans Pro");
    EXPECT_EQ(shown->textLabel()->font()->pointSize(), 18);
  }
}

TEST_P(MenuCellTest, MissingFallbackPicturesLeaveTheRowWithoutAnIcon) {
  testsupport::ResourceFolder none({});
  menu_->setItems({menuItem("0", "Главная"), menuItem("5", "Фильмы")});
  for (int row : {0, 1}) {
    EXPECT_EQ(cell(row)->icon(), nullptr);
    EXPECT_EQ(cell(row)->selectedIcon(), nullptr);
    EXPECT_EQ(cell(row)->imageView()->image(), nullptr);
  }
}

TEST_P(MenuCellTest, TheMarkedRowsTitleTurnsNearWhite) {
  const cg::Color plain = testsupport::rgb255(172, 172, 172), marked = testsupport::rgb255(237, 237, 237);
  menu_->setItems({menuItem("0", "Главная"), menuItem("5", "Фильмы"), menuItem("6", "Сериалы")});
  auto colour = [&](int row) { return cell(row)->textLabel()->textColor().cgColor(); };
  EXPECT_EQ(colour(0), marked);
  EXPECT_EQ(colour(1), plain);
  menu_->selectMenuItemById("5");
  EXPECT_EQ(colour(0), plain);
  EXPECT_EQ(colour(1), marked);
  EXPECT_EQ(nameOf(cell(1)->imageView()->image()), "menuItemSel5");
  EXPECT_EQ(nameOf(cell(0)->imageView()->image()), "menuItemMain");
  auto label = cell(2)->textLabel();
  EXPECT_EQ(label->shadowOffset(), (cg::Size{0, 2}));
  EXPECT_EQ(label->shadowColor()->cgColor(), cg::Color::rgba(0, 0, 0, 0.25));
}

TEST_P(MenuCellTest, RowsHaveTheirBackgroundsAndAOnePointDivider) {
  const bool phone = GetParam();
  menu_->setItems({menuItem("0", "Главная"), menuItem("5", "Фильмы")});
  auto row = cell(1);
  auto pattern = [](const std::shared_ptr<ui::View>& v) {
    return v && v->backgroundColor() && v->backgroundColor()->patternImage()
               ? v->backgroundColor()->patternImage()->name()
               : std::string();
  };
  EXPECT_EQ(pattern(row->selectedBackgroundView()), phone ? "checked_menu_item" : "selectedCellBg");
  EXPECT_EQ(pattern(row->backgroundView()), phone ? "unchecked_menu_item" : "");
  EXPECT_TRUE(row->selectedBackgroundView()->isHidden());
  EXPECT_FALSE(cell(0)->selectedBackgroundView()->isHidden());
  EXPECT_TRUE(row->clipsToBounds());
  row->layoutIfNeeded();
  const auto& parts = row->contentView()->subviews();
  auto divider = std::find_if(parts.begin(), parts.end(), [](const auto& v) {
    return v->backgroundColor() && v->backgroundColor()->cgColor() == testsupport::rgb255(42, 42, 42);
  });
  ASSERT_NE(divider, parts.end());
  cg::Rect content = row->contentView()->bounds();
  EXPECT_EQ((*divider)->frame(), (cg::Rect{0, content.height() - 1, content.width(), 1}));
  EXPECT_EQ(row->frame().width(), phone ? 262 : 220) << "the divider spans the row";
  EXPECT_EQ(content.width(), row->frame().width());
}

// With the application's own icons: a title too long for its row at 18 points is drawn smaller
// until it shows whole; the other rows keep 18.
TEST_P(MenuCellTest, ALongTitleIsDrawnSmallerUntilItFits) {
  ui::setResourceDirectoryOverride("");
  ui::Image::clearNamedCache();
  menu_->setItems(
      {menuItem("0", "Главная"), menuItem("8", "Документальное кино"), menuItem("9", "Детское кино")});
  menu_->menuTable()->layoutIfNeeded();
  for (int row : {0, 1, 2}) {
    auto shown = cell(row);
    ASSERT_TRUE(shown);
    shown->layoutIfNeeded();
    auto label = shown->textLabel();
    SCOPED_TRACE(label->text());
    EXPECT_TRUE(testsupport::showsWholeText(*label))
        << cg::measureText(label->text(), label->font()->cgFont()).width << " in " << label->bounds().width();
    EXPECT_EQ(label->font()->fontName(), "PF Square Sans Pro");
    if (row == 1 && !GetParam()) {
      EXPECT_LT(label->font()->pointSize(), 18);
    } else {
      EXPECT_EQ(label->font()->pointSize(), 18);
    }
    EXPECT_GE(label->font()->pointSize(), 14);
  }
  ui::Image::clearNamedCache();
}

INSTANTIATE_TEST_SUITE_P(Idioms, MenuCellTest, ::testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "phone" : "tablet"); });

}  // namespace
