#include "Classes/iphone/CategoryPage/TLSCategoryVC_iphone.h"

#include "Analytics/Library/MAI.h"
#include "AppAnalytics/Library/MALTracker.h"
#include "Classes/CategoryPage/CategoryTitlesQuery.h"
#include "Classes/Navigation/TLMenuNavigationController.h"
#include "Classes/Navigation/TLMenuView.h"
#include "Classes/PageShell.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"
#include "Classes/iphone/Navigation/TLMenuNavigationController_iphone.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/URLRequest.h"
#include "Graphics/Layer.h"
#include "UIKit/BarButtonItem.h"
#include "UIKit/Font.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"
#include "UIKit/SystemNotifications.h"

namespace {
constexpr double kToolbarHeight = 44.0;
constexpr double kPanelHeight = 260.0;
constexpr double kPickerHeight = 216.0;
constexpr double kNothingFoundShift = 46.0;
constexpr const char* kCellIdentifier = "customCell";
constexpr const char* kAllGenres = "Все категории";
// The year rows after the single years, and the codes they stand for.
constexpr std::pair<const char*, int> kDecades[] = {
    {"1980-е", 4}, {"1970-е", 3}, {"1960-е", 2}, {"<1960", 1}};
}  // namespace

std::shared_ptr<TLSCategoryVC_iphone> TLSCategoryVC_iphone::initWithNibName(
    const std::string& nibName, const std::shared_ptr<ns::Bundle>& bundle) {
  ui::ViewController::initWithNibName(nibName, bundle);
  return self<TLSCategoryVC_iphone>();
}

TLSCategoryVC_iphone::~TLSCategoryVC_iphone() {
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

const char* TLSCategoryVC_iphone::orderdir(int grouping) {
  // Newness goes oldest first on the phone.
  return grouping == 1 ? "asc" : CategoryTitlesQuery::orderdir(grouping);
}

std::string TLSCategoryVC_iphone::yearFilter(int year) {
  switch (year) {
    case 1:
      return "&year_min=1900&year_max=1960";
    case 2:
      return "&year_min=1960&year_max=1970";
    case 3:
      return "&year_min=1970&year_max=1980";
    case 4:
      return "&year_min=1980&year_max=1990";
    default:
      return year > 1000 ? ns::format("&year_min=%d&year_max=%d", year, year) : "";
  }
}

void TLSCategoryVC_iphone::loadView() {
  ui::ViewController::loadView();
  auto v = view();
  v->setBackgroundColor(ui::Color::colorWithWhite(0.1, 1));
  cg::Rect b = v->bounds();
  double top = kToolbarHeight + 53.0;
  mainTableView_ = std::make_shared<ui::TableView>()->initWithFrame({0, top, b.width(), b.height() - top},
                                                                    ui::TableViewStyle::plain);
  mainTableView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  mainTableView_->setRowHeight(TLVideoItemPriviewCell::kRowHeight);
  v->addSubview(mainTableView_);

  nothingFoundLabel_ = std::make_shared<ui::Label>()->initWithFrame({10, top, b.width() - 20, 44});
  nothingFoundLabel_->setBackgroundColor(ui::Color::clearColor());
  nothingFoundLabel_->setTextColor(ui::Color::whiteColor());
  nothingFoundLabel_->setFont(ui::Font::fontWithName("PF Square Sans Pro", 15));
  v->addSubview(nothingFoundLabel_);

  popoverView_ = std::make_shared<ui::ScrollView>()->initWithFrame({0, top, b.width(), kPanelHeight});
  popoverView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  v->addSubview(popoverView_);
  showButton_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  showButton_->setFrame({b.width() / 2 - 60, 220, 120, 34});
  showButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                   ui::ViewAutoresizingFlexibleRightMargin);
  showButton_->setTitle("Показать", ui::ControlStateNormal);
  showButton_->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
  showButton_->addTarget(self<TLSCategoryVC_iphone>(), &TLSCategoryVC_iphone::showWithParams,
                         ui::ControlEventTouchUpInside);
  popoverView_->addSubview(showButton_);

  pimpImage_ = std::make_shared<ui::ImageView>()->initWithFrame({b.width() - 96, kToolbarHeight - 4, 39, 8});
  pimpImage_->setImage(ui::Image::imageNamed("pimp.png"));
  v->addSubview(pimpImage_);
}

