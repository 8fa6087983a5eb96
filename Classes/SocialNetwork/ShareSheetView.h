#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/NotificationCenter.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Button.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/TextView.h"
#include "UIKit/View.h"

// What the VKontakte and Facebook share sheets have in common: the full-screen frame by device,
// the centred panel, the message editor with the title's poster, the keyboard and orientation
// handling on a phone, one send at a time, and closing.
//
// A caller (title page, player) makes a sheet with a message (messageForTitle for a title), the
// title's share URL and the path of its poster file, sends setInPlayer when it is the player,
// adds the sheet to its own view and, for Facebook, calls loginToFacebook. The sheet removes
// itself from its superview when it is done; the closed handler then runs once.
//
// The phone-only variants (made with a frame of their own) use the same code with their
// differences: the given frame instead of the device's, no player or orientation handling, and the
// host page moved for the keyboard whatever the device.
class ShareSheetView : public ui::View, public ui::TextViewDelegate {
 public:
  ~ShareSheetView() override;

  // The title page's message for a title: "Смотрю  '<title>' на мобильном " and the address of
  // the service's page about the mobile application.
  static std::string messageForTitle(const std::string& title);

  // Runs once, after the sheet has removed itself from its superview.
  void setClosedHandler(std::function<void()> handler) { closedHandler_ = std::move(handler); }
  bool isClosed() const { return closed_; }

  const std::string& message() const { return message_; }
  const std::string& filmURL() const { return filmURL_; }
  const std::string& imageFilePath() const { return imageFilePath_; }
  bool inPlayer() const { return inPlayer_; }
  bool isPhoneVariant() const { return phoneVariant_; }
  // Whether a send is waiting for its delay or running.
  bool isSending() const { return sending_; }

  // The panel; the player moves it before adding the sheet.
  const std::shared_ptr<ui::View>& contentView() const { return contentView_; }
  const std::shared_ptr<ui::View>& bgView() const { return bgView_; }
  const std::shared_ptr<ui::View>& messageInputView() const { return messageInputView_; }
  const std::shared_ptr<ui::TextView>& messageField() const { return messageField_; }
  const std::shared_ptr<ui::ImageView>& filmImage() const { return filmImage_; }
  const std::shared_ptr<ui::Label>& posterTitleLabel() const { return posterTitleLabel_; }
  const std::shared_ptr<ui::Button>& sendButton() const { return sendButton_; }
  const std::shared_ptr<ui::Button>& cancelButton() const { return cancelButton_; }
  const std::shared_ptr<ui::Button>& logoutButton() const { return logoutButton_; }
  const std::shared_ptr<ui::Button>& closeButton() const { return closeButton_; }

  // The text from behind the first start mark up to the end mark or the end of the text; none
  // when the start mark is missing or nothing lies between.
  static std::optional<std::string> stringBetweenString(std::string_view start, std::string_view end,
                                                        std::string_view inner);

  // Keyboard and orientation.
  void textViewDidBeginEditing(ui::TextView& textView) override;
  void textViewDidEndEditing(ui::TextView& textView) override;
  bool textViewShouldChangeTextInRangeReplacementText(ui::TextView& textView, ns::Range range,
                                                      const std::string& text) override;
  void animateTextField(bool up);
  void moveKeyboard(bool up);
  void moveKeyboardInPlayer(bool up);
  void changeOrientation(const ns::Notification& notification);

  virtual void sendMessageBtnClick() = 0;
  void cancelMessageBtnClick() { closeSheet(); }

  static ui::Color panelColor();

 protected:
  // The sheet's frame for the device and the status bar's orientation.
  static cg::Rect sheetFrameForDevice();
  // The panel's size for the device and orientation.
  static cg::Size panelSizeForDevice();
  static bool isTallPhone();
  static bool isLandscapeNow();

  // The common set-up: frame (the variant's or the device's), resizing, the orientation observer
  // of the phone sheets, the stored texts.
  void setUpSheet(const std::optional<cg::Rect>& variantFrame, std::string message, std::string filmURL,
                  std::string imageFilePath);

  // The panel (contentView) and its rounded background (bgView), added to the sheet; the variants'
  // views get no resizing rules but the panel's side margins.
  void makePanel(const cg::Rect& frame);
  // A panel frame kept within the sheet, whose bottom is the screen's: moved up, and made shorter
  // when it is taller than the sheet, as far as it would reach past the bottom; a frame that fits
  // stays as it is. The variants lay out within the frame they are given and keep theirs.
  cg::Rect panelWithinSheet(cg::Rect panel) const;
  // After the sheet turned with its host.
  void layoutSubviews() override;

  struct EditorStyle {
    const char* logo;
    int logoCap;
    double labelFontSize;
    cg::Rect fieldFrame;
    unsigned buttonMask;
  };
  // Builds the editor into bgView (Send, Cancel, "выйти" call the given members).
  void loadMessageEditor(const EditorStyle& style, double panelWidth, double panelHeight);
  std::shared_ptr<ui::Button> makeCloseButton(double panelWidth);
  virtual void logoutButtonClick() = 0;

  // Send: a spinner on the editor, then the post after the delay; nothing while one is under way.
  bool beginSend(double delay, std::function<void()> post);
  // The send is over or dropped without closing (the editor may send again).
  void endSend();
  // Removes the sheet (a pending send is dropped) and tells the closed handler.
  void closeSheet();

  std::string message_;
  std::string filmURL_;
  std::string imageFilePath_;
  bool inPlayer_ = false;
  bool keyboardUp_ = false;
  bool phoneVariant_ = false;

  std::shared_ptr<ui::View> contentView_;
  std::shared_ptr<ui::View> bgView_;
  std::shared_ptr<ui::View> messageInputView_;
  std::shared_ptr<ui::TextView> messageField_;
  std::shared_ptr<ui::ImageView> filmImage_;
  std::shared_ptr<ui::Label> posterTitleLabel_;
  std::shared_ptr<ui::Button> sendButton_;
  std::shared_ptr<ui::Button> cancelButton_;
  std::shared_ptr<ui::Button> logoutButton_;
  std::shared_ptr<ui::Button> closeButton_;
  std::shared_ptr<ui::ActivityIndicatorView> sendSpinner_;

 private:
  std::shared_ptr<ui::Button> imageButton(const cg::Rect& frame, const std::string& title, unsigned mask);

  std::function<void()> closedHandler_;
  bool closed_ = false;
  bool sending_ = false;
};
