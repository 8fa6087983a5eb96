#include "AppAnalytics/Library/MALDataDispatcher.h"

#include <algorithm>
#include <chrono>

#include "AppAnalytics/Library/MALLog.h"
#include "AppAnalytics/Library/MALUtils.h"
#include "Foundation/Format.h"
#include "Foundation/Locale.h"
#include "UIKit/Device.h"

namespace {

constexpr std::size_t kReadChunk = 1024;
// The synchronous dispatch looks at its socket at least this often.
constexpr double kPollSeconds = 0.1;

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

MALDataDispatcher::MALDataDispatcher() = default;

MALDataDispatcher::~MALDataDispatcher() {
  cancelTimers();
  if (socket_) socket_->close();
}

std::shared_ptr<MALDataDispatcher> MALDataDispatcher::self() {
  return std::static_pointer_cast<MALDataDispatcher>(shared_from_this());
}

std::shared_ptr<MALDataDispatcher> MALDataDispatcher::initWithDelegate(
    std::weak_ptr<MALDataDispatcherDelegate> delegate, const std::string& product,
    const std::string& version) {
  delegate_ = std::move(delegate);
  runLoop_ = ns::RunLoop::currentRunLoop();
  responseParser_ = std::make_shared<MALHTTPResponseParser>()->initWithDelegate(
      std::static_pointer_cast<MALHTTPResponseParserDelegate>(self()));
  auto device = ui::Device::currentDevice();
  userAgent_ = ns::format("%@/%@ (%@; U; CPU %@ %@ like Mac OS X; %@-%@)", product, version, device->model(),
                          device->systemName(), device->systemVersion(), MALUtils::systemLanguage(),
                          MALUtils::systemCountry());
  return self();
}

std::string MALDataDispatcher::requestForHit(const std::string& hitString) const {
  // The stored string is never changed, so a hit sent again carries one queue time, not two.
  std::string hit = MALUtils::addQueueTimeParameter(hitString, MALUtils::currentTimeMillis());
  std::string request;
  if (hit.size() > kMaxGetLength) {
    std::size_t question = hit.find('?');
    std::string path = hit.substr(0, question);
    std::string body = question == std::string::npos ? std::string() : hit.substr(question + 1);
    request = ns::format(
        "POST %@/p%@ HTTP/1.1\r\nHost: %@\r\nUser-Agent: %@\r\nContent-Type: text/plain\r\nContent-Length: "
        "%lu\r\n\r\n%@",
        destinationPathPrefix_, path, destinationHost_, userAgent_, static_cast<unsigned long>(body.size()),
        body);
  } else {
    request = ns::format("GET %@%@ HTTP/1.1\r\nHost: %@\r\nUser-Agent: %@\r\n\r\n", destinationPathPrefix_,
                         hit, destinationHost_, userAgent_);
  }
  MALDebugLog("%@", request);
  return request;
}

void MALDataDispatcher::constructRequest() {
  pendingRequest_.clear();
  written_ = 0;
  outstanding_ = 0;
  const std::size_t limit = pipelineMode_ ? kMaxRequestsPerWrite : 1;
  for (const MALHitPtr& hit : pendingHits_) {
    if (outstanding_ == limit) break;
    pendingRequest_ += requestForHit(hit->hitString());
    ++outstanding_;
  }
}

void MALDataDispatcher::dispatchHits(const std::vector<MALHitPtr>& hits) {
  if (isDispatching()) return;
  sendingSynchronously_ = false;
  for (const MALHitPtr& hit : hits)
    if (hit) pendingHits_.push_back(hit);
  if (pendingHits_.empty()) {
    finishDispatch();
    return;
  }
  sequentialRequests_ = 0;
  hitsDispatched_ = 0;
  if (!socketClass_ && (lastStatusCode_ == 500 || lastStatusCode_ == 503)) {
    double delay = retryInterval_ * (ns::Random::shared().next() / 4294967295.0);
    if (retryInterval_ < 256) retryInterval_ *= 2;
    std::weak_ptr<MALDataDispatcher> weak = self();
    backOffTimer_ = ns::Timer::timerWithTimeInterval(delay, false, [weak](const ns::TimerPtr&) {
      if (auto dispatcher = weak.lock()) {
        dispatcher->backOffTimer_.reset();
        dispatcher->dispatchPendingHits();
      }
    });
    runLoop_->addTimer(backOffTimer_, ns::kDefaultRunLoopMode);
    return;
  }
  retryInterval_ = 2.0;
  dispatchPendingHits();
}

void MALDataDispatcher::dispatchPendingHits() {
  constructRequest();
  responseParser_->reset();
  ++sequentialRequests_;
  if (!timeoutTimer_) {
    // Nothing else bounds a dispatch: a server that never answers would keep it running for ever.
    std::weak_ptr<MALDataDispatcher> weak = self();
    timeoutTimer_ =
        ns::Timer::timerWithTimeInterval(kDispatchTimeoutSeconds, false, [weak](const ns::TimerPtr&) {
          if (auto dispatcher = weak.lock()) {
            MALDebugLog("Dispatch timed out");
            dispatcher->finishDispatch();
          }
        });
    runLoop_->addTimer(timeoutTimer_, ns::kDefaultRunLoopMode);
  }
  if (socket_) {
    sendData();
    return;
  }
  socket_ = makeSocket();
  if (!socket_ || !socket_->connect(destinationHost_, static_cast<std::uint16_t>(destinationPort_), false))
    finishDispatch();
}

void MALDataDispatcher::sendData() {
  if (dryRun_) {
    // The connection is opened, but nothing is written.
    for (std::size_t i = 0; i < (pipelineMode_ ? kMaxRequestsPerWrite : 1) && !pendingHits_.empty(); ++i)
      reportHitDispatched();
    if (!pendingHits_.empty() && sequentialRequests_ < kMaxWritesPerDispatch)
      dispatchPendingHits();
    else
      finishDispatch();
    return;
  }
  writePending();
}

void MALDataDispatcher::writePending() {
  if (!socket_) return;
  while (written_ < pendingRequest_.size()) {
    std::int64_t n = socket_->send(reinterpret_cast<const std::uint8_t*>(pendingRequest_.data()) + written_,
                                   pendingRequest_.size() - written_);
    if (n < 0) {
      finishDispatch();
      return;
    }
    if (n == 0) break;
    written_ += static_cast<std::size_t>(n);
  }
  // What the socket did not take goes out when it has room again.
  socket_->setWantsWritable(written_ < pendingRequest_.size());
}

void MALDataDispatcher::socketConnectDidSucceed(MALTCPSocket&) {
  if (!sendingSynchronously_) sendData();
}

void MALDataDispatcher::socketConnectDidFail(MALTCPSocket&, const ns::ErrorPtr&) {
  if (!sendingSynchronously_) finishDispatch();
}

void MALDataDispatcher::socketBecameWritable(MALTCPSocket&) {
  if (!sendingSynchronously_) writePending();
}

void MALDataDispatcher::socketBecameReadable(MALTCPSocket&) {
  if (sendingSynchronously_ || !socket_) return;
  std::uint8_t buffer[kReadChunk];
  std::int64_t n = socket_->read(buffer, sizeof buffer);
  if (n == sc::TCPSocket::kWouldBlock) return;
  if (n <= 0) {
    finishDispatch();
    return;
  }
  auto keepAlive = self();
  responseParser_->parseResponse(buffer, static_cast<std::size_t>(n));
}

void MALDataDispatcher::reportHitDispatched() {
  lastStatusCode_ = 200;
  ++hitsDispatched_;
  if (outstanding_ > 0) --outstanding_;
  MALHitPtr hit = pendingHits_.front();
  pendingHits_.pop_front();
  if (auto delegate = delegate_.lock()) delegate->dataDispatcherDispatched(*this, hit);
}

void MALDataDispatcher::responseParsed(MALHTTPResponseParser&, bool persistentConnection) {
  if (outstanding_ == 0 || pendingHits_.empty()) {
    // An answer to no request: nothing more from this connection can be trusted to match a hit.
    if (sendingSynchronously_)
      syncFailed_ = true;
    else
      finishDispatch();
    return;
  }
  reportHitDispatched();
  if (!persistentConnection && pipelineMode_) pipelineMode_ = false;
  if (sendingSynchronously_) {
    // The caller's loop goes on; a connection the server closes has nothing more to say. Answers
    // beyond the requests written meet the guard above.
    if (!pipelineMode_) responseParser_->reset();
    return;
  }
  if (pendingHits_.empty()) {
    finishDispatch();
    return;
  }
  if (!pipelineMode_)
    closeConnection();
  else if (outstanding_ > 0)
    return;  // more answers to this write are on their way
  if (sequentialRequests_ < kMaxWritesPerDispatch)
    dispatchPendingHits();
  else
    finishDispatch();
}

void MALDataDispatcher::parseError(MALHTTPResponseParser&, int statusCode) {
  lastStatusCode_ = statusCode;
  if (sendingSynchronously_)
    syncFailed_ = true;
  else
    finishDispatch();
}

void MALDataDispatcher::closeConnection() {
  pendingRequest_.clear();
  written_ = 0;
  if (socket_) socket_->close();
  socket_.reset();
}

void MALDataDispatcher::cancelTimers() {
  if (backOffTimer_) backOffTimer_->invalidate();
  backOffTimer_.reset();
  if (timeoutTimer_) timeoutTimer_->invalidate();
  timeoutTimer_.reset();
}

void MALDataDispatcher::finishDispatch() {
  auto keepAlive = self();
  cancelTimers();
  closeConnection();
  pendingHits_.clear();
  outstanding_ = 0;
  responseParser_->reset();
  if (auto delegate = delegate_.lock()) delegate->dataDispatcherDidComplete(*this);
}

void MALDataDispatcher::cancelDispatch() {
  if (isDispatching()) finishDispatch();
}

void MALDataDispatcher::injectSocketClass(MALTCPSocketClass socketClass) {
  socketClass_ = std::move(socketClass);
}

MALTCPSocketPtr MALDataDispatcher::makeSocket() {
  MALTCPSocketPtr socket = socketClass_ ? socketClass_() : std::make_shared<MALTCPSocket>();
  return socket ? socket->initWithDelegate(std::static_pointer_cast<MALTCPSocketDelegate>(self())) : nullptr;
}

bool MALDataDispatcher::sendAllBefore(double deadline) {
  while (written_ < pendingRequest_.size()) {
    std::int64_t n = socket_->send(reinterpret_cast<const std::uint8_t*>(pendingRequest_.data()) + written_,
                                   pendingRequest_.size() - written_);
    if (n < 0) return false;
    written_ += static_cast<std::size_t>(n);
    if (n == 0) {
      double left = deadline - steadySeconds();
      if (left <= 0) return false;
      socket_->waitUntilWritable(std::min(left, kPollSeconds));
    }
  }
  return true;
}

bool MALDataDispatcher::dispatchHitsSynchronously(const std::vector<MALHitPtr>& hits, double timeoutSeconds) {
  if (isDispatching()) return false;
  auto keepAlive = self();
  sendingSynchronously_ = true;
  syncFailed_ = false;
  const double deadline = steadySeconds() + std::max(timeoutSeconds, 0.0);
  const auto port = static_cast<std::uint16_t>(destinationPort_);
  socket_ = makeSocket();
  if (!socket_ || !socket_->connect(destinationHost_, port, true, deadline - steadySeconds())) {
    ns::log("connect failed");
    socket_.reset();
    sendingSynchronously_ = false;
    return false;
  }
  hitsDispatched_ = 0;
  sequentialRequests_ = 0;
  for (const MALHitPtr& hit : hits)
    if (hit) pendingHits_.push_back(hit);
  const std::size_t total = pendingHits_.size();
  bool ok = true;
  if (dryRun_) {
    while (!pendingHits_.empty()) reportHitDispatched();
  } else if (total > 0) {
    constructRequest();
    responseParser_->reset();
    if (!sendAllBefore(deadline)) {
      ns::log("error on send in loop");
      ok = false;
    }
    while (ok && hitsDispatched_ < total && steadySeconds() < deadline) {
      if (!socket_->waitUntilReadable(std::min(kPollSeconds, std::max(deadline - steadySeconds(), 0.0))))
        continue;
      std::uint8_t buffer[kReadChunk];
      std::int64_t n = socket_->read(buffer, sizeof buffer);
      if (n == sc::TCPSocket::kWouldBlock) continue;
      if (n <= 0) break;
      const unsigned before = hitsDispatched_;
      responseParser_->parseResponse(buffer, static_cast<std::size_t>(n));
      if (syncFailed_) break;
      if (hitsDispatched_ == before || pendingHits_.empty()) continue;
      // The next write once this one is answered in full, or at once, on a new connection, when
      // the server will not keep this one open.
      if (pipelineMode_ && outstanding_ > 0) continue;
      if (!pipelineMode_) {
        closeConnection();
        socket_ = makeSocket();
        if (!socket_ || !socket_->connect(destinationHost_, port, true, deadline - steadySeconds())) {
          ns::log("connect failed in loop");
          ok = false;
          break;
        }
      }
      constructRequest();
      responseParser_->reset();
      if (!sendAllBefore(deadline)) {
        ns::log("error on send in loop");
        ok = false;
      }
    }
  }
  sendingSynchronously_ = false;
  ok = ok && !syncFailed_ && hitsDispatched_ == total;
  finishDispatch();
  return ok;
}
