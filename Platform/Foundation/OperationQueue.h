#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/Operation.h"

namespace ns {

// Runs operations on the shared worker pool as they become ready, in the order added, at most
// maxConcurrentOperationCount at a time (-1: as many as the pool allows). An operation leaves the
// queue when it finishes.
class OperationQueue final : public Object {
 public:
  static constexpr long kDefaultMaxConcurrentOperationCount = -1;

  OperationQueue();
  ~OperationQueue() override;

  // Adding an operation that is already queued, executing or finished throws NSInvalidArgumentException.
  void addOperation(const OperationPtr& operation);
  void addOperations(const std::vector<OperationPtr>& operations, bool waitUntilFinished);
  void addOperationWithBlock(std::function<void()> block);

  std::vector<OperationPtr> operations() const;
  std::size_t operationCount() const;
  long maxConcurrentOperationCount() const;
  void setMaxConcurrentOperationCount(long count);
  // A suspended queue starts nothing new; running operations go on.
  bool isSuspended() const;
  void setSuspended(bool suspended);
  std::string name() const;
  void setName(std::string name);

  void cancelAllOperations();
  // Blocks until the queue is empty; needs no run loop.
  void waitUntilAllOperationsAreFinished();

 private:
  struct Entry {
    OperationPtr operation;
    std::uint64_t readyToken = 0;
    std::uint64_t finishedToken = 0;
    bool started = false;
  };
  // Starts whatever may start now. Never called with the queue's lock held, nor from inside an
  // operation's change announcement (it asks operations for their state).
  void schedule();
  void scheduleLater();
  void operationFinished(Operation* operation);

  mutable std::mutex mutex_;
  std::condition_variable emptied_;
  std::vector<Entry> entries_;
  long maxConcurrent_ = kDefaultMaxConcurrentOperationCount;
  long running_ = 0;
  bool suspended_ = false;
  std::string name_;
};

}  // namespace ns
