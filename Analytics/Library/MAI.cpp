#include "Analytics/Library/MAI.h"

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAIStringUtil.h"
#include "Analytics/Library/MAITrackerImpl.h"
#include "Analytics/Library/MAIUncaughtExceptionHandler.h"
#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"

namespace {
// The dispatcher's first interval; the application sets its own at start-up.
constexpr double kInitialDispatchInterval = 120.0;
}  // namespace

std::shared_ptr<MAI> MAI::sharedInstance() {
  // Made once, never destroyed: the process may still report through it while it ends.
  static const auto* shared = [] {
    auto* holder = new std::shared_ptr<MAI>(new MAI());
    MAI& mai = **holder;
    MAILockGuard guard(mai.lock_);
    ns::ErrorPtr error;
    if (!mai.createDispatcher(&error)) MAI_LOG_ERROR("Dispatcher initialization failed: %@", error);
    return holder;
  }();
  return *shared;
}

MAI::MAI()
    : trackerImplClass_([](const MAIDispatcherPtr& dispatcher, const std::string& trackingId,
                           const std::string& appName,
                           const std::optional<std::string>& appVersion) -> std::shared_ptr<MAITracker> {
        return MAITrackerImpl::trackerWithDispatcher(dispatcher, trackingId, appName, appVersion);
      }) {}

std::optional<std::string> MAI::dataStorePath() {
  std::string library = ns::libraryDirectory();
  if (library.empty()) return std::nullopt;
  return ns::stringByAppendingPathComponent(library, kDatastoreFilename);
}

bool MAI::createDispatcher(ns::ErrorPtr* error) {
  if (!dispatcher_)
    dispatcher_ =
        MAIDispatcher::dispatcherWithDatastorePath(dataStorePath(), kInitialDispatchInterval, error);
  return dispatcher_ != nullptr;
}

std::shared_ptr<MAITracker> MAI::trackerWithTrackingId(const std::optional<std::string>& trackingId) {
  std::string trimmed = trackingId ? MAIStringUtil::trim(*trackingId) : std::string();
  if (trimmed.empty()) {
    MAI_LOG_ERROR("Null or empty application tracking id supplied. Cannot create tracker.");
    return nullptr;
  }
  MAILockGuard guard(lock_);
  if (!guard) return nullptr;
  ns::ErrorPtr error;
  if (!createDispatcher(&error)) {
    MAI_LOG_ERROR("Cannot create tracker: dispatcher initialization failed: %@", error);
    return nullptr;
  }
  if (auto existing = trackers_.find(trimmed); existing != trackers_.end()) return existing->second;
  auto bundle = ns::Bundle::mainBundle();
  std::string name = bundle->name();
  if (name.empty()) name = bundle->bundleIdentifier();
  if (name.empty()) {
    MAI_LOG_ERROR("Cannot create tracker: could not load application name or identifier.");
    return nullptr;
  }
  std::string version = bundle->shortVersion();
  auto tracker = trackerImplClass_
                     ? trackerImplClass_(dispatcher_, trimmed, name,
                                         version.empty() ? std::nullopt : std::optional(version))
                     : nullptr;
  if (!tracker) return nullptr;
  trackers_[trimmed] = tracker;
  if (!defaultTracker_.lock()) defaultTracker_ = tracker;
  return tracker;
}

std::shared_ptr<MAITracker> MAI::defaultTracker() {
  MAILockGuard guard(lock_);
  return guard ? defaultTracker_.lock() : nullptr;
}

void MAI::setDefaultTracker(const std::shared_ptr<MAITracker>& tracker) {
  MAILockGuard guard(lock_);
  if (guard) defaultTracker_ = tracker;
}

MAIDispatcherPtr MAI::dispatcher() {
  MAILockGuard guard(lock_);
  return guard ? dispatcher_ : nullptr;
}

void MAI::setDispatcher(MAIDispatcherPtr dispatcher) {
  MAILockGuard guard(lock_);
  if (guard) dispatcher_ = std::move(dispatcher);
}

bool MAI::trackUncaughtExceptions() {
  MAILockGuard guard(lock_);
  return guard && trackUncaughtExceptions_;
}

void MAI::setTrackUncaughtExceptions(bool track) {
  MAILockGuard guard(lock_);
  if (!guard) return;
  if (track)
    MAIInstallUncaughtExceptionHandler();
  else
    MAIUninstallUncaughtExceptionHandler();
  trackUncaughtExceptions_ = track;
}

