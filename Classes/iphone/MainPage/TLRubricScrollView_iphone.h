#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/MainPage/TLRubricScrollViewBase.h"

class TLRubricScrollView_iphone;

// Told by a phone rubric row whether its list has loaded.
class TLRubricScrollViewDelegateIphone {
 public:
  virtual ~TLRubricScrollViewDelegateIphone() = default;
  virtual void rubricViewDidLoadWithScrollView(bool loaded,
                                               const std::shared_ptr<TLRubricScrollView_iphone>& row) = 0;
};

// The phone's rubric row. A home row loads its category and builds its tiles, always in the
// big-poster layout, on the background-priority global queue; it reports once they are built. The
// phone title page uses "series" and "adv" rows only to load and cache the lists, and hears whether
// a list was cached.
class TLRubricScrollView_iphone final : public TLRubricScrollViewBase {
 public:
  TLRubricScrollView_iphone();
  std::shared_ptr<TLRubricScrollView_iphone> initWithUrl(std::optional<ns::URL> url, const cg::Rect& frame,
                                                         std::string sort);
  std::shared_ptr<TLRubricScrollView_iphone> initForMainPageWithUrl(std::optional<ns::URL> url,
                                                                    const cg::Rect& frame, std::string sort);
  // Only the view: the phone reads no file here.
  std::shared_ptr<TLRubricScrollView_iphone> initWithFile(const std::string& fileName, const cg::Rect& frame,
                                                          const std::string& selectedItem);

  // Fills the row with a list; an empty list reports NO.
  void dataHasBeenLoadedForCategory(const std::string& category, const ns::Array& items);
  // Writes the per-title list file (with each item's rating) and reports whether it holds a list.
  void saveJSONWithFileName(const std::string& fileName, const ns::Value& JSON);
  void enableButton(bool enabled) { setIsButtonEnabled(enabled); }

  std::weak_ptr<TLRubricScrollViewDelegateIphone> rubricDelegate() const { return rubricDelegate_; }
  void setRubricDelegate(std::weak_ptr<TLRubricScrollViewDelegateIphone> delegate) {
    rubricDelegate_ = std::move(delegate);
  }
  void scrollViewHasBeenLoaded(bool loaded);

  // Schedules the tiles on the background-priority global queue.
  void addImagesToScrollView();
  // After the tiles: the spinner leaves the row and the delegate hears YES.
  void stopAnimating();

 protected:
  void loadCategory() override;
  void loadTitleList(const TitleListKind& kind) override;
  Heading headingFor(const std::string& category) const override;
  std::shared_ptr<TLVideoItemPriviewBase> makeTile(cg::Point origin, int style) const override;

 private:
  // A failed load: the spinner stops and the delegate hears NO.
  void reportNotLoaded();

  std::weak_ptr<TLRubricScrollViewDelegateIphone> rubricDelegate_;
};
