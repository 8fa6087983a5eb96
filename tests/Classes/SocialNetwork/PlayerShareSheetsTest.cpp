#include <gtest/gtest.h>

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/PlayerShareSheets.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Classes/TitlePage/TLPlayerServices.h"
#include "Classes/WidgetTestSupport.h"

namespace {

using Network = AKMoviePlayerServices::Network;

// The sheets join the player's view as the player's; the VKontakte panel sits 50 points lower on a
// tablet only; Twitter has no in-app sheet. The client installs this very function.
TEST(PlayerShareSheetsTest, SheetsJoinThePlayerAndOnlyTheTabletsVkontaktePanelSitsLower) {
  TLInstallPlayerServices();
  const auto* installed =
      AKMoviePlayerController::services().openShareSheet.target<decltype(&openPlayerShareSheet)>();
  ASSERT_TRUE(installed);
  EXPECT_EQ(*installed, &openPlayerShareSheet) << "the client's player opens the same sheets";

  struct Case {
    bool tablet;
    Network network;
    double panelDrop;
  };
  const Case cases[] = {{true, Network::vkontakte, 50}, {false, Network::vkontakte, 0},
                        {true, Network::facebook, 0},   {false, Network::facebook, 0},
                        {true, Network::twitter, 0},    {false, Network::twitter, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tablet ? "tablet " : "phone ") + std::to_string(int(c.network)));
    testsupport::ScopedDevice device(c.tablet ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone());
    auto playerView = std::make_shared<ui::View>()->initWithFrame({0, 0, 768, 1024});
    auto opened = openPlayerShareSheet(c.network, "m", "u", "", *playerView);
    if (c.network == Network::twitter) {
      EXPECT_EQ(opened, nullptr);
      EXPECT_TRUE(playerView->subviews().empty());
      continue;
    }
    auto sheet = std::dynamic_pointer_cast<ShareSheetView>(opened);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->superview(), playerView);
    EXPECT_TRUE(sheet->inPlayer());
    if (auto vk = std::dynamic_pointer_cast<VkontakteWebView>(sheet)) {
      auto reference = std::make_shared<VkontakteWebView>()->initWithMessage("m", "u", "");
      reference->setInPlayer(true);
      EXPECT_EQ(vk->contentView()->frame().y(), reference->contentView()->frame().y() + c.panelDrop);
      reference->closeVK();
      vk->closeVK();
    } else {
      auto fb = std::dynamic_pointer_cast<FaceBookSender>(sheet);
      ASSERT_NE(fb, nullptr);
      EXPECT_TRUE(fb->facebook()) << "the login began at once";
      fb->closeFB();
    }
    EXPECT_EQ(sheet->superview(), nullptr);
  }
}

}  // namespace
