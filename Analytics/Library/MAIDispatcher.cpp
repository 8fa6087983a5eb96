#include "Analytics/Library/MAIDispatcher.h"

#include <cmath>

#include "Analytics/Library/MAIClientId.h"
#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIError.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAIStringUtil.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/Locale.h"
#include "Foundation/Thread.h"

namespace {

constexpr double kStaleHitSeconds = 2592000;  // 30 days
constexpr int kMaxRetries = 5;
constexpr const char* kCacheBusterParameter = "z";

// Codes of the dispatcher's own errors (kMAIErrorDomain).
constexpr std::int64_t kNotOnMainThreadError = 1;
constexpr std::int64_t kClientIdPropertyError = 2;
constexpr std::int64_t kOptOutPropertyError = 3;
constexpr std::int64_t kPropertiesSaveError = 4;

double secondsSinceReferenceDate() { return ns::Date::now().timeIntervalSinceReferenceDate(); }

// The store's error when it gave one, else one of ours: a failure is never reported without one.
ns::ErrorPtr orOwn(ns::ErrorPtr failure, std::int64_t code, const char* description) {
  return failure ? std::move(failure) : MAIError::errorWithCode(code, description);
}

bool isURLError(const ns::ErrorPtr& error, std::initializer_list<std::int64_t> codes) {
  if (!error || error->domain() != ns::kURLErrorDomain) return false;
  for (auto code : codes)
    if (error->code() == code) return true;
  return false;
}

// A request that can never be made, or that the endpoint answered (with redirects without end, or
// with a body longer than is read): trying again would change nothing. Every other failure left
// the hit without an answer.
bool isSettlingError(const ns::ErrorPtr& error) {
  return isURLError(error, {ns::URLError::BadURL, ns::URLError::UnsupportedURL,
                            ns::URLError::HTTPTooManyRedirects, ns::URLError::DataLengthExceedsMaximum});
}

}  // namespace

std::shared_ptr<MAIDispatcher> MAIDispatcher::dispatcherWithDatastorePath(
    const std::optional<std::string>& path, double dispatchInterval, ns::ErrorPtr* error) {
  if (!ns::Thread::isMainThread()) {
    if (error)
      *error =
          MAIError::errorWithCode(kNotOnMainThreadError, "Dispatcher must be initialized on main thread.");
    return nullptr;
  }
  auto store = MAIDataStore::dataStoreWithPath(path, error);
  if (!store) return nullptr;
  ns::ErrorPtr failure;
  auto clientIdProperty = store->propertyForName(kClientIdPropertyName, true, &failure);
  if (!clientIdProperty) {
    failure =
        orOwn(std::move(failure), kClientIdPropertyError, "Failed to fetch or create client id property.");
    MAI_LOG_ERROR("Failed to fetch or create client id property: %@", failure);
    if (error) *error = std::move(failure);
    return nullptr;
  }
  if (clientIdProperty->string().value_or("").empty())
    clientIdProperty->setString(MAIClientId::generateClientId());
  auto optOutProperty = store->propertyForName(kOptOutPropertyName, true, &failure);
  if (!optOutProperty) {
    failure = orOwn(std::move(failure), kOptOutPropertyError, "Failed to fetch or create opt-out property.");
    MAI_LOG_ERROR("Failed to fetch or create opt-out property: %@", failure);
    if (error) *error = std::move(failure);
    return nullptr;
  }
  if (!optOutProperty->number()) optOutProperty->setNumber(0);
  if (store->hasChanges() && !store->save(&failure)) {
    failure = orOwn(std::move(failure), kPropertiesSaveError, "Failed to save properties.");
    MAI_LOG_ERROR("Failed to save properties: %@", failure);
    if (error) *error = std::move(failure);
    return nullptr;
  }
  return std::make_shared<MAIDispatcher>()->initWithDataStore(store, clientIdProperty->string().value_or(""),
                                                              optOutProperty->number().value_or(0) != 0,
                                                              store->hitCount(nullptr), dispatchInterval);
}

