#include "Classes/MainPage/TLRubricScrollView.h"

#include "Classes/MainPage/RubricTileInfo.h"
#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLRolesItem.h"
#include "Foundation/String.h"

namespace {

constexpr const char* kEpisodesHeading = "ВЫБОР ЭПИЗОДА";
constexpr const char* kRelatedHeading = "СМОТРИТЕ ТАКЖЕ";
constexpr const char* kPersonsHeading = "ПЕРСОНЫ";
constexpr cg::Rect kHeadingRect{18, 0, 200, 37};
constexpr double kElementWidth = 235;

const TLRubricScrollViewBase::Geometry kTablet{
    kElementWidth, kHeadingRect, 1000, 150, true, {20, 45}, 30, 225, false,
};

// Person ids come as text or as numbers; anything else names nobody.
std::string personText(const ns::Value& value) { return TLSettings::idFromObject(value); }

TLRubricScrollView& tablet(TLRubricScrollViewBase& row) { return static_cast<TLRubricScrollView&>(row); }

}  // namespace

TLRubricScrollView::TLRubricScrollView() : TLRubricScrollViewBase(kTablet) {}

std::shared_ptr<TLRubricScrollView> TLRubricScrollView::initWithUrl(std::optional<ns::URL> url,
                                                                    const cg::Rect& frame, std::string sort) {
  setUpLoadingRow(std::move(url), frame, std::move(sort));
  rubricDelegate_.reset();
  return self<TLRubricScrollView>();
}

std::shared_ptr<TLRubricScrollView> TLRubricScrollView::initForMainPageWithUrl(std::optional<ns::URL> url,
                                                                               const cg::Rect& frame,
                                                                               std::string sort) {
  std::string category = url ? getCategoryIdFromUrl(url->absoluteString()).value_or("") : "";
  initWithUrl(std::move(url), frame, std::move(sort));
  createLabel(kHeadingRect, category);
  setUpMainPageRow();
  return self<TLRubricScrollView>();
}

std::shared_ptr<TLRubricScrollView> TLRubricScrollView::initWithFrame(const cg::Rect& frame,
                                                                      ns::Array rolesArray) {
  initWithFrame(frame);
  rubricDelegate_.reset();
  setFilmsArray(std::move(rolesArray));
  addScrollView();
  setIsButtonEnabled(false);
  createLabel({18, 0, 150, 37}, kPersonsHeading);
  addRolesToScrollView();
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
        if (!JSON.isDictionary()) return row.reportNotLoaded();
        row.setRubricName(ns::uppercaseString(TLSettings::stringFromObject(JSON["title"])));
        row.setIsBIG(true);
        auto tiles = RubricTileInfo::tilesFromCategoryReply(JSON, newGroup);
        if (!tiles) return row.reportNotLoaded();
        row.stopActivityIndicator();
        // Nothing in the tab's group is news, not a failure: the row stays empty under its heading.
        if (tiles->empty()) return row.scrollViewHasBeenLoaded(true);
        row.dataHasBeenLoadedForCategory(getCategoryIdFromUrl(url).value_or(""), *tiles);
      },
      [](TLRubricScrollViewBase& row) { tablet(row).reportNotLoaded(); });
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
      [](TLRubricScrollViewBase& row) { tablet(row).reportNotLoaded(); });
}

void TLRubricScrollView::parseJSONForSerial(const ns::Value& JSON, const std::string& rubrickName) {
  // A reply of the wrong shape reports like an empty one, except in a file row (no delegate yet).
  const ns::Value& items = JSON["items"];
  if (!items.isArray() || items.count() == 0) return reportNotLoaded();
  bool episodes = sortString() == "ser";
  // The row shows what the list file keeps, last first.
  ns::Array kept = TLTitleListCache::listItems(
      JSON, episodes ? TLTitleListCache::kMaxEpisodes : TLTitleListCache::kMaxRelatedTitles);
  ns::Array tiles;
  tiles.reserve(kept.size());
  for (auto item = kept.rbegin(); item != kept.rend(); ++item)
    tiles.emplace_back(RubricTileInfo::fromTitleListItem(*item, parent_id(), episodes));
  dataHasBeenLoadedForCategory(rubrickName, tiles);
}

void TLRubricScrollView::saveJSONWithFileName(const std::string& fileName, const ns::Value& JSON) {
  guarded([&] { writeList(fileName, JSON, false); });
}

void TLRubricScrollView::dataHasBeenLoadedForCategory(const std::string& category, const ns::Array& items) {
  if (items.empty()) return reportNotLoaded();
  stopActivityIndicator();
  setFilmsArray(items);
  addScrollView();
  createLabel(kHeadingRect, category);
  // The delegate hears before the tiles exist.
  scrollViewHasBeenLoaded(true);
  addImagesToScrollView();
}

void TLRubricScrollView::stopAsync() {
  if (operationQueue_) operationQueue_->cancelAllOperations();
  rubricDelegate_.reset();
  setIsCancelRequest(true);
}

void TLRubricScrollView::reportNotLoaded() {
  markLoadFailed();
  scrollViewHasBeenLoaded(false);
}

void TLRubricScrollView::scrollViewHasBeenLoaded(bool loaded) {
  if (auto delegate = rubricDelegate_.lock())
    delegate->rubricViewDidLoadWithScrollView(loaded, self<TLRubricScrollView>());
}

// --- Tiles ----------------------------------------------------------------------------------

TLRubricScrollViewBase::Heading TLRubricScrollView::headingFor(const std::string& category) const {
  long long id = TLSettings::longFromObject(ns::Value(category));
  if (id >= 1) return {ns::uppercaseString(TLSettings::getCategoryNameById(category)), id, true};
  // Headings of the lists a page shows; these two lead nowhere.
  bool enabled = category != "РЕКОМЕНДУЕМ ПОСМОТРЕТЬ" && category != "ДРУГОЕ";
  return {category, -1000, enabled};
}

