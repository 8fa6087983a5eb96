#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdlib>
#include <vector>

namespace loopback {

// The descriptors of the connections this process accepted on the port and still holds.
inline std::vector<int> connectionsAcceptedOn(int port) {
  std::vector<int> accepted;
  DIR* fds = ::opendir("/proc/self/fd");
  if (!fds) return accepted;
  while (dirent* entry = ::readdir(fds)) {
    int fd = std::atoi(entry->d_name);
    if (fd <= 2 || fd == ::dirfd(fds)) continue;
    sockaddr_storage local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        local.ss_family != AF_INET)
      continue;
    if (ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port) != port) continue;
    // Connected sockets only: a listening one has no peer.
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) continue;
    accepted.push_back(fd);
  }
  ::closedir(fds);
  return accepted;
}

// Whether the connection sends each write at once (TCP_NODELAY) rather than waiting to fill a segment.
inline bool sendsWithoutDelay(int fd) {
  int noDelay = 0;
  socklen_t length = sizeof noDelay;
  return ::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &length) == 0 && noDelay != 0;
}

// Ends every connection this process accepted on the port: a server stopping would otherwise wait
// for each idle kept-alive connection to time out before its workers finish. Call it after the
// server stopped listening, so no new connection arrives behind it.
inline void endConnectionsAcceptedOn(int port) {
  for (int fd : connectionsAcceptedOn(port)) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace loopback
