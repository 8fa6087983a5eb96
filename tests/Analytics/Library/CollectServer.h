#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace analyticstest {

// A collection endpoint on 127.0.0.1: keeps every hit posted to "/collect", answers from a script
// of replies (then 200), and notes whether two requests were ever in flight at once. It can stop
// and start again on the same port, so a client sees its host refuse and then come back.
class CollectServer {
 public:
  struct Reply {
    int status = 200;
    double delaySeconds = 0;
    // Announce a body, send none of it, close the connection.
    bool dropConnection = false;
  };
  struct Hit {
    std::map<std::string, std::string> parameters;
    std::map<std::string, std::string> headers;
  };

  // 0 picks a free port.
  explicit CollectServer(int port = 0);
  ~CollectServer();
  CollectServer(const CollectServer&) = delete;
  CollectServer& operator=(const CollectServer&) = delete;

  // 0 picks a free port the first time and reuses it afterwards.
  void start();
  void stop();

  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/collect"; }

  void script(std::vector<Reply> replies);
  std::vector<Hit> hits() const;
  std::size_t count() const;
  bool sawOverlap() const { return overlap_.load(); }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  bool stopped_ = false;
  std::deque<Reply> script_;
  std::vector<Hit> hits_;
  std::atomic<int> inFlight_{0};
  std::atomic<bool> overlap_{false};
};

// A server on 127.0.0.1 that accepts each connection, reads what the client sends and then resets
// it (an abortive close), answering nothing.
class ResettingServer {
 public:
  ResettingServer();
  ~ResettingServer();
  ResettingServer(const ResettingServer&) = delete;
  ResettingServer& operator=(const ResettingServer&) = delete;

  int port() const { return port_; }
  std::size_t connections() const { return connections_.load(); }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> connections_{0};
  std::thread thread_;
};

// The cache-buster values of the hits, in arrival order, with repeats (retries) folded.
std::vector<unsigned long long> distinctCacheBusters(const std::vector<CollectServer::Hit>& hits);

}  // namespace analyticstest
