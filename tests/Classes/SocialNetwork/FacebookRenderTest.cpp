// The login-dialog scenes of tools/render-views: the fake's page in the dialog, on both idioms.
#include <gtest/gtest.h>

#include "Graphics/Image.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "Scenes.h"
#include "UIKit/ViewDump.h"
#include "support/TempDir.h"

namespace {

TEST(FacebookRenderTest, TheLoginScenesShowThePeersPageInTheDialog) {
  testsupport::ScreenScope screen;
  testsupport::TempDir dir;
  struct Case {
    const char* scene;
    ui::DeviceProfile device;
    int width, height;
  };
  for (const Case& c : {Case{"facebook-login-pad", ui::DeviceProfile::tablet(), 768, 1024},
                        Case{"facebook-login-phone", ui::DeviceProfile::phone(), 640, 960}}) {
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

    ui::DeviceProfile previous = ui::Device::setProfile(c.device);
    auto window = scene->build();
    ui::Device::setProfile(previous);
    ASSERT_TRUE(window);
    std::string dump = ui::dumpViewTree(window);
    EXPECT_NE(dump.find("text=\"Log in to Facebook\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("title=\"Log in to Facebook\" url=http://fb.localhost:"), std::string::npos) << dump;
    EXPECT_NE(dump.find("/dialog/oauth fields=email,pass"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("client_id"), std::string::npos) << "the query stays out of the dump";
  }
}

}  // namespace
