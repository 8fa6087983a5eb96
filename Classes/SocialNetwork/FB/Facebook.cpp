#include "Classes/SocialNetwork/FB/Facebook.h"

#include <map>

#include "Classes/SocialNetwork/FB/FBConfiguration.h"
#include "Foundation/Format.h"
#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/String.h"

namespace {

std::optional<std::string> underOrigin(const std::optional<std::string>& origin, const char* path) {
  if (!origin) return std::nullopt;
  return *origin + path;
}

}  // namespace

std::optional<std::string> Facebook::kDialogBaseURL() {
  return underOrigin(FBConfiguration::dialogOrigin(), "/dialog/");
}
std::optional<std::string> Facebook::kGraphBaseURL() {
  return underOrigin(FBConfiguration::graphOrigin(), "/");
}
std::optional<std::string> Facebook::kRestserverBaseURL() {
  return underOrigin(FBConfiguration::restOrigin(), "/method/");
}

std::shared_ptr<Facebook> Facebook::initWithAppId(std::string appId) {
  appId_ = std::move(appId);
  return std::static_pointer_cast<Facebook>(shared_from_this());
}

bool Facebook::isSessionValid() const {
  return accessToken_ && expirationDate_ && *expirationDate_ > ns::Date::now();
}

void Facebook::logout(std::weak_ptr<FBSessionDelegate> delegate) {
  sessionDelegate_ = std::move(delegate);
  // Fire and forget: the running connection keeps the request alive after this session is gone.
  requestWithMethodName("auth.expireSession", {}, "GET", {});
  accessToken_.reset();
  expirationDate_.reset();
  deleteSiteCookies();
  if (auto session = sessionDelegate_.lock()) session->fbDidLogout();
}

void Facebook::deleteSiteCookies() const {
  auto origin = FBConfiguration::siteOrigin();
  auto site = origin ? ns::URL::URLWithString(*origin) : std::nullopt;
  if (!site) return;
  std::string host = ns::lowercaseString(site->host());
  // Every cookie of the site and its sub-domains, whatever its path or Secure flag: those the
  // store would send to the site's plain-http address are not all of them.
  auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
  for (const auto& cookie : storage->cookies()) {
    std::string domain = ns::lowercaseString(cookie->domain());
    if (domain.starts_with('.')) domain.erase(0, 1);
    if (domain == host || domain.ends_with("." + host)) storage->deleteCookie(cookie);
  }
}

void Facebook::requestWithParams(ns::Dictionary params, std::weak_ptr<FBRequestDelegate> delegate) {
  const ns::Value* method = params.find("method");
  if (!method) {
    ns::log("API Method must be specified");
    return;
  }
  std::string methodName = method->asString() ? *method->asString() : method->describe();
  params.remove("method");
  requestWithMethodName(methodName, std::move(params), "GET", std::move(delegate));
}

void Facebook::requestWithMethodName(const std::string& methodName, ns::Dictionary params,
                                     const std::string& httpMethod,
                                     std::weak_ptr<FBRequestDelegate> delegate) {
  auto base = kRestserverBaseURL();
  openUrl(base ? std::optional(*base + methodName) : std::nullopt, std::move(params), httpMethod,
          std::move(delegate));
}

void Facebook::requestWithGraphPath(const std::string& graphPath, std::weak_ptr<FBRequestDelegate> delegate) {
  requestWithGraphPath(graphPath, {}, "GET", std::move(delegate));
}

void Facebook::requestWithGraphPath(const std::string& graphPath, ns::Dictionary params,
                                    std::weak_ptr<FBRequestDelegate> delegate) {
  requestWithGraphPath(graphPath, std::move(params), "GET", std::move(delegate));
}

void Facebook::requestWithGraphPath(const std::string& graphPath, ns::Dictionary params,
                                    const std::string& httpMethod,
                                    std::weak_ptr<FBRequestDelegate> delegate) {
  auto base = kGraphBaseURL();
  openUrl(base ? std::optional(*base + graphPath) : std::nullopt, std::move(params), httpMethod,
          std::move(delegate));
}

void Facebook::openUrl(const std::optional<std::string>& url, ns::Dictionary params,
                       const std::string& httpMethod, std::weak_ptr<FBRequestDelegate> delegate) {
  params.set("format", "json");
  params.set("sdk", kSDK);
  params.set("sdk_version", kSDKVersion);
  if (isSessionValid()) params.set("access_token", *accessToken_);
  // A refused origin leaves no URL: the request then fails to its delegate.
  request_ =
      FBRequest::getRequestWithParams(std::move(params), httpMethod, std::move(delegate), url.value_or(""));
  request_->connect();
}

bool Facebook::handleOpenURL(const ns::URL& url) {
  if (!url.absoluteString().starts_with(ns::format("fb%@://authorize", appId_))) return false;
  std::string query = url.fragment() ? *url.fragment() : url.query().value_or("");
  std::map<std::string, std::string> params;
  for (const auto& pair : ns::componentsSeparatedByString(query, "&")) {
    // A pair without "=", or whose escapes do not decode, says nothing.
    auto equals = pair.find('=');
    if (equals == std::string::npos) continue;
    auto value = ns::removePercentEncoding(std::string_view(pair).substr(equals + 1));
    if (!value) continue;
    params[pair.substr(0, equals)] = *value;
  }
  if (auto token = params.find("access_token"); token != params.end()) {
    ns::Date expiry = ns::Date::distantFuture();
    if (auto expiresIn = params.find("expires_in"); expiresIn != params.end()) {
      int seconds = ns::Value(expiresIn->second).intValue();
      if (seconds != 0) expiry = ns::Date::now().dateByAddingTimeInterval(seconds);
    }
    fbDialogLogin(token->second, expiry);
    return true;
  }
  auto error = params.find("error");
  bool cancelled =
      !params.contains("error_code") && (error == params.end() || error->second == "access_denied");
  fbDialogNotLogin(cancelled);
  return true;
}

void Facebook::fbDialogLogin(const std::string& token, std::optional<ns::Date> expirationDate) {
  setAccessToken(token);
  setExpirationDate(expirationDate);
  if (auto session = sessionDelegate_.lock()) session->fbDidLogin();
}

void Facebook::fbDialogNotLogin(bool cancelled) {
  if (auto session = sessionDelegate_.lock()) session->fbDidNotLogin(cancelled);
}

void Facebook::requestDidFailWithError(FBRequest&, const ns::ErrorPtr&) {
  ns::log("Failed to expire the session");
}
