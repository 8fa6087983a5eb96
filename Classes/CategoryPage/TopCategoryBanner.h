#pragma once

#include <memory>
#include <string>

#include "Classes/MainPage/MainSlider.h"

// The category page's strip of wide posters: the home slider's endless paging, file cache, timer
// and tap, with the category posters (1000 x 240), a dot strip at its bottom edge and no
// information panel. A banner taken off its page must be stopped (stopAsync) by its owner, which
// also drops its timer; it then ignores late replies.
class TopCategoryBanner final : public MainSliderBase {
 public:
  // 768 x 184; asks for the category posters at once.
  std::shared_ptr<TopCategoryBanner> initWithCategoryId(long long categoryId, ns::Array films);
  // The same without a category, with the home page's poster list.
  std::shared_ptr<TopCategoryBanner> initWithFilms(ns::Array films);

  long long categoryId() const { return categoryId_; }
  int rating() const { return rating_; }
  std::shared_ptr<TLMainSliderDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<TLMainSliderDelegate> delegate) { delegate_ = std::move(delegate); }

  // Downloads a poster into the cache, then rebuilds the pages once.
  void loadImageFromURLToCache(const std::string& url);
  using MainSliderBase::loadImageFromURLToCache;
  void reloadImageToSlider();
  // A new dot strip placed for the status bar's orientation, kept but not shown.
  void rotatePageControl();
  void loadRatingControlWithFrame(const cg::Rect&) {}

  void reloadSliderInfo() override;
  void layoutSubviews() override;
  void didMoveToSuperview() override;

 protected:
  std::string posterListURL() const override;
  cg::Rect scrollViewFrame() const override { return bounds(); }
  cg::Size largestPageSize() const override;
  bool scrollViewBounces() const override { return true; }
  void addPageControll() override;
  cg::Rect ratingFrame() const override { return {}; }
  void reportLoaded(bool loaded) override;
  void forgetDelegate() override { delegate_.reset(); }

 private:
  std::shared_ptr<CustomPageControl> makePageControl() const;

  long long categoryId_ = 0;
  bool homeList_ = false;
  bool placed_ = false;
  int rating_ = 0;
  std::weak_ptr<TLMainSliderDelegate> delegate_;
};
