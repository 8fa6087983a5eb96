#include "NTNetworking/NTURLConnectionOperation.h"

#include <algorithm>
#include <atomic>

#include "Dispatch/Dispatch.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"
#include "Foundation/StringEncoding.h"
#include "Foundation/URLCredential.h"
#include "Foundation/URLCredentialStorage.h"
#include "Foundation/URLLoader.h"
#include "Graphics/Image.h"
#include "NTNetworking/NTNetworkingConstants.h"

const char* const NTNetworkingOperationDidStartNotification =
    NT_NETWORKING_PREFIX "networking.operation.start";
const char* const NTNetworkingOperationDidFinishNotification =
    NT_NETWORKING_PREFIX "networking.operation.finish";

namespace {

const bool registered = (NTURLConnectionOperation::registerClass(), true);

std::atomic<double> pictureTransferSeconds{60.0};

// The request URL's scheme, host and port, to tell whether a challenge comes from that server.
bool protectionSpaceMatchesURL(const ns::URLProtectionSpace& space, const ns::URL& url) {
  std::string scheme = ns::lowercaseString(url.scheme().value_or(""));
  int port = url.port().value_or(scheme == "https" ? 443 : scheme == "http" ? 80 : 0);
  return ns::lowercaseString(space.protocol()) == scheme &&
         ns::lowercaseString(space.host()) == ns::lowercaseString(url.host()) && space.port() == port;
}

}  // namespace

bool NTStateTransitionIsValid(OperationState fromState, OperationState toState, bool isCancelled) {
  switch (fromState) {
    case OperationState::Ready:
      switch (toState) {
        case OperationState::Paused:
        case OperationState::Executing:
          return true;
        case OperationState::Finished:
          return isCancelled;
        default:
          return false;
      }
    case OperationState::Executing:
      return toState == OperationState::Paused || toState == OperationState::Finished;
    case OperationState::Finished:
      return false;
    case OperationState::Paused:
      // A cancelled pause must be able to end, or whoever waits for it waits for ever.
      return toState == OperationState::Ready || (toState == OperationState::Finished && isCancelled);
    default:
      return true;
  }
}

const char* NTKeyPathFromOperationState(OperationState state) {
  switch (state) {
    case OperationState::Ready:
      return "isReady";
    case OperationState::Executing:
      return "isExecuting";
    case OperationState::Finished:
      return "isFinished";
    case OperationState::Paused:
      return "isPaused";
    default:
      return "state";
  }
}

NTURLConnectionOperation::NTURLConnectionOperation() = default;

NTURLConnectionOperation::~NTURLConnectionOperation() {
  if (outputStream_) outputStream_->close();
  if (backgroundTaskIdentifier_ != ui::kBackgroundTaskInvalid) {
    ui::Application::sharedApplication()->endBackgroundTask(backgroundTaskIdentifier_);
    backgroundTaskIdentifier_ = ui::kBackgroundTaskInvalid;
  }
}

void NTURLConnectionOperation::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    ns::ClassRegistry::shared().registerClass<NTURLConnectionOperation>("NTURLConnectionOperation");
  });
}

std::shared_ptr<NTURLConnectionOperation> NTURLConnectionOperation::initWithRequest(
    ns::URLRequestPtr request) {
  return initAs<NTURLConnectionOperation>(std::move(request));
}

bool NTURLConnectionOperation::setUpWithRequest(ns::URLRequestPtr request) {
  if (!request) return false;
  lock_ = std::make_shared<ns::RecursiveLock>();
  lock_->setName(NT_NETWORKING_PREFIX "networking.operation.lock");
  {
    std::lock_guard guard(fieldsMutex_);
    runLoopModes_ = {ns::kRunLoopCommonModes};
    request_ = std::move(request);
    outputStream_ = ns::OutputStream::outputStreamToMemory();
  }
  setState(OperationState::Ready);
  return true;
}

ns::ThreadPtr NTURLConnectionOperation::networkRequestThread() {
  // The platform's own network thread: a thread that runs its run loop for ever, and the one that
  // drives the transfers, so connections scheduled there report without crossing threads.
  return ns::URLLoader::shared().thread();
}

