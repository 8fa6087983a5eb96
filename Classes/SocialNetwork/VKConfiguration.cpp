#include "Classes/SocialNetwork/VKConfiguration.h"

#include <stdlib.h>

#include "Classes/SocialNetwork/FB/FBConfiguration.h"
#include "Foundation/Format.h"
#include "Foundation/URL.h"

#ifndef VCC_DEFAULT_VK_ORIGIN
#define VCC_DEFAULT_VK_ORIGIN "http://vk.localhost:8092"
#endif
#ifndef VCC_DEFAULT_VK_APP_ID
#define VCC_DEFAULT_VK_APP_ID "1000001"
#endif
#ifndef VCC_DEFAULT_VK_COOKIE_SUFFIX
#define VCC_DEFAULT_VK_COOKIE_SUFFIX ".vk.localhost"
#endif

namespace {

std::string setting(const char* name, const char* builtIn) {
  const char* configured = getenv(name);
  return configured && *configured ? configured : builtIn;
}

}  // namespace

std::optional<std::string> VKConfiguration::checkedOrigin(const std::string& text) {
  std::string origin = text.find("://") == std::string::npos ? "https://" + text : text;
  return FBConfiguration::checkedOrigin("VCC_VK_ORIGIN", origin);
}

std::optional<std::string> VKConfiguration::origin() {
  return checkedOrigin(setting("VCC_VK_ORIGIN", VCC_DEFAULT_VK_ORIGIN));
}

long long VKConfiguration::appId() {
  std::string text = setting("VCC_VK_APP_ID", VCC_DEFAULT_VK_APP_ID);
  char* end = nullptr;
  long long id = strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || id <= 0) {
    ns::log("VCC_VK_APP_ID is not a positive integer: %@", text);
    return 0;
  }
  return id;
}

std::string VKConfiguration::cookieDomainSuffix() {
  return setting("VCC_VK_COOKIE_SUFFIX", VCC_DEFAULT_VK_COOKIE_SUFFIX);
}

namespace {

// The host of an origin with its port when it names one: "host[:port]".
std::optional<std::string> hostAndPort(const std::optional<std::string>& origin) {
  auto url = origin ? ns::URL::URLWithString(*origin) : std::nullopt;
  if (!url || url->host().empty()) return std::nullopt;
  std::string host = url->host();
  if (auto port = url->port()) host += ":" + std::to_string(*port);
  return host;
}

std::string lowercased(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

}  // namespace

std::optional<std::string> VKConfiguration::authorizeURL(const std::optional<std::string>& origin,
                                                         long long appId) {
  auto redirect = redirectURI(origin);
  if (!redirect) return std::nullopt;
  // The redirect is only matched by the page, never fetched with anything secret.
  return *origin + ns::format("/oauth/authorize?client_id=%lld&scope=%d&redirect_uri=", appId, 8192) +
         *redirect + "&display=touch&response_type=token";
}

std::optional<std::string> VKConfiguration::redirectURI(const std::optional<std::string>& origin) {
  auto host = hostAndPort(origin);
  if (!host) return std::nullopt;
  return "http://" + *host + "/blank.html";
}

bool VKConfiguration::isRedirect(const std::string& pageURL, const std::optional<std::string>& origin) {
  auto expected = hostAndPort(origin);
  auto page = ns::URL::URLWithString(pageURL);
  if (!expected || !page || !page->scheme()) return false;
  std::string scheme = lowercased(*page->scheme());
  if (scheme != "http" && scheme != "https") return false;
  // Credentials in the address would make the host read differently elsewhere.
  if (page->user() || page->password()) return false;
  auto host = hostAndPort(pageURL);
  return host && lowercased(*host) == lowercased(*expected) && page->path() == "/blank.html";
}
