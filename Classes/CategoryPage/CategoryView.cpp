#include "Classes/CategoryPage/CategoryView.h"

#include "Classes/CategoryPage/CategoryTitlesQuery.h"
#include "Classes/CategoryPage/TLSCategoryVC.h"
#include "UIKit/Application.h"
#include "UIKit/Font.h"

CategoryView::~CategoryView() {
  if (sliderView_) sliderView_->stopAsync();
}

std::shared_ptr<CategoryView> CategoryView::initWithFrame(const cg::Rect& frame, long long categoryId) {
  ui::View::initWithFrame(frame);
  categoryId_ = categoryId;
  loadView();
  return self<CategoryView>();
}

ns::Array CategoryView::placeholderFilms() {
  return ns::Array{ns::Dictionary{
      {"name", ""}, {"detail", ""}, {"description", ""}, {"bgColor", "000000"}, {"image", "photo1.jpeg"}}};
}

void CategoryView::loadView() {
  scrollView_ = std::make_shared<ui::ScrollView>()->initWithFrame(frame());
  addSubview(scrollView_);
  createSliderViewWithFilms(placeholderFilms());
  double bannerHeight = sliderView_->frame().height();
  horizScrollView_ = std::make_shared<ui::View>()->initWithFrame({0, bannerHeight, bounds().width(), 900});
  createRubricSwitchButtons();

  categoryFilmsScroll_ = std::make_shared<CategoryFilmsScroll>()->initWithCategoryId(categoryId_);
  categoryFilmsScroll_->setDelegateLoading(
      std::static_pointer_cast<TLLoadingCategoryProtocol>(self<CategoryView>()));
  cg::Rect grid = categoryFilmsScroll_->frame();
  categoryFilmsScroll_->setFrame({0, 65, grid.width(), grid.height() - 65});
  horizScrollView_->addSubview(categoryFilmsScroll_);
  horizScrollView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth |
                                        ui::ViewAutoresizingFlexibleHeight);

  cg::Rect scroll = scrollView_->frame();
  scrollView_->setFrame({scroll.x(), 0, scroll.width(), scroll.height()});
  scrollView_->setContentSize({bounds().width(), bannerHeight + horizScrollView_->frame().height()});
  scrollView_->setBounces(false);
  scrollView_->addSubview(horizScrollView_);

  activityView_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::whiteLarge);
  activityView_->setFrame({bounds().width() / 2 - 15, bounds().height() / 2 - 15, 30, 30});
  activityView_->setAutoresizingMask(
      ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
  addSubview(activityView_);
  // The first pack went out before this view became the grid's loading delegate.
  startLoading();
}

void CategoryView::createRubricSwitchButtons() {
  ns::Array titles, images, widths{140, 120, 120, 120};
  for (int i = 0; i < 4; ++i) {
    titles.push_back(CategoryTitlesQuery::segmentTitle(i));
    images.push_back(ns::Value::null());
  }
  blackControl_ = std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      4, titles, images, 38, widths, ui::Image::imageNamed("black_divider"), 10,
      ui::Image::imageNamed("segment_button"), ui::Image::imageNamed("segment_button_pressed"), 9000,
      std::static_pointer_cast<CustomSegmentedControlDelegate>(self<CategoryView>()));
  blackControl_->setFrame({horizScrollView_->bounds().width() / 2 - 241, 20, 483, 38});
  blackControl_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                     ui::ViewAutoresizingFlexibleRightMargin);
  blackControl_->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
  horizScrollView_->addSubview(blackControl_);
}

void CategoryView::createSliderViewWithFilms(ns::Array films) {
  sliderView_ = std::make_shared<TopCategoryBanner>()->initWithCategoryId(categoryId_, std::move(films));
  scrollView_->addSubview(sliderView_);
}

void CategoryView::removeSliderView() {
  if (!sliderView_) return;
  sliderView_->stopAsync();
  sliderView_->removeFromSuperview();
  sliderView_ = nullptr;
}

void CategoryView::layoutSubviews() {
  cg::Rect h = horizScrollView_->frame();
  horizScrollView_->setFrame({h.x(), 160, h.width(), h.height()});
  changeScrollOrientation(ui::Application::sharedApplication()->statusBarOrientation());
}

void CategoryView::changeScrollOrientation(ui::InterfaceOrientation orientation) {
  bool landscape = ui::isLandscape(orientation);
  double width = landscape ? 1024 : 768;
  scrollView_->setContentSize({width, landscape ? 200.0 : 160.0});
  cg::Rect s = scrollView_->frame();
  scrollView_->setFrame({s.x(), s.y(), width, s.height()});
  cg::Rect b = blackControl_->frame();
  blackControl_->setFrame({b.x(), 50, b.width(), b.height()});
  setFrame({s.x(), 44, width, s.height()});
}

void CategoryView::setGenreId(long long genreId) {
  categoryFilmsScroll_->setGenreId(genreId);
  categoryFilmsScroll_->setGrouping(categoryFilmsScroll_->grouping());
}

void CategoryView::setYear(int year) {
  categoryFilmsScroll_->setYear(year);
  categoryFilmsScroll_->setGrouping(categoryFilmsScroll_->grouping());
}

void CategoryView::resetParams() {
  categoryFilmsScroll_->setYear(-1);
  categoryFilmsScroll_->setGenreId(-1);
  categoryFilmsScroll_->setGrouping(categoryFilmsScroll_->grouping());
}

void CategoryView::touchUpInsideSegmentIndex(unsigned segmentIndex) {
  if (static_cast<int>(segmentIndex) != categoryFilmsScroll_->grouping())
    categoryFilmsScroll_->setGrouping(static_cast<int>(segmentIndex));
}

void CategoryView::startLoading() { activityView_->startAnimating(); }
void CategoryView::stopLoading() { activityView_->stopAnimating(); }

void CategoryView::setViewController(const std::shared_ptr<TLSCategoryVC>& controller) {
  categoryFilmsScroll_->setCurrentViewController(controller);
}

void CategoryView::reloadInfo() { categoryFilmsScroll_->reloadInfo(); }
void CategoryView::clearMemory() { categoryFilmsScroll_->clearMemory(); }
