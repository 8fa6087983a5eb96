#include <gtest/gtest.h>

#include "Scenes.h"
#include "WidgetTestSupport.h"
#include "support/CaseName.h"
#include "support/TempDir.h"

namespace {

struct RenderCase {
  const char* name;
  int pixelWidth, pixelHeight;
};

class WidgetRenderTest : public ::testing::TestWithParam<RenderCase> {};

TEST_P(WidgetRenderTest, RendersToAPngOfTheExpectedSize) {
  testsupport::TempDir dir;
  const scenes::Scene* scene = scenes::find(GetParam().name);
  ASSERT_NE(scene, nullptr);
  std::string path = dir.file(std::string(GetParam().name) + ".png");
  ASSERT_TRUE(scenes::renderScene(*scene, path));
  auto image = cg::Image::fromFile(path);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), GetParam().pixelWidth);
  EXPECT_EQ(image->pixelHeight(), GetParam().pixelHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, WidgetRenderTest,
    ::testing::Values(RenderCase{"activity-button", 120, 64}, RenderCase{"segmented-control", 302, 58},
                      RenderCase{"star-rating", 140, 86}, RenderCase{"page-control-pad", 120, 36},
                      RenderCase{"page-control-phone", 240, 72}, RenderCase{"rubric-row-pad", 1024, 410},
                      RenderCase{"rubric-row-phone", 640, 640}),
    testsupport::CaseName());

}  // namespace
