#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// One part of a multipart/form-data body, as the server's own parser read it.
struct FormPart {
  std::string name;
  std::string filename;
  std::string contentType;
  std::string content;
};

// One request as the server received it.
struct RecordedRequest {
  std::string method;
  std::string path;
  std::string query;                                // the raw query string, without "?"
  std::string target;                               // path and query as sent
  std::multimap<std::string, std::string> headers;  // names as sent; use header() for look-ups
  std::map<std::string, std::string> params;        // decoded query (and form) parameters
  std::string body;                                 // empty for multipart/form-data: see parts
  std::vector<FormPart> parts;                      // multipart/form-data parts, by name
  std::string remoteAddress;
  int remotePort = 0;

  // Case-insensitive header look-up; empty when absent.
  std::string header(const std::string& name) const;
  bool hasHeader(const std::string& name) const;
};

// What the server answers. Defaults: 200, "text/plain", empty body.
struct Reply {
  int status = 200;
  std::string contentType = "text/plain";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  double delaySeconds = 0;  // wait before answering
  bool chunked = false;     // Transfer-Encoding: chunked, in pieces of chunkSize
  std::size_t chunkSize = 16 * 1024;
  double dripIntervalSeconds = 0;             // pause between pieces (chunkSize bytes each)
  std::optional<std::size_t> dropAfterBytes;  // announce the full length, send this much, close
  // A GET with one Range header gets a 200 reply's slice as 206 with Content-Range (not for
  // chunked replies). false sends the reply exactly as given, as a server without ranges does.
  bool applyRange = true;
  // Generated bodies (large downloads) instead of `body`: length and a byte at each offset.
  std::size_t generatedLength = 0;
  std::function<char(std::size_t offset)> generatedByte;

  static Reply text(std::string body, int status = 200) {
    Reply r;
    r.status = status;
    r.body = std::move(body);
    return r;
  }
  static Reply json(std::string body, int status = 200) {
    Reply r;
    r.status = status;
    r.contentType = "application/json";
    r.body = std::move(body);
    return r;
  }
  // A body with no end in sight: chunked (no length announced), a gigabyte generated as it goes.
  static Reply endless(std::string contentType) {
    Reply r;
    r.contentType = std::move(contentType);
    r.chunked = true;
    r.chunkSize = 256 * 1024;
    r.generatedLength = std::size_t{1} << 30;
    r.generatedByte = [](std::size_t offset) { return static_cast<char>('a' + offset % 26); };
    return r;
  }
  static Reply redirect(std::string location, int status = 302) {
    Reply r;
    r.status = status;
    r.headers.push_back({"Location", std::move(location)});
    return r;
  }
};

using Handler = std::function<Reply(const RecordedRequest&)>;

// An HTTP server on 127.0.0.1 with an ephemeral port, started by the constructor and stopped by the
// destructor. Paths are matched exactly (without the query); an unknown path gets 404. Every
// request is logged. Handlers run on the server's own threads.
class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1"; }
  // "http://127.0.0.1:<port>" followed by the path (which should start with "/").
  std::string url(const std::string& pathAndQuery = "/") const;

  // Any method to this path runs the handler.
  void on(const std::string& path, Handler handler);
  // Any method to this path gets this reply.
  void reply(const std::string& path, Reply reply);
  // Answer paths without a handler with this one instead of 404.
  void fallback(Handler handler);

  std::vector<RecordedRequest> requests() const;
  std::vector<RecordedRequest> requestsTo(const std::string& path) const;
  std::size_t requestCount() const;
  void clearLog();
  // Distinct client connections seen (by remote port).
  std::size_t connectionCount() const;
  // Streamed bodies whose client went away before the end.
  std::size_t disconnectsSeen() const { return disconnects_.load(); }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
  std::atomic<std::size_t> disconnects_{0};
};

}  // namespace testsupport
