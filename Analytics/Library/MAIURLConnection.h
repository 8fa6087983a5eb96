#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "Dispatch/Dispatch.h"
#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URLConnection.h"
#include "Foundation/URLRequest.h"
#include "Foundation/URLResponse.h"

// One HTTP request whose outcome arrives as one completion on a chosen queue: the last response,
// the body that followed it, and the error if the load failed. Runs on the main run loop;
// redirects are followed and nothing is cached. After cancel() the completion is never called.
class MAIURLConnection : public ns::Object, public ns::URLConnectionDelegate {
 public:
  // The collect endpoint answers with an empty body or a pixel, and only the status is read: a
  // longer body, announced or as it arrives, ends the load with -1103 and no body.
  static constexpr std::int64_t kMaxResponseLength = 64 * 1024;

  using CompletionHandler = std::function<void(
      const ns::URLResponsePtr& response, const std::optional<ns::Data>& data, const ns::ErrorPtr& error)>;

  // Starts the request at once.
  std::shared_ptr<MAIURLConnection> initWithRequest(const ns::URLRequestPtr& request,
                                                    dispatch::QueuePtr completionQueue,
                                                    CompletionHandler completionHandler);
  virtual void cancel();

  const ns::URLRequestPtr& request() const { return request_; }

  ns::URLRequestPtr connectionWillSendRequest(const ns::URLConnectionPtr& connection,
                                              const ns::URLRequestPtr& request,
                                              const ns::URLResponsePtr& redirectResponse) override;
  ns::CachedURLResponsePtr connectionWillCacheResponse(
      const ns::URLConnectionPtr& connection, const ns::CachedURLResponsePtr& cachedResponse) override;
  void connectionDidReceiveResponse(const ns::URLConnectionPtr& connection,
                                    const ns::URLResponsePtr& response) override;
  void connectionDidReceiveData(const ns::URLConnectionPtr& connection, const ns::Data& data) override;
  void connectionDidFinishLoading(const ns::URLConnectionPtr& connection) override;
  void connectionDidFailWithError(const ns::URLConnectionPtr& connection, const ns::ErrorPtr& error) override;

 protected:
  // Runs the handler on the completion queue, unless cancelled by then.
  void complete(const ns::URLResponsePtr& response, std::optional<ns::Data> data, const ns::ErrorPtr& error);

 private:
  // Stops a load whose body is longer than the connection reads.
  void refuseLongReply();

  ns::URLRequestPtr request_;
  ns::URLConnectionPtr connection_;
  ns::URLResponsePtr response_;
  std::optional<ns::Data> data_;
  dispatch::QueuePtr completionQueue_;
  std::shared_ptr<CompletionHandler> completionHandler_;
};

using MAIURLConnectionPtr = std::shared_ptr<MAIURLConnection>;

// What creates the dispatcher's connections (MAIURLConnection's initWithRequest by default).
using MAIURLConnectionClass = std::function<MAIURLConnectionPtr(
    const ns::URLRequestPtr& request, const dispatch::QueuePtr& completionQueue,
    MAIURLConnection::CompletionHandler completionHandler)>;