bool MAI::optOut() {
  MAILockGuard guard(lock_);
  ns::ErrorPtr error;
  if (!guard) return false;
  if (!createDispatcher(&error)) {
    MAI_LOG_ERROR("Cannot get optOpt - dispatcher initialization failed: %@", error);
    return false;
  }
  return dispatcher_->optOut();
}

void MAI::setOptOut(bool optOut) {
  MAILockGuard guard(lock_);
  ns::ErrorPtr error;
  if (!guard) return;
  if (!createDispatcher(&error)) {
    MAI_LOG_ERROR("Cannot set optOpt - dispatcher initialization failed: %@", error);
    return;
  }
  dispatcher_->setOptOut(optOut);
}

std::optional<std::string> MAI::clientId() {
  MAILockGuard guard(lock_);
  ns::ErrorPtr error;
  if (!guard) return std::nullopt;
  if (!createDispatcher(&error)) {
    MAI_LOG_ERROR("Cannot get clientId - dispatcher initialization failed: %@", error);
    return std::nullopt;
  }
  return dispatcher_->clientId();
}

double MAI::dispatchInterval() {
  MAILockGuard guard(lock_);
  ns::ErrorPtr error;
  if (!guard) return 0.0;
  if (!createDispatcher(&error)) {
    MAI_LOG_ERROR("Cannot get dispatchInterval - dispatcher initialization failed: %@", error);
    return 0.0;
  }
  return dispatcher_->dispatchInterval();
}

void MAI::setDispatchInterval(double seconds) {
  MAILockGuard guard(lock_);
  ns::ErrorPtr error;
  if (!guard) return;
  if (!createDispatcher(&error)) {
    MAI_LOG_ERROR("Cannot set dispatchInterval - dispatcher initialization failed: %@", error);
    return;
  }
  dispatcher_->setDispatchInterval(seconds);
}

void MAI::dispatch() {
  MAILockGuard guard(lock_);
  ns::ErrorPtr error;
  if (!guard) return;
  if (!createDispatcher(&error)) {
    MAI_LOG_ERROR("Cannot dispatch - dispatcher initialization failed: %@", error);
    return;
  }
  dispatcher_->dispatch();
}

void MAI::updateAdNetParameters(const MAITrackerStatePtr&) {
  MAILockGuard guard(lock_);
  ns::ErrorPtr error;
  if (guard && !createDispatcher(&error))
    MAI_LOG_ERROR("Cannot update AdNet parameters - dispatcher initialization failed: %@", error);
}

void MAI::removeTracker(MAITracker& tracker) {
  // Read before the facade's lock: the facade never waits for a tracker while holding its own.
  auto trackingId = tracker.trackingId();
  MAILockGuard guard(lock_);
  if (!guard || !trackingId) return;
  auto it = trackers_.find(*trackingId);
  if (it == trackers_.end() || it->second.get() != &tracker) return;
  if (defaultTracker_.lock().get() == &tracker) defaultTracker_.reset();
  trackers_.erase(it);
}

void MAI::reset() {
  MAILockGuard guard(lock_);
  if (!guard) return;
  trackers_.clear();
  defaultTracker_.reset();
  if (dispatcher_) dispatcher_->wait_and_release();
  dispatcher_.reset();
  adNetInfo_.clear();
}

ns::Dictionary MAI::adNetParameters() {
  MAILockGuard guard(lock_);
  return guard ? adNetInfo_ : ns::Dictionary();
}

ns::Dictionary MAI::adNetInfo() {
  MAILockGuard guard(lock_);
  return guard ? adNetInfo_ : ns::Dictionary();
}

void MAI::setAdNetInfo(ns::Dictionary info) {
  MAILockGuard guard(lock_);
  if (guard) adNetInfo_ = std::move(info);
}

std::map<std::string, std::shared_ptr<MAITracker>> MAI::trackers() {
  MAILockGuard guard(lock_);
  return guard ? trackers_ : std::map<std::string, std::shared_ptr<MAITracker>>();
}

void MAI::setTrackers(std::map<std::string, std::shared_ptr<MAITracker>> trackers) {
  MAILockGuard guard(lock_);
  if (guard) trackers_ = std::move(trackers);
}

MAITrackerFactory MAI::trackerImplClass() {
  MAILockGuard guard(lock_);
  return guard ? trackerImplClass_ : MAITrackerFactory();
}

void MAI::setTrackerImplClass(MAITrackerFactory factory) {
  MAILockGuard guard(lock_);
  if (guard) trackerImplClass_ = std::move(factory);
}
