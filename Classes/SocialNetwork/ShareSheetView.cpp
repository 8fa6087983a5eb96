#include "Classes/SocialNetwork/ShareSheetView.h"

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/RunLoop.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"
#include "UIKit/Image.h"
#include "UIKit/Screen.h"

namespace {
constexpr double kAnimation = 0.3;
constexpr double kKeyboardShift = 220.0;
// Two lines of the message and the field's margins.
constexpr double kMinFieldHeight = 44.0;
constexpr const char* kSendSelector = "postAfterDelay";
}  // namespace

ShareSheetView::~ShareSheetView() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

std::string ShareSheetView::messageForTitle(const std::string& title) {
  return ns::format("Смотрю  '%@' на мобильном ", title) + "http://" + TLSettings::serviceHost() +
         "/about/mobile";
}

ui::Color ShareSheetView::panelColor() {
  return ui::Color::colorWithRed(100 / 255.0, 130 / 255.0, 170 / 255.0, 1);
}

bool ShareSheetView::isTallPhone() { return ui::Screen::mainScreen()->bounds().height() == 568; }

bool ShareSheetView::isLandscapeNow() {
  return ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
}

cg::Rect ShareSheetView::sheetFrameForDevice() {
  bool landscape = isLandscapeNow();
  cg::Size size = ui::isPad() ? cg::Size{768, 1024} : isTallPhone() ? cg::Size{320, 568} : cg::Size{320, 480};
  return landscape ? cg::Rect{0, 0, size.height, size.width} : cg::Rect{0, 0, size.width, size.height};
}

cg::Size ShareSheetView::panelSizeForDevice() {
  if (ui::isPad()) return {400, 500};
  if (isLandscapeNow()) return {320, 320};
  return isTallPhone() ? cg::Size{320, 560} : cg::Size{320, 470};
}

void ShareSheetView::setUpSheet(const std::optional<cg::Rect>& variantFrame, std::string message,
                                std::string filmURL, std::string imageFilePath) {
  phoneVariant_ = variantFrame.has_value();
  initWithFrame(variantFrame ? *variantFrame : sheetFrameForDevice());
  setBackgroundColor(ui::Color::clearColor());
  if (!phoneVariant_) {
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    if (!ui::isPad()) {
      std::weak_ptr<ShareSheetView> weak = self<ShareSheetView>();
      ns::NotificationCenter::defaultCenter()->addObserver(
          self<ShareSheetView>(),
          [weak](const ns::Notification& n) {
            if (auto me = weak.lock()) me->changeOrientation(n);
          },
          ui::kApplicationWillChangeStatusBarOrientationNotification);
    }
  }
  message_ = std::move(message);
  filmURL_ = std::move(filmURL);
  imageFilePath_ = std::move(imageFilePath);
}

void ShareSheetView::makePanel(const cg::Rect& frame) {
  contentView_ = std::make_shared<ui::View>()->initWithFrame(frame);
  contentView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                    ui::ViewAutoresizingFlexibleRightMargin);
  contentView_->setBackgroundColor(ui::Color::clearColor());
  addSubview(contentView_);
  bgView_ = std::make_shared<ui::View>()->initWithFrame({0, 0, frame.width(), frame.height()});
  if (!phoneVariant_)
    bgView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  bgView_->setBackgroundColor(panelColor());
  bgView_->layer()->setCornerRadius(10.0);
  contentView_->addSubview(bgView_);
}

cg::Rect ShareSheetView::panelWithinSheet(cg::Rect panel) const {
  if (phoneVariant_) return panel;
  double height = bounds().height();
  if (panel.height() > height) panel.size.height = height;
  if (panel.y() + panel.height() > height) panel.origin.y = height - panel.height();
  return panel;
}

void ShareSheetView::layoutSubviews() {
  if (!contentView_) return;
  cg::Rect panel = panelWithinSheet(contentView_->frame());
  if (panel != contentView_->frame()) contentView_->setFrame(panel);
}

