// Cache folders, poster names, category look-ups, alerts and the refresh flag of TLSettings,
// against real files in the test run's sandbox.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "Classes/TLSettings.h"
#include "Foundation/FileManager.h"
#include "Foundation/PropertyList.h"
#include "Foundation/UserDefaults.h"
#include "ServiceHostOverride.h"
#include "UIKit/AlertView.h"
#include "support/LogCapture.h"

namespace {

using ns::Value;

const std::string& caches() {
  static const std::string path = ns::cachesDirectory();
  return path;
}

bool isDirectory(const std::string& path) {
  bool directory = false;
  return ns::FileManager::defaultManager()->fileExistsAtPath(path, &directory) && directory;
}

bool exists(const std::string& path) { return ns::FileManager::defaultManager()->fileExistsAtPath(path); }

// Every test starts from empty cache folders.
class TLSettingsCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"userCache", "plistCache"})
      ns::FileManager::defaultManager()->removeItemAtPath(caches() + "/" + folder);
  }

  static void writeCategories(const ns::Array& entries) {
    ASSERT_TRUE(ns::writePropertyListToFile(Value(entries), TLSettings::cashedCategoriesFile()));
  }
};

TEST_F(TLSettingsCacheTest, FoldersAreMadeOnFirstUseAndAgainAfterRemoval) {
  struct Case {
    const char* name;
    std::function<std::string()> call;
    std::string relative;  // below Caches
    bool isFile;
  };
  const Case cases[] = {
      {"cacheDirectory", TLSettings::cacheDirectory, "/userCache", false},
      {"plistFilesDirectory", TLSettings::plistFilesDirectory, "/plistCache", false},
      {"sliderPostersPath", TLSettings::sliderPostersPath, "/userCache/sliderPosters", false},
      {"postersPath", TLSettings::postersPath, "/userCache/posters", false},
      {"postersBigPath", TLSettings::postersBigPath, "/userCache/postersBig", false},
      {"rolesPath", TLSettings::rolesPath, "/userCache/posters/roles", false},
      {"filmImagesPath", TLSettings::filmImagesPath, "/userCache/filmImages", false},
      {"cashedCategoriesFile", TLSettings::cashedCategoriesFile, "/userCache/categories.plist", true},
      {"getPlistDirectoryWithFileName",
       [] { return TLSettings::getPlistDirectoryWithFileName("42ser.plist").value(); },
       "/plistCache/42ser.plist", true},
  };
  for (const Case& c : cases) {
    for (int round = 0; round < 2; ++round) {
      SetUp();  // the second round finds the folders removed again
      std::string path = c.call();
      EXPECT_EQ(path, caches() + c.relative) << c.name;
      if (c.isFile) {
        EXPECT_FALSE(exists(path)) << c.name;  // only its folder is made
        EXPECT_TRUE(isDirectory(ns::stringByDeletingLastPathComponent(path))) << c.name;
      } else {
        EXPECT_TRUE(isDirectory(path)) << c.name;
      }
    }
  }
  EXPECT_EQ(TLSettings::userDirectory(), ns::documentsDirectory());
  EXPECT_EQ(TLSettings::databaseFilePath(), ns::documentsDirectory() + "/data.sqlite3");
  EXPECT_FALSE(exists(TLSettings::databaseFilePath()));
}

TEST_F(TLSettingsCacheTest, AFileInTheWayIsLoggedAndReadsAsNothingCached) {
  ASSERT_TRUE(ns::FileManager::defaultManager()->createFileAtPath(caches() + "/userCache", ns::Data()));
  testsupport::LogCapture log;
  EXPECT_EQ(TLSettings::cacheDirectory(), caches() + "/userCache");
  EXPECT_TRUE(log.contains("Cannot create the cache folder"));
  EXPECT_TRUE(TLSettings::getCategoriesURL().empty());
  EXPECT_TRUE(TLSettings::categoryInfoById("1").isNil());
  EXPECT_FALSE(TLSettings::isItemHasBigPoster(1, false));
  EXPECT_FALSE(ns::writePropertyListToFile(Value(ns::Array{}), TLSettings::cashedCategoriesFile()));
}

