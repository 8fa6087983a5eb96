#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "App/ClientOptions.h"
#include "App/ClientScript.h"
#include "App/ClientSession.h"
#include "Classes/TLSettings.h"
#include "UIKit/Label.h"

namespace {

struct ScriptLineCase {
  const char* line;
  const char* reads;  // the step as describe() gives it back
};

class ScriptLineTest : public ::testing::TestWithParam<ScriptLineCase> {};

TEST_P(ScriptLineTest, ReadsTheStep) {
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(parseScript(GetParam().line, steps, error)) << error;
  ASSERT_EQ(1u, steps.size());
  EXPECT_EQ(GetParam().reads, steps[0].describe());
  EXPECT_EQ(1, steps[0].line);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ScriptLineTest,
    ::testing::Values(
        ScriptLineCase{"wait", "wait"},
        ScriptLineCase{"  tap   Button  \"     Навигация\"  ", "tap Button \"     Навигация\""},
        ScriptLineCase{"tap Label #12 \"a b\"", "tap Label \"a b\" #12"},
        ScriptLineCase{"tap 10,20.5", "tap 10,20.5"},
        ScriptLineCase{"type \"поезд ночной\"", "type \"поезд ночной\""}, ScriptLineCase{"search", "search"},
        ScriptLineCase{"drag ScrollView -300,0", "drag ScrollView -300,0"},
        ScriptLineCase{"drag 5,5 0,-40", "drag 5,5 0,-40"},
        ScriptLineCase{"wheel TLRubricScrollView* 0,300", "wheel TLRubricScrollView* 0,300"},
        ScriptLineCase{"wheel 5,5 -40,0", "wheel 5,5 -40,0"},
        ScriptLineCase{"pinch AKMoviePlayerView 1.6", "pinch AKMoviePlayerView 1.6"},
        ScriptLineCase{"phone:  tap TLVideoItemPriview*", "phone: tap TLVideoItemPriview*"},
        ScriptLineCase{"tablet: rotate landscape", "tablet: rotate landscape"},
        ScriptLineCase{"pinch View \"x\" 0.5", "pinch View \"x\" 0.5"},
        ScriptLineCase{"rotate landscape", "rotate landscape"}, ScriptLineCase{"advance 8.5", "advance 8.5"},
        ScriptLineCase{"shot home-again", "shot home-again"},
        ScriptLineCase{"post TLNavigationShowMenu", "post TLNavigationShowMenu"},
        ScriptLineCase{"spin 1  3", "spin 1 3"}, ScriptLineCase{"spin 0 \"Драма\"", "spin 0 \"Драма\""}));

struct BadScriptCase {
  const char* text;
  const char* error;
};

class BadScriptTest : public ::testing::TestWithParam<BadScriptCase> {};

TEST_P(BadScriptTest, NamesTheLineAndTheReason) {
  std::vector<ScriptStep> steps;
  std::string error;
  EXPECT_FALSE(parseScript(GetParam().text, steps, error));
  EXPECT_EQ(GetParam().error, error);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, BadScriptTest,
    ::testing::Values(
        BadScriptCase{"# a comment\n\nfly away", "3: unknown step fly"},
        BadScriptCase{"wait\ntap", "2: tap names no view (CLASS [\"TEXT\"] [#TAG], or X,Y)"},
        BadScriptCase{"\"tap\" Button", "1: a line starts with a step, not a text"},
        BadScriptCase{"tap \"Навигация\"", "1: tap wants a class name before the text"},
        BadScriptCase{"tap Button \"open", "1: a text is not closed with \""},
        BadScriptCase{"tap Button #x", "1: tap has a bad tag #x"},
        BadScriptCase{"tap 1,2 Button", "1: tap has words after its point"},
        BadScriptCase{"drag Button", "1: drag wants a view and a distance DX,DY"},
        BadScriptCase{"wheel Button \"OK\"", "1: wheel wants a view and a distance DX,DY"},
        BadScriptCase{
            "devices",
            "1: devices wants the names of the devices (tablet, tablet-landscape, phone, phone-4in)"},
        BadScriptCase{"devices tablet watch",
                      "1: devices names no device watch (tablet, tablet-landscape, phone, phone-4in)"},
        BadScriptCase{"devices tablet\nwait\ndevices phone", "3: devices are already named on line 1"},
        BadScriptCase{"wait\nphone:", "2: phone: wants a step after it"},
        BadScriptCase{"tablet: fly", "1: unknown step fly"},
        BadScriptCase{"pinch View 1", "1: pinch wants a view and a scale above 0 other than 1"},
        BadScriptCase{"pinch View 0", "1: pinch wants a view and a scale above 0 other than 1"},
        BadScriptCase{"pinch 5,5 2", "1: pinch wants a view, not a point"},
        BadScriptCase{"rotate sideways", "1: rotate wants portrait or landscape, not sideways"},
        BadScriptCase{"advance soon", "1: advance wants a number of seconds, not soon"},
        BadScriptCase{"advance -1", "1: advance wants a number of seconds, not -1"},
        BadScriptCase{"shot ../outside", "1: shot wants a plain file name, not ../outside"},
        BadScriptCase{"shot", "1: shot wants 1 argument"},
        BadScriptCase{"wait now", "1: wait wants 0 arguments"},
        BadScriptCase{"spin 0", "1: spin wants 2 arguments"},
        BadScriptCase{"spin 0 1.5", "1: spin wants a wheel and a row, counted from 0, or the row's text"},
        BadScriptCase{"spin -1 0", "1: spin wants a wheel and a row, counted from 0, or the row's text"}));

TEST(ScriptDevicesTest, AScriptNamesTheDevicesItIsWrittenFor) {
  Script script;
  std::string error;
  ASSERT_TRUE(parseScript("# for both\n\ndevices tablet phone-4in\nshot home\n", script, error)) << error;
  EXPECT_EQ(script.devices, (std::vector<std::string>{"tablet", "phone-4in"}));
  EXPECT_EQ(script.devicesLine, 3);
  ASSERT_EQ(script.steps.size(), 1u);
  EXPECT_EQ(script.steps[0].line, 4);
  Script anywhere;
  ASSERT_TRUE(parseScript("shot home\n", anywhere, error));
  EXPECT_TRUE(anywhere.devices.empty());
}

std::shared_ptr<ui::Label> label(const std::string& text, cg::Rect frame) {
  auto l = std::make_shared<ui::Label>();
  l->initWithFrame(frame);
  l->setText(text);
  return l;
}

ScriptStep step(const std::string& line) {
  std::vector<ScriptStep> steps;
  std::string error;
  EXPECT_TRUE(parseScript(line, steps, error)) << error;
  return steps.empty() ? ScriptStep() : steps[0];
}

TEST(ScriptViewTest, FindsTheFirstShownViewOfTheClassWithItsTextOrTag) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 480});
  auto hidden = label("Фильмы", {0, 0, 100, 20});
  hidden->setHidden(true);
  auto offScreen = label("Фильмы", {400, 0, 100, 20});
  auto box = std::make_shared<ui::View>()->initWithFrame({0, 100, 320, 100});
  auto inBox = label("Фильмы", {10, 10, 100, 20});
  inBox->setTag(7);
  auto other = label("Сериалы", {10, 50, 100, 20});
  for (const auto& v : {hidden, offScreen}) root->addSubview(v);
  root->addSubview(box);
  box->addSubview(inBox);
  box->addSubview(other);

  EXPECT_EQ(inBox, findScriptView(root, step("tap Label \"Фильмы\"")));
  EXPECT_EQ(inBox, findScriptView(root, step("tap Label #7")));
  EXPECT_EQ(other, findScriptView(root, step("tap Label \"Сериалы\"")));
  EXPECT_EQ(nullptr, findScriptView(root, step("tap Label \"Фильмы\" #8")));
  EXPECT_EQ(nullptr, findScriptView(root, step("tap Button \"Фильмы\"")));
  // A view is found by what its subviews show, the outermost first.
  EXPECT_EQ(root, findScriptView(root, step("tap View \"Сериалы\"")));
  // A trailing "*" names the classes starting with the rest.
  EXPECT_EQ(other, findScriptView(root, step("tap Lab* \"Сериалы\"")));
  EXPECT_EQ(nullptr, findScriptView(root, step("tap Labels* \"Сериалы\"")));
  box->setAlpha(0);
  EXPECT_EQ(nullptr, findScriptView(root, step("tap Label \"Сериалы\"")));

  // What a person cannot see is not found: a view clipped away by the view around it, or covered
  // by one that would take the touch.
  auto strip = std::make_shared<ui::View>()->initWithFrame({0, 300, 100, 50});
  strip->setClipsToBounds(true);
  auto clipped = label("Спорт", {150, 10, 100, 20});
  auto shown = label("Спорт", {10, 10, 80, 20});
  strip->addSubview(clipped);
  strip->addSubview(shown);
  root->addSubview(strip);
  EXPECT_EQ(shown, findScriptView(root, step("tap Label \"Спорт\"")));
  auto cover = std::make_shared<ui::View>()->initWithFrame({0, 300, 320, 50});
  root->addSubview(cover);
  EXPECT_EQ(nullptr, findScriptView(root, step("tap Label \"Спорт\"")));
}

