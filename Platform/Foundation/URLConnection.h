#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URLAuthenticationChallenge.h"
#include "Foundation/URLRequest.h"
#include "Foundation/URLResponse.h"

namespace ns {

class RunLoop;
class URLConnection;
using URLConnectionPtr = std::shared_ptr<URLConnection>;

// The URL as a log may show it: the value of every "access_token" parameter is left out.
std::string URLStringWithoutToken(std::string url);
// What a load fails with when its body is longer than its reader takes: -1103 (data length exceeds
// maximum) with the failing URL. Logs one line naming the URL (tokens left out) and the bound,
// since the alert the user sees for it is the generic one.
ErrorPtr responseLengthExceededError(const std::string& url, std::int64_t limit);

// What a connection tells its delegate, on the run loop it is scheduled on, in this order: any
// redirect and authentication questions, the response, the body in chunks (and upload progress),
// the cache offer, then finish or failure; nothing after a failure or after cancel(). Every
// member has the platform's default behaviour, so a delegate overrides only what it needs.
class URLConnectionDelegate {
 public:
  virtual ~URLConnectionDelegate() = default;

  // A redirect: the request to send next (given with the proposal already adjusted: 303, and 301
  // or 302 after POST, become GET without body; Authorization dropped for another host), or
  // nullptr to take the redirect response itself as the answer. Never called for the first request.
  virtual URLRequestPtr connectionWillSendRequest(const URLConnectionPtr& connection,
                                                  const URLRequestPtr& request,
                                                  const URLResponsePtr& redirectResponse);
  // Whether to be asked about challenges for this space; false means default handling.
  virtual bool connectionCanAuthenticateAgainstProtectionSpace(const URLConnectionPtr& connection,
                                                               const URLProtectionSpacePtr& protectionSpace);
  // Answer through challenge->sender(), now or later. The default performs default handling.
  virtual void connectionDidReceiveAuthenticationChallenge(const URLConnectionPtr& connection,
                                                           const URLAuthenticationChallengePtr& challenge);
  virtual void connectionDidReceiveResponse(const URLConnectionPtr& connection,
                                            const URLResponsePtr& response);
  virtual void connectionDidReceiveData(const URLConnectionPtr& connection, const Data& data);
  virtual void connectionDidSendBodyData(const URLConnectionPtr& connection, std::int64_t bytesWritten,
                                         std::int64_t totalBytesWritten,
                                         std::int64_t totalBytesExpectedToWrite);
  // There is no URL cache: the answer is ignored; the offer carries the response without body bytes.
  virtual CachedURLResponsePtr connectionWillCacheResponse(const URLConnectionPtr& connection,
                                                           const CachedURLResponsePtr& cachedResponse);
  virtual void connectionDidFinishLoading(const URLConnectionPtr& connection);
  virtual void connectionDidFailWithError(const URLConnectionPtr& connection, const ErrorPtr& error);
};

// Loads one request over HTTP or HTTPS on the process's network thread and reports to its
// delegate on the run loop it is scheduled on (by default the run loop current when it starts).
// The connection keeps itself and its delegate alive until it has delivered its last call or is
// cancelled. Timeouts are idle limits: the load fails with -1001 when nothing moves for the
// request's timeoutInterval. Errors are in "NSURLErrorDomain" with the failing URL.
class URLConnection final : public Object, public URLAuthenticationChallengeSender {
 public:
  URLConnection();
  ~URLConnection() override;

  // nullptr without a request. With startImmediately the load starts on the current run loop.
  std::shared_ptr<URLConnection> initWithRequest(const URLRequestPtr& request,
                                                 std::shared_ptr<URLConnectionDelegate> delegate,
                                                 bool startImmediately = true);
  static URLConnectionPtr connectionWithRequest(const URLRequestPtr& request,
                                                std::shared_ptr<URLConnectionDelegate> delegate);
  // Whether the request's scheme can be loaded at all (http, https).
  static bool canHandleRequest(const URLRequestPtr& request);

  // Where delegate calls go; call before start(). The mode is remembered and otherwise ignored.
  void scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);
  void unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);
  void start();
  // Stops the load; the delegate hears nothing more (when cancelling on the delegate's thread) and is
  // released. The server sees the connection closed if the body was not complete.
  void cancel();

  URLRequestPtr originalRequest() const { return originalRequest_; }
  URLRequestPtr currentRequest() const;

  // URLAuthenticationChallengeSender
  void useCredential(const URLCredentialPtr& credential,
                     const URLAuthenticationChallenge& challenge) override;
  void continueWithoutCredentialForAuthenticationChallenge(
      const URLAuthenticationChallenge& challenge) override;
  void cancelAuthenticationChallenge(const URLAuthenticationChallenge& challenge) override;
  void performDefaultHandlingForAuthenticationChallenge(const URLAuthenticationChallenge& challenge) override;
  void rejectProtectionSpaceAndContinueWithChallenge(const URLAuthenticationChallenge& challenge) override;

 private:
  friend class URLLoader;
  std::shared_ptr<URLConnectionDelegate> delegate() const;
  void releaseDelegate();
  // A block for the delegate's run loop that makes the call unless the connection was cancelled by
  // then; after the last call the delegate is released either way.
  std::function<void()> delivery(std::function<void(const URLConnectionPtr&, URLConnectionDelegate&)> call,
                                 bool last = false);
  std::shared_ptr<RunLoop> runLoop() const;
  void answerChallenge(const URLAuthenticationChallenge& challenge, int answer, URLCredentialPtr credential);
  void setPendingChallenge(const void* challenge, std::uint64_t hop);
  void setCurrentRequest(URLRequestPtr request);

  mutable std::mutex mutex_;
  URLRequestPtr originalRequest_;
  URLRequestPtr currentRequest_;
  std::shared_ptr<URLConnectionDelegate> delegate_;
  std::shared_ptr<RunLoop> runLoop_;
  std::atomic<bool> started_{false};
  std::atomic<bool> cancelled_{false};
  // Body bytes handed to the delegate's run loop and not yet taken by the delegate (flow control).
  std::atomic<std::int64_t> undelivered_{0};
  // Set by the network thread when it stopped receiving; whoever clears it first resumes.
  std::atomic<bool> receivePaused_{false};
  // The challenge the delegate is being asked about (identity only) and the transfer it belongs to.
  const void* pendingChallenge_ = nullptr;
  std::uint64_t pendingChallengeHop_ = 0;
};

}  // namespace ns
