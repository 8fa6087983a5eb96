#include "Classes/TitlePageViewController.h"

#include <exception>
#include <functional>

#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/TLExceptionLog.h"
#include "Classes/TLSettings.h"
#include "Classes/TLTitleFilmSubview.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "UIKit/Application.h"
#include "UIKit/Color.h"

namespace {

constexpr const char* kProducerPrefix = "Режиссёр: ";

// The platform's checked element access: past the end, or of the wrong kind where the reader
// relies on a dictionary, it throws instead of reading garbage.
const ns::Value& entryAt(const ns::Value& array, std::size_t index) {
  if (index >= array.count())
    throw ns::Exception(ns::kRangeException, ns::format("index %@ beyond bounds [0 .. %@]", index,
                                                        std::int64_t(array.count()) - 1));
  return array.at(index);
}

const ns::Value& dictionaryAt(const ns::Value& array, std::size_t index) {
  const ns::Value& entry = entryAt(array, index);
  if (!entry.isDictionary())
    throw ns::Exception(ns::kInvalidArgumentException, "unrecognized selector sent to instance");
  return entry;
}

// The directors' names of an info entry's items, each followed by a blank. The line is one label:
// names past the first few would not show. A longer list is cut, and told in one line.
void appendNames(std::string& line, const ns::Value& names, const std::string& titleId) {
  constexpr std::size_t kMaxNames = 20;
  if (names.isNil()) return;
  if (!names.isArray()) throw ns::Exception(ns::kInvalidArgumentException, "directors are not a list");
  const ns::Array& list = *names.asArray();
  for (std::size_t i = 0; i < list.size() && i < kMaxNames; ++i) line += ns::format("%@ ", list[i]);
  if (list.size() > kMaxNames)
    ns::log("The directors of title %@: the line keeps the first %d of the %d names sent", titleId,
            static_cast<long long>(kMaxNames), static_cast<long long>(list.size()));
}

std::string str(const ns::Value& v) { return TLSettings::stringFromObject(v); }

}  // namespace

TitlePageViewController::TitlePageViewController() = default;

TitlePageViewController::~TitlePageViewController() {
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
  if (auto* series = dynamic_cast<TLRubricScrollView*>(seriesView_.get())) series->stopAsync();
  if (auto* advanced = dynamic_cast<TLRubricScrollView*>(advancedView_.get())) advanced->stopAsync();
  if (auto* roles = dynamic_cast<TLRubricScrollView*>(roleView_.get())) roles->stopAsync();
  if (auto* section = dynamic_cast<TLTitleFilmSubview*>(titleSubview_.get())) section->stopAsync();
}

std::shared_ptr<TitlePageViewController> TitlePageViewController::initWithTitleInfo(
    const ns::Value& titleInfo) {
  initWithNibName("", nullptr);
  cacheSenderDictionary_ = titleInfo;
  titleParsedData_ = ns::Value();
  senderInfo_ = titleInfo;
  isReloadFromPlayer_ = false;
  shareUrlThisPage_.clear();
  isAlertShow_ = false;
  // Setting the background builds the tablet's views at once.
  if (!isPhone()) view()->setBackgroundColor(ui::Color::clearColor());
  auto url = ns::URL::URLWithString(str(titleInfo["url"]));
  if (toolbarLabel_) toolbarLabel_->setText(str(titleInfo["title"]));
  isAdvanced_ = isSeries_ = isPhone();
  isRoles_ = false;
  isLoadedFromFile_ = false;
  if (!isPhone()) loadAdvancedView();
  bool posterMarked = str(senderInfo_["poster"]) == "poster";
  if (!isItemIsEpisode() || posterMarked) {
    postRequestToURL(url);
  } else {
    loadSeriesView(std::nullopt, std::nullopt);
    postRequestToURL(url);
  }
  if (isPhone()) {
    loadAdvancedView();
    observeNewItem();
  }
  if (!activityView_) {
    cg::Rect b = view()->bounds();
    addActivityView(isPhone() ? cg::Rect{b.width() / 2, b.height() / 2, 20, 20}
                              : cg::Rect{b.width() - 40, 2, 20, 40});
  }
  return self<TitlePageViewController>();
}

