// The home page against the sample service: load accounting with its one alert per load, the
// reload spinner, the tabs and their rows, the layout, the page controller's lifecycle, and the
// slider's play taps.
#include <gtest/gtest.h>

#include "Classes/MainPage/TLMainPageVC.h"
#include "Classes/MainPage/TLVideoItemPriviewBase.h"
#include "Classes/Navigation/TLMenuNavigationController.h"
#include "Classes/TLImageFetch.h"
#include "Classes/iphone/MainPage/TLMainPageVC_iphone.h"
#include "Foundation/URLConnection.h"
#include "Foundation/URLLoader.h"
#include "HomeTestSupport.h"
#include "RowTestSupport.h"
#include "ServiceHostOverride.h"
#include "UIKit/Screen.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/Window.h"
#include "support/CompressedBody.h"
#include "support/LoopbackServer.h"
#include "support/RecordingTracker.h"

namespace {

using testsupport::spinUntil;

std::size_t alerts() { return ui::AlertView::visibleAlerts().size(); }

// A tap on a segment of the view's tab switch.
void tapSegment(const std::shared_ptr<MainViewBase>& view, unsigned index) {
  view->rubricSwitchButton()->buttons()[index]->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
}

// Keys of a dictionary (kept sorted).
std::vector<std::string> keysInOrder(const ns::Value& dictionary) {
  std::vector<std::string> keys;
  if (const ns::Dictionary* d = dictionary.asDictionary())
    for (const auto& entry : *d) keys.push_back(entry.first);
  return keys;
}

// The tiles under the view, and how many of them show a fetched picture; the slider's pages too.
std::pair<std::size_t, std::size_t> picturesShown(const std::shared_ptr<ui::View>& root) {
  std::size_t tiles = 0, shown = 0;
  std::vector<std::shared_ptr<ui::View>> open{root};
  while (!open.empty()) {
    auto view = open.back();
    open.pop_back();
    if (auto tile = std::dynamic_pointer_cast<TLVideoItemPriviewBase>(view)) {
      ++tiles;
      if (tile->imageBt()->backgroundImageForState(ui::ControlStateNormal)) ++shown;
    }
    for (const auto& sub : view->subviews()) open.push_back(sub);
  }
  return {tiles, shown};
}
// Whether every tile that shows a picture has its poster file.
bool shownPostersWritten(const std::shared_ptr<ui::View>& root) {
  std::vector<std::shared_ptr<ui::View>> open{root};
  while (!open.empty()) {
    auto view = open.back();
    open.pop_back();
    if (auto tile = std::dynamic_pointer_cast<TLVideoItemPriviewBase>(view);
        tile && tile->ID() > 0 && tile->imageBt()->backgroundImageForState(ui::ControlStateNormal)) {
      auto files = ns::FileManager::defaultManager();
      bool episode = tile->typeIsEpisode();
      if (!files->fileExistsAtPath(episode ? TLSettings::posterForEpisode(tile->ID())
                                           : TLSettings::posterForBaseVideo(tile->ID())) &&
          !files->fileExistsAtPath(episode ? TLSettings::posterBigForEpisode(tile->ID())
                                           : TLSettings::posterBigForBaseVideo(tile->ID())))
        return false;
    }
    for (const auto& sub : view->subviews()) open.push_back(sub);
  }
  return true;
}
std::size_t slidesShown(const std::shared_ptr<MainViewBase>& view) {
  std::size_t shown = 0;
  for (const auto& page : view->slider()->pageViews())
    if (page && page->image()) ++shown;
  return shown;
}

// The body of a GET, read on the main run loop.
std::string fetchBody(const std::string& url) {
  struct Reader : ns::URLConnectionDelegate {
    std::string body;
    bool done = false;
    void connectionDidReceiveData(const ns::URLConnectionPtr&, const ns::Data& data) override {
      body.append(data.view());
    }
    void connectionDidFinishLoading(const ns::URLConnectionPtr&) override { done = true; }
    void connectionDidFailWithError(const ns::URLConnectionPtr&, const ns::ErrorPtr&) override {
      done = true;
    }
  };
  auto reader = std::make_shared<Reader>();
  ns::URLConnection::connectionWithRequest(ns::URLRequest::requestWithURL(ns::URL::URLWithString(url)),
                                           reader);
  EXPECT_TRUE(spinUntil([&] { return reader->done; }));
  return reader->body;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

std::string escapedSlashes(std::string text) {
  replaceAll(text, "/", "\\/");
  return text;
}

class HomePageTest : public testsupport::HomeServiceSuite {
 protected:
  void SetUp() override {
    HomeServiceSuite::SetUp();
    testsupport::writeCategoryList({"1", "2", "3"});
  }
  void TearDown() override {
    HomeServiceSuite::TearDown();
    device_.reset();
  }
  void useDevice(bool pad) {
    device_.reset();
    device_ = std::make_unique<testsupport::HomeDevice>(pad);
  }
  std::shared_ptr<MainViewBase> makeView(bool pad) {
    useDevice(pad);
    if (pad) return std::make_shared<MainView>()->initWithFrame({0, 0, 768, 1004});
    return std::make_shared<MainView_iphone>()->initWithFrame({0, 0, 320, 460});
  }
  static void fail(const std::string& method) {
    sampleservice::Override o;
    o.status = 500;
    server_->setOverride("/api/mobile", method, o);
  }
  // Failures held back until releaseAndSettle(): they reach the client only after the steps between.
  static void holdFailing(const std::string& method) {
    sampleservice::Override o;
    o.status = 500;
    o.held = true;
    server_->setOverride("/api/mobile", method, o);
  }
  static void releaseAndSettle() {
    server_->releaseHeld();
    ASSERT_TRUE(spinUntil([&] { return server_->heldCount() == 0; }));
    testsupport::spinFor(1.0);
  }
  static void delay(const std::string& method, double seconds) {
    sampleservice::Override o;
    o.delaySeconds = seconds;
    server_->setOverride("/api/mobile", method, o);
  }
  static bool allReported(const std::shared_ptr<MainViewBase>& view) {
    return view->isSliderLoaded() && view->elementsCountForParse() <= 0;
  }

  std::unique_ptr<testsupport::HomeDevice> device_;
};

TEST_F(HomePageTest, FailedSliderAndRowsShowOneAlertPerLoad) {
  for (bool pad : {true, false}) {
    fail("get_category");
    fail("get_posters");
    auto view = makeView(pad);
    ASSERT_TRUE(spinUntil([&] { return allReported(view); }));
    EXPECT_EQ(alerts(), 1u) << pad;
    EXPECT_FALSE(view->reloadButton()->isAnimating()) << pad;

    view->loadView();
    ASSERT_TRUE(spinUntil([&] { return alerts() == 2; })) << pad << ": the next load alerts again";
    ASSERT_TRUE(spinUntil([&] { return server_->requestsFor("get_category").size() == 6; }));
    testsupport::spinFor(0.3);
    EXPECT_EQ(alerts(), 2u) << pad;
    server_->clearOverrides();
    server_->clearLog();
  }
}

TEST_F(HomePageTest, TabletSpinnerStopsOnTheFirstRowPhoneSpinnerOnTheLast) {
  // Tablet: a slow slider does not hold the spinner once a row has come.
  delay("get_posters", 3);
  auto tablet = makeView(true);
  EXPECT_TRUE(tablet->reloadButton()->isAnimating());
  ASSERT_TRUE(spinUntil([&] { return tablet->elementsCountForParse() < 3; }));
  EXPECT_FALSE(tablet->reloadButton()->isAnimating());
  EXPECT_FALSE(tablet->isSliderLoaded());
  ASSERT_TRUE(spinUntil([&] { return tablet->isSliderLoaded(); }));
  EXPECT_FALSE(tablet->reloadButton()->isAnimating());

  // Phone: the rows decide, whatever the slider does.
  auto phone = makeView(false);
  ASSERT_TRUE(spinUntil([&] { return phone->elementsCountForParse() <= 0; }));
  EXPECT_FALSE(phone->reloadButton()->isAnimating());
  server_->clearOverrides();
  delay("get_category", 2);
  auto slowRows = makeView(false);
  ASSERT_TRUE(spinUntil(
      [&] { return server_->requestsFor("get_posters").size() >= 3 && slowRows->slider()->isLoadedJSON(); }));
  EXPECT_TRUE(slowRows->reloadButton()->isAnimating());
  ASSERT_TRUE(spinUntil([&] { return slowRows->elementsCountForParse() <= 0; }));
  EXPECT_FALSE(slowRows->reloadButton()->isAnimating());
  EXPECT_EQ(alerts(), 0u);
}

TEST_F(HomePageTest, TheReloadButtonAsksForTheCategoryListOnlyWhenIdle) {
  for (bool pad : {true, false}) {
    testsupport::NotificationRecorder reloads("TLMenuItemsReload");
    auto view = makeView(pad);
    ASSERT_TRUE(view->reloadButton()->isAnimating());
    view->reloadButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(reloads.objects.empty()) << pad;
    ASSERT_TRUE(spinUntil([&] { return allReported(view); }));
    ASSERT_FALSE(view->reloadButton()->isAnimating());
    view->reloadButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(reloads.objects.size(), 1u) << pad;
    EXPECT_TRUE(view->reloadButton()->isAnimating()) << pad;
    // The phone clears the page until the new list comes.
    EXPECT_EQ(view->slider()->superview() == nullptr, !pad);
    EXPECT_EQ(view->horizScrollViewNew()->superview() == nullptr, !pad);
  }
}

TEST_F(HomePageTest, TabsBuildTheirRowsOnceAndLayoutSetsTheContentHeight) {
  auto tablet = std::static_pointer_cast<MainView>(makeView(true));
  ASSERT_TRUE(spinUntil([&] { return allReported(tablet); }));
  auto rowsNew = tablet->horizScrollViewNew();
  ASSERT_EQ(rowsNew->subviews().size(), 3u);
  auto first = std::dynamic_pointer_cast<TLRubricScrollView>(rowsNew->subviews()[0]);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->sortString(), "popular");
  EXPECT_EQ(rowsNew->subviews()[2]->frame(), cg::Rect(0, 840, 768, 410));
  EXPECT_EQ(tablet->scrollView()->contentSize().height, 457 + 3 * 425 + 40);
  tablet->layoutSubviews();
  EXPECT_EQ(rowsNew->frame().y(), 527);
  EXPECT_EQ(tablet->scrollView()->contentSize().height, 3 * 425 + 477 + 40);

  tablet->touchUpInsideSegmentIndex(1);
  auto rowsPopular = tablet->horizScrollViewPopular();
  ASSERT_TRUE(rowsPopular);
  EXPECT_TRUE(rowsNew->isHidden());
  EXPECT_EQ(rowsPopular->frame().y(), 527);
  EXPECT_EQ(std::dynamic_pointer_cast<TLRubricScrollView>(rowsPopular->subviews()[0])->sortString(), "new");
  EXPECT_EQ(tablet->scrollView()->contentSize().height, 457 + 3 * 420 + 40);
  ASSERT_TRUE(spinUntil([&] { return tablet->elementsCountForParse() <= 0; }));
  tablet->touchUpInsideSegmentIndex(0);
  EXPECT_EQ(tablet->horizScrollViewNew(), rowsNew) << "shown again, not rebuilt";
  EXPECT_FALSE(rowsNew->isHidden());
  EXPECT_TRUE(rowsPopular->isHidden());
  EXPECT_FALSE(tablet->reloadButton()->isAnimating());
  tablet->touchUpInsideSegmentIndex(7);
  EXPECT_FALSE(rowsNew->isHidden());
  tablet->layoutSubviews();
  EXPECT_EQ(rowsPopular->frame(), rowsNew->frame());
  EXPECT_EQ(tablet->scrollView()->contentSize().height, 3 * 425 + 477 + 40);

  auto phone = makeView(false);
  ASSERT_TRUE(spinUntil([&] { return allReported(phone); }));
  EXPECT_EQ(phone->scrollView()->frame(), cg::Rect(0, 43, 320, 417));
  EXPECT_EQ(phone->horizScrollViewNew()->frame(), cg::Rect(0, 160 + 50, 320, 3 * 320));
  EXPECT_EQ(phone->horizScrollViewNew()->subviews()[1]->frame(), cg::Rect(0, 15 + 315, 320, 305));
  EXPECT_EQ(phone->scrollView()->contentSize().height, 160 + 3 * 320 + 34);
}

// The catalogue's "Театр" has no group of new titles: its row on the second tab is empty, not
// failed, on either device.
TEST_F(HomePageTest, ACategoryWithNothingNewLoadsOnBothTabsWithoutAnAlert) {
  for (bool pad : {true, false}) {
    testsupport::writeCategoryList({"1", "7"});
    auto view = makeView(pad);
    ASSERT_TRUE(spinUntil([&] { return allReported(view); })) << pad;
    tapSegment(view, 1);
    ASSERT_EQ(view->elementsCountForParse(), 2) << pad;
    ASSERT_TRUE(spinUntil([&] { return view->elementsCountForParse() <= 0; })) << pad;
    EXPECT_EQ(alerts(), 0u) << pad;
    EXPECT_FALSE(view->reloadButton()->isAnimating()) << pad;
    for (const auto& container : {view->horizScrollViewNew(), view->horizScrollViewPopular()}) {
      ASSERT_EQ(container->subviews().size(), 2u) << pad;
      auto theatre = std::dynamic_pointer_cast<TLRubricScrollViewBase>(container->subviews()[1]);
      ASSERT_TRUE(theatre) << pad;
      EXPECT_FALSE(theatre->activityView() && theatre->activityView()->isAnimating())
          << pad << ": the row's spinner ends with its load";
      EXPECT_EQ(theatre->filmsArray().empty(), container == view->horizScrollViewPopular())
          << pad << " " << theatre->sortString();
    }
    testsupport::awaitPosterRequestsEnded();
  }
}

// A list stored by an earlier run makes one row of each category it names more than once, and none
// of an id longer than any real one, all digits though it is; such an id is never sent.
TEST_F(HomePageTest, ACachedCategoryListMakesOneRowOfEachSoundId) {
  struct Case {
    std::vector<std::string> stored, rows;
  };
  const Case cases[] = {
      {{"1", "2", "1", "3", "2"}, {"1", "2", "3"}},
      {{"1", std::string(1 << 20, '9'), std::string(65, '8'), "3"}, {"1", "3"}},
  };
  for (const Case& c : cases) {
    for (bool pad : {true, false}) {
      testsupport::writeCategoryList(c.stored);
      server_->clearLog();
      auto view = makeView(pad);
      ASSERT_TRUE(spinUntil([&] { return allReported(view); })) << pad;
      std::vector<std::string> shown;
      for (const auto& row : view->horizScrollViewNew()->subviews())
        if (auto rubric = std::dynamic_pointer_cast<TLRubricScrollViewBase>(row))
          shown.push_back(rubric->getCategoryIdFromUrl(rubric->selfURL()->absoluteString()).value_or(""));
      EXPECT_EQ(shown, c.rows) << pad;
      testsupport::awaitPosterRequestsEnded();
      for (const auto& request : server_->requestsFor("get_category"))
        EXPECT_LE(request.params.at("category_id").size(), 64u) << pad;
    }
  }
}

TEST_F(HomePageTest, NoCategoriesStillEndTheLoad) {
  for (bool pad : {true, false}) {
    testsupport::writeCategoryList({});
    auto view = makeView(pad);
    ASSERT_TRUE(spinUntil([&] { return view->isSliderLoaded(); }));
    EXPECT_FALSE(view->reloadButton()->isAnimating()) << pad;
    EXPECT_EQ(view->horizScrollViewNew()->frame().height(), 0) << pad;
  }
}

// A row still loading in the tab taken out of view reports nothing into the next load.
TEST_F(HomePageTest, RowsOfAContainerTakenOutOfViewNoLongerCount) {
  holdFailing("get_category");
  auto view = makeView(true);
  ASSERT_TRUE(spinUntil([&] { return server_->heldCount() == 3; }));
  server_->clearOverrides();
  tapSegment(view, 1);
  ASSERT_TRUE(spinUntil([&] { return view->elementsCountForParse() == 3; }));
  view->loadView();
  ASSERT_TRUE(
      spinUntil([&] { return view->elementsCountForParse() == 3 && view->slider()->isLoadedJSON(); }));
  auto stale = view->horizScrollViewNew();
  EXPECT_FALSE(stale->superview());
  releaseAndSettle();
  EXPECT_EQ(alerts(), 0u);
  EXPECT_EQ(view->elementsCountForParse(), 3);
}

// The page controllers.
class HomeControllerTest : public HomePageTest {
 protected:
  std::shared_ptr<TLMainPageVCBase> makePage(bool pad) {
    useDevice(pad);
    if (pad) return std::static_pointer_cast<TLMainPageVCBase>(std::make_shared<TLMainPageVC>()->init());
    return std::static_pointer_cast<TLMainPageVCBase>(std::make_shared<TLMainPageVC_iphone>()->init());
  }
  static std::shared_ptr<MainViewBase> mainViewOf(const std::shared_ptr<TLMainPageVCBase>& page) {
    for (const auto& v : page->view()->subviews())
      if (auto m = std::dynamic_pointer_cast<MainViewBase>(v)) return m;
    return nullptr;
  }
};

TEST_F(HomeControllerTest, NotificationsRebuildThePageOrItsRows) {
  for (bool pad : {true, false}) {
    auto page = makePage(pad);
    ns::NotificationCenter::defaultCenter()->postNotificationName("TLReloadMainPage");
    EXPECT_FALSE(page->isViewLoaded()) << "nothing is observed before the view loads";
    auto first = mainViewOf(page);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frame(), page->view()->bounds());
    if (!pad) {
      EXPECT_EQ(page->view()->frame().height(), 460);
    }
    ASSERT_TRUE(spinUntil([&] { return allReported(first); }));

    tapSegment(first, 1);
    ns::NotificationCenter::defaultCenter()->postNotificationName("ReloadRubrikNotification");
    EXPECT_EQ(mainViewOf(page), first);
    EXPECT_EQ(first->rubricSwitchButton()->selectedButtonIndex(), 1);
    EXPECT_TRUE(first->horizScrollViewPopular()->superview());
    EXPECT_FALSE(first->horizScrollViewNew()->superview()) << "the other tab waits for its first visit";
    ns::NotificationCenter::defaultCenter()->postNotificationName("TLReloadContent");
    EXPECT_EQ(first->rubricSwitchButton()->selectedButtonIndex(), 1);

    std::weak_ptr<MainViewBase> old = first;
    std::weak_ptr<MainSliderBase> oldSlider = first->slider();
    first.reset();
    ns::NotificationCenter::defaultCenter()->postNotificationName("TLReloadMainPage");
    auto second = mainViewOf(page);
    EXPECT_TRUE(old.expired()) << "the replaced view goes";
    EXPECT_TRUE(oldSlider.expired()) << "with its slider: no timer or refill keeps it";
    EXPECT_EQ(second->rubricSwitchButton()->selectedButtonIndex(), 0);
    ASSERT_TRUE(spinUntil([&] { return allReported(second); }));
  }
}

