#pragma once

#include <functional>
#include <string>

#include "Foundation/Error.h"

class SQDatabase;

// The block forms of transactions and savepoints shared by SQDatabase, SQDatabaseQueue and
// SQDatabasePool. The block runs only inside a transaction that really began; it is undone when it
// asks for that, when it throws, when one of its calls gave up on a busy database, or when the
// commit fails. The result is nullptr when the block's work was committed or undone on request.
struct SQBlockTransactions {
  enum class Kind { exclusive, deferred };
  using Block = std::function<void(SQDatabase& db, bool& rollback)>;

  static ns::ErrorPtr inTransaction(SQDatabase& db, Kind kind, const Block& block);
  static ns::ErrorPtr inSavePoint(SQDatabase& db, const std::string& name, const Block& block);
};
