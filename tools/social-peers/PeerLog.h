#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace socialpeers {

// One request as a fake peer received it.
struct PeerRequest {
  std::string method;
  std::string path;
  std::string query;                                // raw, without "?"
  std::map<std::string, std::string> params;        // decoded query and form parameters
  std::multimap<std::string, std::string> headers;  // names as sent; use header() for look-ups
  std::string body;                                 // raw bytes as sent

  // Case-insensitive; empty when absent.
  std::string header(const std::string& name) const;
  // The value of one cookie of the Cookie header; empty when absent.
  std::string cookie(const std::string& name) const;
};

// The requests a fake received, in order; safe from any thread.
class PeerLog {
 public:
  void add(PeerRequest request);
  std::vector<PeerRequest> requests() const;
  std::vector<PeerRequest> requestsTo(const std::string& path) const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<PeerRequest> requests_;
};

}  // namespace socialpeers
