#include "NTNetworking/NTHTTPRequestOperation.h"

#include <algorithm>
#include <vector>

#include "Foundation/ClassRegistry.h"
#include "Foundation/Format.h"
#include "Foundation/StringNumbers.h"

const char* const NTNetworkingErrorDomain = "NTNetworkingErrorDomain";
const char* const NTNetworkingOperationFailingURLRequestErrorKey =
    "NTNetworkingOperationFailingURLRequestErrorKey";
const char* const NTNetworkingOperationFailingURLResponseErrorKey =
    "NTNetworkingOperationFailingURLResponseErrorKey";

namespace {

const bool registered = (NTHTTPRequestOperation::registerClass(), true);

// Content-Range "bytes first-last/complete"; the pieces between spaces, "-" and "/".
std::vector<std::string_view> contentRangePieces(std::string_view value) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= value.size(); ++i) {
    if (i == value.size() || value[i] == ' ' || value[i] == '-' || value[i] == '/') {
      pieces.push_back(value.substr(start, i - start));
      start = i + 1;
    }
  }
  return pieces;
}

bool intersects(const NTContentTypeSet& a, const NTContentTypeSet& b) {
  return std::any_of(a.begin(), a.end(), [&b](const std::string& type) { return b.count(type) > 0; });
}

}  // namespace

void NTHTTPRequestOperation::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    NTURLConnectionOperation::registerClass();
    ns::ClassRegistry::shared().registerClass<NTHTTPRequestOperation>("NTHTTPRequestOperation",
                                                                      "NTURLConnectionOperation");
    auto& methods = ns::ClassMethods::shared();
    methods.setMethod<NTAcceptableStatusCodesMethod>(
        "NTHTTPRequestOperation", kNTAcceptableStatusCodesSelector,
        [](std::string_view) -> std::optional<ns::IndexSet> {
          return ns::IndexSet::indexSetWithIndexesInRange({200, 100});
        });
    methods.setMethod<NTAcceptableContentTypesMethod>(
        "NTHTTPRequestOperation", kNTAcceptableContentTypesSelector,
        [](std::string_view) -> std::optional<NTContentTypeSet> { return std::nullopt; });
    methods.setMethod<NTCanProcessRequestMethod>("NTHTTPRequestOperation", kNTCanProcessRequestSelector,
                                                 [](std::string_view self, const ns::URLRequest& request) {
                                                   return self == "NTHTTPRequestOperation" ||
                                                          canProcessRequestByAcceptHeader(self, request);
                                                 });
  });
}

void NTHTTPRequestOperation::registerResponseClass(const char* name,
                                                   std::function<std::shared_ptr<ns::Object>()> factory,
                                                   std::function<bool(const ns::Object&)> isInstance,
                                                   NTContentTypeSet contentTypes,
                                                   std::set<std::string> pathExtensions) {
  registerClass();
  ns::ClassRegistry::shared().registerClass(name, std::move(factory), "NTHTTPRequestOperation",
                                            std::move(isInstance));
  auto& methods = ns::ClassMethods::shared();
  methods.setMethod<NTAcceptableContentTypesMethod>(
      name, kNTAcceptableContentTypesSelector,
      [contentTypes](std::string_view) -> std::optional<NTContentTypeSet> { return contentTypes; });
  methods.setMethod<NTCanProcessRequestMethod>(
      name, kNTCanProcessRequestSelector,
      [pathExtensions](std::string_view self, const ns::URLRequest& request) {
        const auto& url = request.URL();
        return (url && pathExtensions.count(url->pathExtension()) > 0) ||
               canProcessRequestByAcceptHeader(self, request);
      });
}

// MARK: class operations

std::optional<ns::IndexSet> NTHTTPRequestOperation::acceptableStatusCodes(std::string_view cls) {
  return NTAcceptableStatusCodesOfClass(cls);
}

void NTHTTPRequestOperation::addAcceptableStatusCodes(std::string_view cls, const ns::IndexSet& statusCodes) {
  NTAddAcceptableStatusCodesToClass(cls, statusCodes);
}

std::optional<NTContentTypeSet> NTHTTPRequestOperation::acceptableContentTypes(std::string_view cls) {
  return NTAcceptableContentTypesOfClass(cls);
}

void NTHTTPRequestOperation::addAcceptableContentTypes(std::string_view cls,
                                                       const NTContentTypeSet& contentTypes) {
  NTAddAcceptableContentTypesToClass(cls, contentTypes);
}

bool NTHTTPRequestOperation::canProcessRequest(std::string_view cls, const ns::URLRequest& request) {
  auto method =
      ns::ClassMethods::shared().method<NTCanProcessRequestMethod>(cls, kNTCanProcessRequestSelector);
  return method && method(cls, request);
}

std::shared_ptr<ns::Object> NTHTTPRequestOperation::makeObjectOfClass(std::string_view cls) {
  return ns::ClassRegistry::shared().make(cls);
}