void NTURLConnectionOperation::performOnNetworkThread(void (NTURLConnectionOperation::*member)(),
                                                      bool waitUntilDone) {
  // The call holds the operation, so it runs even when the caller has dropped it.
  auto self = selfWhileRunning();
  ns::performOnThread(
      networkRequestThread(), [self, member] { (self.get()->*member)(); }, waitUntilDone);
}

// MARK: state

void NTURLConnectionOperation::setState(OperationState state) {
  std::lock_guard guard(*lock_);
  OperationState current = state_.load();
  if (!NTStateTransitionIsValid(current, state, isCancelled())) return;
  std::string oldKey = NTKeyPathFromOperationState(current);
  std::string newKey = NTKeyPathFromOperationState(state);
  willChangeValueForKey(newKey);
  willChangeValueForKey(oldKey);
  state_.store(state);
  didChangeValueForKey(oldKey);
  didChangeValueForKey(newKey);
  // One finish for each start: only leaving Executing (for Finished or a pause) ends a run, so a
  // paused or never started operation that is cancelled posts nothing more.
  auto self = shared_from_this();
  if (state == OperationState::Executing)
    ns::NotificationCenter::defaultCenter()->postNotificationName(NTNetworkingOperationDidStartNotification,
                                                                  self);
  else if (current == OperationState::Executing)
    ns::NotificationCenter::defaultCenter()->postNotificationName(NTNetworkingOperationDidFinishNotification,
                                                                  self);
}

bool NTURLConnectionOperation::isReady() const {
  return state_.load() == OperationState::Ready && ns::Operation::isReady();
}

bool NTURLConnectionOperation::isExecuting() const { return state_.load() == OperationState::Executing; }

bool NTURLConnectionOperation::isFinished() const { return state_.load() == OperationState::Finished; }

bool NTURLConnectionOperation::isPaused() const { return state_.load() == OperationState::Paused; }

double NTURLConnectionOperation::pictureTransferTimeout() { return pictureTransferSeconds.load(); }
void NTURLConnectionOperation::setPictureTransferTimeout(double seconds) {
  pictureTransferSeconds.store(seconds);
}

// MARK: start, finish, cancel

void NTURLConnectionOperation::start() {
  std::lock_guard guard(*lock_);
  if (!isReady()) return;
  {
    std::lock_guard fields(fieldsMutex_);
    keepAlive_ = selfWhileRunning();
  }
  setState(OperationState::Executing);
  performOnNetworkThread(&NTURLConnectionOperation::operationDidStart, false);
}

void NTURLConnectionOperation::operationDidStart() {
  std::lock_guard guard(*lock_);
  if (!isExecuting()) return;
  if (isCancelled()) {
    finish();
    return;
  }
  ns::URLRequestPtr request;
  std::set<std::string> modes;
  std::shared_ptr<ns::OutputStream> stream;
  {
    std::lock_guard fields(fieldsMutex_);
    request = request_;
    modes = runLoopModes_;
    stream = outputStream_;
  }
  connectionBytesRead_ = 0;
  // A picture is background traffic: it never holds every connection the service's replies need,
  // and a picture that trickles in fails after a bounded time, so its view shows its fallback.
  if (request && isPictureTransfer()) {
    request = request->copy();
    request->setNetworkServiceType(ns::URLRequestNetworkServiceType::Background);
    request->setResourceTimeoutInterval(pictureTransferTimeout());
  }
  // The loader stops the body where it arrives, as decoded, once it passes the bound.
  if (std::int64_t bound = responseLengthBound(); bound >= 0 && request) {
    request = request->copy();
    request->setMaximumBodyLength(bound);
    if (pictureBody_.load())
      request->setBodyLengthRule(
          [](std::string_view head) { return cg::Image::mostEncodedLength(head.data(), head.size()); });
  }
  auto delegate = std::static_pointer_cast<ns::URLConnectionDelegate>(selfWhileRunning());
  auto connection = std::make_shared<ns::URLConnection>()->initWithRequest(request, delegate, false);
  {
    std::lock_guard fields(fieldsMutex_);
    connection_ = connection;
  }
  auto loop = ns::RunLoop::currentRunLoop();
  for (const std::string& mode : modes) {
    connection->scheduleInRunLoop(loop, mode);
    if (stream) stream->scheduleInRunLoop(loop, mode);
  }
  connection->start();
}

