#include "NTNetworking/NTNetworkReachability.h"

#include <arpa/inet.h>

#include <string>

#include "Foundation/NotificationCenter.h"
#include "NTNetworking/NTNetworkingConstants.h"

const char* const NTNetworkingReachabilityDidChangeNotification =
    NT_NETWORKING_PREFIX "networking.reachability.change";
const char* const NTNetworkingReachabilityNotificationStatusItem =
    "NTNetworkingReachabilityNotificationStatusItem";

NTNetworkReachabilityStatus NTNetworkReachabilityStatusForFlags(sc::NetworkReachabilityFlags flags) {
  if (!(flags & sc::kNetworkReachabilityFlagsReachable) ||
      (flags & sc::kNetworkReachabilityFlagsConnectionRequired))
    return NTNetworkReachabilityStatusNotReachable;
  if (flags & sc::kNetworkReachabilityFlagsIsWWAN) return NTNetworkReachabilityStatusReachableViaWWAN;
  return NTNetworkReachabilityStatusReachableViaWiFi;
}

bool NTURLHostIsIPAddress(const ns::URL& url) {
  std::string host = url.host();
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty()) return false;
  unsigned char address[16];
  return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

const NTNetworkReachabilityStatusBlock* NTNetworkReachabilityRetainCallback(
    const NTNetworkReachabilityStatusBlock* info) {
  return info ? new NTNetworkReachabilityStatusBlock(*info) : nullptr;
}

void NTNetworkReachabilityReleaseCallback(const NTNetworkReachabilityStatusBlock* info) { delete info; }

void NTNetworkReachabilityCallback(sc::NetworkReachability&, sc::NetworkReachabilityFlags flags,
                                   const NTNetworkReachabilityStatusBlock* info) {
  NTNetworkReachabilityStatus status = NTNetworkReachabilityStatusForFlags(flags);
  if (info && *info) (*info)(status);
  ns::NotificationCenter::defaultCenter()->postNotificationName(
      NTNetworkingReachabilityDidChangeNotification, ns::Value(),
      ns::Dictionary{{NTNetworkingReachabilityNotificationStatusItem, static_cast<int>(status)}});
}
