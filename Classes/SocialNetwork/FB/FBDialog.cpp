#include "Classes/SocialNetwork/FB/FBDialog.h"

#include <cmath>

#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"
#include "Foundation/URLRequest.h"
#include "Graphics/Context.h"
#include "UIKit/Device.h"
#include "UIKit/Font.h"
#include "UIKit/Image.h"
#include "UIKit/Screen.h"
#include "UIKit/SystemNotifications.h"
#include "UIKit/Window.h"

const cg::Color FBDialog::kBorderGray = cg::Color::rgba(0.3, 0.3, 0.3, 0.8);
const cg::Color FBDialog::kFacebookBlue = cg::Color::rgba(0.42578125, 0.515625, 0.703125, 1.0);
const cg::Color FBDialog::kBorderBlue = cg::Color::rgba(0.23, 0.35, 0.6, 1.0);
const cg::Color FBDialog::kBorderBlack = cg::Color::rgba(0.3, 0.3, 0.3, 1.0);

namespace {

constexpr const char* kErrorDomain = "facebookErrDomain";

std::string textOf(const ns::Value& value) { return value.asString() ? *value.asString() : value.describe(); }

ui::InterfaceOrientation statusBarOrientation() {
  return ui::Application::sharedApplication()->statusBarOrientation();
}

}  // namespace

bool FBIsDeviceIPad() {
  return ui::Device::currentDevice()->userInterfaceIdiom() == ui::UserInterfaceIdiom::pad;
}

FBDialog::FBDialog() = default;

FBDialog::~FBDialog() {
  if (webView_) webView_->setDelegate({});
  if (observer_) ns::NotificationCenter::defaultCenter()->removeObserver(observer_.get());
}

std::shared_ptr<FBDialog> FBDialog::init() {
  View::initWithFrame({});
  setBackgroundColor(ui::Color::clearColor());
  setAutoresizesSubviews(true);
  setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  setContentMode(ui::ViewContentMode::redraw);
  observer_ = std::make_shared<ns::Object>();
  auto me = self<FBDialog>();

  iconView_ = std::make_shared<ui::ImageView>()->initWithImage(
      ui::Image::imageNamed("FBDialog.bundle/images/fbicon.png"));
  addSubview(iconView_);

  closeButton_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  closeButton_->setImage(ui::Image::imageNamed("FBDialog.bundle/images/close.png"), ui::ControlStateNormal);
  closeButton_->setTitleColor(ui::Color::colorWithRed(167 / 255.0, 184 / 255.0, 216 / 255.0, 1),
                              ui::ControlStateNormal);
  closeButton_->setTitleColor(ui::Color::whiteColor(), ui::ControlStateHighlighted);
  closeButton_->addTarget(me, &FBDialog::cancel, ui::ControlEventTouchUpInside);
  closeButton_->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(12));
  closeButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                    ui::ViewAutoresizingFlexibleBottomMargin);
  addSubview(closeButton_);

  titleLabel_ = std::make_shared<ui::Label>()->initWithFrame({});
  titleLabel_->setText(kDefaultTitle);
  titleLabel_->setBackgroundColor(ui::Color::clearColor());
  titleLabel_->setTextColor(ui::Color::whiteColor());
  titleLabel_->setFont(ui::Font::boldSystemFontOfSize(FBIsDeviceIPad() ? 18 : 14));
  titleLabel_->setAutoresizingMask(ui::ViewAutoresizingFlexibleRightMargin |
                                   ui::ViewAutoresizingFlexibleBottomMargin);
  addSubview(titleLabel_);

  webView_ = std::make_shared<ui::WebView>()->initWithFrame({kPadding, kPadding, 480, 480});
  webView_->setDelegate(std::static_pointer_cast<ui::WebViewDelegate>(me));
  webView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  addSubview(webView_);
  cg::Size web = webView_->bounds().size;
  activityInput_ = std::make_shared<ui::ActivityIndicatorView>()->initWithFrame(
      {web.width / 2 - 20, web.height / 2 - 30, 40, 40});
  activityInput_->setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle::gray);
  activityInput_->setAutoresizingMask(
      ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
  activityInput_->startAnimating();
  webView_->addSubview(activityInput_);

  spinner_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::whiteLarge);
  spinner_->setAutoresizingMask(
      ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
  addSubview(spinner_);

  modalBackgroundView_ = std::make_shared<ui::View>()->init();

  topCloseButton_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  topCloseButton_->setImage(ui::Image::imageNamed("closeFB_"), ui::ControlStateNormal);
  topCloseButton_->addTarget(me, &FBDialog::cancel, ui::ControlEventTouchDown);
  return me;
}

