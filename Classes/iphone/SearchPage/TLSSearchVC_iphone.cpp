#include "Classes/iphone/SearchPage/TLSSearchVC_iphone.h"

#include "Analytics/Library/MAI.h"
#include "Classes/SearchPage/TLSSearchVC.h"
#include "Classes/TLExceptionLog.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "UIKit/Button.h"
#include "UIKit/Font.h"
#include "UIKit/ImageView.h"
#include "UIKit/NavigationController.h"

namespace {
constexpr double kToolbarHeight = 44.0;
constexpr const char* kCellIdentifier = "customCell";
}  // namespace

void TLSSearchVC_iphone::loadView() {
  ui::ViewController::loadView();
  auto v = view();
  v->setBackgroundColor(ui::Color::colorWithWhite(0.1, 1));
  cg::Rect b = v->bounds();
  labelTop_ = std::make_shared<ui::Label>()->initWithFrame({10, kToolbarHeight + 4, b.width() - 20, 21});
  labelTop_->setBackgroundColor(ui::Color::clearColor());
  labelTop_->setTextColor(ui::Color::whiteColor());
  labelTop_->setFont(ui::Font::fontWithName("PF Square Sans Pro", 15));
  labelTop_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  v->addSubview(labelTop_);
  double top = kToolbarHeight + 50;
  mainTableView_ = std::make_shared<ui::TableView>()->initWithFrame({0, top, b.width(), b.height() - top},
                                                                    ui::TableViewStyle::plain);
  mainTableView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  mainTableView_->setBackgroundColor(ui::Color::clearColor());
  mainTableView_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::none);
  mainTableView_->setRowHeight(TLVideoItemPriviewCell::kRowHeight);
  v->addSubview(mainTableView_);
}

void TLSSearchVC_iphone::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  auto me = self<TLSSearchVC_iphone>();
  mainTableView_->setDataSource(me);
  mainTableView_->setDelegate(me);

  double width = view()->bounds().width();
  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, width, kToolbarHeight});
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  defaultTableRect_ = mainTableView_->frame();
  toolbar_->setBarStyle(ui::BarStyle::blackTranslucent);
  toolbar_->setBackgroundColor(ui::Color::clearColor());
  toolbar_->setBackgroundImage(ui::Image::imageNamed("toolbar.png")->stretchableImageWithLeftCapWidth(3, 0),
                               ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics);
  view()->addSubview(toolbar_);

  auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
  menu->setBackgroundColor(ui::Color::clearColor());
  menu->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  menu->setBackgroundImage(ui::Image::imageNamed("menuBtIphone.png"), ui::ControlStateNormal);
  menu->addTarget(me, &TLSSearchVC_iphone::showNavMenu, ui::ControlEventTouchDown);
  cg::Rect bar = toolbar_->bounds();
  menu->setFrame({bar.width() - 45, bar.height() / 2 - 15, 39, 30});
  toolbar_->addSubview(menu);

  mySearchBar_ = std::make_shared<ui::SearchBar>()->initWithFrame({10, 7, 250, 30});
  mySearchBar_->setSearchFieldBackgroundImage(ui::Image::imageNamed("search_bar_background"),
                                              ui::ControlStateNormal);
  toolbar_->addSubview(mySearchBar_);
  mySearchBar_->setShowsBarBackground(false);
  mySearchBar_->setSearchFieldTextColor(ui::Color::grayColor());
  mySearchBar_->setDelegate(me);
  mySearchBar_->setText(query_);
  mySearchBar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);

  searchBegin();

  activity_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::white);
  cg::Rect b = view()->bounds();
  activity_->setFrame({b.width() / 2 - 15, b.height() / 2 - 15, 30, 30});
  activity_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                 ui::ViewAutoresizingFlexibleRightMargin);
  toolbar_->addSubview(activity_);
  activity_->startAnimating();

  if (auto tracker = MAI::sharedInstance()->defaultTracker()) tracker->sendView("Search Screen");
}

void TLSSearchVC_iphone::searchBarSearchButtonClicked(ui::SearchBar& searchBar) {
  if (!TLSearchQueryIsLongEnough(searchBar.text())) {
    searchBar.resignFirstResponder();
    TLShowSearchQueryTooShortAlert();
    return;
  }
  if (activity_) activity_->startAnimating();
  searchBar.resignFirstResponder();
  query_ = searchBar.text();
  searchBegin();
}

void TLSSearchVC_iphone::setStatusLines(int lines, double height) {
  labelTop_->setNumberOfLines(lines);
  cg::Rect f = labelTop_->frame();
  labelTop_->setFrame({f.x(), f.y(), f.width(), height});
}

void TLSSearchVC_iphone::searchBegin() {
  resultList_.clear();
  mainTableView_->reloadData();
  setStatusLines(2, 42.0);
  mainTableView_->setFrame(defaultTableRect_);
  labelTop_->setText("Идет поиск. Пожалуйста, подождите\n");
  std::weak_ptr<TLSSearchVC_iphone> weak = self<TLSSearchVC_iphone>();
  search_.send(
      query_,
      [weak](const ns::Value& reply) {
        if (auto page = weak.lock()) page->searchReplyReceived(reply);
      },
      [weak](const ns::ErrorPtr& error) {
        if (auto page = weak.lock()) TLSettings::showConnectionError(error, page);
      });
}

