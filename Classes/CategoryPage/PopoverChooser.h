#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "UIKit/TableViewController.h"

// Receives the choice of a genre or year chooser.
class PopoverDelegate {
 public:
  virtual ~PopoverDelegate() = default;
  // -1 and no name for every genre.
  virtual void genreSelected(long long genreId, const std::optional<std::string>& genreName) = 0;
  // -1 for every year; else the year code 1 to 7.
  virtual void yearSelected(int year) = 0;
};

// The short list a category page picks a genre or a year range from: row 0 "Все" (no filter), then
// one row a genre or range, a check mark on the chosen row, the delegate told of every choice.
// The delegate is not owned: the page owns the chooser.
class PopoverChooser final : public ui::TableViewController {
 public:
  // A genre chooser over records {"id", "title"}.
  std::shared_ptr<PopoverChooser> initWithStyle(ui::TableViewStyle style, ns::Array genres);
  // A year chooser; its first range ends with the current year.
  std::shared_ptr<PopoverChooser> initWithStyle(ui::TableViewStyle style);

  void viewDidLoad() override;
  int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
  std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView,
                                                                    const ns::IndexPath& indexPath) override;
  void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ns::IndexPath& indexPath) override;
  // Back to row 0 without telling the delegate.
  void reset();

  const ns::Array& list() const { return list_; }
  bool isGenre() const { return isGenre_; }
  int choosedRow() const { return choosedRow_; }
  std::shared_ptr<PopoverDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<PopoverDelegate> delegate) { delegate_ = std::move(delegate); }

 private:
  std::string rowText(int row) const;

  ns::Array list_;
  bool isGenre_ = false;
  int choosedRow_ = 0;
  std::weak_ptr<PopoverDelegate> delegate_;
};
