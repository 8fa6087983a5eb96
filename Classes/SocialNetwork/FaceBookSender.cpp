#include "Classes/SocialNetwork/FaceBookSender.h"

#include "Classes/SocialNetwork/FB/FBConfiguration.h"
#include "Classes/SocialNetwork/FB/FBDialog.h"
#include "Foundation/Bundle.h"
#include "Foundation/Format.h"
#include "Foundation/JSONSerialization.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/PropertyList.h"
#include "Foundation/URLRequest.h"
#include "Foundation/UserDefaults.h"
#include "NTNetworking/NTHTTPClient.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "UIKit/AlertView.h"
#include "UIKit/Device.h"

namespace {

bool isIdText(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '_') return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<FaceBookSender> FaceBookSender::initWithMessage(std::string message, std::string filmURL,
                                                                std::string image) {
  build(std::nullopt, std::move(message), std::move(filmURL), std::move(image));
  return self<FaceBookSender>();
}

void FaceBookSender::build(std::optional<cg::Rect> variantFrame, std::string message, std::string filmURL,
                           std::string image) {
  setUpSheet(variantFrame, std::move(message), std::move(filmURL), std::move(image));
  cg::Rect sheet = frame();
  // The overlay only stops touches; it stays under the editor for the sheet's whole life, its
  // spinner turning only while no editor stands over it.
  auto overlay = ui::Button::buttonWithType(ui::ButtonType::custom);
  overlay->setFrame(phoneVariant_ ? cg::Rect{0, 0, sheet.width(), sheet.height()}
                                  : cg::Rect{0, 0, 1024, 1024});
  overlay->setBackgroundColor(ui::Color::blackColor());
  overlay->setAlpha(0.8);
  auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::whiteLarge);
  spinner->setFrame(phoneVariant_ ? cg::Rect{sheet.width() / 2 - 10, sheet.height() / 2 - 10, 20, 20}
                                  : cg::Rect{sheet.width() / 2 - 20, sheet.height() / 2 - 30, 40, 40});
  spinner->startAnimating();
  overlay->addSubview(spinner);
  addSubview(overlay);
  overlay_ = overlay;
  progressSpinner_ = spinner;

  std::weak_ptr<FaceBookSender> weak = self<FaceBookSender>();
  ns::NotificationCenter::defaultCenter()->addObserver(
      self<FaceBookSender>(),
      [weak](const ns::Notification&) {
        if (auto me = weak.lock()) me->dialogCanceled();
      },
      kFBDialogCanceledNotification);
}

void FaceBookSender::loginToFacebook() {
  initFacebook();
  checkUser();
}

void FaceBookSender::initFacebook() {
  if (facebook_) return;
  facebook_ = std::make_shared<Facebook>()->initWithAppId(FBConfiguration::appId());
  auto defaults = ns::UserDefaults::standardUserDefaults();
  facebook_->setAccessToken(defaults->stringForKey(kAccessTokenKey));
  auto expiry = defaults->objectForKey(kExpirationDateKey);
  facebook_->setExpirationDate(expiry.asDate() ? std::optional(*expiry.asDate()) : std::nullopt);
}

void FaceBookSender::checkUser() {
  if (isClosed() || !facebook_) return;
  if (facebook_->isSessionValid()) {
    postMessage();
    return;
  }
  std::optional<std::vector<std::string>> permissions;
  if (auto path = ns::Bundle::mainBundle()->pathForResource("FBpermissions", "plist")) {
    if (auto plist = ns::dictionaryWithContentsOfFile(*path)) {
      if (const ns::Array* names = (*plist)["facebookPermissions"].asArray()) {
        permissions.emplace();
        for (const auto& name : *names)
          if (auto text = name.asString()) permissions->push_back(*text);
      }
    }
  }
  facebook_->authorize(permissions, std::static_pointer_cast<FBSessionDelegate>(self<FaceBookSender>()));
}

void FaceBookSender::fbDidLogin() {
  if (isClosed() || !facebook_) return;
  auto defaults = ns::UserDefaults::standardUserDefaults();
  if (auto token = facebook_->accessToken())
    defaults->setObject(*token, kAccessTokenKey);
  else
    defaults->removeObjectForKey(kAccessTokenKey);
  if (auto expiry = facebook_->expirationDate())
    defaults->setObject(*expiry, kExpirationDateKey);
  else
    defaults->removeObjectForKey(kExpirationDateKey);
  defaults->synchronize();
  postMessage();
}

void FaceBookSender::fbDidLogout() {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->removeObjectForKey(kExpirationDateKey);
  defaults->removeObjectForKey(kAccessTokenKey);
  defaults->synchronize();
  closeFB();
}

std::optional<std::string> FaceBookSender::userIdFromReply(const ns::Value& reply) {
  const ns::Value& id = reply["id"];
  if (id.isInteger()) return std::to_string(id.integerValue());
  if (auto text = id.asString(); text && isIdText(*text)) return *text;
  return std::nullopt;
}

void FaceBookSender::showFailureAlert() {
  std::make_shared<ui::AlertView>()
      ->initWithTitle("Ошибка", "Данные не отправлены на сервер", {}, "OK", {})
      ->show();
}

void FaceBookSender::identityFailed() {
  showFailureAlert();
  closeFB();
}

