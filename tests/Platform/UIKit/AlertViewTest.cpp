#include <gtest/gtest.h>

#include "UIKit/AlertView.h"

namespace {

struct RecordingDelegate : ui::AlertViewDelegate {
  std::vector<std::pair<ui::AlertView*, int>> clicks;
  std::function<void()> onClick;
  void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override {
    clicks.push_back({&alert, index});
    if (onClick) onClick();
  }
};

class AlertViewTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::AlertView::dismissAll(); }
  void TearDown() override { ui::AlertView::dismissAll(); }

  static std::shared_ptr<ui::AlertView> makeAlert(std::weak_ptr<ui::AlertViewDelegate> delegate = {},
                                                  std::string cancel = "OK",
                                                  std::vector<std::string> others = {}) {
    return std::make_shared<ui::AlertView>()->initWithTitle("Ошибка", "Нет соединения с сервером", delegate,
                                                            std::move(cancel), std::move(others));
  }
};

TEST_F(AlertViewTest, ButtonsAreNumberedCancelFirst) {
  struct Case {
    const char* name;
    std::string cancel;
    std::vector<std::string> others;
    std::vector<std::string> titles;
    int cancelIndex;
  };
  const Case cases[] = {
      {"cancel only", "OK", {}, {"OK"}, 0},
      {"cancel and others", "Отмена", {"Да", "Нет"}, {"Отмена", "Да", "Нет"}, 0},
      {"no cancel", "", {"Да"}, {"Да"}, -1},
      {"no buttons", "", {}, {}, -1},
  };
  for (const Case& c : cases) {
    auto alert = makeAlert({}, c.cancel, c.others);
    EXPECT_EQ(alert->numberOfButtons(), static_cast<int>(c.titles.size())) << c.name;
    for (std::size_t i = 0; i < c.titles.size(); ++i)
      EXPECT_EQ(alert->buttonTitleAtIndex(static_cast<int>(i)), c.titles[i]) << c.name;
    EXPECT_EQ(alert->buttonTitleAtIndex(-1), "") << c.name;
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->numberOfButtons()), "") << c.name;
    EXPECT_EQ(alert->cancelButtonIndex(), c.cancelIndex) << c.name;
  }
  auto alert = makeAlert();
  EXPECT_EQ(alert->title(), "Ошибка");
  EXPECT_EQ(alert->message(), "Нет соединения с сервером");
  EXPECT_EQ(alert->addButtonWithTitle("Ещё"), 1);
}

TEST_F(AlertViewTest, ShownAlertsStayListedInOrderWithoutTheirCreator) {
  std::weak_ptr<ui::AlertView> first;
  {
    auto a = makeAlert();
    first = a;
    a->show();
    a->show();  // once on screen
  }
  auto second = makeAlert();
  EXPECT_FALSE(second->isVisible());
  second->show();
  auto shown = ui::AlertView::visibleAlerts();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], first.lock());
  EXPECT_EQ(shown[1], second);
  EXPECT_TRUE(second->isVisible());

  second->dismissWithClickedButtonIndex(0, false);
  EXPECT_FALSE(second->isVisible());
  EXPECT_EQ(ui::AlertView::visibleAlerts().size(), 1u);
  ui::AlertView::dismissAll();
  EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
  shown.clear();
  EXPECT_TRUE(first.expired());  // the list was what kept it
}

