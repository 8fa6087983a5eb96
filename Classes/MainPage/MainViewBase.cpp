#include "Classes/MainPage/MainViewBase.h"

#include <exception>

#include "Analytics/Library/MAI.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"

MainViewBase::~MainViewBase() {
  // Nothing that outlives the view may report to it or keep advancing.
  if (slider_) slider_->stopAsync();
  retireRows(horizScrollViewNew_);
  retireRows(horizScrollViewPopular_);
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

void MainViewBase::guarded(const std::function<void()>& block) {
  try {
    block();
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

ns::Array MainViewBase::placeholderFilms() {
  return {ns::Dictionary{
      {"name", ""}, {"detail", ""}, {"description", ""}, {"bgColor", "000000"}, {"image", "photo1.jpeg"}}};
}

// MARK: Loads

void MainViewBase::loadView() {
  guarded([&] {
    startReloadAnimation();
    unsigned segment =
        rubricSwitchButton_ ? static_cast<unsigned>(rubricSwitchButton_->selectedButtonIndex()) : 0;
    if (elementsCountForParse_ < 1) elementsCountForParse_ = 0;
    createSlider();
    createRubricSwitchButtons();
    didCreateSwitch();
    removeContainer(horizScrollViewNew_);
    removeContainer(horizScrollViewPopular_);
    touchUpInsideSegmentIndex(segment);
    rubricSwitchButton_->setSelectedAtIndex(segment);
    if (segment > 0) rubricSwitchButton_->deselectAtIndex(0);
    didLoadView();
  });
}

void MainViewBase::reloadContent() {
  if (reloadButton_ && reloadButton_->isAnimating()) return;
  startReloadAnimation();
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLMenuItemsReload");
}

void MainViewBase::TLMainViewMenuClick() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}

void MainViewBase::startReloadAnimation() {
  isErrorShow_ = false;
  if (reloadButton_) reloadButton_->startAnimating();
}

void MainViewBase::stopReloadAnimation() {
  if (isSliderLoaded_ && elementsCountForParse_ <= 0 && reloadButton_) reloadButton_->stopAnimating();
}

void MainViewBase::showConnectionError() {
  if (isErrorShow_) return;
  isErrorShow_ = true;
  TLSettings::noServerDataAlert();
}

void MainViewBase::sliderDidLoad(bool loaded) {
  if (!loaded) showConnectionError();
  isSliderLoaded_ = true;
  stopReloadAnimation();
}

void MainViewBase::rowDidLoad(bool loaded) {
  if (!loaded) showConnectionError();
  --elementsCountForParse_;
  rowReportCounted();
}

// MARK: Building

void MainViewBase::createSlider() {
  dropSlider();
  slider_ = makeSlider();
  scrollView_->addSubview(slider_);
}

void MainViewBase::dropSlider() {
  if (!slider_) return;
  if (auto timer = slider_->sliderTimer()) timer->invalidate();
  slider_->setSliderTimer(nullptr);
  slider_->stopAsync();
  slider_->removeFromSuperview();
}

void MainViewBase::dropRubricSwitch() {
  if (rubricSwitchButton_) rubricSwitchButton_->removeFromSuperview();
}

void MainViewBase::retireRows(const std::shared_ptr<ui::View>& container) {
  if (!container) return;
  for (const auto& view : container->subviews()) {
    if (auto row = std::dynamic_pointer_cast<TLRubricScrollView>(view)) {
      row->setRubricDelegate({});
      row->stopAsync();
    } else if (auto phoneRow = std::dynamic_pointer_cast<TLRubricScrollView_iphone>(view)) {
      phoneRow->setRubricDelegate({});
    }
  }
}

void MainViewBase::removeContainer(const std::shared_ptr<ui::View>& container) {
  if (!container || !container->superview()) return;
  retireRows(container);
  container->removeFromSuperview();
}

void MainViewBase::installRubricSwitch(const ns::Array& titles, const ns::Array& widths,
                                       const cg::Rect& frame, double fontSize) {
  dropRubricSwitch();
  auto control = std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      2, titles, ns::Array{ns::Value::null(), ns::Value::null()}, 38, widths,
      ui::Image::imageNamed("black_divider"), 10.0f, ui::Image::imageNamed("segment_button"),
      ui::Image::imageNamed("segment_button_pressed"), kSwitchTag,
      std::static_pointer_cast<CustomSegmentedControlDelegate>(self<MainViewBase>()));
  rubricSwitchButton_ = control;
  control->setFrame(frame);
  control->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                               ui::ViewAutoresizingFlexibleRightMargin);
  control->setFont(ui::Font::fontWithName("PF Square Sans Pro", fontSize));
  scrollView_->addSubview(control);
}

