#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Classes/SocialNetwork/ShareSheetView.h"
#include "UIKit/WebView.h"

class NTHTTPRequestOperation;

// The full-screen sheet that posts a title to the user's VKontakte wall: the OAuth login page in
// a web view, the token cut from its redirect, the message editor, and the wall post as one GET.
class VkontakteWebView : public ShareSheetView, public ui::WebViewDelegate {
 public:
  static constexpr const char* kAccessTokenKey = "VKontakteAccessToken";
  static constexpr double kPostDelay = 2.0;
  // The wall post's answer is a post id or an error object: a longer body fails the post there.
  static constexpr std::int64_t kMaxWallPostReplyLength = 64 * 1024;

  // Builds the sheet for the device and starts the login.
  std::shared_ptr<VkontakteWebView> initWithMessage(std::string message, std::string filmURL,
                                                    std::string image);

  // On a phone, NO moves the sheet 44 pt down (44 pt lower) and makes the panel 59 pt lower.
  void setInPlayer(bool inPlayer);

  const std::optional<std::string>& accessToken() const { return access_token_; }
  bool isProgress() const { return isProgress_; }
  bool isLogout() const { return isLogout_; }
  const std::shared_ptr<ui::WebView>& webView() const { return webView_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityInput() const { return activityInput_; }

  // Loads the authorisation page.
  void goRequest();
  void webViewDidFinishLoad(ui::WebView& webView) override;
  void webViewDidFailLoadWithError(ui::WebView& webView, const ns::ErrorPtr& error) override;

  void loadMessageInputView();
  void sendMessageBtnClick() override;
  void postAfterDelay();
  void closeVK() { closeSheet(); }
  void logoutVK();
  void showAlertAndClose();
  // Takes the stored token and logs in again.
  void postMessage();

  // The wall post's URL: every value escaped as a query value; none when the origin is refused.
  static std::optional<std::string> wallPostURL(const std::string& message, const std::string& attachments,
                                                const std::string& accessToken);
  // The failure alert: "Ошибка!" / "Сервер временно недоступен." / "Ок".
  static void showFailureAlert();

 protected:
  // The sheet over the device's frame, or the phone-only variant's over the one given.
  void build(std::optional<cg::Rect> variantFrame, std::string message, std::string filmURL,
             std::string image);
  void logoutButtonClick() override { logoutVK(); }

 private:
  // The token of the re-fetched page: stored and taken as the sheet's.
  void storeToken(const std::optional<std::string>& token);

  std::optional<std::string> access_token_;
  bool isProgress_ = false;
  bool isLogout_ = false;
  bool isVkontakte_ = false;
  std::shared_ptr<ui::WebView> webView_;
  std::shared_ptr<ui::ActivityIndicatorView> activityInput_;
  std::shared_ptr<ui::View> logoutCover_;
  std::shared_ptr<NTHTTPRequestOperation> refetch_;
};
