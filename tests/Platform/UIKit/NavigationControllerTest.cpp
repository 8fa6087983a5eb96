// View controllers and the navigation stack: lazy view loading, the stack's rules, where pages'
// views go and in what order they hear of it.
#include <gtest/gtest.h>

#include <algorithm>

#include "Foundation/Exception.h"
#include "Foundation/RunLoop.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"

namespace {

using testsupport::probe;
using testsupport::ProbeController;
using Log = std::vector<std::string>;
using ui::NavigationController;

std::shared_ptr<Log> newLog() { return std::make_shared<Log>(); }

std::shared_ptr<NavigationController> navWithRoot(const std::shared_ptr<ui::ViewController>& root) {
  return std::make_shared<NavigationController>()->initWithRootViewController(root);
}

TEST(ViewControllerTest, TheViewLoadsOnFirstAccessOverTheScreen) {
  testsupport::ScreenScope screen(ui::DeviceProfile::phone());
  auto log = newLog();
  auto page = probe("page", log);
  EXPECT_FALSE(page->isViewLoaded());
  EXPECT_TRUE(log->empty()) << "nothing loads before the view is asked for";
  auto v = page->view();
  EXPECT_EQ(*log, (Log{"page loadView", "page viewDidLoad"}));
  EXPECT_EQ(page->view(), v);
  EXPECT_EQ(log->size(), 2u);
  EXPECT_EQ(v->frame(), (cg::Rect{0, 0, 320, 480}));
  EXPECT_FALSE(page->hadContainerAtLoad);
  // The controller sits between its view and the view's superview in the responder chain.
  auto parent = std::make_shared<ui::View>()->initWithFrame({0, 0, 10, 10});
  parent->addSubview(v);
  EXPECT_EQ(v->nextResponder(), page);
  EXPECT_EQ(page->nextResponder(), parent);

  class Lazy : public ui::ViewController {
   public:
    void loadView() override {}
  };
  auto lazy = std::make_shared<Lazy>();
  lazy->initWithNibName("LazyPage", nullptr);
  EXPECT_EQ(lazy->nibName(), "LazyPage");
  EXPECT_NE(lazy->view(), nullptr) << "a loadView that makes nothing still leaves a view";
}

TEST(NavigationControllerTest, StackChangesFollowThePlatformsRules) {
  testsupport::ScreenScope screen;
  auto log = newLog();
  auto root = probe("root", log), a = probe("a", log), b = probe("b", log), c = probe("c", log);
  auto nav = navWithRoot(root);
  using T = NavigationController::Transition;
  using Stack = NavigationController::Stack;
  EXPECT_EQ(nav->viewControllers(), Stack{root});
  EXPECT_TRUE(nav->transitions().empty());
  EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr) << "the root stays";
  EXPECT_TRUE(nav->popToRootViewControllerAnimated(true).empty());

  nav->pushViewController(a, true);
  nav->pushViewController(b, false);
  EXPECT_EQ(nav->viewControllers(), (Stack{root, a, b}));
  EXPECT_EQ(nav->topViewController(), b);
  EXPECT_EQ(nav->visibleViewController(), b);
  EXPECT_EQ(a->navigationController(), nav);
  EXPECT_EQ(a->parentViewController(), nav);

  EXPECT_THROW(
      {
        try {
          nav->pushViewController(a, false);
        } catch (const ns::Exception& e) {
          EXPECT_EQ(e.name(), ns::kInvalidArgumentException);
          throw;
        }
      },
      ns::Exception);
  EXPECT_EQ(nav->viewControllers(), (Stack{root, a, b}));

  EXPECT_EQ(nav->popViewControllerAnimated(true), b);
  EXPECT_EQ(b->navigationController(), nullptr) << "a popped page has no container";
  nav->pushViewController(b, false);
  nav->pushViewController(c, false);
  EXPECT_EQ(nav->popToViewController(a, false), (Stack{b, c}));
  EXPECT_EQ(nav->viewControllers(), (Stack{root, a}));
  EXPECT_EQ(nav->popToRootViewControllerAnimated(false), (Stack{a}));
  nav->setViewControllers({root, c}, true);
  EXPECT_EQ(nav->topViewController(), c);

  std::vector<NavigationController::TransitionRecord> expected{
      {T::push, true},  {T::push, false},  {T::pop, true},        {T::push, false},
      {T::push, false}, {T::popTo, false}, {T::popToRoot, false}, {T::set, true}};
  EXPECT_EQ(std::vector(nav->transitions().begin(), nav->transitions().end()), expected);
  EXPECT_TRUE(log->empty()) << "off screen, no page view loads and nothing appears";
}

