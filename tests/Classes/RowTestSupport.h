#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/TLImageFetch.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/FileManager.h"
#include "Foundation/JSONSerialization.h"
#include "Foundation/NotificationCenter.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace testsupport {

// Both disk caches emptied, so each test starts without posters, photos or list files.
inline void clearAppCaches() {
  for (const char* folder : {"userCache", "plistCache"})
    ns::FileManager::defaultManager()->removeItemAtPath(ns::cachesDirectory() + "/" + folder);
}

// Rows and tiles fetch posters of their own, and no request may outlive the test: the process ends
// with it. Counting starts with the first call; once every counted request has finished, a call
// through the queue JSON completions run on comes back after the last of them.
inline void countRequests() { NTNetworkActivityIndicatorManager::sharedManager(); }
inline void awaitRequestsEnded() {
  auto manager = NTNetworkActivityIndicatorManager::sharedManager();
  ASSERT_TRUE(spinUntil([&] { return manager->activityCount() == 0; }));
  auto drained = std::make_shared<bool>(false);
  dispatch::async(NTJSONRequestOperation::processingQueue(),
                  [drained] { dispatch::async(dispatch::mainQueue(), [drained] { *drained = true; }); });
  ASSERT_TRUE(spinUntil([&] { return *drained; }));
  // Pictures are written to the caches in the background: none may land in the next test's.
  ASSERT_TRUE(spinUntil(nothingLoadingOrRunning));
}

inline ns::Value jsonText(const std::string& text) {
  return ns::JSONSerialization::JSONObjectWithString(text);
}

// Records what rows report, tablet and phone alike.
struct RecordingRowDelegate : ns::Object, TLRubricScrollViewDelegate, TLRubricScrollViewDelegateIphone {
  std::vector<bool> reports;
  void rubricViewDidLoadWithScrollView(bool loaded, const std::shared_ptr<TLRubricScrollView>&) override {
    reports.push_back(loaded);
  }
  void rubricViewDidLoadWithScrollView(bool loaded,
                                       const std::shared_ptr<TLRubricScrollView_iphone>&) override {
    reports.push_back(loaded);
  }
};

// The notifications of one name posted while it lives.
class NotificationRecorder {
 public:
  explicit NotificationRecorder(const std::string& name)
      : token_(ns::NotificationCenter::defaultCenter()->addObserverForName(
            name, {}, [this](const ns::Notification& n) { objects.push_back(n.object); })) {}
  ~NotificationRecorder() { ns::NotificationCenter::defaultCenter()->removeObserver(token_); }
  NotificationRecorder(const NotificationRecorder&) = delete;
  NotificationRecorder& operator=(const NotificationRecorder&) = delete;
  std::vector<ns::Value> objects;

 private:
  std::shared_ptr<ns::Object> token_;
};

// Sample-service tests that also start from empty caches.
class CachedSampleServiceSuite : public SampleServiceSuite {
 protected:
  void SetUp() override {
    countRequests();
    SampleServiceSuite::SetUp();
    clearAppCaches();
  }
  void TearDown() override {
    releaseAllHeld();
    awaitRequestsEnded();
  }
  // A test that stopped at a failed check may leave answers held: they go now, and nothing more is
  // held, so that its end waits for no time-out.
  static void releaseAllHeld() {
    server_->clearOverrides();
    server_->releaseHeld();
  }
  static std::string api(const std::string& methodAndParameters) {
    return server_->url("/api/mobile?platform=ios&method=" + methodAndParameters);
  }
  static ns::URL apiURL(const std::string& methodAndParameters) {
    return *ns::URL::URLWithString(api(methodAndParameters));
  }
  // Requests the service received for paths starting with the prefix.
  static std::size_t requestsUnder(const std::string& prefix) {
    std::size_t n = 0;
    for (const auto& r : server_->requests()) n += r.path.rfind(prefix, 0) == 0;
    return n;
  }
};

// Whether a picture drawn over a view of this size holds the view's pixels and no more: it covers
// them, its aspect kept, with one side exactly the view's.
inline bool holdsItsViewsPixels(const std::shared_ptr<ui::Image>& image, cg::Size view) {
  if (!image) return false;
  cg::PixelBox box = TLImageFetch::pixelBox(view);
  int w = image->CGImage()->pixelWidth(), h = image->CGImage()->pixelHeight();
  return (w == box.width && h >= box.height) || (h == box.height && w >= box.width);
}

// Whether the picture is of this size in points, as far as one decoded smaller keeps it.
inline bool nearlyOfSize(const std::shared_ptr<ui::Image>& image, cg::Size size) {
  return image && std::abs(image->size().width - size.width) < 1 &&
         std::abs(image->size().height - size.height) < 1;
}

}  // namespace testsupport
