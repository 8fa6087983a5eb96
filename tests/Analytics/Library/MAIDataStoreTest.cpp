#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIDataStore.h"
#include "AnalyticsTestSupport.h"
#include "Foundation/Format.h"
#include "Store/StoreErrors.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

class MAIDataStoreTest : public testsupport::TempDirTest {
 protected:
  std::string storePath() const { return tmp.file(kDatastoreFilename); }
  MAIDataStorePtr openStore() {
    ns::ErrorPtr error;
    auto store = MAIDataStore::dataStoreWithPath(storePath(), &error);
    EXPECT_TRUE(store) << error;
    return store;
  }
};

std::shared_ptr<MAIHit> addHit(MAIDataStore& store, double timestamp, const std::string& tag) {
  auto hit = store.addHit(nullptr);
  hit->setTimestamp(ns::Date(timestamp));
  hit->setDispatchUrl(std::string("http://127.0.0.1/collect"));
  hit->setParameters(MAIParameters{{"tag", tag}});
  return hit;
}

std::vector<std::string> tags(const std::optional<std::vector<std::shared_ptr<MAIHit>>>& hits) {
  std::vector<std::string> out;
  if (hits)
    for (const auto& hit : *hits) out.push_back(hit->parameters().value_or(MAIParameters{}).at("tag"));
  return out;
}

TEST_F(MAIDataStoreTest, HitsComeOldestFirstWithPendingChangesCounted) {
  auto store = openStore();
  ASSERT_TRUE(store);
  addHit(*store, 300, "c");
  addHit(*store, 100, "a");
  addHit(*store, 200, "b");
  EXPECT_EQ(store->hitCount(nullptr), 3);
  ASSERT_TRUE(store->save(nullptr));
  auto oldest = store->fetchHitsWithLimit(1, nullptr);
  ASSERT_EQ(tags(oldest), std::vector<std::string>{"a"});
  EXPECT_EQ((*oldest)[0]->maiVersion(), "2.0b4");
  store->deleteObject((*oldest)[0]);
  EXPECT_TRUE(store->hasChanges());
  EXPECT_EQ(tags(store->fetchHitsWithLimit(1, nullptr)), std::vector<std::string>{"b"});
  EXPECT_EQ(store->hitCount(nullptr), 2);
  addHit(*store, 50, "new");
  EXPECT_EQ(tags(store->fetchHitsWithLimit(0, nullptr)), (std::vector<std::string>{"new", "b", "c"}));
  ASSERT_TRUE(store->save(nullptr));
  store.reset();

  auto reopened = openStore();
  EXPECT_EQ(tags(reopened->fetchHitsWithLimit(0, nullptr)), (std::vector<std::string>{"new", "b", "c"}));
  EXPECT_TRUE(reopened->deleteAllHits(nullptr));
  EXPECT_EQ(reopened->hitCount(nullptr), 0);
  EXPECT_EQ(reopened->propertyCount(nullptr), 0);
}

TEST_F(MAIDataStoreTest, PropertiesAreFoundByNameAndDuplicatesRefused) {
  auto store = openStore();
  ASSERT_TRUE(store);
  ns::ErrorPtr error;
  EXPECT_EQ(store->propertyForName(kClientIdPropertyName, false, &error), nullptr);
  EXPECT_FALSE(error);
  auto created = store->propertyForName(kClientIdPropertyName, true, &error);
  ASSERT_TRUE(created);
  EXPECT_EQ(created->maiVersion(), "2.0b4");
  EXPECT_EQ(created->name(), "ClientId");
  EXPECT_EQ(store->propertyForName(kClientIdPropertyName, true, nullptr), created);
  created->setString(std::string("id-1"));
  ASSERT_TRUE(store->save(nullptr));
  EXPECT_EQ(store->propertyForName(kClientIdPropertyName, false, nullptr), created);

  auto twin = std::dynamic_pointer_cast<MAIProperty>(
      store->contextForThread(nullptr)->insertNewObjectForEntity(store->propertyEntity()));
  twin->setName(std::string(kClientIdPropertyName));
  twin->setMaiVersion(std::string(kMAIVersion));
  ASSERT_TRUE(store->save(nullptr));
  testsupport::LogCapture log;
  EXPECT_EQ(store->propertyForName(kClientIdPropertyName, true, nullptr), nullptr);
  EXPECT_TRUE(log.contains("ERROR: Found 2 properties named ClientId"));
  EXPECT_EQ(store->propertyCount(nullptr), 2);
  EXPECT_EQ(store->fetchProperties(nullptr)->size(), 2u);
}

