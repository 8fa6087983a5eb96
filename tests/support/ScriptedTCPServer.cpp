#include "support/ScriptedTCPServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

using SteadyClock = std::chrono::steady_clock;

void pause(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trim(const std::string& text) {
  std::size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  std::size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

void writeAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    ssize_t n = ::send(fd, bytes, length, MSG_NOSIGNAL);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;  // the client went away; what it missed is its own business
    }
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
}

}  // namespace

struct ScriptedTCPServer::Impl {
  struct Connection {
    int fd = -1;
    std::size_t index = 0;
    std::string pending;      // bytes not yet forming a whole request
    std::size_t scanned = 0;  // how far pending is known to hold no end of a head
    std::size_t waiting = 0;
    SteadyClock::time_point readableAt;
  };

  ScriptedTCPServerOptions options;
  int listenFd = -1;
  int wake[2] = {-1, -1};
  std::thread thread;

  mutable std::mutex mutex;
  bool stopping = false;
  std::deque<ScriptStep> script;
  std::optional<ScriptStep> fallback;
  std::vector<ReceivedRequest> requests;
  std::vector<std::string> received;
  std::size_t answers = 0;

  // Server thread only.
  std::vector<Connection> connections;
  std::size_t lastUsed = SIZE_MAX;

  void run();
  void accept();
  bool readFrom(Connection& c);
  void splitRequests(Connection& c);
  void answer();
  void closeConnection(Connection& c) {
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
  }
  void poke() {
    char b = 1;
    [[maybe_unused]] auto r = ::write(wake[1], &b, 1);
  }
};

ScriptedTCPServer::ScriptedTCPServer(ScriptedTCPServerOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = options;
  if (::pipe2(impl_->wake, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2");
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  // Set before listening, so accepted connections start with this window.
  if (options.receiveBufferBytes > 0)
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &options.receiveBufferBytes, sizeof options.receiveBufferBytes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("ScriptedTCPServer: cannot listen on 127.0.0.1");
  impl_->listenFd = fd;
  port_ = ntohs(address.sin_port);
  impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

ScriptedTCPServer::~ScriptedTCPServer() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->poke();
  impl_->thread.join();
  for (auto& c : impl_->connections) impl_->closeConnection(c);
  ::close(impl_->listenFd);
  ::close(impl_->wake[0]);
  ::close(impl_->wake[1]);
}

void ScriptedTCPServer::Impl::run() {
  for (;;) {
    {
      std::lock_guard lock(mutex);
      if (stopping) return;
    }
    std::vector<pollfd> fds{{wake[0], POLLIN, 0}, {listenFd, POLLIN, 0}};
    std::vector<std::size_t> watched;
    auto now = SteadyClock::now();
    int timeoutMs = -1;
    for (std::size_t i = 0; i < connections.size(); ++i) {
      Connection& c = connections[i];
      if (c.fd < 0) continue;
      if (now < c.readableAt) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(c.readableAt - now).count() + 1;
        timeoutMs = timeoutMs < 0 ? static_cast<int>(left) : std::min(timeoutMs, static_cast<int>(left));
        continue;
      }
      fds.push_back({c.fd, POLLIN, 0});
      watched.push_back(i);
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) return;
    if (fds[0].revents) {
      char drain[64];
      while (::read(wake[0], drain, sizeof drain) > 0) {
      }
    }
    if (fds[1].revents & POLLIN) accept();
    for (std::size_t k = 0; k < watched.size(); ++k)
      if (fds[k + 2].revents && connections[watched[k]].fd >= 0 && !readFrom(connections[watched[k]]))
        closeConnection(connections[watched[k]]);
    answer();
  }
}

void ScriptedTCPServer::Impl::accept() {
  int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  Connection c;
  c.fd = fd;
  c.index = connections.size();
  c.readableAt = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                          std::chrono::duration<double>(options.readPauseSeconds));
  connections.push_back(std::move(c));
  std::lock_guard lock(mutex);
  received.emplace_back();
}

bool ScriptedTCPServer::Impl::readFrom(Connection& c) {
  char buffer[64 * 1024];
  ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n <= 0) return false;
  {
    std::lock_guard lock(mutex);
    received[c.index].append(buffer, static_cast<std::size_t>(n));
  }
  c.pending.append(buffer, static_cast<std::size_t>(n));
  splitRequests(c);
  return true;
}

