#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Classes/CategoryPage/CategoryFilmsScroll.h"
#include "Foundation/Timer.h"
#include "HomeTestSupport.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "RowTestSupport.h"
#include "UIKit/AlertView.h"

namespace testsupport {

// Counts what a grid asks of its page's spinner.
struct RecordingLoading : ns::Object, TLLoadingCategoryProtocol {
  int starts = 0, stops = 0;
  void startLoading() override { ++starts; }
  void stopLoading() override { ++stops; }
};

// A titles reply of the given quantity text (or raw JSON value text) with n titles "t<first + i>".
inline std::string titlesReply(const std::string& quantityJSON, int n, int first = 0, bool also = true) {
  std::string items;
  for (int i = 0; i < n; ++i)
    items += (i ? "," : "") + std::string("{\"title\":\"t") + std::to_string(first + i) + "\",\"id\":\"" +
             std::to_string(first + i + 1) + "\",\"url\":\"u\",\"image\":\"\",\"year\":\"2001\"," +
             "\"description\":\"d\",\"rating\":\"3\"}";
  std::string reply = "{\"quantity\":" + quantityJSON + ",\"items\":[" + items + "]";
  if (also) reply += ",\"also\":{\"items\":[{\"title\":\"rec\",\"id\":\"9\"}]}";
  return reply + "}";
}

// A titles reply of about 11 MB: `found` titles and `recommended` ones, each list starting with a
// value that is no object. The first 200 of a list are "t<i>" (recommended "r<i>"); the rest are
// one title over and over, which the service compresses quickly.
inline std::string largeTitlesReply(const std::string& quantity, std::size_t found, std::size_t recommended) {
  auto list = [](const char* prefix, std::size_t n) {
    std::string out = "[0";
    out.reserve(n * 120);
    for (std::size_t i = 0; i < n; ++i)
      out += std::string(",{\"title\":\"") + (i < 200 ? prefix + std::to_string(i) : "x") +
             "\",\"id\":\"7\",\"url\":\"u\",\"image\":\"\",\"year\":\"2001\",\"description\":\"d\"," +
             "\"rating\":\"3\",\"category\":\"Фильм\"}";
    return out + "]";
  };
  return "{\"quantity\":\"" + quantity + "\",\"items\":" + list("t", found) +
         ",\"also\":{\"items\":" + list("r", recommended) + "}}";
}

// A reply of a million entries that are empty objects, after the given ones: decoding it takes a
// while, and what a page keeps of it is the given entries.
inline std::string millionEntryReply(const std::string& head, const std::string& entries,
                                     const std::string& tail) {
  std::string out = head + "[" + entries;
  out.reserve(out.size() + 3'000'000 + tail.size() + 1);
  for (int i = 0; i < 1'000'000; ++i) out += ",{}";
  return out + "]" + tail;
}

// Counts the fires of a repeating timer of the main run loop from the moment the page's request
// has ended (its bytes are in) until `read` says the page has its reply; the page has just sent the
// request. A page that decodes and cuts its reply off the main thread leaves the run loop serving
// timers meanwhile; one that did that work on the main thread would have its reply before the
// timer fired again.
inline int mainLoopFiresWhileRead(const std::function<bool()>& read) {
  auto manager = NTNetworkActivityIndicatorManager::sharedManager();
  EXPECT_GT(manager->activityCount(), 0) << "the request is under way";
  int fires = 0;
  auto timer = ns::Timer::scheduledTimerWithTimeInterval(0.001, true, [&](const ns::TimerPtr&) {
    if (manager->activityCount() == 0 && !read()) ++fires;
  });
  EXPECT_TRUE(spinUntil(read));
  timer->invalidate();
  return fires;
}

inline sampleservice::Override body(const std::string& text, double delay = 0) {
  sampleservice::Override o;
  o.body = text;
  o.contentType = "application/json";
  o.delaySeconds = delay;
  return o;
}

inline sampleservice::Override failing() {
  sampleservice::Override o;
  o.status = 500;
  return o;
}

// Category tests: the suite's service, a tablet in portrait, no alert left behind.
class CategorySuite : public HomeServiceSuite {
 protected:
  void TearDown() override {
    HomeServiceSuite::TearDown();
    ui::AlertView::dismissAll();
  }
  // A grid of the category, its spinner recorded, once its first reply has been handled.
  std::shared_ptr<CategoryFilmsScroll> grid(int categoryId, bool awaitFirst = true) {
    auto g = std::make_shared<CategoryFilmsScroll>()->initWithCategoryId(categoryId);
    g->setDelegateLoading(loading_);
    if (awaitFirst) awaitRequestsEnded();
    return g;
  }
  static std::size_t titleRequests() { return server_->requestsFor("get_category_titles").size(); }
  static std::vector<std::string> requestedPages() {
    std::vector<std::string> pages;
    for (const auto& r : server_->requestsFor("get_category_titles")) pages.push_back(r.params.at("page"));
    return pages;
  }
  static void setTitles(sampleservice::Override o, std::map<std::string, std::string> keys = {}) {
    server_->setOverride("/api/mobile.pl", "get_category_titles", keys, std::move(o));
  }
  static int tilesOn(const std::shared_ptr<CategoryFilmsScroll>& g, int page) {
    auto view = g->pageViews()[static_cast<std::size_t>(page)];
    if (!view) return -1;
    int n = 0;
    for (int j = 0; j < 16; ++j) n += view->viewWithTag(CategoryFilmsScroll::kTileTag + j) != nullptr;
    return n;
  }
  static std::vector<int> livePages(const std::shared_ptr<CategoryFilmsScroll>& g) {
    std::vector<int> pages;
    for (std::size_t i = 0; i < g->pageViews().size(); ++i)
      if (g->pageViews()[i]) pages.push_back(static_cast<int>(i));
    return pages;
  }

  HomeDevice device_;
  std::shared_ptr<RecordingLoading> loading_ = std::make_shared<RecordingLoading>();
};

}  // namespace testsupport
