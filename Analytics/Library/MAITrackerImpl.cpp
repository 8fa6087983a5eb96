#include "Analytics/Library/MAITrackerImpl.h"

#include "Analytics/Library/MAI.h"
#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIExceptionParser.h"
#include "Analytics/Library/MAIHitBuilder.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAIStringUtil.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/Locale.h"
#include "Foundation/NotificationCenter.h"
#include "UIKit/Application.h"

namespace {

constexpr double kMaxTrackingCredits = 60.0;
constexpr double kCreditsPerSecond = 0.5;
constexpr unsigned kExceptionDescriptionLength = 150;

double now() { return ns::Date::now().timeIntervalSinceReferenceDate(); }

bool isAbsentOrEmpty(const std::optional<std::string>& text) { return !text || text->empty(); }

}  // namespace

std::shared_ptr<MAITrackerImpl> MAITrackerImpl::trackerWithDispatcher(
    const MAIDispatcherPtr& dispatcher, const std::optional<std::string>& trackingId,
    const std::optional<std::string>& appName, const std::optional<std::string>& appVersion) {
  return std::make_shared<MAITrackerImpl>()->initWithDispatcher(dispatcher, trackingId, appName, appVersion);
}

std::shared_ptr<MAITrackerImpl> MAITrackerImpl::initWithDispatcher(
    const MAIDispatcherPtr& dispatcher, const std::optional<std::string>& trackingId,
    const std::optional<std::string>& appName, const std::optional<std::string>& appVersion) {
  if (!dispatcher) {
    MAI_LOG_ERROR("initialization failed: dispatcher is required.");
    return nullptr;
  }
  auto state =
      MAITrackerState::trackerStateWithTrackingId(trackingId, dispatcher->clientId(), appName, appVersion);
  if (!state) {
    MAI_LOG_ERROR("initialization failed: tracker state not initialized.");
    return nullptr;
  }
  dispatcher_ = dispatcher;
  trackerState_ = state;
  clientId_ = state->clientId();
  trackerState_->setSessionControl(std::string(kMAIHitFormatSessionStart));
  adSdkPresent_ = ns::ClassRegistry::shared().contains("MADRequest");
  // The session started above is the one the application's first activation continues: a tracker
  // made during the launch, before the application is active, must not start a second one then.
  lastActiveTime_ = now();

  auto self = std::static_pointer_cast<MAITrackerImpl>(shared_from_this());
  std::weak_ptr<MAITrackerImpl> weak = self;
  auto center = ns::NotificationCenter::defaultCenter();
  center->addObserver(
      self,
      [weak](const ns::Notification&) {
        if (auto tracker = weak.lock()) tracker->appDidBecomeActive();
      },
      ui::kApplicationDidBecomeActiveNotification);
  center->addObserver(
      self,
      [weak](const ns::Notification&) {
        if (auto tracker = weak.lock()) tracker->appWillResignActive();
      },
      ui::kApplicationWillResignActiveNotification);
  return self;
}

MAITrackerImpl::~MAITrackerImpl() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

bool MAITrackerImpl::admit(const std::function<bool()>& check) {
  ++trackCount_;
  if (!dispatcher_) {
    MAI_LOG_ERROR("tracker is closed.");
    return false;
  }
  if (check && !check()) return false;
  if (shouldThrottle()) {
    MAI_LOG_DEBUG("Excessive tracking detected and throttled.");
    return false;
  }
  return true;
}

bool MAITrackerImpl::sendHit(const std::string& hitType, const std::function<void()>& write,
                             bool renewsAdHitId, const std::function<bool()>& check) {
  if (!admit(check)) return false;
  if (write) write();
  auto hit = MAIHitBuilder::hitWithType(hitType, *trackerState_->model());
  if (!hit) return false;
  if (shouldTrack()) {
    if (renewsAdHitId) updateAdParameters();
    queueDispatch(*hit);
  }
  return true;
}

bool MAITrackerImpl::shouldThrottle() {
  double current = now();
  if (lastTrackTime_ != 0 && trackingCredits_ < kMaxTrackingCredits) {
    double elapsed = current - lastTrackTime_;
    if (elapsed > 0)
      trackingCredits_ = std::min(kMaxTrackingCredits, trackingCredits_ + elapsed * kCreditsPerSecond);
  }
  lastTrackTime_ = current;
  if (trackingCredits_ >= 1) {
    trackingCredits_ -= 1;
    return false;
  }
  return true;
}

