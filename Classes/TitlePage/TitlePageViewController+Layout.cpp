#include <cmath>

#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Foundation/NotificationCenter.h"
#include "UIKit/BarButtonItem.h"
#include "UIKit/Button.h"
#include "UIKit/Font.h"
#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/NavigationController.h"

// The tablet page's views, their layout by orientation, and its lifecycle.

namespace {

constexpr double kStripHeight = 228;

}  // namespace

void TitlePageViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  auto background = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, 1024, 1024});
  background->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  background->setImage(ui::Image::imageNamed("background.png"));
  view()->addSubview(background);
  titleScroll_ = std::make_shared<ui::ScrollView>()->initWithFrame({0, 114, 768, 1000});
  titleScroll_->setContentSize({view()->bounds().width(), 930});
  titleScroll_->setAutoresizingMask(ui::ViewAutoresizingNone);
  view()->addSubview(titleScroll_);
  loadTitleView();
  ui::InterfaceOrientation orientation = statusBarOrientation();
  changeFilmViewOrientationTo(orientation);
  changeScrollsOrientationTo(orientation);
  changeTitleScrollOrientationTo(orientation);
}

void TitlePageViewController::loadTitleView() {
  addToolBar();
  loadSegmentedButton();
  loadFilmView();
}

void TitlePageViewController::addToolBar() {
  auto me = self<TitlePageViewController>();
  double width = view()->bounds().width();
  toolBar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, width, 44});
  toolBar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolBar_->setBarStyle(ui::BarStyle::blackTranslucent);
  toolBar_->setBackgroundColor(ui::Color::clearColor());
  toolBar_->setBackgroundImage(ui::Image::imageNamed("toolbarBg.png"), ui::ToolbarPosition::any,
                               ui::BarMetrics::defaultMetrics);
  view()->addSubview(toolBar_);
  auto space = [] {
    auto item = std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
        ui::BarButtonSystemItem::fixedSpace);
    item->setWidth(-10);
    return item;
  };
  auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
  menu->setImage(ui::Image::imageNamed("menuBt.png"), ui::ControlStateNormal);
  menu->setFrame({0, 0, 55, 44});
  menu->addTarget(me, &TitlePageViewController::TLMainViewMenuClick, ui::ControlEventTouchDown);
  auto back = ui::Button::buttonWithType(ui::ButtonType::custom);
  back->setImage(ui::Image::imageNamed("tbBack.png"), ui::ControlStateNormal);
  back->setFrame({0, 0, 70, 44});
  back->addTarget(me, &TitlePageViewController::toolbarBackClick, ui::ControlEventTouchUpInside);
  toolbarLabel_ = std::make_shared<ui::Label>()->initWithFrame({0, 0, std::floor(width - 280), 44});
  toolbarLabel_->setTextColor(ui::Color::whiteColor());
  toolbarLabel_->setBackgroundColor(ui::Color::clearColor());
  toolbarLabel_->setTextAlignment(ui::TextAlignment::Center);
  toolbarLabel_->setFont(ui::Font::fontWithName("PF Square Sans Pro", 18));
  toolbarLabel_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbarLabel_->setText(TLSettings::stringFromObject(cacheSenderDictionary_["title"]));
  auto custom = [](std::shared_ptr<ui::View> v) {
    return std::make_shared<ui::BarButtonItem>()->initWithCustomView(std::move(v));
  };
  toolBar_->setItems({space(), custom(menu), space(), custom(back), custom(toolbarLabel_)});
}

void TitlePageViewController::toolbarBackClick() {
  if (auto navigation = navigationController()) navigation->popViewControllerAnimated(true);
}

void TitlePageViewController::TLMainViewMenuClick() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}

void TitlePageViewController::loadFilmView() {
  bool landscape = ui::isLandscape(statusBarOrientation());
  cg::Rect headerFrame = landscape ? cg::Rect{0, 0, 1024, 342} : cg::Rect{0, 0, 768, 300};
  cg::Rect socialFrame = landscape ? cg::Rect{210, 275, 200, 43} : cg::Rect{145, 225, 200, 43};
  auto header = std::make_shared<TLTitleFilmView>()->initWithFrame(headerFrame);
  filmView_ = header;
  if (isItemIsEpisode()) header->setTypeIsEpisode(true);
  header->setFilmId(itemId());
  header->setHidden(true);
  loadSocialView(socialFrame);
  titleScroll_->addSubview(header);
  activityForList_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::whiteLarge);
  activityForList_->setFrame(
      {view()->bounds().width() / 2 - 10, headerFrame.origin.y + headerFrame.height() + 50, 20, 40});
  activityForList_->setAutoresizingMask(
      ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
  activityForList_->startAnimating();
  titleScroll_->addSubview(activityForList_);
}

