#include "Classes/SocialNetwork/FB/FBConfiguration.h"

#include <stdlib.h>

#include "Foundation/Format.h"
#include "Foundation/String.h"

#ifndef VCC_DEFAULT_FB_DIALOG_ORIGIN
#define VCC_DEFAULT_FB_DIALOG_ORIGIN "http://fb.localhost:8091"
#endif
#ifndef VCC_DEFAULT_FB_GRAPH_ORIGIN
#define VCC_DEFAULT_FB_GRAPH_ORIGIN "http://fb.localhost:8091"
#endif
#ifndef VCC_DEFAULT_FB_REST_ORIGIN
#define VCC_DEFAULT_FB_REST_ORIGIN "http://fb.localhost:8091"
#endif
#ifndef VCC_DEFAULT_FB_VIDEO_ORIGIN
#define VCC_DEFAULT_FB_VIDEO_ORIGIN "http://fb.localhost:8091"
#endif
#ifndef VCC_DEFAULT_FB_SITE_ORIGIN
#define VCC_DEFAULT_FB_SITE_ORIGIN "http://fb.localhost:8091"
#endif
#ifndef VCC_DEFAULT_FB_APP_ID
#define VCC_DEFAULT_FB_APP_ID "100000000000001"
#endif

namespace {

std::string setting(const char* name, const char* builtIn) {
  const char* configured = getenv(name);
  return configured && *configured ? configured : builtIn;
}

std::optional<std::string> origin(const char* name, const char* builtIn) {
  return FBConfiguration::checkedOrigin(name, setting(name, builtIn));
}

}  // namespace

std::optional<std::string> FBConfiguration::dialogOrigin() {
  return origin("VCC_FB_DIALOG_ORIGIN", VCC_DEFAULT_FB_DIALOG_ORIGIN);
}
std::optional<std::string> FBConfiguration::graphOrigin() {
  return origin("VCC_FB_GRAPH_ORIGIN", VCC_DEFAULT_FB_GRAPH_ORIGIN);
}
std::optional<std::string> FBConfiguration::restOrigin() {
  return origin("VCC_FB_REST_ORIGIN", VCC_DEFAULT_FB_REST_ORIGIN);
}
std::optional<std::string> FBConfiguration::videoUploadOrigin() {
  return origin("VCC_FB_VIDEO_ORIGIN", VCC_DEFAULT_FB_VIDEO_ORIGIN);
}
std::optional<std::string> FBConfiguration::siteOrigin() {
  return origin("VCC_FB_SITE_ORIGIN", VCC_DEFAULT_FB_SITE_ORIGIN);
}
std::string FBConfiguration::appId() { return setting("VCC_FB_APP_ID", VCC_DEFAULT_FB_APP_ID); }

bool FBConfiguration::isLoopbackHost(std::string_view host) {
  std::string h = ns::lowercaseString(host);
  if (h.size() > 1 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  if (h == "localhost" || h.ends_with(".localhost") || h == "::1") return true;
  // Dotted IPv4 in 127.0.0.0/8.
  auto parts = ns::componentsSeparatedByString(h, ".");
  if (parts.size() != 4 || parts[0] != "127") return false;
  for (const auto& part : parts) {
    if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos)
      return false;
    if (std::stoi(part) > 255) return false;
  }
  return true;
}

bool FBConfiguration::isSecureOrLoopback(const ns::URL& url) {
  std::string scheme = ns::lowercaseString(url.scheme().value_or(""));
  if (scheme == "https") return !url.host().empty();
  return scheme == "http" && isLoopbackHost(url.host());
}

std::optional<std::string> FBConfiguration::checkedOrigin(std::string_view name, std::string_view text) {
  std::string trimmed(text);
  if (trimmed.ends_with('/')) trimmed.pop_back();
  auto url = ns::URL::URLWithString(trimmed);
  std::string scheme = url ? ns::lowercaseString(url->scheme().value_or("")) : "";
  if (!url || (scheme != "http" && scheme != "https") || url->host().empty() ||
      !url->percentEncodedPath().empty() || url->query() || url->fragment() || url->user()) {
    ns::log("%@ is not an origin (scheme://host[:port]): %@", name, text);
    return std::nullopt;
  }
  if (!isSecureOrLoopback(*url)) {
    ns::log("%@ refused: plain http to %@, which is not the loopback", name, url->host());
    return std::nullopt;
  }
  return trimmed;
}