void TLSCategoryVC_iphone::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  auto me = self<TLSCategoryVC_iphone>();
  // 1. The loading state.
  grouping_ = 0;
  genreId_ = year_ = -1;
  totalCount_ = 0;
  loadedPreviewList_.clear();
  reccomendedToSee_.clear();
  isLoading_ = alertShowed_ = false;
  lastChoosedGenreId_ = lastChoosedYearId_ = 0;
  // The application frame's size: the navigation's page area lies below the status bar already.
  view()->setFrame({{}, ui::Screen::mainScreen()->applicationFrame().size});
  mainTableView_->setDataSource(me);
  mainTableView_->setDelegate(me);

  // 2. The list and the note.
  mainTableView_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::none);
  mainTableView_->setBackgroundColor(ui::Color::clearColor());
  defaultTableRect_ = mainTableView_->frame();
  nothingFoundLabel_->setHidden(true);
  nothingFoundLabel_->setLineBreakMode(cg::LineBreakMode::WordWrap);
  nothingFoundLabel_->setNumberOfLines(0);
  nothingFoundLabel_->setText(kNothingFoundText);

  // 3. The filter panel.
  popoverView_->setHidden(true);
  pimpImage_->setHidden(true);
  popoverView_->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.6));
  popoverView_->setContentSize({popoverView_->contentSize().width, kPanelHeight});
  popoverView_->setBounces(false);
  showButton_->setBackgroundImage(
      ui::Image::imageNamed("showBtn.png")->stretchableImageWithLeftCapWidth(6, 0), ui::ControlStateNormal);

  // 4. The picker and its dressing. The picker keeps the device's standard picker height, so its
  // rows end above the show button at the panel's foot.
  paramPicker_ = std::make_shared<ui::PickerView>()->initWithFrame({20, 0, 280, kPickerHeight});
  paramPicker_->setDelegate(me);
  paramPicker_->setShowsSelectionIndicator(true);
  paramPicker_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                    ui::ViewAutoresizingFlexibleRightMargin);
  popoverView_->addSubview(paramPicker_);
  pickerOverlay_ = std::make_shared<IXPickerOverlayView>()->initWithFrame(paramPicker_->frame());
  pickerOverlay_->setHostPickerView(paramPicker_);
  pickerOverlay_->setUserInteractionEnabled(false);
  pickerOverlay_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                      ui::ViewAutoresizingFlexibleRightMargin);
  popoverView_->addSubview(pickerOverlay_);
  popoverView_->bringSubviewToFront(showButton_);

  // 5. The spinner.
  cg::Rect b = view()->bounds();
  activityView_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::white);
  activityView_->setFrame({b.width() / 2 - 20, b.height() - 25, 40, 20});
  activityView_->setAutoresizingMask(
      ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
  view()->addSubview(activityView_);

  // 6. The picker's columns.
  yearsList_ = {"Все"};
  for (int y = CategoryTitlesQuery::currentYear(); y >= 1990; --y) yearsList_.push_back(std::to_string(y));
  for (const auto& [text, code] : kDecades) yearsList_.push_back(text);
  genresList_ = {ns::Value(ns::Dictionary{{"title", kAllGenres}})};
  paramPicker_->setDataSource(me);

  // 7-9. The tool bar and its buttons.
  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, b.width(), kToolbarHeight});
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar_->setBarStyle(ui::BarStyle::blackTranslucent);
  toolbar_->setBackgroundColor(ui::Color::clearColor());
  toolbar_->setBackgroundImage(ui::Image::imageNamed("toolbar.png")->stretchableImageWithLeftCapWidth(3, 0),
                               ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics);
  view()->addSubview(toolbar_);
  cg::Rect bar = toolbar_->bounds();
  auto barButton = [&](const char* image, const cg::Rect& frame, void (TLSCategoryVC_iphone::*action)(),
                       unsigned event) {
    auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
    button->setImage(ui::Image::imageNamed(image), ui::ControlStateNormal);
    button->setBackgroundColor(ui::Color::clearColor());
    button->setFrame(frame);
    button->addTarget(me, action, event);
    toolbar_->addSubview(button);
    return button;
  };
  menuButton_ = barButton("menuBtIphone.png", {bar.width() - 51, bar.height() / 2 - 15, 39, 30},
                          &TLSCategoryVC_iphone::showNavMenu, ui::ControlEventTouchDown);
  menuButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  paramsButton_ = barButton("paramsBtn.png", {bar.width() - 98, bar.height() / 2 - 15, 39, 30},
                            &TLSCategoryVC_iphone::showParams, ui::ControlEventTouchDown);
  paramsButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  barButton("tmBackIphone.png", {5.0, bar.height() / 2 - 15, 61.0, 30},
            &TLSCategoryVC_iphone::toolbarBackClick, ui::ControlEventTouchUpInside);
  auto pull =
      std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(ui::BarButtonSystemItem::fixedSpace);
  pull->setWidth(-10.0);
  auto flexible = [] {
    return std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
        ui::BarButtonSystemItem::flexibleSpace);
  };
  titleLabel_ = std::make_shared<ui::Label>()->initWithFrame({0, 0, 300, 30});
  titleLabel_->setTextColor(ui::Color::whiteColor());
  titleLabel_->setBackgroundColor(ui::Color::clearColor());
  titleLabel_->setTextAlignment(ui::TextAlignment::Center);
  titleLabel_->setText(categoryTitle_);
  toolbar_->setItems(
      {pull, flexible(), std::make_shared<ui::BarButtonItem>()->initWithCustomView(titleLabel_), flexible()});

  // 10-11. The sort strip and the reload button in its place after a failure.
  createRubricSwitchButtons();
  refreshBtn_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  refreshBtn_->setBackgroundImage(ui::Image::imageNamed("reloadBt.png"), ui::ControlStateNormal);
  refreshBtn_->setFrame({10, 50, 43, 36});
  refreshBtn_->addTarget(me, &TLSCategoryVC_iphone::refreshPressed, ui::ControlEventTouchUpInside);
  view()->addSubview(refreshBtn_);
  showRefreshBtn(false);

  // 12. The panel over everything else.
  view()->bringSubviewToFront(popoverView_);
  getCategoryGenresFromServer();
  view()->bringSubviewToFront(mainTableView_);
  view()->bringSubviewToFront(popoverView_);
  view()->bringSubviewToFront(pimpImage_);

  // 13.
  genreNameSelected_.reset();
  yearSelected_ = 0;
  ns::NotificationCenter::defaultCenter()->addObserver(
      me,
      [weak = std::weak_ptr<TLSCategoryVC_iphone>(me)](const ns::Notification&) {
        if (auto page = weak.lock()) page->didRotate();
      },
      ui::kDeviceOrientationDidChangeNotification);
  didRotate();

  // 14. The version 1 tracker is never started, so this records nothing.
  MALTracker::sharedTracker()->trackPageview(
      ns::format("/categoryId=%d_title=%@", categoryId_, categoryTitle_));

  getListPack(0);
}

