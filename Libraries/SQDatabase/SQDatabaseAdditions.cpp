// SQDatabaseAdditions: one-value queries, schema look-ups and SQL validation.
#include <sqlite3.h>

#include "Foundation/Format.h"
#include "SQDatabase/SQAsciiCase.h"
#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQResultSet.h"

namespace {

// Column 0 of the first row through the getter, or the getter's empty value; the result set is
// closed and detached either way.
template <class T, class Getter>
T firstValue(const std::shared_ptr<SQResultSet>& resultSet, Getter getter) {
  T value{};
  if (!resultSet) return value;
  if (resultSet->next()) value = (resultSet.get()->*getter)(0);
  resultSet->close();
  resultSet->setParentDB(nullptr);
  return value;
}

}  // namespace

std::optional<std::string> SQDatabase::firstString(const std::shared_ptr<SQResultSet>& resultSet) {
  return firstValue<std::optional<std::string>>(resultSet, &SQResultSet::stringForColumnIndex);
}

int SQDatabase::firstInt(const std::shared_ptr<SQResultSet>& resultSet) {
  return firstValue<int>(resultSet, &SQResultSet::intForColumnIndex);
}

long SQDatabase::firstLong(const std::shared_ptr<SQResultSet>& resultSet) {
  return firstValue<long>(resultSet, &SQResultSet::longForColumnIndex);
}

bool SQDatabase::firstBool(const std::shared_ptr<SQResultSet>& resultSet) {
  return firstValue<bool>(resultSet, &SQResultSet::boolForColumnIndex);
}

double SQDatabase::firstDouble(const std::shared_ptr<SQResultSet>& resultSet) {
  return firstValue<double>(resultSet, &SQResultSet::doubleForColumnIndex);
}

std::optional<ns::Data> SQDatabase::firstData(const std::shared_ptr<SQResultSet>& resultSet) {
  return firstValue<std::optional<ns::Data>>(resultSet, &SQResultSet::dataForColumnIndex);
}

std::optional<ns::Date> SQDatabase::firstDate(const std::shared_ptr<SQResultSet>& resultSet) {
  return firstValue<std::optional<ns::Date>>(resultSet, &SQResultSet::dateForColumnIndex);
}

bool SQDatabase::tableExists(std::string_view tableName) {
  auto resultSet = executeQuery("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                                sqLowercased(tableName));
  if (!resultSet) return false;
  bool exists = resultSet->next();
  resultSet->close();
  return exists;
}

std::shared_ptr<SQResultSet> SQDatabase::getSchema() {
  return executeQuery(
      "SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL SELECT * FROM "
      "sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' ORDER BY tbl_name, type DESC, "
      "name");
}

std::shared_ptr<SQResultSet> SQDatabase::getTableSchema(std::string_view tableName) {
  // The name is bound, never pasted into the SQL.
  return executeQuery("SELECT * FROM pragma_table_info(?)", tableName);
}

bool SQDatabase::columnExistsInTableWithName(std::string_view columnName, std::string_view tableName) {
  const std::string column = sqLowercased(columnName);
  auto resultSet = getTableSchema(sqLowercased(tableName));
  if (!resultSet) return false;
  bool exists = false;
  while (resultSet->next()) {
    if (sqLowercased(resultSet->stringForColumn("name").value_or("")) == column) {
      exists = true;
      break;
    }
  }
  resultSet->close();
  return exists;
}

bool SQDatabase::columnExistsColumnName(std::string_view tableName, std::string_view columnName) {
  return columnExistsInTableWithName(columnName, tableName);
}

bool SQDatabase::validateSQL(std::string_view sql, ns::ErrorPtr* outError) {
  sqlite3_stmt* handle = nullptr;
  int rc = db_ ? prepareStatement(sql, &handle, __func__, __LINE__) : SQLITE_MISUSE;
  if (rc != SQLITE_OK && outError) {
    *outError = ns::Error::make(
        ns::kCocoaErrorDomain, db_ ? lastErrorCode() : rc,
        {{ns::kLocalizedDescriptionKey, db_ ? lastErrorMessage() : "The database is not open."}});
  }
  sqlite3_finalize(handle);
  return rc == SQLITE_OK;
}
