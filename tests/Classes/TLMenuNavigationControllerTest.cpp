// The menu navigation controllers against the sample service and the real category list file:
// loading the list (and its failures), routing the notifications to pages, the menu's choices and
// searches, the credits, memory warnings and rotation.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "Classes/CategoryPage/TLSCategoryVC.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/Navigation/TLMenuNavigationController.h"
#include "Classes/SearchPage/TLSSearchVC.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitleActorViewController.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Classes/iphone/CategoryPage/TLSCategoryVC_iphone.h"
#include "Classes/iphone/Navigation/TLMenuNavigationController_iphone.h"
#include "Classes/iphone/SearchPage/TLSSearchVC_iphone.h"
#include "Classes/iphone/TitlePage/TitlePageViewController_iphone.h"
#include "Foundation/Clock.h"
#include "Foundation/FileManager.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NTNetworking/NTNetworkActivityIndicatorManager.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "ServiceHostOverride.h"
#include "UIKit/AlertView.h"
#include "UIKit/Label.h"
#include "UIKit/TouchSimulation.h"
#include "support/CaseName.h"
#include "support/LogCapture.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace {

using Log = std::vector<std::string>;
using Stack = ui::NavigationController::Stack;
using Transition = ui::NavigationController::Transition;

// The home page's stand-in: it hears the menu hooks.
class HomePage : public testsupport::ProbeController, public TLMenuHooks {
 public:
  using ProbeController::ProbeController;
  void willShowTLNavigationMenu() override { note("willShowMenu"); }
  void didShowTLNavigationMenu() override { note("didShowMenu"); }
  void willHideTLNavigationMenu() override { note("willHideMenu"); }
  void didHideTLNavigationMenu() override { note("didHideMenu"); }
};

std::vector<std::string> titlesOf(const ns::Array& items) {
  std::vector<std::string> titles;
  for (const auto& item : items) titles.push_back(TLSettings::stringFromObject(item["title"]));
  return titles;
}

void post(const std::string& name, ns::Value object = {}) {
  ns::NotificationCenter::defaultCenter()->postNotificationName(name, std::move(object));
}

class TLMenuNavigationControllerTest : public testsupport::SampleServiceSuite {
 protected:
  void SetUp() override {
    SampleServiceSuite::SetUp();
    // Counts every request from now on, so that the test can wait for its own to end.
    NTNetworkActivityIndicatorManager::sharedManager();
    host_ = std::make_unique<testsupport::ServiceHostOverride>(server_->hostAndPort().c_str());
    ns::FileManager::defaultManager()->removeItemAtPath(TLSettings::cashedCategoriesFile());
    TLSettings::removeRefreshMainPageFlag();
    rubrikToken_ = ns::NotificationCenter::defaultCenter()->addObserverForName(
        "ReloadRubrikNotification", {}, [this](const ns::Notification&) {
          rubrikPostsWithFile_.push_back(
              ns::FileManager::defaultManager()->fileExistsAtPath(TLSettings::cashedCategoriesFile()));
        });
  }
  void TearDown() override {
    awaitRequestsEnded();
    ns::NotificationCenter::defaultCenter()->removeObserver(rubrikToken_);
    nav_.reset();
    home_.reset();
    window_.reset();
    screen_.reset();
    host_.reset();
  }

