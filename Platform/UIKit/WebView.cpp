#include "UIKit/WebView.h"

#include "Foundation/Format.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"
#include "Foundation/URLResponse.h"
#include "UIKit/WebPageReader.h"

namespace ui {

namespace {

bool isFetched(const std::optional<ns::URL>& url) {
  if (!url) return false;
  std::string scheme = ns::lowercaseString(url->scheme().value_or(""));
  return scheme == "http" || scheme == "https";
}

ns::ErrorPtr loadError(const char* domain, std::int64_t code, const std::optional<ns::URL>& url,
                       const std::string& description) {
  ns::Dictionary userInfo{{ns::kLocalizedDescriptionKey, description}};
  if (url) userInfo.set(ns::kURLErrorFailingURLStringErrorKey, url->absoluteString());
  return ns::Error::make(domain, code, std::move(userInfo));
}

// application/x-www-form-urlencoded: blanks as "+", everything but the unreserved characters escaped
// ("%" itself included, so "%20" in the result can only stand for a blank).
std::string formEncoded(std::string_view text) {
  return ns::stringByReplacingOccurrences(ns::addPercentEncoding(text, ns::kURLUnreservedCharacters), "%20",
                                          "+");
}

std::string withoutQueryAndFragment(const std::string& url) { return url.substr(0, url.find_first_of("?#")); }

}  // namespace

// Receives one load for the web view; the web view follows redirects itself, so every redirect
// response comes back as the answer, with the request the URL layer proposed for it.
class WebView::Loader final : public ns::URLConnectionDelegate {
 public:
  Loader(std::weak_ptr<WebView> view, std::uint64_t load) : view_(std::move(view)), load_(load) {}

  ns::URLRequestPtr connectionWillSendRequest(const ns::URLConnectionPtr&, const ns::URLRequestPtr& request,
                                              const ns::URLResponsePtr& redirectResponse) override {
    if (redirectResponse) redirect_ = request;
    return nullptr;
  }
  void connectionDidReceiveResponse(const ns::URLConnectionPtr& connection,
                                    const ns::URLResponsePtr& response) override {
    response_ = response;
    body_ = ns::Data();
    if (response && response->expectedContentLength() > kMaxPageLength) refuse(connection);
  }
  void connectionDidReceiveData(const ns::URLConnectionPtr& connection, const ns::Data& data) override {
    if (static_cast<std::int64_t>(body_.length() + data.length()) > kMaxPageLength) {
      refuse(connection);
      return;
    }
    body_.append(data);
  }
  ns::CachedURLResponsePtr connectionWillCacheResponse(const ns::URLConnectionPtr&,
                                                       const ns::CachedURLResponsePtr&) override {
    return nullptr;
  }
  void connectionDidFinishLoading(const ns::URLConnectionPtr&) override {
    auto view = view_.lock();
    if (!view) return;
    if (redirect_)
      view->redirected(load_, redirect_);
    else
      view->finished(load_, body_, response_);
  }
  void connectionDidFailWithError(const ns::URLConnectionPtr&, const ns::ErrorPtr& error) override {
    if (auto view = view_.lock()) view->failed(load_, error);
  }

 private:
  // A body longer than a page may be: the connection stops here and the load fails.
  void refuse(const ns::URLConnectionPtr& connection) {
    connection->cancel();
    body_ = ns::Data();
    auto url = response_ && response_->URL() ? response_->URL()->absoluteString() : std::string();
    auto error = ns::responseLengthExceededError(url, kMaxPageLength);
    if (auto view = view_.lock()) view->failed(load_, error);
  }

  std::weak_ptr<WebView> view_;
  std::uint64_t load_;
  ns::URLRequestPtr redirect_;
  ns::URLResponsePtr response_;
  ns::Data body_;
};

WebView::WebView() = default;

WebView::~WebView() {
  if (connection_) connection_->cancel();
}

std::shared_ptr<WebView> WebView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<WebView>();
}

void WebView::loadRequest(const ns::URLRequestPtr& request) {
  if (request) navigate(request->copy(), WebViewNavigationType::other);
}

void WebView::stopLoading() { cancelRunningLoad(); }