void MAITrackerImpl::updateAdParameters() {
  if (!adSdkPresent_) return;
  trackerState_->setAdHitId(MAIStringUtil::uintString(ns::Random::shared().next()));
  MAI::sharedInstance()->updateAdNetParameters(trackerState_);
}

void MAITrackerImpl::queueDispatch(const MAIParameters& hit) {
  dispatcher_->queueDispatch(hit, trackerState_->dispatchUrl());
  ++hitCount_;
}

bool MAITrackerImpl::sendView() {
  MAILockGuard guard(lock_);
  if (!guard) return false;
  return sendHit(kMAIHitFormatViewHitType, nullptr, true, [this] {
    if (trackerState_->appScreen()) return true;
    MAI_LOG_ERROR("appScreen must not be nil.");
    return false;
  });
}

bool MAITrackerImpl::sendView(const std::optional<std::string>& screen) {
  if (!screen) {
    MAI_LOG_ERROR("screen parameter must not be nil.");
    return false;
  }
  MAILockGuard guard(lock_);
  if (!guard) return false;
  trackerState_->setAppScreen(screen);
  return sendView();
}

bool MAITrackerImpl::sendEventWithCategory(const std::optional<std::string>& category,
                                           const std::optional<std::string>& action,
                                           const std::optional<std::string>& label, const ns::Value& value) {
  MAILockGuard guard(lock_);
  if (!guard) return false;
  return sendHit(
      kMAIHitFormatEventHitType, [&] { trackerState_->setEventParameters(category, action, label, value); },
      true);
}

bool MAITrackerImpl::sendTransaction(const MAITransaction& transaction) {
  MAILockGuard guard(lock_);
  if (!guard || !admit()) return false;
  // One credit pays for the whole transaction; nothing is queued unless every hit was built.
  auto& model = *trackerState_->model();
  std::vector<MAIParameters> items;
  for (const auto& item : transaction.items) {
    trackerState_->setItemParameters(item, transaction);
    auto hit = MAIHitBuilder::hitWithType(kMAIHitFormatItemHitType, model);
    if (!hit) return false;
    items.push_back(std::move(*hit));
  }
  trackerState_->setTransactionParameters(transaction);
  auto hit = MAIHitBuilder::hitWithType(kMAIHitFormatTransactionHitType, model);
  if (!hit) return false;
  if (shouldTrack()) {
    for (const auto& item : items) queueDispatch(item);
    updateAdParameters();
    queueDispatch(*hit);
  }
  return true;
}

bool MAITrackerImpl::sendException(bool isFatal, const ns::Exception& exception) {
  return sendExceptionText(isFatal,
                           MAIExceptionParser::exceptionDescription(exception, kExceptionDescriptionLength));
}

bool MAITrackerImpl::sendException(bool isFatal, const ns::ErrorPtr& error) {
  std::string description =
      error ? ns::format("%@ %d: %@", error->domain(), error->code(), error->localizedDescription())
            : std::string("(null) 0: (null)");
  return sendExceptionText(isFatal, description);
}

bool MAITrackerImpl::sendExceptionText(bool isFatal, const std::string& description) {
  MAILockGuard guard(lock_);
  if (!guard) return false;
  return sendHit(
      kMAIHitFormatExceptionHitType, [&] { trackerState_->setExceptionParameters(description, isFatal); },
      false);
}

bool MAITrackerImpl::sendTimingWithCategory(const std::optional<std::string>& category, double seconds,
                                            const std::optional<std::string>& name,
                                            const std::optional<std::string>& label) {
  MAILockGuard guard(lock_);
  if (!guard) return false;
  return sendHit(
      kMAIHitFormatTimingHitType, [&] { trackerState_->setTimingParameters(name, seconds, category, label); },
      false);
}