void ScriptedTCPServer::Impl::splitRequests(Connection& c) {
  for (;;) {
    std::size_t headEnd = c.pending.find("\r\n\r\n", c.scanned);
    if (headEnd == std::string::npos) {
      c.scanned = c.pending.size() < 3 ? 0 : c.pending.size() - 3;
      return;
    }
    ReceivedRequest r;
    std::string head = c.pending.substr(0, headEnd);
    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t s1 = requestLine.find(' '), s2 = requestLine.rfind(' ');
    if (s1 != std::string::npos && s2 > s1) {
      r.method = requestLine.substr(0, s1);
      r.target = requestLine.substr(s1 + 1, s2 - s1 - 1);
      r.version = requestLine.substr(s2 + 1);
    }
    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
      std::size_t end = head.find("\r\n", pos);
      if (end == std::string::npos) end = head.size();
      std::string line = head.substr(pos, end - pos);
      if (std::size_t colon = line.find(':'); colon != std::string::npos)
        r.headers[lower(line.substr(0, colon))] = trim(line.substr(colon + 1));
      pos = end + 2;
    }
    std::size_t bodyLength = 0;
    if (auto it = r.headers.find("content-length"); it != r.headers.end())
      bodyLength = std::strtoull(it->second.c_str(), nullptr, 10);
    std::size_t total = headEnd + 4 + bodyLength;
    if (c.pending.size() < total) return;
    r.text = c.pending.substr(0, total);
    r.body = c.pending.substr(headEnd + 4, bodyLength);
    r.connection = c.index;
    c.pending.erase(0, total);
    c.scanned = 0;
    ++c.waiting;
    std::lock_guard lock(mutex);
    r.answersBefore = answers;
    requests.push_back(std::move(r));
  }
}

void ScriptedTCPServer::Impl::answer() {
  for (;;) {
    ScriptStep step;
    Connection* target = nullptr;
    {
      std::lock_guard lock(mutex);
      const ScriptStep* next = !script.empty() ? &script.front() : fallback ? &*fallback : nullptr;
      if (!next) return;
      // A connection its client has closed takes no more answers.
      for (auto& c : connections) {
        char probe;
        if (c.fd >= 0 && ::recv(c.fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0) closeConnection(c);
      }
      if (next->afterRequest) {
        for (auto& c : connections)
          if (c.fd >= 0 && c.waiting > 0 && c.waiting >= next->minWaiting) {
            target = &c;
            break;
          }
      } else if (lastUsed < connections.size() && connections[lastUsed].fd >= 0) {
        target = &connections[lastUsed];
      } else {
        for (auto it = connections.rbegin(); it != connections.rend(); ++it)
          if (it->fd >= 0) {
            target = &*it;
            break;
          }
      }
      if (!target) return;
      step = *next;
      if (!script.empty()) script.pop_front();
    }
    if (step.afterRequest) --target->waiting;
    pause(step.delaySeconds);
    std::size_t from = 0;
    std::vector<std::size_t> cuts = step.splitAt;
    cuts.push_back(step.bytes.size());
    for (std::size_t cut : cuts) {
      cut = std::min(cut, step.bytes.size());
      if (cut <= from) continue;
      if (from > 0) pause(step.pieceIntervalSeconds);
      writeAll(target->fd, step.bytes.data() + from, cut - from);
      from = cut;
    }
    {
      std::lock_guard lock(mutex);
      ++answers;
    }
    lastUsed = target->index;
    if (step.closeAfter) closeConnection(*target);
  }
}

void ScriptedTCPServer::setScript(std::vector<ScriptStep> steps) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->script.assign(steps.begin(), steps.end());
  }
  impl_->poke();
}

void ScriptedTCPServer::appendStep(ScriptStep step) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->script.push_back(std::move(step));
  }
  impl_->poke();
}

void ScriptedTCPServer::setFallback(std::optional<ScriptStep> step) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->fallback = std::move(step);
  }
  impl_->poke();
}

std::vector<ReceivedRequest> ScriptedTCPServer::requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

std::size_t ScriptedTCPServer::requestCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests.size();
}

std::size_t ScriptedTCPServer::connectionCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->received.size();
}

std::size_t ScriptedTCPServer::answerCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->answers;
}

std::string ScriptedTCPServer::receivedOn(std::size_t connection) const {
  std::lock_guard lock(impl_->mutex);
  return connection < impl_->received.size() ? impl_->received[connection] : std::string();
}

std::size_t ScriptedTCPServer::bytesReceived() const {
  std::lock_guard lock(impl_->mutex);
  std::size_t total = 0;
  for (const auto& r : impl_->received) total += r.size();
  return total;
}

std::string ScriptedTCPServer::ok(const std::string& extraHeaders, const std::string& version) {
  // A 1x1 transparent GIF, the collection host's usual body.
  static const std::string gif(
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00"
      "\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
      "D\x01\x00;",
      43);
  return version + " 200 OK\r\nContent-Type: image/gif\r\n" + extraHeaders +
         "Content-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
}

std::uint16_t ScriptedTCPServer::closedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::string ScriptedTCPServer::status(int code, const std::string& reason) {
  return "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\nContent-Length: 0\r\n\r\n";
}

}  // namespace testsupport