void TLSCategoryVC_iphone::createRubricSwitchButtons() {
  double width = view()->bounds().width();
  switchStrip_ = std::make_shared<ui::ImageView>()->initWithFrame({0, kToolbarHeight, width, 53.0});
  std::static_pointer_cast<ui::ImageView>(switchStrip_)
      ->setImage(ui::Image::imageNamed("switchBG")->stretchableImageWithLeftCapWidth(5, 0));
  switchStrip_->setUserInteractionEnabled(true);
  switchStrip_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  view()->addSubview(switchStrip_);

  sortScroll_ = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, width, 53.0});
  sortScroll_->setContentSize({560.0, 53.0});
  sortScroll_->setShowsHorizontalScrollIndicator(false);
  sortScroll_->setBounces(true);
  sortScroll_->setBackgroundColor(ui::Color::clearColor());
  sortScroll_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  switchStrip_->addSubview(sortScroll_);

  ns::Array titles, images, widths{140, 120, 120, 140};
  for (int g = 0; g < 4; ++g) {
    titles.push_back(CategoryTitlesQuery::segmentTitle(g));
    images.push_back(ns::Value(nullptr));
  }
  auto me = self<TLSCategoryVC_iphone>();
  blackControl_ = std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      4, titles, images, 38, widths, ui::Image::imageNamed("black_divider"), 6.0f,
      ui::Image::imageNamed("customBTN_normal"), ui::Image::imageNamed("customBTN_clicked"), 9000, me);
  blackControl_->setFrame({18.0, 9.0, 523.0, 38.0});
  blackControl_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                     ui::ViewAutoresizingFlexibleRightMargin);
  blackControl_->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16.0));
  sortScroll_->addSubview(blackControl_);

  // Both ends fade out over 5 % of the strip's width.
  auto fade = std::make_shared<cg::GradientLayer>();
  fade->setFrame({0, 0, width, 53.0});
  fade->setColors({cg::Color::white(1, 0), cg::Color::white(1), cg::Color::white(1), cg::Color::white(1, 0)});
  fade->setLocations({0, 0.05, 0.95, 1});
  fade->setStartPoint({0, 0.5});
  fade->setEndPoint({1, 0.5});
  switchStrip_->layer()->setMask(fade);
}

