#include "Analytics/Library/MAIURLConnection.h"

#include "Foundation/RunLoop.h"

std::shared_ptr<MAIURLConnection> MAIURLConnection::initWithRequest(const ns::URLRequestPtr& request,
                                                                    dispatch::QueuePtr completionQueue,
                                                                    CompletionHandler completionHandler) {
  request_ = request ? request->copy() : nullptr;
  if (request_) request_->setMaximumBodyLength(kMaxResponseLength);
  completionQueue_ = std::move(completionQueue);
  completionHandler_ = std::make_shared<CompletionHandler>(std::move(completionHandler));
  auto self = std::static_pointer_cast<MAIURLConnection>(shared_from_this());
  connection_ = std::make_shared<ns::URLConnection>()->initWithRequest(request_, self, false);
  if (!connection_) {
    complete(nullptr, std::nullopt,
             ns::Error::make(ns::kURLErrorDomain, ns::URLError::BadURL,
                             {{ns::kLocalizedDescriptionKey, "bad URL"}}));
    return self;
  }
  connection_->scheduleInRunLoop(ns::RunLoop::mainRunLoop(), ns::kDefaultRunLoopMode);
  connection_->start();
  return self;
}

void MAIURLConnection::cancel() {
  if (auto connection = std::exchange(connection_, nullptr)) connection->cancel();
  completionHandler_.reset();
}

void MAIURLConnection::complete(const ns::URLResponsePtr& response, std::optional<ns::Data> data,
                                const ns::ErrorPtr& error) {
  std::weak_ptr<CompletionHandler> handler = completionHandler_;
  auto queue = completionQueue_ ? completionQueue_ : dispatch::mainQueue();
  // The handler is looked up when the block runs: a cancel in between keeps it from being called.
  dispatch::async(queue, [self = shared_from_this(), handler, response, data = std::move(data), error] {
    if (auto call = handler.lock()) (*call)(response, data, error);
  });
}

ns::URLRequestPtr MAIURLConnection::connectionWillSendRequest(const ns::URLConnectionPtr&,
                                                              const ns::URLRequestPtr& request,
                                                              const ns::URLResponsePtr&) {
  return request;
}

ns::CachedURLResponsePtr MAIURLConnection::connectionWillCacheResponse(const ns::URLConnectionPtr&,
                                                                       const ns::CachedURLResponsePtr&) {
  return nullptr;
}

void MAIURLConnection::connectionDidReceiveResponse(const ns::URLConnectionPtr&,
                                                    const ns::URLResponsePtr& response) {
  // A new response (after a redirect, say) starts the body afresh.
  response_ = response;
  data_.reset();
  if (response && response->expectedContentLength() > kMaxResponseLength) refuseLongReply();
}

void MAIURLConnection::connectionDidReceiveData(const ns::URLConnectionPtr&, const ns::Data& data) {
  if (!data_) data_.emplace();
  if (static_cast<std::int64_t>(data_->length() + data.length()) > kMaxResponseLength) {
    refuseLongReply();
    return;
  }
  data_->append(data);
}

void MAIURLConnection::refuseLongReply() {
  auto connection = std::exchange(connection_, nullptr);
  if (!connection) return;
  connection->cancel();
  data_.reset();
  std::string url;
  if (response_ && response_->URL())
    url = response_->URL()->absoluteString();
  else if (request_ && request_->URL())
    url = request_->URL()->absoluteString();
  complete(response_, std::nullopt, ns::responseLengthExceededError(url, kMaxResponseLength));
}

void MAIURLConnection::connectionDidFinishLoading(const ns::URLConnectionPtr&) {
  if (!connection_) return;
  connection_.reset();
  complete(response_, std::move(data_), nullptr);
}

void MAIURLConnection::connectionDidFailWithError(const ns::URLConnectionPtr&, const ns::ErrorPtr& error) {
  if (!connection_) return;
  connection_.reset();
  // A reply refused for its length (by the loader, as it arrives) is answered without its body.
  if (error && error->domain() == ns::kURLErrorDomain &&
      error->code() == ns::URLError::DataLengthExceedsMaximum)
    data_.reset();
  complete(response_, std::move(data_), error);
}
