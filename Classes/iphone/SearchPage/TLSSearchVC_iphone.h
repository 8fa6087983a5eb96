#pragma once

#include <memory>
#include <string>

#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Classes/SearchPage/TLSearchReply.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/AlertView.h"
#include "UIKit/Label.h"
#include "UIKit/SearchBar.h"
#include "UIKit/TableView.h"
#include "UIKit/Toolbar.h"
#include "UIKit/ViewController.h"

// The phone's search page: the same search as the tablet's, its answer as one flat list of title
// rows; when nothing is found the list holds the recommended titles.
class TLSSearchVC_iphone final : public ui::ViewController,
                                 public TLMenuHooks,
                                 public ui::SearchBarDelegate,
                                 public ui::TableViewDataSource,
                                 public ui::TableViewDelegate,
                                 public ui::AlertViewDelegate {
 public:
  std::shared_ptr<TLSSearchVC_iphone> init() {
    ui::ViewController::init();
    return self<TLSSearchVC_iphone>();
  }

  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }
  const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
  const std::shared_ptr<ui::SearchBar>& mySearchBar() const { return mySearchBar_; }
  const std::shared_ptr<ui::Label>& labelTop() const { return labelTop_; }
  const std::shared_ptr<ui::TableView>& mainTableView() const { return mainTableView_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activity() const { return activity_; }
  const ns::Array& resultList() const { return resultList_; }
  const cg::Rect& defaultTableRect() const { return defaultTableRect_; }

  // The page's interface file: the status line over the list.
  void loadView() override;
  void viewDidLoad() override;
  void searchBarSearchButtonClicked(ui::SearchBar& searchBar) override;
  // Empties the list and sends the search for the query; only the latest search's answer counts.
  void searchBegin();
  void searchCompleted();
  void showNavMenu();
  void dismissKeyboard();
  void touchesBegan(const ui::TouchSet& touches, const ui::Event* event) override;
  bool shouldAutorotate() override { return false; }
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return false; }
  void toolbarBackClick();
  // Posts "TLOpenVideoItem" with the TitleInfo of entry n.
  void selectVideoWithNumber(int n);

  int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
  std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView,
                                                                    const ns::IndexPath& indexPath) override;
  double tableViewHeightForRowAtIndexPath(ui::TableView& tableView, const ns::IndexPath& indexPath) override;
  void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ns::IndexPath& indexPath) override;
  void alertViewClickedButtonAtIndex(ui::AlertView&, int) override {}

 private:
  void searchReplyReceived(const ns::Value& reply);
  void setStatusLines(int lines, double height);

  std::string query_;
  std::shared_ptr<ui::Toolbar> toolbar_;
  std::shared_ptr<ui::SearchBar> mySearchBar_;
  std::shared_ptr<ui::Label> labelTop_;
  std::shared_ptr<ui::TableView> mainTableView_;
  std::shared_ptr<ui::ActivityIndicatorView> activity_;
  cg::Rect defaultTableRect_;
  ns::Array resultList_;
  TLLatestSearch search_;
};
