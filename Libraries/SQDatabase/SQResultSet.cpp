#include "SQDatabase/SQResultSet.h"

#include <sqlite3.h>

#include "Foundation/Format.h"
#include "SQDatabase/SQAsciiCase.h"
#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQStatement.h"

std::size_t SQColumnNameHash::operator()(std::string_view name) const {
  // FNV-1a over the lower-cased bytes.
  std::size_t h = 14695981039346656037ull;
  for (char c : name) {
    h ^= static_cast<unsigned char>(sqAsciiLower(c));
    h *= 1099511628211ull;
  }
  return h;
}

bool SQColumnNameEqual::operator()(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (sqAsciiLower(a[i]) != sqAsciiLower(b[i])) return false;
  return true;
}

SQResultSet::~SQResultSet() { close(); }

std::shared_ptr<SQResultSet> SQResultSet::resultSetWithStatement(std::shared_ptr<SQStatement> statement,
                                                                 std::shared_ptr<SQDatabase> parentDB) {
  auto resultSet = std::make_shared<SQResultSet>();
  resultSet->statement_ = std::move(statement);
  resultSet->parentDB_ = std::move(parentDB);
  return resultSet;
}

sqlite3_stmt* SQResultSet::handle() const { return statement_ ? statement_->statement_ : nullptr; }

bool SQResultSet::next() {
  sqlite3_stmt* h = handle();
  if (!h) {
    onRow_ = false;
    return false;
  }
  // Closing detaches from the database, so an open result set always has its parent.
  const int rc = parentDB_ ? parentDB_->stepWithRetry(h, __func__, __LINE__) : sqlite3_step(h);
  if (rc == SQLITE_ERROR || rc == SQLITE_MISUSE)
    ns::log("Error calling sqlite3_step (%d: %s) rs", rc, sqlite3_errmsg(sqlite3_db_handle(h)));
  else if (rc != SQLITE_ROW && rc != SQLITE_DONE && rc != SQLITE_BUSY)
    ns::log("Unknown error calling sqlite3_step (%d: %s) rs", rc, sqlite3_errmsg(sqlite3_db_handle(h)));
  onRow_ = rc == SQLITE_ROW;
  if (!onRow_) close();
  return onRow_;
}

bool SQResultSet::hasAnotherRow() const { return onRow_ && handle(); }

void SQResultSet::close() {
  if (statement_) {
    statement_->reset();
    statement_->inUse_ = false;
    // Dropping an uncached statement finalizes it; a cached one waits in the cache for reuse.
    statement_.reset();
  }
  onRow_ = false;
  if (auto parent = std::move(parentDB_)) parent->resultSetDidClose(this);
}

int SQResultSet::columnCount() const { return handle() ? sqlite3_column_count(handle()) : 0; }

const SQResultSet::ColumnNameToIndexMap& SQResultSet::columnNameToIndexMap() {
  if (!columnNamesSetup_) {
    if (sqlite3_stmt* h = handle()) {
      const int count = sqlite3_column_count(h);
      for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(h, i);
        if (name) columnNameToIndexMap_.insert_or_assign(sqLowercased(name), i);
      }
      columnNamesSetup_ = true;
    }
  }
  return columnNameToIndexMap_;
}

int SQResultSet::columnIndexForName(std::string_view columnName) {
  const auto& map = columnNameToIndexMap();
  auto it = map.find(columnName);
  if (it != map.end()) return it->second;
  ns::log("Warning: I could not find the column named '%@'.", columnName);
  return -1;
}

std::string SQResultSet::columnNameForIndex(int columnIdx) const {
  const char* name = handle() ? sqlite3_column_name(handle(), columnIdx) : nullptr;
  return name ? name : "";
}

int SQResultSet::intForColumnIndex(int columnIdx) const { return sqlite3_column_int(handle(), columnIdx); }

long SQResultSet::longForColumnIndex(int columnIdx) const {
  return static_cast<long>(sqlite3_column_int64(handle(), columnIdx));
}

std::int64_t SQResultSet::longLongIntForColumnIndex(int columnIdx) const {
  return sqlite3_column_int64(handle(), columnIdx);
}

std::uint64_t SQResultSet::unsignedLongLongIntForColumnIndex(int columnIdx) const {
  return static_cast<std::uint64_t>(sqlite3_column_int64(handle(), columnIdx));
}

bool SQResultSet::boolForColumnIndex(int columnIdx) const { return intForColumnIndex(columnIdx) != 0; }

double SQResultSet::doubleForColumnIndex(int columnIdx) const {
  return sqlite3_column_double(handle(), columnIdx);
}

bool SQResultSet::columnIndexIsNull(int columnIdx) const {
  return sqlite3_column_type(handle(), columnIdx) == SQLITE_NULL;
}

const char* SQResultSet::UTF8StringForColumnIndex(int columnIdx) const {
  if (columnIdx < 0 || columnIndexIsNull(columnIdx)) return nullptr;
  return reinterpret_cast<const char*>(sqlite3_column_text(handle(), columnIdx));
}