std::shared_ptr<TLVideoItemPriviewBase> TLRubricScrollView::makeTile(cg::Point origin, int style) const {
  return std::make_shared<TLVideoItemPriview>()->initWithFrame({origin, {0, 0}}, style);
}

void TLRubricScrollView::centreTileLabel(TLVideoItemPriviewBase& tile) const {
  static_cast<TLVideoItemPriview&>(tile).setLabelCenter();
}

double TLRubricScrollView::calculateContentOffsetWithViewWidth(double viewWidth, double contentWidth,
                                                               double elementWidth, int elementNumber) {
  double offset = elementNumber * elementWidth;
  if (contentWidth - offset < viewWidth) offset = contentWidth - viewWidth;
  if (offset > contentWidth) offset = contentWidth;
  if (offset < 0) offset = 0;
  return offset;
}

bool TLRubricScrollView::isCancelFromOperationQueue() const {
  if (!operationQueue_) return false;
  auto operations = operationQueue_->operations();
  return !operations.empty() && operations.front()->isCancelled();
}

void TLRubricScrollView::addImagesToScrollView() {
  auto scroll = scrollView();
  if (!scroll) return;
  std::size_t count = filmsArray().size();
  double contentWidth = static_cast<double>(count) * kElementWidth + 20;
  scroll->setContentSize({contentWidth, scroll->frame().height()});
  int selected = selectedIndex() ? ns::Value(*selectedIndex()).intValue() : 0;
  double x = calculateContentOffsetWithViewWidth(bounds().width(), contentWidth, kElementWidth, selected);
  scroll->setContentOffset({x, 0}, false);
  stopActivityIndicator();
  if (count < kBackgroundListLength) return isBIG() ? addBigImage(2) : addOthersImages(2);

  startActivityIndicator();
  if (!operationQueue_) operationQueue_ = std::make_shared<ns::OperationQueue>();
  // The operation keeps the row until it has run; the row is let go on the main thread.
  auto operation = std::make_shared<ns::InvocationOperation>()->initWithInvocation(
      [row = self<TLRubricScrollView>(), build = tileBuild(3)]() mutable {
        guarded([&] { row->addImagesAsync(build); });
        releaseOnMainThread(std::move(row));
      });
  operationQueue_->addOperation(operation);
}

void TLRubricScrollView::addImagesAsync(const TileBuild& build) {
  if (isBIG())
    addBigImages(build, true);
  else
    addOthersImages(build);
}

void TLRubricScrollView::addOthersImages(int loadPriority) { addOthersImages(tileBuild(loadPriority)); }

void TLRubricScrollView::addBigImage(int loadPriority) { addBigImages(tileBuild(loadPriority), true); }

void TLRubricScrollView::addOthersImages(const TileBuild& build) {
  auto scroll = build.scrollView;
  if (!scroll) return;
  bool background = build.loadPriority == 3;
  std::weak_ptr<TLRubricScrollView> weak = self<TLRubricScrollView>();
  for (std::size_t i = 0; i < build.items.size(); ++i) {
    if (isCancelFromOperationQueue()) return;
    const ns::Value& item = build.items[i];
    int index = static_cast<int>(i);
    double x = 20 + kElementWidth * index;
    auto tile = std::make_shared<TLVideoItemPriview>()->initWithFrame({x, 47, 0, 0});
    if (build.itemSelected && build.selectedIndex == index) tile->setIsItemSelected(true);
    if (build.episodes) {
      tile->setTypeIsEpisode(true);
      tile->reduceBGheightBy(15);
    }
    tile->setItemIndex(index);
    tile->setLoadPriority(build.loadPriority);
    setTileTexts(*tile, item);
    tile->setImageUrl(itemText(item, "image"));
    if (const std::string* category = item["category"].asString()) tile->setCategoryName(*category);
    setTileRatingAndParent(*tile, item);
    onMainThread([scroll, tile] { scroll->addSubview(tile); }, true);
    // The offset is read where it changes: on the main thread.
    if (background)
      onMainThread(
          [weak, scroll, x] {
            auto row = weak.lock();
            if (row && x > scroll->contentOffset().x) row->stopActivityIndicator();
          },
          false);
  }
  onMainThread(
      [scroll, width = static_cast<double>(build.items.size()) * kElementWidth + 20] {
        scroll->setContentSize({width, scroll->frame().height()});
        scroll->setHidden(false);
      },
      false);
}

void TLRubricScrollView::addRolesToScrollView() {
  stopActivityIndicator();
  auto scroll = scrollView();
  if (!scroll) return;
  const ns::Array& people = filmsArray();
  for (std::size_t i = 0; i < people.size(); ++i) {
    const ns::Value& person = people[i];
    auto tile = std::make_shared<TLRolesItem>()->initWithFrame(
        {20 + kElementWidth * static_cast<double>(i), 52, 0, 0});
    tile->setLoadPriority(-1);
    tile->setTitle(TLSettings::stringFromObject(person["fullname"]));
    tile->setId_actor(personText(person["id"]));
    tile->setImage(TLSettings::stringFromObject(person["photo_76x101"]));
    if (!person["description"].isNil()) tile->setDescr(TLSettings::stringFromObject(person["description"]));
    scroll->addSubview(tile);
  }
  double height = scroll->frame().height();
  scroll->setContentSize({static_cast<double>(people.size()) * kElementWidth + 20, height});
  if (bgImageView()) bgImageView()->setHidden(true);
  setBgImageView(makeStripImage(height - 14, scroll->frame().width()));
  addSubview(bgImageView());
}
