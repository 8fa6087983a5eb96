#include "Classes/SocialNetwork/FB/FBRequest.h"

#include <vector>

#include "Classes/SocialNetwork/FB/FBConfiguration.h"
#include "Classes/SocialNetwork/JSON/RTJSON.h"
#include "Foundation/Format.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"
#include "Foundation/URLRequest.h"
#include "UIKit/Image.h"

namespace {

bool isFile(const ns::Value& value) { return value.isData() || value.asObject<ui::Image>() != nullptr; }

std::string textOf(const ns::Value& value) {
  if (auto text = value.asString()) return *text;
  return value.describe();
}

bool hasQuery(const std::string& url) {
  if (auto parsed = ns::URL::URLWithString(url)) return parsed->query().has_value();
  std::string beforeFragment = url.substr(0, url.find('#'));
  return beforeFragment.find('?') != std::string::npos;
}

ns::ErrorPtr urlError(std::int64_t code, const std::string& url, const std::string& description) {
  return ns::Error::make(
      ns::kURLErrorDomain, code,
      {{ns::kLocalizedDescriptionKey, description}, {ns::kURLErrorFailingURLStringErrorKey, url}});
}

}  // namespace

FBRequest::~FBRequest() {
  if (connection_) connection_->cancel();
}

std::shared_ptr<FBRequest> FBRequest::getRequestWithParams(ns::Dictionary params, std::string httpMethod,
                                                           std::weak_ptr<FBRequestDelegate> delegate,
                                                           std::string requestURL) {
  auto request = std::make_shared<FBRequest>();
  request->delegate_ = std::move(delegate);
  request->url_ = std::move(requestURL);
  request->httpMethod_ = std::move(httpMethod);
  request->params_ = std::move(params);
  return request;
}

std::string FBRequest::serializeURL(const std::string& baseUrl, const ns::Dictionary& params,
                                    const std::string& httpMethod) {
  std::vector<std::string> pairs;
  for (const auto& [key, value] : params) {
    if (isFile(value)) {
      if (httpMethod == "GET") ns::log("can not use GET to upload a file");
      continue;
    }
    // Everything but the unreserved characters, so "&", "=", "+", "/" and the like stay inside the value.
    pairs.push_back(key + "=" + ns::addPercentEncoding(textOf(value), ns::kURLUnreservedCharacters));
  }
  return baseUrl + (hasQuery(baseUrl) ? "&" : "?") + ns::componentsJoinedByString(pairs, "&");
}

void FBRequest::utfAppendBody(ns::Data& body, std::string_view text) { body.append(text); }

ns::Data FBRequest::generatePostBody() const {
  const std::string boundary = kStringBoundary;
  const std::string endLine = "\r\n--" + boundary + "\r\n";
  ns::Data body;
  utfAppendBody(body, "--" + boundary + "\r\n");
  std::vector<const ns::Dictionary::Entry*> files;
  for (const auto& entry : params_) {
    if (isFile(entry.second)) {
      files.push_back(&entry);
      continue;
    }
    utfAppendBody(body, "Content-Disposition: form-data; name=\"" + entry.first + "\"\r\n\r\n");
    utfAppendBody(body, textOf(entry.second));
    utfAppendBody(body, endLine);
  }
  for (const auto* entry : files) {
    utfAppendBody(body, "Content-Disposition: form-data; filename=\"" + entry->first + "\"\r\n");
    if (auto image = entry->second.asObject<ui::Image>()) {
      utfAppendBody(body, "Content-Type: image/png\r\n\r\n");
      body.append(ui::ImagePNGRepresentation(image));
    } else {
      utfAppendBody(body, "Content-Type: content/unknown\r\n\r\n");
      body.append(*entry->second.asData());
    }
    utfAppendBody(body, endLine);
  }
  return body;
}

void FBRequest::connect() {
  if (auto delegate = delegate_.lock()) delegate->requestLoading(*this);
  std::string url = serializeURL(url_, params_, httpMethod_);
  auto parsed = ns::URL::URLWithString(url);
  if (!parsed || !parsed->scheme()) {
    failSoon(urlError(ns::URLError::BadURL, url, "unsupported URL"));
    return;
  }
  if (!FBConfiguration::isSecureOrLoopback(*parsed)) {
    ns::log("FBRequest refused: %@ would go in clear to a host other than the loopback", url_);
    failSoon(urlError(ns::URLError::AppTransportSecurityRequiresSecureConnection, url,
                      "The resource could not be loaded because a secure connection is required."));
    return;
  }
  auto request = ns::URLRequest::requestWithURL(
      parsed, ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, kTimeoutInterval);
  request->setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  request->setHTTPMethod(httpMethod_);
  if (httpMethod_ == "POST") {
    request->setValueForHTTPHeaderField(ns::format("multipart/form-data; boundary=%@", kStringBoundary),
                                        "Content-Type");
    request->setHTTPBody(generatePostBody());
  }
  request->setMaximumBodyLength(kMaxResponseLength);
  connection_ = ns::URLConnection::connectionWithRequest(
      request, std::static_pointer_cast<FBRequest>(shared_from_this()));
}

