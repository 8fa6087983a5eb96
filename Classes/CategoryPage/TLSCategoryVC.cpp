#include "Classes/CategoryPage/TLSCategoryVC.h"

#include <exception>

#include "Analytics/Library/MAI.h"
#include "Classes/CategoryPage/CategoryTitlesQuery.h"
#include "Classes/Navigation/TLMenuNavigationController.h"
#include "Classes/PageShell.h"
#include "Classes/TLSettings.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "KSCustomPopover/KSCustomPopoverBackgroundView.h"
#include "UIKit/Application.h"
#include "UIKit/BarButtonItem.h"
#include "UIKit/Device.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"
#include "UIKit/SystemNotifications.h"

namespace {

constexpr double kToolbarHeight = 44;
// How far the genre and year buttons move left while the refresh button shows.
constexpr double kRefreshShift = 50;

}  // namespace

TLSCategoryVC::~TLSCategoryVC() {
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
  // The popovers may still be on screen; they must not outlive the page in the window.
  if (genrePickerPopover_) genrePickerPopover_->dismissPopoverAnimated(false);
  if (yearPickerPopover_) yearPickerPopover_->dismissPopoverAnimated(false);
}

std::shared_ptr<TLSCategoryVC> TLSCategoryVC::initWithNibName(const std::string& nibName,
                                                              const std::shared_ptr<ns::Bundle>& bundle) {
  ui::ViewController::initWithNibName(nibName, bundle);
  return self<TLSCategoryVC>();
}

std::shared_ptr<ui::Button> TLSCategoryVC::addToolbarButton(const char* background, const cg::Rect& frame,
                                                            const char* title) {
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  button->setBackgroundImage(ui::Image::imageNamed(background), ui::ControlStateNormal);
  button->setFrame(frame);
  if (title) {
    button->setTitle(std::string(title), ui::ControlStateNormal);
    button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
  }
  toolbar_->addSubview(button);
  return button;
}

void TLSCategoryVC::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  genres_ = ns::Value();
  // White texts (the nothing-found page) stand on it.
  view()->setBackgroundColor(ui::Color::blackColor());
  double width = view()->bounds().width();
  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, width, kToolbarHeight});
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar_->setBarStyle(ui::BarStyle::black);
  toolbar_->setBackgroundImage(ui::Image::imageNamed("toolbarBg.png"), ui::ToolbarPosition::any,
                               ui::BarMetrics::defaultMetrics);
  view()->addSubview(toolbar_);

  auto me = self<TLSCategoryVC>();
  auto pull =
      std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(ui::BarButtonSystemItem::fixedSpace);
  pull->setWidth(-10);
  auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
  menu->setImage(ui::Image::imageNamed("menuBt.png"), ui::ControlStateNormal);
  menu->setFrame({0, 0, 55, 44});
  menu->addTarget(me, &TLSCategoryVC::showNavMenu, ui::ControlEventTouchDown);
  auto flexible = [] {
    return std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
        ui::BarButtonSystemItem::flexibleSpace);
  };
  titleLabel_ = std::make_shared<ui::Label>()->initWithFrame({0, 0, 300, 30});
  titleLabel_->setText(categoryTitle_);
  titleLabel_->setTextColor(ui::Color::whiteColor());
  titleLabel_->setBackgroundColor(ui::Color::clearColor());
  titleLabel_->setTextAlignment(ui::TextAlignment::Center);
  toolbar_->setItems({pull, std::make_shared<ui::BarButtonItem>()->initWithCustomView(menu), flexible(),
                      std::make_shared<ui::BarButtonItem>()->initWithCustomView(titleLabel_), flexible()});

  backBtn_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  backBtn_->setImage(ui::Image::imageNamed("tbBack.png"), ui::ControlStateNormal);
  backBtn_->setFrame({70, 3, 65, 40});
  backBtn_->addTarget(me, &TLSCategoryVC::toolbarBackClick, ui::ControlEventTouchUpInside);
  toolbar_->addSubview(backBtn_);
  double barWidth = toolbar_->bounds().width();
  genreBtn_ = addToolbarButton("toolbar_button.png", {barWidth - 168, 6, 72, 31}, "Жанр");
  genreBtn_->addTarget(me, &TLSCategoryVC::genrePressed, ui::ControlEventTouchUpInside);
  yearBtn_ = addToolbarButton("toolbar_button.png", {barWidth - 88, 6, 72, 31}, "Год");
  yearBtn_->addTarget(me, &TLSCategoryVC::yearPressed, ui::ControlEventTouchUpInside);
  refreshBtn_ = addToolbarButton("reloadBt.png", {barWidth - 50, 4, 43, 36}, nullptr);
  refreshBtn_->addTarget(me, &TLSCategoryVC::refreshPressed, ui::ControlEventTouchUpInside);
  refreshBtn_->setHidden(true);

  cg::Rect screen = ui::Screen::mainScreen()->bounds();
  sCategary_ = std::make_shared<CategoryView>()->initWithFrame(
      {0, kToolbarHeight, screen.width(), screen.height()}, categoryId_);
  sCategary_->setViewController(me);
  view()->addSubview(sCategary_);

  getCategoryGenresFromServer();
  genreNameSelected_.reset();
  yearSelected_ = 0;

  auto center = ns::NotificationCenter::defaultCenter();
  center->addObserver(
      me, [this](const ns::Notification&) { appHasGoneInBackground(); },
      ui::kApplicationDidEnterBackgroundNotification);
  center->addObserver(
      me, [this](const ns::Notification&) { didRotate(); }, ui::kDeviceOrientationDidChangeNotification);

  if (auto tracker = MAI::sharedInstance()->defaultTracker())
    tracker->sendView(ns::format("Category Screen - %@", categoryTitle_));
}

