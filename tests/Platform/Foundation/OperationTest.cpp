#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/Lock.h"
#include "Foundation/Operation.h"
#include "Foundation/OperationQueue.h"
#include "Foundation/Thread.h"
#include "Foundation/WorkerPool.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::spinUntil;

// Records every announcement of the given keys as "will isX" / "did isX".
struct KeyLog {
  std::mutex mutex;
  std::vector<std::string> entries;
  void observe(ns::Object& object, std::initializer_list<const char*> keys) {
    for (const char* key : keys)
      object.addObserverForKey(key, [this](ns::Object&, std::string_view k, bool prior) {
        std::lock_guard lock(mutex);
        entries.push_back(std::string(prior ? "will " : "did ") + std::string(k));
      });
  }
  std::vector<std::string> get() {
    std::lock_guard lock(mutex);
    return entries;
  }
};

// A concurrent operation with its own state, finishing later from another thread: the shape of
// the request operations built on this class.
class LaterOperation final : public ns::Operation {
 public:
  void start() override {
    {
      std::lock_guard lock(lock_);
      if (state_ != 0) return;
    }
    setState(1);
  }
  void finishNow() { setState(2); }
  bool isConcurrent() const override { return true; }
  bool isExecuting() const override {
    std::lock_guard lock(lock_);
    return state_ == 1;
  }
  bool isFinished() const override {
    std::lock_guard lock(lock_);
    return state_ == 2;
  }

 private:
  void setState(int state) {
    std::lock_guard lock(lock_);
    const char* newKey = state == 1 ? "isExecuting" : "isFinished";
    const char* oldKey = state == 1 ? "isReady" : "isExecuting";
    willChangeValueForKey(newKey);
    willChangeValueForKey(oldKey);
    state_ = state;
    didChangeValueForKey(oldKey);
    didChangeValueForKey(newKey);
  }
  mutable ns::RecursiveLock lock_;
  int state_ = 0;
};

TEST(OperationTest, BlockOperationRunsItsBlocksAndAnnouncesItsStateInOrder) {
  std::vector<int> ran;
  auto operation = ns::BlockOperation::blockOperationWithBlock([&] { ran.push_back(1); });
  operation->addExecutionBlock([&] { ran.push_back(2); });
  KeyLog keys;
  keys.observe(*operation, {"isExecuting", "isFinished"});
  EXPECT_TRUE(operation->isReady());
  operation->start();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  EXPECT_TRUE(operation->isFinished());
  EXPECT_FALSE(operation->isExecuting());
  EXPECT_EQ(keys.get(), (std::vector<std::string>{"will isExecuting", "did isExecuting", "will isFinished",
                                                  "will isExecuting", "did isExecuting", "did isFinished"}));
  operation->start();  // finished: nothing runs again
  EXPECT_EQ(ran.size(), 2u);
}

TEST(OperationTest, CompletionRunsOnceAfterFinishingAndOffTheMainThread) {
  for (bool concurrent : {false, true}) {
    SCOPED_TRACE(concurrent);
    std::shared_ptr<ns::Operation> operation;
    if (concurrent)
      operation = std::make_shared<LaterOperation>();
    else
      operation = ns::BlockOperation::blockOperationWithBlock([] {});
    std::atomic<int> runs{0};
    std::atomic<bool> sawFinished{false}, onMain{false};
    std::weak_ptr<ns::Operation> weak = operation;
    operation->setCompletionBlock([&, weak] {
      if (auto op = weak.lock()) sawFinished = op->isFinished();
      onMain = ns::Thread::isMainThread();
      ++runs;  // last: the test reads the other two once it sees this
    });
    operation->start();
    if (concurrent) std::thread([&] { static_cast<LaterOperation&>(*operation).finishNow(); }).join();
    ASSERT_TRUE(spinUntil([&] { return runs.load() == 1; }));
    EXPECT_TRUE(sawFinished);
    EXPECT_FALSE(onMain);
    EXPECT_FALSE(operation->completionBlock());
    operation->didChangeValueForKey("isFinished");  // a repeated announcement runs nothing again
    EXPECT_EQ(runs.load(), 1);
  }
}

