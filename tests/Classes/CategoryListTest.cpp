// The category titles list: its requests, the reading of a pack, the paging state it keeps, and
// the failure rule, against the sample service.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "CategoryTestSupport.h"
#include "Classes/CategoryPage/CategoryTitlesQuery.h"
#include "Foundation/Clock.h"
#include "NTNetworking/NTNetworkingConstants.h"
#include "UIKit/Application.h"
#include "UIKit/ViewDump.h"
#include "support/LogCapture.h"

namespace {

using testsupport::body;
using testsupport::failing;
using testsupport::titlesReply;

constexpr double k2014 = 1404172800;  // 2014-07-01
constexpr double k2019 = 1561939200;  // 2019-07-01

TEST(CategoryTitlesQueryTest, BuildsTheSortGenreAndYearPartsInOrder) {
  struct Case {
    int grouping, genre, year;
    const char* tail;
  };
  const Case cases[] = {
      {0, -1, -1, "orderby=popularity&orderdir=desc&limit=16&page=2"},
      {1, -1, -1, "orderby=newness&orderdir=desc&limit=16&page=2"},
      {2, -1, -1, "orderby=alphabet&orderdir=asc&limit=16&page=2"},
      {3, -1, -1, "orderby=rating&orderdir=desc&limit=16&page=2"},
      {0, -1, 1, "page=2&year_min=2010&year_max=2015"},
      {0, -1, 2, "page=2&year_min=2000&year_max=2010"},
      {0, -1, 3, "page=2&year_min=1990&year_max=2000"},
      {0, -1, 4, "page=2&year_min=1980&year_max=1990"},
      {0, -1, 5, "page=2&year_min=1960&year_max=1980"},
      {0, -1, 6, "page=2&year_min=1940&year_max=1960"},
      {0, -1, 7, "page=2&year_min=1900&year_max=1940"},
      {0, -1, 9, "limit=16&page=2"},
      {0, 12, 3, "page=2&genre_id=12&year_min=1990&year_max=2000"},
  };
  for (const Case& c : cases) {
    std::string url = CategoryTitlesQuery::url(5, c.grouping, c.genre, c.year, 2, 2014);
    EXPECT_NE(url.find("/api/mobile.pl?platform=ios&method=get_category_titles&category_id=5&"),
              std::string::npos);
    EXPECT_EQ(url.substr(url.size() - std::string(c.tail).size()), c.tail) << url;
  }
}

TEST(CategoryTitlesQueryTest, NewestYearRangeRunsToTheCurrentYearOnceLaterThan2015) {
  struct Case {
    double date;
    const char* filter;
    const char* title;
  };
  for (const Case& c : {Case{k2014, "&year_min=2010&year_max=2015", "2010-2015 годы"},
                        Case{k2019, "&year_min=2010&year_max=2019", "2010-2019 годы"}}) {
    ns::ManualClock clock(c.date);
    int year = CategoryTitlesQuery::currentYear();
    EXPECT_EQ(CategoryTitlesQuery::yearFilter(1, year), c.filter);
    EXPECT_EQ(CategoryTitlesQuery::yearTitle(1, year), c.title);
  }
}

TEST(CategoryTitlesQueryTest, ReadsQuantityTextsAndDropsRepliesItCannotUse) {
  constexpr int kMax = CategoryTitlesQuery::kMaxCount;
  struct Case {
    const char* quantity;
    std::optional<int> total;
    int packs;
  };
  const Case cases[] = {
      {"\"40\"", 40, 3}, {"\"48\"", 48, 3}, {"\"49\"", 49, 4}, {"\"0\"", 0, 1},
      {"40", {}, 0},     {"\"\"", {}, 0},   {"\"-5\"", 0, 1},  {"\"99999999999\"", kMax, kMax / 16}};
  for (const Case& c : cases) {
    auto reply = CategoryTitlesQuery::readReply(testsupport::jsonText(titlesReply(c.quantity, 2)));
    EXPECT_EQ(reply.totalCount, c.total) << c.quantity;
    if (c.total) {
      EXPECT_EQ(CategoryTitlesQuery::packCount(*c.total), c.packs) << c.quantity;
    }
  }
  auto reply = CategoryTitlesQuery::readReply(
      testsupport::jsonText(R"({"quantity":"3","items":[{"title":1,"id":"7"},5,"x",{"id":8},{"id":8.5},
          {"id":3000000000}],"also":{"items":[]}})"));
  ASSERT_TRUE(reply.usable());
  ASSERT_EQ(reply.items->size(), 4u) << "elements that are not objects are skipped";
  EXPECT_EQ((*reply.items)[0]["name"], ns::Value("")) << "a value that is not a text reads empty";
  EXPECT_EQ((*reply.items)[0]["id"], ns::Value("7"));
  EXPECT_EQ((*reply.items)[1]["id"], ns::Value("8")) << "an id sent as a number";
  EXPECT_EQ((*reply.items)[2]["id"], ns::Value(""));
  EXPECT_EQ((*reply.items)[3]["id"], ns::Value("3000000000")) << "a number past 32 bits";
  EXPECT_FALSE(
      CategoryTitlesQuery::readReply(testsupport::jsonText(titlesReply("\"3\"", 1, 0, false))).usable());
  EXPECT_FALSE(CategoryTitlesQuery::readReply(testsupport::jsonText("[1]")).usable());
}