void FBRequest::failSoon(const ns::ErrorPtr& error) {
  // Like a connection that fails, the request lives until it has reported.
  auto self = std::static_pointer_cast<FBRequest>(shared_from_this());
  ns::RunLoop::currentRunLoop()->performBlock([self, error] { self->failWithError(error); });
}

ns::ErrorPtr FBRequest::formError(std::int64_t code, ns::Dictionary userInfo) {
  return ns::Error::make(facebookErrDomain, code, std::move(userInfo));
}

ns::Value FBRequest::parseJsonResponse(const ns::Data& data, ns::ErrorPtr* error) {
  ns::ErrorPtr failure;
  ns::Value result;
  std::optional<std::string_view> text;
  if (ns::isValidUTF8(data.view())) text = data.view();
  if (text == "true") {
    result = ns::Dictionary{{"result", "true"}};
  } else if (text == "false") {
    failure = formError(kFBGenericErrorCode, {{"error_msg", "This operation can not be completed"}});
  } else {
    ns::ErrorPtr parseError;
    result = std::make_shared<RTJSON>()->init()->objectWithString(text, &parseError);
    if (result.isNil()) {
      // A reply that is not JSON is a failure, not an empty success.
      ns::Dictionary userInfo{{"error_msg", "The reply is not JSON"}};
      if (parseError) userInfo.set(ns::kUnderlyingErrorKey, parseError);
      failure = formError(kFBGenericErrorCode, std::move(userInfo));
    } else if (const ns::Dictionary* reply = result.asDictionary()) {
      if (reply->contains("error")) {
        failure = formError(kFBGenericErrorCode, *reply);
        result = {};
      } else if (const ns::Value* code = reply->find("error_code")) {
        failure = formError(code->intValue(), *reply);
        result = {};
      } else {
        if (reply->contains("error_msg")) failure = formError(kFBGenericErrorCode, *reply);
        if (reply->contains("error_reason")) failure = formError(kFBGenericErrorCode, *reply);
      }
    }
  }
  if (error) *error = failure;
  return result;
}

void FBRequest::failWithError(const ns::ErrorPtr& error) {
  if (auto delegate = delegate_.lock()) delegate->requestDidFailWithError(*this, error);
}

void FBRequest::handleResponseData(const ns::Data& data) {
  if (auto delegate = delegate_.lock()) delegate->requestDidLoadRawResponse(*this, data);
  if (!delegate_.lock()) return;  // nobody is left to hear the outcome
  ns::ErrorPtr error;
  ns::Value result = parseJsonResponse(data, &error);
  if (error) {
    failWithError(error);
  } else if (auto delegate = delegate_.lock()) {
    delegate->requestDidLoad(*this, result);
  }
}

void FBRequest::connectionDidReceiveResponse(const ns::URLConnectionPtr& connection,
                                             const ns::URLResponsePtr& response) {
  responseText_ = ns::Data();
  if (auto delegate = delegate_.lock()) delegate->requestDidReceiveResponse(*this, response);
  if (response && response->expectedContentLength() > kMaxResponseLength) refuseLongReply(connection);
}

void FBRequest::connectionDidReceiveData(const ns::URLConnectionPtr& connection, const ns::Data& data) {
  if (!responseText_) responseText_ = ns::Data();
  if (static_cast<std::int64_t>(responseText_->length() + data.length()) > kMaxResponseLength) {
    refuseLongReply(connection);
    return;
  }
  responseText_->append(data);
}

void FBRequest::refuseLongReply(const ns::URLConnectionPtr& connection) {
  auto self = shared_from_this();
  connection->cancel();
  auto request = connection->currentRequest();
  std::string url = request && request->URL() ? request->URL()->absoluteString() : std::string();
  responseText_.reset();
  connection_.reset();
  failWithError(ns::responseLengthExceededError(url, kMaxResponseLength));
}

ns::CachedURLResponsePtr FBRequest::connectionWillCacheResponse(const ns::URLConnectionPtr&,
                                                                const ns::CachedURLResponsePtr&) {
  return nullptr;
}

void FBRequest::connectionDidFinishLoading(const ns::URLConnectionPtr&) {
  auto self = shared_from_this();
  handleResponseData(responseText_.value_or(ns::Data()));
  responseText_.reset();
  connection_.reset();
}

void FBRequest::connectionDidFailWithError(const ns::URLConnectionPtr&, const ns::ErrorPtr& error) {
  auto self = shared_from_this();
  failWithError(error);
  responseText_.reset();
  connection_.reset();
}
