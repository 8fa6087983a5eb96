#pragma once

#include <optional>
#include <string>

// Where the VKontakte sheet finds its peer; each value is a build setting that an environment
// variable of the same name overrides at run time:
//   VCC_VK_ORIGIN         "scheme://host[:port]", or "host[:port]" for https
//   VCC_VK_APP_ID         the application's client id (an integer)
//   VCC_VK_COOKIE_SUFFIX  the domain suffix of the site's login cookies (".<site domain>")
// The token and the password travel to the origin, so it must be https, or http on the loopback
// (the local fake); any other origin is refused with a log line and reads as none.
class VKConfiguration final {
 public:
  static std::optional<std::string> origin();
  static long long appId();
  static std::string cookieDomainSuffix();

  // The origin text checked as above; "host[:port]" alone means https.
  static std::optional<std::string> checkedOrigin(const std::string& text);
  // The authorisation page of the origin, or none when the origin is refused.
  static std::optional<std::string> authorizeURL(const std::optional<std::string>& origin, long long appId);
  // Where that page sends the token: "http://<the origin's host[:port]>/blank.html".
  static std::optional<std::string> redirectURI(const std::optional<std::string>& origin);
  // Whether a page's address is that redirect, over http or https: the one page whose token the
  // sheet takes. Any other page, a look-alike host or another port included, carries none.
  static bool isRedirect(const std::string& pageURL, const std::optional<std::string>& origin);
};
