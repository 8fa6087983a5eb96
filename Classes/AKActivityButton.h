#pragma once

#include <memory>

#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Button.h"
#include "UIKit/Image.h"

// The toolbar reload button: shows `image` at rest, and `activitiImage` with a spinner over it,
// disabled, while its page reloads.
class AKActivityButton final : public ui::Button {
 public:
  static std::shared_ptr<AKActivityButton> buttonWithType(ui::ButtonType type) {
    return ui::Button::buttonWithType<AKActivityButton>(type);
  }

  using ui::Button::setImage;
  const std::shared_ptr<ui::Image>& image() const { return image_; }
  // Also the normal-state image, at once.
  void setImage(std::shared_ptr<ui::Image> image);
  const std::shared_ptr<ui::Image>& activitiImage() const { return activitiImage_; }
  // Shown from the next startAnimating.
  void setActivitiImage(std::shared_ptr<ui::Image> image) { activitiImage_ = std::move(image); }
  // Made by the first startAnimating, centred in the button as it is sized then.
  const std::shared_ptr<ui::ActivityIndicatorView>& activity() const { return activity_; }

  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return activity_ && activity_->isAnimating(); }

 private:
  std::shared_ptr<ui::Image> image_;
  std::shared_ptr<ui::Image> activitiImage_;
  std::shared_ptr<ui::ActivityIndicatorView> activity_;
};
