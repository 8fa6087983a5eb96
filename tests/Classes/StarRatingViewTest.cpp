#include <gtest/gtest.h>

#include "Classes/MainPage/StarRatingView.h"
#include "WidgetTestSupport.h"

namespace {

std::vector<std::string> starNames(StarRatingView& v) {
  std::vector<std::string> out;
  for (const auto& sub : v.subviews()) {
    auto star = std::dynamic_pointer_cast<ui::ImageView>(sub);
    EXPECT_EQ(sub->tag(), StarRatingView::kFirstStarTag + int(out.size()));
    out.push_back(star && star->image() ? star->image()->name() : "nil");
  }
  return out;
}

int litCount(StarRatingView& v) {
  int n = 0;
  for (const auto& name : starNames(v)) n += name.find("blue") != std::string::npos;
  return n;
}

struct FrameCase {
  cg::Rect frame;
  int count;
  cg::Rect expectedFrame;
  int expectedStars;
};

class StarFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(StarFrameTest, WidthComesFromHeightAndCountAndStarsAreClamped) {
  const auto& c = GetParam();
  auto v = std::make_shared<StarRatingView>()->initWithFrame(c.frame, c.count);
  EXPECT_EQ(v->frame(), c.expectedFrame);
  EXPECT_EQ(v->starCount(), c.expectedStars);
  EXPECT_EQ(int(starNames(*v).size()), c.expectedStars);
  double side = c.frame.height();
  auto last = v->subviews().back();
  EXPECT_EQ(last->frame(), cg::Rect(side * (c.expectedStars - 1), 0, side, side));
}

INSTANTIATE_TEST_SUITE_P(Counts, StarFrameTest,
                         ::testing::Values(FrameCase{{4, 6, 500, 18}, 5, {4, 6, 90, 18}, 5},
                                           FrameCase{{0, 0, 0, 20}, 3, {0, 0, 60, 20}, 5},
                                           FrameCase{{0, 0, 1, 10}, 12, {0, 0, 120, 10}, 10},
                                           FrameCase{{0, 0, 1, 10}, 7, {0, 0, 70, 10}, 7}));

struct RatingCase {
  int stars;
  int rating;
  int lit;
};

class StarRatingTest : public ::testing::TestWithParam<RatingCase> {};

TEST_P(StarRatingTest, LightsTheFirstStarsClamped) {
  const auto& c = GetParam();
  auto v = std::make_shared<StarRatingView>()->initWithFrame({0, 0, 0, 20}, c.stars);
  v->setRating(c.rating);
  EXPECT_EQ(litCount(*v), c.lit);
}

INSTANTIATE_TEST_SUITE_P(Ratings, StarRatingTest,
                         ::testing::Values(RatingCase{5, 7, 5}, RatingCase{5, -2, 0}, RatingCase{5, 0, 0},
                                           RatingCase{5, 4, 4}, RatingCase{10, 10, 10}, RatingCase{8, 9, 8}));

TEST(StarRatingViewTest, FreshViewShowsThreeAndStylesPickTheirImages) {
  auto plain = std::make_shared<StarRatingView>()->initWithFrame({0, 0, 0, 20}, 5);
  EXPECT_EQ(starNames(*plain),
            (std::vector<std::string>{"starIphone_blue.png", "starIphone_blue.png", "starIphone_blue.png",
                                      "starIphone_gray.png", "starIphone_gray.png"}));
  auto small = std::make_shared<StarRatingView>()->initSmallStyleWithFrame({3, 4, 500, 500});
  EXPECT_TRUE(small->isSmallStyle());
  EXPECT_EQ(small->frame(), cg::Rect(3, 4, 60, 12));
  EXPECT_EQ(starNames(*small).front(), "starIphoneBig_blue.png");
  EXPECT_EQ(starNames(*small).back(), "starIphoneBig_gray.png");
  auto big = std::make_shared<StarRatingView>()->initBigStyleWithFrame({3, 4, 0, 0});
  EXPECT_FALSE(big->isSmallStyle());
  EXPECT_EQ(big->frame(), cg::Rect(3, 4, 100, 20));
  EXPECT_EQ(starNames(*big).front(), "starIphone_blue.png");
}

// setStarCount stores the count only; a rating may then name stars that were never built.
TEST(StarRatingViewTest, RatingSkipsStarsThatWereNeverBuilt) {
  auto v = std::make_shared<StarRatingView>()->initWithFrame({0, 0, 0, 20}, 5);
  v->setStarCount(9);
  EXPECT_NO_THROW(v->setRating(8));
  EXPECT_EQ(litCount(*v), 5);
  EXPECT_EQ(v->subviews().size(), 5u);
  // Stars past the stored count are left as they were.
  v->setRating(0);
  v->setStarCount(2);
  v->setRating(5);
  EXPECT_EQ(litCount(*v), 2);
}

TEST(StarRatingViewTest, OwnTagCollidingWithAStarTagIsLeftAlone) {
  auto v = std::make_shared<StarRatingView>()->initWithFrame({0, 0, 0, 20}, 5);
  v->setTag(StarRatingView::kFirstStarTag);
  v->setRating(1);
  EXPECT_EQ(litCount(*v), 1);
}

}  // namespace
