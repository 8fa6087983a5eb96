// Search bars with the first responder and the keyboard, and how toolbars place their items.
#include <gtest/gtest.h>

#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/SearchBar.h"
#include "UIKit/Toolbar.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "support/CaseName.h"

namespace {

using Log = std::vector<std::string>;

class SearchRecorder : public ui::SearchBarDelegate {
 public:
  Log log;
  void searchBarTextDidBeginEditing(ui::SearchBar&) override { log.push_back("begin"); }
  void searchBarTextDidEndEditing(ui::SearchBar&) override { log.push_back("end"); }
  void searchBarTextDidChange(ui::SearchBar&, const std::string& text) override {
    log.push_back("text " + text);
  }
  void searchBarSearchButtonClicked(ui::SearchBar& bar) override { log.push_back("search " + bar.text()); }
};

TEST(SearchBarTest, TypingNeedsTheKeyboardWhichOneBarHoldsAtATime) {
  testsupport::ScreenScope screen;
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 300, 200});
  auto bar = std::make_shared<ui::SearchBar>()->initWithFrame({10, 10, 200, 30});
  auto other = std::make_shared<ui::SearchBar>()->initWithFrame({10, 100, 200, 30});
  root->addSubview(bar);
  root->addSubview(other);
  auto recorder = std::make_shared<SearchRecorder>();
  bar->setDelegate(recorder);

  EXPECT_FALSE(bar->simulateSearchKey()) << "no keyboard, no search key";
  EXPECT_FALSE(ui::Responder::isKeyboardShown());
  ui::tap(bar);
  EXPECT_TRUE(bar->isFirstResponder());
  EXPECT_TRUE(ui::Responder::isKeyboardShown());
  EXPECT_TRUE(bar->simulateTyping("ab"));
  EXPECT_TRUE(bar->simulateTyping("ё"));
  bar->setText(bar->text() + "!");  // code changes the text silently
  EXPECT_TRUE(bar->simulateSearchKey());
  EXPECT_EQ(recorder->log, (Log{"begin", "text ab", "text abё", "search abё!"}));
  EXPECT_NE(ui::dumpViewTree(root).find("text=\"abё!\""), std::string::npos);

  recorder->log.clear();
  EXPECT_TRUE(other->simulateTyping("x")) << "typing elsewhere takes the keyboard from the first bar";
  EXPECT_FALSE(bar->isFirstResponder());
  EXPECT_TRUE(other->isFirstResponder());
  EXPECT_EQ(recorder->log, (Log{"end"}));
  EXPECT_TRUE(other->resignFirstResponder());
  EXPECT_FALSE(ui::Responder::isKeyboardShown());

  bar->setHidden(true);
  EXPECT_FALSE(bar->simulateTyping("z"));
  EXPECT_EQ(bar->text(), "abё!");
}

TEST(SearchBarTest, TheDeleteKeyTakesWholeCharactersAndTheCaretShowsWhereTypingGoes) {
  testsupport::ScreenScope screen;
  auto bar = std::make_shared<ui::SearchBar>()->initWithFrame({0, 0, 200, 44});
  auto recorder = std::make_shared<SearchRecorder>();
  bar->setDelegate(recorder);
  EXPECT_FALSE(bar->simulateDeleteBackward()) << "not without the keyboard";
  bar->simulateTyping("дом");
  EXPECT_TRUE(bar->simulateDeleteBackward());
  EXPECT_TRUE(bar->simulateDeleteBackward());
  EXPECT_TRUE(bar->simulateDeleteBackward());
  EXPECT_FALSE(bar->simulateDeleteBackward()) << "nothing left";
  EXPECT_EQ(recorder->log, (Log{"begin", "text дом", "text до", "text д", "text "}));

  // The caret is drawn while the bar has the keyboard and the blink is on.
  auto picture = [&] {
    auto image = ui::renderView(bar, 1);
    return std::vector<std::uint32_t>(image->pixels().begin(), image->pixels().end());
  };
  bar->simulateTyping("поезд");
  const auto withCaret = picture();
  ui::setCaretBlinkOn(false);
  const auto blinkOff = picture();
  ui::setCaretBlinkOn(true);
  bar->resignFirstResponder();
  const auto noKeyboard = picture();
  EXPECT_NE(withCaret, blinkOff);
  EXPECT_EQ(blinkOff, noKeyboard);
}

