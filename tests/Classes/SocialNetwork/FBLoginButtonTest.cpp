#include <gtest/gtest.h>

#include "Classes/SocialNetwork/FB/FBLoginButton.h"

namespace {

std::string nameOf(const std::shared_ptr<ui::Image>& image) { return image ? image->name() : "(none)"; }

TEST(FBLoginButtonTest, ShowsTheLoginOrLogoutPicturesForItsState) {
  auto button = ui::Button::buttonWithType<FBLoginButton>(ui::ButtonType::custom);
  const unsigned pressed = ui::ControlStateHighlighted | ui::ControlStateSelected;
  button->updateImage();
  EXPECT_EQ(nameOf(button->imageForState(ui::ControlStateNormal)), "FBConnect.bundle/images/LoginNormal.png");
  EXPECT_EQ(nameOf(button->imageForState(pressed)), "FBConnect.bundle/images/LoginPressed.png");
  EXPECT_EQ(nameOf(button->imageView()->image()), "FBConnect.bundle/images/LoginNormal.png");
  button->setIsLoggedIn(true);
  button->updateImage();
  EXPECT_EQ(nameOf(button->imageForState(ui::ControlStateNormal)),
            "FBConnect.bundle/images/LogoutNormal.png");
  EXPECT_EQ(nameOf(button->imageForState(pressed)), "FBConnect.bundle/images/LogoutPressed.png");
  EXPECT_EQ(nameOf(button->imageView()->image()), "FBConnect.bundle/images/LogoutNormal.png");
}

}  // namespace