TEST_F(TLSettingsCacheTest, PosterNamesTellFilmsFromEpisodes) {
  struct Case {
    const char* name;
    std::string actual;
    std::string relative;
  };
  const Case cases[] = {
      {"posterForBaseVideo", TLSettings::posterForBaseVideo(42), "/userCache/posters/42.png"},
      {"posterForEpisode", TLSettings::posterForEpisode(42), "/userCache/posters/e42.png"},
      {"posterBigForBaseVideo", TLSettings::posterBigForBaseVideo(42), "/userCache/postersBig/42.png"},
      {"posterBigForEpisode", TLSettings::posterBigForEpisode(42), "/userCache/postersBig/e42.png"},
      {"negative id", TLSettings::posterForBaseVideo(-3), "/userCache/posters/-3.png"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, caches() + c.relative) << c.name;
}

TEST_F(TLSettingsCacheTest, BigPosterPresenceFollowsTheFiles) {
  auto touch = [](const std::string& path) { std::ofstream(path) << "png"; };
  EXPECT_FALSE(TLSettings::isItemHasBigPoster(5, false));
  touch(TLSettings::posterBigForBaseVideo(5));
  EXPECT_TRUE(TLSettings::isItemHasBigPoster(5, false));
  EXPECT_FALSE(TLSettings::isItemHasBigPoster(5, true));
  touch(TLSettings::posterBigForEpisode(5));
  EXPECT_TRUE(TLSettings::isItemHasBigPoster(5, true));
  // A small poster is not a big one; a folder of that name is no poster at all.
  touch(TLSettings::posterForBaseVideo(6));
  EXPECT_FALSE(TLSettings::isItemHasBigPoster(6, false));
  ns::FileManager::defaultManager()->createDirectoryAtPath(TLSettings::posterBigForBaseVideo(7), true);
  EXPECT_FALSE(TLSettings::isItemHasBigPoster(7, false));
}

TEST_F(TLSettingsCacheTest, UnsafeFileNamesAreRefused) {
  struct Case {
    const char* name;
    std::string fileName;
    bool accepted;
  };
  const Case cases[] = {
      {"series list", "42ser.plist", true},
      {"related list", "42als.plist", true},
      {"dots inside a name", "a.b.c", true},
      {"empty", "", false},
      {"dot", ".", false},
      {"dot dot", "..", false},
      {"parent folder", "../42ser.plist", false},
      {"sub folder", "a/b", false},
      {"absolute", "/etc/passwd", false},
      {"two dots inside", "x..y", false},
      {"NUL", std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) {
    testsupport::LogCapture log;
    auto path = TLSettings::getPlistDirectoryWithFileName(c.fileName);
    EXPECT_EQ(TLSettings::isSafeFileName(c.fileName), c.accepted) << c.name;
    EXPECT_EQ(path.has_value(), c.accepted) << c.name;
    EXPECT_EQ(log.contains("Refusing the cache file name"), !c.accepted) << c.name;
    if (path) {
      EXPECT_EQ(*path, caches() + "/plistCache/" + c.fileName) << c.name;
    }
  }
}

TEST_F(TLSettingsCacheTest, CategoryLookUpsReadTheCachedList) {
  // No file: nothing found.
  EXPECT_TRUE(TLSettings::categoryInfoById("1").isNil());
  EXPECT_EQ(TLSettings::getCategoryNameById("1"), "");

  const ns::Dictionary films{{"id", "1"}, {"title", "Фильмы"}, {"url", "u1"}};
  const ns::Dictionary series{{"id", "2"}, {"title", "Сериалы"}, {"url", "u2"}};
  writeCategories({films, series, Value("not a category"), ns::Dictionary{{"id", "2"}, {"title", "ёлки"}},
                   ns::Dictionary{{"id", "5"}}, ns::Dictionary{{"id", 9}, {"title", "Спорт"}},
                   ns::Dictionary{{"id", 3000000000ll}, {"title", "Хоккей"}}});
  struct Case {
    const char* id;
    Value info;        // the first entry with that id
    std::string name;  // the last entry's title, upper-cased
  };
  const Case cases[] = {
      {"1", films, "ФИЛЬМЫ"},
      {"2", series, "ЁЛКИ"},
      {"5", ns::Dictionary{{"id", "5"}}, ""},
      {"9", ns::Dictionary{{"id", 9}, {"title", "Спорт"}}, "СПОРТ"},
      {"3000000000", ns::Dictionary{{"id", 3000000000ll}, {"title", "Хоккей"}}, "ХОККЕЙ"},
      {"3", Value(), ""},
      {"", Value(), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TLSettings::categoryInfoById(c.id), c.info) << c.id;
    EXPECT_EQ(TLSettings::getCategoryNameById(c.id), c.name) << c.id;
  }

  // A file that is not an array of categories reads as none.
  ASSERT_TRUE(ns::writePropertyListToFile(Value(films), TLSettings::cashedCategoriesFile()));
  EXPECT_TRUE(TLSettings::categoryInfoById("1").isNil());
  std::ofstream(TLSettings::cashedCategoriesFile()) << "<plist><array><dict>";
  EXPECT_EQ(TLSettings::getCategoryNameById("1"), "");
}

TEST_F(TLSettingsCacheTest, CategoryURLsFollowTheFileAndSkipBadIds) {
  testsupport::ServiceHostOverride host("catalogue.test");
  EXPECT_TRUE(TLSettings::getCategoriesURL().empty());  // no file

  writeCategories({ns::Dictionary{{"id", "31"}}, ns::Dictionary{{"id", "2"}}, ns::Dictionary{{"id", "12a"}},
                   ns::Dictionary{{"id", ""}}, ns::Dictionary{{"id", "-1"}}, ns::Dictionary{{"id", "1&x=2"}},
                   ns::Dictionary{{"id", " 5"}}, ns::Dictionary{{"title", "no id"}}, Value("not a category"),
                   ns::Dictionary{{"id", 7}}, ns::Dictionary{{"id", 3000000000ll}}, ns::Dictionary{{"id", "1"}},
                   ns::Dictionary{{"id", std::string(64, '4')}}, ns::Dictionary{{"id", std::string(65, '6')}},
                   ns::Dictionary{{"id", std::string(1 << 20, '8')}}});
  testsupport::LogCapture log;
  auto urls = TLSettings::getCategoriesURL();
  std::vector<std::string> got;
  for (const auto& url : urls) got.push_back(url.absoluteString());
  const std::string prefix = "http://catalogue.test/api/mobile?platform=ios&method=get_category&category_id=";
  const std::string suffix = "&popular_quantity=15&featured_quantity=15";
  EXPECT_EQ(got,
            (std::vector<std::string>{prefix + "31" + suffix, prefix + "2" + suffix, prefix + "7" + suffix,
                                      prefix + "3000000000" + suffix, prefix + "1" + suffix,
                                      prefix + std::string(64, '4') + suffix}));
  // One line for all the skipped entries, naming the first.
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(
      log.contains("Skipping 9 cached categories whose id is not a decimal number of at most 64 digits, "
                   "the first \"12a\""));
}

// A list file left by a hostile reply, its ids a megabyte each, is read at every start until a good
// list replaces it: each reading logs one short line.
TEST_F(TLSettingsCacheTest, CategoryIdsOfAMegabyteLogOneShortLine) {
  testsupport::ServiceHostOverride host("catalogue.test");
  const std::string huge(1 << 20, '9');
  writeCategories({ns::Dictionary{{"id", huge + "x"}}, ns::Dictionary{{"id", "x" + huge}},
                   ns::Dictionary{{"id", std::string(1 << 20, 'j')}}, ns::Dictionary{{"id", "3"}},
                   ns::Dictionary{{"id", "Ж" + huge}}, ns::Dictionary{{"id", huge}}});
  testsupport::LogCapture log;
  for (int start = 0; start < 2; ++start) {
    EXPECT_EQ(TLSettings::getCategoriesURL().size(), 1u);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_LE(log.lines()[0].size(), 1200u);
    EXPECT_TRUE(log.contains("Skipping 5 cached categories"));
    EXPECT_TRUE(log.contains("(1048577 bytes in all)"));
    log.clear();
  }
}

// A list file longer than any the service sends, as a hostile reply once left it: readers get its
// first entries, and the start cuts the file itself.
TEST_F(TLSettingsCacheTest, LongCategoryListsReadAsTheirFirstEntriesAndAreCutAtStart) {
  testsupport::ServiceHostOverride host("catalogue.test");
  const std::size_t kMax = TLSettings::kMaxCachedCategories;
  ns::Array many;
  for (int i = 1; i <= 20000; ++i)
    many.push_back(ns::Dictionary{{"id", std::to_string(i)}, {"title", "к" + std::to_string(i)}});
  writeCategories(many);
  auto list = TLSettings::cachedCategories();
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), kMax);
  EXPECT_EQ(list->back(), many[kMax - 1]);
  EXPECT_EQ(TLSettings::getCategoriesURL().size(), kMax);
  EXPECT_EQ(TLSettings::getCategoryNameById(std::to_string(kMax)), "К" + std::to_string(kMax));
  EXPECT_TRUE(TLSettings::categoryInfoById(std::to_string(kMax + 1)).isNil());

  testsupport::LogCapture log;
  TLSettings::cutCachedCategoriesFile();
  EXPECT_EQ(ns::arrayWithContentsOfFile(TLSettings::cashedCategoriesFile()), list);
  EXPECT_TRUE(log.contains("Cut the cached category list"));

  // A list within the bound stays as it is.
  log.clear();
  ns::Array few(many.begin(), many.begin() + 3);
  few.push_back(Value("not a category"));
  writeCategories(few);
  TLSettings::cutCachedCategoriesFile();
  EXPECT_EQ(ns::arrayWithContentsOfFile(TLSettings::cashedCategoriesFile()), few);
  EXPECT_EQ(TLSettings::cachedCategories(), few);
  EXPECT_TRUE(log.lines().empty());
}