  // Builds the window as the application does: made key first, then given the controller.
  void start(bool phone = false) {
    screen_ = std::make_unique<testsupport::ScreenScope>(phone ? ui::DeviceProfile::phone()
                                                               : ui::DeviceProfile::tablet());
    auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
    window->makeKeyAndVisible();
    home_ = std::make_shared<HomePage>("home", log_);
    home_->init();
    if (phone)
      nav_ = std::make_shared<TLMenuNavigationController_iphone>()->initWithRootViewController(home_);
    else
      nav_ = std::make_shared<TLMenuNavigationController>()->initWithRootViewController(home_);
    window->setRootViewController(nav_);
    window_ = window;
  }
  // The pages drop their replies, but no request may outlive the test: the process ends with it.
  // Once every request has finished, a call through the queue their completions run on comes back
  // after the last of them.
  static void awaitRequestsEnded() {
    auto manager = NTNetworkActivityIndicatorManager::sharedManager();
    ASSERT_TRUE(testsupport::spinUntil([&] { return manager->activityCount() == 0; }));
    auto drained = std::make_shared<bool>(false);
    dispatch::async(NTJSONRequestOperation::processingQueue(),
                    [drained] { dispatch::async(dispatch::mainQueue(), [drained] { *drained = true; }); });
    ASSERT_TRUE(testsupport::spinUntil([&] { return *drained; }));
  }
  // Waits for the category list request under way: every load sets or clears the refresh flag,
  // so the flag is put the other way first.
  void awaitLoad(bool expectSuccess) {
    ASSERT_TRUE(testsupport::spinUntil([&] { return TLSettings::isMainPageNeedUpdate() != expectSuccess; }));
  }
  void startAndLoad(bool phone = false) {
    TLSettings::addRefreshMainPageFlag();
    start(phone);
    awaitLoad(true);
    rubrikPostsWithFile_.clear();
  }
  std::vector<std::string> menuTitles() const { return titlesOf(nav_->navigationMenu()->items()); }
  static std::optional<ns::Array> cachedList() {
    return ns::arrayWithContentsOfFile(TLSettings::cashedCategoriesFile());
  }
  // Serves the category list as given, reloads the menu and waits for the reply to be taken.
  void reloadCategoriesFrom(std::string json) {
    sampleservice::Override reply;
    reply.body = std::move(json);
    server_->setOverride("/api/mobile", "get_categories", reply);
    TLSettings::addRefreshMainPageFlag();
    post("TLMenuItemsReload");
    ASSERT_TRUE(testsupport::spinUntil([&] { return !TLSettings::isMainPageNeedUpdate(); }));
  }
  std::vector<std::string> stackClasses() const {
    std::vector<std::string> names;
    for (const auto& page : nav_->viewControllers()) names.push_back(page->className());
    return names;
  }
  std::optional<int> selectedMenuRow() const {
    auto path = nav_->navigationMenu()->menuTable()->indexPathForSelectedRow();
    return path ? std::optional<int>(path->row()) : std::nullopt;
  }
  static std::string pageTitleText(const std::shared_ptr<ui::ViewController>& page) {
    if (auto category = std::dynamic_pointer_cast<TLSCategoryVC>(page)) {
      page->view();
      return category->titleLabel() ? category->titleLabel()->text() : "";
    }
    if (auto phoneCategory = std::dynamic_pointer_cast<TLSCategoryVC_iphone>(page)) {
      page->view();
      return phoneCategory->titleLabel() ? phoneCategory->titleLabel()->text() : "";
    }
    if (auto title = std::dynamic_pointer_cast<TitlePageViewController>(page)) {
      page->view();
      return title->toolbarLabel() ? title->toolbarLabel()->text() : "";
    }
    for (const auto& v : page->view()->subviews())
      if (auto label = std::dynamic_pointer_cast<ui::Label>(v)) return label->text();
    return "";
  }
  std::unique_ptr<testsupport::ServiceHostOverride> host_;
  std::unique_ptr<testsupport::ScreenScope> screen_;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<Log> log_ = std::make_shared<Log>();
  std::shared_ptr<HomePage> home_;
  std::shared_ptr<TLMenuNavigationController> nav_;
  std::shared_ptr<ns::Object> rubrikToken_;
  // One entry per "ReloadRubrikNotification": whether the list file existed when it came.
  std::vector<bool> rubrikPostsWithFile_;
};

TEST_F(TLMenuNavigationControllerTest, AnOfflineStartShowsTheHomeEntryUntilAReloadFillsTheMenu) {
  testsupport::ServiceHostOverride offline("127.0.0.1:1");
  start();
  EXPECT_EQ(menuTitles(), Log{"Главная"});
  EXPECT_EQ(selectedMenuRow(), 0);
  awaitLoad(false);
  EXPECT_EQ(menuTitles(), Log{"Главная"});
  EXPECT_TRUE(rubrikPostsWithFile_.empty())
      << "the home page is loading already: the start-up failure posts nothing";
  EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
  EXPECT_FALSE(cachedList());

  setenv("VCC_SERVICE_HOST", server_->hostAndPort().c_str(), 1);
  post("TLMenuItemsReload");
  awaitLoad(true);
  auto titles = menuTitles();
  ASSERT_EQ(titles.size(), 11u);
  EXPECT_EQ(titles[0], "Главная");
  EXPECT_EQ(titles[1], "Фильмы");
  auto file = cachedList();
  ASSERT_TRUE(file);
  EXPECT_EQ(titlesOf(*file), std::vector(titles.begin() + 1, titles.end()))
      << "the home entry is never saved";
  EXPECT_EQ(TLSettings::stringFromObject((*file)[0]["id"]), "1");
  EXPECT_FALSE(TLSettings::stringFromObject((*file)[0]["url"]).empty());
  EXPECT_EQ(rubrikPostsWithFile_, std::vector<bool>{true}) << "posted once, after the file was written";
  EXPECT_EQ(selectedMenuRow(), 0);
}

