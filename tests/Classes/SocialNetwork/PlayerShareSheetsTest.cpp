#include <gtest/gtest.h>

#include "Classes/SocialNetwork/PlayerShareSheets.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Classes/WidgetTestSupport.h"

namespace {

// The player's VKontakte sheet joins the player's view, its panel 50 points lower on a tablet only.
TEST(PlayerShareSheetsTest, TheVkontakteSheetJoinsThePlayerWithItsPanelLowerOnATablet) {
  for (bool tablet : {true, false}) {
    SCOPED_TRACE(tablet ? "tablet" : "phone");
    testsupport::ScopedDevice device(tablet ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone());
    auto reference = std::make_shared<VkontakteWebView>()->initWithMessage("m", "u", "");
    reference->setInPlayer(true);
    ASSERT_NE(reference->contentView(), nullptr);
    auto playerView = std::make_shared<ui::View>()->initWithFrame({0, 0, 768, 1024});
    auto sheet = std::dynamic_pointer_cast<VkontakteWebView>(
        openPlayerShareSheet(AKMoviePlayerServices::Network::vkontakte, "m", "u", "", *playerView));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->superview(), playerView);
    EXPECT_EQ(sheet->contentView()->frame().y(), reference->contentView()->frame().y() + (tablet ? 50 : 0));
    sheet->closeVK();
    reference->closeVK();
  }
}

}  // namespace