bool WebView::navigate(const ns::URLRequestPtr& request, WebViewNavigationType type) {
  auto keep = self<WebView>();  // the delegate may let the view go while it is asked
  if (auto delegate = delegate_.lock();
      delegate && !delegate->webViewShouldStartLoadWithRequest(*this, request, type))
    return false;
  std::uint64_t expected = load_ + (isLoading() ? 1 : 0);
  cancelRunningLoad();
  if (load_ != expected) return true;  // told of the cancel, the delegate started another load
  start(request);
  if (isLoading())
    if (auto delegate = delegate_.lock()) delegate->webViewDidStartLoad(*this);
  return true;
}

void WebView::start(const ns::URLRequestPtr& request) {
  std::uint64_t load = ++load_;
  if (!isFetched(request->URL())) {
    // Asked about, never fetched: the navigation ends in a failure on the next turn of the run loop.
    auto weak = std::weak_ptr<WebView>(self<WebView>());
    auto error =
        loadError(kWebKitErrorDomain, kWebKitErrorCannotShowURL, request->URL(), "The URL can't be shown");
    ns::RunLoop::currentRunLoop()->performBlock([weak, load, error] {
      if (auto view = weak.lock(); view && view->load_ == load) view->fail(error);
    });
    return;
  }
  request_ = request;
  auto bounded = request->copy();
  bounded->setMaximumBodyLength(kMaxPageLength);
  connection_ = ns::URLConnection::connectionWithRequest(
      bounded, std::make_shared<Loader>(std::weak_ptr<WebView>(self<WebView>()), load));
}

void WebView::redirected(std::uint64_t load, ns::URLRequestPtr proposed) {
  if (load != load_) return;
  auto keep = self<WebView>();
  connection_.reset();
  // A Location without a fragment keeps the one of the URL it redirects from.
  const auto& from = request_ ? request_->URL() : std::nullopt;
  const auto& to = proposed->URL();
  if (to && !to->fragment() && from && from->fragment())
    if (auto withFragment = ns::URL::URLWithString(to->absoluteString() + "#" + *from->fragment()))
      proposed->setURL(withFragment);
  if (auto delegate = delegate_.lock(); delegate && !delegate->webViewShouldStartLoadWithRequest(
                                                        *this, proposed, WebViewNavigationType::other)) {
    if (load == load_)
      fail(loadError(kWebKitErrorDomain, kWebKitErrorFrameLoadInterruptedByPolicyChange, proposed->URL(),
                     "Frame load interrupted"));
    return;
  }
  if (load == load_) start(proposed);
}

void WebView::finished(std::uint64_t load, const ns::Data& body, const ns::URLResponsePtr& response) {
  if (load != load_) return;
  auto keep = self<WebView>();
  connection_.reset();
  ns::URL base = response && response->URL() ? *response->URL() : request_->URL().value_or(ns::URL());
  page_ = readWebPage(body, response ? response->textEncodingName() : std::nullopt, base);
  // The new page has other fields: the keyboard goes with the old one's.
  if (focusedField_) resignFirstResponder();
  setNeedsDisplay();
  if (auto delegate = delegate_.lock()) delegate->webViewDidFinishLoad(*this);
}

void WebView::failed(std::uint64_t load, const ns::ErrorPtr& error) {
  if (load != load_) return;
  auto keep = self<WebView>();
  connection_.reset();
  fail(error);
}

void WebView::cancelRunningLoad() {
  if (!connection_) return;
  connection_->cancel();
  connection_.reset();
  ++load_;
  fail(loadError(ns::kURLErrorDomain, ns::URLError::Cancelled, request_ ? request_->URL() : std::nullopt,
                 "cancelled"));
}

void WebView::fail(const ns::ErrorPtr& error) {
  if (auto delegate = delegate_.lock()) delegate->webViewDidFailLoadWithError(*this, error);
}

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
  std::string trimmed = ns::trimWhitespaceAndNewlines(script);
  while (!trimmed.empty() && trimmed.back() == ';') trimmed.pop_back();
  if (ns::trimWhitespaceAndNewlines(trimmed) == "document.title") return page_.title;
  scripts_.push_back(script);
  return {};
}

bool WebView::followLink(std::string_view text) {
  for (std::size_t i = 0; i < page_.links.size(); ++i)
    if (page_.links[i].text == text) return followLinkAtIndex(i);
  for (std::size_t i = 0; i < page_.links.size(); ++i)
    if (page_.links[i].href == text) return followLinkAtIndex(i);
  return false;
}

bool WebView::followLinkAtIndex(std::size_t index) {
  if (index >= page_.links.size()) return false;
  auto url = ns::URL::URLWithString(page_.links[index].href);
  if (!url) return false;
  navigate(ns::URLRequest::requestWithURL(url), WebViewNavigationType::linkClicked);
  return true;
}