class CategoryListTest : public testsupport::CategorySuite {};

// A pack whose reply holds a million entries is decoded and cut where it arrives: the main run loop
// serves its timers until the grid has its pack.
TEST_F(CategoryListTest, AMillionEntryPackIsReadWhileTheMainRunLoopGoesOn) {
  const std::string two = R"({"title":"t0","id":"1"},{"title":"t1","id":"2"})";
  setTitles(body(testsupport::millionEntryReply(R"({"quantity":"40","items":)", two,
                                                R"(,"also":{"items":[{"title":"rec","id":"9"}]}})")));
  auto g = grid(1, false);
  EXPECT_GE(testsupport::mainLoopFiresWhileRead([&] { return g->hasReply(); }), 3);
  EXPECT_EQ(g->totalCount(), 40);
  ASSERT_EQ(g->filmList().size(), std::size_t(CategoryTitlesQuery::kPackSize));
  EXPECT_EQ(g->filmList()[1]["name"], ns::Value("t1"));
  testsupport::awaitRequestsEnded();
}

TEST_F(CategoryListTest, FirstPackSetsTotalsSlotsAndFlagsFromTheService) {
  auto g = grid(1);
  EXPECT_TRUE(g->hasReply());
  EXPECT_EQ(g->totalCount(), 80);
  EXPECT_EQ(g->totalPages(), 5);
  ASSERT_TRUE(g->allList());
  EXPECT_EQ(g->allList()->size(), 81u) << "one slot more than the titles";
  EXPECT_EQ(g->loading(), std::vector<int>(5, 0));
  EXPECT_EQ((*g->allList())[0]["name"], g->filmList()[0]["name"]);
  EXPECT_TRUE((*g->allList())[16].isNil()) << "the next pack is not there yet";
  EXPECT_FALSE(g->reccomendedToSee().empty());
  EXPECT_EQ(loading_->stops, 1) << "the current page was shown";
  EXPECT_EQ(requestedPages(), (std::vector<std::string>{"0"}));
}

TEST_F(CategoryListTest, QuantitiesBecomeTotalsWithinThePageTable) {
  constexpr int kMax = CategoryTitlesQuery::kMaxCount;
  struct Case {
    const char* quantity;
    int total, pages;
    std::size_t slots, flags;
  };
  const Case cases[] = {
      {"\"40\"", 40, 3, 41, 3},
      {"\"-5\"", 0, 1, 1, 1},
      {"\"-2147483648\"", 0, 1, 1, 1},
      // Counts past the most a list takes: no sum over them overflows, the first pack shows.
      {"\"2147483647\"", kMax, kMax / 16, CategoryTitlesQuery::kMaxSlots, 312},
      {"\"2147483648\"", kMax, kMax / 16, CategoryTitlesQuery::kMaxSlots, 312},
      {"\"9223372036854775807\"", kMax, kMax / 16, CategoryTitlesQuery::kMaxSlots, 312},
      {"\"99999999\"", 99999999, 6250000, CategoryTitlesQuery::kMaxSlots, 312},
  };
  for (const Case& c : cases) {
    setTitles(body(titlesReply(c.quantity, 16)));
    auto g = grid(1);
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty()) << c.quantity;
    if (c.total > 0) {
      EXPECT_EQ(tilesOn(g, 0), 16) << c.quantity;
      EXPECT_EQ((*g->allList())[15]["name"], g->filmList()[15]["name"]) << c.quantity;
    }
    EXPECT_EQ(g->totalCount(), c.total) << c.quantity;
    EXPECT_EQ(g->totalPages(), c.pages) << c.quantity;
    EXPECT_EQ(g->allList()->size(), c.slots) << c.quantity;
    EXPECT_EQ(g->loading().size(), c.flags) << c.quantity;
    int perPage = 16;
    EXPECT_EQ(g->scrollView()->contentSize().width,
              double(c.total / perPage + (c.total % perPage ? 1 : 0)) * g->scrollView()->bounds().width())
        << "the content still spans every title";
  }
  EXPECT_EQ(tilesOn(grid(1, true), 0), 16);
}

