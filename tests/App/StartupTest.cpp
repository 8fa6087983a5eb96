#include <gtest/gtest.h>
#include <malloc.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Analytics/Library/MAI.h"
#include "Analytics/Library/MAIUncaughtExceptionHandler.h"
#include "App/AppDelegate.h"
#include "Classes/HomeTestSupport.h"
#include "Classes/MainPage/MainViewBase.h"
#include "Classes/MainPage/RubricTileInfo.h"
#include "Classes/MainPage/TLRubricScrollViewBase.h"
#include "Classes/TLSettings.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/PropertyList.h"
#include "UIKit/ApplicationMain.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"
#include "UIKit/SystemNotifications.h"
#include "UIKit/ViewDump.h"
#include "support/LogCapture.h"

namespace {

struct IdiomCase {
  const char* name;
  ui::DeviceProfile profile;
  bool pad;
};

ui::DeviceProfile silentDevice() {
  ui::DeviceProfile profile = ui::DeviceProfile::tablet();
  profile.answersIdiom = false;
  return profile;
}

// A launch on each idiom answer, against the sample service, with what analytics is asked
// recorded as it happens.
class StartupTest : public testsupport::HomeServiceSuite, public ::testing::WithParamInterface<IdiomCase> {
 protected:
  void SetUp() override {
    HomeServiceSuite::SetUp();
    previousProfile_ = ui::Device::setProfile(GetParam().profile);
    ui::Application::sharedApplication()->reset();
    ui::AlertView::dismissAll();
    auto mai = MAI::sharedInstance();
    mai->reset();
    MAIUninstallUncaughtExceptionHandler();
    // Each launch starts from an empty hit store: earlier tests' hits are not this one's.
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::filesystem::remove(*MAI::dataStorePath() + suffix);
    defaultFactory_ = mai->trackerImplClass();
    mai->setTrackerImplClass([this](const MAIDispatcherPtr& dispatcher, const std::string& trackingId,
                                    const std::string& appName,
                                    const std::optional<std::string>& appVersion) {
      auto key = ui::Window::keyWindow();
      trackers_.push_back({trackingId, ns::getUncaughtExceptionHandler() == MAIUncaughtExceptionHandler,
                           dispatcher ? dispatcher->dispatchInterval() : 0,
                           key && !key->rootViewController()});
      return defaultFactory_(dispatcher, trackingId, appName, appVersion);
    });
  }
  void TearDown() override {
    HomeServiceSuite::TearDown();
    if (delegate_ && delegate_->window()) delegate_->window()->resignKeyWindow();
    delegate_.reset();
    auto mai = MAI::sharedInstance();
    mai->setTrackerImplClass(defaultFactory_);
    mai->reset();
    MAIUninstallUncaughtExceptionHandler();
    ui::AlertView::dismissAll();
    ui::Application::sharedApplication()->reset();
    ui::Device::setProfile(previousProfile_);
  }

  struct TrackerMade {
    std::string trackingId;
    bool exceptionsTracked;
    double dispatchInterval;
    bool beforeHomePage;
  };
  std::vector<TrackerMade> trackers_;
  std::shared_ptr<AppDelegate> delegate_;

  // The main view of the launched window's first page, or null.
  std::shared_ptr<MainViewBase> homeView() const {
    auto navigation =
        std::dynamic_pointer_cast<ui::NavigationController>(delegate_->window()->rootViewController());
    if (!navigation) return nullptr;
    for (const auto& v : navigation->viewControllers().front()->view()->subviews())
      if (auto m = std::dynamic_pointer_cast<MainViewBase>(v)) return m;
    return nullptr;
  }

 private:
  ui::DeviceProfile previousProfile_;
  MAITrackerFactory defaultFactory_;
};

TEST_P(StartupTest, LaunchShowsTheDevicesHomePageInItsMenuControllerAndConfiguresAnalytics) {
  const bool pad = GetParam().pad;
  EXPECT_EQ(pad, isPad());
  TLSettings::addRefreshMainPageFlag();  // a start after a failed category list
  bool keyWithoutRoot = false;
  int becameKey = 0;
  auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
      ui::kWindowDidBecomeKeyNotification, {}, [&](const ns::Notification& n) {
        auto window = std::dynamic_pointer_cast<ui::Window>(n.object.asObject());
        ++becameKey;
        keyWithoutRoot = window && !window->rootViewController();
      });

