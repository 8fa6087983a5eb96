#include "Analytics/Library/MAIReachabilityChecker.h"

#include "Analytics/Library/MAILog.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/Clock.h"
#include "Foundation/Timer.h"
#include "Network/NetworkReachability.h"

namespace {

constexpr MAIReachabilityFlags kReachable = sc::kNetworkReachabilityFlagsReachable;
constexpr MAIReachabilityFlags kConnectionRequired = sc::kNetworkReachabilityFlagsConnectionRequired;
constexpr MAIReachabilityFlags kConnectionOnTraffic = sc::kNetworkReachabilityFlagsConnectionOnTraffic;
constexpr MAIReachabilityFlags kInterventionRequired = sc::kNetworkReachabilityFlagsInterventionRequired;
constexpr MAIReachabilityFlags kConnectionOnDemand = sc::kNetworkReachabilityFlagsConnectionOnDemand;
constexpr MAIReachabilityFlags kIsWWAN = sc::kNetworkReachabilityFlagsIsWWAN;

// The platform's reachability of one host, probed again on a timer and held back at first.
class ProbedHost final : public std::enable_shared_from_this<ProbedHost> {
 public:
  explicit ProbedHost(std::string host)
      : host_(std::move(host)), target_(sc::NetworkReachability::createWithName(host_)) {}
  ~ProbedHost() { unschedule(); }

  bool valid() const { return target_ != nullptr; }
  void setCallback(MAIReachabilityApi::Callback callback) { callback_ = std::move(callback); }

  bool schedule(const std::shared_ptr<ns::RunLoop>& runLoop) {
    unschedule();
    runLoop_ = runLoop;
    scheduledAt_ = ns::clockNow();
    std::weak_ptr<ProbedHost> weak = weak_from_this();
    target_->setCallback([weak](sc::NetworkReachability&, sc::NetworkReachabilityFlags flags) {
      if (auto self = weak.lock()) self->deliver(flags);
    });
    if (!target_->scheduleWithRunLoop(runLoop, ns::kDefaultRunLoopMode)) return false;
    timer_ = ns::Timer::timerWithTimeInterval(kReachabilityProbePeriod, true, [weak](const ns::TimerPtr&) {
      if (auto self = weak.lock()) self->probe();
    });
    runLoop->addTimer(timer_, ns::kRunLoopCommonModes);
    return true;
  }

  bool unschedule() {
    if (!runLoop_) return false;
    if (timer_) timer_->invalidate();
    timer_.reset();
    target_->setCallback({});
    target_->unscheduleFromRunLoop(runLoop_, ns::kDefaultRunLoopMode);
    runLoop_.reset();
    ++generation_;
    return true;
  }

 private:
  // On the scheduled run loop.
  void deliver(MAIReachabilityFlags flags) {
    if (!runLoop_) return;
    // Before one period has passed only bad news is told.
    if ((flags & kReachable) && ns::clockNow() < scheduledAt_ + kReachabilityProbePeriod) return;
    if (callback_) callback_(flags);
  }

  // Resolving a name can take long: the probe runs on a worker and reports on the run loop.
  void probe() {
    std::weak_ptr<ProbedHost> weak = weak_from_this();
    auto loop = runLoop_;
    std::uint64_t generation = generation_;
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                    [weak, loop, generation, host = host_] {
                      sc::NetworkReachabilityFlags flags = 0;
                      if (auto once = sc::NetworkReachability::createWithName(host)) once->getFlags(flags);
                      loop->performBlock([weak, generation, flags] {
                        if (auto self = weak.lock(); self && self->generation_ == generation)
                          self->deliver(flags);
                      });
                    });
  }

  std::string host_;
  sc::NetworkReachabilityPtr target_;
  MAIReachabilityApi::Callback callback_;
  std::shared_ptr<ns::RunLoop> runLoop_;
  ns::TimerPtr timer_;
  double scheduledAt_ = 0;
  std::uint64_t generation_ = 0;
};