TEST_F(CategoryListTest, UnusableRepliesFailThePackWithTheNoDataAlert) {
  for (const char* text :
       {R"({"quantity":40,"items":[],"also":{"items":[]}})",
        R"({"quantity":"","items":[],"also":{"items":[]}})", "[1,2]",
        R"({"quantity":"40","items":{},"also":{"items":[]}})", R"({"quantity":"40","items":[]})"}) {
    ui::AlertView::dismissAll();
    setTitles(body(text));
    auto g = grid(1);
    auto alerts = ui::AlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u) << text;
    EXPECT_EQ(alerts[0]->message(), "Данные временно недоступны. Повторите попытку позже.") << text;
    EXPECT_EQ(g->loading()[0], 0) << text;
    EXPECT_GE(loading_->stops, 1) << "the spinner stops: " << text;
    EXPECT_EQ(g->pageViews()[0], nullptr) << text;
  }
}

// A pack of 11 MB keeps what the grid shows: its sixteen titles, in their own slots only, and a
// row's worth of recommendations. The next grid is as usual.
TEST_F(CategoryListTest, ALargePackKeepsItsSixteenTitlesAndARowOfRecommendations) {
  setTitles(body(titlesReply("\"5000\"", 0)));
  setTitles(body(testsupport::largeTitlesReply("5000", 60'000, 20'000)), {{"page", "0"}});
  testsupport::PeakMemoryGrowth memory;
  auto g = grid(1);
  ASSERT_TRUE(g->allList());
  EXPECT_EQ(g->filmList().size(), 16u);
  EXPECT_EQ(*g->filmList()[15]["name"].asString(), "t15");
  EXPECT_TRUE((*g->allList())[16].isNil()) << "the next pack's slots stay empty";
  EXPECT_TRUE(g->allList()->back().isNil());
  EXPECT_EQ(g->reccomendedToSee().size(), CategoryTitlesQuery::kMaxRecommended);
  EXPECT_EQ(tilesOn(g, 0), 16);
  if (!testsupport::kSanitized) {
    EXPECT_LT(memory.megabytes(), 400);
  }

  server_->clearOverrides();
  setTitles(body(titlesReply("\"80\"", 16)));
  auto next = grid(1);
  EXPECT_EQ(next->totalCount(), 80);
  EXPECT_EQ(tilesOn(next, 0), 16);
  EXPECT_EQ(next->reccomendedToSee().size(), 1u);
}

// A pack refused for its length shows the generic alert, as any unreadable one does; the log
// says which request went past which bound.
TEST_F(CategoryListTest, APackTooLongToReadShowsTheAlertAndLogsItsURLAndTheBound) {
  setTitles(body(R"({"quantity": "5", "items": [")" + std::string(17 << 20, 'x') + R"("]})"));
  testsupport::LogCapture log;
  auto g = grid(1);
  auto alerts = ui::AlertView::visibleAlerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]->message(), "Данные временно недоступны. Повторите попытку позже.");
  std::vector<std::string> refused;
  for (const std::string& line : log.lines())
    if (line.find(": refused") != std::string::npos) refused.push_back(line);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find("method=get_category_titles&category_id=1&"), std::string::npos) << refused[0];
  EXPECT_NE(refused[0].find(std::to_string(kNTMaximumDecodedResponseLength)), std::string::npos)
      << refused[0];
}

TEST_F(CategoryListTest, ExactlyFiveThousandTitlesShowTilesAndStopTheSpinner) {
  setTitles(body(titlesReply("\"5000\"", 16)));
  auto g = grid(1);
  EXPECT_EQ(g->totalCount(), 5000);
  EXPECT_EQ(tilesOn(g, 0), 16);
  EXPECT_EQ(loading_->stops, 1);
}

