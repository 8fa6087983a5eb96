#include "Network/NetworkReachability.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "Foundation/Thread.h"
#include "Foundation/WorkerPool.h"

namespace sc {

namespace {

std::string bare(std::string_view host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return std::string(host);
}

std::optional<sockaddr_storage> parseNumeric(std::string_view host) {
  std::string text = bare(host);
  sockaddr_storage storage{};
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    return storage;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    return storage;
  }
  return std::nullopt;
}

bool sameAddress(const sockaddr_storage& a, const sockaddr* b) {
  if (!b || a.ss_family != b->sa_family) return false;
  if (a.ss_family == AF_INET)
    return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
           reinterpret_cast<const sockaddr_in*>(b)->sin_addr.s_addr;
  return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                     &reinterpret_cast<const sockaddr_in6*>(b)->sin6_addr, sizeof(in6_addr)) == 0;
}

// Whether the interface holding this source address is up (true when no interface claims it).
bool interfaceIsUp(const sockaddr_storage& source) {
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return true;
  bool up = true;
  for (ifaddrs* i = interfaces; i; i = i->ifa_next) {
    if (sameAddress(source, i->ifa_addr)) {
      up = (i->ifa_flags & IFF_UP) != 0;
      break;
    }
  }
  ::freeifaddrs(interfaces);
  return up;
}

}  // namespace

NetworkReachability::NetworkReachability() = default;

NetworkReachability::~NetworkReachability() { closeWatch(); }

bool NetworkReachability::isNumericHost(std::string_view host) { return parseNumeric(host).has_value(); }

std::shared_ptr<NetworkReachability> NetworkReachability::createWithName(std::string_view nodename) {
  if (nodename.empty()) return nullptr;
  auto target = std::make_shared<NetworkReachability>();
  if (auto address = parseNumeric(nodename))
    target->addresses_.push_back(*address);
  else
    target->name_ = std::string(nodename);
  return target;
}

std::shared_ptr<NetworkReachability> NetworkReachability::createWithAddress(const sockaddr* address) {
  if (!address || (address->sa_family != AF_INET && address->sa_family != AF_INET6)) return nullptr;
  auto target = std::make_shared<NetworkReachability>();
  sockaddr_storage storage{};
  std::memcpy(&storage, address, address->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6));
  target->addresses_.push_back(storage);
  return target;
}

NetworkReachabilityFlags NetworkReachability::probe(const std::vector<sockaddr_storage>& addresses) {
  for (sockaddr_storage address : addresses) {
    socklen_t length;
    if (address.ss_family == AF_INET) {
      auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
      if (v4->sin_port == 0) v4->sin_port = htons(9);
      length = sizeof(sockaddr_in);
    } else {
      auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
      if (v6->sin6_port == 0) v6->sin6_port = htons(9);
      length = sizeof(sockaddr_in6);
    }
    // A datagram connect only looks up the route: nothing is sent.
    int fd = ::socket(address.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    bool routed = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    sockaddr_storage source{};
    socklen_t sourceLength = sizeof source;
    if (routed && ::getsockname(fd, reinterpret_cast<sockaddr*>(&source), &sourceLength) != 0) routed = false;
    ::close(fd);
    // A route can outlive its interface going down (local routes do): the interface must be up.
    if (routed && interfaceIsUp(source)) return kNetworkReachabilityFlagsReachable;
  }
  return 0;
}

std::optional<std::vector<sockaddr_storage>> NetworkReachability::resolve(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return std::vector<sockaddr_storage>();
  std::vector<sockaddr_storage> addresses;
  for (addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
    sockaddr_storage storage{};
    std::memcpy(&storage, a->ai_addr, a->ai_addrlen);
    addresses.push_back(storage);
  }
  ::freeaddrinfo(found);
  return addresses;
}

bool NetworkReachability::getFlags(NetworkReachabilityFlags& flags) {
  std::string name;
  {
    std::lock_guard lock(mutex_);
    if (name_.empty()) {
      flags = probe(addresses_);
      return true;
    }
    if (last_) {
      flags = *last_;
      return true;
    }
    name = name_;
  }
  // Resolving may take long: never on the main thread.
  if (ns::Thread::isMainThread()) {
    evaluate();  // a scheduled target reports the answer when it comes
    return false;
  }
  flags = probe(*resolve(name));
  return true;
}

bool NetworkReachability::setCallback(Callback callback) {
  std::lock_guard lock(mutex_);
  callback_ = std::move(callback);
  return true;
}

bool NetworkReachability::scheduleWithRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop, std::string_view) {
  if (!runLoop) return false;
  closeWatch();
  std::weak_ptr<NetworkReachability> weak = std::static_pointer_cast<NetworkReachability>(shared_from_this());
  int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
  if (fd >= 0) {
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups =
        RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  {
    std::lock_guard lock(mutex_);
    runLoop_ = runLoop;
    netlink_ = fd;
    if (name_.empty()) last_ = probe(addresses_);  // the starting point, not a change
  }
  if (fd >= 0) {
    auto id = runLoop->addFileDescriptorSource(fd, POLLIN, [weak, fd](short) {
      // Any routing news: drain it and look again.
      char buffer[8192];
      while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
      }
      if (auto self = weak.lock()) self->evaluate();
    });
    std::lock_guard lock(mutex_);
    source_ = id;
  }
  if (!name_.empty()) evaluate();
  return true;
}

