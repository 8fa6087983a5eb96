#include <sqlite3.h>

#include "SQDatabase/SQResultSet.h"
#include "SQTestSupport.h"

namespace {

using sqtest::DatabaseTest;
using testsupport::LogCapture;

class SQResultSetTest : public DatabaseTest {
 protected:
  void SetUp() override {
    db = openMemory();
    ASSERT_TRUE(
        db->executeUpdate("create table t (id integer, price real, title text, body blob, missing, big)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (?, ?, ?, ?, ?, ?)", 7, 1.5, "Title",
                                  ns::Data(std::string("\x01\x02", 2)), nullptr, 3000000000LL));
  }
  std::shared_ptr<SQResultSet> row() {
    auto rs = db->executeQuery("select id, price, title, body, missing, big from t");
    EXPECT_TRUE(rs && rs->next());
    return rs;
  }
  std::shared_ptr<SQDatabase> db;
};

TEST_F(SQResultSetTest, GettersByIndexAndByCaseInsensitiveName) {
  auto rs = row();
  EXPECT_EQ(rs->columnCount(), 6);
  EXPECT_EQ(rs->columnIndexForName("TITLE"), 2);
  EXPECT_EQ(rs->columnNameForIndex(5), "big");
  EXPECT_EQ(rs->intForColumn("ID"), 7);
  EXPECT_EQ(rs->longForColumn("Big"), 3000000000L);
  EXPECT_EQ(rs->longLongIntForColumn("big"), 3000000000LL);
  EXPECT_EQ(rs->unsignedLongLongIntForColumn("big"), 3000000000ULL);
  EXPECT_TRUE(rs->boolForColumn("id"));
  EXPECT_DOUBLE_EQ(rs->doubleForColumn("Price"), 1.5);
  EXPECT_EQ(rs->stringForColumn("title"), "Title");
  EXPECT_EQ(std::string(rs->UTF8StringForColumnName("title")), "Title");
  EXPECT_EQ(rs->dataForColumn("body"), ns::Data(std::string("\x01\x02", 2)));
  EXPECT_EQ(rs->dataNoCopyForColumn("body"), std::string_view("\x01\x02", 2));
  EXPECT_EQ(rs->dateForColumn("price"), ns::Date(1.5));
  EXPECT_EQ(rs->objectForColumnName("id"), ns::Value(7));
  EXPECT_EQ(rs->objectForColumnName("price"), ns::Value(1.5));
  EXPECT_EQ(rs->objectForColumnName("body"), ns::Value(ns::Data(std::string("\x01\x02", 2))));
  EXPECT_TRUE(rs->hasAnotherRow());
}

TEST_F(SQResultSetTest, NullColumnsNegativeIndexesAndUnknownNamesReadEmpty) {
  auto rs = row();
  LogCapture log;
  for (int idx : {4, -1}) {
    SCOPED_TRACE(idx);
    EXPECT_EQ(rs->stringForColumnIndex(idx), std::nullopt);
    EXPECT_EQ(rs->dateForColumnIndex(idx), std::nullopt);
    EXPECT_EQ(rs->dataForColumnIndex(idx), std::nullopt);
    EXPECT_EQ(rs->dataNoCopyForColumnIndex(idx), std::nullopt);
    EXPECT_EQ(rs->UTF8StringForColumnIndex(idx), nullptr);
    EXPECT_EQ(rs->intForColumnIndex(idx), 0);
    EXPECT_EQ(rs->doubleForColumnIndex(idx), 0.0);
    EXPECT_TRUE(rs->columnIndexIsNull(idx));
    EXPECT_TRUE(rs->objectForColumnIndex(idx).isNull());
  }
  EXPECT_EQ(rs->columnIndexForName("nope"), -1);
  EXPECT_TRUE(log.contains("Warning: I could not find the column named 'nope'."));
  EXPECT_EQ(rs->stringForColumn("nope"), std::nullopt);
  EXPECT_TRUE(rs->columnIsNull("missing"));
}

TEST_F(SQResultSetTest, PastTheLastRowTheResultSetIsClosed) {
  auto rs = row();
  EXPECT_TRUE(db->hasOpenResultSets());
  EXPECT_FALSE(rs->next());
  EXPECT_FALSE(rs->hasAnotherRow());
  EXPECT_FALSE(db->hasOpenResultSets());
  EXPECT_FALSE(rs->next());
  EXPECT_EQ(rs->stringForColumnIndex(2), std::nullopt);
  LogCapture log;
  EXPECT_EQ(rs->resultDict(), std::nullopt);
  EXPECT_TRUE(log.contains("Warning: There seem to be no columns in this set."));
}

TEST_F(SQResultSetTest, RowsAsDictionaries) {
  auto rs = db->executeQuery("select id as ID, title as Title, missing from t");
  ASSERT_TRUE(rs->next());
  EXPECT_EQ(rs->resultDict(),
            (ns::Dictionary{{"id", 7}, {"title", "Title"}, {"missing", ns::Value::null()}}));
  EXPECT_EQ(rs->resultDictionary(),
            (ns::Dictionary{{"ID", 7}, {"Title", "Title"}, {"missing", ns::Value::null()}}));
  ns::Dictionary object{{"keep", 1}};
  rs->kvcMagic(object);
  EXPECT_EQ(object, (ns::Dictionary{{"keep", 1}, {"ID", "7"}, {"Title", "Title"}}));
}

TEST_F(SQResultSetTest, OneValueQueries) {
  EXPECT_EQ(db->stringForQuery("select title from t where id = ?", 7), "Title");
  EXPECT_EQ(db->intForQuery("select id from t"), 7);
  EXPECT_EQ(db->longForQuery("select big from t"), 3000000000L);
  EXPECT_TRUE(db->boolForQuery("select id from t"));
  EXPECT_DOUBLE_EQ(db->doubleForQuery("select price from t"), 1.5);
  EXPECT_EQ(db->dataForQuery("select body from t"), ns::Data(std::string("\x01\x02", 2)));
  EXPECT_EQ(db->dateForQuery("select ?", ns::Date(1234.5)), ns::Date(1234.5));
  // No row, or a failed query, gives the empty value.
  LogCapture log;
  EXPECT_EQ(db->stringForQuery("select title from t where id = ?", 8), std::nullopt);
  EXPECT_EQ(db->intForQuery("select id from t where 0"), 0);
  EXPECT_EQ(db->dataForQuery("select nothing from nowhere"), std::nullopt);
  EXPECT_FALSE(db->hasOpenResultSets());
}

TEST_F(SQResultSetTest, SchemaLookups) {
  ASSERT_TRUE(db->executeUpdate("create table \"O'Brien\" (Given_Name text)"));
  ASSERT_TRUE(db->executeUpdate("create index t_id on t (id)"));
  struct Case {
    const char* table;
    const char* column;
    bool tableExists;
    bool columnExists;
  };
  const Case cases[] = {
      {"t", "title", true, true},
      {"T", "TITLE", true, true},
      {"o'brien", "given_name", true, true},
      {"O'Brien", "surname", true, false},
      {"x'); drop table t; --", "a", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    EXPECT_EQ(db->tableExists(c.table), c.tableExists);
    EXPECT_EQ(db->columnExistsInTableWithName(c.column, c.table), c.columnExists);
    EXPECT_EQ(db->columnExistsColumnName(c.table, c.column), c.columnExists);
  }
  EXPECT_TRUE(db->tableExists("t"));

  auto schema = db->getSchema();
  std::vector<std::string> names;
  while (schema->next()) names.push_back(schema->stringForColumn("name").value_or(""));
  EXPECT_EQ(names, (std::vector<std::string>{"O'Brien", "t", "t_id"}));

  auto columns = db->getTableSchema("t");
  ASSERT_TRUE(columns->next());
  EXPECT_EQ(columns->stringForColumn("name"), "id");
  EXPECT_EQ(columns->stringForColumn("type"), "INTEGER");
  columns->close();
  EXPECT_FALSE(db->hasOpenResultSets());
}

TEST_F(SQResultSetTest, ValidateSQL) {
  ns::ErrorPtr error;
  EXPECT_TRUE(db->validateSQL("select * from t", &error));
  EXPECT_FALSE(error);
  EXPECT_FALSE(db->validateSQL("select * from nowhere", &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), ns::kCocoaErrorDomain);
  EXPECT_EQ(error->code(), SQLITE_ERROR);
  EXPECT_EQ(error->localizedDescription(), "no such table: nowhere");
}

}  // namespace
