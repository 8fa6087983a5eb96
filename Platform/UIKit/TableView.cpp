#include "UIKit/TableView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"

namespace ui {

namespace {
// A touch that travels further than this is no tap on a row.
constexpr double kTapSlop = 10;
}  // namespace

double TableViewDelegate::tableViewHeightForRowAtIndexPath(TableView& tableView, const ns::IndexPath&) {
  return tableView.rowHeight();
}

TableView::TableView() = default;

std::shared_ptr<TableView> TableView::initWithFrame(const cg::Rect& frame, TableViewStyle style) {
  ScrollView::initWithFrame(frame);
  style_ = style;
  rowTops_ = {0};
  return self<TableView>();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate) {
  delegate_ = delegate;
  ScrollView::setDelegate(std::move(delegate));
}

void TableView::setRowHeight(double height) {
  rowHeight_ = height;
  setNeedsLayout();
}

void TableView::setSeparatorStyle(TableViewCellSeparatorStyle style) {
  separatorStyle_ = style;
  for (auto& [row, cell] : visible_)
    cell->setSeparatorColor(
        style == TableViewCellSeparatorStyle::none ? std::nullopt : std::optional<Color>(separatorColor_));
}

void TableView::setSeparatorColor(Color color) {
  separatorColor_ = std::move(color);
  setSeparatorStyle(separatorStyle_);
}

double TableView::heightOfRow(int row) {
  auto d = delegate_.lock();
  double h =
      d ? d->tableViewHeightForRowAtIndexPath(*this, ns::IndexPath::indexPathForRow(row, 0)) : rowHeight_;
  return std::max(0.0, h);
}

void TableView::reloadData() {
  auto keep = self<TableView>();
  std::vector<int> shown;
  for (auto& [row, cell] : visible_) shown.push_back(row);
  for (int row : shown) recycle(row);
  selected_.reset();
  auto ds = dataSource_.lock();
  rowCount_ = ds ? std::max(0, ds->tableViewNumberOfRowsInSection(*this, 0)) : 0;
  rowTops_.assign(1, 0.0);
  for (int row = 0; row < rowCount_; ++row) rowTops_.push_back(rowTops_.back() + heightOfRow(row));
  setContentSize({bounds().width(), rowTops_.back()});
  cg::Point offset = contentOffset();
  if (offset.y > maximumContentOffset().y) setContentOffset({offset.x, maximumContentOffset().y});
  layoutVisibleRows();
}

int TableView::numberOfRowsInSection(int section) const { return section == 0 ? rowCount_ : 0; }

bool TableView::isValid(const ns::IndexPath& indexPath) const {
  return indexPath.section() == 0 && indexPath.row() >= 0 && indexPath.row() < rowCount_;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
  auto it = reuseQueues_.find(identifier);
  if (it == reuseQueues_.end() || it->second.empty()) return nullptr;
  auto cell = std::move(it->second.back());
  it->second.pop_back();
  cell->prepareForReuse();
  return cell;
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const ns::IndexPath& indexPath) const {
  if (indexPath.section() != 0) return nullptr;
  auto it = visible_.find(indexPath.row());
  return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const {
  std::vector<std::shared_ptr<TableViewCell>> cells;
  for (const auto& [row, cell] : visible_) cells.push_back(cell);
  return cells;
}

std::vector<ns::IndexPath> TableView::indexPathsForVisibleRows() const {
  std::vector<ns::IndexPath> paths;
  for (const auto& [row, cell] : visible_) paths.push_back(ns::IndexPath::indexPathForRow(row, 0));
  return paths;
}

cg::Rect TableView::rectForRowAtIndexPath(const ns::IndexPath& indexPath) const {
  if (!isValid(indexPath)) return {};
  auto row = std::size_t(indexPath.row());
  return {0, rowTops_[row], bounds().width(), rowTops_[row + 1] - rowTops_[row]};
}

std::optional<ns::IndexPath> TableView::indexPathForRowAtPoint(cg::Point point) const {
  if (point.y < 0 || point.x < 0 || point.x >= bounds().width() || rowCount_ == 0) return std::nullopt;
  auto it = std::upper_bound(rowTops_.begin(), rowTops_.end(), point.y);
  int row = int(it - rowTops_.begin()) - 1;
  if (row < 0 || row >= rowCount_) return std::nullopt;
  return ns::IndexPath::indexPathForRow(row, 0);
}

void TableView::recycle(int row) {
  auto it = visible_.find(row);
  if (it == visible_.end()) return;
  auto cell = std::move(it->second);
  visible_.erase(it);
  cell->removeFromSuperview();
  if (!cell->reuseIdentifier().empty()) reuseQueues_[cell->reuseIdentifier()].push_back(std::move(cell));
}

void TableView::layoutVisibleRows() {
  if (laying_) return;
  laying_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{laying_};
  cg::Rect b = bounds();
  double top = b.y(), bottom = b.y() + b.height();
  int first = int(std::upper_bound(rowTops_.begin(), rowTops_.end(), top) - rowTops_.begin()) - 1;
  first = std::max(first, 0);
  int last = first;
  while (last < rowCount_ && rowTops_[std::size_t(last)] < bottom) ++last;  // rows [first, last)
  std::vector<int> leaving;
  for (auto& [row, cell] : visible_)
    if (row < first || row >= last) leaving.push_back(row);
  for (int row : leaving) recycle(row);
  auto ds = dataSource_.lock();
  std::optional<Color> separator;
  if (separatorStyle_ != TableViewCellSeparatorStyle::none) separator = separatorColor_;
  for (int row = first; row < last; ++row) {
    if (rowTops_[std::size_t(row) + 1] <= top) continue;
    cg::Rect frame(0, rowTops_[std::size_t(row)], b.width(),
                   rowTops_[std::size_t(row) + 1] - rowTops_[std::size_t(row)]);
    if (auto it = visible_.find(row); it != visible_.end()) {
      it->second->setFrame(frame);
      continue;
    }
    if (!ds) continue;
    auto cell = ds->tableViewCellForRowAtIndexPath(*this, ns::IndexPath::indexPathForRow(row, 0));
    if (!cell) continue;
    cell->setFrame(frame);
    cell->setSeparatorColor(separator);
    insertSubviewAtIndex(cell, 0);
    visible_[row] = cell;
    cell->setSelected(selected_ && selected_->row() == row, false);
  }
}

void TableView::layoutSubviews() {
  ScrollView::layoutSubviews();
  layoutVisibleRows();
}

void TableView::boundsOriginDidChange(cg::Point oldOrigin) {
  auto keep = self<TableView>();
  layoutVisibleRows();
  ScrollView::boundsOriginDidChange(oldOrigin);
}

void TableView::boundsSizeDidChange(cg::Size oldSize) {
  ScrollView::boundsSizeDidChange(oldSize);
  setContentSize({bounds().width(), contentSize().height});
}

void TableView::selectRowAtIndexPath(const std::optional<ns::IndexPath>& indexPath, bool animated,
                                     TableViewScrollPosition position) {
  if (!indexPath) {
    if (selected_) deselectRowAtIndexPath(*selected_, animated);
    return;
  }
  if (!isValid(*indexPath)) return;
  auto keep = self<TableView>();
  if (selected_ && *selected_ != *indexPath)
    if (auto old = cellForRowAtIndexPath(*selected_)) old->setSelected(false, animated);
  selected_ = indexPath;
  if (auto cell = cellForRowAtIndexPath(*indexPath)) cell->setSelected(true, animated);
  if (position != TableViewScrollPosition::none) scrollToRowAtIndexPath(*indexPath, position, animated);
}

void TableView::deselectRowAtIndexPath(const ns::IndexPath& indexPath, bool animated) {
  if (!selected_ || *selected_ != indexPath) return;
  selected_.reset();
  if (auto cell = cellForRowAtIndexPath(indexPath)) cell->setSelected(false, animated);
}

void TableView::scrollToRowAtIndexPath(const ns::IndexPath& indexPath, TableViewScrollPosition position,
                                       bool animated) {
  if (!isValid(indexPath)) return;
  cg::Rect r = rectForRowAtIndexPath(indexPath);
  double h = bounds().height(), y = contentOffset().y;
  switch (position) {
    case TableViewScrollPosition::top:
      y = r.y();
      break;
    case TableViewScrollPosition::middle:
      y = r.midY() - h / 2;
      break;
    case TableViewScrollPosition::bottom:
      y = r.maxY() - h;
      break;
    case TableViewScrollPosition::none:
      scrollRectToVisible(r, animated);
      return;
  }
  y = std::clamp(y, 0.0, maximumContentOffset().y);
  if (y != contentOffset().y) setContentOffset({contentOffset().x, y}, animated);
}

void TableView::userSelectRow(int row) {
  auto keep = self<TableView>();
  auto path = ns::IndexPath::indexPathForRow(row, 0);
  if (selected_ && *selected_ != path)
    if (auto old = cellForRowAtIndexPath(*selected_)) old->setSelected(false, false);
  selected_ = path;
  if (auto cell = cellForRowAtIndexPath(path)) cell->setSelected(true, false);
  if (auto d = delegate_.lock()) d->tableViewDidSelectRowAtIndexPath(*this, path);
}

// A finger selects a row when it lifts where it went down; moved further, it scrolls the table.
void TableView::touchesBegan(const TouchSet& touches, const Event* event) {
  if (isScrollEnabled()) ScrollView::touchesBegan(touches, event);
  touchStart_.reset();
  if (!allowsSelection_ || touches.empty()) return;
  // In the root's coordinates: the table's own move with the scrolling.
  touchStart_ = touches.front()->locationInView(nullptr);
}

void TableView::touchesMoved(const TouchSet& touches, const Event* event) {
  if (isScrollEnabled()) ScrollView::touchesMoved(touches, event);
  if (!touchStart_ || touches.empty()) return;
  cg::Point p = touches.front()->locationInView(nullptr);
  if (std::hypot(p.x - touchStart_->x, p.y - touchStart_->y) > kTapSlop) touchStart_.reset();
}

void TableView::touchesEnded(const TouchSet& touches, const Event* event) {
  if (isScrollEnabled()) ScrollView::touchesEnded(touches, event);
  if (!touchStart_ || touches.empty()) return;
  touchStart_.reset();
  if (auto path = indexPathForRowAtPoint(touches.front()->locationInView(this))) userSelectRow(path->row());
}

void TableView::touchesCancelled(const TouchSet& touches, const Event* event) {
  if (isScrollEnabled()) ScrollView::touchesCancelled(touches, event);
  touchStart_.reset();
}

void TableView::appendDumpAttributes(std::string& line) const {
  ScrollView::appendDumpAttributes(line);
  line += ns::format(" rows=%d", rowCount_);
  if (selected_) line += ns::format(" selectedRow=%d", selected_->row());
  if (separatorStyle_ == TableViewCellSeparatorStyle::none) line += " noSeparators";
}

}  // namespace ui
