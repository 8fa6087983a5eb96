#include <gtest/gtest.h>

#include "UIKit/View.h"
#include "support/CaseName.h"

namespace {

std::shared_ptr<ui::View> makeView(const cg::Rect& frame) {
  return std::make_shared<ui::View>()->initWithFrame(frame);
}

TEST(ViewGeometryTest, FrameBoundsAndCentreStayConsistent) {
  auto v = makeView({10, 20, 100, 50});
  EXPECT_EQ(v->frame(), cg::Rect(10, 20, 100, 50));
  EXPECT_EQ(v->bounds(), cg::Rect(0, 0, 100, 50));
  EXPECT_EQ(v->center(), (cg::Point{60, 45}));
  v->setCenter({0, 0});
  EXPECT_EQ(v->frame(), cg::Rect(-50, -25, 100, 50));
  v->setBounds({5, 5, 20, 10});
  EXPECT_EQ(v->frame(), cg::Rect(-10, -5, 20, 10));
  EXPECT_EQ(v->center(), (cg::Point{0, 0}));
}

TEST(ViewGeometryTest, TransformChangesFrameButNotBounds) {
  auto v = makeView({0, 0, 100, 50});
  v->setTransform(cg::AffineTransform::makeScale(2, 2));
  EXPECT_EQ(v->frame(), cg::Rect(-50, -25, 200, 100));
  EXPECT_EQ(v->bounds(), cg::Rect(0, 0, 100, 50));
  v->setTransform(cg::AffineTransform::identity());
  EXPECT_EQ(v->frame(), cg::Rect(0, 0, 100, 50));
}

TEST(ViewGeometryTest, BoundsOriginShiftsChildren) {
  auto root = makeView({0, 0, 300, 300});
  auto parent = makeView({0, 0, 300, 300});
  auto child = makeView({100, 50, 10, 10});
  root->addSubview(parent);
  parent->addSubview(child);
  EXPECT_EQ(child->convertPointToView(cg::Point{0, 0}, nullptr), (cg::Point{100, 50}));
  parent->setBounds({262, 0, 300, 300});
  EXPECT_EQ(child->convertPointToView(cg::Point{0, 0}, nullptr), (cg::Point{-162, 50}));
  EXPECT_EQ(child->convertPointToView(cg::Point{0, 0}, parent), (cg::Point{100, 50}));
  EXPECT_EQ(child->frame(), cg::Rect(100, 50, 10, 10));
}

TEST(ViewGeometryTest, ConvertsPointsAndRectsBetweenBranches) {
  auto root = makeView({0, 0, 500, 500});
  auto a = makeView({10, 10, 100, 100});
  auto b = makeView({200, 300, 100, 100});
  auto aa = makeView({5, 5, 20, 20});
  root->addSubview(a);
  root->addSubview(b);
  a->addSubview(aa);
  EXPECT_EQ(aa->convertPointToView(cg::Point{1, 2}, b), (cg::Point{-184, -283}));
  EXPECT_EQ(b->convertPointFromView(cg::Point{1, 2}, aa), (cg::Point{-184, -283}));
  EXPECT_EQ(aa->convertRectToView(cg::Rect(0, 0, 20, 20), root), cg::Rect(15, 15, 20, 20));
  EXPECT_EQ(root->convertRectFromView(cg::Rect(0, 0, 20, 20), aa), cg::Rect(15, 15, 20, 20));
  // Through a scaled ancestor.
  a->setTransform(cg::AffineTransform::makeScale(2, 2));
  EXPECT_EQ(aa->convertRectToView(cg::Rect(0, 0, 20, 20), root), cg::Rect(-30, -30, 40, 40));
  EXPECT_EQ(aa->convertPointFromView(cg::Point{-30, -30}, root), (cg::Point{0, 0}));
}

struct AutoresizeCase {
  const char* name;
  unsigned mask;
  cg::Rect child;
  cg::Size newParent;
  cg::Rect expected;
};

class AutoresizingTest : public ::testing::TestWithParam<AutoresizeCase> {};

TEST_P(AutoresizingTest, AppliesMaskWhenSuperviewSizeChanges) {
  const auto& c = GetParam();
  auto parent = makeView({0, 0, 200, 100});
  auto child = makeView(c.child);
  child->setAutoresizingMask(c.mask);
  parent->addSubview(child);
  parent->setFrame({0, 0, c.newParent.width, c.newParent.height});
  EXPECT_EQ(child->frame(), c.expected) << c.name;
}

using namespace ui;
INSTANTIATE_TEST_SUITE_P(
    Masks, AutoresizingTest,
    ::testing::Values(
        AutoresizeCase{"none", ViewAutoresizingNone, {10, 10, 50, 20}, {400, 300}, {10, 10, 50, 20}},
        AutoresizeCase{
            "width", ViewAutoresizingFlexibleWidth, {10, 10, 50, 20}, {400, 100}, {10, 10, 250, 20}},
        AutoresizeCase{
            "height", ViewAutoresizingFlexibleHeight, {0, 0, 200, 100}, {200, 40}, {0, 0, 200, 40}},
        AutoresizeCase{"left margin",
                       ViewAutoresizingFlexibleLeftMargin,
                       {150, 0, 50, 10},
                       {300, 100},
                       {250, 0, 50, 10}},
        AutoresizeCase{"top margin and width",
                       ViewAutoresizingFlexibleTopMargin | ViewAutoresizingFlexibleWidth,
                       {0, 99, 200, 1},
                       {320, 60},
                       {0, 59, 320, 1}},
        AutoresizeCase{"both margins keep centred",
                       ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleRightMargin,
                       {50, 0, 100, 10},
                       {400, 100},
                       {150, 0, 100, 10}},
        AutoresizeCase{"all three share in proportion",
                       ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleWidth |
                           ViewAutoresizingFlexibleRightMargin,
                       {50, 0, 100, 10},
                       {400, 100},
                       {100, 0, 200, 10}},
        AutoresizeCase{"negative margin off screen keeps its place",
                       ViewAutoresizingFlexibleHeight,
                       {-230, 0, 220, 100},
                       {200, 300},
                       {-230, 0, 220, 300}},
        AutoresizeCase{"shrinks no further than zero",
                       ViewAutoresizingFlexibleWidth,
                       {0, 0, 50, 10},
                       {100, 100},
                       {0, 0, 0, 10}}),
    testsupport::CaseName());

TEST(ViewGeometryTest, AutoresizingCanBeSwitchedOffAndCascades) {
  auto parent = makeView({0, 0, 100, 100});
  auto child = makeView({0, 0, 100, 100});
  auto grandchild = makeView({0, 0, 100, 100});
  child->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
  grandchild->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
  parent->addSubview(child);
  child->addSubview(grandchild);
  parent->setFrame({0, 0, 150, 100});
  EXPECT_EQ(grandchild->frame().width(), 150);
  parent->setAutoresizesSubviews(false);
  parent->setFrame({0, 0, 300, 100});
  EXPECT_EQ(child->frame().width(), 150);
}

class CountingLayoutView : public ui::View {
 public:
  int layouts = 0;
  void layoutSubviews() override { ++layouts; }
};

TEST(ViewGeometryTest, LayoutRunsOnceAfterSizeChangeOrRequest) {
  auto v = std::make_shared<CountingLayoutView>();
  v->initWithFrame({0, 0, 10, 10});
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 1);
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 1);
  v->setFrame({5, 5, 10, 10});  // a move alone lays nothing out
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 1);
  v->setFrame({5, 5, 20, 10});
  v->setFrame({5, 5, 30, 10});
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 2);
  v->setNeedsLayout();
  auto parent = makeView({0, 0, 100, 100});
  parent->addSubview(v);
  parent->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 3);
}

