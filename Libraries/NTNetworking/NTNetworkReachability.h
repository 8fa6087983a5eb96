#pragma once

#include <functional>

#include "Foundation/URL.h"
#include "Network/NetworkReachability.h"

// Whether and how the host of a client's base URL can be reached.
enum NTNetworkReachabilityStatus : int {
  NTNetworkReachabilityStatusUnknown = -1,
  NTNetworkReachabilityStatusNotReachable = 0,
  NTNetworkReachabilityStatusReachableViaWWAN = 1,
  NTNetworkReachabilityStatusReachableViaWiFi = 2,
};

// Posted on the main thread, with no object, on every reported change; the user information
// holds the status as a number under NTNetworkingReachabilityNotificationStatusItem.
extern const char* const NTNetworkingReachabilityDidChangeNotification;
extern const char* const NTNetworkingReachabilityNotificationStatusItem;

// What a client hears of its host's reachability.
using NTNetworkReachabilityStatusBlock = std::function<void(NTNetworkReachabilityStatus status)>;

// Not reachable when the reachable bit is clear or a connection is still required; else over
// the wide-area link when its bit is set, otherwise over a local link.
NTNetworkReachabilityStatus NTNetworkReachabilityStatusForFlags(sc::NetworkReachabilityFlags flags);

// Whether the URL's host is a numeric IPv4 or IPv6 address; false without a host.
bool NTURLHostIsIPAddress(const ns::URL& url);

// How a reachability object keeps its context, the client's status wrapper: it holds its own
// copy from retain until release.
const NTNetworkReachabilityStatusBlock* NTNetworkReachabilityRetainCallback(
    const NTNetworkReachabilityStatusBlock* info);
void NTNetworkReachabilityReleaseCallback(const NTNetworkReachabilityStatusBlock* info);

// Called by the reachability object on every change (main thread): the status goes to the
// wrapper, then the change notification is posted.
void NTNetworkReachabilityCallback(sc::NetworkReachability& target, sc::NetworkReachabilityFlags flags,
                                   const NTNetworkReachabilityStatusBlock* info);
