#include "Store/PersistentStoreCoordinator.h"

#include <sqlite3.h>

#include <cctype>
#include <cmath>

#include "Foundation/Format.h"
#include "Store/StoreErrors.h"

namespace cd {
namespace {

constexpr const char* kMetadataTable = "store_metadata";
constexpr const char* kRowColumn = "_pk";
constexpr int kBusyTimeoutMs = 2000;

struct Finalize {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

std::string quoted(const std::string& identifier) { return "\"" + identifier + "\""; }

const char* columnType(AttributeType type) {
  switch (type) {
    case AttributeType::String:
      return "TEXT";
    case AttributeType::Integer64:
      return "INTEGER";
    case AttributeType::Date:
      return "REAL";
    case AttributeType::Binary:
      return "BLOB";
  }
  return "";
}

int bindValue(sqlite3_stmt* statement, int index, AttributeType type, const ns::Value& value) {
  if (value.isNil()) return sqlite3_bind_null(statement, index);
  switch (type) {
    case AttributeType::String: {
      const std::string& text = *value.asString();
      return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    case AttributeType::Integer64:
      return sqlite3_bind_int64(statement, index, value.longLongValue());
    case AttributeType::Date:
      return sqlite3_bind_double(statement, index, value.asDate()->timeIntervalSince1970());
    case AttributeType::Binary: {
      const ns::Data& data = *value.asData();
      // An empty blob is still a value, not NULL.
      static const char empty = 0;
      return sqlite3_bind_blob64(statement, index,
                                 data.empty() ? static_cast<const void*>(&empty) : data.bytes(),
                                 data.length(), SQLITE_TRANSIENT);
    }
  }
  return SQLITE_MISUSE;
}

ns::Value columnValue(sqlite3_stmt* statement, int index, AttributeType type) {
  if (sqlite3_column_type(statement, index) == SQLITE_NULL) return {};
  switch (type) {
    case AttributeType::String: {
      auto text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
      return ns::Value(
          std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, index))));
    }
    case AttributeType::Integer64:
      return ns::Value(static_cast<std::int64_t>(sqlite3_column_int64(statement, index)));
    case AttributeType::Date:
      return ns::Value(ns::Date(sqlite3_column_double(statement, index)));
    case AttributeType::Binary: {
      const void* bytes = sqlite3_column_blob(statement, index);
      return ns::Value(ns::Data(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement, index))));
    }
  }
  return {};
}

// Failures that one change causes and that repeating cannot clear.
bool isPermanent(int code) {
  switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
      return true;
    default:
      return false;
  }
}

bool isPlainPragmaWord(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  return true;
}

}  // namespace

PersistentStore::~PersistentStore() {
  if (db_) sqlite3_close_v2(db_);
}

ns::ErrorPtr PersistentStore::engineError(int code) const {
  ns::Dictionary info{{ns::kLocalizedDescriptionKey, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code)}};
  if (!path_.empty()) info.set(ns::kFilePathErrorKey, path_);
  return ns::Error::make(kSQLiteErrorDomain, code & 0xff, std::move(info));
}

