// The open-menu scenes of tools/render-views: what people look at must show the menu open over
// the page, darkening it on the tablet and pushing it aside on the phone.
#include <gtest/gtest.h>

#include "Platform/UIKit/ScreenTestSupport.h"
#include "Scenes.h"
#include "UIKit/ViewDump.h"
#include "WidgetTestSupport.h"
#include "support/TempDir.h"

namespace {

TEST(MenuRenderTest, TheOpenMenuScenesShowTheMenuOverTheHomePage) {
  testsupport::ScreenScope screen;
  testsupport::TempDir dir;
  struct Case {
    const char* scene;
    int width, height;
  };
  for (const Case& c : {Case{"menu-pad", 768, 1024}, Case{"menu-phone", 640, 960}}) {
    SCOPED_TRACE(c.scene);
    const scenes::Scene* scene = scenes::find(c.scene);
    ASSERT_NE(scene, nullptr);
    std::string path = dir.file(std::string(c.scene) + ".png");
    ASSERT_TRUE(scenes::renderScene(*scene, path));
    auto image = cg::Image::fromFile(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), c.width);
    EXPECT_EQ(image->pixelHeight(), c.height);
    EXPECT_EQ(ui::Window::keyWindow(), nullptr) << "the scene leaves no key window behind";
  }
  // The tablet scene: the menu shown, its black backdrop at 60 %, the chosen row marked.
  ui::DeviceProfile previous = ui::Device::setProfile(ui::DeviceProfile::tablet());
  auto window = scenes::find("menu-pad")->build();
  ui::Device::setProfile(previous);
  std::string dump = ui::dumpViewTree(window);
  // Over the navigation's view, below the status bar.
  EXPECT_NE(dump.find("TLMenuView frame={{0, 0}, {768, 1004}}\n"), std::string::npos) << "shown";
  EXPECT_NE(dump.find("Button frame={{0, 0}, {768, 1004}} alpha=0.6 bg=rgba(0, 0, 0, 1)"), std::string::npos);
  EXPECT_NE(dump.find("selectedRow=2"), std::string::npos);
}

// An area of at least 60 by 20 points below the status bar that is white or left undrawn, where
// the window's white shows.
bool showsAWhiteBand(const cg::Image& image, int s) {
  const int w = 60 * s, h = 20 * s, step = 10 * s;
  auto white = [&](int x, int y) {
    cg::Color c = image.colorAt(x, y);
    return c.alpha < 0.02 || (c.red > 0.98 && c.green > 0.98 && c.blue > 0.98);
  };
  for (int top = 20 * s; top + h <= image.pixelHeight(); top += step)
    for (int left = 0; left + w <= image.pixelWidth(); left += step) {
      bool all = true;
      for (int y = top; y < top + h && all; y += s)
        for (int x = left; x < left + w && all; x += s) all = white(x, y);
      if (all) return true;
    }
  return false;
}

// The phone's home page and its open menu lie on dark grounds: no band of the window's white shows
// under the rows or above the menu's toolbar once the page has slid aside.
TEST(MenuRenderTest, NoWindowWhiteShowsOnThePhonesHomeAndMenu) {
  testsupport::ScreenScope screen;
  testsupport::TempDir dir;
  for (const char* name : {"home-phone", "menu-phone"}) {
    SCOPED_TRACE(name);
    const scenes::Scene* scene = scenes::find(name);
    ASSERT_NE(scene, nullptr);
    std::string path = dir.file(std::string(name) + ".png");
    ASSERT_TRUE(scenes::renderScene(*scene, path));
    auto image = cg::Image::fromFile(path);
    ASSERT_TRUE(image);
    EXPECT_FALSE(showsAWhiteBand(*image, image->pixelWidth() / 320));
  }
}

}  // namespace
