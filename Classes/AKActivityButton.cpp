#include "Classes/AKActivityButton.h"

void AKActivityButton::setImage(std::shared_ptr<ui::Image> image) {
  image_ = std::move(image);
  setImage(image_, ui::ControlStateNormal);
}

void AKActivityButton::startAnimating() {
  if (!activity_) {
    activity_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::white);
    cg::Size s = frame().size;
    activity_->setCenter({s.width / 2, s.height / 2});
    addSubview(activity_);
  }
  setImage(activitiImage_, ui::ControlStateNormal);
  setEnabled(false);
  activity_->startAnimating();
}

void AKActivityButton::stopAnimating() {
  setImage(image_, ui::ControlStateNormal);
  setEnabled(true);
  if (activity_) activity_->stopAnimating();
}