TEST(OperationTest, WaitUntilFinishedReturnsWithoutTheMainRunLoop) {
  // The main thread blocks (no run loop) while another thread finishes the operation.
  auto operation = std::make_shared<LaterOperation>();
  operation->start();
  std::thread finisher([&] { operation->finishNow(); });
  operation->waitUntilFinished();
  finisher.join();
  EXPECT_TRUE(operation->isFinished());
  // From a worker thread, for an operation run by a queue.
  auto queue = std::make_shared<ns::OperationQueue>();
  auto slow = ns::BlockOperation::blockOperationWithBlock([] {});
  std::atomic<bool> waited{false};
  ns::WorkerPool::shared().submit(ns::WorkerPool::Priority::Default, [&] {
    slow->waitUntilFinished();
    waited = slow->isFinished();
  });
  queue->addOperation(slow);
  ASSERT_TRUE(spinUntil([&] { return waited.load(); }));
}

TEST(OperationTest, DependenciesGateReadinessAndCancellationLiftsThem) {
  auto first = ns::BlockOperation::blockOperationWithBlock([] {});
  auto second = ns::BlockOperation::blockOperationWithBlock([] {});
  second->addDependency(first);
  second->addDependency(first);  // once only
  EXPECT_EQ(second->dependencies().size(), 1u);
  EXPECT_FALSE(second->isReady());
  second->start();  // not ready: nothing happens
  EXPECT_FALSE(second->isFinished());
  KeyLog keys;
  keys.observe(*second, {"isReady"});
  first->start();
  EXPECT_TRUE(second->isReady());
  EXPECT_EQ(keys.get(), (std::vector<std::string>{"will isReady", "did isReady"}));

  auto blocked = ns::BlockOperation::blockOperationWithBlock([] {});
  blocked->addDependency(ns::BlockOperation::blockOperationWithBlock([] {}));
  EXPECT_FALSE(blocked->isReady());
  blocked->cancel();
  EXPECT_TRUE(blocked->isReady());
  blocked->removeDependency(blocked->dependencies().front());
  EXPECT_TRUE(blocked->dependencies().empty());
}

