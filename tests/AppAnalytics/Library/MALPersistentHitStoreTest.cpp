#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "AppAnalytics/Library/MALPersistentHitStore.h"
#include "AppAnalytics/Library/MALTrackerError.h"
#include "Foundation/Clock.h"
#include "Foundation/FileManager.h"
#include "MALTestSupport.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using maltest::Database;

constexpr double kStart = 1700000000;

std::string seconds(double t) { return std::to_string(static_cast<long>(t)); }

MALEventPtr pageview(const std::string& path = "/page") {
  return std::make_shared<MALEvent>()->initWithPagePath(path, kMALPageviewEventCategory, std::nullopt,
                                                        std::nullopt, 0);
}

MALEventPtr event(const std::string& category, const std::string& action) {
  return std::make_shared<MALEvent>()->initWithPagePath(std::nullopt, category, action, std::nullopt, -1);
}

MALPersistentHitStorePtr open(const std::string& path, std::vector<std::string> accounts = {"UA-1"}) {
  return std::make_shared<MALPersistentHitStore>()->initWithHitBuilder(maltest::builder(std::move(accounts)),
                                                                       path);
}

// The visitor cookie of a hit: id, first, previous and current visit, visit count.
std::string utma(const std::string& hit) {
  std::smatch m;
  return std::regex_search(hit, m, std::regex("__utma%3D1\\.([0-9.-]+)%3B")) ? m[1].str() : std::string();
}

std::string lastHit(const MALPersistentHitStorePtr& store) {
  auto hits = store->peekHits(-1);
  return hits.empty() ? std::string() : hits.back()->hitString();
}

std::string fileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class MALPersistentHitStoreTest : public testsupport::TempDirTest {
 protected:
  std::string path_ = tmp.file("appanalytics.sql");
};

TEST_F(MALPersistentHitStoreTest, AFirstRunCreatesTheTablesTheVariableCacheAndASession) {
  auto store = open(path_);
  ASSERT_TRUE(store);
  std::int32_t id = store->storeID();
  EXPECT_GT(id, 0);
  store.reset();
  store = open(path_);  // opening again adds nothing and keeps the visitor
  ASSERT_TRUE(store);
  EXPECT_EQ(store->storeID(), id);
  Database db(path_);
  EXPECT_EQ(
      db.rows("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name"),
      (std::vector<std::string>{"custom_var_cache", "events", "hits", "referrer", "session"}));
  EXPECT_EQ(
      db.value(
          "SELECT COUNT(*), MIN(cv_index), MAX(cv_index), COUNT(DISTINCT cv_index) FROM custom_var_cache "
          "WHERE cv_scope=3 AND cv_name='' AND cv_value=''"),
      "50|1|50|50");
  EXPECT_EQ(db.value("SELECT COUNT(*) FROM custom_var_cache"), "50");
  EXPECT_EQ(db.rows("SELECT * FROM session"), std::vector<std::string>{"0|0|0|0|" + std::to_string(id)});
  EXPECT_EQ(store->storedHits(), 0u);
  EXPECT_EQ(store->visitorIDForAds(), std::nullopt);
}

TEST_F(MALPersistentHitStoreTest, VisitsAndTheirTimesFollowNewSessions) {
  ns::ManualClock clock(kStart);
  auto store = open(path_);
  const std::string id = std::to_string(store->storeID());
  const std::string t = seconds(kStart);
  struct Step {
    bool newSession;
    double advance;
    std::string cookie;
  } steps[] = {
      {false, 0, id + "." + t + "." + t + "." + t + ".1"},
      {false, 10, id + "." + t + "." + t + "." + t + ".1"},  // same visit
      {true, 100, id + "." + t + "." + t + "." + seconds(kStart + 110) + ".2"},
      {true, 0, id + "." + t + "." + seconds(kStart + 110) + "." + seconds(kStart + 111) + ".3"},
  };
  for (const auto& s : steps) {
    if (s.newSession) store->startNewSession();
    clock.advance(s.advance);
    ASSERT_TRUE(store->persistEvent(pageview()));
    EXPECT_EQ(utma(lastHit(store)), s.cookie);
  }
  EXPECT_EQ(store->visitorIDForAds(), id + "." + t);
  EXPECT_EQ(store->sessionIDForAds(), seconds(kStart + 111));

  store.reset();
  store = open(path_);
  EXPECT_EQ(store->visits(), 3);
  EXPECT_EQ(store->storedHits(), 4u);
  EXPECT_TRUE(store->sessionStarted());
}

