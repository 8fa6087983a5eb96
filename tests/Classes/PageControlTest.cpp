#include <gtest/gtest.h>

#include "Classes/MainPage/CustomPageControl.h"
#include "UIKit/TouchSimulation.h"
#include "WidgetTestSupport.h"
#include "support/CaseName.h"

namespace {

using testsupport::ScopedDevice;

std::shared_ptr<CustomPageControl> makeControl(int pages, double width = 200) {
  auto c = std::make_shared<CustomPageControl>()->initWithFrame({0, 0, width, 36});
  c->setNumberOfPages(pages);
  return c;
}

struct PageCase {
  const char* name;
  int pages;
  bool wrap;
  int firstPage;  // set before the page under test; -100 for none
  int page;
  int expected;
};

class PageClampTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageClampTest, ClampsOrWrapsTheCurrentPage) {
  const auto& c = GetParam();
  auto control = makeControl(c.pages);
  control->setWrap(c.wrap);
  if (c.firstPage != -100) control->setCurrentPage(c.firstPage);
  control->setCurrentPage(c.page);
  EXPECT_EQ(control->currentPage(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageClampTest,
                         ::testing::Values(PageCase{"above", 5, false, -100, 9, 4},
                                           PageCase{"below", 5, false, -100, -1, 0},
                                           PageCase{"inside", 5, false, -100, 3, 3},
                                           PageCase{"no pages", 0, false, -100, 0, -1},
                                           PageCase{"wrap below", 5, true, -100, -1, 4},
                                           PageCase{"wrap at count", 5, true, -100, 5, 0},
                                           PageCase{"wrap past count", 5, true, -100, 7, 2},
                                           PageCase{"wrap keeps dividend sign", 5, true, -100, -7, -2},
                                           // Wrapping with no pages has nothing to divide by.
                                           PageCase{"wrap with no pages", 0, true, -100, 3, -1},
                                           PageCase{"wrap with no pages negative", 0, true, -100, -3, -1}),
                         testsupport::CaseName());

TEST(PageControlTest, FewerPagesPullTheCurrentPageDownAndTheSameCountDoesNotRedraw) {
  auto c = makeControl(5);
  c->setCurrentPage(4);
  c->setNumberOfPages(3);
  EXPECT_EQ(c->currentPage(), 2);
  c->didDisplay();
  c->setNumberOfPages(3);
  EXPECT_FALSE(c->needsDisplay());
  c->setNumberOfPages(4);
  EXPECT_TRUE(c->needsDisplay());
  c->didDisplay();
  c->setCurrentPage(1);
  EXPECT_TRUE(c->needsDisplay());
}

TEST(PageControlTest, DeferredDisplayRedrawsOnlyWhenDeferring) {
  auto c = makeControl(3);
  c->didDisplay();
  c->updateCurrentPageDisplay();
  EXPECT_FALSE(c->needsDisplay());
  c->setDefersCurrentPageDisplay(true);
  c->updateCurrentPageDisplay();
  EXPECT_TRUE(c->needsDisplay());
}

struct DeviceCase {
  const char* name;
  ui::DeviceProfile device;
  double size;
  std::vector<double> xs;
};

class PageDotsTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(PageDotsTest, DotsStartAtTheLeftEdgeWithTheDevicePitch) {
  const auto& c = GetParam();
  ScopedDevice device(c.device);
  auto control = makeControl(3);
  EXPECT_EQ(control->dotSize(), c.size);
  auto dots = control->dotRects();
  ASSERT_EQ(dots.size(), c.xs.size());
  for (std::size_t i = 0; i < dots.size(); ++i)
    EXPECT_EQ(dots[i], cg::Rect(c.xs[i], 18 - c.size / 2, c.size, c.size)) << i;
  EXPECT_EQ(control->sizeForNumberOfPages(99).width, c.xs.back() + c.size);
  EXPECT_EQ(control->sizeForNumberOfPages(99).height, 36);

  // Pixels: the current dot in the highlight colour, the others in the dot colour, gaps clear;
  // a control narrower than its dots draws them all the same.
  control->setCurrentPage(1);
  control->setFrame({0, 0, c.xs[1], 36});
  auto root = testsupport::rootView(200, 36);
  root->addSubview(control);
  auto image = ui::renderView(root, c.device.scale);
  ASSERT_TRUE(image);
  const cg::Color dot = testsupport::rgb255(230, 230, 230, 0.5);
  const cg::Color selected = testsupport::rgb255(18, 190, 253, 0.8);
  for (std::size_t i = 0; i < 3; ++i) {
    cg::Color at = testsupport::colorAtPoint(*image, c.xs[i] + c.size / 2, 18);
    EXPECT_TRUE(testsupport::near(at, i == 1 ? selected : dot, 3.0 / 255)) << i << " " << at.describe();
  }
  EXPECT_EQ(testsupport::colorAtPoint(*image, c.xs[1] - 1, 18).alpha, 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, PageDotsTest,
                         ::testing::Values(DeviceCase{"tablet", ui::DeviceProfile::tablet(), 8, {0, 17, 34}},
                                           DeviceCase{"phone", ui::DeviceProfile::phone(), 5, {0, 10, 20}}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(PageControlTest, SinglePageIsDrawnUnlessHidden) {
  auto c = makeControl(1);
  EXPECT_EQ(c->dotRects().size(), 1u);
  c->setHidesForSinglePage(true);
  EXPECT_TRUE(c->dotRects().empty());
  c->setNumberOfPages(0);
  EXPECT_TRUE(c->dotRects().empty());
  c->setNumberOfPages(2);
  EXPECT_EQ(c->dotRects().size(), 2u);
}

TEST(PageControlTest, SizeThatFitsTakesTheSuperviewsWidth) {
  auto root = testsupport::rootView(320, 100);
  auto c = makeControl(3);
  root->addSubview(c);
  EXPECT_EQ(c->sizeThatFits({}), (cg::Size{320, 36}));
}

class PageRecorder : public CustomPageControlDelegate {
 public:
  std::vector<int> pages;
  void loadPageWithNumber(int page) override { pages.push_back(page); }
};

struct TouchCase {
  const char* name;
  ui::DeviceProfile device;
};

class PageTouchTest : public ::testing::TestWithParam<TouchCase> {};

TEST_P(PageTouchTest, TouchReportsPageByAFixedPitchAndChangesNothing) {
  ScopedDevice device(GetParam().device);
  auto root = testsupport::rootView(320, 100);
  auto c = makeControl(5, 300);
  root->addSubview(c);
  auto recorder = std::make_shared<PageRecorder>();
  c->setDelegate(recorder);
  int events = 0;
  c->addTarget(
      nullptr, [&](ui::Control&) { ++events; }, ui::ControlEventAllEvents);
  ui::tapAtPoint(root, {40, 18});
  ui::tapAtPoint(root, {16.9, 18});
  EXPECT_EQ(recorder->pages, (std::vector<int>{2, 0}));
  EXPECT_EQ(c->currentPage(), 0);
  EXPECT_EQ(events, 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, PageTouchTest,
                         ::testing::Values(TouchCase{"tablet", ui::DeviceProfile::tablet()},
                                           TouchCase{"phone", ui::DeviceProfile::phone()}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(PageControlTest, TouchWithoutDelegateDoesNothing) {
  auto root = testsupport::rootView(320, 100);
  auto c = makeControl(5, 300);
  root->addSubview(c);
  EXPECT_EQ(ui::tapAtPoint(root, {40, 18}), c);
  EXPECT_EQ(c->currentPage(), 0);
}

}  // namespace
