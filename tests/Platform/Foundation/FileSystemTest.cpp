#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <thread>

#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/Locale.h"
#include "Foundation/PropertyList.h"
#include "Foundation/UserDefaults.h"
#include "support/TempDir.h"

namespace {

using FileSystemTest = testsupport::TempDirTest;

TEST_F(FileSystemTest, SandboxFoldersLiveUnderTheConfiguredRoot) {
  std::string root = ns::sandboxRootPath();
  EXPECT_EQ(root, std::getenv("VCC_SANDBOX_ROOT"));
  EXPECT_EQ(ns::cachesDirectory(), root + "/Library/Caches");
  EXPECT_EQ(ns::documentsDirectory(), root + "/Documents");
  EXPECT_EQ(ns::temporaryDirectory(), root + "/tmp");
  bool isDirectory = false;
  EXPECT_TRUE(ns::FileManager::defaultManager()->fileExistsAtPath(ns::cachesDirectory(), &isDirectory));
  EXPECT_TRUE(isDirectory);
}

TEST_F(FileSystemTest, PathHelpers) {
  struct Case {
    std::string path, component, appended, last, extension, parent;
  } cases[] = {
      {"/a/b", "c.png", "/a/b/c.png", "b", "", "/a"},
      {"/a/b/", "/c", "/a/b/c", "b", "", "/a"},
      {"x.tar.gz", "", "x.tar.gz", "x.tar.gz", "gz", ""},
      {"/", "y", "/y", "/", "", "/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ns::stringByAppendingPathComponent(c.path, c.component), c.appended);
    EXPECT_EQ(ns::lastPathComponent(c.path), c.last);
    EXPECT_EQ(ns::pathExtension(c.path), c.extension);
    EXPECT_EQ(ns::stringByDeletingLastPathComponent(c.path), c.parent);
  }
}

TEST_F(FileSystemTest, CreatesMovesListsAndRemoves) {
  auto files = ns::FileManager::defaultManager();
  ns::ErrorPtr error;
  std::string deep = tmp.file("userCache/posters/roles");
  EXPECT_FALSE(files->createDirectoryAtPath(deep, false, &error));
  EXPECT_EQ(error->code(), ns::kFileNoSuchFileError);
  EXPECT_TRUE(files->createDirectoryAtPath(deep, true));
  EXPECT_TRUE(files->createDirectoryAtPath(deep, true));
  EXPECT_FALSE(files->createDirectoryAtPath(deep, false));
  EXPECT_TRUE(files->createDirectoryAtPath(tmp.file("plistCache"), false));

  std::string file = tmp.file("userCache/posters/5.png");
  EXPECT_TRUE(files->createFileAtPath(file, ns::Data::fromString("png")));
  auto attributes = files->attributesOfItemAtPath(file);
  ASSERT_TRUE(attributes);
  EXPECT_EQ(attributes->size, 3u);
  EXPECT_FALSE(attributes->isDirectory);
  EXPECT_EQ(files->contentsOfDirectoryAtPath(tmp.file("userCache/posters")), (std::vector<std::string>{"5.png", "roles"}));
  EXPECT_FALSE(files->contentsOfDirectoryAtPath(tmp.file("none"), &error));

  EXPECT_TRUE(files->moveItemAtPath(file, tmp.file("moved.png")));
  EXPECT_EQ(files->contentsAtPath(tmp.file("moved.png"))->toString(), "png");
  EXPECT_TRUE(files->createFileAtPath(file, ns::Data::fromString("again")));
  EXPECT_FALSE(files->moveItemAtPath(file, tmp.file("moved.png"), &error));
  EXPECT_EQ(error->code(), ns::kFileWriteFileExistsError);

  EXPECT_TRUE(files->removeItemAtPath(tmp.file("userCache")));
  EXPECT_FALSE(files->fileExistsAtPath(deep));
  EXPECT_FALSE(files->removeItemAtPath(tmp.file("userCache"), &error));
  EXPECT_FALSE(files->attributesOfItemAtPath(tmp.file("userCache"), &error));
}

TEST_F(FileSystemTest, UserDefaultsPersistAcrossAReopenedStore) {
  std::string path = tmp.file("Preferences/app.plist");
  ns::FileManager::defaultManager()->createDirectoryAtPath(tmp.file("Preferences"), true);
  auto defaults = std::make_shared<ns::UserDefaults>()->initWithPath(path);
  defaults->setBool(true, "TLUpdateMainPage");
  defaults->setInteger(-5, "count");
  defaults->setDouble(2.5, "ratio");
  defaults->setObject(ns::Value("токен"), "VKontakteAccessToken");
  defaults->setObject(ns::Value(ns::Date(1.0e9)), "FaceBookExpirationDate");
  defaults->setObject(ns::Value(ns::Data::fromString("d")), "data");
  defaults->setObject(ns::Value(ns::Array{1, "a"}), "list");
  defaults->setObject(ns::Value(ns::Dictionary{{"k", "v"}}), "map");
  defaults->setObject(ns::Value::null(), "refused");
  defaults->setObject(ns::Value("gone"), "removed");
  defaults->removeObjectForKey("removed");
  ASSERT_TRUE(defaults->synchronize());

  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  auto reopened = std::make_shared<ns::UserDefaults>()->initWithPath(path);
  EXPECT_TRUE(reopened->boolForKey("TLUpdateMainPage"));
  EXPECT_EQ(reopened->integerForKey("count"), -5);
  EXPECT_EQ(reopened->doubleForKey("ratio"), 2.5);
  EXPECT_EQ(reopened->stringForKey("VKontakteAccessToken"), "токен");
  EXPECT_EQ(reopened->objectForKey("FaceBookExpirationDate"), ns::Value(ns::Date(1.0e9)));
  EXPECT_EQ(reopened->objectForKey("data"), ns::Value(ns::Data::fromString("d")));
  EXPECT_EQ(reopened->arrayForKey("list"), (ns::Array{1, "a"}));
  EXPECT_EQ(reopened->dictionaryForKey("map"), (ns::Dictionary{{"k", "v"}}));
  EXPECT_TRUE(reopened->objectForKey("refused").isNil());
  EXPECT_TRUE(reopened->objectForKey("removed").isNil());
  EXPECT_FALSE(reopened->boolForKey("never set"));
  EXPECT_FALSE(reopened->stringForKey("never set"));
}

TEST_F(FileSystemTest, UserDefaultsAreSafeFromSeveralThreads) {
  auto defaults = std::make_shared<ns::UserDefaults>()->initWithPath(tmp.file("threads.plist"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        defaults->setInteger(i, "key" + std::to_string(t));
        (void)defaults->integerForKey("key0");
        if (i % 10 == 0) defaults->synchronize();
      }
    });
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(defaults->synchronize());
  auto reopened = std::make_shared<ns::UserDefaults>()->initWithPath(tmp.file("threads.plist"));
  for (int t = 0; t < 4; ++t) EXPECT_EQ(reopened->integerForKey("key" + std::to_string(t)), 49);
  EXPECT_TRUE(ns::UserDefaults::standardUserDefaults()->path().starts_with(ns::libraryDirectory() + "/Preferences/"));
}

TEST_F(FileSystemTest, BundleReadsItsInfoAndFindsResources) {
  ASSERT_TRUE(ns::writePropertyListToFile(ns::Value(ns::Dictionary{{"CFBundleName", "Catalogue"},
                                                                   {"CFBundleVersion", "42"},
                                                                   {"CFBundleShortVersionString", "1.2"},
                                                                   {"CFBundleIdentifier", "test.catalogue"}}),
                                          tmp.file("Info.plist")));
  std::ofstream(tmp.file("FBpermissions.plist")) << "x";
  auto bundle = std::make_shared<ns::Bundle>()->initWithPath(tmp.str());
  EXPECT_EQ(bundle->name(), "Catalogue");
  EXPECT_EQ(bundle->version(), "42");
  EXPECT_EQ(bundle->shortVersion(), "1.2");
  EXPECT_EQ(bundle->bundleIdentifier(), "test.catalogue");
  EXPECT_FALSE(bundle->executable().empty());
  EXPECT_EQ(bundle->pathForResource("FBpermissions", "plist"), tmp.file("FBpermissions.plist"));
  EXPECT_EQ(bundle->pathForResource("missing", "plist"), std::nullopt);
  EXPECT_EQ(bundle->pathForResource("../etc/passwd", ""), std::nullopt);
  auto empty = std::make_shared<ns::Bundle>()->initWithPath(tmp.file("nowhere"));
  EXPECT_EQ(empty->bundleIdentifier(), "");
}

// The build writes the application's Info.plist into the resources folder the main bundle reads.
TEST(MainBundleTest, ReadsTheInfoTheBuildWrote) {
  if (const char* elsewhere = std::getenv("VCC_RESOURCES_DIR"); elsewhere && *elsewhere) GTEST_SKIP();
  auto bundle = ns::Bundle::mainBundle();
  EXPECT_FALSE(bundle->name().empty());
  EXPECT_FALSE(bundle->bundleIdentifier().empty());
  EXPECT_FALSE(bundle->shortVersion().empty());
  EXPECT_EQ(bundle->pathForResource("Info", "plist"), bundle->resourcePath() + "/Info.plist");
}

TEST(LocaleTest, ReadsTheEnvironment) {
  struct Case {
    const char* lang;
    const char* language;
    std::string language_, country;
  } cases[] = {
      {"ru_RU.UTF-8", nullptr, "ru", "RU"},
      {"en_GB", "de:fr_FR:de", "en", "GB"},
      {"C", nullptr, "en", "US"},
  };
  std::string savedLang = std::getenv("LANG") ? std::getenv("LANG") : "";
  for (const auto& c : cases) {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", c.lang, 1);
    if (c.language)
      ::setenv("LANGUAGE", c.language, 1);
    else
      ::unsetenv("LANGUAGE");
    auto locale = ns::Locale::currentLocale();
    EXPECT_EQ(locale.languageCode, c.language_);
    EXPECT_EQ(locale.countryCode, c.country);
  }
  ::setenv("LANGUAGE", "de:fr_FR:de", 1);
  EXPECT_EQ(ns::preferredLanguages(), (std::vector<std::string>{"de", "fr"}));
  ::unsetenv("LANGUAGE");
  ::setenv("LANG", "ru_RU.UTF-8", 1);
  EXPECT_EQ(ns::preferredLanguages(), (std::vector<std::string>{"ru"}));
  ::setenv("LANG", savedLang.c_str(), 1);
}

TEST(LocaleTest, UUIDsDigestsAndRandomNumbers) {
  std::string uuid = ns::UUIDString();
  EXPECT_TRUE(std::regex_match(uuid, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));
  EXPECT_NE(uuid, ns::UUIDString());
  EXPECT_EQ(ns::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ns::md5Hex("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
  auto& random = ns::Random::shared();
  random.seed(7);
  std::vector<std::uint32_t> first{random.next(), random.uniform(10), random.uniform(10)};
  random.seed(7);
  std::vector<std::uint32_t> second{random.next(), random.uniform(10), random.uniform(10)};
  EXPECT_EQ(first, second);
  EXPECT_LT(first[1], 10u);
  EXPECT_EQ(random.uniform(0), 0u);
}

}  // namespace
