#include "Classes/SocialNetwork/VkontakteWebView.h"

#include "Classes/SocialNetwork/VKConfiguration.h"
#include "Foundation/Format.h"
#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/JSONSerialization.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/URLRequest.h"
#include "Foundation/UserDefaults.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "UIKit/AlertView.h"
#include "UIKit/Device.h"

namespace {

std::string queryValue(const std::string& text) {
  return ns::addPercentEncoding(text, ns::kURLUnreservedCharacters);
}

// The token of the authorisation's redirect; any other page's "access_token" is not ours to take.
std::optional<std::string> tokenInURL(const std::string& url) {
  if (!VKConfiguration::isRedirect(url, VKConfiguration::origin())) return std::nullopt;
  return ShareSheetView::stringBetweenString("access_token=", "&", url);
}

// A reply text for the log, with the token (as sent, escaped or not) masked.
std::string masked(std::string text, const std::string& token) {
  if (token.empty()) return text;
  for (const std::string& form : {token, queryValue(token)}) {
    for (std::size_t at = text.find(form); at != std::string::npos; at = text.find(form, at + 3))
      text.replace(at, form.size(), "***");
  }
  return text;
}

}  // namespace

std::shared_ptr<VkontakteWebView> VkontakteWebView::initWithMessage(std::string message, std::string filmURL,
                                                                    std::string image) {
  build(std::nullopt, std::move(message), std::move(filmURL), std::move(image));
  return self<VkontakteWebView>();
}

void VkontakteWebView::build(std::optional<cg::Rect> variantFrame, std::string message, std::string filmURL,
                             std::string image) {
  setUpSheet(variantFrame, std::move(message), std::move(filmURL), std::move(image));
  isLogout_ = false;
  cg::Rect sheet = frame();
  auto dimming = std::make_shared<ui::View>()->initWithFrame({0, 0, sheet.width(), sheet.height()});
  dimming->setBackgroundColor(ui::Color::blackColor());
  dimming->setAlpha(0.8);
  if (!phoneVariant_)
    dimming->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  addSubview(dimming);
  isProgress_ = false;
  isVkontakte_ = true;

  // The variant's panel takes the whole frame it was given.
  cg::Size panel = phoneVariant_ ? sheet.size : panelSizeForDevice();
  double x = phoneVariant_ ? (sheet.width() - 320) / 2 : (sheet.width() - panel.width) / 2;
  makePanel({x, 0, panel.width, panel.height});

  webView_ = std::make_shared<ui::WebView>()->initWithFrame({8, 8, panel.width - 16, panel.height - 16});
  webView_->setDelegate(std::static_pointer_cast<ui::WebViewDelegate>(self<VkontakteWebView>()));
  webView_->setBackgroundColor(ui::Color::clearColor());
  if (!phoneVariant_)
    webView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  bgView_->addSubview(webView_);

  double webWidth = webView_->frame().width(), webHeight = webView_->frame().height();
  activityInput_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::gray);
  activityInput_->setFrame(phoneVariant_ ? cg::Rect{webWidth / 2 - 10, webHeight / 2 - 10, 20, 20}
                                         : cg::Rect{webWidth / 2 - 20, webHeight / 2 - 30, 40, 40});
  activityInput_->startAnimating();
  webView_->addSubview(activityInput_);

  closeButton_ = makeCloseButton(panel.width);
  contentView_->addSubview(closeButton_);
  goRequest();
}

void VkontakteWebView::setInPlayer(bool inPlayer) {
  inPlayer_ = inPlayer;
  if (ui::isPad() || inPlayer) return;
  cg::Rect sheet = frame();
  setFrame({sheet.x(), sheet.y() + 44, sheet.width(), sheet.height() - 44});
  cg::Rect panel = contentView_->frame();
  contentView_->setFrame({panel.x(), panel.y(), panel.width(), panel.height() - 59});
}

void VkontakteWebView::goRequest() {
  if (!isVkontakte_) return;
  auto url = VKConfiguration::authorizeURL(VKConfiguration::origin(), VKConfiguration::appId());
  auto parsed = url ? ns::URL::URLWithString(*url) : std::nullopt;
  if (!parsed) {
    ns::log("VKontakte login refused: no usable origin");
    showAlertAndClose();
    return;
  }
  webView_->loadRequest(ns::URLRequest::requestWithURL(*parsed));
  isProgress_ = true;
}

void VkontakteWebView::webViewDidFinishLoad(ui::WebView& webView) {
  if (isClosed()) return;
  auto keep = self<VkontakteWebView>();
  activityInput_->stopAnimating();
  activityInput_->setHidden(true);
  auto request = webView.request();
  std::string url = request && request->URL() ? request->URL()->absoluteString() : std::string();
  access_token_ = tokenInURL(url);
  if (stringBetweenString("error=", "&", url) == std::optional<std::string>("access_denied")) {
    closeVK();
    return;
  }
  if (access_token_ && isProgress_ && !messageInputView_) loadMessageInputView();
  if (isLogout_) {
    if (logoutCover_) logoutCover_->removeFromSuperview();
    logoutCover_.reset();
    isLogout_ = false;
  }
  if (!request) return;
  // A page reached by a form's POST is not fetched again: that would send the form (a password)
  // once more. Its token, if any, is in its URL.
  if (request->HTTPMethod() != "GET") {
    storeToken(tokenInURL(url));
    return;
  }
  auto again = ns::URLRequest::requestWithURL(*request->URL());
  refetch_ = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(again);
  // Only the address it ends at is read; the page itself was read by the web view within its bound.
  refetch_->limitResponseLength(ui::WebView::kMaxPageLength);
  std::weak_ptr<VkontakteWebView> weak = self<VkontakteWebView>();
  refetch_->setCompletionBlockWithSuccess(
      [weak](const std::shared_ptr<NTHTTPRequestOperation>& operation, const ns::Value&) {
        auto me = weak.lock();
        if (!me || me->isClosed() || operation != me->refetch_) return;
        auto response = operation->response();
        std::string responseURL =
            response && response->URL() ? response->URL()->absoluteString() : std::string();
        me->storeToken(tokenInURL(responseURL));
      },
      [weak](const std::shared_ptr<NTHTTPRequestOperation>& operation, const ns::ErrorPtr&) {
        auto me = weak.lock();
        if (!me || me->isClosed() || operation != me->refetch_) return;
        me->showAlertAndClose();
      });
  refetch_->start();
}