bool NTHTTPRequestOperation::canProcessRequestByAcceptHeader(std::string_view cls,
                                                             const ns::URLRequest& request) {
  auto types = acceptableContentTypes(cls);
  auto accepted = NTContentTypesFromHTTPHeader(request.valueForHTTPHeaderField("Accept"));
  return types && accepted && intersects(*types, *accepted);
}

// MARK: acceptance and errors

ns::HTTPURLResponsePtr NTHTTPRequestOperation::response() const {
  return std::dynamic_pointer_cast<ns::HTTPURLResponse>(NTURLConnectionOperation::response());
}

namespace {
long statusCodeOf(const ns::URLResponsePtr& response) {
  auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response);
  return http ? http->statusCode() : 200;
}
}  // namespace

std::string NTHTTPRequestOperation::acceptingClassName() const {
  std::string name = ns::ClassRegistry::shared().registeredClassOf(*this);
  return name.empty() ? "NTHTTPRequestOperation" : name;
}

bool NTHTTPRequestOperation::hasAcceptableStatusCode() const {
  auto response = NTURLConnectionOperation::response();
  if (!response) return false;
  auto codes = acceptableStatusCodes(acceptingClassName());
  return !codes || codes->containsIndex(statusCodeOf(response));
}

bool NTHTTPRequestOperation::hasAcceptableContentType() const {
  auto response = NTURLConnectionOperation::response();
  if (!response) return false;
  std::string type = response->MIMEType().value_or("application/octet-stream");
  auto types = acceptableContentTypes(acceptingClassName());
  return !types || types->count(type) > 0;
}

ns::ErrorPtr NTHTTPRequestOperation::error() const {
  auto response = NTURLConnectionOperation::response();
  {
    std::lock_guard guard(httpMutex_);
    if (HTTPError_ || !response) return HTTPError_ ? HTTPError_ : NTURLConnectionOperation::error();
  }
  // Built outside the mutex: the body text takes the operation's lock.
  ns::ErrorPtr built = makeHTTPError(response);
  std::lock_guard guard(httpMutex_);
  if (!HTTPError_) HTTPError_ = built;
  return HTTPError_ ? HTTPError_ : NTURLConnectionOperation::error();
}

ns::ErrorPtr NTHTTPRequestOperation::makeHTTPError(const ns::URLResponsePtr& response) const {
  bool statusAccepted = hasAcceptableStatusCode();
  if (statusAccepted && hasAcceptableContentType()) return nullptr;
  auto data = responseData();
  // An empty body of an unacceptable type is no error.
  if (statusAccepted && (!data || data->empty())) return nullptr;
  ns::Dictionary userInfo;
  auto request = this->request();
  if (auto text = responseString()) userInfo.set(ns::kLocalizedRecoverySuggestionErrorKey, *text);
  if (request && request->URL())
    userInfo.set(ns::kURLErrorFailingURLErrorKey, request->URL()->absoluteString());
  if (request) userInfo.set(NTNetworkingOperationFailingURLRequestErrorKey, request);
  userInfo.set(NTNetworkingOperationFailingURLResponseErrorKey, response);
  // No translation table ships with the application, so the English texts are the messages.
  if (!statusAccepted) {
    userInfo.set(
        ns::kLocalizedDescriptionKey,
        ns::format("Expected status code in (%@), got %d",
                   NTStringFromIndexSet(acceptableStatusCodes(acceptingClassName()).value_or(ns::IndexSet())),
                   statusCodeOf(response)));
    return ns::Error::make(NTNetworkingErrorDomain, ns::URLError::BadServerResponse, std::move(userInfo));
  }
  userInfo.set(ns::kLocalizedDescriptionKey,
               ns::format("Expected content type %@, got %@",
                          NTDescribeContentTypes(acceptableContentTypes(acceptingClassName())),
                          response->MIMEType().value_or("")));
  return ns::Error::make(NTNetworkingErrorDomain, ns::URLError::CannotDecodeContentData, std::move(userInfo));
}

// MARK: callbacks

dispatch::QueuePtr NTHTTPRequestOperation::successCallbackQueue() const {
  std::lock_guard guard(httpMutex_);
  return successCallbackQueue_;
}

void NTHTTPRequestOperation::setSuccessCallbackQueue(dispatch::QueuePtr queue) {
  std::lock_guard guard(httpMutex_);
  successCallbackQueue_ = std::move(queue);
}

dispatch::QueuePtr NTHTTPRequestOperation::failureCallbackQueue() const {
  std::lock_guard guard(httpMutex_);
  return failureCallbackQueue_;
}

void NTHTTPRequestOperation::setFailureCallbackQueue(dispatch::QueuePtr queue) {
  std::lock_guard guard(httpMutex_);
  failureCallbackQueue_ = std::move(queue);
}

void NTHTTPRequestOperation::dispatchTo(const dispatch::QueuePtr& queue, std::function<void()> block) {
  dispatch::async(queue ? queue : dispatch::mainQueue(), std::move(block));
}

void NTHTTPRequestOperation::setCompletionBody(
    std::function<void(const NTHTTPRequestOperationPtr& self)> body) {
  std::weak_ptr<NTHTTPRequestOperation> weakSelf = selfAsHTTP();
  setCompletionBlock([weakSelf, body = std::move(body)] {
    auto self = weakSelf.lock();
    if (self && !self->isCancelled()) body(self);
  });
}