// Every home row looks its category's name up from the one list file (parsed once and kept with
// its bytes), and a change to its bytes is seen by the next look-up.
TEST_F(TLSettingsCacheTest, LookUpsFollowTheListFileAsItChanges) {
  ns::Array genres(500, ns::Dictionary{{"id", "1"}});
  ns::Array entries;
  for (int i = 1; i <= 100; ++i)
    entries.push_back(
        ns::Dictionary{{"id", std::to_string(i)}, {"title", "к" + std::to_string(i)}, {"genres", genres}});
  writeCategories(entries);
  const std::size_t before = TLSettings::categoryFileParseCount();
  for (int i = 1; i <= 50; ++i) {
    ASSERT_EQ(TLSettings::getCategoryNameById(std::to_string(i)), "К" + std::to_string(i));
    ASSERT_FALSE(TLSettings::categoryInfoById(std::to_string(i)).isNil());
  }
  EXPECT_EQ(TLSettings::categoryFileParseCount(), before + 1) << "parsed once for a hundred look-ups";

  // New bytes of the same length, written in place, are read.
  entries[0] = ns::Dictionary{{"id", "1"}, {"title", "ж1"}, {"genres", genres}};
  ASSERT_TRUE(ns::writePropertyListToFile(Value(entries), TLSettings::cashedCategoriesFile(), false));
  EXPECT_EQ(TLSettings::getCategoryNameById("1"), "Ж1");
  EXPECT_EQ(TLSettings::getCategoryNameById("2"), "К2");
  EXPECT_EQ(TLSettings::categoryFileParseCount(), before + 2);
  ns::FileManager::defaultManager()->removeItemAtPath(TLSettings::cashedCategoriesFile());
  EXPECT_FALSE(TLSettings::cachedCategories());
  EXPECT_EQ(TLSettings::getCategoryNameById("1"), "");
}

