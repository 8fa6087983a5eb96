// The dark popover frame: where its body and arrow go for each arrow direction and offset.
#include <gtest/gtest.h>

#include "KSCustomPopover/KSCustomPopoverBackgroundView.h"

namespace {

struct Case {
  const char* name;
  unsigned direction;
  double offset;
  cg::Rect body, arrow;
  const char* arrowImage;
};

TEST(KSCustomPopoverBackgroundViewTest, PlacesBodyAndArrowForEachDirection) {
  // A 300 x 200 view: the arrow's base is 35 and its height 19; the edges keep 9 points.
  const Case cases[] = {
      {"up, centred", 1, 0, {0, 17, 300, 181}, {133, 0, 35, 19}, "popover-black-top-arrow-image.png"},
      {"up, near the right end",
       1,
       130,
       {0, 17, 300, 181},
       {254, 0, 35, 19},
       "popover-black-top-arrow-image.png"},
      {"up, near the left end",
       1,
       -130,
       {0, 17, 300, 181},
       {12, 0, 35, 19},
       "popover-black-top-arrow-image.png"},
      {"up, far beyond the end: moved back once",
       1,
       400,
       {0, 17, 300, 181},
       {524, 0, 35, 19},
       "popover-black-top-arrow-image.png"},
      {"down overlaps the body",
       2,
       0,
       {0, 0, 300, 183},
       {133, 181, 35, 19},
       "popover-black-bottom-arrow-image.png"},
      {"left", 4, 0, {17, 0, 281, 200}, {0, 83, 19, 35}, "popover-black-left-arrow-image.png"},
      {"right", 8, 10, {0, 0, 283, 200}, {281, 93, 19, 35}, "popover-black-right-arrow-image.png"},
  };
  for (const Case& c : cases) {
    auto view = std::make_shared<KSCustomPopoverBackgroundView>()->initWithFrame({0, 0, 300, 200});
    view->setArrowDirection(c.direction);
    view->setArrowOffset(c.offset);
    view->layoutIfNeeded();
    EXPECT_EQ(view->popoverBackgroundImageView()->frame(), c.body) << c.name;
    EXPECT_EQ(view->arrowImageView()->frame(), c.arrow) << c.name;
    ASSERT_TRUE(view->arrowImageView()->image()) << c.name;
    EXPECT_EQ(view->arrowImageView()->image()->name(), c.arrowImage) << c.name;
  }
}

TEST(KSCustomPopoverBackgroundViewTest, AnUnknownDirectionKeepsTheArrowItHad) {
  auto view = std::make_shared<KSCustomPopoverBackgroundView>()->initWithFrame({0, 0, 300, 200});
  view->setArrowDirection(4);
  view->layoutIfNeeded();
  view->setArrowDirection(0);
  view->layoutIfNeeded();
  EXPECT_EQ(view->popoverBackgroundImageView()->frame(), (cg::Rect{0, 0, 300, 183}));
  EXPECT_EQ(view->arrowImageView()->image()->name(), "popover-black-left-arrow-image.png");
}

TEST(KSCustomPopoverBackgroundViewTest, ClassMetricsAndAStretchableBody) {
  EXPECT_EQ(KSCustomPopoverBackgroundView::arrowBase(), 35.0);
  EXPECT_EQ(KSCustomPopoverBackgroundView::arrowHeight(), 19.0);
  EXPECT_EQ(KSCustomPopoverBackgroundView::contentViewInsets(), (cg::EdgeInsets{8, 8, 8, 8}));
  auto view = std::make_shared<KSCustomPopoverBackgroundView>()->initWithFrame({0, 0, 300, 200});
  auto body = view->popoverBackgroundImageView()->image();
  ASSERT_TRUE(body);
  EXPECT_EQ(body->capInsets(), (cg::EdgeInsets{49, 46, 49, 45}));
  EXPECT_EQ(view->subviews().back(), view->arrowImageView()) << "the arrow above the body";
}

}  // namespace
