#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// One answer of a ScriptedTCPServer: the bytes it writes and how.
struct ScriptStep {
  std::string bytes;
  // Written once the next request on a connection is complete; otherwise at once after the
  // previous step, on the connection that step used (extra, unasked-for answers).
  bool afterRequest = true;
  // Held back until at least this many requests of the connection wait for an answer (shows
  // that a client pipelines them).
  std::size_t minWaiting = 1;
  double delaySeconds = 0;           // pause before writing
  std::vector<std::size_t> splitAt;  // offsets at which the bytes are cut into separate writes
  double pieceIntervalSeconds = 0;   // pause between those writes
  bool closeAfter = false;           // close the connection once written (bytes may be empty)

  static ScriptStep reply(std::string bytes) {
    ScriptStep s;
    s.bytes = std::move(bytes);
    return s;
  }
  static ScriptStep replyAndClose(std::string bytes) {
    ScriptStep s = reply(std::move(bytes));
    s.closeAfter = true;
    return s;
  }
  // Writes every byte separately, pausing in between, so the client reads them one at a time.
  static ScriptStep dripped(std::string bytes, double intervalSeconds) {
    ScriptStep s = reply(std::move(bytes));
    for (std::size_t i = 1; i < s.bytes.size(); ++i) s.splitAt.push_back(i);
    s.pieceIntervalSeconds = intervalSeconds;
    return s;
  }
};

// One HTTP request as a ScriptedTCPServer read it off the wire.
struct ReceivedRequest {
  std::string text;  // head and body, exactly as received
  std::string method;
  std::string target;
  std::string version;
  std::map<std::string, std::string> headers;  // names lower-cased, values trimmed
  std::string body;
  std::size_t connection = 0;     // 0 for the first connection accepted, and so on
  std::size_t answersBefore = 0;  // answers the server had written (on any connection) when it arrived

  std::string header(const std::string& lowerCaseName) const {
    auto it = headers.find(lowerCaseName);
    return it == headers.end() ? std::string() : it->second;
  }
};

struct ScriptedTCPServerOptions {
  int receiveBufferBytes = 0;   // SO_RCVBUF of accepted connections (0: the system's)
  double readPauseSeconds = 0;  // a slow reader: after accepting, read nothing for this long
};

// A TCP server on 127.0.0.1 with an ephemeral port that records every byte it receives, splits
// them into HTTP requests (a head, then Content-Length bytes of body) and answers from a script,
// in order, across connections. When the script runs out it answers with the fallback step, or
// stays silent without one. Runs on its own thread from construction to destruction.
class ScriptedTCPServer {
 public:
  explicit ScriptedTCPServer(ScriptedTCPServerOptions options = {});
  ~ScriptedTCPServer();
  ScriptedTCPServer(const ScriptedTCPServer&) = delete;
  ScriptedTCPServer& operator=(const ScriptedTCPServer&) = delete;

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1"; }

  void setScript(std::vector<ScriptStep> steps);
  void appendStep(ScriptStep step);
  void setFallback(std::optional<ScriptStep> step);

  std::vector<ReceivedRequest> requests() const;
  std::size_t requestCount() const;
  std::size_t connectionCount() const;
  std::size_t answerCount() const;
  // Every byte received on a connection, in order.
  std::string receivedOn(std::size_t connection) const;
  std::size_t bytesReceived() const;

  // A "200 OK" answer carrying a small body, as the collection host sends it.
  static std::string ok(const std::string& extraHeaders = "", const std::string& version = "HTTP/1.1");
  static std::string status(int code, const std::string& reason);
  // A port of 127.0.0.1 nothing listens on (bound, then closed), for a server that is down.
  static std::uint16_t closedPort();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

}  // namespace testsupport
