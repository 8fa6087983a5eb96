#include "Foundation/RunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <deque>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <span>

#include "Foundation/Clock.h"
#include "Foundation/Exception.h"
#include "Foundation/PostQueue.h"
#include "Foundation/Timer.h"

namespace ns {

namespace detail {
int currentThreadId() {
  static thread_local int tid = static_cast<int>(::gettid());
  return tid;
}
}  // namespace detail

namespace {

constexpr double kForever = std::numeric_limits<double>::infinity();

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::weak_ptr<RunLoop>>& registry() {
  static auto* loops = new std::vector<std::weak_ptr<RunLoop>>();
  return *loops;
}

thread_local std::shared_ptr<RunLoop> tlsRunLoop;

struct DelayedCall {
  std::uint64_t id;
  TimerPtr timer;
  std::shared_ptr<Object> target;
  std::string selector;
};

struct FdSource {
  RunLoop::SourceId id;
  int fd;
  short events;
  std::shared_ptr<std::function<void(short)>> handler;
};

}  // namespace

struct RunLoop::Impl {
  std::atomic<int> threadId{0};
  int wakeFd = -1;
  mutable std::mutex mutex;
  // Posted calls: lock-free, so posting never waits for (or wakes up) a busy loop's lock.
  detail::PostQueue<std::function<void()>> incoming;
  std::multimap<double, TimerPtr> timers;
  std::vector<DelayedCall> delayed;
  std::uint64_t nextDelayedId = 1;
  std::vector<FdSource> sources;
  SourceId nextSourceId = 1;
  std::atomic<bool> sleeping{false};
  // Non-zero while a pass runs posted calls or timers, so work taken off the queues still counts.
  std::atomic<int> dispatching{0};
  std::atomic<bool> wakePending{false};
  std::set<std::string> modes{kDefaultRunLoopMode};
  std::vector<std::string> modeStack;
  std::atomic<int> activeRuns{0};
  std::atomic<bool> stopRequested{false};
  std::atomic<Waiter*> waiter{nullptr};
  // Replaced whole on every change, so a pass takes the current list without copying it.
  using ObserverList = std::vector<std::pair<ObserverId, std::shared_ptr<std::function<void()>>>>;
  std::shared_ptr<const ObserverList> beforeWaiting;
  ObserverId nextObserverId = 1;