std::shared_ptr<MAIDispatcher> MAIDispatcher::initWithDataStore(MAIDataStorePtr dataStore,
                                                                const std::string& clientId, bool optOut,
                                                                std::int64_t numHits,
                                                                double dispatchInterval) {
  dataStore_ = std::move(dataStore);
  requestBuilder_ = std::make_shared<MAIRequestBuilder>();
  auto& random = ns::Random::shared();
  std::uint64_t high = random.next();
  cacheBuster_ = (high << 32) | random.next();
  dispatchInterval_ = dispatchInterval;
  urlConnectionClass_ = [](const ns::URLRequestPtr& request, const dispatch::QueuePtr& queue,
                           MAIURLConnection::CompletionHandler handler) {
    return std::make_shared<MAIURLConnection>()->initWithRequest(request, queue, std::move(handler));
  };
  clientId_ = clientId;
  optOut_ = optOut;
  if (numHits > 0 && !optOut && dispatchInterval >= 0) {
    dispatch();
    if (dispatchInterval > 0) createTimer();
  }
  return self();
}

MAIDispatcher::~MAIDispatcher() {
  if (dispatchTimer_) dispatchTimer_->invalidate();
  if (pendingDispatch_) pendingDispatch_->cancel();
}

std::shared_ptr<MAIDispatcher> MAIDispatcher::self() {
  return std::static_pointer_cast<MAIDispatcher>(shared_from_this());
}

void MAIDispatcher::queueDispatch(const MAIParameters& parameters, const std::string& url) {
  double now = secondsSinceReferenceDate();
  dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                  [self = self(), parameters, url, now] { self->queueDispatch(parameters, url, now); });
}

void MAIDispatcher::queueDispatch(const MAIParameters& parameters, const std::string& url, double timestamp) {
  {
    MAILockGuard guard(lock_);
    if (!guard || optOut_) return;
  }
  dispatch::async(dispatch::mainQueue(), [self = self(), parameters, url, timestamp] {
    self->persistAndDispatch(parameters, url, timestamp);
  });
}

void MAIDispatcher::persistAndDispatch(const MAIParameters& parameters, const std::string& url,
                                       double timestamp) {
  MAILockGuard guard(lock_);
  if (!guard || optOut_) return;
  MAIParameters stored = parameters;
  stored[kCacheBusterParameter] = MAIStringUtil::uintString(cacheBuster_++);
  ns::ErrorPtr error;
  auto hit = dataStore_->addHit(&error);
  if (!hit) {
    MAI_LOG_ERROR("Failed to create hit: %@", error);
    return;
  }
  hit->setTimestamp(ns::Date(timestamp + ns::Date::kReferenceDateOffset));
  hit->setParameters(stored);
  hit->setDispatchUrl(url);
  if (!dataStore_->save(&error)) MAI_LOG_ERROR("Failed to save newly created hit: %@", error);
  if (pendingDispatch_ || reachability_) return;
  if (dispatchInterval_ == 0)
    initiateDispatch(nullptr, 0);
  else if (dispatchInterval_ > 0 && !dispatchTimer_)
    createTimer();
}

