#include <cmath>

#include "Foundation/DataFile.h"
#include "PlayerControllerTestSupport.h"
#include "UIKit/ComposeViewController.h"
#include "support/TempDir.h"

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

namespace {

// The poster a title page would have cached: a picture unlike "twitter.png".
std::string writePoster(const testsupport::TempDir& dir) {
  std::string path = dir.file("poster.png");
  auto picture = ui::Image::imageNamed("AKMovieImages.bundle/startPlay");
  if (!picture) return path;
  EXPECT_TRUE(ns::writeDataToFile(ui::ImagePNGRepresentation(picture), path));
  return path;
}

TEST_F(PlayerControllerTest, ComposersShareWhereTheSystemHasThemAndTheTweetFormOtherwise) {
  struct Case {
    const char* name;
    bool composerClass;
    bool twitter;
    const char* service;  // of the composer presented; "" for the older tweet form
    bool poster;          // the poster attached rather than "twitter.png"
  };
  const Case cases[] = {
      {"facebook composer", true, false, ui::kServiceTypeFacebook, true},
      {"twitter composer", true, true, ui::kServiceTypeTwitter, true},
      {"tweet form", false, true, "", false},
  };
  testsupport::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::ManualClock clock;
    bool sheetAsked = false;
    AKMoviePlayerServices services;
    services.openShareSheet = [&](auto, const auto&, const auto&, const auto&, ui::View&) {
      sheetAsked = true;
      return std::shared_ptr<ui::View>();
    };
    AKMoviePlayerController::setServices(services);
    ui::ComposeViewController::setClassAvailable(c.composerClass);
    playingInFullScreen(clock, {programme()});
    const std::string poster = writePoster(dir);
    auto twitterPicture = ui::Image::imageNamed("twitter.png");
    auto posterPicture = ui::Image::imageWithContentsOfFile(poster);
    ASSERT_TRUE(twitterPicture);
    ASSERT_TRUE(posterPicture);
    ASSERT_NE(twitterPicture->size(), posterPicture->size());
    const cg::Size twitterSize = twitterPicture->size(), posterSize = posterPicture->size();
    player->setShareInfo(ns::Dictionary{{"message", "Смотрю"}, {"url", "http://s/t/7"}, {"image", poster}});
    ASSERT_EQ(root->presentedViewController(), player);
    player->AKMovieLowerControllBarShowSocial(*player->lowerControllBar());
    if (c.twitter)
      player->AKMovieSocialControllBarTw(*player->socialControllBar());
    else
      player->AKMovieSocialControllBarFb(*player->socialControllBar());
    ui::ComposeViewController::setClassAvailable(false);
    EXPECT_FALSE(sheetAsked) << "no in-app sheet";

    // The poster is read off the main thread first.
    ASSERT_TRUE(testsupport::spinUntil([&] { return player->presentedViewController() != nullptr; }));
    auto form = std::dynamic_pointer_cast<ui::ComposeForm>(player->presentedViewController());
    ASSERT_NE(form, nullptr) << "presented from the full-screen player";
    EXPECT_EQ(form->view()->superview(), window) << "over the window";
    auto composer = std::dynamic_pointer_cast<ui::ComposeViewController>(form);
    EXPECT_EQ(composer ? composer->serviceType() : std::string(), c.service);
    EXPECT_EQ(form->initialText(), "Смотрю");
    ASSERT_EQ(form->urls().size(), 1u);
    EXPECT_EQ(form->urls()[0].absoluteString(), "http://s/t/7");
    ASSERT_EQ(form->images().size(), 1u);
    EXPECT_EQ(form->images()[0]->size(), c.poster ? posterSize : twitterSize);

    // Leaving full screen takes the form away with the player.
    player->backFromFullscreen();
    clock.advance(1);
    EXPECT_EQ(form->view()->superview(), nullptr);
    EXPECT_EQ(player->view()->superview(), host);
    TearDown();
  }
}

TEST_F(PlayerControllerTest, VKontakteAlwaysHasTheInAppSheet) {
  ns::ManualClock clock;
  int sheets = 0;
  AKMoviePlayerServices services;
  services.openShareSheet = [&](AKMoviePlayerServices::Network network, const auto&, const auto&, const auto&,
                                ui::View& playerView) {
    EXPECT_EQ(network, AKMoviePlayerServices::Network::vkontakte);
    ++sheets;
    auto sheet = std::make_shared<ui::View>()->initWithFrame(playerView.bounds());
    playerView.addSubview(sheet);
    return sheet;
  };
  AKMoviePlayerController::setServices(services);
  ui::ComposeViewController::setClassAvailable(true);
  playingInFullScreen(clock, {programme()});
  player->AKMovieLowerControllBarShowSocial(*player->lowerControllBar());
  player->AKMovieSocialControllBarVk(*player->socialControllBar());
  ui::ComposeViewController::setClassAvailable(false);
  EXPECT_EQ(sheets, 1);
  EXPECT_EQ(player->presentedViewController(), nullptr);
  ASSERT_NE(player->vkSocialView(), nullptr);
}

}  // namespace

namespace {

TEST_F(PlayerControllerTest, TurningTheTabletInFullScreenAsksThePlayerAndClosesThePanel) {
  ns::ManualClock clock;
  playingInFullScreen(clock, {programme()});
  player->AKMovieLowerControllBarShowSocial(*player->lowerControllBar());
  auto panel = player->socialControllBar();
  ASSERT_NE(panel->superview(), nullptr);
  ASSERT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_EQ(panel->superview(), nullptr) << "the player was asked, and took its panel away";
  EXPECT_EQ(player->view()->frame(), window->bounds()) << "still covering the turned window";
  EXPECT_EQ(window->bounds().size, (cg::Size{1024, 768}));
}

}  // namespace
