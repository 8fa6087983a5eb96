#include "Classes/MainPage/MainView.h"

#include "UIKit/BarButtonItem.h"
#include "UIKit/ImageView.h"
#include "UIKit/Toolbar.h"

namespace {

// The slider's height and the gap under it, as the layout places the first tab's rows.
constexpr double kRowsTop = 527;
constexpr double kSliderBand = 477;
constexpr double kBottomMargin = 40;

double widthFor(ui::InterfaceOrientation orientation) { return ui::isLandscape(orientation) ? 1024 : 768; }

ui::InterfaceOrientation statusBarOrientation() {
  return ui::Application::sharedApplication()->statusBarOrientation();
}

}  // namespace

std::shared_ptr<MainView> MainView::initWithFrame(const cg::Rect& frame) {
  ui::View::initWithFrame(frame);
  guarded([&] {
    auto background =
        std::make_shared<ui::ImageView>()->initWithImage(ui::Image::imageNamed("background.png"));
    background->setFrame({frame.x(), frame.y(), 1024, 1024});
    background->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    insertSubviewAtIndex(background, 0);
    setIsSliderLoaded(false);
    setElementsCountForParse(0);
    auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame(frame);
    addSubview(scroll);
    setScrollView(scroll);
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin |
                        ui::ViewAutoresizingFlexibleHeight | ui::ViewAutoresizingFlexibleBottomMargin);
    addToolBar();
    loadView();
  });
  return self<MainView>();
}

void MainView::addToolBar() {
  guarded([&] {
    auto bar = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, bounds().width(), 44});
    bar->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    bar->setBarStyle(ui::BarStyle::blackTranslucent);
    bar->setBackgroundColor(ui::Color::clearColor());
    bar->setBackgroundImage(ui::Image::imageNamed("toolbarBg.png"), ui::ToolbarPosition::any,
                            ui::BarMetrics::defaultMetrics);

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

    auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
    menu->setBackgroundColor(ui::Color::clearColor());
    menu->setBackgroundImage(ui::Image::imageNamed("menuBt2.png"), ui::ControlStateNormal);
    menu->setTitle("     Навигация", ui::ControlStateNormal);
    menu->titleLabel()->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
    menu->setFrame({0, 0, 140, 44});
    menu->addTarget(self<MainViewBase>(), &MainViewBase::TLMainViewMenuClick, ui::ControlEventTouchDown);

    auto logo = std::make_shared<ui::ImageView>()->initWithImage(ui::Image::imageNamed("logoTL.png"));
    auto reload = makeReloadButton({100, 100, 50, 44});
    setReloadButton(reload);
    bar->setItems({fixed, item(menu), flexible(), item(logo), flexible(), item(reload)});
    addSubview(bar);
  });
}

std::shared_ptr<MainSliderBase> MainView::makeSlider() {
  auto slider = std::make_shared<MainSlider>()->initWithFilms(placeholderFilms());
  slider->setDelegate(std::static_pointer_cast<TLMainSliderDelegate>(self<MainView>()));
  return slider;
}

void MainView::createRubricSwitchButtons() {
  guarded([&] {
    double sliderHeight = slider() ? slider()->frame().height() : 0;
    installRubricSwitch({"Популярные", "Новые поступления"}, {130, 150},
                        {scrollView()->bounds().width() / 2 - 136, sliderHeight + 15, 272, 34}, 16);
  });
}

MainViewBase::RowMetrics MainView::rowMetrics() const {
  return {.containerTop = 50,
          .newRowPitch = 425,
          .popularRowPitch = 420,
          .rowTop = 0,
          .rowSpacing = 420,
          .rowHeight = 410,
          .countAdds = true,
          .firstTabStopsWhenEmpty = true,
          .secondTabAlignsWithFirst = true};
}

std::shared_ptr<TLRubricScrollViewBase> MainView::makeRow(const ns::URL& url, const cg::Rect& frame,
                                                          const std::string& sort) {
  auto row = std::make_shared<TLRubricScrollView>()->initForMainPageWithUrl(url, frame, sort);
  row->setRubricDelegate(std::static_pointer_cast<TLRubricScrollViewDelegate>(self<MainView>()));
  return row;
}

void MainView::didBuildTab(const std::shared_ptr<ui::View>& container) {
  double sliderHeight = slider() ? slider()->frame().height() : 0;
  scrollView()->setContentSize(
      {bounds().width(), sliderHeight + container->frame().height() + kBottomMargin});
  scrollView()->setBounces(true);
  // The layout puts the rows under the switch; rows built after the page was laid out (a list
  // that came late, a reload) wait for the next pass as the first ones did.
  setNeedsLayout();
}

void MainView::rowReportCounted() {
  if (reloadButton()) reloadButton()->stopAnimating();
}

void MainView::layoutSubviews() {
  guarded([&] {
    ui::InterfaceOrientation orientation = statusBarOrientation();
    double width = widthFor(orientation);
    double rowsHeight = horizScrollViewNew() ? horizScrollViewNew()->frame().height() : 0;
    cg::Rect rows{0, kRowsTop, width, rowsHeight};
    if (horizScrollViewNew()) horizScrollViewNew()->setFrame(rows);
    if (horizScrollViewPopular()) horizScrollViewPopular()->setFrame(rows);
    changeScrollOrientation(orientation);
  });
}

void MainView::changeScrollOrientation(ui::InterfaceOrientation orientation) {
  guarded([&] {
    double width = widthFor(orientation);
    double rowsHeight = horizScrollViewNew() ? horizScrollViewNew()->frame().height() : 0;
    scrollView()->setContentSize({width, rowsHeight + kSliderBand + kBottomMargin});
    cg::Rect frame = scrollView()->frame();
    scrollView()->setFrame({frame.x(), frame.y(), width, bounds().height()});
  });
}
