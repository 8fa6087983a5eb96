#include "Foundation/URLLoader.h"

#include <curl/curl.h>
#include <poll.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "Foundation/Format.h"
#include "Foundation/HTTPCookie.h"
#include "Foundation/HTTPCookieStorage.h"
#include "Foundation/HTTPHeaderParsing.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Stream.h"
#include "Foundation/Thread.h"
#include "Foundation/URLCredentialStorage.h"
#include "Foundation/WorkerPool.h"

namespace ns {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Body bytes gathered on the network thread before they are posted to the delegate in one call.
constexpr std::size_t kFlushBytes = 256 * 1024;
// The body of a redirect or challenge response is kept (up to this much) while the delegate decides.
constexpr std::size_t kHoldLimit = 1 << 20;
// How far a body stream is read ahead of the network.
constexpr std::size_t kPumpAhead = 256 * 1024;
constexpr int kMaxRedirects = 16;
constexpr std::size_t kSpareHandles = 16;

ErrorPtr urlError(std::int64_t code, const std::optional<URL>& url, std::string description,
                  ErrorPtr underlying = nullptr) {
  Dictionary info;
  info.set(kLocalizedDescriptionKey, std::move(description));
  if (url) {
    info.set(kURLErrorFailingURLErrorKey, url->absoluteString());
    info.set(kURLErrorFailingURLStringErrorKey, url->absoluteString());
  }
  if (underlying) info.set(kUnderlyingErrorKey, Value(underlying));
  return Error::make(kURLErrorDomain, code, std::move(info));
}

struct Failure {
  std::int64_t code;
  const char* description;
};

// Every result of curl's the loader can meet has its nearest code of the URL loading domain.
Failure failureFor(CURLcode code, long osErrno) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return {URLError::CannotFindHost, "A server with the specified hostname could not be found."};
    case CURLE_COULDNT_CONNECT:
    case CURLE_INTERFACE_FAILED:
    case CURLE_NO_CONNECTION_AVAILABLE:
    case CURLE_PROXY:
      if (osErrno == ENETUNREACH)
        return {URLError::NotConnectedToInternet, "The Internet connection appears to be offline."};
      return {URLError::CannotConnectToHost, "Could not connect to the server."};
    case CURLE_OPERATION_TIMEDOUT:
      return {URLError::TimedOut, "The request timed out."};
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_QUIC_CONNECT_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_AGAIN:
    case CURLE_UNRECOVERABLE_POLL:
    case CURLE_SSL_SHUTDOWN_FAILED:
      return {URLError::NetworkConnectionLost, "The network connection was lost."};
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return {-1202, "The certificate for this server is invalid."};
    case CURLE_SSL_CLIENTCERT:
      return {-1206, "The server requires a client certificate."};
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
      return {URLError::SecureConnectionFailed,
              "An SSL error has occurred and a secure connection to the server cannot be made."};
    case CURLE_BAD_CONTENT_ENCODING:
      return {URLError::CannotDecodeRawData, "cannot decode raw data"};
    case CURLE_URL_MALFORMAT:
    case CURLE_BAD_FUNCTION_ARGUMENT:
      return {URLError::BadURL, "bad URL"};
    // The loader checks a URL's scheme itself: from curl this is a reply with no status line
    // it can read (which it takes for HTTP/0.9).
    case CURLE_UNSUPPORTED_PROTOCOL:
      return {URLError::BadServerResponse, "The server's status line is malformed: it gives no status code."};
    case CURLE_NOT_BUILT_IN:
      return {URLError::UnsupportedURL, "unsupported URL"};
    case CURLE_TOO_MANY_REDIRECTS:
      return {URLError::HTTPTooManyRedirects, "too many HTTP redirects"};
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR:
    case CURLE_REMOTE_ACCESS_DENIED:
      return {URLError::UserAuthenticationRequired, "The server refused the credential."};
    case CURLE_READ_ERROR:
    case CURLE_SEND_FAIL_REWIND:
    case CURLE_UPLOAD_FAILED:
      return {URLError::RequestBodyStreamExhausted, "The request body could not be sent."};
    // curl bounds what it holds of one request or response (a request header of a megabyte, a
    // header block past its limit) and reports running past the bound as running out of memory.
    case CURLE_OUT_OF_MEMORY:
    case CURLE_FILESIZE_EXCEEDED:
      return {URLError::DataLengthExceedsMaximum, "The request or its response is too large."};
    case CURLE_RANGE_ERROR:
    case CURLE_BAD_DOWNLOAD_RESUME:
    case CURLE_HTTP_RETURNED_ERROR:
    case CURLE_CHUNK_FAILED:
    case CURLE_WRITE_ERROR:
      return {URLError::BadServerResponse, "bad server response"};
    default:
      // Failures of the loader's own set-up (an option curl refused, a call from a callback):
      // the load could not be made at all.
      return {URLError::CannotConnectToHost, "Could not connect to the server."};
  }
}

// Reads a request's body stream on a worker thread, ahead of the network: a body stream may block
// (a file on a slow disk, a source waiting for another thread) and the network thread must not.
struct BodyPump {
  std::mutex mutex;
  std::condition_variable room;
  std::string buffer;
  std::size_t offset = 0;
  bool eof = false, failed = false, stopped = false, readerWaiting = false;
  ErrorPtr error;
  std::function<void()> wakeReader;

  void run(const std::shared_ptr<InputStream>& stream) {
    WorkerPool::BlockingScope blocking;
    stream->open();
    std::vector<std::uint8_t> chunk(64 * 1024);
    bool opened = stream->streamStatus() != StreamStatus::Error;
    for (;;) {
      {
        std::unique_lock lock(mutex);
        room.wait(lock, [&] { return stopped || buffer.size() - offset < kPumpAhead; });
        if (stopped) break;
      }
      std::int64_t n = opened ? stream->read(chunk.data(), chunk.size()) : -1;
      bool wake;
      {
        std::lock_guard lock(mutex);
        if (n > 0)
          buffer.append(reinterpret_cast<const char*>(chunk.data()), static_cast<std::size_t>(n));
        else if (n == 0)
          eof = true;
        else {
          failed = true;
          error = stream->streamError();
        }
        wake = std::exchange(readerWaiting, false);
      }
      if (wake && wakeReader) wakeReader();
      if (n <= 0) break;
    }
    stream->close();
  }

  // On the network thread. n > 0 bytes, or 0 with eof/failed set, or 0 meaning "wait" (the pump
  // wakes the reader when it has more).
  std::size_t take(char* out, std::size_t capacity, bool& atEnd, bool& hasFailed) {
    std::lock_guard lock(mutex);
    std::size_t n = std::min(capacity, buffer.size() - offset);
    std::memcpy(out, buffer.data() + offset, n);
    offset += n;
    if (offset == buffer.size()) {
      buffer.clear();
      offset = 0;
    }
    atEnd = eof && buffer.empty();
    hasFailed = failed && buffer.empty();
    if (n == 0 && !atEnd && !hasFailed) readerWaiting = true;
    room.notify_one();
    return n;
  }

