#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Classes/TLSettings.h"
#include "ClientTestSupport.h"
#include "Foundation/Format.h"
#include "support/TempDir.h"

namespace {

using testsupport::countViews;
using testsupport::readText;

struct DeviceCase {
  const char* device;
  bool pad;
};

class EndToEndTest : public testsupport::ClientServiceSuite,
                     public ::testing::WithParamInterface<DeviceCase> {
 protected:
  std::vector<std::string> arguments(const std::string& host) const {
    return {"--headless", "--device", GetParam().device, "--host", host, "--out", out_.str()};
  }
  std::string shot(const std::string& name) const {
    return readText(out_.file(std::string(GetParam().device) + "-" + name + ".txt"));
  }
  std::string suffix() const { return GetParam().pad ? "" : "_iphone"; }

  testsupport::TempDir out_;
};

TEST_P(EndToEndTest, TheHomePageSettlesWithItsSliderAndOneRowPerCategory) {
  ASSERT_EQ(0, testsupport::runClientInProcess(arguments(server_->hostAndPort())));
  std::string dump = shot("home");
  EXPECT_EQ(1u, countViews(dump, "MainSlider" + suffix()));
  EXPECT_EQ(server_->catalogue().categories().size(), countViews(dump, "TLRubricScrollView" + suffix()));
  EXPECT_EQ(0u, countViews(dump, "AlertView"));
  // Settled means loaded: every row's tiles are there and no spinner turns.
  EXPECT_GT(countViews(dump, "TLVideoItemPriview" + suffix()), server_->catalogue().categories().size());
  EXPECT_EQ(std::string::npos, dump.find(" animating")) << dump;
}

TEST_P(EndToEndTest, AScriptedSessionWalksMenuCategorySearchAndATitle) {
  auto script = std::string(VCC_SCRIPTS_DIR) + "/walk-" + (GetParam().pad ? "tablet" : "phone") + ".vcc";
  auto args = arguments(server_->hostAndPort());
  args.insert(args.end(), {"--script", script});
  ASSERT_EQ(0, testsupport::runClientInProcess(args));

  auto stackOf = [](const std::string& dump) {
    auto at = dump.find("stack=[");
    return at == std::string::npos ? std::string() : dump.substr(at + 7, dump.find(']', at) - at - 7);
  };
  const std::string home = "TLMainPageVC" + suffix();
  EXPECT_EQ(home, stackOf(shot("home")));
  EXPECT_NE(std::string::npos, shot("home").find("TLMenuView" + suffix() + " frame={{0, 0}"));
  // The menu is out: its view is no longer hidden.
  std::string menu = shot("menu");
  auto menuLine = menu.substr(menu.find("TLMenuView"));
  EXPECT_EQ(std::string::npos, menuLine.substr(0, menuLine.find('\n')).find(" hidden")) << menuLine;
  EXPECT_EQ(home + ", TLSCategoryVC" + suffix(), stackOf(shot("category")));
  EXPECT_EQ(home + ", TLSSearchVC" + suffix(), stackOf(shot("search")));
  EXPECT_EQ(home, stackOf(shot("home-again")));
  EXPECT_EQ(home + ", TitlePageViewController" + suffix(), stackOf(shot("title")));
}

// The first line of the dump holding the text, from the text on; empty when there is none.
std::string lineOf(const std::string& dump, const std::string& text) {
  auto at = dump.find(text);
  return at == std::string::npos ? std::string() : dump.substr(at, dump.find('\n', at) - at);
}

TEST_P(EndToEndTest, TheTitlePageScriptPlaysAFilmIntoFullScreenAndOpensASeries) {
  auto args = arguments(server_->hostAndPort());
  // Playing through the advertisement passes every mark of the player's scrubber: slow under the
  // sanitizers on a busy machine.
  args.insert(args.end(),
              {"--script", std::string(VCC_SCRIPTS_DIR) + "/title-page.vcc", "--time-limit", "300"});
  ASSERT_EQ(0, testsupport::runClientInProcess(args));
  // The advertisement plays with its bar; then the programme; full screen shows the share panel.
  // Playing, a bar offers the pause button.
  const std::string advert = shot("film-advert");
  EXPECT_TRUE(advert.find("bundle/smallPause") != std::string::npos ||
              advert.find("bundle/pause") != std::string::npos);
  EXPECT_EQ(std::string::npos, advert.find("Загрузка..."));
  EXPECT_FALSE(lineOf(shot("film-fullscreen-share"), "AKMovieSocialControllBar frame=").empty());
  EXPECT_EQ(0u, countViews(shot("film-fullscreen-share"), "AlertView"));
  EXPECT_NE(std::string::npos, shot("series").find("text=\"Хроники янтарного берега\""));
}

TEST_P(EndToEndTest, TheSectionsScriptStepsToTheNextEpisodeAndOpensAPerson) {
  auto args = arguments(server_->hostAndPort());
  args.insert(args.end(),
              {"--script", std::string(VCC_SCRIPTS_DIR) + "/title-sections.vcc", "--time-limit", "300"});
  ASSERT_EQ(0, testsupport::runClientInProcess(args));
  // The page follows the player to the next episode.
  const std::string title = "Label frame={{" + std::string(GetParam().pad ? "125, 0}, {488" : "60, 0}, {190");
  std::string before = lineOf(shot("episode"), title), after = lineOf(shot("episode-next-page"), title);
  EXPECT_NE(std::string::npos, before.find("text=\"Серия "));
  EXPECT_NE(std::string::npos, after.find("text=\"Серия "));
  EXPECT_NE(before, after);
  EXPECT_NE(std::string::npos, shot("person").find("controller=TitleActorViewController" + suffix()));
}

// Where a scroll view's content lies: its line's bounds origin, (0, 0) when the line has none.
cg::Point offsetOf(const std::string& line) {
  auto at = line.find("boundsOrigin={");
  cg::Point p;
  if (at != std::string::npos) std::sscanf(line.c_str() + at, "boundsOrigin={%lf, %lf}", &p.x, &p.y);
  return p;
}

// The scroll view lines of the rubric rows, in order.
std::vector<std::string> rowLines(const std::string& dump) {
  std::vector<std::string> rows;
  for (auto at = dump.find("TLRubricScrollView"); at != std::string::npos;
       at = dump.find("TLRubricScrollView", at + 1))
    rows.push_back(lineOf(dump.substr(dump.find('\n', at)), "ScrollView frame="));
  return rows;
}

TEST_P(EndToEndTest, TheHomeScrollScriptDragsAndWheelsThePageAndItsRowsAndAnswersTheAlert) {
  auto args = arguments(server_->hostAndPort());
  args.insert(args.end(), {"--script", std::string(VCC_SCRIPTS_DIR) + "/home-scroll.vcc"});
  ASSERT_EQ(0, testsupport::runClientInProcess(args));
  // The page's scroll view is the dump's first; the rows' follow their own lines.
  auto page = [&](const char* name) { return offsetOf(lineOf(shot(name), "ScrollView frame=")).y; };
  EXPECT_EQ(page("home"), 0);
  EXPECT_EQ(page("home-dragged"), 400) << "a drag up that starts on a row scrolls the page";
  for (const auto& row : rowLines(shot("home-dragged"))) EXPECT_EQ(offsetOf(row).x, 0) << row;
  auto paged = rowLines(shot("row-paged"));
  EXPECT_EQ(1, std::count_if(paged.begin(), paged.end(), [](const auto& row) { return offsetOf(row).x > 0; }))
      << "a sideways drag moves one row";
  EXPECT_EQ(page("row-paged"), 400);
  EXPECT_EQ(page("home-wheeled"), 700) << "the wheel over a row scrolls the page";
  EXPECT_EQ(1u, countViews(shot("short-query"), "AlertView"));
  EXPECT_EQ(0u, countViews(shot("answered"), "AlertView"));
}

TEST_P(EndToEndTest, AServiceThatIsDownGivesTheAlertAndAReloadAfterItStartsFillsThePage) {
  sampleservice::Server later;
  later.start();
  const int port = later.port();
  later.stop();

  testsupport::TempDir scripts;
  // The alert takes every touch until it is answered.
  {
    std::ofstream(scripts.file("reload.vcc"))
        << "shot down\ntap Button \"OK\"\nshot answered\ntap AKActivityButton\nshot reloaded\n";
  }
  auto args = arguments("127.0.0.1:" + std::to_string(port));
  args.insert(args.end(), {"--script", scripts.file("reload.vcc")});
  bool flagWhileDown = false;
  std::size_t alertsWhileDown = 0;
  int steps = 0;
  int exitCode = testsupport::runClientInProcess(args, [&](ClientSession& session) {
    session.setStepObserver([&] {
      if (++steps != 1) return;
      flagWhileDown = TLSettings::isMainPageNeedUpdate();
      alertsWhileDown = ui::AlertView::visibleAlerts().size();
      later.start("127.0.0.1", port);
    });
  });
  ASSERT_EQ(0, exitCode);
  EXPECT_TRUE(flagWhileDown);
  EXPECT_EQ(1u, alertsWhileDown) << "one alert for the failed load";
  EXPECT_EQ(1u, countViews(shot("down"), "AlertView"));
  EXPECT_EQ(0u, countViews(shot("down"), "TLRubricScrollView" + suffix()));
  EXPECT_EQ(0u, countViews(shot("answered"), "AlertView"));

  std::string reloaded = shot("reloaded");
  EXPECT_EQ(later.catalogue().categories().size(), countViews(reloaded, "TLRubricScrollView" + suffix()));
  EXPECT_FALSE(TLSettings::isMainPageNeedUpdate());
  later.stop();
}

// While a search field has the keyboard, a tap on the panel lands on the keyboard, whatever lies
// under it (search results, the menu's cells or the page beside the menu); the same places just
// above the panel take their taps as ever.
TEST_P(EndToEndTest, TheKeyboardPanelTakesTheTapsOnItAndLeavesThoseAboveIt) {
  testsupport::TempDir scripts;
  const std::string script = scripts.file("keyboard.vcc");
  // Panels: the tablet's from y 760, the phone's from 264. Tablet tiles of the third row lie from
  // y 671 to 790, the phone's third result row from 280; the tablet's menu ends at x 220, the phone's
  // page shows left of x 58 beside its menu.
  std::ofstream(script)
      << "post TLNavigationShowMenu\ntype \"поезд\"\nsearch\ntap SearchBar\n"
      << "tablet: tap 130,775\nphone: tap 100,400\nwait\nshot on-results\n"
      << "post TLNavigationShowMenu\ntap SearchBar\n"
      << "tablet: tap 600,900\nphone: tap 20,400\nwait\nshot on-backdrop\n"
      << "tablet: tap 600,700\nphone: tap 20,240\nwait\nshot above-backdrop\n"
      << "tap SearchBar\ntablet: tap 130,720\nphone: tap 100,220\nwait\nshot above-results\n";
  auto args = arguments(server_->hostAndPort());
  args.insert(args.end(), {"--script", script});
  std::string failure;
  ASSERT_EQ(0, testsupport::runClientInProcess(args, {}, &failure)) << failure;
  auto stackOf = [](const std::string& dump) {
    auto at = dump.find("stack=[");
    return at == std::string::npos ? std::string() : dump.substr(at + 7, dump.find(']', at) - at - 7);
  };
  auto menuShown = [&](const char* name) {
    std::string line = lineOf(shot(name), "TLMenuView" + suffix() + " frame=");
    return !line.empty() && line.find(" hidden") == std::string::npos;
  };
  const std::string search = "TLMainPageVC" + suffix() + ", TLSSearchVC" + suffix();
  EXPECT_EQ(search, stackOf(shot("on-results"))) << "no title opened under the panel";
  EXPECT_EQ(search, stackOf(shot("on-backdrop")));
  EXPECT_TRUE(menuShown("on-backdrop")) << "the menu stays out";
  EXPECT_FALSE(menuShown("above-backdrop")) << "a tap on the page beside it closes it";
  EXPECT_EQ(search + ", TitlePageViewController" + suffix(), stackOf(shot("above-results")));
}

// Scripted typing on the tablet, where the menu slides over the page's own search field.
class ScriptTypingTest : public testsupport::ClientServiceSuite {
 protected:
  std::vector<std::string> arguments(const std::string& script) const {
    return {"--headless", "--device", "tablet",   "--host", server_->hostAndPort(),
            "--out",      out_.str(), "--script", script};
  }
  std::string shot(const std::string& name) const { return readText(out_.file("tablet-" + name + ".txt")); }

