#include "CollectServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace analyticstest {

CollectServer::CollectServer(int port) : port_(port) { start(); }

CollectServer::~CollectServer() { stop(); }

void CollectServer::start() {
  if (server_) return;
  server_ = std::make_unique<httplib::Server>();
  // Stopping waits for idle keep-alive connections to time out: keep that short.
  server_->set_keep_alive_timeout(1);
  {
    std::lock_guard lock(mutex_);
    stopped_ = false;
  }
  server_->Post("/collect", [this](const httplib::Request& req, httplib::Response& res) {
    if (++inFlight_ > 1) overlap_ = true;
    Hit hit;
    for (const auto& [key, value] : req.params) hit.parameters[key] = value;
    for (const auto& [key, value] : req.headers) hit.headers[key] = value;
    Reply reply;
    {
      std::unique_lock lock(mutex_);
      hits_.push_back(std::move(hit));
      if (!script_.empty()) {
        reply = script_.front();
        script_.pop_front();
      }
      // Polled rather than a timed wait, which thread checkers do not follow.
      auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(reply.delaySeconds);
      while (!stopped_ && std::chrono::steady_clock::now() < until) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        lock.lock();
      }
    }
    res.status = reply.status;
    if (reply.dropConnection)
      res.set_content_provider(100, "text/plain",
                               [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
    // Done before the reply goes out, so the client's next request cannot overlap this one.
    --inFlight_;
  });
  int port = port_ == 0 ? server_->bind_to_any_port("127.0.0.1")
                        : (server_->bind_to_port("127.0.0.1", port_) ? port_ : -1);
  if (port <= 0) throw std::runtime_error("collect server: cannot listen");
  port_ = port;
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([server = server_.get(), ended] {
    server->listen_after_bind();
    *ended = true;
  });
  while (!server_->is_running() && !*ended) std::this_thread::yield();
}

void CollectServer::stop() {
  if (!server_) return;
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  server_->stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
}

void CollectServer::script(std::vector<Reply> replies) {
  std::lock_guard lock(mutex_);
  script_.assign(replies.begin(), replies.end());
}

std::vector<CollectServer::Hit> CollectServer::hits() const {
  std::lock_guard lock(mutex_);
  return hits_;
}

std::size_t CollectServer::count() const {
  std::lock_guard lock(mutex_);
  return hits_.size();
}

ResettingServer::ResettingServer() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 16) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("resetting server: cannot listen");
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] {
    while (!stop_.load()) {
      pollfd listening{fd_, POLLIN, 0};
      if (::poll(&listening, 1, 20) <= 0) continue;
      int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      ++connections_;
      // Let the request arrive, so the reset cuts an exchange in the middle.
      pollfd readable{connection, POLLIN, 0};
      if (::poll(&readable, 1, 2000) > 0) {
        char buffer[4096];
        [[maybe_unused]] auto ignored = ::recv(connection, buffer, sizeof buffer, MSG_DONTWAIT);
      }
      linger abort{1, 0};
      ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      ::close(connection);
    }
  });
}

ResettingServer::~ResettingServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(fd_);
}

std::vector<unsigned long long> distinctCacheBusters(const std::vector<CollectServer::Hit>& hits) {
  std::vector<unsigned long long> values;
  for (const auto& hit : hits) {
    auto z = hit.parameters.find("z");
    unsigned long long value = z == hit.parameters.end() ? 0 : std::stoull(z->second);
    if (values.empty() || values.back() != value) values.push_back(value);
  }
  return values;
}

}  // namespace analyticstest
