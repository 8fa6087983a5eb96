#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Classes/MainPage/CustomPageControl.h"
#include "Classes/MainPage/StarRatingView.h"
#include "Foundation/Timer.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"
#include "UIKit/Button.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/ScrollView.h"

// The home page's poster band, as the tablet and the phone share it: the poster list request and
// its records, an endless row of pages (the last record's copy before the first, the first
// record's copy after the last) filled from the poster file cache or the network, the jumps at
// both ends, the 8-second advance, and the information panel with the play action. The twins
// add their geometry and their delegate.
class MainSliderBase : public ui::View, public ui::ScrollViewDelegate {
 public:
  static constexpr int kSpinnerTag = 111;
  static constexpr double kAdvanceInterval = 8.0;
  // The home slider asks for 12 posters and the category banner for 7: a reply holding more is cut
  // to this many, each of which gets a page.
  static constexpr std::size_t kMaxPosters = 100;
  // The click counter's body is never read: a longer one ends its request there.
  static constexpr std::int64_t kMaxCounterReplyLength = 64 * 1024;

  ~MainSliderBase() override;

  // A poster reply item as the slider keeps it: all strings but "foreignDict", the foreign link
  // info {"filmName", "is_foreign_link" (1 or 0), "foreign_link_click_counter", "foreign_link_url"}.
  static ns::Value posterRecordFromItem(const ns::Value& item);
  // "#RRGGBB" as an opaque colour; the empty text, a text too short or not a string is black.
  // Each component is read as a hexadecimal number from its first digits; a component without a
  // hexadecimal digit reads 0 and one above 255 counts as 255.
  static ui::Color fromHexToRGBColor(const ns::Value& text);
  // The cache file of a poster URL in the slider poster folder: the last path component's stem,
  // at most kMaxPosterStemLength of its letters, digits, '_' and '-' (others read '_'), then '-'
  // and the MD5 of the whole URL, ".jpg". Two different URLs never share a file; nothing for "".
  static std::optional<std::string> posterFilePath(const std::string& posterURL);
  static constexpr std::size_t kMaxPosterStemLength = 48;

  // Sends the poster list request; the reply installs its records and is reported to the delegate.
  void getJsonPostersWithUrl(const std::optional<ns::URL>& url);
  // Installs a record list, cut to kMaxPosters: the timer, new pages, the dots, the delegate told
  // YES.
  void loadJSONArray(ns::Array list);

  const ns::Array& filmList() const { return filmList_; }
  void setFilmList(ns::Array list) { filmList_ = std::move(list); }
  const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
  // One per slot; null where the slot is empty.
  const std::vector<std::shared_ptr<ui::ImageView>>& pageViews() const { return pageViews_; }
  const std::shared_ptr<CustomPageControl>& pageControl() const { return pageControl_; }
  const std::shared_ptr<ui::View>& pageView() const { return pageView_; }
  const std::shared_ptr<ui::ImageView>& sliderPanelImageView() const { return sliderPanelImageView_; }
  const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
  const std::shared_ptr<ui::Label>& detailLabel() const { return detailLabel_; }
  // None on the phone.
  const std::shared_ptr<ui::Label>& descriptionLabel() const { return descriptionLabel_; }
  const std::shared_ptr<StarRatingView>& ratingControl() const { return ratingControl_; }
  // The play button made last.
  const std::shared_ptr<ui::Button>& playButton() const { return playButton_; }
  const ns::TimerPtr& sliderTimer() const { return sliderTimer_; }
  void setSliderTimer(ns::TimerPtr timer) { sliderTimer_ = std::move(timer); }
  int curPage() const { return curPage_.load(); }
  bool isLoadedJSON() const { return isLoadedJSON_.load(); }
  bool isLayout() const { return isLayout_.load(); }
  int pageForLayout() const { return pageForLayout_; }

  // Lets go of the slider for good: the timer and a pending refill are dropped, the delegate is
  // forgotten, and later replies and firings do nothing. Its owner calls it before dropping it.
  void stopAsync();
  bool isStopped() const { return stopped_; }

  // Paging.
  void fillPageViewsWithCount(int count);
  void purgePages();
  void loadPages();
  void loadVisiblePages();
  void loadTimer();
  void timerMethodPush();
  void loadImageFromURLToCache(const std::string& url, const std::shared_ptr<ui::ImageView>& imageView);
  void scrollViewDidScroll(ui::ScrollView& scrollView) override;