  void stop() {
    std::lock_guard lock(mutex);
    stopped = true;
    room.notify_one();
  }
};

// Whether a server's protection space is the URL's own scheme, host and port: a credential given
// for one server is never sent to another, whichever hop of a load leads there.
bool spaceIsURLOrigin(const URLProtectionSpace& space, const URL& url) {
  if (!url.scheme()) return false;
  std::string scheme = http::asciiLowercase(*url.scheme());
  int port = url.port().value_or(scheme == "https" ? 443 : 80);
  return !space.isProxy() && space.protocol() == scheme && space.port() == port &&
         http::equalsIgnoringCase(space.host(), url.host());
}

// Header lines ("Name: value\n" each), several fields of one name (in any case) joined with ", "
// under the first spelling.
Dictionary headerFields(std::string_view block) {
  std::vector<std::pair<std::string, std::string>> joined;
  while (!block.empty()) {
    auto end = block.find('\n');
    std::string_view line = block.substr(0, end);
    block = end == std::string_view::npos ? std::string_view() : block.substr(end + 1);
    auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    auto name = http::trimSpaces(line.substr(0, colon));
    auto value = http::trimSpaces(line.substr(colon + 1));
    auto it = std::find_if(joined.begin(), joined.end(),
                           [&](const auto& e) { return http::equalsIgnoringCase(e.first, name); });
    if (it == joined.end())
      joined.emplace_back(std::string(name), std::string(value));
    else
      (it->second += ", ") += value;
  }
  std::vector<Dictionary::Entry> entries;
  for (auto& [name, value] : joined) entries.emplace_back(std::move(name), Value(std::move(value)));
  return Dictionary::fromEntries(std::move(entries));
}

// A response as the network thread read it. The response object is made where it is first needed:
// on the delegate's thread for an ordinary answer, so the network thread only gathers bytes, or on
// the network thread for the redirects, challenges and cookies it has to act on itself. Either way
// only one thread at a time touches it.
struct ResponseSource {
  URLRequestPtr request;  // the hop this answers
  long status = 0;
  std::string version;
  std::string block;
  HTTPURLResponsePtr built;

  const HTTPURLResponsePtr& get() {
    if (!built)
      built = std::make_shared<HTTPURLResponse>()->initWithURL(*request->URL(), status, version,
                                                               headerFields(block));
    return built;
  }
};

}  // namespace

// One connection's load, owned by the network thread, through every redirect and retry.
// Decodes a gzip or deflate body as it arrives. curl's own decoding reports a stream that stops
// short as a whole body; this one tells.
struct Inflater {
  z_stream z{};
  bool ready = false;
  bool ended = false;
  bool failed = false;
  bool fedAny = false;

  Inflater() { ready = inflateInit2(&z, 15 + 32) == Z_OK; }  // gzip or zlib, by its header
  ~Inflater() {
    if (ready) inflateEnd(&z);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

struct Load {
  URLConnectionPtr connection;
  URLRequestPtr request;
  std::uint64_t hop = 0;  // renewed with every transfer so stale answers are told apart
  int redirects = 0;
  std::map<std::string, int> failures;  // credentials tried, by protection space
  URLCredentialPtr credential;
  URLProtectionSpacePtr credentialSpace;
  bool credentialStored = false;
  bool digestSent = false;     // this hop carries a digest credential, which curl answers itself
  std::int64_t bodyBytes = 0;  // of the response being read
  // The request's bound on the body as decoded (negative for none), kept through every hop.
  std::int64_t bodyLimit = -1;
  bool lengthExceeded = false;  // the body passed bodyLimit: the transfer was ended there
  // The response's first bytes while the request's body length rule has not lowered bodyLimit.
  std::string bodyHead;
  bool headRuled = false;
  bool bodyStreamUsed = false;
  double timeout = URLRequest::kDefaultTimeoutInterval;

  // The transfer of the current hop.
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  bool active = false;
  // Not yet sent: waiting for one of the host's connections (curl queues transfers past its limit
  // per host, and a burst can wait longer than the interval) or connecting, which curl's connect
  // time-out bounds. The idle interval starts once the request goes out.
  bool queued = false;
  SteadyClock::time_point lastActivity;
  // Background traffic waits in the loader, not in curl, for one of its share of the host's
  // connections (see admitWaiting).
  bool background = false;
  bool waitingForShare = false;
  std::string origin;  // host and port, as curl counts connections
  // When the first request of the load went out: the resource interval runs from there.
  std::optional<SteadyClock::time_point> firstSent;

  // The response being read.
  long status = 0;
  std::string version;
  std::string headerBlock;
  bool setsCookies = false;
  bool malformedStatus = false;
  int headerBlocks = 0;
  bool discardBody = false;
  bool inflated = false;               // this body is decoded (a bounded request with a Content-Encoding)
  bool unknownEncoding = false;        // one the loader did not offer and cannot decode
  bool decodeFailed = false;           // the body is no stream of its encoding
  std::unique_ptr<Inflater> inflater;  // made when the body starts
  std::shared_ptr<ResponseSource> response;

  // A redirect or challenge response waits for the delegate's decision with its body.
  enum class Hold { None, Redirect, Challenge } hold = Hold::None;
  bool decisionAsked = false;
  Data held;
  std::string redirectTarget;
  URLProtectionSpacePtr challengeSpace;
  bool done = false;     // the held transfer has ended
  bool heldCut = false;  // an inflated held body was ended at kHoldLimit instead of paused
  CURLcode result = CURLE_OK;
  long osErrno = 0;

  // Delivery.
  Data pending;
  std::int64_t uploadDelta = 0, uploaded = 0, uploadExpected = -1;
  Data body;
  std::size_t bodyOffset = 0;
  std::shared_ptr<BodyPump> pump;
  bool holdPaused = false, flowPaused = false, readPaused = false;
  bool bodyFailed = false;
  ErrorPtr bodyError;

  void touch() { lastActivity = SteadyClock::now(); }
  bool pastResourceInterval(SteadyClock::time_point now) const {
    double limit = request->resourceTimeoutInterval();
    return limit > 0 && firstSent && now - *firstSent > std::chrono::duration<double>(limit);
  }
  // Whether the idle interval runs.
  bool idling() const { return active && !queued && !holdPaused && !flowPaused && !readPaused; }
  const std::optional<URL>& url() const { return request->URL(); }
};

// Runs on the loader's thread as its run loop's waiter: each pass of the loop (after the posted
// commands and delegate calls) drives libcurl, and the loop sleeps in curl_multi_poll with its own
// wake-up and sources among the descriptors.
struct URLLoader::Impl final : RunLoop::Waiter {
  CURLM* multi = nullptr;
  CURLSH* share = nullptr;
  std::unordered_map<const URLConnection*, std::unique_ptr<Load>> loads;
  std::vector<std::pair<const URLConnection*, std::uint64_t>> decisions;
  std::vector<CURL*> spare;
  std::list<Load*> waiting;                       // background loads, in the order started
  std::map<std::string, int> backgroundByOrigin;  // their transfers in curl, by origin
  std::vector<curl_waitfd> waitFds;               // the run loop's descriptors, as curl_multi_poll takes them
  std::uint64_t nextHop = 1;
  std::string noProxy;
  bool proxyFromEnvironment = false;
  // Delegate calls gathered during one turn, posted as one block per run loop at its end.
  std::vector<std::pair<std::shared_ptr<RunLoop>, std::vector<std::function<void()>>>> outbox;

  void send(Load& l, std::function<void()> call) {
    auto loop = l.connection->runLoop();
    if (!loop) return;
    for (auto& [target, calls] : outbox) {
      if (target == loop) {
        calls.push_back(std::move(call));
        return;
      }
    }
    outbox.emplace_back(std::move(loop), std::vector<std::function<void()>>{})
        .second.push_back(std::move(call));
  }
  void postOutbox() {
    for (auto& [loop, calls] : outbox)
      loop->performBlock([calls = std::move(calls)] {
        for (const auto& call : calls) call();
      });
    outbox.clear();
    // Finished loads stop counting only now that their last calls wait on their run loops.
    liveLoads.store(loads.size());
  }
  // Starts posted to this thread and not yet taken up, and loads as last published.
  std::atomic<std::size_t> pendingStarts{0};
  std::atomic<std::size_t> liveLoads{0};
  std::atomic<std::int64_t> decodedBodyBytes{0};

  void beforeWait() override;
  int maxWaitMilliseconds() override { return static_cast<int>(waitMilliseconds()); }
  int poll(pollfd* fds, std::size_t count, int timeoutMs) override;
  Load* find(const URLConnection* connection, std::uint64_t hop = 0) {
    auto it = loads.find(connection);
    if (it == loads.end() || (hop && it->second->hop != hop)) return nullptr;
    return it->second.get();
  }

  void startLoad(const URLConnectionPtr& connection);
  void beginHop(Load& l);
  void addTransfer(Load& l);
  void admitWaiting();
  void abortTransfer(Load& l);
  void transferDone(Load& l, CURLcode result);
  void askDecision(Load& l);
  void deliverHeldResponse(Load& l);
  void finishSuccess(Load& l);
  void finishWithError(Load& l, ErrorPtr error);
  void removeLoad(Load& l);
  void flush(Load& l);
  void updatePause(Load& l);
  void headersComplete(Load& l);
  void checkTimeouts();
  long waitMilliseconds();

  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user);
  static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* user);
  static std::size_t takeDecoded(Load& l, const char* data, std::size_t length);
  static std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* user);
  static int onConnected(void* user, char*, char*, int, int);
};

