#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"

#include "Classes/MainPage/RubricTileInfo.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/MainPage/TLVideoItemPriview_iphone.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/String.h"

namespace {

constexpr cg::Rect kHeadingRect{10, 0, 100, 37};

const TLRubricScrollViewBase::Geometry kPhone{
    174, kHeadingRect, 320, 100, false, {12, 45}, 20, 180, true,
};

TLRubricScrollView_iphone& phone(TLRubricScrollViewBase& row) {
  return static_cast<TLRubricScrollView_iphone&>(row);
}

}  // namespace

TLRubricScrollView_iphone::TLRubricScrollView_iphone() : TLRubricScrollViewBase(kPhone) {}

std::shared_ptr<TLRubricScrollView_iphone> TLRubricScrollView_iphone::initWithUrl(std::optional<ns::URL> url,
                                                                                  const cg::Rect& frame,
                                                                                  std::string sort) {
  setUpLoadingRow(std::move(url), frame, std::move(sort));
  rubricDelegate_.reset();
  return self<TLRubricScrollView_iphone>();
}

std::shared_ptr<TLRubricScrollView_iphone> TLRubricScrollView_iphone::initForMainPageWithUrl(
    std::optional<ns::URL> url, const cg::Rect& frame, std::string sort) {
  std::string category = url ? getCategoryIdFromUrl(url->absoluteString()).value_or("") : "";
  initWithUrl(std::move(url), frame, std::move(sort));
  createLabel(kHeadingRect, category);
  setUpMainPageRow();
  return self<TLRubricScrollView_iphone>();
}

std::shared_ptr<TLRubricScrollView_iphone> TLRubricScrollView_iphone::initWithFile(const std::string&,
                                                                                   const cg::Rect& frame,
                                                                                   const std::string&) {
  initWithFrame(frame);
  return self<TLRubricScrollView_iphone>();
}

void TLRubricScrollView_iphone::loadCategory() {
  bool newGroup = sortString() == "new";
  loadJSON(
      ns::URLRequestCachePolicy::UseProtocolCachePolicy,
      [newGroup](TLRubricScrollViewBase& base, const std::string& url, const ns::Value& JSON) {
        TLRubricScrollView_iphone& row = phone(base);
        auto tiles = RubricTileInfo::tilesFromCategoryReply(JSON, newGroup);
        if (!tiles) return row.reportNotLoaded();
        // Nothing in the tab's group is news, not a failure: the row stays empty under its heading.
        if (tiles->empty()) return row.stopAnimating();
        row.dataHasBeenLoadedForCategory(getCategoryIdFromUrl(url).value_or(""), *tiles);
      },
      [](TLRubricScrollViewBase& row) { phone(row).reportNotLoaded(); });
}

void TLRubricScrollView_iphone::loadTitleList(const TitleListKind& kind) {
  loadJSON(
      ns::URLRequestCachePolicy::UseProtocolCachePolicy,
      [&kind](TLRubricScrollViewBase& base, const std::string& url, const ns::Value& JSON) {
        TLRubricScrollView_iphone& row = phone(base);
        row.setIsBIG(false);
        // The page reads the list from the file: without one there is nothing to show.
        if (auto fileName = row.takeTitleList(kind, url))
          row.saveJSONWithFileName(*fileName, JSON);
        else
          row.reportNotLoaded();
      },
      // The page waits for this report to stop its spinner.
      [](TLRubricScrollViewBase& row) { phone(row).reportNotLoaded(); });
}

void TLRubricScrollView_iphone::saveJSONWithFileName(const std::string& fileName, const ns::Value& JSON) {
  bool written = false;
  guarded([&] { written = writeList(fileName, JSON, true) == TLTitleListCache::Outcome::written; });
  if (!written) return reportNotLoaded();
  scrollViewHasBeenLoaded(true);
}

void TLRubricScrollView_iphone::dataHasBeenLoadedForCategory(const std::string& category,
                                                             const ns::Array& items) {
  if (items.empty()) return reportNotLoaded();
  // The phone row stops its spinner and reports once its tiles are built.
  setFilmsArray(items);
  addScrollView();
  createLabel(kHeadingRect, category);
  addImagesToScrollView();
}

void TLRubricScrollView_iphone::addImagesToScrollView() {
  // The block keeps the row until the tiles are built; the row is let go on the main thread.
  dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_BACKGROUND),
                  [row = self<TLRubricScrollView_iphone>(), build = tileBuild(-1)]() mutable {
                    guarded([&] { row->addBigImages(build, false); });
                    onMainThread([row = std::move(row)] { row->stopAnimating(); }, false);
                  });
}

void TLRubricScrollView_iphone::stopAnimating() {
  removeActivityIndicator();
  scrollViewHasBeenLoaded(true);
}

TLRubricScrollViewBase::Heading TLRubricScrollView_iphone::headingFor(const std::string& category) const {
  return {ns::uppercaseString(TLSettings::getCategoryNameById(category)), ns::Value(category).longLongValue(),
          true};
}

std::shared_ptr<TLVideoItemPriviewBase> TLRubricScrollView_iphone::makeTile(cg::Point origin,
                                                                            int style) const {
  return std::make_shared<TLVideoItemPriview_iphone>()->initWithFrame({origin, {0, 0}}, style);
}

void TLRubricScrollView_iphone::reportNotLoaded() {
  markLoadFailed();
  scrollViewHasBeenLoaded(false);
}

void TLRubricScrollView_iphone::scrollViewHasBeenLoaded(bool loaded) {
  if (auto delegate = rubricDelegate_.lock())
    delegate->rubricViewDidLoadWithScrollView(loaded, self<TLRubricScrollView_iphone>());
}
