#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/SocialNetwork/FB/FBRequest.h"
#include "Foundation/Date.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

// What a session tells its owner about logging in and out.
class FBSessionDelegate {
 public:
  virtual ~FBSessionDelegate() = default;
  virtual void fbDidLogin() {}
  virtual void fbDidNotLogin(bool /*cancelled*/) {}
  virtual void fbDidLogout() {}
};

// The client-side Facebook session: the application id, the access token and its expiry; it ends
// a session (server call, token, cookies) and builds Graph and REST requests. Main thread only.
class Facebook final : public ns::Object, public FBRequestDelegate {
 public:
  static constexpr const char* kSDK = "ios";
  static constexpr const char* kSDKVersion = "2";
  static constexpr const char* kRedirectURL = "fbconnect://success";
  static constexpr const char* kLogin = "oauth";
  static constexpr const char* kFBAppAuthURL = "fbauth://authorize";
  // From the configured origins; none when the origin is refused.
  static std::optional<std::string> kDialogBaseURL();
  static std::optional<std::string> kGraphBaseURL();
  static std::optional<std::string> kRestserverBaseURL();

  std::shared_ptr<Facebook> initWithAppId(std::string appId);
  const std::string& appId() const { return appId_; }

  const std::optional<std::string>& accessToken() const { return accessToken_; }
  void setAccessToken(std::optional<std::string> token) { accessToken_ = std::move(token); }
  const std::optional<ns::Date>& expirationDate() const { return expirationDate_; }
  void setExpirationDate(std::optional<ns::Date> date) { expirationDate_ = date; }
  std::shared_ptr<FBSessionDelegate> sessionDelegate() const { return sessionDelegate_.lock(); }
  void setSessionDelegate(std::weak_ptr<FBSessionDelegate> delegate) {
    sessionDelegate_ = std::move(delegate);
  }
  // The last request started; kept until the next one replaces it.
  const FBRequestPtr& request() const { return request_; }

  // A token and an expiry later than now.
  bool isSessionValid() const;
  // Tells the server to expire the token (sent only while the session is valid; the reply is not
  // read), forgets token and expiry, deletes the site's cookies and tells the delegate, which may
  // be none.
  void logout(std::weak_ptr<FBSessionDelegate> delegate);

  // Each starts its request at once. A REST call needs "method" among the parameters.
  void requestWithParams(ns::Dictionary params, std::weak_ptr<FBRequestDelegate> delegate);
  void requestWithMethodName(const std::string& methodName, ns::Dictionary params,
                             const std::string& httpMethod, std::weak_ptr<FBRequestDelegate> delegate);
  void requestWithGraphPath(const std::string& graphPath, std::weak_ptr<FBRequestDelegate> delegate);
  void requestWithGraphPath(const std::string& graphPath, ns::Dictionary params,
                            std::weak_ptr<FBRequestDelegate> delegate);
  void requestWithGraphPath(const std::string& graphPath, ns::Dictionary params,
                            const std::string& httpMethod, std::weak_ptr<FBRequestDelegate> delegate);

  // Completes a login handed back by another application under "fb<app id>://authorize".
  bool handleOpenURL(const ns::URL& url);

  // Login outcomes.
  void fbDialogLogin(const std::string& token, std::optional<ns::Date> expirationDate);
  void fbDialogNotLogin(bool cancelled);

  void requestDidFailWithError(FBRequest& request, const ns::ErrorPtr& error) override;

 private:
  void openUrl(const std::optional<std::string>& url, ns::Dictionary params, const std::string& httpMethod,
               std::weak_ptr<FBRequestDelegate> delegate);
  void deleteSiteCookies() const;

  std::optional<std::string> accessToken_;
  std::optional<ns::Date> expirationDate_;
  std::weak_ptr<FBSessionDelegate> sessionDelegate_;
  FBRequestPtr request_;
  std::string appId_;
};