void NTURLConnectionOperation::finish() {
  // Declared first, so that if it holds the last reference the object outlives the lock.
  std::shared_ptr<NTURLConnectionOperation> holder;
  std::lock_guard guard(*lock_);
  if (!NTStateTransitionIsValid(state(), OperationState::Finished, isCancelled())) return;
  {
    std::lock_guard fields(fieldsMutex_);
    holder = std::move(keepAlive_);
  }
  // The completion closure runs later on a worker; it carries the operation until it has run,
  // so a caller that dropped the operation still hears from it.
  if (auto completion = ns::Operation::completionBlock(); completion && holder)
    ns::Operation::setCompletionBlock([completion, holder] { completion(); });
  setState(OperationState::Finished);
}

void NTURLConnectionOperation::cancel() {
  std::lock_guard guard(*lock_);
  if (isFinished() || isCancelled()) return;
  willChangeValueForKey("isCancelled");
  cancelled_.store(true);
  ns::Operation::cancel();
  didChangeValueForKey("isCancelled");
  performOnNetworkThread(&NTURLConnectionOperation::cancelConnection, false);
}

void NTURLConnectionOperation::cancelConnection() {
  std::lock_guard guard(*lock_);
  ns::URLConnectionPtr connection;
  ns::URLRequestPtr request;
  {
    std::lock_guard fields(fieldsMutex_);
    connection = connection_;
    request = request_;
  }
  // A paused operation has no live connection but must still end.
  if (!connection && !isPaused()) return;
  if (isFinished()) return;
  if (connection) connection->cancel();
  ns::Dictionary userInfo;
  if (request && request->URL())
    userInfo.set(ns::kURLErrorFailingURLErrorKey, request->URL()->absoluteString());
  connectionDidFailWithError(connection,
                             ns::Error::make(ns::kURLErrorDomain, ns::URLError::Cancelled, userInfo));
}

void NTURLConnectionOperation::failTransfer(const ns::ErrorPtr& error) {
  ns::URLConnectionPtr connection = this->connection();
  if (connection) connection->cancel();
  connectionDidFailWithError(connection, error);
}

// MARK: pause and resume

void NTURLConnectionOperation::pause() {
  {
    std::lock_guard guard(*lock_);
    if (isPaused() || isFinished() || isCancelled()) return;
    if (!isExecuting()) {
      prepareForResumption();
      setState(OperationState::Paused);
      return;
    }
  }
  // The transfer is stopped where its data arrives, so no chunk can land after the offset of
  // the resumption is taken. The caller waits, so that `resume` right after works.
  performOnNetworkThread(&NTURLConnectionOperation::pauseOnNetworkThread, true);
}

void NTURLConnectionOperation::pauseOnNetworkThread() {
  // A paused operation is not running: once paused, nothing keeps it alive but its owner.
  std::shared_ptr<NTURLConnectionOperation> holder;
  std::lock_guard guard(*lock_);
  if (!isExecuting() || isCancelled()) return;
  ns::URLConnectionPtr connection;
  ns::URLResponsePtr response;
  {
    std::lock_guard fields(fieldsMutex_);
    connection = connection_;
    response = response_;
  }
  // Every byte of the body is here: finishing is what the transfer was about to do.
  if (connection && response && response->expectedContentLength() >= 0 &&
      connectionBytesRead_ >= response->expectedContentLength()) {
    connection->cancel();
    connectionDidFinishLoading(connection);
    return;
  }
  if (connection) connection->cancel();
  prepareForResumption();
  setState(OperationState::Paused);
  std::lock_guard fields(fieldsMutex_);
  holder = std::move(keepAlive_);
}

void NTURLConnectionOperation::resume() {
  std::lock_guard guard(*lock_);
  if (!isPaused()) return;
  setState(OperationState::Ready);
  start();
}

// MARK: completion

void NTURLConnectionOperation::setCompletionBlock(std::function<void()> block) {
  std::lock_guard guard(*lock_);
  if (!block) {
    ns::Operation::setCompletionBlock(nullptr);
    return;
  }
  std::weak_ptr<NTURLConnectionOperation> weakSelf = selfWhileRunning();
  ns::Operation::setCompletionBlock([weakSelf, block = std::move(block)] {
    block();
    // The closure may hold its own operation; dropping it ends that hold.
    if (auto self = weakSelf.lock()) self->setCompletionBlock(nullptr);
  });
}

