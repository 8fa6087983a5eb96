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

std::optional<std::string> VKConfiguration::authorizeURL(const std::optional<std::string>& origin,
                                                         long long appId) {
  if (!origin) return std::nullopt;
  auto url = ns::URL::URLWithString(*origin);
  if (!url) return std::nullopt;
  std::string host = url->host();
  if (auto port = url->port()) host += ":" + std::to_string(*port);
  // The redirect is only matched by the page, never fetched with anything secret.
  return *origin + ns::format("/oauth/authorize?client_id=%lld&scope=%d&redirect_uri=http://", appId, 8192) +
         host + "/blank.html&display=touch&response_type=token";
}
