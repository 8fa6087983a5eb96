#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Classes/MainPage/MainSlider.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/MainPage/MainSlider_iphone.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "NTNetworking/NTImageRequestOperation.h"
#include "RowTestSupport.h"
#include "ServiceHostOverride.h"
#include "UIKit/AlertView.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "support/MemoryGrowth.h"
#include "support/RunLoopSpin.h"

namespace testsupport {

// Records what sliders report, tablet and phone alike.
struct RecordingSliderDelegate : ns::Object, TLMainSliderDelegate, TLMainSliderDelegateIphone {
  std::vector<bool> reports;
  void TLMainSliderLoaded(bool loaded) override { reports.push_back(loaded); }
};

// A poster record as the reply mapping makes it, with the fields a test cares about.
inline ns::Value posterRecord(const std::string& name, const std::string& bgColor,
                              const std::string& poster = "", const std::string& url = "") {
  return ns::Dictionary{{"name", name},
                        {"yeahr", ""},
                        {"bgColor", bgColor},
                        {"id", "7"},
                        {"country", ""},
                        {"genre", ""},
                        {"image", ""},
                        {"poster", poster},
                        {"foreignDict", ns::Dictionary{{"filmName", name},
                                                       {"is_foreign_link", 0},
                                                       {"foreign_link_click_counter", ""},
                                                       {"foreign_link_url", ""}}},
                        {"url", url},
                        {"rating", "3"},
                        {"age", ""},
                        {"description", ""},
                        {"rubric", ""},
                        {"parent_id", ""}};
}

// The cached category list the home rows are made from: the ids given, in order.
inline void writeCategoryList(const std::vector<std::string>& ids) {
  ns::Array entries;
  for (const std::string& id : ids)
    entries.push_back(ns::Dictionary{{"id", id}, {"title", "Рубрика " + id}, {"url", ""}});
  ns::writePropertyListToFile(ns::Value(entries), TLSettings::cashedCategoriesFile());
}

// Runs the main run loop for the given real time: for showing that something does NOT happen.
inline void spinFor(double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) ns::RunLoop::mainRunLoop()->runOnce(0.05);
}

// What awaitRequestsEnded waits for, and then the posters' images decoded and handed over too.
inline void awaitPosterRequestsEnded() {
  awaitRequestsEnded();
  auto drained = std::make_shared<bool>(false);
  dispatch::async(NTImageRequestOperation::processingQueue(),
                  [drained] { dispatch::async(dispatch::mainQueue(), [drained] { *drained = true; }); });
  EXPECT_TRUE(spinUntil([&] { return *drained; }));
}

// A get_* reply body {"items": [...]} holding `count` copies of the element.
inline std::string generatedList(std::size_t count, const std::string& element) {
  std::string body = R"({"items": [)";
  body.reserve(body.size() + count * (element.size() + 1) + 2);
  for (std::size_t i = 0; i < count; ++i) {
    if (i) body += ',';
    body += element;
  }
  return body + "]}";
}

// Sample-service tests whose client talks to the suite's service, and which end only once every
// request they caused has.
class HomeServiceSuite : public CachedSampleServiceSuite {
 protected:
  void SetUp() override {
    CachedSampleServiceSuite::SetUp();
    countRequests();
    host_ = std::make_unique<ServiceHostOverride>(server_->hostAndPort().c_str());
  }
  void TearDown() override {
    releaseAllHeld();
    awaitPosterRequestsEnded();
    host_.reset();
  }

 private:
  std::unique_ptr<ServiceHostOverride> host_;
};

// The device, orientation and alerts of one test, put back afterwards.
class HomeDevice {
 public:
  explicit HomeDevice(bool pad = true)
      : previous_(ui::Device::setProfile(pad ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone())) {
    ui::Application::sharedApplication()->reset();
    ui::AlertView::dismissAll();
  }
  ~HomeDevice() {
    ui::AlertView::dismissAll();
    ui::Application::sharedApplication()->reset();
    ui::Device::setProfile(previous_);
  }
  HomeDevice(const HomeDevice&) = delete;
  HomeDevice& operator=(const HomeDevice&) = delete;

 private:
  ui::DeviceProfile previous_;
};

}  // namespace testsupport