// MARK: fields

ns::URLConnectionPtr NTURLConnectionOperation::connection() const {
  std::lock_guard fields(fieldsMutex_);
  return connection_;
}

std::set<std::string> NTURLConnectionOperation::runLoopModes() const {
  std::lock_guard fields(fieldsMutex_);
  return runLoopModes_;
}

void NTURLConnectionOperation::setRunLoopModes(std::set<std::string> modes) {
  std::lock_guard fields(fieldsMutex_);
  runLoopModes_ = std::move(modes);
}

ns::URLRequestPtr NTURLConnectionOperation::request() const {
  std::lock_guard fields(fieldsMutex_);
  return request_;
}

void NTURLConnectionOperation::setRequest(ns::URLRequestPtr request) {
  std::lock_guard fields(fieldsMutex_);
  request_ = std::move(request);
}

ns::URLResponsePtr NTURLConnectionOperation::response() const {
  std::lock_guard fields(fieldsMutex_);
  return response_;
}

void NTURLConnectionOperation::setResponse(ns::URLResponsePtr response) {
  std::lock_guard fields(fieldsMutex_);
  response_ = std::move(response);
}

ns::ErrorPtr NTURLConnectionOperation::error() const {
  std::lock_guard fields(fieldsMutex_);
  return error_;
}

void NTURLConnectionOperation::setError(ns::ErrorPtr error) {
  std::lock_guard fields(fieldsMutex_);
  error_ = std::move(error);
}

std::optional<ns::Data> NTURLConnectionOperation::responseData() const {
  std::lock_guard fields(fieldsMutex_);
  return responseData_;
}

std::optional<std::string> NTURLConnectionOperation::responseString() const {
  std::lock_guard guard(*lock_);
  std::lock_guard fields(fieldsMutex_);
  if (!responseStringDecoded_ && response_ && responseData_) {
    ns::StringEncoding encoding = ns::UTF8StringEncoding;
    if (auto name = response_->textEncodingName())
      encoding = ns::stringEncodingFromIANACharsetName(*name).value_or(ns::UTF8StringEncoding);
    responseString_ = ns::stringFromData(*responseData_, encoding);
    responseStringDecoded_ = true;
  }
  return responseString_;
}

std::shared_ptr<ns::OutputStream> NTURLConnectionOperation::outputStream() const {
  std::lock_guard fields(fieldsMutex_);
  return outputStream_;
}

void NTURLConnectionOperation::setOutputStream(std::shared_ptr<ns::OutputStream> stream) {
  if (stream == outputStream()) return;
  willChangeValueForKey("outputStream");
  replaceOutputStream(std::move(stream));
  didChangeValueForKey("outputStream");
}

void NTURLConnectionOperation::replaceOutputStream(std::shared_ptr<ns::OutputStream> stream) {
  std::shared_ptr<ns::OutputStream> old;
  {
    std::lock_guard fields(fieldsMutex_);
    old = std::exchange(outputStream_, std::move(stream));
  }
  if (old) old->close();
}

std::shared_ptr<ns::InputStream> NTURLConnectionOperation::inputStream() const {
  ns::URLRequestPtr r = request();
  return r ? r->HTTPBodyStream() : nullptr;
}

void NTURLConnectionOperation::setInputStream(std::shared_ptr<ns::InputStream> stream) {
  willChangeValueForKey("inputStream");
  {
    std::lock_guard fields(fieldsMutex_);
    auto mutableRequest = request_->mutableCopy();
    mutableRequest->setHTTPBodyStream(std::move(stream));
    request_ = std::move(mutableRequest);
  }
  didChangeValueForKey("inputStream");
}

void NTURLConnectionOperation::setUploadProgressBlock(ProgressBlock block) {
  std::lock_guard fields(fieldsMutex_);
  uploadProgress_ = std::move(block);
}

void NTURLConnectionOperation::setDownloadProgressBlock(ProgressBlock block) {
  std::lock_guard fields(fieldsMutex_);
  downloadProgress_ = std::move(block);
}