void NTHTTPRequestOperation::reportFailure(const FailureBlock& failure,
                                           const NTHTTPRequestOperationPtr& self) {
  if (failure) dispatchTo(self->failureCallbackQueue(), [self, failure] { failure(self, self->error()); });
}

void NTHTTPRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
  setCompletionBody(
      [success = std::move(success), failure = std::move(failure)](const NTHTTPRequestOperationPtr& self) {
        if (self->error()) {
          reportFailure(failure, self);
        } else if (success) {
          dispatchTo(self->successCallbackQueue(), [self, success] {
            auto data = self->responseData();
            success(self, data ? ns::Value(*data) : ns::Value());
          });
        }
      });
}

// MARK: resumption

std::int64_t NTHTTPRequestOperation::bytesHeldByOutputStream() const {
  auto stream = outputStream();
  if (!stream) return 0;
  ns::Value offset = stream->propertyForKey(ns::kStreamFileCurrentOffsetKey);
  if (!offset.isNil()) return offset.longLongValue();
  ns::Value written = stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey);
  return written.asData() ? static_cast<std::int64_t>(written.asData()->length()) : 0;
}

void NTHTTPRequestOperation::prepareForResumption() {
  auto request = this->request();
  if (!request) return;
  auto resumed = request->mutableCopy();
  if (auto response = this->response()) {
    if (auto etag = response->valueForHTTPHeaderField("ETag"))
      resumed->setValueForHTTPHeaderField(*etag, "If-Range");
  }
  resumed->setValueForHTTPHeaderField(
      ns::format("bytes=%llu-", static_cast<unsigned long long>(bytesHeldByOutputStream())), "Range");
  setRequest(std::move(resumed));
}

bool NTHTTPRequestOperation::positionOutputStream(std::int64_t offset) {
  auto stream = outputStream();
  if (!stream) return true;
  std::int64_t held = bytesHeldByOutputStream();
  if (offset > held) return false;
  if (!stream->propertyForKey(ns::kStreamFileCurrentOffsetKey).isNil()) {
    // Truncated as well as rewound, or a shorter body would keep the old tail.
    return stream->setPropertyForKey(ns::Value(offset), ns::kStreamFileCurrentOffsetKey) &&
           stream->truncateAtCurrentOffset();
  }
  if (offset == held) return true;
  // A memory stream cannot shrink: start a new one holding the bytes before the offset.
  ns::Value written = stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey);
  auto fresh = ns::OutputStream::outputStreamToMemory();
  auto loop = ns::RunLoop::currentRunLoop();
  for (const std::string& mode : runLoopModes()) fresh->scheduleInRunLoop(loop, mode);
  fresh->open();
  if (offset > 0 && written.asData())
    fresh->write(written.asData()->bytes(), static_cast<std::size_t>(offset));
  replaceOutputStream(std::move(fresh));
  return true;
}

void NTHTTPRequestOperation::connectionDidReceiveResponse(const ns::URLConnectionPtr& connection,
                                                          const ns::URLResponsePtr& response) {
  setResponse(response);
  std::int64_t total = response ? response->expectedContentLength() : -1;
  std::int64_t offset = 0;
  bool rangeKnown = false;
  auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response);
  long status = statusCodeOf(response);
  if (status == 206) {
    std::string contentRange = http ? http->valueForHTTPHeaderField("Content-Range").value_or("") : "";
    if (contentRange.rfind("bytes", 0) == 0) {
      auto pieces = contentRangePieces(contentRange);
      if (pieces.size() == 4) {
        offset = ns::stringLongLongValue(pieces[1]);
        std::int64_t complete = ns::stringLongLongValue(pieces[3]);
        total = complete != 0 ? complete : -1;
        rangeKnown = true;
      }
    }
  }
  // Repositioning concerns bytes an earlier connection of this operation wrote; a caller's own
  // stream (one opened for appending, say) is left as it is for the first body.
  bool positioned = true;
  if (totalBytesRead() > 0) {
    if (status != 206)
      positioned = positionOutputStream(0);
    else if (rangeKnown)
      positioned = positionOutputStream(std::max<std::int64_t>(offset, 0));
    else
      positioned = bytesHeldByOutputStream() == 0;  // nowhere to put a range it does not name
  }
  offsetContentLength_.store(std::max<std::int64_t>(offset, 0));
  totalContentLength_.store(total);
  if (!positioned) {
    ns::Dictionary userInfo{
        {ns::kLocalizedDescriptionKey, "The partial body does not continue the bytes received."}};
    if (auto request = this->request(); request && request->URL())
      userInfo.set(ns::kURLErrorFailingURLErrorKey, request->URL()->absoluteString());
    failTransfer(ns::Error::make(ns::kURLErrorDomain, ns::URLError::BadServerResponse, std::move(userInfo)));
    return;
  }
  NTURLConnectionOperation::connectionDidReceiveResponse(connection, response);
}
