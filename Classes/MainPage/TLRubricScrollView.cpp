#include "Classes/MainPage/TLRubricScrollView.h"

#include "Classes/MainPage/RubricTileInfo.h"
#include "Classes/TLSettings.h"
#include "Foundation/String.h"

namespace {

constexpr const char* kEpisodesHeading = "ВЫБОР ЭПИЗОДА";
constexpr const char* kRelatedHeading = "СМОТРИТЕ ТАКЖЕ";

TLRubricScrollView& tablet(TLRubricScrollViewBase& row) { return static_cast<TLRubricScrollView&>(row); }

}  // namespace

std::shared_ptr<TLRubricScrollView> TLRubricScrollView::initWithUrl(std::optional<ns::URL> url,
                                                                    const cg::Rect& frame, std::string sort) {
  setUpLoadingRow(std::move(url), frame, std::move(sort));
  rubricDelegate_.reset();
  return self<TLRubricScrollView>();
}

std::shared_ptr<TLRubricScrollView> TLRubricScrollView::initForMainPageWithUrl(std::optional<ns::URL> url,
                                                                               const cg::Rect& frame,
                                                                               std::string sort) {
  initWithUrl(std::move(url), frame, std::move(sort));
  setUpMainPageRow();
  return self<TLRubricScrollView>();
}

std::shared_ptr<TLRubricScrollView> TLRubricScrollView::initWithFrame(const cg::Rect& frame,
                                                                      ns::Array rolesArray) {
  initWithFrame(frame);
  rubricDelegate_.reset();
  setFilmsArray(std::move(rolesArray));
  setIsButtonEnabled(false);
  setIsLabelCenter(false);
  return self<TLRubricScrollView>();
}

std::shared_ptr<TLRubricScrollView> TLRubricScrollView::initWithFile(const std::string& fileName,
                                                                     const cg::Rect& frame,
                                                                     const std::string& selectedItem) {
  initWithFrame(frame);
  rubricDelegate_.reset();
  setIsItemSelected(ns::Value(selectedItem).intValue() >= 0);
  setSelectedIndex(selectedItem);
  setIsButtonEnabled(false);
  setIsLabelCenter(false);
  std::string kind = TLTitleListCache::kindOfFileName(fileName);
  setSortString(kind);
  bool keep = true;
  guarded([&] {
    ns::Value file = TLTitleListCache::read(fileName);
    if (kind == "ser") {
      setIsLabelCenter(true);
      parseJSONForSerial(file, kEpisodesHeading);
    } else if (kind == "als") {
      // Without related titles there is no row at all.
      if (file["items"].count() == 0 || !file["items"].isArray()) {
        keep = false;
        return;
      }
      parseJSONForSerial(file, kRelatedHeading);
    }
  });
  return keep ? self<TLRubricScrollView>() : nullptr;
}

void TLRubricScrollView::loadCategory() {
  bool newGroup = sortString() == "new";
  loadJSON(
      ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData,
      [newGroup](TLRubricScrollViewBase& base, const std::string& url, const ns::Value& JSON) {
        TLRubricScrollView& row = tablet(base);
        if (row.isCancelRequest()) return;
        // A reply of the wrong shape is a failed load: the page waits for every row's report.
        if (!JSON.isDictionary()) return row.scrollViewHasBeenLoaded(false);
        row.setRubricName(ns::uppercaseString(TLSettings::stringFromObject(JSON["title"])));
        row.setIsBIG(true);
        auto tiles = RubricTileInfo::tilesFromCategoryReply(JSON, newGroup);
        if (!tiles) return row.scrollViewHasBeenLoaded(false);
        if (!tiles->empty()) row.stopActivityIndicator();
        row.dataHasBeenLoadedForCategory(getCategoryIdFromUrl(url).value_or(""), *tiles);
      },
      [](TLRubricScrollViewBase& row) { tablet(row).scrollViewHasBeenLoaded(false); });
}

void TLRubricScrollView::loadTitleList(const TitleListKind& kind) {
  loadJSON(
      ns::URLRequestCachePolicy::UseProtocolCachePolicy,
      [&kind](TLRubricScrollViewBase& base, const std::string& url, const ns::Value& JSON) {
        TLRubricScrollView& row = tablet(base);
        if (row.isCancelRequest()) return;
        row.setIsBIG(false);
        row.stopActivityIndicator();
        // A title id that cannot name a file only costs the cache; the list is still shown.
        if (auto fileName = row.takeTitleList(kind, url)) row.saveJSONWithFileName(*fileName, JSON);
        // How a person list would be read from the reply is not defined: the row stays empty.
        if (std::string(kind.sort) == "role") return row.dataHasBeenLoadedForCategory(kind.heading, {});
        row.parseJSONForSerial(JSON, row.rubricName());
      },
      [](TLRubricScrollViewBase& row) { tablet(row).scrollViewHasBeenLoaded(false); });
}

void TLRubricScrollView::parseJSONForSerial(const ns::Value& JSON, const std::string& rubrickName) {
  // A reply of the wrong shape reports like an empty one, except in a file row (no delegate yet).
  const ns::Value& items = JSON["items"];
  if (!items.isArray() || items.count() == 0) return scrollViewHasBeenLoaded(false);
  ns::Array tiles;
  bool episodes = sortString() == "ser";
  for (std::size_t i = items.count(); i-- > 0;)
    if (items.at(i).isDictionary())
      tiles.emplace_back(RubricTileInfo::fromTitleListItem(items.at(i), parent_id(), episodes));
  dataHasBeenLoadedForCategory(rubrickName, tiles);
}

void TLRubricScrollView::saveJSONWithFileName(const std::string& fileName, const ns::Value& JSON) {
  guarded([&] { writeList(fileName, JSON, false); });
}

void TLRubricScrollView::dataHasBeenLoadedForCategory(const std::string&, const ns::Array& items) {
  if (items.empty()) return scrollViewHasBeenLoaded(false);
  stopActivityIndicator();
  setFilmsArray(items);
  scrollViewHasBeenLoaded(true);
}

void TLRubricScrollView::stopAsync() {
  rubricDelegate_.reset();
  setIsCancelRequest(true);
}

void TLRubricScrollView::scrollViewHasBeenLoaded(bool loaded) {
  if (auto delegate = rubricDelegate_.lock())
    delegate->rubricViewDidLoadWithScrollView(loaded, self<TLRubricScrollView>());
}