struct ReplyCase {
  const char* name;
  sampleservice::Override reply;
  // The categories the menu shows below the home entry afterwards; none when the load fails (the
  // cached list stays, and the menu shows it).
  std::optional<std::vector<std::string>> titles;
  std::function<void(const ns::Array& file)> checkFile;
};

sampleservice::Override body(std::string json) {
  sampleservice::Override o;
  o.body = std::move(json);
  return o;
}

const ReplyCase kReplyCases[] = {
    {"server error",
     [] {
       sampleservice::Override o;
       o.status = 500;
       return o;
     }(),
     std::nullopt, nullptr},
    {"wrong content type",
     [] {
       auto o = body(R"({"items": []})");
       o.contentType = "text/html";
       return o;
     }(),
     std::nullopt, nullptr},
    {"invalid JSON", body(R"({"items": [)"), std::nullopt, nullptr},
    {"an array, not an object", body("[]"), std::nullopt, nullptr},
    {"no items", body("{}"), std::nullopt, nullptr},
    {"items not a list", body(R"({"items": {"id": "1"}})"), std::nullopt, nullptr},
    {"elements that are no objects are skipped",
     body(R"({"items": [{"id": "7", "title": "А", "url": "u"}, 5, "x", null, {"id": "8", "title": "Б"}]})"),
     std::vector<std::string>{"А", "Б"},
     [](const ns::Array& file) {
       ASSERT_EQ(file.size(), 2u);
       EXPECT_EQ(file[1], ns::Value(ns::Dictionary{{"id", "8"}, {"title", "Б"}, {"url", ""}}));
     }},
    // The two ids that read as "" are one id: the second entry is a repeat.
    {"a numeric id is stored as its digits, other values empty",
     body(R"({"items": [{"id": 9, "title": 10, "url": "u", "order": 3}, {"id": 9.5}, {"id": [1]}]})"),
     std::vector<std::string>{"", ""},
     [](const ns::Array& file) {
       ASSERT_EQ(file.size(), 2u);
       EXPECT_EQ(file.at(0),
                 ns::Value(ns::Dictionary{{"id", "9"}, {"title", ""}, {"url", "u"}, {"order", 3}}));
       EXPECT_EQ(file.at(1)["id"], ns::Value(""));
       EXPECT_EQ(TLSettings::getCategoriesURL().size(), 1u) << "the category with a number is loaded";
     }},
    {"numeric ids past 32 bits stay apart",
     body(R"({"items": [{"id": 3000000000, "title": "А"}, {"id": 3000000001, "title": "Б"}]})"),
     std::vector<std::string>{"А", "Б"},
     [](const ns::Array& file) {
       ASSERT_EQ(file.size(), 2u);
       EXPECT_EQ(file[0]["id"], ns::Value("3000000000"));
       EXPECT_EQ(file[1]["id"], ns::Value("3000000001"));
       auto urls = TLSettings::getCategoriesURL();
       ASSERT_EQ(urls.size(), 2u);
       EXPECT_NE(urls[1].absoluteString().find("category_id=3000000001&"), std::string::npos);
     }},
    {"nulls in further keys are left out",
     body(R"({"items": [{"id": "3", "title": "Т", "url": "u", "extra": null,
                         "nested": {"a": null, "b": [1, null, {"c": null}]}}]})"),
     std::vector<std::string>{"Т"},
     [](const ns::Array& file) {
       ns::Value nested = ns::Dictionary{{"b", ns::Array{1, ns::Dictionary{}}}};
       EXPECT_EQ(file.at(0),
                 ns::Value(ns::Dictionary{{"id", "3"}, {"title", "Т"}, {"url", "u"}, {"nested", nested}}));
     }},
    {"a repeated id keeps its first entry",
     body(R"({"items": [{"id": "7", "title": "А"}, {"id": "8", "title": "Б"}, {"id": "7", "title": "В"}]})"),
     std::vector<std::string>{"А", "Б"},
     [](const ns::Array& file) {
       ASSERT_EQ(file.size(), 2u);
       EXPECT_EQ(file[0]["title"], ns::Value("А"));
       EXPECT_EQ(TLSettings::getCategoriesURL().size(), 2u);
     }},
    {"an explicit empty list empties the menu", body(R"({"items": []})"), std::vector<std::string>{},
     [](const ns::Array& file) { EXPECT_TRUE(file.empty()); }},
};

