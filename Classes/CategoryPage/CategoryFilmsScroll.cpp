#include "Classes/CategoryPage/CategoryFilmsScroll.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>

#include "Analytics/Library/MAI.h"
#include "Classes/CategoryPage/TLSCategoryVC.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLSettings.h"
#include "Foundation/Format.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"

namespace {

constexpr double kBelowPages = 112;
constexpr cg::Size kTileSize{180, 135};

bool landscape() { return ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation()); }

void guarded(const std::function<void()>& block) {
  try {
    block();
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

std::shared_ptr<ui::ActivityIndicatorView> tileSpinner() {
  auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::white);
  spinner->setFrame({75, 55, 30, 30});
  spinner->startAnimating();
  return spinner;
}

// Where tile j of a page goes once laid out.
cg::Point tileOrigin(int j, bool wide) {
  if (wide) return {25 + 198.0 * (j % 5), 147.0 * (j / 5)};
  return {10 + 190.0 * (j % 4), 20 + 170.0 * (j / 4)};
}

}  // namespace

int CategoryFilmsScroll::titlesPerPage() { return landscape() ? 15 : 16; }

int CategoryFilmsScroll::pageCount() const {
  int k = titlesPerPage();
  return totalCount_ / k + (totalCount_ % k ? 1 : 0);
}

std::shared_ptr<CategoryFilmsScroll> CategoryFilmsScroll::initWithCategoryId(long long categoryId) {
  initWithFrame({0, 0, 768, 800});
  categoryId_ = categoryId;
  loading_.assign(kPageTableSize, 0);
  laidOutLandscape_ = landscape();
  fillPageViewsWithCount(kPageTableSize);
  if (auto d = delegateLoading()) d->startLoading();
  getListPack(0);
  setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  addScrollView();
  addPageControll();
  return self<CategoryFilmsScroll>();
}

void CategoryFilmsScroll::fillPageViewsWithCount(int count) {
  pageViews_.assign(static_cast<std::size_t>(std::max(count, 0)), nullptr);
}

void CategoryFilmsScroll::addScrollView() {
  cg::Rect f = frame();
  auto scroll =
      std::make_shared<ui::ScrollView>()->initWithFrame({f.x(), 0, f.width(), f.height() - kBelowPages});
  scroll->setBackgroundColor(ui::Color::clearColor());
  scroll->setPagingEnabled(true);
  scroll->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  scroll->setContentSize({100, scroll->bounds().height() - kBelowPages});
  scroll->setDelegate(std::static_pointer_cast<ui::ScrollViewDelegate>(self<CategoryFilmsScroll>()));
  scroll->setBounces(true);
  addSubview(scroll);
  scrollView_ = scroll;
}

// The page strip is kept up to date but shown nowhere.
void CategoryFilmsScroll::addPageControll() {
  double h = bounds().height(), w = scrollView_->bounds().width();
  pageView_ = std::make_shared<ui::View>()->initWithFrame({0, h - 126, w, 126});
  auto panel = std::make_shared<ui::ImageView>()->initWithFrame(pageView_->bounds());
  panel->setImage(ui::Image::imageNamed("panelBG.png"));
  panel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  pageView_->addSubview(panel);
  pageView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin |
                                 ui::ViewAutoresizingFlexibleBottomMargin);
  pageScrollView_ = std::make_shared<ui::ScrollView>()->initWithFrame({5, 5, bounds().width() - 10, 22});
  pageScrollView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  pageScrollView_->setShowsHorizontalScrollIndicator(true);
  pageControl_ = std::make_shared<CustomPageControl>()->initWithFrame({450, 0, 200, 12});
  pageControl_->setNumberOfPages(1);
  pageControl_->setCurrentPage(0);
  pageScrollView_->addSubview(pageControl_);
  pageView_->addSubview(pageScrollView_);
}

// MARK: Requests and replies

