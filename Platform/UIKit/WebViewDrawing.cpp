#include <algorithm>
#include <optional>

#include "Foundation/String.h"
#include "Graphics/Context.h"
#include "Graphics/Text.h"
#include "UIKit/Touch.h"
#include "UIKit/WebView.h"

namespace ui {

namespace {

constexpr double kMargin = 8;
constexpr double kLineGap = 4;
constexpr double kFieldWidth = 200;
constexpr double kBoxPadding = 4;

const cg::Font& bodyFont() {
  static const cg::Font font = cg::Font::systemFont(14);
  return font;
}
const cg::Font& titleFont() {
  static const cg::Font font = cg::Font::boldSystemFont(18);
  return font;
}

const cg::Color kLinkBlue = cg::Color::rgba(0, 0, 0.8);
const cg::Color kFieldOutline = cg::Color::rgba(0.55, 0.55, 0.55);
const cg::Color kButtonGrey = cg::Color::rgba(0.85, 0.85, 0.85);

// As many bullets as the value has characters.
std::string bullets(const std::string& value) {
  std::string out;
  for (std::size_t i = 0, n = ns::utf16Length(value); i < n; ++i) out += "\u2022";
  return out;
}

// Places boxes left to right, starting a new line when the next does not fit.
class Flow {
 public:
  Flow(double width, double top) : width_(width), y_(top) {}

  void place(WebView::Box box, cg::Size size) {
    if (x_ > kMargin && x_ + size.width > kMargin + width_) newLine();
    box.rect = {x_, y_, size.width, size.height};
    x_ += size.width;
    lineHeight_ = std::max(lineHeight_, size.height);
    boxes.push_back(std::move(box));
  }
  void space() { x_ += cg::measureText(" ", bodyFont()).width; }
  void newLine() {
    y_ += std::max(lineHeight_, bodyFont().lineHeight()) + kLineGap;
    x_ = kMargin;
    lineHeight_ = 0;
  }
  bool atLineStart() const { return x_ == kMargin; }

  std::vector<WebView::Box> boxes;

 private:
  double width_;
  double x_ = kMargin;
  double y_;
  double lineHeight_ = 0;
};

// A field's outlined box and what it shows, moved left by the scroll; the caret where one is given.
void drawField(cg::Context& ctx, const cg::Rect& r, const std::string& shown, bool focused,
               std::optional<std::size_t> caret, double scroll = 0) {
  ctx.setStrokeColor(focused ? kLinkBlue : kFieldOutline);
  ctx.setLineWidth(1);
  ctx.strokeRect(r.insetBy(0.5, 0.5));
  ctx.setFillColor(cg::Color::black());
  const cg::Rect inside = r.insetBy(kBoxPadding, kBoxPadding);
  if (!focused) {
    cg::drawText(ctx, shown, inside, bodyFont(), cg::LineBreakMode::Clip, cg::TextAlignment::Left);
    return;
  }
  // The focused field's line scrolls under the box to keep the caret in view.
  ctx.saveGState();
  ctx.clipToRect({inside.x() - 1, r.y(), inside.width() + 2, r.height()});
  cg::drawText(ctx, shown, {inside.x() - scroll, inside.y()}, bodyFont());
  if (caret)
    drawCaret(ctx, {inside.x() + caretOffset(shown, bodyFont(), *caret) - scroll, inside.y(), 0,
                    bodyFont().lineHeight()});
  ctx.restoreGState();
}

std::string shownValue(const WebPage::Field& field) {
  return field.type == "password" ? bullets(field.value) : field.value;
}

}  // namespace

class WebView::FieldView final : public View {
 public:
  FieldView(std::weak_ptr<WebView> web) : web_(std::move(web)) { setOpaque(false); }
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect&) override {
    cg::Context* ctx = cg::currentContext();
    auto web = web_.lock();
    if (!ctx || !web || !web->focusedField_ || *web->focusedField_ >= web->page_.fields.size()) return;
    const bool caret = web->isFirstResponder() && isCaretBlinkOn();
    ctx->setFillColor(cg::Color::white(1));
    ctx->fillRect(bounds());
    drawField(*ctx, bounds(), shownValue(web->page_.fields[*web->focusedField_]), true,
              caret ? std::optional(web->fieldCaret_) : std::nullopt, web->fieldScroll());
  }

 private:
  std::weak_ptr<WebView> web_;
};

void WebView::placeFieldView() {
  std::optional<cg::Rect> at;
  if (focusedField_ && isFirstResponder())
    for (const Box& box : pageLayout())
      if (box.kind == WebPage::Item::Kind::field && box.index == *focusedField_) at = box.rect;
  if (!at) {
    if (fieldView_) fieldView_->removeFromSuperview();
    fieldView_.reset();
    return;
  }
  if (!fieldView_) {
    fieldView_ = std::make_shared<FieldView>(std::weak_ptr<WebView>(self<WebView>()));
    fieldView_->initWithFrame(*at);
    // Touches on the field are the page's.
    fieldView_->setUserInteractionEnabled(false);
    addSubview(fieldView_);
  }
  fieldView_->setFrame(*at);
  fieldView_->setNeedsDisplay();
}

double WebView::fieldScroll() const {
  if (!fieldView_ || !focusedField_ || *focusedField_ >= page_.fields.size()) return 0;
  const double width = std::max(0.0, fieldView_->bounds().width() - 2 * kBoxPadding);
  return scrolledToCaret(shownValue(page_.fields[*focusedField_]), bodyFont(), fieldCaret_, width,
                         fieldScroll_);
}

void WebView::fieldChanged() {
  fieldScroll_ = fieldScroll();
  setNeedsCaretDisplay();
}

