#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/RunLoop.h"

namespace sc {

using NetworkReachabilityFlags = std::uint32_t;
// The platform's flag bits. Only kNetworkReachabilityFlagsReachable is ever reported here: there is
// no cellular link, on-demand connection or intervention on this system.
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsReachable = 1u << 1;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsConnectionOnTraffic = 1u << 3;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsInterventionRequired = 1u << 4;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsConnectionOnDemand = 1u << 5;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsIsLocalAddress = 1u << 16;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsIsDirect = 1u << 17;
inline constexpr NetworkReachabilityFlags kNetworkReachabilityFlagsIsWWAN = 1u << 18;

// Whether a host, or a host name, can be reached: there is a route to one of its addresses (a UDP
// connect that sends nothing). Names are resolved on a worker thread, never on the main thread.
// Scheduled on a run loop, it watches the kernel's routing changes (netlink) and calls its
// callback there when the flags change; the first answer for a name counts as a change, while a
// numeric host's flags at scheduling time are the starting point and are not reported.
class NetworkReachability final : public ns::Object {
 public:
  using Callback = std::function<void(NetworkReachability& target, NetworkReachabilityFlags flags)>;

  // A numeric IPv4 or IPv6 host (in brackets or not) is taken as an address; nullptr for "".
  static std::shared_ptr<NetworkReachability> createWithName(std::string_view nodename);
  static std::shared_ptr<NetworkReachability> createWithAddress(const sockaddr* address);
  // Whether text is a numeric IPv4 or IPv6 address, as the system's address parsing reads it.
  static bool isNumericHost(std::string_view host);

  NetworkReachability();
  ~NetworkReachability() override;

  // False when they cannot be known now (a name not yet resolved, asked on the main thread).
  bool getFlags(NetworkReachabilityFlags& flags);
  // An empty callback removes it.
  bool setCallback(Callback callback);
  // One run loop at a time; scheduling again moves it. The mode is remembered and ignored.
  bool scheduleWithRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop, std::string_view mode);
  bool unscheduleFromRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop, std::string_view mode);

 private:
  void evaluate();
  void report(NetworkReachabilityFlags flags, std::uint64_t sequence);
  static NetworkReachabilityFlags probe(const std::vector<sockaddr_storage>& addresses);
  static std::optional<std::vector<sockaddr_storage>> resolve(const std::string& name);
  void closeWatch();

  mutable std::mutex mutex_;
  std::string name_;                         // empty for an address target
  std::vector<sockaddr_storage> addresses_;  // known for address targets
  Callback callback_;
  std::shared_ptr<ns::RunLoop> runLoop_;
  ns::RunLoop::SourceId source_ = 0;
  int netlink_ = -1;
  std::optional<NetworkReachabilityFlags> last_;
  std::uint64_t sequence_ = 0, applied_ = 0;
};

using NetworkReachabilityPtr = std::shared_ptr<NetworkReachability>;

}  // namespace sc
