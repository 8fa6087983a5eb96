#include "Classes/CategoryPage/PopoverChooser.h"

#include <algorithm>

#include "Classes/CategoryPage/CategoryTitlesQuery.h"
#include "Classes/TLSettings.h"
#include "Foundation/Format.h"

std::shared_ptr<PopoverChooser> PopoverChooser::initWithStyle(ui::TableViewStyle style, ns::Array genres) {
  ui::TableViewController::initWithStyle(style);
  list_ = std::move(genres);
  isGenre_ = true;
  choosedRow_ = 0;
  return std::static_pointer_cast<PopoverChooser>(shared_from_this());
}

std::shared_ptr<PopoverChooser> PopoverChooser::initWithStyle(ui::TableViewStyle style) {
  ui::TableViewController::initWithStyle(style);
  isGenre_ = false;
  // The first range runs to the year its request asks for.
  int newest = CategoryTitlesQuery::newestYear(CategoryTitlesQuery::currentYear());
  list_ = ns::Array{ns::format("2010-%d", newest),
                    "2000-2010",
                    "1990-2000",
                    "1980-1990",
                    "1960-1980",
                    "1940-1960",
                    "до 1940"};
  return std::static_pointer_cast<PopoverChooser>(shared_from_this());
}

void PopoverChooser::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  setClearsSelectionOnViewWillAppear(false);
  int rows = std::min(static_cast<int>(list_.size()), 5) + 1;
  setContentSizeForViewInPopover({300, 44.0 * rows});
}

int PopoverChooser::tableViewNumberOfRowsInSection(ui::TableView&, int) {
  return static_cast<int>(list_.size()) + 1;
}

std::string PopoverChooser::rowText(int row) const {
  if (row == 0) return "Все";
  const ns::Value& entry = list_[static_cast<std::size_t>(row - 1)];
  return isGenre_ ? TLSettings::stringFromObject(entry["title"]) : TLSettings::stringFromObject(entry);
}

std::shared_ptr<ui::TableViewCell> PopoverChooser::tableViewCellForRowAtIndexPath(
    ui::TableView&, const ns::IndexPath& indexPath) {
  auto cell = std::make_shared<ui::TableViewCell>()->initWithStyle(ui::TableViewCellStyle::defaultStyle, "");
  cell->textLabel()->setText(rowText(indexPath.row()));
  if (indexPath.row() == choosedRow_) cell->setAccessoryType(ui::TableViewCellAccessoryType::checkmark);
  return cell;
}

void PopoverChooser::tableViewDidSelectRowAtIndexPath(ui::TableView& tableView,
                                                      const ns::IndexPath& indexPath) {
  auto d = delegate();
  if (!d) return;
  int row = indexPath.row();
  choosedRow_ = row;
  tableView.reloadData();
  if (row == 0) {
    if (isGenre_)
      d->genreSelected(-1, std::nullopt);
    else
      d->yearSelected(-1);
    return;
  }
  if (!isGenre_) return d->yearSelected(row);
  const ns::Value& genre = list_[static_cast<std::size_t>(row - 1)];
  d->genreSelected(TLSettings::longFromObject(genre["id"]), TLSettings::stringFromObject(genre["title"]));
}

void PopoverChooser::reset() {
  choosedRow_ = 0;
  if (isViewLoaded()) tableView()->reloadData();
}
