#include "SQDatabase/SQBlockTransactions.h"

#include <sqlite3.h>

#include "SQDatabase/SQDatabase.h"
#include "SQDatabase/SQError.h"

ns::ErrorPtr SQBlockTransactions::inTransaction(SQDatabase& db, Kind kind, const Block& block) {
  const bool outerBusy = std::exchange(db.busyRetryExhausted_, false);
  const bool begun = kind == Kind::deferred ? db.beginDeferredTransaction() : db.beginTransaction();
  if (!begun) {
    db.busyRetryExhausted_ = outerBusy;
    return db.lastError();
  }
  bool rollback = false;
  try {
    block(db, rollback);
  } catch (...) {
    db.rollback();
    db.busyRetryExhausted_ = outerBusy;
    throw;
  }
  const bool gaveUpOnBusy = std::exchange(db.busyRetryExhausted_, outerBusy);
  if (rollback || gaveUpOnBusy) {
    if (!db.rollback()) return db.lastError();
    return gaveUpOnBusy ? sqMakeError(SQLITE_BUSY, "Database busy") : nullptr;
  }
  if (!db.commit()) {
    ns::ErrorPtr error = db.lastError();
    if (db.inTransaction()) db.rollback();
    return error;
  }
  return nullptr;
}

ns::ErrorPtr SQBlockTransactions::inSavePoint(SQDatabase& db, const std::string& name, const Block& block) {
  ns::ErrorPtr error;
  if (!db.startSavePointWithName(name, &error)) return error;
  const bool outerBusy = std::exchange(db.busyRetryExhausted_, false);
  bool rollback = false;
  try {
    block(db, rollback);
  } catch (...) {
    db.rollbackToSavePointWithName(name, nullptr);
    db.releaseSavePointWithName(name, nullptr);
    db.busyRetryExhausted_ = outerBusy;
    throw;
  }
  const bool gaveUpOnBusy = std::exchange(db.busyRetryExhausted_, outerBusy);
  if ((rollback || gaveUpOnBusy) && !db.rollbackToSavePointWithName(name, &error)) return error;
  // Rolling back to a savepoint leaves it open, and an outermost one would keep its transaction open
  // with every later write in it: release it either way.
  if (!db.releaseSavePointWithName(name, &error)) return error;
  return gaveUpOnBusy ? sqMakeError(SQLITE_BUSY, "Database busy") : nullptr;
}
