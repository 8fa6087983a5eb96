// The render-views scenes of pages loaded from the sample service: each is drawn once what it
// shows has come in, and the search scenes show what their queries find.
#include <gtest/gtest.h>

#include "Platform/UIKit/ScreenTestSupport.h"
#include "Scenes.h"
#include "UIKit/ViewDump.h"
#include "support/TempDir.h"

namespace {

// A scene that has not settled within its bound is not drawn: renderScene says false. The
// tablet's home page keeps a count of rows that never comes down to 0, and its category grid in
// landscape keeps spinners turning on tiles of the next page, out of sight.
TEST(PageSceneRenderTest, TheTabletPageScenesAreDrawnOnceWhatTheyShowHasComeIn) {
  testsupport::ScreenScope screen;
  testsupport::TempDir dir;
  for (const char* name : {"home-pad-portrait", "home-pad-landscape", "category-pad-landscape",
                           "category-pad-years-landscape"}) {
    SCOPED_TRACE(name);
    const scenes::Scene* scene = scenes::find(name);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(scenes::renderScene(*scene, dir.file(std::string(name) + ".png")));
  }
}

TEST(PageSceneRenderTest, TheSearchScenesShowWhatTheirQueriesFind) {
  testsupport::ScreenScope screen;
  struct Case {
    const char* scene;
    const char* heading;  // of the results
  };
  for (const Case& c : {Case{"search-pad-portrait", "По запросу \"город\" найдено:"},
                        Case{"search-pad-landscape", "По запросу \"город\" найдено:"},
                        Case{"search-phone", "По запросу \"город\" найдено:"},
                        Case{"search-phone-nothing", "По запросу \"zzzzzz\" ничего не найдено."}}) {
    SCOPED_TRACE(c.scene);
    const scenes::Scene* scene = scenes::find(c.scene);
    ASSERT_NE(scene, nullptr);
    ui::DeviceProfile previous = ui::Device::setProfile(scene->device);
    auto window = scene->build();
    ui::Device::setProfile(previous);
    ASSERT_NE(window, nullptr);
    std::string dump = ui::dumpViewTree(window);
    EXPECT_NE(dump.find(c.heading), std::string::npos) << dump;
    if (std::string(c.scene).find("nothing") == std::string::npos) {
      EXPECT_EQ(dump.find("ничего не найдено"), std::string::npos);
      EXPECT_NE(dump.find("Северный город"), std::string::npos) << "a title the query finds";
    }
  }
}

}  // namespace