void CategoryFilmsScroll::getListPack(int pack) {
  auto controller = currentViewController();
  if (controller && controller->genres().isNil()) controller->getCategoryGenresFromServer();
  std::string url = CategoryTitlesQuery::url(categoryId_, grouping_, genreId_, year_, pack,
                                             CategoryTitlesQuery::currentYear());
  if (pack < 0 || pack >= totalPages_) return;
  // The flag goes up only with a request: a flag nothing will lower would keep the pack away for good.
  if (pack < static_cast<int>(loading_.size())) loading_[static_cast<std::size_t>(pack)] = 1;
  long long request = ++requests_, generation = generation_;
  std::weak_ptr<CategoryFilmsScroll> weak = self<CategoryFilmsScroll>();
  auto operation = NTJSONRequestOperation::JSONRequestOperationWithRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString(url)), CategoryTitlesQuery::cutReply,
      [weak, pack, request, generation](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&,
                                        const ns::Value& JSON) {
        if (auto grid = weak.lock()) grid->packSucceeded(pack, request, generation, JSON);
      },
      [weak, pack, request, generation](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&,
                                        const ns::ErrorPtr& error, const ns::Value&) {
        if (auto grid = weak.lock()) grid->packFailed(pack, request, generation, error);
      });
  if (operation) operation->start();
  if (newGrouping_) {
    lastRequest_ = request;
    newGrouping_ = false;
  }
}

void CategoryFilmsScroll::packSucceeded(int pack, long long request, long long generation,
                                        const ns::Value& JSON) {
  if (generation != generation_) return;
  if (lastRequest_) {
    if (*lastRequest_ != request) return;
    lastRequest_.reset();
  }
  if (pack < static_cast<int>(loading_.size())) loading_[static_cast<std::size_t>(pack)] = 0;
  bool placed = false;
  guarded([&] {
    CategoryTitlesQuery::Reply reply = CategoryTitlesQuery::readReply(JSON);
    if (!reply.totalCount) return;
    totalCount_ = *reply.totalCount;
    totalPages_ = CategoryTitlesQuery::packCount(totalCount_);
    hasReply_ = true;
    if (!allList_) {
      // However many titles the service counts, the list keeps only what the page table can show.
      allList_.emplace(static_cast<std::size_t>(std::min(totalCount_ + 1, CategoryTitlesQuery::kMaxSlots)));
      loading_.assign(static_cast<std::size_t>(std::min(totalPages_, kPageTableSize)), 0);
    }
    if (!reply.items) return;
    reccomendedToSee_.clear();
    if (!reply.also) return;
    reccomendedToSee_ = std::move(*reply.also);
    placed = true;
    loadJSONArray(*reply.items, pack);
  });
  // A reply the pack cannot be read from fails like a lost one, so the spinner stops and the
  // refresh button comes.
  if (!placed) packFailed(pack, request, generation, ns::Error::make("NSURLErrorDomain", -1017));
}

void CategoryFilmsScroll::packFailed(int pack, long long request, long long generation,
                                     const ns::ErrorPtr& error) {
  if (generation != generation_) return;
  if (pack < static_cast<int>(loading_.size())) loading_[static_cast<std::size_t>(pack)] = 0;
  if (auto d = delegateLoading()) d->stopLoading();
  if (lastRequest_ == request) lastRequest_.reset();
  if (!alertShowed_) {
    TLSettings::showConnectionError(
        error, std::static_pointer_cast<ui::AlertViewDelegate>(self<CategoryFilmsScroll>()));
    alertShowed_ = true;
    purgePage(currentPage_);
    if (auto controller = currentViewController()) controller->showRefreshBtn(true);
  }
  ns::log("%@", error ? ns::Value(error->userInfo()).describe() : std::string("(null)"));
  ns::log("Error parse");
}

void CategoryFilmsScroll::alertViewClickedButtonAtIndex(ui::AlertView&, int) { alertShowed_ = false; }

void CategoryFilmsScroll::loadJSONArray(const ns::Array& items, int pack) {
  guarded([&] {
    filmList_ = items;
    int k = titlesPerPage();
    scrollView_->setContentSize(
        {pageCount() * scrollView_->bounds().width(), bounds().height() - kBelowPages});
    std::size_t first = static_cast<std::size_t>(pack) * CategoryTitlesQuery::kPackSize;
    if (allList_ && first < allList_->size()) {
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (first + i >= allList_->size())
          throw std::out_of_range("pack has more titles than the list has slots");
        (*allList_)[first + i] = items[i];
      }
    }
    // Only pages next to the current one are built: earlier packs asked for by a far page visit
    // would otherwise leave views outside the live window.
    if (k == 16) {
      if (pack >= currentPage_ - 1 && pack <= currentPage_ + 1) showPage(pack);
      return;
    }
    int start = 16 * pack;
    for (int page : {start / 15, start / 15 + 1})
      if (page >= currentPage_ - 1 && page <= currentPage_ + 1 && page < pageCount()) showPage(page);
  });
}

