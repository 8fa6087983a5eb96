#include "PeerHTTP.h"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include "LoopbackConnections.h"

namespace socialpeers {

PeerRequest recordRequest(const httplib::Request& req) {
  PeerRequest request{req.method, req.path, {}, {}, {}, req.body};
  if (auto q = req.target.find('?'); q != std::string::npos) request.query = req.target.substr(q + 1);
  for (const auto& [key, value] : req.params) request.params[key] = value;
  for (const auto& [key, value] : req.headers) {
    // The raw body is kept by relabelling multipart bodies (see start()); log what was sent.
    if (key == "X-Sent-Content-Type")
      request.headers.emplace("Content-Type", value);
    else if (key != "Content-Type" || !req.has_header("X-Sent-Content-Type"))
      request.headers.emplace(key, value);
  }
  return request;
}

std::string escapeHTML(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string requestCookie(const httplib::Request& req, const std::string& name) {
  PeerRequest request;
  request.headers.emplace("Cookie", req.get_header_value("Cookie"));
  return request.cookie(name);
}

int listenOnLoopback(httplib::Server& server, int port, std::thread& thread, const char* fake) {
  // Head and body go out in separate writes; without this each reply waits for a delayed ACK. Set
  // before binding: accepted connections take it from the listening socket.
  server.set_tcp_nodelay(true);
  int bound =
      port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0)
    throw std::runtime_error(std::string(fake) + ": cannot listen on 127.0.0.1:" + std::to_string(port));
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread = std::thread([&server, ended] {
    server.listen_after_bind();
    *ended = true;
  });
  while (!server.is_running() && !*ended) std::this_thread::yield();
  return bound;
}

void stopLoopback(std::unique_ptr<httplib::Server>& server, std::thread& thread, int port) {
  if (!server) return;
  server->stop();
  // Idle kept-alive connections would hold the workers (and the join) for their whole timeout.
  if (port > 0) loopback::endConnectionsAcceptedOn(port);
  if (thread.joinable()) thread.join();
  server.reset();
}

}  // namespace socialpeers
