#include "Classes/iphone/TitlePage/TitlePageViewController_iphone.h"

#include <exception>
#include <functional>

#include "Classes/TLExceptionLog.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/TitlePage/TLTitleFilmView_iphone.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Graphics/Layer.h"
#include "UIKit/BarButtonItem.h"
#include "UIKit/Button.h"
#include "UIKit/Font.h"
#include "UIKit/Image.h"
#include "UIKit/Screen.h"

TitlePageViewController_iphone::~TitlePageViewController_iphone() {
  for (const auto& row : {seriesView_, advancedView_, roleView_})
    if (auto phoneRow = std::dynamic_pointer_cast<TLRubricScrollView_iphone>(row))
      phoneRow->setRubricDelegate({});
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

void TitlePageViewController_iphone::observeNewItem() {
  auto me = std::static_pointer_cast<TitlePageViewController_iphone>(shared_from_this());
  std::weak_ptr<TitlePageViewController_iphone> weak = me;
  ns::NotificationCenter::defaultCenter()->addObserver(
      me,
      [weak](const ns::Notification&) {
        if (auto page = weak.lock()) page->changeDataForNewItem();
      },
      "AKMoviePlayerDidSetNewItem");
}

void TitlePageViewController_iphone::changeDataForNewItem() { ns::log("data changed"); }

void TitlePageViewController_iphone::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  cg::Rect screen = ui::Screen::mainScreen()->bounds();
  view()->setFrame({screen.origin.x, screen.origin.y, screen.width(), screen.height() - 20});
  // The page's texts are white: without a dark backdrop of its own the page would show them on
  // the window's white. Like the phone's person page it lies on "background.png", which a
  // reload keeps.
  auto background = std::make_shared<ui::ImageView>()->initWithFrame(view()->bounds());
  background->setImage(ui::Image::imageNamed("background.png"));
  background->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  view()->addSubview(background);
  titleScroll_ = std::make_shared<ui::ScrollView>()->initWithFrame({0, 114, 768, 1000});
  titleScroll_->setContentSize({view()->bounds().width(), 930});
  titleScroll_->setAutoresizingMask(ui::ViewAutoresizingNone);
  view()->addSubview(titleScroll_);
  loadTitleView();
}

bool TitlePageViewController_iphone::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) {
  return false;
}

void TitlePageViewController_iphone::addToolBar() {
  TLLogExceptions([&] {
    auto me = std::static_pointer_cast<TitlePageViewController>(shared_from_this());
    toolBar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, view()->bounds().width(), 44});
    toolBar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    toolBar_->setBackgroundImage(ui::Image::imageNamed("toolbar.png")->stretchableImageWithLeftCapWidth(3, 0),
                                 ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics);
    toolBar_->setBarStyle(ui::BarStyle::blackTranslucent);
    toolBar_->setBackgroundColor(ui::Color::clearColor());
    view()->addSubview(toolBar_);
    auto space = [] {
      auto item = std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
          ui::BarButtonSystemItem::fixedSpace);
      item->setWidth(-10);
      return item;
    };
    auto custom = [](std::shared_ptr<ui::View> v) {
      return std::make_shared<ui::BarButtonItem>()->initWithCustomView(std::move(v));
    };
    auto back = ui::Button::buttonWithType(ui::ButtonType::custom);
    back->setImage(ui::Image::imageNamed("tmBackIphone.png"), ui::ControlStateNormal);
    back->setFrame({0, 0, 70, 44});
    back->addTarget(me, &TitlePageViewController::toolbarBackClick, ui::ControlEventTouchUpInside);
    auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
    menu->setImage(ui::Image::imageNamed("menuBtIphone.png"), ui::ControlStateNormal);
    menu->setFrame({0, 0, 38, 30});
    menu->addTarget(me, &TitlePageViewController::TLMainViewMenuClick, ui::ControlEventTouchDown);
    toolbarLabel_ = std::make_shared<ui::Label>()->initWithFrame({0, 0, 190, 44});
    toolbarLabel_->setTextColor(ui::Color::whiteColor());
    toolbarLabel_->setBackgroundColor(ui::Color::clearColor());
    toolbarLabel_->setTextAlignment(ui::TextAlignment::Center);
    toolbarLabel_->setFont(ui::Font::fontWithName("PF Square Sans Pro", 18));
    toolbarLabel_->setLineBreakMode(ui::LineBreakMode::CharWrap);
    toolbarLabel_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    toolbarLabel_->setText(TLSettings::stringFromObject(cacheSenderDictionary_["title"]));
    auto fade = std::make_shared<cg::GradientLayer>();
    fade->setFrame(toolbarLabel_->bounds());
    fade->setColors({cg::Color::white(1, 1), cg::Color::clear()});
    fade->setStartPoint({0.9, 1.0});
    fade->setEndPoint({1.0, 1.0});
    toolbarLabel_->layer()->setMask(fade);
    toolBar_->setItems({space(), custom(back), space(), custom(toolbarLabel_), custom(menu), space()});
  });
}

void TitlePageViewController_iphone::loadFilmView() {
  TLLogExceptions([&] {
    cg::Rect b = view()->bounds();
    auto header = std::make_shared<TLTitleFilmView_iphone>()->initWithFrame(
        {9, 109, b.width() - 18, b.height() - 65 - 44});
    filmView_ = header;
    if (isItemIsEpisode()) header->setTypeIsEpisode(true);
    header->setFilmId(itemId());
    header->setHidden(true);
    loadSocialView({header->bounds().width() / 2 - 75, 170, 150, 43});
    view()->addSubview(header);
    activityForList_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::whiteLarge);
    cg::Rect f = header->frame();
    activityForList_->setFrame({b.width() / 2 - 10, f.origin.y + f.height() + 50, 20, 40});
    activityForList_->setAutoresizingMask(
        ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
        ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    activityForList_->startAnimating();
    titleScroll_->addSubview(activityForList_);
  });
}

void TitlePageViewController_iphone::viewWillAppear(bool animated) {
  ui::ViewController::viewWillAppear(animated);
  TLLogExceptions([&] {
    if (auto moviePlayer = player()) moviePlayer->preparePlayList();
  });
}

void TitlePageViewController_iphone::viewWillDisappear(bool animated) {
  ui::ViewController::viewWillDisappear(animated);
  TLLogExceptions([&] {
    if (auto moviePlayer = player()) moviePlayer->resetPlayList();
  });
}
