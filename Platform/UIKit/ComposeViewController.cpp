#include "UIKit/ComposeViewController.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "UIKit/Button.h"
#include "UIKit/Font.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/Screen.h"
#include "UIKit/TextView.h"

namespace ui {

const char* const kServiceTypeFacebook = "facebook";
const char* const kServiceTypeTwitter = "twitter";

namespace {

std::atomic<bool> classAvailable{false};

std::shared_ptr<Label> formLabel(const cg::Rect& frame, const std::string& text, std::shared_ptr<Font> font,
                                 const Color& colour, int lines) {
  auto label = std::make_shared<Label>()->initWithFrame(frame);
  label->setText(text);
  label->setFont(std::move(font));
  label->setTextColor(colour);
  label->setBackgroundColor(Color::clearColor());
  label->setNumberOfLines(lines);
  return label;
}

}  // namespace

void ComposeForm::loadView() {
  ViewController::loadView();
  // The presentation dims the window under the card (presentationDimmingColor).
  auto cover = view();
  cover->setBackgroundColor(Color::clearColor());
  const cg::Rect b = cover->bounds();
  const double w = std::min(460.0, b.width() - 20), h = 220;
  auto card = std::make_shared<View>()->initWithFrame(
      {std::floor((b.width() - w) / 2), std::floor((b.height() - h) / 3), w, h});
  card->setAutoresizingMask(ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleRightMargin |
                            ViewAutoresizingFlexibleTopMargin | ViewAutoresizingFlexibleBottomMargin);
  card->setBackgroundColor(Color::colorWithWhite(0.97, 1));
  card->layer()->setCornerRadius(10);
  card->setClipsToBounds(true);
  cover->addSubview(card);

  auto bar = std::make_shared<View>()->initWithFrame({0, 0, w, 44});
  bar->setBackgroundColor(Color::colorWithWhite(0.86, 1));
  card->addSubview(bar);
  auto cancelButton = Button::buttonWithType(ButtonType::custom);
  cancelButton->setFrame({8, 7, 90, 30});
  cancelButton->setTitle("Отменить", ControlStateNormal);
  cancelButton->setTitleColor(Color::colorWithRed(0.1, 0.35, 0.8, 1), ControlStateNormal);
  cancelButton->addTarget(self<ComposeForm>(), &ComposeForm::cancel, ControlEventTouchUpInside);
  bar->addSubview(cancelButton);
  bar->addSubview(formLabel({100, 0, w - 200, 44}, serviceTitle_, Font::boldSystemFontOfSize(17),
                            Color::blackColor(), 1));
  static_cast<Label&>(*bar->subviews().back()).setTextAlignment(TextAlignment::Center);
  auto sendButton = Button::buttonWithType(ButtonType::custom);
  sendButton->setFrame({w - 98, 7, 90, 30});
  sendButton->setTitle("Отправить", ControlStateNormal);
  sendButton->setTitleColor(Color::colorWithRed(0.1, 0.35, 0.8, 1), ControlStateNormal);
  sendButton->addTarget(self<ComposeForm>(), &ComposeForm::send, ControlEventTouchUpInside);
  bar->addSubview(sendButton);

  const double textWidth = images_.empty() ? w - 24 : w - 120;
  // The text view keeps its own margin round the text: the text starts 12 points in, under the bar.
  auto text = std::make_shared<TextView>()->initWithFrame({4, 44, textWidth + 16, 118});
  text->setText(initialText_);
  text->setFont(Font::systemFontOfSize(16));
  text->setBackgroundColor(Color::clearColor());
  card->addSubview(text);
  textView_ = text;
  std::string links;
  for (const auto& url : urls_) links += (links.empty() ? "" : "\n") + url.absoluteString();
  card->addSubview(formLabel({12, 168, w - 24, 40}, links, Font::systemFontOfSize(13),
                             Color::colorWithRed(0.1, 0.35, 0.8, 1), 2));
  if (!images_.empty()) {
    auto picture = std::make_shared<ImageView>()->initWithImage(images_.front());
    picture->setFrame({w - 100, 56, kImageSide, kImageSide});
    picture->setContentMode(ViewContentMode::scaleAspectFit);
    card->addSubview(picture);
  }
}

// As the form comes, its text takes the keyboard with the caret at its end; it gives it up as the
// form goes.
void ComposeForm::viewWillAppear(bool animated) {
  ViewController::viewWillAppear(animated);
  if (auto text = textView_.lock()) text->becomeFirstResponder();
}

void ComposeForm::viewWillDisappear(bool animated) {
  if (auto text = textView_.lock()) text->resignFirstResponder();
  ViewController::viewWillDisappear(animated);
}

cg::PixelBox ComposeForm::imageBox() {
  int side = int(std::ceil(kImageSide * Screen::mainScreen()->scale()));
  return {side, side};
}

std::string ComposeForm::text() const {
  auto view = textView_.lock();
  return view ? view->text() : initialText_;
}

void ComposeForm::cancel() { dismissViewControllerAnimated(true); }

void ComposeForm::send() {
  sent_ = true;
  dismissViewControllerAnimated(true);
}

void ComposeForm::appendDumpAttributes(std::string& line) const {
  ViewController::appendDumpAttributes(line);
  line += " service=\"" + serviceTitle_ + "\" images=" + std::to_string(images_.size());
}

bool ComposeViewController::isClassAvailable() { return classAvailable.load(); }

void ComposeViewController::setClassAvailable(bool available) { classAvailable.store(available); }

std::shared_ptr<ComposeViewController> ComposeViewController::composeViewControllerForServiceType(
    const std::string& type) {
  if (!isClassAvailable()) return nullptr;
  std::string title;
  if (type == kServiceTypeFacebook)
    title = "Facebook";
  else if (type == kServiceTypeTwitter)
    title = "Twitter";
  else
    return nullptr;
  auto composer = std::make_shared<ComposeViewController>();
  composer->init();
  composer->serviceType_ = type;
  composer->serviceTitle_ = title;
  return composer;
}

std::shared_ptr<TweetComposeViewController> TweetComposeViewController::init() {
  ViewController::init();
  serviceTitle_ = "Twitter";
  return self<TweetComposeViewController>();
}

}  // namespace ui
