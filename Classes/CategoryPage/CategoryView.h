#pragma once

#include <memory>

#include "Classes/CategoryPage/CategoryFilmsScroll.h"
#include "Classes/CategoryPage/TopCategoryBanner.h"
#include "Classes/SegmentedBTN/CustomSegmentedControl.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/ScrollView.h"

class TLSCategoryVC;

// The tablet category page's body: the poster banner, the four-way sort switch and the titles
// grid in a scroll view, and the page's spinner while packs load.
class CategoryView final : public ui::View,
                           public CustomSegmentedControlDelegate,
                           public TLLoadingCategoryProtocol {
 public:
  ~CategoryView() override;

  std::shared_ptr<CategoryView> initWithFrame(const cg::Rect& frame, long long categoryId);
  void loadView();
  void layoutSubviews() override;
  void changeScrollOrientation(ui::InterfaceOrientation orientation);

  void createRubricSwitchButtons();
  void createSliderViewWithFilms(ns::Array films);
  // Stops the banner and takes it off the page.
  void removeSliderView();
  // The record the page's banner starts from until the posters arrive.
  static ns::Array placeholderFilms();

  // Filters and sort: each change reloads the grid from its first pack.
  void setGenreId(long long genreId);
  void setYear(int year);
  void resetParams();
  void touchUpInsideSegmentIndex(unsigned segmentIndex) override;

  void startLoading() override;
  void stopLoading() override;
  void setViewController(const std::shared_ptr<TLSCategoryVC>& controller);
  void reloadInfo();
  void clearMemory();
  void TLMainViewMenuClick() {}

  long long categoryId() const { return categoryId_; }
  const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
  const std::shared_ptr<TopCategoryBanner>& sliderView() const { return sliderView_; }
  const std::shared_ptr<ui::View>& horizScrollView() const { return horizScrollView_; }
  const std::shared_ptr<CustomSegmentedControl>& blackControl() const { return blackControl_; }
  const std::shared_ptr<CategoryFilmsScroll>& categoryFilmsScroll() const { return categoryFilmsScroll_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityView() const { return activityView_; }

 private:
  long long categoryId_ = 0;
  std::shared_ptr<ui::ScrollView> scrollView_;
  std::shared_ptr<TopCategoryBanner> sliderView_;
  std::shared_ptr<ui::View> horizScrollView_;
  std::shared_ptr<CustomSegmentedControl> blackControl_;
  std::shared_ptr<CategoryFilmsScroll> categoryFilmsScroll_;
  std::shared_ptr<ui::ActivityIndicatorView> activityView_;
};
