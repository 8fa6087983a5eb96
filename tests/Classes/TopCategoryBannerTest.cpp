// The category page's poster banner on the manual clock: its own geometry and request, the
// wrap-around advance, rotation, and a banner taken off its page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "Classes/CategoryPage/TopCategoryBanner.h"
#include "Foundation/Clock.h"
#include "HomeTestSupport.h"
#include "RowTestSupport.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "support/LogCapture.h"

namespace {

using testsupport::posterRecord;

ns::Array films(int count) {
  ns::Array records;
  for (int i = 0; i < count; ++i) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%02d0000", i + 1);
    records.push_back(posterRecord("f" + std::to_string(i), colour));
  }
  return records;
}

int filmShownBy(const std::shared_ptr<ui::ScrollView>& scroll) {
  return static_cast<int>(std::lround(scroll->backgroundColor()->cgColor().red * 255)) - 1;
}

// Banners whose poster request goes nowhere: the tests install their lists themselves.
class TopCategoryBannerTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::countRequests(); }
  void TearDown() override { testsupport::awaitPosterRequestsEnded(); }
  std::shared_ptr<TopCategoryBanner> make() {
    return std::make_shared<TopCategoryBanner>()->initWithCategoryId(7, {posterRecord("", "000000")});
  }
  testsupport::ServiceHostOverride host_{"127.0.0.1:1"};
  testsupport::HomeDevice device_;
  ns::ManualClock clock_;
};

TEST_F(TopCategoryBannerTest, OneFilmGetsThreePagesOneDotAndNoTimer) {
  auto banner = make();
  EXPECT_EQ(banner->frame(), (cg::Rect{0, 0, 768, 184}));
  EXPECT_EQ(banner->categoryId(), 7);
  banner->loadJSONArray(films(1));
  EXPECT_EQ(banner->pageViews().size(), 3u);
  EXPECT_EQ(banner->pageControl()->numberOfPages(), 1);
  EXPECT_FALSE(banner->sliderTimer());
  EXPECT_EQ(banner->pageView()->frame(), (cg::Rect{0, 154, 768, 20}));
  EXPECT_EQ(banner->pageControl()->frame().x(), 384 - 8);
  banner->stopAsync();
}

TEST_F(TopCategoryBannerTest, ABannerGoesAwayWithoutAWord) {
  auto banner = make();
  std::weak_ptr<TopCategoryBanner> gone = banner;
  banner->loadJSONArray(films(2));
  banner->stopAsync();
  testsupport::LogCapture log;
  banner.reset();
  EXPECT_TRUE(gone.expired());
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

TEST_F(TopCategoryBannerTest, PostersThatCannotBeAskedForStopTheirSpinnersAtOnce) {
  auto banner = make();
  ns::Array list;
  for (const char* poster : {"http://127.0.0.1/a b.jpg", "/images/poster/1001.jpg", "ftp://127.0.0.1/x.jpg"})
    list.push_back(posterRecord(poster, "#204060", poster));
  banner->loadJSONArray(list);
  clock_.advance(0.3);
  ASSERT_EQ(banner->pageViews().size(), 5u);
  for (const auto& page : banner->pageViews()) {
    ASSERT_TRUE(page);
    auto spinner =
        std::dynamic_pointer_cast<ui::ActivityIndicatorView>(page->viewWithTag(MainSliderBase::kSpinnerTag));
    ASSERT_TRUE(spinner);
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_FALSE(page->image());
  }
  banner->stopAsync();
}

TEST_F(TopCategoryBannerTest, SevenFilmsAdvanceEveryEightSecondsAndWrapThroughTheTrailingCopy) {
  auto banner = make();
  banner->loadJSONArray(films(7));
  clock_.advance(0.3);
  std::vector<int> shown;
  for (int i = 0; i < 8; ++i) {
    clock_.advance(8);
    shown.push_back(banner->curPage());
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 4, 5, 6, 0, 1}));
  EXPECT_EQ(banner->scrollView()->contentOffset().x, 2 * 768) << "film 1 on its own page, not a copy";
  EXPECT_EQ(banner->rating(), 3);
  banner->stopAsync();
}

TEST_F(TopCategoryBannerTest, ASwipeLeftOfTheFirstFilmLandsOnTheLast) {
  auto banner = make();
  banner->loadJSONArray(films(7));
  clock_.advance(0.3);
  banner->scrollView()->setContentOffset({768 - 500, 0});
  EXPECT_EQ(banner->curPage(), 6);
  EXPECT_EQ(banner->pageControl()->currentPage(), 6);
  EXPECT_EQ(filmShownBy(banner->scrollView()), 6);
  EXPECT_EQ(banner->scrollView()->contentOffset().x, 768 * 7 + 268)
      << "the same place on the last film's page";
  banner->stopAsync();
}

