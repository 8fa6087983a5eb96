#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/MainPage/TLRubricScrollViewBase.h"
#include "Foundation/OperationQueue.h"

class TLRubricScrollView;

// Told by a tablet rubric row whether its list has loaded.
class TLRubricScrollViewDelegate {
 public:
  virtual ~TLRubricScrollViewDelegate() = default;
  virtual void rubricViewDidLoadWithScrollView(bool loaded,
                                               const std::shared_ptr<TLRubricScrollView>& row) = 0;
};

// The tablet's rubric row. A home row loads its category's "popular" or "new" titles; a title
// page's rows load a series' episodes ("series") or a title's related titles ("adv") and cache
// them, or are rebuilt from those files; pages may also fill a row with a ready list, or make a
// persons row. The delegate hears once per load whether the list arrived. Lists of 50 items or
// more are built on the row's own operation queue, which stopAsync cancels.
class TLRubricScrollView final : public TLRubricScrollViewBase {
 public:
  static constexpr std::size_t kBackgroundListLength = 50;

  TLRubricScrollView();
  using ui::View::initWithFrame;

  // A row for the URL and sort kind, its spinner turning; nothing is requested before start.
  std::shared_ptr<TLRubricScrollView> initWithUrl(std::optional<ns::URL> url, const cg::Rect& frame,
                                                  std::string sort);
  // A home-page row ("new" or "popular") for a get_category URL.
  std::shared_ptr<TLRubricScrollView> initForMainPageWithUrl(std::optional<ns::URL> url,
                                                             const cg::Rect& frame, std::string sort);
  // A persons row of records {"fullname", "id", "photo_76x101", "description"}; never reports.
  std::shared_ptr<TLRubricScrollView> initWithFrame(const cg::Rect& frame, ns::Array rolesArray);
  // A row rebuilt from a per-title list file, marking the item at the index ("-1" for none).
  // Null for a related-titles file without items. Never reports.
  std::shared_ptr<TLRubricScrollView> initWithFile(const std::string& fileName, const cg::Rect& frame,
                                                   const std::string& selectedItem);

  // Fills the row with a list; the category is a category id as text or a heading. An empty list
  // reports NO.
  void dataHasBeenLoadedForCategory(const std::string& category, const ns::Array& items);
  // Stops the row for good: tile building is cancelled, the delegate let go and later replies
  // ignored. Never waits for the building queue.
  void stopAsync();

  // Sizes the content, scrolls to the selected item and builds the tiles: at once below 50 items,
  // else on the operation queue.
  void addImagesToScrollView();
  // The one-row layout; stops before a tile once the building operation is cancelled.
  void addOthersImages(int loadPriority);
  // The big-poster layout of rows filled by a category load.
  void addBigImage(int loadPriority);
  void addRolesToScrollView();
  // The offset that brings element n into view without showing past the content's end.
  static double calculateContentOffsetWithViewWidth(double viewWidth, double contentWidth,
                                                    double elementWidth, int elementNumber);
  // Whether the first operation on the building queue has been cancelled.
  bool isCancelFromOperationQueue() const;
  const std::shared_ptr<ns::OperationQueue>& operationQueue() const { return operationQueue_; }

  // A get_title or get_related reply as tiles, last item first, under the heading.
  void parseJSONForSerial(const ns::Value& JSON, const std::string& rubrickName);
  void saveJSONWithFileName(const std::string& fileName, const ns::Value& JSON);

  std::weak_ptr<TLRubricScrollViewDelegate> rubricDelegate() const { return rubricDelegate_; }
  void setRubricDelegate(std::weak_ptr<TLRubricScrollViewDelegate> delegate) {
    rubricDelegate_ = std::move(delegate);
  }
  // Tells the delegate, when there is one.
  void scrollViewHasBeenLoaded(bool loaded);

 protected:
  void loadCategory() override;
  void loadTitleList(const TitleListKind& kind) override;
  Heading headingFor(const std::string& category) const override;
  std::shared_ptr<TLVideoItemPriviewBase> makeTile(cg::Point origin, int style) const override;
  void centreTileLabel(TLVideoItemPriviewBase& tile) const override;

 private:
  // A failed or empty load: the spinner stops and the delegate hears NO.
  void reportNotLoaded();
  void addOthersImages(const TileBuild& build);
  void addImagesAsync(const TileBuild& build);

  std::weak_ptr<TLRubricScrollViewDelegate> rubricDelegate_;
  std::shared_ptr<ns::OperationQueue> operationQueue_;
};