URLLoader& URLLoader::shared() {
  static URLLoader* loader = new URLLoader();
  return *loader;
}

URLLoader::URLLoader() : impl_(new Impl) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  impl_->multi = curl_multi_init();
  curl_multi_setopt(impl_->multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(kConnectionsPerHost));
  curl_multi_setopt(impl_->multi, CURLMOPT_MAXCONNECTS, 64L);
  impl_->share = curl_share_init();
  // Only the network thread touches the share, so it needs no lock callbacks.
  curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  std::string noProxy = "localhost,127.0.0.1,::1";
  for (const char* name : {"no_proxy", "NO_PROXY"})
    if (const char* value = std::getenv(name); value && *value) noProxy += std::string(",") + value;
  impl_->noProxy = noProxy;
  // Without a proxy in the environment, curl need not look for one on every transfer.
  for (const char* name :
       {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
    if (const char* value = std::getenv(name); value && *value) impl_->proxyFromEnvironment = true;
  thread_ = std::make_shared<Thread>()->initWithBlock([] {
    auto loop = RunLoop::currentRunLoop();
    for (;;) loop->run();
  });
  thread_->setName("ns.network");
  thread_->runLoop()->setWaiter(impl_);
  thread_->start();
}

void URLLoader::post(std::function<void(Impl&)> command) {
  // The run loop wakes its thread from curl_multi_poll through its own wake-up descriptor.
  thread_->runLoop()->performBlock([impl = impl_, command = std::move(command)] { command(*impl); });
}

void URLLoader::start(const URLConnectionPtr& connection) {
  ++impl_->pendingStarts;
  post([connection](Impl& impl) {
    impl.startLoad(connection);
    --impl.pendingStarts;
  });
}

std::size_t URLLoader::activeLoadCount() const {
  return impl_->pendingStarts.load() + impl_->liveLoads.load();
}

std::int64_t URLLoader::decodedBodyBytes() const { return impl_->decodedBodyBytes.load(); }

void URLLoader::cancel(const URLConnectionPtr& connection) {
  post([key = connection.get(), weak = std::weak_ptr<URLConnection>(connection)](Impl& impl) {
    if (weak.expired()) return;
    if (Load* l = impl.find(key)) impl.removeLoad(*l);
  });
}

void URLLoader::resumeReceiving(const std::weak_ptr<URLConnection>& connection) {
  post([connection](Impl& impl) {
    auto c = connection.lock();
    if (!c) return;
    if (Load* l = impl.find(c.get()); l && l->flowPaused) {
      l->flowPaused = false;
      impl.updatePause(*l);
    }
  });
}

void URLLoader::answerRedirect(const std::weak_ptr<URLConnection>& connection, std::uint64_t hop,
                               URLRequestPtr request) {
  post([connection, hop, request](Impl& impl) {
    auto c = connection.lock();
    Load* l = c ? impl.find(c.get(), hop) : nullptr;
    if (!l || l->hold != Load::Hold::Redirect) return;
    if (!request) {
      impl.deliverHeldResponse(*l);
      return;
    }
    impl.abortTransfer(*l);
    ++l->redirects;
    l->request = request->copy();
    l->connection->setCurrentRequest(l->request);
    impl.beginHop(*l);
  });
}

void URLLoader::answerChallenge(const std::weak_ptr<URLConnection>& connection, std::uint64_t hop,
                                ChallengeAnswer answer, URLCredentialPtr credential) {
  post([connection, hop, answer, credential](Impl& impl) {
    auto c = connection.lock();
    Load* l = c ? impl.find(c.get(), hop) : nullptr;
    if (!l || l->hold != Load::Hold::Challenge) return;
    switch (answer) {
      case ChallengeAnswer::ContinueWithout:
        impl.deliverHeldResponse(*l);
        return;
      case ChallengeAnswer::Cancel:
        impl.finishWithError(
            *l, urlError(URLError::UserCancelledAuthentication, l->url(),
                         "The operation couldn\u2019t be completed. (NSURLErrorDomain error -1012.)"));
        return;
      case ChallengeAnswer::UseCredential:
        impl.abortTransfer(*l);
        ++l->failures[l->challengeSpace->key()];
        l->credential = credential;
        l->credentialSpace = l->challengeSpace;
        l->credentialStored = false;
        impl.beginHop(*l);
        return;
    }
  });
}

void URLLoader::Impl::beforeWait() {
  admitWaiting();
  int running = 0;
  curl_multi_perform(multi, &running);
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    Load* l = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &l);
    if (l) transferDone(*l, message->data.result);
  }
  // Decisions found while reading headers are asked here, outside curl's callbacks.
  auto due = std::move(decisions);
  decisions.clear();
  for (auto [key, hop] : due)
    if (Load* l = find(key, hop); l && !l->decisionAsked) askDecision(*l);
  for (auto& [key, l] : loads) flush(*l);
  checkTimeouts();
  admitWaiting();
  postOutbox();
}

