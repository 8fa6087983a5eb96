#pragma once

#include <memory>

#include "UIKit/Button.h"
#include "UIKit/Image.h"

// The login or logout image button of the Facebook client.
class FBLoginButton final : public ui::Button {
 public:
  bool isLoggedIn() const { return isLoggedIn_; }
  void setIsLoggedIn(bool loggedIn) { isLoggedIn_ = loggedIn; }

  // Shows the pictures for the current state: the image view's image and the normal state's
  // image, and the pressed picture for the highlighted-and-selected state.
  void updateImage();

 private:
  std::shared_ptr<ui::Image> buttonImage() const;
  std::shared_ptr<ui::Image> buttonHighlightedImage() const;

  bool isLoggedIn_ = false;
};
