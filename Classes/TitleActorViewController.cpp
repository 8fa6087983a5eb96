#include "Classes/TitleActorViewController.h"

#include "Classes/PageShell.h"
#include "Classes/TLSettings.h"

std::shared_ptr<TitleActorViewController> TitleActorViewController::initWithItem(const ns::Value& item) {
  initWithNibName("", nullptr);
  actorItem_ = item;
  if (requestsEveryItem() || TLSettings::dictionaryOrNilFromObject(item))
    getActorInfoFromURL(TLSettings::getActorAPIwithID(item["id"]));
  return self<TitleActorViewController>();
}

void TitleActorViewController::getActorInfoFromURL(const std::string& url) {
  auto request = ns::URLRequest::requestWithURL(ns::URL::URLWithString(url));
  request->setCachePolicy(requestCachePolicy());
  std::weak_ptr<TitleActorViewController> weak = self<TitleActorViewController>();
  startJSONRequest(
      request,
      [weak](const ns::Value& json) {
        if (auto page = weak.lock()) page->actorRecordReceived(json);
      },
      nullptr);
}

void TitleActorViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  showPageTitle(view(), TLSettings::stringFromObject(actorItem_["title"]));
}
