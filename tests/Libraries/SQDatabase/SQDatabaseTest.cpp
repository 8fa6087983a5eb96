#include <sqlite3.h>

#include <cstdint>
#include <limits>

#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQStatement.h"
#include "SQTestSupport.h"

namespace {

using SQDatabaseTest = sqtest::DatabaseTest;
using testsupport::LogCapture;

class Marker final : public ns::Object {
 public:
  std::string describe() const override { return "<marker>"; }
};

TEST_F(SQDatabaseTest, BindsEachKindOfValueWithItsSQLiteType) {
  struct Case {
    const char* name;
    ns::Value input;
    const char* type;
    ns::Value readBack;
  };
  const std::uint64_t bigUnsigned = std::numeric_limits<std::uint64_t>::max() - 1;
  const Case cases[] = {
      {"nil", ns::Value(), "null", ns::Value::null()},
      {"null", ns::Value::null(), "null", ns::Value::null()},
      {"data", ns::Data(std::string("a\0b", 3)), "blob", ns::Data(std::string("a\0b", 3))},
      {"empty data stays a blob", ns::Data(), "blob", ns::Data()},
      {"date", ns::Date(1500000000.25), "real", 1500000000.25},
      {"bool true", true, "integer", std::int64_t{1}},
      {"bool false", false, "integer", std::int64_t{0}},
      {"int", 42, "integer", std::int64_t{42}},
      {"int64 min", std::numeric_limits<std::int64_t>::min(), "integer",
       std::numeric_limits<std::int64_t>::min()},
      {"unsigned above INT64_MAX", bigUnsigned, "integer", static_cast<std::int64_t>(bigUnsigned)},
      {"double", 2.5, "real", 2.5},
      {"float", 1.5f, "real", 1.5},
      {"text", "h\u00e9llo", "text", "h\u00e9llo"},
      {"empty text", "", "text", ""},
      {"array as its description", ns::Array{1, "a"}, "text", ns::Value(ns::Array{1, "a"}).describe()},
      {"object as its description", std::make_shared<Marker>(), "text", "<marker>"},
  };
  auto db = openMemory();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto rs = db->executeQuery("select typeof(?1), ?1", c.input);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), c.type);
    EXPECT_EQ(rs->objectForColumnIndex(1), c.readBack);
    rs->close();
  }
  auto rs = db->executeQuery("select ?", bigUnsigned);
  ASSERT_TRUE(rs && rs->next());
  EXPECT_EQ(rs->unsignedLongLongIntForColumnIndex(0), bigUnsigned);
}

TEST_F(SQDatabaseTest, BoundTextAndBlobsOutliveTheArgumentsThatCarriedThem) {
  auto db = openMemory();
  // The arguments die when executeQuery returns; the statement steps afterwards.
  auto rs = db->executeQuery("select ?, ?", std::string(1000, 'x'), ns::Data(std::string(500, 'y')));
  ASSERT_TRUE(rs && rs->next());
  EXPECT_EQ(rs->stringForColumnIndex(0), std::string(1000, 'x'));
  EXPECT_EQ(rs->dataForColumnIndex(1), ns::Data(std::string(500, 'y')));
}

