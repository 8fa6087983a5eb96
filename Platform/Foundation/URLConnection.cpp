#include "Foundation/URLConnection.h"

#include "Foundation/Format.h"
#include "Foundation/HTTPHeaderParsing.h"
#include "Foundation/RunLoop.h"
#include "Foundation/URLCredentialStorage.h"
#include "Foundation/URLLoader.h"

namespace ns {

std::string URLStringWithoutToken(std::string url) {
  static constexpr std::string_view kToken = "access_token=";
  for (std::size_t at = url.find(kToken); at != std::string::npos; at = url.find(kToken, at + 1)) {
    std::size_t from = at + kToken.size();
    std::size_t to = url.find_first_of("&#", from);
    url.replace(from, (to == std::string::npos ? url.size() : to) - from, "...");
  }
  return url;
}

ErrorPtr responseLengthExceededError(const std::string& url, std::int64_t limit) {
  Dictionary userInfo{
      {kLocalizedDescriptionKey, format("The response is longer than the %lld bytes this request reads.",
                                        static_cast<long long>(limit))}};
  if (!url.empty()) {
    userInfo.set(kURLErrorFailingURLErrorKey, url);
    userInfo.set(kURLErrorFailingURLStringErrorKey, url);
  }
  log("The reply of %@ is longer than the %lld bytes the request reads: refused", URLStringWithoutToken(url),
      static_cast<long long>(limit));
  return Error::make(kURLErrorDomain, URLError::DataLengthExceedsMaximum, std::move(userInfo));
}

URLRequestPtr URLConnectionDelegate::connectionWillSendRequest(const URLConnectionPtr&,
                                                               const URLRequestPtr& request,
                                                               const URLResponsePtr&) {
  return request;
}

bool URLConnectionDelegate::connectionCanAuthenticateAgainstProtectionSpace(
    const URLConnectionPtr&, const URLProtectionSpacePtr& space) {
  const auto& method = space->authenticationMethod();
  return method != kURLAuthenticationMethodServerTrust && method != kURLAuthenticationMethodClientCertificate;
}

void URLConnectionDelegate::connectionDidReceiveAuthenticationChallenge(
    const URLConnectionPtr&, const URLAuthenticationChallengePtr& challenge) {
  if (challenge->sender()) challenge->sender()->performDefaultHandlingForAuthenticationChallenge(*challenge);
}

void URLConnectionDelegate::connectionDidReceiveResponse(const URLConnectionPtr&, const URLResponsePtr&) {}
void URLConnectionDelegate::connectionDidReceiveData(const URLConnectionPtr&, const Data&) {}
void URLConnectionDelegate::connectionDidSendBodyData(const URLConnectionPtr&, std::int64_t, std::int64_t,
                                                      std::int64_t) {}

CachedURLResponsePtr URLConnectionDelegate::connectionWillCacheResponse(
    const URLConnectionPtr&, const CachedURLResponsePtr& cachedResponse) {
  return cachedResponse;
}

void URLConnectionDelegate::connectionDidFinishLoading(const URLConnectionPtr&) {}
void URLConnectionDelegate::connectionDidFailWithError(const URLConnectionPtr&, const ErrorPtr&) {}

URLConnection::URLConnection() = default;
URLConnection::~URLConnection() = default;

std::shared_ptr<URLConnection> URLConnection::initWithRequest(const URLRequestPtr& request,
                                                              std::shared_ptr<URLConnectionDelegate> delegate,
                                                              bool startImmediately) {
  if (!request) return nullptr;
  auto self = std::static_pointer_cast<URLConnection>(shared_from_this());
  {
    std::lock_guard lock(mutex_);
    originalRequest_ = request->copy();
    currentRequest_ = originalRequest_;
    delegate_ = std::move(delegate);
  }
  if (startImmediately) {
    scheduleInRunLoop(RunLoop::currentRunLoop(), kDefaultRunLoopMode);
    start();
  }
  return self;
}

URLConnectionPtr URLConnection::connectionWithRequest(const URLRequestPtr& request,
                                                      std::shared_ptr<URLConnectionDelegate> delegate) {
  return std::make_shared<URLConnection>()->initWithRequest(request, std::move(delegate), true);
}

bool URLConnection::canHandleRequest(const URLRequestPtr& request) {
  if (!request || !request->URL() || !request->URL()->scheme()) return false;
  std::string scheme = http::asciiLowercase(*request->URL()->scheme());
  return scheme == "http" || scheme == "https";
}

void URLConnection::scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view) {
  if (!runLoop || started_.load()) return;
  std::lock_guard lock(mutex_);
  runLoop_ = runLoop;
}

void URLConnection::unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view) {
  if (started_.load()) return;
  std::lock_guard lock(mutex_);
  if (runLoop_ == runLoop) runLoop_.reset();
}

std::shared_ptr<RunLoop> URLConnection::runLoop() const {
  std::lock_guard lock(mutex_);
  return runLoop_;
}