  delegate_ = std::make_shared<AppDelegate>();
  auto application = ui::Application::sharedApplication();
  EXPECT_TRUE(delegate_->applicationDidFinishLaunchingWithOptions(application, ns::Value()));
  ns::NotificationCenter::defaultCenter()->removeObserver(token);

  auto window = delegate_->window();
  ASSERT_TRUE(window);
  EXPECT_EQ(1, becameKey);
  EXPECT_TRUE(keyWithoutRoot) << "the window is made key before it has a root";
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_FALSE(window->isHidden());
  EXPECT_EQ(ui::Color::whiteColor().describe(), ui::describeColor(window->backgroundColor()));
  EXPECT_EQ(cg::describe(ui::Screen::mainScreen()->bounds()), cg::describe(window->frame()));

  auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(window->rootViewController());
  ASSERT_TRUE(navigation);
  EXPECT_EQ(pad ? "TLMenuNavigationController" : "TLMenuNavigationController_iphone",
            navigation->className());
  ASSERT_EQ(1u, navigation->viewControllers().size());
  EXPECT_EQ(pad ? "TLMainPageVC" : "TLMainPageVC_iphone", navigation->viewControllers().front()->className());

  EXPECT_EQ(pad ? ui::StatusBarStyle::defaultStyle : ui::StatusBarStyle::blackOpaque,
            application->statusBarStyle());
  EXPECT_FALSE(TLSettings::isMainPageNeedUpdate());

  // Exceptions tracked and the interval set before the one tracker is made.
  ASSERT_EQ(1u, trackers_.size());
  EXPECT_EQ(AppDelegate::kTrackingId, trackers_[0].trackingId);
  EXPECT_TRUE(trackers_[0].exceptionsTracked);
  EXPECT_EQ(20.0, trackers_[0].dispatchInterval);
  // The home page reports its screen when its view loads: the tracker must be there by then.
  EXPECT_TRUE(trackers_[0].beforeHomePage);
  EXPECT_TRUE(MAI::sharedInstance()->trackUncaughtExceptions());
  EXPECT_TRUE(MAI::sharedInstance()->defaultTracker());
}

TEST_P(StartupTest, TheHomeScreenViewReachesTheCollectionServiceOnceTheDispatchIntervalHasPassed) {
  ns::ManualClock clock;
  testsupport::ServiceHostOverride unused(server_->hostAndPort().c_str());
  const char* previous = getenv("VCC_COLLECT_URL");
  std::optional<std::string> kept = previous ? std::optional<std::string>(previous) : std::nullopt;
  setenv("VCC_COLLECT_URL", server_->url("/collect").c_str(), 1);

  delegate_ = std::make_shared<AppDelegate>();
  ASSERT_TRUE(
      delegate_->applicationDidFinishLaunchingWithOptions(ui::Application::sharedApplication(), ns::Value()));
  auto dispatcher = MAI::sharedInstance()->dispatcher();
  ASSERT_TRUE(dispatcher);
  ASSERT_TRUE(testsupport::spinUntil(
      [&] { return dispatcher->dataStore()->hitCount(nullptr) >= 1 && dispatcher->hasTimer(); }));
  auto homeScreenViews = [&] {
    std::size_t n = 0;
    for (const auto& hit : server_->collectedHits()) {
      auto at = [&](const char* key) { return hit.parameters.count(key) ? hit.parameters.at(key) : ""; };
      n += at("t") == "appview" && at("cd") == "Home Screen" && at("tid") == AppDelegate::kTrackingId;
    }
    return n;
  };
  clock.advance(19);
  EXPECT_EQ(0u, homeScreenViews()) << "nothing goes before the dispatch interval";
  clock.advance(1);
  EXPECT_TRUE(testsupport::spinUntil([&] { return homeScreenViews() == 1; }));

  if (kept)
    setenv("VCC_COLLECT_URL", kept->c_str(), 1);
  else
    unsetenv("VCC_COLLECT_URL");
}

