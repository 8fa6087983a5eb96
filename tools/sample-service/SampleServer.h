#pragma once

#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "SampleCatalogue.h"
#include "SampleReplies.h"

namespace httplib {
class Server;
}

namespace sampleservice {

// How a test bends the answer to one path (and, on the API paths, one API method).
struct Override {
  std::optional<int> status;
  std::optional<std::string> contentType;
  std::optional<std::string> body;  // replaces the catalogue's reply
  double delaySeconds = 0;          // wait before answering
  // Hold the answer until a releaseHeld() after the request came in (or the server stops), then
  // apply the rest.
  bool held = false;
  // Announce the full length, send this many bytes of the body, then close the connection.
  std::optional<std::size_t> dropAfterBytes;
};

// One analytics hit posted to "/collect": its form parameters and the sender's user agent.
struct CollectedHit {
  std::map<std::string, std::string> parameters;
  std::string userAgent;
};

// The sample service over HTTP: serves the catalogue on an address and port (0 picks a free one),
// keeps a log of the requests it received, and applies the overrides tests set. Its video
// paths serve the clips tools/make-clips generated. Started by start(),
// stopped by stop() or the destructor; the catalogue is read once, at construction.
// It is also an analytics collection endpoint: a POST of a form to "/collect" is kept (unless an
// override answers it with a status outside 200-299), and a GET of "/collect" lists what was kept
// as JSON: {"hits": [{"parameters": {...}, "userAgent": "..."}, ...]}, oldest first.
class Server {
 public:
  explicit Server(const std::string& dataFolder = defaultDataFolder(),
                  const std::string& clipsFolder = defaultClipsFolder());
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Throws std::runtime_error when the address cannot be bound.
  void start(const std::string& address = "127.0.0.1", int port = 0);
  void stop();

  int port() const { return port_; }
  // "127.0.0.1:<port>", the form the client's host setting takes.
  std::string hostAndPort() const;
  // "http://127.0.0.1:<port>" followed by the path.
  std::string url(const std::string& pathAndQuery = "") const;

  // An override for every request to the path, or only for one API method ("get_title") on it.
  // Paths the catalogue does not serve may be overridden too (a test's own feed).
  void setOverride(const std::string& path, Override override);
  void setOverride(const std::string& path, const std::string& apiMethod, Override override);
  // An override only for the requests whose query carries each of these parameters with exactly
  // that value (one row's "category_id", one "page", one "q"), on the path and, unless apiMethod is
  // empty, that API method. Where several overrides match, the one naming the most parameters
  // wins, then one naming the method, then the latest set.
  void setOverride(const std::string& path, const std::string& apiMethod,
                   const std::map<std::string, std::string>& parameters, Override override);
  void clearOverrides();

  std::vector<ServiceRequest> requests() const;
  // Requests to the API naming this method.
  std::vector<ServiceRequest> requestsFor(const std::string& apiMethod) const;
  std::size_t requestCount() const;
  // Waits until the log holds at least `count` requests or `seconds` pass; true when it does.
  bool waitForRequests(std::size_t count, double seconds) const;
  // Lets go every held answer whose request came in before the call, whether it already waits or
  // is about to; heldCount() is how many wait.
  void releaseHeld();
  std::size_t heldCount() const;
  // Also forgets the collected hits.
  void clearLog();
  std::vector<CollectedHit> collectedHits() const;

  const Catalogue& catalogue() const { return catalogue_; }

 private:
  std::optional<Override> overrideFor(const ServiceRequest& request) const;
  // Sleeps unless the server stops first.
  void pause(double seconds);
  // How many releases there have been: a request takes the number as it comes in (for a GET, as it
  // is logged), so a release that follows lets it go even before it begins to wait.
  std::size_t releaseNumber() const;
  // Waits until a release after the numbered one, unless the server stops first.
  void hold(std::size_t release);

  Catalogue catalogue_;
  Replies replies_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::string address_;
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  mutable std::condition_variable logged_;
  bool stopping_ = false;
  std::size_t releases_ = 0;
  std::size_t holding_ = 0;
  std::map<std::string, Override> overrides_;  // key: path, or path + "?method=" + method
  struct KeyedOverride {
    std::string path, apiMethod;
    std::map<std::string, std::string> parameters;
    Override override;
  };
  std::vector<KeyedOverride> keyedOverrides_;  // in the order set
  std::vector<ServiceRequest> log_;
  std::vector<CollectedHit> hits_;
};

}  // namespace sampleservice