void TLSCategoryVC_iphone::viewWillAppear(bool animated) {
  ui::ViewController::viewWillAppear(animated);
  rotateInterface();
}

void TLSCategoryVC_iphone::getListPack(int pack) {
  isLoading_ = true;
  if (nothingFoundLabel_) nothingFoundLabel_->setHidden(true);
  std::string url = TLSettings::categoryTitles(categoryId_, CategoryTitlesQuery::orderby(grouping_),
                                               orderdir(grouping_), pack);
  if (genreId_ != -1) url += ns::format("&genre_id=%d", genreId_);
  url += yearFilter(year_);
  ns::log("%@", url);
  if (activityView_) activityView_->startAnimating();
  std::weak_ptr<TLSCategoryVC_iphone> weak = self<TLSCategoryVC_iphone>();
  unsigned list = listNumber_;
  startJSONRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString(url)), CategoryTitlesQuery::cutReply,
      [weak, list, pack](const ns::Value& reply) {
        auto page = weak.lock();
        if (page && page->listNumber_ == list) page->packArrived(pack, reply);
      },
      [weak, list](const ns::ErrorPtr& error) {
        auto page = weak.lock();
        if (page && page->listNumber_ == list) page->packFailed(error);
      });
}

void TLSCategoryVC_iphone::packArrived(int pack, const ns::Value& reply) {
  if (activityView_) activityView_->stopAnimating();
  CategoryTitlesQuery::Reply read = CategoryTitlesQuery::readReply(reply);
  // A reply the list cannot use is a failure of the pack, not a silent stop.
  if (!read.totalCount || !read.items) return packFailed(nullptr);
  totalCount_ = *read.totalCount;
  for (ns::Value& entry : *read.items) loadedPreviewList_.push_back(std::move(entry));
  isLoading_ = false;
  lastPlacedPack_ = pack;
  reccomendedToSee_ = read.also.value_or(ns::Array());
  cg::Rect r = defaultTableRect_;
  if (loadedPreviewList_.empty()) {
    nothingFoundLabel_->setHidden(false);
    loadedPreviewList_ = reccomendedToSee_;
    mainTableView_->setFrame({r.x(), r.y() + kNothingFoundShift, r.width(), r.height() - kNothingFoundShift});
  } else {
    mainTableView_->setFrame(r);
  }
  if (reply["items"].count() < 15) totalCount_ = int(loadedPreviewList_.size());
  mainTableView_->reloadData();
}

