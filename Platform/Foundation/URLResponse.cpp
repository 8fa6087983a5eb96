#include "Foundation/URLResponse.h"

#include <cstdio>
#include <cstdlib>

#include "Foundation/ClassRegistry.h"
#include "Foundation/HTTPHeaderParsing.h"
#include "Foundation/KeyedArchiver.h"
#include "Foundation/URLRequest.h"

namespace ns {

namespace {
[[maybe_unused]] const bool registered = [] {
  ClassRegistry::shared().registerClass<URLResponse>("URLResponse");
  ClassRegistry::shared().registerClass<HTTPURLResponse>("HTTPURLResponse", "URLResponse");
  return true;
}();

std::string addressOf(const void* p) {
  char address[32];
  std::snprintf(address, sizeof address, "%p", p);
  return address;
}

std::optional<std::string> optionalString(const Value& value) {
  if (auto text = value.asString()) return *text;
  return std::nullopt;
}
}  // namespace

std::shared_ptr<URLResponse> URLResponse::initWithURL(ns::URL url, std::optional<std::string> MIMEType,
                                                      std::int64_t expectedContentLength,
                                                      std::optional<std::string> textEncodingName) {
  url_ = std::move(url);
  if (MIMEType) mimeType_ = http::asciiLowercase(*MIMEType);
  expectedContentLength_ = expectedContentLength < 0 ? -1 : expectedContentLength;
  textEncodingName_ = std::move(textEncodingName);
  return std::static_pointer_cast<URLResponse>(shared_from_this());
}

std::string URLResponse::suggestedFilename() const {
  if (url_) {
    std::string last = url_->lastPathComponent();
    if (!last.empty() && last != "/") return last;
  }
  return "Unknown";
}

std::string URLResponse::describe() const {
  return "<URLResponse: " + addressOf(this) + "> { URL: " + (url_ ? url_->absoluteString() : "(null)") + " }";
}

void URLResponse::encodeWithCoder(KeyedArchiver& coder) {
  coder.encodeURL(url_, "URL");
  if (mimeType_) coder.encodeObject(Value(*mimeType_), "MIMEType");
  coder.encodeInt64(expectedContentLength_, "expectedContentLength");
  if (textEncodingName_) coder.encodeObject(Value(*textEncodingName_), "textEncodingName");
}

std::shared_ptr<Object> URLResponse::initWithCoder(KeyedUnarchiver& coder) {
  url_ = coder.decodeURLForKey("URL");
  mimeType_ = optionalString(coder.decodeObjectForKey("MIMEType"));
  expectedContentLength_ = coder.containsValueForKey("expectedContentLength")
                               ? coder.decodeInt64ForKey("expectedContentLength")
                               : -1;
  textEncodingName_ = optionalString(coder.decodeObjectForKey("textEncodingName"));
  return shared_from_this();
}

std::shared_ptr<HTTPURLResponse> HTTPURLResponse::initWithURL(ns::URL url, long statusCode,
                                                              std::string HTTPVersion,
                                                              Dictionary headerFields) {
  statusCode_ = statusCode;
  if (!HTTPVersion.empty()) httpVersion_ = std::move(HTTPVersion);
  headers_ = std::move(headerFields);
  std::optional<std::string> mimeType, encoding;
  if (auto type = valueForHTTPHeaderField("Content-Type")) {
    auto parsed = http::parseValueWithParameters(*type);
    if (!parsed.value.empty()) mimeType = parsed.value;
    encoding = parsed.parameter("charset");
    if (encoding && encoding->empty()) encoding.reset();
  }
  // A body sent encoded (gzip...) is handed over decoded, so its announced length says nothing.
  std::int64_t length = -1;
  auto contentLength = valueForHTTPHeaderField("Content-Length");
  if (contentLength && !valueForHTTPHeaderField("Content-Encoding")) {
    char* end = nullptr;
    long long parsed = std::strtoll(contentLength->c_str(), &end, 10);
    if (end != contentLength->c_str() && *end == '\0' && parsed >= 0) length = parsed;
  }
  URLResponse::initWithURL(std::move(url), std::move(mimeType), length, std::move(encoding));
  return std::static_pointer_cast<HTTPURLResponse>(shared_from_this());
}

std::optional<std::string> HTTPURLResponse::valueForHTTPHeaderField(std::string_view field) const {
  const Value* value = findHTTPHeaderField(headers_, field);
  return value ? optionalString(*value) : std::nullopt;
}

std::string HTTPURLResponse::suggestedFilename() const {
  if (auto disposition = valueForHTTPHeaderField("Content-Disposition"))
    if (auto name = http::dispositionFilename(*disposition)) {
      // Only the last path component of what the server proposes.
      auto slash = name->find_last_of("/\\");
      std::string base = slash == std::string::npos ? *name : name->substr(slash + 1);
      if (!base.empty() && base != "." && base != "..") return base;
    }
  return URLResponse::suggestedFilename();
}

std::string HTTPURLResponse::localizedStringForStatusCode(long statusCode) {
  switch (statusCode) {
    case 200:
      return "no error";
    case 201:
      return "created";
    case 204:
      return "no content";
    case 206:
      return "partial content";
    case 301:
      return "moved permanently";
    case 302:
      return "found";
    case 303:
      return "see other";
    case 304:
      return "not modified";
    case 307:
      return "temporarily redirected";
    case 400:
      return "bad request";
    case 401:
      return "unauthorized";
    case 403:
      return "forbidden";
    case 404:
      return "not found";
    case 500:
      return "internal server error";
    case 502:
      return "bad gateway";
    case 503:
      return "service unavailable";
    case 504:
      return "gateway timed out";
    default:
      break;
  }
  if (statusCode >= 100 && statusCode < 200) return "informational";
  if (statusCode >= 200 && statusCode < 300) return "success";
  if (statusCode >= 300 && statusCode < 400) return "redirected";
  if (statusCode >= 400 && statusCode < 500) return "client error";
  if (statusCode >= 500 && statusCode < 600) return "server error";
  return "unknown";
}

std::string HTTPURLResponse::describe() const {
  return "<HTTPURLResponse: " + addressOf(this) + "> { URL: " + (url_ ? url_->absoluteString() : "(null)") +
         " } { status code: " + std::to_string(statusCode_) + " }";
}

void HTTPURLResponse::encodeWithCoder(KeyedArchiver& coder) {
  coder.encodeURL(url_, "URL");
  coder.encodeInt64(statusCode_, "statusCode");
  coder.encodeObject(Value(httpVersion_), "HTTPVersion");
  coder.encodeObject(Value(headers_), "allHeaderFields");
}

std::shared_ptr<Object> HTTPURLResponse::initWithCoder(KeyedUnarchiver& coder) {
  auto url = coder.decodeURLForKey("URL");
  if (!url) return nullptr;
  Value version = coder.decodeObjectForKey("HTTPVersion");
  Value headers = coder.decodeObjectForKey("allHeaderFields");
  return initWithURL(*url, static_cast<long>(coder.decodeInt64ForKey("statusCode")),
                     version.asString() ? *version.asString() : std::string(),
                     headers.asDictionary() ? *headers.asDictionary() : Dictionary());
}

std::shared_ptr<CachedURLResponse> CachedURLResponse::initWithResponse(std::shared_ptr<URLResponse> response,
                                                                       Data data,
                                                                       URLCacheStoragePolicy storagePolicy) {
  response_ = std::move(response);
  data_ = std::move(data);
  storagePolicy_ = storagePolicy;
  return std::static_pointer_cast<CachedURLResponse>(shared_from_this());
}

}  // namespace ns
