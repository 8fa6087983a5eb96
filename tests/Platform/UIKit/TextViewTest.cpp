// The text view: typing through its delegate, the keyboard, the dump and the drawing; the first
// responder giving up when its tree is removed; the interface's will-turn announcement.
#include <gtest/gtest.h>

#include <chrono>
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
  // The delete keys ask for one whole character before or after the caret.
  delegate->calls.clear();
  EXPECT_TRUE(text->insertText("😀"));
  EXPECT_TRUE(text->deleteBackward());
  EXPECT_TRUE(text->moveCaret(ui::CaretMove::left));
  EXPECT_TRUE(text->deleteForward());
  EXPECT_EQ(text->text(), "ёжa");
  EXPECT_EQ(delegate->calls, (std::vector<std::string>{"change 4 😀", "change 4 ", "change 3 "}));
  // Home and End keep to the wrapped line the caret is on, its blank left to the line before.
  text->setText("один два три четыре пять шесть семь восемь");
  EXPECT_TRUE(text->moveCaret(ui::CaretMove::lineStart));
  const std::size_t lastLine = text->caretPosition();
  ASSERT_GT(lastLine, 1u);
  EXPECT_EQ(ns::characterAtIndex(text->text(), lastLine - 1), u' ');
  text->moveCaret(ui::CaretMove::left);
  text->moveCaret(ui::CaretMove::lineStart);
  EXPECT_LT(text->caretPosition(), lastLine - 1);
  text->moveCaret(ui::CaretMove::lineEnd);
  EXPECT_EQ(text->caretPosition(), lastLine - 1);
  text->resignFirstResponder();
  EXPECT_EQ(delegate->calls.back(), "end");
  text->setEditable(false);
  EXPECT_FALSE(text->simulateTyping("x"));
  EXPECT_EQ(text->text(), "один два три четыре пять шесть семь восемь");
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

// A finger dragged over the view from its centre by dy points, then lifted; the offset while it
// was still down comes back.
double dragText(const std::shared_ptr<ui::View>& root, const std::shared_ptr<ui::TextView>& text, double dy) {
  cg::Point at = text->convertPointToView(text->bounds().center(), root.get());
  ui::SimulatedTouch touch(root, at);
  for (int i = 1; i <= 4; ++i) touch.moveTo({at.x, at.y + dy * i / 4});
  double held = text->contentOffset().y;
  touch.end();
  return held;
}

TEST(TextViewTest, ALongReadOnlyTextScrollsWithinItsEndsAndAShortOneBouncesBack) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 300, 400});
  auto text = std::make_shared<ui::TextView>()->initWithFrame({10, 100, 200, 100});
  text->setEditable(false);
  text->setFont(ui::Font::systemFontOfSize(16));
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "строка текста ";
  text->setText(longText);
  root->addSubview(text);
  const double max = text->maximumContentOffsetY();
  ASSERT_GT(max, 100) << "the text is several views tall";
  EXPECT_EQ(max, text->contentHeight() - 100);

  EXPECT_EQ(dragText(root, text, -60), 60);
  EXPECT_EQ(text->contentOffset().y, 60) << "a drag within the ends stays where it was left";
  EXPECT_NE(ui::dumpViewTree(root).find("contentOffset=60"), std::string::npos);
  EXPECT_GT(dragText(root, text, -2000), max) << "pulled past the end";
  EXPECT_EQ(text->contentOffset().y, max) << "rests at the end";
  EXPECT_LT(dragText(root, text, 3000), 0) << "pulled past the top";
  EXPECT_EQ(text->contentOffset().y, 0);
  EXPECT_FALSE(text->isFirstResponder());

  text->setText("коротко");
  EXPECT_EQ(text->maximumContentOffsetY(), 0);
  EXPECT_EQ(dragText(root, text, -50), 0) << "a short text does not move unless it always bounces";
  text->setAlwaysBounceVertical(true);
  EXPECT_GT(dragText(root, text, -50), 0);
  EXPECT_EQ(text->contentOffset().y, 0) << "and springs back";

  // A new text starts at its top; a drag on an editable view does not take the keyboard.
  text->setText(longText);
  dragText(root, text, -40);
  text->setText(longText);
  EXPECT_EQ(text->contentOffset().y, 0);
  text->setEditable(true);
  dragText(root, text, -40);
  EXPECT_FALSE(text->isFirstResponder());
}