// MARK: Pages

cg::Rect CategoryFilmsScroll::pageRect(int page) const {
  cg::Size size = scrollView_->bounds().size;
  return {page * size.width, 0, size.width, size.height};
}

bool CategoryFilmsScroll::isNull(int position) const {
  return !allList_ || position < 0 || position >= static_cast<int>(allList_->size()) ||
         (*allList_)[static_cast<std::size_t>(position)].isNil() ||
         (*allList_)[static_cast<std::size_t>(position)].isNull();
}

std::shared_ptr<ui::View> CategoryFilmsScroll::makeTile(int position, cg::Point origin) {
  auto tile = std::make_shared<TLVideoItemPriview>()->initWithFrame({origin, {180, 145}}, 2);
  if (isNull(position)) {
    tile->hideButton(true);
    tile->addSubview(tileSpinner());
    return tile;
  }
  const ns::Value& record = (*allList_)[static_cast<std::size_t>(position)];
  tile->setLoadPriority(2);
  tile->setTitle(TLSettings::stringFromObject(record["name"]));
  tile->setDescription(TLSettings::stringFromObject(record["description"]));
  tile->setID(record["id"]);
  tile->setUrl(TLSettings::stringFromObject(record["url"]));
  tile->setImageUrl(TLSettings::stringFromObject(record["image"]));
  return tile;
}

void CategoryFilmsScroll::showPage(int page) {
  guarded([&] {
    bool wide = landscape();
    int k = wide ? 15 : 16;
    if ((wide ? 15 * page / 16 : page) == currentPage_ && hasReply_)
      if (auto d = delegateLoading()) d->stopLoading();
    double width = 17.0 * totalPages_;
    pageControl_->setNumberOfPages(totalPages_);
    pageScrollView_->setContentSize({width, 12});
    pageControl_->removeFromSuperview();
    pageControl_->setFrame({std::max(0.0, bounds().width() / 2 - width / 2), 0, width, 12});
    pageScrollView_->addSubview(pageControl_);
    if (page < 0 || page >= static_cast<int>(pageViews_.size()))
      throw std::out_of_range(ns::format("page %d is outside the page table", page));
    if (pageViews_[static_cast<std::size_t>(page)]) purgePage(page);
    auto pageView = std::make_shared<ui::View>()->initWithFrame(pageRect(page));
    if (!allList_ || static_cast<int>(allList_->size()) < k * page) return;
    if (totalPages_ == 1 && totalCount_ == 0) return showNothingFoundPage(page, pageView);
    if (totalCount_ > 0 && hasReply_) {
      for (int j = 0; j < k && j < totalCount_ - k * page; ++j) {
        cg::Point origin{10 + 190.0 * (j % (wide ? 5 : 4)),
                         20 + (wide ? 147.0 : 170.0) * (j / (wide ? 5 : 4))};
        auto tile = makeTile(k * page + j, origin);
        tile->setTag(kTileTag + j);
        pageView->addSubview(tile);
      }
    }
    scrollView_->addSubview(pageView);
    pageViews_[static_cast<std::size_t>(page)] = pageView;
    setupGrid(page);
  });
}

void CategoryFilmsScroll::showNothingFoundPage(int page, const std::shared_ptr<ui::View>& pageView) {
  purgePage(page + 1);
  auto label = [&](double y, const char* text) {
    auto l = std::make_shared<ui::Label>()->initWithFrame({15, y, 500, 50});
    l->setText(text);
    l->setBackgroundColor(ui::Color::clearColor());
    l->setTextColor(ui::Color::whiteColor());
    l->setFont(ui::Font::systemFontOfSize(18));
    l->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    pageView->addSubview(l);
  };
  label(10, "Ничего не найдено по заданным критериям");
  label(55, "Возможно Вы хотите посмотреть:");
  auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(
      std::nullopt, {0, 80, pageView->bounds().width(), 230}, "popular");
  row->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  row->dataHasBeenLoadedForCategory("РЕКОМЕНДУЕМ ПОСМОТРЕТЬ", reccomendedToSee_);
  row->rubrikLabel()->setHidden(true);
  pageView->addSubview(row);
  scrollView_->addSubview(pageView);
  pageViews_[static_cast<std::size_t>(page)] = pageView;
}

