#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/Value.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_stmt;
struct sqlite3_value;

class SQResultSet;
class SQStatement;
class SQStatementRegistry;
struct SQBlockTransactions;

// Domain of the errors a connection reports; the codes are SQLite's result codes.
inline constexpr const char* kSQDatabaseErrorDomain = "SQDatabase";

// Hashing and comparison of SQL texts that accept a string_view without building a string.
struct SQTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// One SQLite connection: opens and closes the file, prepares, binds and runs SQL with retry while
// the database is busy, caches prepared statements, tracks its open result sets, runs transactions
// and savepoints and registers SQL functions. Used by one thread at a time: a call made while another
// statement executes is refused, not waited for (SQDatabaseQueue and SQDatabasePool serialise access).
class SQDatabase final : public ns::Object {
 public:
  using FunctionBlock = std::function<void(sqlite3_context* context, int argc, sqlite3_value** argv)>;
  using SavePointBlock = std::function<void(bool& rollback)>;
  using StatementCache =
      std::unordered_map<std::string, std::shared_ptr<SQStatement>, SQTextHash, std::equal_to<>>;

  SQDatabase();
  ~SQDatabase() override;

  // No path (or ":memory:") is a private in-memory database.
  static std::shared_ptr<SQDatabase> databaseWithPath(std::optional<std::string> path);
  std::shared_ptr<SQDatabase> initWithPath(std::optional<std::string> path);
  static std::string sqliteLibVersion();
  static bool isSQLiteThreadSafe();

  bool open();
  bool openWithFlags(int flags);
  bool close();
  bool goodConnection();
  const std::optional<std::string>& databasePath() const { return databasePath_; }
  sqlite3* sqliteHandle() const { return db_; }

  // Queries: a result set, or nullptr on failure. Arguments bind to the SQL's parameters in order.
  template <class... Args>
  std::shared_ptr<SQResultSet> executeQuery(std::string_view sql, Args&&... args) {
    const std::array<ns::Value, sizeof...(Args)> values{ns::Value(std::forward<Args>(args))...};
    return executeQueryCore(sql, values, nullptr);
  }
  std::shared_ptr<SQResultSet> executeQueryWithArgumentsInArray(std::string_view sql,
                                                                const ns::Array& arguments);
  // Each key binds the parameter ":key".
  std::shared_ptr<SQResultSet> executeQueryWithParameterDictionary(std::string_view sql,
                                                                   const ns::Dictionary& arguments);
  // A printf-like format whose conversions become "?" parameters bound to the arguments.
  template <class... Args>
  std::shared_ptr<SQResultSet> executeQueryWithFormat(std::string_view format, const Args&... args) {
    const std::array<ns::Value, sizeof...(Args)> values{formatArgument(args)...};
    auto [sql, arguments] = extractSQL(format, values);
    return executeQueryWithArgumentsInArray(sql, arguments);
  }

  // Updates: whether the statement ran to completion.
  template <class... Args>
  bool executeUpdate(std::string_view sql, Args&&... args) {
    const std::array<ns::Value, sizeof...(Args)> values{ns::Value(std::forward<Args>(args))...};
    return executeUpdateCore(sql, nullptr, values, nullptr);
  }
  bool executeUpdateWithArgumentsInArray(std::string_view sql, const ns::Array& arguments);
  bool executeUpdateWithParameterDictionary(std::string_view sql, const ns::Dictionary& arguments);
  template <class... Args>
  bool executeUpdateWithFormat(std::string_view format, const Args&... args) {
    const std::array<ns::Value, sizeof...(Args)> values{formatArgument(args)...};
    auto [sql, arguments] = extractSQL(format, values);
    return executeUpdateWithArgumentsInArray(sql, arguments);
  }
  // As executeUpdate, filling outError (when given) on failure.
  template <class... Args>
  bool update(std::string_view sql, ns::ErrorPtr* outError, Args&&... args) {
    const std::array<ns::Value, sizeof...(Args)> values{ns::Value(std::forward<Args>(args))...};
    return executeUpdateCore(sql, outError, values, nullptr);
  }

