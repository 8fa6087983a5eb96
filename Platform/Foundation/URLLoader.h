#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "Foundation/URLConnection.h"

namespace ns {

class Thread;

// The process's network thread: it alone owns the libcurl multi handle. The thread runs its run
// loop, which sleeps in the multi handle's poll; other threads hand it work as blocks posted to
// that loop. One Load per connection lives here; delegate calls leave it only as blocks posted to
// the connection's run loop, so connections scheduled on the network thread itself get theirs
// without crossing threads.
class URLLoader final {
 public:
  static URLLoader& shared();

  // The network thread (its run loop is where connections may be scheduled to avoid hand-offs).
  std::shared_ptr<Thread> thread() const { return thread_; }

  void start(const URLConnectionPtr& connection);
  // Connections started and not yet finished, failed or cancelled (their last delegate call may
  // still wait on its run loop). Any thread.
  std::size_t activeLoadCount() const;
  void cancel(const URLConnectionPtr& connection);
  // The delegate's thread caught up with the body: receive again.
  void resumeReceiving(const std::weak_ptr<URLConnection>& connection);
  void answerRedirect(const std::weak_ptr<URLConnection>& connection, std::uint64_t hop,
                      URLRequestPtr request);
  enum class ChallengeAnswer { UseCredential, ContinueWithout, Cancel };
  void answerChallenge(const std::weak_ptr<URLConnection>& connection, std::uint64_t hop,
                       ChallengeAnswer answer, URLCredentialPtr credential);

  // Flow control: the loader stops receiving for a connection while more than kHighWater body
  // bytes wait on its delegate's run loop, and resumes once fewer than kLowWater do.
  static constexpr std::int64_t kHighWater = 4 << 20;
  static constexpr std::int64_t kLowWater = 1 << 20;
  // Each host gets at most kConnectionsPerHost connections; background requests hold at most
  // kBackgroundConnectionsPerHost of them, and the rest wait in the loader for their share.
  static constexpr int kConnectionsPerHost = 6;
  static constexpr int kBackgroundConnectionsPerHost = 4;
  // The most a transfer reads from its socket at a time.
  static constexpr std::int64_t kReadBytes = 64 << 10;

  // Body bytes curl has handed over since the process started, as decoded: what the loader has
  // inflated, for tests and figures. Any thread.
  std::int64_t decodedBodyBytes() const;

  URLLoader(const URLLoader&) = delete;
  URLLoader& operator=(const URLLoader&) = delete;

 private:
  struct Impl;
  URLLoader();
  ~URLLoader() = delete;  // lives for the whole process
  void post(std::function<void(Impl&)> command);

  Impl* impl_;
  std::shared_ptr<Thread> thread_;
};

}  // namespace ns
