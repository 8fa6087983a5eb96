#include "Classes/SocialNetwork/FB/FBLoginButton.h"

#include "UIKit/ImageView.h"

std::shared_ptr<ui::Image> FBLoginButton::buttonImage() const {
  return ui::Image::imageNamed(isLoggedIn_ ? "FBConnect.bundle/images/LogoutNormal.png"
                                           : "FBConnect.bundle/images/LoginNormal.png");
}

std::shared_ptr<ui::Image> FBLoginButton::buttonHighlightedImage() const {
  return ui::Image::imageNamed(isLoggedIn_ ? "FBConnect.bundle/images/LogoutPressed.png"
                                           : "FBConnect.bundle/images/LoginPressed.png");
}

void FBLoginButton::updateImage() {
  imageView()->setImage(buttonImage());
  setImage(buttonImage(), ui::ControlStateNormal);
  setImage(buttonHighlightedImage(), ui::ControlStateHighlighted | ui::ControlStateSelected);
}