std::shared_ptr<FBDialog> FBDialog::initWithURL(std::string serverURL, ns::Dictionary params,
                                                std::weak_ptr<FBDialogDelegate> delegate) {
  init();
  serverURL_ = std::move(serverURL);
  params_ = std::move(params);
  delegate_ = std::move(delegate);
  return self<FBDialog>();
}

// --- Page -----------------------------------------------------------------------------------

std::string FBDialog::generateURL(const std::string& baseURL, const ns::Dictionary& params) {
  if (params.empty()) return baseURL;
  std::vector<std::string> pairs;
  for (const auto& [key, value] : params) {
    auto escaped = ns::addPercentEscapes(textOf(value), "", "!*'();:@&=+$,/?%#[]");
    pairs.push_back(key + "=" + escaped.value_or(""));
  }
  return ns::format("%@?%@", baseURL, ns::componentsJoinedByString(pairs, "&"));
}

void FBDialog::load() { loadURL(serverURL_, params_); }

void FBDialog::loadURL(const std::string& url, const ns::Dictionary& params) {
  loadingURL_ = ns::URL::URLWithString(generateURL(url, params));
  if (loadingURL_) {
    webView_->loadRequest(ns::URLRequest::requestWithURL(loadingURL_));
    return;
  }
  // No page to load (an origin the configuration refused): the dialog fails once it is up.
  auto error = ns::Error::make(ns::kURLErrorDomain, ns::URLError::BadURL,
                               {{ns::kLocalizedDescriptionKey, "unsupported URL"}});
  ns::RunLoop::currentRunLoop()->performBlock([weak = weak_from_this(), error] {
    if (auto me = std::static_pointer_cast<FBDialog>(weak.lock()))
      me->webViewDidFailLoadWithError(*me->webView_, error);
  });
}

std::optional<std::string> FBDialog::getStringFromUrl(const std::string& url, const std::string& needle) {
  auto start = url.find(needle);
  if (needle.empty() || start == std::string::npos) return std::nullopt;
  start += needle.size();
  auto end = url.find('&', start);
  std::string_view value = std::string_view(url).substr(start, end == std::string::npos ? end : end - start);
  // Escapes that do not decode leave the text as it came.
  return ns::removePercentEncoding(value).value_or(std::string(value));
}

bool FBDialog::webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequestPtr& request,
                                                 ui::WebViewNavigationType type) {
  const auto& url = request->URL();
  if (!url) return true;
  auto keep = self<FBDialog>();
  if (ns::lowercaseString(url->scheme().value_or("")) == "fbconnect") {
    const std::string& text = url->absoluteString();
    std::string specifier = text.substr(text.find(':') + 1);
    if (specifier.starts_with("//cancel")) {
      auto code = getStringFromUrl(text, "error_code=");
      if (code) {
        auto message = getStringFromUrl(text, "error_msg=");
        ns::Dictionary info;
        if (message) info.set("error_msg", *message);
        dismissWithError(ns::Error::make(kErrorDomain, ns::Value(*code).intValue(), std::move(info)), true);
      } else {
        dialogDidCancel(url);
      }
    } else {
      dialogDidSucceed(*url);
    }
    return false;
  }
  if (loadingURL_ && url->absoluteString() == loadingURL_->absoluteString()) return true;
  if (type == ui::WebViewNavigationType::linkClicked) {
    auto delegate = delegate_.lock();
    if (!delegate || delegate->dialogShouldOpenURLInExternalBrowser(*this, *url))
      ui::Application::sharedApplication()->openURL(*url);
    return false;
  }
  return true;
}

void FBDialog::webViewDidFinishLoad(ui::WebView&) {
  spinner_->stopAnimating();
  spinner_->setHidden(true);
  activityInput_->stopAnimating();
  setTitle(webView_->stringByEvaluatingJavaScriptFromString("document.title"));
  updateWebOrientation();
}

void FBDialog::webViewDidFailLoadWithError(ui::WebView&, const ns::ErrorPtr& error) {
  // The refused "fbconnect:" redirect interrupts the load: that is how every page ends.
  if (error->domain() == ui::kWebKitErrorDomain &&
      error->code() == ui::kWebKitErrorFrameLoadInterruptedByPolicyChange)
    return;
  dismissWithError(error, true);
}

// --- Outcomes -------------------------------------------------------------------------------