std::optional<std::string> SQResultSet::stringForColumnIndex(int columnIdx) const {
  const char* text = UTF8StringForColumnIndex(columnIdx);
  if (!text) return std::nullopt;
  return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(handle(), columnIdx)));
}

std::optional<ns::Date> SQResultSet::dateForColumnIndex(int columnIdx) const {
  if (columnIdx < 0 || columnIndexIsNull(columnIdx)) return std::nullopt;
  return ns::Date(doubleForColumnIndex(columnIdx));
}

std::optional<std::string_view> SQResultSet::dataNoCopyForColumnIndex(int columnIdx) const {
  if (columnIdx < 0 || columnIndexIsNull(columnIdx)) return std::nullopt;
  const void* bytes = sqlite3_column_blob(handle(), columnIdx);
  const int length = sqlite3_column_bytes(handle(), columnIdx);
  if (!bytes || length <= 0) return std::string_view();
  return std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

std::optional<ns::Data> SQResultSet::dataForColumnIndex(int columnIdx) const {
  auto bytes = dataNoCopyForColumnIndex(columnIdx);
  if (!bytes) return std::nullopt;
  return ns::Data(bytes->data(), bytes->size());
}

ns::Value SQResultSet::objectForColumnIndex(int columnIdx) const {
  switch (sqlite3_column_type(handle(), columnIdx)) {
    case SQLITE_INTEGER:
      return ns::Value(longLongIntForColumnIndex(columnIdx));
    case SQLITE_FLOAT:
      return ns::Value(doubleForColumnIndex(columnIdx));
    case SQLITE_BLOB:
      if (auto data = dataForColumnIndex(columnIdx)) return ns::Value(std::move(*data));
      return ns::Value::null();
    default:
      if (auto text = stringForColumnIndex(columnIdx)) return ns::Value(std::move(*text));
      return ns::Value::null();
  }
}

int SQResultSet::intForColumn(std::string_view columnName) {
  return intForColumnIndex(columnIndexForName(columnName));
}

long SQResultSet::longForColumn(std::string_view columnName) {
  return longForColumnIndex(columnIndexForName(columnName));
}

std::int64_t SQResultSet::longLongIntForColumn(std::string_view columnName) {
  return longLongIntForColumnIndex(columnIndexForName(columnName));
}

std::uint64_t SQResultSet::unsignedLongLongIntForColumn(std::string_view columnName) {
  return unsignedLongLongIntForColumnIndex(columnIndexForName(columnName));
}

bool SQResultSet::boolForColumn(std::string_view columnName) {
  return boolForColumnIndex(columnIndexForName(columnName));
}

double SQResultSet::doubleForColumn(std::string_view columnName) {
  return doubleForColumnIndex(columnIndexForName(columnName));
}

std::optional<std::string> SQResultSet::stringForColumn(std::string_view columnName) {
  return stringForColumnIndex(columnIndexForName(columnName));
}

std::optional<ns::Date> SQResultSet::dateForColumn(std::string_view columnName) {
  return dateForColumnIndex(columnIndexForName(columnName));
}

std::optional<ns::Data> SQResultSet::dataForColumn(std::string_view columnName) {
  return dataForColumnIndex(columnIndexForName(columnName));
}

std::optional<std::string_view> SQResultSet::dataNoCopyForColumn(std::string_view columnName) {
  return dataNoCopyForColumnIndex(columnIndexForName(columnName));
}

bool SQResultSet::columnIsNull(std::string_view columnName) {
  return columnIndexIsNull(columnIndexForName(columnName));
}

const char* SQResultSet::UTF8StringForColumnName(std::string_view columnName) {
  return UTF8StringForColumnIndex(columnIndexForName(columnName));
}

ns::Value SQResultSet::objectForColumnName(std::string_view columnName) {
  return objectForColumnIndex(columnIndexForName(columnName));
}

bool SQResultSet::hasRowData() const {
  sqlite3_stmt* h = handle();
  if (h && sqlite3_data_count(h) > 0) return true;
  ns::log("Warning: There seem to be no columns in this set.");
  return false;
}

std::optional<ns::Dictionary> SQResultSet::resultDict() {
  if (!hasRowData()) return std::nullopt;
  std::vector<ns::Dictionary::Entry> entries;
  for (const auto& [name, idx] : columnNameToIndexMap())
    entries.emplace_back(name, objectForColumnIndex(idx));
  return ns::Dictionary::fromEntries(std::move(entries));
}

std::optional<ns::Dictionary> SQResultSet::resultDictionary() {
  if (!hasRowData()) return std::nullopt;
  std::vector<ns::Dictionary::Entry> entries;
  const int count = sqlite3_column_count(handle());
  for (int i = 0; i < count; ++i) entries.emplace_back(columnNameForIndex(i), objectForColumnIndex(i));
  return ns::Dictionary::fromEntries(std::move(entries));
}

void SQResultSet::kvcMagic(ns::Dictionary& object) {
  sqlite3_stmt* h = handle();
  if (!h) return;
  const int count = sqlite3_column_count(h);
  for (int i = 0; i < count; ++i) {
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(h, i));
    if (text) object.set(columnNameForIndex(i), std::string(text));
  }
}