void CategoryFilmsScroll::showPreviewPage(int page) {
  guarded([&] {
    if (page < 0 || page >= pageCount() || page >= static_cast<int>(pageViews_.size())) return;
    if (pageViews_[static_cast<std::size_t>(page)]) return;
    bool wide = landscape();
    int k = wide ? 15 : 16;
    auto pageView = std::make_shared<ui::View>()->initWithFrame(pageRect(page));
    for (int j = 0; j < k && j < totalCount_ - k * page; ++j) {
      auto tile = std::make_shared<ui::View>()->initWithFrame({tileOrigin(j, wide), kTileSize});
      tile->setBackgroundColor(ui::Color::blackColor());
      tile->addSubview(tileSpinner());
      tile->setTag(kTileTag + j);
      pageView->addSubview(tile);
    }
    scrollView_->addSubview(pageView);
    pageViews_[static_cast<std::size_t>(page)] = pageView;
  });
}

void CategoryFilmsScroll::setupGrid(int page) {
  if (page < 0 || page >= static_cast<int>(pageViews_.size())) return;
  auto pageView = pageViews_[static_cast<std::size_t>(page)];
  if (!pageView) return;
  bool wide = landscape();
  for (int j = 0; j < (wide ? 15 : 16); ++j)
    if (auto tile = pageView->viewWithTag(kTileTag + j)) tile->setFrame({tileOrigin(j, wide), kTileSize});
}

void CategoryFilmsScroll::purgePage(int page) {
  int count = pageCount();
  if (!((page >= 0 && page < count) || count == 0)) return;
  if (page < 0 || page >= static_cast<int>(pageViews_.size())) return;
  auto& entry = pageViews_[static_cast<std::size_t>(page)];
  if (!entry) return;
  entry->removeFromSuperview();
  entry = nullptr;
}

bool CategoryFilmsScroll::hasTitlesOfPage(int page) const {
  int k = titlesPerPage();
  for (int i = k * page; i < k * (page + 1) && i < totalCount_; ++i)
    if (isNull(i)) return false;
  return true;
}

bool CategoryFilmsScroll::checkPacksForPage(int page) {
  int k = titlesPerPage();
  if (!allList_ || static_cast<int>(allList_->size()) <= k * page) return false;
  int size = static_cast<int>(allList_->size());
  int first = k * page, last = std::max(first, std::min(k * (page + 1) - 1, totalCount_ - 1));
  if (last >= size) return true;
  if (!isNull(first) && !isNull(last)) showPage(page);
  // Every pack up to the one holding the page's last title: in landscape a page's titles may
  // end in a pack numbered below the page.
  for (int i = 0; i <= last / 16; ++i) {
    int packFirst = 16 * i, packLast = std::max(packFirst, std::min(16 * (i + 1) - 1, totalCount_ - 1));
    if (packLast >= size || i >= static_cast<int>(loading_.size())) break;
    if ((isNull(packFirst) || isNull(packLast)) && loading_[static_cast<std::size_t>(i)] == 0) getListPack(i);
  }
  return true;
}

void CategoryFilmsScroll::loadPage(int page) {
  guarded([&] {
    if (page < 0 || page >= pageCount() || page >= static_cast<int>(pageViews_.size())) return;
    auto pageView = pageViews_[static_cast<std::size_t>(page)];
    // A page built while some of its titles were missing (its first came in an earlier pack) still
    // needs the packs of the others.
    bool built = pageView && std::dynamic_pointer_cast<TLVideoItemPriview>(pageView->viewWithTag(kTileTag)) &&
                 hasTitlesOfPage(page);
    if (!built) checkPacksForPage(page);
    setupGrid(page);
  });
}

void CategoryFilmsScroll::loadVisiblePagesWithPage(int page) {
  pageControl_->setCurrentPage(page);
  for (int i = 0; i <= page - 2; ++i) purgePage(i);
  for (int i = page - 1; i <= page + 1; ++i) loadPage(i);
  for (int i = page + 2; i < static_cast<int>(pageViews_.size()); ++i) purgePage(i);
}

void CategoryFilmsScroll::loadPreviewPageWithPage(int page) {
  pageControl_->setCurrentPage(page);
  for (int i = 0; i <= page - 2; ++i) purgePage(i);
  for (int i = page - 1; i <= page + 1; ++i) showPreviewPage(i);
  for (int i = page + 2; i < static_cast<int>(pageViews_.size()); ++i) purgePage(i);
}

int CategoryFilmsScroll::nearestPage() const {
  double w = bounds().width();
  if (w < 1) return 0;
  return static_cast<int>(std::floor((2 * scrollView_->contentOffset().x + w) / (2 * w)));
}

