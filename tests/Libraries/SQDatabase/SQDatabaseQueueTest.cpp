#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "Foundation/Exception.h"
#include "SQDatabase/SQDatabasePool.h"
#include "SQDatabase/SQDatabaseQueue.h"
#include "SQTestSupport.h"

namespace {

using sqtest::DatabaseTest;
using SQDatabaseQueueTest = sqtest::DatabaseTest;
using SQDatabasePoolTest = sqtest::DatabaseTest;
using testsupport::LogCapture;

// The queue and the pool offer the same block operations; the transaction tests run against both.
struct Runner {
  using Block = SQDatabaseQueue::TransactionBlock;
  const char* name;
  std::function<ns::ErrorPtr(const SQDatabaseQueue::DatabaseBlock&)> inDatabase;
  std::function<ns::ErrorPtr(const Block&)> inTransaction;
  std::function<ns::ErrorPtr(const Block&)> inSavePoint;
};

std::vector<Runner> runners(const std::string& path) {
  auto queue = SQDatabaseQueue::databaseQueueWithPath(path);
  auto pool = SQDatabasePool::databasePoolWithPath(path);
  return {
      {"queue", [queue](const auto& block) { return queue->inDatabase(block); },
       [queue](const auto& block) { return queue->inTransaction(block); },
       [queue](const auto& block) { return queue->inSavePoint(block); }},
      {"pool", [pool](const auto& block) { return pool->inDatabase(block); },
       [pool](const auto& block) { return pool->inTransaction(block); },
       [pool](const auto& block) { return pool->inSavePoint(block); }},
  };
}

class SQBlockTransactionTest : public DatabaseTest {
 protected:
  void SetUp() override {
    check = openFile();
    ASSERT_TRUE(check->executeUpdate("create table t (v)"));
  }
  int rows() { return check->intForQuery("select count(*) from t"); }
  std::shared_ptr<SQDatabase> check;
};

TEST_F(SQBlockTransactionTest, RollbackFlagUndoesAndCommitKeeps) {
  for (const auto& runner : runners(dbPath())) {
    SCOPED_TRACE(runner.name);
    for (auto operation : {runner.inTransaction, runner.inSavePoint}) {
      ASSERT_TRUE(check->executeUpdate("delete from t"));
      EXPECT_FALSE(operation([](SQDatabase& db, bool& rollback) {
        EXPECT_TRUE(db.executeUpdate("insert into t values (1)"));
        rollback = true;
      }));
      EXPECT_EQ(rows(), 0);
      EXPECT_FALSE(operation(
          [](SQDatabase& db, bool&) { EXPECT_TRUE(db.executeUpdate("insert into t values (1)")); }));
      EXPECT_EQ(rows(), 1);
    }
  }
}

TEST_F(SQBlockTransactionTest, AFailedBeginSkipsTheBlock) {
  for (const auto& runner : runners(dbPath())) {
    SCOPED_TRACE(runner.name);
    // Give up at once on the lock the other connection holds.
    runner.inDatabase([](SQDatabase& db) { db.setBusyRetryTimeout(1); });
    ASSERT_TRUE(check->beginTransaction());
    LogCapture log;
    bool called = false;
    ns::ErrorPtr error = runner.inTransaction([&](SQDatabase& db, bool&) {
      called = true;
      db.executeUpdate("insert into t values (1)");
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_BUSY);
    EXPECT_FALSE(called);
    ASSERT_TRUE(check->commit());
    EXPECT_EQ(rows(), 0);
  }
}

TEST_F(SQBlockTransactionTest, AFailedCommitRollsBackAndIsReported) {
  ASSERT_TRUE(check->executeUpdate("create table parent (id integer primary key)"));
  ASSERT_TRUE(check->executeUpdate(
      "create table child (parent_id references parent (id) deferrable initially deferred)"));
  for (const auto& runner : runners(dbPath())) {
    SCOPED_TRACE(runner.name);
    LogCapture log;
    // Outside the transaction: inside one the pragma does nothing.
    runner.inDatabase([](SQDatabase& db) { EXPECT_TRUE(db.executeUpdate("PRAGMA foreign_keys = ON")); });
    ns::ErrorPtr error = runner.inTransaction([](SQDatabase& db, bool&) {
      EXPECT_TRUE(db.executeUpdate("insert into t values (1)"));
      EXPECT_TRUE(db.executeUpdate("insert into child values (99)"));
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code() & 0xff, SQLITE_CONSTRAINT);
    EXPECT_EQ(rows(), 0);
    // No transaction was left open: a new one begins.
    EXPECT_FALSE(runner.inTransaction(
        [](SQDatabase& db, bool&) { EXPECT_TRUE(db.executeUpdate("insert into t values (2)")); }));
    ASSERT_TRUE(check->executeUpdate("delete from t"));
  }
}

TEST_F(SQBlockTransactionTest, AThrowingBlockIsRolledBackAndReleasesItsConnection) {
  auto queue = SQDatabaseQueue::databaseQueueWithPath(dbPath());
  auto pool = SQDatabasePool::databasePoolWithPath(dbPath());
  auto throwing = [](SQDatabase& db, bool&) {
    db.executeUpdate("insert into t values (1)");
    throw ns::Exception("Test", "thrown from a block");
  };
  EXPECT_THROW(queue->inTransaction(throwing), ns::Exception);
  EXPECT_THROW(pool->inSavePoint(throwing), ns::Exception);
  EXPECT_EQ(rows(), 0);
  EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
  EXPECT_FALSE(
      queue->inDatabase([](SQDatabase& db) { EXPECT_TRUE(db.executeUpdate("insert into t values (2)")); }));
  EXPECT_EQ(rows(), 1);
}

TEST_F(SQDatabaseQueueTest, QueueSerialisesIncrementsFromManyThreads) {
  auto queue = SQDatabaseQueue::databaseQueueWithPath(dbPath());
  ASSERT_TRUE(queue);
  queue->inDatabase([](SQDatabase& db) {
    ASSERT_TRUE(db.executeUpdate("PRAGMA synchronous = OFF"));
    ASSERT_TRUE(db.executeUpdate("create table counter (n integer)"));
    ASSERT_TRUE(db.executeUpdate("insert into counter values (0)"));
  });
  constexpr int kThreads = 8;
  constexpr int kIncrements = 1000;
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      for (int j = 0; j < kIncrements; ++j) {
        // Read and write separately: only the queue keeps the pair from interleaving.
        queue->inDatabase([](SQDatabase& db) {
          int n = db.intForQuery("select n from counter");
          db.executeUpdate("update counter set n = ?", n + 1);
        });
      }
    });
  }
  for (auto& t : threads) t.join();
  int total = 0;
  queue->inDatabase([&](SQDatabase& db) { total = db.intForQuery("select n from counter"); });
  EXPECT_EQ(total, kThreads * kIncrements);
}