// The screen is reported once per loaded view; the tab event on every load and every tap, before
// the rows change, also for the tab already shown.
TEST_F(HomeControllerTest, TheScreenIsReportedOnceAndEveryTabChoiceIsReported) {
  using Call = testsupport::RecordingTracker::Call;
  const Call screen{"view", {"Home Screen"}};
  const auto tab = [](const char* label) {
    return Call{"event", {"Home Screen", "Переход на вкладку", label}};
  };
  for (bool pad : {true, false}) {
    auto tracker = testsupport::RecordingTracker::install();
    auto page = makePage(pad);
    EXPECT_TRUE(tracker->calls.empty()) << "nothing before the view loads";
    auto view = mainViewOf(page);
    EXPECT_EQ(tracker->calls, (std::vector<Call>{tab("популярные"), screen})) << pad;
    tapSegment(view, 1);
    tapSegment(view, 1);
    tapSegment(view, 0);
    view->touchUpInsideSegmentIndex(2);
    ns::NotificationCenter::defaultCenter()->postNotificationName("TLReloadContent");
    page->viewWillAppear(false);
    page->reloadPage();
    EXPECT_EQ(tracker->calls, (std::vector<Call>{tab("популярные"), screen, tab("новые поступления"),
                                                 tab("новые поступления"), tab("популярные"),
                                                 tab("популярные"), tab("популярные")}))
        << pad;
    ASSERT_TRUE(spinUntil([&] { return allReported(mainViewOf(page)); }));
  }
}