std::shared_ptr<PersistentStore> PersistentStore::open(const std::string& type,
                                                       const std::optional<ns::URL>& url,
                                                       const ManagedObjectModel& model,
                                                       const ns::Dictionary& options, ns::ErrorPtr* error) {
  std::shared_ptr<PersistentStore> store(new PersistentStore());
  store->type_ = type;
  store->url_ = url;
  std::string file;
  if (type == kInMemoryStoreType) {
    file = ":memory:";
  } else if (type == kSQLiteStoreType && url && url->isFileURL()) {
    store->path_ = url->path();
    file = store->path_;
  } else {
    if (error)
      *error = ns::Error::make(ns::kCocoaErrorDomain, kPersistentStoreOpenError,
                               {{ns::kLocalizedDescriptionKey, "unsupported store type or URL"}});
    return nullptr;
  }
  int rc = sqlite3_open_v2(file.c_str(), &store->db_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    if (error) *error = store->engineError(rc);
    return nullptr;
  }
  sqlite3_busy_timeout(store->db_, kBusyTimeoutMs);
  if (auto pragmas = options[kSQLitePragmasOption].asDictionary()) {
    for (const auto& [name, value] : *pragmas) {
      std::string text = value.isString()   ? *value.asString()
                         : value.isNumber() ? value.describe()
                                            : std::string();
      if (!isPlainPragmaWord(name) || !isPlainPragmaWord(text)) continue;
      sqlite3_exec(store->db_, ("PRAGMA " + name + " = " + text).c_str(), nullptr, nullptr, nullptr);
    }
  }
  if (!store->prepareSchema(model, error)) return nullptr;
  return store;
}

bool PersistentStore::prepareSchema(const ManagedObjectModel& model, ns::ErrorPtr* error) {
  auto fail = [&](int rc) {
    if (error) {
      auto engine = engineError(rc);
      int code = rc & 0xff;
      if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
        ns::Dictionary info{{ns::kLocalizedDescriptionKey, "The file is not a store, or it is damaged."},
                            {ns::kUnderlyingErrorKey, ns::Value(engine)}};
        if (!path_.empty()) info.set(ns::kFilePathErrorKey, path_);
        *error = ns::Error::make(ns::kCocoaErrorDomain, ns::kFileReadCorruptFileError, std::move(info));
      } else {
        *error = std::move(engine);
      }
    }
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  };
  auto countTables = [&](std::int64_t& count) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_, "SELECT count(*) FROM sqlite_master", -1, &raw, nullptr);
    Statement statement(raw);
    if (rc == SQLITE_OK) rc = sqlite3_step(raw);
    if (rc != SQLITE_ROW) return rc == SQLITE_OK ? SQLITE_ERROR : rc;
    count = sqlite3_column_int64(raw, 0);
    return SQLITE_OK;
  };
  const std::string description = model.canonicalDescription();
  std::int64_t tables = 0;
  if (int rc = countTables(tables); rc != SQLITE_OK) return fail(rc);
  if (tables == 0) {
    // A new file: lay out the model under a write lock, unless another writer just did.
    if (int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); rc != SQLITE_OK)
      return fail(rc);
    if (int rc = countTables(tables); rc != SQLITE_OK) return fail(rc);
    if (tables == 0) {
      std::string sql =
          ns::format("CREATE TABLE %@ (key TEXT PRIMARY KEY, value TEXT NOT NULL);", kMetadataTable);
      for (const auto& entity : model.entities()) {
        sql += "CREATE TABLE " + quoted(entity->name()) + " (" + quoted(kRowColumn) + " INTEGER PRIMARY KEY";
        for (const auto& attribute : entity->properties())
          sql += ", " + quoted(attribute->name()) + " " + columnType(attribute->attributeType());
        sql += ");";
        for (const auto& attribute : entity->properties())
          if (attribute->isIndexed())
            sql += "CREATE INDEX " + quoted(entity->name() + "_" + attribute->name()) + " ON " +
                   quoted(entity->name()) + " (" + quoted(attribute->name()) + ");";
      }
      if (int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return fail(rc);
      sqlite3_stmt* raw = nullptr;
      int rc = sqlite3_prepare_v2(db_, "INSERT INTO store_metadata (key, value) VALUES ('model', ?)", -1,
                                  &raw, nullptr);
      Statement statement(raw);
      if (rc == SQLITE_OK)
        rc = sqlite3_bind_text64(raw, 1, description.data(), description.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
      if (rc == SQLITE_OK) rc = sqlite3_step(raw);
      if (rc != SQLITE_DONE) return fail(rc);
    }
    if (int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK) return fail(rc);
  }
  // The file must hold exactly this model.
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_, "SELECT value FROM store_metadata WHERE key = 'model'", -1, &raw, nullptr);
  Statement statement(raw);
  bool same = false;
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(raw);
    if (rc == SQLITE_ROW) {
      auto text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
      same = text && description == text;
    } else if (rc != SQLITE_DONE) {
      return fail(rc);
    }
  } else if ((rc & 0xff) != SQLITE_ERROR) {  // SQLITE_ERROR: no metadata table, so another kind of file
    return fail(rc);
  }
  if (!same) {
    if (error) {
      ns::Dictionary info{
          {ns::kLocalizedDescriptionKey, "The store was written with an incompatible model."}};
      if (!path_.empty()) info.set(ns::kFilePathErrorKey, path_);
      *error = ns::Error::make(ns::kCocoaErrorDomain, kPersistentStoreIncompatibleVersionHashError,
                               std::move(info));
    }
    return false;
  }
  return true;
}