void TitlePageViewController::changeFilmViewOrientationTo(ui::InterfaceOrientation orientation) {
  bool landscape = ui::isLandscape(orientation);
  if (socialView_)
    socialView_->setFrame(landscape ? cg::Rect{185, 265, 200, 43} : cg::Rect{138, 220, 200, 43});
  if (filmView_) filmView_->setFrame(landscape ? cg::Rect{0, 0, 1024, 342} : cg::Rect{0, 0, 768, 300});
}

void TitlePageViewController::changeTitleScrollOrientationTo(ui::InterfaceOrientation orientation) {
  if (!titleScroll_) return;
  bool landscape = ui::isLandscape(orientation);
  double height =
      (landscape ? 370 : 320) + (isSeries_ ? 220 : 0) + (isRoles_ ? 220 : 0) + (isAdvanced_ ? 230 : 0);
  titleScroll_->setContentSize({landscape ? 1016.0 : 760.0, height});
  titleScroll_->setFrame(landscape ? cg::Rect{0, 114, 1024, 634} : cg::Rect{0, 114, 768, 886});
}

void TitlePageViewController::changeScrollsOrientationTo(ui::InterfaceOrientation orientation) {
  bool landscape = ui::isLandscape(orientation);
  double top = landscape ? 342 : 300;
  double width = landscape ? 1024 : 768;
  if (seriesView_) seriesView_->setFrame({0, top, width, kStripHeight});
  if (roleView_) roleView_->setFrame({0, isSeries_ ? top + 240 : top, width, kStripHeight});
  double related = top;
  if (isSeries_ && isRoles_)
    related = top + 460;
  else if (isSeries_)
    related = top + 240;
  else if (isRoles_)
    related = top + 220;
  if (advancedView_) advancedView_->setFrame({0, related, width, kStripHeight});
}

void TitlePageViewController::viewWillAppear(bool animated) {
  ui::ViewController::viewWillAppear(animated);
  if (!isPhone()) {
    ui::InterfaceOrientation orientation = statusBarOrientation();
    changeScrollsOrientationTo(orientation);
    changeTitleScrollOrientationTo(orientation);
    changeFilmViewOrientationTo(orientation);
    // The device may have turned while another page covered this one.
    changeTitleSubviewOrientationTo(orientation);
  }
  if (auto moviePlayer = player()) {
    if (autoPlayPending_) {
      moviePlayer->setAutoPlay(true);
      autoPlayPending_ = false;
    }
    moviePlayer->preparePlayList();
  }
}

void TitlePageViewController::viewWillDisappear(bool animated) {
  ui::ViewController::viewWillDisappear(animated);
  if (auto moviePlayer = player()) moviePlayer->resetPlayList();
}

void TitlePageViewController::changeTitleSubviewOrientationTo(ui::InterfaceOrientation orientation) {
  if (!titleSubview_) return;
  titleSubview_->setAutoresizingMask(ui::ViewAutoresizingNone);
  titleSubview_->setFrame(ui::isLandscape(orientation) ? cg::Rect{0, 114, 1024, 640}
                                                       : cg::Rect{0, 114, 768, 880});
}

bool TitlePageViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) {
  // Lays out for the side shown now: the question may be put for any side.
  ui::InterfaceOrientation current = statusBarOrientation();
  changeTitleSubviewOrientationTo(current);
  changeFilmViewOrientationTo(current);
  changeScrollsOrientationTo(current);
  changeTitleScrollOrientationTo(current);
  return true;
}

void TitlePageViewController::willRotateToInterfaceOrientation(ui::InterfaceOrientation orientation,
                                                               double duration) {
  // The section view takes the frame of the side being turned to, as the other views do.
  if (titleSubview_) {
    changeTitleSubviewOrientationTo(orientation);
    titleSubview_->layoutSubviews();
  }
  changeFilmViewOrientationTo(orientation);
  changeScrollsOrientationTo(orientation);
  changeTitleScrollOrientationTo(orientation);
  ui::ViewController::willRotateToInterfaceOrientation(orientation, duration);
}