int URLLoader::Impl::poll(pollfd* fds, std::size_t count, int timeoutMs) {
  waitFds.resize(count);
  auto* extra = waitFds.data();
  for (std::size_t i = 0; i < count; ++i) extra[i] = {fds[i].fd, fds[i].events, 0};
  curl_multi_poll(multi, extra, static_cast<unsigned>(count), timeoutMs, nullptr);
  int ready = 0;
  for (std::size_t i = 0; i < count; ++i) {
    fds[i].revents = extra[i].revents;
    if (fds[i].revents) ++ready;
  }
  return ready;
}

constexpr long kLiveLoadsWaitMs = 250;

long URLLoader::Impl::waitMilliseconds() {
  long wait = -1;
  curl_multi_timeout(multi, &wait);
  if (wait < 0) wait = 60'000;
  // Transfers queued behind the host's connection limit have been seen to wait for no timer at
  // all once a connection came free: while any load is live, curl is driven at least this often.
  if (!loads.empty()) wait = std::min(wait, kLiveLoadsWaitMs);
  auto now = SteadyClock::now();
  for (auto& [key, l] : loads) {
    if (double limit = l->request->resourceTimeoutInterval(); limit > 0 && l->firstSent) {
      auto end = *l->firstSent +
                 std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(limit));
      long ms = static_cast<long>(std::chrono::ceil<std::chrono::milliseconds>(end - now).count());
      wait = std::min(wait, std::max(ms, 0L) + 1);
    }
    if (!l->idling()) continue;
    auto deadline = l->lastActivity + std::chrono::duration_cast<SteadyClock::duration>(
                                          std::chrono::duration<double>(l->timeout));
    long ms = static_cast<long>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
    wait = std::min(wait, std::max(ms, 0L));
  }
  return std::min(wait, static_cast<long>(INT_MAX));
}

void URLLoader::Impl::checkTimeouts() {
  auto now = SteadyClock::now();
  std::vector<Load*> expired;
  for (auto& [key, l] : loads) {
    if (l->pastResourceInterval(now) ||
        (l->idling() && now - l->lastActivity > std::chrono::duration<double>(l->timeout)))
      expired.push_back(l.get());
  }
  for (Load* l : expired)
    finishWithError(*l, urlError(URLError::TimedOut, l->url(), "The request timed out."));
}

void URLLoader::Impl::startLoad(const URLConnectionPtr& connection) {
  if (connection->cancelled_.load() || loads.count(connection.get())) return;
  auto load = std::make_unique<Load>();
  load->connection = connection;
  load->request = connection->currentRequest();
  load->bodyLimit = load->request->maximumBodyLength();
  Load& l = *load;
  loads[connection.get()] = std::move(load);
  ++liveLoads;
  beginHop(l);
}