std::optional<std::string> ShareSheetView::stringBetweenString(std::string_view start, std::string_view end,
                                                               std::string_view inner) {
  std::size_t at = inner.find(start);
  if (at == std::string_view::npos) return std::nullopt;
  at += start.size();
  std::size_t stop = end.empty() ? std::string_view::npos : inner.find(end, at);
  std::string_view found =
      inner.substr(at, stop == std::string_view::npos ? std::string_view::npos : stop - at);
  if (found.empty()) return std::nullopt;
  return std::string(found);
}

std::shared_ptr<ui::Button> ShareSheetView::imageButton(const cg::Rect& frame, const std::string& title,
                                                        unsigned mask) {
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  button->setFrame(frame);
  button->setBackgroundImage(ui::Image::imageNamed("socBtnBg.png"), ui::ControlStateNormal);
  button->setAutoresizingMask(mask);
  auto label = std::make_shared<ui::Label>()->initWithFrame({0, 5, 100, 20});
  label->setText(title);
  label->setTextColor(ui::Color::whiteColor());
  label->setFont(ui::Font::boldSystemFontOfSize(17));
  label->setTextAlignment(ui::TextAlignment::Center);
  label->setBackgroundColor(ui::Color::clearColor());
  button->addSubview(label);
  return button;
}

std::shared_ptr<ui::Button> ShareSheetView::makeCloseButton(double panelWidth) {
  auto close = ui::Button::buttonWithType(ui::ButtonType::custom);
  close->setFrame({panelWidth - 38, 5, 33, 33});
  close->setImage(ui::Image::imageNamed("closeFB_.png"), ui::ControlStateNormal);
  close->addTarget(self<ShareSheetView>(), &ShareSheetView::closeSheet, ui::ControlEventTouchDown);
  return close;
}

