// The genre and year chooser: rows, popover size, the check mark and what the delegate hears.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Classes/CategoryPage/PopoverChooser.h"
#include "Foundation/Clock.h"

namespace {

struct Choices : ns::Object, PopoverDelegate {
  std::vector<std::string> heard;
  void genreSelected(long long genreId, const std::optional<std::string>& name) override {
    heard.push_back("genre " + std::to_string(genreId) + " " + name.value_or("nil"));
  }
  void yearSelected(int year) override { heard.push_back("year " + std::to_string(year)); }
};

ns::Array genres(int n) {
  ns::Array list;
  for (int i = 0; i < n; ++i)
    list.push_back(ns::Dictionary{{"id", std::to_string(100 + i)}, {"title", "g" + std::to_string(i)}});
  return list;
}

std::vector<std::string> rows(const std::shared_ptr<PopoverChooser>& chooser, int* checked = nullptr) {
  auto table = chooser->tableView();
  table->setFrame({0, 0, 300, 2000});
  table->reloadData();
  std::vector<std::string> texts;
  for (int r = 0; r < table->numberOfRowsInSection(0); ++r) {
    auto cell = table->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(r, 0));
    texts.push_back(cell->textLabel()->text());
    if (checked && cell->accessoryType() == ui::TableViewCellAccessoryType::checkmark) *checked = r;
  }
  return texts;
}

void choose(const std::shared_ptr<PopoverChooser>& chooser, int row) {
  chooser->tableViewDidSelectRowAtIndexPath(*chooser->tableView(), ns::IndexPath::indexPathForRow(row, 0));
}

TEST(PopoverChooserTest, PopoverHeightFollowsTheListUpToFiveRows) {
  struct Case {
    int genres;
    double height;
  };
  for (const Case& c : {Case{12, 264}, Case{2, 132}, Case{1, 88}, Case{5, 264}}) {
    auto chooser =
        std::make_shared<PopoverChooser>()->initWithStyle(ui::TableViewStyle::plain, genres(c.genres));
    chooser->view();
    EXPECT_EQ(chooser->contentSizeForViewInPopover(), (cg::Size{300, c.height})) << c.genres;
    EXPECT_EQ(rows(chooser).size(), static_cast<std::size_t>(c.genres + 1)) << c.genres;
  }
}

TEST(PopoverChooserTest, GenreChoicesMoveTheCheckMarkAndTellTheDelegate) {
  auto chooser = std::make_shared<PopoverChooser>()->initWithStyle(ui::TableViewStyle::plain, genres(3));
  auto delegate = std::make_shared<Choices>();
  chooser->view();
  choose(chooser, 2);
  EXPECT_TRUE(delegate->heard.empty()) << "no delegate, no choice";
  EXPECT_EQ(chooser->choosedRow(), 0);

  chooser->setDelegate(delegate);
  choose(chooser, 2);
  int checked = -1;
  EXPECT_EQ(rows(chooser, &checked), (std::vector<std::string>{"Все", "g0", "g1", "g2"}));
  EXPECT_EQ(checked, 2);
  choose(chooser, 0);
  rows(chooser, &checked);
  EXPECT_EQ(checked, 0);
  EXPECT_EQ(delegate->heard, (std::vector<std::string>{"genre 101 g1", "genre -1 nil"}));

  choose(chooser, 3);
  chooser->reset();
  rows(chooser, &checked);
  EXPECT_EQ(checked, 0) << "reset tells nobody";
  EXPECT_EQ(delegate->heard.size(), 3u);
}

TEST(PopoverChooserTest, YearRowsStartWithTheCurrentRangeAndSendTheirRowNumber) {
  struct Case {
    double date;
    const char* first;
  };
  for (const Case& c : {Case{1404172800, "2010-2015"}, Case{1561939200, "2010-2019"}}) {
    ns::ManualClock clock(c.date);
    auto chooser = std::make_shared<PopoverChooser>()->initWithStyle(ui::TableViewStyle::plain);
    auto delegate = std::make_shared<Choices>();
    chooser->setDelegate(delegate);
    EXPECT_EQ(rows(chooser), (std::vector<std::string>{"Все", c.first, "2000-2010", "1990-2000", "1980-1990",
                                                       "1960-1980", "1940-1960", "до 1940"}));
    choose(chooser, 1);
    choose(chooser, 7);
    choose(chooser, 0);
    EXPECT_EQ(delegate->heard, (std::vector<std::string>{"year 1", "year 7", "year -1"}));
  }
}

}  // namespace
