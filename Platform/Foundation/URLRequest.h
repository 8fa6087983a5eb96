#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Coding.h"
#include "Foundation/Data.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

namespace ns {

class InputStream;

enum class URLRequestCachePolicy : unsigned {
  UseProtocolCachePolicy = 0,
  ReloadIgnoringLocalCacheData = 1,
  ReturnCacheDataElseLoad = 2,
  ReturnCacheDataDontLoad = 3,
  ReloadIgnoringLocalAndRemoteCacheData = 4,
  ReloadRevalidatingCacheData = 5,
};

// Background traffic (pictures, prefetches) holds at most URLLoader::kBackgroundConnectionsPerHost
// of a host's connections, so the replies a page waits for never queue behind it.
enum class URLRequestNetworkServiceType : unsigned {
  Default = 0,
  Background = 3,
};

// What to load: URL, method, header fields (looked up without regard to case), a body as bytes or
// as a stream, the idle timeout and cache policy, and whether cookies are sent and stored. A
// connection takes a copy, so changing a request afterwards does not touch a running load.
// Header fields are stored as given; a connection refuses a request whose names or values hold
// line breaks.
class URLRequest final : public Object, public Coding {
 public:
  static constexpr double kDefaultTimeoutInterval = 60.0;

  static std::shared_ptr<URLRequest> requestWithURL(std::optional<ns::URL> url);
  static std::shared_ptr<URLRequest> requestWithURL(std::optional<ns::URL> url,
                                                    URLRequestCachePolicy cachePolicy,
                                                    double timeoutInterval);
  // Also the mutable copy: every request here may be changed.
  std::shared_ptr<URLRequest> copy() const;
  std::shared_ptr<URLRequest> mutableCopy() const { return copy(); }

  const std::optional<ns::URL>& URL() const { return url_; }
  void setURL(std::optional<ns::URL> url) { url_ = std::move(url); }
  const std::string& HTTPMethod() const { return method_; }
  // An empty method reads as "GET".
  void setHTTPMethod(std::string method);

  const Dictionary& allHTTPHeaderFields() const { return headers_; }
  void setAllHTTPHeaderFields(Dictionary fields);
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
  // Replaces any field of that name in any case; nothing removes it.
  void setValueForHTTPHeaderField(std::optional<std::string> value, std::string_view field);
  // Appends to an existing field as "old,new", as the platform does.
  void addValueForHTTPHeaderField(std::string value, std::string_view field);

  // Setting a body drops a body stream, and the other way round.
  const std::optional<Data>& HTTPBody() const { return body_; }
  void setHTTPBody(std::optional<Data> body);
  const std::shared_ptr<InputStream>& HTTPBodyStream() const { return bodyStream_; }
  void setHTTPBodyStream(std::shared_ptr<InputStream> stream);

  double timeoutInterval() const { return timeout_; }
  void setTimeoutInterval(double seconds) { timeout_ = seconds; }
  URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }
  bool HTTPShouldHandleCookies() const { return handleCookies_; }
  void setHTTPShouldHandleCookies(bool handle) { handleCookies_ = handle; }
  URLRequestNetworkServiceType networkServiceType() const { return serviceType_; }
  void setNetworkServiceType(URLRequestNetworkServiceType type) { serviceType_ = type; }
  // The longest the whole transfer may take once the request goes out, however steadily bytes
  // arrive (timeoutInterval bounds only the gaps between them): past it the load fails as timed
  // out. 0 or less for no bound, the default. Archiving drops it.
  double resourceTimeoutInterval() const { return resourceTimeout_; }
  void setResourceTimeoutInterval(double seconds) { resourceTimeout_ = seconds; }
  // The longest body (as decoded) its reader takes: the load fails with -1103 as soon as more
  // arrives, before the rest is received or inflated. Negative for no bound, the default; only a
  // bounded request offers the server compressed bodies.
  std::int64_t maximumBodyLength() const { return maximumBodyLength_; }
  void setMaximumBodyLength(std::int64_t length) { maximumBodyLength_ = length; }
  // Lowers that bound from the body's first bytes (as decoded), for a body whose kind says how
  // long it may be: given up to kBodyHeadLength bytes, the bound (the lower of the two counts),
  // or nullopt while it cannot tell yet; still nullopt with all of them, the bound stays. Called
  // on the loader's thread; archiving drops it.
  static constexpr std::size_t kBodyHeadLength = 64 << 10;
  using BodyLengthRule = std::function<std::optional<std::int64_t>(std::string_view head)>;
  const BodyLengthRule& bodyLengthRule() const { return bodyLengthRule_; }
  void setBodyLengthRule(BodyLengthRule rule) { bodyLengthRule_ = std::move(rule); }

  std::string describe() const override;

  // Archiving keeps everything but a body stream.
  void encodeWithCoder(KeyedArchiver& coder) override;
  std::shared_ptr<Object> initWithCoder(KeyedUnarchiver& coder) override;

 private:
  std::optional<ns::URL> url_;
  std::string method_ = "GET";
  Dictionary headers_;
  std::optional<Data> body_;
  std::shared_ptr<InputStream> bodyStream_;
  double timeout_ = kDefaultTimeoutInterval;
  URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::UseProtocolCachePolicy;
  bool handleCookies_ = true;
  std::int64_t maximumBodyLength_ = -1;
  URLRequestNetworkServiceType serviceType_ = URLRequestNetworkServiceType::Default;
  double resourceTimeout_ = 0;
  BodyLengthRule bodyLengthRule_;
};

using URLRequestPtr = std::shared_ptr<URLRequest>;

// A header field name or value that could split a request: a line break (or NUL) anywhere, and
// for names anything but the token characters.
bool isValidHTTPHeaderName(std::string_view name);
bool isValidHTTPHeaderValue(std::string_view value);

// Case-insensitive look-up in a dictionary of header fields.
const Value* findHTTPHeaderField(const Dictionary& fields, std::string_view name);

}  // namespace ns