ProbedHost* probed(const MAIReachabilityApi::Handle& handle) {
  return static_cast<ProbedHost*>(handle.get());
}

}  // namespace

const MAIReachabilityApi& kDefaultReachabilityApi() {
  static const MAIReachabilityApi api{
      [](const std::string& host) -> MAIReachabilityApi::Handle {
        auto target = std::make_shared<ProbedHost>(host);
        return target->valid() ? target : nullptr;
      },
      [](const MAIReachabilityApi::Handle& target, MAIReachabilityApi::Callback callback) {
        probed(target)->setCallback(std::move(callback));
        return true;
      },
      [](const MAIReachabilityApi::Handle& target, const std::shared_ptr<ns::RunLoop>& runLoop,
         std::string_view) { return probed(target)->schedule(runLoop); },
      [](const MAIReachabilityApi::Handle& target, const std::shared_ptr<ns::RunLoop>&, std::string_view) {
        return probed(target)->unschedule();
      },
      [](MAIReachabilityApi::Handle& target) { target.reset(); },
  };
  return api;
}

MAIReachabilityChecker::~MAIReachabilityChecker() { stop(); }

std::shared_ptr<MAIReachabilityChecker> MAIReachabilityChecker::initWithDelegate(
    std::weak_ptr<MAIReachabilityDelegate> delegate, const std::optional<std::string>& host) {
  if (!host || host->empty()) {
    MAI_LOG_ERROR("Invalid host specified.");
    return nullptr;
  }
  reachabilityApi_ = kDefaultReachabilityApi();
  reachabilityStatus_ = 0;
  host_ = *host;
  setDelegate(std::move(delegate));
  return std::static_pointer_cast<MAIReachabilityChecker>(shared_from_this());
}

void MAIReachabilityChecker::setReachabilityApi(const MAIReachabilityApi& api) {
  if (isActive()) {
    MAI_LOG_ERROR("Cannot change reachability API while reachability running; call stop first.");
    return;
  }
  reachabilityApi_ = api;
}

bool MAIReachabilityChecker::start() {
  if (isActive()) return true;
  auto target = reachabilityApi_.create ? reachabilityApi_.create(host_) : nullptr;
  if (!target) return false;
  std::weak_ptr<MAIReachabilityChecker> weak =
      std::static_pointer_cast<MAIReachabilityChecker>(shared_from_this());
  bool ok = reachabilityApi_.setCallback(target, [weak](MAIReachabilityFlags flags) {
    if (auto self = weak.lock()) self->reachabilityFlagsChanged(flags);
  });
  ok =
      ok && reachabilityApi_.scheduleWithRunLoop(target, ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes);
  if (!ok) {
    reachabilityApi_.release(target);
    return false;
  }
  reachability_ = std::move(target);
  return true;
}

void MAIReachabilityChecker::stop() {
  if (!isActive()) return;
  reachabilityStatus_ = 0;
  reachabilityApi_.unscheduleFromRunLoop(reachability_, ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes);
  reachabilityApi_.release(reachability_);
  reachability_.reset();
}

int MAIReachabilityChecker::statusForFlags(MAIReachabilityFlags flags) {
  if (!(flags & kReachable)) return 1;
  int reachable = (flags & kIsWWAN) ? 3 : 2;
  if (!(flags & kConnectionRequired)) return reachable;
  bool automatic = (flags & (kConnectionOnTraffic | kConnectionOnDemand)) != 0;
  return automatic && !(flags & kInterventionRequired) ? reachable : 1;
}

void MAIReachabilityChecker::reachabilityFlagsChanged(MAIReachabilityFlags flags) {
  MAI_LOG_DEBUG("Reachability flags update: %#08X", flags);
  int status = statusForFlags(flags);
  if (status == reachabilityStatus_) return;
  reachabilityStatus_ = status;
  // The delegate may let this checker go while it is told.
  auto self = shared_from_this();
  if (auto delegate = delegate_.lock()) delegate->reachabilityStatusChanged(*this, status);
}