void FBDialog::dialogDidSucceed(const ns::URL& url) {
  if (dismissing_) return;
  if (auto delegate = delegate_.lock()) delegate->dialogCompleteWithUrl(url);
  dismissWithSuccess(true, true);
}

void FBDialog::dialogDidCancel(const std::optional<ns::URL>& url) {
  if (dismissing_) return;
  if (auto delegate = delegate_.lock()) delegate->dialogDidNotCompleteWithUrl(url);
  dismissWithSuccess(false, true);
}

void FBDialog::cancel() { dialogDidCancel(std::nullopt); }

void FBDialog::dismissWithSuccess(bool success, bool animated) {
  if (dismissing_) return;
  dismissing_ = true;
  auto keep = self<FBDialog>();
  if (auto delegate = delegate_.lock()) {
    if (success)
      delegate->dialogDidComplete(*this);
    else
      delegate->dialogDidNotComplete(*this);
  }
  dismissWithSuccess_ = success;
  dismiss(animated);
}

void FBDialog::dismissWithError(const ns::ErrorPtr& error, bool animated) {
  if (dismissing_) return;
  dismissing_ = true;
  auto keep = self<FBDialog>();
  if (auto delegate = delegate_.lock()) delegate->dialogDidFailWithError(*this, error);
  dismissWithSuccess_ = false;
  dismiss(animated);
}

void FBDialog::dismiss(bool animated) {
  dialogWillDisappear();
  loadingURL_.reset();
  if (!animated) {
    postDismissCleanup();
    return;
  }
  auto weak = weak_from_this();
  View::animateWithDuration(
      kTransitionDuration, [this] { setAlpha(0); },
      [weak](bool) {
        if (auto me = std::static_pointer_cast<FBDialog>(weak.lock())) me->postDismissCleanup();
      });
}

void FBDialog::postDismissCleanup() {
  auto keep = self<FBDialog>();
  removeObservers();
  removeFromSuperview();
  modalBackgroundView_->removeFromSuperview();
  if (!dismissWithSuccess_)
    ns::NotificationCenter::defaultCenter()->postNotificationName(kFBDialogCanceledNotification);
}

// --- Presentation ---------------------------------------------------------------------------

void FBDialog::show() {
  load();
  sizeToFitOrientation(false);

  bool landscape = ui::isLandscape(statusBarOrientation());
  // On a phone the top close button keeps to the right corner, however wide the dialog lies.
  double topX = FBIsDeviceIPad() ? (landscape ? 567 : 412) : bounds().width() - 30;
  topCloseButton_->setFrame({topX, -7, 33, 33});
  topCloseButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  addSubview(topCloseButton_);

  layOutParts();

  spinner_->sizeToFit();
  spinner_->startAnimating();
  spinner_->setCenter(webView_->center());

  auto window = ui::Window::keyWindow();
  if (window) {
    modalBackgroundView_->setFrame(window->frame());
    window->addSubview(modalBackgroundView_);
    window->addSubview(self<FBDialog>());
  }

  dialogWillAppear();
  setTransform(transformForOrientation().scaledBy(0.001, 0.001));
  auto weak = weak_from_this();
  View::animateWithDuration(
      kTransitionDuration / 1.5, [this] { setTransform(transformForOrientation().scaledBy(1.1, 1.1)); },
      [weak](bool) {
        if (auto me = std::static_pointer_cast<FBDialog>(weak.lock())) me->bounce1AnimationStopped();
      });
  addObservers();
}

void FBDialog::layOutParts() {
  double width = bounds().width(), height = bounds().height();
  double inner = width - 2 * (kBorderWidth + 1);
  iconView_->sizeToFit();
  titleLabel_->sizeToFit();
  closeButton_->sizeToFit();
  cg::Size icon = iconView_->bounds().size;
  double fitted = titleLabel_->bounds().height();
  titleLabel_->setFrame({kBorderWidth + kTitleMarginX + icon.width + kTitleMarginX, kBorderWidth,
                         inner - (fitted + icon.width + 2 * kTitleMarginX), fitted + 2 * kTitleMarginY});
  double h = titleLabel_->frame().height();
  iconView_->setFrame({kBorderWidth + kTitleMarginX, kBorderWidth + std::floor(h / 2 - icon.height / 2),
                       icon.width, icon.height});
  closeButton_->setFrame({width - (h + kBorderWidth), kBorderWidth, h, h});
  webView_->setFrame({kBorderWidth + 1, kBorderWidth + h, inner, height - (h + 1 + 2 * kBorderWidth)});
}