TEST_F(MAIDataStoreTest, AnUnusableFileFailsToOpenWithTheLogLineAndError) {
  std::ofstream(tmp.file("garbage.sql"), std::ios::binary) << std::string(2048, '\x7f');
  std::filesystem::create_directory(tmp.file("folder.sql"));
  struct Case {
    std::string path;
    const char* domain;
    std::int64_t code;
  } cases[] = {
      {tmp.file("garbage.sql"), ns::kCocoaErrorDomain, ns::kFileReadCorruptFileError},
      {tmp.file("folder.sql"), cd::kSQLiteErrorDomain, SQLITE_CANTOPEN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    testsupport::LogCapture log;
    ns::ErrorPtr error;
    EXPECT_EQ(MAIDataStore::dataStoreWithPath(c.path, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), c.domain);
    EXPECT_EQ(error->code(), c.code);
    EXPECT_TRUE(log.contains("ERROR: Error opening database with path " + c.path + ": "))
        << testing::PrintToString(log.lines());
    // The store that did not open answers every operation with its failure value.
    auto closed = std::make_shared<MAIDataStore>()->initWithPath(c.path, nullptr);
    ns::ErrorPtr operationError;
    EXPECT_EQ(closed->hitCount(&operationError), -1);
    ASSERT_TRUE(operationError);
    EXPECT_EQ(operationError->domain(), "NSSQLiteErrorDomain");
    EXPECT_EQ(operationError->code(), 134070);
    EXPECT_EQ(closed->addHit(nullptr), nullptr);
    EXPECT_FALSE(closed->save(nullptr));
  }
  // Without a path the hits live in memory.
  auto memory = MAIDataStore::dataStoreWithPath(std::nullopt, nullptr);
  ASSERT_TRUE(memory);
  addHit(*memory, 1, "m");
  EXPECT_TRUE(memory->save(nullptr));
  EXPECT_EQ(memory->hitCount(nullptr), 1);
}

TEST_F(MAIDataStoreTest, AWriterKilledInTheMiddleOfSavesLeavesOnlyWholeHits) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::string path = storePath();
    analyticstest::ChildProcess writer(ANALYTICS_STORE_WRITER, {path});
    ASSERT_TRUE(writer.started());
    bool progressed = writer.waitForOutput(ns::format("saved %d\n", 20 * (round + 1)));
    writer.kill(SIGKILL);
    ASSERT_TRUE(writer.waitForExit());
    ASSERT_TRUE(progressed) << writer.output();
    ASSERT_TRUE(WIFSIGNALED(writer.status()));

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);

    auto store = openStore();
    ASSERT_TRUE(store);
    auto hits = store->fetchHitsWithLimit(0, nullptr);
    ASSERT_TRUE(hits);
    EXPECT_EQ(hits->size() % 5, 0u);
    EXPECT_GE(hits->size(), 20u * 5);
    std::map<std::string, int> perBatch;
    for (const auto& hit : *hits) {
      auto parameters = hit->parameters();
      ASSERT_TRUE(parameters);
      int batch = std::stoi(parameters->at("batch"));
      int index = std::stoi(parameters->at("index"));
      EXPECT_EQ(parameters->at("payload"), std::string(1000 + batch % 97, static_cast<char>('a' + index)));
      ++perBatch[parameters->at("batch")];
    }
    for (const auto& [batch, count] : perBatch) EXPECT_EQ(count, 5) << "batch " << batch;
    store.reset();
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-journal");
  }
}

}  // namespace
