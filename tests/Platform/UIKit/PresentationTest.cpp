// Modal presentation over the key window, and the stand-ins of the post composers.
#include <gtest/gtest.h>

#include <functional>

#include "Foundation/Clock.h"
#include "ScreenTestSupport.h"
#include "UIKit/ComposeViewController.h"
#include "UIKit/TextView.h"
#include "UIKit/TouchSimulation.h"

namespace {

using Log = std::vector<std::string>;

TEST(PresentationTest, PresentAndDismissCoverTheWindowAndFinishOnALaterTurn) {
  for (bool animated : {false, true}) {
    SCOPED_TRACE(animated ? "animated" : "at once");
    testsupport::ScreenScope screen;
    ns::ManualClock clock;
    auto log = std::make_shared<Log>();
    auto root = testsupport::probe("root", log);
    auto window = screen.showWindow(root);
    auto sheet = testsupport::probe("sheet", log);
    log->clear();
    bool presented = false;
    root->presentViewController(sheet, animated, [&] { presented = true; });
    EXPECT_FALSE(presented) << "the completion waits for a later turn";
    EXPECT_EQ(root->presentedViewController(), sheet);
    EXPECT_EQ(sheet->presentingViewController(), root);
    EXPECT_EQ(sheet->view()->superview(), window);
    EXPECT_EQ(window->subviews().back(), sheet->view()) << "above everything";
    EXPECT_EQ(sheet->view()->frame(), window->bounds());
    EXPECT_EQ(root->presentedAnimated(), animated);
    clock.advance(1);
    EXPECT_TRUE(presented);
    EXPECT_EQ(*log, (Log{"root willDisappear", "sheet loadView", "sheet viewDidLoad", "sheet willAppear",
                         "sheet didAppear", "root didDisappear"}));

    log->clear();
    bool dismissed = false;
    // Sent to the presented controller, it goes to its presenter.
    sheet->dismissViewControllerAnimated(animated, [&] { dismissed = true; });
    EXPECT_FALSE(dismissed);
    EXPECT_EQ(sheet->view()->superview(), nullptr);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->presentingViewController(), nullptr);
    clock.advance(1);
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(*log, (Log{"sheet willDisappear", "root willAppear", "sheet didDisappear", "root didAppear"}));

    // Nothing presented: nothing to dismiss, no completion.
    bool ran = false;
    root->dismissViewControllerAnimated(animated, [&] { ran = true; });
    clock.advance(1);
    EXPECT_FALSE(ran);
  }
}

TEST(PresentationTest, APresentedControllerPresentsAnotherAndTheChainGoesTogether) {
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  auto log = std::make_shared<Log>();
  auto root = testsupport::probe("root", log);
  auto window = screen.showWindow(root);
  auto first = testsupport::probe("first", log);
  auto second = testsupport::probe("second", log);
  auto third = testsupport::probe("third", log);
  root->presentViewController(first, false);
  first->presentViewController(second, true);
  EXPECT_EQ(root->topPresentedViewController(), second);
  EXPECT_EQ(window->subviews().back(), second->view());

  // One presentation at a time from each controller.
  root->presentViewController(third, false);
  first->presentViewController(third, false);
  EXPECT_EQ(third->presentingViewController(), nullptr);
  EXPECT_FALSE(third->isViewLoaded());
  clock.advance(1);

  bool done = false;
  root->dismissViewControllerAnimated(false, [&] { done = true; });
  EXPECT_EQ(first->view()->superview(), nullptr);
  EXPECT_EQ(second->view()->superview(), nullptr);
  EXPECT_EQ(first->presentedViewController(), nullptr);
  EXPECT_FALSE(done);
  clock.advance(0.1);
  EXPECT_TRUE(done);
  // Presented again after the dismissal.
  root->presentViewController(third, false);
  EXPECT_EQ(root->presentedViewController(), third);
}

