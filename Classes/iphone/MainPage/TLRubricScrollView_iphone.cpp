#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"

#include "Classes/MainPage/RubricTileInfo.h"

namespace {

TLRubricScrollView_iphone& phone(TLRubricScrollViewBase& row) {
  return static_cast<TLRubricScrollView_iphone&>(row);
}

}  // namespace

std::shared_ptr<TLRubricScrollView_iphone> TLRubricScrollView_iphone::initWithUrl(std::optional<ns::URL> url,
                                                                                  const cg::Rect& frame,
                                                                                  std::string sort) {
  setUpLoadingRow(std::move(url), frame, std::move(sort));
  rubricDelegate_.reset();
  return self<TLRubricScrollView_iphone>();
}

std::shared_ptr<TLRubricScrollView_iphone> TLRubricScrollView_iphone::initForMainPageWithUrl(
    std::optional<ns::URL> url, const cg::Rect& frame, std::string sort) {
  initWithUrl(std::move(url), frame, std::move(sort));
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
        if (!tiles) return row.scrollViewHasBeenLoaded(false);
        row.dataHasBeenLoadedForCategory(getCategoryIdFromUrl(url).value_or(""), *tiles);
      },
      [](TLRubricScrollViewBase& row) { phone(row).scrollViewHasBeenLoaded(false); });
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
          row.scrollViewHasBeenLoaded(false);
      },
      // The page waits for this report to stop its spinner.
      [](TLRubricScrollViewBase& row) { phone(row).scrollViewHasBeenLoaded(false); });
}

void TLRubricScrollView_iphone::saveJSONWithFileName(const std::string& fileName, const ns::Value& JSON) {
  bool written = false;
  guarded([&] { written = writeList(fileName, JSON, true) == TLTitleListCache::Outcome::written; });
  scrollViewHasBeenLoaded(written);
}

void TLRubricScrollView_iphone::dataHasBeenLoadedForCategory(const std::string&, const ns::Array& items) {
  if (items.empty()) return scrollViewHasBeenLoaded(false);
  // The phone row stops its spinner and reports once its tiles are built.
  setFilmsArray(items);
}

void TLRubricScrollView_iphone::scrollViewHasBeenLoaded(bool loaded) {
  if (auto delegate = rubricDelegate_.lock())
    delegate->rubricViewDidLoadWithScrollView(loaded, self<TLRubricScrollView_iphone>());
}
