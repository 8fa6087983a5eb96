#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Queues over the platform run loops and the shared worker pool: the main queue (drained by the
// main run loop), four global concurrent queues by priority, labelled serial queues, delayed
// work on the process clock, groups and semaphores. An exception escaping an asynchronous block is
// uncaught and ends the process (Foundation/Exception.h).
namespace dispatch {

class Queue;
class Group;
class Semaphore;
using QueuePtr = std::shared_ptr<Queue>;
using GroupPtr = std::shared_ptr<Group>;
using SemaphorePtr = std::shared_ptr<Semaphore>;

inline constexpr long QUEUE_PRIORITY_HIGH = 2;
inline constexpr long QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long QUEUE_PRIORITY_LOW = -2;
inline constexpr long QUEUE_PRIORITY_BACKGROUND = -32768;

// Nanoseconds on the process clock since 1970; TIME_NOW and TIME_FOREVER as on the platform.
using Time = std::uint64_t;
inline constexpr Time TIME_NOW = 0;
inline constexpr Time TIME_FOREVER = ~0ull;
inline constexpr std::int64_t NSEC_PER_SEC = 1'000'000'000;
inline constexpr std::int64_t NSEC_PER_MSEC = 1'000'000;

// `when` (TIME_NOW for now) plus delta nanoseconds.
Time time(Time when, std::int64_t deltaNanoseconds);

QueuePtr mainQueue();
// Unknown priorities read as the default one; flags are reserved and ignored.
QueuePtr getGlobalQueue(long priority, unsigned long flags = 0);
// A serial queue: its blocks run one at a time, in submission order, on the worker pool.
QueuePtr queueCreate(std::string label);
const std::string& queueGetLabel(const QueuePtr& queue);

// Returns at once; the block runs later on the queue.
void async(const QueuePtr& queue, std::function<void()> block);
// Runs the block on the queue and returns when it has run; an exception it throws reaches the
// caller. Waiting on a serial queue (or the main queue) that the calling thread is itself running
// would never return: that throws ns::Exception (NSInternalInconsistencyException) instead.
void sync(const QueuePtr& queue, std::function<void()> block);
// Runs the block on the queue once the process clock reaches `when` (TIME_FOREVER: never).
void after(Time when, const QueuePtr& queue, std::function<void()> block);

using OnceFlag = std::once_flag;
void once(OnceFlag& flag, const std::function<void()>& block);

GroupPtr groupCreate();
void groupEnter(const GroupPtr& group);
// Leaving more often than entering throws ns::Exception.
void groupLeave(const GroupPtr& group);
void groupAsync(const GroupPtr& group, const QueuePtr& queue, std::function<void()> block);
// Once the group is empty (at once if it is), the block is submitted to the queue.
void groupNotify(const GroupPtr& group, const QueuePtr& queue, std::function<void()> block);
// 0 when the group emptied, non-zero when `timeout` came first.
long groupWait(const GroupPtr& group, Time timeout);

SemaphorePtr semaphoreCreate(long value);
// Non-zero when a waiting thread was woken.
long semaphoreSignal(const SemaphorePtr& semaphore);
// 0 when decremented, non-zero when `timeout` came first.
long semaphoreWait(const SemaphorePtr& semaphore, Time timeout);

}  // namespace dispatch
