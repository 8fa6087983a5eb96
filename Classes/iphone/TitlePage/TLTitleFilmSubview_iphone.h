#pragma once

#include <memory>
#include <string>

#include "Classes/TitlePage/TLTitleFilmSubviewBase.h"
#include "UIKit/TableView.h"

// The phone's section view: a table of list cells, episodes and related titles in file order,
// persons in reverse order of the title's list. A tap opens the title or the person page.
class TLTitleFilmSubview_iphone final : public TLTitleFilmSubviewBase,
                                        public ui::TableViewDataSource,
                                        public ui::TableViewDelegate {
 public:
  static constexpr double kRowHeight = 80;

  // A titles list from the per-title list file, the last entry first; a series starts scrolled to
  // its current episode.
  std::shared_ptr<TLTitleFilmSubview_iphone> initWithFrame(const cg::Rect& frame, const std::string& fileName,
                                                           const std::string& sort,
                                                           const std::string& indexSelected);
  std::shared_ptr<TLTitleFilmSubview_iphone> initForRoleWithFrame(const cg::Rect& frame, ns::Array items);
  // Nothing is set up.
  std::shared_ptr<TLTitleFilmSubview_iphone> initWithFrame(const cg::Rect& frame, const ns::URL& url);
  using ui::View::initWithFrame;

  void createPreviewItems() {}
  void createRoleItems() { createTableView(); }
  void createTableView();
  // Opens the page of the entry shown in that row.
  void selectVideoWithNumber(int row);

  const std::shared_ptr<ui::TableView>& subviewTableView() const { return subviewTableView_; }

  int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
  std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView,
                                                                    const ns::IndexPath& indexPath) override;
  void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ns::IndexPath& indexPath) override;

 private:
  std::shared_ptr<ui::TableView> subviewTableView_;
};