TEST(OperationTest, CancellationBeforeAndAfterRunning) {
  struct Case {
    const char* name;
    bool cancelBeforeStart;
    bool expectMainRan;
    bool expectCancelled;
  } cases[] = {
      {"cancelled before start finishes without running", true, false, true},
      {"cancel after finishing has no effect", false, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool ran = false;
    auto operation = ns::BlockOperation::blockOperationWithBlock([&] { ran = true; });
    if (c.cancelBeforeStart) operation->cancel();
    operation->start();
    if (!c.cancelBeforeStart) operation->cancel();
    EXPECT_EQ(ran, c.expectMainRan);
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(operation->isCancelled(), c.expectCancelled);
  }
}

struct Builder : ns::Object {
  std::vector<std::string> built;
  void build(const ns::Value& object) { built.push_back(*object.asString()); }
};

TEST(OperationTest, InvocationOperationKeepsItsTargetUntilItHasRun) {
  std::weak_ptr<Builder> weak;
  std::shared_ptr<ns::InvocationOperation> operation;
  std::vector<std::string> seen;
  {
    auto builder = std::make_shared<Builder>();
    weak = builder;
    operation = std::make_shared<ns::InvocationOperation>()->initWithTarget(builder, &Builder::build,
                                                                            ns::Value("row"));
    operation->setCompletionBlock([] {});
  }
  ASSERT_FALSE(weak.expired());
  auto builder = weak.lock();
  operation->start();
  EXPECT_EQ(builder->built, std::vector<std::string>{"row"});
  builder.reset();
  EXPECT_TRUE(weak.expired());
}

TEST(OperationQueueTest, RunsEveryOperationWithinTheConcurrencyLimit) {
  for (long limit : {1L, 3L, -1L}) {
    SCOPED_TRACE(limit);
    auto queue = std::make_shared<ns::OperationQueue>();
    queue->setMaxConcurrentOperationCount(limit);
    std::atomic<int> running{0}, peak{0}, done{0};
    for (int i = 0; i < 40; ++i)
      queue->addOperationWithBlock([&] {
        int now = ++running;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::yield();
        --running;
        ++done;
      });
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(done.load(), 40);
    EXPECT_EQ(queue->operationCount(), 0u);
    if (limit > 0) {
      EXPECT_LE(peak.load(), limit);
    }
  }
}

TEST(OperationQueueTest, DependenciesOrderOperationsAddedInReverse) {
  auto queue = std::make_shared<ns::OperationQueue>();
  std::mutex mutex;
  std::vector<int> order;
  std::vector<std::shared_ptr<ns::BlockOperation>> chain;
  for (int i = 0; i < 10; ++i) {
    chain.push_back(ns::BlockOperation::blockOperationWithBlock([&, i] {
      std::lock_guard lock(mutex);
      order.push_back(i);
    }));
    if (i > 0) chain[i]->addDependency(chain[i - 1]);
  }
  std::vector<ns::OperationPtr> reversed(chain.rbegin(), chain.rend());
  queue->addOperations(reversed, true);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(OperationQueueTest, CancelAllFinishesWaitingOperationsWithoutRunningThem) {
  auto queue = std::make_shared<ns::OperationQueue>();
  queue->setSuspended(true);
  std::atomic<int> ran{0};
  std::vector<ns::OperationPtr> operations;
  for (int i = 0; i < 5; ++i) {
    operations.push_back(ns::BlockOperation::blockOperationWithBlock([&] { ++ran; }));
    queue->addOperation(operations.back());
  }
  EXPECT_EQ(queue->operationCount(), 5u);
  EXPECT_EQ(queue->operations(), operations);
  queue->cancelAllOperations();
  queue->setSuspended(false);
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(ran.load(), 0);
  for (const auto& operation : operations) {
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_TRUE(operation->isFinished());
  }
}

TEST(OperationQueueTest, ConcurrentOperationHoldsItsSlotUntilItFinishes) {
  auto queue = std::make_shared<ns::OperationQueue>();
  queue->setMaxConcurrentOperationCount(1);
  auto later = std::make_shared<LaterOperation>();
  std::atomic<bool> nextRan{false};
  queue->addOperation(later);
  queue->addOperationWithBlock([&] { nextRan = true; });
  ASSERT_TRUE(spinUntil([&] { return later->isExecuting(); }));
  EXPECT_FALSE(nextRan.load());
  EXPECT_EQ(queue->operationCount(), 2u);
  later->finishNow();
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(nextRan.load());
}

TEST(OperationQueueTest, RefusesOperationsItCannotRun) {
  auto queue = std::make_shared<ns::OperationQueue>();
  queue->setSuspended(true);
  auto queued = ns::BlockOperation::blockOperationWithBlock([] {});
  queue->addOperation(queued);
  EXPECT_THROW(queue->addOperation(queued), ns::Exception);
  EXPECT_THROW(std::make_shared<ns::OperationQueue>()->addOperation(queued), ns::Exception);
  auto finished = ns::BlockOperation::blockOperationWithBlock([] {});
  finished->start();
  EXPECT_THROW(queue->addOperation(finished), ns::Exception);
  queue->setSuspended(false);
  queue->waitUntilAllOperationsAreFinished();
}

TEST(LockTest, RecursiveLockMayBeTakenAgainByItsHolder) {
  ns::RecursiveLock lock;
  lock.setName("networking.operation.lock");
  EXPECT_EQ(lock.name(), "networking.operation.lock");
  lock.lock();
  EXPECT_TRUE(lock.tryLock());
  bool otherGotIt = true;
  std::thread([&] { otherGotIt = lock.tryLock(); }).join();
  EXPECT_FALSE(otherGotIt);
  lock.unlock();
  lock.unlock();
  std::thread([&] {
    otherGotIt = lock.tryLock();
    if (otherGotIt) lock.unlock();
  }).join();
  EXPECT_TRUE(otherGotIt);
}

TEST(LockTest, LockBeforeDateGivesUpAtTheLimit) {
  ns::Lock lock;
  lock.lock();
  bool got = true;
  std::thread([&] { got = lock.lockBeforeDate(ns::Date::now().dateByAddingTimeInterval(0.01)); }).join();
  EXPECT_FALSE(got);
  lock.unlock();
  EXPECT_TRUE(lock.lockBeforeDate(ns::Date::now()));
  lock.unlock();
}

TEST(LockTest, ConditionHandsItemsBetweenThreads) {
  ns::Condition condition;
  int items = 0, consumed = 0;
  std::thread consumer([&] {
    for (int i = 0; i < 500; ++i) {
      condition.lock();
      while (items == 0) condition.wait();
      --items;
      ++consumed;
      condition.unlock();
    }
  });
  for (int i = 0; i < 500; ++i) {
    std::lock_guard guard(condition);
    ++items;
    condition.signal();
  }
  consumer.join();
  EXPECT_EQ(consumed, 500);
  condition.lock();
  EXPECT_FALSE(condition.waitUntilDate(ns::Date::now().dateByAddingTimeInterval(0.01)));
  condition.unlock();
}

}  // namespace
