#pragma once

#include <cstdint>
#include <memory>

#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/URLCredential.h"
#include "Foundation/URLProtectionSpace.h"
#include "Foundation/URLResponse.h"

namespace ns {

class URLAuthenticationChallenge;

// How a challenge is answered; the URL connection that issued it is its sender. Only the first
// answer to a challenge counts.
class URLAuthenticationChallengeSender {
 public:
  virtual ~URLAuthenticationChallengeSender() = default;
  virtual void useCredential(const URLCredentialPtr& credential,
                             const URLAuthenticationChallenge& challenge) = 0;
  // The challenged response becomes the answer of the load.
  virtual void continueWithoutCredentialForAuthenticationChallenge(
      const URLAuthenticationChallenge& challenge) = 0;
  // The load fails with -1012 (user cancelled authentication).
  virtual void cancelAuthenticationChallenge(const URLAuthenticationChallenge& challenge) = 0;
  // A credential from the request's URL (first attempt, same scheme, host and port only) or the
  // storage's default for the space; otherwise continues without one.
  virtual void performDefaultHandlingForAuthenticationChallenge(
      const URLAuthenticationChallenge& challenge) = 0;
  virtual void rejectProtectionSpaceAndContinueWithChallenge(const URLAuthenticationChallenge& challenge) = 0;
};

// A server's (or proxy's) request for credentials: the protection space, how many answers for it
// have already failed on this load, the proposed credential and the challenged response.
class URLAuthenticationChallenge final : public Object {
 public:
  std::shared_ptr<URLAuthenticationChallenge> initWithProtectionSpace(
      URLProtectionSpacePtr space, URLCredentialPtr proposedCredential, std::int64_t previousFailureCount,
      URLResponsePtr failureResponse, ErrorPtr error,
      std::shared_ptr<URLAuthenticationChallengeSender> sender);

  const URLProtectionSpacePtr& protectionSpace() const { return space_; }
  const URLCredentialPtr& proposedCredential() const { return proposed_; }
  std::int64_t previousFailureCount() const { return failureCount_; }
  const URLResponsePtr& failureResponse() const { return failureResponse_; }
  const ErrorPtr& error() const { return error_; }
  const std::shared_ptr<URLAuthenticationChallengeSender>& sender() const { return sender_; }

 private:
  URLProtectionSpacePtr space_;
  URLCredentialPtr proposed_;
  std::int64_t failureCount_ = 0;
  URLResponsePtr failureResponse_;
  ErrorPtr error_;
  std::shared_ptr<URLAuthenticationChallengeSender> sender_;
};

using URLAuthenticationChallengePtr = std::shared_ptr<URLAuthenticationChallenge>;

}  // namespace ns
