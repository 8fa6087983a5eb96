#include "SQDatabase/SQDatabaseQueue.h"

#include <sqlite3.h>

#include "Foundation/Format.h"
#include "SQDatabase/SQBlockTransactions.h"
#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQError.h"

SQDatabaseQueue::~SQDatabaseQueue() = default;

std::shared_ptr<SQDatabaseQueue> SQDatabaseQueue::databaseQueueWithPath(std::optional<std::string> path) {
  return std::make_shared<SQDatabaseQueue>()->initWithPath(std::move(path));
}

std::shared_ptr<SQDatabaseQueue> SQDatabaseQueue::initWithPath(std::optional<std::string> path) {
  path_ = std::move(path);
  db_ = SQDatabase::databaseWithPath(path_);
  if (!db_->open()) {
    ns::log("Could not create database queue for path %@", path_ ? *path_ : "(null)");
    db_.reset();
    return nullptr;
  }
  return std::static_pointer_cast<SQDatabaseQueue>(shared_from_this());
}

ns::ErrorPtr SQDatabaseQueue::onQueue(const char* operation, const std::function<ns::ErrorPtr()>& work) {
  if (owner_.load() == std::this_thread::get_id()) {
    std::string message = ns::format(
        "SQDatabaseQueue %@: %s called from a block already running on this queue; refused", this, operation);
    ns::log("%@", message);
    return sqMakeError(SQLITE_MISUSE, message);
  }
  std::lock_guard lock(queue_);
  owner_.store(std::this_thread::get_id());
  struct ClearOwner {
    std::atomic<std::thread::id>& owner;
    ~ClearOwner() { owner.store(std::thread::id()); }
  } clearOwner{owner_};
  return work();
}

SQDatabase* SQDatabaseQueue::database() {
  if (!db_) {
    auto db = SQDatabase::databaseWithPath(path_);
    if (!db->open()) {
      ns::log("SQDatabaseQueue could not reopen database for path %@", path_ ? *path_ : "(null)");
      return nullptr;
    }
    db_ = std::move(db);
  }
  return db_.get();
}

void SQDatabaseQueue::close() {
  onQueue("close", [this]() -> ns::ErrorPtr {
    if (db_) db_->close();
    db_.reset();
    return nullptr;
  });
}

ns::ErrorPtr SQDatabaseQueue::inDatabase(const DatabaseBlock& block) {
  return onQueue("inDatabase", [&]() -> ns::ErrorPtr {
    SQDatabase* db = database();
    if (!db) return sqMakeError(SQLITE_CANTOPEN, "SQDatabaseQueue could not reopen its database");
    block(*db);
    if (db->hasOpenResultSets())
      ns::log(
          "Warning: there is at least one open result set around after performing [SQDatabaseQueue "
          "inDatabase:]");
    return nullptr;
  });
}

ns::ErrorPtr SQDatabaseQueue::inTransactionOfKind(SQBlockTransactions::Kind kind,
                                                  const TransactionBlock& block) {
  return onQueue("inTransaction", [&]() -> ns::ErrorPtr {
    SQDatabase* db = database();
    if (!db) return sqMakeError(SQLITE_CANTOPEN, "SQDatabaseQueue could not reopen its database");
    return SQBlockTransactions::inTransaction(*db, kind, block);
  });
}

ns::ErrorPtr SQDatabaseQueue::inTransaction(const TransactionBlock& block) {
  return inTransactionOfKind(SQBlockTransactions::Kind::exclusive, block);
}

ns::ErrorPtr SQDatabaseQueue::inDeferredTransaction(const TransactionBlock& block) {
  return inTransactionOfKind(SQBlockTransactions::Kind::deferred, block);
}

ns::ErrorPtr SQDatabaseQueue::inSavePoint(const TransactionBlock& block) {
  static std::atomic<long> savePointIdx{0};
  return onQueue("inSavePoint", [&]() -> ns::ErrorPtr {
    SQDatabase* db = database();
    if (!db) return sqMakeError(SQLITE_CANTOPEN, "SQDatabaseQueue could not reopen its database");
    std::string name = ns::format("savePoint%ld", savePointIdx.fetch_add(1));
    return SQBlockTransactions::inSavePoint(*db, name, block);
  });
}