TEST_F(SQDatabaseQueueTest, QueueRefusesABlockCallingBackIntoIt) {
  auto queue = SQDatabaseQueue::databaseQueueWithPath(std::nullopt);
  LogCapture log;
  std::vector<ns::ErrorPtr> errors;
  bool innerCalled = false;
  ns::ErrorPtr outer = queue->inDatabase([&](SQDatabase&) {
    errors.push_back(queue->inDatabase([&](SQDatabase&) { innerCalled = true; }));
    errors.push_back(queue->inTransaction([&](SQDatabase&, bool&) { innerCalled = true; }));
    errors.push_back(queue->inSavePoint([&](SQDatabase&, bool&) { innerCalled = true; }));
    queue->close();
  });
  EXPECT_FALSE(outer);
  EXPECT_FALSE(innerCalled);
  for (const auto& error : errors) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_MISUSE);
  }
  EXPECT_TRUE(log.contains("called from a block already running on this queue; refused"));
  // The queue was not closed from inside: the in-memory database kept its state.
  EXPECT_FALSE(queue->inDatabase([](SQDatabase& db) { EXPECT_TRUE(db.goodConnection()); }));
}

TEST_F(SQDatabaseQueueTest, QueueReopensAfterCloseAndReportsWhatItCannotOpen) {
  LogCapture log;
  EXPECT_FALSE(SQDatabaseQueue::databaseQueueWithPath(tmp.file("missing/q.db")));
  EXPECT_TRUE(log.contains("Could not create database queue for path " + tmp.file("missing/q.db")));

  auto queue = SQDatabaseQueue::databaseQueueWithPath(dbPath());
  ASSERT_TRUE(queue);
  queue->inDatabase([](SQDatabase& db) { ASSERT_TRUE(db.executeUpdate("create table t (v)")); });
  queue->close();
  EXPECT_FALSE(queue->inDatabase([](SQDatabase& db) { EXPECT_TRUE(db.tableExists("t")); }));

  std::shared_ptr<SQResultSet> leftOpen;
  queue->inDatabase([&](SQDatabase& db) { leftOpen = db.executeQuery("select 1"); });
  EXPECT_TRUE(
      log.contains("Warning: there is at least one open result set around after performing [SQDatabaseQueue "
                   "inDatabase:]"));

  queue->close();
  std::filesystem::remove(dbPath());
  std::filesystem::create_directory(dbPath());
  bool called = false;
  ns::ErrorPtr error = queue->inDatabase([&](SQDatabase&) { called = true; });
  ASSERT_TRUE(error);
  EXPECT_FALSE(called);
  EXPECT_TRUE(log.contains("SQDatabaseQueue could not reopen database for path " + dbPath()));
}

