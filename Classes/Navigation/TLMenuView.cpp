#include "Classes/Navigation/TLMenuView.h"

#include <exception>

#include "Classes/TLSettings.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"
#include "UIKit/AlertView.h"
#include "UIKit/Font.h"

namespace {

constexpr double kPanelWidth = 220;
constexpr const char* kShortQueryMessage = "Слишком короткий запрос.";
constexpr const char* kHomeTitle = "Главная";

}  // namespace

std::shared_ptr<TLMenuView> TLMenuView::initWithFrame(const cg::Rect& frame) {
  ui::View::initWithFrame(frame);
  setHidden(true);
  setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  buildViews(frame.width(), frame.height());
  return std::static_pointer_cast<TLMenuView>(shared_from_this());
}

std::shared_ptr<ui::Button> TLMenuView::makeBackdrop(double width, double height, const ui::Color& color) {
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  button->setFrame({0, 0, width, height});
  button->setBackgroundColor(color);
  button->setAlpha(0);
  button->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  button->addTarget(std::static_pointer_cast<TLMenuView>(shared_from_this()), &TLMenuView::backgroundTouch,
                    ui::ControlEventTouchDown);
  return button;
}

std::shared_ptr<ui::SearchBar> TLMenuView::makeSearchBar(const cg::Rect& frame) {
  auto bar = std::make_shared<ui::SearchBar>()->initWithFrame(frame);
  bar->setSearchFieldBackgroundImage(ui::Image::imageNamed("search_bar_background"), ui::ControlStateNormal);
  bar->setShowsBarBackground(false);
  bar->setSearchFieldTextColor(ui::Color::grayColor());
  bar->setDelegate(std::static_pointer_cast<TLMenuView>(shared_from_this()));
  return bar;
}

std::shared_ptr<ui::TableView> TLMenuView::makeTable(const cg::Rect& frame) {
  auto table = std::make_shared<ui::TableView>()->initWithFrame(frame, ui::TableViewStyle::plain);
  table->setBackgroundColor(ui::Color::clearColor());
  table->setSeparatorStyle(ui::TableViewCellSeparatorStyle::none);
  auto me = std::static_pointer_cast<TLMenuView>(shared_from_this());
  table->setDataSource(me);
  table->setDelegate(me);
  return table;
}

void TLMenuView::buildViews(double, double height) {
  auto me = std::static_pointer_cast<TLMenuView>(shared_from_this());
  backgroundBt_ = makeBackdrop(bounds().width(), height, ui::Color::blackColor());
  addSubview(backgroundBt_);

  menuArea_ = std::make_shared<ui::View>()->initWithFrame({closedPanelX(), 0, kPanelWidth, height});
  menuArea_->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
  if (auto bg = ui::Image::imageNamed("bg.png"))
    menuArea_->setBackgroundColor(ui::Color::colorWithPatternImage(bg));
  cg::Layer& layer = *menuArea_->layer();
  layer.setShadowColor(cg::Color::black());
  layer.setShadowOffset({5, 5});
  layer.setShadowOpacity(0.5);
  layer.setShadowRadius(2.0);
  addSubview(menuArea_);

  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 20, kPanelWidth, 44});
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar_->setBarStyle(ui::BarStyle::black);
  toolbar_->setBackgroundImage(ui::Image::imageNamed("toolbarBg.png"), ui::ToolbarPosition::any,
                               ui::BarMetrics::defaultMetrics);
  menuArea_->addSubview(toolbar_);
  auto space =
      std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(ui::BarButtonSystemItem::fixedSpace);
  space->setWidth(-10);
  auto close = ui::Button::buttonWithType(ui::ButtonType::custom);
  close->setFrame({0, 0, 55, 44});
  close->setImage(ui::Image::imageNamed("menuBt.png"), ui::ControlStateNormal);
  close->addTarget(me, &TLMenuView::toolbarBtTouch, ui::ControlEventTouchDown);
  toolbar_->setItems({space, std::make_shared<ui::BarButtonItem>()->initWithCustomView(close)});

  mySearchBar_ = makeSearchBar({10, 75, 198, 30});
  menuArea_->addSubview(mySearchBar_);

  menuTable_ = makeTable({0, 120, kPanelWidth, height - 120});
  menuTable_->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
  menuArea_->addSubview(menuTable_);
}

// --- Items ----------------------------------------------------------------------------------

