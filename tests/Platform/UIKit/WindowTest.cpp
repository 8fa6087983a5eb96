// The key window: its root controller, the layout pass the main run loop makes over it,
// rotation and memory warnings.
#include <gtest/gtest.h>

#include "Foundation/RunLoop.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "support/CaseName.h"

namespace {

using testsupport::probe;
using Log = std::vector<std::string>;

class CountingLayoutView : public ui::View {
 public:
  int layouts = 0;
  cg::Size sizeAtLayout;
  ui::InterfaceOrientation orientationAtLayout = ui::InterfaceOrientation::portrait;
  void layoutSubviews() override {
    ++layouts;
    sizeAtLayout = bounds().size;
    orientationAtLayout = ui::Application::sharedApplication()->statusBarOrientation();
  }
};

TEST(WindowTest, TheRootsViewFillsTheKeyWindowOnceBothAreThere) {
  testsupport::ScreenScope screen;
  auto log = std::make_shared<Log>();
  auto root = probe("root", log);
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  window->setRootViewController(root);
  EXPECT_FALSE(root->isViewLoaded()) << "a window that is not key shows nothing yet";
  window->makeKeyAndVisible();
  EXPECT_EQ(ui::Window::keyWindow(), window);
  EXPECT_EQ(root->view()->superview(), window);
  // Below the status bar, as on the device.
  EXPECT_EQ(root->view()->frame(), (cg::Rect{0, 20, 768, 1004}));
  EXPECT_EQ(root->view()->window(), window);
  EXPECT_EQ(*log, (Log{"root loadView", "root viewDidLoad", "root willAppear", "root didAppear"}));

  // Made key first, the root coming later: legal, and the root goes in at once.
  auto other = std::make_shared<ui::Window>()->initWithFrame({0, 0, 100, 100});
  other->makeKeyAndVisible();
  EXPECT_FALSE(window->isKeyWindow());
  auto second = probe("second", log);
  other->setRootViewController(second);
  EXPECT_EQ(second->view()->frame(), (cg::Rect{0, 20, 100, 80}));
}

TEST(WindowTest, TheMainRunLoopLaysOutTheKeyWindowAndDumpsDoNot) {
  testsupport::ScreenScope screen;
  auto root = probe("root", std::make_shared<Log>());
  auto window = screen.showWindow(root);
  auto v = std::make_shared<CountingLayoutView>();
  v->initWithFrame({0, 0, 50, 50});
  root->view()->addSubview(v);
  ns::RunLoop::mainRunLoop()->runOnce(0);
  EXPECT_EQ(v->layouts, 1);

  v->setNeedsLayout();
  ui::dumpViewTree(window);
  ui::renderView(window, 1);
  EXPECT_EQ(v->layouts, 1) << "a dump or a screenshot runs no layout in a window";
  ns::RunLoop::mainRunLoop()->runOnce(0);
  EXPECT_EQ(v->layouts, 2);
  v->setFrame({0, 0, 60, 50});
  ns::RunLoop::mainRunLoop()->runOnce(0);
  EXPECT_EQ(v->layouts, 3);
  ns::RunLoop::mainRunLoop()->runOnce(0);
  EXPECT_EQ(v->layouts, 3) << "nothing asked, nothing laid out";

  // A tree in no window has no pass of its own: the dump lays it out.
  auto loose = std::make_shared<CountingLayoutView>();
  loose->initWithFrame({0, 0, 10, 10});
  ui::dumpViewTree(loose);
  EXPECT_EQ(loose->layouts, 1);
}

struct RotationCase {
  const char* name;
  bool autorotate;
  unsigned orientations;
  ui::InterfaceOrientation to;
  bool turns;
};

class RotationTest : public ::testing::TestWithParam<RotationCase> {};

TEST_P(RotationTest, TheRootIsAskedThenTheScreenTurns) {
  const auto& c = GetParam();
  testsupport::ScreenScope screen;
  auto log = std::make_shared<Log>();
  auto root = probe("root", log);
  root->autorotate = c.autorotate;
  root->orientations = c.orientations;
  auto window = screen.showWindow(root);
  auto v = std::make_shared<CountingLayoutView>();
  v->initWithFrame(root->view()->bounds());
  v->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  root->view()->addSubview(v);
  ns::RunLoop::mainRunLoop()->runOnce(0);
  log->clear();
  int layouts = v->layouts;

  EXPECT_EQ(ui::simulateRotation(c.to), c.turns);
  auto app = ui::Application::sharedApplication();
  if (c.turns) {
    EXPECT_EQ(app->statusBarOrientation(), c.to);
    cg::Size size = ui::isLandscape(c.to) ? cg::Size{1024, 768} : cg::Size{768, 1024};
    EXPECT_EQ(window->bounds().size, size);
    // Below the status bar, across the screen's new width.
    EXPECT_EQ(app->statusBarFrame(), (cg::Rect{0, 0, size.width, 20}));
    size.height -= 20;
    EXPECT_EQ(root->view()->frame(), (cg::Rect{{0, 20}, size}));
    // A half turn keeps every size: nothing needs laying out again.
    bool resized = ui::isLandscape(c.to);
    EXPECT_EQ(v->layouts, layouts + (resized ? 1 : 0));
    if (resized) {
      EXPECT_EQ(v->sizeAtLayout, size);
      EXPECT_EQ(v->orientationAtLayout, c.to) << "the status bar turns before the layout";
    }
  } else {
    EXPECT_EQ(app->statusBarOrientation(), ui::InterfaceOrientation::portrait);
    EXPECT_EQ(window->bounds().size, (cg::Size{768, 1024}));
    EXPECT_EQ(v->layouts, layouts);
  }
  EXPECT_EQ(log->front(), "root shouldAutorotate");
  if (c.autorotate) {
    EXPECT_EQ(log->at(1), "root supportedInterfaceOrientations");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RotationTest,
                         ::testing::Values(RotationCase{"landscape", true, ui::InterfaceOrientationMaskAll,
                                                        ui::InterfaceOrientation::landscapeLeft, true},
                                           RotationCase{"upside down", true, ui::InterfaceOrientationMaskAll,
                                                        ui::InterfaceOrientation::portraitUpsideDown, true},
                                           RotationCase{"refused", false, ui::InterfaceOrientationMaskAll,
                                                        ui::InterfaceOrientation::landscapeRight, false},
                                           RotationCase{"not supported", true,
                                                        ui::InterfaceOrientationMaskPortrait,
                                                        ui::InterfaceOrientation::landscapeRight, false}),
                         testsupport::CaseName());

TEST(WindowTest, RotationAndMemoryWarningsNeedARootController) {
  testsupport::ScreenScope screen;
  EXPECT_FALSE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  ui::simulateMemoryWarning();  // nothing to tell
  auto log = std::make_shared<Log>();
  screen.showWindow(probe("root", log));
  log->clear();
  ui::simulateMemoryWarning();
  EXPECT_EQ(*log, (Log{"root memoryWarning"}));
}

}  // namespace
