#include <gtest/gtest.h>

#include "Classes/TitlePage/TitleActorViewController.h"
#include "Foundation/FileManager.h"
#include "Foundation/PropertyList.h"
#include "TitlePageTestSupport.h"

namespace {

using testsupport::TitlePageSuite;

class TitleRecordTest : public TitlePageSuite {
 protected:
  testsupport::HomeDevice device_{true};
};

std::string info4(const std::string& directors, const std::string& third, const std::string& fourth) {
  return "[{\"items\":" + directors + "},{\"items\":[]},{\"items\":\"" + third + "\"},{\"items\":\"" +
         fourth + "\"}]";
}

TEST_F(TitleRecordTest, ReadsTheProducerAndDetailLinesOfEachRecordForm) {
  struct Case {
    const char* name;
    std::string body;
    std::string producer;  // the label's text; a bare prefix leaves it empty
    std::string detail;
    std::string parentId;
    std::string adv;
    bool stars;
  };
  const std::string facts = R"("rubric_name":"Z","genre_name":"W","age_from":"16")";
  // The producer line is one label: a record naming a crowd shows the first twenty.
  std::string crowd = "[\"N\"", twenty = "Режиссёр: ";
  for (int i = 1; i < 5000; ++i) crowd += ",\"N\"";
  crowd += "]";
  for (int i = 0; i < 20; ++i) twenty += "N ";
  const Case cases[] = {
      {"items form, two directors",
       R"({"title":"T",)" + facts + R"(,"rating":4,"items":[{"info":)" + info4(R"(["A","B"])", "Y", "X") +
           R"(,"url":")" + api("get_title&title_id=1002") + "\"}]}",
       "Режиссёр: A B ", "X, Y, Z, W, 16+", "", "", true},
      {"root form, one director, empty fourth fact",
       R"({"title":"T",)" + facts + R"(,"info":)" + info4(R"(["A"])", "Y", "") + "}", "Режиссёр: A ",
       "Y, Z, W, 16+", "", "", false},
      {"root form, five thousand directors", R"({"title":"T","info":)" + info4(crowd, "Y", "X") + "}", twenty,
       "X, Y", "", "", false},
      {"root form, no director", R"({"title":"T",)" + facts + R"(,"info":)" + info4("[]", "Y", "X") + "}", "",
       "X, Y, Z, W, 16+", "", "", false},
      {"no info, empty age", R"({"title":"T","rubric_name":"Z","genre_name":"W","age_from":"","rating":-3})",
       "", "Z, W", "", "", false},
      {"age of zero, rating not a number", R"({"title":"T","age_from":"0","rating":"abc"})", "", "0+", "", "",
       false},
      {"numeric parent id reads as its digits", R"({"title":"T","parent_id":77,"rating":"0"})", "", "", "77",
       "", false},
      {"parent id past 32 bits reads as its digits", R"({"title":"T","parent_id":3000000000})", "", "",
       "3000000000", "", false},
      {"fractional parent id reads as empty", R"({"title":"T","parent_id":7.5})", "", "", "", "", false},
      {"advertising", R"({"title":"T","adv":{"stream":"http://a/s","click_url":"c","counter":"n"}})", "", "",
       "", "http://a/s", false},
  };
  int id = 700;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::AlertView::dismissAll();
    std::string sid = std::to_string(id++);
    setTitle(sid, c.body);
    auto page = open(titleInfo(sid));
    const ns::Value& data = page->titleParsedData();
    ASSERT_TRUE(data.isDictionary());
    EXPECT_EQ(data["detail"].asString() ? *data["detail"].asString() : "?", c.detail);
    EXPECT_EQ(*data["parent_id"].asString(), c.parentId);
    EXPECT_EQ(*data["adv"].asString(), c.adv);
    EXPECT_EQ(page->filmView()->filmProducerLabel()->text(), c.producer);
    EXPECT_EQ(page->filmView()->filmDetailLabel()->text(), c.detail);
    EXPECT_EQ(page->filmView()->ratingView() != nullptr, c.stars);
    EXPECT_TRUE(alertMessages().empty());
    EXPECT_FALSE(page->activityView()->isAnimating());
  }
}

