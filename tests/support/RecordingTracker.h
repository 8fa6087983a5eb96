#pragma once

// A tracker that only records the screen views, events and social actions the pages report, for
// tests that check what a page tells the analytics runtime. Install it as the shared instance's
// default tracker with `RecordingTracker::install()`; it is removed again when it goes.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Analytics/Library/MAI.h"

namespace testsupport {

class RecordingTracker final : public MAITracker {
 public:
  struct Call {
    std::string kind;  // "view", "event" or "social"
    std::vector<std::optional<std::string>> texts;
    bool valueIsNil = true;
    bool operator==(const Call&) const = default;
  };

  static std::shared_ptr<RecordingTracker> install() {
    auto tracker = std::make_shared<RecordingTracker>();
    MAI::sharedInstance()->setDefaultTracker(tracker);
    return tracker;
  }
  ~RecordingTracker() override { MAI::sharedInstance()->setDefaultTracker(nullptr); }

  std::vector<Call> calls;

  bool sendView() override { return record({"view", {appScreen_}}); }
  bool sendView(const std::optional<std::string>& screen) override { return record({"view", {screen}}); }
  bool sendEventWithCategory(const std::optional<std::string>& category,
                             const std::optional<std::string>& action,
                             const std::optional<std::string>& label, const ns::Value& value) override {
    return record({"event", {category, action, label}, value.isNil()});
  }
  bool sendSocial(const std::optional<std::string>& network, const std::optional<std::string>& action,
                  const std::optional<std::string>& target) override {
    return record({"social", {network, action, target}});
  }
  bool sendTransaction(const MAITransaction&) override { return true; }
  bool sendException(bool, const ns::Exception&) override { return true; }
  bool sendException(bool, const ns::ErrorPtr&) override { return true; }
  bool sendTimingWithCategory(const std::optional<std::string>&, double, const std::optional<std::string>&,
                              const std::optional<std::string>&) override {
    return true;
  }
  bool set(const std::string&, const std::optional<std::string>&) override { return true; }
  std::optional<std::string> get(const std::string&) override { return std::nullopt; }
  bool send(const std::optional<std::string>&, const ns::Dictionary&) override { return true; }
  bool setCustomDimension(int, const ns::Value&) override { return true; }
  bool setCustomMetric(int, const ns::Value&) override { return true; }
  void close() override {}
  std::optional<std::string> trackingId() override { return "UA-TEST-1"; }
  std::optional<std::string> appName() override { return std::nullopt; }
  void setAppName(const std::optional<std::string>&) override {}
  std::optional<std::string> appId() override { return std::nullopt; }
  void setAppId(const std::optional<std::string>&) override {}
  std::optional<std::string> appVersion() override { return std::nullopt; }
  void setAppVersion(const std::optional<std::string>&) override {}
  bool anonymize() override { return false; }
  void setAnonymize(bool) override {}
  bool useHttps() override { return false; }
  void setUseHttps(bool) override {}
  double sampleRate() override { return 100; }
  void setSampleRate(double) override {}
  std::optional<std::string> clientId() override { return std::nullopt; }
  std::optional<std::string> appScreen() override { return appScreen_; }
  void setAppScreen(const std::optional<std::string>& screen) override { appScreen_ = screen; }
  std::optional<std::string> referrerUrl() override { return std::nullopt; }
  void setReferrerUrl(const std::optional<std::string>&) override {}
  std::optional<std::string> campaignUrl() override { return std::nullopt; }
  void setCampaignUrl(const std::optional<std::string>&) override {}
  bool sessionStart() override { return false; }
  void setSessionStart(bool) override {}
  double sessionTimeout() override { return 0; }
  void setSessionTimeout(double) override {}

 protected:
  bool sendExceptionText(bool, const std::string&) override { return true; }

 private:
  bool record(Call call) {
    calls.push_back(std::move(call));
    return true;
  }
  std::optional<std::string> appScreen_;
};

}  // namespace testsupport
