#include <gtest/gtest.h>

#include "UIKit/Application.h"

namespace {

TEST(ApplicationOpenURLTest, OnlySchemesATestInstalledCanBeOpenedAndEveryQuestionIsRecorded) {
  auto app = ui::Application::sharedApplication();
  auto url = [](const char* text) { return *ns::URL::URLWithString(text); };
  std::size_t before = app->canOpenURLQueries().size();
  EXPECT_FALSE(app->canOpenURL(url("someapp://open")));
  app->setURLSchemeHandled("SomeApp", true);
  EXPECT_TRUE(app->canOpenURL(url("someapp://open")));
  EXPECT_TRUE(app->canOpenURL(url("SOMEAPP:")));
  EXPECT_FALSE(app->canOpenURL(url("otherapp://")));
  app->setURLSchemeHandled("someapp", false);
  EXPECT_FALSE(app->canOpenURL(url("someapp://open")));
  auto queries = app->canOpenURLQueries();
  ASSERT_EQ(queries.size(), before + 5);
  EXPECT_EQ(queries[before + 1], "someapp://open");
  EXPECT_EQ(queries[before + 3], "otherapp://");
}

}  // namespace
