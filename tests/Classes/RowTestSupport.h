#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"
#include "Foundation/FileManager.h"
#include "Foundation/JSONSerialization.h"
#include "Foundation/NotificationCenter.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace testsupport {

// Both disk caches emptied, so each test starts without posters, photos or list files.
inline void clearAppCaches() {
  for (const char* folder : {"userCache", "plistCache"})
    ns::FileManager::defaultManager()->removeItemAtPath(ns::cachesDirectory() + "/" + folder);
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
    SampleServiceSuite::SetUp();
    clearAppCaches();
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

}  // namespace testsupport
