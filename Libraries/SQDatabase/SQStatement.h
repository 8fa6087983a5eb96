#pragma once

#include <memory>
#include <string>

#include "Foundation/Object.h"

struct sqlite3_stmt;

class SQStatementRegistry;

// One prepared statement with the SQL it came from and how often it ran. Whoever closes it first
// (its owner, its teardown, or the connection closing under it) finalizes it; later closes do nothing.
class SQStatement final : public ns::Object {
 public:
  SQStatement() = default;
  ~SQStatement() override;

  // Takes ownership of a prepared statement. The registry, when given, is the connection's list of
  // live statements, through which closing the connection finalizes the ones still around.
  std::shared_ptr<SQStatement> initWithStatement(sqlite3_stmt* statement, std::string query,
                                                 std::shared_ptr<SQStatementRegistry> registry = nullptr);

  // Null once closed.
  sqlite3_stmt* statement() const { return statement_; }
  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }
  long useCount() const { return useCount_; }
  void setUseCount(long useCount) { useCount_ = useCount; }

  // Both give SQLite's result code (that of the last failed step, if any).
  int reset();
  int close();

  std::string describe() const override;

 private:
  friend class SQDatabase;
  friend class SQResultSet;
  friend class SQStatementRegistry;

  sqlite3_stmt* statement_ = nullptr;
  std::string query_;
  long useCount_ = 0;
  // Set while a result set is stepping it, so the statement cache lends it to nobody else.
  bool inUse_ = false;
  std::shared_ptr<SQStatementRegistry> registry_;
};
