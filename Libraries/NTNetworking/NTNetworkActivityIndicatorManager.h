#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/Timer.h"

// Drives the application's network activity indicator from the request operations' start and
// finish notifications: shown as soon as one operation runs, hidden 0.17 s after the last one
// ends, so back-to-back requests do not make it flicker. Does nothing to the indicator until
// enabled; it counts all the same.
// The count and the hide timer live on the main run loop: notifications arrive on whatever thread
// changed an operation, and are handed to the main thread, so no two threads ever touch the timer.
class NTNetworkActivityIndicatorManager final : public ns::Object {
 public:
  static constexpr double kVisibilityDelay = 0.17;

  static std::shared_ptr<NTNetworkActivityIndicatorManager> sharedManager();

  ~NTNetworkActivityIndicatorManager() override;
  // Observes the operations' notifications (the shared manager is made this way).
  std::shared_ptr<NTNetworkActivityIndicatorManager> init();

  bool isEnabled() const { return enabled_.load(); }
  void setEnabled(bool enabled) { enabled_.store(enabled); }

  // From any thread; the change is made on the main thread (at once when called there).
  void incrementActivityCount();
  // Never below 0.
  void decrementActivityCount();
  void setActivityCount(int count);
  int activityCount() const { return activityCount_.load(); }
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
  void storeCount(int count);

  std::atomic<bool> enabled_{false};
  std::atomic<int> activityCount_{0};
  ns::TimerPtr activityIndicatorVisibilityTimer_;  // main thread only
};
