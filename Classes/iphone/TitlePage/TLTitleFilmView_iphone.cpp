#include "Classes/iphone/TitlePage/TLTitleFilmView_iphone.h"

#include "Graphics/Layer.h"
#include "UIKit/Font.h"

std::shared_ptr<TLTitleFilmView_iphone> TLTitleFilmView_iphone::initWithFrame(const cg::Rect& frame) {
  ui::View::initWithFrame(frame);
  setBackgroundColor(ui::Color::clearColor());
  loadLabels();
  loadPlayerView();
  return std::static_pointer_cast<TLTitleFilmView_iphone>(shared_from_this());
}

void TLTitleFilmView_iphone::loadLabels() {
  cg::Rect b = bounds();
  filmDetailLabel_ = std::make_shared<ui::Label>()->initWithFrame({0, 222, b.width() - 70, 30});
  filmDetailLabel_->setTextColor(ui::Color::whiteColor());
  filmDetailLabel_->setText("");
  filmDetailLabel_->setBackgroundColor(ui::Color::clearColor());
  filmDetailLabel_->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
  // A line too long for the room beside the stars ends in an ellipsis, which a fade over its end
  // would hide.
  filmDetailLabel_->setLineBreakMode(ui::LineBreakMode::TruncateTail);
  addSubview(filmDetailLabel_);

  auto container = std::make_shared<ui::View>()->initWithFrame({-8, 252, b.width() + 5, b.height() - 252});
  auto mask = std::make_shared<cg::GradientLayer>();
  mask->setFrame(container->bounds());
  mask->setColors({cg::Color::clear(), cg::Color::white(1, 1), cg::Color::white(1, 1), cg::Color::clear()});
  mask->setLocations({0, 0.1, 0.9, 1.0});
  container->layer()->setMask(mask);
  addSubview(container);
  filmDescriptionTV_ = makeDescriptionView({0, 0, b.width() + 5, b.height() - 252});
  container->addSubview(filmDescriptionTV_);
}

void TLTitleFilmView_iphone::loadPlayerView() {
  playerView_ = std::make_shared<ui::View>()->initWithFrame({0, 0, 302, 162});
  bgImageView_ = std::make_shared<ui::View>()->initWithFrame({0, 0, 302, 221});
  bgImageView_->setBackgroundColor(ui::Color::blackColor());
  bgImageView_->setAlpha(0.4);
  playerView_->addSubview(bgImageView_);
  addSubview(playerView_);
  addPlayer();
}

void TLTitleFilmView_iphone::setRating(int rating) {
  if (ratingView_) ratingView_->removeFromSuperview();
  ratingView_ =
      std::make_shared<StarRatingView>()->initSmallStyleWithFrame({bounds().width() - 60, 232, 20, 20});
  ratingView_->setRating(rating);
  addSubview(ratingView_);
}
