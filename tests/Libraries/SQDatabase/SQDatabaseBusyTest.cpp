// Two connections to one file contending for its lock.
#include <sqlite3.h>

#include <barrier>
#include <functional>
#include <thread>

#include "SQDatabase/SQDatabasePool.h"
#include "SQDatabase/SQDatabaseQueue.h"
#include "SQTestSupport.h"

namespace {

using sqtest::DatabaseTest;
using testsupport::LogCapture;

class SQDatabaseBusyTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db = openFile();
    other = openFile();
    ASSERT_TRUE(db->executeUpdate("create table t (v)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
  }
  std::shared_ptr<SQDatabase> db;
  std::shared_ptr<SQDatabase> other;
};

TEST_F(SQDatabaseBusyTest, WithALimitCallsGiveUpOnAnExclusiveLock) {
  struct Case {
    const char* name;
    std::function<bool(SQDatabase&)> run;
  };
  const Case cases[] = {
      {"update", [](SQDatabase& d) { return d.executeUpdate("insert into t values (2)"); }},
      {"query",
       [](SQDatabase& d) {
         auto rs = d.executeQuery("select v from t");
         return rs && rs->next();
       }},
      {"deferred begin then write",
       [](SQDatabase& d) {
         bool wrote = d.beginDeferredTransaction() && d.executeUpdate("insert into t values (3)");
         d.rollback();
         return wrote;
       }},
  };
  ASSERT_TRUE(other->beginTransaction());
  db->setBusyRetryTimeout(3);
  int retries = 0;
  db->setBusyRetrySleep([&] { ++retries; });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    retries = 0;
    LogCapture log;
    EXPECT_FALSE(c.run(*db));
    EXPECT_EQ(retries, 3);
    EXPECT_TRUE(log.contains("Database busy"));
    EXPECT_TRUE(log.contains("Database busy (" + dbPath() + ")"));
  }
  ASSERT_TRUE(other->commit());
  EXPECT_TRUE(db->executeUpdate("insert into t values (4)"));
}

TEST_F(SQDatabaseBusyTest, WithoutALimitTheCallSucceedsOnceTheOtherSideCommits) {
  ASSERT_TRUE(other->beginTransaction());
  ASSERT_TRUE(other->executeUpdate("insert into t values (10)"));
  int retries = 0;
  db->setBusyRetrySleep([&] {
    if (++retries == 50) {
      EXPECT_TRUE(other->commit());
    }
  });
  EXPECT_TRUE(db->executeUpdate("insert into t values (20)"));
  EXPECT_EQ(retries, 50);
  EXPECT_EQ(db->intForQuery("select sum(v) from t"), 31);
}

TEST_F(SQDatabaseBusyTest, RealSleepsBetweenRetries) {
  ASSERT_TRUE(other->beginTransaction());
  db->setBusyRetryTimeout(20);
  LogCapture log;
  ns::ErrorPtr error;
  EXPECT_FALSE(db->update("insert into t values (2)", &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), SQLITE_BUSY);
  EXPECT_EQ(db->lastErrorCode(), SQLITE_BUSY);
}

// "Locked" comes from the connection itself (here: dropping a table one of its result sets reads),
// so waiting cannot help: the call fails at once with SQLite's message, on a bare connection and
// inside a queue block alike.
TEST_F(SQDatabaseBusyTest, ALockHeldByTheSameConnectionFailsAtOnce) {
  auto queue = SQDatabaseQueue::databaseQueueWithPath(dbPath());
  using Body = std::function<void(SQDatabase&)>;
  struct Case {
    const char* name;
    std::function<void(const Body&)> within;
  } cases[] = {
      {"bare connection", [&](const Body& body) { body(*db); }},
      {"queue block", [&](const Body& body) { queue->inDatabase(body); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    int retries = 0;
    bool dropped = true;
    ns::ErrorPtr error;
    c.within([&](SQDatabase& d) {
      // Ends an endless retry after a while, so a regression fails instead of hanging.
      d.setBusyRetrySleep([&] {
        if (++retries == 100) d.setBusyRetryTimeout(1);
      });
      auto rs = d.executeQuery("select v from t");
      ASSERT_TRUE(rs && rs->next());
      dropped = d.update("drop table t", &error);
      rs->close();
      d.setBusyRetrySleep(nullptr);
      d.setBusyRetryTimeout(0);
    });
    EXPECT_FALSE(dropped);
    EXPECT_EQ(retries, 0);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_LOCKED);
    EXPECT_TRUE(log.contains("Unknown error calling sqlite3_step (6: database table is locked"));
    EXPECT_TRUE(log.contains("DB Query: drop table t"));
  }
}

// Two deferred transactions that both read and then write wait for each other: each holds the
// shared lock the other needs. Unlimited retrying would wait for ever; the pool gives up on one.
TEST_F(SQDatabaseBusyTest, NestedPooledDeferredTransactionsEndInAFailure) {
  auto pool = SQDatabasePool::databasePoolWithPath(dbPath());
  LogCapture log;
  ns::ErrorPtr innerError;
  bool innerWrote = false;
  bool outerWrote = false;
  ns::ErrorPtr outerError = pool->inDeferredTransaction([&](SQDatabase& a, bool&) {
    EXPECT_EQ(a.intForQuery("select count(*) from t"), 1);
    innerError = pool->inDeferredTransaction([&](SQDatabase& b, bool&) {
      EXPECT_EQ(b.intForQuery("select count(*) from t"), 1);
      innerWrote = b.executeUpdate("insert into t values (2)");
    });
    outerWrote = a.executeUpdate("insert into t values (3)");
  });
  EXPECT_TRUE(innerWrote);
  ASSERT_TRUE(innerError);
  EXPECT_EQ(innerError->code(), SQLITE_BUSY);
  EXPECT_TRUE(outerWrote);
  EXPECT_FALSE(outerError);
  EXPECT_EQ(db->stringForQuery("select group_concat(v) from t"), "1,3");
  EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
}

TEST_F(SQDatabaseBusyTest, ConcurrentPooledDeferredTransactionsDoNotHang) {
  auto pool = SQDatabasePool::databasePoolWithPath(dbPath());
  LogCapture log;
  std::barrier bothRead(2);
  ns::ErrorPtr errors[2];
  std::vector<std::thread> threads;
  for (int i = 0; i < 2; ++i) {
    threads.emplace_back([&, i] {
      errors[i] = pool->inDeferredTransaction([&](SQDatabase& d, bool&) {
        EXPECT_EQ(d.intForQuery("select count(*) from t"), 1);
        bothRead.arrive_and_wait();
        d.executeUpdate("insert into t values (?)", 100 + i);
      });
    });
  }
  for (auto& t : threads) t.join();
  int failures = 0;
  for (const auto& error : errors) {
    if (!error) continue;
    ++failures;
    EXPECT_EQ(error->code(), SQLITE_BUSY);
  }
  EXPECT_GE(failures, 1);
  // Exactly the committed transactions left a row.
  EXPECT_EQ(db->intForQuery("select count(*) from t"), 1 + (2 - failures));
  EXPECT_EQ(integrity(*db), "ok");
}

}  // namespace
