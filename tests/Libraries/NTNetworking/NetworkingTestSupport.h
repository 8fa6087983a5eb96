#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Foundation/NotificationCenter.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTURLConnectionOperation.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

namespace nttest {

inline ns::URLRequestPtr requestFor(const std::string& url) {
  return ns::URLRequest::requestWithURL(ns::URL::URLWithString(url));
}
inline ns::URLRequestPtr requestFor(const testsupport::LoopbackServer& server, const std::string& path) {
  return requestFor(server.url(path));
}

// A reply of the given content type.
inline testsupport::Reply withType(std::string type, std::string body, int status = 200) {
  testsupport::Reply r;
  r.status = status;
  r.contentType = std::move(type);
  r.body = std::move(body);
  return r;
}

// Starts the operation and spins the main run loop until it has finished.
inline bool runToEnd(const NTURLConnectionOperationPtr& operation) {
  operation->start();
  return testsupport::spinUntil([&] { return operation->isFinished(); });
}

// A port on 127.0.0.1 that nothing listens on.
int closedPort();

// The whole file (empty when it cannot be read).
std::string fileContents(const std::string& path);

// Lower-case hex SHA-256 of the bytes.
std::string sha256(const std::string& bytes);

// A body of `length` bytes that differ from offset to offset, so a misplaced range shows.
std::string patternedBody(std::size_t length);

// Holds server threads until the test opens it (for good). Declare it after the server, so that
// it opens before the server stops; the waiters may outlive it.
class Gate {
 public:
  Gate() = default;
  ~Gate() { open(); }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  void open() const;
  // What a server thread calls to wait for the gate.
  std::function<void()> waiter() const {
    return [state = state_] { state->wait(); };
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    void wait() {
      std::unique_lock lock(mutex);
      opened.wait(lock, [&] { return open; });
    }
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// A patterned body of `length` bytes sent in 8 KB pieces that stops after `stallAt` bytes (a
// multiple of 8 KB) until the gate opens, so a test can act on a transfer known to be midway.
testsupport::Reply stalledBody(std::size_t length, std::size_t stallAt, const Gate& gate);

// Counts the start and finish notifications posted for one operation.
class NotificationCounter {
 public:
  explicit NotificationCounter(const NTURLConnectionOperationPtr& operation);
  ~NotificationCounter();
  int starts() const { return *starts_; }
  int finishes() const { return *finishes_; }

 private:
  std::shared_ptr<std::atomic<int>> starts_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::atomic<int>> finishes_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<ns::Object> startToken_;
  std::shared_ptr<ns::Object> finishToken_;
};

}  // namespace nttest
