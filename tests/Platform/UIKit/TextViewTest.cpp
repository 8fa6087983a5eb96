// The text view: typing through its delegate, the keyboard, the dump and the drawing; the first
// responder giving up when its tree is removed; the interface's will-turn announcement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Foundation/NotificationCenter.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/Application.h"
#include "UIKit/TextView.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"

namespace {

struct Recorder : ui::TextViewDelegate {
  std::vector<std::string> calls;
  std::string refuse;
  void textViewDidBeginEditing(ui::TextView&) override { calls.push_back("begin"); }
  void textViewDidEndEditing(ui::TextView&) override { calls.push_back("end"); }
  bool textViewShouldChangeTextInRangeReplacementText(ui::TextView&, ns::Range range,
                                                      const std::string& text) override {
    calls.push_back("change " + std::to_string(range.location) + " " + text);
    return text != refuse;
  }
};

TEST(TextViewTest, TypingAsksTheDelegateForEachRunAndEachReturnKey) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 200});
  auto text = std::make_shared<ui::TextView>()->initWithFrame({10, 10, 180, 80});
  root->addSubview(text);
  auto delegate = std::make_shared<Recorder>();
  delegate->refuse = "\n";
  text->setDelegate(delegate);
  text->setText("ёж");
  ASSERT_TRUE(text->simulateTyping("a\nb"));
  EXPECT_EQ(text->text(), "ёжab");
  EXPECT_EQ(delegate->calls, (std::vector<std::string>{"begin", "change 2 a", "change 3 \n", "change 3 b"}));
  EXPECT_TRUE(text->isFirstResponder());
  EXPECT_TRUE(ui::Responder::isKeyboardShown());
  text->resignFirstResponder();
  EXPECT_EQ(delegate->calls.back(), "end");
  text->setEditable(false);
  EXPECT_FALSE(text->simulateTyping("x"));
  EXPECT_EQ(text->text(), "ёжab");
}

TEST(TextViewTest, ATouchTakesTheKeyboardAndTheDumpShowsTheText) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 200});
  auto text = std::make_shared<ui::TextView>()->initWithFrame({10, 10, 180, 80});
  text->setReturnKeyType(ui::ReturnKeyType::done);
  text->setText("Hello");
  root->addSubview(text);
  ui::tap(text);
  EXPECT_TRUE(text->isFirstResponder());
  std::string dump = ui::dumpViewTree(root);
  EXPECT_NE(dump.find("text=\"Hello\""), std::string::npos) << dump;
  EXPECT_NE(dump.find("returnKey=done firstResponder"), std::string::npos) << dump;
  text->resignFirstResponder();
}

TEST(TextViewTest, LongTextIsDrawnWrappedInsideTheView) {
  auto text = std::make_shared<ui::TextView>()->initWithFrame({0, 0, 120, 120});
  text->setText("one two three four five six seven eight nine ten");
  text->setFont(ui::Font::systemFontOfSize(16));
  auto image = ui::renderView(text);
  ASSERT_TRUE(image);
  // Ink on several lines: dark pixels below the first line's band.
  int darkRows = 0;
  for (int y = 40; y < 110; ++y) {
    for (int x = 0; x < 120; ++x)
      if (image->colorAt(int(x * image->scale()), int(y * image->scale())).red < 0.5) {
        ++darkRows;
        break;
      }
  }
  EXPECT_GT(darkRows, 5);
}

TEST(TextViewTest, RemovingATreeMakesItsFirstResponderResignWhileStillInIt) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 200});
  auto sheet = std::make_shared<ui::View>()->initWithFrame({0, 0, 200, 200});
  auto text = std::make_shared<ui::TextView>()->initWithFrame({10, 10, 180, 80});
  root->addSubview(sheet);
  sheet->addSubview(text);
  struct Host : ui::TextViewDelegate {
    std::shared_ptr<ui::View> superviewAtEnd;
    std::weak_ptr<ui::View> sheet;
    void textViewDidEndEditing(ui::TextView&) override { superviewAtEnd = sheet.lock()->superview(); }
  };
  auto host = std::make_shared<Host>();
  host->sheet = sheet;
  text->setDelegate(host);
  ASSERT_TRUE(text->becomeFirstResponder());
  sheet->removeFromSuperview();
  EXPECT_FALSE(text->isFirstResponder());
  EXPECT_EQ(host->superviewAtEnd, root);
}

TEST(TextViewTest, TurningAnnouncesTheNewOrientationBeforeTheStatusBarTurns) {
  testsupport::ScreenScope screen;
  auto log = std::make_shared<std::vector<std::string>>();
  auto root = std::make_shared<testsupport::ProbeController>("root", log);
  root->init();
  root->orientations = ui::InterfaceOrientationMaskPortrait | ui::InterfaceOrientationMaskLandscapeLeft;
  screen.showWindow(root);
  auto app = ui::Application::sharedApplication();
  std::vector<std::pair<std::int64_t, ui::InterfaceOrientation>> heard;
  auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
      ui::kApplicationWillChangeStatusBarOrientationNotification, ns::Value(),
      [&](const ns::Notification& n) {
        heard.emplace_back(n.userInfo[ui::kApplicationStatusBarOrientationUserInfoKey].integerValue(),
                           app->statusBarOrientation());
      });
  EXPECT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_FALSE(ui::simulateRotation(ui::InterfaceOrientation::landscapeRight));
  ns::NotificationCenter::defaultCenter()->removeObserver(token);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].first, std::int64_t(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_EQ(heard[0].second, ui::InterfaceOrientation::portrait);
}

}  // namespace