TEST(ViewGeometryTest, RedrawContentModeAndLayerFlagMarkForDisplayOnResize) {
  auto v = makeView({0, 0, 10, 10});
  v->didDisplay();
  v->setFrame({0, 0, 20, 20});
  EXPECT_FALSE(v->needsDisplay());
  v->setContentMode(ViewContentMode::redraw);
  v->setFrame({0, 0, 30, 20});
  EXPECT_TRUE(v->needsDisplay());
  v->didDisplay();
  v->setContentMode(ViewContentMode::scaleToFill);
  v->layer()->setNeedsDisplayOnBoundsChange(true);
  v->setFrame({0, 0, 40, 20});
  EXPECT_TRUE(v->needsDisplay());
}

TEST(ViewGeometryTest, ContentModeRects) {
  cg::Rect b(0, 0, 100, 50);
  cg::Size s{20, 10};
  EXPECT_EQ(contentModeRect(ViewContentMode::scaleToFill, s, b), b);
  EXPECT_EQ(contentModeRect(ViewContentMode::center, s, b), cg::Rect(40, 20, 20, 10));
  EXPECT_EQ(contentModeRect(ViewContentMode::scaleAspectFit, {10, 10}, b), cg::Rect(25, 0, 50, 50));
  EXPECT_EQ(contentModeRect(ViewContentMode::scaleAspectFill, {10, 10}, b), cg::Rect(0, -25, 100, 100));
  EXPECT_EQ(contentModeRect(ViewContentMode::bottomRight, s, b), cg::Rect(80, 40, 20, 10));
  EXPECT_EQ(contentModeRect(ViewContentMode::left, s, b), cg::Rect(0, 20, 20, 10));
}

}  // namespace
