#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/RunLoop.h"

namespace ns {

// A thread with its own run loop. The object stays alive while its thread runs; a thread that
// returns from its body finishes, and calls performed on it afterwards are dropped. An exception
// escaping the body is uncaught and ends the process (Foundation/Exception.h).
class Thread final : public Object {
 public:
  Thread();
  ~Thread() override;

  std::shared_ptr<Thread> initWithBlock(std::function<void()> block);
  static void detachNewThreadWithBlock(std::function<void()> block);

  void start();
  // Only records the request; the body decides when to look at isCancelled().
  void cancel() { cancelled_.store(true); }
  bool isCancelled() const { return cancelled_.load(); }
  bool isExecuting() const { return executing_.load(); }
  bool isFinished() const { return finished_.load(); }
  std::string name() const;
  void setName(std::string name);
  // Whether this object stands for the main thread.
  bool isMain() const { return isMain_; }

  // The thread's run loop (exists before the thread starts, so work can be posted to it early).
  std::shared_ptr<RunLoop> runLoop() const { return runLoop_; }

  static std::shared_ptr<Thread> currentThread();
  static std::shared_ptr<Thread> mainThread();
  // Whether the calling thread is the main thread (the one that runs main()).
  static bool isMainThread();
  // Real time, whatever clock is installed.
  static void sleepForTimeInterval(double seconds);

 private:
  static std::shared_ptr<Thread> makeForCurrentThread(std::shared_ptr<RunLoop> runLoop, bool isMain);

  mutable std::mutex mutex_;
  std::function<void()> block_;
  std::string name_;
  std::shared_ptr<RunLoop> runLoop_;
  std::atomic<bool> started_{false};
  std::atomic<bool> executing_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> cancelled_{false};
  bool isMain_ = false;
};

using ThreadPtr = std::shared_ptr<Thread>;

// Runs block on the thread's run loop. With waitUntilDone the caller blocks until it has run;
// when the caller is that thread, the block runs at once. A finished thread drops the call.
void performOnThread(const ThreadPtr& thread, std::function<void()> block, bool waitUntilDone);
void performOnMainThread(std::function<void()> block, bool waitUntilDone);

}  // namespace ns
