#pragma once

#include <memory>

#include "UIKit/ImageView.h"
#include "UIKit/View.h"

// A rating as a row of square stars, the first ones blue, the rest grey. Star i is an image view
// tagged 10 + i at (side × i, 0), its side the view's height.
class StarRatingView : public ui::View {
 public:
  static constexpr int kFirstStarTag = 10;

  // The view is (x, y, height × count, height); the star count is the count clamped to 5...10.
  // Shows a rating of 3.
  std::shared_ptr<StarRatingView> initWithFrame(const cg::Rect& frame, int starsCount);
  // Five stars of 12 points with the "Big" images, at the rect's origin.
  std::shared_ptr<StarRatingView> initSmallStyleWithFrame(const cg::Rect& frame);
  // Five stars of 20 points, at the rect's origin.
  std::shared_ptr<StarRatingView> initBigStyleWithFrame(const cg::Rect& frame);

  // Lights the first `rating` stars, clamped to 0...starCount; stars never built are skipped.
  void setRating(int rating);
  int starCount() const { return starCount_; }
  // Stores the count only: no star is added or removed.
  void setStarCount(int count) { starCount_ = count; }
  bool isSmallStyle() const { return smallStyle_; }
  // Builds starCount stars; the argument is not used.
  void initImageViewWithCount(int count);

 private:
  std::shared_ptr<ui::Image> litImage() const;
  std::shared_ptr<ui::Image> unlitImage() const;
  std::shared_ptr<ui::ImageView> starAt(int index);

  int starCount_ = 0;
  bool smallStyle_ = false;
};