// A start after a run that stored a flood of categories and was killed while writing two cache
// files: the start cuts the list and clears the leftovers before the home page reads the caches,
// so the page has rows for the first categories only, and the good service's list then replaces
// them.
TEST_P(StartupTest, AStartAfterAHostileRunBuildsRowsForTheFirstCategoriesAndTidiesTheCaches) {
  namespace fs = std::filesystem;
  ns::Array flood;
  for (int i = 0; i < 20000; ++i)
    flood.push_back(ns::Dictionary{{"id", std::to_string(1000 + i)}, {"title", "к"}, {"url", ""}});
  ASSERT_TRUE(ns::writePropertyListToFile(ns::Value(flood), TLSettings::cashedCategoriesFile()));
  auto leftover = [](const std::string& path, bool old) {
    std::ofstream(path) << "half a poster";
    if (old) fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    return path;
  };
  std::string stale = leftover(TLSettings::postersPath() + "/.12.png.Ab12Cd", true);
  std::string running = leftover(TLSettings::postersPath() + "/.13.png.Ef34Gh", false);
  // The categories are empty, and the service's own list comes only when the test lets it.
  sampleservice::Override empty;
  empty.body = R"({"title": "К", "items": []})";
  server_->setOverride("/api/mobile", "get_category", empty);
  sampleservice::Override later;
  later.held = true;
  server_->setOverride("/api/mobile", "get_categories", later);

  delegate_ = std::make_shared<AppDelegate>();
  ASSERT_TRUE(
      delegate_->applicationDidFinishLaunchingWithOptions(ui::Application::sharedApplication(), ns::Value()));
  auto cached = ns::arrayWithContentsOfFile(TLSettings::cashedCategoriesFile());
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->size(), TLSettings::kMaxCachedCategories);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(running));

  // The category list's reply rebuilds the rows of this main view.
  auto view = homeView();
  ASSERT_TRUE(view);
  auto rows = [&] { return view->horizScrollViewNew()->subviews().size(); };
  EXPECT_EQ(rows(), TLSettings::kMaxCachedCategories);
  ASSERT_TRUE(testsupport::spinUntil([&] { return view->elementsCountForParse() <= 0; }));
  EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());

  server_->clearOverrides();
  server_->releaseHeld();
  ASSERT_TRUE(testsupport::spinUntil([&] {
    return rows() == server_->catalogue().categories().size() && view->elementsCountForParse() <= 0;
  }));
  fs::remove(running);
}

// A list file left by a hostile reply holds category ids of a megabyte each: every start, until a
// good list replaces the file, logs a few kilobytes however long the ids are.
TEST_P(StartupTest, CachedCategoryIdsOfAMegabyteLogAFewKilobytesAStart) {
  ns::Array list;
  for (char letter : {'a', 'b', 'c', 'd'})
    list.push_back(ns::Dictionary{{"id", std::string(1 << 20, letter)}, {"title", "к"}, {"url", ""}});
  list.push_back(ns::Dictionary{{"id", "1"}, {"title", "Фильмы"}, {"url", ""}});
  ASSERT_TRUE(ns::writePropertyListToFile(ns::Value(list), TLSettings::cashedCategoriesFile()));
  sampleservice::Override failing;
  failing.status = 503;
  server_->setOverride("/api/mobile", "get_categories", failing);

  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start ? "second start" : "first start");
    testsupport::LogCapture logs;
    delegate_ = std::make_shared<AppDelegate>();
    ASSERT_TRUE(delegate_->applicationDidFinishLaunchingWithOptions(ui::Application::sharedApplication(),
                                                                    ns::Value()));
    auto view = homeView();
    ASSERT_TRUE(view);
    ASSERT_TRUE(testsupport::spinUntil([&] {
      return server_->requestsFor("get_categories").size() == std::size_t(start + 1) &&
             view->elementsCountForParse() <= 0;
    }));
    testsupport::awaitRequestsEnded();
    EXPECT_EQ(view->horizScrollViewNew()->subviews().size(), 1u) << "a row for the decimal id alone";
    std::size_t bytes = 0;
    for (const auto& line : logs.lines()) bytes += line.size();
    EXPECT_LE(bytes, 4096u);
    EXPECT_TRUE(logs.contains("Skipping 4 cached categories"));
    EXPECT_EQ(ns::arrayWithContentsOfFile(TLSettings::cashedCategoriesFile()), list) << "the file stays";
    ui::AlertView::dismissAll();
    delegate_->window()->resignKeyWindow();
    delegate_.reset();
  }
}

