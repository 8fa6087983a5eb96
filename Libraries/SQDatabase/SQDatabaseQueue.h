#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "SQDatabase/SQBlockTransactions.h"

class SQDatabase;

// Runs blocks against one connection, one block at a time, on the calling thread. A block that calls
// back into its own queue is refused (it would wait for itself). Each operation gives nullptr when
// its block ran (and, for the transaction forms, its work was committed or undone on request).
class SQDatabaseQueue final : public ns::Object {
 public:
  using DatabaseBlock = std::function<void(SQDatabase& db)>;
  using TransactionBlock = std::function<void(SQDatabase& db, bool& rollback)>;

  SQDatabaseQueue() = default;
  ~SQDatabaseQueue() override;

  // nullptr when the database cannot be opened. No path is an in-memory database.
  static std::shared_ptr<SQDatabaseQueue> databaseQueueWithPath(std::optional<std::string> path);
  std::shared_ptr<SQDatabaseQueue> initWithPath(std::optional<std::string> path);

  const std::optional<std::string>& path() const { return path_; }
  // Closes the connection; the next operation opens it again.
  void close();
  ns::ErrorPtr inDatabase(const DatabaseBlock& block);
  ns::ErrorPtr inTransaction(const TransactionBlock& block);
  ns::ErrorPtr inDeferredTransaction(const TransactionBlock& block);
  ns::ErrorPtr inSavePoint(const TransactionBlock& block);

 private:
  // Runs work with the queue held; refuses a caller that already holds it.
  ns::ErrorPtr onQueue(const char* operation, const std::function<ns::ErrorPtr()>& work);
  // The open connection, opened again after close(); nullptr when that fails.
  SQDatabase* database();
  ns::ErrorPtr inTransactionOfKind(SQBlockTransactions::Kind kind, const TransactionBlock& block);

  std::optional<std::string> path_;
  std::mutex queue_;
  std::atomic<std::thread::id> owner_{};
  std::shared_ptr<SQDatabase> db_;
};