void NTURLConnectionOperation::setAuthenticationAgainstProtectionSpaceBlock(
    AuthenticationAgainstProtectionSpaceBlock block) {
  std::lock_guard fields(fieldsMutex_);
  authenticationAgainstProtectionSpace_ = std::move(block);
}

void NTURLConnectionOperation::setAuthenticationChallengeBlock(AuthenticationChallengeBlock block) {
  std::lock_guard fields(fieldsMutex_);
  authenticationChallenge_ = std::move(block);
}

void NTURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block) {
  std::lock_guard fields(fieldsMutex_);
  cacheResponse_ = std::move(block);
}

void NTURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block) {
  std::lock_guard fields(fieldsMutex_);
  redirectResponse_ = std::move(block);
}

// MARK: background execution

ui::BackgroundTaskIdentifier NTURLConnectionOperation::backgroundTaskIdentifier() const {
  std::lock_guard fields(fieldsMutex_);
  return backgroundTaskIdentifier_;
}

void NTURLConnectionOperation::setShouldExecuteAsBackgroundTaskWithExpirationHandler(
    std::function<void()> handler) {
  std::lock_guard guard(*lock_);
  if (backgroundTaskIdentifier() != ui::kBackgroundTaskInvalid) return;
  std::weak_ptr<NTURLConnectionOperation> weakSelf = selfWhileRunning();
  auto identifier = ui::Application::sharedApplication()->beginBackgroundTaskWithExpirationHandler(
      [weakSelf, handler = std::move(handler)] {
        if (handler) handler();
        if (auto self = weakSelf.lock()) {
          self->cancel();
          ui::BackgroundTaskIdentifier ending;
          {
            std::lock_guard fields(self->fieldsMutex_);
            ending = std::exchange(self->backgroundTaskIdentifier_, ui::kBackgroundTaskInvalid);
          }
          ui::Application::sharedApplication()->endBackgroundTask(ending);
        }
      });
  std::lock_guard fields(fieldsMutex_);
  backgroundTaskIdentifier_ = identifier;
}

// MARK: connection delegate

bool NTURLConnectionOperation::connectionCanAuthenticateAgainstProtectionSpace(
    const ns::URLConnectionPtr& connection, const ns::URLProtectionSpacePtr& space) {
  AuthenticationAgainstProtectionSpaceBlock block;
  {
    std::lock_guard fields(fieldsMutex_);
    block = authenticationAgainstProtectionSpace_;
  }
  if (block) return block(connection, space);
  const std::string& method = space ? space->authenticationMethod() : std::string();
  return method != ns::kURLAuthenticationMethodServerTrust &&
         method != ns::kURLAuthenticationMethodClientCertificate;
}

void NTURLConnectionOperation::connectionDidReceiveAuthenticationChallenge(
    const ns::URLConnectionPtr& connection, const ns::URLAuthenticationChallengePtr& challenge) {
  AuthenticationChallengeBlock block;
  ns::URLRequestPtr request;
  {
    std::lock_guard fields(fieldsMutex_);
    block = authenticationChallenge_;
    request = request_;
  }
  if (block) {
    block(connection, challenge);
    return;
  }
  auto sender = challenge->sender();
  if (challenge->previousFailureCount() != 0) {
    sender->continueWithoutCredentialForAuthenticationChallenge(*challenge);
    return;
  }
  ns::URLCredentialPtr credential;
  const ns::URLProtectionSpace& space = *challenge->protectionSpace();
  auto storage = ns::URLCredentialStorage::sharedCredentialStorage();
  auto url = request ? request->URL() : std::optional<ns::URL>();
  auto user = url ? url->user() : std::nullopt;
  // Credentials written into the URL belong to that server only, not to where a redirect led.
  if (user && protectionSpaceMatchesURL(space, *url)) {
    if (auto password = url->password())
      credential =
          ns::URLCredential::credentialWithUser(*user, *password, ns::URLCredentialPersistence::None);
    else
      credential = storage->credentialsForProtectionSpace(space)[*user];
  } else {
    credential = storage->defaultCredentialForProtectionSpace(space);
  }
  if (credential)
    sender->useCredential(credential, *challenge);
  else
    sender->continueWithoutCredentialForAuthenticationChallenge(*challenge);
}