TEST_F(TitleRecordTest, ExceptionCasesLogAndAlertEveryTimeAndKeepTheEarlierRecord) {
  const std::pair<const char*, std::string> cases[] = {
      {"empty items", R"({"title":"E","items":[]})"},
      {"three-entry info", R"({"title":"E","info":[{"items":[]},{},{}]})"},
      {"items entry info of the wrong type", R"({"title":"E","items":[{"info":["a","b","c","d"]}]})"},
      {"items not a list", R"({"title":"E","items":"x"})"},
  };
  setTitle("800", R"({"title":"Хороший"})");
  auto page = open(titleInfo("800"));
  ASSERT_EQ(*page->titleParsedData()["title"].asString(), "Хороший");
  int id = 801;
  for (const auto& [name, json] : cases) {
    SCOPED_TRACE(name);
    testsupport::LogCapture log;
    ui::AlertView::dismissAll();
    std::string sid = std::to_string(id++);
    setTitle(sid, json);
    page->postRequestToURL(ns::URL::URLWithString(api("get_title&title_id=" + sid)));
    testsupport::awaitRequestsEnded();
    EXPECT_TRUE(log.contains("Exception: ")) << name;
    EXPECT_EQ(alertMessages(), std::vector<std::string>{kNoData});
    if (std::string(name) != "items not a list") {  // that one fails after the record is stored
      EXPECT_EQ(*page->titleParsedData()["title"].asString(), "Хороший");
    }
    EXPECT_FALSE(page->reloadPageButton()) << "the exception path offers no reload";
  }
}

// An exception before the title is shown stops both spinners; stopActivity alone would not.
TEST_F(TitleRecordTest, ExceptionBeforeTheTitleIsShownStopsBothSpinners) {
  for (bool pad : {true, false}) {
    testsupport::HomeDevice device(pad);
    for (const char* json : {R"({"title":"E","items":[]})", R"({"title":"E","info":[{},{},{}]})"}) {
      SCOPED_TRACE(std::string(json) + (pad ? " tablet" : " phone"));
      setTitle("810", json);
      auto page = open(titleInfo("810"));
      EXPECT_FALSE(page->isMainInfoLoad());
      EXPECT_FALSE(page->activityView()->isAnimating());
      EXPECT_FALSE(page->activityForList()->isAnimating());
      EXPECT_FALSE(page->reloadPageButton());
      EXPECT_EQ(alertMessages(), std::vector<std::string>{kNoData});
      ui::AlertView::dismissAll();
    }
  }
}

// A list cut to what a page shows is told in one line naming the title or person and both counts.
TEST_F(TitleRecordTest, EachCutListIsLoggedWithItsIdAndCounts) {
  auto names = [](int count) {
    std::string list = "[";
    for (int i = 0; i < count; ++i) list += std::string(i ? "," : "") + "\"N\"";
    return list + "]";
  };
  auto persons = [](int count) {
    std::string list = "[";
    for (int i = 0; i < count; ++i) list += std::string(i ? "," : "") + R"({"id":"1"})";
    return list + "]";
  };
  struct Case {
    const char* name;
    std::string record;  // a title record; none: a person record of `films` films
    int films;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"twenty directors", R"({"title":"T","info":)" + info4(names(20), "Y", "X") + "}", 0, {}},
      {"twenty-one directors",
       R"({"title":"T","info":)" + info4(names(21), "Y", "X") + "}",
       0,
       {"The directors of title 760: the line keeps the first 20 of the 21 names sent"}},
      {"five thousand directors, items form",
       R"({"title":"T","items":[{"info":)" + info4(names(5000), "Y", "X") + "}]}",
       0,
       {"The directors of title 760: the line keeps the first 20 of the 5000 names sent"}},
      {"a hundred persons", R"({"title":"T","actors":)" + persons(100) + "}", 0, {}},
      {"a hundred and one persons",
       R"({"title":"T","actors":)" + persons(101) + "}",
       0,
       {"The record of title 760 lists 101 persons; the page keeps the first 100"}},
      {"two hundred films", "", 200, {}},
      {"two hundred and one films",
       "",
       201,
       {"The record of person 3001 lists 201 films; the strip shows the first 200"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::LogCapture log;
    if (!c.record.empty()) {
      setTitle("760", c.record);
      auto page = open(titleInfo("760"));
      ASSERT_TRUE(page->titleParsedData().isDictionary());
    } else {
      auto person = std::make_shared<TitleActorViewController>()->initWithItem(ns::Value());
      person->setActorItem(ns::Dictionary{{"id", "3001"}, {"title", "Глеб Дроздов"}});
      person->view();
      ns::Value film = ns::Dictionary{{"ID", "1005"}, {"name", "Один"}};
      ns::Array films;
      for (int i = 0; i < c.films; ++i) films.push_back(film);
      person->setActorDetailInfo(ns::Dictionary{{"titles", std::move(films)}});
      person->createFilmsScrollView();
    }
    std::vector<std::string> cuts;
    for (const std::string& line : log.lines())
      if (line.find(" names sent") != std::string::npos || line.find(" persons;") != std::string::npos ||
          line.find(" films;") != std::string::npos)
        cuts.push_back(line);
    EXPECT_EQ(cuts, c.lines);
  }
}

TEST_F(TitleRecordTest, EpisodeFactsComeFromTheCachedSeriesFile) {
  auto plist = TLSettings::getPlistDirectoryWithFileName("77ser.plist");
  ASSERT_TRUE(plist);
  ns::FileManager::defaultManager()->createDirectoryAtPath(TLSettings::plistFilesDirectory(), true);
  ASSERT_TRUE(ns::writePropertyListToFile(
      ns::Value(ns::Dictionary{
          {"items",
           ns::Array{ns::Dictionary{{"rubric_name", "Сериалы"}, {"genre", "Драма"}, {"age", "12"}}}}}),
      *plist));
  struct Case {
    const char* parentId;
    std::string detail;
  };
  const Case cases[] = {{"77", "Сериалы, Драма, 12+"}, {"78", ""}, {"../77", ""}};
  int id = 900;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parentId);
    std::string sid = std::to_string(id++);
    setTitle(sid, std::string(R"({"title":"S","subtitle":"Серия","parent_id":")") + c.parentId + "\"}");
    auto page = open(titleInfo(sid, c.parentId));
    ASSERT_TRUE(page->titleParsedData().isDictionary());
    EXPECT_EQ(*page->titleParsedData()["detail"].asString(), c.detail);
    EXPECT_EQ(*page->dopInfo()["rubric_name"].asString(), "") << "the reply's own values";
    EXPECT_EQ(page->toolbarLabel()->text(), "Серия") << "an episode's toolbar shows its subtitle";
  }
}

