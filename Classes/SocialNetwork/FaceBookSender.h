#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Classes/SocialNetwork/FB/Facebook.h"
#include "Classes/SocialNetwork/ShareSheetView.h"

class NTHTTPRequestOperation;
class NTJSONRequestOperation;

// The full-screen sheet that posts a title to the user's Facebook feed: the session's login
// dialog when no valid session is stored, the identity check, the message editor and the feed
// POST. The caller adds it to its view and then calls loginToFacebook.
class FaceBookSender : public ShareSheetView, public FBSessionDelegate {
 public:
  static constexpr const char* kAccessTokenKey = "FaceBookAccessToken";
  static constexpr const char* kExpirationDateKey = "FaceBookExpirationDate";
  static constexpr double kPostDelay = 1.0;
  // The feed's answer is an id or an error object, read only for the error's code: a longer body
  // fails the post there.
  static constexpr std::int64_t kMaxFeedReplyLength = 64 * 1024;

  // Builds the progress overlay for the device and listens for a dialog closing without success.
  std::shared_ptr<FaceBookSender> initWithMessage(std::string message, std::string filmURL,
                                                  std::string image);

  void setInPlayer(bool inPlayer) { inPlayer_ = inPlayer; }

  void loginToFacebook();
  void initFacebook();
  void checkUser();
  void fbDidLogin() override;
  void fbDidLogout() override;
  // The identity check.
  void postMessage();
  void loadMessageInputView();
  void sendMessageBtnClick() override;
  void postingWithDelay();
  void postRequestWitsUserID();
  void logoutFB();
  void closeFB() { closeSheet(); }
  void dialogCanceled() { closeSheet(); }

  const std::shared_ptr<Facebook>& facebook() const { return facebook_; }
  const std::optional<std::string>& userIDString() const { return userIDString_; }
  const std::shared_ptr<ui::View>& progressOverlay() const { return overlay_; }

  // The user id of an identity reply: letters, digits and "_" only (a number as its decimal
  // text); none for anything else.
  static std::optional<std::string> userIdFromReply(const ns::Value& reply);
  // "Ошибка" / "Данные не отправлены на сервер" / "OK".
  static void showFailureAlert();

 protected:
  // The sheet over the device's frame, or the phone-only variant's over the one given.
  void build(std::optional<cg::Rect> variantFrame, std::string message, std::string filmURL,
             std::string image);
  void logoutButtonClick() override { logoutFB(); }

 private:
  void identityFailed();

  std::shared_ptr<Facebook> facebook_;
  std::optional<std::string> userIDString_;
  std::shared_ptr<ui::View> overlay_;
  std::shared_ptr<ui::ActivityIndicatorView> progressSpinner_;
  std::shared_ptr<NTJSONRequestOperation> identityCheck_;
  std::shared_ptr<NTHTTPRequestOperation> feedPost_;
  bool movedForEditor_ = false;
};