  // Writes the wake-up descriptor; with force even when the loop is not asleep (it may be about to
  // sleep with a wait computed before the change). A sleeping loop has published `sleeping` before
  // looking at its queue one last time, so a post either is seen there or sees `sleeping`.
  // `wakePending` spares writes while one is on its way: a writer sets it before writing, and the
  // loop clears it only after reading. Cleared before the read, it could stay set over an empty
  // descriptor (the read taking the write of a wake-up that came in between), and every later
  // wake-up would be taken for one on its way: the loop would sleep through them.
  void signal(bool force) {
    if ((force || sleeping.load(std::memory_order_seq_cst)) && !wakePending.exchange(true)) {
      std::uint64_t one = 1;
      [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
    }
  }
  // Takes the wake-ups written so far; `readable` when poll said the descriptor was written (a
  // write may trail its flag).
  void drainWake(bool readable) {
    if (!readable && !wakePending.load()) return;
    std::uint64_t count = 0;
    [[maybe_unused]] auto n = ::read(wakeFd, &count, sizeof count);
    wakePending.store(false);
  }
  void eraseTimerLocked(const Timer* timer) {
    for (auto it = timers.begin(); it != timers.end();) {
      if (it->second.get() == timer)
        it = timers.erase(it);
      else
        ++it;
    }
  }
  bool containsTimerLocked(const Timer* timer) const {
    for (const auto& [date, t] : timers)
      if (t.get() == timer) return true;
    return false;
  }
};

RunLoop::RunLoop(int threadId) : impl_(std::make_unique<Impl>()) {
  impl_->threadId = threadId;
  impl_->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (impl_->wakeFd < 0)
    throw Exception(kInternalInconsistencyException, "RunLoop: cannot create its wake-up descriptor");
}

RunLoop::~RunLoop() {
  if (impl_->wakeFd >= 0) ::close(impl_->wakeFd);
}

std::shared_ptr<RunLoop> RunLoop::makeForThread(int threadId) {
  std::shared_ptr<RunLoop> loop(new RunLoop(threadId));
  std::lock_guard lock(registryMutex());
  auto& loops = registry();
  std::erase_if(loops, [](const std::weak_ptr<RunLoop>& w) { return w.expired(); });
  loops.push_back(loop);
  return loop;
}

std::vector<std::shared_ptr<RunLoop>> RunLoop::allRunLoops() {
  std::vector<std::shared_ptr<RunLoop>> result;
  std::lock_guard lock(registryMutex());
  for (const auto& weak : registry())
    if (auto loop = weak.lock()) result.push_back(std::move(loop));
  return result;
}

std::shared_ptr<RunLoop> RunLoop::mainRunLoop() {
  // Made by whichever thread asks first, bound to the main thread (whose id is the process id).
  // Never destroyed, like the registry: other threads may still reach it while the process exits.
  static const auto* main = new std::shared_ptr<RunLoop>(makeForThread(static_cast<int>(::getpid())));
  return *main;
}

std::shared_ptr<RunLoop> RunLoop::currentRunLoop() {
  if (!tlsRunLoop) {
    int tid = detail::currentThreadId();
    tlsRunLoop = tid == static_cast<int>(::getpid()) ? mainRunLoop() : makeForThread(tid);
  }
  return tlsRunLoop;
}

void RunLoop::bindToCurrentThread() {
  impl_->threadId = detail::currentThreadId();
  tlsRunLoop = std::static_pointer_cast<RunLoop>(shared_from_this());
}

bool RunLoop::isCurrent() const { return impl_->threadId == detail::currentThreadId(); }

void RunLoop::setWaiter(Waiter* waiter) { impl_->waiter.store(waiter); }

void RunLoop::performBlock(std::function<void()> block) {
  if (!block) return;
  impl_->incoming.post(std::move(block));
  impl_->signal(false);
}

void RunLoop::wakeUp() { impl_->signal(true); }

void RunLoop::stop() {
  if (impl_->activeRuns.load() == 0) return;
  impl_->stopRequested.store(true);
  wakeUp();
}

std::string RunLoop::currentMode() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->modeStack.empty() ? std::string() : impl_->modeStack.back();
}

std::vector<std::string> RunLoop::allModes() const {
  std::lock_guard lock(impl_->mutex);
  return {impl_->modes.begin(), impl_->modes.end()};
}

void RunLoop::addTimer(const TimerPtr& timer, std::string_view mode) {
  if (!timer || !timer->isValid()) return;
  auto self = std::static_pointer_cast<RunLoop>(shared_from_this());
  std::shared_ptr<RunLoop> previous;
  {
    std::lock_guard lock(timer->mutex_);
    previous = timer->runLoop_.lock();
    timer->runLoop_ = self;
  }
  if (previous && previous != self) previous->removeTimer(timer.get());
  double date = timer->fireDate().timeIntervalSince1970();
  std::lock_guard lock(impl_->mutex);
  impl_->eraseTimerLocked(timer.get());
  impl_->timers.emplace(date, timer);
  impl_->modes.emplace(mode);
  impl_->signal(true);
}

void RunLoop::removeTimer(const Timer* timer) {
  std::lock_guard lock(impl_->mutex);
  impl_->eraseTimerLocked(timer);
}

void RunLoop::rescheduleTimer(const TimerPtr& timer) {
  double date = timer->fireDate().timeIntervalSince1970();
  std::lock_guard lock(impl_->mutex);
  impl_->eraseTimerLocked(timer.get());
  if (timer->isValid()) impl_->timers.emplace(date, timer);
  impl_->signal(true);
}

bool RunLoop::nextTimerDate(double& secondsSince1970) const {
  std::lock_guard lock(impl_->mutex);
  for (const auto& [date, timer] : impl_->timers) {
    if (timer->isValid()) {
      secondsSince1970 = date;
      return true;
    }
  }
  return false;
}

RunLoop::PendingWork RunLoop::pendingWork() const {
  PendingWork work;
  work.postedCalls = !impl_->incoming.empty() || impl_->dispatching.load() > 0;
  std::lock_guard lock(impl_->mutex);
  for (const auto& [date, timer] : impl_->timers) {
    if (timer->isValid() && timer->timeInterval() == 0 && timer->countsAsPendingWork()) {
      work.oneShotTimer = true;
      work.nextOneShotDate = date;
      break;
    }
  }
  return work;
}

void RunLoop::performAfterDelay(std::shared_ptr<Object> target, std::string selector,
                                std::function<void()> action, double delaySeconds) {
  std::uint64_t id;
  {
    std::lock_guard lock(impl_->mutex);
    id = impl_->nextDelayedId++;
  }
  std::weak_ptr<RunLoop> weakSelf = std::static_pointer_cast<RunLoop>(shared_from_this());
  auto timer = Timer::timerWithTimeInterval(
      delaySeconds, false, [weakSelf, id, action = std::move(action)](const TimerPtr&) {
        std::shared_ptr<Object> keptTarget;
        if (auto self = weakSelf.lock()) {
          std::lock_guard lock(self->impl_->mutex);
          auto& list = self->impl_->delayed;
          auto it = std::find_if(list.begin(), list.end(), [id](const DelayedCall& c) { return c.id == id; });
          if (it == list.end()) return;  // cancelled meanwhile
          keptTarget = std::move(it->target);
          list.erase(it);
        }
        if (action) action();
      });
  {
    std::lock_guard lock(impl_->mutex);
    impl_->delayed.push_back({id, timer, std::move(target), std::move(selector)});
  }
  addTimer(timer, kDefaultRunLoopMode);
}

void RunLoop::cancelPerformRequests(const Object* target) {
  std::vector<DelayedCall> cancelled;
  {
    std::lock_guard lock(impl_->mutex);
    auto& list = impl_->delayed;
    for (auto it = list.begin(); it != list.end();) {
      if (it->target.get() == target) {
        cancelled.push_back(std::move(*it));
        it = list.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& call : cancelled) call.timer->invalidate();
}

void RunLoop::cancelPerformRequests(const Object* target, std::string_view selector) {
  std::vector<DelayedCall> cancelled;
  {
    std::lock_guard lock(impl_->mutex);
    auto& list = impl_->delayed;
    for (auto it = list.begin(); it != list.end();) {
      if (it->target.get() == target && it->selector == selector) {
        cancelled.push_back(std::move(*it));
        it = list.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& call : cancelled) call.timer->invalidate();
}

RunLoop::SourceId RunLoop::addFileDescriptorSource(int fd, short events, std::function<void(short)> handler) {
  std::lock_guard lock(impl_->mutex);
  SourceId id = impl_->nextSourceId++;
  impl_->sources.push_back(
      {id, fd, events, std::make_shared<std::function<void(short)>>(std::move(handler))});
  impl_->signal(true);
  return id;
}

void RunLoop::removeFileDescriptorSource(SourceId id) {
  std::lock_guard lock(impl_->mutex);
  std::erase_if(impl_->sources, [id](const FdSource& s) { return s.id == id; });
  impl_->signal(true);
}

RunLoop::ObserverId RunLoop::addBeforeWaitingObserver(std::function<void()> callback) {
  std::lock_guard lock(impl_->mutex);
  ObserverId id = impl_->nextObserverId++;
  if (!callback) return id;
  auto list = impl_->beforeWaiting ? std::make_shared<Impl::ObserverList>(*impl_->beforeWaiting)
                                   : std::make_shared<Impl::ObserverList>();
  list->emplace_back(id, std::make_shared<std::function<void()>>(std::move(callback)));
  impl_->beforeWaiting = std::move(list);
  return id;
}

void RunLoop::removeBeforeWaitingObserver(ObserverId id) {
  std::shared_ptr<const Impl::ObserverList> previous;  // released after the lock
  std::lock_guard lock(impl_->mutex);
  if (!impl_->beforeWaiting) return;
  auto list = std::make_shared<Impl::ObserverList>(*impl_->beforeWaiting);
  std::erase_if(*list, [id](const auto& entry) { return entry.first == id; });
  previous = std::move(impl_->beforeWaiting);
  if (!list->empty()) impl_->beforeWaiting = std::move(list);
}

bool RunLoop::runPass(double clockLimit, double realLimit, bool mayWait) {
  Impl& d = *impl_;
  bool handled = false;

  // Calls posted before this pass; those they post run in the next one. (A vector: an empty one
  // costs nothing, and most passes of a busy loop find few calls or none.)
  std::vector<std::function<void()>> batch;
  // (An exception escaping a call ends the process, so the count needs no guard.)
  d.dispatching.fetch_add(1);
  d.incoming.takeAll(batch);
  for (auto& call : batch) {
    auto running = std::move(call);
    handled = true;
    try {
      running();
    } catch (...) {
      std::terminate();  // an escaping exception is uncaught (Foundation/Exception.h)
    }
  }

  // Due timers, earliest first.
  const double now = clockNow();
  std::vector<std::pair<double, TimerPtr>> due;
  {
    std::lock_guard lock(d.mutex);
    while (!d.timers.empty() && d.timers.begin()->first <= now) {
      due.emplace_back(d.timers.begin()->first, std::move(d.timers.begin()->second));
      d.timers.erase(d.timers.begin());
    }
  }
  for (auto& [date, timer] : due) {
    if (!timer->isValid()) continue;
    handled = true;
    bool keep = false;
    try {
      keep = timer->fireFromRunLoop(date, now);
    } catch (...) {
      std::terminate();  // an escaping exception is uncaught (Foundation/Exception.h)
    }
    if (keep) {
      double next = timer->fireDate().timeIntervalSince1970();
      std::lock_guard lock(d.mutex);
      // The timer may have moved to another loop, been invalidated or been re-added meanwhile.
      bool stillHere = false;
      {
        std::lock_guard timerLock(timer->mutex_);
        stillHere = timer->runLoop_.lock().get() == this;
      }
      if (stillHere && timer->isValid() && !d.containsTimerLocked(timer.get())) d.timers.emplace(next, timer);
    }
  }

  d.dispatching.fetch_sub(1);

  std::shared_ptr<const Impl::ObserverList> observers;
  {
    std::lock_guard lock(d.mutex);
    observers = d.beforeWaiting;
  }
  if (observers)
    for (const auto& [id, callback] : *observers) (*callback)();

  Waiter* waiter = d.waiter.load(std::memory_order_relaxed);
  if (waiter) waiter->beforeWait();

  // How long to sleep: until the next deadline on the clock, bounded by the caller's real limit.
  int timeoutMs = 0;
  if (mayWait && !handled) {
    double deadline = clockLimit;
    {
      std::lock_guard lock(d.mutex);
      if (!d.timers.empty()) deadline = std::min(deadline, d.timers.begin()->first);
    }
    double current = clockNow();
    double wait;
    if (deadline <= current)
      wait = 0;
    else if (clockIsManual())
      wait = kForever;  // only ManualClock::advance moves it, and it wakes every loop
    else
      wait = deadline - current;
    wait = std::min(wait, realLimit);
    if (std::isinf(wait))
      timeoutMs = -1;
    else if (wait > 0)
      timeoutMs = static_cast<int>(std::min(std::ceil(wait * 1000.0), static_cast<double>(INT_MAX)));
    if (int bound = waiter ? waiter->maxWaitMilliseconds() : -1; bound >= 0)
      timeoutMs = timeoutMs < 0 ? bound : std::min(timeoutMs, bound);
  }

  std::vector<FdSource> sources;
  {
    std::lock_guard lock(d.mutex);
    sources = d.sources;
  }
  if (timeoutMs != 0) {
    d.sleeping.store(true, std::memory_order_seq_cst);
    if (!d.incoming.empty()) timeoutMs = 0;
  }
  if (timeoutMs == 0 && sources.empty()) {
    d.sleeping.store(false);
    d.drainWake(false);
    return handled;
  }
  // The descriptors live on the stack while there are few.
  constexpr std::size_t kInline = 8;
  pollfd inlineFds[kInline];
  std::vector<pollfd> heapFds;
  std::span<pollfd> fds(inlineFds, sources.size() + 1);
  if (sources.size() + 1 > kInline) {
    heapFds.resize(sources.size() + 1);
    fds = heapFds;
  }
  fds[0] = {d.wakeFd, POLLIN, 0};
  for (std::size_t i = 0; i < sources.size(); ++i) fds[i + 1] = {sources[i].fd, sources[i].events, 0};
  int n =
      waiter ? waiter->poll(fds.data(), fds.size(), timeoutMs) : ::poll(fds.data(), fds.size(), timeoutMs);
  d.sleeping.store(false);
  d.drainWake(n > 0 && (fds[0].revents & POLLIN));
  if (n <= 0) return handled;
  for (std::size_t i = 1; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    // The source may have been removed by an earlier handler of this pass.
    bool live = false;
    {
      std::lock_guard lock(d.mutex);
      live = std::any_of(d.sources.begin(), d.sources.end(),
                         [&](const FdSource& s) { return s.id == sources[i - 1].id; });
    }
    if (!live) continue;
    handled = true;
    try {
      (*sources[i - 1].handler)(fds[i].revents);
    } catch (...) {
      std::terminate();  // an escaping exception is uncaught (Foundation/Exception.h)
    }
  }
  return handled;
}

bool RunLoop::runUntil(std::string_view mode, double clockLimit, bool once) {
  if (!isCurrent())
    throw Exception(kInternalInconsistencyException, "A run loop can only be run on its own thread");
  {
    std::lock_guard lock(impl_->mutex);
    impl_->modeStack.emplace_back(mode);
    impl_->modes.emplace(mode);
  }
  ++impl_->activeRuns;
  struct Exit {
    Impl& d;
    ~Exit() {
      --d.activeRuns;
      std::lock_guard lock(d.mutex);
      d.modeStack.pop_back();
    }
  } exit{*impl_};

  bool handledAny = false;
  for (;;) {
    if (impl_->stopRequested.exchange(false)) return handledAny;
    bool handled = runPass(clockLimit, kForever, true);
    handledAny = handledAny || handled;
    if (handled && once) return true;
    if (clockNow() >= clockLimit) return handledAny;
  }
}

void RunLoop::run() { runUntil(kDefaultRunLoopMode, kForever, false); }

void RunLoop::runUntilDate(Date limitDate) {
  runUntil(kDefaultRunLoopMode, limitDate.timeIntervalSince1970(), false);
}

bool RunLoop::runModeBeforeDate(std::string_view mode, Date limitDate) {
  return runUntil(mode, limitDate.timeIntervalSince1970(), true);
}

bool RunLoop::runOnce(double maxWaitSeconds) {
  if (!isCurrent())
    throw Exception(kInternalInconsistencyException, "A run loop can only be run on its own thread");
  return runPass(kForever, std::max(0.0, maxWaitSeconds), maxWaitSeconds > 0);
}

void performAfterDelay(std::shared_ptr<Object> target, std::string selector, std::function<void()> action,
                       double delaySeconds) {
  RunLoop::currentRunLoop()->performAfterDelay(std::move(target), std::move(selector), std::move(action),
                                               delaySeconds);
}

void cancelPreviousPerformRequestsWithTarget(const Object* target) {
  RunLoop::currentRunLoop()->cancelPerformRequests(target);
}

void cancelPreviousPerformRequestsWithTarget(const Object* target, std::string_view selector) {
  RunLoop::currentRunLoop()->cancelPerformRequests(target, selector);
}

}  // namespace ns
