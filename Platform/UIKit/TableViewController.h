#pragma once

#include <memory>

#include "UIKit/TableView.h"
#include "UIKit/ViewController.h"

namespace ui {

// A page whose view is a table, with the page as its data source and delegate. The table loads
// its rows when the page first appears; the selection is cleared whenever the page appears again,
// unless told to keep it.
class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
 public:
  std::shared_ptr<TableViewController> initWithStyle(TableViewStyle style);

  std::shared_ptr<TableView> tableView();
  bool clearsSelectionOnViewWillAppear() const { return clearsSelectionOnViewWillAppear_; }
  void setClearsSelectionOnViewWillAppear(bool clears) { clearsSelectionOnViewWillAppear_ = clears; }

  void loadView() override;
  void viewWillAppear(bool animated) override;

  // No rows unless a subclass says otherwise.
  int tableViewNumberOfRowsInSection(TableView&, int) override { return 0; }
  std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView&, const ns::IndexPath&) override {
    return nullptr;
  }

 private:
  TableViewStyle style_ = TableViewStyle::plain;
  bool clearsSelectionOnViewWillAppear_ = true;
  bool loadedRows_ = false;
};

}  // namespace ui
