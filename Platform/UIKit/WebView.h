#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/URLConnection.h"
#include "Foundation/URLRequest.h"
#include "UIKit/TextInput.h"
#include "UIKit/View.h"

namespace ui {

// Failures the web view reports besides the URL layer's: "WebKitErrorDomain" 101 (a URL of a scheme
// it does not fetch was allowed) and 102 (the delegate refused a redirect, interrupting the load).
inline constexpr const char* kWebKitErrorDomain = "WebKitErrorDomain";
inline constexpr std::int64_t kWebKitErrorCannotShowURL = 101;
inline constexpr std::int64_t kWebKitErrorFrameLoadInterruptedByPolicyChange = 102;

enum class WebViewNavigationType {
  linkClicked = 0,
  formSubmitted = 1,
  backForward = 2,
  reload = 3,
  formResubmitted = 4,
  other = 5,
};

// A page as the web view read it: no styles, images or scripts, only what a login page needs.
struct WebPage {
  struct Link {
    std::string text;
    std::string href;  // resolved against the page's URL
  };
  struct Form {
    std::string action;  // resolved; the page's URL when the form names none
    std::string method;  // "GET" or "POST"
  };
  // A text, password, hidden (or other typed) input or a text area.
  struct Field {
    std::string name;
    std::string type;  // lower case; "textarea" for a text area
    std::string value;
    int form = -1;  // index into forms, -1 outside any form
  };
  // A submit input or a button element.
  struct Button {
    std::string name;
    std::string value;  // what it shows and, when it has a name, sends
    int form = -1;
  };
  // Document order, for drawing: a run of text, a link, field or button (index into its list), or
  // the end of a block.
  struct Item {
    enum class Kind { text, link, field, button, lineBreak } kind;
    std::size_t index = 0;
    std::string text;
  };

  std::string title;
  // The visible text, blanks collapsed, blocks on lines of their own.
  std::string text;
  std::vector<Link> links;
  std::vector<Form> forms;
  std::vector<Field> fields;
  std::vector<Button> buttons;
  std::vector<Item> items;
};

class WebView;

class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  // Asked before the first load, every redirect, followed link and submitted form; false refuses.
  virtual bool webViewShouldStartLoadWithRequest(WebView&, const ns::URLRequestPtr&, WebViewNavigationType) {
    return true;
  }
  virtual void webViewDidStartLoad(WebView&) {}
  virtual void webViewDidFinishLoad(WebView&) {}
  virtual void webViewDidFailLoadWithError(WebView&, const ns::ErrorPtr&) {}
};

// A headless web view. It loads through the URL layer with the shared cookie store and follows
// redirects itself, asking its delegate about each; a redirect whose Location has no fragment
// keeps the previous URL's. Only http and https are fetched: other schemes are asked about and
// never loaded. Any HTTP status finishes a load, and the page is read with an HTML parser.
// Scripts do not run: "document.title" is answered, any other script is recorded and answered "".
// Main thread only.
class WebView : public View, public TextInput {
 public:
  // The longest page the view reads: a login form or dialog is some tens of kilobytes, and a body
  // longer than this (announced or as it arrives) fails the load with -1103.
  static constexpr std::int64_t kMaxPageLength = std::int64_t{4} << 20;

  WebView();
  ~WebView() override;

  std::shared_ptr<WebView> initWithFrame(const cg::Rect& frame);

  std::shared_ptr<WebViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { delegate_ = std::move(delegate); }

  // Asks the delegate (navigation type other) and, if allowed, stops a running load, which fails
  // with "NSURLErrorDomain" -999, and starts this one.
  void loadRequest(const ns::URLRequestPtr& request);
  // Stops a running load; it fails with -999.
  void stopLoading();
  bool isLoading() const { return connection_ != nullptr; }
  // The current request: the URL with its fragment, the method and the body.
  ns::URLRequestPtr request() const { return request_; }

  std::string stringByEvaluatingJavaScriptFromString(const std::string& script);
  // Every script asked for other than "document.title", in order.
  const std::vector<std::string>& evaluatedScripts() const { return scripts_; }