TEST(PresentationTest, ThePresentedControllerAnswersTheRotationAndTurnsWithTheWindow) {
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  auto log = std::make_shared<Log>();
  auto root = testsupport::probe("root", log);
  auto window = screen.showWindow(root);
  auto shown = testsupport::probe("shown", log);
  root->presentViewController(shown, false);
  clock.advance(1);
  log->clear();
  shown->orientations = ui::InterfaceOrientationMaskPortrait;
  EXPECT_FALSE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_EQ(*log, (Log{"shown shouldAutorotate", "shown supportedInterfaceOrientations"}));
  shown->orientations = ui::InterfaceOrientationMaskAll;
  log->clear();
  ASSERT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  // Every shown controller hears of the turn, the presenter first, before the status bar turns.
  EXPECT_EQ(*log, (Log{"shown shouldAutorotate", "shown supportedInterfaceOrientations", "root willRotate",
                       "shown willRotate"}));
  EXPECT_EQ(root->statusBarAtWillRotate, ui::InterfaceOrientation::portrait);
  EXPECT_EQ(shown->statusBarAtWillRotate, ui::InterfaceOrientation::portrait);
  EXPECT_EQ(window->bounds().size, (cg::Size{1024, 768}));
  EXPECT_EQ(shown->view()->frame(), window->bounds());
}

TEST(PresentationTest, ComposersRecordWhatTheyAreGivenAndGoAwayOnAnswer) {
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  EXPECT_FALSE(ui::ComposeViewController::isClassAvailable()) << "absent unless a test says so";
  EXPECT_EQ(ui::ComposeViewController::composeViewControllerForServiceType(ui::kServiceTypeTwitter), nullptr);
  ui::ComposeViewController::setClassAvailable(true);
  EXPECT_EQ(ui::ComposeViewController::composeViewControllerForServiceType("unknown"), nullptr);
  auto facebook = ui::ComposeViewController::composeViewControllerForServiceType(ui::kServiceTypeFacebook);
  ui::ComposeViewController::setClassAvailable(false);
  ASSERT_NE(facebook, nullptr);
  EXPECT_EQ(facebook->serviceType(), ui::kServiceTypeFacebook);

  auto root = std::make_shared<ui::ViewController>()->init();
  screen.showWindow(root);
  auto tweet = std::make_shared<ui::TweetComposeViewController>()->init();
  tweet->setInitialText("Смотрю");
  tweet->addURL(*ns::URL::URLWithString("http://example.org/t/1"));
  tweet->addImage(nullptr);  // a picture that did not load adds nothing
  tweet->addImage(ui::Image::imageNamed("twitter.png"));
  root->presentViewController(tweet, true);
  EXPECT_EQ(tweet->initialText(), "Смотрю");
  ASSERT_EQ(tweet->urls().size(), 1u);
  EXPECT_EQ(tweet->urls()[0].absoluteString(), "http://example.org/t/1");
  EXPECT_EQ(tweet->images().size(), 1u);
  // Its text opens with the keyboard and the caret at its end: keys edit it as the window sends them.
  auto text = std::dynamic_pointer_cast<ui::TextView>(ui::Responder::currentFirstResponder());
  ASSERT_TRUE(text);
  EXPECT_TRUE(text->isDescendantOfView(tweet->view().get()));
  EXPECT_TRUE(ui::Responder::isKeyboardShown());
  auto* keys = dynamic_cast<ui::TextInput*>(text.get());
  EXPECT_TRUE(keys->insertText("!") && keys->deleteBackward() && keys->deleteBackward());
  EXPECT_EQ(tweet->text(), "Смотр");
  clock.advance(1);
  tweet->send();
  EXPECT_TRUE(tweet->wasSent());
  EXPECT_FALSE(ui::Responder::isKeyboardShown()) << "the keyboard goes with the form";
  EXPECT_EQ(root->presentedViewController(), nullptr);
}

}  // namespace
