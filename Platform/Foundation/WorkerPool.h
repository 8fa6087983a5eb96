#pragma once

#include <cstddef>
#include <functional>

namespace ns {

// The process's bounded pool of worker threads, shared by the global dispatch queues and the
// operation queues. At most as many workers run as there are processors; a worker that blocks
// in one of the platform's waits (BlockingScope) lends its slot to another until it resumes.
class WorkerPool final {
 public:
  enum class Priority { High = 0, Default = 1, Low = 2, Background = 3 };

  static WorkerPool& shared();

  // Runs job on a worker, higher priorities first, in submission order within a priority.
  // An exception escaping a job is uncaught (Foundation/Exception.h).
  void submit(Priority priority, std::function<void()> job);

  // Marks the calling worker as blocked while alive. Harmless on threads outside the pool.
  class BlockingScope {
   public:
    BlockingScope();
    ~BlockingScope();
    BlockingScope(const BlockingScope&) = delete;
    BlockingScope& operator=(const BlockingScope&) = delete;

   private:
    bool active_ = false;
  };

  std::size_t threadCount() const;
  // Jobs submitted and not yet finished (queued or running): zero when no background work is left.
  std::size_t unfinishedJobCount() const;
  std::size_t width() const { return width_; }
  // Whether the calling thread is one of the pool's workers.
  static bool isWorkerThread();

  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

 private:
  struct State;
  WorkerPool();
  ~WorkerPool() = delete;  // lives for the whole process
  void spawnLocked();
  void provideWorkerLocked();
  void workerLoop();
  void blockingChanged(bool entering);

  State* state_;
  std::size_t width_;
};

}  // namespace ns
