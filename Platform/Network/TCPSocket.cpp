#include "Network/TCPSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "Foundation/WorkerPool.h"

namespace sc {

struct TCPSocket::Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

namespace {

using AddressList = std::vector<TCPSocket::Address>;

// The host's stream addresses in the resolver's order; a numeric host is taken as it is.
std::shared_ptr<AddressList> resolve(const std::string& host, std::uint16_t port, int& error) {
  auto list = std::make_shared<AddressList>();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  std::string bare = host;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  if (bare.empty() || ::getaddrinfo(bare.c_str(), service.c_str(), &hints, &found) != 0) {
    error = EADDRNOTAVAIL;
    return list;
  }
  for (addrinfo* a = found; a; a = a->ai_next) {
    if ((a->ai_family != AF_INET && a->ai_family != AF_INET6) || a->ai_addrlen > sizeof(sockaddr_storage))
      continue;
    TCPSocket::Address address;
    std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
    address.length = a->ai_addrlen;
    list->push_back(address);
  }
  ::freeaddrinfo(found);
  error = list->empty() ? EADDRNOTAVAIL : 0;
  return list;
}

bool isNumeric(const std::string& host) {
  std::string bare = host;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  unsigned char buffer[sizeof(in6_addr)];
  return inet_pton(AF_INET, bare.c_str(), buffer) == 1 || inet_pton(AF_INET6, bare.c_str(), buffer) == 1;
}

int socketError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

int pollOne(int fd, short events, double timeoutSeconds) {
  pollfd p{fd, events, 0};
  int timeoutMs =
      timeoutSeconds <= 0 ? 0 : static_cast<int>(std::ceil(std::min(timeoutSeconds, 1e6) * 1000.0));
  for (;;) {
    int n = ::poll(&p, 1, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 ? p.revents : 0;
  }
}

}  // namespace

TCPSocket::TCPSocket() = default;

TCPSocket::~TCPSocket() { close(); }

bool TCPSocket::connectAsync(const std::string& host, std::uint16_t port,
                             const std::shared_ptr<ns::RunLoop>& runLoop, EventHandler handler) {
  if (!runLoop || fd_ >= 0 || connecting_) return false;
  runLoop_ = runLoop;
  handler_ = std::move(handler);
  connecting_ = true;
  endReported_ = false;
  std::uint64_t generation = ++generation_;
  std::weak_ptr<TCPSocket> weak = std::static_pointer_cast<TCPSocket>(shared_from_this());
  auto resolved = [weak, generation, loop = runLoop](std::shared_ptr<AddressList> addresses, int error) {
    loop->performBlock([weak, generation, addresses = std::move(addresses), error] {
      auto self = weak.lock();
      if (self && self->generation_ == generation) self->startConnecting(addresses, 0, error);
    });
  };
  if (isNumeric(host)) {
    int error = 0;
    auto addresses = resolve(host, port, error);
    resolved(std::move(addresses), error);
  } else {
    // Resolving can take seconds: never on the caller's thread.
    ns::WorkerPool::shared().submit(ns::WorkerPool::Priority::Default, [host, port, resolved] {
      int error = 0;
      auto addresses = resolve(host, port, error);
      resolved(std::move(addresses), error);
    });
  }
  return true;
}

void TCPSocket::startConnecting(std::shared_ptr<AddressList> addresses, std::size_t next, int lastError) {
  for (std::size_t i = next; i < addresses->size(); ++i) {
    const Address& address = (*addresses)[i];
    int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0 ||
        errno == EINPROGRESS) {
      // Writable means connected; the outcome is read from SO_ERROR then.
      fd_ = fd;
      addresses_ = std::move(addresses);
      nextAddress_ = i + 1;
      std::weak_ptr<TCPSocket> weak = std::static_pointer_cast<TCPSocket>(shared_from_this());
      source_ = runLoop_->addFileDescriptorSource(fd, POLLOUT, [weak](short revents) {
        if (auto self = weak.lock()) self->connectingEvent(revents);
      });
      return;
    }
    lastError = errno;
    ::close(fd);
  }
  connecting_ = false;
  addresses_.reset();
  deliver(Event::ConnectFailed, lastError ? lastError : ECONNREFUSED);
}

void TCPSocket::connectingEvent(short revents) {
  if (!connecting_ || fd_ < 0) return;
  int error = socketError(fd_);
  if (error == 0 && (revents & (POLLERR | POLLHUP))) error = ECONNREFUSED;
  unwatch();
  if (error != 0) {
    closeDescriptor();
    startConnecting(addresses_, nextAddress_, error);
    return;
  }
  connecting_ = false;
  connected_ = true;
  addresses_.reset();
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  watch();
  deliver(Event::Connected, 0);
}

void TCPSocket::connectedEvent(short revents) {
  std::uint64_t generation = generation_;
  if ((revents & POLLOUT) && watchWritable_) {
    deliver(Event::Writable, 0);
    if (generation != generation_ || fd_ < 0) return;
  }
  if (endReported_ || !(revents & (POLLIN | POLLHUP | POLLERR))) return;
  int error = 0;
  bool end = false;
  if (revents & POLLERR) {
    error = socketError(fd_);
    end = true;
  } else {
    char probe;
    ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) {
      end = true;
    } else if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
      error = errno;
      end = true;
    }
  }
  if (end) {
    // The end stays readable for ever: report it once and stop watching for it.
    endReported_ = true;
    unwatch();
    watch();
    deliver(Event::End, error);
  } else {
    deliver(Event::Readable, 0);
  }
}

