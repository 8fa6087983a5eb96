// Search on both devices against the sample service: the request's query, the grouping of the
// tablet's rows, the phone's flat list, values that are not text, failures and late replies.
#include <gtest/gtest.h>

#include "CategoryTestSupport.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/SearchPage/TLSSearchVC.h"
#include "Classes/SearchPage/TLSearchReply.h"
#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"
#include "Classes/iphone/SearchPage/TLSSearchVC_iphone.h"
#include "Foundation/JSONSerialization.h"
#include "support/LogCapture.h"
#include "support/RecordingTracker.h"

namespace {

using testsupport::body;

std::string item(const std::string& title, const std::string& category, const std::string& image = "\"i\"",
                 const std::string& rating = "\"4\"") {
  return "{\"title\":\"" + title + "\",\"description\":\"d\",\"rating\":" + rating + ",\"url\":\"u" + title +
         "\",\"category\":\"" + category + "\",\"id\":\"7\",\"image\":" + image + "}";
}

std::string reply(const std::vector<std::string>& items, const std::string& also) {
  std::string out = "{\"items\":[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
  return out + "]" + also + "}";
}

const std::string kAlsoThree =
    ",\"also\":[{\"items\":[{\"title\":\"r1\",\"rating\":null,\"id\":\"1\"},{\"title\":\"r2\"},{\"title\":"
    "\"r3\"}]}]";

class SearchPageTest : public testsupport::CategorySuite {
 protected:
  static void setSearch(sampleservice::Override o, std::map<std::string, std::string> keys = {}) {
    server_->setOverride("/api/mobile", "get_search", keys, std::move(o));
  }
  static std::vector<std::string> queries() {
    std::vector<std::string> q;
    for (const auto& r : server_->requestsFor("get_search")) q.push_back(r.params.at("q"));
    return q;
  }
  // The rows of a tablet page: each row's heading and its tiles' titles.
  static std::vector<std::pair<std::string, std::vector<std::string>>> rows(const TLSSearchVC& page) {
    std::vector<std::pair<std::string, std::vector<std::string>>> out;
    auto holder = page.sSearch()->horizScrollView();
    if (!holder) return out;
    for (const auto& v : holder->subviews()) {
      auto row = std::dynamic_pointer_cast<TLRubricScrollView>(v);
      if (!row) continue;
      std::vector<std::string> names;
      for (const ns::Value& tile : row->filmsArray())
        names.push_back(TLSettings::stringFromObject(tile["name"]));
      auto heading =
          row->rubrikLabel() ? row->rubrikLabel()->titleForState(ui::ControlStateNormal) : std::nullopt;
      out.emplace_back(heading.value_or(""), names);
    }
    return out;
  }
  void SetUp() override {
    CategorySuite::SetUp();
    testsupport::writeCategoryList({"1", "2", "29"});
  }
  std::shared_ptr<TLSSearchVC> tablet(const std::string& query) {
    auto page = std::make_shared<TLSSearchVC>()->init();
    page->setQuery(query);
    page->view();
    testsupport::awaitRequestsEnded();
    return page;
  }
  std::shared_ptr<TLSSearchVC_iphone> phone(const std::string& query) {
    auto page = std::make_shared<TLSSearchVC_iphone>()->init();
    page->setQuery(query);
    page->view();
    testsupport::awaitRequestsEnded();
    return page;
  }
};

TEST_F(SearchPageTest, TabletGroupsShownCategoriesInFirstSeenOrderThenTheRecommendedRow) {
  struct Case {
    const char* name;
    std::string reply;
    std::vector<std::pair<std::string, std::vector<std::string>>> rows;
    std::string status;
  };
  const Case cases[] = {
      {"films and a series",
       reply({item("a", "Фильм"), item("b", "Сериал"), item("c", "Фильм")}, kAlsoThree),
       {{"РУБРИКА 1", {"a", "c"}}, {"РУБРИКА 2", {"b"}}, {"РЕКОМЕНДУЕМ ПОСМОТРЕТЬ", {"r1", "r2", "r3"}}},
       "По запросу \"abc\" найдено:"},
      {"only unknown categories",
       reply({item("a", "Клип"), item("b", "")}, kAlsoThree),
       {{"РЕКОМЕНДУЕМ ПОСМОТРЕТЬ", {"r1", "r2", "r3"}}},
       "По запросу \"abc\" ничего не найдено."},
      {"no also", reply({item("a", "Спорт")}, ""), {{"РУБРИКА 29", {"a"}}, {"", {}}}, ""},
  };
  for (const Case& c : cases) {
    setSearch(body(c.reply));
    auto page = tablet("abc");
    EXPECT_EQ(rows(*page), c.rows) << c.name;
    if (!c.status.empty()) {
      EXPECT_EQ(page->sSearch()->labelTop()->text(), c.status) << c.name;
    }
    EXPECT_FALSE(page->activity()->isAnimating()) << c.name;
  }
}

TEST_F(SearchPageTest, PhoneListsEveryFoundTitleOrTheRecommendationsUnderTheirNote) {
  struct Case {
    const char* name;
    std::string reply;
    std::vector<std::string> names;
    int lines;
    double tableShift;
  };
  const Case cases[] = {
      {"any category",
       reply({item("a", "Фильм"), item("b", "Клип"), item("c", "Фильм")}, kAlsoThree),
       {"a", "b", "c"},
       2,
       0},
      {"nothing found", reply({}, kAlsoThree), {"r1", "r2", "r3"}, 3, 22},
      {"nothing found, no also", reply({}, ""), {}, 3, 22},
  };
  for (const Case& c : cases) {
    setSearch(body(c.reply));
    auto page = phone("abc");
    std::vector<std::string> names;
    for (const ns::Value& e : page->resultList()) names.push_back(*e["name"].asString());
    EXPECT_EQ(names, c.names) << c.name;
    EXPECT_EQ(page->labelTop()->numberOfLines(), c.lines) << c.name;
    EXPECT_EQ(page->mainTableView()->frame().y(), page->defaultTableRect().y() + c.tableShift) << c.name;
    EXPECT_EQ(page->mainTableView()->numberOfRowsInSection(0), int(c.names.size())) << c.name;
  }
}

// A reply of 11 MB keeps what the pages show: the fifty titles the search asks for, and a row's
// worth of recommendations. The next search is as usual.
TEST_F(SearchPageTest, ALargeReplyKeepsFiftyTitlesAndARowOfRecommendations) {
  std::string large = testsupport::largeTitlesReply("0", 60'000, 20'000);
  // Search replies list their recommendations in an array.
  auto also = large.find(",\"also\":{");
  large = large.substr(0, also) + ",\"also\":[" + large.substr(also + 8, large.size() - also - 9) + "]}";
  setSearch(body(large));
  auto pad = tablet("abc");
  auto found = rows(*pad);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].second.size(), TLSearchReply::kMaxFound);
  EXPECT_EQ(found[0].second.back(), "t49");
  EXPECT_EQ(found[1].second.size(), TLSearchReply::kMaxRecommended);
  auto pod = phone("abc");
  ASSERT_EQ(pod->resultList().size(), TLSearchReply::kMaxFound);
  EXPECT_EQ(pod->mainTableView()->numberOfRowsInSection(0), int(TLSearchReply::kMaxFound));

  setSearch(body(reply({item("a", "Фильм")}, kAlsoThree)));
  EXPECT_EQ(rows(*tablet("abc")).size(), 2u);
  EXPECT_EQ(phone("abc")->resultList().size(), 1u);
}