void ShareSheetView::loadMessageEditor(const EditorStyle& style, double panelWidth, double panelHeight) {
  auto me = self<ShareSheetView>();
  messageInputView_ = std::make_shared<ui::View>()->initWithFrame({8, 8, panelWidth - 16, panelHeight - 16});
  messageInputView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth |
                                         ui::ViewAutoresizingFlexibleHeight);
  messageInputView_->setBackgroundColor(ui::Color::whiteColor());
  double editorWidth = messageInputView_->frame().width();
  double editorHeight = messageInputView_->frame().height();

  auto logo = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, editorWidth, 40});
  if (auto image = ui::Image::imageNamed(style.logo))
    logo->setImage(image->stretchableImageWithLeftCapWidth(style.logoCap, 0));

  // The field and its label. The field ends 5 points above the buttons; where that leaves too little
  // of it (a phone turned sideways), the label and field move up to just below the poster.
  cg::Rect fieldFrame = style.fieldFrame;
  double labelY = 150;
  const double fieldFoot = editorHeight - 40;
  if (fieldFrame.maxY() > fieldFoot) fieldFrame.size.height = std::max(0.0, fieldFoot - fieldFrame.y());
  if (fieldFrame.height() < kMinFieldHeight) {
    labelY = 128;
    fieldFrame.origin.y = 150;
    fieldFrame.size.height = std::max(0.0, fieldFoot - fieldFrame.y());
  }
  auto label = std::make_shared<ui::Label>()->initWithFrame(
      {15, labelY, phoneVariant_ ? bounds().width() : panelWidth, 20});
  label->setBackgroundColor(ui::Color::clearColor());
  label->setTextAlignment(ui::TextAlignment::Left);
  label->setText("Сообщение:");
  label->setTextColor(panelColor());
  label->setFont(ui::Font::boldSystemFontOfSize(style.labelFontSize));
  messageField_ = std::make_shared<ui::TextView>()->initWithFrame(fieldFrame);
  if (!phoneVariant_) messageField_->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
  messageField_->setText(message_);
  messageField_->setFont(ui::Font::systemFontOfSize(16));
  messageField_->layer()->setBorderWidth(1.0);
  messageField_->layer()->setBorderColor(panelColor().cgColor());
  messageField_->setDelegate(std::static_pointer_cast<ui::TextViewDelegate>(me));
  messageField_->setReturnKeyType(ui::ReturnKeyType::done);
  messageInputView_->addSubview(label);
  messageInputView_->addSubview(messageField_);

  sendButton_ = imageButton({editorWidth - 105, editorHeight - 35, 100, 30}, "Отправить", style.buttonMask);
  sendButton_->addTarget(me, &ShareSheetView::sendMessageBtnClick, ui::ControlEventTouchUpInside);
  cancelButton_ = imageButton({5, editorHeight - 35, 100, 30}, "Отмена", style.buttonMask);
  cancelButton_->addTarget(me, &ShareSheetView::cancelMessageBtnClick, ui::ControlEventTouchUpInside);
  messageInputView_->addSubview(sendButton_);
  messageInputView_->addSubview(cancelButton_);

  // The title between the message's first two single quotes, beside the poster and as tall, so that
  // three lines of it show and none runs under the poster.
  const cg::Rect posterFrame{5, 50, 121, 76};
  const double titleX = posterFrame.maxX() + 8;
  posterTitleLabel_ = std::make_shared<ui::Label>()->initWithFrame(
      {titleX, posterFrame.y(), std::max(0.0, editorWidth - 4 - titleX), posterFrame.height()});
  if (auto title = stringBetweenString("'", "'", message_))
    posterTitleLabel_->setText(ns::format("\"%@\"", *title));
  posterTitleLabel_->setBackgroundColor(ui::Color::clearColor());
  posterTitleLabel_->setTextColor(panelColor());
  posterTitleLabel_->setTextAlignment(ui::TextAlignment::Center);
  posterTitleLabel_->setFont(ui::Font::boldSystemFontOfSize(14));
  posterTitleLabel_->setNumberOfLines(3);
  messageInputView_->addSubview(posterTitleLabel_);

  filmImage_ = std::make_shared<ui::ImageView>()->initWithFrame(posterFrame);
  filmImage_->setContentMode(ui::ViewContentMode::scaleAspectFit);
  filmImage_->layer()->setCornerRadius(6.0);
  filmImage_->setBackgroundColor(ui::Color::blackColor());
  filmImage_->setImage(ui::Image::imageNamed("TLCinemaEmpty_.png"));
  // The poster replaces the placeholder once read, off the main thread and at the view's pixels.
  if (!imageFilePath_.empty() && ns::FileManager::defaultManager()->fileExistsAtPath(imageFilePath_)) {
    std::weak_ptr<ui::ImageView> weakImage = filmImage_;
    TLImageFetch::readImageForMain(imageFilePath_, TLImageFetch::pixelBox(filmImage_->bounds().size),
                                   [weakImage](const std::shared_ptr<ui::Image>& poster) {
                                     auto view = weakImage.lock();
                                     if (view && poster) view->setImage(poster);
                                   });
  }

  messageInputView_->addSubview(logo);
  messageInputView_->addSubview(filmImage_);
  bgView_->addSubview(messageInputView_);

  logoutButton_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  // The close button overlaps the editor's top right corner (30 points of it): the logout button
  // ends 6 points before it, so its title stands clear of the close button.
  logoutButton_->setFrame({editorWidth - 96, 12, 60, 20});
  logoutButton_->setTitle("выйти", ui::ControlStateNormal);
  logoutButton_->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(14));
  logoutButton_->setTitleColor(ui::Color::grayColor(), ui::ControlStateHighlighted);
  logoutButton_->addTarget(me, &ShareSheetView::logoutButtonClick, ui::ControlEventTouchUpInside);
  messageInputView_->addSubview(logoutButton_);
}

