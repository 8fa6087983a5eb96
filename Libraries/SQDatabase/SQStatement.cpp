#include "SQDatabase/SQStatement.h"

#include <sqlite3.h>

#include "Foundation/Format.h"
#include "SQDatabase/SQStatementRegistry.h"

SQStatement::~SQStatement() { close(); }

std::shared_ptr<SQStatement> SQStatement::initWithStatement(sqlite3_stmt* statement, std::string query,
                                                            std::shared_ptr<SQStatementRegistry> registry) {
  statement_ = statement;
  query_ = std::move(query);
  registry_ = std::move(registry);
  if (registry_ && statement_) registry_->add(this);
  return std::static_pointer_cast<SQStatement>(shared_from_this());
}

int SQStatement::reset() { return statement_ ? sqlite3_reset(statement_) : SQLITE_OK; }

int SQStatement::close() {
  if (registry_) return registry_->close(this);
  int rc = statement_ ? sqlite3_finalize(statement_) : SQLITE_OK;
  statement_ = nullptr;
  return rc;
}

std::string SQStatement::describe() const {
  return ns::format("%@ %ld hit(s) for query %@", ns::Object::describe(), useCount_, query_);
}

void SQStatementRegistry::add(SQStatement* statement) {
  std::lock_guard lock(mutex_);
  live_.insert(statement);
}

int SQStatementRegistry::close(SQStatement* statement) {
  std::lock_guard lock(mutex_);
  live_.erase(statement);
  int rc = statement->statement_ ? sqlite3_finalize(statement->statement_) : SQLITE_OK;
  statement->statement_ = nullptr;
  return rc;
}

int SQStatementRegistry::closeAll() {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (SQStatement* statement : live_) {
    if (!statement->statement_) continue;
    ns::log("Closing leaked statement");
    sqlite3_finalize(statement->statement_);
    statement->statement_ = nullptr;
    ++count;
  }
  live_.clear();
  return count;
}