namespace {

std::string whereClause(const EntityDescription& entity, const std::optional<Predicate>& predicate,
                        std::optional<std::size_t>& boundIndex) {
  if (!predicate) return {};
  std::size_t index = *entity.indexOfAttribute(predicate->key);
  const std::string column = quoted(entity.properties()[index]->name());
  if (predicate->value.isNil()) return " WHERE " + column + " IS NULL";
  boundIndex = index;
  return " WHERE " + column + " = ?1";
}

int bindPredicate(sqlite3_stmt* statement, const EntityDescription& entity,
                  const std::optional<Predicate>& predicate, const std::optional<std::size_t>& boundIndex) {
  if (!boundIndex) return SQLITE_OK;
  return bindValue(statement, 1, entity.properties()[*boundIndex]->attributeType(), predicate->value);
}

}  // namespace

bool PersistentStore::fetchRows(const EntityDescription& entity, const std::optional<Predicate>& predicate,
                                const std::optional<SortDescriptor>& sort, std::size_t limit,
                                std::vector<Row>& rows, ns::ErrorPtr* error) {
  const auto& attributes = entity.properties();
  std::string sql = "SELECT " + quoted(kRowColumn);
  for (const auto& attribute : attributes) sql += ", " + quoted(attribute->name());
  std::optional<std::size_t> boundIndex;
  sql += " FROM " + quoted(entity.name()) + whereClause(entity, predicate, boundIndex) + " ORDER BY ";
  if (sort) sql += quoted(sort->key) + (sort->ascending ? " ASC, " : " DESC, ");
  sql += quoted(kRowColumn);
  if (limit > 0) sql += " LIMIT " + std::to_string(limit);

  std::lock_guard lock(mutex_);
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr);
  Statement statement(raw);
  if (rc == SQLITE_OK) rc = bindPredicate(raw, entity, predicate, boundIndex);
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = sqlite3_step(raw);
    if (rc != SQLITE_ROW) break;
    Row row;
    row.row = sqlite3_column_int64(raw, 0);
    row.values.reserve(attributes.size());
    for (std::size_t i = 0; i < attributes.size(); ++i)
      row.values.push_back(columnValue(raw, static_cast<int>(i + 1), attributes[i]->attributeType()));
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    if (error) *error = engineError(rc);
    return false;
  }
  return true;
}

std::optional<std::int64_t> PersistentStore::countRows(const EntityDescription& entity,
                                                       const std::optional<Predicate>& predicate,
                                                       ns::ErrorPtr* error) {
  std::optional<std::size_t> boundIndex;
  std::string sql =
      "SELECT count(*) FROM " + quoted(entity.name()) + whereClause(entity, predicate, boundIndex);
  std::lock_guard lock(mutex_);
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr);
  Statement statement(raw);
  if (rc == SQLITE_OK) rc = bindPredicate(raw, entity, predicate, boundIndex);
  if (rc == SQLITE_OK) rc = sqlite3_step(raw);
  if (rc != SQLITE_ROW) {
    if (error) *error = engineError(rc);
    return std::nullopt;
  }
  return sqlite3_column_int64(raw, 0);
}

