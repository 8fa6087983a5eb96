#include "AppAnalytics/Library/MALTracker.h"

#include <atomic>
#include <climits>
#include <limits>

#include "AppAnalytics/Library/MALLog.h"
#include "Foundation/Date.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"
#include "UIKit/Application.h"

std::atomic<bool>& MALDebugSwitch() {
  static std::atomic<bool> on{false};
  return on;
}

MALTrackerPrivate::~MALTrackerPrivate() {
  if (dispatchTaskTimer_) dispatchTaskTimer_->invalidate();
  MALAdNetInfo::sharedGANAdNetInfo()->setAdHitId(0);
}

std::shared_ptr<MALTrackerPrivate> MALTrackerPrivate::initWithDispatcherDelegate(
    std::weak_ptr<MALDataDispatcherDelegate> dispatcherDelegate,
    std::weak_ptr<MALTrackerDelegate> trackerDelegate, const std::string& product, const std::string& version,
    bool anonymizeIp, unsigned sampleRate, bool dryRun) {
  delegate_ = std::move(trackerDelegate);
  hitBuilder_ = std::make_shared<MALHitBuilder>();
  hitStore_ = std::make_shared<MALPersistentHitStore>()->initWithHitBuilder(hitBuilder_);
  if (hitStore_) {
    hitStore_->setAnonymizeIp(anonymizeIp);
    hitStore_->setSampleRate(sampleRate);
  }
  dataDispatcher_ = std::make_shared<MALDataDispatcher>()->initWithDelegate(std::move(dispatcherDelegate),
                                                                            product, version);
  dataDispatcher_->setDryRun(dryRun);
  hitIdGenerator_ = std::make_shared<MALAdHitIdGenerator>();
  return std::static_pointer_cast<MALTrackerPrivate>(shared_from_this());
}

std::shared_ptr<MALTracker> MALTracker::sharedTracker() {
  static const std::shared_ptr<MALTracker> tracker = std::make_shared<MALTracker>(Key{});
  return tracker;
}

std::recursive_mutex& MALTracker::classLock() {
  static std::recursive_mutex lock;
  return lock;
}

void MALTracker::startTrackerWithAccountID(const std::string& accountIDs, int dispatchPeriod,
                                           std::weak_ptr<MALTrackerDelegate> delegate) {
  std::lock_guard lock(classLock());
  if (!private_) {
    auto self = std::static_pointer_cast<MALTracker>(shared_from_this());
    private_ = std::make_shared<MALTrackerPrivate>()->initWithDispatcherDelegate(
        std::static_pointer_cast<MALDataDispatcherDelegate>(self), delegate, product_, version_, anonymizeIp_,
        sampleRate_, dryRun_);
    std::lock_guard destination(destinationLock_);
    const MALDataDispatcherPtr& dispatcher = private_->dataDispatcher_;
    if (destinationHost_) dispatcher->setDestinationHost(*destinationHost_);
    if (destinationPort_ != 0) dispatcher->setDestinationPort(destinationPort_);
    if (destinationPathPrefix_) dispatcher->setDestinationPathPrefix(*destinationPathPrefix_);
    destinationHost_.reset();
    destinationPort_ = 0;
    destinationPathPrefix_.reset();
  }
  if (private_->hitStore_) private_->hitStore_->startNewSession();
  private_->hitBuilder_->setAccountIDs(ns::componentsSeparatedByString(accountIDs, ","));
  private_->delegate_ = std::move(delegate);
  private_->dispatchPeriod_ = dispatchPeriod;
  if (dispatchPeriod > 0) startTimer();
}

void MALTracker::stopTracker() {
  std::shared_ptr<MALTrackerPrivate> stopped;
  {
    std::lock_guard lock(classLock());
    stopTimer();
    stopped = std::move(private_);
  }
}

