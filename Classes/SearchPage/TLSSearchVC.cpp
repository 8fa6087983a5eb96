#include "Classes/SearchPage/TLSSearchVC.h"

#include "Classes/PageShell.h"
#include "Classes/TLSettings.h"

void TLSSearchVC::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  showPageTitle(view(), query_);
  searchBegin();
}

void TLSSearchVC::searchBegin() {
  std::weak_ptr<TLSSearchVC> weak = self<TLSSearchVC>();
  startJSONRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString(TLSettings::getSearchUrl(query_))),
      [weak](const ns::Value& json) {
        if (auto page = weak.lock()) page->searchReplyReceived(json);
      },
      nullptr);
}
