#include "Foundation/Operation.h"

#include <algorithm>
#include <exception>

#include "Foundation/Format.h"
#include "Foundation/WorkerPool.h"

namespace ns {

Operation::Operation() {
  // Whoever finishes the operation (this class or a subclass with its own state) announces
  // "isFinished"; waiting, dependents and the completion closure all hang off that announcement.
  addObserverForKey("isFinished", [](Object& sender, std::string_view, bool isPrior) {
    if (isPrior) return;
    auto& operation = static_cast<Operation&>(sender);
    if (operation.isFinished()) operation.didFinish();
  });
}

Operation::~Operation() = default;

bool Operation::isReady() const {
  std::vector<OperationPtr> dependencies;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Pending && !starting_) return true;
    dependencies = dependencies_;
  }
  if (cancelled_.load()) return true;
  return std::all_of(dependencies.begin(), dependencies.end(),
                     [](const OperationPtr& d) { return d->isFinished(); });
}

bool Operation::isExecuting() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Executing;
}

bool Operation::isFinished() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Finished;
}

bool Operation::isCancelled() const { return cancelled_.load(); }

void Operation::start() {
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Pending || starting_) return;
    starting_ = true;
  }
  if (!cancelled_.load() && !isReady()) {
    std::lock_guard lock(mutex_);
    starting_ = false;
    return;
  }
  if (!cancelled_.load()) {
    willChangeValueForKey("isExecuting");
    {
      std::lock_guard lock(mutex_);
      state_ = State::Executing;
    }
    didChangeValueForKey("isExecuting");
    try {
      if (!cancelled_.load()) main();
    } catch (const std::exception& e) {
      log("*** Operation %@ ended with an exception: %s", this, e.what());
    } catch (...) {
      log("*** Operation %@ ended with an exception", this);
    }
  }
  bool wasExecuting = isExecuting();
  willChangeValueForKey("isFinished");
  if (wasExecuting) willChangeValueForKey("isExecuting");
  {
    std::lock_guard lock(mutex_);
    state_ = State::Finished;
    starting_ = false;
  }
  if (wasExecuting) didChangeValueForKey("isExecuting");
  didChangeValueForKey("isFinished");
}

void Operation::cancel() {
  if (cancelled_.load() || isFinished()) return;
  willChangeValueForKey("isCancelled");
  bool first = !cancelled_.exchange(true);
  didChangeValueForKey("isCancelled");
  if (!first) return;
  // A cancelled operation no longer waits for its dependencies.
  willChangeValueForKey("isReady");
  didChangeValueForKey("isReady");
}

void Operation::addDependency(const OperationPtr& operation) {
  if (!operation || operation.get() == this) return;
  {
    std::lock_guard lock(mutex_);
    if (std::find(dependencies_.begin(), dependencies_.end(), operation) != dependencies_.end()) return;
  }
  willChangeValueForKey("isReady");
  {
    std::lock_guard lock(mutex_);
    dependencies_.push_back(operation);
  }
  operation->addDependent(std::static_pointer_cast<Operation>(shared_from_this()));
  didChangeValueForKey("isReady");
}

void Operation::removeDependency(const OperationPtr& operation) {
  if (!operation) return;
  willChangeValueForKey("isReady");
  {
    std::lock_guard lock(mutex_);
    std::erase(dependencies_, operation);
  }
  didChangeValueForKey("isReady");
}

std::vector<OperationPtr> Operation::dependencies() const {
  std::lock_guard lock(mutex_);
  return dependencies_;
}

void Operation::addDependent(const std::weak_ptr<Operation>& dependent) {
  std::lock_guard lock(mutex_);
  if (!finishHandled_) dependents_.push_back(dependent);
}

void Operation::dependencyFinished() {
  willChangeValueForKey("isReady");
  didChangeValueForKey("isReady");
}

void Operation::setCompletionBlock(std::function<void()> block) {
  std::lock_guard lock(mutex_);
  completion_ = std::move(block);
}

std::function<void()> Operation::completionBlock() const {
  std::lock_guard lock(mutex_);
  return completion_;
}

void Operation::didFinish() {
  std::function<void()> completion;
  std::vector<std::weak_ptr<Operation>> dependents;
  {
    std::lock_guard lock(mutex_);
    if (finishHandled_) return;
    finishHandled_ = true;
    completion = std::move(completion_);
    completion_ = nullptr;
    dependents.swap(dependents_);
  }
  finishedCondition_.notify_all();
  for (const auto& weak : dependents)
    if (auto dependent = weak.lock()) dependent->dependencyFinished();
  if (completion) runCompletion(std::move(completion));
}

void Operation::runCompletion(std::function<void()> completion) {
  WorkerPool::shared().submit(WorkerPool::Priority::Default, std::move(completion));
}

void Operation::waitUntilFinished() {
  std::unique_lock lock(mutex_);
  if (finishHandled_) return;
  WorkerPool::BlockingScope blocking;
  finishedCondition_.wait(lock, [&] { return finishHandled_; });
}

std::string Operation::name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void Operation::setName(std::string name) {
  std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

std::shared_ptr<BlockOperation> BlockOperation::blockOperationWithBlock(std::function<void()> block) {
  auto operation = std::make_shared<BlockOperation>();
  operation->addExecutionBlock(std::move(block));
  return operation;
}

void BlockOperation::addExecutionBlock(std::function<void()> block) {
  if (!block) return;
  std::lock_guard lock(blocksMutex_);
  blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> BlockOperation::executionBlocks() const {
  std::lock_guard lock(blocksMutex_);
  return blocks_;
}

void BlockOperation::main() {
  for (const auto& block : executionBlocks()) block();
}

std::shared_ptr<InvocationOperation> InvocationOperation::initWithInvocation(
    std::function<void()> invocation) {
  invocation_ = std::move(invocation);
  return std::static_pointer_cast<InvocationOperation>(shared_from_this());
}

void InvocationOperation::main() {
  if (invocation_) invocation_();
  invocation_ = nullptr;
  target_.reset();
}

}  // namespace ns
