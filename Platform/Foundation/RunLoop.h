#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Date.h"
#include "Foundation/Object.h"

struct pollfd;

namespace ns {

class Timer;
using TimerPtr = std::shared_ptr<Timer>;

// Mode names are accepted and remembered, but every source runs in every mode.
inline constexpr const char* kDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline constexpr const char* kRunLoopCommonModes = "kCFRunLoopCommonModes";

// A thread's event loop: calls posted from any thread (run in posting order), timers on the
// process clock and file-descriptor sources. Each thread has one, made on first use; the main
// thread's is the main run loop, which also drains the main dispatch queue. An idle loop sleeps
// in poll(2) until a deadline or a wake-up. An exception escaping a call, timer or source is
// uncaught and ends the process (Foundation/Exception.h).
class RunLoop final : public Object {
 public:
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;
  ~RunLoop() override;

  static std::shared_ptr<RunLoop> currentRunLoop();
  static std::shared_ptr<RunLoop> mainRunLoop();

  // Runs until stop() is called from inside the loop or from another thread.
  void run();
  // Runs until limitDate (on the process clock) or stop().
  void runUntilDate(Date limitDate);
  // Handles what is due; if nothing was, waits until something is handled or limitDate comes.
  // True when something was handled.
  bool runModeBeforeDate(std::string_view mode, Date limitDate);
  // One pass that waits at most maxWaitSeconds of real time, whatever clock is installed (test
  // helpers spin with it). True when something was handled.
  bool runOnce(double maxWaitSeconds);
  // Makes the innermost run, runUntilDate or runModeBeforeDate of this loop return.
  void stop();
  // Interrupts a sleeping loop so it looks at its clock and sources again.
  void wakeUp();

  // The mode of the innermost active run on this loop, or empty outside a run.
  std::string currentMode() const;
  std::vector<std::string> allModes() const;
  bool isCurrent() const;

  // Runs block on this loop's thread at its next pass, after the blocks posted before it.
  void performBlock(std::function<void()> block);

  // Timers: a timer belongs to one run loop at a time; adding it again elsewhere moves it.
  void addTimer(const TimerPtr& timer, std::string_view mode);
  // The earliest fire date of a valid timer, if any.
  bool nextTimerDate(double& secondsSince1970) const;
  // What the loop has left to do apart from its repeating timers: calls posted and not yet run,
  // and the earliest fire date of a valid one-shot timer (delayed calls, dispatch::after,
  // animation completions). Any thread.
  // Calls posted and one-shot timers waiting (see Timer::setCountsAsPendingWork).
  struct PendingWork {
    bool postedCalls = false;
    bool oneShotTimer = false;
    double nextOneShotDate = 0;
  };
  PendingWork pendingWork() const;

  // Delayed calls on this loop, tagged with their target and a name so they can be cancelled.
  // The target is kept alive until the call runs or is cancelled.
  void performAfterDelay(std::shared_ptr<Object> target, std::string selector, std::function<void()> action,
                         double delaySeconds);
  void cancelPerformRequests(const Object* target);
  void cancelPerformRequests(const Object* target, std::string_view selector);

  // File-descriptor sources: handler(revents) runs on this loop's thread when poll(2) reports
  // any of events. Remove a source before closing its descriptor.
  using SourceId = std::uint64_t;
  SourceId addFileDescriptorSource(int fd, short events, std::function<void(short revents)> handler);
  void removeFileDescriptorSource(SourceId id);

  // Calls made on this loop's thread at the end of each pass, after its posted calls and timers,
  // before the loop would wait (the user interface lays out its windows there). They run in the
  // order they were added; adding or removing one from inside a call takes effect next pass.
  using ObserverId = std::uint64_t;
  ObserverId addBeforeWaitingObserver(std::function<void()> callback);
  void removeBeforeWaitingObserver(ObserverId id);

  // Every run loop alive in the process (the clock wakes them all when it moves).
  static std::vector<std::shared_ptr<RunLoop>> allRunLoops();

  // Replaces how a loop waits, for a thread that must wait on something else as well (the URL
  // loader's thread waits in its libcurl poll). Each pass calls beforeWait() after the posted
  // calls and timers, bounds its sleep by maxWaitMilliseconds() (-1: no bound) and sleeps in
  // poll(), which reports on the loop's descriptors (its wake-up first) as poll(2) would.
  class Waiter {
   public:
    virtual ~Waiter() = default;
    virtual void beforeWait() = 0;
    virtual int maxWaitMilliseconds() = 0;
    virtual int poll(pollfd* fds, std::size_t count, int timeoutMs) = 0;
  };

 private:
  struct Impl;
  friend class Thread;
  friend class Timer;
  friend class URLLoader;
  // Set before the loop first runs; the waiter outlives the loop.
  void setWaiter(Waiter* waiter);
  explicit RunLoop(int threadId);
  static std::shared_ptr<RunLoop> makeForThread(int threadId);
  // Binds the calling thread to this loop (used by ns::Thread before its body runs).
  void bindToCurrentThread();
  void removeTimer(const Timer* timer);
  void rescheduleTimer(const TimerPtr& timer);
  // One pass. clockLimit bounds the wait on the process clock, realLimit in real seconds.
  bool runPass(double clockLimit, double realLimit, bool mayWait);
  bool runUntil(std::string_view mode, double clockLimit, bool once);

  std::unique_ptr<Impl> impl_;
};

// Delayed calls on the current thread's run loop, as the platform's performSelector:afterDelay:.
void performAfterDelay(std::shared_ptr<Object> target, std::string selector, std::function<void()> action,
                       double delaySeconds);
void cancelPreviousPerformRequestsWithTarget(const Object* target);
void cancelPreviousPerformRequestsWithTarget(const Object* target, std::string_view selector);

namespace detail {
// The kernel thread id of the calling thread; the main thread's equals the process id.
int currentThreadId();
}  // namespace detail

}  // namespace ns