TEST_F(AlertViewTest, TappingAButtonTellsTheDelegateThenDismisses) {
  auto delegate = std::make_shared<RecordingDelegate>();
  auto alert = makeAlert(delegate, "OK", {"Повторить"});
  alert->show();
  bool visibleDuringCall = false;
  delegate->onClick = [&] { visibleDuringCall = alert->isVisible(); };
  struct Case {
    const char* name;
    int index;
    bool accepted;
  };
  for (const Case& c : {Case{"below range", -1, false}, Case{"past the end", 2, false}}) {
    EXPECT_FALSE(alert->tapButtonAtIndex(c.index)) << c.name;
    EXPECT_TRUE(alert->isVisible()) << c.name;
  }
  EXPECT_TRUE(delegate->clicks.empty());

  EXPECT_TRUE(alert->tapButtonAtIndex(1));
  ASSERT_EQ(delegate->clicks.size(), 1u);
  EXPECT_EQ(delegate->clicks[0].first, alert.get());
  EXPECT_EQ(delegate->clicks[0].second, 1);
  EXPECT_TRUE(visibleDuringCall);
  EXPECT_FALSE(alert->isVisible());
  // Gone from the screen: a second tap does nothing.
  EXPECT_FALSE(alert->tapButtonAtIndex(0));
  EXPECT_EQ(delegate->clicks.size(), 1u);
  // Dismissing in code does not tell the delegate.
  alert->show();
  alert->dismissWithClickedButtonIndex(0, true);
  EXPECT_EQ(delegate->clicks.size(), 1u);
}

TEST_F(AlertViewTest, DelegateGoneOrDroppingTheAlertIsSafe) {
  {
    auto delegate = std::make_shared<RecordingDelegate>();
    makeAlert(delegate)->show();
  }
  auto orphan = ui::AlertView::visibleAlerts().at(0);
  EXPECT_EQ(orphan->delegate(), nullptr);
  EXPECT_TRUE(orphan->tapButtonAtIndex(0));
  EXPECT_FALSE(orphan->isVisible());

  // The delegate drops the last outside reference while being called.
  auto delegate = std::make_shared<RecordingDelegate>();
  auto alert = makeAlert(delegate);
  alert->show();
  std::weak_ptr<ui::AlertView> watch = alert;
  delegate->onClick = [&] { alert.reset(); };
  EXPECT_TRUE(watch.lock()->tapButtonAtIndex(0));
  EXPECT_TRUE(watch.expired());
}

}  // namespace

#include "ScreenTestSupport.h"
#include "UIKit/Button.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"

