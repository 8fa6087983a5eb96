#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URLConnection.h"
#include "Foundation/Value.h"

// The Facebook client's error domain; the code is the server's "error_code", or 10000.
inline constexpr const char* facebookErrDomain = "facebookErrDomain";
inline constexpr std::int64_t kFBGenericErrorCode = 10000;

class FBRequest;

// What a request reports, in this order: loading, the response, the raw reply, then the parsed
// result or the failure (a transport failure skips the response and the raw reply, a reply longer
// than the request reads skips the raw reply).
class FBRequestDelegate {
 public:
  virtual ~FBRequestDelegate() = default;
  virtual void requestLoading(FBRequest&) {}
  virtual void requestDidReceiveResponse(FBRequest&, const ns::URLResponsePtr&) {}
  virtual void requestDidFailWithError(FBRequest&, const ns::ErrorPtr&) {}
  virtual void requestDidLoad(FBRequest&, const ns::Value&) {}
  virtual void requestDidLoadRawResponse(FBRequest&, const ns::Data&) {}
};

// One HTTP call to a Facebook endpoint: the parameters go into the URL query and, for "POST", a
// multipart body as well; the reply is read as JSON and reported to the delegate. The running
// connection keeps the request alive until it has reported; main thread only.
class FBRequest final : public ns::Object, public ns::URLConnectionDelegate {
 public:
  static constexpr const char* kUserAgent = "FacebookConnect";
  static constexpr const char* kStringBoundary = "3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f";
  static constexpr double kTimeoutInterval = 180.0;
  // The longest reply read: the calls made are answered by a few bytes of JSON (a session's end,
  // an upload's id). A longer body, announced or as it arrives, fails the request with -1103.
  static constexpr std::int64_t kMaxResponseLength = std::int64_t{1} << 20;

  ~FBRequest() override;

  // Parameter values are strings (other scalars are written as their description), images
  // (ui::Image objects) or raw data.
  static std::shared_ptr<FBRequest> getRequestWithParams(ns::Dictionary params, std::string httpMethod,
                                                         std::weak_ptr<FBRequestDelegate> delegate,
                                                         std::string requestURL);
  // The URL with the parameters that are not files as its query: "?" or, when the URL already
  // has a query, "&", then key=value pairs (values escaped, keys as they are) joined with "&".
  static std::string serializeURL(const std::string& baseUrl, const ns::Dictionary& params,
                                  const std::string& httpMethod = "GET");

  // Starts the call on the current run loop. A URL that does not parse, or that would send the
  // parameters in clear to a host other than the loopback, fails the request instead (reported
  // on the next turn of the run loop).
  void connect();
  bool loading() const { return connection_ != nullptr; }

  std::shared_ptr<FBRequestDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<FBRequestDelegate> delegate) { delegate_ = std::move(delegate); }
  const std::string& url() const { return url_; }
  void setUrl(std::string url) { url_ = std::move(url); }
  const std::string& httpMethod() const { return httpMethod_; }
  void setHttpMethod(std::string method) { httpMethod_ = std::move(method); }
  const ns::Dictionary& params() const { return params_; }
  void setParams(ns::Dictionary params) { params_ = std::move(params); }
  const ns::URLConnectionPtr& connection() const { return connection_; }
  const std::optional<ns::Data>& responseText() const { return responseText_; }

  // The multipart body, byte for byte: strings first, then files, each part ending in the
  // boundary line; there is no closing "--" delimiter.
  ns::Data generatePostBody() const;
  static void utfAppendBody(ns::Data& body, std::string_view text);
  // The reply as the delegate gets it: a result, or nil and an error of facebookErrDomain. A
  // dictionary carrying "error_msg" or "error_reason" comes back together with an error.
  static ns::Value parseJsonResponse(const ns::Data& data, ns::ErrorPtr* error);
  static ns::ErrorPtr formError(std::int64_t code, ns::Dictionary userInfo);
  void failWithError(const ns::ErrorPtr& error);
  void handleResponseData(const ns::Data& data);

  // ns::URLConnectionDelegate
  void connectionDidReceiveResponse(const ns::URLConnectionPtr& connection,
                                    const ns::URLResponsePtr& response) override;
  void connectionDidReceiveData(const ns::URLConnectionPtr& connection, const ns::Data& data) override;
  ns::CachedURLResponsePtr connectionWillCacheResponse(
      const ns::URLConnectionPtr& connection, const ns::CachedURLResponsePtr& cachedResponse) override;
  void connectionDidFinishLoading(const ns::URLConnectionPtr& connection) override;
  void connectionDidFailWithError(const ns::URLConnectionPtr& connection, const ns::ErrorPtr& error) override;

 private:
  void failSoon(const ns::ErrorPtr& error);
  // Stops a connection whose reply is longer than the request reads and reports the failure.
  void refuseLongReply(const ns::URLConnectionPtr& connection);

  std::weak_ptr<FBRequestDelegate> delegate_;
  std::string url_;
  std::string httpMethod_;
  ns::Dictionary params_;
  ns::URLConnectionPtr connection_;
  std::optional<ns::Data> responseText_;
};

using FBRequestPtr = std::shared_ptr<FBRequest>;