void MAIDispatcher::initiateDispatch(std::shared_ptr<MAIHit> hit, int retryNumber) {
  MAILockGuard guard(lock_);
  if (!guard || optOut_ || pendingDispatch_ || reachability_) return;
  if (!hit) hit = nextPendingHit();
  if (!hit) {
    MAI_LOG_DEBUG("No pending hits.");
    // The round is over: the next one tries every endpoint again.
    deferredUrls_.clear();
    return;
  }
  auto request = requestBuilder_->requestForHit(*hit);
  if (!request) {
    deferredUrls_.clear();
    MAI_LOG_ERROR("Failed to generate request for hit.");
    dataStore_->deleteObject(hit);
    ns::ErrorPtr error;
    if (!dataStore_->save(&error)) MAI_LOG_ERROR("Failed to save after deleting hit: %@", error);
    return;
  }
  double start = secondsSinceReferenceDate();
  std::string host = request->URL() ? request->URL()->host() : std::string();
  std::weak_ptr<MAIDispatcher> weak = self();
  pendingDispatch_ = urlConnectionClass_(
      request, dispatch::mainQueue(),
      [weak, hit, host, start, retryNumber](const ns::URLResponsePtr& response,
                                            const std::optional<ns::Data>&, const ns::ErrorPtr& error) {
        if (auto dispatcher = weak.lock())
          dispatcher->dispatchComplete(hit, host, start, retryNumber, response, error);
      });
}

std::shared_ptr<MAIHit> MAIDispatcher::nextPendingHit() {
  const double cutoff = secondsSinceReferenceDate() - kStaleHitSeconds;
  // Oldest first, one at a time; once an endpoint has failed in this round, past its hits.
  const std::size_t limit = deferredUrls_.empty() ? 1 : 0;
  int deleted = 0;
  std::shared_ptr<MAIHit> next;
  for (;;) {
    ns::ErrorPtr error;
    auto hits = dataStore_->fetchHitsWithLimit(limit, &error);
    if (!hits) {
      MAI_LOG_ERROR("Failed to load pending hits: %@", error);
      break;
    }
    bool deletedStale = false;
    for (const auto& hit : *hits) {
      auto timestamp = hit->timestamp();
      if (!timestamp || timestamp->timeIntervalSinceReferenceDate() <= cutoff) {
        dataStore_->deleteObject(hit);
        ++deleted;
        deletedStale = true;
      } else if (!deferredUrls_.contains(hit->dispatchUrl().value_or(""))) {
        next = hit;
        break;
      }
    }
    if (next || limit == 0 || !deletedStale) break;
  }
  if (dataStore_->hasChanges()) {
    ns::ErrorPtr error;
    if (!dataStore_->save(&error))
      MAI_LOG_ERROR("Failed to save after deleting %d hit(s): %@", deleted, error);
    else
      MAI_LOG_DEBUG("Deleted %d stale hit(s).", deleted);
  }
  return next;
}

void MAIDispatcher::dispatchComplete(const std::shared_ptr<MAIHit>& hit, const std::string& host,
                                     double startTime, int retryNumber, const ns::URLResponsePtr& response,
                                     const ns::ErrorPtr& error) {
  MAILockGuard guard(lock_);
  if (!guard || !pendingDispatch_ || reachability_) return;
  pendingDispatch_.reset();
  auto elapsed = static_cast<long long>(std::trunc((secondsSinceReferenceDate() - startTime) * 1000.0));
  auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response);
  long status = http ? http->statusCode() : -1;
  std::string id = hit->objectID().describe();
  if (error) {
    MAI_LOG_DEBUG("Hit %@ dispatch error (%lldms): %@", id, elapsed, error);
    if (isURLError(error, {ns::URLError::NotConnectedToInternet, ns::URLError::CannotConnectToHost,
                           ns::URLError::CannotFindHost})) {
      connectivityLost(host);
      return;
    }
  } else {
    MAI_LOG_DEBUG("Hit %@ dispatched (%lldms): HTTP status %d", id, elapsed, status);
  }
  bool failed = error || status < 200 || status > 299;
  if (failed && retryNumber < kMaxRetries && shouldRetryWithError(error, status)) {
    MAI_LOG_DEBUG("Will retry hit %@.", id);
    initiateDispatch(hit, retryNumber + 1);
    return;
  }
  if (error && !isSettlingError(error)) {
    // Only the endpoint's own answer settles a hit. Without one (TLS refused, connection reset, time
    // out) the hit waits for the next round; hits for other endpoints go on in this one.
    MAI_LOG_DEBUG("Keeping hit %@ for a later dispatch.", id);
    deferredUrls_.insert(hit->dispatchUrl().value_or(""));
    initiateDispatch(nullptr, 0);
    return;
  }
  dataStore_->deleteObject(hit);
  ns::ErrorPtr saveError;
  if (dataStore_->hasChanges() && !dataStore_->save(&saveError))
    MAI_LOG_ERROR("Unable to save after deleting hit: %@", saveError);
  MAI_LOG_DEBUG("%@ hit %@ (%u retries).", failed ? "Giving up on" : "Successfully dispatched", id,
                retryNumber);
  if (dataStore_->hitCount(nullptr) == 0) {
    MAI_LOG_DEBUG("Pending hit queue drained.");
    cancelTimer();
  } else {
    initiateDispatch(nullptr, 0);
  }
}