void URLLoader::Impl::beginHop(Load& l) {
  l.hop = nextHop++;
  l.status = 0;
  l.version.clear();
  l.headerBlock.clear();
  l.setsCookies = false;
  l.malformedStatus = false;
  l.headerBlocks = 0;
  l.discardBody = false;
  l.inflated = false;
  l.unknownEncoding = false;
  l.decodeFailed = false;
  l.inflater.reset();
  l.lengthExceeded = false;
  l.response.reset();
  l.hold = Load::Hold::None;
  l.decisionAsked = false;
  l.held = Data();
  l.done = false;
  l.heldCut = false;
  l.pending = Data();
  l.uploadDelta = l.uploaded = 0;
  l.uploadExpected = -1;
  l.body = Data();
  l.bodyOffset = 0;
  l.holdPaused = l.flowPaused = l.readPaused = false;
  l.bodyFailed = false;
  l.connection->receivePaused_.store(false);

  const URLRequest& request = *l.request;
  const auto& url = request.URL();
  if (!url || url->host().empty() || !url->scheme()) {
    finishWithError(l, urlError(URLError::BadURL, url, "bad URL"));
    return;
  }
  std::string scheme = http::asciiLowercase(*url->scheme());
  if (scheme != "http" && scheme != "https") {
    finishWithError(l, urlError(URLError::UnsupportedURL, url, "unsupported URL"));
    return;
  }
  for (const auto& [name, value] : request.allHTTPHeaderFields()) {
    if (!isValidHTTPHeaderName(name) || !value.asString() || !isValidHTTPHeaderValue(*value.asString())) {
      finishWithError(l, urlError(URLError::Unknown, url,
                                  "A header field of the request has an invalid name or a line break."));
      return;
    }
  }
  // Credentials in the URL are offered only when challenged, never sent unasked; the fragment
  // stays here too.
  std::string target = url->absoluteString();
  if (url->user() || url->password() || url->fragment()) {
    CURLU* parsed = curl_url();
    char* text = nullptr;
    bool ok = curl_url_set(parsed, CURLUPART_URL, target.c_str(), 0) == CURLUE_OK;
    if (ok) {
      curl_url_set(parsed, CURLUPART_USER, nullptr, 0);
      curl_url_set(parsed, CURLUPART_PASSWORD, nullptr, 0);
      curl_url_set(parsed, CURLUPART_FRAGMENT, nullptr, 0);
      ok = curl_url_get(parsed, CURLUPART_URL, &text, 0) == CURLUE_OK;
    }
    if (ok) target = text;
    curl_free(text);
    curl_url_cleanup(parsed);
    if (!ok) {
      finishWithError(l, urlError(URLError::BadURL, url, "bad URL"));
      return;
    }
  }

  const std::string& method = request.HTTPMethod();
  bool hasBody = method != "GET" && method != "HEAD";
  std::int64_t bodyLength = 0;
  std::shared_ptr<InputStream> bodyStream;
  if (hasBody && request.HTTPBody()) {
    l.body = *request.HTTPBody();
    bodyLength = static_cast<std::int64_t>(l.body.length());
  } else if (hasBody && request.HTTPBodyStream()) {
    if (l.bodyStreamUsed) {
      finishWithError(l, urlError(-1021, url, "request body stream exhausted"));
      return;
    }
    l.bodyStreamUsed = true;
    bodyStream = request.HTTPBodyStream();
    bodyLength = -1;
    if (auto length = request.valueForHTTPHeaderField("Content-Length")) {
      char* end = nullptr;
      long long parsed = std::strtoll(length->c_str(), &end, 10);
      if (end != length->c_str() && *end == '\0' && parsed >= 0) bodyLength = parsed;
    }
  }
  l.uploadExpected = hasBody ? bodyLength : -1;

  // A reused handle is reset first: besides its options it keeps state of its past transfers,
  // among them the count of retries on dead kept-alive connections, which curl bounds over the
  // handle's whole life. Every transfer gets the full retry.
  CURL* easy;
  if (!spare.empty()) {
    easy = spare.back();
    spare.pop_back();
    curl_easy_reset(easy);
  } else {
    easy = curl_easy_init();
  }
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_SHARE, share);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  if (proxyFromEnvironment)
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
  else
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(URLLoader::kReadBytes));
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::onWrite);
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Impl::onRead);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Impl::onConnected);
  l.easy = easy;
  l.timeout = request.timeoutInterval() > 0 ? request.timeoutInterval() : URLRequest::kDefaultTimeoutInterval;

  curl_easy_setopt(easy, CURLOPT_URL, target.c_str());
  // Compressed bodies only where the loader can stop inflating at a bound; without one curl
  // passes whatever the server sends as it is, so no read grows in memory. The loader decodes them
  // itself (see onWrite).
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, l.bodyLimit >= 0 ? "gzip" : nullptr);
  curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, &l);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &l);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &l);
  curl_easy_setopt(easy, CURLOPT_READDATA, &l);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &l);
  curl_easy_setopt(
      easy, CURLOPT_CONNECTTIMEOUT_MS,
      static_cast<long>(std::min(std::ceil(l.timeout * 1000.0), static_cast<double>(LONG_MAX / 2))));

  curl_slist* list = nullptr;
  bool hasCookieField = false;
  for (const auto& [name, value] : request.allHTTPHeaderFields()) {
    // curl states the length of the body it sends itself.
    if (http::equalsIgnoringCase(name, "Content-Length") || http::equalsIgnoringCase(name, "Expect"))
      continue;
    if (http::equalsIgnoringCase(name, "Cookie")) hasCookieField = true;
    const std::string& text = *value.asString();
    std::string line = text.empty() ? name + ";" : name + ": " + text;
    list = curl_slist_append(list, line.c_str());
  }
  if (request.HTTPShouldHandleCookies() && !hasCookieField) {
    auto cookies = HTTPCookieStorage::sharedHTTPCookieStorage()->cookiesForURL(*url);
    auto field = HTTPCookie::requestHeaderFieldsWithCookies(cookies);
    if (auto cookie = field["Cookie"].asString())
      list = curl_slist_append(list, ("Cookie: " + *cookie).c_str());
  }
  // No waiting for "100 Continue" before sending a body.
  list = curl_slist_append(list, "Expect:");
  l.headerList = list;
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);

  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);  // back to a plain GET whatever the handle did before
  if (method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
  } else if (method == "GET") {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
  } else {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method == "POST" ? nullptr : method.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyLength));
  }
  // A proxy's credential goes to the proxy on every hop; a server's only to that server.
  const URLCredential* credential = l.credential.get();
  bool proxy = credential && l.credentialSpace && l.credentialSpace->isProxy();
  if (credential && !proxy && !(l.credentialSpace && spaceIsURLOrigin(*l.credentialSpace, *url)))
    credential = nullptr;
  bool digest = credential && l.credentialSpace &&
                l.credentialSpace->authenticationMethod() == kURLAuthenticationMethodHTTPDigest;
  l.digestSent = digest;
  long authScheme = digest ? CURLAUTH_DIGEST : CURLAUTH_BASIC;
  curl_easy_setopt(easy, CURLOPT_USERNAME, credential && !proxy ? credential->user().c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_PASSWORD, credential && !proxy ? credential->password().c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_HTTPAUTH, authScheme);
  curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxy ? credential->user().c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxy ? credential->password().c_str() : nullptr);
  curl_easy_setopt(easy, CURLOPT_PROXYAUTH, authScheme);

  if (bodyStream) {
    auto pump = std::make_shared<BodyPump>();
    std::weak_ptr<URLConnection> weak = l.connection;
    std::uint64_t hop = l.hop;
    pump->wakeReader = [weak, hop] {
      URLLoader::shared().post([weak, hop](Impl& impl) {
        auto c = weak.lock();
        if (Load* load = c ? impl.find(c.get(), hop) : nullptr; load && load->readPaused) {
          load->readPaused = false;
          impl.updatePause(*load);
        }
      });
    };
    l.pump = pump;
    WorkerPool::shared().submit(WorkerPool::Priority::Default, [pump, bodyStream] { pump->run(bodyStream); });
  }

  l.touch();
  l.queued = true;
  l.background = request.networkServiceType() == URLRequestNetworkServiceType::Background;
  l.origin = http::asciiLowercase(url->host()) + ":" +
             std::to_string(url->port().value_or(scheme == "https" ? 443 : 80));
  if (l.background && backgroundByOrigin[l.origin] >= URLLoader::kBackgroundConnectionsPerHost) {
    l.waitingForShare = true;
    waiting.push_back(&l);
    return;
  }
  addTransfer(l);
}

void URLLoader::Impl::addTransfer(Load& l) {
  l.active = true;
  if (l.background) ++backgroundByOrigin[l.origin];
  curl_multi_add_handle(multi, l.easy);
}

// Background loads take a transfer as their share of the origin's connections comes free. Those of
// other origins pass one that must still wait.
void URLLoader::Impl::admitWaiting() {
  for (auto it = waiting.begin(); it != waiting.end();) {
    Load& l = **it;
    if (backgroundByOrigin[l.origin] >= URLLoader::kBackgroundConnectionsPerHost) {
      ++it;
      continue;
    }
    it = waiting.erase(it);
    l.waitingForShare = false;
    addTransfer(l);
  }
}

