#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Classes/CategoryPage/CategoryTitlesQuery.h"
#include "Classes/MainPage/CustomPageControl.h"
#include "Classes/MainPage/MainSlider.h"
#include "Foundation/Error.h"
#include "Foundation/Value.h"
#include "UIKit/AlertView.h"
#include "UIKit/Button.h"
#include "UIKit/ScrollView.h"

class TLSCategoryVC;

// Shows and hides the spinner of the page that holds a titles grid.
class TLLoadingCategoryProtocol {
 public:
  virtual ~TLLoadingCategoryProtocol() = default;
  virtual void startLoading() = 0;
  virtual void stopLoading() = 0;
};

// The tablet category's titles as a horizontally paged grid of poster tiles (16 a page in
// portrait, 15 in landscape), loaded sixteen titles a request. It keeps one slot per title and
// one loading flag per pack; only the current page and its neighbours exist as views, pages being
// scrolled over show black placeholders, and a list without a match shows the recommended titles.
// Replies of requests made before the last change of order or filter are dropped; a failed pack
// shows one alert at a time and the page's refresh button, and is asked again by the next visit.
class CategoryFilmsScroll final : public ui::View,
                                  public ui::ScrollViewDelegate,
                                  public ui::AlertViewDelegate {
 public:
  static constexpr int kTileTag = 300;
  static constexpr int kPageTableSize = CategoryTitlesQuery::kPlaceholderPacks;

  std::shared_ptr<CategoryFilmsScroll> initWithCategoryId(long long categoryId);

  // The list.
  void getListPack(int pack);
  void loadJSONArray(const ns::Array& items, int pack);
  void setGrouping(int grouping);
  void setGenreId(long long genreId) { genreId_ = genreId; }
  void setYear(int year) { year_ = year; }
  void clearMemory();
  void reloadInfo();
  void alertViewClickedButtonAtIndex(ui::AlertView& alertView, int buttonIndex) override;

  // The pages.
  void showPage(int page);
  void showPreviewPage(int page);
  void setupGrid(int page);
  void purgePage(int page);
  void loadPage(int page);
  void loadVisiblePagesWithPage(int page);
  void loadPreviewPageWithPage(int page);
  void fillPageViewsWithCount(int count);
  void scrollViewDidScroll(ui::ScrollView& scrollView) override;
  void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;
  void layoutSubviews() override;
  void willPlayMovie();

  long long categoryId() const { return categoryId_; }
  int grouping() const { return grouping_; }
  long long genreId() const { return genreId_; }
  int year() const { return year_; }
  int totalCount() const { return totalCount_; }
  int totalPages() const { return totalPages_; }
  // Whether a reply has set the totals since the grid was made.
  bool hasReply() const { return hasReply_; }
  // Nothing before the first reply after creation or a reset; NSNull (a null value) where a title
  // has not arrived.
  const std::optional<std::vector<ns::Value>>& allList() const { return allList_; }
  const std::vector<int>& loading() const { return loading_; }
  const ns::Array& filmList() const { return filmList_; }
  const ns::Array& reccomendedToSee() const { return reccomendedToSee_; }
  bool alertShowed() const { return alertShowed_; }
  int currentPage() const { return currentPage_; }
  int lastRotatedPage() const { return lastRotatedPage_; }
  const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
  // One per page of the table; null where the page has no view.
  const std::vector<std::shared_ptr<ui::View>>& pageViews() const { return pageViews_; }
  const std::shared_ptr<CustomPageControl>& pageControl() const { return pageControl_; }
  const std::shared_ptr<ui::View>& pageView() const { return pageView_; }

  std::shared_ptr<TLLoadingCategoryProtocol> delegateLoading() const { return delegateLoading_.lock(); }
  void setDelegateLoading(std::weak_ptr<TLLoadingCategoryProtocol> d) { delegateLoading_ = std::move(d); }
  std::shared_ptr<TLSCategoryVC> currentViewController() const { return currentViewController_.lock(); }
  void setCurrentViewController(std::weak_ptr<TLSCategoryVC> c) { currentViewController_ = std::move(c); }
  std::shared_ptr<TLMainSliderDelegate> playButtonDelegate() const { return playButtonDelegate_.lock(); }
  void setPlayButtonDelegate(std::weak_ptr<TLMainSliderDelegate> d) { playButtonDelegate_ = std::move(d); }

  // Titles a page holds in the status bar's orientation: 15 in landscape, else 16.
  static int titlesPerPage();
  // Pages of the list in the status bar's orientation.
  int pageCount() const;

 private:
  void addScrollView();
  void addPageControll();
  void packSucceeded(int pack, long long request, long long generation, const ns::Value& JSON);
  void packFailed(int pack, long long request, long long generation, const ns::ErrorPtr& error);
  // Shows the page when its titles are there and asks for every missing pack up to it; false
  // when the list has no slot for the page.
  bool checkPacksForPage(int page);
  // Whether every title of the page has arrived.
  bool hasTitlesOfPage(int page) const;
  bool isNull(int position) const;
  std::shared_ptr<ui::View> makeTile(int position, cg::Point origin);
  void showNothingFoundPage(int page, const std::shared_ptr<ui::View>& pageView);
  int nearestPage() const;
  void scrollToPage(int page);
  cg::Rect pageRect(int page) const;

  long long categoryId_ = 0;
  int grouping_ = 0;
  long long genreId_ = -1;
  int year_ = -1;
  int totalCount_ = CategoryTitlesQuery::kPlaceholderCount;
  int totalPages_ = kPageTableSize;
  bool hasReply_ = false;
  std::optional<std::vector<ns::Value>> allList_;
  std::vector<int> loading_;
  ns::Array filmList_;
  ns::Array reccomendedToSee_;
  // The request whose reply ends a reset; replies of other requests are dropped until it comes.
  std::optional<long long> lastRequest_;
  long long requests_ = 0;
  // Counts resets; a reply of an earlier one changes nothing.
  long long generation_ = 0;
  bool newGrouping_ = false;
  bool alertShowed_ = false;
  int currentPage_ = 0;
  int lastPage_ = 0;
  int lastRotatedPage_ = -1;
  bool afterRotate_ = false;
  std::optional<bool> laidOutLandscape_;

  std::shared_ptr<ui::ScrollView> scrollView_;
  std::vector<std::shared_ptr<ui::View>> pageViews_;
  std::shared_ptr<ui::View> pageView_;
  std::shared_ptr<ui::ScrollView> pageScrollView_;
  std::shared_ptr<CustomPageControl> pageControl_;
  std::shared_ptr<ui::Button> playButton_;
  std::weak_ptr<TLLoadingCategoryProtocol> delegateLoading_;
  std::weak_ptr<TLSCategoryVC> currentViewController_;
  std::weak_ptr<TLMainSliderDelegate> playButtonDelegate_;
};