PersistentStore::WriteOutcome PersistentStore::write(const std::vector<Change>& changes,
                                                     std::vector<std::int64_t>& insertedRows,
                                                     std::size_t& refused, ns::ErrorPtr* error) {
  std::lock_guard lock(mutex_);
  auto abandon = [&](int rc) {
    if (error) *error = engineError(rc);
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    insertedRows.clear();
  };
  if (int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); rc != SQLITE_OK) {
    abandon(rc);
    return WriteOutcome::failed;
  }
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const Change& change = changes[i];
    const auto& attributes = change.entity->properties();
    const std::string table = quoted(change.entity->name());
    std::string sql;
    switch (change.kind) {
      case Change::Kind::insert: {
        sql = "INSERT INTO " + table + " (";
        std::string marks;
        for (std::size_t a = 0; a < attributes.size(); ++a) {
          sql += (a ? ", " : "") + quoted(attributes[a]->name());
          marks += a ? ", ?" : "?";
        }
        sql = attributes.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                                 : sql + ") VALUES (" + marks + ")";
        break;
      }
      case Change::Kind::update:
        sql = "UPDATE " + table + " SET ";
        for (std::size_t a = 0; a < attributes.size(); ++a)
          sql += (a ? ", " : "") + quoted(attributes[a]->name()) + " = ?";
        sql += " WHERE " + quoted(kRowColumn) + " = ?";
        if (attributes.empty()) continue;
        break;
      case Change::Kind::remove:
        sql = "DELETE FROM " + table + " WHERE " + quoted(kRowColumn) + " = ?";
        break;
    }
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr);
    Statement statement(raw);
    int index = 1;
    if (change.kind != Change::Kind::remove)
      for (std::size_t a = 0; rc == SQLITE_OK && a < attributes.size(); ++a)
        rc = bindValue(raw, index++, attributes[a]->attributeType(), (*change.values)[a]);
    if (rc == SQLITE_OK && change.kind != Change::Kind::insert)
      rc = sqlite3_bind_int64(raw, index, change.row);
    if (rc == SQLITE_OK) rc = sqlite3_step(raw);
    if (rc != SQLITE_DONE) {
      abandon(rc);
      if (isPermanent(rc)) {
        refused = i;
        return WriteOutcome::refused;
      }
      return WriteOutcome::failed;
    }
    if (change.kind == Change::Kind::insert) insertedRows.push_back(sqlite3_last_insert_rowid(db_));
  }
  if (int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK) {
    abandon(rc);
    return WriteOutcome::failed;
  }
  return WriteOutcome::written;
}

std::shared_ptr<PersistentStoreCoordinator> PersistentStoreCoordinator::initWithManagedObjectModel(
    ManagedObjectModelPtr model) {
  if (!model) return nullptr;
  model_ = std::move(model);
  return std::static_pointer_cast<PersistentStoreCoordinator>(shared_from_this());
}

PersistentStorePtr PersistentStoreCoordinator::addPersistentStoreWithType(const std::string& type,
                                                                          const std::optional<std::string>&,
                                                                          const std::optional<ns::URL>& url,
                                                                          const ns::Dictionary& options,
                                                                          ns::ErrorPtr* error) {
  std::lock_guard lock(mutex_);
  if (store_) {
    if (error)
      *error = ns::Error::make(ns::kCocoaErrorDomain, kPersistentStoreOpenError,
                               {{ns::kLocalizedDescriptionKey, "the coordinator already has a store"}});
    return nullptr;
  }
  store_ = PersistentStore::open(type, url, *model_, options, error);
  return store_;
}

PersistentStorePtr PersistentStoreCoordinator::persistentStore() const {
  std::lock_guard lock(mutex_);
  return store_;
}

}  // namespace cd