  // The panel and the play action.
  virtual void reloadSliderInfo();
  void setRating(int rating);
  void addPlayButtonWithFrame(const cg::Rect& frame);
  void willPlayMovie();
  // The detail line of a record: year, country, rubric and genre, those present.
  static std::string detailTextForRecord(const ns::Value& record);
  static bool isForeignLink(const ns::Value& record);

 protected:
  MainSliderBase() = default;

  // Creation: the frame, the list and its empty slots, the request, the views, the first pages.
  void setUpSlider(const cg::Rect& frame, ns::Array films);
  // The poster list the slider asks for.
  virtual std::string posterListURL() const;
  // The re-layout for a new size: the record in view is kept (measured with the width the offset
  // was made for), the dots centred for the count, the pages refilled 0.3 seconds later.
  void layoutSlider(cg::Size size, double dotsCentre, double belowPages);
  virtual cg::Rect scrollViewFrame() const = 0;
  // The largest page the slider shows in any orientation: posters are decoded at most at its
  // pixels.
  virtual cg::Size largestPageSize() const;
  virtual bool scrollViewBounces() const = 0;
  // The panel's views.
  virtual void addPageControll() = 0;
  virtual cg::Rect ratingFrame() const = 0;
  // The dots of a newly installed list (the phone sizes them by the count).
  virtual void didSetNumberOfPages(int) {}
  // Tells the delegate whether the poster list loaded.
  virtual void reportLoaded(bool loaded) = 0;
  virtual void forgetDelegate() = 0;

  // The record at the index, nil past either end.
  ns::Value recordAt(int index) const;
  int recordCount() const { return static_cast<int>(filmList_.size()); }
  // The slot showing the offset on pages of the width: trunc(2x + w) / trunc(2w); nothing for a
  // width below one point.
  static std::optional<int> slotForOffset(double x, double width);
  // Runs the block, logging the format with anything thrown.
  static void guarded(const char* format, const std::function<void()>& block);
  // A one-line panel label in the panel's font, on a clear background, added to the parent.
  static std::shared_ptr<ui::Label> addPanelLabel(const std::shared_ptr<ui::View>& parent,
                                                  const cg::Rect& frame, double fontSize,
                                                  const ui::Color& colour);

  void setScrollView(std::shared_ptr<ui::ScrollView> v) { scrollView_ = std::move(v); }
  void setPageControl(std::shared_ptr<CustomPageControl> v) { pageControl_ = std::move(v); }
  void setPageView(std::shared_ptr<ui::View> v) { pageView_ = std::move(v); }
  void setSliderPanelImageView(std::shared_ptr<ui::ImageView> v) { sliderPanelImageView_ = std::move(v); }
  void setNameLabel(std::shared_ptr<ui::Label> v) { nameLabel_ = std::move(v); }
  void setDetailLabel(std::shared_ptr<ui::Label> v) { detailLabel_ = std::move(v); }
  void setDescriptionLabel(std::shared_ptr<ui::Label> v) { descriptionLabel_ = std::move(v); }
  void setIsLayout(bool layout) { isLayout_ = layout; }
  void setPageForLayout(int slot) { pageForLayout_ = slot; }
  // The width the pages and the offset were last laid out for.
  double laidOutWidth() const { return laidOutWidth_; }
  void setLaidOutWidth(double width) { laidOutWidth_ = width; }

 private:
  void addScrollView(int count);
  void handleReply(const ns::Value& JSON);
  void posterDownloaded(const std::string& url, const cg::ImagePtr& bitmap,
                        const std::weak_ptr<ui::ImageView>& imageView);

  ns::Array filmList_;
  std::shared_ptr<ui::ScrollView> scrollView_;
  std::vector<std::shared_ptr<ui::ImageView>> pageViews_;
  std::vector<std::shared_ptr<ui::Button>> playButtons_;
  std::shared_ptr<CustomPageControl> pageControl_;
  std::shared_ptr<ui::View> pageView_;
  std::shared_ptr<ui::ImageView> sliderPanelImageView_;
  std::shared_ptr<ui::Label> nameLabel_, detailLabel_, descriptionLabel_;
  std::shared_ptr<StarRatingView> ratingControl_;
  std::shared_ptr<ui::Button> playButton_;
  ns::TimerPtr sliderTimer_;
  std::atomic<int> curPage_{0};
  std::atomic<bool> isLoadedJSON_{false};
  std::atomic<bool> isLayout_{false};
  int pageForLayout_ = 0;
  double laidOutWidth_ = 0;
  bool stopped_ = false;
  std::shared_ptr<ns::Object> refillToken_ = std::make_shared<ns::Object>();
};