bool MAIDispatcher::shouldRetryWithError(const ns::ErrorPtr& error, long httpStatus) {
  if (isURLError(error, {ns::URLError::TimedOut, ns::URLError::NetworkConnectionLost})) return true;
  return httpStatus == 408 || httpStatus == 503 || httpStatus == 504;
}

void MAIDispatcher::connectivityLost(const std::string& host) {
  MAI_LOG_DEBUG("Connectivity to %@ lost...", host);
  MAILockGuard guard(lock_);
  if (!guard || reachability_) return;
  cancelTimer();
  deferredUrls_.clear();
  auto checker = std::make_shared<MAIReachabilityChecker>()->initWithDelegate(
      std::weak_ptr<MAIReachabilityDelegate>(self()), host);
  if (!checker) {
    // Nothing to watch: the timer paces the next attempts instead.
    createTimer();
    return;
  }
  reachability_ = checker;
  reachability_->start();
}

void MAIDispatcher::reachabilityStatusChanged(MAIReachabilityChecker&, int status) {
  if (status == 2 || status == 3) connectivityEstablished();
}

void MAIDispatcher::connectivityEstablished() {
  MAILockGuard guard(lock_);
  if (!guard || !reachability_) return;
  MAI_LOG_DEBUG("Connectivity to %@ reestablished...", reachability_->host());
  reachability_->stop();
  reachability_.reset();
  dispatch();
  if (dispatchInterval_ > 0) createTimer();
}

void MAIDispatcher::dispatch() {
  MAILockGuard guard(lock_);
  if (!guard) return;
  dispatch::async(dispatch::mainQueue(), [self = self()] { self->initiateDispatch(nullptr, 0); });
}

void MAIDispatcher::createTimer() {
  MAILockGuard guard(lock_);
  if (!guard || dispatchTimer_ || dispatchInterval_ <= 0) return;
  if (ns::Thread::isMainThread())
    internalCreateTimer();
  else
    dispatch::async(dispatch::mainQueue(), [self = self()] { self->internalCreateTimer(); });
}

void MAIDispatcher::internalCreateTimer() {
  MAILockGuard guard(lock_);
  if (!guard || dispatchTimer_ || dispatchInterval_ <= 0) return;
  std::weak_ptr<MAIDispatcher> weak = self();
  dispatchTimer_ =
      ns::Timer::timerWithTimeInterval(dispatchInterval_, true, [weak](const ns::TimerPtr& timer) {
        if (auto dispatcher = weak.lock()) dispatcher->timerFired(timer);
      });
  ns::RunLoop::mainRunLoop()->addTimer(dispatchTimer_, ns::kDefaultRunLoopMode);
  MAI_LOG_DEBUG("Created timer to fire every %.1fs", dispatchInterval_);
}