ns::URLRequestPtr NTURLConnectionOperation::connectionWillSendRequest(
    const ns::URLConnectionPtr& connection, const ns::URLRequestPtr& request,
    const ns::URLResponsePtr& redirectResponse) {
  RedirectResponseBlock block;
  {
    std::lock_guard fields(fieldsMutex_);
    block = redirectResponse_;
  }
  return block ? block(connection, request, redirectResponse) : request;
}

void NTURLConnectionOperation::connectionDidSendBodyData(const ns::URLConnectionPtr&,
                                                         std::int64_t bytesWritten,
                                                         std::int64_t totalBytesWritten,
                                                         std::int64_t totalBytesExpectedToWrite) {
  ProgressBlock block;
  {
    std::lock_guard fields(fieldsMutex_);
    block = uploadProgress_;
  }
  if (!block) return;
  dispatch::async(dispatch::mainQueue(), [block, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite] {
    block(static_cast<std::uint64_t>(bytesWritten), totalBytesWritten, totalBytesExpectedToWrite);
  });
}

void NTURLConnectionOperation::connectionDidReceiveResponse(const ns::URLConnectionPtr&,
                                                            const ns::URLResponsePtr& response) {
  setResponse(response);
  connectionBytesRead_ = 0;
  if (response && failIfLongerThanAllowed(response->expectedContentLength())) return;
  if (auto stream = outputStream()) stream->open();
}

std::int64_t NTURLConnectionOperation::responseLengthBound() const {
  std::int64_t limit = maximumResponseLength();
  if (std::int64_t own = responseLengthLimit_.load(); own >= 0 && (limit < 0 || own < limit)) limit = own;
  return limit;
}

bool NTURLConnectionOperation::failIfLongerThanAllowed(std::int64_t length) {
  std::int64_t limit = responseLengthBound();
  if (limit < 0 || length <= limit) return false;
  auto request = this->request();
  failTransfer(ns::responseLengthExceededError(
      request && request->URL() ? request->URL()->absoluteString() : std::string(), limit));
  return true;
}