TEST_F(SQDatabaseTest, BindCountMustMatchTheParameters) {
  struct Case {
    const char* name;
    std::function<bool(SQDatabase&)> run;
    bool succeeds;
    const char* logLine;
  };
  const Case cases[] = {
      {"extra array argument is ignored",
       [](SQDatabase& db) {
         return db.executeQueryWithArgumentsInArray("select ?", {1, 2}) != nullptr;
       },
       true, ""},
      {"too few array arguments",
       [](SQDatabase& db) { return db.executeQueryWithArgumentsInArray("select ?, ?", {1}) != nullptr; },
       false, "Error: the bind count is not correct for the # of variables (executeQuery)"},
      {"too few update arguments",
       [](SQDatabase& db) { return db.executeUpdate("insert into t values (?, ?)", 1); }, false,
       "Error: the bind count is not correct for the # of variables (insert into t values (?, ?)) "
       "(executeUpdate)"},
      {"dictionary by name",
       [](SQDatabase& db) {
         return db.executeQueryWithParameterDictionary("select :a", {{"a", 1}}) != nullptr;
       },
       true, ""},
      {"dictionary key missing",
       [](SQDatabase& db) {
         return db.executeQueryWithParameterDictionary("select :a, :b", {{"a", 1}}) != nullptr;
       },
       false, "Error: the bind count is not correct for the # of variables (executeQuery)"},
      {"misspelt key does not count as bound",
       [](SQDatabase& db) {
         return db.executeUpdateWithParameterDictionary("insert into t values (:a, :b)",
                                                        {{"a", 1}, {"bb", 2}});
       },
       false, "Could not find index for bb"},
      {"unused key is only reported",
       [](SQDatabase& db) {
         return db.executeUpdateWithParameterDictionary("insert into t values (:a, 0)",
                                                        {{"a", 1}, {"zz", 2}});
       },
       true, "Could not find index for zz"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto db = openMemory();
    ASSERT_TRUE(db->executeUpdate("create table t (a, b)"));
    LogCapture log;
    EXPECT_EQ(c.run(*db), c.succeeds);
    if (*c.logLine) {
      EXPECT_TRUE(log.contains(c.logLine));
    }
    EXPECT_EQ(db->intForQuery("select count(*) from t where b is null"), 0);
  }
}

TEST_F(SQDatabaseTest, UpdateReportsBindCountFailureThroughItsError) {
  auto db = openMemory();
  ns::ErrorPtr error;
  LogCapture log;
  EXPECT_FALSE(db->update("select ?, ?", &error, 1));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kSQDatabaseErrorDomain);
}

TEST_F(SQDatabaseTest, CachedStatementsAreReusedAndCounted) {
  auto db = openMemory();
  db->setShouldCacheStatements(true);
  ASSERT_TRUE(db->executeUpdate("create table t (v)"));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(db->executeUpdate("insert into t values (?)", i));
  EXPECT_EQ(db->cachedStatements().at("insert into t values (?)")->useCount(), 3);

  auto first = db->executeQuery("select count(*) from t");
  auto statement = first->statement();
  first->close();
  auto second = db->executeQuery("select count(*) from t");
  EXPECT_EQ(second->statement(), statement);
  EXPECT_EQ(statement->useCount(), 2);
  EXPECT_NE(ns::format("%@", statement).find("2 hit(s) for query select count(*) from t"), std::string::npos);

  // A failed bind leaves the cached statement usable.
  LogCapture log;
  EXPECT_FALSE(db->executeUpdate("insert into t values (?)"));
  EXPECT_TRUE(db->executeUpdate("insert into t values (?)", 9));
  db->setShouldCacheStatements(false);
  EXPECT_TRUE(db->cachedStatements().empty());
}