struct OptionsCase {
  std::vector<std::string> arguments;
  const char* error;  // empty: accepted
};

class ClientOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ClientOptionsTest, AcceptsGoodOptionsAndNamesTheBadOne) {
  ClientOptions options;
  std::string error;
  EXPECT_EQ(std::string(GetParam().error).empty(),
            ClientOptions::parse(GetParam().arguments, options, error));
  EXPECT_EQ(GetParam().error, error);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ClientOptionsTest,
    ::testing::Values(
        OptionsCase{{"--device", "phone-4in", "--host", "127.0.0.1:8080", "--headless", "--time-limit", "5"},
                    ""},
        OptionsCase{{"--collect-url", "http://127.0.0.1:9/collect", "--out", "shots", "--window"}, ""},
        OptionsCase{{"--device", "watch"},
                    "unknown device watch (tablet, tablet-landscape, phone, phone-4in)"},
        OptionsCase{{"--device"}, "--device needs a value"},
        OptionsCase{{"--host", "http://example.org"}, "--host wants host[:port], not http://example.org"},
        OptionsCase{{"--host", "example.org:99999"}, "--host wants host[:port], not example.org:99999"},
        OptionsCase{{"--collect-url", "ftp://x"}, "--collect-url wants an http or https URL, not ftp://x"},
        OptionsCase{{"--time-limit", "0"}, "--time-limit wants a number of seconds above 0, not 0"},
        OptionsCase{{"--scale", "0.75"}, ""},
        OptionsCase{{"--scale", "0"}, "--scale wants a factor from 0.25 to 4, not 0"},
        OptionsCase{{"--fast"}, "unknown option --fast"}, OptionsCase{{"home"}, "unexpected argument home"}));

