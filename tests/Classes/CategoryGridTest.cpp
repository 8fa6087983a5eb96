// The category grid's pages: the window of live pages, placeholders while a finger drags, and
// the page kept in view across a rotation, against the sample service's 80 films.
#include <gtest/gtest.h>

#include <algorithm>

#include "CategoryTestSupport.h"
#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Foundation/Clock.h"
#include "Foundation/Format.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/TouchSimulation.h"

namespace {

class CategoryGridTest : public testsupport::CategorySuite {
 protected:
  // Ends a scroll on the page as a settled drag would.
  static void settleOn(const std::shared_ptr<CategoryFilmsScroll>& g, int page) {
    g->scrollView()->setContentOffset({page * g->scrollView()->bounds().width(), 0});
    g->scrollViewDidEndDecelerating(*g->scrollView());
    testsupport::awaitRequestsEnded();
  }
  static bool hasSpinner(const ui::View& tile) {
    return std::any_of(tile.subviews().begin(), tile.subviews().end(),
                       [](const auto& v) { return std::dynamic_pointer_cast<ui::ActivityIndicatorView>(v); });
  }
  static bool isPlaceholderPage(const std::shared_ptr<CategoryFilmsScroll>& g, int page) {
    auto view = g->pageViews()[static_cast<std::size_t>(page)];
    auto tile = view ? view->viewWithTag(CategoryFilmsScroll::kTileTag) : nullptr;
    return tile && !std::dynamic_pointer_cast<TLVideoItemPriview>(tile) &&
           tile->backgroundColor() == ui::Color::blackColor() && !tile->subviews().empty();
  }
};

TEST_F(CategoryGridTest, OnlyTheLandingPageAndItsNeighboursLiveAfterAScrollEnds) {
  auto g = grid(1);
  settleOn(g, 3);
  EXPECT_EQ(g->currentPage(), 3);
  EXPECT_EQ(livePages(g), (std::vector<int>{2, 3, 4}));
  for (int page : {2, 3, 4}) EXPECT_EQ(tilesOn(g, page), 16) << page;
  for (int i = 0; i < 64; ++i) EXPECT_FALSE((*g->allList())[static_cast<std::size_t>(i)].isNil()) << i;
  settleOn(g, 0);
  EXPECT_EQ(livePages(g), (std::vector<int>{0, 1}));
}

TEST_F(CategoryGridTest, AFingerDraggingAcrossPagesShowsBlackPlaceholdersUntilTheScrollSettles) {
  ns::ManualClock clock;
  auto g = grid(1);
  g->layoutSubviews();
  double w = g->scrollView()->bounds().width();
  {
    ui::SimulatedTouch finger(g, {700, 300});
    for (double x = 680; x >= 200; x -= 40) finger.moveTo({x, 300});
    // Past the middle of page 1: page 1 and its neighbours are placeholders.
    ASSERT_GT(g->scrollView()->contentOffset().x, w / 2);
    EXPECT_TRUE(isPlaceholderPage(g, 1));
    EXPECT_TRUE(isPlaceholderPage(g, 2));
    EXPECT_EQ(livePages(g), (std::vector<int>{0, 1, 2}));
    finger.end();
  }
  clock.advance(1);
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(g->currentPage(), 1);
  EXPECT_EQ(livePages(g), (std::vector<int>{0, 1, 2}));
  for (int page : {0, 1, 2}) EXPECT_FALSE(isPlaceholderPage(g, page)) << page;
  EXPECT_EQ(tilesOn(g, 2), 16);
}

// A quick swipe shorter than half a page turns the grid one page, and the page it rests on loads.
TEST_F(CategoryGridTest, AQuickShortSwipeTurnsOnePageAndLoadsIt) {
  ns::ManualClock clock;
  auto g = grid(1);
  g->layoutSubviews();
  {
    ui::SimulatedTouch finger(g, {600, 300});
    for (int i = 1; i <= 5; ++i) {
      clock.advance(0.02);
      finger.moveTo({600 - 30.0 * i, 300});
    }
    finger.end();
  }
  clock.advance(1);
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(g->currentPage(), 1);
  EXPECT_EQ(g->scrollView()->contentOffset().x, g->scrollView()->bounds().width());
  EXPECT_EQ(livePages(g), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(tilesOn(g, 2), 16);
}

TEST_F(CategoryGridTest, RotationKeepsTheFirstTitleInViewAndTurningBackReturnsToThePage) {
  auto app = ui::Application::sharedApplication();
  app->setStatusBarOrientation(ui::InterfaceOrientation::landscapeLeft);
  auto g = grid(1);
  g->layoutSubviews();
  ASSERT_EQ(g->scrollView()->bounds().width(), 1024);
  settleOn(g, 5);
  ASSERT_EQ(tilesOn(g, 5), 5) << "titles 75 to 79";

  app->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  g->layoutSubviews();
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(g->currentPage(), 4);
  EXPECT_EQ(g->lastRotatedPage(), 5);
  EXPECT_EQ(g->scrollView()->contentOffset().x, 4 * 768);
  auto tile = std::dynamic_pointer_cast<TLVideoItemPriview>(
      g->pageViews()[4]->viewWithTag(CategoryFilmsScroll::kTileTag + 75 - 64));
  ASSERT_TRUE(tile);
  EXPECT_EQ(tile->title(), TLSettings::stringFromObject((*g->allList())[75]["name"])) << "title 75 in view";

  app->setStatusBarOrientation(ui::InterfaceOrientation::landscapeRight);
  g->layoutSubviews();
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(g->currentPage(), 5);
  EXPECT_EQ(g->lastRotatedPage(), -1);
  EXPECT_EQ(g->scrollView()->contentOffset().x, 5 * 1024);
  EXPECT_EQ(tilesOn(g, 5), 5);
}

// Counts on and around the boundaries of pages (15 and 16 titles) and packs (16), in both
// orientations, each pack served as the service would: swiped to page after page, every page
// shows its own titles and no spinner stays.
TEST_F(CategoryGridTest, EveryPageLoadsItsTitlesInBothOrientations) {
  auto app = ui::Application::sharedApplication();
  for (auto orientation : {ui::InterfaceOrientation::portrait, ui::InterfaceOrientation::landscapeLeft}) {
    for (int count : {15, 16, 17, 25, 31, 40, 48, 49}) {
      server_->clearOverrides();
      for (int pack = 0; 16 * pack < count; ++pack)
        setTitles(testsupport::body(testsupport::titlesReply(ns::format("\"%d\"", count),
                                                             std::min(16, count - 16 * pack), 16 * pack)),
                  {{"page", std::to_string(pack)}});
      app->setStatusBarOrientation(orientation);
      auto g = grid(1);
      g->layoutSubviews();
      const bool wide = ui::isLandscape(orientation);
      const int k = wide ? 15 : 16;
      ASSERT_EQ(g->pageCount(), (count + k - 1) / k);
      for (int page = 0; page < g->pageCount(); ++page) {
        settleOn(g, page);
        const std::string where =
            ns::format("%d titles, %@, page %d", count, wide ? "landscape" : "portrait", page);
        ASSERT_EQ(tilesOn(g, page), std::min(k, count - k * page)) << where;
        for (int p : livePages(g))
          for (int j = 0; j < tilesOn(g, p); ++j) {
            auto tile = std::dynamic_pointer_cast<TLVideoItemPriview>(
                g->pageViews()[std::size_t(p)]->viewWithTag(CategoryFilmsScroll::kTileTag + j));
            ASSERT_TRUE(tile) << where << ", tile " << j << " of page " << p;
            EXPECT_EQ(tile->title(), "t" + std::to_string(k * p + j)) << where << ", page " << p;
            EXPECT_FALSE(hasSpinner(*tile)) << where << ", tile " << j << " of page " << p;
          }
      }
    }
  }
}

TEST_F(CategoryGridTest, PagesBeyondThePageTableStayEmpty) {
  setTitles(testsupport::body(testsupport::titlesReply("\"6000\"", 16)));
  auto g = grid(1);
  g->showPage(312);
  g->showPreviewPage(312);
  g->loadPage(312);
  EXPECT_EQ(g->pageViews().size(), 312u);
  EXPECT_EQ(livePages(g), (std::vector<int>{0}));
}

TEST_F(CategoryGridTest, TilesKeepIdsPastThirtyTwoBitsAndStoreTheirPostersApart) {
  // One id as a JSON number, one as text: both name their own poster file. Ids past 63 bits and
  // digits followed by letters are no one's id, and name no file another title could share.
  std::string poster = server_->url("/images/poster/1001.jpg");
  setTitles(testsupport::body(R"({"quantity":"4","items":[{"title":"a","id":3000000000,"url":"u","image":")" +
                              poster + R"("},{"title":"b","id":"3000000001","url":"u","image":")" + poster +
                              R"("},{"title":"c","id":9223372036854775808,"url":"u","image":")" + poster +
                              R"("},{"title":"d","id":"3000000001b","url":"u","image":")" + poster +
                              R"("}],"also":{"items":[]}})"));
  auto g = grid(1);
  settleOn(g, 0);
  ASSERT_FALSE(g->pageViews().empty());
  auto page = g->pageViews()[0];
  ASSERT_TRUE(page);
  struct Case {
    int tag;
    long long id;
    const char* file;
  };
  const Case cases[] = {{CategoryFilmsScroll::kTileTag, 3000000000, "3000000000.png"},
                        {CategoryFilmsScroll::kTileTag + 1, 3000000001, "3000000001.png"},
                        {CategoryFilmsScroll::kTileTag + 2, 0, nullptr},
                        {CategoryFilmsScroll::kTileTag + 3, 0, nullptr}};
  for (const Case& c : cases) {
    auto tile = std::dynamic_pointer_cast<TLVideoItemPriview>(page->viewWithTag(c.tag));
    ASSERT_TRUE(tile) << c.tag;
    ASSERT_EQ(tile->ID(), c.id) << c.tag;
    if (!c.file) continue;
    std::string path = TLSettings::postersPath() + "/" + c.file;
    EXPECT_TRUE(testsupport::spinUntil([&] { return TLImageFetch::fileExists(path); })) << c.file;
  }
}

}  // namespace