// A category reply of about 11 MB: both groups hold far more titles than a row keeps, each as
// small as a title can be, so that the decoded reply is many times the size of its text.
// Only the start whose memory is measured needs replies that large; elsewhere a tenth of it
// shows the rows as well.
std::string largeCategoryReply(bool measured) {
  const std::size_t kLength = measured && !testsupport::kSanitized ? 11'000'000 : 1'100'000;
  std::string item = R"({"id":"1001"})";
  std::string group = testsupport::generatedList(kLength / 2 / (item.size() + 1), item);
  return R"({"title": "Кино", "items": [{"items": []}, )" + group + ", " + group + "]}";
}

// The service lists each of its categories ten times over, and each category's reply is 11 MB: the
// home page has one row a category, each keeping a row's tiles, and the decoded replies cost about
// one at a time, not all at once. The next start builds the same rows from the list it stored.
// The memory is measured on the tablet's first start: the other idioms and starts read the same
// replies the same way, and a tenth of their size keeps the test quick on a loaded machine.
TEST_P(StartupTest, RepeatedCategoriesMakeOneRowEachAndLargeRepliesAreHeldOneAtATime) {
  const auto& categories = server_->catalogue().categories();
  std::vector<std::string> ids;
  for (int round = 0; round < 10; ++round)
    for (const auto& category : categories) ids.push_back(category.id);
  std::string list = R"({"items": [)";
  for (std::size_t i = 0; i < ids.size(); ++i)
    list += (i ? ", " : "") + ns::format(R"({"id": "%@", "title": "К %@", "url": ""})", ids[i], ids[i]);
  sampleservice::Override repeated;
  repeated.body = list + "]}";
  repeated.contentType = "application/json";
  server_->setOverride("/api/mobile", "get_categories", repeated);
  sampleservice::Override large;
  large.contentType = "application/json";

  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start ? "second start" : "first start");
    const bool measured = start == 0 && GetParam().pad;
    large.body = largeCategoryReply(measured);
    server_->setOverride("/api/mobile", "get_category", large);
    // Memory freed by earlier tests goes back first, so that what this start takes shows.
    malloc_trim(0);
    testsupport::PeakMemoryGrowth memory;
    delegate_ = std::make_shared<AppDelegate>();
    ASSERT_TRUE(delegate_->applicationDidFinishLaunchingWithOptions(ui::Application::sharedApplication(),
                                                                    ns::Value()));
    auto view = homeView();
    ASSERT_TRUE(view);
    auto rows = [&] { return view->horizScrollViewNew()->subviews(); };
    auto allFilled = [&] {
      if (rows().size() != categories.size()) return false;
      for (const auto& row : rows()) {
        auto filled = std::dynamic_pointer_cast<TLRubricScrollViewBase>(row);
        if (!filled || filled->filmsArray().empty()) return false;
      }
      return true;
    };
    ASSERT_TRUE(testsupport::spinUntil([&] {
      return server_->requestsFor("get_categories").size() == std::size_t(start + 1) && allFilled();
    }));
    testsupport::awaitRequestsEnded();
    for (const auto& row : rows()) {
      auto loaded = std::dynamic_pointer_cast<TLRubricScrollViewBase>(row);
      ASSERT_TRUE(loaded);
      EXPECT_EQ(loaded->filmsArray().size(), RubricTileInfo::kMaxCategoryTiles);
    }
    auto stored = TLSettings::cachedCategories();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), categories.size());
    // Every decoded reply at once would take about a gigabyte. (The second start's rows are made
    // twice, from the stored list and again from the reply, and the first ones' replies still come.)
    if (measured && !testsupport::kSanitized) {
      EXPECT_LT(memory.megabytes(), 800);
    }
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    delegate_->window()->resignKeyWindow();
    delegate_.reset();
  }
}

INSTANTIATE_TEST_SUITE_P(Idioms, StartupTest,
                         ::testing::Values(IdiomCase{"Pad", ui::DeviceProfile::tablet(), true},
                                           IdiomCase{"Phone", ui::DeviceProfile::phone(), false},
                                           IdiomCase{"NoIdiomAnswer", silentDevice(), false}),
                         [](const auto& p) { return std::string(p.param.name); });

// Records what the platform tells an application delegate, and the notifications posted with it.
std::vector<std::string>& lifeEvents() {
  static std::vector<std::string> events;
  return events;
}