// Items are described as "f<width>" (fixed space), "flex" or "v<width>x<height>" (a custom view).
struct ToolbarCase {
  const char* name;
  double width;
  std::vector<std::string> items;
  std::vector<cg::Rect> frames;  // of the custom views, in order
};

class ToolbarLayoutTest : public ::testing::TestWithParam<ToolbarCase> {};

TEST_P(ToolbarLayoutTest, ItemsGoLeftToRight) {
  const auto& c = GetParam();
  auto bar = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, c.width, 44});
  std::vector<std::shared_ptr<ui::BarButtonItem>> items;
  std::vector<std::shared_ptr<ui::View>> views;
  for (const std::string& d : c.items) {
    auto item = std::make_shared<ui::BarButtonItem>();
    if (d == "flex") {
      item->initWithBarButtonSystemItem(ui::BarButtonSystemItem::flexibleSpace);
    } else if (d[0] == 'f') {
      item->initWithBarButtonSystemItem(ui::BarButtonSystemItem::fixedSpace);
      item->setWidth(std::stod(d.substr(1)));
    } else {
      auto x = d.find('x');
      auto v = std::make_shared<ui::View>()->initWithFrame(
          {0, 0, std::stod(d.substr(1, x - 1)), std::stod(d.substr(x + 1))});
      views.push_back(v);
      item->initWithCustomView(v);
    }
    items.push_back(item);
  }
  bar->setItems(items);
  bar->layoutIfNeeded();
  ASSERT_EQ(views.size(), c.frames.size());
  for (std::size_t i = 0; i < views.size(); ++i) {
    EXPECT_EQ(views[i]->superview(), bar);
    EXPECT_EQ(views[i]->frame(), c.frames[i]) << "view " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToolbarLayoutTest,
    ::testing::Values(
        ToolbarCase{"negative space pulls to the edge", 220, {"f-10", "v55x44"}, {{0, 0, 55, 44}}},
        ToolbarCase{"flexible spaces share the rest",
                    768,
                    {"f-10", "v140x44", "flex", "v120x30", "flex", "v50x44"},
                    {{0, 0, 140, 44}, {364, 7, 120, 30}, {708, 0, 50, 44}}},
        ToolbarCase{"neighbours keep a gap",
                    320,
                    {"v40x30", "v40x30", "f5", "v40x30"},
                    {{10, 7, 40, 30}, {60, 7, 40, 30}, {105, 7, 40, 30}}},
        ToolbarCase{"no room left for spaces",
                    100,
                    {"v60x44", "flex", "v60x44"},
                    {{10, 0, 60, 44}, {70, 0, 60, 44}}}),
    testsupport::CaseName());

TEST(ToolbarTest, NewItemsReplaceTheOldViews) {
  auto bar = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, 200, 44});
  auto first = std::make_shared<ui::View>()->initWithFrame({0, 0, 10, 10});
  auto second = std::make_shared<ui::View>()->initWithFrame({0, 0, 10, 10});
  auto own = std::make_shared<ui::View>()->initWithFrame({0, 0, 10, 10});
  bar->addSubview(own);
  bar->setItems({std::make_shared<ui::BarButtonItem>()->initWithCustomView(first)});
  bar->setItems({std::make_shared<ui::BarButtonItem>()->initWithCustomView(second)});
  EXPECT_EQ(first->superview(), nullptr);
  EXPECT_EQ(second->superview(), bar);
  EXPECT_EQ(own->superview(), bar) << "views added directly stay";
  bar->setBarStyle(ui::BarStyle::black);
  EXPECT_NE(ui::dumpViewTree(bar).find("barStyle=black items=[View]"), std::string::npos);
}

}  // namespace