void URLLoader::Impl::abortTransfer(Load& l) {
  if (l.pump) {
    l.pump->stop();
    l.pump.reset();
  }
  if (l.waitingForShare) {
    waiting.remove(&l);
    l.waitingForShare = false;
  }
  if (!l.easy) return;
  if (l.active) {
    curl_multi_remove_handle(multi, l.easy);
    if (l.background) {
      auto count = backgroundByOrigin.find(l.origin);
      if (count != backgroundByOrigin.end() && --count->second <= 0) backgroundByOrigin.erase(count);
    }
  }
  l.active = false;
  curl_easy_setopt(l.easy, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(l.headerList);
  l.headerList = nullptr;
  // Its connection stays in the multi's cache; the handle is reset when it is taken again.
  if (spare.size() < kSpareHandles)
    spare.push_back(l.easy);
  else
    curl_easy_cleanup(l.easy);
  l.easy = nullptr;
}

void URLLoader::Impl::removeLoad(Load& l) {
  abortTransfer(l);
  loads.erase(l.connection.get());
}

void URLLoader::Impl::updatePause(Load& l) {
  if (!l.active) return;
  l.touch();
  int mask = ((l.holdPaused || l.flowPaused) ? CURLPAUSE_RECV : 0) | (l.readPaused ? CURLPAUSE_SEND : 0);
  curl_easy_pause(l.easy, mask);
}

void URLLoader::Impl::flush(Load& l) {
  if (l.pending.empty() && l.uploadDelta == 0) return;
  Data data = std::move(l.pending);
  l.pending = Data();
  auto n = static_cast<std::int64_t>(data.length());
  std::int64_t sent = l.uploadDelta, total = l.uploaded, expected = l.uploadExpected;
  l.uploadDelta = 0;
  auto connection = l.connection;
  connection->undelivered_ += n;
  send(l, [connection, data = std::move(data), n, sent, total, expected] {
    if (!connection->cancelled_.load()) {
      if (auto d = connection->delegate()) {
        if (sent > 0) d->connectionDidSendBodyData(connection, sent, total, expected);
        if (n > 0) d->connectionDidReceiveData(connection, data);
      }
    }
    if (n > 0 && connection->undelivered_.fetch_sub(n) - n <= kLowWater &&
        connection->receivePaused_.exchange(false))
      URLLoader::shared().resumeReceiving(connection);
  });
}

std::size_t URLLoader::Impl::onHeader(char* data, std::size_t size, std::size_t count, void* user) {
  Load& l = *static_cast<Load*>(user);
  std::size_t length = size * count;
  if (l.connection->cancelled_.load()) return 0;
  l.touch();
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    ++l.headerBlocks;
    l.bodyBytes = 0;
    l.bodyLimit = l.request->maximumBodyLength();
    l.bodyHead.clear();
    l.headRuled = false;
    l.headerBlock.clear();
    l.setsCookies = false;
    l.discardBody = false;
    l.inflated = false;
    l.unknownEncoding = false;
    l.inflater.reset();
    // Read as curl itself reads it: any run of blanks before the three digits of the code.
    auto space = line.find_first_of(" \t");
    l.version = std::string(line.substr(0, space));
    auto digits = line.find_first_not_of(" \t", space);
    l.status = 0;
    if (space != std::string_view::npos && digits != std::string_view::npos && line.size() >= digits + 3 &&
        std::all_of(line.begin() + digits, line.begin() + digits + 3,
                    [](char c) { return c >= '0' && c <= '9'; }))
      l.status = std::strtol(std::string(line.substr(digits, 3)).c_str(), nullptr, 10);
  } else if (line.empty()) {
    // A status line without a code read as one would leave the body without a response.
    if (l.status < 100) {
      l.malformedStatus = true;
      return 0;
    }
    if (l.status >= 200) URLLoader::shared().impl_->headersComplete(l);
  } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
    auto name = http::trimSpaces(line.substr(0, colon));
    if (http::equalsIgnoringCase(name, "Set-Cookie")) l.setsCookies = true;
    if (l.bodyLimit >= 0 && http::equalsIgnoringCase(name, "Content-Encoding")) {
      auto coding = http::trimSpaces(line.substr(colon + 1));
      if (!http::equalsIgnoringCase(coding, "identity")) {
        // One coding of zlib's, once; a second Content-Encoding field stacks another.
        if (l.inflated ||
            !(http::equalsIgnoringCase(coding, "gzip") || http::equalsIgnoringCase(coding, "x-gzip") ||
              http::equalsIgnoringCase(coding, "deflate")))
          l.unknownEncoding = true;
        l.inflated = true;
      }
    }
    (l.headerBlock += line) += '\n';
  }
  return length;
}

void URLLoader::Impl::headersComplete(Load& l) {
  auto source = std::make_shared<ResponseSource>();
  source->request = l.request;
  source->status = l.status;
  source->version = l.version;
  source->block = std::move(l.headerBlock);
  l.headerBlock = std::string();
  l.response = source;
  const bool redirect =
      l.status == 301 || l.status == 302 || l.status == 303 || l.status == 307 || l.status == 308;
  const bool storeCredential = l.credential && !l.credentialStored && l.credentialSpace && l.status != 401;
  if (!redirect && l.status != 401 && !l.setsCookies && !storeCredential) {
    send(l, l.connection->delivery([source](const URLConnectionPtr& c, URLConnectionDelegate& d) {
      d.connectionDidReceiveResponse(c, source->get());
    }));
    return;
  }

  const URL& url = *l.url();
  const HTTPURLResponsePtr& response = source->get();
  if (l.setsCookies && l.request->HTTPShouldHandleCookies()) {
    auto storage = HTTPCookieStorage::sharedHTTPCookieStorage();
    for (const auto& cookie : HTTPCookie::cookiesWithResponseHeaderFields(response->allHeaderFields(), url))
      storage->setCookie(cookie);
  }

  // curl answers a digest challenge itself when it has the credential: that first 401 is not ours.
  if (l.status == 401 && l.digestSent && l.headerBlocks == 1) {
    l.discardBody = true;
    return;
  }

  if (redirect) {
    // Resolved here: curl knows the target only after the headers have been handed over.
    if (auto location = response->valueForHTTPHeaderField("Location")) {
      if (auto target = URL::URLWithString(*location, url)) {
        l.hold = Load::Hold::Redirect;
        l.redirectTarget = target->absoluteString();
        decisions.emplace_back(l.connection.get(), l.hop);
        return;
      }
    }
  }
  if (l.status == 401) {
    if (auto challenge = response->valueForHTTPHeaderField("WWW-Authenticate")) {
      auto field = http::trimSpaces(*challenge);
      std::string scheme = http::asciiLowercase(field.substr(0, field.find_first_of(" \t;")));
      std::string realm = http::challengeParameter(field, "realm").value_or("");
      const char* method = scheme == "basic"    ? kURLAuthenticationMethodHTTPBasic
                           : scheme == "digest" ? kURLAuthenticationMethodHTTPDigest
                                                : nullptr;
      if (method) {
        std::string urlScheme = http::asciiLowercase(*url.scheme());
        int port = url.port().value_or(urlScheme == "https" ? 443 : 80);
        l.challengeSpace = std::make_shared<URLProtectionSpace>()->initWithHost(
            http::asciiLowercase(url.host()), port, urlScheme, realm, method);
        l.hold = Load::Hold::Challenge;
        decisions.emplace_back(l.connection.get(), l.hop);
        return;
      }
    }
  }
  // The final answer of this load.
  if (storeCredential) {
    l.credentialStored = true;
    URLCredentialStorage::sharedCredentialStorage()->setCredential(l.credential, *l.credentialSpace);
  }
  send(l, l.connection->delivery([response](const URLConnectionPtr& c, URLConnectionDelegate& d) {
    d.connectionDidReceiveResponse(c, response);
  }));
}