void TLSCategoryVC_iphone::packFailed(const ns::ErrorPtr& error) {
  isLoading_ = false;
  if (activityView_) activityView_->stopAnimating();
  showRefreshBtn(true);
  if (!alertShowed_) {
    if (error)
      TLSettings::showConnectionError(error, self<TLSCategoryVC_iphone>());
    else
      TLSettings::noServerDataAlertWithDelegate(self<TLSCategoryVC_iphone>());
    alertShowed_ = true;
  }
  ns::log("%@", error ? ns::Value(error->userInfo()).describe() : std::string("(null)"));
  ns::log("Error parse");
}

void TLSCategoryVC_iphone::scrollViewDidScroll(ui::ScrollView& scrollView) {
  if (&scrollView != mainTableView_.get()) return;
  double y = scrollView.contentOffset().y, h = scrollView.bounds().height();
  double H = scrollView.contentSize().height, bottom = scrollView.contentInset().bottom;
  int entries = int(loadedPreviewList_.size());
  if (H + kDragPastEnd < y + h - bottom && !isLoading_ && entries < totalCount_ && entries > 0)
    getListPack(lastPlacedPack_ + 1);
}

void TLSCategoryVC_iphone::restartList() {
  ++listNumber_;
  lastPlacedPack_ = -1;
  loadedPreviewList_.clear();
  getListPack(0);
}

void TLSCategoryVC_iphone::touchUpInsideSegmentIndex(unsigned segmentIndex) {
  int i = int(segmentIndex);
  if (i == grouping_ || i < 0 || i > 3) return;
  if (auto tracker = MAI::sharedInstance()->defaultTracker())
    tracker->sendEventWithCategory(
        ns::format("Category Screen - %@", TLSettings::getCategoryNameById(std::to_string(categoryId_))),
        std::string("Переход на вкладку"), std::string(CategoryTitlesQuery::analyticsLabel(i)), ns::Value());
  loadedPreviewList_.clear();
  mainTableView_->setContentOffset({0, 0}, false);
  mainTableView_->setBackgroundColor(ui::Color::clearColor());
  mainTableView_->reloadData();
  grouping_ = i;
  restartList();

  // Bring the chosen segment into view.
  double stripWidth = sortScroll_->bounds().width();
  double x = 0;
  if (i == 3) {
    x = sortScroll_->contentSize().width - stripWidth;
  } else if (i > 0) {
    cg::Rect segment = blackControl_->buttons()[std::size_t(i)]->frame();
    x = segment.x() - (stripWidth - segment.width()) / 2.5;
  }
  ui::View::animateWithDuration(0.5, [&] {
    sortScroll_->setContentOffset({x, sortScroll_->contentOffset().y});
  });
}

void TLSCategoryVC_iphone::showParams() {
  if (popoverView_->isHidden()) {
    popoverView_->setHidden(false);
    pimpImage_->setHidden(false);
    return;
  }
  popoverView_->setHidden(true);
  pimpImage_->setHidden(true);
  paramPicker_->selectRowInComponent(lastChoosedGenreId_, 0, false);
  paramPicker_->selectRowInComponent(lastChoosedYearId_, 1, false);
}

