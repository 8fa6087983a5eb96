#include "SQDatabase/SQDatabase.h"

#include <sqlite3.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "SQDatabase/SQBlockTransactions.h"
#include "SQDatabase/SQError.h"
#include "SQDatabase/SQResultSet.h"
#include "SQDatabase/SQStatement.h"
#include "SQDatabase/SQStatementRegistry.h"

namespace {

template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

// Binds one value by its kind; gives SQLite's result code. Text and blobs are bound with `keep`:
// SQLITE_TRANSIENT (SQLite copies them) unless the value outlives every step of the statement.
int bindObject(const ns::Value& value, int idx, sqlite3_stmt* statement, sqlite3_destructor_type keep) {
  using Type = ns::Value::Type;
  switch (value.type()) {
    case Type::nil:
    case Type::null:
      return sqlite3_bind_null(statement, idx);
    case Type::data: {
      const ns::Data& data = *value.asData();
      // A null pointer would bind NULL; an empty blob must stay a blob.
      static const char kEmpty = 0;
      const void* bytes = data.length() ? static_cast<const void*>(data.bytes()) : &kEmpty;
      return sqlite3_bind_blob64(statement, idx, bytes, data.length(), keep);
    }
    case Type::date:
      return sqlite3_bind_double(statement, idx, value.asDate()->timeIntervalSince1970());
    case Type::boolean:
      return sqlite3_bind_int(statement, idx, value.boolValue() ? 1 : 0);
    case Type::integer:
      // Above INT64_MAX the bits are stored as they are; unsignedLongLongIntForColumn reads them back.
      if (value.isUnsigned())
        return sqlite3_bind_int64(statement, idx, static_cast<sqlite3_int64>(value.unsignedLongLongValue()));
      return sqlite3_bind_int64(statement, idx, value.longLongValue());
    case Type::real:
      return sqlite3_bind_double(statement, idx, value.doubleValue());
    case Type::string: {
      const std::string& text = *value.asString();
      return sqlite3_bind_text64(statement, idx, text.data(), text.size(), keep, SQLITE_UTF8);
    }
    default: {
      std::string text = value.describe();
      return sqlite3_bind_text64(statement, idx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
  }
}

void callFunctionBlock(sqlite3_context* context, int argc, sqlite3_value** argv) {
  auto* block = static_cast<SQDatabase::FunctionBlock*>(sqlite3_user_data(context));
  // An exception must not unwind through SQLite's C frames.
  try {
    (*block)(context, argc, argv);
  } catch (const std::exception& e) {
    sqlite3_result_error(context, e.what(), -1);
  } catch (...) {
    sqlite3_result_error(context, "SQL function failed", -1);
  }
}

// Savepoint names go into SQL as quoted literals.
std::string quotedName(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 2);
  for (char c : name) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

}  // namespace

SQDatabase::SQDatabase() : statements_(std::make_shared<SQStatementRegistry>()) {}

SQDatabase::~SQDatabase() {
  if (!close() && db_) {
    // Busy for good (an unfinished backup): leave it to SQLite to close once that ends.
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

std::shared_ptr<SQDatabase> SQDatabase::databaseWithPath(std::optional<std::string> path) {
  return std::make_shared<SQDatabase>()->initWithPath(std::move(path));
}

std::shared_ptr<SQDatabase> SQDatabase::initWithPath(std::optional<std::string> path) {
  NS_PARAMETER_ASSERT(isSQLiteThreadSafe());
  databasePath_ = std::move(path);
  return std::static_pointer_cast<SQDatabase>(shared_from_this());
}

std::string SQDatabase::sqliteLibVersion() { return ns::format("%s", sqlite3_libversion()); }

bool SQDatabase::isSQLiteThreadSafe() { return sqlite3_threadsafe() != 0; }

std::string SQDatabase::pathDescription() const { return databasePath_ ? *databasePath_ : "(null)"; }

bool SQDatabase::open() { return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE); }

bool SQDatabase::openWithFlags(int flags) {
  if (db_) return true;
  sqlite3* handle = nullptr;
  const std::string path = databasePath_ ? *databasePath_ : ":memory:";
  int rc = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
  if (rc != SQLITE_OK) {
    ns::log("error opening!: %d", rc);
    // A failed open still hands back a connection that must be released.
    sqlite3_close(handle);
    return false;
  }
  db_ = handle;
  return true;
}

bool SQDatabase::close() {
  // Result sets first: a statement one of them holds leaves the cache without being finalized under it.
  closeOpenResultSets();
  clearCachedStatements();
  if (!db_) return true;
  BusyRetries retries;
  bool finalizedLeaks = false;
  for (;;) {
    int rc = sqlite3_close(db_);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
      if (!finalizedLeaks) {
        finalizedLeaks = true;
        // Ours first, through the registry, so their owners see a cleared handle.
        statements_->closeAll();
        while (sqlite3_stmt* leaked = sqlite3_next_stmt(db_, nullptr)) {
          ns::log("Closing leaked statement");
          sqlite3_finalize(leaked);
        }
      }
      if (busyRetriesExhausted(retries)) {
        ns::log("%s:%d", __func__, __LINE__);
        ns::log("Database busy, unable to close");
        return false;
      }
      sleepBeforeRetry();
      continue;
    }
    if (rc != SQLITE_OK) ns::log("error closing!: %d", rc);
    break;
  }
  db_ = nullptr;
  inTransaction_.store(false);
  return true;
}

bool SQDatabase::goodConnection() {
  if (!db_) return false;
  auto resultSet = executeQuery("select name from sqlite_master where type='table'");
  if (!resultSet) return false;
  resultSet->close();
  return true;
}

bool SQDatabase::busyRetriesExhausted(BusyRetries& retries) const {
  ++retries.count;
  if (int limit = busyRetryTimeout_.load(); limit != 0) return retries.count > limit;
  // No limit set: waiting for another connection is bounded all the same, so no call hangs.
  double now = ns::clockNow();
  if (retries.count == 1) retries.startedAt = now;
  return now - retries.startedAt >= kDefaultBusyTimeout;
}

void SQDatabase::sleepBeforeRetry() {
  if (busyRetrySleep_)
    busyRetrySleep_();
  else
    usleep(20);
}

bool SQDatabase::retryAfterBusy(BusyRetries& retries, const char* function, int line) {
  if (busyRetriesExhausted(retries)) {
    ns::log("%s:%d Database busy (%@)", function, line, pathDescription());
    ns::log("Database busy");
    busyRetryExhausted_ = true;
    return false;
  }
  sleepBeforeRetry();
  return true;
}

int SQDatabase::stepWithRetry(sqlite3_stmt* handle, const char* function, int line) {
  BusyRetries retries;
  for (;;) {
    // "Locked" is a conflict within this connection (a table in use by one of its own
    // statements): no other connection will end it, so it is not waited for.
    int rc = sqlite3_step(handle);
    if (rc != SQLITE_BUSY || !retryAfterBusy(retries, function, line)) return rc;
  }
}

int SQDatabase::prepareStatement(std::string_view sql, sqlite3_stmt** handle, const char* function,
                                 int line) {
  if (sql.size() > INT_MAX) return SQLITE_TOOBIG;
  BusyRetries retries;
  for (;;) {
    int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), handle, nullptr);
    if (rc == SQLITE_BUSY && retryAfterBusy(retries, function, line)) continue;
    return rc;
  }
}