TEST_F(MALPersistentHitStoreTest, SamplingDropsVisitorsAtOrAboveTheRateAndReportsSuccess) {
  struct Case {
    unsigned rate;
    std::int32_t visitor;
    bool stored;
  } cases[] = {{0, 1, false},      {100, 9999, true}, {50, 4999, true}, {50, 5000, false},
               {50, 15000, false}, {1, 99, true},     {1, 100, false}};
  auto store = open(path_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate * 100000 + c.visitor);
    store->setSampleRate(c.rate);
    auto e = pageview();
    e->setVisitorId(c.visitor);
    unsigned before = store->storedHits();
    EXPECT_TRUE(store->persistEvent(e));
    EXPECT_EQ(store->storedHits(), before + (c.stored ? 1 : 0));
  }
}

TEST_F(MALPersistentHitStoreTest, OnlyQueriesNamingACampaignMakeAReferrer) {
  struct Case {
    const char* query;
    std::optional<std::string> text;
  } cases[] = {
      {"utm_source=a&utm_medium=b", std::nullopt},
      {"utm_campaign&utm_medium=b&utm_source=c", std::nullopt},
      {"", std::nullopt},
      {"gclid=xyz", "utmgclid=xyz"},
      {"utm_campaign=spring sale&utm_medium=cpc&utm_source=news+paper&utm_term=",
       "utmcsr=news%20paper|utmccn=spring%20sale|utmcmd=cpc"},
      {"gclid=1&utm_id=7&utm_content=c&other=x", "utmcid=7|utmgclid=1|utmcct=c"},
  };
  for (const auto& c : cases) EXPECT_EQ(MALPersistentHitStore::formatReferrer(c.query), c.text) << c.query;

  auto store = open(path_);
  ns::ErrorPtr error;
  EXPECT_FALSE(store->setReferrer("utm_source=a", &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kMALTrackerErrorDomain);
  EXPECT_EQ(error->code(), kMALErrorBadArgument);
}

TEST_F(MALPersistentHitStoreTest, AReferrerOpensAVisitThatDatesItAndCountsCampaigns) {
  ns::ManualClock clock(kStart);
  auto store = open(path_);
  ASSERT_TRUE(store->persistEvent(pageview()));
  ASSERT_TRUE(store->setReferrer("utm_campaign=c&utm_medium=m&utm_source=s"));
  EXPECT_FALSE(store->sessionStarted());
  Database db(path_);
  EXPECT_EQ(db.rows("SELECT * FROM referrer"), std::vector<std::string>{"utmcsr=s|utmccn=c|utmcmd=m|0|0|1"});

  clock.advance(50);
  ASSERT_TRUE(store->persistEvent(pageview()));
  const std::string dated =
      "%2B__utmz%3D1." + seconds(kStart + 50) + ".2.1.utmcsr%3Ds%7Cutmccn%3Dc%7Cutmcmd%3Dm%3B";
  EXPECT_NE(lastHit(store).find(dated), std::string::npos) << lastHit(store);
  EXPECT_EQ(store->visits(), 2);
  clock.advance(5);
  ASSERT_TRUE(store->persistEvent(pageview()));
  EXPECT_NE(lastHit(store).find(dated), std::string::npos);

  ASSERT_TRUE(store->setReferrer("gclid=g"));
  ASSERT_TRUE(store->setReferrer("gclid=h"));  // not used yet: same index
  EXPECT_EQ(db.rows("SELECT * FROM referrer"), std::vector<std::string>{"utmgclid=h|0|0|2"});
}

TEST_F(MALPersistentHitStoreTest, TheStoreHoldsAThousandHitsCountingEveryAccount) {
  open(path_).reset();
  {
    Database db(path_);
    db.exec("BEGIN");
    for (int i = 0; i < 998; ++i) db.exec("INSERT INTO hits (hit_string) VALUES ('/__utm.gif?old')");
    db.exec("COMMIT");
  }
  auto store = open(path_, {"UA-1", "UA-2"});
  EXPECT_EQ(store->storedHits(), 998u);
  ASSERT_TRUE(store->persistEvent(pageview()));
  EXPECT_EQ(store->storedHits(), 1000u);  // two hits for one event
  ns::ErrorPtr error;
  EXPECT_FALSE(store->persistEvent(pageview(), &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kMALPersistentEventStoreErrorDomain);
  EXPECT_EQ(error->code(), kMALStoreErrorFull);
  EXPECT_TRUE(store->deleteHit(999999));  // no such hit: nothing changes
  EXPECT_EQ(store->storedHits(), 1000u);
  EXPECT_TRUE(store->deleteHit(store->peekHits(1).front()->hitId()));
  EXPECT_EQ(store->storedHits(), 999u);
  EXPECT_TRUE(store->persistEvent(pageview()));
  EXPECT_EQ(store->countHits(), 1001u);
  EXPECT_EQ(store->peekHits(-1).size(), 1000u);
  EXPECT_EQ(store->peekHits(3).size(), 3u);

  // An empty store's count does not wrap below zero and report itself full.
  auto fresh = open(tmp.file("fresh.sql"));
  EXPECT_TRUE(fresh->deleteHit(1));
  EXPECT_EQ(fresh->storedHits(), 0u);
  EXPECT_TRUE(fresh->persistEvent(pageview()));
}

TEST_F(MALPersistentHitStoreTest, AFailedWriteLeavesNeitherHitsNorAChangedSession) {
  struct Case {
    const char* name;
    const char* trigger;
  } cases[] = {
      {"referrer dated", "BEFORE INSERT ON referrer WHEN NEW.referrer_timestamp != 0"},
      {"hit insert", "BEFORE INSERT ON hits"},
      {"session insert", "BEFORE INSERT ON session"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = tmp.file(std::string(c.name) + ".sql");
    ns::ManualClock clock(kStart);
    auto store = open(path, {"UA-1", "UA-2"});
    ASSERT_TRUE(store->setReferrer("gclid=g"));
    Database db(path);
    db.exec(std::string("CREATE TRIGGER failing ") + c.trigger +
            " BEGIN SELECT RAISE(ABORT, 'disk trouble'); END;");
    ns::ErrorPtr error;
    EXPECT_FALSE(store->persistEvent(pageview(), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), kMALPersistentEventStoreErrorDomain);
    EXPECT_EQ(store->visits(), 0);
    EXPECT_EQ(store->timestampCurrent(), 0);
    EXPECT_FALSE(store->sessionStarted());
    EXPECT_EQ(db.value("SELECT COUNT(*) FROM hits"), "0");
    EXPECT_EQ(db.value("SELECT visits, timestamp_current FROM session"), "0|0");
    EXPECT_EQ(db.value("SELECT referrer_timestamp FROM referrer"), "0");
    EXPECT_EQ(store->storedHits(), 0u);

    db.exec("DROP TRIGGER failing");
    clock.advance(5);
    ASSERT_TRUE(store->persistEvent(pageview()));
    EXPECT_EQ(store->visits(), 1);  // the failed attempt counted no visit
    EXPECT_EQ(db.value("SELECT referrer_timestamp, referrer_visit FROM referrer"),
              seconds(kStart + 5) + "|1");
    EXPECT_EQ(store->storedHits(), 2u);
  }
}

// The layout of the version that kept events instead of hits.
void writeOlderLayout(const std::string& path) {
  Database db(path);
  db.exec(
      "CREATE TABLE events ( 'event_id' INTEGER PRIMARY KEY, 'random_val' INTEGER NOT NULL, "
      "'timestamp_first' "
      "INTEGER NOT NULL, 'timestamp_previous' INTEGER NOT NULL, 'timestamp_current' INTEGER NOT NULL, "
      "'visits' "
      "INTEGER NOT NULL, 'category' CHAR(256) NOT NULL, 'action' CHAR(256) NOT NULL, 'label' CHAR(256), "
      "'value' "
      "INTEGER);"
      "CREATE TABLE custom_variables (cv_id INTEGER PRIMARY KEY, event_id INTEGER, cv_scope INTEGER, "
      "cv_index "
      "INTEGER, cv_name TEXT, cv_value TEXT);"
      "CREATE TABLE transactions (tran_id INTEGER PRIMARY KEY, event_id INTEGER, order_id TEXT, store_name "
      "TEXT, "
      "total TEXT, tax TEXT, shipping TEXT);"
      "CREATE TABLE items (item_id INTEGER PRIMARY KEY, event_id INTEGER, order_id TEXT, sku TEXT, name "
      "TEXT, "
      "category TEXT, price REAL, count INTEGER);"
      "INSERT INTO events VALUES (1, 11, 100, 200, 300, 4, '__##APPPAGEVIEW##__', '', NULL, 0);"
      "INSERT INTO custom_variables VALUES (1, 1, 3, 2, 'genre', 'drama');"
      "INSERT INTO events VALUES (2, 22, 100, 200, 300, 4, 'video', 'play', 'trailer', 5);"
      "INSERT INTO events VALUES (3, 33, 100, 200, 300, 4, '__##APPTRANSACTION##__', '', '', -1);"
      "INSERT INTO transactions VALUES (1, 3, 'o1', 'shop', '12.5', '0', '2');"
      "INSERT INTO events VALUES (4, 44, 100, 200, 300, 4, '__##APPITEM##__', '', '', -1);"
      "INSERT INTO items VALUES (1, 4, 'o1', 'sku1', 'Film', 'cat', 3.25, 2);");
}

TEST_F(MALPersistentHitStoreTest, EveryEventOfTheOlderLayoutBecomesAHit) {
  writeOlderLayout(path_);
  auto store = open(path_);
  ASSERT_TRUE(store);
  auto hits = store->peekHits(-1);
  ASSERT_EQ(hits.size(), 4u);
  const std::string id = std::to_string(store->storeID());
  for (const auto& h : hits) EXPECT_EQ(utma(h->hitString()), id + ".100.200.300.4");
  EXPECT_NE(hits[0]->hitString().find("utmn=11&"), std::string::npos);
  EXPECT_NE(hits[0]->hitString().find("&utme=8(2!genre)9(2!drama)11(2!3)"), std::string::npos);
  EXPECT_NE(hits[1]->hitString().find("utmt=event&utme=5(video*play*trailer)(5)&"), std::string::npos);
  EXPECT_NE(hits[2]->hitString().find("utmtid=o1&utmtst=shop&utmtto=12.500000&utmttx=&utmtsp=2.000000"),
            std::string::npos);
  EXPECT_NE(
      hits[3]->hitString().find("utmtid=o1&utmipc=sku1&utmipn=Film&utmiva=cat&utmipr=3.250000&utmiqt=2"),
      std::string::npos);
  Database db(path_);
  EXPECT_EQ(db.rows("SELECT name FROM sqlite_master WHERE type='table' AND name IN "
                    "('events','custom_variables','transactions','items')"),
            std::vector<std::string>{});
  store.reset();
  EXPECT_EQ(open(path_)->peekHits(-1).size(), 4u);  // migrated once
}

TEST_F(MALPersistentHitStoreTest, OlderEventsWaitUntilTheAccountsAreKnown) {
  writeOlderLayout(path_);
  auto builder = maltest::builder({});
  auto store = std::make_shared<MALPersistentHitStore>()->initWithHitBuilder(builder, path_);
  EXPECT_EQ(store->storedHits(), 0u);
  EXPECT_EQ(Database(path_).value("SELECT COUNT(*) FROM events"), "4");
  builder->setAccountIDs({"UA-9"});
  ASSERT_TRUE(store->persistEvent(pageview("/new")));
  auto hits = store->peekHits(-1);
  ASSERT_EQ(hits.size(), 5u);
  EXPECT_NE(hits[0]->hitString().find("utmn=11&"), std::string::npos);
  EXPECT_NE(hits[4]->hitString().find("utmp=%2Fnew"), std::string::npos);
}

class MALHitStoreLocationTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    auto files = ns::FileManager::defaultManager();
    files->removeItemAtPath(documents_);
    files->removeItemAtPath(library_);
  }
  // A store file in Documents holding two hits, as an earlier version left it.
  void leaveInDocuments() {
    auto old = open(documents_);
    ASSERT_TRUE(old);
    ASSERT_TRUE(old->persistEvent(pageview("/a")));
    ASSERT_TRUE(old->persistEvent(pageview("/b")));
  }

  std::string documents_ = ns::stringByAppendingPathComponent(ns::documentsDirectory(), kMALDatabaseFileName);
  std::string library_ = ns::stringByAppendingPathComponent(ns::libraryDirectory(), kMALDatabaseFileName);
  std::shared_ptr<ns::FileManager> files_ = ns::FileManager::defaultManager();
  testsupport::LogCapture log_;
};

TEST_F(MALHitStoreLocationTest, AStoreInDocumentsMovesToLibraryWithItsHits) {
  leaveInDocuments();
  auto store = std::make_shared<MALPersistentHitStore>()->initWithHitBuilder(maltest::builder({"UA-1"}));
  ASSERT_TRUE(store);
  EXPECT_TRUE(log_.contains("Moved hit store database from Documents to Library."));
  EXPECT_EQ(store->path(), library_);
  EXPECT_FALSE(files_->fileExistsAtPath(documents_));
  EXPECT_EQ(store->peekHits(-1).size(), 2u);
}

TEST_F(MALHitStoreLocationTest, AStoreAlreadyInLibraryWinsOverTheDocumentsCopy) {
  open(library_).reset();
  leaveInDocuments();
  auto store = std::make_shared<MALPersistentHitStore>()->initWithHitBuilder(maltest::builder({"UA-1"}));
  ASSERT_TRUE(store);
  EXPECT_TRUE(log_.contains("Deleted hit store database in Documents."));
  EXPECT_FALSE(files_->fileExistsAtPath(documents_));
  EXPECT_EQ(store->storedHits(), 0u);
}

TEST_F(MALHitStoreLocationTest, AStoreThatCannotBeMovedIsUsedWhereItIs) {
  testsupport::TempDir tmp;
  leaveInDocuments();
  auto store = open(tmp.file("missing/appanalytics.sql"));
  ASSERT_TRUE(store);
  EXPECT_TRUE(log_.contains("Failed to move database from Documents to Library: "));
  EXPECT_TRUE(files_->fileExistsAtPath(documents_));
  EXPECT_EQ(store->path(), documents_);
  EXPECT_EQ(store->peekHits(-1).size(), 2u);
}

TEST_F(MALPersistentHitStoreTest, AFileThatIsNoDatabaseIsLeftAloneAndReported) {
  std::string garbage;
  for (int i = 0; i < 200; ++i) garbage += "this is not a database ";
  std::ofstream(path_, std::ios::binary) << garbage;
  testsupport::LogCapture log;
  EXPECT_EQ(open(path_), nullptr);
  EXPECT_TRUE(log.contains("Error initializing App Analytics database"));
  EXPECT_EQ(fileContents(path_), garbage);

  EXPECT_EQ(open(tmp.file("no/such/folder.sql")), nullptr);
  EXPECT_TRUE(log.contains("Unable to open App Analytics database"));
}

TEST_F(MALPersistentHitStoreTest, AClosedStoreRefusesEverything) {
  auto store = open(path_);
  store->closeDatabase();
  ns::ErrorPtr error;
  EXPECT_FALSE(store->persistEvent(pageview(), &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), kMALStoreErrorNotOpen);
  EXPECT_TRUE(store->peekHits(-1).empty());
  EXPECT_FALSE(store->deleteHit(1));
  EXPECT_FALSE(store->setReferrer("gclid=1", &error));
  EXPECT_EQ(error->code(), kMALErrorNoStore);
  EXPECT_EQ(store->visitorCustomVarAtIndex(1), std::nullopt);
}

TEST_F(MALPersistentHitStoreTest, VisitorVariablesAreKeptAndRideOnTheFirstHitOfEachVisit) {
  auto store = open(path_);
  auto e = event("video", "play");
  auto buffer = std::make_shared<MALCustomVariableBuffer>();
  buffer->addCustomVariable(std::make_shared<MALCustomVariable>()->initWithIndex(1, "user", "vip", 1));
  buffer->addCustomVariable(std::make_shared<MALCustomVariable>()->initWithIndex(2, "page", "x", 3));
  e->setCustomVariableBuffer(buffer);
  ASSERT_TRUE(store->persistEvent(e));
  EXPECT_EQ(store->visitorCustomVarAtIndex(1), "vip");
  EXPECT_EQ(store->visitorCustomVarAtIndex(2), std::nullopt);  // not a visitor variable
  EXPECT_EQ(store->getVisitorVarBuffer()->dictionary().size(), 1u);

  ASSERT_TRUE(store->persistEvent(pageview()));
  EXPECT_EQ(lastHit(store).find("&utme="), std::string::npos);
  store->startNewSession();
  ASSERT_TRUE(store->persistEvent(pageview()));
  EXPECT_NE(lastHit(store).find("&utme=8(1!user)9(1!vip)11(1!1)"), std::string::npos);
  // Transactions carry none.
  store->startNewSession();
  auto tran = event(kMALTransactionEventCategory, "");
  tran->setTransaction(std::make_shared<MALTransaction>()->initWithOrderID("o", std::nullopt, 1, 0, 0));
  ASSERT_TRUE(store->persistEvent(tran));
  EXPECT_EQ(lastHit(store).find("utme"), std::string::npos);
}

// Runs only as the child of the test below: writes events until it is killed.
TEST(MALPersistentHitStoreCrashTest, WriterProcess) {
  const char* path = std::getenv("MAL_CRASH_WRITER_DB");
  const char* fd = std::getenv("MAL_CRASH_WRITER_FD");
  if (!path || !fd) GTEST_SKIP() << "started by KilledWriterLeavesOnlyWholeHits";
  auto store = open(path, {"UA-1", "UA-2"});
  ASSERT_TRUE(store);
  for (int i = 0;; ++i) {
    store->persistEvent(pageview("/page" + std::to_string(i)));
    if (store->storedHits() >= 900) {
      store->closeDatabase();
      Database(path).exec("DELETE FROM hits");
      store = open(path, {"UA-1", "UA-2"});
    }
    if (i == 20) {
      char ready = 1;
      [[maybe_unused]] auto r = ::write(std::atoi(fd), &ready, 1);
    }
  }
}

TEST_F(MALPersistentHitStoreTest, AKilledWriterLeavesAnIntactFileWithOnlyWholeHits) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  env.push_back("MAL_CRASH_WRITER_DB=" + path_);
  env.push_back("MAL_CRASH_WRITER_FD=" + std::to_string(ready[1]));
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string filter = "--gtest_filter=MALPersistentHitStoreCrashTest.WriterProcess";
  char self[] = "/proc/self/exe";
  char* argv[] = {self, filter.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, self, nullptr, nullptr, argv, envp.data()), 0);
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the writer did not start";
  ::close(ready[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  auto store = open(path_, {"UA-1", "UA-2"});  // a hot journal is rolled back on opening
  ASSERT_TRUE(store);
  Database db(path_);
  EXPECT_EQ(db.value("PRAGMA integrity_check"), "ok");
  auto hits = store->peekHits(-1);
  EXPECT_EQ(hits.size() % 2, 0u);  // both accounts' hits of an event, or neither
  std::regex whole(
      "/__utm\\.gif\\?utmwv=4\\.9\\.1mi&.*&utmp=%2Fpage[0-9]+&utmac=UA-[12]&utmcc=.*&utmht=[0-9]+");
  for (const auto& h : hits) EXPECT_TRUE(std::regex_match(h->hitString(), whole)) << h->hitString();
  for (std::size_t i = 0; i + 1 < hits.size(); i += 2)
    EXPECT_EQ(hits[i]->hitString().substr(0, 40), hits[i + 1]->hitString().substr(0, 40));
}

}  // namespace