TEST(NavigationControllerTest, APushedPageLoadsAfterThePushIntoThePageArea) {
  testsupport::ScreenScope screen;
  auto log = newLog();
  auto root = probe("root", log);
  auto nav = navWithRoot(root);
  screen.showWindow(nav);
  EXPECT_TRUE(root->isViewLoaded()) << "the root page loads when its window is key";
  // The controller lies below the status bar: 1004 points high.
  EXPECT_EQ(root->frameAtLoad, (cg::Rect{0, 44, 768, 960})) << "below the shown navigation bar";

  nav->setNavigationBarHidden(true);
  auto page = probe("page", log);
  // What the page is told before the push is there when its view loads.
  page->setTitle("Set before the push");
  page->frameInViewDidLoad = cg::Rect{0, 0, 768, 900};
  EXPECT_FALSE(page->isViewLoaded());
  nav->pushViewController(page, true);
  EXPECT_TRUE(page->hadContainerAtLoad);
  EXPECT_EQ(page->frameAtLoad, (cg::Rect{0, 0, 768, 1004}));
  // The page's own change in viewDidLoad holds through the layout and a return to the page.
  ns::RunLoop::mainRunLoop()->runOnce(0);
  nav->pushViewController(probe("other", log), false);
  nav->popViewControllerAnimated(false);
  EXPECT_EQ(page->view()->frame(), (cg::Rect{0, 0, 768, 900}));

  // The controller's own subviews stay above every page.
  auto overlay = std::make_shared<ui::View>()->initWithFrame({0, 0, 10, 10});
  nav->view()->addSubview(overlay);
  nav->pushViewController(probe("top", log), false);
  const auto& subs = nav->view()->subviews();
  EXPECT_EQ(subs.back(), overlay);
  EXPECT_EQ(subs.front(), nav->topViewController()->view());
  EXPECT_EQ(std::count_if(subs.begin(), subs.end(), [&](const auto& v) { return v == page->view(); }), 0)
      << "only the top page's view is in the controller's view";
}

TEST(NavigationControllerTest, AppearanceCallsFollowTheTopPage) {
  testsupport::ScreenScope screen;
  auto log = newLog();
  auto root = probe("root", log), page = probe("page", log);
  auto nav = navWithRoot(root);
  screen.showWindow(nav);
  EXPECT_EQ(*log, (Log{"root loadView", "root viewDidLoad", "root willAppear", "root didAppear"}));
  log->clear();
  nav->pushViewController(page, true);
  EXPECT_EQ(*log, (Log{"page loadView", "page viewDidLoad", "root willDisappear", "page willAppear",
                       "root didDisappear", "page didAppear"}));
  log->clear();
  nav->popToRootViewControllerAnimated(false);
  EXPECT_EQ(*log, (Log{"page willDisappear", "root willAppear", "page didDisappear", "root didAppear"}));
  EXPECT_EQ(page->view()->superview(), nullptr);
  log->clear();
  // Keeping the top page while the pages below change is no appearance change.
  auto middle = probe("middle", log);
  nav->pushViewController(middle, false);
  nav->pushViewController(page, false);
  log->clear();
  nav->setViewControllers({root, page});
  EXPECT_TRUE(log->empty());
}

TEST(NavigationControllerTest, RotationQuestionsGoToTheTopPageAndWarningsToEveryPage) {
  testsupport::ScreenScope screen;
  auto log = newLog();
  auto root = probe("root", log), page = probe("page", log);
  auto nav = navWithRoot(root);
  nav->pushViewController(page, false);
  page->autorotate = false;
  page->orientations = ui::InterfaceOrientationMaskPortrait;
  EXPECT_FALSE(nav->shouldAutorotate());
  EXPECT_EQ(nav->supportedInterfaceOrientations(), unsigned(ui::InterfaceOrientationMaskPortrait));
  nav->popViewControllerAnimated(false);
  EXPECT_TRUE(nav->shouldAutorotate());
  EXPECT_EQ(*log,
            (Log{"page shouldAutorotate", "page supportedInterfaceOrientations", "root shouldAutorotate"}));
  log->clear();
  nav->pushViewController(page, false);
  nav->didReceiveMemoryWarning();
  EXPECT_EQ(*log, (Log{"root memoryWarning", "page memoryWarning"}));
}

}  // namespace