void VkontakteWebView::storeToken(const std::optional<std::string>& token) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  if (token)
    defaults->setObject(*token, kAccessTokenKey);
  else
    defaults->removeObjectForKey(kAccessTokenKey);
  defaults->synchronize();
  access_token_ = token;
}

void VkontakteWebView::webViewDidFailLoadWithError(ui::WebView&, const ns::ErrorPtr&) {
  if (isClosed()) return;
  showAlertAndClose();
}

void VkontakteWebView::showFailureAlert() {
  auto alert = std::make_shared<ui::AlertView>()->initWithTitle("Ошибка!", "Сервер временно недоступен.", {},
                                                                "Ок", {});
  alert->show();
}

void VkontakteWebView::showAlertAndClose() {
  showFailureAlert();
  closeVK();
}

void VkontakteWebView::loadMessageInputView() {
  double w = contentView_->frame().width(), h = contentView_->frame().height();
  cg::Rect field = phoneVariant_ ? cg::Rect{10, 175, w - 30, 150} : cg::Rect{10, 175, w - 30, h - 175 - 80};
  unsigned buttons = phoneVariant_ ? ui::ViewAutoresizingNone : ui::ViewAutoresizingFlexibleTopMargin;
  loadMessageEditor({"vkLogo.png", 140, 14, field, buttons}, w, h);
  // The close button stays above the editor.
  contentView_->bringSubviewToFront(closeButton_);
}

std::optional<std::string> VkontakteWebView::wallPostURL(const std::string& message,
                                                         const std::string& attachments,
                                                         const std::string& accessToken) {
  auto origin = VKConfiguration::origin();
  if (!origin) return std::nullopt;
  return *origin + "/method/wall.post?message=" + queryValue(message) +
         "&attachments=" + queryValue(attachments) + "&access_token=" + queryValue(accessToken);
}

void VkontakteWebView::sendMessageBtnClick() {
  std::weak_ptr<VkontakteWebView> weak = self<VkontakteWebView>();
  beginSend(kPostDelay, [weak] {
    if (auto me = weak.lock()) me->postAfterDelay();
  });
}

void VkontakteWebView::postAfterDelay() {
  if (isClosed()) return;
  std::string token = access_token_.value_or("");
  auto url = wallPostURL(messageField_ ? messageField_->text() : message_, filmURL_, token);
  auto parsed = url ? ns::URL::URLWithString(*url) : std::nullopt;
  if (parsed) {
    auto operation =
        std::make_shared<NTHTTPRequestOperation>()->initWithRequest(ns::URLRequest::requestWithURL(*parsed));
    operation->limitResponseLength(kMaxWallPostReplyLength);
    // The sheet is gone by the time the reply comes: only the log and a failure alert remain.
    operation->setCompletionBlockWithSuccess(
        [token](const std::shared_ptr<NTHTTPRequestOperation>& op, const ns::Value&) {
          std::string reply = op->responseString().value_or("");
          ns::log("%@", masked(reply, token));
          auto json = ns::JSONSerialization::JSONObjectWithData(op->responseData().value_or(ns::Data()));
          if (!json["error"].isNil()) showFailureAlert();
        },
        [](const std::shared_ptr<NTHTTPRequestOperation>&, const ns::ErrorPtr&) { showFailureAlert(); });
    operation->start();
  } else {
    ns::log("VKontakte wall post refused: no usable origin");
    showFailureAlert();
  }
  if (access_token_) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setObject(*access_token_, kAccessTokenKey);
    defaults->synchronize();
  }
  isProgress_ = false;
  closeVK();
}

void VkontakteWebView::logoutVK() {
  isLogout_ = true;
  // The site's login cookies: their domain ends in the configured suffix (and is no shorter).
  std::string suffix = VKConfiguration::cookieDomainSuffix();
  auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
  for (const auto& cookie : storage->cookies()) {
    const std::string& domain = cookie->domain();
    if (!suffix.empty() && domain.size() > suffix.size() - 1 && domain.ends_with(suffix))
      storage->deleteCookie(cookie);
  }
  logoutCover_ = std::make_shared<ui::View>()->initWithFrame(
      {0, 0, webView_->frame().width(), webView_->frame().height()});
  logoutCover_->setBackgroundColor(ui::Color::whiteColor());
  webView_->addSubview(logoutCover_);
  goRequest();
  if (messageInputView_) messageInputView_->removeFromSuperview();
  messageInputView_.reset();
  messageField_.reset();
  endSend();
}

void VkontakteWebView::postMessage() {
  access_token_ = ns::UserDefaults::standardUserDefaults()->stringForKey(kAccessTokenKey);
  goRequest();
}