bool MAITrackerImpl::sendSocial(const std::optional<std::string>& network,
                                const std::optional<std::string>& action,
                                const std::optional<std::string>& target) {
  if (!network && !action) {
    MAI_LOG_ERROR("Social network and action are both required.");
    return false;
  }
  if (!network) {
    MAI_LOG_ERROR("Social network is required.");
    return false;
  }
  if (!action) {
    MAI_LOG_ERROR("Social action is required.");
    return false;
  }
  MAILockGuard guard(lock_);
  if (!guard) return false;
  return sendHit(
      kMAIHitFormatSocialHitType, [&] { trackerState_->setSocialParameters(network, action, target); },
      false);
}

bool MAITrackerImpl::send(const std::optional<std::string>& trackType, const ns::Dictionary& parameters) {
  if (isAbsentOrEmpty(trackType)) {
    MAI_LOG_ERROR("Bad or missing track type.");
    return false;
  }
  MAILockGuard guard(lock_);
  if (!guard) return false;
  return sendHit(
      *trackType, [&] { trackerState_->model()->setFromDictionary(parameters, true); }, false);
}

bool MAITrackerImpl::set(const std::string& parameterName, const std::optional<std::string>& value) {
  MAILockGuard guard(lock_);
  if (!guard) return false;
  if (!dispatcher_) {
    MAI_LOG_ERROR("tracker is closed.");
    return false;
  }
  return trackerState_->model()->setValue(value ? ns::Value(*value) : ns::Value(), parameterName);
}

std::optional<std::string> MAITrackerImpl::get(const std::string& parameterName) {
  MAILockGuard guard(lock_);
  if (!guard) return std::nullopt;
  if (!dispatcher_) {
    MAI_LOG_ERROR("tracker is closed.");
    return std::nullopt;
  }
  return trackerState_->model()->get(parameterName);
}

bool MAITrackerImpl::setCustomDimension(int index, const ns::Value& dimension) {
  if (index < 1) {
    MAI_LOG_ERROR("bad dimension index given: %d. Index must be positive.", index);
    return false;
  }
  if (!dimension.isNil() && !dimension.isString()) {
    MAI_LOG_ERROR("bad dimension value given (must be NSString).");
    return false;
  }
  std::string key = ns::format("&cd%d", index);
  MAILockGuard guard(lock_);
  if (!guard) return false;
  if (!dispatcher_) {
    MAI_LOG_ERROR("tracker is closed.");
    return false;
  }
  return trackerState_->model()->setValue(dimension, key, true);
}

bool MAITrackerImpl::setCustomMetric(int index, const ns::Value& metric) {
  if (index < 1) {
    MAI_LOG_ERROR("bad metric index given: %d. Index must be positive.", index);
    return false;
  }
  if (!metric.isNil() && !metric.isNumber()) {
    MAI_LOG_ERROR("bad metric value given (must be NSNumber).");
    return false;
  }
  std::string key = ns::format("&cm%d", index);
  ns::Value text = metric.isNil() ? ns::Value() : ns::Value(ns::format("%lld", metric.longLongValue()));
  MAILockGuard guard(lock_);
  if (!guard) return false;
  if (!dispatcher_) {
    MAI_LOG_ERROR("tracker is closed.");
    return false;
  }
  return trackerState_->model()->setValue(text, key, true);
}

void MAITrackerImpl::close() {
  MAILockGuard guard(lock_);
  if (!guard) return;
  if (!dispatcher_) {
    MAI_LOG_DEBUG("tracker is already closed.");
    return;
  }
  dispatcher_.reset();
  MAI::sharedInstance()->removeTracker(*this);
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

void MAITrackerImpl::appDidBecomeActive() {
  MAILockGuard guard(lock_);
  if (!guard) return;
  double current = now();
  if (sessionTimeout_ == 0 || (sessionTimeout_ > 0 && current - lastActiveTime_ >= sessionTimeout_))
    trackerState_->setSessionControl(std::string(kMAIHitFormatSessionStart));
  lastActiveTime_ = current;
}

void MAITrackerImpl::appWillResignActive() {
  MAILockGuard guard(lock_);
  if (!guard) return;
  lastActiveTime_ = now();
}

std::optional<std::string> MAITrackerImpl::trackingId() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->trackingId() : std::nullopt;
}

std::optional<std::string> MAITrackerImpl::clientId() { return clientId_; }

std::optional<std::string> MAITrackerImpl::appName() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->appName() : std::nullopt;
}

