#pragma once

#include <mutex>
#include <unordered_set>

class SQStatement;

// The live statements of one connection. A statement leaves it when it finalizes itself; closing the
// connection finalizes the rest and clears their handles, so no handle is finalized twice.
class SQStatementRegistry {
 public:
  void add(SQStatement* statement);
  // Finalizes the statement's handle (if still open) and forgets it; gives SQLite's result code.
  int close(SQStatement* statement);
  // Finalizes every registered statement, logging each as leaked; gives how many there were.
  int closeAll();

 private:
  std::mutex mutex_;
  std::unordered_set<SQStatement*> live_;
};