void FBDialog::bounce1AnimationStopped() {
  auto weak = weak_from_this();
  View::animateWithDuration(
      kTransitionDuration / 2, [this] { setTransform(transformForOrientation().scaledBy(0.9, 0.9)); },
      [weak](bool) {
        if (auto me = std::static_pointer_cast<FBDialog>(weak.lock())) me->bounce2AnimationStopped();
      });
}

void FBDialog::bounce2AnimationStopped() {
  View::animateWithDuration(kTransitionDuration / 2, [this] { setTransform(transformForOrientation()); });
}

// --- Orientation and keyboard ---------------------------------------------------------------

// The window turns with the interface and draws upright in every orientation, so the dialog needs
// no turn of its own: a rotation here would draw it sideways.
cg::AffineTransform FBDialog::transformForOrientation() const { return cg::AffineTransform::identity(); }

bool FBDialog::shouldRotateToOrientation(ui::InterfaceOrientation orientation) const {
  if (orientation == orientation_) return false;
  switch (orientation) {
    case ui::InterfaceOrientation::portrait:
    case ui::InterfaceOrientation::portraitUpsideDown:
    case ui::InterfaceOrientation::landscapeLeft:
    case ui::InterfaceOrientation::landscapeRight:
      return true;
  }
  return false;
}

void FBDialog::sizeToFitOrientation(bool transform) {
  if (transform) setTransform(cg::AffineTransform::identity());
  // The window's area below the status bar, as the window lies now (turned with the interface).
  auto window = ui::Window::keyWindow();
  cg::Rect frame = ui::Screen::mainScreen()->applicationFrame();
  if (window) frame = window->rootViewFrame();
  cg::Point center{frame.x() + std::ceil(frame.width() / 2), frame.y() + std::ceil(frame.height() / 2)};
  double scale = FBIsDeviceIPad() ? 0.6 : 1.0;
  double width = std::floor(scale * frame.width()) - 2 * kPadding;
  double height = std::floor(scale * frame.height()) - 2 * kPadding;
  orientation_ = statusBarOrientation();
  setFrame({kPadding, kPadding, width, height});
  setCenter(center);
  if (transform) setTransform(transformForOrientation());
}

void FBDialog::updateWebOrientation() {
  if (ui::isLandscape(statusBarOrientation()))
    webView_->stringByEvaluatingJavaScriptFromString("document.body.setAttribute('orientation', 90);");
  else
    webView_->stringByEvaluatingJavaScriptFromString("document.body.removeAttribute('orientation');");
}

void FBDialog::deviceOrientationDidChange() {
  ui::InterfaceOrientation orientation = statusBarOrientation();
  if (showingKeyboard_ || !shouldRotateToOrientation(orientation)) return;
  updateWebOrientation();
  View::animateWithDuration(ui::Application::sharedApplication()->statusBarOrientationAnimationDuration(),
                            [this] { sizeToFitOrientation(true); });
}

void FBDialog::keyboardWillShow() {
  showingKeyboard_ = true;
  if (FBIsDeviceIPad() || !ui::isLandscape(statusBarOrientation())) return;
  double dx = kPadding + kBorderWidth;
  webView_->setFrame(webView_->frame().insetBy(-dx, -dx - titleLabel_->frame().height()));
}

void FBDialog::keyboardWillHide() {
  showingKeyboard_ = false;
  if (FBIsDeviceIPad() || !ui::isLandscape(statusBarOrientation())) return;
  double dx = kPadding + kBorderWidth;
  webView_->setFrame(webView_->frame().insetBy(dx, dx + titleLabel_->frame().height()));
}

void FBDialog::addObservers() {
  auto center = ns::NotificationCenter::defaultCenter();
  auto weak = weak_from_this();
  auto on = [&](const char* name, void (FBDialog::*handler)()) {
    center->addObserver(
        observer_,
        [weak, handler](const ns::Notification&) {
          if (auto me = std::static_pointer_cast<FBDialog>(weak.lock())) ((*me).*handler)();
        },
        name);
  };
  on(ui::kDeviceOrientationDidChangeNotification, &FBDialog::deviceOrientationDidChange);
  on(ui::kKeyboardWillShowNotification, &FBDialog::keyboardWillShow);
  on(ui::kKeyboardWillHideNotification, &FBDialog::keyboardWillHide);
}

void FBDialog::removeObservers() { ns::NotificationCenter::defaultCenter()->removeObserver(observer_.get()); }

// --- Drawing --------------------------------------------------------------------------------

