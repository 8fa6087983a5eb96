#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Date.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/Button.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/WebView.h"

class FBDialog;

// What a dialog tells its owner about the page's outcome.
class FBDialogDelegate {
 public:
  virtual ~FBDialogDelegate() = default;
  virtual void dialogDidComplete(FBDialog&) {}
  virtual void dialogCompleteWithUrl(const ns::URL&) {}
  virtual void dialogDidNotCompleteWithUrl(const std::optional<ns::URL>&) {}
  virtual void dialogDidNotComplete(FBDialog&) {}
  virtual void dialogDidFailWithError(FBDialog&, const ns::ErrorPtr&) {}
  // A link the user followed leaves the dialog for the browser unless this answers false.
  virtual bool dialogShouldOpenURLInExternalBrowser(FBDialog&, const ns::URL&) { return true; }
};

// Posted whenever a dialog closes without success.
inline constexpr const char* kFBDialogCanceledNotification = "FBDialogCanceled";

// Whether the device is a tablet.
bool FBIsDeviceIPad();

// A framed, animated web page over the whole window. The page's last redirect, to the
// "fbconnect:" scheme, is its outcome: success, cancel or a server error. Each dialog is
// dismissed once: an outcome arriving while it fades out does nothing. Main thread only.
class FBDialog : public ui::View, public ui::WebViewDelegate {
 public:
  static constexpr double kPadding = 10.0;
  static constexpr double kBorderWidth = 10.0;
  static constexpr double kTitleMarginX = 8.0;
  static constexpr double kTitleMarginY = 4.0;
  static constexpr double kTransitionDuration = 0.3;
  static constexpr const char* kDefaultTitle = "Connect to Facebook";
  static const cg::Color kBorderGray;
  static const cg::Color kFacebookBlue;
  static const cg::Color kBorderBlue;
  static const cg::Color kBorderBlack;

  FBDialog();
  ~FBDialog() override;

  std::shared_ptr<FBDialog> init();
  std::shared_ptr<FBDialog> initWithURL(std::string serverURL, ns::Dictionary params,
                                        std::weak_ptr<FBDialogDelegate> delegate);

  std::shared_ptr<FBDialogDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<FBDialogDelegate> delegate) { delegate_ = std::move(delegate); }
  const ns::Dictionary& params() const { return params_; }
  void setParams(ns::Dictionary params) { params_ = std::move(params); }
  const std::string& serverURL() const { return serverURL_; }
  const std::optional<ns::URL>& loadingURL() const { return loadingURL_; }
  std::string title() const { return titleLabel_->text(); }
  void setTitle(std::string title) { titleLabel_->setText(std::move(title)); }

  // Loads the page and presents the panel, bouncing in, in the key window.
  void show();
  void load();
  void loadURL(const std::string& url, const ns::Dictionary& params);
  // The base URL with the parameters as its query, values escaped (reserved characters too).
  static std::string generateURL(const std::string& baseURL, const ns::Dictionary& params);

  void dismissWithSuccess(bool success, bool animated);
  void dismissWithError(const ns::ErrorPtr& error, bool animated);
  // The close buttons' action.
  void cancel();
  // True from the first dismissal on.
  bool isDismissing() const { return dismissing_; }
  bool dismissedWithSuccess() const { return dismissWithSuccess_; }

  // The text after the needle in the URL, up to the next "&", unescaped; none without the needle.
  static std::optional<std::string> getStringFromUrl(const std::string& url, const std::string& needle);

  // Orientation.
  bool shouldRotateToOrientation(ui::InterfaceOrientation orientation) const;
  cg::AffineTransform transformForOrientation() const;
  void sizeToFitOrientation(bool transform);
  void updateWebOrientation();
  ui::InterfaceOrientation orientation() const { return orientation_; }
  bool isShowingKeyboard() const { return showingKeyboard_; }

  // Parts, for layout checks and the dump.
  const std::shared_ptr<ui::WebView>& webView() const { return webView_; }
  const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ui::ImageView>& iconView() const { return iconView_; }
  const std::shared_ptr<ui::Button>& closeButton() const { return closeButton_; }
  const std::shared_ptr<ui::Button>& topCloseButton() const { return topCloseButton_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& spinner() const { return spinner_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityInput() const { return activityInput_; }
  const std::shared_ptr<ui::View>& modalBackgroundView() const { return modalBackgroundView_; }

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;

  bool webViewShouldStartLoadWithRequest(ui::WebView& webView, const ns::URLRequestPtr& request,
                                         ui::WebViewNavigationType type) override;
  void webViewDidFinishLoad(ui::WebView& webView) override;
  void webViewDidFailLoadWithError(ui::WebView& webView, const ns::ErrorPtr& error) override;

 protected:
  // Outcome hooks.
  virtual void dialogDidSucceed(const ns::URL& url);
  virtual void dialogDidCancel(const std::optional<ns::URL>& url);
  virtual void dialogWillAppear() {}
  virtual void dialogWillDisappear() {}

  void addRoundedRectToPath(cg::Context& context, const cg::Rect& rect, double radius) const;
  void drawRect(const cg::Rect& rect, const cg::Color& fill, double radius) const;
  void strokeLines(const cg::Rect& rect, const cg::Color& stroke) const;

 private:
  void layOutParts();
  void bounce1AnimationStopped();
  void bounce2AnimationStopped();
  void deviceOrientationDidChange();
  void keyboardWillShow();
  void keyboardWillHide();
  void addObservers();
  void removeObservers();
  void postDismissCleanup();
  void dismiss(bool animated);

  std::weak_ptr<FBDialogDelegate> delegate_;
  ns::Dictionary params_;
  std::string serverURL_;
  std::optional<ns::URL> loadingURL_;
  std::shared_ptr<ui::WebView> webView_;
  std::shared_ptr<ui::ActivityIndicatorView> spinner_;
  std::shared_ptr<ui::ImageView> iconView_;
  std::shared_ptr<ui::Label> titleLabel_;
  std::shared_ptr<ui::Button> closeButton_;
  ui::InterfaceOrientation orientation_{};
  bool showingKeyboard_ = false;
  std::shared_ptr<ui::View> modalBackgroundView_;
  bool dismissWithSuccess_ = false;
  std::shared_ptr<ui::ActivityIndicatorView> activityInput_;
  std::shared_ptr<ui::Button> topCloseButton_;
  bool dismissing_ = false;
  // Identity under which the dialog observes notifications.
  std::shared_ptr<ns::Object> observer_;
};

// What a login dialog tells the session.
class FBLoginDialogDelegate {
 public:
  virtual ~FBLoginDialogDelegate() = default;
  virtual void fbDialogLogin(const std::string& token, std::optional<ns::Date> expirationDate) = 0;
  virtual void fbDialogNotLogin(bool cancelled) = 0;
};

// The OAuth login dialog: the success redirect's token and expiry go to the login delegate.
class FBLoginDialog final : public FBDialog {
 public:
  std::shared_ptr<FBLoginDialog> initWithURL(std::string loginURL, ns::Dictionary params,
                                             std::weak_ptr<FBLoginDialogDelegate> delegate);

  void webViewDidFailLoadWithError(ui::WebView& webView, const ns::ErrorPtr& error) override;

 protected:
  void dialogDidSucceed(const ns::URL& url) override;
  void dialogDidCancel(const std::optional<ns::URL>& url) override;

 private:
  std::weak_ptr<FBLoginDialogDelegate> loginDelegate_;
};
