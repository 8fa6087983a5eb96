#include "UIKit/TableViewController.h"

#include "UIKit/Screen.h"

namespace ui {

std::shared_ptr<TableViewController> TableViewController::initWithStyle(TableViewStyle style) {
  initWithNibName("", nullptr);
  style_ = style;
  return std::static_pointer_cast<TableViewController>(shared_from_this());
}

std::shared_ptr<TableView> TableViewController::tableView() {
  return std::static_pointer_cast<TableView>(view());
}

void TableViewController::loadView() {
  auto table = std::make_shared<TableView>()->initWithFrame(Screen::mainScreen()->bounds(), style_);
  table->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
  table->setBackgroundColor(Color::whiteColor());
  auto me = std::static_pointer_cast<TableViewController>(shared_from_this());
  table->setDataSource(std::static_pointer_cast<TableViewDataSource>(me));
  table->setDelegate(std::static_pointer_cast<TableViewDelegate>(me));
  setView(table);
}

void TableViewController::viewWillAppear(bool animated) {
  ViewController::viewWillAppear(animated);
  auto table = tableView();
  if (!loadedRows_) {
    loadedRows_ = true;
    table->reloadData();
  } else if (clearsSelectionOnViewWillAppear_) {
    if (auto selected = table->indexPathForSelectedRow()) table->deselectRowAtIndexPath(*selected, animated);
  }
}

}  // namespace ui