TEST_F(SQDatabaseTest, NestedQueryOnTheSameSQLDoesNotResetTheOuterCursor) {
  for (bool caching : {false, true}) {
    SCOPED_TRACE(caching ? "cached" : "uncached");
    auto db = openMemory();
    db->setShouldCacheStatements(caching);
    ASSERT_TRUE(db->executeUpdate("create table t (v)"));
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(db->executeUpdate("insert into t values (?)", i));
    const char* sql = "select v from t order by v";
    auto outer = db->executeQuery(sql);
    std::vector<int> seen;
    // Bounded: a cursor reset under it would start over for ever.
    while (seen.size() < 10 && outer->next()) {
      seen.push_back(outer->intForColumnIndex(0));
      auto inner = db->executeQuery(sql);
      int innerRows = 0;
      while (inner->next()) ++innerRows;
      EXPECT_EQ(innerRows, 3);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
  }
}

TEST_F(SQDatabaseTest, ClearingTheCacheLeavesAnOpenCursorRunning) {
  auto db = openMemory();
  db->setShouldCacheStatements(true);
  ASSERT_TRUE(db->executeUpdate("create table t (v)"));
  for (int i = 1; i <= 3; ++i) ASSERT_TRUE(db->executeUpdate("insert into t values (?)", i));
  auto rs = db->executeQuery("select v from t order by v");
  ASSERT_TRUE(rs->next());
  db->clearCachedStatements();
  EXPECT_TRUE(db->cachedStatements().empty());
  int sum = rs->intForColumnIndex(0);
  while (rs->next()) sum += rs->intForColumnIndex(0);
  EXPECT_EQ(sum, 6);
}

TEST_F(SQDatabaseTest, InUseMarkIsClearedOnEveryFailure) {
  struct Case {
    const char* name;
    std::function<void(SQDatabase&)> fail;
  };
  const Case cases[] = {
      {"prepare error", [](SQDatabase& db) { EXPECT_FALSE(db.executeUpdate("not sql")); }},
      {"bind count", [](SQDatabase& db) { EXPECT_FALSE(db.executeQuery("select ?")); }},
      {"step error", [](SQDatabase& db) { EXPECT_FALSE(db.executeUpdate("insert into u values (1)")); }},
      {"nothing to run",
       [](SQDatabase& db) {
         EXPECT_FALSE(db.executeUpdate("-- only a comment"));
         EXPECT_FALSE(db.executeUpdate("-- only a comment"));
         auto rs = db.executeQuery("");
         EXPECT_FALSE(rs && rs->next());
       }},
      {"update given a query",
       [](SQDatabase& db) {
         try {
           db.executeUpdate("select 1");
           ADD_FAILURE() << "no exception";
         } catch (const ns::Exception& e) {
           EXPECT_EQ(e.name(), ns::kInternalInconsistencyException);
           EXPECT_EQ(e.reason(), "A executeUpdate is being called with a query string 'select 1'");
         }
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto db = openMemory();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table u (v unique)"));
    ASSERT_TRUE(db->executeUpdate("insert into u values (1)"));
    LogCapture log;
    c.fail(*db);
    EXPECT_TRUE(db->executeUpdate("insert into u values (2)"));
    EXPECT_FALSE(log.contains("currently in use"));
  }
}

TEST_F(SQDatabaseTest, RefusesReentryAndUseBeforeOpen) {
  auto closed = SQDatabase::databaseWithPath(std::nullopt);
  {
    LogCapture log;
    EXPECT_FALSE(closed->executeQuery("select 1"));
    EXPECT_FALSE(closed->executeUpdate("create table t (v)"));
    EXPECT_TRUE(log.contains("is not open."));
    EXPECT_FALSE(closed->goodConnection());
  }

  auto db = openMemory();
  bool innerRefused = false;
  SQDatabase* raw = db.get();
  db->makeFunctionNamed("reenter", 0, [&innerRefused, raw](sqlite3_context* context, int, sqlite3_value**) {
    innerRefused = raw->executeQuery("select 1") == nullptr && raw->lastInsertRowId() == 0;
    sqlite3_result_int(context, 7);
  });
  ASSERT_TRUE(db->executeUpdate("create table t (v)"));
  LogCapture log;
  // An update steps inside the in-use mark, so the function's own query is refused.
  EXPECT_TRUE(db->executeUpdate("insert into t values (reenter())"));
  EXPECT_EQ(db->intForQuery("select v from t"), 7);
  EXPECT_TRUE(innerRefused);
  EXPECT_TRUE(log.contains("is currently in use."));
}

TEST(SQDatabaseDeathTest, CrashOnErrorsAbortsOnMisuse) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        auto db = SQDatabase::databaseWithPath(std::nullopt);
        db->setCrashOnErrors(true);
        db->executeQuery("select 1");
      },
      "");
}

