#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AppAnalytics/Library/MALAdHitIdGenerator.h"
#include "AppAnalytics/Library/MALDataDispatcher.h"
#include "AppAnalytics/Library/MALEvent.h"
#include "AppAnalytics/Library/MALHitBuilder.h"
#include "AppAnalytics/Library/MALPersistentHitStore.h"
#include "AppAnalytics/Library/MALTrackerError.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/Timer.h"

inline constexpr const char* kMALProductName = "AppAnalytics";
inline constexpr const char* kMALProductVersion = "1.5.1";
inline constexpr unsigned kMALMaxEventsPerStart = 500;

class MALTracker;

// What a started tracker tells its owner; every operation is optional.
class MALTrackerDelegate {
 public:
  virtual ~MALTrackerDelegate() = default;
  // The hit was acknowledged by the collection host and deleted from the store.
  virtual void hitDispatched(const std::string& hitString) { (void)hitString; }
  virtual void trackerDispatchDidComplete(MALTracker& tracker, unsigned eventsDispatched,
                                          unsigned eventsFailedDispatch) {
    (void)tracker, (void)eventsDispatched, (void)eventsFailedDispatch;
  }
};

// The state of a started tracker: store, dispatcher, counters, timer, pending custom variables
// and transactions. It goes when the tracker stops.
class MALTrackerPrivate final : public ns::Object {
 public:
  ~MALTrackerPrivate() override;

  std::shared_ptr<MALTrackerPrivate> initWithDispatcherDelegate(
      std::weak_ptr<MALDataDispatcherDelegate> dispatcherDelegate,
      std::weak_ptr<MALTrackerDelegate> trackerDelegate, const std::string& product,
      const std::string& version, bool anonymizeIp, unsigned sampleRate, bool dryRun);

  int dispatchPeriod() const { return dispatchPeriod_; }
  const ns::TimerPtr& dispatchTaskTimer() const { return dispatchTaskTimer_; }
  unsigned eventsAccepted() const { return eventsAccepted_; }
  unsigned hitsDispatched() const { return hitsDispatched_; }
  unsigned hitsBeingDispatched() const { return hitsBeingDispatched_; }
  bool powerSaveMode() const { return powerSaveMode_; }
  const MALHitBuilderPtr& hitBuilder() const { return hitBuilder_; }
  // Nothing when the database could not be opened.
  const MALPersistentHitStorePtr& hitStore() const { return hitStore_; }
  const MALDataDispatcherPtr& dataDispatcher() const { return dataDispatcher_; }
  const std::optional<std::string>& lastPagePath() const { return lastPagePath_; }

 private:
  friend class MALTracker;
  int dispatchPeriod_ = -1;
  ns::TimerPtr dispatchTaskTimer_;
  std::weak_ptr<MALTrackerDelegate> delegate_;
  unsigned eventsAccepted_ = 0, hitsDispatched_ = 0, hitsBeingDispatched_ = 0, hitsHandedOut_ = 0;
  MALHitBuilderPtr hitBuilder_;
  MALPersistentHitStorePtr hitStore_;
  MALDataDispatcherPtr dataDispatcher_;
  MALCustomVariableBufferPtr customVars_;
  bool powerSaveMode_ = false;
  bool useServerTime_ = false;
  std::map<std::string, MALTransactionPtr> transactionQueue_;
  std::map<std::string, std::map<std::string, MALItemPtr>> itemQueue_;
  MALAdHitIdGeneratorPtr hitIdGenerator_;
  std::optional<std::string> lastPagePath_;
};

// The version 1 analytics tracker: one per process. Page views, events, custom variables and
// e-commerce transactions become stored hits, one per account, which go to the collection host
// every dispatch period or on demand. Nothing is recorded until it is started; every operation
// reports failure as false and an error (never by throwing), and an opted-out user is not a
// failure: tracking calls then succeed and record nothing.
class MALTracker final : public ns::Object, public MALDataDispatcherDelegate {
 public:
  static std::shared_ptr<MALTracker> sharedTracker();

  // accountIDs: one account id, or several separated by ",". A period above 0 dispatches that
  // often (seconds, on the run loop of the calling thread).
  void startTrackerWithAccountID(const std::string& accountIDs, int dispatchPeriod,
                                 std::weak_ptr<MALTrackerDelegate> delegate);
  void stopTracker();