class ReplyShapeTest : public TLMenuNavigationControllerTest,
                       public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyShapeTest, AReloadSavesAGoodListAndOtherwiseKeepsTheCachedOne) {
  const ReplyCase& c = GetParam();
  startAndLoad();
  auto before = cachedList();
  ASSERT_TRUE(before);
  ASSERT_EQ(before->size(), 10u);
  server_->setOverride("/api/mobile", "get_categories", c.reply);
  testsupport::LogCapture logs;
  bool success = c.titles.has_value();
  if (success)
    TLSettings::addRefreshMainPageFlag();
  else
    TLSettings::removeRefreshMainPageFlag();
  post("TLMenuItemsReload");
  awaitLoad(success);
  auto titles = menuTitles();
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles[0], "Главная");
  auto after = cachedList();
  ASSERT_TRUE(after);
  if (success) {
    EXPECT_EQ(std::vector(titles.begin() + 1, titles.end()), *c.titles);
    if (c.checkFile) c.checkFile(*after);
  } else {
    EXPECT_EQ(*after, *before) << "the cached list stays";
    EXPECT_EQ(std::vector(titles.begin() + 1, titles.end()), titlesOf(*before)) << "and the menu shows it";
  }
  // Either way the home page hears of the end of the load its reload button started.
  EXPECT_EQ(rubrikPostsWithFile_, std::vector<bool>{true});
  EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyShapeTest, ::testing::ValuesIn(kReplyCases), testsupport::CaseName());

// A reply of fifty thousand categories costs what the first hundred do: only they are stored, so no
// later start reads the rest, and only they are in the menu.
TEST_F(TLMenuNavigationControllerTest, AFloodOfCategoriesIsCutBeforeItIsStored) {
  startAndLoad();
  std::string json = R"({"items": [)";
  for (int i = 0; i < 50000; ++i) json += (i ? ",{\"id\": \"" : "{\"id\": \"") + std::to_string(i) + "\"}";
  json += "]}";
  testsupport::LogCapture logs;
  ASSERT_NO_FATAL_FAILURE(reloadCategoriesFrom(std::move(json)));
  auto file = cachedList();
  ASSERT_TRUE(file);
  const std::size_t kMax = TLSettings::kMaxCachedCategories;
  ASSERT_EQ(file->size(), kMax);
  EXPECT_EQ(file->back()["id"], ns::Value(std::to_string(kMax - 1)));
  EXPECT_EQ(menuTitles().size(), kMax + 1);
  EXPECT_EQ(TLSettings::getCategoriesURL().size(), kMax);
  EXPECT_TRUE(logs.contains("more than 100 categories"));
}

