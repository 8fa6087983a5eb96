#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "AppAnalytics/Library/MALHTTPResponseParser.h"
#include "AppAnalytics/Library/MALHit.h"
#include "AppAnalytics/Library/MALTCPSocket.h"
#include "Foundation/Object.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Timer.h"

inline constexpr const char* kMALAppAnalyticsHost = "collect.appanalytics.example";
inline constexpr unsigned kMALAppAnalyticsPort = 80;
inline constexpr const char* kMALAppAnalyticsPathPrefix = "";

class MALDataDispatcher;

class MALDataDispatcherDelegate {
 public:
  virtual ~MALDataDispatcherDelegate() = default;
  // The collection host acknowledged the hit.
  virtual void dataDispatcherDispatched(MALDataDispatcher& dispatcher, const MALHitPtr& hit) = 0;
  virtual void dataDispatcherDidComplete(MALDataDispatcher& dispatcher) = 0;
};

// Sends stored hits to the collection host over a TCP connection of its own, writing the HTTP/1.1
// requests itself: up to 30 pipelined in one write, up to 5 writes a dispatch, one hit per
// connection once the server has said it will not keep connections open. After a 500 or 503
// the next dispatch waits a random time that doubles up to 256 s. Every acknowledged hit goes
// back to the delegate. Runs on the run loop of the thread that made it; a dispatch that has
// not finished after kDispatchTimeoutSeconds (on the process clock) is ended.
class MALDataDispatcher final : public ns::Object,
                                public MALTCPSocketDelegate,
                                public MALHTTPResponseParserDelegate {
 public:
  static constexpr std::size_t kMaxRequestsPerWrite = 30;
  static constexpr unsigned kMaxWritesPerDispatch = 5;
  static constexpr std::size_t kMaxGetLength = 2036;
  static constexpr double kDispatchTimeoutSeconds = 60;

  MALDataDispatcher();
  ~MALDataDispatcher() override;

  std::shared_ptr<MALDataDispatcher> initWithDelegate(std::weak_ptr<MALDataDispatcherDelegate> delegate,
                                                      const std::string& product, const std::string& version);

  // Starts sending, unless a dispatch is already running.
  void dispatchHits(const std::vector<MALHitPtr>& hits);
  // Sends on the calling thread, blocking up to timeoutSeconds of real time; true when every hit
  // was acknowledged.
  bool dispatchHitsSynchronously(const std::vector<MALHitPtr>& hits, double timeoutSeconds);
  // Ends a running dispatch; unacknowledged hits stay with the caller's store.
  void cancelDispatch();
  // Makes later connections with socketClass instead of MALTCPSocket (an empty one restores it).
  // Their dispatches do not back off after a server error.
  void injectSocketClass(MALTCPSocketClass socketClass);

  // The request text for one hit: GET, or POST to "<prefix>/p/__utm.gif" when the hit is longer
  // than kMaxGetLength bytes. Built from the stored string each time, with its queue time.
  std::string requestForHit(const std::string& hitString) const;

  bool isDispatching() const { return socket_ != nullptr || backOffTimer_ != nullptr; }
  const std::string& destinationHost() const { return destinationHost_; }
  void setDestinationHost(std::string host) { destinationHost_ = std::move(host); }
  unsigned destinationPort() const { return destinationPort_; }
  void setDestinationPort(unsigned port) { destinationPort_ = port; }
  const std::string& destinationPathPrefix() const { return destinationPathPrefix_; }
  void setDestinationPathPrefix(std::string prefix) { destinationPathPrefix_ = std::move(prefix); }
  bool pipelineMode() const { return pipelineMode_; }
  bool dryRun() const { return dryRun_; }
  void setDryRun(bool dryRun) { dryRun_ = dryRun; }
  const std::string& userAgent() const { return userAgent_; }
  int lastStatusCode() const { return lastStatusCode_; }
  double retryInterval() const { return retryInterval_; }
  unsigned hitsDispatched() const { return hitsDispatched_; }
  std::weak_ptr<MALDataDispatcherDelegate> delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<MALDataDispatcherDelegate> delegate) { delegate_ = std::move(delegate); }

  void socketConnectDidSucceed(MALTCPSocket& socket) override;
  void socketConnectDidFail(MALTCPSocket& socket, const ns::ErrorPtr& error) override;
  void socketBecameReadable(MALTCPSocket& socket) override;
  void socketBecameWritable(MALTCPSocket& socket) override;
  void responseParsed(MALHTTPResponseParser& parser, bool persistentConnection) override;
  void parseError(MALHTTPResponseParser& parser, int statusCode) override;

 private:
  void dispatchPendingHits();
  void constructRequest();
  void sendData();
  void writePending();
  bool sendAllBefore(double deadline);
  void reportHitDispatched();
  void finishDispatch();
  void closeConnection();
  void cancelTimers();
  MALTCPSocketPtr makeSocket();
  std::shared_ptr<MALDataDispatcher> self();

  std::weak_ptr<MALDataDispatcherDelegate> delegate_;
  std::shared_ptr<ns::RunLoop> runLoop_;
  MALTCPSocketPtr socket_;
  MALTCPSocketClass socketClass_;  // empty: MALTCPSocket
  std::string destinationHost_ = kMALAppAnalyticsHost;
  unsigned destinationPort_ = kMALAppAnalyticsPort;
  std::string destinationPathPrefix_ = kMALAppAnalyticsPathPrefix;
  bool pipelineMode_ = true;
  std::deque<MALHitPtr> pendingHits_;
  std::string pendingRequest_;
  std::size_t written_ = 0;      // bytes of pendingRequest_ the socket has taken
  std::size_t outstanding_ = 0;  // hits of the current request not yet acknowledged
  unsigned hitsDispatched_ = 0;
  MALHTTPResponseParserPtr responseParser_;
  std::string userAgent_;
  unsigned sequentialRequests_ = 0;
  int lastStatusCode_ = 0;
  double retryInterval_ = 2.0;
  bool dryRun_ = false;
  bool sendingSynchronously_ = false;
  bool syncFailed_ = false;
  ns::TimerPtr backOffTimer_;
  ns::TimerPtr timeoutTimer_;
};

using MALDataDispatcherPtr = std::shared_ptr<MALDataDispatcher>;
