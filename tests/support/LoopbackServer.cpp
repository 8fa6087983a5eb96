#include "support/LoopbackServer.h"

#include "LoopbackConnections.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace testsupport {

std::string RecordedRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  return {};
}

bool RecordedRequest::hasHeader(const std::string& name) const {
  for (const auto& entry : headers)
    if (strcasecmp(entry.first.c_str(), name.c_str()) == 0) return true;
  return false;
}

struct LoopbackServer::Impl {
  httplib::Server server;
  std::thread thread;
  mutable std::mutex mutex;
  std::map<std::string, Handler> handlers;
  Handler fallback;
  std::vector<RecordedRequest> log;
  std::set<std::pair<std::string, int>> connections;
};

namespace {

void pause(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace

LoopbackServer::LoopbackServer() : impl_(std::make_unique<Impl>()) {
  auto& server = impl_->server;
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.set_keep_alive_max_count(1000000);
  server.set_keep_alive_timeout(30);
  server.set_read_timeout(30, 0);
  server.set_write_timeout(30, 0);
  server.set_payload_max_length(1ull << 32);
  // Headers and body go out in separate writes; without this each reply waits for a delayed ACK.
  server.set_tcp_nodelay(true);

  auto dispatch = [this](const httplib::Request& req, httplib::Response& res) {
    RecordedRequest record;
    record.method = req.method;
    record.path = req.path;
    record.target = req.target;
    auto q = req.target.find('?');
    if (q != std::string::npos) record.query = req.target.substr(q + 1);
    for (const auto& [k, v] : req.headers) record.headers.emplace(k, v);
    for (const auto& [k, v] : req.params) record.params[k] = v;
    record.body = req.body;
    for (const auto& [name, part] : req.files)
      record.parts.push_back({part.name, part.filename, part.content_type, part.content});
    record.remoteAddress = req.remote_addr;
    record.remotePort = req.remote_port;

    Handler handler;
    {
      std::lock_guard lock(impl_->mutex);
      impl_->log.push_back(record);
      impl_->connections.insert({req.remote_addr, req.remote_port});
      auto it = impl_->handlers.find(req.path);
      if (it != impl_->handlers.end())
        handler = it->second;
      else
        handler = impl_->fallback;
    }
    if (!handler) {
      res.status = 404;
      res.set_content("not found", "text/plain");
      return;
    }
    Reply reply = handler(record);
    pause(reply.delaySeconds);
    res.status = reply.status;
    // The library slices the body for any parsed Range but leaves the status to us.
    if (!req.ranges.empty()) {
      if (!reply.applyRange || reply.chunked || reply.status != 200)
        const_cast<httplib::Request&>(req).ranges.clear();
      else
        res.status = 206;
    }
    for (const auto& [k, v] : reply.headers) res.set_header(k, v);

    // Generated bodies go out as made: compressing text would put the encoder's memory into what a
    // test measures of the client.
    if (reply.generatedByte) const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");

    auto body = std::make_shared<std::string>(std::move(reply.body));
    std::size_t length = reply.generatedByte ? reply.generatedLength : body->size();
    auto byteAt = reply.generatedByte;
    auto fill = [body, byteAt](std::size_t offset, std::size_t n) {
      if (!byteAt) return body->substr(offset, n);
      std::string piece(n, '\0');
      for (std::size_t i = 0; i < n; ++i) piece[i] = byteAt(offset + i);
      return piece;
    };
    std::size_t chunk = reply.chunkSize ? reply.chunkSize : 16 * 1024;
    double drip = reply.dripIntervalSeconds;
    auto* disconnects = &disconnects_;

    if (reply.chunked) {
      res.set_chunked_content_provider(
          reply.contentType, [=, offset = std::size_t{0}](std::size_t, httplib::DataSink& sink) mutable {
            if (offset >= length) {
              sink.done();
              return true;
            }
            if (offset > 0) pause(drip);
            std::size_t n = std::min(chunk, length - offset);
            if (!sink.write(fill(offset, n).data(), n)) {
              ++*disconnects;
              return false;
            }
            offset += n;
            return true;
          });
      return;
    }
    std::optional<std::size_t> dropAfter = reply.dropAfterBytes;
    if (!dropAfter && drip <= 0 && !byteAt) {
      res.set_content(*body, reply.contentType);
      return;
    }
    res.set_content_provider(length, reply.contentType,
                             [=](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               if (dropAfter && offset >= *dropAfter) return false;  // closes the connection
                               if (offset > 0) pause(drip);
                               std::size_t n = std::min(chunk, length - offset);
                               if (dropAfter) n = std::min(n, *dropAfter - offset);
                               if (!sink.write(fill(offset, n).data(), n)) {
                                 ++*disconnects;
                                 return false;
                               }
                               return true;
                             });
  };
  server.Get(".*", dispatch);
  server.Post(".*", dispatch);
  server.Put(".*", dispatch);
  server.Patch(".*", dispatch);
  server.Delete(".*", dispatch);
  server.Options(".*", dispatch);

  port_ = server.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("loopback server: cannot bind 127.0.0.1");
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  while (!impl_->server.is_running()) std::this_thread::yield();
}

LoopbackServer::~LoopbackServer() {
  impl_->server.stop();
  // Idle keep-alive connections would hold the server's workers (and this destructor) for the
  // whole keep-alive timeout.
  loopback::endConnectionsAcceptedOn(port_);
  if (impl_->thread.joinable()) impl_->thread.join();
}

std::string LoopbackServer::url(const std::string& pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

void LoopbackServer::on(const std::string& path, Handler handler) {
  std::lock_guard lock(impl_->mutex);
  impl_->handlers[path] = std::move(handler);
}

void LoopbackServer::reply(const std::string& path, Reply r) {
  on(path, [r](const RecordedRequest&) { return r; });
}

void LoopbackServer::fallback(Handler handler) {
  std::lock_guard lock(impl_->mutex);
  impl_->fallback = std::move(handler);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->log;
}

std::vector<RecordedRequest> LoopbackServer::requestsTo(const std::string& path) const {
  std::lock_guard lock(impl_->mutex);
  std::vector<RecordedRequest> result;
  for (const auto& r : impl_->log)
    if (r.path == path) result.push_back(r);
  return result;
}

std::size_t LoopbackServer::requestCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->log.size();
}

void LoopbackServer::clearLog() {
  std::lock_guard lock(impl_->mutex);
  impl_->log.clear();
}

std::size_t LoopbackServer::connectionCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->connections.size();
}

}  // namespace testsupport
