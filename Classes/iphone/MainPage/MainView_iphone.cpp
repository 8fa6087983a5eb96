#include "Classes/iphone/MainPage/MainView_iphone.h"

#include "Foundation/NotificationCenter.h"
#include "UIKit/BarButtonItem.h"
#include "UIKit/ImageView.h"

namespace {

constexpr double kToolbarBottom = 43;

}  // namespace

std::shared_ptr<MainView_iphone> MainView_iphone::initWithFrame(const cg::Rect& frame) {
  ui::View::initWithFrame(frame);
  guarded([&] {
    // The rows' white texts need a dark ground: without one the window's white shows through.
    auto ground = ui::Image::imageNamed("background.png");
    setBackgroundColor(ground ? ui::Color::colorWithPatternImage(ground) : ui::Color::blackColor());
    setIsSliderLoaded(false);
    setElementsCountForParse(0);
    auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame(
        {frame.x(), kToolbarBottom, frame.width(), frame.height() - kToolbarBottom});
    scroll->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    addSubview(scroll);
    setScrollView(scroll);
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin |
                        ui::ViewAutoresizingFlexibleHeight | ui::ViewAutoresizingFlexibleBottomMargin);
    loadView();
  });
  return self<MainView_iphone>();
}

void MainView_iphone::addToolBar() {
  guarded([&] {
    if (toolBar_) return;
    auto bar = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, bounds().width(), 44});
    bar->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    auto background = ui::Image::imageNamed("toolbar.png");
    bar->setBackgroundImage(background ? background->stretchableImageWithLeftCapWidth(3, 0) : nullptr,
                            ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics);
    bar->setBarStyle(ui::BarStyle::blackTranslucent);
    bar->setBackgroundColor(ui::Color::clearColor());

    auto fixed = std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
        ui::BarButtonSystemItem::fixedSpace);
    fixed->setWidth(-10);
    auto flexible = [] {
      return std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
          ui::BarButtonSystemItem::flexibleSpace);
    };
    auto item = [](std::shared_ptr<ui::View> view) {
      return std::make_shared<ui::BarButtonItem>()->initWithCustomView(std::move(view));
    };
    auto reload = makeReloadButton({5, 0, 50, 44});
    setReloadButton(reload);
    auto logo = std::make_shared<ui::ImageView>()->initWithImage(ui::Image::imageNamed("logoTL.png"));
    auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
    menu->setBackgroundColor(ui::Color::clearColor());
    menu->setBackgroundImage(ui::Image::imageNamed("menuBtIphone.png"), ui::ControlStateNormal);
    menu->setFrame({0, 0, 39, 30});
    menu->addTarget(self<MainViewBase>(), &MainViewBase::TLMainViewMenuClick, ui::ControlEventTouchDown);
    bar->setItems({fixed, flexible(), item(reload), flexible(), item(logo), flexible(), item(menu)});
    addSubview(bar);
    toolBar_ = bar;
  });
}

std::shared_ptr<MainSliderBase> MainView_iphone::makeSlider() {
  auto slider = std::make_shared<MainSlider_iphone>()->initWithFilms(placeholderFilms(), bounds().size);
  slider->setDelegate(std::static_pointer_cast<TLMainSliderDelegateIphone>(self<MainView_iphone>()));
  return slider;
}

void MainView_iphone::createRubricSwitchButtons() {
  double sliderHeight = slider() ? slider()->frame().height() : 0;
  installRubricSwitch({"Популярные", "Новые"}, {122, 122},
                      {bounds().width() / 2 - 122, sliderHeight + bounds().height() * 0.025 + 7, 244, 34},
                      17);
}

MainViewBase::RowMetrics MainView_iphone::rowMetrics() const {
  return {.containerTop = 50,
          .newRowPitch = 320,
          .popularRowPitch = 320,
          .rowTop = 15,
          .rowSpacing = 315,
          .rowHeight = 305,
          .countAdds = false,
          .firstTabStopsWhenEmpty = false,
          .secondTabAlignsWithFirst = false};
}

std::shared_ptr<TLRubricScrollViewBase> MainView_iphone::makeRow(const ns::URL& url, const cg::Rect& frame,
                                                                 const std::string& sort) {
  auto row = std::make_shared<TLRubricScrollView_iphone>()->initForMainPageWithUrl(url, frame, sort);
  row->setRubricDelegate(std::static_pointer_cast<TLRubricScrollViewDelegateIphone>(self<MainView_iphone>()));
  return row;
}

void MainView_iphone::didLoadView() {
  double sliderHeight = slider() ? slider()->frame().height() : 0;
  double rowsHeight = horizScrollViewNew() ? horizScrollViewNew()->frame().height() : 0;
  double switchHeight = rubricSwitchButton() ? rubricSwitchButton()->frame().height() : 0;
  scrollView()->setContentSize({bounds().width(), sliderHeight + rowsHeight + switchHeight});
  scrollView()->setBounces(true);
}

void MainView_iphone::stopReloadAnimation() {
  setIsSliderLoaded(true);
  MainViewBase::stopReloadAnimation();
}

void MainView_iphone::reloadContent() {
  if (reloadButton() && reloadButton()->isAnimating()) return;
  startReloadAnimation();
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLMenuItemsReload");
  // The page stays empty under its toolbar until the new category list is loaded.
  removeContainer(horizScrollViewNew());
  removeContainer(horizScrollViewPopular());
  dropRubricSwitch();
  dropSlider();
}
