#include "Analytics/Library/MAITrackerState.h"

#include <cmath>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIHitFormat.h"
#include "Analytics/Library/MAIHitUtil.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAIStringUtil.h"
#include "Foundation/String.h"
#include "Foundation/StringNumbers.h"
#include "Foundation/URL.h"

namespace {

constexpr double kDefaultSampleRate = 100.0;
constexpr bool kDefaultAnonymizeFlag = false;

bool isAbsentOrEmpty(const std::optional<std::string>& text) { return !text || text->empty(); }

// FNV-1a: stable across runs and builds, so a client's sampling decision never changes.
std::uint32_t stringHash(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

ns::Value optionalValue(const std::optional<std::string>& text) {
  return text ? ns::Value(*text) : ns::Value();
}

// The URL when it parses and has the scheme; the log line's words otherwise.
bool acceptUrl(const std::optional<std::string>& text, const char* scheme, std::string& kept) {
  auto url = text ? ns::URL::URLWithString(*text) : std::nullopt;
  if (!url || !url->scheme()) return false;
  if (ns::lowercaseString(*url->scheme()) != scheme) return false;
  kept = *text;
  return true;
}

}  // namespace

std::shared_ptr<MAITrackerState> MAITrackerState::trackerStateWithTrackingId(
    const std::optional<std::string>& trackingId, const std::optional<std::string>& clientId,
    const std::optional<std::string>& appName, const std::optional<std::string>& appVersion) {
  if (isAbsentOrEmpty(trackingId)) {
    MAI_LOG_ERROR("Tracking ID must not be nil or empty.");
    return nullptr;
  }
  if (isAbsentOrEmpty(appName)) {
    MAI_LOG_ERROR("Application name must not be nil or empty.");
    return nullptr;
  }
  if (isAbsentOrEmpty(clientId)) {
    MAI_LOG_ERROR("Client ID must not be nil or empty.");
    return nullptr;
  }
  return std::make_shared<MAITrackerState>()->initWithTrackingId(*trackingId, *clientId, *appName,
                                                                 appVersion);
}

std::shared_ptr<MAITrackerState> MAITrackerState::initWithTrackingId(
    const std::string& trackingId, const std::string& clientId, const std::string& appName,
    const std::optional<std::string>& appVersion) {
  httpDispatchUrl_ = MAIHitFormat::kMAIHitFormatHttpUrl();
  httpsDispatchUrl_ = MAIHitFormat::kMAIHitFormatHttpsUrl();
  // Hits go to the service's host the way the service is reached, over plain HTTP as the API URLs
  // are: that host has no HTTPS endpoint. A tracker asks for HTTPS with setUseHttps.
  useHttps_ = false;
  model_ = std::make_shared<MAIModel>()->initWithMetaModel(MAIHitMetaModel::sharedInstance());
  model_->rawSetValue(ns::Value(trackingId), kMAIHitFormatTrackingId, false);
  model_->rawSetValue(ns::Value(clientId), kMAIHitFormatClientId, false);
  model_->rawSetValue(ns::Value(appName), kMAIHitFormatAppName, false);
  model_->rawSetValue(ns::Value(kMAIHitFormatVersionString), kMAIHitFormatVersion, false);
  model_->rawSetValue(ns::Value(kMAIHitFormatClientVersionString), kMAIHitFormatClientVersion, false);
  model_->rawSetValue(ns::Value(MAIHitUtil::systemScreenColorDepth()), kMAIHitFormatScreenColors, false);
  setAppVersion(appVersion);
  setAnonymize(kDefaultAnonymizeFlag);
  setSampleRate(kDefaultSampleRate);
  return std::static_pointer_cast<MAITrackerState>(shared_from_this());
}

void MAITrackerState::setTemporary(const char* key, const std::optional<std::string>& value) {
  model_->setValue(optionalValue(value), key, true);
}

void MAITrackerState::setPermanent(const char* key, const std::optional<std::string>& value) {
  model_->setValue(optionalValue(value), key);
}

std::optional<std::string> MAITrackerState::trackingId() const {
  return model_->get(kMAIHitFormatTrackingId);
}
std::optional<std::string> MAITrackerState::clientId() const { return model_->get(kMAIHitFormatClientId); }
std::optional<std::string> MAITrackerState::appName() const { return model_->get(kMAIHitFormatAppName); }
void MAITrackerState::setAppName(const std::optional<std::string>& name) {
  setPermanent(kMAIHitFormatAppName, name);
}
std::optional<std::string> MAITrackerState::appVersion() const {
  return model_->get(kMAIHitFormatAppVersion);
}
void MAITrackerState::setAppVersion(const std::optional<std::string>& version) {
  setPermanent(kMAIHitFormatAppVersion, version);
}
std::optional<std::string> MAITrackerState::appId() const { return model_->get(kMAIHitFormatAppId); }
void MAITrackerState::setAppId(const std::optional<std::string>& appId) {
  setPermanent(kMAIHitFormatAppId, appId);
}
std::optional<std::string> MAITrackerState::appScreen() const { return model_->get(kMAIHitFormatScreen); }
void MAITrackerState::setAppScreen(const std::optional<std::string>& screen) {
  setPermanent(kMAIHitFormatScreen, screen);
}
std::optional<std::string> MAITrackerState::sessionControl() const {
  return model_->get(kMAIHitFormatSessionControl);
}
void MAITrackerState::setSessionControl(const std::optional<std::string>& control) {
  setPermanent(kMAIHitFormatSessionControl, control);
}
std::optional<std::string> MAITrackerState::adHitId() const {
  return model_->get(kMAIHitFormatAdTextAdNetHitId);
}
void MAITrackerState::setAdHitId(const std::optional<std::string>& hitId) {
  setPermanent(kMAIHitFormatAdTextAdNetHitId, hitId);
}

bool MAITrackerState::anonymize() const {
  auto value = model_->get(kMAIHitFormatAnonymizeIp);
  return value && ns::Value(*value).boolValue();
}

void MAITrackerState::setAnonymize(bool anonymize) {
  setPermanent(kMAIHitFormatAnonymizeIp, std::string(anonymize ? "1" : "0"));
}

void MAITrackerState::setSampleRate(double rate) {
  double clamped = std::isnan(rate) ? 0.0 : std::clamp(rate, 0.0, 100.0);
  if (clamped != rate) MAI_LOG_ERROR("Invalid sample rate %.2f supplied - truncated to %.2f.", rate, clamped);
  sampleRate_ = clamped;
  setPermanent(kMAIHitFormatSampleRate, MAIStringUtil::decimalString(clamped, 2));
  if (clamped >= 100.0) {
    sampled_ = true;
  } else {
    auto threshold = static_cast<std::uint32_t>(clamped * 10000.0);
    auto id = clientId();
    sampled_ = stringHash(id ? *id : std::string()) % 1000003u < threshold;
  }
}

void MAITrackerState::setHttpDispatchUrl(const std::optional<std::string>& url) {
  if (!url || !ns::URL::URLWithString(*url)) {
    MAI_LOG_ERROR("Malformed HTTP URL %@ rejected.", url ? ns::Value(*url) : ns::Value());
  } else if (!acceptUrl(url, "http", httpDispatchUrl_)) {
    MAI_LOG_ERROR("Non-HTTP URL %@ rejected.", *url);
  }
}

void MAITrackerState::setHttpsDispatchUrl(const std::optional<std::string>& url) {
  if (!url || !ns::URL::URLWithString(*url)) {
    MAI_LOG_ERROR("Malformed HTTPS URL %@ rejected.", url ? ns::Value(*url) : ns::Value());
  } else if (!acceptUrl(url, "https", httpsDispatchUrl_)) {
    MAI_LOG_ERROR("Non-HTTPS URL %@ rejected.", *url);
  }
}

void MAITrackerState::setReferrerUrl(const std::optional<std::string>& url) {
  referrerUrl_ = url;
  setTemporary(kMAIHitFormatReferrer, url);
}

void MAITrackerState::setCampaignUrl(const std::optional<std::string>& url) {
  campaignUrl_ = url;
  auto parameters = url ? MAIStringUtil::decodeParametersFromUrl(*url) : std::nullopt;
  auto value = [&](const char* name) -> std::optional<std::string> {
    if (!parameters) return std::nullopt;
    auto it = parameters->find(name);
    return it == parameters->end() ? std::nullopt : std::optional<std::string>(it->second);
  };
  setTemporary(kMAIHitFormatGclid, value(kMAICampaignSearchClickId));
  setTemporary(kMAIHitFormatDclid, value(kMAICampaignDisplayClickId));
  setTemporary(kMAIHitFormatGmob_t, value(kMAICampaignAdnetTicketId));
  setTemporary(kMAIHitFormatCampaignSource, value(kMAICampaignSource));
  setTemporary(kMAIHitFormatCampaignMedium, value(kMAICampaignMedium));
  setTemporary(kMAIHitFormatCampaignName, value(kMAICampaignName));
  setTemporary(kMAIHitFormatCampaignKeyword, value(kMAICampaignTerm));
  setTemporary(kMAIHitFormatCampaignContent, value(kMAICampaignContent));
}

void MAITrackerState::setEventParameters(const std::optional<std::string>& category,
                                         const std::optional<std::string>& action,
                                         const std::optional<std::string>& label, const ns::Value& value) {
  setTemporary(kMAIHitFormatEventCategory, category);
  setTemporary(kMAIHitFormatEventAction, action);
  setTemporary(kMAIHitFormatEventLabel, label);
  model_->setValue(value.isNumber() ? ns::Value(value.describe()) : ns::Value(), kMAIHitFormatEventValue,
                   true);
}

void MAITrackerState::setTransactionParameters(const MAITransaction& transaction) {
  setTemporary(kMAIHitFormatTransactionId, transaction.transactionId);
  setTemporary(kMAIHitFormatTransactionAffiliation, transaction.affiliation);
  setTemporary(kMAIHitFormatTransactionRevenue,
               MAIStringUtil::currencyMicrosString(transaction.revenueMicros));
  setTemporary(kMAIHitFormatTransactionShipping,
               MAIStringUtil::currencyMicrosString(transaction.shippingMicros));
  setTemporary(kMAIHitFormatTransactionTax, MAIStringUtil::currencyMicrosString(transaction.taxMicros));
}

void MAITrackerState::setItemParameters(const MAITransactionItem& item, const MAITransaction& transaction) {
  setTemporary(kMAIHitFormatTransactionId, transaction.transactionId);
  setTemporary(kMAIHitFormatItemPrice, MAIStringUtil::currencyMicrosString(item.priceMicros));
  setTemporary(kMAIHitFormatItemQuantity, MAIStringUtil::intString(item.quantity));
  setTemporary(kMAIHitFormatItemName, item.productName);
  setTemporary(kMAIHitFormatItemCode, item.productCode);
  setTemporary(kMAIHitFormatItemCategory, item.productCategory);
}

void MAITrackerState::setExceptionParameters(const std::optional<std::string>& description, bool isFatal) {
  setTemporary(kMAIHitFormatExceptionDescription, description);
  setTemporary(kMAIHitFormatExceptionFatal, std::string(isFatal ? "1" : "0"));
}

void MAITrackerState::setTimingParameters(const std::optional<std::string>& name, double seconds,
                                          const std::optional<std::string>& category,
                                          const std::optional<std::string>& label) {
  setTemporary(kMAIHitFormatTimingVariable, name);
  // Half a millisecond up, then truncated; scaling first keeps 1.2345 s at 1235 ms in binary arithmetic.
  setTemporary(kMAIHitFormatTimingValue,
               MAIStringUtil::intString(ns::saturatingInt64(std::trunc(seconds * 1000.0 + 0.5))));
  setTemporary(kMAIHitFormatTimingCategory, category);
  setTemporary(kMAIHitFormatTimingLabel, label);
}

void MAITrackerState::setSocialParameters(const std::optional<std::string>& network,
                                          const std::optional<std::string>& action,
                                          const std::optional<std::string>& target) {
  setTemporary(kMAIHitFormatSocialNetwork, network);
  setTemporary(kMAIHitFormatSocialAction, action);
  setTemporary(kMAIHitFormatSocialTarget, target);
}
