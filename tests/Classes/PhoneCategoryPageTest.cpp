// The phone category page against the sample service: packs as the list is dragged past its end,
// replies the list cannot use, nothing found, the picker's filters, the sort strip, late replies
// of an abandoned list, alerts and analytics.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "AppAnalytics/Library/MALPersistentHitStore.h"
#include "CategoryTestSupport.h"
#include "Classes/CategoryPage/CategoryTitlesQuery.h"
#include "Classes/iphone/CategoryPage/TLSCategoryVC_iphone.h"
#include "Foundation/Clock.h"
#include "Foundation/FileManager.h"
#include "Graphics/Text.h"
#include "UIKit/TouchSimulation.h"
#include "support/RecordingTracker.h"

namespace {

using testsupport::body;
using testsupport::titlesReply;

class PhoneCategoryPageTest : public testsupport::CategorySuite {
 protected:
  testsupport::HomeDevice phoneDevice_{false};

  std::shared_ptr<TLSCategoryVC_iphone> open(long long categoryId = 1) {
    auto page = std::make_shared<TLSCategoryVC_iphone>()->initWithNibName("TLSCategoryVC_iphone", nullptr);
    page->setCategoryTitle("Фильмы");
    page->setCategoryId(categoryId);
    page->view();
    testsupport::awaitRequestsEnded();
    return page;
  }
  // Drags the list the given number of points past its end.
  static void dragPastEnd(const TLSCategoryVC_iphone& page, double points) {
    auto table = page.mainTableView();
    double end = std::max(0.0, table->contentSize().height - table->bounds().height());
    table->setContentOffset({0, end + points});
    testsupport::awaitRequestsEnded();
  }
  static std::string lastTitlesQuery() {
    auto all = server_->requestsFor("get_category_titles");
    return all.empty() ? "" : all.back().query;
  }
};

// A pack whose reply holds a million entries is decoded and cut where it arrives: the main run loop
// serves its timers until the list has its pack.
TEST_F(PhoneCategoryPageTest, AMillionEntryPackIsReadWhileTheMainRunLoopGoesOn) {
  const std::string two = R"({"title":"t0","id":"1"},{"title":"t1","id":"2"})";
  setTitles(body(testsupport::millionEntryReply(R"({"quantity":"40","items":)", two,
                                                R"(,"also":{"items":[{"title":"rec","id":"9"}]}})")));
  auto page = std::make_shared<TLSCategoryVC_iphone>()->initWithNibName("TLSCategoryVC_iphone", nullptr);
  page->setCategoryTitle("Фильмы");
  page->setCategoryId(1);
  page->view();
  EXPECT_GE(testsupport::mainLoopFiresWhileRead([&] { return !page->loadedPreviewList().empty(); }), 3);
  EXPECT_EQ(page->loadedPreviewList().size(), std::size_t(CategoryTitlesQuery::kPackSize));
  EXPECT_EQ(page->totalCount(), 40);
  testsupport::awaitRequestsEnded();
}

TEST_F(PhoneCategoryPageTest, TheCategoryIdReachesItsRequestsWhole) {
  struct Case {
    long long id;
    const char* text;
  };
  const Case cases[] = {{1, "1"}, {3000000000, "3000000000"}};
  for (const Case& c : cases) {
    server_->clearLog();
    auto page = open(c.id);
    EXPECT_EQ(page->categoryId(), c.id);
    auto sent = server_->requestsFor("get_category_titles");
    ASSERT_FALSE(sent.empty()) << c.text;
    EXPECT_EQ(sent.back().params.at("category_id"), c.text);
  }
}

TEST_F(PhoneCategoryPageTest, PacksFollowAsTheListIsDraggedPastItsEnd) {
  setTitles(body(titlesReply("\"20\"", 16)), {{"page", "0"}});
  setTitles(body(titlesReply("\"20\"", 4, 16)), {{"page", "1"}});
  auto page = open();
  EXPECT_EQ(page->loadedPreviewList().size(), 16u);
  EXPECT_EQ(page->mainTableView()->numberOfRowsInSection(0), 16);
  dragPastEnd(*page, 10);
  EXPECT_EQ(requestedPages(), std::vector<std::string>{"0"}) << "10 points is not past the threshold";
  dragPastEnd(*page, 11);
  EXPECT_EQ(requestedPages(), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(page->loadedPreviewList().size(), 20u);
  EXPECT_EQ(page->totalCount(), 20);
  dragPastEnd(*page, 30);
  EXPECT_EQ(requestedPages(), (std::vector<std::string>{"0", "1"})) << "the list is complete";
}

// Packs of 11 MB add their sixteen titles to the list, or when nothing is found a row's worth of
// recommendations; the next page is as usual.
TEST_F(PhoneCategoryPageTest, ALargePackAddsSixteenTitlesOrARowOfRecommendations) {
  struct Case {
    const char* quantity;
    std::size_t found;
    std::size_t rows;
    const char* last;
  };
  for (const Case& c :
       {Case{"5000", 60'000, 16, "t15"}, Case{"0", 0, CategoryTitlesQuery::kMaxRecommended, "r99"}}) {
    SCOPED_TRACE(c.quantity);
    setTitles(body(testsupport::largeTitlesReply(c.quantity, c.found, 20'000)));
    auto page = open();
    ASSERT_EQ(page->loadedPreviewList().size(), c.rows);
    EXPECT_EQ(*page->loadedPreviewList().back()["name"].asString(), c.last);
    EXPECT_EQ(page->mainTableView()->numberOfRowsInSection(0), int(c.rows));
  }
  setTitles(body(titlesReply("\"20\"", 16)));
  EXPECT_EQ(open()->loadedPreviewList().size(), 16u);
}

TEST_F(PhoneCategoryPageTest, APackOfFifteenAsksForTheNextPackNotTheSameAgain) {
  setTitles(body(titlesReply("\"40\"", 15)), {{"page", "0"}});
  setTitles(body(titlesReply("\"40\"", 16, 15)), {{"page", "1"}});
  auto page = open();
  EXPECT_EQ(page->loadedPreviewList().size(), 15u);
  dragPastEnd(*page, 20);
  EXPECT_EQ(requestedPages(), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(page->loadedPreviewList().size(), 31u);
  EXPECT_EQ(*page->loadedPreviewList()[15]["name"].asString(), "t15") << "no row shows twice";
}

TEST_F(PhoneCategoryPageTest, UnusableRepliesFailThePackWithAnAlert) {
  struct Case {
    const char* name;
    std::string reply;
  };
  const Case cases[] = {
      {"number quantity", titlesReply("20", 16)},
      {"empty quantity", titlesReply("\"\"", 16)},
      {"not an object", "[1,2,3]"},
      {"items not an array", "{\"quantity\":\"5\",\"items\":{}}"},
  };
  for (const Case& c : cases) {
    setTitles(body(c.reply));
    auto page = open();
    EXPECT_FALSE(page->isLoading()) << c.name;
    EXPECT_FALSE(page->activityView()->isAnimating()) << c.name;
    EXPECT_FALSE(page->refreshBtn()->isHidden()) << c.name;
    auto alerts = ui::AlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u) << c.name;
    EXPECT_EQ(alerts[0]->message(), "Данные временно недоступны. Повторите попытку позже.") << c.name;
    EXPECT_EQ(alerts[0]->delegate(), page) << c.name;
    ui::AlertView::dismissAll();
  }
  // Without "also" the pack's rows still show.
  setTitles(body(titlesReply("\"3\"", 3, 0, false)));
  auto page = open();
  EXPECT_EQ(page->mainTableView()->numberOfRowsInSection(0), 3);
  EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
}

TEST_F(PhoneCategoryPageTest, NothingFoundShowsTheNoteOverTheRecommendations) {
  setTitles(body(titlesReply("\"0\"", 0)));
  auto page = open();
  EXPECT_FALSE(page->nothingFoundLabel()->isHidden());
  EXPECT_EQ(page->nothingFoundLabel()->text(), "Ничего не найдено.\nРекомендуем посмотреть:");
  EXPECT_EQ(page->mainTableView()->frame().y(), page->defaultTableRect().y() + 46.0);
  EXPECT_EQ(page->mainTableView()->frame().height(), page->defaultTableRect().height() - 46.0);
  ASSERT_EQ(page->loadedPreviewList().size(), 1u);
  EXPECT_EQ(*page->loadedPreviewList()[0]["name"].asString(), "rec");
  dragPastEnd(*page, 30);
  EXPECT_EQ(requestedPages(), std::vector<std::string>{"0"});
}

// The panel's picker rows, the show button and the panel's own foot: the button is not drawn over
// rows and both stay inside the panel, which clips them.
TEST_F(PhoneCategoryPageTest, ThePanelsShowButtonLiesBelowThePickerInsideThePanel) {
  auto page = open();
  const cg::Rect panel = page->popoverView()->bounds();
  const cg::Rect picker = page->paramPicker()->frame();
  const cg::Rect button = page->showButton()->frame();
  EXPECT_FALSE(picker.intersects(button)) << picker.maxY() << " > " << button.y();
  EXPECT_LE(picker.maxY(), panel.maxY());
  EXPECT_LE(button.maxY(), panel.maxY());
  EXPECT_GE(button.y(), 0.0);
}

TEST_F(PhoneCategoryPageTest, PickerRowsBecomeRequestFilters) {
  server_->setOverride("/api/mobile", "get_category",
                       body("{\"items\":[{\"items\":[{\"id\":\"12\",\"title\":\"Драма\"}]}]}"));
  auto page = open();
  ASSERT_EQ(page->genresList().size(), 2u);
  EXPECT_EQ(page->paramPicker()->titleForRow(0, 0), "Все категории");
  EXPECT_EQ(page->paramPicker()->titleForRow(1, 0), "Драма");
  const auto& years = page->yearsList();
  auto yearRow = [&](const std::string& text) {
    return int(std::find(years.begin(), years.end(), text) - years.begin());
  };
  struct Case {
    int genreRow;
    std::string yearText;
    std::string expected;  // the tail of the request
  };
  const Case cases[] = {
      {0, "Все", "&page=0"},
      {1, "1995", "&page=0&genre_id=12&year_min=1995&year_max=1995"},
      {0, "1980-е", "&page=0&year_min=1980&year_max=1990"},
      {0, "<1960", "&page=0&year_min=1900&year_max=1960"},
  };
  for (const Case& c : cases) {
    page->showParams();
    page->paramPicker()->spinComponentToRow(0, c.genreRow);
    page->paramPicker()->spinComponentToRow(1, yearRow(c.yearText));
    page->showWithParams();
    testsupport::awaitRequestsEnded();
    std::string query = lastTitlesQuery();
    EXPECT_TRUE(query.ends_with(c.expected)) << c.yearText << ": " << query;
    EXPECT_TRUE(page->popoverView()->isHidden());
  }
  EXPECT_EQ(years.front(), "Все");
  EXPECT_EQ(years.back(), "<1960");
}

// The panel opened, its wheels turned and the choice applied by touches, as a person does: the
// service is asked for the genre and the year the wheels came to rest on.
TEST_F(PhoneCategoryPageTest, WheelsTurnedByTouchFilterTheList) {
  auto page = open(31);
  ns::ManualClock clock;
  auto picker = page->paramPicker();
  ASSERT_EQ(picker->titleForRow(1, 0), "Полнометражные");
  ASSERT_EQ(picker->titleForRow(2, 0), "Короткометражные");
  const auto& years = page->yearsList();
  // The middle of a wheel's middle band, `rows` rows below it, in the page's coordinates.
  auto over = [&](int component, double rows = 0) {
    double x = (picker->bounds().width() - picker->rowSizeForComponent(0).width -
                picker->rowSizeForComponent(1).width) /
               2;
    if (component == 1) x += picker->rowSizeForComponent(0).width;
    x += picker->rowSizeForComponent(component).width / 2;
    double y = picker->bounds().height() / 2 + rows * ui::PickerView::kRowHeight;
    return picker->convertPointToView(cg::Point{x, y}, page->view().get());
  };
  auto drag = [&](int component, double dy, double seconds, double hold) {
    cg::Point start = over(component);
    ui::SimulatedTouch finger(page->view(), start);
    for (int i = 1; i <= 8; ++i) {
      if (seconds > 0) clock.advance(seconds / 8);
      finger.moveTo({start.x, start.y + dy * i / 8});
    }
    if (hold > 0) clock.advance(hold);
    finger.end();
  };
  struct Case {
    std::function<void()> turn;
    std::string genre;
    std::string year;
  };
  const Case cases[] = {
      // Two rows up at once, then a two-row flick of a tenth of a second that carries ten rows on.
      {[&] {
         drag(0, -88, 0, 0);
         drag(1, -88, 0.1, 0);
       },
       "312", years[12]},
      // A tap on the genre above the selection; five years back, the finger held before lifting.
      {[&] {
         ui::tapAtPoint(page->view(), over(0, -1));
         drag(1, 220, 0.5, 0.2);
       },
       "311", years[7]},
  };
  for (const Case& c : cases) {
    ui::tap(page->paramsButton());
    ASSERT_FALSE(page->popoverView()->isHidden());
    c.turn();
    clock.advance(ui::PickerView::kLongestSlideSeconds + 0.1);
    ui::tap(page->showButton());
    ASSERT_TRUE(page->popoverView()->isHidden());
    testsupport::awaitRequestsEnded();
    std::string query = lastTitlesQuery();
    EXPECT_TRUE(query.ends_with("&genre_id=" + c.genre + "&year_min=" + c.year + "&year_max=" + c.year))
        << query;
  }
}

// The long cartoon genres shrink to fit their wheel, no smaller than the picker's minimum.
TEST_F(PhoneCategoryPageTest, LongGenresFitTheirWheel) {
  auto page = open(31);
  auto picker = page->paramPicker();
  ASSERT_EQ(picker->numberOfRowsInComponent(0), 4);
  for (int row = 0; row < 4; ++row) {
    std::string title = picker->titleForRow(row, 0);
    cg::Font font = picker->titleFontForRow(row, 0);
    EXPECT_GE(font.pointSize(), ui::PickerView::kMinimumTitleFontSize) << title;
    EXPECT_LE(cg::measureText(title, font).width, picker->titleWidthForComponent(0)) << title;
  }
  EXPECT_EQ(picker->titleFontForRow(3, 0).pointSize(), ui::PickerView::kTitleFontSize)
      << "Сказки fits as it is";
}

TEST_F(PhoneCategoryPageTest, ClosingThePanelUnappliedRestoresThePickerAndOutsideTouchesCloseIt) {
  auto page = open();
  page->showParams();
  EXPECT_FALSE(page->popoverView()->isHidden());
  EXPECT_FALSE(page->pimpImage()->isHidden());
  page->paramPicker()->spinComponentToRow(1, 3);
  page->showParams();
  EXPECT_TRUE(page->popoverView()->isHidden());
  EXPECT_EQ(page->paramPicker()->selectedRowInComponent(1), 0);

  page->showParams();
  double top = page->popoverView()->frame().y();
  auto touchAt = [&](double y) {
    auto touch = std::make_shared<ui::Touch>(page->view(), cg::Point{100, y}, ui::TouchPhase::began);
    ui::Event event({touch});
    page->touchesBegan({touch}, &event);
  };
  touchAt(top + 100);
  EXPECT_FALSE(page->popoverView()->isHidden()) << "a touch inside the panel keeps it";
  touchAt(top + 300);
  EXPECT_TRUE(page->popoverView()->isHidden());
}

TEST_F(PhoneCategoryPageTest, ALateReplyOfTheFormerOrderChangesNothing) {
  setTitles(body(titlesReply("\"16\"", 16, 100), 0.5), {{"orderby", "popularity"}});
  setTitles(body(titlesReply("\"16\"", 16, 200)), {{"orderby", "alphabet"}});
  auto page = std::make_shared<TLSCategoryVC_iphone>()->init();
  page->setCategoryId(1);
  page->view();
  page->touchUpInsideSegmentIndex(2);
  testsupport::awaitRequestsEnded();
  testsupport::spinFor(0.2);
  ASSERT_EQ(page->loadedPreviewList().size(), 16u);
  EXPECT_EQ(*page->loadedPreviewList()[0]["name"].asString(), "t200");
  // The two orders' requests leave together, so the service may log them in either order.
  auto all = server_->requestsFor("get_category_titles");
  EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const auto& r) {
    return r.query.find("orderby=alphabet&orderdir=asc") != std::string::npos;
  }));
}

TEST_F(PhoneCategoryPageTest, TheSortStripBringsTheChosenSegmentIntoView) {
  auto tracker = testsupport::RecordingTracker::install();
  testsupport::writeCategoryList({"1"});
  auto page = open();
  auto strip = page->sortStrip();
  double width = strip->bounds().width();
  struct Case {
    unsigned segment;
    double x;
    const char* label;
  };
  const Case cases[] = {
      {1,
       page->blackControl()->buttons()[1]->frame().x() -
           (width - page->blackControl()->buttons()[1]->frame().width()) / 2.5,
       "по новизне"},
      {3, 560 - width, "по рейтенгу"},
      {0, 0, "по популярности"},
  };
  for (const Case& c : cases) {
    page->touchUpInsideSegmentIndex(c.segment);
    // One order's request at a time: requests sent together may reach the service in any order.
    testsupport::awaitRequestsEnded();
    EXPECT_DOUBLE_EQ(strip->contentOffset().x, c.x) << c.label;
    ASSERT_FALSE(tracker->calls.empty());
    EXPECT_EQ(tracker->calls.back(),
              (testsupport::RecordingTracker::Call{
                  "event", {"Category Screen - РУБРИКА 1", "Переход на вкладку", c.label}, true}));
  }
  std::size_t events = tracker->calls.size();
  page->touchUpInsideSegmentIndex(0);
  EXPECT_EQ(tracker->calls.size(), events) << "the order in force changes nothing";
  testsupport::awaitRequestsEnded();
  EXPECT_TRUE(lastTitlesQuery().find("orderby=popularity&orderdir=desc") != std::string::npos);
}

TEST_F(PhoneCategoryPageTest, AfterAGenresFailureIsDismissedAPackFailureAlerts) {
  server_->setOverride("/api/mobile", "get_category", testsupport::failing());
  setTitles(body(titlesReply("\"40\"", 16)));
  auto page = open();
  auto alerts = ui::AlertView::visibleAlerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]->delegate(), page);
  alerts[0]->tapButtonAtIndex(0);
  EXPECT_FALSE(page->alertShowed());
  setTitles(testsupport::failing());
  dragPastEnd(*page, 20);
  EXPECT_EQ(ui::AlertView::visibleAlerts().size(), 1u);
  EXPECT_FALSE(page->refreshBtn()->isHidden());
}

TEST_F(PhoneCategoryPageTest, TheVersionOnePageViewOfAnUnstartedTrackerWritesNothing) {
  const std::string store = ns::stringByAppendingPathComponent(ns::libraryDirectory(), kMALDatabaseFileName);
  server_->clearLog();
  auto page = open();
  ASSERT_FALSE(page->mainTableView()->numberOfRowsInSection(0) == 0) << "the page opened";
  EXPECT_FALSE(ns::FileManager::defaultManager()->fileExistsAtPath(store));
  for (const auto& r : server_->requests()) EXPECT_EQ(r.path.find("utm"), std::string::npos) << r.path;
}

}  // namespace