bool NetworkReachability::unscheduleFromRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop,
                                                std::string_view) {
  {
    std::lock_guard lock(mutex_);
    if (!runLoop_ || runLoop_ != runLoop) return false;
  }
  closeWatch();
  return true;
}

void NetworkReachability::closeWatch() {
  std::shared_ptr<ns::RunLoop> loop;
  ns::RunLoop::SourceId source;
  int fd;
  {
    std::lock_guard lock(mutex_);
    loop = std::move(runLoop_);
    runLoop_.reset();
    source = std::exchange(source_, 0);
    fd = std::exchange(netlink_, -1);
  }
  if (loop && source) loop->removeFileDescriptorSource(source);
  if (fd >= 0) ::close(fd);
}

void NetworkReachability::evaluate() {
  std::string name;
  std::uint64_t sequence;
  {
    std::lock_guard lock(mutex_);
    if (!runLoop_) return;
    sequence = ++sequence_;
    if (name_.empty()) {
      auto flags = probe(addresses_);
      auto loop = runLoop_;
      // Reported from the run loop, like every other change.
      std::weak_ptr<NetworkReachability> weak =
          std::static_pointer_cast<NetworkReachability>(shared_from_this());
      loop->performBlock([weak, flags, sequence] {
        if (auto self = weak.lock()) self->report(flags, sequence);
      });
      return;
    }
    name = name_;
  }
  std::weak_ptr<NetworkReachability> weak = std::static_pointer_cast<NetworkReachability>(shared_from_this());
  ns::WorkerPool::shared().submit(ns::WorkerPool::Priority::Default, [weak, name, sequence] {
    NetworkReachabilityFlags flags;
    {
      ns::WorkerPool::BlockingScope blocking;
      flags = probe(*resolve(name));
    }
    auto self = weak.lock();
    if (!self) return;
    std::shared_ptr<ns::RunLoop> loop;
    {
      std::lock_guard lock(self->mutex_);
      loop = self->runLoop_;
    }
    if (loop)
      loop->performBlock([weak, flags, sequence] {
        if (auto target = weak.lock()) target->report(flags, sequence);
      });
  });
}

void NetworkReachability::report(NetworkReachabilityFlags flags, std::uint64_t sequence) {
  Callback callback;
  {
    std::lock_guard lock(mutex_);
    // Only the newest answer counts, only while scheduled, and only a change is reported.
    if (!runLoop_ || sequence <= applied_) return;
    applied_ = sequence;
    if (last_ && *last_ == flags) return;
    last_ = flags;
    callback = callback_;
  }
  if (callback) callback(*this, flags);
}

}  // namespace sc
