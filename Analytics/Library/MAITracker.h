#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Analytics/Library/MAITransaction.h"
#include "Foundation/Error.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/Value.h"

// What the pages call on a tracker. Each send operation answers true when its hit was built
// (whether or not this client's hits are then sent) and false when the call was refused; the
// "track" operations are older names of the "send" ones. Nothing here raises to the caller.
class MAITracker {
 public:
  virtual ~MAITracker() = default;

  virtual bool sendView() = 0;
  bool trackView() { return sendView(); }
  virtual bool sendView(const std::optional<std::string>& screen) = 0;
  bool trackView(const std::optional<std::string>& screen) { return sendView(screen); }
  // The value is a number, or nil for none.
  virtual bool sendEventWithCategory(const std::optional<std::string>& category,
                                     const std::optional<std::string>& action,
                                     const std::optional<std::string>& label, const ns::Value& value) = 0;
  bool trackEventWithCategory(const std::optional<std::string>& category,
                              const std::optional<std::string>& action,
                              const std::optional<std::string>& label, const ns::Value& value) {
    return sendEventWithCategory(category, action, label, value);
  }
  virtual bool sendTransaction(const MAITransaction& transaction) = 0;
  bool trackTransaction(const MAITransaction& transaction) { return sendTransaction(transaction); }
  // The description is formatted first; what is sent is the finished text.
  template <class... Args>
  bool sendException(bool isFatal, std::string_view format, const Args&... args) {
    return sendExceptionText(isFatal, ns::format(format, args...));
  }
  template <class... Args>
  bool trackException(bool isFatal, std::string_view format, const Args&... args) {
    return sendExceptionText(isFatal, ns::format(format, args...));
  }
  virtual bool sendException(bool isFatal, const ns::Exception& exception) = 0;
  bool trackException(bool isFatal, const ns::Exception& exception) {
    return sendException(isFatal, exception);
  }
  virtual bool sendException(bool isFatal, const ns::ErrorPtr& error) = 0;
  bool trackException(bool isFatal, const ns::ErrorPtr& error) { return sendException(isFatal, error); }
  virtual bool sendTimingWithCategory(const std::optional<std::string>& category, double seconds,
                                      const std::optional<std::string>& name,
                                      const std::optional<std::string>& label) = 0;
  bool trackTimingWithCategory(const std::optional<std::string>& category, double seconds,
                               const std::optional<std::string>& name,
                               const std::optional<std::string>& label) {
    return sendTimingWithCategory(category, seconds, name, label);
  }
  virtual bool sendSocial(const std::optional<std::string>& network, const std::optional<std::string>& action,
                          const std::optional<std::string>& target) = 0;
  bool trackSocial(const std::optional<std::string>& network, const std::optional<std::string>& action,
                   const std::optional<std::string>& target) {
    return sendSocial(network, action, target);
  }

  virtual bool set(const std::string& parameterName, const std::optional<std::string>& value) = 0;
  virtual std::optional<std::string> get(const std::string& parameterName) = 0;
  virtual bool send(const std::optional<std::string>& trackType, const ns::Dictionary& parameters) = 0;
  // The index names the URL parameter "cd<index>" or "cm<index>"; the value goes with the next hit.
  virtual bool setCustomDimension(int index, const ns::Value& dimension) = 0;
  virtual bool setCustomMetric(int index, const ns::Value& metric) = 0;
  virtual void close() = 0;

  virtual std::optional<std::string> trackingId() = 0;
  virtual std::optional<std::string> appName() = 0;
  virtual void setAppName(const std::optional<std::string>& name) = 0;
  virtual std::optional<std::string> appId() = 0;
  virtual void setAppId(const std::optional<std::string>& appId) = 0;
  virtual std::optional<std::string> appVersion() = 0;
  virtual void setAppVersion(const std::optional<std::string>& version) = 0;
  virtual bool anonymize() = 0;
  virtual void setAnonymize(bool anonymize) = 0;
  virtual bool useHttps() = 0;
  virtual void setUseHttps(bool useHttps) = 0;
  virtual double sampleRate() = 0;
  virtual void setSampleRate(double rate) = 0;
  virtual std::optional<std::string> clientId() = 0;
  virtual std::optional<std::string> appScreen() = 0;
  virtual void setAppScreen(const std::optional<std::string>& screen) = 0;
  virtual std::optional<std::string> referrerUrl() = 0;
  virtual void setReferrerUrl(const std::optional<std::string>& url) = 0;
  virtual std::optional<std::string> campaignUrl() = 0;
  virtual void setCampaignUrl(const std::optional<std::string>& url) = 0;
  virtual bool sessionStart() = 0;
  virtual void setSessionStart(bool start) = 0;
  virtual double sessionTimeout() = 0;
  virtual void setSessionTimeout(double seconds) = 0;

 protected:
  virtual bool sendExceptionText(bool isFatal, const std::string& description) = 0;
};