void TLSCategoryVC::viewWillAppear(bool animated) {
  ui::ViewController::viewWillAppear(animated);
  rotateInterface();
}

void TLSCategoryVC::didReceiveMemoryWarning() {
  ui::ViewController::didReceiveMemoryWarning();
  if (sCategary_) sCategary_->clearMemory();
}

void TLSCategoryVC::showNavMenu() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}

void TLSCategoryVC::toolbarBackClick() {
  if (!genreNameSelected_ && yearSelected_ < 1) {
    auto navigation = navigationController();
    if (auto menu = std::dynamic_pointer_cast<TLMenuNavigationController>(navigation))
      if (auto table = menu->navigationMenu() ? menu->navigationMenu()->menuTable() : nullptr)
        table->selectRowAtIndexPath(ns::IndexPath::indexPathForRow(0, 0), false,
                                    ui::TableViewScrollPosition::top);
    if (navigation) navigation->popViewControllerAnimated(true);
    return;
  }
  yearSelected_ = -1;
  genreNameSelected_.reset();
  sCategary_->resetParams();
  if (genrePicker_) genrePicker_->reset();
  if (yearPicker_) yearPicker_->reset();
  titleLabel_->setText(categoryTitle_);
}

std::shared_ptr<ui::PopoverController> TLSCategoryVC::makePopover(
    const std::shared_ptr<PopoverChooser>& chooser, const char* title, bool grayBar) {
  chooser->setTitle(title);
  chooser->setDelegate(std::static_pointer_cast<PopoverDelegate>(self<TLSCategoryVC>()));
  auto navigation = std::make_shared<ui::NavigationController>()->initWithRootViewController(chooser);
  if (grayBar) navigation->navigationBar()->setTintColor(ui::Color::grayColor());
  auto popover = std::make_shared<ui::PopoverController>()->initWithContentViewController(navigation);
  popover->setPopoverBackgroundViewClass(ui::PopoverBackgroundViewClass::of<KSCustomPopoverBackgroundView>());
  return popover;
}

void TLSCategoryVC::presentChooser(const std::shared_ptr<ui::PopoverController>& popover,
                                   const std::shared_ptr<PopoverChooser>& chooser,
                                   const std::shared_ptr<ui::Button>& button) {
  if (auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(popover->contentViewController()))
    navigation->navigationBar();
  popover->presentPopoverFromRect(button->frame(), view(), ui::PopoverArrowDirectionAny, true);
  chooser->tableView()->scrollToRowAtIndexPath(ns::IndexPath::indexPathForRow(chooser->choosedRow(), 0),
                                               ui::TableViewScrollPosition::bottom, true);
}

void TLSCategoryVC::genrePressed(ui::Control&) {
  if (yearPickerPopover_) yearPickerPopover_->dismissPopoverAnimated(true);
  if (genres_.isNil()) return;
  if (!genrePicker_) {
    const ns::Array* list = genres_.asArray();
    genrePicker_ = std::make_shared<PopoverChooser>()->initWithStyle(ui::TableViewStyle::plain,
                                                                     list ? *list : ns::Array());
    genrePickerPopover_ = makePopover(genrePicker_, "Жанры", true);
  }
  presentChooser(genrePickerPopover_, genrePicker_, genreBtn_);
}