  bool trackPageview(const std::optional<std::string>& pageURL, ns::ErrorPtr* error = nullptr);
  bool trackEvent(const std::optional<std::string>& category, const std::optional<std::string>& action,
                  const std::optional<std::string>& label, int value, ns::ErrorPtr* error = nullptr);
  // Index 1..50, name and value up to 64 characters, scope 1 (visitor), 2 (session) or 3 (page).
  bool setCustomVariableAtIndex(unsigned index, const std::optional<std::string>& name,
                                const std::optional<std::string>& value, int scope,
                                ns::ErrorPtr* error = nullptr);
  bool setCustomVariableAtIndex(unsigned index, const std::optional<std::string>& name,
                                const std::optional<std::string>& value, ns::ErrorPtr* error = nullptr);
  std::optional<std::string> getVisitorCustomVarAtIndex(unsigned index);

  bool addTransaction(const std::optional<std::string>& orderID, double totalPrice,
                      const std::optional<std::string>& storeName, double totalTax, double shippingCost,
                      ns::ErrorPtr* error = nullptr);
  bool addItem(const std::optional<std::string>& orderID, const std::optional<std::string>& itemSKU,
               double itemPrice, int itemCount, const std::optional<std::string>& itemName,
               const std::optional<std::string>& itemCategory, ns::ErrorPtr* error = nullptr);
  bool trackTransactions(ns::ErrorPtr* error = nullptr);
  bool clearTransactions(ns::ErrorPtr* error = nullptr);
  bool setReferrer(const std::string& referrer, ns::ErrorPtr* error = nullptr);

  // False when not started, busy or with nothing to send.
  bool dispatch();
  bool dispatchSynchronous(double timeoutSeconds);

  bool debug() const;
  void setDebug(bool debug);
  bool dryRun() const;
  void setDryRun(bool dryRun);
  bool anonymizeIp() const;
  void setAnonymizeIp(bool anonymizeIp);
  unsigned sampleRate() const;
  void setSampleRate(unsigned rate);
  std::string product() const;
  void setProduct(std::string product);
  std::string version() const;
  void setVersion(std::string version);
  std::optional<std::string> destinationHost() const;
  void setDestinationHost(std::optional<std::string> host);
  unsigned destinationPort() const;
  void setDestinationPort(unsigned port);
  std::optional<std::string> destinationPathPrefix() const;
  void setDestinationPathPrefix(std::optional<std::string> prefix);
  int dispatchPeriod() const;
  void setDispatchPeriod(int seconds);
  void setUseServerTime(bool useServerTime);
  void setHitIdGenerator(MALAdHitIdGeneratorPtr generator);
  // The started state, or nothing.
  std::shared_ptr<MALTrackerPrivate> trackerPrivate() const;

  std::optional<std::string> accountIDForAfma() const;
  std::optional<std::string> sessionIDForAds() const;
  std::optional<std::string> visitorIDForAds() const;
  MALDataDispatcherPtr getDispatcher() const;
  MALPersistentHitStorePtr persistentHitStore() const;

  void dataDispatcherDispatched(MALDataDispatcher& dispatcher, const MALHitPtr& hit) override;
  void dataDispatcherDidComplete(MALDataDispatcher& dispatcher) override;

 private:
  // Only sharedTracker makes the one tracker.
  struct Key {
    explicit Key() = default;
  };

 public:
  explicit MALTracker(Key) {}

 private:
  static std::recursive_mutex& classLock();
  bool dispatch(bool synchronous, double timeoutSeconds);
  MALEventPtr createEvent(const std::optional<std::string>& pagePath,
                          const std::optional<std::string>& category,
                          const std::optional<std::string>& action, const std::optional<std::string>& label,
                          int value, ns::ErrorPtr* error);
  void startTimer();
  void stopTimer();
  void resetPowerSaveMode();

  std::shared_ptr<MALTrackerPrivate> private_;
  bool dryRun_ = false, anonymizeIp_ = false;
  unsigned sampleRate_ = 100;
  std::string product_ = kMALProductName, version_ = kMALProductVersion;
  // Held here before start; the dispatcher's afterwards.
  mutable std::mutex destinationLock_;
  std::optional<std::string> destinationHost_ = std::string(kMALAppAnalyticsHost);
  unsigned destinationPort_ = kMALAppAnalyticsPort;
  std::optional<std::string> destinationPathPrefix_ = std::string(kMALAppAnalyticsPathPrefix);
};

// Whether the collection service's opt-out application is installed: the platform is asked
// whether its URL can be opened, and the answer is kept for kCacheSeconds. An injected check
// answers instead while one is set.
class MALOptOut final {
 public:
  // Answers isOptOutAppPresent.
  using OptOutClass = std::function<bool()>;
  static constexpr double kCacheSeconds = 600;
  static constexpr const char* kOptOutURL = "malanalyticsoptout://";
  static bool isOptOutAppPresent();
  // An empty check brings back the built-in one. Any thread.
  static void injectOptOutClass(OptOutClass optOutClass);

 private:
  static bool builtInIsOptOutAppPresent();
};
