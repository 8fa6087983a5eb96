#include <cmath>

#include "PlayerControllerTestSupport.h"

namespace {

using playertest::PlayerControllerTest;

TEST_F(PlayerControllerTest, TheSharePanelOpensBesideTheLowerBarByDeviceAndOrientation) {
  struct Case {
    const char* name;
    bool phone;
    ui::InterfaceOrientation orientation;
    double width, height;
    bool row;  // the buttons side by side
  };
  const Case cases[] = {
      {"tablet landscape", false, ui::InterfaceOrientation::landscapeLeft, 193, 88, true},
      {"tablet portrait", false, ui::InterfaceOrientation::portrait, 108, 196, false},
      {"phone", true, ui::InterfaceOrientation::portrait, 310, 104, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::ManualClock clock;
    makePlayer(c.phone ? ui::DeviceProfile::phone() : ui::DeviceProfile::tablet());
    ui::Application::sharedApplication()->setStatusBarOrientation(c.orientation);
    player->setAutoPlay(true);
    player->setPlayList({programme()});
    ASSERT_TRUE(waitReady());
    player->goToFullscreen();
    clock.advance(1);
    ASSERT_TRUE(player->isFullscreen());
    auto lower = player->lowerControllBar();
    const cg::Rect b = lower->frame();
    player->AKMovieLowerControllBarShowSocial(*lower);
    auto panel = player->socialControllBar();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->superview(), player->view());
    cg::Rect expected;
    if (c.phone)
      expected = {b.x(), b.y() - 104, c.width, c.height};
    else if (c.row)
      expected = {b.x() + b.width(), b.y() + 2, c.width, c.height};
    else
      expected = {b.x() + b.width(), std::trunc(b.y() - (196 - b.height()) / 2), c.width, c.height};
    EXPECT_EQ(panel->frame(), expected);
    ASSERT_GE(panel->subviews().size(), 3u);
    const auto& first = panel->subviews()[panel->subviews().size() - 3]->frame();
    const auto& second = panel->subviews()[panel->subviews().size() - 2]->frame();
    EXPECT_EQ(first.y() == second.y(), c.row) << "row or column";

    // Opening it again replaces the panel; rotating and leaving full screen take it away.
    player->AKMovieLowerControllBarShowSocial(*lower);
    EXPECT_EQ(panel->superview(), nullptr);
    panel = player->socialControllBar();
    player->shouldAutorotate();
    EXPECT_EQ(panel->superview(), nullptr);
    player->AKMovieLowerControllBarShowSocial(*lower);
    panel = player->socialControllBar();
    player->backFromFullscreen();
    EXPECT_EQ(panel->superview(), nullptr);
    TearDown();
  }
}

}  // namespace

namespace {

TEST_F(PlayerControllerTest, ASheetGetsTheShareInfoAndHoldsTheGatesWhileInTheTree) {
  for (auto network : {AKMoviePlayerServices::Network::facebook, AKMoviePlayerServices::Network::vkontakte}) {
    SCOPED_TRACE(network == AKMoviePlayerServices::Network::facebook ? "facebook" : "vkontakte");
    ns::ManualClock clock;
    std::vector<std::string> given;
    AKMoviePlayerServices services;
    services.openShareSheet = [&](AKMoviePlayerServices::Network, const std::string& message,
                                  const std::string& url, const std::string& image, ui::View& playerView) {
      given = {message, url, image};
      auto sheet = std::make_shared<ui::View>()->initWithFrame(playerView.bounds());
      playerView.addSubview(sheet);
      return sheet;
    };
    AKMoviePlayerController::setServices(services);
    makePlayer(ui::DeviceProfile::phone());
    player->setShareInfo(ns::Dictionary{{"message", "Смотрите"}, {"url", "http://s/1"}, {"image", "/p.jpg"}});
    player->setPlayList({programme()});
    ASSERT_TRUE(waitReady());
    player->startPlay();
    clock.advance(1);
    ASSERT_TRUE(player->isFullscreen());
    player->handleTouchesOne();
    ASSERT_FALSE(player->upperControllBar()->isHidden());
    player->AKMovieLowerControllBarShowSocial(*player->lowerControllBar());
    auto panel = player->socialControllBar();
    if (network == AKMoviePlayerServices::Network::facebook)
      player->AKMovieSocialControllBarFb(*panel);
    else
      player->AKMovieSocialControllBarVk(*panel);
    EXPECT_EQ(given, (std::vector<std::string>{"Смотрите", "http://s/1", "/p.jpg"}));
    auto sheet =
        network == AKMoviePlayerServices::Network::facebook ? player->fbSocialView() : player->vkSocialView();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->superview(), player->view());
    EXPECT_TRUE(ui::Application::sharedApplication()->isStatusBarHidden());
    clock.advance(1);
    EXPECT_TRUE(player->upperControllBar()->isHidden()) << "the bars went down for the sheet";
    EXPECT_EQ(panel->superview(), nullptr);

    EXPECT_FALSE(player->gestureShouldBegin());
    player->checkVisibilityFullScreenControl();
    EXPECT_TRUE(player->upperControllBar()->isHidden()) << "no bars over the sheet";
    EXPECT_FALSE(player->gestureShouldReceiveTouch(sheet.get()));
    sheet->removeFromSuperview();
    EXPECT_TRUE(player->gestureShouldBegin()) << "the gates open once the sheet has gone";
    player->checkVisibilityFullScreenControl();
    EXPECT_FALSE(player->upperControllBar()->isHidden());
    TearDown();
  }
}

}  // namespace
