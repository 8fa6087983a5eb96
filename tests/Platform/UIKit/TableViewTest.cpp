// Scroll views and tables: offsets and their reports, the cells a table shows and reuses, and
// its selection rules.
#include <gtest/gtest.h>

#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/TableView.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "support/CaseName.h"

namespace {

using Log = std::vector<std::string>;
using ns::IndexPath;

IndexPath row(int r, int section = 0) { return IndexPath::indexPathForRow(r, section); }

class ScrollRecorder : public ui::TableViewDelegate {
 public:
  std::vector<cg::Point> offsets;
  std::shared_ptr<Log> log = std::make_shared<Log>();
  void scrollViewDidScroll(ui::ScrollView& scrollView) override {
    offsets.push_back(scrollView.contentOffset());
  }
  void tableViewDidSelectRowAtIndexPath(ui::TableView&, const IndexPath& indexPath) override {
    log->push_back("didSelect " + std::to_string(indexPath.row()));
  }
};

TEST(ScrollViewTest, EveryOffsetChangeIsReportedInsideTheCall) {
  auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, 100, 100});
  auto recorder = std::make_shared<ScrollRecorder>();
  scroll->setDelegate(recorder);
  scroll->setContentSize({100, 400});
  scroll->setContentOffset({0, 50});
  EXPECT_EQ(recorder->offsets, (std::vector<cg::Point>{{0, 50}}));
  scroll->setContentOffset({0, 50}, true);
  EXPECT_EQ(recorder->offsets.size(), 1u) << "no move, no report";
  scroll->setBounds({0, 80, 100, 100});
  EXPECT_EQ(recorder->offsets.back(), (cg::Point{0, 80}));
  EXPECT_EQ(scroll->maximumContentOffset(), (cg::Point{0, 300}));
}

struct VisibleCase {
  const char* name;
  cg::Rect rect;
  cg::Point expected;
};

class ScrollRectTest : public ::testing::TestWithParam<VisibleCase> {};

TEST_P(ScrollRectTest, ScrollsTheLeastDistanceWithinTheContent) {
  auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, 100, 100});
  scroll->setContentSize({300, 400});
  scroll->setContentOffset({0, 100});
  scroll->scrollRectToVisible(GetParam().rect, false);
  EXPECT_EQ(scroll->contentOffset(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScrollRectTest,
                         ::testing::Values(VisibleCase{"already shown", {10, 120, 20, 20}, {0, 100}},
                                           VisibleCase{"below", {0, 250, 10, 30}, {0, 180}},
                                           VisibleCase{"above", {0, 40, 10, 10}, {0, 40}},
                                           VisibleCase{"right", {250, 150, 30, 10}, {180, 100}},
                                           VisibleCase{"past the content", {0, 390, 10, 50}, {0, 300}},
                                           VisibleCase{"taller than the view", {0, 150, 10, 200}, {0, 150}}),
                         testsupport::CaseName());

TEST(ScrollViewTest, TheRendererDrawsTheContentShiftedByTheOffset) {
  auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, 40, 40});
  scroll->setContentSize({40, 200});
  auto marker = std::make_shared<ui::View>()->initWithFrame({0, 100, 40, 10});
  marker->setBackgroundColor(ui::Color::redColor());
  scroll->addSubview(marker);
  scroll->setContentOffset({0, 90});
  auto image = ui::renderView(scroll, 1);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->colorAt(20, 15), cg::Color::rgba(1, 0, 0)) << "content y 100 shows at 10";
  EXPECT_EQ(image->colorAt(20, 5).alpha, 0);
}

// Rows "row <n>"; counts the cells it had to make.
class Rows : public ui::TableViewDataSource {
 public:
  int count = 30;
  int made = 0;
  std::shared_ptr<Log> log;
  int tableViewNumberOfRowsInSection(ui::TableView&, int) override { return count; }
  std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                    const IndexPath& indexPath) override;
};

class LoggingCell : public ui::TableViewCell {
 public:
  std::shared_ptr<Log> log;
  using ui::TableViewCell::setSelected;
  void setSelected(bool selected, bool animated) override {
    ui::TableViewCell::setSelected(selected, animated);
    if (log) log->push_back(textLabel()->text() + (selected ? " selected" : " unselected"));
  }
};