void TitlePageViewController::addActivityView(const cg::Rect& frame) {
  activityView_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::whiteLarge);
  activityView_->setFrame(frame);
  activityView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                     ui::ViewAutoresizingFlexibleRightMargin);
  activityView_->startAnimating();
  view()->addSubview(activityView_);
}

bool TitlePageViewController::isItemIsEpisode() const {
  const ns::Value& parent = senderInfo_["parent_id"];
  return !parent.isNil() && !ns::format("%@", parent).empty();
}

long long TitlePageViewController::parentId() const { return TLSettings::longFromObject(senderInfo_["parent_id"]); }

long long TitlePageViewController::itemId() const { return TLSettings::longFromObject(senderInfo_["id"]); }

std::shared_ptr<AKMoviePlayerController> TitlePageViewController::player() const {
  return filmView_ ? filmView_->playerViewController() : nullptr;
}

ui::InterfaceOrientation TitlePageViewController::statusBarOrientation() const {
  return ui::Application::sharedApplication()->statusBarOrientation();
}

// --- Loading

void TitlePageViewController::postRequestToURL(const std::optional<ns::URL>& url) {
  isMainInfoLoad_ = false;
  sendTitleRequest(url);
}

void TitlePageViewController::sendTitleRequest(const std::optional<ns::URL>& url) {
  // A title whose URL could not be built is still asked for: the loader refuses the request with
  // a bad-URL error, sends nothing, and the page fails as for any failed reply.
  auto request = ns::URLRequest::requestWithURL(url);
  request->setCachePolicy(ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
  // The callbacks hold the page: a reply that comes after the page has gone is still read.
  auto page = self<TitlePageViewController>();
  NTJSONRequestOperation::JSONRequestOperationWithRequest(
      request,
      [page](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& json) {
        page->titleRecordReceived(json);
      },
      [page](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& error,
             const ns::Value&) {
        page->stopActivity();
        page->showAlertWithError(error);
      })
      ->start();
}

void TitlePageViewController::titleRecordReceived(const ns::Value& json) {
  bool ok = TLLogExceptions([&] {
    ui::InterfaceOrientation orientation = statusBarOrientation();
    if (!json.isDictionary()) {
      stopActivity();
      showAlertWithError(nullptr);
      return;
    }
    pageActors_ = json["actors"];
    if (const ns::Array* actors = pageActors_.asArray(); actors && actors->size() > kMaxPersons) {
      ns::log("The record of title %@ lists %d persons; the page keeps the first %d",
              TLSettings::idFromObject(senderInfo_["id"]), static_cast<long long>(actors->size()),
              static_cast<long long>(kMaxPersons));
      pageActors_ = ns::Array(actors->begin(), actors->begin() + kMaxPersons);
    }
    if (isPhone()) {
      isRoles_ = pageActors_.isArray() && pageActors_.count() > 0;
      loadSegmentedButton();
      if (segmentedControl_) segmentedControl_->setHidden(false);
    } else if (!pageActors_.isArray()) {
      isRoles_ = false;
      changeScrollsOrientationTo(orientation);
      changeTitleScrollOrientationTo(orientation);
    } else if (pageActors_.count() > 0) {
      loadRolesView();
    }

    std::string image = str(json["image"]);
    std::string imageBig = str(json["image_big"]);
    int rating = TLSettings::intFromObject(json["rating"]);
    if (rating > 0 && filmView_) filmView_->setRating(rating);
    std::string seriesNumber = TLSettings::stringOrNilFromObject(json["image_big"]).value_or("0");
    std::string description = str(json["description"]);
    std::string subtitle = str(json["subtitle"]);
    std::string title = str(json["title"]);
    std::string videoURL = str(json["url"]);
    std::string ageFrom = str(json["age_from"]);
    std::string parentId = TLSettings::idFromObject(json["parent_id"]);
    std::string rubricName = str(json["rubric_name"]);
    std::string genreName = str(json["genre_name"]);
    dopInfo_ = ns::Dictionary{{"rubric_name", rubricName}, {"age", ageFrom}, {"genre", genreName}};
    const ns::Value& adv = json["adv"];
    std::string advStream = str(adv["stream"]);
    std::string advWebUrl = str(adv["click_url"]);
    std::string advCounter = str(adv["counter"]);

    std::string producer = kProducerPrefix;
    std::string thirdFact, fourthFact;
    const ns::Value& items = json["items"];
    if (items.isArray()) {
      const ns::Value& first = entryAt(items, 0);
      const ns::Value& info = first.isDictionary() ? first["info"] : ns::Value::nilValue();
      if (info.isArray()) {
        if (info.count() < 4) entryAt(info, 3);
        appendNames(producer, dictionaryAt(info, 0)["items"], TLSettings::idFromObject(senderInfo_["id"]));
        thirdFact = str(dictionaryAt(info, 2)["items"]);
        fourthFact = str(dictionaryAt(info, 3)["items"]);
      }
    } else {
      const ns::Value& info = json["info"];
      if (info.isArray()) {
        if (info.count() < 4) entryAt(info, 3);
        const ns::Value& directors = info.at(0);
        if (directors.isDictionary() && directors["items"].isArray())
          appendNames(producer, directors["items"], TLSettings::idFromObject(senderInfo_["id"]));
        if (info.at(2).isDictionary()) thirdFact = str(info.at(2)["items"]);
        if (info.at(3).isDictionary()) fourthFact = str(info.at(3)["items"]);
      }
    }

    // An episode's missing facts come from the first entry of its series' cached list.
    if (!parentId.empty()) {
      ns::Value series = TLTitleListCache::read(ns::format("%@ser.plist", parentId));
      const ns::Value& entries = series["items"];
      if (entries.isArray() && entries.count() > 0) {
        const ns::Value& entry = entries.at(0);
        if (rubricName.empty()) rubricName = str(entry["rubric_name"]);
        if (genreName.empty()) genreName = str(entry["genre"]);
        if (ageFrom.empty()) ageFrom = str(entry["age"]);
      }
    }
    std::string age = ageFrom + "+";
    std::string detail;
    for (const std::string* part : {&fourthFact, &thirdFact, &rubricName, &genreName}) {
      if (part->empty()) continue;
      detail += detail.empty() ? *part : ns::format(", %@", *part);
    }
    if (!ageFrom.empty()) detail += detail.empty() ? age : ns::format(", %@", age);

    titleParsedData_ = ns::Dictionary{{"title", title},
                                      {"subtitle", subtitle},
                                      {"description", description},
                                      {"videoURL", videoURL},
                                      {"producer", producer},
                                      {"detail", detail},
                                      {"adv", advStream},
                                      {"advWebUrl", advWebUrl},
                                      {"advCounterUrl", advCounter},
                                      {"parent_id", parentId},
                                      {"imageUrl", image},
                                      {"imageBigUrl", imageBig},
                                      {"series_number", seriesNumber}};
    if (isReloadFromPlayer_) loadSeriesView(std::nullopt, std::nullopt);
    // The player's share record carries this reply's share address.
    shareUrlThisPage_ = str(json["share_url"]);
    reloadInfo();

    if (str(senderInfo_["poster"]) == "poster") {
      loadSeriesView(str(senderInfo_["url"]), str(senderInfo_["parent_id"]));
    } else if (!isItemIsEpisode()) {
      loadSeriesView(str(senderInfo_["url"]), ns::format("%@", senderInfo_["id"]));
      if (!isPhone()) showAdvancedView();
      if (segmentedControl_) segmentedControl_->setHidden(false);
    }
    if (!isPhone()) {
      for (const auto& row : {seriesView_, advancedView_, roleView_})
        if (row) row->setIsButtonEnabled(true);
    }
    if (!items.isNil() && !items.isArray())
      throw ns::Exception(ns::kInvalidArgumentException, "items are not a list");
    if (items.count() > 0) {
      const ns::Value& last = items.at(items.count() - 1);
      if (shareUrlThisPage_.empty()) shareUrlThisPage_ = str(last["share_url"]);
      loadSerialItemToPlayer(str(last["url"]));
    }
  });
  if (!ok) {
    TLSettings::noServerItemDataAlert();
    // The title is not shown, so stopActivity would leave both spinners turning for ever.
    if (activityView_) activityView_->stopAnimating();
    if (activityForList_) activityForList_->stopAnimating();
  }
}

void TitlePageViewController::showAlertWithError(const ns::ErrorPtr& error) {
  showReloadPageButton();
  if (isAlertShow_) return;
  if (activityView_) activityView_->stopAnimating();
  if (activityForList_) activityForList_->stopAnimating();
  isAlertShow_ = true;
  if (error)
    TLSettings::showConnectionError(error);
  else
    TLSettings::noServerItemDataAlert();
}

void TitlePageViewController::showReloadPageButton() {
  if (reloadPageButton_) return;
  cg::Rect frame{view()->bounds().width() - 70, 0, 50, 44};
  if (isPhone()) {
    if (segmentedControl_) segmentedControl_->setHidden(true);
    frame = {10, 50, 50, 44};
  } else {
    if (activityView_) activityView_->stopAnimating();
    if (activityForList_) activityForList_->stopAnimating();
    isAlertShow_ = false;
  }
  reloadPageButton_ = AKActivityButton::buttonWithType(ui::ButtonType::custom);
  reloadPageButton_->setFrame(frame);
  reloadPageButton_->setActivitiImage(ui::Image::imageNamed("reloadBtBg"));
  reloadPageButton_->setImage(ui::Image::imageNamed("reloadBt"));
  reloadPageButton_->addTarget(self<TitlePageViewController>(), &TitlePageViewController::reloadTitlePage,
                               ui::ControlEventTouchUpInside);
  reloadPageButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                         ui::ViewAutoresizingFlexibleRightMargin);
  view()->addSubview(reloadPageButton_);
}

