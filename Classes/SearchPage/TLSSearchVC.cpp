#include "Classes/SearchPage/TLSSearchVC.h"

#include "Analytics/Library/MAI.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/String.h"
#include "UIKit/BarButtonItem.h"
#include "UIKit/Button.h"
#include "UIKit/GestureRecognizer.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"
#include "UIKit/SystemNotifications.h"

namespace {
constexpr double kToolbarHeight = 44.0;
}

bool TLSearchQueryIsLongEnough(const std::string& text) {
  return ns::utf16Length(ns::trimWhitespaceAndNewlines(text)) >= 3;
}

void TLShowSearchQueryTooShortAlert() {
  std::make_shared<ui::AlertView>()
      ->initWithTitle("", TLSSearchVC::kTooShortMessage, std::weak_ptr<ui::AlertViewDelegate>(), "OK")
      ->show();
}

TLSSearchVC::~TLSSearchVC() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

void TLSSearchVC::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  auto me = self<TLSSearchVC>();
  double width = view()->bounds().width();
  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, width, kToolbarHeight});
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar_->setBarStyle(ui::BarStyle::black);
  toolbar_->setBackgroundImage(ui::Image::imageNamed("toolbarBg.png"), ui::ToolbarPosition::any,
                               ui::BarMetrics::defaultMetrics);
  view()->addSubview(toolbar_);

  auto pull =
      std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(ui::BarButtonSystemItem::fixedSpace);
  pull->setWidth(-10.0);
  auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
  menu->setImage(ui::Image::imageNamed("menuBt.png"), ui::ControlStateNormal);
  menu->setFrame({0, 0, 55, 44});
  menu->addTarget(me, &TLSSearchVC::showNavMenu, ui::ControlEventTouchDown);
  auto flexible = [] {
    return std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
        ui::BarButtonSystemItem::flexibleSpace);
  };

  mySearchBar_ = std::make_shared<ui::SearchBar>()->initWithFrame({(width - 300) / 2, 7.0, 300, 30.0});
  mySearchBar_->setSearchFieldBackgroundImage(ui::Image::imageNamed("search_bar_long"),
                                              ui::ControlStateNormal);
  mySearchBar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                    ui::ViewAutoresizingFlexibleRightMargin);
  mySearchBar_->setDelegate(me);
  mySearchBar_->setText(query_);
  mySearchBar_->setShowsBarBackground(false);
  mySearchBar_->setSearchFieldTextColor(ui::Color::grayColor());
  toolbar_->addSubview(mySearchBar_);
  toolbar_->setItems(
      {pull, std::make_shared<ui::BarButtonItem>()->initWithCustomView(menu), flexible(), flexible()});

  cg::Rect screen = ui::Screen::mainScreen()->bounds();
  sSearch_ = std::make_shared<SearchView>()->initWithFrame(
      {screen.x(), kToolbarHeight, screen.width(), screen.height()}, query_);
  sSearch_->setDelegate(me);
  view()->addSubview(sSearch_);

  ns::NotificationCenter::defaultCenter()->addObserver(
      me,
      [weak = std::weak_ptr<TLSSearchVC>(me)](const ns::Notification&) {
        if (auto page = weak.lock()) page->didRotate();
      },
      ui::kDeviceOrientationDidChangeNotification);

  auto tap = std::make_shared<ui::TapGestureRecognizer>()->initWithAction(
      [weak = std::weak_ptr<TLSSearchVC>(me)](ui::GestureRecognizer&) {
        if (auto page = weak.lock()) page->dismissKeyboard();
      });
  tap->setCancelsTouchesInView(false);
  sSearch_->addGestureRecognizer(tap);

  activity_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::whiteLarge);
  cg::Rect b = view()->bounds();
  activity_->setFrame({b.width() / 2 - 15, b.height() / 2 - 15, 30, 30});
  activity_->setAutoresizingMask(
      ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
  view()->addSubview(activity_);
  activity_->startAnimating();

  if (auto tracker = MAI::sharedInstance()->defaultTracker()) tracker->sendView("Search Screen");
}

void TLSSearchVC::searchBarSearchButtonClicked(ui::SearchBar& searchBar) {
  if (!TLSearchQueryIsLongEnough(searchBar.text())) {
    searchBar.resignFirstResponder();
    TLShowSearchQueryTooShortAlert();
    return;
  }
  if (activity_) activity_->startAnimating();
  searchBar.resignFirstResponder();
  if (!sSearch_) return;
  sSearch_->setQuery(searchBar.text());
  sSearch_->searchBegin();
}

void TLSSearchVC::searchCompleted() {
  if (activity_) activity_->stopAnimating();
}

void TLSSearchVC::showNavMenu() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}

void TLSSearchVC::dismissKeyboard() {
  if (mySearchBar_) mySearchBar_->resignFirstResponder();
}

void TLSSearchVC::touchesBegan(const ui::TouchSet& touches, const ui::Event* event) {
  if (mySearchBar_ && mySearchBar_->isFirstResponder() && !touches.empty()) {
    bool onBar = false;
    for (auto v = touches.front()->view(); v && !onBar; v = v->superview()) onBar = v == mySearchBar_;
    if (!onBar) mySearchBar_->resignFirstResponder();
  }
  ui::ViewController::touchesBegan(touches, event);
}

void TLSSearchVC::didRotate() {
  if (!sSearch_) return;
  cg::Rect f = view()->frame();
  sSearch_->setFrame({f.x(), 44.0, f.width(), f.height()});
}

void TLSSearchVC::toolbarBackClick() {
  if (auto navigation = navigationController()) navigation->popViewControllerAnimated(true);
}