void CategoryFilmsScroll::scrollViewDidScroll(ui::ScrollView&) {
  if (newGrouping_) return;
  if (afterRotate_) {
    afterRotate_ = false;
    return;
  }
  int page = nearestPage();
  if (page == lastPage_) return;
  lastPage_ = page;
  loadPreviewPageWithPage(page == -1 ? currentPage_ : page);
}

void CategoryFilmsScroll::scrollViewDidEndDecelerating(ui::ScrollView&) {
  lastRotatedPage_ = -1;
  currentPage_ = nearestPage();
  if (auto controller = currentViewController()) controller->showRefreshBtn(false);
  loadVisiblePagesWithPage(currentPage_);
}

void CategoryFilmsScroll::scrollToPage(int page) {
  cg::Point offset{page * scrollView_->bounds().width(), 0};
  // The move a rotation makes is not the user's: its scroll event is skipped.
  if (offset != scrollView_->contentOffset()) afterRotate_ = true;
  scrollView_->setContentOffset(offset, false);
}

void CategoryFilmsScroll::layoutSubviews() {
  guarded([&] {
    bool wide = landscape();
    setFrame({frame().x(), 100, wide ? 1024.0 : 768.0, wide ? 555.0 : 800.0});
    if (hasReply_ && totalCount_ == 0) return showPage(0);
    double height = bounds().height() - kBelowPages;
    scrollView_->setContentSize({hasReply_ ? pageCount() * scrollView_->bounds().width() : 100, height});
    // Only a turn of the interface moves the grid to another page.
    if (laidOutLandscape_ == wide) {
      if (hasReply_) loadVisiblePagesWithPage(currentPage_);
      return;
    }
    laidOutLandscape_ = wide;
    for (int i = 0; i <= totalCount_ / 15 && i < static_cast<int>(pageViews_.size()); ++i) purgePage(i);
    if (lastRotatedPage_ == -1) {
      lastRotatedPage_ = currentPage_;
      currentPage_ = wide ? (16 * lastRotatedPage_ + 1) / 15 : (15 * lastRotatedPage_ + 1) / 16;
      scrollToPage(currentPage_);
    } else {
      scrollToPage(lastRotatedPage_);
      currentPage_ = lastRotatedPage_;
      lastRotatedPage_ = -1;
    }
    loadVisiblePagesWithPage(currentPage_);
    if (hasReply_) loadPreviewPageWithPage(currentPage_);
  });
}

void CategoryFilmsScroll::setGrouping(int grouping) {
  if (auto tracker = MAI::sharedInstance()->defaultTracker())
    tracker->sendEventWithCategory(
        ns::format("Category Screen - %@", TLSettings::getCategoryNameById(std::to_string(categoryId_))),
        std::string("Переход на вкладку"), std::string(CategoryTitlesQuery::analyticsLabel(grouping)),
        ns::Value());
  newGrouping_ = true;
  grouping_ = grouping;
  ++generation_;
  lastRequest_.reset();
  for (int i = 0; i < static_cast<int>(pageViews_.size()); ++i)
    if (auto& entry = pageViews_[static_cast<std::size_t>(i)]) {
      entry->removeFromSuperview();
      entry = nullptr;
    }
  currentPage_ = 0;
  allList_.reset();
  scrollView_->setContentOffset({0, scrollView_->contentOffset().y}, false);
  scrollView_->setContentSize({100, scrollView_->contentSize().height});
  if (auto d = delegateLoading()) d->startLoading();
  getListPack(0);
}

void CategoryFilmsScroll::clearMemory() {
  // Before a reply there is nothing to empty: a list made now would have the old totals' size.
  if (allList_) {
    allList_->assign(static_cast<std::size_t>(std::min(totalCount_ + 1, CategoryTitlesQuery::kMaxSlots)),
                     ns::Value());
    loading_.assign(static_cast<std::size_t>(std::min(totalPages_, kPageTableSize)), 0);
  }
  reloadInfo();
}

void CategoryFilmsScroll::reloadInfo() {
  bool hadSlot = false;
  guarded([&] { hadSlot = checkPacksForPage(currentPage_); });
  if (!hadSlot) getListPack(0);
}

void CategoryFilmsScroll::willPlayMovie() {
  if (auto d = playButtonDelegate()) d->playMoviewWithNumber(pageControl_->currentPage());
}