class RecordingDelegate : public ui::Responder, public ui::ApplicationDelegate {
 public:
  static inline bool launches = true;
  static inline int exitCode = 0;
  bool applicationDidFinishLaunchingWithOptions(const std::shared_ptr<ui::Application>&,
                                                const ns::Value&) override {
    lifeEvents().push_back("launch");
    // The user leaves the application and comes back before it ends.
    if (launches)
      ns::RunLoop::mainRunLoop()->performBlock([] {
        ui::moveApplicationToState(ui::ApplicationState::background);
        ui::moveApplicationToState(ui::ApplicationState::active);
        ui::applicationExit(exitCode);
      });
    return launches;
  }
  void applicationWillResignActive(const std::shared_ptr<ui::Application>&) override {
    lifeEvents().push_back("resign");
  }
  void applicationDidEnterBackground(const std::shared_ptr<ui::Application>&) override {
    lifeEvents().push_back("background");
  }
  void applicationWillEnterForeground(const std::shared_ptr<ui::Application>&) override {
    lifeEvents().push_back("foreground");
  }
  void applicationDidBecomeActive(const std::shared_ptr<ui::Application>&) override {
    lifeEvents().push_back("active");
  }
  void applicationWillTerminate(const std::shared_ptr<ui::Application>&) override {
    lifeEvents().push_back("terminate");
  }
};

class ApplicationMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::Application::sharedApplication()->reset();
    lifeEvents().clear();
    RecordingDelegate::launches = true;
    RecordingDelegate::exitCode = 0;
    for (const char* name :
         {ui::kApplicationDidBecomeActiveNotification, ui::kApplicationWillResignActiveNotification,
          ui::kApplicationDidEnterBackgroundNotification, ui::kApplicationWillEnterForegroundNotification,
          ui::kApplicationWillTerminateNotification})
      tokens_.push_back(ns::NotificationCenter::defaultCenter()->addObserverForName(
          name, {}, [](const ns::Notification& n) { lifeEvents().push_back(n.name); }));
  }
  void TearDown() override {
    for (auto& token : tokens_) ns::NotificationCenter::defaultCenter()->removeObserver(token);
    ui::Application::sharedApplication()->reset();
  }
  static std::string registered() {
    return ns::ClassRegistry::shared().registerClassIfNeeded<RecordingDelegate>();
  }
  std::vector<std::shared_ptr<ns::Object>> tokens_;
};

TEST_F(ApplicationMainTest, RunsTheDelegateThroughItsLifeAndReturnsTheExitCode) {
  RecordingDelegate::exitCode = 3;
  char program[] = "vcc";
  char* argv[] = {program, nullptr};
  EXPECT_EQ(3, ui::applicationMain(1, argv, "", registered()));
  const std::vector<std::string> active = {"active", ui::kApplicationDidBecomeActiveNotification};
  const std::vector<std::string> leave = {"resign", ui::kApplicationWillResignActiveNotification,
                                          "background", ui::kApplicationDidEnterBackgroundNotification};
  std::vector<std::string> expected = {"launch"};
  for (const auto* part : {&active, &leave}) expected.insert(expected.end(), part->begin(), part->end());
  expected.insert(expected.end(), {"foreground", ui::kApplicationWillEnterForegroundNotification});
  for (const auto* part : {&active, &leave}) expected.insert(expected.end(), part->begin(), part->end());
  expected.insert(expected.end(), {"terminate", ui::kApplicationWillTerminateNotification});
  EXPECT_EQ(expected, lifeEvents());
  EXPECT_FALSE(ui::applicationDelegate()) << "the delegate goes with the run";
}

TEST_F(ApplicationMainTest, RefusesUnknownClassesAndAFailedLaunch) {
  char program[] = "vcc";
  char* argv[] = {program, nullptr};
  EXPECT_EQ(1, ui::applicationMain(1, argv, "", "NoSuchDelegate"));
  EXPECT_EQ(1, ui::applicationMain(1, argv, "NoSuchApplication", registered()));
  EXPECT_TRUE(lifeEvents().empty());
  RecordingDelegate::launches = false;
  EXPECT_EQ(1, ui::applicationMain(1, argv, "", registered()));
  EXPECT_EQ(std::vector<std::string>{"launch"}, lifeEvents()) << "a refused launch never becomes active";
}

}  // namespace