void URLConnection::start() {
  if (cancelled_.load() || started_.exchange(true)) return;
  {
    std::lock_guard lock(mutex_);
    if (!runLoop_) runLoop_ = RunLoop::currentRunLoop();
  }
  URLLoader::shared().start(std::static_pointer_cast<URLConnection>(shared_from_this()));
}

void URLConnection::cancel() {
  if (cancelled_.exchange(true)) return;
  if (started_.load())
    URLLoader::shared().cancel(std::static_pointer_cast<URLConnection>(shared_from_this()));
  releaseDelegate();
}

URLRequestPtr URLConnection::currentRequest() const {
  std::lock_guard lock(mutex_);
  return currentRequest_;
}

void URLConnection::setCurrentRequest(URLRequestPtr request) {
  std::lock_guard lock(mutex_);
  currentRequest_ = std::move(request);
}

std::shared_ptr<URLConnectionDelegate> URLConnection::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_;
}

void URLConnection::releaseDelegate() {
  std::shared_ptr<URLConnectionDelegate> released;
  std::lock_guard lock(mutex_);
  released.swap(delegate_);
  // The delegate goes when `released` does, after the lock: it may own this connection.
  pendingChallenge_ = nullptr;
}

std::function<void()> URLConnection::delivery(std::function<void(const URLConnectionPtr&, URLConnectionDelegate&)> call,
                                              bool last) {
  auto self = std::static_pointer_cast<URLConnection>(shared_from_this());
  return [self, call = std::move(call), last] {
    if (!self->cancelled_.load())
      if (auto d = self->delegate()) call(self, *d);
    if (last) self->releaseDelegate();
  };
}

void URLConnection::setPendingChallenge(const void* challenge, std::uint64_t hop) {
  std::lock_guard lock(mutex_);
  pendingChallenge_ = challenge;
  pendingChallengeHop_ = hop;
}

void URLConnection::answerChallenge(const URLAuthenticationChallenge& challenge, int answer,
                                    URLCredentialPtr credential) {
  std::uint64_t hop;
  {
    std::lock_guard lock(mutex_);
    if (pendingChallenge_ != &challenge) return;  // not ours, or already answered
    pendingChallenge_ = nullptr;
    hop = pendingChallengeHop_;
  }
  URLLoader::shared().answerChallenge(std::static_pointer_cast<URLConnection>(shared_from_this()), hop,
                                      static_cast<URLLoader::ChallengeAnswer>(answer), std::move(credential));
}

void URLConnection::useCredential(const URLCredentialPtr& credential,
                                  const URLAuthenticationChallenge& challenge) {
  if (!credential) {
    continueWithoutCredentialForAuthenticationChallenge(challenge);
    return;
  }
  answerChallenge(challenge, static_cast<int>(URLLoader::ChallengeAnswer::UseCredential), credential);
}

void URLConnection::continueWithoutCredentialForAuthenticationChallenge(
    const URLAuthenticationChallenge& challenge) {
  answerChallenge(challenge, static_cast<int>(URLLoader::ChallengeAnswer::ContinueWithout), nullptr);
}

void URLConnection::cancelAuthenticationChallenge(const URLAuthenticationChallenge& challenge) {
  answerChallenge(challenge, static_cast<int>(URLLoader::ChallengeAnswer::Cancel), nullptr);
}

void URLConnection::rejectProtectionSpaceAndContinueWithChallenge(
    const URLAuthenticationChallenge& challenge) {
  continueWithoutCredentialForAuthenticationChallenge(challenge);
}

void URLConnection::performDefaultHandlingForAuthenticationChallenge(
    const URLAuthenticationChallenge& challenge) {
  URLCredentialPtr credential;
  const auto& space = challenge.protectionSpace();
  if (space && challenge.previousFailureCount() == 0) {
    auto request = currentRequest();
    const auto& url = request ? request->URL() : std::nullopt;
    // Credentials written into the URL go only to the URL's own scheme, host and port.
    if (url && url->user() && url->scheme()) {
      std::string scheme = http::asciiLowercase(*url->scheme());
      int port = url->port().value_or(scheme == "https" ? 443 : 80);
      bool sameOrigin = !space->isProxy() && space->protocol() == scheme && port == space->port() &&
                        http::equalsIgnoringCase(space->host(), url->host());
      if (sameOrigin) {
        if (url->password()) {
          credential = URLCredential::credentialWithUser(*url->user(), *url->password(),
                                                         URLCredentialPersistence::None);
        } else {
          auto stored =
              URLCredentialStorage::sharedCredentialStorage()->credentialsForProtectionSpace(*space);
          if (auto it = stored.find(*url->user()); it != stored.end()) credential = it->second;
        }
      }
    }
    if (!credential)
      credential =
          URLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(*space);
  }
  if (credential)
    useCredential(credential, challenge);
  else
    continueWithoutCredentialForAuthenticationChallenge(challenge);
}

}  // namespace ns