void WebView::setNeedsCaretDisplay() {
  if (fieldView_)
    fieldView_->setNeedsDisplay();
  else
    setNeedsDisplay();
}

std::vector<WebView::Box> WebView::pageLayout() const {
  double width = std::max(0.0, bounds().width() - 2 * kMargin);
  double top = kMargin;
  std::vector<Box> title;
  if (!page_.title.empty()) {
    cg::Size size = cg::measureText(page_.title, titleFont(), {width, 1e6}, cg::LineBreakMode::WordWrap);
    title.push_back({WebPage::Item::Kind::text, 0, page_.title, {kMargin, top, size.width, size.height}});
    top += size.height + 2 * kLineGap;
  }
  Flow flow(width, top);
  flow.boxes = std::move(title);
  // Text runs and links wrap between words; each word is a box of its own.
  auto words = [&](WebPage::Item::Kind kind, std::size_t index, const std::string& text) {
    for (const std::string& word : ns::componentsSeparatedByString(text, " ")) {
      if (word.empty()) continue;
      if (!flow.atLineStart()) flow.space();
      flow.place({kind, index, word, {}}, cg::measureText(word, bodyFont()));
    }
  };
  for (const WebPage::Item& item : page_.items) {
    switch (item.kind) {
      case WebPage::Item::Kind::lineBreak:
        if (!flow.atLineStart()) flow.newLine();
        break;
      case WebPage::Item::Kind::text:
      case WebPage::Item::Kind::link:
        words(item.kind, item.index, item.text);
        break;
      case WebPage::Item::Kind::field: {
        const WebPage::Field& field = page_.fields[item.index];
        if (field.type == "hidden") break;
        if (!flow.atLineStart()) flow.space();
        flow.place({item.kind, item.index, shownValue(field), {}},
                   {std::min(kFieldWidth, width), bodyFont().lineHeight() + 2 * kBoxPadding});
        break;
      }
      case WebPage::Item::Kind::button: {
        if (!flow.atLineStart()) flow.space();
        cg::Size text = cg::measureText(item.text, bodyFont());
        flow.place({item.kind, item.index, item.text, {}},
                   {text.width + 4 * kBoxPadding, text.height + 2 * kBoxPadding});
        break;
      }
    }
  }
  return std::move(flow.boxes);
}

void WebView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  ctx->saveGState();
  ctx->setFillColor(cg::Color::white(1));
  ctx->fillRect(bounds());
  ctx->clipToRect(bounds());
  bool first = !page_.title.empty();
  for (const Box& box : pageLayout()) {
    const cg::Rect& r = box.rect;
    switch (box.kind) {
      case WebPage::Item::Kind::text:
        ctx->setFillColor(cg::Color::black());
        if (first)
          cg::drawText(*ctx, box.text, r, titleFont(), cg::LineBreakMode::WordWrap, cg::TextAlignment::Left);
        else
          cg::drawText(*ctx, box.text, r.origin, bodyFont());
        break;
      case WebPage::Item::Kind::link:
        ctx->setFillColor(kLinkBlue);
        cg::drawText(*ctx, box.text, r.origin, bodyFont());
        break;
      case WebPage::Item::Kind::field:
        // The focused field's own view draws it over the page.
        if (!(fieldView_ && focusedField_ == box.index)) drawField(*ctx, r, box.text, false, std::nullopt);
        break;
      case WebPage::Item::Kind::button:
        ctx->setFillColor(kButtonGrey);
        ctx->fillRect(r);
        ctx->setFillColor(cg::Color::black());
        cg::drawText(*ctx, box.text, {r.x() + 2 * kBoxPadding, r.y() + kBoxPadding}, bodyFont());
        break;
      case WebPage::Item::Kind::lineBreak:
        break;
    }
    first = false;
  }
  ctx->restoreGState();
}

void WebView::touchesBegan(const TouchSet&, const Event*) {}

void WebView::touchesEnded(const TouchSet& touches, const Event*) {
  if (touches.empty()) return;
  cg::Point at = (*touches.begin())->locationInView(this);
  auto keep = self<WebView>();
  for (const Box& box : pageLayout()) {
    if (!box.rect.contains(at)) continue;
    switch (box.kind) {
      case WebPage::Item::Kind::link:
        resignFirstResponder();
        followLinkAtIndex(box.index);
        return;
      case WebPage::Item::Kind::button:
        resignFirstResponder();
        pressButtonAtIndex(box.index);
        return;
      case WebPage::Item::Kind::field: {
        // The keyboard shows for the field, so the role is taken with the field already set.
        auto previous = focusedField_;
        focusedField_ = box.index;
        if (!isFirstResponder() && !becomeFirstResponder()) {
          focusedField_ = previous;
          return;
        }
        // The caret goes between the characters nearest the touch (a password's bullets stand one
        // for each unit of its value), in the line as it is scrolled when the field was focused.
        const double scroll = previous == focusedField_ ? fieldScroll() : 0;
        fieldScroll_ = scroll;
        fieldCaret_ =
            placedCaret(box.text, bodyFont(),
                        {at.x - box.rect.x() - kBoxPadding + scroll, at.y - box.rect.y() - kBoxPadding});
        setNeedsDisplay();
        placeFieldView();
        fieldChanged();
        return;
      }
      default:
        break;
    }
  }
  resignFirstResponder();
}

bool WebView::resignFirstResponder() {
  bool had = isFirstResponder();
  // The role goes before the field: the keyboard hides for the field it showed for.
  bool resigned = Responder::resignFirstResponder();
  if (resigned && (had || focusedField_)) {
    focusedField_.reset();
    fieldScroll_ = 0;
    setNeedsDisplay();
    placeFieldView();
  }
  return resigned;
}

}  // namespace ui