void TCPSocket::watch() {
  if (!runLoop_ || fd_ < 0 || source_ != 0) return;
  short events = static_cast<short>((endReported_ ? 0 : POLLIN) | (watchWritable_ ? POLLOUT : 0));
  if (events == 0) return;
  std::weak_ptr<TCPSocket> weak = std::static_pointer_cast<TCPSocket>(shared_from_this());
  source_ = runLoop_->addFileDescriptorSource(fd_, events, [weak](short revents) {
    if (auto self = weak.lock()) self->connectedEvent(revents);
  });
}

void TCPSocket::unwatch() {
  if (source_ != 0 && runLoop_) runLoop_->removeFileDescriptorSource(source_);
  source_ = 0;
}

void TCPSocket::deliver(Event event, int error) {
  EventHandler handler = handler_;  // the handler may close the socket and drop its own copy
  if (handler) handler(*this, event, error);
}

void TCPSocket::setWatchesWritable(bool watchWritable) {
  if (watchWritable == watchWritable_) return;
  watchWritable_ = watchWritable;
  if (connected_ && runLoop_) {
    unwatch();
    watch();
  }
}

bool TCPSocket::connectInLine(const std::string& host, std::uint16_t port, double timeoutSeconds,
                              int* error) {
  int failure = EISCONN;
  if (fd_ < 0 && !connecting_) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(std::max(timeoutSeconds, 0.0)));
    auto addresses = resolve(host, port, failure);
    for (const Address& address : *addresses) {
      double left = std::chrono::duration<double>(deadline - Clock::now()).count();
      if (left <= 0) {
        failure = ETIMEDOUT;
        break;
      }
      int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (fd < 0) {
        failure = errno;
        continue;
      }
      int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length);
      failure = result == 0 ? 0 : errno;
      if (failure == EINPROGRESS) failure = pollOne(fd, POLLOUT, left) ? socketError(fd) : ETIMEDOUT;
      if (failure == 0) {
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fd_ = fd;
        connected_ = true;
        endReported_ = false;
        runLoop_.reset();
        return true;
      }
      ::close(fd);
    }
  }
  if (error) *error = failure;
  return false;
}

std::int64_t TCPSocket::read(std::uint8_t* buffer, std::size_t maxLength) {
  if (fd_ < 0 || !connected_) return -1;
  for (;;) {
    ssize_t n = ::recv(fd_, buffer, maxLength, MSG_DONTWAIT);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kWouldBlock : -1;
  }
}

std::int64_t TCPSocket::send(const std::uint8_t* bytes, std::size_t length) {
  if (fd_ < 0 || !connected_) return -1;
  if (length == 0) return 0;
  for (;;) {
    ssize_t n = ::send(fd_, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
  }
}

bool TCPSocket::waitUntilReadable(double timeoutSeconds) const {
  return fd_ >= 0 && pollOne(fd_, POLLIN, timeoutSeconds) != 0;
}

bool TCPSocket::waitUntilWritable(double timeoutSeconds) const {
  return fd_ >= 0 && pollOne(fd_, POLLOUT, timeoutSeconds) != 0;
}

void TCPSocket::closeDescriptor() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void TCPSocket::close() {
  ++generation_;
  unwatch();
  closeDescriptor();
  connecting_ = false;
  connected_ = false;
  addresses_.reset();
  handler_ = nullptr;
}

}  // namespace sc