bool NTURLConnectionOperation::writeToOutputStream(const ns::Data& data) {
  std::shared_ptr<ns::OutputStream> stream = outputStream();
  if (!stream) return true;
  const std::uint8_t* bytes = data.bytes();
  std::size_t left = data.length();
  bool first = true;
  while (left > 0) {
    // The whole chunk first, so a memory stream can keep the buffer instead of copying it.
    std::int64_t written = first ? stream->writeData(data) : stream->write(bytes, left);
    first = false;
    if (written <= 0) {
      ns::ErrorPtr error = stream->streamError();
      if (!error)
        error =
            ns::Error::make(ns::kPOSIXErrorDomain, 28,
                            {{ns::kLocalizedDescriptionKey, "The output stream has no space for the body."}});
      failTransfer(error);
      return false;
    }
    bytes += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

void NTURLConnectionOperation::connectionDidReceiveData(const ns::URLConnectionPtr&, const ns::Data& data) {
  // A body with no announced length (or a false one) is stopped once it grows past the bound.
  if (failIfLongerThanAllowed(connectionBytesRead_ + static_cast<std::int64_t>(data.length()))) return;
  totalBytesRead_.fetch_add(static_cast<std::int64_t>(data.length()));
  connectionBytesRead_ += static_cast<std::int64_t>(data.length());
  if (!writeToOutputStream(data)) return;
  ProgressBlock block;
  ns::URLResponsePtr response;
  {
    std::lock_guard fields(fieldsMutex_);
    block = downloadProgress_;
    response = response_;
  }
  if (!block) return;
  std::int64_t expected = response ? response->expectedContentLength() : -1;
  std::weak_ptr<NTURLConnectionOperation> weakSelf = selfWhileRunning();
  std::uint64_t length = data.length();
  dispatch::async(dispatch::mainQueue(), [weakSelf, block, length, expected, total = totalBytesRead()] {
    auto self = weakSelf.lock();
    block(length, self ? self->totalBytesRead() : total, expected);
  });
}

void NTURLConnectionOperation::connectionDidFinishLoading(const ns::URLConnectionPtr&) {
  auto self = selfWhileRunning();  // finishing lets go of the operation's hold on itself
  std::shared_ptr<ns::OutputStream> stream = outputStream();
  std::optional<ns::Data> data;
  if (stream) {
    ns::Value written = stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey);
    if (const ns::Data* bytes = written.asData()) data = *bytes;
    stream->close();
  }
  {
    std::lock_guard fields(fieldsMutex_);
    responseData_ = std::move(data);
  }
  finish();
  std::lock_guard fields(fieldsMutex_);
  connection_.reset();
}

void NTURLConnectionOperation::connectionDidFailWithError(const ns::URLConnectionPtr&,
                                                          const ns::ErrorPtr& error) {
  setError(error);
  if (auto stream = outputStream()) stream->close();
  finish();
  std::lock_guard fields(fieldsMutex_);
  connection_.reset();
}

ns::CachedURLResponsePtr NTURLConnectionOperation::connectionWillCacheResponse(
    const ns::URLConnectionPtr& connection, const ns::CachedURLResponsePtr& cachedResponse) {
  CacheResponseBlock block;
  {
    std::lock_guard fields(fieldsMutex_);
    block = cacheResponse_;
  }
  if (block) return block(connection, cachedResponse);
  return isCancelled() ? nullptr : cachedResponse;
}

// MARK: description, archiving, copying

std::string NTURLConnectionOperation::describe() const {
  return ns::format("<%@: %p, state: %@, cancelled: %@ request: %@, response: %@>", className(),
                    static_cast<const void*>(this), NTKeyPathFromOperationState(state()),
                    isCancelled() ? "YES" : "NO", request(), response());
}

void NTURLConnectionOperation::encodeWithCoder(ns::KeyedArchiver& coder) {
  pause();
  OperationState stored = state();
  if (stored == OperationState::Executing || stored == OperationState::Paused) stored = OperationState::Ready;
  coder.encodeObject(request(), "request");
  coder.encodeInt64(static_cast<std::int64_t>(stored), "state");
  coder.encodeBool(isCancelled(), "isCancelled");
  coder.encodeObject(response(), "response");
  coder.encodeObject(error(), "error");
  auto data = responseData();
  coder.encodeObject(data ? ns::Value(*data) : ns::Value(), "responseData");
  coder.encodeObject(ns::Value(totalBytesRead()), "totalBytesRead");
}

std::shared_ptr<ns::Object> NTURLConnectionOperation::initWithCoder(ns::KeyedUnarchiver& decoder) {
  auto request = decoder.decodeObjectForKey("request").asObject<ns::URLRequest>();
  if (!setUpWithRequest(request)) return nullptr;
  // The transition table applies to the fresh Ready operation: a stored Finished is refused.
  setState(static_cast<OperationState>(decoder.decodeInt64ForKey("state")));
  cancelled_.store(decoder.decodeBoolForKey("isCancelled"));
  setResponse(decoder.decodeObjectForKey("response").asObject<ns::URLResponse>());
  setError(decoder.decodeObjectForKey("error").asObject<ns::Error>());
  ns::Value data = decoder.decodeObjectForKey("responseData");
  {
    std::lock_guard fields(fieldsMutex_);
    if (const ns::Data* bytes = data.asData()) responseData_ = *bytes;
  }
  totalBytesRead_.store(decoder.decodeObjectForKey("totalBytesRead").longLongValue());
  return shared_from_this();
}

std::shared_ptr<NTURLConnectionOperation> NTURLConnectionOperation::copy() const {
  auto made =
      std::dynamic_pointer_cast<NTURLConnectionOperation>(ns::ClassRegistry::shared().make(className()));
  if (!made || !made->setUpWithRequest(request())) return nullptr;
  std::lock_guard fields(fieldsMutex_);
  made->setUploadProgressBlock(uploadProgress_);
  made->setDownloadProgressBlock(downloadProgress_);
  made->setAuthenticationAgainstProtectionSpaceBlock(authenticationAgainstProtectionSpace_);
  made->setAuthenticationChallengeBlock(authenticationChallenge_);
  made->setCacheResponseBlock(cacheResponse_);
  made->setRedirectResponseBlock(redirectResponse_);
  made->limitResponseLength(responseLengthLimit_.load());
  if (pictureBody_.load()) made->limitResponseToPicture();
  return made;
}