void MAIDispatcher::cancelTimer() {
  MAILockGuard guard(lock_);
  if (!guard || !dispatchTimer_) return;
  auto timer = std::move(dispatchTimer_);
  dispatchTimer_.reset();
  if (ns::Thread::isMainThread()) {
    timer->invalidate();
    MAI_LOG_DEBUG("Canceled timer with interval %.1fs", dispatchInterval_);
  } else {
    dispatch::async(dispatch::mainQueue(), [timer] { timer->invalidate(); });
    MAI_LOG_DEBUG("Indirectly canceling timer with interval %.1fs.", dispatchInterval_);
  }
}

void MAIDispatcher::cancelDispatch() {
  MAILockGuard guard(lock_);
  if (!guard || !pendingDispatch_) return;
  pendingDispatch_->cancel();
  pendingDispatch_.reset();
  MAI_LOG_DEBUG("Pending dispatch canceled.");
}

void MAIDispatcher::timerFired(const ns::TimerPtr& timer) {
  MAILockGuard guard(lock_);
  if (!guard) return;
  if (timer == dispatchTimer_)
    dispatch();
  else
    MAI_LOG_DEBUG("Timer fired when it shouldn't.");
}

bool MAIDispatcher::optOut() {
  MAILockGuard guard(lock_);
  return guard && optOut_;
}

void MAIDispatcher::setOptOut(bool optOut) {
  MAILockGuard guard(lock_);
  if (!guard || optOut == optOut_) return;
  optOut_ = optOut;
  dispatch::async(dispatch::mainQueue(), [self = self()] { self->saveUpdatedOptOut(); });
}

void MAIDispatcher::saveUpdatedOptOut() {
  MAILockGuard guard(lock_);
  if (!guard) return;
  ns::ErrorPtr error;
  auto property = dataStore_->propertyForName(kOptOutPropertyName, false, &error);
  if (!property && error) MAI_LOG_ERROR("Failed to fetch opt-out property: %@", error);
  if (property) property->setNumber(optOut_ ? 1 : 0);
  if (optOut_ && !dataStore_->deleteAllHits(&error))
    MAI_LOG_ERROR("Failed to delete all hits for opt-out: %@", error);
  if (dataStore_->hasChanges() && !dataStore_->save(&error))
    MAI_LOG_ERROR("Failed to save after updating opt-out property%@: %@",
                  optOut_ ? " and deleting pending hits" : "", error);
}

double MAIDispatcher::dispatchInterval() {
  MAILockGuard guard(lock_);
  return guard ? dispatchInterval_ : 0.0;
}

void MAIDispatcher::setDispatchInterval(double seconds) {
  MAILockGuard guard(lock_);
  if (!guard || seconds == dispatchInterval_) return;
  dispatchInterval_ = seconds;
  cancelTimer();
  if (dataStore_->hitCount(nullptr) < 1) return;
  if (seconds > 0)
    createTimer();
  else if (seconds == 0)
    dispatch();
}

std::string MAIDispatcher::clientId() {
  MAILockGuard guard(lock_);
  return guard ? clientId_ : std::string();
}

MAIURLConnectionClass MAIDispatcher::urlConnectionClass() {
  MAILockGuard guard(lock_);
  return guard ? urlConnectionClass_ : MAIURLConnectionClass();
}

void MAIDispatcher::setUrlConnectionClass(MAIURLConnectionClass connectionClass) {
  MAILockGuard guard(lock_);
  if (guard && connectionClass) urlConnectionClass_ = std::move(connectionClass);
}

bool MAIDispatcher::isSending() {
  MAILockGuard guard(lock_);
  return guard && pendingDispatch_;
}

bool MAIDispatcher::isOffline() {
  MAILockGuard guard(lock_);
  return guard && reachability_;
}

bool MAIDispatcher::hasTimer() {
  MAILockGuard guard(lock_);
  return guard && dispatchTimer_;
}

void MAIDispatcher::wait_and_release() {
  cancelTimer();
  cancelDispatch();
  if (auto references = weak_from_this().use_count(); references > 1)
    MAI_LOG_DEBUG("Warning: retainCount=%d after timer and dispatch cancelled.", references);
}