TEST_F(TitleRecordTest, QueriesOfTheTitleInfo) {
  struct Case {
    ns::Value parent;
    bool episode;
    int parentId;
  };
  const Case cases[] = {{"", false, 0}, {"0", true, 0}, {"77", true, 77}, {ns::Value(), false, 0}};
  for (const Case& c : cases) {
    ns::Dictionary info{{"id", "5"}, {"url", ""}, {"title", "t"}};
    if (!c.parent.isNil()) info.set("parent_id", c.parent);
    auto page = open(ns::Value(info), false);
    EXPECT_EQ(page->isItemIsEpisode(), c.episode);
    EXPECT_EQ(page->parentId(), c.parentId);
    EXPECT_EQ(page->itemId(), 5);
  }
}

// --- Loading and failures

class TitleLoadingTest : public TitlePageSuite, public ::testing::WithParamInterface<bool> {
 protected:
  testsupport::HomeDevice device_{GetParam()};
};

TEST_P(TitleLoadingTest, EachFailureGivesOneAlertAndTheReloadButton) {
  sampleservice::Override html;
  html.body = "<html>oops</html>";
  html.contentType = "text/html";
  struct Case {
    const char* name;
    std::optional<sampleservice::Override> reply;
    std::string url;
    std::string message;
  };
  const Case cases[] = {
      {"stopped server", std::nullopt,
       "http://127.0.0.1:1/api/mobile?platform=ios&method=get_title&title_id=1", "Нет соединения с сервером"},
      {"500", testsupport::failing(), "", "Данные временно недоступны. Повторите попытку позже."},
      {"html", html, "", "Данные временно недоступны. Повторите попытку позже."},
      {"not an object", testsupport::body("[1,2]"), "", kNoData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::AlertView::dismissAll();
    if (c.reply) setTitle("950", *c.reply);
    auto page = open(titleInfo("950", "", c.url));
    EXPECT_EQ(alertMessages(), std::vector<std::string>{c.message});
    ASSERT_TRUE(page->reloadPageButton());
    cg::Rect expected =
        GetParam() ? cg::Rect{page->view()->bounds().width() - 70, 0, 50, 44} : cg::Rect{10, 50, 50, 44};
    EXPECT_EQ(cg::describe(page->reloadPageButton()->frame()), cg::describe(expected));
    EXPECT_FALSE(page->activityView()->isAnimating());
    // A second failure adds nothing.
    auto button = page->reloadPageButton();
    page->postRequestToURL(ns::URL::URLWithString(
        page->senderInfo()["url"].asString() ? *page->senderInfo()["url"].asString() : std::string()));
    testsupport::awaitRequestsEnded();
    EXPECT_EQ(alertMessages().size(), 1u);
    EXPECT_EQ(page->reloadPageButton(), button);
  }
}

// A title whose id no URL can hold, as a person's films strip or a player's step may name it, is a
// failed load: nothing is sent, the spinners stop, the alert and the reload button show.
TEST_P(TitleLoadingTest, ATitleWhoseRequestCannotBeBuiltFailsWithoutSendingAnything) {
  struct Case {
    const char* name;
    std::string id;
    std::string parentId;
  };
  const Case cases[] = {
      {"blank and Cyrillic", "1061 Ж", ""},
      {"a megabyte of digits", std::string(1 << 20, '1'), ""},
      {"65 digits", std::string(65, '2'), ""},
      {"an episode of such a series", std::string(1 << 20, '3'), std::string(1 << 20, '4')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::AlertView::dismissAll();
    server_->clearLog();
    ns::Value info = ns::Dictionary{{"id", c.id},
                                    {"url", TLSettings::getURLforSeriesListFilm(ns::Value(c.id))},
                                    {"title", "Фильм"},
                                    {"parent_id", c.parentId}};
    auto page = open(info);
    EXPECT_EQ(alertMessages(),
              std::vector<std::string>{"Данные временно недоступны. Повторите попытку позже."});
    EXPECT_TRUE(page->reloadPageButton());
    ASSERT_TRUE(page->activityView());
    EXPECT_FALSE(page->activityView()->isAnimating());
    if (page->activityForList()) {
      EXPECT_FALSE(page->activityForList()->isAnimating());
    }
    EXPECT_TRUE(server_->requestsFor("get_title").empty());
    EXPECT_TRUE(server_->requestsFor("get_related").empty());
    std::vector<std::string> turning;
    std::function<void(const std::shared_ptr<ui::View>&)> find = [&](const std::shared_ptr<ui::View>& v) {
      if (auto spinner = std::dynamic_pointer_cast<ui::ActivityIndicatorView>(v);
          spinner && spinner->isAnimating())
        turning.push_back(cg::describe(spinner->frame()));
      for (const auto& s : v->subviews()) find(s);
    };
    find(page->view());
    EXPECT_EQ(turning, std::vector<std::string>{});
  }

  // The player moving on to such a title fails the same way.
  ui::AlertView::dismissAll();
  auto page = open(titleInfo("1004"));
  ASSERT_TRUE(page->titleParsedData().isDictionary());
  ASSERT_FALSE(page->reloadPageButton());
  testsupport::awaitRequestsEnded();
  server_->clearLog();
  page->AKMoviePlayerControllerDidSetVideo(
      *page->filmView()->playerViewController(),
      ns::Dictionary{
          {"id", "1061 Ж"}, {"parent_id", ""}, {"url", TLSettings::getURLforSeriesListFilm("1061 Ж")}});
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(alertMessages(),
            std::vector<std::string>{"Данные временно недоступны. Повторите попытку позже."});
  EXPECT_TRUE(page->reloadPageButton());
  EXPECT_FALSE(page->activityView()->isAnimating());
  EXPECT_TRUE(server_->requestsFor("get_title").empty());
}

TEST_P(TitleLoadingTest, ReloadLoadsTheOpeningTitleWithOnePlayer) {
  setTitle("1004", testsupport::failing());
  auto page = open(titleInfo("1004"));
  ASSERT_TRUE(page->reloadPageButton());
  server_->clearOverrides();
  // The player moved to another episode meanwhile.
  page->AKMoviePlayerControllerDidSetVideo(
      *page->filmView()->playerViewController(),
      ns::Dictionary{{"id", "1002"}, {"parent_id", ""}, {"url", api("get_title&title_id=1002")}});
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(*page->senderInfo()["id"].asString(), "1002");
  server_->clearLog();
  page->reloadPageButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
  testsupport::awaitRequestsEnded();
  ASSERT_FALSE(server_->requestsFor("get_title").empty());
  EXPECT_EQ(server_->requestsFor("get_title")[0].params.at("title_id"), "1004");
  EXPECT_EQ(*page->senderInfo()["id"].asString(), "1004");
  EXPECT_FALSE(page->reloadPageButton());
  int players = 0;
  std::function<void(const std::shared_ptr<ui::View>&)> count = [&](const std::shared_ptr<ui::View>& v) {
    if (std::dynamic_pointer_cast<AKMoviePlayerView>(v)) ++players;
    for (const auto& s : v->subviews()) count(s);
  };
  count(page->view());
  EXPECT_EQ(players, 1);
}

INSTANTIATE_TEST_SUITE_P(Idioms, TitleLoadingTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "Pad" : "Phone"; });

}  // namespace
