#include "PeerLog.h"

#include <strings.h>

namespace socialpeers {

std::string PeerRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  return {};
}

std::string PeerRequest::cookie(const std::string& name) const {
  std::string field = header("Cookie");
  std::size_t at = 0;
  while (at < field.size()) {
    std::size_t end = field.find(';', at);
    if (end == std::string::npos) end = field.size();
    std::string pair = field.substr(at, end - at);
    pair.erase(0, pair.find_first_not_of(' '));
    if (auto eq = pair.find('='); eq != std::string::npos && pair.substr(0, eq) == name)
      return pair.substr(eq + 1);
    at = end + 1;
  }
  return {};
}

void PeerLog::add(PeerRequest request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

std::vector<PeerRequest> PeerLog::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<PeerRequest> PeerLog::requestsTo(const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<PeerRequest> out;
  for (const auto& request : requests_)
    if (request.path == path) out.push_back(request);
  return out;
}

void PeerLog::clear() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

}  // namespace socialpeers