// What atomic writes killed half-way leave beside their targets in the two cache folders, a
// ".<name>.XXXXXX" file, goes at start once a minute old; nothing else does.
TEST_F(TLSettingsCacheTest, StaleTemporariesOfInterruptedWritesAreRemoved) {
  namespace fs = std::filesystem;
  auto write = [](const std::string& path, bool old) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "part of a file";
    if (old) fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    return path;
  };
  const std::string user = TLSettings::cacheDirectory(), lists = TLSettings::plistFilesDirectory();
  const std::vector<std::string> stale = {
      write(user + "/.categories.plist.a1B2c3", true),
      write(TLSettings::rolesPath() + "/.3001.png.ZZzz99", true),
      write(TLSettings::sliderPostersPath() + "/.poster.jpg.x0X0x0", true),
      write(lists + "/.42ser.plist.Q9w8E7", true),
  };
  const std::vector<std::string> kept = {
      write(user + "/.categories.plist.Fresh1", false),  // a write still running elsewhere
      write(user + "/categories.plist", true),
      write(TLSettings::postersPath() + "/5.png", true),
      write(user + "/.hidden", true),
      write(user + "/5.png.AbCdEf", true),
      write(user + "/.5.png.AbCdE", true),
      write(user + "/.5.png.AbC-Ef", true),
      write(user + "/..AbCdEf", true),
      write(lists + "/.42ser.plist.Q9w8E7.bak", true),
      write(ns::cachesDirectory() + "/.other.plist.a1B2c3", true),
      write(ns::documentsDirectory() + "/.data.sqlite3.a1B2c3", true),
  };
  fs::create_directories(user + "/.folder.a1B2c3");
  fs::last_write_time(user + "/.folder.a1B2c3", fs::file_time_type::clock::now() - std::chrono::minutes(5));

  testsupport::LogCapture log;
  TLSettings::removeStaleTemporaryFiles();
  for (const auto& path : stale) EXPECT_FALSE(exists(path)) << path;
  for (const auto& path : kept) EXPECT_TRUE(exists(path)) << path;
  EXPECT_TRUE(isDirectory(user + "/.folder.a1B2c3"));
  EXPECT_EQ(log.lines().size(), stale.size());

  // Without the folders there is nothing to do.
  for (const char* folder : {"userCache", "plistCache"})
    ns::FileManager::defaultManager()->removeItemAtPath(caches() + "/" + folder);
  TLSettings::removeStaleTemporaryFiles();
  for (const auto& path : kept) fs::remove(path);
}

class TLSettingsAlertTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::AlertView::dismissAll(); }
  void TearDown() override { ui::AlertView::dismissAll(); }

  // The one alert on screen; fails the test when there is not exactly one.
  static std::shared_ptr<ui::AlertView> theAlert() {
    auto shown = ui::AlertView::visibleAlerts();
    EXPECT_EQ(shown.size(), 1u);
    return shown.empty() ? nullptr : shown.front();
  }
};

struct CountingDelegate : ui::AlertViewDelegate {
  int clicks = 0;
  void alertViewClickedButtonAtIndex(ui::AlertView&, int) override { ++clicks; }
};

const char* const kNoInternet = "Нет интернет соединения. Проверьте настройки интернета";
const char* const kNoServer = "Нет соединения с сервером";
const char* const kNoItem = "Выбранный вами эпизод временно недоступен. Повторите попытку позже.";
const char* const kNoData = "Данные временно недоступны. Повторите попытку позже.";

TEST_F(TLSettingsAlertTest, EachAlertHasItsTextAndOneOKButton) {
  auto delegate = std::make_shared<CountingDelegate>();
  struct Case {
    const char* name;
    std::function<void()> show;
    const char* message;
    bool withDelegate;
  };
  const Case cases[] = {
      {"no internet", TLSettings::noInternetConnectionAlert, kNoInternet, false},
      {"no internet, delegate", [&] { TLSettings::noInternetConnectionAlertWithDelegate(delegate); },
       kNoInternet, true},
      {"no server", TLSettings::noServerConnectionAlert, kNoServer, false},
      {"no server, delegate", [&] { TLSettings::noServerConnectionAlertWithDelegate(delegate); }, kNoServer,
       true},
      {"no item", TLSettings::noServerItemDataAlert, kNoItem, false},
      {"no item, delegate", [&] { TLSettings::noServerItemDataAlertWithDelegate(delegate); }, kNoItem, true},
      {"no data", TLSettings::noServerDataAlert, kNoData, false},
      {"no data, delegate", [&] { TLSettings::noServerDataAlertWithDelegate(delegate); }, kNoData, true},
  };
  for (const Case& c : cases) {
    SetUp();
    c.show();
    auto alert = theAlert();
    ASSERT_TRUE(alert) << c.name;
    EXPECT_EQ(alert->title(), "Ошибка") << c.name;
    EXPECT_EQ(alert->message(), c.message) << c.name;
    EXPECT_EQ(alert->numberOfButtons(), 1) << c.name;
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "OK") << c.name;
    EXPECT_EQ(alert->cancelButtonIndex(), 0) << c.name;
    int before = delegate->clicks;
    EXPECT_TRUE(alert->tapButtonAtIndex(0));
    EXPECT_EQ(delegate->clicks - before, c.withDelegate ? 1 : 0) << c.name;
  }
}