bool SQDatabase::beginExecuting() {
  if (!db_) {
    ns::log("The SQDatabase %@ is not open.", this);
    if (crashOnErrors_) std::abort();
    return false;
  }
  if (executing_.exchange(true)) {
    ns::log("The SQDatabase %@ is currently in use.", this);
    if (crashOnErrors_) std::abort();
    return false;
  }
  return true;
}

std::shared_ptr<SQStatement> SQDatabase::prepareAndBind(std::string_view sql, ns::ErrorPtr* outError,
                                                        std::span<const ns::Value> arguments,
                                                        const ns::Dictionary* dictionary, bool& cached,
                                                        bool isQuery) {
  std::shared_ptr<SQStatement> statement;
  cached = false;
  if (cachedStatements_) {
    auto it = cachedStatements_->find(sql);
    // A statement an open result set is stepping must not be reset under it: prepare another.
    if (it != cachedStatements_->end() && !it->second->inUse_ && it->second->statement_) {
      statement = it->second;
      cached = true;
    }
  }
  if (!statement) {
    sqlite3_stmt* handle = nullptr;
    int rc = prepareStatement(sql, &handle, __func__, __LINE__);
    if (rc != SQLITE_OK) {
      if (rc != SQLITE_BUSY && logsErrors_) {
        ns::log("DB Error: %d \"%@\"", lastErrorCode(), lastErrorMessage());
        ns::log("DB Query: %@", sql);
        ns::log("DB Path: %@", pathDescription());
        if (crashOnErrors_) std::abort();
      }
      if (outError) *outError = lastError();
      sqlite3_finalize(handle);
      return nullptr;
    }
    statement = std::make_shared<SQStatement>()->initWithStatement(handle, std::string(sql), statements_);
  }

  sqlite3_stmt* handle = statement->statement_;
  const int queryCount = sqlite3_bind_parameter_count(handle);
  // Only parameters that really received a value count, so a misspelt key cannot leave one NULL.
  int bound = 0;
  // An update steps and resets before the caller's values go; a result set steps long after.
  const sqlite3_destructor_type keep = isQuery ? SQLITE_TRANSIENT : SQLITE_STATIC;
  if (dictionary) {
    std::string name;
    for (const auto& [key, value] : *dictionary) {
      name.clear();
      (name += ':') += key;
      int idx = sqlite3_bind_parameter_index(handle, name.c_str());
      if (idx > 0) {
        if (bindObject(value, idx, handle, keep) == SQLITE_OK) ++bound;
      } else {
        ns::log("Could not find index for %@", key);
      }
    }
  } else {
    const bool trace = traceExecution_.load();
    for (int idx = 1; idx <= queryCount && static_cast<std::size_t>(idx) <= arguments.size(); ++idx) {
      const ns::Value& object = arguments[static_cast<std::size_t>(idx - 1)];
      if (trace) ns::log("obj: %@", object);
      if (bindObject(object, idx, handle, keep) == SQLITE_OK) ++bound;
    }
  }
  if (bound != queryCount) {
    if (isQuery)
      ns::log("Error: the bind count is not correct for the # of variables (executeQuery)");
    else
      ns::log("Error: the bind count is not correct for the # of variables (%@) (executeUpdate)", sql);
    if (outError)
      *outError = sqMakeError(SQLITE_RANGE, "the bind count is not correct for the # of variables");
    // A cached statement stays cached: it has not been stepped, so it is still in its reset state.
    if (cached)
      sqlite3_clear_bindings(handle);
    else
      statement->close();
    return nullptr;
  }
  return statement;
}