void TLMenuView::setItems(ns::Array items) {
  menuItems_ = std::move(items);
  try {
    menuTable_->reloadData();
    if (!menuItems_.empty())
      menuTable_->selectRowAtIndexPath(ns::IndexPath::indexPathForRow(0, 0), false,
                                       ui::TableViewScrollPosition::top);
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

void TLMenuView::selectMenuItemById(const std::string& itemId) {
  for (std::size_t row = 0; row < menuItems_.size(); ++row) {
    const std::string* id = menuItems_[row]["id"].asString();
    if (id && *id == itemId) {
      menuTable_->selectRowAtIndexPath(ns::IndexPath::indexPathForRow(int(row), 0), false,
                                       ui::TableViewScrollPosition::top);
      return;
    }
  }
}

// --- Showing and hiding ---------------------------------------------------------------------

void TLMenuView::raise(void (TLMenuViewDelegate::*event)(TLMenuView&)) {
  auto keep = shared_from_this();
  if (auto d = delegate_.lock()) (d.get()->*event)(*this);
}

void TLMenuView::animate(bool animated, const std::function<void()>& changes, void (TLMenuView::*done)()) {
  std::weak_ptr<TLMenuView> weak = std::static_pointer_cast<TLMenuView>(shared_from_this());
  ui::View::animateWithDuration(animated ? kAnimationDuration : 0, changes, [weak, done](bool) {
    if (auto me = weak.lock()) (me.get()->*done)();
  });
}

void TLMenuView::clearSearchField() {
  mySearchBar_->resignFirstResponder();
  mySearchBar_->setText("");
}

void TLMenuView::showMenuWithAnimation(bool animated) {
  raise(&TLMenuViewDelegate::TLMenuViewWillShowMenu);
  setHidden(false);
  preparePanelForShowing();
  slide(animated, true);
}

void TLMenuView::hideMenuWithAnimation(bool animated) {
  clearSearchField();
  raise(&TLMenuViewDelegate::TLMenuViewWillHideMenu);
  slide(animated, false);
}

void TLMenuView::slide(bool animated, bool opening) {
  cg::Rect target = menuArea_->frame();
  target.origin.x = opening ? 0 : closedPanelX();
  auto movePage = pageMovement(opening);
  animate(
      animated,
      [&] {
        if (movePage) movePage();
        backgroundBt_->setAlpha(opening ? kBackdropAlpha : 0);
        menuArea_->setFrame(target);
      },
      opening ? &TLMenuView::didShowMenu : &TLMenuView::didHideMenu);
}

void TLMenuView::didShowMenu() { raise(&TLMenuViewDelegate::TLMenuViewDidShowMenu); }

void TLMenuView::didHideMenu() {
  raise(&TLMenuViewDelegate::TLMenuViewDidHideMenu);
  setHidden(true);
}

void TLMenuView::toolbarBtTouch() { hideMenuWithAnimation(true); }

void TLMenuView::backgroundTouch() { hideMenuWithAnimation(true); }

// --- Table ----------------------------------------------------------------------------------

int TLMenuView::tableViewNumberOfRowsInSection(ui::TableView&, int) { return int(menuItems_.size()); }

std::shared_ptr<TLNavigationMenuTableViewCell> TLMenuView::makeCell() {
  return std::make_shared<TLNavigationMenuTableViewCell>()->initWithStyle(
      ui::TableViewCellStyle::defaultStyle, kCellIdentifier);
}

std::shared_ptr<ui::TableViewCell> TLMenuView::tableViewCellForRowAtIndexPath(
    ui::TableView& tableView, const ns::IndexPath& indexPath) {
  auto cell = std::dynamic_pointer_cast<TLNavigationMenuTableViewCell>(
      tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
  if (!cell) cell = makeCell();
  if (indexPath.row() >= 0 && std::size_t(indexPath.row()) < menuItems_.size())
    configureCell(*cell, menuItems_[std::size_t(indexPath.row())]);
  return cell;
}

void TLMenuView::configureCell(TLNavigationMenuTableViewCell& cell, const ns::Value& item) {
  std::string title = TLSettings::stringFromObject(item["title"]);
  cell.textLabel()->setText(title);
  cell.textLabel()->setFont(ui::Font::fontWithName("PF Square Sans Pro", 18));
  if (title == kHomeTitle) {
    cell.setIcon(ui::Image::imageNamed("menuItemMain"));
    cell.setSelectedIcon(ui::Image::imageNamed("menuItemMainSel"));
    return;
  }
  long long n = TLSettings::longFromObject(item["id"]);
  auto fallback = [](std::shared_ptr<ui::Image> image) {
    return image ? image : ui::Image::imageNamed("menuItemNoImage");
  };
  cell.setIcon(fallback(ui::Image::imageNamed(ns::format("menuItem%d", n))));
  cell.setSelectedIcon(fallback(ui::Image::imageNamed(ns::format("menuItemSel%d", n))));
}

void TLMenuView::tableViewDidSelectRowAtIndexPath(ui::TableView&, const ns::IndexPath& indexPath) {
  auto keep = shared_from_this();
  clearSearchField();
  if (auto d = delegate_.lock()) d->TLMenuViewDidSelectMenuItem(*this, indexPath.row());
}

// --- Search ---------------------------------------------------------------------------------

void TLMenuView::searchBarSearchButtonClicked(ui::SearchBar& searchBar) {
  auto keep = shared_from_this();
  std::string query = searchBar.text();
  if (ns::utf16Length(ns::trimWhitespaceAndNewlines(query)) < 3) {
    searchBar.resignFirstResponder();
    std::make_shared<ui::AlertView>()->initWithTitle("", kShortQueryMessage, {}, "OK")->show();
    return;
  }
  if (deselectsBeforeSearch())
    if (auto selected = menuTable_->indexPathForSelectedRow())
      menuTable_->deselectRowAtIndexPath(*selected, false);
  if (auto d = delegate_.lock()) d->TLMenuViewDidStartSearch(*this, query);
}