void TitlePageViewController::reloadTitlePage() {
  auto subviews = view()->subviews();
  for (const auto& subview : subviews) {
    // The phone keeps its plain background pictures.
    if (isPhone() && subview->className() == "ImageView") continue;
    subview->removeFromSuperview();
  }
  if (segmentedControl_) segmentedControl_->removeFromSuperview();
  for (auto* row : {&seriesView_, &advancedView_, &roleView_}) {
    if (*row) (*row)->removeFromSuperview();
    row->reset();
  }
  if (reloadPageButton_) reloadPageButton_->removeFromSuperview();
  reloadPageButton_.reset();
  loadTitleAgain();
}

void TitlePageViewController::loadTitleAgain() {
  titleParsedData_ = ns::Value();
  senderInfo_ = cacheSenderDictionary_;
  isReloadFromPlayer_ = false;
  isAlertShow_ = false;
  autoPlayPending_ = false;
  shareUrlThisPage_.clear();
  viewDidLoad();
  view()->setBackgroundColor(ui::Color::clearColor());
  auto url = ns::URL::URLWithString(str(cacheSenderDictionary_["url"]));
  if (toolbarLabel_) toolbarLabel_->setText(str(cacheSenderDictionary_["title"]));
  isAdvanced_ = isSeries_ = isRoles_ = isLoadedFromFile_ = false;
  loadAdvancedView();
  bool posterMarked = str(cacheSenderDictionary_["poster"]) == "poster";
  if (ns::format("%@", senderInfo_["parent_id"]).empty() || posterMarked) {
    postRequestToURL(url);
  } else {
    loadSeriesView(std::nullopt, std::nullopt);
    postRequestToURL(url);
  }
  if (activityView_) activityView_->removeFromSuperview();
  activityView_.reset();
  addActivityView({view()->bounds().width() - 40, 2, 20, 40});
}

void TitlePageViewController::stopActivity() {
  if (!isMainInfoLoad_) return;
  if (activityView_) activityView_->stopAnimating();
  if (activityForList_) activityForList_->stopAnimating();
}

void TitlePageViewController::AKMoviePlayerControllerDidSetVideo(AKMoviePlayerController&,
                                                                 const ns::Value& info) {
  TLLogExceptions([&] {
    isReloadFromPlayer_ = true;
    ns::Dictionary copy = senderInfo_.isDictionary() ? *senderInfo_.asDictionary() : ns::Dictionary();
    copy.set("id", info["id"]);
    copy.set("parent_id", info["parent_id"]);
    senderInfo_ = std::move(copy);
    postRequestToURL(ns::URL::URLWithString(str(info["url"])));
  });
}
