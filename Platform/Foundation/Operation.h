#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace ns {

class Operation;
using OperationPtr = std::shared_ptr<Operation>;

// A unit of work with dependencies, cancellation and a completion closure. Its state keys
// ("isReady", "isExecuting", "isFinished", "isCancelled") are announced through key-value
// observation; the operation itself and the queues running it react to those announcements, so
// a concurrent subclass that overrides start() and the state getters only has to announce its own
// changes (will/didChangeValueForKey) for waiting, dependencies and the completion to work.
class Operation : public Object {
 public:
  Operation();
  ~Operation() override;

  // Runs main() on the calling thread (a non-concurrent operation), finishing at once when
  // cancelled. Does nothing for an operation that is executing, finished or not ready.
  virtual void start();
  virtual void main() {}
  // Marks the operation cancelled; its dependencies are then ignored. No effect once finished.
  virtual void cancel();

  virtual bool isReady() const;
  virtual bool isExecuting() const;
  virtual bool isFinished() const;
  virtual bool isCancelled() const;
  // A concurrent operation finishes later, on its own, after start() has returned.
  virtual bool isConcurrent() const { return false; }
  bool isAsynchronous() const { return isConcurrent(); }

  // This operation becomes ready when every dependency has finished (or it is cancelled).
  void addDependency(const OperationPtr& operation);
  void removeDependency(const OperationPtr& operation);
  std::vector<OperationPtr> dependencies() const;

  // Runs once, after isFinished turns true, on a worker thread (never the main thread). It is
  // cleared once it has been taken to run.
  virtual void setCompletionBlock(std::function<void()> block);
  std::function<void()> completionBlock() const;

  // Blocks until the operation has finished; needs no run loop (the main thread may wait).
  void waitUntilFinished();

  std::string name() const;
  void setName(std::string name);

 protected:
  // Where the completion closure runs once the operation has finished: on a worker by default. A
  // subclass may hand it to a queue of its own instead (never the main thread).
  virtual void runCompletion(std::function<void()> completion);

 private:
  friend class OperationQueue;
  enum class State { Pending, Executing, Finished };
  void didFinish();
  void dependencyFinished();
  void addDependent(const std::weak_ptr<Operation>& dependent);

  mutable std::mutex mutex_;
  std::condition_variable finishedCondition_;
  State state_ = State::Pending;
  std::atomic<bool> cancelled_{false};
  bool starting_ = false;
  bool finishHandled_ = false;
  std::function<void()> completion_;
  std::vector<OperationPtr> dependencies_;
  std::vector<std::weak_ptr<Operation>> dependents_;
  std::string name_;
  bool inQueue_ = false;
};

// Runs its blocks in the order added.
class BlockOperation final : public Operation {
 public:
  static std::shared_ptr<BlockOperation> blockOperationWithBlock(std::function<void()> block);
  void addExecutionBlock(std::function<void()> block);
  std::vector<std::function<void()>> executionBlocks() const;
  void main() override;

 private:
  mutable std::mutex blocksMutex_;
  std::vector<std::function<void()>> blocks_;
};

// Calls a member of a target (held until the operation has run), or a plain invocation.
class InvocationOperation final : public Operation {
 public:
  std::shared_ptr<InvocationOperation> initWithInvocation(std::function<void()> invocation);
  // selector(object) on the target; the selector takes the object or nothing.
  template <class T, class Selector>
  std::shared_ptr<InvocationOperation> initWithTarget(const std::shared_ptr<T>& target, Selector selector,
                                                      Value object = {}) {
    target_ = target;
    return initWithInvocation([raw = target.get(), selector, object = std::move(object)] {
      if constexpr (std::is_invocable_v<Selector, T*, const Value&>)
        (raw->*selector)(object);
      else
        (raw->*selector)();
    });
  }
  void main() override;

 private:
  std::function<void()> invocation_;
  std::shared_ptr<void> target_;
};

}  // namespace ns
