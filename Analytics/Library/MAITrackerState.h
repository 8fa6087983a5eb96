#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Analytics/Library/MAIModel.h"
#include "Analytics/Library/MAITransaction.h"
#include "Foundation/Object.h"
#include "Foundation/Value.h"

// What one tracker knows between hits: its model of permanent values, the sample rate and the
// sampling decision, the dispatch URLs, and the referrer and campaign. The per-hit setters write
// temporary values, which go with the next hit only. Used under its tracker's lock.
class MAITrackerState final : public ns::Object {
 public:
  // nullptr, with a log line, without a tracking id, an application name or a client id.
  static std::shared_ptr<MAITrackerState> trackerStateWithTrackingId(
      const std::optional<std::string>& trackingId, const std::optional<std::string>& clientId,
      const std::optional<std::string>& appName, const std::optional<std::string>& appVersion);
  std::shared_ptr<MAITrackerState> initWithTrackingId(const std::string& trackingId,
                                                      const std::string& clientId, const std::string& appName,
                                                      const std::optional<std::string>& appVersion);

  const MAIModelPtr& model() const { return model_; }

  std::optional<std::string> trackingId() const;
  std::optional<std::string> clientId() const;
  std::optional<std::string> appName() const;
  void setAppName(const std::optional<std::string>& name);
  std::optional<std::string> appVersion() const;
  void setAppVersion(const std::optional<std::string>& version);
  std::optional<std::string> appId() const;
  void setAppId(const std::optional<std::string>& appId);
  std::optional<std::string> appScreen() const;
  void setAppScreen(const std::optional<std::string>& screen);
  std::optional<std::string> sessionControl() const;
  void setSessionControl(const std::optional<std::string>& control);
  std::optional<std::string> adHitId() const;
  void setAdHitId(const std::optional<std::string>& hitId);
  bool anonymize() const;
  void setAnonymize(bool anonymize);

  double sampleRate() const { return sampleRate_; }
  // Clamped to 0...100 (with a log line); decides whether this client is sampled.
  void setSampleRate(double rate);
  bool sampled() const { return sampled_; }

  const std::string& httpDispatchUrl() const { return httpDispatchUrl_; }
  // Refused (with a log line, keeping the old one) unless an "http" URL.
  void setHttpDispatchUrl(const std::optional<std::string>& url);
  const std::string& httpsDispatchUrl() const { return httpsDispatchUrl_; }
  // Refused unless an "https" URL.
  void setHttpsDispatchUrl(const std::optional<std::string>& url);
  bool useHttps() const { return useHttps_; }
  void setUseHttps(bool useHttps) { useHttps_ = useHttps; }
  const std::string& dispatchUrl() const { return useHttps_ ? httpsDispatchUrl_ : httpDispatchUrl_; }

  const std::optional<std::string>& referrerUrl() const { return referrerUrl_; }
  // The referrer goes with the next hit only.
  void setReferrerUrl(const std::optional<std::string>& url);
  const std::optional<std::string>& campaignUrl() const { return campaignUrl_; }
  // The campaign values of the URL's query go with the next hit only.
  void setCampaignUrl(const std::optional<std::string>& url);

  void setEventParameters(const std::optional<std::string>& category,
                          const std::optional<std::string>& action, const std::optional<std::string>& label,
                          const ns::Value& value);
  void setTransactionParameters(const MAITransaction& transaction);
  void setItemParameters(const MAITransactionItem& item, const MAITransaction& transaction);
  void setExceptionParameters(const std::optional<std::string>& description, bool isFatal);
  void setTimingParameters(const std::optional<std::string>& name, double seconds,
                           const std::optional<std::string>& category,
                           const std::optional<std::string>& label);
  void setSocialParameters(const std::optional<std::string>& network,
                           const std::optional<std::string>& action,
                           const std::optional<std::string>& target);

 private:
  void setTemporary(const char* key, const std::optional<std::string>& value);
  void setPermanent(const char* key, const std::optional<std::string>& value);

  MAIModelPtr model_;
  double sampleRate_ = 100.0;
  bool sampled_ = true;
  std::optional<std::string> referrerUrl_;
  std::optional<std::string> campaignUrl_;
  std::string httpDispatchUrl_;
  std::string httpsDispatchUrl_;
  bool useHttps_ = false;
};

using MAITrackerStatePtr = std::shared_ptr<MAITrackerState>;