TEST_F(TopCategoryBannerTest, RotationKeepsTheFilmInView) {
  auto host = std::make_shared<ui::View>()->initWithFrame({0, 0, 768, 600});
  auto banner = make();
  host->addSubview(banner);
  banner->loadJSONArray(films(7));
  clock_.advance(0.3);
  banner->scrollView()->setContentOffset({4 * 768, 0});
  ASSERT_EQ(banner->curPage(), 3);
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::landscapeLeft);
  banner->layoutSubviews();
  clock_.advance(0.3);
  EXPECT_EQ(banner->frame().size, (cg::Size{1024, 200}));
  EXPECT_EQ(banner->scrollView()->contentOffset().x, 4 * 1024);
  EXPECT_EQ(banner->curPage(), 3);
  EXPECT_EQ(filmShownBy(banner->scrollView()), 3);
  EXPECT_EQ(banner->pageControl()->frame().x(), 512 - 8 * 7);
  banner->removeFromSuperview();
}

TEST_F(TopCategoryBannerTest, ColoursAreCutFromTheirTexts) {
  struct Case {
    const char* text;
    int r, g, b;
  };
  for (const Case& c : {Case{"#1A2B3C", 26, 43, 60}, Case{"#FFFFFF", 255, 255, 255}, Case{"", 0, 0, 0},
                        Case{"#FFF", 0, 0, 0}, Case{"000000", 0, 0, 0}}) {
    cg::Color colour = MainSliderBase::fromHexToRGBColor(ns::Value(c.text)).cgColor();
    EXPECT_EQ(std::lround(colour.red * 255), c.r) << c.text;
    EXPECT_EQ(std::lround(colour.green * 255), c.g) << c.text;
    EXPECT_EQ(std::lround(colour.blue * 255), c.b) << c.text;
  }
}

TEST_F(TopCategoryBannerTest, TapsOpenTitlesWithAnAddressOnly) {
  testsupport::NotificationRecorder opened("TLOpenVideoItem");
  auto banner = make();
  banner->willPlayMovie();  // the placeholder has no address
  banner->loadJSONArray({posterRecord("с адресом", "#000000", "", "http://h/t")});
  banner->willPlayMovie();
  ASSERT_EQ(opened.objects.size(), 1u);
  EXPECT_EQ(opened.objects[0]["title"], ns::Value("с адресом"));
  EXPECT_EQ(opened.objects[0]["parent_id"], ns::Value(""));
  EXPECT_EQ(opened.objects[0]["id"], ns::Value(7));
  banner->stopAsync();
}

class TopCategoryBannerServiceTest : public testsupport::HomeServiceSuite {
 protected:
  testsupport::HomeDevice device_;
};

TEST_F(TopCategoryBannerServiceTest, AsksForTheCategoryPostersAndCachesThem) {
  auto host = std::make_shared<ui::View>()->initWithFrame({0, 0, 768, 600});
  auto banner = std::make_shared<TopCategoryBanner>()->initWithCategoryId(1, {posterRecord("", "000000")});
  host->addSubview(banner);
  ASSERT_TRUE(testsupport::spinUntil([&] { return banner->filmList().size() == 7; }));
  auto request = server_->requestsFor("get_posters").at(0);
  EXPECT_EQ(request.params.at("poster_size"), "1000x240");
  EXPECT_EQ(request.params.at("limit"), "7");
  EXPECT_TRUE(banner->isLoadedJSON());
  EXPECT_TRUE(banner->sliderTimer());
  for (const ns::Value& film : banner->filmList()) {
    auto path = MainSliderBase::posterFilePath(*film["poster"].asString());
    ASSERT_TRUE(path);
    EXPECT_TRUE(testsupport::spinUntil([&] {
      return ns::FileManager::defaultManager()->fileExistsAtPath(*path);
    })) << *path;
  }
  testsupport::awaitPosterRequestsEnded();
  std::size_t fetched = requestsUnder("/images/");
  // Cached posters are read from their files.
  banner->loadVisiblePages();
  testsupport::awaitPosterRequestsEnded();
  EXPECT_EQ(requestsUnder("/images/"), fetched);
  banner->removeFromSuperview();
}

TEST_F(TopCategoryBannerServiceTest, ABannerTakenOffItsPageIgnoresALateReplyAndStartsNoTimer) {
  sampleservice::Override slow;
  slow.delaySeconds = 0.5;
  server_->setOverride("/api/mobile", "get_posters", slow);
  auto host = std::make_shared<ui::View>()->initWithFrame({0, 0, 768, 600});
  auto banner = std::make_shared<TopCategoryBanner>()->initWithCategoryId(1, {posterRecord("", "000000")});
  host->addSubview(banner);
  banner->removeFromSuperview();
  EXPECT_TRUE(banner->isStopped());
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(banner->filmList().size(), 1u);
  EXPECT_FALSE(banner->sliderTimer());
}

}  // namespace