TEST_F(SQDatabaseTest, FunctionBlocksAreCalledWithTheirArguments) {
  auto db = openMemory();
  db->makeFunctionNamed("twice", 1, [](sqlite3_context* context, int argc, sqlite3_value** argv) {
    ASSERT_EQ(argc, 1);
    sqlite3_result_int64(context, 2 * sqlite3_value_int64(argv[0]));
  });
  db->makeFunctionNamed("fails", 0,
                        [](sqlite3_context*, int, sqlite3_value**) { throw std::runtime_error("boom"); });
  EXPECT_EQ(db->longForQuery("select twice(?)", 21), 42);
  LogCapture log;
  auto rs = db->executeQuery("select fails()");
  ASSERT_TRUE(rs);
  EXPECT_FALSE(rs->next());
  EXPECT_TRUE(log.contains("boom"));
}

TEST_F(SQDatabaseTest, FormatConversionsBecomeParameters) {
  struct Case {
    const char* format;
    std::vector<ns::Value> arguments;
    const char* sql;
    ns::Array bound;
  };
  const Case cases[] = {
      {"select %@, %d", {"a", 5}, "select ?, ?", {"a", 5}},
      {"where s like 'a%%' and n = %i", {3}, "where s like 'a%' and n = ?", {3}},
      {"%%d stays text", {}, "%d stays text", {}},
      {"%c%s", {int('x'), "str"}, "??", {"x", "str"}},
      {"%u %hi %hu", {-1, 70000, -1}, "? ? ?", {4294967295u, 4464, 65535}},
      {"%qi %qu %lld %llu %ld %lu", {-5, 6, -7, 8, -9, 10}, "? ? ? ? ? ?", {-5, 6, -7, 8, -9, 10}},
      {"%f %g", {0.1, 0.5}, "? ?", {0.1, 0.5}},
      {"%x and 100%", {}, "x and 100", {}},
      {"%d, %d", {1}, "?, ?", {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    auto [sql, bound] = SQDatabase::extractSQL(c.format, c.arguments);
    EXPECT_EQ(sql, c.sql);
    EXPECT_EQ(ns::Value(bound), ns::Value(c.bound));
  }

  auto db = openMemory();
  ASSERT_TRUE(db->executeUpdate("create table t (s, n, c)"));
  ASSERT_TRUE(db->executeUpdateWithFormat("insert into t values (%@, %lld, %c)", "it's", 1LL << 40, 'z'));
  auto rs = db->executeQueryWithFormat("select s, n, c from t where n = %qi", 1LL << 40);
  ASSERT_TRUE(rs && rs->next());
  EXPECT_EQ(rs->stringForColumnIndex(0), "it's");
  EXPECT_EQ(rs->stringForColumnIndex(2), "z");
  LogCapture log;
  EXPECT_FALSE(db->executeUpdateWithFormat("insert into t values (%d, %d, %d)", 1));
}

TEST_F(SQDatabaseTest, TransactionsCommitAndRollBack) {
  auto db = openFile();
  ASSERT_TRUE(db->executeUpdate("create table t (v)"));
  ASSERT_TRUE(db->beginTransaction());
  EXPECT_TRUE(db->inTransaction());
  LogCapture log;
  EXPECT_FALSE(db->beginDeferredTransaction());
  EXPECT_TRUE(db->inTransaction());
  ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
  ASSERT_TRUE(db->rollback());
  EXPECT_FALSE(db->inTransaction());
  ASSERT_TRUE(db->beginDeferredTransaction());
  ASSERT_TRUE(db->executeUpdate("insert into t values (2)"));
  ASSERT_TRUE(db->commit());
  EXPECT_FALSE(db->inTransaction());
  EXPECT_EQ(db->lastInsertRowId(), 1);
  EXPECT_EQ(db->changes(), 1);
  EXPECT_EQ(db->intForQuery("select sum(v) from t"), 2);
}

TEST_F(SQDatabaseTest, SavePointNamesAreQuoted) {
  auto db = openMemory();
  ASSERT_TRUE(db->executeUpdate("create table t (v)"));
  for (const char* name : {"it's", "x'; drop table t; --", "''"}) {
    SCOPED_TRACE(name);
    ns::ErrorPtr error;
    ASSERT_TRUE(db->startSavePointWithName(name, &error));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    ASSERT_TRUE(db->rollbackToSavePointWithName(name, &error));
    ASSERT_TRUE(db->releaseSavePointWithName(name, &error));
    EXPECT_FALSE(error);
  }
  EXPECT_TRUE(db->tableExists("t"));
  EXPECT_EQ(db->intForQuery("select count(*) from t"), 0);
  ns::ErrorPtr error;
  LogCapture log;
  EXPECT_FALSE(db->releaseSavePointWithName("never started", &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), SQLITE_ERROR);
}

TEST_F(SQDatabaseTest, InSavePointUndoesOnRequestAndLeavesNoTransactionOpen) {
  {
    auto db = openFile();
    ASSERT_TRUE(db->executeUpdate("create table t (v)"));
    EXPECT_FALSE(db->inSavePoint([&](bool& rollback) {
      EXPECT_TRUE(db->executeUpdate("insert into t values (1)"));
      rollback = true;
    }));
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 0);
    EXPECT_NE(sqlite3_get_autocommit(db->sqliteHandle()), 0);
    EXPECT_FALSE(db->inSavePoint([&](bool&) { EXPECT_TRUE(db->executeUpdate("insert into t values (2)")); }));
    ASSERT_TRUE(db->executeUpdate("insert into t values (3)"));
  }
  auto reopened = openFile();
  EXPECT_EQ(reopened->stringForQuery("select group_concat(v) from t"), "2,3");
}

TEST_F(SQDatabaseTest, ClosingFinalizesOpenResultSetsAndLeakedStatementsOnce) {
  for (bool caching : {false, true}) {
    SCOPED_TRACE(caching ? "cached" : "uncached");
    auto db = openFile(caching ? "cached.db" : "uncached.db");
    db->setShouldCacheStatements(caching);
    ASSERT_TRUE(db->executeUpdate("create table t (v)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    auto open = db->executeQuery("select v from t");
    ASSERT_TRUE(open->next());
    auto kept = db->executeQuery("select v + 1 from t");
    auto leaked = kept->statement();
    kept->close();
    sqlite3_stmt* raw = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db->sqliteHandle(), "select 2", -1, &raw, nullptr), SQLITE_OK);

    LogCapture log;
    EXPECT_TRUE(db->close());
    EXPECT_EQ(db->sqliteHandle(), nullptr);
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_FALSE(open->next());
    EXPECT_EQ(open->intForColumnIndex(0), 0);
    EXPECT_EQ(leaked->statement(), nullptr);
    // The raw statement always; ours only when no cache owned it.
    std::size_t leakLines = 0;
    for (const auto& line : log.lines()) leakLines += line == "Closing leaked statement";
    EXPECT_EQ(leakLines, caching ? 1u : 2u);
    leaked.reset();
    EXPECT_TRUE(db->close());
  }
}

TEST_F(SQDatabaseTest, AnOpenResultSetKeepsItsDatabaseAlive) {
  std::shared_ptr<SQResultSet> rs;
  {
    auto db = openMemory();
    ASSERT_TRUE(db->executeUpdate("create table t (v)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (5)"));
    rs = db->executeQuery("select v from t");
  }
  ASSERT_TRUE(rs->next());
  EXPECT_EQ(rs->intForColumnIndex(0), 5);
  EXPECT_FALSE(rs->next());
}

TEST_F(SQDatabaseTest, FailedOpenReportsAndReleasesTheConnection) {
  auto db = SQDatabase::databaseWithPath(tmp.file("missing/dir/test.db"));
  LogCapture log;
  EXPECT_FALSE(db->open());
  EXPECT_TRUE(log.contains("error opening!: 14"));
  EXPECT_EQ(db->sqliteHandle(), nullptr);
  EXPECT_TRUE(db->close());
}

TEST_F(SQDatabaseTest, ReportsErrorsAsErrorObjects) {
  auto db = openMemory();
  db->setLogsErrors(true);
  LogCapture log;
  ns::ErrorPtr error;
  EXPECT_FALSE(db->update("select * from nowhere", &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), "SQDatabase");
  EXPECT_EQ(error->code(), SQLITE_ERROR);
  EXPECT_EQ(error->localizedDescription(), "no such table: nowhere");
  EXPECT_TRUE(db->hadError());
  EXPECT_TRUE(log.contains("DB Error: 1 \"no such table: nowhere\""));
  EXPECT_TRUE(log.contains("DB Query: select * from nowhere"));
  EXPECT_TRUE(log.contains("DB Path: (null)"));
  EXPECT_FALSE(db->setKey("secret"));
  EXPECT_FALSE(db->rekey("secret"));
  EXPECT_FALSE(SQDatabase::sqliteLibVersion().empty());
  EXPECT_TRUE(db->goodConnection());
}

}  // namespace

