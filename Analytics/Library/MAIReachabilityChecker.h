#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Object.h"
#include "Foundation/RunLoop.h"

class MAIReachabilityChecker;

using MAIReachabilityFlags = std::uint32_t;

// Hears when the checked host's status changes: 0 unknown, 1 not reachable, 2 reachable, 3 reachable
// through the mobile network.
class MAIReachabilityDelegate {
 public:
  virtual ~MAIReachabilityDelegate() = default;
  virtual void reachabilityStatusChanged(MAIReachabilityChecker& checker, int status) = 0;
};

// The five platform operations a checker works through, in this order: create a reachability object
// for a host name, set its callback, schedule it on a run loop, unschedule it, release it.
struct MAIReachabilityApi {
  using Handle = std::shared_ptr<void>;
  using Callback = std::function<void(MAIReachabilityFlags flags)>;
  std::function<Handle(const std::string& host)> create;
  std::function<bool(const Handle& target, Callback callback)> setCallback;
  std::function<bool(const Handle& target, const std::shared_ptr<ns::RunLoop>& runLoop,
                     std::string_view mode)>
      scheduleWithRunLoop;
  std::function<bool(const Handle& target, const std::shared_ptr<ns::RunLoop>& runLoop,
                     std::string_view mode)>
      unscheduleFromRunLoop;
  std::function<void(Handle& target)> release;
};

// The platform's operations. Beside the routing changes the platform reports, they probe the host
// (by address or by name) again every period of the process clock, so a host that stays reachable
// is reported too; and they report "reachable" no sooner than one period after scheduling, so a
// host that refuses connections is tried again at that pace rather than at once.
const MAIReachabilityApi& kDefaultReachabilityApi();
inline constexpr double kReachabilityProbePeriod = 30.0;

// Watches whether a host can be reached and tells its delegate when the status changes.
class MAIReachabilityChecker final : public ns::Object {
 public:
  ~MAIReachabilityChecker() override;

  // nullptr, with a log line, for an absent or empty host.
  std::shared_ptr<MAIReachabilityChecker> initWithDelegate(std::weak_ptr<MAIReachabilityDelegate> delegate,
                                                           const std::optional<std::string>& host);
  // True when active afterwards.
  bool start();
  void stop();
  bool isActive() const { return reachability_ != nullptr; }

  void setDelegate(std::weak_ptr<MAIReachabilityDelegate> delegate) { delegate_ = std::move(delegate); }
  // Refused (with a log line) while active.
  void setReachabilityApi(const MAIReachabilityApi& api);
  static int statusForFlags(MAIReachabilityFlags flags);
  void reachabilityFlagsChanged(MAIReachabilityFlags flags);

  int reachabilityStatus() const { return reachabilityStatus_; }
  const std::string& host() const { return host_; }

 private:
  MAIReachabilityApi reachabilityApi_;
  MAIReachabilityApi::Handle reachability_;
  int reachabilityStatus_ = 0;
  std::string host_;
  std::weak_ptr<MAIReachabilityDelegate> delegate_;
};

using MAIReachabilityCheckerPtr = std::shared_ptr<MAIReachabilityChecker>;