TEST_F(CategoryListTest, FailedPackIsAskedAgainByTheNextPageVisitAndOneAlertShowsAtATime) {
  setTitles(failing(), {{"page", "1"}});
  setTitles(failing(), {{"page", "2"}});
  auto g = grid(1);
  g->loadPage(1);
  g->loadPage(2);
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(ui::AlertView::visibleAlerts().size(), 1u) << "two failures, one alert";
  EXPECT_TRUE(g->alertShowed());
  EXPECT_EQ(g->loading()[1], 0);

  ui::AlertView::visibleAlerts()[0]->tapButtonAtIndex(0);
  EXPECT_FALSE(g->alertShowed());
  g->loadPage(2);
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(ui::AlertView::visibleAlerts().size(), 1u) << "shown again after dismissal";
  ui::AlertView::dismissAll();

  server_->clearOverrides();
  server_->clearLog();
  g->loadPage(2);
  testsupport::awaitRequestsEnded();
  auto pages = requestedPages();
  std::sort(pages.begin(), pages.end());
  EXPECT_EQ(pages, (std::vector<std::string>{"1", "2"})) << "the earlier missing pack too";
  EXPECT_FALSE((*g->allList())[16].isNil());
  EXPECT_FALSE((*g->allList())[47].isNil());
}

TEST_F(CategoryListTest, RefreshAsksForTheCurrentPagesMissingPacks) {
  setTitles(failing());
  auto g = grid(1);
  EXPECT_FALSE(g->allList()) << "no reply, no slots";
  ui::AlertView::dismissAll();
  server_->clearOverrides();
  server_->clearLog();
  g->reloadInfo();
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(requestedPages(), (std::vector<std::string>{"0"}));
  EXPECT_EQ(tilesOn(g, 0), 16);

  server_->clearLog();
  g->clearMemory();
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(requestedPages(), (std::vector<std::string>{"0"})) << "emptied slots are asked again";
  EXPECT_EQ(tilesOn(g, 0), 16);
}

TEST_F(CategoryListTest, RepliesOfAnAbandonedOrderChangeNothingEvenAfterTheNewOrdersFirstReply) {
  auto g = grid(1);
  // Page 1 of the old order answers late, after the new order's first reply.
  setTitles(body(titlesReply("\"33\"", 16, 500), 1.0), {{"orderby", "popularity"}, {"page", "1"}});
  setTitles(body(titlesReply("\"20\"", 16, 100)), {{"orderby", "newness"}});
  g->loadPage(1);
  ASSERT_TRUE(testsupport::spinUntil([&] { return titleRequests() == 2; }));
  g->setGrouping(1);
  EXPECT_EQ(g->grouping(), 1);
  EXPECT_FALSE(g->allList());
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(g->totalCount(), 20) << "the old order's totals do not come back";
  ASSERT_EQ(g->allList()->size(), 21u);
  EXPECT_EQ((*g->allList())[0]["name"], ns::Value("t100"));
  EXPECT_TRUE((*g->allList())[16].isNil()) << "no old title in the new list";
  EXPECT_EQ(server_->requestsFor("get_category_titles").back().params.at("orderby"), "newness");
}

TEST_F(CategoryListTest, SeventeenTitlesFillOnePageAndOneTileInPortraitTwoInLandscape) {
  setTitles(body(titlesReply("\"17\"", 16)), {{"page", "0"}});
  setTitles(body(titlesReply("\"17\"", 1, 16)), {{"page", "1"}});
  for (auto orientation : {ui::InterfaceOrientation::portrait, ui::InterfaceOrientation::landscapeLeft}) {
    ui::Application::sharedApplication()->setStatusBarOrientation(orientation);
    auto g = grid(1);
    g->loadVisiblePagesWithPage(0);
    testsupport::awaitRequestsEnded();
    bool wide = ui::isLandscape(orientation);
    EXPECT_EQ(tilesOn(g, 0), wide ? 15 : 16);
    EXPECT_EQ(tilesOn(g, 1), wide ? 2 : 1);
    auto last = g->pageViews()[1]->viewWithTag(CategoryFilmsScroll::kTileTag);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->frame(), (cg::Rect{wide ? 25.0 : 10.0, wide ? 0.0 : 20.0, 180, 135}));
  }
}

TEST_F(CategoryListTest, NothingFoundShowsTheTwoTextsAndTheRecommendedRow) {
  setTitles(body(titlesReply("\"0\"", 0)));
  auto g = grid(1);
  EXPECT_EQ(g->totalPages(), 1);
  auto page = g->pageViews()[0];
  ASSERT_TRUE(page);
  std::string dump = ui::dumpViewTree(page);
  EXPECT_NE(dump.find("Ничего не найдено по заданным критериям"), std::string::npos);
  EXPECT_NE(dump.find("Возможно Вы хотите посмотреть:"), std::string::npos);
  EXPECT_NE(dump.find("rec"), std::string::npos) << dump;
  EXPECT_EQ(tilesOn(g, 0), 0);
}

}  // namespace