// A reply of a million entries is decoded and cut where it arrives: the main run loop serves its
// timers until the page has the titles it shows.
TEST_F(SearchPageTest, AMillionEntryReplyIsReadWhileTheMainRunLoopGoesOn) {
  setSearch(body(testsupport::millionEntryReply("{\"items\":", item("a", "Фильм") + "," + item("b", "Фильм"),
                                                kAlsoThree + "}")));
  for (bool pad : {true, false}) {
    SCOPED_TRACE(pad ? "tablet" : "phone");
    std::shared_ptr<TLSSearchVC> onTablet;
    std::shared_ptr<TLSSearchVC_iphone> onPhone;
    if (pad) {
      onTablet = std::make_shared<TLSSearchVC>()->init();
      onTablet->setQuery("abc");
      onTablet->view();
    } else {
      onPhone = std::make_shared<TLSSearchVC_iphone>()->init();
      onPhone->setQuery("abc");
      onPhone->view();
    }
    int fires = testsupport::mainLoopFiresWhileRead(
        [&] { return pad ? !rows(*onTablet).empty() : !onPhone->resultList().empty(); });
    EXPECT_GE(fires, 3);
    if (pad) {
      EXPECT_EQ(rows(*onTablet).front().second, (std::vector<std::string>{"a", "b"}));
    } else {
      EXPECT_EQ(onPhone->resultList().size(), TLSearchReply::kMaxFound);
    }
    testsupport::awaitRequestsEnded();
  }
}