std::size_t URLLoader::Impl::onWrite(char* data, std::size_t size, std::size_t count, void* user) {
  Load& l = *static_cast<Load*>(user);
  std::size_t length = size * count;
  if (l.connection->cancelled_.load()) return 0;
  l.touch();
  if (l.discardBody) {
    URLLoader::shared().impl_->decodedBodyBytes += static_cast<std::int64_t>(length);
    return length;
  }
  if (!l.inflated) return takeDecoded(l, data, length);
  if (l.unknownEncoding) {
    l.decodeFailed = true;
    return 0;
  }
  if (!l.inflater) l.inflater = std::make_unique<Inflater>();
  Inflater& in = *l.inflater;
  if (!in.ready) {
    l.decodeFailed = true;
    return 0;
  }
  // What follows the end of the stream is not part of the body.
  if (in.ended) return length;
  in.fedAny = true;
  in.z.next_in = reinterpret_cast<Bytef*>(data);
  in.z.avail_in = static_cast<uInt>(length);
  unsigned char out[16 * 1024];
  while (in.z.avail_in > 0 && !in.ended) {
    in.z.next_out = out;
    in.z.avail_out = sizeof out;
    int rc = inflate(&in.z, Z_NO_FLUSH);
    std::size_t n = sizeof out - in.z.avail_out;
    if (rc == Z_STREAM_END)
      in.ended = true;
    else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      l.decodeFailed = true;
      return 0;
    }
    // A decoded body is never paused (see takeDecoded): it is taken whole or refused.
    if (n > 0 && takeDecoded(l, reinterpret_cast<const char*>(out), n) != n) return 0;
    if (rc == Z_BUF_ERROR) break;
  }
  return length;
}