TEST_F(HomeControllerTest, AReplacedPageIgnoresItsLateReplies) {
  for (bool pad : {true, false}) {
    holdFailing("get_posters");
    holdFailing("get_category");
    auto page = makePage(pad);
    std::weak_ptr<MainViewBase> old = mainViewOf(page);
    ASSERT_TRUE(spinUntil([&] { return server_->heldCount() == 4; }));
    server_->clearOverrides();
    std::static_pointer_cast<TLMainPageVCBase>(page)->reloadPage();
    EXPECT_TRUE(old.expired());
    auto current = mainViewOf(page);
    ASSERT_TRUE(spinUntil([&] { return allReported(current); }));
    releaseAndSettle();
    EXPECT_EQ(alerts(), 0u) << pad;
    server_->clearLog();
  }
}

TEST_F(HomeControllerTest, TheTabletTurnsWithItsMainViewThePhoneDoesNot) {
  for (bool pad : {true, false}) {
    auto page = makePage(pad);
    auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
    window->setRootViewController(page);
    window->makeKeyAndVisible();
    auto view = mainViewOf(page);
    EXPECT_EQ(ui::simulateRotation(ui::InterfaceOrientation::landscapeRight), pad);
    window->layoutIfNeeded();
    if (pad) {
      EXPECT_EQ(view->scrollView()->frame().width(), 1024);
      EXPECT_EQ(view->slider()->frame().width(), 1024);
    } else {
      EXPECT_EQ(view->frame(), page->view()->frame());
    }
    window->resignKeyWindow();
    ASSERT_TRUE(spinUntil([&] { return allReported(view); }));
  }
}

