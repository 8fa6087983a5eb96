#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Foundation/URLConnection.h"

namespace ns {

// The process's network thread: it alone owns the libcurl multi handle and sleeps in its poll;
// other threads hand it work through a command queue and wake it. One Load per connection lives
// here; delegate calls leave it only as blocks posted to the connection's run loop.
class URLLoader final {
 public:
  static URLLoader& shared();

  void start(const URLConnectionPtr& connection);
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

  URLLoader(const URLLoader&) = delete;
  URLLoader& operator=(const URLLoader&) = delete;

 private:
  struct Impl;
  URLLoader();
  ~URLLoader() = delete;  // lives for the whole process
  void post(std::function<void(Impl&)> command);

  Impl* impl_;
};

}  // namespace ns
