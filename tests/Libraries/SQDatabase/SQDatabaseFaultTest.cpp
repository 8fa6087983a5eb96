// Damaged files, a full disk and a writer killed mid-transaction.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "SQTestSupport.h"

namespace {

using SQDatabaseFaultTest = sqtest::DatabaseTest;
using testsupport::LogCapture;

TEST_F(SQDatabaseFaultTest, AFullDiskFailsWithCode13AndKeepsTheDatabaseConsistent) {
  auto db = openFile();
  ASSERT_TRUE(db->executeUpdate("create table t (b blob)"));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(db->executeUpdate("insert into t values (?)", ns::Data(std::string(100, 'a'))));
  auto limit = db->executeQuery("PRAGMA max_page_count = 8");
  ASSERT_TRUE(limit && limit->next());
  limit->close();

  LogCapture log;
  ASSERT_TRUE(db->beginTransaction());
  ns::ErrorPtr error;
  bool full = false;
  for (int i = 0; i < 100 && !full; ++i)
    full = !db->update("insert into t values (?)", &error, ns::Data(std::string(4000, 'b')));
  ASSERT_TRUE(full);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), SQLITE_FULL);
  EXPECT_EQ(db->lastErrorCode(), SQLITE_FULL);
  db->rollback();
  EXPECT_FALSE(db->inTransaction());

  // The connection goes on working.
  EXPECT_TRUE(db->executeUpdate("delete from t where rowid = 1"));
  db->close();

  auto reopened = openFile();
  EXPECT_EQ(integrity(*reopened), "ok");
  EXPECT_EQ(reopened->intForQuery("select count(*) from t"), 2);
  EXPECT_EQ(reopened->intForQuery("select count(*) from t where length(b) = 100"), 2);
}

TEST_F(SQDatabaseFaultTest, AFileOfRandomBytesFailsWhenTheSchemaIsRead) {
  {
    std::ofstream out(dbPath(), std::ios::binary);
    std::mt19937 random(42);
    for (int i = 0; i < 8192; ++i) out.put(static_cast<char>(random()));
  }
  auto db = SQDatabase::databaseWithPath(dbPath());
  db->setLogsErrors(true);
  LogCapture log;
  EXPECT_TRUE(db->open());  // SQLite reads nothing until the first statement
  EXPECT_FALSE(db->goodConnection());
  EXPECT_EQ(db->lastErrorCode(), SQLITE_NOTADB);
  ns::ErrorPtr error;
  EXPECT_FALSE(db->update("create table t (v)", &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), SQLITE_NOTADB);
  EXPECT_FALSE(db->tableExists("t"));
  EXPECT_FALSE(db->validateSQL("select 1 from t", &error));
  EXPECT_TRUE(log.contains("DB Error: 26"));
  EXPECT_TRUE(db->close());
}

TEST_F(SQDatabaseFaultTest, AWriterKilledMidTransactionLeavesASoundFile) {
  {
    auto db = openFile();
    ASSERT_TRUE(db->executeUpdate("create table t (n integer, pad text)"));
    ASSERT_TRUE(db->beginTransaction());
    for (int i = 0; i < 100; ++i)
      ASSERT_TRUE(db->executeUpdate("insert into t values (?, ?)", i, std::string(200, 'x')));
    ASSERT_TRUE(db->commit());
  }
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Write more than the page cache holds, so pages reach the file before the commit.
    auto db = SQDatabase::databaseWithPath(dbPath());
    bool ok = db->open() && db->executeUpdate("PRAGMA cache_size = 5") && db->beginTransaction() &&
              db->executeUpdate("update t set pad = ?", std::string(300, 'y'));
    for (int i = 0; ok && i < 2000; ++i)
      ok = db->executeUpdate("insert into t values (?, ?)", 1000 + i, std::string(200, 'z'));
    char byte = ok ? '1' : '0';
    if (write(ready[1], &byte, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);
  EXPECT_EQ(byte, '1');
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  // The child died with its changes half in the file: the journal is there to undo them.
  EXPECT_GT(std::filesystem::file_size(dbPath() + "-journal"), 0u);

  auto db = openFile();
  EXPECT_EQ(integrity(*db), "ok");
  EXPECT_EQ(db->intForQuery("select count(*) from t"), 100);
  EXPECT_EQ(db->intForQuery("select count(*) from t where pad like 'x%'"), 100);
}

}  // namespace
