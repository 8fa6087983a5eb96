#include "Foundation/URLRequest.h"

#include <strings.h>

#include <cstdio>

#include "Foundation/ClassRegistry.h"
#include "Foundation/KeyedArchiver.h"
#include "Foundation/Stream.h"

namespace ns {

namespace {
[[maybe_unused]] const bool registered = [] {
  ClassRegistry::shared().registerClass<URLRequest>("URLRequest");
  return true;
}();

bool sameFieldName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}
}  // namespace

bool isValidHTTPHeaderName(std::string_view name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    bool token = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                 std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
    if (!token) return false;
  }
  return true;
}

bool isValidHTTPHeaderValue(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

const Value* findHTTPHeaderField(const Dictionary& fields, std::string_view name) {
  if (const Value* exact = fields.find(name)) return exact;
  for (const auto& [key, value] : fields)
    if (sameFieldName(key, name)) return &value;
  return nullptr;
}

std::shared_ptr<URLRequest> URLRequest::requestWithURL(std::optional<ns::URL> url) {
  auto request = std::make_shared<URLRequest>();
  request->url_ = std::move(url);
  return request;
}

std::shared_ptr<URLRequest> URLRequest::requestWithURL(std::optional<ns::URL> url,
                                                       URLRequestCachePolicy cachePolicy,
                                                       double timeoutInterval) {
  auto request = requestWithURL(std::move(url));
  request->cachePolicy_ = cachePolicy;
  request->timeout_ = timeoutInterval;
  return request;
}

std::shared_ptr<URLRequest> URLRequest::copy() const {
  auto request = std::make_shared<URLRequest>();
  request->url_ = url_;
  request->method_ = method_;
  request->headers_ = headers_;
  request->body_ = body_;
  request->bodyStream_ = bodyStream_;
  request->timeout_ = timeout_;
  request->cachePolicy_ = cachePolicy_;
  request->handleCookies_ = handleCookies_;
  request->maximumBodyLength_ = maximumBodyLength_;
  request->serviceType_ = serviceType_;
  request->resourceTimeout_ = resourceTimeout_;
  request->bodyLengthRule_ = bodyLengthRule_;
  return request;
}

void URLRequest::setHTTPMethod(std::string method) { method_ = method.empty() ? "GET" : std::move(method); }

void URLRequest::setAllHTTPHeaderFields(Dictionary fields) { headers_ = std::move(fields); }

std::optional<std::string> URLRequest::valueForHTTPHeaderField(std::string_view field) const {
  const Value* value = findHTTPHeaderField(headers_, field);
  if (!value || !value->asString()) return std::nullopt;
  return *value->asString();
}

void URLRequest::setValueForHTTPHeaderField(std::optional<std::string> value, std::string_view field) {
  std::vector<std::string> same;
  for (const auto& [key, v] : headers_)
    if (sameFieldName(key, field)) same.push_back(key);
  for (const auto& key : same) headers_.remove(key);
  if (value) headers_.set(std::string(field), std::move(*value));
}

void URLRequest::addValueForHTTPHeaderField(std::string value, std::string_view field) {
  auto existing = valueForHTTPHeaderField(field);
  setValueForHTTPHeaderField(existing ? *existing + "," + value : std::move(value), field);
}

void URLRequest::setHTTPBody(std::optional<Data> body) {
  body_ = std::move(body);
  if (body_) bodyStream_.reset();
}

void URLRequest::setHTTPBodyStream(std::shared_ptr<InputStream> stream) {
  bodyStream_ = std::move(stream);
  if (bodyStream_) body_.reset();
}

std::string URLRequest::describe() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return std::string("<URLRequest: ") + address + "> { URL: " + (url_ ? url_->absoluteString() : "(null)") +
         " }";
}

void URLRequest::encodeWithCoder(KeyedArchiver& coder) {
  coder.encodeURL(url_, "URL");
  coder.encodeObject(Value(method_), "HTTPMethod");
  coder.encodeObject(Value(headers_), "allHTTPHeaderFields");
  if (body_) coder.encodeObject(Value(*body_), "HTTPBody");
  coder.encodeDouble(timeout_, "timeoutInterval");
  coder.encodeInt64(static_cast<std::int64_t>(cachePolicy_), "cachePolicy");
  coder.encodeBool(handleCookies_, "HTTPShouldHandleCookies");
  if (maximumBodyLength_ >= 0) coder.encodeInt64(maximumBodyLength_, "maximumBodyLength");
}

std::shared_ptr<Object> URLRequest::initWithCoder(KeyedUnarchiver& coder) {
  url_ = coder.decodeURLForKey("URL");
  Value method = coder.decodeObjectForKey("HTTPMethod");
  setHTTPMethod(method.asString() ? *method.asString() : std::string());
  Value headers = coder.decodeObjectForKey("allHTTPHeaderFields");
  if (headers.asDictionary()) headers_ = *headers.asDictionary();
  Value body = coder.decodeObjectForKey("HTTPBody");
  if (body.asData()) body_ = *body.asData();
  timeout_ = coder.containsValueForKey("timeoutInterval") ? coder.decodeDoubleForKey("timeoutInterval")
                                                          : kDefaultTimeoutInterval;
  std::int64_t policy = coder.decodeInt64ForKey("cachePolicy");
  cachePolicy_ = policy >= 0 && policy <= 5 ? static_cast<URLRequestCachePolicy>(policy)
                                            : URLRequestCachePolicy::UseProtocolCachePolicy;
  handleCookies_ = coder.containsValueForKey("HTTPShouldHandleCookies")
                       ? coder.decodeBoolForKey("HTTPShouldHandleCookies")
                       : true;
  maximumBodyLength_ =
      coder.containsValueForKey("maximumBodyLength") ? coder.decodeInt64ForKey("maximumBodyLength") : -1;
  return shared_from_this();
}

}  // namespace ns