std::shared_ptr<ui::TableViewCell> Rows::tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                        const IndexPath& indexPath) {
  auto cell = std::dynamic_pointer_cast<LoggingCell>(table.dequeueReusableCellWithIdentifier("row"));
  if (!cell) {
    cell = std::make_shared<LoggingCell>();
    cell->initWithStyle(ui::TableViewCellStyle::defaultStyle, "row");
    cell->log = log;
    ++made;
  }
  cell->textLabel()->setText("row " + std::to_string(indexPath.row()));
  return cell;
}

struct TableFixture {
  std::shared_ptr<ui::TableView> table = std::make_shared<ui::TableView>()->initWithFrame({0, 0, 200, 200});
  std::shared_ptr<Rows> rows = std::make_shared<Rows>();
  std::shared_ptr<ScrollRecorder> delegate = std::make_shared<ScrollRecorder>();
  TableFixture() {
    rows->log = delegate->log;
    table->setDataSource(rows);
    table->setDelegate(delegate);
    table->reloadData();
    delegate->log->clear();
  }
  std::vector<int> visibleRows() const {
    std::vector<int> out;
    for (const auto& path : table->indexPathsForVisibleRows()) out.push_back(path.row());
    return out;
  }
};

TEST(TableViewTest, ShowsTheRowsInViewAndReusesTheirCells) {
  TableFixture f;
  EXPECT_EQ(f.table->contentSize(), (cg::Size{200, 30 * 44}));
  EXPECT_EQ(f.visibleRows(), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(f.table->cellForRowAtIndexPath(row(2))->frame(), (cg::Rect{0, 88, 200, 44}));
  EXPECT_EQ(f.table->cellForRowAtIndexPath(row(5)), nullptr);
  f.table->setContentOffset({0, 440});
  EXPECT_EQ(f.visibleRows(), (std::vector<int>{10, 11, 12, 13, 14}));
  EXPECT_EQ(f.table->cellForRowAtIndexPath(row(10))->textLabel()->text(), "row 10");
  f.table->setContentOffset({0, 1100});
  f.table->setContentOffset({0, 0});
  EXPECT_LE(f.rows->made, 10) << "cells leaving the view are used again";
  EXPECT_EQ(f.table->indexPathForRowAtPoint({5, 90}), row(2));
  EXPECT_EQ(f.table->indexPathForRowAtPoint({5, 30 * 44 + 1}), std::nullopt);

  // Fewer rows than the offset reaches: the offset comes back within the content.
  f.table->setContentOffset({0, 1100});
  f.rows->count = 6;
  f.table->reloadData();
  EXPECT_EQ(f.table->contentOffset(), (cg::Point{0, 6 * 44 - 200}));
  EXPECT_EQ(f.visibleRows(), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(TableViewTest, SelectionInCodeMarksWithoutTellingTheDelegate) {
  TableFixture f;
  f.table->selectRowAtIndexPath(row(3), false, ui::TableViewScrollPosition::none);
  EXPECT_EQ(f.table->indexPathForSelectedRow(), row(3));
  EXPECT_EQ(*f.delegate->log, (Log{"row 3 selected"}));
  f.delegate->log->clear();
  // Rows that do not exist are ignored, and the mark stays where it was.
  for (auto path : {row(30), row(-1), row(0, 1)})
    f.table->selectRowAtIndexPath(path, false, ui::TableViewScrollPosition::top);
  EXPECT_EQ(f.table->indexPathForSelectedRow(), row(3));
  f.table->selectRowAtIndexPath(row(1), true, ui::TableViewScrollPosition::none);
  EXPECT_EQ(*f.delegate->log, (Log{"row 3 unselected", "row 1 selected"}));
  f.table->deselectRowAtIndexPath(row(2), false);
  EXPECT_EQ(f.table->indexPathForSelectedRow(), row(1)) << "deselecting another row changes nothing";
  f.table->reloadData();
  EXPECT_EQ(f.table->indexPathForSelectedRow(), std::nullopt);
  for (const auto& cell : f.table->visibleCells()) EXPECT_FALSE(cell->isSelected());
}

TEST(TableViewTest, ACellComingIntoViewIsToldItsRowsState) {
  TableFixture f;
  f.table->selectRowAtIndexPath(row(20), false, ui::TableViewScrollPosition::top);
  EXPECT_EQ(f.table->contentOffset(), (cg::Point{0, 20 * 44}));
  EXPECT_TRUE(f.table->cellForRowAtIndexPath(row(20))->isSelected());
  EXPECT_FALSE(f.table->cellForRowAtIndexPath(row(21))->isSelected());
  // The last rows cannot scroll to the top: the offset stops at the content's end.
  f.table->selectRowAtIndexPath(row(29), false, ui::TableViewScrollPosition::top);
  EXPECT_EQ(f.table->contentOffset(), (cg::Point{0, 30 * 44 - 200}));
  f.table->setContentOffset({0, 0});
  f.delegate->log->clear();
  f.table->setContentOffset({0, 25 * 44});
  EXPECT_EQ(*f.delegate->log, (Log{"row 25 unselected", "row 26 unselected", "row 27 unselected",
                                   "row 28 unselected", "row 29 selected"}));
}

TEST(TableViewTest, ATouchedRowIsMarkedThenReported) {
  testsupport::ScreenScope screen;
  TableFixture f;
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 300, 300});
  f.table->setFrame({0, 50, 200, 200});
  root->addSubview(f.table);
  f.table->selectRowAtIndexPath(row(0), false, ui::TableViewScrollPosition::none);
  f.delegate->log->clear();
  ui::tapAtPoint(root, {100, 50 + 2 * 44 + 20});
  EXPECT_EQ(*f.delegate->log, (Log{"row 0 unselected", "row 2 selected", "didSelect 2"}));
  EXPECT_EQ(f.table->indexPathForSelectedRow(), row(2));
  // A finger that slides is no tap.
  f.delegate->log->clear();
  {
    ui::SimulatedTouch touch(root, {100, 50 + 3 * 44 + 20});
    touch.moveTo({100, 50 + 3 * 44 + 60});
    touch.end();
  }
  EXPECT_TRUE(f.delegate->log->empty());
  // Nor one the system takes back.
  {
    ui::SimulatedTouch touch(root, {100, 50 + 3 * 44 + 20});
    touch.cancel();
  }
  EXPECT_TRUE(f.delegate->log->empty());
  f.table->setAllowsSelection(false);
  ui::tapAtPoint(root, {100, 60});
  EXPECT_TRUE(f.delegate->log->empty());
}

TEST(TableViewTest, AFingerDraggedUpScrollsTheRowsAndSelectsNone) {
  testsupport::ScreenScope screen;
  TableFixture f;
  f.rows->count = 20;
  f.table->reloadData();
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 300, 300});
  f.table->setFrame({0, 50, 200, 200});
  root->addSubview(f.table);
  f.delegate->log->clear();
  {
    ui::SimulatedTouch touch(root, {100, 200});
    for (int i = 1; i <= 4; ++i) touch.moveTo({100, 200 - 25.0 * i});
    touch.end();
  }
  EXPECT_EQ(f.table->contentOffset(), (cg::Point{0, 100}));
  EXPECT_FALSE(f.table->indexPathForSelectedRow());
  EXPECT_EQ(f.visibleRows().front(), 2);
}

TEST(TableViewTest, SeparatorsFollowTheTablesStyle) {
  TableFixture f;
  auto cell = f.table->cellForRowAtIndexPath(row(0));
  cell->layoutIfNeeded();
  EXPECT_EQ(cell->contentView()->frame().height(), 43) << "the line takes the row's last point";
  f.table->setSeparatorStyle(ui::TableViewCellSeparatorStyle::none);
  cell->layoutIfNeeded();
  EXPECT_EQ(cell->contentView()->frame().height(), 44);
  EXPECT_FALSE(cell->drawsContent());
}

}  // namespace