std::shared_ptr<SQResultSet> SQDatabase::executeQueryCore(std::string_view sql,
                                                          std::span<const ns::Value> arguments,
                                                          const ns::Dictionary* dictionary) {
  if (!beginExecuting()) return nullptr;
  ScopeExit done([this] { endExecuting(); });
  if (traceExecution_) ns::log("%@ executeQuery: %@", this, sql);

  bool cached = false;
  auto statement = prepareAndBind(sql, nullptr, arguments, dictionary, cached, true);
  if (!statement) return nullptr;
  if (cachedStatements_ && !cached && !cachedStatements_->contains(sql))
    cachedStatements_->emplace(std::string(sql), statement);

  auto resultSet = SQResultSet::resultSetWithStatement(
      statement, std::static_pointer_cast<SQDatabase>(shared_from_this()));
  resultSet->setQuery(std::string(sql));
  {
    std::lock_guard lock(openResultSetsMutex_);
    openResultSets_[resultSet.get()] = resultSet;
  }
  statement->useCount_ += 1;
  statement->inUse_ = true;
  return resultSet;
}

bool SQDatabase::executeUpdateCore(std::string_view sql, ns::ErrorPtr* outError,
                                   std::span<const ns::Value> arguments, const ns::Dictionary* dictionary) {
  if (!beginExecuting()) {
    if (outError)
      *outError =
          sqMakeError(SQLITE_MISUSE, db_ ? "The database is currently in use." : "The database is not open.");
    return false;
  }
  ScopeExit done([this] { endExecuting(); });
  if (traceExecution_) ns::log("%@ executeUpdate: %@", this, sql);

  bool cached = false;
  auto statement = prepareAndBind(sql, outError, arguments, dictionary, cached, false);
  if (!statement) return false;
  sqlite3_stmt* handle = statement->statement_;

  const int rc = stepWithRetry(handle, __func__, __LINE__);
  switch (rc) {
    case SQLITE_DONE:
    case SQLITE_ROW:
    case SQLITE_BUSY:
      break;
    case SQLITE_ERROR:
      ns::log("Error calling sqlite3_step (%d: %s) SQLITE_ERROR", rc, sqlite3_errmsg(db_));
      ns::log("DB Query: %@", sql);
      break;
    case SQLITE_MISUSE:
      ns::log("Error calling sqlite3_step (%d: %s) SQLITE_MISUSE", rc, sqlite3_errmsg(db_));
      ns::log("DB Query: %@", sql);
      break;
    default:
      ns::log("Unknown error calling sqlite3_step (%d: %s) eu", rc, sqlite3_errmsg(db_));
      ns::log("DB Query: %@", sql);
      break;
  }
  const bool succeeded = rc == SQLITE_DONE || rc == SQLITE_OK;
  // Taken before the reset below, which may replace the connection's message.
  if (!succeeded && outError) *outError = rc == SQLITE_ROW ? nullptr : lastError();

  if (cachedStatements_ && !cached && !cachedStatements_->contains(sql)) {
    cachedStatements_->emplace(std::string(sql), statement);
    cached = true;
  }
  int closeRc;
  if (cached) {
    statement->useCount_ += 1;
    closeRc = sqlite3_reset(handle);
    // The caller's values are about to go: leave no pointer to them bound.
    if (handle) sqlite3_clear_bindings(handle);
  } else {
    closeRc = statement->close();
  }
  if (closeRc != SQLITE_OK && rc != SQLITE_ROW) {
    ns::log("Unknown error finalizing or resetting statement (%d: %s)", closeRc, sqlite3_errmsg(db_));
    ns::log("DB Query: %@", sql);
  }
  if (rc == SQLITE_ROW)
    throw ns::Exception(ns::kInternalInconsistencyException,
                        ns::format("A executeUpdate is being called with a query string '%@'", sql));
  return succeeded;
}