std::shared_ptr<AKActivityButton> MainViewBase::makeReloadButton(const cg::Rect& frame) {
  auto button = AKActivityButton::buttonWithType(ui::ButtonType::custom);
  button->setFrame(frame);
  button->setActivitiImage(ui::Image::imageNamed("reloadBtBg"));
  button->setImage(ui::Image::imageNamed("reloadBt"));
  button->addTarget(self<MainViewBase>(), &MainViewBase::reloadContent, ui::ControlEventTouchUpInside);
  return button;
}

// MARK: Tabs

void MainViewBase::touchUpInsideSegmentIndex(unsigned index) {
  guarded([&] {
    if (index > 1) return;
    sendTabEvent(index == 0 ? "популярные" : "новые поступления");
    const auto& shown = index == 0 ? horizScrollViewNew_ : horizScrollViewPopular_;
    const auto& hidden = index == 0 ? horizScrollViewPopular_ : horizScrollViewNew_;
    if (hidden) hidden->setHidden(true);
    if (shown && shown->superview())
      shown->setHidden(false);
    else if (index == 0)
      createNewestView();
    else
      createPopularView();
  });
}

void MainViewBase::createNewestView() {
  guarded([&] { createTabRows(0); });
}

void MainViewBase::createPopularView() {
  guarded([&] { createTabRows(1); });
}

void MainViewBase::createTabRows(unsigned segment) {
  startReloadAnimation();
  std::vector<ns::URL> urls = TLSettings::getCategoriesURL();
  int n = static_cast<int>(urls.size());
  RowMetrics m = rowMetrics();
  double sliderHeight = slider_ ? slider_->frame().height() : 0;
  double top = sliderHeight + m.containerTop;
  // The second tab's container lines up with the first tab's where that one has been placed.
  if (segment == 1 && m.secondTabAlignsWithFirst && horizScrollViewNew_)
    top = horizScrollViewNew_->frame().y();
  auto& container = segment == 0 ? horizScrollViewNew_ : horizScrollViewPopular_;
  // The replaced container's rows must not report into this load.
  retireRows(container);
  container = std::make_shared<ui::View>()->initWithFrame(
      {0, top, bounds().width(), n * (segment == 0 ? m.newRowPitch : m.popularRowPitch)});
  if (m.countAdds)
    elementsCountForParse_ += n;
  else
    elementsCountForParse_ = n;
  if (segment == 0)
    createRubrikViews(urls);
  else
    buildRows(container, urls, "new", container->bounds().width());
  scrollView_->addSubview(container);
  if (n == 0 && (segment == 1 || m.firstTabStopsWhenEmpty) && reloadButton_) reloadButton_->stopAnimating();
  didBuildTab(container);
}

void MainViewBase::createRubrikViews(const std::vector<ns::URL>& urls) {
  guarded([&] {
    if (horizScrollViewNew_)
      buildRows(horizScrollViewNew_, urls, "popular", horizScrollViewNew_->bounds().width());
  });
}

void MainViewBase::buildRows(const std::shared_ptr<ui::View>& container, const std::vector<ns::URL>& urls,
                             const std::string& sort, double rowWidth) {
  RowMetrics m = rowMetrics();
  for (std::size_t i = 0; i < urls.size(); ++i) {
    auto row =
        makeRow(urls[i], {0, m.rowTop + static_cast<double>(i) * m.rowSpacing, rowWidth, m.rowHeight}, sort);
    row->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    container->addSubview(row);
    row->start();
  }
}

void MainViewBase::sendTabEvent(const std::string& label) {
  if (auto tracker = MAI::sharedInstance()->defaultTracker())
    tracker->sendEventWithCategory("Home Screen", "Переход на вкладку", label, ns::Value());
}