TEST_F(SearchPageTest, ValuesThatAreNotTextBecomeTextOrEmpty) {
  // Images null, a number and an object; a rating that is a number; a recommended null rating.
  setSearch(
      body(reply({item("a", "Фильм", "null", "5"), item("b", "Фильм", "12"), item("c", "Фильм", "{\"x\":1}")},
                 kAlsoThree)));
  auto grouped = TLSearchReply::groupForTablet(ns::JSONSerialization::JSONObjectWithString(
      reply({item("a", "Фильм", "null", "5"), item("b", "Фильм", "12"), item("c", "Фильм", "{\"x\":1}")},
            kAlsoThree)));
  ASSERT_EQ(grouped.groups.size(), 1u);
  for (const ns::Value& r : grouped.groups[0].records) {
    ASSERT_TRUE(r["image"].isString());
    EXPECT_EQ(*r["image"].asString(), "");
  }
  EXPECT_EQ(*grouped.groups[0].records[0]["rating"].asString(), "") << "the tablet takes text only";
  // Ids come as text or as JSON integers.
  for (const auto& [id, text] :
       {std::pair{"12", "12"}, {"\"12\"", "12"}, {"3000000000", "3000000000"}, {"12.5", ""}, {"null", ""}}) {
    auto found = TLSearchReply::groupForTablet(ns::JSONSerialization::JSONObjectWithString(
        std::string(R"({"items": [{"title": "n", "category": "Фильм", "id": )") + id + "}]}"));
    ASSERT_EQ(found.groups.size(), 1u) << id;
    EXPECT_EQ(found.groups[0].records[0]["id"], ns::Value(text)) << id;
  }
  auto flat = TLSearchReply::listForPhone(ns::JSONSerialization::JSONObjectWithString(
      R"({"items": [{"title": "n", "category": "Фильм", "id": 3000000000}]})"));
  ASSERT_EQ(flat.found.size(), 1u);
  EXPECT_EQ(flat.found[0]["id"], ns::Value("3000000000")) << "the phone's record";

  auto page = phone("abc");
  const ns::Array& list = page->resultList();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(*list[0]["image"].asString(), "");
  EXPECT_EQ(*list[1]["image"].asString(), "12");
  EXPECT_EQ(*list[2]["image"].asString(), "");
  EXPECT_EQ(*list[0]["rating"].asString(), "5");
  auto cell = std::dynamic_pointer_cast<TLVideoItemPriviewCell>(
      page->mainTableView()->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(0, 0)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->rate(), 5);
  EXPECT_EQ(cell->separatorView()->image()->name(), "cellBackgroundFirst.png");
}

TEST_F(SearchPageTest, QueriesAreSentAsTypedAndShortOnesAreRefused) {
  auto page = tablet("  ab ");
  EXPECT_EQ(queries(), std::vector<std::string>{"  ab "}) << "the menu's query is sent without a check";
  struct Case {
    std::string typed;
    bool sent;
  };
  const Case cases[] = {{"  ab ", false}, {" \n@ ", false}, {" abc", true}, {"a&b", true},
                        {"@", false},     {"мульт", true},  {"a@b", true}};
  std::vector<std::string> expected{"  ab "};
  for (const Case& c : cases) {
    ui::AlertView::dismissAll();
    page->mySearchBar()->setText(c.typed);
    page->searchBarSearchButtonClicked(*page->mySearchBar());
    testsupport::awaitRequestsEnded();
    if (c.sent) expected.push_back(c.typed);
    EXPECT_EQ(queries(), expected) << c.typed;
    auto alerts = ui::AlertView::visibleAlerts();
    EXPECT_EQ(alerts.size(), c.sent ? 0u : 1u) << c.typed;
    if (!c.sent && !alerts.empty()) {
      EXPECT_EQ(alerts[0]->message(), "Слишком короткий запрос.");
    }
  }
  // The query reaches the service escaped: "@" as %40, and "&" as %26 so that it stays in the query.
  bool sawAt = false, sawAmp = false;
  for (const auto& r : server_->requests()) {
    sawAt = sawAt || r.query.find("q=a%40b") != std::string::npos;
    sawAmp = sawAmp || r.query.find("q=a%26b") != std::string::npos;
  }
  EXPECT_TRUE(sawAt);
  EXPECT_TRUE(sawAmp);
}

