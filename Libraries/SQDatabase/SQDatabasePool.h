#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "SQDatabase/SQBlockTransactions.h"

class SQDatabase;
class SQDatabasePool;

class SQDatabasePoolDelegate {
 public:
  virtual ~SQDatabasePoolDelegate() = default;
  // Whether a freshly opened (or reused) connection may be handed out; false closes it.
  virtual bool databasePoolShouldAddDatabaseToPool(SQDatabasePool&, SQDatabase&) { return true; }
};

// Hands out connections to one database file, one caller per connection at a time, making new
// ones up to maximumNumberOfDatabasesToCreate (0: no limit). Its connections give up on a busy
// database after kBusyRetryTimeout retries, so two pooled transactions waiting for each other end
// in a failure instead of waiting for ever. Operations give nullptr when their block ran (and its
// work was committed or undone on request), otherwise the error, and then the block did not run
// or its transaction was rolled back.
class SQDatabasePool final : public ns::Object {
 public:
  using DatabaseBlock = std::function<void(SQDatabase& db)>;
  using TransactionBlock = std::function<void(SQDatabase& db, bool& rollback)>;
  static constexpr int kBusyRetryTimeout = 5000;

  SQDatabasePool() = default;

  static std::shared_ptr<SQDatabasePool> databasePoolWithPath(std::optional<std::string> path);
  std::shared_ptr<SQDatabasePool> initWithPath(std::optional<std::string> path);

  const std::optional<std::string>& path() const { return path_; }
  std::weak_ptr<SQDatabasePoolDelegate> delegate() const;
  void setDelegate(std::weak_ptr<SQDatabasePoolDelegate> delegate);
  unsigned long maximumNumberOfDatabasesToCreate() const { return maximumNumberOfDatabasesToCreate_.load(); }
  void setMaximumNumberOfDatabasesToCreate(unsigned long value) {
    maximumNumberOfDatabasesToCreate_.store(value);
  }

  std::size_t countOfCheckedInDatabases();
  std::size_t countOfCheckedOutDatabases();
  std::size_t countOfOpenDatabases();
  void releaseAllDatabases();

  ns::ErrorPtr inDatabase(const DatabaseBlock& block);
  ns::ErrorPtr inTransaction(const TransactionBlock& block);
  ns::ErrorPtr inDeferredTransaction(const TransactionBlock& block);
  ns::ErrorPtr inSavePoint(const TransactionBlock& block);

  // Checkout and check-in, which the operations above pair up. db gives nullptr (and the reason in
  // outError) when no connection can be had; checking in one already in the pool raises
  // "Database already in pool".
  std::shared_ptr<SQDatabase> db(ns::ErrorPtr* outError = nullptr);
  void pushDatabaseBackInPool(const std::shared_ptr<SQDatabase>& db);

 private:
  ns::ErrorPtr inTransactionOfKind(SQBlockTransactions::Kind kind, const TransactionBlock& block);

  std::optional<std::string> path_;
  // Recursive, so a delegate asked during checkout may read the counts.
  mutable std::recursive_mutex lockQueue_;
  std::vector<std::shared_ptr<SQDatabase>> databaseInPool_;
  std::vector<std::shared_ptr<SQDatabase>> databaseOutPool_;
  std::weak_ptr<SQDatabasePoolDelegate> delegate_;
  std::atomic<unsigned long> maximumNumberOfDatabasesToCreate_{0};
};
