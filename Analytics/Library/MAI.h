#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Analytics/Library/MAIDispatcher.h"
#include "Analytics/Library/MAILock.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAITracker.h"
#include "Analytics/Library/MAITrackerState.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/Value.h"

// What makes the facade's trackers (MAITrackerImpl's trackerWithDispatcher by default).
using MAITrackerFactory = std::function<std::shared_ptr<MAITracker>(
    const MAIDispatcherPtr& dispatcher, const std::string& trackingId, const std::string& appName,
    const std::optional<std::string>& appVersion)>;

// The one object through which the application reaches the tracker: it owns the single dispatcher
// (made on first need, on the main thread, over the store "appanalytics-v2.sql" in the Library folder),
// one tracker per tracking id, and the default tracker (the first one made); it forwards opt-out, the
// dispatch interval and manual dispatch to the dispatcher and switches crash reporting. Nothing here
// raises: failures are log lines and none, false or 0.0. Operations serialise on the facade's lock.
class MAI final : public ns::Object {
 public:
  // The facade, made on first use; it lives until the process ends.
  static std::shared_ptr<MAI> sharedInstance();
  static std::optional<std::string> dataStorePath();

  // The tracker of the id (trimmed of white space), made on first request; nullptr when it cannot be.
  std::shared_ptr<MAITracker> trackerWithTrackingId(const std::optional<std::string>& trackingId);
  std::shared_ptr<MAITracker> defaultTracker();
  void setDefaultTracker(const std::shared_ptr<MAITracker>& tracker);
  MAIDispatcherPtr dispatcher();
  void setDispatcher(MAIDispatcherPtr dispatcher);
  bool trackUncaughtExceptions();
  void setTrackUncaughtExceptions(bool track);

  bool optOut();
  void setOptOut(bool optOut);
  std::optional<std::string> clientId();
  double dispatchInterval();
  void setDispatchInterval(double seconds);
  void dispatch();
  void updateAdNetParameters(const MAITrackerStatePtr& state);

  bool debug() const { return MAILogDebug.load(); }
  void setDebug(bool debug) { MAILogDebug.store(debug); }

  // Called by a tracker's close.
  void removeTracker(MAITracker& tracker);
  // Drops every tracker and the dispatcher; the next operation that needs one makes a new dispatcher.
  void reset();
  ns::Dictionary adNetParameters();
  ns::Dictionary adNetInfo();
  void setAdNetInfo(ns::Dictionary info);
  std::map<std::string, std::shared_ptr<MAITracker>> trackers();
  void setTrackers(std::map<std::string, std::shared_ptr<MAITracker>> trackers);
  MAITrackerFactory trackerImplClass();
  void setTrackerImplClass(MAITrackerFactory factory);

 private:
  MAI();
  // With the lock held.
  bool createDispatcher(ns::ErrorPtr* error);

  MAILock lock_;
  MAIDispatcherPtr dispatcher_;
  std::map<std::string, std::shared_ptr<MAITracker>> trackers_;
  std::weak_ptr<MAITracker> defaultTracker_;
  ns::Dictionary adNetInfo_;
  bool trackUncaughtExceptions_ = false;
  MAITrackerFactory trackerImplClass_;
};