void TLSCategoryVC::yearPressed(ui::Control&) {
  if (genrePickerPopover_) genrePickerPopover_->dismissPopoverAnimated(true);
  if (!yearPicker_) {
    yearPicker_ = std::make_shared<PopoverChooser>()->initWithStyle(ui::TableViewStyle::plain);
    yearPickerPopover_ = makePopover(yearPicker_, "Год", false);
  }
  presentChooser(yearPickerPopover_, yearPicker_, yearBtn_);
}

void TLSCategoryVC::refreshPressed(ui::Control&) {
  showRefreshBtn(false);
  sCategary_->reloadInfo();
  sCategary_->removeSliderView();
  sCategary_->createSliderViewWithFilms(CategoryView::placeholderFilms());
}

void TLSCategoryVC::genreSelected(long long genreId, const std::optional<std::string>& genreName) {
  genreNameSelected_ = genreName;
  sCategary_->setGenreId(genreId);
  if (genrePickerPopover_) genrePickerPopover_->dismissPopoverAnimated(true);
  updateTitle();
}

void TLSCategoryVC::yearSelected(int year) {
  yearSelected_ = year;
  sCategary_->setYear(year);
  if (yearPickerPopover_) yearPickerPopover_->dismissPopoverAnimated(true);
  updateTitle();
}

void TLSCategoryVC::updateTitle() {
  if (genreNameSelected_ && yearSelected_ >= 1)
    titleLabel_->setText(*genreNameSelected_ + " - " + yearsByIndex(yearSelected_));
  else if (genreNameSelected_)
    titleLabel_->setText(*genreNameSelected_);
  else if (yearSelected_ >= 1)
    titleLabel_->setText(yearsByIndex(yearSelected_));
  else
    titleLabel_->setText(categoryTitle_);
}

std::string TLSCategoryVC::yearsByIndex(int year) {
  return CategoryTitlesQuery::yearTitle(year, CategoryTitlesQuery::currentYear());
}

void TLSCategoryVC::getCategoryGenresFromServer() {
  std::weak_ptr<TLSCategoryVC> weak = self<TLSCategoryVC>();
  std::string title = categoryTitle_;
  startJSONRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString(TLSettings::genresUrl(categoryId_))),
      [weak](const ns::Value& JSON) {
        auto page = weak.lock();
        if (page && JSON.isDictionary()) page->parseJSONData(JSON);
      },
      [title](const ns::ErrorPtr& error) {
        ns::log("%@ Category Data Request Failed with Error: %@, %@", title,
                error ? error->describe() : "(null)",
                error ? ns::Value(error->userInfo()).describe() : "(null)");
      });
}

void TLSCategoryVC::parseJSONData(const ns::Value& JSON) {
  const ns::Array* groups = JSON["items"].asArray();
  const ns::Array* list = groups && !groups->empty() ? (*groups)[0]["items"].asArray() : nullptr;
  // A reply of another shape leaves the genre button waiting for the next request.
  if (!list) {
    ns::log("Exception: %@", "the genre list is not an array");
    return;
  }
  genres_ = *list;
}

void TLSCategoryVC::showRefreshBtn(bool show) {
  if (!refreshBtn_) return;
  refreshBtn_->setHidden(!show);
  rotateInterface();
}

void TLSCategoryVC::appHasGoneInBackground() {
  if (genrePickerPopover_) genrePickerPopover_->dismissPopoverAnimated(true);
  if (yearPickerPopover_) yearPickerPopover_->dismissPopoverAnimated(true);
}

void TLSCategoryVC::didRotate() {
  int orientation = static_cast<int>(ui::Device::currentDevice()->orientation());
  if (orientation == 0 || orientation == 5 || orientation == 6 || orientation == currentOrientation_) return;
  currentOrientation_ = orientation;
  rotateInterface();
}

void TLSCategoryVC::rotateInterface() {
  if (!toolbar_) return;
  if (genrePickerPopover_) genrePickerPopover_->dismissPopoverAnimated(true);
  if (yearPickerPopover_) yearPickerPopover_->dismissPopoverAnimated(true);
  double width = view()->bounds().width();
  double shift = refreshBtn_->isHidden() ? 0 : kRefreshShift;
  genreBtn_->setFrame({width - 168 - shift, 6, 72, 31});
  yearBtn_->setFrame({width - 88 - shift, 6, 72, 31});
  refreshBtn_->setFrame({width - 50, 4, 43, 36});
  cg::Rect f = view()->frame();
  sCategary_->setFrame({f.x(), kToolbarHeight, f.width(), f.height()});
}
