#include <exception>

#include "Analytics/Library/MAI.h"
#include "Classes/TLExceptionLog.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTJSONRequestOperation.h"

// What the page gives its header and player once a title record has been read.

namespace {

constexpr const char* kProducerPrefix = "Режиссёр: ";
// The site the share message names.
constexpr const char* kShareSiteName = "Tavelo";

std::string str(const ns::Value& v) { return TLSettings::stringFromObject(v); }

}  // namespace

std::string TitlePageViewController::screenName() const {
  std::string name = ns::format("Video Screen - %@", str(titleParsedData_["title"]));
  if (isItemIsEpisode()) name += ns::format(" - %@", str(titleParsedData_["subtitle"]));
  return name;
}

ns::Array TitlePageViewController::playListFor(const std::string& adv, const ns::Value& videoItemId,
                                               const std::string& webUrl, const std::string& counterUrl,
                                               const std::string& videoURL, const std::string& serialId,
                                               const std::optional<std::string>& seriesNumber) {
  ns::Array list;
  if (!adv.empty())
    list.push_back(ns::Dictionary{{"url", adv},
                                  {"adv", true},
                                  {"videoItemId", videoItemId},
                                  {"webUrl", webUrl},
                                  {"counterUrl", counterUrl}});
  if (!videoURL.empty()) {
    ns::Dictionary entry{
        {"url", videoURL}, {"adv", false}, {"videoItemId", videoItemId}, {"serialId", serialId}};
    if (seriesNumber) entry.set("seriesNumber", *seriesNumber);
    list.push_back(std::move(entry));
  }
  return list;
}

ns::Value TitlePageViewController::shareInfoFor(const std::string& url, const std::string& image) const {
  return ns::Dictionary{{"message", ns::format("Смотрю сейчас '%@' на сайте %@",
                                               str(titleParsedData_["title"]), kShareSiteName)},
                        {"url", url},
                        {"image", image}};
}

void TitlePageViewController::requestAutoPlay() {
  auto moviePlayer = player();
  if (!moviePlayer) return;
  // An episode read while the page is covered or gone must not start playing unseen.
  if (isAppearing()) {
    moviePlayer->setAutoPlay(true);
    autoPlayPending_ = false;
  } else {
    autoPlayPending_ = true;
  }
}

void TitlePageViewController::reloadInfo() {
  TLLogExceptions([&] {
    if (auto tracker = MAI::sharedInstance()->defaultTracker()) tracker->sendView(screenName());
    ns::Array list =
        playListFor(str(titleParsedData_["adv"]), senderInfo_["id"], str(titleParsedData_["advWebUrl"]),
                    str(titleParsedData_["advCounterUrl"]), str(titleParsedData_["videoURL"]),
                    str(titleParsedData_["parent_id"]), str(titleParsedData_["series_number"]));
    long long id = TLSettings::longFromObject(senderInfo_["id"]);
    ns::Value share = shareInfoFor(shareUrlThisPage_, isItemIsEpisode() ? TLSettings::posterForEpisode(id)
                                                                        : TLSettings::posterForBaseVideo(id));
    if (isPhone() && segmentedControl_) segmentedControl_->setHidden(false);
    if (filmView_) filmView_->setHidden(false);
    if (auto moviePlayer = player()) {
      moviePlayer->setDelegate(
          std::dynamic_pointer_cast<AKMoviePlayerControllerDelegate>(shared_from_this()));
      moviePlayer->setShareInfo(share);
      if (!isReloadFromPlayer_) moviePlayer->setPlayList(list);
    }
    if (filmView_) {
      filmView_->setImageBigUrl(str(titleParsedData_["imageBigUrl"]));
      if (auto label = filmView_->filmNameLabel()) label->setText(str(titleParsedData_["title"]));
      if (auto text = filmView_->filmDescriptionTV()) text->setText(str(titleParsedData_["description"]));
      if (auto label = filmView_->filmDetailLabel()) label->setText(str(titleParsedData_["detail"]));
    }
    if (!isPhone() && isItemIsEpisode()) requestAutoPlay();
    std::string producer = str(titleParsedData_["producer"]);
    if (producer != kProducerPrefix && filmView_ && filmView_->filmProducerLabel())
      filmView_->filmProducerLabel()->setText(producer);
    // How long the name is decides where the header puts it and the stars.
    if (filmView_) filmView_->setNeedsLayout();
    if (toolbarLabel_) {
      toolbarLabel_->setText(str(titleParsedData_["title"]));
      if (isItemIsEpisode()) toolbarLabel_->setText(str(titleParsedData_["subtitle"]));
    }
    if (isPhone()) {
      isMainInfoLoad_ = true;
      stopActivity();
      isReloadFromPlayer_ = false;
      if (activityView_) activityView_->stopAnimating();
    } else {
      isReloadFromPlayer_ = false;
      isMainInfoLoad_ = true;
      stopActivity();
    }
  });
}

void TitlePageViewController::loadSerialItemToPlayer(const std::string& url) {
  auto request = ns::URLRequest::requestWithURL(ns::URL::URLWithString(url));
  request->setCachePolicy(ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
  auto page = self<TitlePageViewController>();
  NTJSONRequestOperation::JSONRequestOperationWithRequest(
      request,
      [page](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& json) {
        TLLogExceptions([&] {
          if (!json.isDictionary()) {
            page->showAlertWithError(nullptr);
            return;
          }
          std::string id = TLSettings::idFromObject(json["id"]);
          const ns::Value& adv = json["adv"];
          std::string parentId = TLSettings::idFromObject(json["parent_id"]);
          if (page->shareUrlThisPage_.empty()) page->shareUrlThisPage_ = str(json["share_url"]);
          ns::Array list = playListFor(str(adv["stream"]), id, str(adv["click_url"]), str(adv["counter"]),
                                       str(json["url"]), parentId, std::nullopt);
          long long itemId = TLSettings::longFromObject(id);
          ns::Value share = page->shareInfoFor(page->shareUrlThisPage_,
                                               parentId.empty() ? TLSettings::posterForBaseVideo(itemId)
                                                                : TLSettings::posterForEpisode(itemId));
          if (auto moviePlayer = page->player()) {
            moviePlayer->setShareInfo(share);
            moviePlayer->setPlayList(list);
          }
        });
      },
      [page](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& error,
             const ns::Value&) { page->showAlertWithError(error); })
      ->start();
}
