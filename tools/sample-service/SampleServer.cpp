#include "SampleServer.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>

#include "Foundation/JSONSerialization.h"
#include "LoopbackConnections.h"

namespace sampleservice {

namespace {

std::string overrideKey(const std::string& path, const std::string& apiMethod) {
  return apiMethod.empty() ? path : path + "?method=" + apiMethod;
}

}  // namespace

Server::Server(const std::string& dataFolder, const std::string& clipsFolder)
    : catalogue_(Catalogue::load(dataFolder)), replies_(catalogue_, clipsFolder) {}

Server::~Server() { stop(); }

void Server::start(const std::string& address, int port) {
  if (server_) throw std::runtime_error("sample service: already started");
  server_ = std::make_unique<httplib::Server>();
  {
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }
  server_->new_task_queue = [] { return new httplib::ThreadPool(16); };
  // Head and body go out in separate writes; without this each reply waits for a delayed ACK.
  server_->set_tcp_nodelay(true);
  server_->Post("/collect", [this](const httplib::Request& req, httplib::Response& res) {
    ServiceRequest request{req.method, req.path, {}, {}, req.get_header_value("Host")};
    CollectedHit hit{{}, req.get_header_value("User-Agent")};
    for (const auto& [key, value] : req.params) hit.parameters[key] = value;
    request.params = hit.parameters;
    const std::size_t release = releaseNumber();
    std::optional<Override> bend = overrideFor(request);
    if (bend && bend->held) hold(release);
    if (bend) pause(bend->delaySeconds);
    res.status = bend && bend->status ? *bend->status : 200;
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(request));
    if (res.status >= 200 && res.status <= 299) hits_.push_back(std::move(hit));
  });
  server_->Get("/collect", [this](const httplib::Request&, httplib::Response& res) {
    ns::Array list;
    for (const auto& hit : collectedHits()) {
      ns::Dictionary parameters;
      for (const auto& [key, value] : hit.parameters) parameters.set(key, value);
      list.push_back(ns::Dictionary{{"parameters", std::move(parameters)}, {"userAgent", hit.userAgent}});
    }
    auto json = ns::JSONSerialization::stringWithJSONObject(ns::Dictionary{{"hits", std::move(list)}});
    res.set_content(json.value_or("{\"hits\":[]}"), "application/json");
  });
  server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    ServiceRequest request{req.method, req.path, {}, {}, req.get_header_value("Host")};
    if (auto q = req.target.find('?'); q != std::string::npos) request.query = req.target.substr(q + 1);
    for (const auto& [key, value] : req.params) request.params.emplace(key, value);
    std::size_t release;
    {
      std::lock_guard lock(mutex_);
      log_.push_back(request);
      release = releases_;
    }
    logged_.notify_all();

    std::optional<Override> bend = overrideFor(request);
    ServiceReply reply;
    if (bend && bend->body)
      reply.body = *bend->body;
    else
      reply = replies_.answer(request);
    if (bend) {
      if (bend->held) hold(release);
      pause(bend->delaySeconds);
      if (bend->status) reply.status = *bend->status;
      if (bend->contentType) reply.contentType = *bend->contentType;
    }
    res.status = reply.status;
    if (!bend || !bend->dropAfterBytes) {
      res.set_content(reply.body, reply.contentType);
      return;
    }
    auto body = std::make_shared<std::string>(std::move(reply.body));
    std::size_t keep = std::min(*bend->dropAfterBytes, body->size());
    res.set_content_provider(body->size(), reply.contentType,
                             [body, keep](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               if (offset >= keep) return false;  // closes the connection
                               sink.write(body->data() + offset, keep - offset);
                               return true;
                             });
  });

  port_ = port == 0 ? server_->bind_to_any_port(address) : (server_->bind_to_port(address, port) ? port : -1);
  if (port_ <= 0) {
    server_.reset();
    throw std::runtime_error("sample service: cannot listen on " + address + ":" + std::to_string(port));
  }
  address_ = address;
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, ended] {
    server_->listen_after_bind();
    *ended = true;
  });
  while (!server_->is_running() && !*ended) std::this_thread::yield();
}

