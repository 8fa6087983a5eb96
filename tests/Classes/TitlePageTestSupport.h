#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CategoryTestSupport.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Classes/iphone/TitlePage/TitlePageViewController_iphone.h"
#include "HomeTestSupport.h"
#include "UIKit/AlertView.h"
#include "support/LogCapture.h"
#include "support/RecordingTracker.h"

namespace testsupport {

// Title page tests: the suite's service, a device of the test's choice, a recording tracker.
class TitlePageSuite : public HomeServiceSuite {
 protected:
  void TearDown() override {
    for (auto& p : pages_)
      if (p && p->filmView() && p->filmView()->playerViewController())
        p->filmView()->playerViewController()->resetPlayList();
    pages_.clear();
    HomeServiceSuite::TearDown();
    ui::AlertView::dismissAll();
  }

  static ns::Value titleInfo(const std::string& id, const std::string& parentId = "",
                             const std::string& url = "") {
    return ns::Dictionary{{"id", id},
                          {"url", url.empty() ? api("get_title&title_id=" + id) : url},
                          {"title", "Название " + id},
                          {"parent_id", parentId}};
  }
  static void setTitle(const std::string& id, const std::string& json) {
    server_->setOverride("/api/mobile", "get_title", {{"title_id", id}}, body(json));
  }
  static void setTitle(const std::string& id, sampleservice::Override o) {
    server_->setOverride("/api/mobile", "get_title", {{"title_id", id}}, std::move(o));
  }
  // A page of the device opened with the info, once every request it caused has ended.
  std::shared_ptr<TitlePageViewController> open(const ns::Value& info, bool await = true) {
    std::shared_ptr<TitlePageViewController> page =
        ui::isPad() ? std::make_shared<TitlePageViewController>()->initWithTitleInfo(info)
                    : std::make_shared<TitlePageViewController_iphone>()->initWithTitleInfo(info);
    pages_.push_back(page);
    if (await) awaitRequestsEnded();
    return page;
  }
  static std::vector<std::string> alertMessages() {
    std::vector<std::string> texts;
    for (const auto& alert : ui::AlertView::visibleAlerts()) texts.push_back(alert->message());
    return texts;
  }

  static constexpr const char* kNoData =
      "Выбранный вами эпизод временно недоступен. Повторите попытку позже.";
  std::vector<std::shared_ptr<TitlePageViewController>> pages_;
  std::shared_ptr<RecordingTracker> tracker_ = RecordingTracker::install();
};

}  // namespace testsupport
