#include "Classes/MainPage/StarRatingView.h"

#include <algorithm>

std::shared_ptr<StarRatingView> StarRatingView::initWithFrame(const cg::Rect& frame, int starsCount) {
  View::initWithFrame({frame.x(), frame.y(), frame.height() * starsCount, frame.height()});
  starCount_ = std::clamp(starsCount, 5, 10);
  initImageViewWithCount(starCount_);
  setRating(3);
  return self<StarRatingView>();
}

std::shared_ptr<StarRatingView> StarRatingView::initSmallStyleWithFrame(const cg::Rect& frame) {
  smallStyle_ = true;
  return initWithFrame({frame.x(), frame.y(), 60, 12}, 5);
}

std::shared_ptr<StarRatingView> StarRatingView::initBigStyleWithFrame(const cg::Rect& frame) {
  return initWithFrame({frame.x(), frame.y(), 100, 20}, 5);
}

std::shared_ptr<ui::Image> StarRatingView::litImage() const {
  return ui::Image::imageNamed(smallStyle_ ? "starIphoneBig_blue.png" : "starIphone_blue.png");
}

std::shared_ptr<ui::Image> StarRatingView::unlitImage() const {
  return ui::Image::imageNamed(smallStyle_ ? "starIphoneBig_gray.png" : "starIphone_gray.png");
}

void StarRatingView::initImageViewWithCount(int) {
  double side = bounds().height();
  auto unlit = unlitImage();
  for (int i = 0; i < starCount_; ++i) {
    auto star = std::make_shared<ui::ImageView>()->initWithFrame({side * i, 0, side, side});
    star->setImage(unlit);
    star->setTag(kFirstStarTag + i);
    addSubview(star);
  }
}

std::shared_ptr<ui::ImageView> StarRatingView::starAt(int index) {
  // Only the star views themselves: the view's own tag may collide with a star's.
  for (const auto& sub : subviews())
    if (sub->tag() == kFirstStarTag + index)
      if (auto star = std::dynamic_pointer_cast<ui::ImageView>(sub)) return star;
  return nullptr;
}

void StarRatingView::setRating(int rating) {
  int r = std::clamp(rating, 0, std::max(0, starCount_));
  auto lit = litImage(), unlit = unlitImage();
  for (int i = 0; i < starCount_; ++i)
    if (auto star = starAt(i)) star->setImage(i < r ? lit : unlit);
}
