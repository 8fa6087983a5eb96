#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/IndexPath.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TableViewCell.h"

namespace ui {

class TableView;

enum class TableViewStyle { plain = 0, grouped = 1 };
enum class TableViewScrollPosition { none = 0, top = 1, middle = 2, bottom = 3 };
enum class TableViewCellSeparatorStyle { none = 0, singleLine = 1 };

// What a table shows: its row count and a configured cell per row.
class TableViewDataSource {
 public:
  virtual ~TableViewDataSource() = default;
  virtual int tableViewNumberOfRowsInSection(TableView& tableView, int section) = 0;
  virtual std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& tableView,
                                                                        const ns::IndexPath& indexPath) = 0;
};

// Told what the user does with a table (and, as the scroll view's delegate, how it scrolls).
class TableViewDelegate : public ScrollViewDelegate {
 public:
  // The row's height; the table's rowHeight unless answered otherwise.
  virtual double tableViewHeightForRowAtIndexPath(TableView& tableView, const ns::IndexPath& indexPath);
  // After a touched row has been marked selected.
  virtual void tableViewDidSelectRowAtIndexPath(TableView&, const ns::IndexPath&) {}
};

// Rows of one section stacked in a scroll view. Cells are asked of the data source for the rows
// in view (at once on reloadData and whenever the offset or size changes), and go back to the
// reuse queue of their identifier when they leave the view. One row at a time is selected: a
// touch marks it, tells its cell (setSelected) and then the delegate; a row selected in code
// tells no delegate. Every cell the table shows is told its row's selection state.
class TableView : public ScrollView {
 public:
  TableView();
  std::shared_ptr<TableView> initWithFrame(const cg::Rect& frame,
                                           TableViewStyle style = TableViewStyle::plain);

  TableViewStyle style() const { return style_; }
  std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDataSource(std::weak_ptr<TableViewDataSource> dataSource) { dataSource_ = std::move(dataSource); }
  std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }
  // Also the scroll view's delegate.
  void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double height);
  TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
  void setSeparatorStyle(TableViewCellSeparatorStyle style);
  const Color& separatorColor() const { return separatorColor_; }
  void setSeparatorColor(Color color);
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool allows) { allowsSelection_ = allows; }

  // Asks the data source again; clears the selection.
  void reloadData();
  // The count the data source gave at the last reload (0 for a section other than 0).
  int numberOfRowsInSection(int section) const;
  int numberOfSections() const { return 1; }

  // Null when there is nothing free under that identifier.
  std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
  // The cell showing a row, null when the row is not in view.
  std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const ns::IndexPath& indexPath) const;
  std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
  std::vector<ns::IndexPath> indexPathsForVisibleRows() const;
  cg::Rect rectForRowAtIndexPath(const ns::IndexPath& indexPath) const;
  std::optional<ns::IndexPath> indexPathForRowAtPoint(cg::Point point) const;

  // Marks a row (none clears the mark) and scrolls it to the position; no delegate hears of it.
  // A row that does not exist is ignored.
  void selectRowAtIndexPath(const std::optional<ns::IndexPath>& indexPath, bool animated,
                            TableViewScrollPosition position);
  void deselectRowAtIndexPath(const ns::IndexPath& indexPath, bool animated);
  std::optional<ns::IndexPath> indexPathForSelectedRow() const { return selected_; }
  void scrollToRowAtIndexPath(const ns::IndexPath& indexPath, TableViewScrollPosition position,
                              bool animated);

  void layoutSubviews() override;
  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesMoved(const TouchSet& touches, const Event* event) override;
  void touchesEnded(const TouchSet& touches, const Event* event) override;
  void touchesCancelled(const TouchSet& touches, const Event* event) override;
  void appendDumpAttributes(std::string& line) const override;

 protected:
  void boundsOriginDidChange(cg::Point oldOrigin) override;
  void boundsSizeDidChange(cg::Size oldSize) override;

 private:
  bool isValid(const ns::IndexPath& indexPath) const;
  double heightOfRow(int row);
  // Puts the cells of the rows in view in place, asking for the ones newly in view.
  void layoutVisibleRows();
  void recycle(int row);
  void userSelectRow(int row);

  TableViewStyle style_ = TableViewStyle::plain;
  std::weak_ptr<TableViewDataSource> dataSource_;
  std::weak_ptr<TableViewDelegate> delegate_;
  double rowHeight_ = 44;
  TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::singleLine;
  Color separatorColor_ = Color::colorWithWhite(0.88, 1);
  bool allowsSelection_ = true;
  int rowCount_ = 0;
  // Top of each row and, last, the content height.
  std::vector<double> rowTops_;
  std::map<int, std::shared_ptr<TableViewCell>> visible_;
  std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> reuseQueues_;
  std::optional<ns::IndexPath> selected_;
  // The touch being followed for a tap, in this view's coordinates.
  std::optional<cg::Point> touchStart_;
  bool laying_ = false;
};

}  // namespace ui