bool MALTracker::trackPageview(const std::optional<std::string>& pageURL, ns::ErrorPtr* error) {
  std::lock_guard lock(classLock());
  if (!private_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  if (!pageURL) {
    MALSetTrackerError(error, kMALErrorBadArgument);
    return false;
  }
  std::string path = pageURL->empty() || pageURL->front() != '/' ? "/" + *pageURL : *pageURL;
  private_->lastPagePath_ = path;
  if (MALOptOut::isOptOutAppPresent()) return true;
  return createEvent(path, kMALPageviewEventCategory, std::nullopt, std::nullopt, 0, error) != nullptr;
}

bool MALTracker::trackEvent(const std::optional<std::string>& category,
                            const std::optional<std::string>& action, const std::optional<std::string>& label,
                            int value, ns::ErrorPtr* error) {
  std::lock_guard lock(classLock());
  if (!private_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  if (MALOptOut::isOptOutAppPresent()) return true;
  return createEvent(private_->lastPagePath_, category, action, label, value, error) != nullptr;
}

MALEventPtr MALTracker::createEvent(const std::optional<std::string>& pagePath,
                                    const std::optional<std::string>& category,
                                    const std::optional<std::string>& action,
                                    const std::optional<std::string>& label, int value, ns::ErrorPtr* error) {
  auto event = std::make_shared<MALEvent>()->initWithPagePath(pagePath, category, action, label, value);
  MALEventPtr result;
  const bool valid = event->isPageview() ? pagePath.has_value() : action.has_value();
  const unsigned accepted = private_->eventsAccepted_;
  if (valid && private_->eventsAccepted_ < UINT_MAX) ++private_->eventsAccepted_;
  if (!valid) {
    MALSetTrackerError(error, kMALErrorBadArgument);
  } else if (accepted >= kMALMaxEventsPerStart) {
    MALSetTrackerError(error, kMALErrorTooManyEvents);
  } else {
    event->setUseServerTime(private_->useServerTime_);
    if (event->isTransaction() || event->isItem()) {
      result = event;  // attached to its record and stored by trackTransactions
    } else {
      // Custom variables ride on exactly one page view or event.
      event->setCustomVariableBuffer(std::move(private_->customVars_));
      private_->customVars_.reset();
      event->setAdHitId(private_->hitIdGenerator_->adHitId());
      if (!private_->hitStore_)
        MALSetError(error, kMALPersistentEventStoreErrorDomain, kMALStoreErrorNotOpen);
      else if (private_->hitStore_->persistEvent(event, error))
        result = event;
    }
  }
  resetPowerSaveMode();
  return result;
}

bool MALTracker::setCustomVariableAtIndex(unsigned index, const std::optional<std::string>& name,
                                          const std::optional<std::string>& value, int scope,
                                          ns::ErrorPtr* error) {
  // Locked like event creation, which takes the pending variables.
  std::lock_guard lock(classLock());
  if (!private_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  if (index < 1 || index > kMALMaxCustomVariables || !name || !value || ns::utf16Length(*name) > 64 ||
      ns::utf16Length(*value) > 64 || scope < 1 || scope > 3) {
    MALSetTrackerError(error, kMALErrorBadArgument);
    return false;
  }
  if (!private_->customVars_) private_->customVars_ = std::make_shared<MALCustomVariableBuffer>();
  private_->customVars_->addCustomVariable(
      std::make_shared<MALCustomVariable>()->initWithIndex(index, *name, *value, scope));
  return true;
}

bool MALTracker::setCustomVariableAtIndex(unsigned index, const std::optional<std::string>& name,
                                          const std::optional<std::string>& value, ns::ErrorPtr* error) {
  return setCustomVariableAtIndex(index, name, value, 3, error);
}

std::optional<std::string> MALTracker::getVisitorCustomVarAtIndex(unsigned index) {
  std::lock_guard lock(classLock());
  if (index < 1 || index > kMALMaxCustomVariables) {
    ns::log("Error: index must be between 1 and kMALMaxCustomVariables");
    return std::nullopt;
  }
  if (!private_) {
    ns::log("Error: getVisitorCustomVarAtIndex called when tracker is not started");
    return std::nullopt;
  }
  return private_->hitStore_ ? private_->hitStore_->visitorCustomVarAtIndex(index) : std::nullopt;
}

bool MALTracker::addTransaction(const std::optional<std::string>& orderID, double totalPrice,
                                const std::optional<std::string>& storeName, double totalTax,
                                double shippingCost, ns::ErrorPtr* error) {
  std::lock_guard lock(classLock());
  if (!private_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  if (!orderID || orderID->empty()) {
    MALSetTrackerError(error, kMALErrorBadArgument);
    return false;
  }
  private_->transactionQueue_[*orderID] = std::make_shared<MALTransaction>()->initWithOrderID(
      *orderID, storeName, totalPrice, totalTax, shippingCost);
  return true;
}

bool MALTracker::addItem(const std::optional<std::string>& orderID, const std::optional<std::string>& itemSKU,
                         double itemPrice, int itemCount, const std::optional<std::string>& itemName,
                         const std::optional<std::string>& itemCategory, ns::ErrorPtr* error) {
  std::lock_guard lock(classLock());
  if (!private_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  if (!orderID || orderID->empty() || !itemSKU || itemSKU->empty()) {
    MALSetTrackerError(error, kMALErrorBadArgument);
    return false;
  }
  if (!private_->transactionQueue_.count(*orderID))
    private_->transactionQueue_[*orderID] =
        std::make_shared<MALTransaction>()->initWithOrderID(*orderID, std::nullopt, 0, 0, 0);
  private_->itemQueue_[*orderID][*itemSKU] = std::make_shared<MALItem>()->initWithOrderID(
      *orderID, *itemSKU, itemPrice, itemCount, itemName, itemCategory);
  return true;
}

bool MALTracker::trackTransactions(ns::ErrorPtr* error) {
  std::lock_guard lock(classLock());
  if (!private_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  bool ok = true;
  // Stores one record of the given kind, made by attach.
  auto record = [&](const char* category, const auto& attach) {
    MALEventPtr event = createEvent(std::nullopt, category, std::string(), std::string(), -1, error);
    if (!event) return false;
    attach(*event);
    if (!private_->hitStore_) {
      MALSetError(error, kMALPersistentEventStoreErrorDomain, kMALStoreErrorNotOpen);
      return false;
    }
    return private_->hitStore_->persistEvent(event, error);
  };
  if (!MALOptOut::isOptOutAppPresent()) {
    for (const auto& order : private_->transactionQueue_) {
      ok = record(kMALTransactionEventCategory, [&](MALEvent& e) { e.setTransaction(order.second); });
      if (!ok) break;
      for (const auto& line : private_->itemQueue_[order.first]) {
        ok = record(kMALItemEventCategory, [&](MALEvent& e) { e.setItem(line.second); });
        if (!ok) break;
      }
      if (!ok) break;
    }
  }
  private_->transactionQueue_.clear();
  private_->itemQueue_.clear();
  return ok;
}

bool MALTracker::clearTransactions(ns::ErrorPtr* error) {
  std::lock_guard lock(classLock());
  if (!private_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  private_->transactionQueue_.clear();
  private_->itemQueue_.clear();
  return true;
}

bool MALTracker::setReferrer(const std::string& referrer, ns::ErrorPtr* error) {
  std::lock_guard lock(classLock());
  if (!private_ || !private_->hitStore_) {
    MALSetTrackerError(error, kMALErrorNotStarted);
    return false;
  }
  return private_->hitStore_->setReferrer(referrer, error);
}

bool MALTracker::dispatch() { return dispatch(false, 0); }

bool MALTracker::dispatchSynchronous(double timeoutSeconds) { return dispatch(true, timeoutSeconds); }

bool MALTracker::dispatch(bool synchronous, double timeoutSeconds) {
  std::lock_guard lock(classLock());
  if (!private_) {
    MALDebugLog("Dispatch called while tracker is not active");
    return false;
  }
  if (private_->hitsBeingDispatched_ != 0) {
    MALDebugLog("Dispatch called but dispatcher was busy");
    return false;
  }
  const MALPersistentHitStorePtr& store = private_->hitStore_;
  private_->hitsBeingDispatched_ = store ? store->storedHits() : 0;
  if (private_->hitsBeingDispatched_ == 0) {
    MALDebugLog("Dispatch called with nothing to dispatch");
    stopTimer();
    private_->powerSaveMode_ = true;
    return false;
  }
  private_->hitsDispatched_ = 0;
  std::vector<MALHitPtr> hits = store->peekHits(-1);
  private_->hitsHandedOut_ = static_cast<unsigned>(hits.size());
  MALDebugLog("dispatching %d hits", static_cast<int>(hits.size()));
  // Held: a delegate told of the outcome may stop the tracker.
  MALDataDispatcherPtr dispatcher = private_->dataDispatcher_;
  if (!synchronous) {
    dispatcher->dispatchHits(hits);
    return true;
  }
  bool sent = dispatcher->dispatchHitsSynchronously(hits, timeoutSeconds);
  if (private_) private_->hitsBeingDispatched_ = 0;
  return sent;
}

void MALTracker::dataDispatcherDispatched(MALDataDispatcher& dispatcher, const MALHitPtr& hit) {
  std::lock_guard lock(classLock());
  if (!private_ || private_->dataDispatcher_.get() != &dispatcher) return;
  if (private_->hitStore_) private_->hitStore_->deleteHit(hit->hitId());
  ++private_->hitsDispatched_;
  if (auto delegate = private_->delegate_.lock()) delegate->hitDispatched(hit->hitString());
}

void MALTracker::dataDispatcherDidComplete(MALDataDispatcher& dispatcher) {
  std::lock_guard lock(classLock());
  if (!private_ || private_->dataDispatcher_.get() != &dispatcher) return;
  private_->hitsBeingDispatched_ = 0;
  unsigned dispatched = private_->hitsDispatched_;
  unsigned failed = private_->hitsHandedOut_ > dispatched ? private_->hitsHandedOut_ - dispatched : 0;
  if (auto delegate = private_->delegate_.lock())
    delegate->trackerDispatchDidComplete(*this, dispatched, failed);
}

void MALTracker::startTimer() {
  stopTimer();
  if (!private_ || private_->dispatchPeriod_ <= 0) return;
  std::weak_ptr<MALTracker> weak = std::static_pointer_cast<MALTracker>(shared_from_this());
  private_->dispatchTaskTimer_ =
      ns::Timer::scheduledTimerWithTimeInterval(private_->dispatchPeriod_, true, [weak](const ns::TimerPtr&) {
        if (auto tracker = weak.lock()) tracker->dispatch();
      });
}

void MALTracker::stopTimer() {
  if (!private_ || !private_->dispatchTaskTimer_) return;
  private_->dispatchTaskTimer_->invalidate();
  private_->dispatchTaskTimer_.reset();
}

void MALTracker::resetPowerSaveMode() {
  if (private_ && private_->powerSaveMode_ && private_->dispatchPeriod_ > 0) {
    private_->powerSaveMode_ = false;
    startTimer();
  }
}

int MALTracker::dispatchPeriod() const {
  std::lock_guard lock(classLock());
  return private_ ? private_->dispatchPeriod_ : 0;
}

void MALTracker::setDispatchPeriod(int seconds) {
  std::lock_guard lock(classLock());
  if (!private_) return;
  if (private_->dispatchPeriod_ > 0) stopTimer();
  private_->dispatchPeriod_ = seconds;
  if (seconds > 0) startTimer();
}

bool MALTracker::debug() const { return MALDebugSwitch().load(); }

void MALTracker::setDebug(bool debug) { MALDebugSwitch().store(debug); }

bool MALTracker::dryRun() const {
  std::lock_guard lock(classLock());
  return dryRun_;
}

void MALTracker::setDryRun(bool dryRun) {
  std::lock_guard lock(classLock());
  dryRun_ = dryRun;
  if (private_) private_->dataDispatcher_->setDryRun(dryRun);
}

bool MALTracker::anonymizeIp() const {
  std::lock_guard lock(classLock());
  return anonymizeIp_;
}

void MALTracker::setAnonymizeIp(bool anonymizeIp) {
  std::lock_guard lock(classLock());
  anonymizeIp_ = anonymizeIp;
  if (private_ && private_->hitStore_) private_->hitStore_->setAnonymizeIp(anonymizeIp);
}

unsigned MALTracker::sampleRate() const {
  std::lock_guard lock(classLock());
  return sampleRate_;
}

void MALTracker::setSampleRate(unsigned rate) {
  if (rate > 100) {
    ns::log("Invalid sample rate: %d (should be between 0 and 100)", rate);
    return;
  }
  std::lock_guard lock(classLock());
  sampleRate_ = rate;
  if (private_ && private_->hitStore_) private_->hitStore_->setSampleRate(rate);
}

std::string MALTracker::product() const {
  std::lock_guard lock(classLock());
  return product_;
}

void MALTracker::setProduct(std::string product) {
  std::lock_guard lock(classLock());
  product_ = std::move(product);
}

std::string MALTracker::version() const {
  std::lock_guard lock(classLock());
  return version_;
}

void MALTracker::setVersion(std::string version) {
  std::lock_guard lock(classLock());
  version_ = std::move(version);
}

std::optional<std::string> MALTracker::destinationHost() const {
  std::lock_guard lock(classLock());
  std::lock_guard destination(destinationLock_);
  return private_ ? std::optional<std::string>(private_->dataDispatcher_->destinationHost())
                  : destinationHost_;
}

void MALTracker::setDestinationHost(std::optional<std::string> host) {
  std::lock_guard lock(classLock());
  std::lock_guard destination(destinationLock_);
  if (!private_)
    destinationHost_ = std::move(host);
  else if (host)
    private_->dataDispatcher_->setDestinationHost(std::move(*host));
}

unsigned MALTracker::destinationPort() const {
  std::lock_guard lock(classLock());
  std::lock_guard destination(destinationLock_);
  return private_ ? private_->dataDispatcher_->destinationPort() : destinationPort_;
}

void MALTracker::setDestinationPort(unsigned port) {
  std::lock_guard lock(classLock());
  std::lock_guard destination(destinationLock_);
  if (!private_)
    destinationPort_ = port;
  else
    private_->dataDispatcher_->setDestinationPort(port);
}

std::optional<std::string> MALTracker::destinationPathPrefix() const {
  std::lock_guard lock(classLock());
  std::lock_guard destination(destinationLock_);
  return private_ ? std::optional<std::string>(private_->dataDispatcher_->destinationPathPrefix())
                  : destinationPathPrefix_;
}

void MALTracker::setDestinationPathPrefix(std::optional<std::string> prefix) {
  std::lock_guard lock(classLock());
  std::lock_guard destination(destinationLock_);
  if (!private_)
    destinationPathPrefix_ = std::move(prefix);
  else
    private_->dataDispatcher_->setDestinationPathPrefix(prefix.value_or(""));
}

void MALTracker::setUseServerTime(bool useServerTime) {
  std::lock_guard lock(classLock());
  if (private_) private_->useServerTime_ = useServerTime;
}

void MALTracker::setHitIdGenerator(MALAdHitIdGeneratorPtr generator) {
  std::lock_guard lock(classLock());
  if (private_ && generator) private_->hitIdGenerator_ = std::move(generator);
}

std::shared_ptr<MALTrackerPrivate> MALTracker::trackerPrivate() const {
  std::lock_guard lock(classLock());
  return private_;
}

std::optional<std::string> MALTracker::accountIDForAfma() const {
  std::lock_guard lock(classLock());
  if (!private_ || private_->hitBuilder_->accountIDs().empty()) return std::nullopt;
  return private_->hitBuilder_->accountIDs().front();
}

std::optional<std::string> MALTracker::sessionIDForAds() const {
  std::lock_guard lock(classLock());
  return private_ && private_->hitStore_ ? private_->hitStore_->sessionIDForAds() : std::nullopt;
}

std::optional<std::string> MALTracker::visitorIDForAds() const {
  std::lock_guard lock(classLock());
  return private_ && private_->hitStore_ ? private_->hitStore_->visitorIDForAds() : std::nullopt;
}

MALDataDispatcherPtr MALTracker::getDispatcher() const {
  std::lock_guard lock(classLock());
  return private_ ? private_->dataDispatcher_ : nullptr;
}

MALPersistentHitStorePtr MALTracker::persistentHitStore() const {
  std::lock_guard lock(classLock());
  return private_ ? private_->hitStore_ : nullptr;
}

namespace {

std::mutex& injectedOptOutLock() {
  static std::mutex lock;
  return lock;
}

MALOptOut::OptOutClass& injectedOptOut() {
  static MALOptOut::OptOutClass check;
  return check;
}

}  // namespace

void MALOptOut::injectOptOutClass(OptOutClass optOutClass) {
  std::lock_guard guard(injectedOptOutLock());
  injectedOptOut() = std::move(optOutClass);
}

bool MALOptOut::isOptOutAppPresent() {
  OptOutClass injected;
  {
    std::lock_guard guard(injectedOptOutLock());
    injected = injectedOptOut();
  }
  return injected ? injected() : builtInIsOptOutAppPresent();
}

bool MALOptOut::builtInIsOptOutAppPresent() {
  static std::atomic<double> checkedAt{-std::numeric_limits<double>::infinity()};
  static std::atomic<bool> present{false};
  static std::mutex lock;
  const double now = ns::Date::now().timeIntervalSinceReferenceDate();
  auto fresh = [&] {
    double at = checkedAt.load();
    return at <= now && now - at < kCacheSeconds;
  };
  if (!fresh()) {
    std::lock_guard guard(lock);
    if (!fresh()) {
      auto url = ns::URL::URLWithString(kOptOutURL);
      present = url && ui::Application::sharedApplication()->canOpenURL(*url);
      checkedAt = now;
    }
  }
  return present;
}