TEST_F(TLSettingsAlertTest, ErrorCodesChooseTheAlertWhateverTheDomain) {
  struct Case {
    const char* name;
    ns::ErrorPtr error;
    const char* message;
  };
  const Case cases[] = {
      {"not connected", ns::Error::make(ns::kURLErrorDomain, -1009), kNoInternet},
      {"cannot connect", ns::Error::make(ns::kURLErrorDomain, -1004), kNoServer},
      {"cannot find host", ns::Error::make(ns::kURLErrorDomain, -1003), kNoServer},
      {"timed out", ns::Error::make(ns::kURLErrorDomain, -1001), kNoData},
      {"bad status", ns::Error::make("NTNetworkingErrorDomain", -1011), kNoData},
      {"connection lost", ns::Error::make(ns::kURLErrorDomain, -1005), kNoData},
      {"other domain, same code", ns::Error::make(ns::kCocoaErrorDomain, -1009), kNoInternet},
      {"code 0", ns::Error::make(ns::kURLErrorDomain, 0), kNoData},
      {"no error", nullptr, kNoData},
  };
  for (const Case& c : cases) {
    for (bool withDelegate : {false, true}) {
      SetUp();
      auto delegate = std::make_shared<CountingDelegate>();
      if (withDelegate)
        TLSettings::showConnectionError(c.error, delegate);
      else
        TLSettings::showConnectionError(c.error);
      auto alert = theAlert();
      ASSERT_TRUE(alert) << c.name;
      EXPECT_EQ(alert->message(), c.message) << c.name;
      EXPECT_EQ(alert->title(), "Ошибка") << c.name;
      EXPECT_EQ(alert->delegate() != nullptr, withDelegate) << c.name;
    }
  }
}

TEST(TLSettingsRefreshFlagTest, FlagPersistsAcrossAReopenedStore) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->removeObjectForKey("TLUpdateMainPage");
  EXPECT_FALSE(TLSettings::isMainPageNeedUpdate());
  auto reopened = [&] { return std::make_shared<ns::UserDefaults>()->initWithPath(defaults->path()); };
  for (bool set : {true, false, true}) {
    if (set)
      TLSettings::addRefreshMainPageFlag();
    else
      TLSettings::removeRefreshMainPageFlag();
    EXPECT_EQ(TLSettings::isMainPageNeedUpdate(), set);
    EXPECT_EQ(reopened()->boolForKey("TLUpdateMainPage"), set);
    EXPECT_TRUE(reopened()->objectForKey("TLUpdateMainPage").isBool());
  }
  TLSettings::removeRefreshMainPageFlag();
}

}  // namespace
