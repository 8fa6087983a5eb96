#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/Timer.h"

// Drives the application's network activity indicator from the request operations' start and
// finish notifications: shown as soon as one operation runs, hidden 0.17 s after the last one
// ends, so back-to-back requests do not make it flicker. Does nothing to the indicator until
// enabled; it counts all the same.
// Notifications arrive on whatever thread changed an operation: the count changes there, under a
// lock, so it is current on every thread; the indicator and the hide timer change only on the main
// thread, which reads the count when it gets to them.
class NTNetworkActivityIndicatorManager final : public ns::Object {
 public:
  static constexpr double kVisibilityDelay = 0.17;

  static std::shared_ptr<NTNetworkActivityIndicatorManager> sharedManager();

  ~NTNetworkActivityIndicatorManager() override;
  // Observes the operations' notifications (the shared manager is made this way).
  std::shared_ptr<NTNetworkActivityIndicatorManager> init();

  bool isEnabled() const { return enabled_.load(); }
  void setEnabled(bool enabled) { enabled_.store(enabled); }

  // From any thread: the count changes at once; the indicator follows on the main thread.
  void incrementActivityCount();
  // Never below 0.
  void decrementActivityCount();
  void setActivityCount(int count);
  int activityCount() const {
    std::lock_guard lock(countMutex_);
    return activityCount_;
  }
  bool isNetworkActivityIndicatorVisible() const { return activityCount() > 0; }
  // The keys whose changes change the visibility (announced with them).
  static std::set<std::string> keyPathsForValuesAffectingIsNetworkActivityIndicatorVisible() {
    return {"activityCount"};
  }

  // Sets the indicator to the current visibility (on the main thread).
  void updateNetworkActivityIndicatorVisibility();
  // Shows at once, or hides after the delay unless the count rises again (on the main thread).
  void updateNetworkActivityIndicatorVisibilityDelayed();

 private:
  // True on the main thread; elsewhere queues the call there and returns false.
  bool onMainThread(void (NTNetworkActivityIndicatorManager::*call)());
  // Announces the change of the count made by `change` (which runs under the lock).
  template <class Change>
  void changeCount(Change change);

  std::atomic<bool> enabled_{false};
  mutable std::mutex countMutex_;
  int activityCount_ = 0;
  ns::TimerPtr activityIndicatorVisibilityTimer_;  // main thread only
};
