// Stepping through a series: the neighbouring episode from the cached episode list, its title
// record from the service, and the new playlist built from it.
#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTJSONRequestOperation.h"

namespace {

AKMoviePlayerServices& installedServices() {
  static AKMoviePlayerServices services;
  return services;
}

std::string stringFrom(const ns::Value& value) {
  const std::string* text = value.asString();
  return text ? *text : std::string();
}

// An id as text: a string as it is, an integer (as the service sends some) as its digits.
std::string idFrom(const ns::Value& value) {
  if (value.isUnsigned()) return std::to_string(value.unsignedLongLongValue());
  if (value.isInteger()) return std::to_string(value.longLongValue());
  return stringFrom(value);
}

// The integer value of a number or of a string, otherwise 0.
long long integerFrom(const ns::Value& value) {
  if (value.isNumber() || value.isString()) return value.longLongValue();
  return 0;
}

}  // namespace

void AKMoviePlayerController::setServices(AKMoviePlayerServices services) {
  installedServices() = std::move(services);
}

const AKMoviePlayerServices& AKMoviePlayerController::services() { return installedServices(); }

ns::Value AKMoviePlayerController::neighbourVideoItem(int step) const {
  if (playingIndexItem_ < 0 || static_cast<std::size_t>(playingIndexItem_) >= playList_.size()) return {};
  const ns::Value& entry = playList_[static_cast<std::size_t>(playingIndexItem_)];
  std::string serialId = idFrom(entry["serialId"]);
  if (serialId.empty() || !services().readListFile) return {};
  ns::Value list = services().readListFile(serialId + "ser.plist");
  const ns::Array* items = list["items"].asArray();
  if (!items) return {};
  long long current = integerFrom(entry["videoItemId"]);
  for (std::size_t i = 0; i < items->size(); ++i) {
    if (integerFrom((*items)[i]["id"]) != current) continue;
    long long neighbour = static_cast<long long>(i) + step;
    if (neighbour < 0 || neighbour >= static_cast<long long>(items->size())) return {};
    return (*items)[static_cast<std::size_t>(neighbour)];
  }
  // An episode missing from the list has no neighbour either way.
  return {};
}

ns::Value AKMoviePlayerController::nextVideoItem() const { return neighbourVideoItem(1); }

ns::Value AKMoviePlayerController::prevVideoItem() const { return neighbourVideoItem(-1); }

void AKMoviePlayerController::checkNextAndPrevItemButton() {
  if (!lowerControllBar_) return;
  lowerControllBar_->setNextItemEnabled(nextVideoItem().isDictionary());
  lowerControllBar_->setPrevItemEnabled(prevVideoItem().isDictionary());
}

void AKMoviePlayerController::nextVideo() {
  ns::Value item = nextVideoItem();
  if (item.isDictionary()) setNewVideoItem(item);
}

void AKMoviePlayerController::previousVideo() {
  ns::Value item = prevVideoItem();
  if (item.isDictionary()) setNewVideoItem(item);
}

void AKMoviePlayerController::setNewVideoItem(const ns::Value& item) {
  auto url = ns::URL::URLWithString(stringFrom(item["url"]));
  auto request = ns::URLRequest::requestWithURL(url);
  std::weak_ptr<AKMoviePlayerController> weak = self<AKMoviePlayerController>();
  auto operation = NTJSONRequestOperation::JSONRequestOperationWithRequest(
      request,
      [weak, url](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& JSON) {
        if (auto self = weak.lock()) self->didLoadVideoItem(JSON, url);
      },
      [weak](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& error,
             const ns::Value&) {
        if (!weak.lock()) return;
        if (services().showConnectionError) services().showConnectionError(error);
      });
  operation->start();
}

void AKMoviePlayerController::didLoadVideoItem(const ns::Value& record, const std::optional<ns::URL>& url) {
  auto noData = [] {
    if (services().noServerItemDataAlert) services().noServerItemDataAlert();
  };
  if (!record.isDictionary()) return noData();
  std::string itemId = idFrom(record["id"]);
  std::string shareUrl = stringFrom(record["share_url"]);
  const ns::Value& adv = record["adv"];
  std::string stream = adv.isDictionary() ? stringFrom(adv["stream"]) : std::string();
  std::string clickUrl = adv.isDictionary() ? stringFrom(adv["click_url"]) : std::string();
  std::string counter = adv.isDictionary() ? stringFrom(adv["counter"]) : std::string();
  std::string programme = stringFrom(record["url"]);
  std::string parentId = idFrom(record["parent_id"]);

  ns::Array list;
  if (!stream.empty())
    list.push_back(ns::Dictionary{{"url", stream},
                                  {"adv", true},
                                  {"videoItemId", itemId},
                                  {"webUrl", clickUrl},
                                  {"counterUrl", counter}});
  if (!programme.empty())
    list.push_back(
        ns::Dictionary{{"url", programme}, {"adv", false}, {"videoItemId", itemId}, {"serialId", parentId}});
  // Nothing to play: the page must not move to an episode the player is not playing.
  if (list.empty()) return noData();

  ns::Dictionary share = shareInfo_.asDictionary() ? *shareInfo_.asDictionary() : ns::Dictionary();
  share.set("url", shareUrl);
  shareInfo_ = ns::Value(std::move(share));
  autoPlay_ = true;
  if (isReset_) {
    // The page is covered: keep the playlist for the next preparePlayList instead of playing unseen.
    playList_ = std::move(list);
  } else {
    setPlayList(list);
  }
  ns::Value info = ns::Dictionary{
      {"id", itemId}, {"parent_id", parentId}, {"url", url ? ns::Value(url->absoluteString()) : ns::Value()}};
  if (auto delegate = delegate_.lock()) delegate->AKMoviePlayerControllerDidSetVideo(*this, info);
}
