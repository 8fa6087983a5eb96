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
#include "UIKit/Button.h"
#include "UIKit/ImageView.h"
#include "UIKit/ScrollView.h"
#include "UIKit/View.h"

class TLVideoItemPriviewBase;

// A rubric row: a titled, horizontally scrolling strip of tiles. This is what the tablet and the
// phone rows share: the row's state, the service requests with handlers that hold the row weakly,
// the title-list kinds and the per-title list files; on screen the heading, the scroll view and
// the two-row big-poster layout.
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
  // The row's load failed or brought nothing: it has told its delegate NO and stopped its spinner.
  bool isLoadFailed() const { return isLoadFailed_; }
  // Stored only.
  bool inMainPage() const { return inMainPage_; }
  void setInMainPage(bool value) { inMainPage_ = value; }
  bool inOtherPage() const { return inOtherPage_; }
  void setInOtherPage(bool value) { inOtherPage_ = value; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityView() const { return activityView_; }
  const std::shared_ptr<ui::Button>& rubrikLabel() const { return rubrikLabel_; }
  const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
  const std::shared_ptr<ui::ImageView>& bgImageView() const { return bgImageView_; }
  double returnElementWidth() const { return geometry_.elementWidth; }

  // The heading button in the rectangle, widened for a long text; a category id of 1 or more names
  // the category and opens it when tapped.
  void createLabel(const cg::Rect& rect, const std::string& category);
  // The heading's action: posts "TLShowCategory" with {"categoryId": tag} for a positive tag.
  void TLScrollViewRubricClick(ui::Control& sender);
  // A new scroll view over the row, sized for the items (the tablet adds its strip and spinner).
  void addScrollView();

  void startActivityIndicator();
  void stopActivityIndicator();

  // A turn that widens the row keeps its scroll view within the content: the offset chosen for
  // the narrower width would leave an empty band past the last tile. A turn that leaves the marked
  // tile out of view scrolls to it again.
  void layoutSubviews() override;

  // Begins the load the sort kind names: a category for "new" and "popular", a title list for
  // "series", "adv" and "role"; any other kind does nothing.
  void start();

  // What a category row reads of a get_category reply, taken where the reply was decoded: its
  // "title" and the tab's group ("new": index 2, else 1) cut to the tiles a row keeps; the
  // heading and tiles read from it are those read from the whole reply.
  static ns::Value categoryReplyForRow(const ns::Value& reply, bool newGroup);

  // The text between "category_id=" and the next "&" (or the end).
  static std::optional<std::string> getCategoryIdFromUrl(const std::string& url);
  // The text after the first `start` up to the next `end` (the end of `inner` when `end` is empty
  // or absent); nothing when `start` does not occur or nothing follows it.
  static std::optional<std::string> stringBetweenString(const std::string& start, const std::string& end,
                                                        const std::string& inner);

  // What tells the twins' screens apart.
  struct Geometry {
    double elementWidth;
    cg::Rect headingRect;     // of home rows and filled rows
    double measuringWidth;    // of the box a heading is measured in, 40 high
    double headingThreshold;  // a heading measured wider gets its own width
    bool stripAndSpinner;     // addScrollView adds the strip image and a missing spinner
    cg::Point bigTileOrigin;
    double bigTileGap;  // between the big tile and the first column
    double lowerRowY;
    bool bigPosterOnce;  // the big tile's poster goes to one setter only
  };

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

  struct Heading {
    std::string text;
    long long tag;
    bool enabled;
  };
  // What a tile build reads, taken on the main thread before it starts.
  struct TileBuild {
    std::shared_ptr<ui::ScrollView> scrollView;
    ns::Array items;
    int loadPriority;
    bool labelCenter;
    bool itemSelected;
    int selectedIndex;  // 0 when unset
    bool episodes;      // the sort kind is "ser"
  };

  explicit TLRubricScrollViewBase(const Geometry& geometry) : geometry_(geometry) {}
  const Geometry& geometry() const { return geometry_; }
  virtual Heading headingFor(const std::string& category) const = 0;
  virtual std::shared_ptr<TLVideoItemPriviewBase> makeTile(cg::Point origin, int style) const = 0;
  // The tablet moves the title down on a row that asks for it.
  virtual void centreTileLabel(TLVideoItemPriviewBase&) const {}

  TileBuild tileBuild(int loadPriority) const;
  // Item 0 big, the others in two rows to its right; tiles built off the main thread are added
  // there, the big one waiting only when `waitForBigTile`. The content size is set on the main
  // thread too.
  void addBigImages(const TileBuild& build, bool waitForBigTile) const;
  // The item's value when it is text.
  static std::optional<std::string> itemText(const ns::Value& item, const char* key);
  // A tile's texts, id, url, rating and parent id from the item (the poster is the caller's).
  static void setTileTexts(TLVideoItemPriviewBase& tile, const ns::Value& item);
  static void setTileRatingAndParent(TLVideoItemPriviewBase& tile, const ns::Value& item);
  // Runs the block on the main thread: at once there, else handed over, waiting or not.
  static void onMainThread(std::function<void()> block, bool wait);
  // Lets go of the reference on the main thread, where views are released.
  template <class T>
  static void releaseOnMainThread(std::shared_ptr<T>&& object) {
    onMainThread([keep = std::move(object)] {}, false);
  }
  // The state of a row made to load a URL: spinner turning, nothing requested yet.
  void setUpLoadingRow(std::optional<ns::URL> url, const cg::Rect& frame, std::string sort);
  // What a home-page row sets after that.
  void setUpMainPageRow();
  virtual void loadCategory() = 0;
  virtual void loadTitleList(const TitleListKind& kind) = 0;
  // Requests selfURL as JSON, started at once. The handlers run on the main thread, only while the
  // row lives, inside the exception guard. A category row's handler gets its reply as
  // categoryReplyForRow cuts it, so the rest is let go before it reaches the main thread.
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
  const Geometry& geometry_;
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
  bool isLoadFailed_ = false;
  bool inMainPage_ = false;
  bool inOtherPage_ = false;
  std::shared_ptr<ui::ActivityIndicatorView> activityView_;
  std::shared_ptr<ui::Button> rubrikLabel_;
  std::shared_ptr<ui::ScrollView> scrollView_;
  // The scroll view's width at the last layout pass; a change is a turn.
  std::optional<double> laidOutWidth_;
  std::shared_ptr<ui::ImageView> bgImageView_;

 protected:
  // The persons layout swaps the strip image.
  void setBgImageView(std::shared_ptr<ui::ImageView> view) { bgImageView_ = std::move(view); }
  static std::shared_ptr<ui::ImageView> makeStripImage(double y, double width);
  // Takes the spinner off the row for good.
  void removeActivityIndicator();
  // A failed load stops the spinner, which would otherwise turn over an empty row for ever.
  void markLoadFailed();
};
