#include "Classes/iphone/TitlePage/TLTitleFilmSubview_iphone.h"

#include <algorithm>

#include "Classes/TLSettings.h"
#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"
#include "Foundation/NotificationCenter.h"
#include "Graphics/Layer.h"

namespace {

constexpr const char* kCellIdentifier = "customCell";

std::shared_ptr<ui::Image> stretched(const char* name, int leftCap, int topCap) {
  auto image = ui::Image::imageNamed(name);
  return image ? image->stretchableImageWithLeftCapWidth(leftCap, topCap) : nullptr;
}

}  // namespace

std::shared_ptr<TLTitleFilmSubview_iphone> TLTitleFilmSubview_iphone::initWithFrame(
    const cg::Rect& frame, const std::string& fileName, const std::string& sort,
    const std::string& indexSelected) {
  ui::View::initWithFrame(frame);
  setIsSeries(sort == "ser");
  setIndexItemSelected(indexSelected);
  setBackgroundColor(ui::Color::clearColor());
  ns::Array items = itemsOfListFile(fileName);
  std::reverse(items.begin(), items.end());
  setItems(std::move(items));
  createTableView();
  if (isSeries()) {
    // The current episode's row at the top, or as near it as the list scrolls: a row near the end
    // shows lower down, under a full list. With none current the list starts at its top.
    int n = static_cast<int>(this->items().size());
    int selected = ns::Value(indexSelected).intValue();
    int row = -1;
    if (selected == -2 && n > 0)
      row = n - 1;
    else if (selected >= 0 && selected < n)
      row = n - 1 - selected;
    if (row >= 0)
      subviewTableView_->setContentOffset(
          {0, std::min(row * kRowHeight, subviewTableView_->maximumContentOffset().y)});
  }
  return std::static_pointer_cast<TLTitleFilmSubview_iphone>(shared_from_this());
}

std::shared_ptr<TLTitleFilmSubview_iphone> TLTitleFilmSubview_iphone::initForRoleWithFrame(
    const cg::Rect& frame, ns::Array items) {
  ui::View::initWithFrame(frame);
  setIsRole(true);
  setIsSeries(false);
  setIndexItemSelected("-1");
  setItems(std::move(items));
  setBackgroundColor(ui::Color::clearColor());
  createRoleItems();
  return std::static_pointer_cast<TLTitleFilmSubview_iphone>(shared_from_this());
}

std::shared_ptr<TLTitleFilmSubview_iphone> TLTitleFilmSubview_iphone::initWithFrame(const cg::Rect&,
                                                                                    const ns::URL&) {
  return std::static_pointer_cast<TLTitleFilmSubview_iphone>(shared_from_this());
}

void TLTitleFilmSubview_iphone::createTableView() {
  cg::Rect frame{0, 0, bounds().width(), bounds().height()};
  auto me = std::static_pointer_cast<TLTitleFilmSubview_iphone>(shared_from_this());
  subviewTableView_ = std::make_shared<ui::TableView>()->initWithFrame(frame);
  subviewTableView_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(me));
  subviewTableView_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(me));
  subviewTableView_->setRowHeight(kRowHeight);
  subviewTableView_->setBackgroundColor(ui::Color::clearColor());
  subviewTableView_->setSeparatorColor(ui::Color::clearColor());
  subviewTableView_->setContentInset({10, 0, 10, 0});

  // The list fades out at its top and bottom.
  auto container = std::make_shared<ui::View>()->initWithFrame(frame);
  container->setBackgroundColor(ui::Color::clearColor());
  auto fade = std::make_shared<cg::GradientLayer>();
  fade->setFrame(container->bounds());
  fade->setColors({cg::Color::rgba(0, 0, 0, 0), cg::Color::rgba(1, 1, 1, 1), cg::Color::rgba(1, 1, 1, 1),
                   cg::Color::rgba(0, 0, 0, 0)});
  fade->setLocations({0, 0.05, 0.95, 1.0});
  container->layer()->setMask(fade);
  container->addSubview(subviewTableView_);
  addSubview(container);
  subviewTableView_->reloadData();
}

int TLTitleFilmSubview_iphone::tableViewNumberOfRowsInSection(ui::TableView&, int) {
  return static_cast<int>(items().size());
}