TEST_F(SearchPageTest, AFirstSearchAnsweringAfterTheSecondChangesNothing) {
  for (bool onPhone : {false, true}) {
    SCOPED_TRACE(onPhone ? "phone" : "tablet");
    auto first = body(reply({item("old", "Фильм")}, ""));
    first.held = true;
    setSearch(first, {{"q", "first"}});
    setSearch(body(reply({item("new", "Фильм")}, "")), {{"q", "second"}});
    std::shared_ptr<TLSSearchVC> pad;
    std::shared_ptr<TLSSearchVC_iphone> pod;
    auto bar = [&] { return onPhone ? pod->mySearchBar() : pad->mySearchBar(); };
    if (onPhone) {
      pod = std::make_shared<TLSSearchVC_iphone>()->init();
      pod->setQuery("first");
      pod->view();
    } else {
      pad = std::make_shared<TLSSearchVC>()->init();
      pad->setQuery("first");
      pad->view();
    }
    bar()->setText("second");
    bar()->delegate()->searchBarSearchButtonClicked(*bar());
    // The second search is answered and shown while the first is still held.
    ASSERT_TRUE(
        testsupport::spinUntil([&] { return onPhone ? !pod->resultList().empty() : !rows(*pad).empty(); }));
    // Nothing orders the service's answers: the first search may reach it after the second.
    ASSERT_TRUE(testsupport::spinUntil([] { return server_->heldCount() == 1; }));
    server_->releaseHeld();
    testsupport::awaitRequestsEnded();
    testsupport::spinFor(0.2);  // lets a late hand-over arrive
    if (onPhone) {
      ASSERT_EQ(pod->resultList().size(), 1u);
      EXPECT_EQ(*pod->resultList()[0]["name"].asString(), "new");
    } else {
      EXPECT_EQ(rows(*pad)[0].second, std::vector<std::string>{"new"});
      EXPECT_EQ(pad->sSearch()->labelTop()->text(), "По запросу \"second\" найдено:");
    }
    server_->clearOverrides();
  }
}

TEST_F(SearchPageTest, AFailureAlertsAndKeepsTheWaitingText) {
  setSearch(testsupport::failing());
  auto page = tablet("abc");
  EXPECT_EQ(ui::AlertView::visibleAlerts().size(), 1u);
  EXPECT_EQ(page->sSearch()->labelTop()->text(), "Идет поиск. Пожалуйста, подождите");
  EXPECT_TRUE(page->activity()->isAnimating());
  ui::AlertView::dismissAll();
  auto onPhone = phone("abc");
  ASSERT_EQ(ui::AlertView::visibleAlerts().size(), 1u);
  EXPECT_EQ(ui::AlertView::visibleAlerts()[0]->delegate(), onPhone);
  EXPECT_TRUE(onPhone->resultList().empty());
}

TEST_F(SearchPageTest, AReplyThatIsNotAnObjectKeepsTheWaitingText) {
  for (const char* text : {"[1,2]", "\"найдено\"", "42", "null"}) {
    SCOPED_TRACE(text);
    setSearch(body(text));
    testsupport::LogCapture log;
    auto page = tablet("abc");
    ASSERT_EQ(ui::AlertView::visibleAlerts().size(), 1u);
    EXPECT_EQ(ui::AlertView::visibleAlerts()[0]->message(),
              "Данные временно недоступны. Повторите попытку позже.");
    EXPECT_EQ(page->sSearch()->labelTop()->text(), "Идет поиск. Пожалуйста, подождите");
    EXPECT_TRUE(rows(*page).empty());
    EXPECT_TRUE(log.contains("Exception: "));
    ui::AlertView::dismissAll();

    auto onPhone = phone("abc");
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    EXPECT_EQ(onPhone->labelTop()->text(), "Идет поиск. Пожалуйста, подождите\n");
    EXPECT_TRUE(onPhone->resultList().empty());
    EXPECT_EQ(onPhone->mainTableView()->numberOfRowsInSection(0), 0);
    EXPECT_FALSE(onPhone->activity()->isAnimating());
  }
}

TEST_F(SearchPageTest, TapsOpenTheTitleAndReportTheScreen) {
  auto tracker = testsupport::RecordingTracker::install();
  setSearch(body(reply({item("a", "Клип")}, "")));
  auto page = phone("abc");
  testsupport::NotificationRecorder opened("TLOpenVideoItem");
  page->tableViewDidSelectRowAtIndexPath(*page->mainTableView(), ns::IndexPath::indexPathForRow(0, 0));
  ASSERT_EQ(opened.objects.size(), 1u);
  EXPECT_EQ(opened.objects[0]["id"].intValue(), 7);
  EXPECT_EQ(*opened.objects[0]["url"].asString(), "ua");
  EXPECT_EQ(*opened.objects[0]["parent_id"].asString(), "");
  ASSERT_FALSE(tracker->calls.empty());
  EXPECT_EQ(tracker->calls[0].texts[0], "Search Screen");
}

}  // namespace
