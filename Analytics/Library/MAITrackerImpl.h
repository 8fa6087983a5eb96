#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Analytics/Library/MAIDispatcher.h"
#include "Analytics/Library/MAILock.h"
#include "Analytics/Library/MAITracker.h"
#include "Analytics/Library/MAITrackerState.h"
#include "Foundation/Object.h"

// The tracker of one tracking id: checks that it is open, applies the throttle (60 credits, one
// back every 2 seconds), writes each call's values into its state, has the hit built and, when this
// client is sampled, hands it to the dispatcher. A hit built after the application returns from 30
// seconds or more in the background (the session timeout) starts a new session. Every operation may
// be called from any thread; they serialise on the tracker's lock.
class MAITrackerImpl final : public ns::Object, public MAITracker {
 public:
  ~MAITrackerImpl() override;

  // nullptr, with a log line, without a dispatcher or when the state cannot be made.
  static std::shared_ptr<MAITrackerImpl> trackerWithDispatcher(const MAIDispatcherPtr& dispatcher,
                                                               const std::optional<std::string>& trackingId,
                                                               const std::optional<std::string>& appName,
                                                               const std::optional<std::string>& appVersion);
  std::shared_ptr<MAITrackerImpl> initWithDispatcher(const MAIDispatcherPtr& dispatcher,
                                                     const std::optional<std::string>& trackingId,
                                                     const std::optional<std::string>& appName,
                                                     const std::optional<std::string>& appVersion);

  using MAITracker::sendException;
  using MAITracker::sendView;
  bool sendView() override;
  bool sendView(const std::optional<std::string>& screen) override;
  bool sendEventWithCategory(const std::optional<std::string>& category,
                             const std::optional<std::string>& action,
                             const std::optional<std::string>& label, const ns::Value& value) override;
  bool sendTransaction(const MAITransaction& transaction) override;
  bool sendException(bool isFatal, const ns::Exception& exception) override;
  bool sendException(bool isFatal, const ns::ErrorPtr& error) override;
  bool sendTimingWithCategory(const std::optional<std::string>& category, double seconds,
                              const std::optional<std::string>& name,
                              const std::optional<std::string>& label) override;
  bool sendSocial(const std::optional<std::string>& network, const std::optional<std::string>& action,
                  const std::optional<std::string>& target) override;
  bool set(const std::string& parameterName, const std::optional<std::string>& value) override;
  std::optional<std::string> get(const std::string& parameterName) override;
  bool send(const std::optional<std::string>& trackType, const ns::Dictionary& parameters) override;
  bool setCustomDimension(int index, const ns::Value& dimension) override;
  bool setCustomMetric(int index, const ns::Value& metric) override;
  void close() override;

  std::optional<std::string> trackingId() override;
  std::optional<std::string> appName() override;
  void setAppName(const std::optional<std::string>& name) override;
  std::optional<std::string> appId() override;
  void setAppId(const std::optional<std::string>& appId) override;
  std::optional<std::string> appVersion() override;
  void setAppVersion(const std::optional<std::string>& version) override;
  bool anonymize() override;
  void setAnonymize(bool anonymize) override;
  bool useHttps() override;
  void setUseHttps(bool useHttps) override;
  double sampleRate() override;
  void setSampleRate(double rate) override;
  std::optional<std::string> clientId() override;
  std::optional<std::string> appScreen() override;
  void setAppScreen(const std::optional<std::string>& screen) override;
  std::optional<std::string> referrerUrl() override;
  void setReferrerUrl(const std::optional<std::string>& url) override;
  std::optional<std::string> campaignUrl() override;
  void setCampaignUrl(const std::optional<std::string>& url) override;
  bool sessionStart() override;
  void setSessionStart(bool start) override;
  double sessionTimeout() override;
  void setSessionTimeout(double seconds) override;
  std::string httpDispatchUrl();
  void setHttpDispatchUrl(const std::optional<std::string>& url);
  std::string httpsDispatchUrl();
  void setHttpsDispatchUrl(const std::optional<std::string>& url);

  // Application notifications.
  void appDidBecomeActive();
  void appWillResignActive();

  std::uint64_t trackCount();
  std::uint64_t hitCount();
  const MAITrackerStatePtr& trackerState() const { return trackerState_; }

 protected:
  bool sendExceptionText(bool isFatal, const std::string& description) override;

 private:
  // The common path of the send operations, with the lock held: admit() counts the call and checks
  // that the tracker is open, the call's own condition and the throttle; sendHit then writes the
  // call's values, builds the hit and hands it over when this client is sampled.
  bool admit(const std::function<bool()>& check = nullptr);
  bool sendHit(const std::string& hitType, const std::function<void()>& write, bool renewsAdHitId,
               const std::function<bool()>& check = nullptr);
  bool shouldThrottle();
  bool shouldTrack() const { return trackerState_->sampled(); }
  void updateAdParameters();
  void queueDispatch(const MAIParameters& hit);

  MAILock lock_;
  MAIDispatcherPtr dispatcher_;
  MAITrackerStatePtr trackerState_;
  // Set once at creation, so it is read without the lock.
  std::optional<std::string> clientId_;
  bool adSdkPresent_ = false;
  std::uint64_t trackCount_ = 0;
  std::uint64_t hitCount_ = 0;
  double sessionTimeout_ = 30.0;
  double lastActiveTime_ = 0;
  double trackingCredits_ = 60.0;
  double lastTrackTime_ = 0;
};

using MAITrackerImplPtr = std::shared_ptr<MAITrackerImpl>;