TEST(ClientOptionsDeviceTest, ProfilesFollowTheNames) {
  struct Case {
    const char* name;
    cg::Size points;
    double scale;
    bool landscape;
  };
  for (const Case& c : {Case{"tablet", {768, 1024}, 1, false}, Case{"tablet-landscape", {768, 1024}, 1, true},
                        Case{"phone", {320, 480}, 2, false}, Case{"phone-4in", {320, 568}, 2, false}}) {
    ClientOptions options;
    ASSERT_TRUE(ClientOptions::deviceFromName(c.name, options)) << c.name;
    EXPECT_EQ(c.points.width, options.device.screenSize.width) << c.name;
    EXPECT_EQ(c.points.height, options.device.screenSize.height) << c.name;
    EXPECT_EQ(c.scale, options.device.scale) << c.name;
    EXPECT_EQ(c.landscape, ui::isLandscape(options.orientation)) << c.name;
  }
}

// The scripted share sheet shows the shared title's own poster, whichever size the pages stored,
// and the sheet's stand-in when it has none: never another title's that happens to be cached.
TEST(ScriptSharePosterTest, IsTheSharedTitlesOwnPosterOrNone) {
  namespace fs = std::filesystem;
  const int titleId = 4242;
  const std::string other = TLSettings::posterForBaseVideo(1);
  const std::string small = TLSettings::posterForBaseVideo(titleId);
  const std::string big = TLSettings::posterBigForBaseVideo(titleId);
  struct Stored {
    const char* name;
    std::vector<std::string> files;
    std::string expected;
  };
  for (const Stored& c :
       {Stored{"only another title's poster", {other}, ""}, Stored{"only the big poster", {other, big}, big},
        Stored{"small and big", {big, small}, small}}) {
    for (const auto& path : c.files) std::ofstream(path) << "png";
    EXPECT_EQ(c.expected, sharedTitlePosterPath(titleId)) << c.name;
    for (const auto& path : {other, small, big}) fs::remove(path);
  }
}

}  // namespace