// A reply of a million entries that are no objects, and of a category listed a hundred thousand
// times, stores the one category, and says what it left out in a line each.
TEST_F(TLMenuNavigationControllerTest, EntriesLeftOutAreLoggedOnceWithTheirCount) {
  startAndLoad();
  std::string json = R"({"items": [{"id": "5", "title": "Пятая"})";
  json.reserve(3'000'000);
  for (int i = 0; i < 1'000'000; ++i) json += ",0";
  for (int i = 0; i < 100'000; ++i) json += R"(,{"id": "5"})";
  json += "]}";
  testsupport::LogCapture logs;
  ASSERT_NO_FATAL_FAILURE(reloadCategoriesFrom(std::move(json)));
  auto file = cachedList();
  ASSERT_TRUE(file);
  ASSERT_EQ(file->size(), 1u);
  EXPECT_EQ(menuTitles(), (std::vector<std::string>{"Главная", "Пятая"}));
  EXPECT_LE(logs.lines().size(), 5u);
  EXPECT_TRUE(logs.contains("Skipped 1000000 category list entries that are not objects"));
  EXPECT_TRUE(logs.contains("Skipped 100000 category list entries repeating an id"));
}

// Replies refused whole log a few kilobytes however large they are: one of 15 MB without a list of
// items, and one whose "items" is an object of 600 000 entries. The cached list stays.
TEST_F(TLMenuNavigationControllerTest, RefusedRepliesLogAFewKilobytesWhateverTheirSize) {
  startAndLoad();
  auto before = cachedList();
  ASSERT_TRUE(before);
  std::string noItems = R"({"title": ")" + std::string(15 << 20, 'x') + R"("})";
  std::string object = R"({"items": {)";
  object.reserve(20 << 20);
  for (int i = 0; i < 600'000; ++i)
    object += (i ? ",\"" : "\"") + std::to_string(i) + R"(": {"id": ")" + std::to_string(i) + "\"}";
  object += "}}";
  for (std::string* json : {&noItems, &object}) {
    SCOPED_TRACE(json == &noItems ? "no items" : "items as an object");
    const std::size_t replyBytes = json->size();
    sampleservice::Override reply = body(std::move(*json));
    // Sent as a body of announced length, which the test server does not compress: that would
    // take it most of the test's time.
    reply.dropAfterBytes = replyBytes;
    server_->setOverride("/api/mobile", "get_categories", reply);
    testsupport::LogCapture logs;
    TLSettings::removeRefreshMainPageFlag();
    post("TLMenuItemsReload");
    awaitLoad(false);
    std::size_t bytes = 0;
    for (const auto& line : logs.lines()) bytes += line.size();
    EXPECT_LE(bytes, 4096u) << replyBytes << " bytes of reply";
    EXPECT_LE(logs.lines().size(), 2u);
    EXPECT_TRUE(logs.contains("The category list reply holds no list of items"));
    EXPECT_TRUE(logs.contains(" in all)"));
    EXPECT_EQ(cachedList(), before);
  }
}

// Files may grow no larger than a few bytes while it lives: every write of the list fails.
class FileSizeLimit {
 public:
  FileSizeLimit() {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = previous_;
    tiny.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &tiny);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  sighandler_t previousHandler_;
};

TEST_F(TLMenuNavigationControllerTest, AListThatCannotBeWrittenIsAFailedLoad) {
  startAndLoad();
  auto before = cachedList();
  ASSERT_TRUE(before);
  server_->setOverride("/api/mobile", "get_categories", body(R"({"items": [{"id": "1", "title": "Один"}]})"));
  testsupport::LogCapture logs;
  {
    FileSizeLimit limit;
    post("TLMenuItemsReload");
    awaitLoad(false);
  }
  EXPECT_TRUE(logs.contains("Cannot write the category list file"));
  EXPECT_EQ(cachedList(), before) << "the previous file stays";
  EXPECT_EQ(menuTitles().size(), 11u) << "the menu shows the cached list, not the reply";
  EXPECT_EQ(rubrikPostsWithFile_, std::vector<bool>{true});

  // saveItems reports what happened.
  {
    FileSizeLimit limit;
    EXPECT_FALSE(nav_->saveItems({ns::Dictionary{{"id", "1"}}}));
  }
  EXPECT_TRUE(nav_->saveItems({ns::Dictionary{{"id", "1"}, {"gone", ns::Value::null()}}}));
  EXPECT_EQ(cachedList(), (ns::Array{ns::Dictionary{{"id", "1"}}}));
}

ns::Value titleInfo(int id, const std::string& parent) {
  return ns::Dictionary{{"id", id},
                        {"url", TLSettings::getURLforSeriesListFilm(id)},
                        {"title", "Выпуск " + std::to_string(id)},
                        {"description", ""},
                        {"parent_id", parent}};
}

TEST_F(TLMenuNavigationControllerTest, EpisodesOfOneSeriesShareOneTitlePage) {
  start();
  struct Step {
    ns::Value info;
    std::vector<int> titleIds;  // the title pages on the stack afterwards, bottom first
  };
  const Step steps[] = {
      {titleInfo(1, "77"), {1}},
      {titleInfo(2, "77"), {2}},      // another episode of the series on screen replaces it
      {titleInfo(3, ""), {2, 3}},     // a film stacks on an episode
      {titleInfo(4, ""), {2, 3, 4}},  // and on a film
      {titleInfo(5, "78"), {2, 3, 4, 5}},
      {[] {
         ns::Value info = titleInfo(6, "");
         info.mutableDictionary()->set("parent_id", 78);  // a number counts by its value
         return info;
       }(),
       {2, 3, 4, 6}},
  };
  for (const Step& s : steps) {
    post("TLOpenVideoItem", s.info);
    std::vector<int> ids;
    for (const auto& page : nav_->viewControllers())
      if (auto title = std::dynamic_pointer_cast<TitlePageViewController>(page))
        ids.push_back(title->itemId());
    EXPECT_EQ(ids, s.titleIds);
    EXPECT_EQ(nav_->viewControllers().front(), home_);
    EXPECT_EQ(nav_->transitions().back(),
              (ui::NavigationController::TransitionRecord{Transition::push, true}));
  }
  auto top = std::dynamic_pointer_cast<TitlePageViewController>(nav_->topViewController());
  EXPECT_EQ(top->parentId(), 78);
  EXPECT_TRUE(top->isItemIsEpisode());
  EXPECT_EQ(pageTitleText(top), "Выпуск 6");
  // Each page asked for its own record.
  ASSERT_TRUE(testsupport::spinUntil([&] { return server_->requestsFor("get_title").size() >= 6; }));

  post("TLShowActorPage", ns::Dictionary{{"id", "p1"}, {"title", "Имя Фамилия"}});
  EXPECT_TRUE(std::dynamic_pointer_cast<TitleActorViewController>(nav_->topViewController()));
  ASSERT_TRUE(testsupport::spinUntil([&] { return !server_->requestsFor("get_person").empty(); }));
  EXPECT_EQ(server_->requestsFor("get_person")[0].params["person_id"], "p1");
}

TEST_F(TLMenuNavigationControllerTest, ShowCategoryPushesACachedCategoryAndMarksItsRow) {
  startAndLoad();
  post("TLOpenVideoItem", titleInfo(1, ""));
  post("TLShowCategory", ns::Dictionary{{"categoryId", "29"}});
  EXPECT_EQ(stackClasses(), (Log{"HomePage", "TitlePageViewController", "TLSCategoryVC"}))
      << "nothing is popped";
  EXPECT_EQ(nav_->transitions().back(),
            (ui::NavigationController::TransitionRecord{Transition::push, false}));
  auto page = std::static_pointer_cast<TLSCategoryVC>(nav_->topViewController());
  EXPECT_EQ(page->categoryId(), 29);
  EXPECT_EQ(page->categoryTitle(), "Спорт");
  EXPECT_EQ(pageTitleText(page), "Спорт") << "read when the view loaded";
  EXPECT_EQ(selectedMenuRow(), 5);

  for (ns::Value object : {ns::Value(ns::Dictionary{{"categoryId", "999"}}),
                           ns::Value(ns::Dictionary{{"categoryId", 29}}), ns::Value("29"), ns::Value()}) {
    post("TLShowCategory", object);
    EXPECT_EQ(nav_->viewControllers().size(), 3u) << object.describe();
  }
}

TEST_F(TLMenuNavigationControllerTest, MemoryWarningsKeepTheHomePageAndTheTopPage) {
  startAndLoad();
  post("TLShowCategory", ns::Dictionary{{"categoryId", "1"}});
  auto only = nav_->topViewController();
  ui::simulateMemoryWarning();
  EXPECT_EQ(nav_->viewControllers(), (Stack{home_, only}));
  for (const char* id : {"2", "3", "4"}) post("TLShowCategory", ns::Dictionary{{"categoryId", id}});
  auto top = nav_->topViewController();
  ASSERT_EQ(nav_->viewControllers().size(), 5u);
  log_->clear();
  ui::simulateMemoryWarning();
  EXPECT_EQ(nav_->viewControllers(), (Stack{home_, top}));
  EXPECT_EQ(*log_, Log{"home memoryWarning"});
}

struct Idiom {
  const char* name;
  bool phone;
};

class MenuChoiceTest : public TLMenuNavigationControllerTest, public ::testing::WithParamInterface<Idiom> {
 protected:
  void openMenu() {
    post("TLNavigationShowMenu");
    clock_->advance(0.5);
    // A page whose load failed meanwhile shows an alert, which takes every touch: it is answered.
    for (const auto& alert : ui::AlertView::visibleAlerts())
      alert->tapButtonAtIndex(alert->cancelButtonIndex() >= 0 ? alert->cancelButtonIndex() : 0);
  }
  std::unique_ptr<ns::ManualClock> clock_ = std::make_unique<ns::ManualClock>();
};

TEST_P(MenuChoiceTest, ARowChoiceLeavesHomeAndTheNewCategoryPage) {
  bool phone = GetParam().phone;
  startAndLoad(phone);
  post("TLShowCategory", ns::Dictionary{{"categoryId", "2"}});
  post("TLOpenVideoItem", titleInfo(1, ""));
  openMenu();
  auto menu = nav_->navigationMenu();
  EXPECT_FALSE(menu->isHidden());
  ui::tap(menu->menuTable()->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(3, 0)));
  EXPECT_EQ(stackClasses(), (Log{"HomePage", phone ? "TLSCategoryVC_iphone" : "TLSCategoryVC"}));
  auto top = nav_->topViewController();
  if (phone) {
    auto page = std::static_pointer_cast<TLSCategoryVC_iphone>(top);
    EXPECT_EQ(page->categoryTitle(), "Телепередачи");
    EXPECT_EQ(page->categoryId(), 3);
  } else {
    auto page = std::static_pointer_cast<TLSCategoryVC>(top);
    EXPECT_EQ(page->categoryTitle(), "Телепередачи");
    EXPECT_EQ(page->categoryId(), 3);
  }
  EXPECT_EQ(top->nibName(), phone ? "TLSCategoryVC_iphone" : "");
  auto& t = nav_->transitions();
  EXPECT_EQ(t[t.size() - 2], (ui::NavigationController::TransitionRecord{Transition::popToRoot, false}));
  EXPECT_EQ(t.back(), (ui::NavigationController::TransitionRecord{Transition::push, false}));
  EXPECT_EQ(top->view()->bounds().x(), 0) << "the page ends in place";
  // The screen shows the phone's new page sliding back from where the open menu had pushed the
  // old one, 262 points aside; half-way through, it is half-way.
  clock_->advance(0.25);
  EXPECT_NEAR(top->view()->presentation(clock_->now()).bounds.x(), phone ? 131 : 0, 0.5);
  clock_->advance(0.25);
  EXPECT_TRUE(menu->isHidden());
  EXPECT_EQ(selectedMenuRow(), 3);
  EXPECT_EQ(top->view()->presentation(clock_->now()).bounds.x(), 0);

  // The home entry returns to the home page alone.
  openMenu();
  // Marking the category's row scrolled the phone's short list past the home entry.
  menu->menuTable()->setContentOffset({0, 0});
  ui::tap(menu->menuTable()->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(0, 0)));
  EXPECT_EQ(home_->view()->bounds().x(), 0);
  clock_->advance(0.25);
  EXPECT_NEAR(home_->view()->presentation(clock_->now()).bounds.x(), phone ? 131 : 0, 0.5);
  clock_->advance(0.25);
  EXPECT_EQ(nav_->viewControllers(), Stack{home_});
  EXPECT_EQ(home_->view()->bounds().x(), 0);
  EXPECT_TRUE(menu->isHidden());
}

TEST_P(MenuChoiceTest, ASearchOpensTheSearchPageWithTheQueryAsTyped) {
  bool phone = GetParam().phone;
  startAndLoad(phone);
  post("TLShowCategory", ns::Dictionary{{"categoryId", "2"}});
  openMenu();
  auto menu = nav_->navigationMenu();
  ui::tap(menu->mySearchBar());
  menu->mySearchBar()->simulateTyping(" мульт");
  menu->mySearchBar()->simulateSearchKey();
  EXPECT_EQ(stackClasses(), (Log{"HomePage", phone ? "TLSSearchVC_iphone" : "TLSSearchVC"}));
  auto top = nav_->topViewController();
  EXPECT_EQ(phone ? std::static_pointer_cast<TLSSearchVC_iphone>(top)->query()
                  : std::static_pointer_cast<TLSSearchVC>(top)->query(),
            " мульт");
  EXPECT_EQ(selectedMenuRow(), std::nullopt) << "every row is unmarked";
  EXPECT_EQ(menu->mySearchBar()->text(), "");
  clock_->advance(0.5);
  EXPECT_TRUE(menu->isHidden());
  ASSERT_TRUE(testsupport::spinUntil([&] { return !server_->requestsFor("get_search").empty(); }));
  EXPECT_EQ(server_->requestsFor("get_search")[0].params["q"], " мульт");
}

TEST_P(MenuChoiceTest, TheCreditsPhraseOpensTheCreditsOnTheTabletOnly) {
  bool phone = GetParam().phone;
  startAndLoad(phone);
  post("TLShowCategory", ns::Dictionary{{"categoryId", "2"}});
  openMenu();
  log_->clear();
  auto menu = nav_->navigationMenu();
  ui::tap(menu->mySearchBar());
  menu->mySearchBar()->simulateTyping("ОТКРЫТЬ тайник Окна");
  menu->mySearchBar()->simulateSearchKey();
  if (phone) {
    EXPECT_EQ(stackClasses(), (Log{"HomePage", "TLSSearchVC_iphone"}))
        << "the phone searches for it like any query";
    return;
  }
  EXPECT_EQ(nav_->viewControllers(), Stack{home_});
  EXPECT_FALSE(ui::Responder::isKeyboardShown());
  clock_->advance(1);
  EXPECT_FALSE(menu->isHidden()) << "the menu stays open under the credits";
  auto credits = nav_->view()->subviews().back();
  ASSERT_NE(credits, menu);
  EXPECT_EQ(credits->frame(), nav_->view()->bounds());
  auto button = std::dynamic_pointer_cast<ui::Button>(credits->subviews().front());
  ASSERT_TRUE(button);
  EXPECT_EQ(button->frame(), credits->bounds());
  EXPECT_LT(button->backgroundColor()->cgColor().alpha, 1);
  EXPECT_GT(button->backgroundColor()->cgColor().alpha, 0);
  // A persons row of the client's parts, which opens no person page.
  auto row = std::dynamic_pointer_cast<TLRubricScrollView>(credits->subviews().back());
  ASSERT_TRUE(row);
  EXPECT_EQ(row->filmsArray().size(), TLMenuNavigationController::creditsEntries().size());
  auto tiles = row->scrollView()->subviews();
  ASSERT_FALSE(tiles.empty());
  EXPECT_TRUE(ui::tapAtPoint(nav_->view(), tiles.front()->convertPointToView(cg::Point{110, 60}, nullptr)) !=
              button);
  ui::tap(button);
  EXPECT_EQ(credits->superview(), nullptr);
  EXPECT_EQ(nav_->view()->subviews().back(), menu);
}

TEST_P(MenuChoiceTest, TheVisiblePageHearsTheMenuComeAndGo) {
  startAndLoad(GetParam().phone);
  log_->clear();
  openMenu();
  post("TLNavigationCloseMenu");
  clock_->advance(0.5);
  EXPECT_EQ(*log_, (Log{"home willShowMenu", "home didShowMenu", "home willHideMenu", "home didHideMenu"}));
}

TEST_P(MenuChoiceTest, OnlyTheTabletTurns) {
  bool phone = GetParam().phone;
  start(phone);
  EXPECT_EQ(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft), !phone);
  // Below the status bar.
  EXPECT_EQ(nav_->navigationMenu()->frame().size, (phone ? cg::Size{320, 460} : cg::Size{1024, 748}));
  EXPECT_TRUE(nav_->isNavigationBarHidden());
  EXPECT_TRUE(nav_->isToolbarHidden());
  EXPECT_EQ(home_->view()->frame(), nav_->view()->bounds()) << "pages fill the whole view";
}

TEST_P(MenuChoiceTest, TheControllerGoesAwayWithItsWindow) {
  start(GetParam().phone);
  std::weak_ptr<TLMenuNavigationController> weak = nav_;
  std::weak_ptr<TLMenuView> menu = nav_->navigationMenu();
  post("TLOpenVideoItem", titleInfo(1, ""));
  nav_.reset();
  window_.reset();
  screen_.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(menu.expired());
  for (const char* name : {"TLNavigationShowMenu", "TLNavigationCloseMenu", "TLMenuItemsReload"}) post(name);
  post("TLOpenVideoItem", titleInfo(2, ""));
  post("TLShowCategory", ns::Dictionary{{"categoryId", "1"}});
  post("TLShowActorPage", ns::Dictionary{{"id", "p1"}});
}

INSTANTIATE_TEST_SUITE_P(Idioms, MenuChoiceTest,
                         ::testing::Values(Idiom{"tablet", false}, Idiom{"phone", true}),
                         testsupport::CaseName());

}  // namespace