// The tablet's rows settle where the layout puts them whether the category list is there before
// the page is first laid out or comes after it, and again after a reload.
TEST_F(HomeControllerTest, TabletRowsSettleInOnePlaceWhicheverComesFirst) {
  for (bool listFirst : {true, false}) {
    testsupport::writeCategoryList(listFirst ? std::vector<std::string>{"1", "2", "3"}
                                             : std::vector<std::string>{});
    auto page = makePage(true);
    auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
    window->setRootViewController(page);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    auto view = mainViewOf(page);
    for (int load = 0; load < 2; ++load) {
      if (!listFirst || load > 0) {
        testsupport::writeCategoryList({"1", "2", "3"});
        ns::NotificationCenter::defaultCenter()->postNotificationName("ReloadRubrikNotification");
      }
      ASSERT_TRUE(spinUntil([&] { return allReported(view); }));
      window->layoutIfNeeded();
      EXPECT_EQ(view->horizScrollViewNew()->frame().y(), 527) << listFirst << load;
      EXPECT_EQ(view->scrollView()->contentSize().height, 3 * 425 + 477 + 40) << listFirst << load;
    }
    window->resignKeyWindow();
  }
}

TEST_F(HomeControllerTest, PlayTapsOpenTheTitleOrCountAndOpenTheForeignLink) {
  for (bool pad : {true, false}) {
    auto page = makePage(pad);
    auto view = mainViewOf(page);
    auto slider = view->slider();
    testsupport::NotificationRecorder opened("TLOpenVideoItem");
    // The placeholder opens nothing.
    slider->willPlayMovie();
    ASSERT_TRUE(spinUntil([&] { return slider->isLoadedJSON(); }));
    // The tablet lays the list out and refills its pages a moment later.
    ASSERT_TRUE(spinUntil([&] { return slider->pageViews().size() > 2 && slider->pageViews()[2]; }));
    double w = slider->scrollView()->bounds().width();

    slider->scrollView()->setContentOffset({2 * w, 0});  // the second poster, a title
    ns::Value record = slider->filmList()[1];
    cg::Rect pages = slider->scrollView()->frame();
    auto hit = ui::tapAtPoint(slider, {w / 2, pages.y() + pages.height() / 2});
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::Button>(hit)) << "the poster is the play button";
    ASSERT_EQ(opened.objects.size(), 1u) << pad;
    const ns::Value& info = opened.objects[0];
    EXPECT_EQ(keysInOrder(info),
              (std::vector<std::string>{"description", "id", "parent_id", "title", "url"}));
    EXPECT_EQ(info["id"].intValue(), std::stoi(*record["id"].asString()));
    EXPECT_EQ(*info["url"].asString(), *record["url"].asString());
    EXPECT_EQ(*info["title"].asString(), *record["name"].asString());
    EXPECT_EQ(*info["parent_id"].asString(), "");

    // The fourth poster of the sample service advertises an outside page.
    slider->scrollView()->setContentOffset({4 * w, 0});
    ASSERT_TRUE(MainSliderBase::isForeignLink(slider->filmList()[3]));
    slider->willPlayMovie();
    EXPECT_EQ(opened.objects.size(), 1u);
    ASSERT_TRUE(spinUntil([&] { return requestsUnder("/counter/") == 1; }));
    EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(),
              std::vector<std::string>{server_->url("/promo/1")});
    testsupport::spinFor(0.2);
    EXPECT_EQ(requestsUnder("/counter/"), 1u);
    server_->clearLog();
  }
}

