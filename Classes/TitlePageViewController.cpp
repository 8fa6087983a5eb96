#include "Classes/TitlePageViewController.h"

#include "Classes/PageShell.h"
#include "Classes/TLSettings.h"
#include "Foundation/Format.h"

std::shared_ptr<TitlePageViewController> TitlePageViewController::initWithTitleInfo(
    const ns::Value& titleInfo) {
  initWithNibName("", nullptr);
  cacheSenderDictionary_ = titleInfo;
  senderInfo_ = titleInfo;
  postRequestToURL(ns::URL::URLWithString(TLSettings::stringFromObject(titleInfo["url"])));
  return self<TitlePageViewController>();
}

bool TitlePageViewController::isItemIsEpisode() const {
  const ns::Value& parent = senderInfo_["parent_id"];
  return !parent.isNil() && !ns::format("%@", parent).empty();
}

int TitlePageViewController::parentId() const { return TLSettings::intFromObject(senderInfo_["parent_id"]); }

int TitlePageViewController::itemId() const { return TLSettings::intFromObject(senderInfo_["id"]); }

void TitlePageViewController::postRequestToURL(const std::optional<ns::URL>& url) {
  if (!url) return;
  std::weak_ptr<TitlePageViewController> weak = self<TitlePageViewController>();
  startJSONRequest(
      ns::URLRequest::requestWithURL(url),
      [weak](const ns::Value& json) {
        if (auto page = weak.lock()) page->titleRecordReceived(json);
      },
      [weak](const ns::ErrorPtr& error) {
        if (auto page = weak.lock()) page->titleRequestFailed(error);
      });
}

void TitlePageViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  showPageTitle(view(), TLSettings::stringFromObject(senderInfo_["title"]));
}