TEST_F(SQDatabasePoolTest, PoolReusesConnectionsWithinItsMaximum) {
  auto pool = SQDatabasePool::databasePoolWithPath(dbPath());
  pool->setMaximumNumberOfDatabasesToCreate(1);
  LogCapture log;
  bool innerCalled = false;
  ns::ErrorPtr innerError;
  EXPECT_FALSE(pool->inDatabase([&](SQDatabase& db) {
    EXPECT_EQ(db.busyRetryTimeout(), SQDatabasePool::kBusyRetryTimeout);
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 1u);
    innerError = pool->inDatabase([&](SQDatabase&) { innerCalled = true; });
  }));
  ASSERT_TRUE(innerError);
  EXPECT_FALSE(innerCalled);
  EXPECT_TRUE(log.contains("Maximum number of databases (1) has already been reached!"));
  EXPECT_FALSE(pool->inDatabase([](SQDatabase&) {}));
  EXPECT_EQ(pool->countOfCheckedInDatabases(), 1u);
  EXPECT_EQ(pool->countOfOpenDatabases(), 1u);

  auto db = pool->db();
  ASSERT_TRUE(db);
  pool->pushDatabaseBackInPool(db);
  try {
    pool->pushDatabaseBackInPool(db);
    ADD_FAILURE() << "no exception";
  } catch (const ns::Exception& e) {
    EXPECT_EQ(e.name(), "Database already in pool");
    EXPECT_EQ(e.reason(), "The SQDatabase being put back into the pool is already present in the pool");
  }
  pool->pushDatabaseBackInPool(nullptr);
  pool->releaseAllDatabases();
  EXPECT_EQ(pool->countOfOpenDatabases(), 0u);
}

class Gatekeeper final : public SQDatabasePoolDelegate {
 public:
  bool databasePoolShouldAddDatabaseToPool(SQDatabasePool&, SQDatabase&) override { return allow; }
  bool allow = false;
};

TEST_F(SQDatabasePoolTest, PoolDropsConnectionsItCannotHandOut) {
  auto pool = SQDatabasePool::databasePoolWithPath(dbPath());
  pool->setMaximumNumberOfDatabasesToCreate(1);
  auto gatekeeper = std::make_shared<Gatekeeper>();
  pool->setDelegate(gatekeeper);
  bool called = false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_TRUE(pool->inDatabase([&](SQDatabase&) { called = true; }));
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);
  }
  EXPECT_FALSE(called);
  gatekeeper->allow = true;
  EXPECT_FALSE(pool->inDatabase([&](SQDatabase&) { called = true; }));
  EXPECT_TRUE(called);

  auto broken = SQDatabasePool::databasePoolWithPath(tmp.file("missing/p.db"));
  LogCapture log;
  ns::ErrorPtr error = broken->inSavePoint([&](SQDatabase&, bool&) { ADD_FAILURE(); });
  ASSERT_TRUE(error);
  EXPECT_TRUE(log.contains("Could not open up the database at path " + tmp.file("missing/p.db")));
  EXPECT_EQ(broken->countOfOpenDatabases(), 0u);
}

}  // namespace

namespace {

// The savepoint counters are shared by every connection, queue and pool in the process.
TEST_F(SQDatabasePoolTest, SavePointsFromManyThreadsAtOnce) {
  auto pool = SQDatabasePool::databasePoolWithPath(dbPath());
  auto queue = SQDatabaseQueue::databaseQueueWithPath(std::nullopt);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      auto own = SQDatabase::databaseWithPath(std::nullopt);
      own->open();
      for (int j = 0; j < 25; ++j) {
        auto block = [](SQDatabase&, bool& rollback) { rollback = true; };
        if (pool->inSavePoint(block) || queue->inSavePoint(block) || own->inSavePoint([](bool&) {}))
          ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