namespace {

TEST_F(SQDatabaseTest, TracesStatementsAndTheirArguments) {
  auto db = openMemory();
  db->setTraceExecution(true);
  LogCapture log;
  ASSERT_TRUE(db->executeUpdate("create table t (v)"));
  auto rs = db->executeQuery("select ?", "arg");
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(" executeUpdate: create table t (v)"), std::string::npos);
  EXPECT_NE(lines[1].find(" executeQuery: select ?"), std::string::npos);
  EXPECT_EQ(lines[2], "obj: arg");
}

// An unfinished backup keeps its source connection from closing: close gives up after the retries
// allowed or, with no limit set, after the default wait, and says so.
TEST_F(SQDatabaseTest, CloseGivesUpWhileABackupStillReadsTheDatabase) {
  ns::ManualClock clock;
  struct Case {
    const char* name;
    int limit;
    int retries;
  } cases[] = {{"two retries", 2, 2}, {"no limit", 0, static_cast<int>(SQDatabase::kDefaultBusyTimeout)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto db = openFile(std::string(c.name) + ".db");
    ASSERT_TRUE(db->executeUpdate("create table t (v)"));
    auto copy = openMemory();
    sqlite3_backup* backup = sqlite3_backup_init(copy->sqliteHandle(), "main", db->sqliteHandle(), "main");
    ASSERT_TRUE(backup);
    db->setBusyRetryTimeout(c.limit);
    int retries = 0;
    db->setBusyRetrySleep([&] {
      clock.advance(1);
      if (++retries == 1000) db->setBusyRetryTimeout(1);  // a regression fails instead of hanging
    });
    LogCapture log;
    EXPECT_FALSE(db->close());
    EXPECT_EQ(retries, c.retries);
    EXPECT_TRUE(log.contains("Database busy, unable to close"));
    EXPECT_NE(db->sqliteHandle(), nullptr);
    EXPECT_EQ(sqlite3_backup_step(backup, -1), SQLITE_DONE);
    EXPECT_EQ(sqlite3_backup_finish(backup), SQLITE_OK);
    EXPECT_TRUE(db->close());
    EXPECT_TRUE(copy->tableExists("t"));
  }
}

TEST_F(SQDatabaseTest, SavePointsOnAClosedDatabaseReportAnError) {
  auto db = SQDatabase::databaseWithPath(std::nullopt);
  LogCapture log;
  ns::ErrorPtr error = db->inSavePoint([](bool&) { ADD_FAILURE(); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), SQLITE_MISUSE);
}

}  // namespace