void TLSCategoryVC_iphone::touchesBegan(const ui::TouchSet& touches, const ui::Event* event) {
  if (popoverView_ && !popoverView_->isHidden() && !touches.empty()) {
    double y = touches.front()->locationInView(view()).y, top = popoverView_->frame().y();
    if (y <= top || y >= top + 300.0) showParams();
  }
  ui::ViewController::touchesBegan(touches, event);
}

void TLSCategoryVC_iphone::showWithParams() {
  popoverView_->setHidden(true);
  pimpImage_->setHidden(true);
  lastChoosedGenreId_ = std::max(0, paramPicker_->selectedRowInComponent(0));
  lastChoosedYearId_ = std::max(0, paramPicker_->selectedRowInComponent(1));
  genreId_ = lastChoosedGenreId_ == 0 || std::size_t(lastChoosedGenreId_) >= genresList_.size()
                 ? -1
                 : TLSettings::longFromObject(genresList_[std::size_t(lastChoosedGenreId_)]["id"]);
  year_ = -1;
  if (lastChoosedYearId_ > 0 && std::size_t(lastChoosedYearId_) < yearsList_.size()) {
    const std::string& text = yearsList_[std::size_t(lastChoosedYearId_)];
    year_ = ns::Value(text).intValue();
    for (const auto& [decade, code] : kDecades)
      if (text == decade) year_ = code;
  }
  loadedPreviewList_.clear();
  mainTableView_->reloadData();
  restartList();
}

void TLSCategoryVC_iphone::refreshPressed() {
  showWithParams();
  showRefreshBtn(false);
}

void TLSCategoryVC_iphone::showRefreshBtn(bool show) {
  if (refreshBtn_) refreshBtn_->setHidden(!show);
  if (switchStrip_) switchStrip_->setHidden(show);
}

void TLSCategoryVC_iphone::getCategoryGenresFromServer() {
  std::weak_ptr<TLSCategoryVC_iphone> weak = self<TLSCategoryVC_iphone>();
  startJSONRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString(TLSettings::genresUrl(categoryId_))),
      [weak](const ns::Value& reply) {
        auto page = weak.lock();
        if (page && reply.isDictionary()) page->parseJSONData(reply);
      },
      [weak](const ns::ErrorPtr& error) {
        auto page = weak.lock();
        if (!page || page->alertShowed_) return;
        page->alertShowed_ = true;
        // With the page as delegate, dismissing this alert lets later failures alert again.
        TLSettings::showConnectionError(error, page);
      });
}

void TLSCategoryVC_iphone::parseJSONData(const ns::Value& reply) {
  ns::Array list{ns::Value(ns::Dictionary{{"title", kAllGenres}})};
  if (const ns::Array* genres = reply["items"].at(0)["items"].asArray())
    for (const ns::Value& genre : *genres)
      if (genre.isDictionary()) list.push_back(genre);
  genresList_ = std::move(list);
  if (paramPicker_) paramPicker_->reloadComponent(0);
}

void TLSCategoryVC_iphone::showNavMenu() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}

void TLSCategoryVC_iphone::toolbarBackClick() {
  auto navigation = navigationController();
  if (auto menu = std::dynamic_pointer_cast<TLMenuNavigationController_iphone>(navigation)) {
    if (auto table = menu->navigationMenu() ? menu->navigationMenu()->menuTable() : nullptr)
      table->selectRowAtIndexPath(ns::IndexPath::indexPathForRow(0, 0), false,
                                  ui::TableViewScrollPosition::top);
  }
  if (navigation) navigation->popViewControllerAnimated(true);
}

int TLSCategoryVC_iphone::tableViewNumberOfRowsInSection(ui::TableView&, int) {
  return int(loadedPreviewList_.size());
}

double TLSCategoryVC_iphone::tableViewHeightForRowAtIndexPath(ui::TableView&, const ns::IndexPath&) {
  return TLVideoItemPriviewCell::kRowHeight;
}