bool ShareSheetView::beginSend(double delay, std::function<void()> post) {
  if (sending_ || closed_ || !messageInputView_) return false;
  sending_ = true;
  double w = messageInputView_->frame().width(), h = messageInputView_->frame().height();
  sendSpinner_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::gray);
  sendSpinner_->setFrame({w / 2 - 20, h / 2 - 30, 40, 40});
  messageInputView_->addSubview(sendSpinner_);
  sendSpinner_->startAnimating();
  std::weak_ptr<ShareSheetView> weak = self<ShareSheetView>();
  ns::performAfterDelay(
      self<ShareSheetView>(), kSendSelector,
      [weak, post = std::move(post)] {
        if (auto me = weak.lock(); me && !me->closed_) post();
      },
      delay);
  return true;
}

void ShareSheetView::endSend() {
  // A send still waiting for its delay is dropped with the editor it came from.
  ns::cancelPreviousPerformRequestsWithTarget(this, kSendSelector);
  sending_ = false;
  if (sendSpinner_) {
    sendSpinner_->stopAnimating();
    sendSpinner_->removeFromSuperview();
    sendSpinner_.reset();
  }
}

void ShareSheetView::closeSheet() {
  if (closed_) return;
  closed_ = true;
  auto keep = self<ShareSheetView>();
  ns::cancelPreviousPerformRequestsWithTarget(this);
  setHidden(true);
  removeFromSuperview();
  if (auto handler = std::move(closedHandler_)) handler();
}

// MARK: Keyboard and orientation

void ShareSheetView::textViewDidBeginEditing(ui::TextView&) {
  keyboardUp_ = true;
  animateTextField(true);
}

void ShareSheetView::textViewDidEndEditing(ui::TextView&) {
  keyboardUp_ = false;
  animateTextField(false);
}

void ShareSheetView::animateTextField(bool up) {
  if (phoneVariant_) return moveKeyboard(up);
  if (ui::isPad()) return;
  if (inPlayer_)
    moveKeyboardInPlayer(up);
  else
    moveKeyboard(up);
}

void ShareSheetView::moveKeyboard(bool up) {
  auto host = superview();
  if (!host) return;
  cg::Rect frame = host->frame();
  frame.origin.y += up ? -kKeyboardShift : kKeyboardShift;
  ui::View::animateWithDuration(
      kAnimation, 0, ui::ViewAnimationOptionBeginFromCurrentState, [&] { host->setFrame(frame); }, nullptr);
}

void ShareSheetView::moveKeyboardInPlayer(bool up) {
  if (!contentView_) return;
  bool landscape = isLandscapeNow();
  double offset = landscape ? 160 : isTallPhone() ? 50 : 150;
  double restingHeight = isTallPhone() ? 560 : 470;
  cg::Rect frame = contentView_->frame();
  frame.origin.y += up ? -offset : offset;
  if (!landscape) frame.size.height = up ? 400 : restingHeight;
  // Back at rest the panel's buttons are on the screen again.
  if (!up) frame = panelWithinSheet(frame);
  auto panel = contentView_;
  ui::View::animateWithDuration(
      kAnimation, 0, ui::ViewAnimationOptionBeginFromCurrentState, [&] { panel->setFrame(frame); }, nullptr);
}

bool ShareSheetView::textViewShouldChangeTextInRangeReplacementText(ui::TextView& textView, ns::Range,
                                                                    const std::string& text) {
  if (text == "\n") {
    textView.resignFirstResponder();
    return false;
  }
  return true;
}

void ShareSheetView::changeOrientation(const ns::Notification& notification) {
  if (!inPlayer_ || phoneVariant_) return;
  if (keyboardUp_ && messageField_) messageField_->resignFirstResponder();
  auto orientation = static_cast<ui::InterfaceOrientation>(
      notification.userInfo[ui::kApplicationStatusBarOrientationUserInfoKey].integerValue());
  if (!contentView_) return;
  cg::Rect frame = contentView_->frame();
  frame.size.height = ui::isLandscape(orientation) ? 320 : isTallPhone() ? 568 : 470;
  auto panel = contentView_;
  ui::View::animateWithDuration(
      kAnimation, 0, ui::ViewAnimationOptionBeginFromCurrentState, [&] { panel->setFrame(frame); }, nullptr);
}