void FBDialog::drawRect(const cg::Rect& r) {
  drawRect(r.offsetBy(-0.5, -0.5), kBorderGray, 10);
  cg::Rect titleBar{std::ceil(r.x() + kBorderWidth), std::ceil(r.y() + kBorderWidth),
                    r.width() - 2 * kBorderWidth, titleLabel_->frame().height()};
  drawRect(titleBar, kFacebookBlue, 0);
  strokeLines(titleBar, kBorderBlue);
  cg::Rect webArea{std::ceil(r.x() + kBorderWidth), titleBar.maxY(), r.width() - 2 * kBorderWidth,
                   webView_->frame().height() + 1};
  strokeLines(webArea, kBorderBlack);
}

void FBDialog::addRoundedRectToPath(cg::Context& context, const cg::Rect& rect, double radius) const {
  context.beginPath();
  if (radius == 0) {
    context.addRect(rect);
    return;
  }
  // Inset and moved by half a point, so the curve lies on pixel centres.
  context.addRoundedRect({rect.x() + 0.5, rect.y() + 0.5, rect.width() - 1, rect.height() - 1}, radius);
}

void FBDialog::drawRect(const cg::Rect& rect, const cg::Color& fill, double radius) const {
  cg::Context* context = cg::currentContext();
  if (!context) return;
  context->saveGState();
  context->setFillColor(fill);
  if (radius != 0) {
    addRoundedRectToPath(*context, rect, radius);
    context->fillPath();
  } else {
    context->fillRect(rect);
  }
  context->restoreGState();
}

void FBDialog::strokeLines(const cg::Rect& r, const cg::Color& stroke) const {
  cg::Context* context = cg::currentContext();
  if (!context) return;
  context->saveGState();
  context->setStrokeColor(stroke);
  context->setLineWidth(1);
  auto line = [&](cg::Point from, cg::Point to) {
    context->beginPath();
    context->moveTo(from);
    context->addLineTo(to);
    context->strokePath();
  };
  double x = r.x(), y = r.y(), w = r.width(), h = r.height();
  line({x + 0.5, y - 0.5}, {x + w, y - 0.5});
  line({x + 0.5, y + h - 0.5}, {x + w - 0.5, y + h - 0.5});
  line({x + w - 0.5, y}, {x + w - 0.5, y + h});
  line({x + 0.5, y}, {x + 0.5, y + h});
  context->restoreGState();
}

// --- Login dialog ---------------------------------------------------------------------------

std::shared_ptr<FBLoginDialog> FBLoginDialog::initWithURL(std::string loginURL, ns::Dictionary params,
                                                          std::weak_ptr<FBLoginDialogDelegate> delegate) {
  FBDialog::initWithURL(std::move(loginURL), std::move(params), {});
  loginDelegate_ = std::move(delegate);
  return self<FBLoginDialog>();
}

void FBLoginDialog::dialogDidSucceed(const ns::URL& url) {
  if (isDismissing()) return;
  const std::string& text = url.absoluteString();
  auto token = getStringFromUrl(text, "access_token=");
  if (!token || token->empty()) {
    dialogDidCancel(url);
    return;
  }
  std::optional<ns::Date> expiry;
  if (auto expiresIn = getStringFromUrl(text, "expires_in=")) {
    int seconds = ns::Value(*expiresIn).intValue();
    expiry = seconds == 0 ? ns::Date::distantFuture() : ns::Date::now().dateByAddingTimeInterval(seconds);
  }
  auto keep = self<FBLoginDialog>();
  if (auto delegate = loginDelegate_.lock()) delegate->fbDialogLogin(*token, expiry);
  dismissWithSuccess(true, true);
}

void FBLoginDialog::dialogDidCancel(const std::optional<ns::URL>&) {
  if (isDismissing()) return;
  auto keep = self<FBLoginDialog>();
  dismissWithSuccess(false, true);
  if (auto delegate = loginDelegate_.lock()) delegate->fbDialogNotLogin(true);
}

void FBLoginDialog::webViewDidFailLoadWithError(ui::WebView& webView, const ns::ErrorPtr& error) {
  if (isDismissing()) return;
  if (error->domain() == ns::kURLErrorDomain && error->code() == ns::URLError::Cancelled) return;
  if (error->domain() == ui::kWebKitErrorDomain &&
      error->code() == ui::kWebKitErrorFrameLoadInterruptedByPolicyChange)
    return;
  auto keep = self<FBLoginDialog>();
  FBDialog::webViewDidFailLoadWithError(webView, error);
  if (auto delegate = loginDelegate_.lock()) delegate->fbDialogNotLogin(false);
}