bool WebView::fillField(std::string_view name, std::string value) {
  for (std::size_t i = 0; i < page_.fields.size(); ++i) {
    WebPage::Field& field = page_.fields[i];
    if (field.name != name) continue;
    field.value = std::move(value);
    if (focusedField_ == i) fieldCaret_ = ns::utf16Length(field.value);
    setNeedsDisplay();
    fieldChanged();
    return true;
  }
  return false;
}

bool WebView::pressButton(std::string_view textOrName) {
  for (std::size_t i = 0; i < page_.buttons.size(); ++i)
    if (page_.buttons[i].value == textOrName || page_.buttons[i].name == textOrName)
      return pressButtonAtIndex(i);
  return false;
}

bool WebView::pressButtonAtIndex(std::size_t index) {
  if (index >= page_.buttons.size()) return false;
  const WebPage::Button& button = page_.buttons[index];
  if (button.form < 0) return false;
  return submitForm(static_cast<std::size_t>(button.form), &button);
}

bool WebView::submitForm(std::size_t index, const WebPage::Button* button) {
  if (index >= page_.forms.size()) return false;
  const WebPage::Form& form = page_.forms[index];
  std::vector<std::string> pairs;
  for (const auto& field : page_.fields)
    if (field.form == static_cast<int>(index) && !field.name.empty())
      pairs.push_back(formEncoded(field.name) + "=" + formEncoded(field.value));
  if (button && !button->name.empty())
    pairs.push_back(formEncoded(button->name) + "=" + formEncoded(button->value));
  std::string encoded = ns::componentsJoinedByString(pairs, "&");

  std::optional<ns::URL> action;
  auto request = ns::URLRequest::requestWithURL(std::nullopt);
  if (form.method == "POST") {
    action = ns::URL::URLWithString(form.action);
    request->setHTTPMethod("POST");
    request->setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
    request->setHTTPBody(ns::Data::fromString(encoded));
  } else {
    action = ns::URL::URLWithString(withoutQueryAndFragment(form.action) + "?" + encoded);
  }
  if (!action) return false;
  request->setURL(action);
  navigate(request, WebViewNavigationType::formSubmitted);
  return true;
}

bool WebView::editField(const std::function<void(EditedText&)>& edit) {
  if (!focusedField_ || !isFirstResponder() || *focusedField_ >= page_.fields.size()) return false;
  WebPage::Field& field = page_.fields[*focusedField_];
  EditedText edited;
  edited.setText(std::move(field.value));
  edited.setCaret(fieldCaret_);
  edit(edited);
  field.value = edited.text();
  fieldCaret_ = edited.caret();
  fieldChanged();
  return true;
}

bool WebView::insertText(const std::string& text) {
  return editField([&](EditedText& e) { e.replace(e.caret(), e.caret(), text); });
}

bool WebView::deleteBackward() {
  return editField([](EditedText& e) { e.replace(e.previousPosition(), e.caret(), ""); });
}

bool WebView::deleteForward() {
  return editField([](EditedText& e) { e.replace(e.caret(), e.nextPosition(), ""); });
}

bool WebView::moveCaret(CaretMove move) {
  return editField([move](EditedText& e) { e.move(move); });
}

bool WebView::returnKey() {
  if (!focusedField_ || !isFirstResponder() || *focusedField_ >= page_.fields.size()) return false;
  const WebPage::Field& field = page_.fields[*focusedField_];
  if (field.type == "textarea") return insertText("\n");
  if (field.form < 0) return false;
  auto keep = self<WebView>();
  for (std::size_t i = 0; i < page_.buttons.size(); ++i)
    if (page_.buttons[i].form == field.form) return pressButtonAtIndex(i);
  return submitForm(static_cast<std::size_t>(field.form), nullptr);
}

void WebView::appendDumpAttributes(std::string& line) const {
  std::vector<std::string> names;
  for (const auto& field : page_.fields)
    if (field.type != "hidden") names.push_back(field.name);
  // Tokens travel in queries and fragments: the dump shows neither.
  std::string url =
      request_ && request_->URL() ? withoutQueryAndFragment(request_->URL()->absoluteString()) : "";
  line += ns::format(" title=\"%@\" url=%@", page_.title, url);
  if (!names.empty()) line += ns::format(" fields=%@", ns::componentsJoinedByString(names, ","));
  if (isLoading()) line += " loading";
}

}  // namespace ui
