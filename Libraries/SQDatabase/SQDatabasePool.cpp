#include "SQDatabase/SQDatabasePool.h"

#include <sqlite3.h>

#include <algorithm>

#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "SQDatabase/SQBlockTransactions.h"
#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQError.h"

namespace {

void removeDatabase(std::vector<std::shared_ptr<SQDatabase>>& list, const std::shared_ptr<SQDatabase>& db) {
  list.erase(std::remove(list.begin(), list.end(), db), list.end());
}

// Checks a connection back in when the block is done, also when it throws.
class CheckedOut {
 public:
  CheckedOut(SQDatabasePool& pool, std::shared_ptr<SQDatabase> db) : pool_(pool), db_(std::move(db)) {}
  ~CheckedOut() {
    // The block may have checked it in itself; a destructor must not throw that back.
    try {
      pool_.pushDatabaseBackInPool(db_);
    } catch (const ns::Exception& e) {
      ns::log("%@: %@", e.name(), e.reason());
    }
  }
  CheckedOut(const CheckedOut&) = delete;
  CheckedOut& operator=(const CheckedOut&) = delete;
  SQDatabase& db() const { return *db_; }

 private:
  SQDatabasePool& pool_;
  std::shared_ptr<SQDatabase> db_;
};

}  // namespace

std::shared_ptr<SQDatabasePool> SQDatabasePool::databasePoolWithPath(std::optional<std::string> path) {
  return std::make_shared<SQDatabasePool>()->initWithPath(std::move(path));
}

std::shared_ptr<SQDatabasePool> SQDatabasePool::initWithPath(std::optional<std::string> path) {
  path_ = std::move(path);
  return std::static_pointer_cast<SQDatabasePool>(shared_from_this());
}

std::weak_ptr<SQDatabasePoolDelegate> SQDatabasePool::delegate() const {
  std::lock_guard lock(lockQueue_);
  return delegate_;
}

void SQDatabasePool::setDelegate(std::weak_ptr<SQDatabasePoolDelegate> delegate) {
  std::lock_guard lock(lockQueue_);
  delegate_ = std::move(delegate);
}

std::shared_ptr<SQDatabase> SQDatabasePool::db(ns::ErrorPtr* outError) {
  std::lock_guard lock(lockQueue_);
  std::shared_ptr<SQDatabase> db;
  if (!databaseInPool_.empty()) {
    db = databaseInPool_.back();
    databaseInPool_.pop_back();
    databaseOutPool_.push_back(db);
  } else {
    const unsigned long maximum = maximumNumberOfDatabasesToCreate_.load();
    if (maximum && databaseOutPool_.size() + databaseInPool_.size() >= maximum) {
      std::string message =
          ns::format("Maximum number of databases (%ld) has already been reached!", maximum);
      ns::log("%@", message);
      if (outError) *outError = sqMakeError(SQLITE_BUSY, message);
      return nullptr;
    }
    db = SQDatabase::databaseWithPath(path_);
    db->setBusyRetryTimeout(kBusyRetryTimeout);
  }

  // A connection that cannot be handed out leaves the pool, so it does not count towards the maximum.
  if (!db->open()) {
    std::string message = ns::format("Could not open up the database at path %@", path_ ? *path_ : "(null)");
    ns::log("%@", message);
    removeDatabase(databaseOutPool_, db);
    if (outError) *outError = sqMakeError(SQLITE_CANTOPEN, message);
    return nullptr;
  }
  auto delegate = delegate_.lock();
  if (delegate && !delegate->databasePoolShouldAddDatabaseToPool(*this, *db)) {
    db->close();
    removeDatabase(databaseOutPool_, db);
    if (outError) *outError = sqMakeError(SQLITE_CANTOPEN, "The pool's delegate refused the database");
    return nullptr;
  }
  if (std::find(databaseOutPool_.begin(), databaseOutPool_.end(), db) == databaseOutPool_.end())
    databaseOutPool_.push_back(db);
  return db;
}

void SQDatabasePool::pushDatabaseBackInPool(const std::shared_ptr<SQDatabase>& db) {
  if (!db) return;
  std::lock_guard lock(lockQueue_);
  if (std::find(databaseInPool_.begin(), databaseInPool_.end(), db) != databaseInPool_.end())
    throw ns::Exception("Database already in pool",
                        "The SQDatabase being put back into the pool is already present in the pool");
  removeDatabase(databaseOutPool_, db);
  databaseInPool_.push_back(db);
}

std::size_t SQDatabasePool::countOfCheckedInDatabases() {
  std::lock_guard lock(lockQueue_);
  return databaseInPool_.size();
}

std::size_t SQDatabasePool::countOfCheckedOutDatabases() {
  std::lock_guard lock(lockQueue_);
  return databaseOutPool_.size();
}

std::size_t SQDatabasePool::countOfOpenDatabases() {
  std::lock_guard lock(lockQueue_);
  return databaseInPool_.size() + databaseOutPool_.size();
}

void SQDatabasePool::releaseAllDatabases() {
  std::lock_guard lock(lockQueue_);
  databaseOutPool_.clear();
  databaseInPool_.clear();
}

ns::ErrorPtr SQDatabasePool::inDatabase(const DatabaseBlock& block) {
  ns::ErrorPtr error;
  auto db = this->db(&error);
  if (!db) return error;
  CheckedOut checkedOut(*this, std::move(db));
  block(checkedOut.db());
  return nullptr;
}

ns::ErrorPtr SQDatabasePool::inTransactionOfKind(SQBlockTransactions::Kind kind,
                                                 const TransactionBlock& block) {
  ns::ErrorPtr error;
  auto db = this->db(&error);
  if (!db) return error;
  CheckedOut checkedOut(*this, std::move(db));
  return SQBlockTransactions::inTransaction(checkedOut.db(), kind, block);
}

ns::ErrorPtr SQDatabasePool::inTransaction(const TransactionBlock& block) {
  return inTransactionOfKind(SQBlockTransactions::Kind::exclusive, block);
}

ns::ErrorPtr SQDatabasePool::inDeferredTransaction(const TransactionBlock& block) {
  return inTransactionOfKind(SQBlockTransactions::Kind::deferred, block);
}

ns::ErrorPtr SQDatabasePool::inSavePoint(const TransactionBlock& block) {
  static std::atomic<long> savePointIdx{0};
  std::string name = ns::format("savePoint%ld", savePointIdx.fetch_add(1));
  ns::ErrorPtr error;
  auto db = this->db(&error);
  if (!db) return error;
  CheckedOut checkedOut(*this, std::move(db));
  return SQBlockTransactions::inSavePoint(checkedOut.db(), name, block);
}
