#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Foundation/Data.h"
#include "Foundation/Date.h"
#include "Foundation/Object.h"
#include "Foundation/Value.h"

struct sqlite3_stmt;

class SQDatabase;
class SQStatement;

// Column names compared as SQLite compares identifiers: ASCII letters without regard to case.
struct SQColumnNameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const;
};
struct SQColumnNameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// The cursor a query returns: steps its statement row by row and reads columns by index or by
// case-insensitive name. It keeps its database alive while open; closing (also at the last row)
// resets the statement for reuse and lets go of it.
class SQResultSet final : public ns::Object {
 public:
  using ColumnNameToIndexMap = std::unordered_map<std::string, int, SQColumnNameHash, SQColumnNameEqual>;

  SQResultSet() = default;
  ~SQResultSet() override;

  static std::shared_ptr<SQResultSet> resultSetWithStatement(std::shared_ptr<SQStatement> statement,
                                                             std::shared_ptr<SQDatabase> parentDB);

  // Whether a row is available; anything but a row closes the result set, after which next gives false.
  bool next();
  bool hasAnotherRow() const;
  void close();
  int columnCount() const;
  // -1 (with a warning line) when the row has no such column.
  int columnIndexForName(std::string_view columnName);
  std::string columnNameForIndex(int columnIdx) const;

  int intForColumn(std::string_view columnName);
  int intForColumnIndex(int columnIdx) const;
  long longForColumn(std::string_view columnName);
  long longForColumnIndex(int columnIdx) const;
  std::int64_t longLongIntForColumn(std::string_view columnName);
  std::int64_t longLongIntForColumnIndex(int columnIdx) const;
  std::uint64_t unsignedLongLongIntForColumn(std::string_view columnName);
  std::uint64_t unsignedLongLongIntForColumnIndex(int columnIdx) const;
  bool boolForColumn(std::string_view columnName);
  bool boolForColumnIndex(int columnIdx) const;
  double doubleForColumn(std::string_view columnName);
  double doubleForColumnIndex(int columnIdx) const;
  // The text, date, data and UTF-8 getters give nil (nullopt, nullptr) for NULL or a negative index.
  std::optional<std::string> stringForColumn(std::string_view columnName);
  std::optional<std::string> stringForColumnIndex(int columnIdx) const;
  std::optional<ns::Date> dateForColumn(std::string_view columnName);
  std::optional<ns::Date> dateForColumnIndex(int columnIdx) const;
  std::optional<ns::Data> dataForColumn(std::string_view columnName);
  std::optional<ns::Data> dataForColumnIndex(int columnIdx) const;
  // The blob's bytes in place: valid only until the next step or close.
  std::optional<std::string_view> dataNoCopyForColumn(std::string_view columnName);
  std::optional<std::string_view> dataNoCopyForColumnIndex(int columnIdx) const;
  bool columnIsNull(std::string_view columnName);
  bool columnIndexIsNull(int columnIdx) const;
  // The raw text: valid only until the next step or close.
  const char* UTF8StringForColumnName(std::string_view columnName);
  const char* UTF8StringForColumnIndex(int columnIdx) const;
  // Integer, double, data or string by the column's type; NULL is the null value.
  ns::Value objectForColumnName(std::string_view columnName);
  ns::Value objectForColumnIndex(int columnIdx) const;

  // Lower-cased column name -> value; nullopt (with a warning line) when there is no row.
  std::optional<ns::Dictionary> resultDict();
  // Column name as SQLite reports it -> value.
  std::optional<ns::Dictionary> resultDictionary();
  // Sets object[column name] to the column's text for every column that is not NULL.
  void kvcMagic(ns::Dictionary& object);

  const std::shared_ptr<SQStatement>& statement() const { return statement_; }
  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }
  const std::shared_ptr<SQDatabase>& parentDB() const { return parentDB_; }
  void setParentDB(std::shared_ptr<SQDatabase> parentDB) { parentDB_ = std::move(parentDB); }
  const ColumnNameToIndexMap& columnNameToIndexMap();

 private:
  sqlite3_stmt* handle() const;
  // Whether the cursor stands on a row; warns when it does not.
  bool hasRowData() const;

  std::shared_ptr<SQDatabase> parentDB_;
  std::shared_ptr<SQStatement> statement_;
  std::string query_;
  ColumnNameToIndexMap columnNameToIndexMap_;
  bool columnNamesSetup_ = false;
  bool onRow_ = false;
};