namespace {

// The alert's button with the title, as a person sees it on the window.
std::shared_ptr<ui::Button> buttonOf(const std::shared_ptr<ui::AlertView>& alert, const std::string& title) {
  for (const auto& sub : alert->subviews())
    if (auto button = std::dynamic_pointer_cast<ui::Button>(sub); button && button->currentTitle() == title)
      return button;
  return nullptr;
}

cg::Point centreOf(const std::shared_ptr<ui::View>& view) {
  return view->convertPointToView(view->bounds().center(), nullptr);
}

TEST(AlertOnWindowTest, TheAlertLiesOverTheWindowAndTakesEveryTouch) {
  testsupport::ScreenScope screen;
  auto root = std::make_shared<ui::ViewController>()->init();
  auto window = screen.showWindow(root);
  auto below = ui::Button::buttonWithType(ui::ButtonType::custom);
  below->setFrame({0, 0, 768, 1004});
  int belowTaps = 0;
  below->addTarget(
      nullptr, [&](ui::Control&) { ++belowTaps; }, ui::ControlEventTouchUpInside);
  root->view()->addSubview(below);

  auto delegate = std::make_shared<RecordingDelegate>();
  auto alert =
      std::make_shared<ui::AlertView>()->initWithTitle("Ошибка", "Нет соединения", delegate, "OK", {"Ещё"});
  alert->show();
  // Where the device shows it: a panel centred on the window, listed in the window's dump.
  ASSERT_EQ(alert->superview(), window);
  EXPECT_EQ(alert->frame().width(), 284);
  EXPECT_EQ(alert->frame().center(), (cg::Point{384, 512}));
  EXPECT_NE(ui::dumpViewTree(window).find("AlertView frame=" + cg::describe(alert->frame())),
            std::string::npos);
  // Above whatever comes later.
  auto later = std::make_shared<ui::View>()->initWithFrame(window->bounds());
  window->addSubview(later);
  EXPECT_EQ(window->subviews().back(), alert);

  // Touches outside it reach nothing; its buttons take theirs.
  for (cg::Point outside : {cg::Point{20, 100}, cg::Point{384, 900}})
    EXPECT_EQ(ui::tapAtPoint(window, outside), nullptr);
  EXPECT_EQ(belowTaps, 0);
  EXPECT_TRUE(delegate->clicks.empty());
  auto other = buttonOf(alert, "Ещё");
  ASSERT_TRUE(other);
  EXPECT_EQ(ui::tapAtPoint(window, centreOf(other)), other);
  ASSERT_EQ(delegate->clicks.size(), 1u);
  EXPECT_EQ(delegate->clicks[0].second, 1);
  EXPECT_EQ(alert->superview(), nullptr);
  EXPECT_EQ(window->subviews().back(), later) << "the dimming cover went with it";
  later->removeFromSuperview();
  ui::tapAtPoint(window, {20, 100});
  EXPECT_EQ(belowTaps, 1) << "gone, it takes no more touches";
}

TEST(AlertOnWindowTest, AlertsShownOneAfterAnotherComeUpInTurn) {
  testsupport::ScreenScope screen;
  auto window = screen.showWindow(std::make_shared<ui::ViewController>()->init());
  auto make = [](const char* message, std::string cancel, std::vector<std::string> others) {
    return std::make_shared<ui::AlertView>()->initWithTitle("", message, {}, std::move(cancel),
                                                            std::move(others));
  };
  auto first = make("первое", "OK", {});
  auto second = make("второе", "Отмена", {"Повторить"});
  auto third = make("третье", "", {"Да"});
  for (const auto& alert : {first, second, third}) alert->show();
  EXPECT_EQ(first->superview(), window);
  EXPECT_EQ(second->superview(), nullptr) << "waiting its turn";
  ui::tapAtPoint(window, centreOf(buttonOf(first, "OK")));
  EXPECT_EQ(second->superview(), window);
  EXPECT_EQ(third->superview(), nullptr);
  // The button a keyboard's Return picks: the one that is not cancel, else cancel.
  EXPECT_EQ(first->returnKeyButtonIndex(), 0);
  EXPECT_EQ(second->returnKeyButtonIndex(), 1);
  EXPECT_EQ(third->returnKeyButtonIndex(), 0);
  second->dismissWithClickedButtonIndex(0, false);
  EXPECT_EQ(third->superview(), window);
  // An alert shown before any window is key comes up on the first one made key.
  ui::AlertView::dismissAll();
  EXPECT_EQ(third->superview(), nullptr);
  window->resignKeyWindow();
  auto early = make("раннее", "OK", {});
  early->show();
  EXPECT_EQ(early->superview(), nullptr);
  window->makeKeyWindow();
  EXPECT_EQ(early->superview(), window);
}

TEST(AlertOnWindowTest, TheAlertIsDrawnOverTheWindow) {
  testsupport::ScreenScope screen;
  auto root = std::make_shared<ui::ViewController>()->init();
  root->view()->setBackgroundColor(ui::Color::whiteColor());
  auto window = screen.showWindow(root);
  auto centre = [&](const std::shared_ptr<ui::View>& view) {
    auto image = ui::renderView(view, 1);
    const auto px = image->pixels();
    return px[static_cast<std::size_t>(image->pixelHeight() / 2 * image->pixelWidth() +
                                       image->pixelWidth() / 2)];
  };
  const auto plain = centre(window);
  auto alert =
      std::make_shared<ui::AlertView>()->initWithTitle("Ошибка", "Нет соединения", {}, "OK", {"Ещё"});
  alert->show();
  EXPECT_NE(centre(window), plain) << "the panel covers the window's middle";
  EXPECT_EQ(centre(root->view()), plain) << "over the window only, not a view inside it";
  alert->tapButtonAtIndex(0);
  EXPECT_EQ(centre(window), plain) << "gone with its answer";
}

}  // namespace