std::shared_ptr<SQResultSet> SQDatabase::executeQueryWithArgumentsInArray(std::string_view sql,
                                                                          const ns::Array& arguments) {
  return executeQueryCore(sql, arguments, nullptr);
}

std::shared_ptr<SQResultSet> SQDatabase::executeQueryWithParameterDictionary(
    std::string_view sql, const ns::Dictionary& arguments) {
  return executeQueryCore(sql, {}, &arguments);
}

bool SQDatabase::executeUpdateWithArgumentsInArray(std::string_view sql, const ns::Array& arguments) {
  return executeUpdateCore(sql, nullptr, arguments, nullptr);
}

bool SQDatabase::executeUpdateWithParameterDictionary(std::string_view sql, const ns::Dictionary& arguments) {
  return executeUpdateCore(sql, nullptr, {}, &arguments);
}

std::int64_t SQDatabase::lastInsertRowId() {
  if (executing_.exchange(true)) {
    ns::log("The SQDatabase %@ is currently in use.", this);
    return 0;
  }
  ScopeExit done([this] { endExecuting(); });
  return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

int SQDatabase::changes() {
  if (executing_.exchange(true)) {
    ns::log("The SQDatabase %@ is currently in use.", this);
    return 0;
  }
  ScopeExit done([this] { endExecuting(); });
  return db_ ? sqlite3_changes(db_) : 0;
}

std::string SQDatabase::lastErrorMessage() const {
  return db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(SQLITE_OK);
}

int SQDatabase::lastErrorCode() const { return db_ ? sqlite3_errcode(db_) : SQLITE_OK; }

bool SQDatabase::hadError() const {
  int code = lastErrorCode();
  return code > SQLITE_OK && code < SQLITE_ROW;
}

ns::ErrorPtr SQDatabase::lastError() const { return sqMakeError(lastErrorCode(), lastErrorMessage()); }

bool SQDatabase::beginTransaction() {
  bool b = executeUpdate("begin exclusive transaction");
  if (b) inTransaction_.store(true);
  return b;
}

bool SQDatabase::beginDeferredTransaction() {
  bool b = executeUpdate("begin deferred transaction");
  if (b) inTransaction_.store(true);
  return b;
}

bool SQDatabase::commit() {
  bool b = executeUpdate("commit transaction");
  // A failed commit may have rolled the transaction back by itself (a full disk does).
  if (b || (db_ && sqlite3_get_autocommit(db_))) inTransaction_.store(false);
  return b;
}

bool SQDatabase::rollback() {
  bool b = executeUpdate("rollback transaction");
  if (b || (db_ && sqlite3_get_autocommit(db_))) inTransaction_.store(false);
  return b;
}

bool SQDatabase::startSavePointWithName(std::string_view name, ns::ErrorPtr* outError) {
  return update("savepoint '" + quotedName(name) + "';", outError);
}

bool SQDatabase::releaseSavePointWithName(std::string_view name, ns::ErrorPtr* outError) {
  return update("release savepoint '" + quotedName(name) + "';", outError);
}

bool SQDatabase::rollbackToSavePointWithName(std::string_view name, ns::ErrorPtr* outError) {
  return update("rollback transaction to savepoint '" + quotedName(name) + "';", outError);
}

ns::ErrorPtr SQDatabase::inSavePoint(const SavePointBlock& block) {
  static std::atomic<long> savePointIdx{0};
  std::string name = ns::format("dbSavePoint%ld", savePointIdx.fetch_add(1));
  return SQBlockTransactions::inSavePoint(*this, name, [&](SQDatabase&, bool& rollback) { block(rollback); });
}

void SQDatabase::makeFunctionNamed(const std::string& name, int maximumArguments, FunctionBlock block) {
  openFunctions_.push_back(std::make_unique<FunctionBlock>(std::move(block)));
  if (!db_) return;
  sqlite3_create_function(db_, name.c_str(), maximumArguments, SQLITE_UTF8, openFunctions_.back().get(),
                          &callFunctionBlock, nullptr, nullptr);
}

void SQDatabase::clearCachedStatements() {
  if (!cachedStatements_) return;
  for (auto& [sql, statement] : *cachedStatements_) {
    // One an open result set still steps is finalized when that result set lets go of it.
    if (!statement->inUse_) statement->close();
  }
  cachedStatements_->clear();
}

void SQDatabase::setShouldCacheStatements(bool value) {
  if (value && !cachedStatements_)
    cachedStatements_.emplace();
  else if (!value)
    cachedStatements_.reset();
}

const SQDatabase::StatementCache& SQDatabase::cachedStatements() const {
  static const StatementCache kEmpty;
  return cachedStatements_ ? *cachedStatements_ : kEmpty;
}

bool SQDatabase::hasOpenResultSets() const {
  std::lock_guard lock(openResultSetsMutex_);
  return !openResultSets_.empty();
}

void SQDatabase::closeOpenResultSets() {
  std::unordered_map<SQResultSet*, std::weak_ptr<SQResultSet>> open;
  {
    std::lock_guard lock(openResultSetsMutex_);
    open.swap(openResultSets_);
  }
  // The caller holds this database; the result sets' own references may go now.
  for (auto& [raw, weak] : open) {
    if (auto resultSet = weak.lock()) {
      resultSet->setParentDB(nullptr);
      resultSet->close();
    }
  }
}

void SQDatabase::resultSetDidClose(SQResultSet* resultSet) {
  std::lock_guard lock(openResultSetsMutex_);
  openResultSets_.erase(resultSet);
}