void FaceBookSender::postMessage() {
  if (isClosed() || !facebook_) return;
  auto origin = FBConfiguration::graphOrigin();
  auto url = origin ? ns::URL::URLWithString(*origin + "/me?fields=id&access_token=" +
                                             ns::addPercentEncoding(facebook_->accessToken().value_or(""),
                                                                    ns::kURLUnreservedCharacters))
                    : std::nullopt;
  if (!url) {
    identityFailed();
    return;
  }
  std::weak_ptr<FaceBookSender> weak = self<FaceBookSender>();
  identityCheck_ = NTJSONRequestOperation::JSONRequestOperationWithRequest(
      ns::URLRequest::requestWithURL(*url),
      [weak](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& JSON) {
        auto me = weak.lock();
        if (!me || me->isClosed()) return;
        me->userIDString_ = userIdFromReply(JSON);
        if (!me->userIDString_) {
          ns::log("Facebook identity reply without a usable id");
          me->identityFailed();
          return;
        }
        me->loadMessageInputView();
        // As a composer does, the editor opens with the keyboard up and the caret after the message.
        if (me->messageField_) me->messageField_->becomeFirstResponder();
      },
      [weak](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr&,
             const ns::Value& JSON) {
        auto me = weak.lock();
        if (!me || me->isClosed()) return;
        if (!JSON["error"].isNil()) {
          me->facebook_->setAccessToken(std::nullopt);
          me->checkUser();
          return;
        }
        me->identityFailed();
      });
  identityCheck_->start();
}

void FaceBookSender::loadMessageInputView() {
  if (contentView_) return;
  cg::Size panel;
  if (phoneVariant_) {
    panel = frame().size;
  } else {
    panel = panelSizeForDevice();
    if (!ui::isPad()) panel.height -= 59.0;
    // A second editor (after a new login) finds the sheet moved already.
    if (!ui::isPad() && !movedForEditor_) {
      movedForEditor_ = true;
      cg::Rect sheet = frame();
      setFrame({sheet.x(), sheet.y() + 44, sheet.width(), sheet.height() - 44});
      // The dimming still starts at the host's top, over what the sheet left above it.
      if (overlay_) {
        cg::Rect dim = overlay_->frame();
        overlay_->setFrame({dim.x(), dim.y() - 44, dim.width(), dim.height() + 44});
        for (const auto& spinner : overlay_->subviews()) spinner->setFrame(spinner->frame().offsetBy(0, 44));
      }
    }
  }
  double x = phoneVariant_ ? 0 : (frame().width() - panel.width) / 2;
  double y = !phoneVariant_ && inPlayer_ ? 70.0 : 0.0;
  // Below the player's upper bar where there is room; on a phone the panel moves up so that its
  // buttons stay on the screen.
  cg::Rect placed = panelWithinSheet({x, y, panel.width, panel.height});
  panel = placed.size;
  makePanel(placed);

  double editorWidth = panel.width - 16;
  cg::Rect field = phoneVariant_ ? cg::Rect{10, 175, editorWidth - 15, 150}
                                 : cg::Rect{10, 175, panel.width - 30, panel.height - 175 - 80};
  unsigned buttons = phoneVariant_ ? ui::ViewAutoresizingNone : ui::ViewAutoresizingFlexibleTopMargin;
  loadMessageEditor({"fbLogo.png", 115, 17, field, buttons}, panel.width, panel.height);
  closeButton_ = makeCloseButton(panel.width);
  contentView_->addSubview(closeButton_);
  if (progressSpinner_) progressSpinner_->stopAnimating();
}

void FaceBookSender::sendMessageBtnClick() {
  std::weak_ptr<FaceBookSender> weak = self<FaceBookSender>();
  beginSend(kPostDelay, [weak] {
    if (auto me = weak.lock()) me->postingWithDelay();
  });
}

void FaceBookSender::postingWithDelay() {
  if (isClosed()) return;
  if (messageField_) message_ = messageField_->text();
  postRequestWitsUserID();
}

void FaceBookSender::postRequestWitsUserID() {
  auto origin = FBConfiguration::graphOrigin();
  auto base = origin && userIDString_ ? ns::URL::URLWithString(*origin + "/" + *userIDString_ + "/feed")
                                      : std::nullopt;
  if (!base || !facebook_) {
    showFailureAlert();
    endSend();
    return;
  }
  auto client = std::make_shared<NTHTTPClient>()->initWithBaseURL(base);
  auto request =
      client->requestWithMethod("POST", "",
                                ns::Dictionary{{"message", message_},
                                               {"access_token", facebook_->accessToken().value_or("")},
                                               {"link", filmURL_}});
  feedPost_ = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(request);
  feedPost_->limitResponseLength(kMaxFeedReplyLength);
  std::weak_ptr<FaceBookSender> weak = self<FaceBookSender>();
  feedPost_->setCompletionBlockWithSuccess(
      [weak](const std::shared_ptr<NTHTTPRequestOperation>&, const ns::Value&) {
        if (auto me = weak.lock()) me->closeFB();
      },
      [weak](const std::shared_ptr<NTHTTPRequestOperation>& operation, const ns::ErrorPtr&) {
        auto me = weak.lock();
        if (!me || me->isClosed()) return;
        auto json = ns::JSONSerialization::JSONObjectWithData(operation->responseData().value_or(ns::Data()));
        const ns::Value& error = json["error"];
        if (error.isDictionary() && error["code"].isNumber() && error["code"].integerValue() == 200) {
          // The permission was withdrawn: a new login, then a new identity check and editor.
          me->endSend();
          if (me->progressSpinner_) me->progressSpinner_->startAnimating();
          me->contentView_->removeFromSuperview();
          me->contentView_.reset();
          me->messageInputView_.reset();
          me->messageField_.reset();
          me->facebook_->logout({});
          me->checkUser();
          return;
        }
        showFailureAlert();
        me->endSend();
      });
  feedPost_->start();
}

void FaceBookSender::logoutFB() {
  if (facebook_) facebook_->logout(std::static_pointer_cast<FBSessionDelegate>(self<FaceBookSender>()));
}
