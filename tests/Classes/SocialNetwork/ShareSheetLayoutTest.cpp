// Where the sheets put their panels and editors on every device and orientation, and how they
// move for the keyboard and on rotation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Classes/TextFitSupport.h"
#include "Classes/WidgetTestSupport.h"
#include "Classes/iphone/SocialNetwork/FaceBookSender_iphone.h"
#include "Classes/iphone/SocialNetwork/VkontakteWebView_iphone.h"
#include "Foundation/Clock.h"
#include "ShareSheetSuite.h"
#include "UIKit/TouchSimulation.h"
#include "support/CaseName.h"

namespace {

using cg::Rect;
using ui::InterfaceOrientation;

struct Layout {
  std::string name;
  ui::DeviceProfile device;
  bool landscape;
  bool inPlayer;
  Rect vkSheet, vkPanel;  // after setInPlayer
  Rect fbSheet, fbPanel;  // after the editor was built
};

ui::DeviceProfile pad() { return ui::DeviceProfile::tablet(); }
ui::DeviceProfile phone() { return ui::DeviceProfile::phone(); }
ui::DeviceProfile tall() { return ui::DeviceProfile::phoneTall(); }

class ShareSheetLayoutTest : public testsupport::ShareSheetSuite,
                             public ::testing::WithParamInterface<Layout> {};

// Whatever the panel, the message field keeps room for two lines and ends above Send and Cancel.
void expectUsableField(const ShareSheetView& sheet) {
  Rect field = sheet.messageField()->frame();
  EXPECT_GE(field.height(), 44) << cg::describe(field);
  for (const auto& button : {sheet.sendButton(), sheet.cancelButton()})
    EXPECT_FALSE(field.intersects(button->frame()))
        << cg::describe(field) << " by " << cg::describe(button->frame());
  EXPECT_TRUE(sheet.messageInputView()->bounds().contains(field)) << cg::describe(field);
}

// The editor fills the panel less 8 pt all round; its field starts at 175 and leaves 80 below,
// or, where that is too short, starts at 150 below the poster and ends 5 above the buttons.
void expectEditor(const ShareSheetView& sheet, const Rect& panel) {
  EXPECT_EQ(sheet.messageInputView()->frame(), Rect(8, 8, panel.width() - 16, panel.height() - 16));
  Rect field = panel.height() - 255 >= 44 ? Rect(10, 175, panel.width() - 30, panel.height() - 255)
                                          : Rect(10, 150, panel.width() - 30, panel.height() - 56 - 150);
  EXPECT_EQ(sheet.messageField()->frame(), field);
  expectUsableField(sheet);
  double editorHeight = panel.height() - 16;
  EXPECT_EQ(sheet.sendButton()->frame(), Rect(panel.width() - 16 - 105, editorHeight - 35, 100, 30));
  EXPECT_EQ(sheet.cancelButton()->frame(), Rect(5, editorHeight - 35, 100, 30));
  EXPECT_EQ(sheet.closeButton()->frame(), Rect(panel.width() - 38, 5, 33, 33));
  // The title stands beside the poster, within the editor, not under it.
  Rect title = sheet.posterTitleLabel()->frame();
  EXPECT_FALSE(title.intersects(sheet.filmImage()->frame())) << cg::describe(title);
  EXPECT_TRUE(sheet.messageInputView()->bounds().contains(title)) << cg::describe(title);
  // The logout title keeps clear of the close button: neither touches the other.
  auto logout = sheet.logoutButton();
  logout->layoutIfNeeded();
  Rect logoutTitle = testsupport::shownTextRect(*logout->titleLabel(), sheet.contentView().get());
  EXPECT_FALSE(logoutTitle.insetBy(-4, -4).intersects(sheet.closeButton()->frame()))
      << cg::describe(logoutTitle) << " by " << cg::describe(sheet.closeButton()->frame());
  EXPECT_FALSE(logout->convertRectToView(logout->bounds(), sheet.contentView().get())
                   .intersects(sheet.closeButton()->frame()));
}

TEST_P(ShareSheetLayoutTest, SheetPanelEditorAndFieldFrames) {
  const Layout& l = GetParam();
  testsupport::ScopedDevice device(l.device);
  ui::Application::sharedApplication()->setStatusBarOrientation(
      l.landscape ? InterfaceOrientation::landscapeLeft : InterfaceOrientation::portrait);
  auto vk = std::make_shared<VkontakteWebView>()->initWithMessage("m", "u", "");
  vk->setInPlayer(l.inPlayer);
  vk->loadMessageInputView();
  EXPECT_EQ(vk->frame(), l.vkSheet);
  EXPECT_EQ(vk->contentView()->frame(), l.vkPanel);
  expectEditor(*vk, l.vkPanel);
  vk->closeVK();

  auto fb = std::make_shared<FaceBookSender>()->initWithMessage("m", "u", "");
  fb->setInPlayer(l.inPlayer);
  fb->loadMessageInputView();
  EXPECT_EQ(fb->frame(), l.fbSheet);
  EXPECT_EQ(fb->contentView()->frame(), l.fbPanel);
  expectEditor(*fb, l.fbPanel);
  // The overlay covers the largest screen from the host's top, above a sheet moved down too.
  Rect dim = fb->progressOverlay()->frame().offsetBy(0, fb->frame().y());
  EXPECT_EQ(dim.origin, (cg::Point{0, 0}));
  EXPECT_GE(dim.width(), 1024);
  EXPECT_GE(dim.height(), 1024);
}

INSTANTIATE_TEST_SUITE_P(Devices, ShareSheetLayoutTest,
                         ::testing::Values(Layout{"pad_portrait",
                                                  pad(),
                                                  false,
                                                  false,
                                                  {0, 0, 768, 1024},
                                                  {184, 0, 400, 500},
                                                  {0, 0, 768, 1024},
                                                  {184, 0, 400, 500}},
                                           Layout{"pad_portrait_player",
                                                  pad(),
                                                  false,
                                                  true,
                                                  {0, 0, 768, 1024},
                                                  {184, 0, 400, 500},
                                                  {0, 0, 768, 1024},
                                                  {184, 70, 400, 500}},
                                           Layout{"pad_landscape",
                                                  pad(),
                                                  true,
                                                  false,
                                                  {0, 0, 1024, 768},
                                                  {312, 0, 400, 500},
                                                  {0, 0, 1024, 768},
                                                  {312, 0, 400, 500}},
                                           Layout{"pad_landscape_player",
                                                  pad(),
                                                  true,
                                                  true,
                                                  {0, 0, 1024, 768},
                                                  {312, 0, 400, 500},
                                                  {0, 0, 1024, 768},
                                                  {312, 70, 400, 500}},
                                           Layout{"phone480_portrait",
                                                  phone(),
                                                  false,
                                                  false,
                                                  {0, 44, 320, 436},
                                                  {0, 0, 320, 411},
                                                  {0, 44, 320, 436},
                                                  {0, 0, 320, 411}},
                                           Layout{"phone480_portrait_player",
                                                  phone(),
                                                  false,
                                                  true,
                                                  {0, 0, 320, 480},
                                                  {0, 0, 320, 470},
                                                  {0, 44, 320, 436},
                                                  {0, 25, 320, 411}},
                                           Layout{"phone480_landscape",
                                                  phone(),
                                                  true,
                                                  false,
                                                  {0, 44, 480, 276},
                                                  {80, 0, 320, 261},
                                                  {0, 44, 480, 276},
                                                  {80, 0, 320, 261}},
                                           Layout{"phone480_landscape_player",
                                                  phone(),
                                                  true,
                                                  true,
                                                  {0, 0, 480, 320},
                                                  {80, 0, 320, 320},
                                                  {0, 44, 480, 276},
                                                  {80, 15, 320, 261}},
                                           Layout{"phone568_portrait",
                                                  tall(),
                                                  false,
                                                  false,
                                                  {0, 44, 320, 524},
                                                  {0, 0, 320, 501},
                                                  {0, 44, 320, 524},
                                                  {0, 0, 320, 501}},
                                           Layout{"phone568_portrait_player",
                                                  tall(),
                                                  false,
                                                  true,
                                                  {0, 0, 320, 568},
                                                  {0, 0, 320, 560},
                                                  {0, 44, 320, 524},
                                                  {0, 23, 320, 501}},
                                           Layout{"phone568_landscape",
                                                  tall(),
                                                  true,
                                                  false,
                                                  {0, 44, 568, 276},
                                                  {124, 0, 320, 261},
                                                  {0, 44, 568, 276},
                                                  {124, 0, 320, 261}},
                                           Layout{"phone568_landscape_player",
                                                  tall(),
                                                  true,
                                                  true,
                                                  {0, 0, 568, 320},
                                                  {124, 0, 320, 320},
                                                  {0, 44, 568, 276},
                                                  {124, 15, 320, 261}}),
                         testsupport::CaseName());

struct VariantLayout {
  std::string name;
  Rect frame;
  Rect vkPanel;
};

class ShareSheetVariantLayoutTest : public testsupport::ShareSheetSuite,
                                    public ::testing::WithParamInterface<VariantLayout> {};

TEST_P(ShareSheetVariantLayoutTest, VariantsTakeTheirFrameWithAFixedHeightField) {
  const VariantLayout& l = GetParam();
  testsupport::ScopedDevice device(pad());  // the variants ignore the device
  double w = l.frame.width(), h = l.frame.height();
  auto vk = std::make_shared<VkontakteWebView_iphone>()->initWithFrame(l.frame, "m", "u", "");
  vk->loadMessageInputView();
  EXPECT_EQ(vk->frame(), l.frame);
  EXPECT_EQ(vk->contentView()->frame(), l.vkPanel);
  EXPECT_EQ(vk->webView()->frame(), Rect(8, 8, w - 16, h - 16));
  EXPECT_EQ(vk->activityInput()->frame(), Rect((w - 16) / 2 - 10, (h - 16) / 2 - 10, 20, 20));
  EXPECT_EQ(vk->messageInputView()->frame(), Rect(8, 8, w - 16, h - 16));
  // The field is 150 tall where the frame has room, else it ends 5 points above the buttons.
  double field = std::min(150.0, h - 16 - 40 - 175);
  EXPECT_EQ(vk->messageField()->frame(), Rect(10, 175, w - 30, field));
  expectUsableField(*vk);
  EXPECT_EQ(vk->autoresizingMask(), unsigned(ui::ViewAutoresizingNone));
  EXPECT_EQ(vk->sendButton()->autoresizingMask(), unsigned(ui::ViewAutoresizingNone));
  vk->closeVK();

  auto fb = std::make_shared<FaceBookSender_iphone>()->initWithFrame(l.frame, "m", "u", "");
  EXPECT_EQ(fb->progressOverlay()->frame(), Rect(0, 0, w, h));
  fb->loadMessageInputView();
  EXPECT_EQ(fb->frame(), l.frame);
  EXPECT_EQ(fb->contentView()->frame(), Rect(0, 0, w, h));
  EXPECT_EQ(fb->messageField()->frame(), Rect(10, 175, w - 16 - 15, field));
  expectUsableField(*fb);
}

INSTANTIATE_TEST_SUITE_P(Frames, ShareSheetVariantLayoutTest,
                         ::testing::Values(VariantLayout{"phone_frame", {0, 0, 320, 480}, {0, 0, 320, 480}},
                                           VariantLayout{"wider_frame", {0, 0, 480, 320}, {80, 0, 480, 320}}),
                         testsupport::CaseName());

// The keyboard on the manual clock: the host page or the player's panel moves and comes back.
class ShareSheetKeyboardTest : public testsupport::ShareSheetSuite {
 protected:
  template <class Sheet>
  std::shared_ptr<Sheet> editorIn(std::shared_ptr<Sheet> sheet) {
    makeHost();
    host_->addSubview(sheet);
    sheet->loadMessageInputView();
    return sheet;
  }
  ns::ManualClock clock_;
};

TEST_F(ShareSheetKeyboardTest, OnAPhoneTheHostMoves220PointsAndBackAndReturnEndsEditingWithoutALineBreak) {
  testsupport::ScopedDevice device(phone());
  for (bool facebook : {false, true}) {
    SCOPED_TRACE(facebook ? "facebook" : "vkontakte");
    std::shared_ptr<ShareSheetView> sheet;
    if (facebook)
      sheet = editorIn(std::make_shared<FaceBookSender>()->initWithMessage("m", "u", ""));
    else
      sheet = editorIn(std::make_shared<VkontakteWebView>()->initWithMessage("m", "u", ""));
    ASSERT_TRUE(ui::tap(sheet->messageField()));
    EXPECT_TRUE(sheet->messageField()->isFirstResponder());
    clock_.advance(0.3);
    EXPECT_EQ(host_->frame().y(), -220);
    ASSERT_TRUE(sheet->messageField()->simulateTyping(" ok"));
    ASSERT_TRUE(sheet->messageField()->simulateReturnKey());
    clock_.advance(0.3);
    EXPECT_EQ(sheet->messageField()->text(), "m ok");
    EXPECT_FALSE(sheet->messageField()->isFirstResponder());
    EXPECT_EQ(host_->frame().y(), 0);
    // Closing while editing puts the host back too.
    ASSERT_TRUE(sheet->messageField()->becomeFirstResponder());
    EXPECT_EQ(host_->frame().y(), -220);
    sheet->cancelMessageBtnClick();
    EXPECT_EQ(host_->frame().y(), 0);
    EXPECT_FALSE(ui::Responder::currentFirstResponder());
  }
}

TEST_F(ShareSheetKeyboardTest, OnATabletNothingMovesButTheVariantsMoveTheHostEverywhere) {
  testsupport::ScopedDevice device(pad());
  auto sheet = editorIn(std::make_shared<VkontakteWebView>()->initWithMessage("m", "u", ""));
  cg::Rect panel = sheet->contentView()->frame();
  ASSERT_TRUE(sheet->messageField()->becomeFirstResponder());
  EXPECT_EQ(host_->frame().y(), 0);
  EXPECT_EQ(sheet->contentView()->frame(), panel);
  sheet->closeVK();

  auto variant =
      editorIn(std::make_shared<FaceBookSender_iphone>()->initWithFrame({0, 0, 320, 480}, "m", "u", ""));
  ASSERT_TRUE(variant->messageField()->becomeFirstResponder());
  EXPECT_EQ(host_->frame().y(), -220);
  variant->messageField()->resignFirstResponder();
  EXPECT_EQ(host_->frame().y(), 0);
}

struct PlayerKeyboard {
  std::string name;
  ui::DeviceProfile device;
  bool landscape;
  double panelHeight;  // at rest
  double offset;
  double raisedHeight;
};

class ShareSheetPlayerKeyboardTest : public ShareSheetKeyboardTest,
                                     public ::testing::WithParamInterface<PlayerKeyboard> {};

TEST_P(ShareSheetPlayerKeyboardTest, InThePlayerThePanelMovesInstead) {
  const PlayerKeyboard& p = GetParam();
  testsupport::ScopedDevice device(p.device);
  ui::Application::sharedApplication()->setStatusBarOrientation(
      p.landscape ? InterfaceOrientation::landscapeRight : InterfaceOrientation::portrait);
  makeHost();
  auto sheet = std::make_shared<VkontakteWebView>()->initWithMessage("m", "u", "");
  sheet->setInPlayer(true);
  host_->addSubview(sheet);
  sheet->loadMessageInputView();
  cg::Rect rest = sheet->contentView()->frame();
  ASSERT_EQ(rest.height(), p.panelHeight);
  ASSERT_TRUE(sheet->messageField()->becomeFirstResponder());
  clock_.advance(0.3);
  EXPECT_EQ(sheet->contentView()->frame().y(), rest.y() - p.offset);
  EXPECT_EQ(sheet->contentView()->frame().height(), p.raisedHeight);
  EXPECT_EQ(host_->frame().y(), 0);
  sheet->messageField()->resignFirstResponder();
  clock_.advance(0.3);
  EXPECT_EQ(sheet->contentView()->frame().y(), rest.y());
  EXPECT_EQ(sheet->contentView()->frame().height(),
            p.landscape ? rest.height() : (p.device.screenSize.height == 568 ? 560 : 470));
}

INSTANTIATE_TEST_SUITE_P(Phones, ShareSheetPlayerKeyboardTest,
                         ::testing::Values(PlayerKeyboard{"phone480_portrait", phone(), false, 470, 150, 400},
                                           PlayerKeyboard{"phone568_portrait", tall(), false, 560, 50, 400},
                                           PlayerKeyboard{"phone480_landscape", phone(), true, 320, 160, 320},
                                           PlayerKeyboard{"phone568_landscape", tall(), true, 320, 160, 320}),
                         testsupport::CaseName());

TEST_F(ShareSheetKeyboardTest, RotationInThePlayerEndsEditingAndResizesThePanel) {
  for (bool tallScreen : {false, true}) {
    SCOPED_TRACE(tallScreen ? "568" : "480");
    testsupport::ScopedDevice device(tallScreen ? tall() : phone());
    makeHost();
    auto sheet = std::make_shared<FaceBookSender>()->initWithMessage("m", "u", "");
    sheet->setInPlayer(true);
    host_->addSubview(sheet);
    sheet->loadMessageInputView();
    cg::Rect before = sheet->contentView()->frame();
    ASSERT_TRUE(sheet->messageField()->becomeFirstResponder());
    auto post = [](InterfaceOrientation o) {
      ns::NotificationCenter::defaultCenter()->postNotificationName(
          ui::kApplicationWillChangeStatusBarOrientationNotification, ns::Value(),
          ns::Dictionary{{ui::kApplicationStatusBarOrientationUserInfoKey, std::int64_t(o)}});
    };
    post(InterfaceOrientation::landscapeLeft);
    clock_.advance(0.3);
    EXPECT_FALSE(sheet->messageField()->isFirstResponder());
    cg::Rect turned = sheet->contentView()->frame();
    EXPECT_EQ(turned.height(), 320);
    post(InterfaceOrientation::portrait);
    clock_.advance(0.3);
    EXPECT_EQ(sheet->contentView()->frame().height(), tallScreen ? 568 : 470);
    // Position and width stay.
    EXPECT_EQ(sheet->contentView()->frame().x(), before.x());
    EXPECT_EQ(sheet->contentView()->frame().width(), before.width());
    sheet->setInPlayer(false);
    post(InterfaceOrientation::landscapeLeft);
    EXPECT_EQ(sheet->contentView()->frame().height(), tallScreen ? 568 : 470);
    sheet->closeFB();
  }
}

// The Facebook sheet in the full-screen player: below the upper bar where there is room, and
// always with its buttons on the screen, as opened, turned, turned back and after editing.
struct PlayerScreen {
  std::string name;
  ui::DeviceProfile device;
  bool landscape;
  double panelY;  // as opened
};

class FacebookInThePlayerTest : public ShareSheetKeyboardTest,
                                public ::testing::WithParamInterface<PlayerScreen> {
 protected:
  // The player's full-screen view over the whole screen, turned as the status bar says.
  void showScreen() {
    cg::Size screen = ui::Screen::mainScreen()->bounds().size;
    bool landscape = ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
    cg::Rect frame{0, 0, landscape ? screen.height : screen.width, landscape ? screen.width : screen.height};
    if (!window_) {
      window_ = std::make_shared<ui::Window>()->initWithFrame(frame);
      window_->makeKeyAndVisible();
      host_ = std::make_shared<ui::View>()->initWithFrame(frame);
      host_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
      window_->addSubview(host_);
    }
    window_->setFrame(frame);
    window_->layoutIfNeeded();
  }
  void turnTo(InterfaceOrientation orientation) {
    ns::NotificationCenter::defaultCenter()->postNotificationName(
        ui::kApplicationWillChangeStatusBarOrientationNotification, ns::Value(),
        ns::Dictionary{{ui::kApplicationStatusBarOrientationUserInfoKey, std::int64_t(orientation)}});
    ui::Application::sharedApplication()->setStatusBarOrientation(orientation);
    showScreen();
    clock_.advance(0.3);
  }
  void expectOnScreen(const ShareSheetView& sheet, const char* when) {
    for (const auto& button : {sheet.sendButton(), sheet.cancelButton(), sheet.closeButton()}) {
      cg::Rect r = button->convertRectToView(button->bounds(), window_);
      EXPECT_TRUE(window_->bounds().contains(r))
          << when << ": " << cg::describe(r) << " on " << cg::describe(window_->bounds());
    }
  }
};

TEST_P(FacebookInThePlayerTest, SendAndCancelStayOnTheScreen) {
  const PlayerScreen& p = GetParam();
  testsupport::ScopedDevice device(p.device);
  auto opened = p.landscape ? InterfaceOrientation::landscapeLeft : InterfaceOrientation::portrait;
  auto other = p.landscape ? InterfaceOrientation::portrait : InterfaceOrientation::landscapeLeft;
  ui::Application::sharedApplication()->setStatusBarOrientation(opened);
  showScreen();
  auto sheet = std::make_shared<FaceBookSender>()->initWithMessage("m", "u", "");
  host_->addSubview(sheet);
  sheet->setInPlayer(true);
  sheet->loadMessageInputView();
  EXPECT_EQ(sheet->contentView()->frame().y(), p.panelY);
  expectOnScreen(*sheet, "opened");
  turnTo(other);
  expectOnScreen(*sheet, "turned");
  turnTo(opened);
  expectOnScreen(*sheet, "turned back");
  ASSERT_TRUE(sheet->messageField()->becomeFirstResponder());
  clock_.advance(0.3);
  sheet->messageField()->resignFirstResponder();
  clock_.advance(0.3);
  expectOnScreen(*sheet, "after editing");
  sheet->closeFB();
}

INSTANTIATE_TEST_SUITE_P(Screens, FacebookInThePlayerTest,
                         ::testing::Values(PlayerScreen{"phone480_portrait", phone(), false, 25},
                                           PlayerScreen{"phone480_landscape", phone(), true, 15},
                                           PlayerScreen{"phone568_portrait", tall(), false, 23},
                                           PlayerScreen{"phone568_landscape", tall(), true, 15},
                                           PlayerScreen{"pad_portrait", pad(), false, 70},
                                           PlayerScreen{"pad_landscape", pad(), true, 70}),
                         testsupport::CaseName());

}  // namespace