void TLSSearchVC_iphone::searchReplyReceived(const ns::Value& reply) {
  if (activity_) activity_->stopAnimating();
  TLSearchReply::Flat list;
  // A reply that cannot be read leaves the waiting text and the empty list.
  if (!TLLogExceptions([&] { list = TLSearchReply::listForPhone(reply); })) return;
  resultList_ = std::move(list.found);
  if (!resultList_.empty()) {
    setStatusLines(2, 42.0);
    mainTableView_->setFrame(defaultTableRect_);
    labelTop_->setText(ns::format("По запросу \"%@\" найдено:\n", query_));
  } else {
    setStatusLines(3, 60.0);
    cg::Rect r = defaultTableRect_;
    mainTableView_->setFrame({r.x(), r.y() + 22.0, r.width(), r.height() - 22.0});
    labelTop_->setText(ns::format("По запросу \"%@\" ничего не найдено.\nРекомендуем посмотреть:", query_));
    resultList_ = std::move(list.recommended);
  }
  mainTableView_->reloadData();
}

void TLSSearchVC_iphone::searchCompleted() {
  if (activity_) activity_->stopAnimating();
}

void TLSSearchVC_iphone::showNavMenu() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}

void TLSSearchVC_iphone::dismissKeyboard() {
  if (mySearchBar_) mySearchBar_->resignFirstResponder();
}

void TLSSearchVC_iphone::touchesBegan(const ui::TouchSet& touches, const ui::Event* event) {
  if (mySearchBar_ && mySearchBar_->isFirstResponder() && !touches.empty()) {
    bool onBar = false;
    for (auto v = touches.front()->view(); v && !onBar; v = v->superview()) onBar = v == mySearchBar_;
    if (!onBar) mySearchBar_->resignFirstResponder();
  }
  ui::ViewController::touchesBegan(touches, event);
}

void TLSSearchVC_iphone::toolbarBackClick() {
  if (auto navigation = navigationController()) navigation->popViewControllerAnimated(true);
}

int TLSSearchVC_iphone::tableViewNumberOfRowsInSection(ui::TableView&, int) {
  return int(resultList_.size());
}

double TLSSearchVC_iphone::tableViewHeightForRowAtIndexPath(ui::TableView&, const ns::IndexPath&) {
  return TLVideoItemPriviewCell::kRowHeight;
}

std::shared_ptr<ui::TableViewCell> TLSSearchVC_iphone::tableViewCellForRowAtIndexPath(
    ui::TableView& tableView, const ns::IndexPath& indexPath) {
  auto cell = std::dynamic_pointer_cast<TLVideoItemPriviewCell>(
      tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
  if (!cell) {
    cell = TLVideoItemPriviewCell::cellFromInterfaceFile(kCellIdentifier);
    auto selected = std::make_shared<ui::ImageView>()->initWithImage(
        ui::Image::imageNamed("cellBackground.png")->stretchableImageWithLeftCapWidth(0, 5));
    cell->setSelectedBackgroundView(selected);
  }
  int row = indexPath.row();
  if (row < 0 || std::size_t(row) >= resultList_.size()) return cell;
  const ns::Value& entry = resultList_[std::size_t(row)];
  cell->setTitle(TLSettings::stringFromObject(entry["name"]));
  cell->setDescription(TLSettings::stringFromObject(entry["description"]));
  cell->setID(TLSettings::longFromObject(entry["id"]));
  cell->setUrl(TLSettings::stringFromObject(entry["url"]));
  cell->setImageUrl(TLSettings::stringFromObject(entry["image"]));
  cell->setRate(entry["rating"].intValue());
  cell->separatorView()->setImage(
      ui::Image::imageNamed(row == 0 ? "cellBackgroundFirst.png" : "cellBackground.png")
          ->stretchableImageWithLeftCapWidth(0, 5));
  return cell;
}

void TLSSearchVC_iphone::tableViewDidSelectRowAtIndexPath(ui::TableView&, const ns::IndexPath& indexPath) {
  selectVideoWithNumber(indexPath.row());
}

void TLSSearchVC_iphone::selectVideoWithNumber(int n) {
  if (n < 0 || std::size_t(n) >= resultList_.size()) return;
  const ns::Value& entry = resultList_[std::size_t(n)];
  ns::Dictionary info;
  info.set("id", entry["id"].longLongValue());
  info.set("url", TLSettings::stringFromObject(entry["url"]));
  info.set("title", TLSettings::stringFromObject(entry["name"]));
  info.set("description", TLSettings::stringFromObject(entry["description"]));
  info.set("image", TLSettings::stringFromObject(entry["image"]));
  info.set("parent_id", "");
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLOpenVideoItem",
                                                                ns::Value(std::move(info)));
}