// Every picture of the home page a gigabyte of zeros in a megabyte of gzip: each is refused once
// its bound and one read of it are decoded, and the page settles with its stand-in pictures, tablet
// and phone alike.
TEST_F(HomePageTest, APageWhosePicturesAllInflatePastTheirBoundSettlesWithItsStandIns) {
  testsupport::LoopbackServer flood;
  flood.fallback([reply = testsupport::gzippedZerosReply("image/jpeg")](const testsupport::RecordedRequest&) {
    return reply;
  });
  for (bool pad : {true, false}) {
    SCOPED_TRACE(pad);
    server_->clearOverrides();
    testsupport::clearAppCaches();
    testsupport::writeCategoryList({"1", "2", "3"});
    server_->clearLog();
    {
      // Served well, the page shows its pictures.
      auto view = makeView(pad);
      ASSERT_TRUE(spinUntil([&] { return allReported(view); }));
      testsupport::awaitPosterRequestsEnded();
      ASSERT_TRUE(spinUntil([&] { return picturesShown(view).second > 0; }));
      if (pad) {
        EXPECT_TRUE(spinUntil([&] { return slidesShown(view) > 0; }));
      }
      // Each shown tile's poster is written in the background: wait for the files, or one written
      // after the caches are cleared below would show in the second load.
      EXPECT_TRUE(spinUntil([&] { return shownPostersWritten(view); }));
      // Every list asked for is in the log below, and no late write puts a poster back.
      EXPECT_TRUE(spinUntil(testsupport::nothingLoadingOrRunning));
    }
    // The same replies with every picture moved to the flood.
    std::map<std::string, std::size_t> replyLength;
    for (const auto& request : server_->requests()) {
      auto method = request.params.find("method");
      if (request.path != "/api/mobile" || method == request.params.end() || replyLength.count(request.query))
        continue;
      std::string body = fetchBody(server_->url(request.path + "?" + request.query));
      replaceAll(body, server_->url("/images/"), flood.url("/images/"));
      replaceAll(body, escapedSlashes(server_->url("/images/")), escapedSlashes(flood.url("/images/")));
      ASSERT_EQ(body.find(server_->url("/images/")), std::string::npos);
      replyLength[request.query] = body.size();
      sampleservice::Override moved;
      moved.body = body;
      moved.contentType = "application/json";
      server_->setOverride(request.path, method->second, request.params, moved);
    }
    testsupport::clearAppCaches();
    testsupport::writeCategoryList({"1", "2", "3"});
    server_->clearLog();
    std::size_t asked = flood.requestCount();
    std::int64_t before = ns::URLLoader::shared().decodedBodyBytes();
    auto view = makeView(pad);
    ASSERT_TRUE(spinUntil([&] { return allReported(view); }));
    testsupport::awaitPosterRequestsEnded();
    auto pictures = static_cast<std::int64_t>(flood.requestCount() - asked);
    EXPECT_GT(pictures, 0);
    std::int64_t replies = 0;
    for (const auto& request : server_->requests())
      if (auto it = replyLength.find(request.query); it != replyLength.end())
        replies += static_cast<std::int64_t>(it->second);
    EXPECT_LE(ns::URLLoader::shared().decodedBodyBytes() - before,
              replies + pictures * (cg::Image::kMostLengthOfNone + ns::URLLoader::kReadBytes))
        << "a body that starts as no picture is refused where it starts";
    auto [tiles, shown] = picturesShown(view);
    EXPECT_GT(tiles, 0u);
    EXPECT_EQ(shown, 0u);
    EXPECT_EQ(slidesShown(view), 0u);
    EXPECT_FALSE(view->reloadButton()->isAnimating());
  }
  server_->clearOverrides();
}

}  // namespace
