#include "Foundation/OperationQueue.h"

#include <algorithm>

#include "Foundation/Exception.h"
#include "Foundation/WorkerPool.h"

namespace ns {

OperationQueue::OperationQueue() = default;

OperationQueue::~OperationQueue() {
  for (auto& entry : entries_) {
    entry.operation->removeObserver(entry.readyToken);
    entry.operation->removeObserver(entry.finishedToken);
  }
}

void OperationQueue::addOperation(const OperationPtr& operation) {
  if (!operation) return;
  if (operation->isFinished())
    throw Exception(kInvalidArgumentException, "operation is finished and cannot be enqueued");
  if (operation->isExecuting())
    throw Exception(kInvalidArgumentException, "operation is executing and cannot be enqueued");
  {
    std::lock_guard lock(operation->mutex_);
    if (operation->inQueue_)
      throw Exception(kInvalidArgumentException, "operation is already enqueued on a queue");
    operation->inQueue_ = true;
  }
  std::weak_ptr<OperationQueue> weakSelf = std::static_pointer_cast<OperationQueue>(shared_from_this());
  Entry entry;
  entry.operation = operation;
  // The announcements may come under the operation's own locks: only note them and look later.
  entry.readyToken =
      operation->addObserverForKey("isReady", [weakSelf](Object&, std::string_view, bool isPrior) {
        if (isPrior) return;
        if (auto self = weakSelf.lock()) self->scheduleLater();
      });
  entry.finishedToken =
      operation->addObserverForKey("isFinished", [weakSelf](Object& sender, std::string_view, bool isPrior) {
        if (isPrior) return;
        auto& finished = static_cast<Operation&>(sender);
        if (!finished.isFinished()) return;
        if (auto self = weakSelf.lock()) self->operationFinished(&finished);
      });
  {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  schedule();
}

void OperationQueue::addOperations(const std::vector<OperationPtr>& operations, bool waitUntilFinished) {
  for (const auto& operation : operations) addOperation(operation);
  if (waitUntilFinished)
    for (const auto& operation : operations)
      if (operation) operation->waitUntilFinished();
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
  addOperation(BlockOperation::blockOperationWithBlock(std::move(block)));
}

std::vector<OperationPtr> OperationQueue::operations() const {
  std::lock_guard lock(mutex_);
  std::vector<OperationPtr> result;
  for (const auto& entry : entries_) result.push_back(entry.operation);
  return result;
}

std::size_t OperationQueue::operationCount() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

long OperationQueue::maxConcurrentOperationCount() const {
  std::lock_guard lock(mutex_);
  return maxConcurrent_;
}

void OperationQueue::setMaxConcurrentOperationCount(long count) {
  {
    std::lock_guard lock(mutex_);
    maxConcurrent_ = count < 0 ? kDefaultMaxConcurrentOperationCount : count;
  }
  schedule();
}

bool OperationQueue::isSuspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void OperationQueue::setSuspended(bool suspended) {
  {
    std::lock_guard lock(mutex_);
    suspended_ = suspended;
  }
  if (!suspended) schedule();
}

std::string OperationQueue::name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void OperationQueue::setName(std::string name) {
  std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

void OperationQueue::cancelAllOperations() {
  for (const auto& operation : operations()) operation->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
  std::unique_lock lock(mutex_);
  if (entries_.empty()) return;
  WorkerPool::BlockingScope blocking;
  emptied_.wait(lock, [&] { return entries_.empty(); });
}

void OperationQueue::scheduleLater() {
  std::weak_ptr<OperationQueue> weakSelf = std::static_pointer_cast<OperationQueue>(shared_from_this());
  WorkerPool::shared().submit(WorkerPool::Priority::Default, [weakSelf] {
    if (auto self = weakSelf.lock()) self->schedule();
  });
}

void OperationQueue::schedule() {
  std::vector<OperationPtr> candidates;
  {
    std::lock_guard lock(mutex_);
    if (suspended_) return;
    for (const auto& entry : entries_)
      if (!entry.started) candidates.push_back(entry.operation);
  }
  for (const auto& operation : candidates) {
    if (!operation->isReady()) continue;
    {
      std::lock_guard lock(mutex_);
      if (suspended_ || (maxConcurrent_ >= 0 && running_ >= maxConcurrent_)) return;
      auto it = std::find_if(entries_.begin(), entries_.end(),
                             [&](const Entry& e) { return e.operation == operation; });
      if (it == entries_.end() || it->started) continue;
      it->started = true;
      ++running_;
    }
    WorkerPool::shared().submit(WorkerPool::Priority::Default, [operation] { operation->start(); });
  }
}

void OperationQueue::operationFinished(Operation* operation) {
  Entry entry;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.operation.get() == operation; });
    if (it == entries_.end()) return;
    entry = std::move(*it);
    entries_.erase(it);
    if (entry.started) --running_;
    if (entries_.empty()) emptied_.notify_all();
  }
  {
    std::lock_guard lock(operation->mutex_);
    operation->inQueue_ = false;
  }
  operation->removeObserver(entry.readyToken);
  operation->removeObserver(entry.finishedToken);
  scheduleLater();
}

}  // namespace ns