void MAITrackerImpl::setAppName(const std::optional<std::string>& name) {
  MAILockGuard guard(lock_);
  if (!guard) return;
  if (isAbsentOrEmpty(name)) {
    MAI_LOG_ERROR("Invalid application name supplied.");
  } else if (hitCount_ > 0) {
    MAI_LOG_ERROR("Cannot set application name after tracking calls.");
  } else {
    trackerState_->setAppName(name);
  }
}

std::optional<std::string> MAITrackerImpl::appId() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->appId() : std::nullopt;
}

void MAITrackerImpl::setAppId(const std::optional<std::string>& appId) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setAppId(appId);
}

std::optional<std::string> MAITrackerImpl::appVersion() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->appVersion() : std::nullopt;
}

void MAITrackerImpl::setAppVersion(const std::optional<std::string>& version) {
  MAILockGuard guard(lock_);
  if (!guard) return;
  if (hitCount_ > 0)
    MAI_LOG_ERROR("Cannot set application version after tracking calls.");
  else
    trackerState_->setAppVersion(version);
}

bool MAITrackerImpl::anonymize() {
  MAILockGuard guard(lock_);
  return guard && trackerState_->anonymize();
}

void MAITrackerImpl::setAnonymize(bool anonymize) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setAnonymize(anonymize);
}

bool MAITrackerImpl::useHttps() {
  MAILockGuard guard(lock_);
  return guard && trackerState_->useHttps();
}

void MAITrackerImpl::setUseHttps(bool useHttps) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setUseHttps(useHttps);
}

double MAITrackerImpl::sampleRate() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->sampleRate() : 0.0;
}

void MAITrackerImpl::setSampleRate(double rate) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setSampleRate(rate);
}

std::string MAITrackerImpl::httpDispatchUrl() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->httpDispatchUrl() : std::string();
}

void MAITrackerImpl::setHttpDispatchUrl(const std::optional<std::string>& url) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setHttpDispatchUrl(url);
}

std::string MAITrackerImpl::httpsDispatchUrl() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->httpsDispatchUrl() : std::string();
}

void MAITrackerImpl::setHttpsDispatchUrl(const std::optional<std::string>& url) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setHttpsDispatchUrl(url);
}

std::optional<std::string> MAITrackerImpl::appScreen() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->appScreen() : std::nullopt;
}

void MAITrackerImpl::setAppScreen(const std::optional<std::string>& screen) {
  MAILockGuard guard(lock_);
  if (!guard) return;
  if (!screen)
    MAI_LOG_ERROR("cannot set appScreen to nil.");
  else
    trackerState_->setAppScreen(screen);
}

std::optional<std::string> MAITrackerImpl::referrerUrl() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->referrerUrl() : std::nullopt;
}

void MAITrackerImpl::setReferrerUrl(const std::optional<std::string>& url) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setReferrerUrl(url);
}

std::optional<std::string> MAITrackerImpl::campaignUrl() {
  MAILockGuard guard(lock_);
  return guard ? trackerState_->campaignUrl() : std::nullopt;
}

void MAITrackerImpl::setCampaignUrl(const std::optional<std::string>& url) {
  MAILockGuard guard(lock_);
  if (guard) trackerState_->setCampaignUrl(url);
}

bool MAITrackerImpl::sessionStart() {
  MAILockGuard guard(lock_);
  return guard && trackerState_->sessionControl() == kMAIHitFormatSessionStart;
}

void MAITrackerImpl::setSessionStart(bool start) {
  MAILockGuard guard(lock_);
  if (guard)
    trackerState_->setSessionControl(start ? std::optional<std::string>(kMAIHitFormatSessionStart)
                                           : std::nullopt);
}

double MAITrackerImpl::sessionTimeout() {
  MAILockGuard guard(lock_);
  return guard ? sessionTimeout_ : 0.0;
}

void MAITrackerImpl::setSessionTimeout(double seconds) {
  MAILockGuard guard(lock_);
  if (guard) sessionTimeout_ = seconds;
}

std::uint64_t MAITrackerImpl::trackCount() {
  MAILockGuard guard(lock_);
  return guard ? trackCount_ : 0;
}

std::uint64_t MAITrackerImpl::hitCount() {
  MAILockGuard guard(lock_);
  return guard ? hitCount_ : 0;
}