  testsupport::TempDir out_;
};

// The menu's line of a dump, up to its end.
std::string menuLine(const std::string& dump) { return lineOf(dump, "TLMenuView frame="); }

TEST_F(ScriptTypingTest, TypingIntoAFieldCoveredByTheMenuFailsWithTheScriptsLine) {
  struct Case {
    const char* name;
    const char* beforeTyping;  // the step before the second search's typing
    const char* failure;       // empty: the run passes
  };
  const Case cases[] = {
      {"the page's field under the menu", "wait",
       "type \"тайна\": the SearchBar it types into is covered by Button in TLMenuView at its centre"},
      {"the menu's field, tapped", "tap SearchBar", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir scripts;
    const std::string script = scripts.file("typing.vcc");
    std::ofstream(script) << "tap Button \"Навигация\"\ntype \"поезд\"\nsearch\npost TLNavigationShowMenu\n"
                          << c.beforeTyping << "\ntype \"тайна\"\nsearch\nshot found\n";
    std::string failure;
    const int exitCode = testsupport::runClientInProcess(arguments(script), {}, &failure);
    if (*c.failure) {
      EXPECT_EQ(1, exitCode);
      EXPECT_EQ(0u, failure.rfind(script + ":6: " + c.failure, 0)) << failure;
    } else {
      ASSERT_EQ(0, exitCode) << failure;
      EXPECT_NE(std::string::npos, menuLine(shot("found")).find(" hidden")) << menuLine(shot("found"));
      EXPECT_NE(std::string::npos, lineOf(shot("found"), "SearchBar frame=").find("text=\"тайна\""))
          << shot("found");
    }
  }
}

// The search script types into the menu's own field: each search closes the menu and the page
// behind it shows the query.
TEST_F(ScriptTypingTest, TheSearchScriptSearchesFromTheMenusOwnField) {
  std::string failure;
  ASSERT_EQ(0, testsupport::runClientInProcess(arguments(std::string(VCC_SCRIPTS_DIR) + "/search-tablet.vcc"),
                                               {}, &failure))
      << failure;
  struct Shot {
    const char* name;
    bool menuShown;
    const char* pageQuery;  // the search page's field, the dump's first
  };
  for (const Shot& c :
       {Shot{"search-menu-landscape", true, "поезд"}, Shot{"search-landscape-again", false, "тайна"},
        Shot{"search-nothing-found-landscape", false, "zzqx"}, Shot{"search-nothing-found", false, "zzqx"}}) {
    const std::string dump = shot(c.name);
    EXPECT_EQ(c.menuShown, menuLine(dump).find(" hidden") == std::string::npos)
        << c.name << ": " << menuLine(dump);
    EXPECT_NE(std::string::npos,
              lineOf(dump, "SearchBar frame=").find(ns::format("text=\"%@\"", c.pageQuery)))
        << c.name << ": " << lineOf(dump, "SearchBar frame=");
  }
}

INSTANTIATE_TEST_SUITE_P(Devices, EndToEndTest,
                         ::testing::Values(DeviceCase{"tablet", true}, DeviceCase{"phone", false}),
                         [](const auto& p) { return std::string(p.param.device); });

}  // namespace