std::shared_ptr<ui::TableViewCell> TLSCategoryVC_iphone::tableViewCellForRowAtIndexPath(
    ui::TableView& tableView, const ns::IndexPath& indexPath) {
  auto cell = std::dynamic_pointer_cast<TLVideoItemPriviewCell>(
      tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
  if (cell) {
    cell->imageView()->setImage(ui::Image::imageNamed("TLCinemaEmpty_.png"));
  } else {
    cell = TLVideoItemPriviewCell::cellFromInterfaceFile(kCellIdentifier);
    auto shift = [](const std::shared_ptr<ui::View>& v, double dx) {
      cg::Rect f = v->frame();
      v->setFrame({f.x() + dx, f.y(), f.width(), f.height()});
    };
    shift(cell->imageView(), 10.0);
    shift(cell->titleLabel(), 3.0);
    shift(cell->descriptionLabel(), 3.0);
    cell->separatorView()->setImage(
        ui::Image::imageNamed("cellCheckedBackground.png")->stretchableImageWithLeftCapWidth(0, 5));
  }
  int row = indexPath.row();
  if (row < 0 || std::size_t(row) >= loadedPreviewList_.size()) return cell;
  const ns::Value& entry = loadedPreviewList_[std::size_t(row)];
  cell->separatorView()->setImage(
      ui::Image::imageNamed(row == 0 ? "cellBackgroundFirst.png" : "cellBackground.png")
          ->stretchableImageWithLeftCapWidth(1, 5));
  cell->setIsSelected(false);
  cell->setLoadPriority(-1);
  cell->setID(TLSettings::longFromObject(entry["id"]));
  cell->setTitle(TLSettings::stringFromObject(entry["name"]));
  cell->setDescription(TLSettings::stringFromObject(entry["description"]));
  cell->setUrl(TLSettings::stringFromObject(entry["url"]));
  cell->setImageUrl(TLSettings::stringFromObject(entry["image"]));
  cell->setRate(TLSettings::intFromObject(entry["rating"]));
  return cell;
}

void TLSCategoryVC_iphone::tableViewDidSelectRowAtIndexPath(ui::TableView& tableView,
                                                            const ns::IndexPath& indexPath) {
  tableView.deselectRowAtIndexPath(indexPath, true);
  selectVideoWithNumber(indexPath.row());
}

void TLSCategoryVC_iphone::selectVideoWithNumber(int n) {
  if (n < 0 || std::size_t(n) >= loadedPreviewList_.size()) return;
  const ns::Value& entry = loadedPreviewList_[std::size_t(n)];
  ns::Dictionary info;
  info.set("id", TLSettings::titleInfoIdFromObject(entry["id"]));
  info.set("url", TLSettings::stringFromObject(entry["url"]));
  info.set("title", TLSettings::stringFromObject(entry["name"]));
  info.set("description", TLSettings::stringFromObject(entry["description"]));
  info.set("image", TLSettings::stringFromObject(entry["image"]));
  info.set("parent_id", "");
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLOpenVideoItem",
                                                                ns::Value(std::move(info)));
}

int TLSCategoryVC_iphone::pickerViewNumberOfRowsInComponent(ui::PickerView&, int component) {
  return component == 1 ? int(yearsList_.size()) : int(genresList_.size());
}

std::optional<std::string> TLSCategoryVC_iphone::pickerViewTitleForRowForComponent(ui::PickerView&, int row,
                                                                                   int component) {
  if (row < 0) return std::nullopt;
  if (component == 1) return std::size_t(row) < yearsList_.size() ? yearsList_[std::size_t(row)] : "";
  if (std::size_t(row) >= genresList_.size()) return std::nullopt;
  return TLSettings::stringFromObject(genresList_[std::size_t(row)]["title"]);
}

double TLSCategoryVC_iphone::pickerViewWidthForComponent(ui::PickerView&, int component) {
  return component == 0 ? 160.0 : component == 1 ? 90.0 : 0;
}
