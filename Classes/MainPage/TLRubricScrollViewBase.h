#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Classes/MainPage/TLTitleListCache.h"
#include "Foundation/URL.h"
#include "Foundation/URLRequest.h"
#include "Foundation/Value.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/View.h"

// A rubric row: a titled, horizontally scrolling strip of tiles. This is what the tablet and the
// phone rows share of where their items come from: the row's state, the service requests with
// handlers that hold the row weakly, the title-list kinds and the per-title list files.
class TLRubricScrollViewBase : public ui::View {
 public:
  // Sort kinds a caller passes: "new" and "popular" load a category, "series", "adv" and "role"
  // a title list. A "series" row becomes "ser" once its list has arrived; a file row holds the
  // file's kind.
  const std::optional<ns::URL>& selfURL() const { return selfURL_; }
  void setSelfURL(std::optional<ns::URL> url) { selfURL_ = std::move(url); }
  const std::string& sortString() const { return sortString_; }
  void setSortString(std::string sort) { sortString_ = std::move(sort); }
  // RubricTileInfo records, or person records for a persons row.
  const ns::Array& filmsArray() const { return filmsArray_; }
  void setFilmsArray(ns::Array films) { filmsArray_ = std::move(films); }
  const std::string& rubricName() const { return rubricName_; }
  void setRubricName(std::string name) { rubricName_ = std::move(name); }
  // Series id given to episodes whose own parent_id is empty.
  const std::string& parent_id() const { return parent_id_; }
  void setParent_id(std::string id) { parent_id_ = std::move(id); }
  // Facts of the title being shown, copied into each saved list record while set.
  const std::optional<std::string>& age() const { return age_; }
  void setAge(std::optional<std::string> age) { age_ = std::move(age); }
  const std::optional<std::string>& rubrik() const { return rubrik_; }
  void setRubrik(std::optional<std::string> rubrik) { rubrik_ = std::move(rubrik); }
  const std::optional<std::string>& genre() const { return genre_; }
  void setGenre(std::optional<std::string> genre) { genre_ = std::move(genre); }
  const std::optional<std::string>& selectedIndex() const { return selectedIndex_; }
  void setSelectedIndex(std::optional<std::string> index) { selectedIndex_ = std::move(index); }
  bool isItemSelected() const { return isItemSelected_; }
  void setIsItemSelected(bool selected) { isItemSelected_ = selected; }
  bool isBIG() const { return isBIG_; }
  void setIsBIG(bool big) { isBIG_ = big; }
  bool isButtonEnabled() const { return isButtonEnabled_; }
  void setIsButtonEnabled(bool enabled) { isButtonEnabled_ = enabled; }
  bool isLabelCenter() const { return isLabelCenter_; }
  void setIsLabelCenter(bool center) { isLabelCenter_ = center; }
  bool isCancelRequest() const { return isCancelRequest_; }
  void setIsCancelRequest(bool cancel) { isCancelRequest_ = cancel; }
  // Stored only.
  bool inMainPage() const { return inMainPage_; }
  void setInMainPage(bool value) { inMainPage_ = value; }
  bool inOtherPage() const { return inOtherPage_; }
  void setInOtherPage(bool value) { inOtherPage_ = value; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityView() const { return activityView_; }

  void startActivityIndicator();
  void stopActivityIndicator();

  // Begins the load the sort kind names: a category for "new" and "popular", a title list for
  // "series", "adv" and "role"; any other kind does nothing.
  void start();

  // The text between "category_id=" and the next "&" (or the end).
  static std::optional<std::string> getCategoryIdFromUrl(const std::string& url);
  // The text after the first `start` up to the next `end` (the end of `inner` when `end` is empty
  // or absent); nothing when `start` does not occur or nothing follows it.
  static std::optional<std::string> stringBetweenString(const std::string& start, const std::string& end,
                                                        const std::string& inner);

 protected:
  using ReplyHandler =
      std::function<void(TLRubricScrollViewBase& row, const std::string& requestURL, const ns::Value& JSON)>;
  using FailureHandler = std::function<void(TLRubricScrollViewBase& row)>;

  // A title list a row can load: its sort kind, heading and file name format.
  struct TitleListKind {
    const char* sort;
    const char* heading;
    const char* fileFormat;
  };
  static const TitleListKind* titleListKind(const std::string& sort);

  TLRubricScrollViewBase() = default;
  // The state of a row made to load a URL: spinner turning, nothing requested yet.
  void setUpLoadingRow(std::optional<ns::URL> url, const cg::Rect& frame, std::string sort);
  // What a home-page row sets after that.
  void setUpMainPageRow();
  virtual void loadCategory() = 0;
  virtual void loadTitleList(const TitleListKind& kind) = 0;
  // Requests selfURL as JSON, started at once. The handlers run on the main thread, only while the
  // row lives, inside the exception guard.
  void loadJSON(ns::URLRequestCachePolicy policy, ReplyHandler success, FailureHandler failure);
  // Takes a title list's reply: heading and sort kind; the name of the file to save it under, or
  // nothing when the URL's title id cannot name a file.
  std::optional<std::string> takeTitleList(const TitleListKind& kind, const std::string& requestURL);
  // Writes the per-title list file with this row's facts.
  TLTitleListCache::Outcome writeList(const std::string& fileName, const ns::Value& JSON,
                                      bool withItemRating);
  // Runs the block, logging "Exception: %@" for anything thrown.
  static void guarded(const std::function<void()>& block);

 private:
  std::optional<ns::URL> selfURL_;
  std::string sortString_;
  ns::Array filmsArray_;
  std::string rubricName_;
  std::string parent_id_;
  std::optional<std::string> age_, rubrik_, genre_;
  std::optional<std::string> selectedIndex_;
  bool isItemSelected_ = false;
  bool isBIG_ = false;
  bool isButtonEnabled_ = false;
  bool isLabelCenter_ = false;
  bool isCancelRequest_ = false;
  bool inMainPage_ = false;
  bool inOtherPage_ = false;
  std::shared_ptr<ui::ActivityIndicatorView> activityView_;
};