void Server::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (server_) server_->stop();
  // Idle kept-alive connections would hold the workers (and this join) for their whole timeout.
  if (port_ > 0) loopback::endConnectionsAcceptedOn(port_);
  if (thread_.joinable()) thread_.join();
  server_.reset();
}

void Server::pause(double seconds) {
  if (seconds <= 0) return;
  std::unique_lock lock(mutex_);
  stopped_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopping_; });
}

std::size_t Server::releaseNumber() const {
  std::lock_guard lock(mutex_);
  return releases_;
}

void Server::hold(std::size_t release) {
  std::unique_lock lock(mutex_);
  ++holding_;
  stopped_.wait(lock, [&] { return stopping_ || releases_ != release; });
  --holding_;
}

void Server::releaseHeld() {
  {
    std::lock_guard lock(mutex_);
    ++releases_;
  }
  stopped_.notify_all();
}

std::size_t Server::heldCount() const {
  std::lock_guard lock(mutex_);
  return holding_;
}

std::string Server::hostAndPort() const {
  std::string host = address_ == "0.0.0.0" || address_.empty() ? "127.0.0.1" : address_;
  return host + ":" + std::to_string(port_);
}

std::string Server::url(const std::string& pathAndQuery) const {
  return "http://" + hostAndPort() + pathAndQuery;
}

void Server::setOverride(const std::string& path, Override override) {
  setOverride(path, "", std::move(override));
}

void Server::setOverride(const std::string& path, const std::string& apiMethod, Override override) {
  std::lock_guard lock(mutex_);
  overrides_[overrideKey(path, apiMethod)] = std::move(override);
}

void Server::setOverride(const std::string& path, const std::string& apiMethod,
                         const std::map<std::string, std::string>& parameters, Override override) {
  if (parameters.empty()) return setOverride(path, apiMethod, std::move(override));
  std::lock_guard lock(mutex_);
  std::erase_if(keyedOverrides_, [&](const KeyedOverride& k) {
    return k.path == path && k.apiMethod == apiMethod && k.parameters == parameters;
  });
  keyedOverrides_.push_back({path, apiMethod, parameters, std::move(override)});
}

void Server::clearOverrides() {
  std::lock_guard lock(mutex_);
  overrides_.clear();
  keyedOverrides_.clear();
}

std::optional<Override> Server::overrideFor(const ServiceRequest& request) const {
  std::lock_guard lock(mutex_);
  auto method = request.params.find("method");
  const KeyedOverride* best = nullptr;
  for (const KeyedOverride& k : keyedOverrides_) {
    bool matches =
        k.path == request.path &&
        (k.apiMethod.empty() || (method != request.params.end() && method->second == k.apiMethod)) &&
        std::all_of(k.parameters.begin(), k.parameters.end(), [&](const auto& p) {
          auto it = request.params.find(p.first);
          return it != request.params.end() && it->second == p.second;
        });
    auto rank = [](const KeyedOverride& o) { return std::pair(o.parameters.size(), !o.apiMethod.empty()); };
    if (matches && (!best || rank(k) >= rank(*best))) best = &k;
  }
  if (best) return best->override;
  if (method != request.params.end())
    if (auto it = overrides_.find(overrideKey(request.path, method->second)); it != overrides_.end())
      return it->second;
  if (auto it = overrides_.find(request.path); it != overrides_.end()) return it->second;
  return std::nullopt;
}

std::vector<ServiceRequest> Server::requests() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<ServiceRequest> Server::requestsFor(const std::string& apiMethod) const {
  std::lock_guard lock(mutex_);
  std::vector<ServiceRequest> out;
  for (const auto& r : log_) {
    auto it = r.params.find("method");
    if (it != r.params.end() && it->second == apiMethod) out.push_back(r);
  }
  return out;
}

std::size_t Server::requestCount() const {
  std::lock_guard lock(mutex_);
  return log_.size();
}

bool Server::waitForRequests(std::size_t count, double seconds) const {
  std::unique_lock lock(mutex_);
  return logged_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return log_.size() >= count; });
}

void Server::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
  hits_.clear();
}

std::vector<CollectedHit> Server::collectedHits() const {
  std::lock_guard lock(mutex_);
  return hits_;
}

}  // namespace sampleservice