  // Rewrites a format's conversions into "?" and gives the SQL with the converted arguments.
  static std::pair<std::string, ns::Array> extractSQL(std::string_view format,
                                                      std::span<const ns::Value> arguments);

  std::int64_t lastInsertRowId();
  int changes();
  std::string lastErrorMessage() const;
  int lastErrorCode() const;
  bool hadError() const;
  ns::ErrorPtr lastError() const;

  bool beginTransaction();
  bool beginDeferredTransaction();
  bool commit();
  bool rollback();
  bool inTransaction() const { return inTransaction_.load(); }

  bool startSavePointWithName(std::string_view name, ns::ErrorPtr* outError);
  bool releaseSavePointWithName(std::string_view name, ns::ErrorPtr* outError);
  bool rollbackToSavePointWithName(std::string_view name, ns::ErrorPtr* outError);
  // Runs the block inside a fresh savepoint, undone when the block sets rollback; nullptr on success.
  ns::ErrorPtr inSavePoint(const SavePointBlock& block);

  void makeFunctionNamed(const std::string& name, int maximumArguments, FunctionBlock block);

  void clearCachedStatements();
  bool hasOpenResultSets() const;
  void closeOpenResultSets();
  void resultSetDidClose(SQResultSet* resultSet);
  // No encryption support.
  bool setKey(std::string_view) { return false; }
  bool rekey(std::string_view) { return false; }

  bool logsErrors() const { return logsErrors_.load(); }
  void setLogsErrors(bool value) { logsErrors_.store(value); }
  bool crashOnErrors() const { return crashOnErrors_.load(); }
  void setCrashOnErrors(bool value) { crashOnErrors_.store(value); }
  bool traceExecution() const { return traceExecution_.load(); }
  void setTraceExecution(bool value) { traceExecution_.store(value); }
  bool checkedOut() const { return checkedOut_.load(); }
  void setCheckedOut(bool value) { checkedOut_.store(value); }
  // Busy retries allowed before a call gives up; 0 gives up once the retrying has lasted
  // kDefaultBusyTimeout seconds. A lock held by this same connection is never waited for.
  static constexpr double kDefaultBusyTimeout = 10;
  int busyRetryTimeout() const { return busyRetryTimeout_.load(); }
  void setBusyRetryTimeout(int value) { busyRetryTimeout_.store(value); }
  bool shouldCacheStatements() const { return cachedStatements_.has_value(); }
  void setShouldCacheStatements(bool value);
  // Empty while caching is off.
  const StatementCache& cachedStatements() const;

  // SQDatabaseAdditions: one-value queries reading column 0 of the first row (the getter's empty value
  // when there is none), schema look-ups and SQL validation.
  template <class... Args>
  std::optional<std::string> stringForQuery(std::string_view sql, Args&&... args) {
    return firstString(executeQuery(sql, std::forward<Args>(args)...));
  }
  template <class... Args>
  int intForQuery(std::string_view sql, Args&&... args) {
    return firstInt(executeQuery(sql, std::forward<Args>(args)...));
  }
  template <class... Args>
  long longForQuery(std::string_view sql, Args&&... args) {
    return firstLong(executeQuery(sql, std::forward<Args>(args)...));
  }
  template <class... Args>
  bool boolForQuery(std::string_view sql, Args&&... args) {
    return firstBool(executeQuery(sql, std::forward<Args>(args)...));
  }
  template <class... Args>
  double doubleForQuery(std::string_view sql, Args&&... args) {
    return firstDouble(executeQuery(sql, std::forward<Args>(args)...));
  }
  template <class... Args>
  std::optional<ns::Data> dataForQuery(std::string_view sql, Args&&... args) {
    return firstData(executeQuery(sql, std::forward<Args>(args)...));
  }
  template <class... Args>
  std::optional<ns::Date> dateForQuery(std::string_view sql, Args&&... args) {
    return firstDate(executeQuery(sql, std::forward<Args>(args)...));
  }
  bool tableExists(std::string_view tableName);
  std::shared_ptr<SQResultSet> getSchema();
  // Rows of cid, name, type, notnull, dflt_value, pk.
  std::shared_ptr<SQResultSet> getTableSchema(std::string_view tableName);
  bool columnExistsInTableWithName(std::string_view columnName, std::string_view tableName);
  bool columnExistsColumnName(std::string_view tableName, std::string_view columnName);
  bool validateSQL(std::string_view sql, ns::ErrorPtr* outError);

