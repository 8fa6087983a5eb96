#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "Analytics/Library/MAIDataStore.h"
#include "Analytics/Library/MAILock.h"
#include "Analytics/Library/MAIModel.h"
#include "Analytics/Library/MAIReachabilityChecker.h"
#include "Analytics/Library/MAIRequestBuilder.h"
#include "Analytics/Library/MAIURLConnection.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/Timer.h"

// The single sender: stores every queued hit, sends stored hits one at a time, oldest first, retries
// a hit that failed for a passing reason, waits while the endpoint's host cannot be reached, keeps
// a hit its endpoint did not answer for a later round, drops hits older than 30 days, and keeps the
// client id and the opt-out flag in the store. The interval paces it: 0 sends at once, a positive
// interval on a repeating timer that runs only while hits wait, a negative one only on dispatch().
// Public operations may be called from any thread; the store, the requests and their completions
// are used on the main thread.
class MAIDispatcher final : public ns::Object, public MAIReachabilityDelegate {
 public:
  // nullptr and *error when not on the main thread, when the store cannot be opened, or when the
  // client's properties cannot be read or saved.
  static std::shared_ptr<MAIDispatcher> dispatcherWithDatastorePath(const std::optional<std::string>& path,
                                                                    double dispatchInterval,
                                                                    ns::ErrorPtr* error);
  std::shared_ptr<MAIDispatcher> initWithDataStore(MAIDataStorePtr dataStore, const std::string& clientId,
                                                   bool optOut, std::int64_t numHits,
                                                   double dispatchInterval);
  ~MAIDispatcher() override;

  // Stamps the hit with the current time.
  void queueDispatch(const MAIParameters& parameters, const std::string& url);
  // timestamp: seconds since the platform's reference date.
  void queueDispatch(const MAIParameters& parameters, const std::string& url, double timestamp);
  // Sends what is stored now; returns at once.
  void dispatch();
  bool optOut();
  void setOptOut(bool optOut);
  double dispatchInterval();
  void setDispatchInterval(double seconds);
  std::string clientId();
  // Stops the timer and the request in flight; the caller then lets the dispatcher go.
  void wait_and_release();

  void reachabilityStatusChanged(MAIReachabilityChecker& checker, int status) override;

  MAIURLConnectionClass urlConnectionClass();
  void setUrlConnectionClass(MAIURLConnectionClass connectionClass);
  const MAIDataStorePtr& dataStore() const { return dataStore_; }
  const std::shared_ptr<MAIRequestBuilder>& requestBuilder() const { return requestBuilder_; }
  // What the dispatcher is doing: a request in flight, waiting for its host, a timer running.
  bool isSending();
  bool isOffline();
  bool hasTimer();

 private:
  void persistAndDispatch(const MAIParameters& parameters, const std::string& url, double timestamp);
  void initiateDispatch(std::shared_ptr<MAIHit> hit, int retryNumber);
  std::shared_ptr<MAIHit> nextPendingHit();
  void dispatchComplete(const std::shared_ptr<MAIHit>& hit, const std::string& host, double startTime,
                        int retryNumber, const ns::URLResponsePtr& response, const ns::ErrorPtr& error);
  static bool shouldRetryWithError(const ns::ErrorPtr& error, long httpStatus);
  void connectivityLost(const std::string& host);
  void connectivityEstablished();
  void createTimer();
  void internalCreateTimer();
  void cancelTimer();
  void cancelDispatch();
  void timerFired(const ns::TimerPtr& timer);
  void saveUpdatedOptOut();
  std::shared_ptr<MAIDispatcher> self();

  MAILock lock_;
  std::string clientId_;
  bool optOut_ = false;
  double dispatchInterval_ = 0;
  MAIDataStorePtr dataStore_;
  std::shared_ptr<MAIRequestBuilder> requestBuilder_;
  MAIURLConnectionPtr pendingDispatch_;
  MAIReachabilityCheckerPtr reachability_;
  std::uint64_t cacheBuster_ = 0;
  ns::TimerPtr dispatchTimer_;
  MAIURLConnectionClass urlConnectionClass_;
  // Dispatch URLs that failed without an answer in the current round.
  std::set<std::string> deferredUrls_;
};

using MAIDispatcherPtr = std::shared_ptr<MAIDispatcher>;