std::shared_ptr<ui::TableViewCell> TLTitleFilmSubview_iphone::tableViewCellForRowAtIndexPath(
    ui::TableView& tableView, const ns::IndexPath& indexPath) {
  int n = static_cast<int>(items().size());
  int r = indexPath.row();
  try {
    auto cell = std::dynamic_pointer_cast<TLVideoItemPriviewCell>(
        tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (cell) {
      cell->imageView()->setImage(ui::Image::imageNamed("TLCinemaEmpty_.png"));
    } else {
      cell = TLVideoItemPriviewCell::cellFromInterfaceFile(kCellIdentifier);
      if (isSeries()) cell->setTitleLinesForEpisodes();
    }
    cell->separatorView()->setImage(r == 0 ? stretched("cellBackgroundFirst.png", 1, 0)
                                           : stretched("cellBackground.png", 1, 5));
    cell->setIsSelected(false);
    if (r < 0 || r >= n) return cell;
    const ns::Value& entry = items()[static_cast<std::size_t>(n - 1 - r)];
    if (!isRole()) {
      // Episodes keep their posters under episode names, related titles under their own.
      cell->setTypeIsEpisode(isSeries());
      if (isSelectedEntry(indexItemSelected(), static_cast<std::size_t>(r), static_cast<std::size_t>(n)))
        cell->setIsSelected(true);
      cell->setTitle(TLSettings::stringFromObject(entry["title"]));
      cell->setLoadPriority(-1);
      auto description = TLSettings::stringOrNilFromObject(entry["description"]);
      cell->setDescription(description ? *description : TLSettings::stringFromObject(entry["rubric_name"]));
      cell->setID(TLSettings::longFromObject(entry["id"]));
      cell->setUrl(TLSettings::stringFromObject(entry["url"]));
      cell->setImageUrl(TLSettings::stringFromObject(entry["image"]));
      if (!entry["rating"].isNil()) cell->setRate(TLSettings::intFromObject(entry["rating"]));
      cg::Rect frame = cell->imageView()->frame();
      cell->imageView()->setFrame({10, frame.origin.y, frame.width(), frame.height()});
    } else {
      cell->setTitle(TLSettings::stringFromObject(entry["fullname"]));
      cell->setLoadPriority(-1);
      cell->setTitleLinesForRoles();
      cell->setID(TLSettings::longFromObject(entry["id"]));
      // After the id: the row keeps no photo file, which could be some title's poster.
      cell->setRolesImageStyle();
      cell->setImageForButton(ui::Image::imageNamed("actorEmpty.jpg"));
      cell->setImageUrl(TLSettings::stringFromObject(entry["photo_76x101"]));
      cg::Rect frame = cell->imageView()->frame();
      cell->imageView()->setFrame(
          {frame.origin.x, frame.origin.y + 5, frame.width() - 8, frame.height() - 10});
    }
    return cell;
  } catch (const std::exception&) {
    auto cell = TLVideoItemPriviewCell::cellFromInterfaceFile(kCellIdentifier);
    cell->separatorView()->setImage(stretched("cellCheckedBackground.png", 0, 5));
    return cell;
  }
}

void TLTitleFilmSubview_iphone::tableViewDidSelectRowAtIndexPath(ui::TableView& tableView,
                                                                 const ns::IndexPath& indexPath) {
  tableView.deselectRowAtIndexPath(indexPath, true);
  selectVideoWithNumber(indexPath.row());
}

void TLTitleFilmSubview_iphone::selectVideoWithNumber(int row) {
  try {
    int n = static_cast<int>(items().size());
    if (row < 0 || row >= n) return;
    const ns::Value& entry = items()[static_cast<std::size_t>(n - 1 - row)];
    auto center = ns::NotificationCenter::defaultCenter();
    if (isRole()) {
      ns::Dictionary person;
      person.set("id", entry["id"]);
      person.set("title", TLSettings::stringFromObject(entry["fullname"]));
      center->postNotificationName("TLShowActorPage", ns::Value(std::move(person)));
      return;
    }
    // A missing value reads as "", and an entry without an address has no page to open.
    std::string url = entryText(entry, "url").value_or("");
    if (url.empty()) return;
    ns::Dictionary info;
    info.set("id", TLSettings::titleInfoIdFromObject(entry["id"]));
    info.set("url", url);
    for (const char* key : {"title", "description", "parent_id", "image"})
      info.set(key, entryText(entry, key).value_or(""));
    center->postNotificationName("TLOpenVideoItem", ns::Value(std::move(info)));
  } catch (const std::exception&) {
  }
}
