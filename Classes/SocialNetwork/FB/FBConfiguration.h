#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/URL.h"

// Where the Facebook client finds its peer. Each origin ("scheme://host[:port]") and the
// application id is a build setting that an environment variable of the same name overrides at
// run time (VCC_FB_DIALOG_ORIGIN, VCC_FB_GRAPH_ORIGIN, VCC_FB_REST_ORIGIN, VCC_FB_VIDEO_ORIGIN,
// VCC_FB_SITE_ORIGIN, VCC_FB_APP_ID). Tokens and session keys travel to these origins, so an
// origin must be https, or http on the loopback (the local fakes); any other origin is refused
// with a log line and reads as none.
class FBConfiguration final {
 public:
  static std::optional<std::string> dialogOrigin();
  static std::optional<std::string> graphOrigin();
  static std::optional<std::string> restOrigin();
  static std::optional<std::string> videoUploadOrigin();
  // The site whose cookies hold the login.
  static std::optional<std::string> siteOrigin();
  static std::string appId();

  // Whether a request to url may carry a credential: https, or http to a loopback host.
  static bool isSecureOrLoopback(const ns::URL& url);
  // 127.0.0.0/8, ::1, "localhost" and the names under it.
  static bool isLoopbackHost(std::string_view host);
  // The origin as configured (without a trailing "/"), or none with a log line naming the setting.
  static std::optional<std::string> checkedOrigin(std::string_view setting, std::string_view origin);
};