  // What runs between two busy retries: a 20 microsecond sleep unless replaced (tests act there).
  void setBusyRetrySleep(std::function<void()> sleep) { busyRetrySleep_ = std::move(sleep); }

 private:
  friend struct SQBlockTransactions;
  friend class SQResultSet;

  // The retries of one call so far.
  struct BusyRetries {
    int count = 0;
    double startedAt = 0;  // process clock time of the first retry
  };
  // Whether the retrying has gone on long enough to give up (busyRetryTimeout, or the default wait).
  bool busyRetriesExhausted(BusyRetries& retries) const;
  void sleepBeforeRetry();
  // Sleeps and gives true while retries remain, or logs and gives false once they ran out;
  // function and line name the caller in the log line.
  bool retryAfterBusy(BusyRetries& retries, const char* function, int line);
  // Steps, retrying while busy (another connection holds the lock); "locked" is returned at once.
  int stepWithRetry(sqlite3_stmt* handle, const char* function, int line);

  template <class T>
  static ns::Value formatArgument(const T& argument) {
    if constexpr (std::is_same_v<T, char>)
      return ns::Value(static_cast<int>(argument));
    else
      return ns::Value(argument);
  }

  static std::optional<std::string> firstString(const std::shared_ptr<SQResultSet>& resultSet);
  static int firstInt(const std::shared_ptr<SQResultSet>& resultSet);
  static long firstLong(const std::shared_ptr<SQResultSet>& resultSet);
  static bool firstBool(const std::shared_ptr<SQResultSet>& resultSet);
  static double firstDouble(const std::shared_ptr<SQResultSet>& resultSet);
  static std::optional<ns::Data> firstData(const std::shared_ptr<SQResultSet>& resultSet);
  static std::optional<ns::Date> firstDate(const std::shared_ptr<SQResultSet>& resultSet);

  std::shared_ptr<SQResultSet> executeQueryCore(std::string_view sql, std::span<const ns::Value> arguments,
                                                const ns::Dictionary* dictionary);
  bool executeUpdateCore(std::string_view sql, ns::ErrorPtr* outError, std::span<const ns::Value> arguments,
                         const ns::Dictionary* dictionary);
  // Steps 1-4 shared by queries and updates: checks, cache or prepare, bind. Null on failure.
  std::shared_ptr<SQStatement> prepareAndBind(std::string_view sql, ns::ErrorPtr* outError,
                                              std::span<const ns::Value> arguments,
                                              const ns::Dictionary* dictionary, bool& cached, bool isQuery);
  // Prepares with the busy retry; function and line name the caller in the busy log line.
  int prepareStatement(std::string_view sql, sqlite3_stmt** handle, const char* function, int line);
  bool beginExecuting();
  void endExecuting() { executing_.store(false); }
  std::string pathDescription() const;
  void reportProgrammingError(const char* message) const;

  sqlite3* db_ = nullptr;
  std::optional<std::string> databasePath_;
  std::atomic<bool> logsErrors_{false};
  std::atomic<bool> crashOnErrors_{false};
  std::atomic<bool> traceExecution_{false};
  std::atomic<bool> checkedOut_{false};
  std::atomic<bool> executing_{false};
  std::atomic<bool> inTransaction_{false};
  std::atomic<int> busyRetryTimeout_{0};
  std::optional<StatementCache> cachedStatements_;
  mutable std::mutex openResultSetsMutex_;
  std::unordered_map<SQResultSet*, std::weak_ptr<SQResultSet>> openResultSets_;
  std::vector<std::unique_ptr<FunctionBlock>> openFunctions_;
  std::shared_ptr<SQStatementRegistry> statements_;
  std::function<void()> busyRetrySleep_;
  // Set when a call gave up on a busy database; block transactions roll back when they see it.
  bool busyRetryExhausted_ = false;
};
