// The tablet category page: toolbar, filters in its title, the back button, the sort switch,
// rotation of the toolbar, and a popped page letting go of everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "Analytics/Library/MAI.h"
#include "Analytics/Library/MAIDataStore.h"
#include "Analytics/Library/MAIDispatcher.h"
#include "CategoryTestSupport.h"
#include "Classes/CategoryPage/TLSCategoryVC.h"
#include "Foundation/Clock.h"
#include "Foundation/NotificationCenter.h"
#include "UIKit/NavigationController.h"
#include "UIKit/PopoverController.h"
#include "UIKit/Screen.h"
#include "UIKit/SystemNotifications.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"

namespace {

class CategoryPageTest : public testsupport::CategorySuite {
 protected:
  void SetUp() override {
    CategorySuite::SetUp();
    window_ = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
    window_->makeKeyAndVisible();
    nav_ = std::make_shared<ui::NavigationController>()->initWithRootViewController(
        std::make_shared<ui::ViewController>()->init());
    nav_->setNavigationBarHidden(true);
    window_->setRootViewController(nav_);
  }
  void TearDown() override {
    page_.reset();
    nav_->popToRootViewControllerAnimated(false);
    CategorySuite::TearDown();
    window_->resignKeyWindow();
  }
  std::shared_ptr<TLSCategoryVC> open(long long categoryId = 1, const char* title = "Фильмы") {
    page_ = std::make_shared<TLSCategoryVC>()->init();
    page_->setCategoryTitle(title);
    page_->setCategoryId(categoryId);
    nav_->pushViewController(page_, false);
    testsupport::awaitPosterRequestsEnded();
    return page_;
  }
  std::shared_ptr<CategoryFilmsScroll> grid() const { return page_->sCategary()->categoryFilmsScroll(); }

  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<ui::NavigationController> nav_;
  std::shared_ptr<TLSCategoryVC> page_;
};

TEST_F(CategoryPageTest, BuildsItsToolbarBodyAndGenreList) {
  auto page = open();
  EXPECT_EQ(page->titleLabel()->text(), "Фильмы");
  EXPECT_EQ(page->genreBtn()->frame(), (cg::Rect{768 - 168, 6, 72, 31}));
  EXPECT_EQ(page->yearBtn()->frame(), (cg::Rect{768 - 88, 6, 72, 31}));
  EXPECT_TRUE(page->refreshBtn()->isHidden());
  ASSERT_TRUE(page->genres().asArray());
  EXPECT_EQ(page->genres().asArray()->size(), 6u);
  EXPECT_EQ(grid()->totalCount(), 80);
  EXPECT_FALSE(page->sCategary()->activityView()->isAnimating()) << "the first page is shown";
  EXPECT_EQ(server_->requestsFor("get_category").at(0).params.at("category_id"), "1");
}

TEST_F(CategoryPageTest, TheCategoryIdReachesEveryRequestWhole) {
  struct Case {
    long long id;
    const char* text;
  };
  const Case cases[] = {{1, "1"}, {2147483647, "2147483647"}, {3000000000, "3000000000"}};
  for (const Case& c : cases) {
    server_->clearLog();
    open(c.id);
    EXPECT_EQ(page_->categoryId(), c.id);
    for (const char* method : {"get_category", "get_category_titles"}) {
      auto sent = server_->requestsFor(method);
      ASSERT_FALSE(sent.empty()) << method << " " << c.text;
      EXPECT_EQ(sent.back().params.at("category_id"), c.text) << method;
    }
    nav_->popToRootViewControllerAnimated(false);
    page_.reset();
  }
}

TEST_F(CategoryPageTest, TitleShowsTheChosenGenreAndYears) {
  auto page = open();
  struct Step {
    std::optional<std::pair<int, std::optional<std::string>>> genre;
    std::optional<int> year;
    const char* title;
  };
  const Step steps[] = {
      {std::pair{102, std::optional<std::string>("Драма")}, {}, "Драма"},
      {{}, 2, "Драма - 2000-2010 годы"},
      {std::pair{-1, std::optional<std::string>()}, {}, "2000-2010 годы"},
      {{}, 7, "до 1940 года"},
      {{}, -1, "Фильмы"},
  };
  for (const Step& s : steps) {
    if (s.genre) page->genreSelected(s.genre->first, s.genre->second);
    if (s.year) page->yearSelected(*s.year);
    EXPECT_EQ(page->titleLabel()->text(), s.title);
  }
  testsupport::awaitRequestsEnded();
  bool both = false;
  for (const auto& r : server_->requestsFor("get_category_titles"))
    both |= r.params.count("genre_id") && r.params.at("genre_id") == "102" && r.params.count("year_min") &&
            r.params.at("year_min") == "2000";
  EXPECT_TRUE(both) << "the genre and the years in one request";
  EXPECT_EQ(grid()->genreId(), -1);
  EXPECT_EQ(grid()->year(), -1);
}

TEST_F(CategoryPageTest, BackClearsAFilterFirstThenLeavesThePage) {
  auto page = open();
  // Requests sent together may reach the service in any order: look at all those sent since.
  auto sentSince = [&](std::size_t from,
                       const std::function<bool(const sampleservice::ServiceRequest&)>& match) {
    auto requests = server_->requestsFor("get_category_titles");
    return std::any_of(requests.begin() + std::ptrdiff_t(from), requests.end(), match);
  };
  testsupport::awaitRequestsEnded();
  std::size_t before = titleRequests();
  page->genrePressed(*page->genreBtn());
  page->genrePicker()->tableViewDidSelectRowAtIndexPath(*page->genrePicker()->tableView(),
                                                        ns::IndexPath::indexPathForRow(2, 0));
  EXPECT_FALSE(page->genrePickerPopover()->isPopoverVisible()) << "a choice closes the popover";
  testsupport::awaitRequestsEnded();
  const std::string genre = TLSettings::stringFromObject((*page->genres().asArray())[1]["id"]);
  EXPECT_TRUE(sentSince(
      before, [&](const auto& r) { return r.params.count("genre_id") && r.params.at("genre_id") == genre; }));
  before = titleRequests();
  page->toolbarBackClick();
  EXPECT_EQ(nav_->topViewController(), page);
  EXPECT_EQ(page->titleLabel()->text(), "Фильмы");
  EXPECT_EQ(page->genrePicker()->choosedRow(), 0);
  testsupport::awaitRequestsEnded();
  EXPECT_TRUE(sentSince(before, [](const auto& r) { return r.params.count("genre_id") == 0; }));
  page->toolbarBackClick();
  EXPECT_NE(nav_->topViewController(), page);
}

TEST_F(CategoryPageTest, OnlyAnotherSortSegmentReloads) {
  auto page = open();
  std::size_t before = titleRequests();
  page->sCategary()->touchUpInsideSegmentIndex(0);
  EXPECT_EQ(titleRequests(), before) << "the selected segment sends nothing";
  page->sCategary()->touchUpInsideSegmentIndex(2);
  // Packs of the first order may still be on their way; the new order's first pack is among the rest.
  auto alphabetical = [&] {
    auto requests = server_->requestsFor("get_category_titles");
    return std::any_of(requests.begin() + std::ptrdiff_t(before), requests.end(), [](const auto& r) {
      return r.params.count("orderby") && r.params.at("orderby") == "alphabet";
    });
  };
  ASSERT_TRUE(testsupport::spinUntil(alphabetical));
}

TEST_F(CategoryPageTest, RefreshButtonShiftsTheChoosersAndFaceUpChangesNothing) {
  auto page = open();
  page->showRefreshBtn(true);
  EXPECT_FALSE(page->refreshBtn()->isHidden());
  EXPECT_EQ(page->genreBtn()->frame().x(), 768 - 168 - 50);
  EXPECT_EQ(page->yearBtn()->frame().x(), 768 - 88 - 50);

  page->yearPressed(*page->yearBtn());
  ASSERT_TRUE(page->yearPickerPopover()->isPopoverVisible());
  ui::simulateDeviceOrientation(ui::DeviceOrientation::faceUp);
  EXPECT_TRUE(page->yearPickerPopover()->isPopoverVisible()) << "no relayout";
  EXPECT_EQ(page->currentOrientation(), 0);
  ui::simulateDeviceOrientation(ui::DeviceOrientation::landscapeLeft);
  EXPECT_EQ(page->currentOrientation(), 3);
  EXPECT_FALSE(page->yearPickerPopover()->isPopoverVisible());
  EXPECT_EQ(page->genreBtn()->frame().x(), 1024 - 168 - 50);
  EXPECT_EQ(page->refreshBtn()->frame().x(), 1024 - 50);
}

// The genre and year popovers fade in when pressed and out when a choice or the background
// closes them; touches see them shown or gone at once.
TEST_F(CategoryPageTest, TheChoosersPopoversFadeInAndOut) {
  struct Case {
    const char* name;
    bool genre;
    bool closedByChoice;  // else by going into the background
  };
  for (const Case& c : {Case{"genre, closed by going into the background", true, false},
                        Case{"year, closed by a choice", false, true}}) {
    SCOPED_TRACE(c.name);
    auto page = open();
    ns::ManualClock clock;
    const auto& popover = [&]() -> const std::shared_ptr<ui::PopoverController>& {
      return c.genre ? page->genrePickerPopover() : page->yearPickerPopover();
    };
    auto press = [&] {
      if (c.genre)
        page->genrePressed(*page->genreBtn());
      else
        page->yearPressed(*page->yearBtn());
    };
    // A point of the chooser's list, in the window, and the red there in a picture of a moment.
    press();
    ASSERT_TRUE(popover() && popover()->isPopoverVisible());
    const cg::Rect popoverFrame = popover()->popoverFrame();
    const cg::Point inside{popoverFrame.midX(), popoverFrame.midY()};
    auto redAt = [&](std::optional<double> time) {
      return ui::renderView(window_, ui::RenderOptions{0.5, time})
          ->colorAt(int(inside.x / 2), int(inside.y / 2))
          .red;
    };
    const double shown = redAt(std::nullopt);
    popover()->dismissPopoverAnimated(false);
    const double under = redAt(std::nullopt);
    ASSERT_GT(std::abs(shown - under), 0.2) << "the list and the page differ there";
    const double duration = ui::PopoverController::kFadeDuration;

    press();
    auto hit = window_->hitTest(inside, nullptr);
    EXPECT_TRUE(hit && hit->isDescendantOfView(popover()->contentViewController()->view().get()));
    clock.advance(duration / 2);
    EXPECT_NEAR(redAt(clock.now()), (shown + under) / 2, 0.06) << "half-way in";
    clock.advance(duration / 2 + 0.01);
    EXPECT_NEAR(redAt(clock.now()), shown, 0.02);

    const double before = redAt(std::nullopt);
    if (c.closedByChoice)
      page->yearSelected(2);
    else
      ns::NotificationCenter::defaultCenter()->postNotificationName(
          ui::kApplicationDidEnterBackgroundNotification);
    EXPECT_FALSE(popover()->isPopoverVisible());
    hit = window_->hitTest(inside, nullptr);
    EXPECT_TRUE(hit && !hit->isDescendantOfView(popover()->contentViewController()->view().get()))
        << "touches pass at once";
    // The page under it as it is now (a choice reloads the grid).
    const double after = redAt(std::nullopt);
    clock.advance(duration / 2);
    EXPECT_NEAR(redAt(clock.now()), (before + after) / 2, 0.06) << "half-way out";
    clock.advance(duration / 2 + 0.01);
    EXPECT_NEAR(redAt(clock.now()), redAt(std::nullopt), 0.02) << "gone";
    testsupport::awaitRequestsEnded();
    nav_->popToRootViewControllerAnimated(false);
  }
}

TEST_F(CategoryPageTest, GenreButtonWaitsForTheGenreList) {
  sampleservice::Override broken;
  broken.status = 500;
  server_->setOverride("/api/mobile", "get_category", broken);
  auto page = open();
  EXPECT_TRUE(page->genres().isNil());
  page->genrePressed(*page->genreBtn());
  EXPECT_FALSE(page->genrePicker());
  page->sCategary()->touchUpInsideSegmentIndex(1);
  testsupport::awaitRequestsEnded();
  EXPECT_GE(server_->requestsFor("get_category").size(), 2u) << "asked again with the next pack";
}

TEST_F(CategoryPageTest, APoppedPageIsFreedWithRepliesOutstandingAndNoTimerLeft) {
  std::weak_ptr<TLSCategoryVC> weak;
  std::weak_ptr<TopCategoryBanner> banner;
  {
    auto page = open();
    page->genrePressed(*page->genreBtn());
    page->yearPressed(*page->yearBtn());
    ASSERT_TRUE(page->genrePicker() && page->yearPicker());
    server_->setOverride("/api/mobile", "get_posters", testsupport::body("{\"items\":[]}", 0.5));
    setTitles(testsupport::body(testsupport::titlesReply("\"80\"", 16), 0.5));
    page->refreshPressed(*page->refreshBtn());
    page->sCategary()->touchUpInsideSegmentIndex(3);
    weak = page;
    banner = page->sCategary()->sliderView();
    page_.reset();
    nav_->popViewControllerAnimated(false);
  }
  EXPECT_TRUE(weak.expired());
  testsupport::awaitRequestsEnded();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(banner.expired()) << "no timer holds the banner";
}

// The facade let go of and its store removed, so no hit of one test reaches another.
void resetAnalytics() {
  for (int quiet = 0; quiet < 5;) quiet = ns::RunLoop::currentRunLoop()->runOnce(0.02) ? 0 : quiet + 1;
  MAI::sharedInstance()->reset();
  if (auto path = MAI::dataStorePath()) {
    std::filesystem::remove(*path);
    std::filesystem::remove(*path + "-journal");
  }
}

TEST_F(CategoryPageTest, ScreenViewAndTabEventsReachTheCollectionService) {
  resetAnalytics();
  setenv("VCC_COLLECT_URL", server_->url("/collect").c_str(), 1);
  auto tracker = MAI::sharedInstance()->trackerWithTrackingId(std::string("UA-VCC-1"));
  ASSERT_TRUE(tracker);
  auto page = open(1, "Фильмы");
  page->sCategary()->touchUpInsideSegmentIndex(3);
  testsupport::awaitRequestsEnded();
  auto dispatcher = MAI::sharedInstance()->dispatcher();
  ASSERT_TRUE(testsupport::spinUntil([&] { return dispatcher->dataStore()->hitCount(nullptr) == 2; }));
  MAI::sharedInstance()->dispatch();
  ASSERT_TRUE(testsupport::spinUntil([&] { return server_->collectedHits().size() == 2; }));
  std::map<std::string, std::map<std::string, std::string>> byType;
  for (const auto& hit : server_->collectedHits()) byType[hit.parameters.at("t")] = hit.parameters;
  EXPECT_EQ(byType["appview"]["cd"], "Category Screen - Фильмы");
  EXPECT_EQ(byType["event"]["ec"], "Category Screen - " + TLSettings::getCategoryNameById("1"));
  EXPECT_EQ(byType["event"]["ea"], "Переход на вкладку");
  EXPECT_EQ(byType["event"]["el"], "по рейтенгу");
  unsetenv("VCC_COLLECT_URL");
  tracker.reset();
  resetAnalytics();
}

}  // namespace