  // The last page loaded (empty before the first).
  const WebPage& page() const { return page_; }

  // Hooks for tests and scripts. A link or button is found by its text (or a button by its name);
  // a field by its name. Each returns false when there is no such element.
  bool followLink(std::string_view text);
  bool followLinkAtIndex(std::size_t index);
  bool fillField(std::string_view name, std::string value);
  bool pressButton(std::string_view textOrName);
  bool pressButtonAtIndex(std::size_t index);

  // Drawn as a plain document: a white page, the title in bold, then the body in document order,
  // wrapped to the width: text, links in blue, fields as outlined boxes showing their value
  // (passwords as bullets), buttons as grey boxes. No styles, images or scripts.
  struct Box {
    WebPage::Item::Kind kind;
    std::size_t index;  // of the link, field or button
    std::string text;   // what is drawn
    cg::Rect rect;      // in the view's bounds
  };
  std::vector<Box> pageLayout() const;
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;

  // Touching a link follows it, a button presses it, a field takes the keyboard for it with the
  // caret where the touch falls; anything else gives the keyboard up.
  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesEnded(const TouchSet& touches, const Event* event) override;
  bool canBecomeFirstResponder() const override { return true; }
  bool showsKeyboard() const override { return focusedField_.has_value(); }
  bool resignFirstResponder() override;
  // The field the keyboard types into, while the view is first responder.
  std::optional<std::size_t> focusedField() const { return focusedField_; }
  // The user types into the focused field at its caret; false when no field has the keyboard.
  bool simulateTyping(const std::string& typed) { return insertText(typed); }

  // The keys edit the focused field; its caret starts at the end of its value. Return in a text
  // area starts a new line; in any other field it submits the field's form as the page's first
  // submit button would (without one, the form alone).
  bool insertText(const std::string& text) override;
  bool deleteBackward() override;
  bool deleteForward() override;
  bool moveCaret(CaretMove move) override;
  bool returnKey() override;
  std::size_t caretPosition() const override { return fieldCaret_; }
  bool showsCaret() const override { return focusedField_.has_value() && isFirstResponder(); }
  void setNeedsCaretDisplay() override;
  void layoutSubviews() override { placeFieldView(); }

  void appendDumpAttributes(std::string& line) const override;

 private:
  class Loader;
  friend class Loader;

  // Asks the delegate, then starts the navigation; false when refused.
  bool navigate(const ns::URLRequestPtr& request, WebViewNavigationType type);
  void start(const ns::URLRequestPtr& request);
  void redirected(std::uint64_t load, ns::URLRequestPtr proposed);
  void finished(std::uint64_t load, const ns::Data& body, const ns::URLResponsePtr& response);
  void failed(std::uint64_t load, const ns::ErrorPtr& error);
  // Stops the running load, if any, and tells the delegate it failed with -999.
  void cancelRunningLoad();
  void fail(const ns::ErrorPtr& error);
  // Sends the form with its fields and, when one is given, the button's name and value.
  bool submitForm(std::size_t form, const WebPage::Button* button);
  // The focused field is drawn by a view of its own over the page, so that what the keys change
  // draws the field again and not the page.
  class FieldView;
  void placeFieldView();
  // Keeps the focused field's caret in view and draws the field again.
  void fieldChanged();
  // How far the focused field's line is moved left to show its caret.
  double fieldScroll() const;
  // Edits the focused field's value and caret, while it has the keyboard; false when none has.
  bool editField(const std::function<void(EditedText&)>& edit);

  std::weak_ptr<WebViewDelegate> delegate_;
  ns::URLRequestPtr request_;
  ns::URLConnectionPtr connection_;
  std::uint64_t load_ = 0;  // numbers the loads; answers of an older one are dropped
  WebPage page_;
  std::vector<std::string> scripts_;
  std::optional<std::size_t> focusedField_;
  // Where the caret stands in the focused field's value.
  std::size_t fieldCaret_ = 0;
  double fieldScroll_ = 0;
  std::shared_ptr<FieldView> fieldView_;
};

}  // namespace ui
