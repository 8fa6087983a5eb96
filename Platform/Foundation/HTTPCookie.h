#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Date.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

namespace ns {

// Property keys of cookieWithProperties (the platform's strings).
inline constexpr const char* kHTTPCookieName = "Name";
inline constexpr const char* kHTTPCookieValue = "Value";
inline constexpr const char* kHTTPCookieDomain = "Domain";
inline constexpr const char* kHTTPCookiePath = "Path";
inline constexpr const char* kHTTPCookieExpires = "Expires";
inline constexpr const char* kHTTPCookieMaximumAge = "Max-Age";
inline constexpr const char* kHTTPCookieSecure = "Secure";
inline constexpr const char* kHTTPCookieDiscard = "Discard";
inline constexpr const char* kHTTPCookieOriginURL = "OriginURL";

// One cookie. A cookie set with a Domain attribute keeps it with a leading "." (".vk.com") and
// also matches the sub-domains; a host-only cookie keeps the bare host.
class HTTPCookie final : public Object {
 public:
  // nullptr unless the properties give a name, a value and a domain (or an origin URL).
  static std::shared_ptr<HTTPCookie> cookieWithProperties(const Dictionary& properties);
  // What one response may set: its first cookies, within a count and their text's length. A
  // server that sends more gets the first ones stored, and reading the rest costs nothing.
  static constexpr std::size_t kMaxCookiesPerResponse = 50;
  static constexpr std::size_t kMaxCookieBytesPerResponse = 64 * 1024;
  // A cookie whose name and value together are longer is refused, as is one with a control
  // character; servers refuse request headers much longer than a few kilobytes.
  static constexpr std::size_t kMaxNameAndValueBytes = 4096;
  // The longest Cookie field sent: it fits, with its name, in the 8 KB line servers commonly take.
  static constexpr std::size_t kMaxRequestHeaderBytes = 8000;

  // The first acceptable cookies of the Set-Cookie fields of a response from url (a field holding
  // several cookies separated by commas included), within the bounds above.
  static std::vector<std::shared_ptr<HTTPCookie>> cookiesWithResponseHeaderFields(
      const Dictionary& headerFields, const URL& url);
  // One Set-Cookie value; nullptr when malformed or when its Domain does not cover url's host.
  static std::shared_ptr<HTTPCookie> cookieWithSetCookieValue(std::string_view setCookie, const URL& url);
  // {"Cookie": "a=1; b=2"}, or empty without cookies; cookies that would take the value past
  // kMaxRequestHeaderBytes are left out.
  static Dictionary requestHeaderFieldsWithCookies(const std::vector<std::shared_ptr<HTTPCookie>>& cookies);

  const std::string& name() const { return name_; }
  const std::string& value() const { return value_; }
  const std::string& domain() const { return domain_; }
  const std::string& path() const { return path_; }
  const std::optional<Date>& expiresDate() const { return expires_; }
  bool isSecure() const { return secure_; }
  bool isHTTPOnly() const { return httpOnly_; }
  bool isSessionOnly() const { return !expires_; }
  Dictionary properties() const;

  // Whether the cookie goes with a request to url now (domain, path, Secure, expiry).
  bool matchesURL(const URL& url, Date now) const;
  bool isExpired(Date now) const { return expires_ && *expires_ <= now; }
  // Cookies with the same name, domain and path replace each other.
  bool sameIdentity(const HTTPCookie& other) const;
  std::string describe() const override;

 private:
  std::string name_;
  std::string value_;
  std::string domain_;
  std::string path_ = "/";
  std::optional<Date> expires_;
  bool secure_ = false;
  bool httpOnly_ = false;
};

using HTTPCookiePtr = std::shared_ptr<HTTPCookie>;

}  // namespace ns