// The rows of the view's picture that hold dark ink.
int inkedRows(const cg::Image& image, double fromY, double toY) {
  int rows = 0;
  for (int y = int(fromY * image.scale()); y < std::min(image.pixelHeight(), int(toY * image.scale())); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x)
      if (image.colorAt(x, y).red < 0.5) {
        ++rows;
        break;
      }
  return rows;
}

TEST(TextViewTest, TheTextIsLaidOutAgainOnlyForANewTextFontOrWidthAndScrollsToItsEnd) {
  auto text = std::make_shared<ui::TextView>()->initWithFrame({0, 0, 200, 100});
  text->setFont(ui::Font::systemFontOfSize(16));
  std::string bio;
  for (int i = 0; i < 150; ++i) bio += "слово ";  // some ten views of text
  bio += "КОНЕЦ";
  text->setText(bio);
  auto height = [&](double width, double size) {
    return cg::measureText(bio, cg::Font::systemFont(size), {width - 16, 1e9}, cg::LineBreakMode::WordWrap)
               .height +
           16;
  };
  EXPECT_EQ(text->contentHeight(), height(200, 16)) << "a normal text is laid out whole";
  text->setFrame({0, 0, 150, 100});
  EXPECT_EQ(text->contentHeight(), height(150, 16));
  text->setFont(ui::Font::systemFontOfSize(12));
  EXPECT_EQ(text->contentHeight(), height(150, 12));
  text->setContentInset({10, 0, 10, 0});
  EXPECT_EQ(text->contentHeight(), height(150, 12) + 20);
  text->setEditable(true);
  const double before = text->contentHeight();
  for (int i = 0; i < 20; ++i) text->simulateTyping(" ещё слова");
  EXPECT_GT(text->contentHeight(), before) << "typing lays the text out again";
  text->resignFirstResponder();

  // Scrolled to its end, the view shows the text's last line.
  text->setContentOffset({0, text->maximumContentOffsetY()});
  auto image = ui::renderView(text);
  ASSERT_TRUE(image);
  EXPECT_GT(inkedRows(*image, 60, 90), 5);
}

// Taking the keyboard and each edit bring the caret into view, wherever the text was scrolled.
TEST(TextViewTest, ATallTextScrollsToItsCaretAsItTakesTheKeyboardAndAsItIsEdited) {
  auto text = std::make_shared<ui::TextView>()->initWithFrame({0, 0, 200, 100});
  text->setFont(ui::Font::systemFontOfSize(16));
  std::string longText;
  for (int i = 0; i < 30; ++i) longText += "строка текста ";
  text->setText(longText);
  ASSERT_GT(text->maximumContentOffsetY(), 100);
  ui::setCaretBlinkOn(true);
  auto caretShows = [&] { return testsupport::caretColumns(*ui::renderView(text, 1)).has_value(); };
  EXPECT_FALSE(caretShows());
  ASSERT_TRUE(text->becomeFirstResponder());
  EXPECT_TRUE(caretShows()) << "the caret at the end is scrolled to";
  text->setContentOffset({0, 0});
  EXPECT_FALSE(caretShows());
  ASSERT_TRUE(text->insertText("!"));
  EXPECT_TRUE(caretShows()) << "typing scrolls back to it";
  EXPECT_EQ(text->contentOffset().y, text->maximumContentOffsetY());
  text->resignFirstResponder();
}

TEST(TextViewTest, AMegabyteWithoutABreakIsLaidOutOnceAsFarAsTheViewScrollsAndDrawsInTime) {
  std::string huge = "Начало";
  while (huge.size() < (1u << 20)) huge += "абвгдежзикabcdefghij";
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 480});
  auto text = std::make_shared<ui::TextView>()->initWithFrame({0, 236, 315, 200});
  text->setEditable(false);
  text->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
  root->addSubview(text);
  auto began = std::chrono::steady_clock::now();
  text->setText(huge);
  const double content = text->contentHeight();
  EXPECT_GT(content, 10 * 200) << "many views of it scroll";
  EXPECT_LE(content, ui::TextView::kScreensLaidOut * (200 - 16) + 16 + 1);
  for (double offset : {0.0, 1000.0, text->maximumContentOffsetY()}) {
    text->setContentOffset({0, offset});
    auto image = ui::renderView(root);
    ASSERT_TRUE(image);
    EXPECT_GT(inkedRows(*image, 250, 420), 20) << offset;
  }
  EXPECT_EQ(text->contentHeight(), content);
  // Before, every draw laid the whole megabyte out again, for minutes; the bound only guards that.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(), 60);
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