std::size_t URLLoader::Impl::takeDecoded(Load& l, const char* data, std::size_t length) {
  URLLoader::shared().impl_->decodedBodyBytes += static_cast<std::int64_t>(length);
  // A paused transfer is not a bounded one when curl inflates: it keeps decoding the rest of its
  // read into its own buffer, and one read of a compressed body can hold a thousand times as much.
  // So an inflated body is never paused: it is taken up to its bound and refused past it.
  if (l.hold != Load::Hold::None) {
    if (l.held.length() + length > kHoldLimit) {
      if (l.inflated) {
        l.heldCut = true;
        return 0;
      }
      l.holdPaused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    l.held.append(data, length);
    return length;
  }
  if (!l.headRuled && l.request->bodyLengthRule()) {
    std::size_t take = std::min(length, URLRequest::kBodyHeadLength - l.bodyHead.size());
    l.bodyHead.append(data, take);
    auto bound = l.request->bodyLengthRule()(l.bodyHead);
    if (bound || l.bodyHead.size() >= URLRequest::kBodyHeadLength) {
      l.headRuled = true;
      l.bodyHead = std::string();
      if (bound && *bound >= 0 && (l.bodyLimit < 0 || *bound < l.bodyLimit)) l.bodyLimit = *bound;
    }
  }
  if (l.bodyLimit >= 0 && l.bodyBytes + static_cast<std::int64_t>(length) > l.bodyLimit) {
    l.lengthExceeded = true;
    return 0;
  }
  auto& connection = *l.connection;
  if (!l.inflated && connection.undelivered_.load() + static_cast<std::int64_t>(l.pending.length() + length) >
                         URLLoader::kHighWater) {
    // Whichever side clears the flag first owns the resumption (see flush()).
    connection.receivePaused_.store(true);
    if (!(connection.undelivered_.load() <= URLLoader::kLowWater &&
          connection.receivePaused_.exchange(false))) {
      l.flowPaused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
  }
  if (l.pending.empty()) {
    // Room for the rest of an announced body (up to one flush) in one allocation, not grown
    // chunk by chunk.
    curl_off_t announced = -1;
    if (curl_easy_getinfo(l.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
        announced > l.bodyBytes)
      l.pending.reserve(std::min(static_cast<std::size_t>(announced - l.bodyBytes), kFlushBytes));
  }
  l.pending.append(data, length);
  l.bodyBytes += static_cast<std::int64_t>(length);
  if (l.pending.length() >= kFlushBytes) URLLoader::shared().impl_->flush(l);
  return length;
}

// A connection was made or taken from the cache for this transfer: the request goes out now.
int URLLoader::Impl::onConnected(void* user, char*, char*, int, int) {
  Load& l = *static_cast<Load*>(user);
  l.queued = false;
  l.touch();
  if (!l.firstSent) l.firstSent = l.lastActivity;
  return CURL_PREREQFUNC_OK;
}

std::size_t URLLoader::Impl::onRead(char* buffer, std::size_t size, std::size_t count, void* user) {
  Load& l = *static_cast<Load*>(user);
  std::size_t capacity = size * count;
  if (l.connection->cancelled_.load()) return CURL_READFUNC_ABORT;
  std::size_t n = 0;
  if (l.pump) {
    bool atEnd = false, failed = false;
    n = l.pump->take(buffer, capacity, atEnd, failed);
    if (n == 0) {
      if (failed) {
        l.bodyFailed = true;
        l.bodyError = l.pump->error;
        return CURL_READFUNC_ABORT;
      }
      if (!atEnd) {
        l.readPaused = true;
        return CURL_READFUNC_PAUSE;
      }
    }
  } else {
    n = std::min(capacity, l.body.length() - l.bodyOffset);
    if (n > 0) std::memcpy(buffer, l.body.bytes() + l.bodyOffset, n);
    l.bodyOffset += n;
  }
  if (n > 0) {
    l.touch();
    l.uploadDelta += static_cast<std::int64_t>(n);
    l.uploaded += static_cast<std::int64_t>(n);
  }
  return n;
}

void URLLoader::Impl::transferDone(Load& l, CURLcode result) {
  l.result = result;
  l.osErrno = 0;
  curl_easy_getinfo(l.easy, CURLINFO_OS_ERRNO, &l.osErrno);
  abortTransfer(l);  // the transfer is over; give its handle back
  if (l.connection->cancelled_.load()) {
    removeLoad(l);
    return;
  }
  if (l.bodyFailed) {
    finishWithError(l,
                    urlError(URLError::Unknown, l.url(), "The request body could not be read.", l.bodyError));
    return;
  }
  if (l.malformedStatus) {
    finishWithError(l, urlError(URLError::BadServerResponse, l.url(),
                                "The server's status line is malformed: it gives no status code."));
    return;
  }
  if (l.lengthExceeded) {
    // The reader takes none of a body it refuses.
    l.pending = Data();
    finishWithError(
        l, responseLengthExceededError(l.url() ? l.url()->absoluteString() : std::string(), l.bodyLimit));
    return;
  }
  if (l.heldCut) {
    // Decided like any held answer; the body is refused only if it is taken as the answer.
    l.done = true;
    if (!l.decisionAsked) askDecision(l);
    return;
  }
  // A compressed body whose stream stops short arrived in part, however complete its length.
  if (l.decodeFailed || (result == CURLE_OK && l.inflater && l.inflater->fedAny && !l.inflater->ended))
    result = CURLE_BAD_CONTENT_ENCODING;
  if (result != CURLE_OK) {
    auto failure = failureFor(result, l.osErrno);
    finishWithError(l, urlError(failure.code, l.url(), failure.description));
    return;
  }
  if (l.hold != Load::Hold::None) {
    l.done = true;
    if (!l.decisionAsked) askDecision(l);
    return;
  }
  if (!l.response) {
    finishWithError(l, urlError(URLError::BadServerResponse, l.url(), "bad server response"));
    return;
  }
  finishSuccess(l);
}

void URLLoader::Impl::askDecision(Load& l) {
  l.decisionAsked = true;
  std::uint64_t hop = l.hop;
  std::weak_ptr<URLConnection> weak = l.connection;
  if (l.hold == Load::Hold::Redirect) {
    if (l.redirects >= kMaxRedirects) {
      finishWithError(l, urlError(URLError::HTTPTooManyRedirects, l.url(), "too many HTTP redirects"));
      return;
    }
    auto target = URL::URLWithString(l.redirectTarget);
    auto proposed = l.request->copy();
    const URL& from = *l.url();
    proposed->setURL(target);
    const std::string& method = l.request->HTTPMethod();
    bool toGet =
        (l.status == 303 && method != "HEAD") || ((l.status == 301 || l.status == 302) && method == "POST");
    if (toGet) {
      proposed->setHTTPMethod("GET");
      proposed->setHTTPBody(std::nullopt);
      proposed->setHTTPBodyStream(nullptr);
      proposed->setValueForHTTPHeaderField(std::nullopt, "Content-Type");
      proposed->setValueForHTTPHeaderField(std::nullopt, "Content-Length");
    }
    bool sameOrigin = http::equalsIgnoringCase(from.host(), target->host()) &&
                      from.port() == target->port() &&
                      http::equalsIgnoringCase(from.scheme().value_or(""), target->scheme().value_or(""));
    if (!sameOrigin) {
      proposed->setValueForHTTPHeaderField(std::nullopt, "Authorization");
      proposed->setValueForHTTPHeaderField(std::nullopt, "Cookie");
    }
    auto response = l.response->get();
    send(l, l.connection->delivery([proposed, response, weak, hop](const URLConnectionPtr& c,
                                                                   URLConnectionDelegate& d) {
      URLLoader::shared().answerRedirect(weak, hop, d.connectionWillSendRequest(c, proposed, response));
    }));
    return;
  }
  int failures = l.failures[l.challengeSpace->key()];
  URLCredentialPtr proposed =
      failures == 0 ? URLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(
                          *l.challengeSpace)
                    : l.credential;
  auto challenge = std::make_shared<URLAuthenticationChallenge>()->initWithProtectionSpace(
      l.challengeSpace, proposed, failures, l.response->get(), nullptr,
      std::static_pointer_cast<URLAuthenticationChallengeSender>(l.connection));
  l.connection->setPendingChallenge(challenge.get(), hop);
  send(l, l.connection->delivery([challenge](const URLConnectionPtr& c, URLConnectionDelegate& d) {
    if (d.connectionCanAuthenticateAgainstProtectionSpace(c, challenge->protectionSpace()))
      d.connectionDidReceiveAuthenticationChallenge(c, challenge);
    else
      c->performDefaultHandlingForAuthenticationChallenge(*challenge);
  }));
}

void URLLoader::Impl::deliverHeldResponse(Load& l) {
  l.hold = Load::Hold::None;
  auto response = l.response->get();
  send(l, l.connection->delivery([response](const URLConnectionPtr& c, URLConnectionDelegate& d) {
    d.connectionDidReceiveResponse(c, response);
  }));
  auto heldLength = static_cast<std::int64_t>(l.held.length());
  if (l.heldCut || (l.bodyLimit >= 0 && heldLength > l.bodyLimit)) {
    l.held = Data();
    std::int64_t limit = l.bodyLimit >= 0 ? std::min<std::int64_t>(l.bodyLimit, kHoldLimit) : kHoldLimit;
    finishWithError(l,
                    responseLengthExceededError(l.url() ? l.url()->absoluteString() : std::string(), limit));
    return;
  }
  // The held bytes are the start of the body its bound counts.
  l.bodyBytes = heldLength;
  l.pending = std::move(l.held);
  l.held = Data();
  if (l.done) {
    finishSuccess(l);
    return;
  }
  flush(l);
  if (l.holdPaused) {
    l.holdPaused = false;
    updatePause(l);
  }
}

void URLLoader::Impl::finishSuccess(Load& l) {
  flush(l);
  auto source = l.response;
  send(l, l.connection->delivery(
              [source](const URLConnectionPtr& c, URLConnectionDelegate& d) {
                d.connectionWillCacheResponse(
                    c, std::make_shared<CachedURLResponse>()->initWithResponse(source->get(), Data()));
                d.connectionDidFinishLoading(c);
              },
              true));
  removeLoad(l);
}

void URLLoader::Impl::finishWithError(Load& l, ErrorPtr error) {
  flush(l);
  send(l,
       l.connection->delivery([error](const URLConnectionPtr& c,
                                      URLConnectionDelegate& d) { d.connectionDidFailWithError(c, error); },
                              true));
  removeLoad(l);
}

}  // namespace ns
