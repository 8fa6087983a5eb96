#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "Dispatch/Dispatch.h"
#include "Foundation/IndexSet.h"
#include "Foundation/Value.h"
#include "NTNetworking/NTAcceptableValues.h"
#include "NTNetworking/NTURLConnectionOperation.h"

// Error domain and user-info keys of HTTP-level failures (values equal their names).
extern const char* const NTNetworkingErrorDomain;
extern const char* const NTNetworkingOperationFailingURLRequestErrorKey;
extern const char* const NTNetworkingOperationFailingURLResponseErrorKey;

class NTHTTPRequestOperation;
using NTHTTPRequestOperationPtr = std::shared_ptr<NTHTTPRequestOperation>;

// canProcessRequest: as a class method (receiving class name, request).
using NTCanProcessRequestMethod = bool(std::string_view cls, const ns::URLRequest& request);

// A URL connection operation that speaks HTTP: per-class acceptable status codes and content
// types, the error a response outside them gives, success and failure callbacks on chosen
// queues (the main queue by default), and resumption of a paused download with a Range request.
//
// Class operations take the receiving class's name first, as a message to a class object would;
// the forms without one act on the class they are called on (subclasses declare their own).
class NTHTTPRequestOperation : public NTURLConnectionOperation {
 public:
  using SuccessBlock = std::function<void(const std::shared_ptr<NTHTTPRequestOperation>& operation,
                                          const ns::Value& responseObject)>;
  using FailureBlock = std::function<void(const std::shared_ptr<NTHTTPRequestOperation>& operation,
                                          const ns::ErrorPtr& error)>;

  static void registerClass();

  std::shared_ptr<NTHTTPRequestOperation> initWithRequest(ns::URLRequestPtr request) {
    return initAs<NTHTTPRequestOperation>(std::move(request));
  }

  ns::HTTPURLResponsePtr response() const;
  // The HTTP error when the response is outside the acceptable values, else the connection's.
  ns::ErrorPtr error() const override;
  bool hasAcceptableStatusCode() const;
  bool hasAcceptableContentType() const;

  // Installs the completion closure: nothing for a cancelled operation, else the failure
  // closure with the error or the success closure with the response object (the body here),
  // each on its callback queue.
  virtual void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure);

  dispatch::QueuePtr successCallbackQueue() const;
  void setSuccessCallbackQueue(dispatch::QueuePtr queue);
  dispatch::QueuePtr failureCallbackQueue() const;
  void setFailureCallbackQueue(dispatch::QueuePtr queue);

  std::int64_t totalContentLength() const { return totalContentLength_.load(); }
  std::int64_t offsetContentLength() const { return offsetContentLength_.load(); }

  // Class operations.
  static std::optional<ns::IndexSet> acceptableStatusCodes(std::string_view cls);
  static std::optional<ns::IndexSet> acceptableStatusCodes() {
    return acceptableStatusCodes("NTHTTPRequestOperation");
  }
  static void addAcceptableStatusCodes(std::string_view cls, const ns::IndexSet& statusCodes);
  static void addAcceptableStatusCodes(const ns::IndexSet& statusCodes) {
    addAcceptableStatusCodes("NTHTTPRequestOperation", statusCodes);
  }
  static std::optional<NTContentTypeSet> acceptableContentTypes(std::string_view cls);
  static std::optional<NTContentTypeSet> acceptableContentTypes() {
    return acceptableContentTypes("NTHTTPRequestOperation");
  }
  static void addAcceptableContentTypes(std::string_view cls, const NTContentTypeSet& contentTypes);
  static void addAcceptableContentTypes(const NTContentTypeSet& contentTypes) {
    addAcceptableContentTypes("NTHTTPRequestOperation", contentTypes);
  }
  // Whether the class handles the request; false for a class that is no HTTP request operation.
  static bool canProcessRequest(std::string_view cls, const ns::URLRequest& request);
  static bool canProcessRequest(const ns::URLRequest& request) {
    return canProcessRequest("NTHTTPRequestOperation", request);
  }

  void connectionDidReceiveResponse(const ns::URLConnectionPtr& connection,
                                    const ns::URLResponsePtr& response) override;

 protected:
  // Registers a class of response operation derived from this one: its acceptable content types,
  // and the path extensions it claims whatever the request's Accept header says.
  template <class T>
  static void registerResponseClass(const char* name, NTContentTypeSet contentTypes,
                                    std::set<std::string> pathExtensions) {
    registerResponseClass(
        name, [] { return std::static_pointer_cast<ns::Object>(std::make_shared<T>()); },
        [](const ns::Object& object) { return dynamic_cast<const T*>(&object) != nullptr; },
        std::move(contentTypes), std::move(pathExtensions));
  }
  static void registerResponseClass(const char* name, std::function<std::shared_ptr<ns::Object>()> factory,
                                    std::function<bool(const ns::Object&)> isInstance,
                                    NTContentTypeSet contentTypes, std::set<std::string> pathExtensions);

  // A new operation of the named class, set up with the request, when that class is T or is
  // registered as derived from it; nullptr otherwise.
  template <class T>
  static std::shared_ptr<T> makeOperationOfClass(std::string_view cls, ns::URLRequestPtr request) {
    auto made = std::dynamic_pointer_cast<T>(makeObjectOfClass(cls));
    return made ? made->initWithRequest(std::move(request)) : nullptr;
  }
  static std::shared_ptr<ns::Object> makeObjectOfClass(std::string_view cls);

  // The test every subclass falls back on: the class's content types against the Accept header.
  static bool canProcessRequestByAcceptHeader(std::string_view cls, const ns::URLRequest& request);

  void prepareForResumption() override;

  // Queues a callback on the given queue, or on the main queue when none.
  static void dispatchTo(const dispatch::QueuePtr& queue, std::function<void()> block);
  // Installs the completion closure: nothing for a cancelled operation, else `body` with the
  // operation, on the completion thread. The closure holds the operation weakly: a running
  // operation is kept alive until its completion has run, and one that never starts must not
  // keep itself alive through its own closure.
  void setCompletionBody(std::function<void(const NTHTTPRequestOperationPtr& self)> body);
  // Queues the failure closure, if any, with the operation and its error on the failure queue.
  static void reportFailure(const FailureBlock& failure, const NTHTTPRequestOperationPtr& self);

  std::shared_ptr<NTHTTPRequestOperation> selfAsHTTP() {
    return std::static_pointer_cast<NTHTTPRequestOperation>(shared_from_this());
  }

 private:
  ns::ErrorPtr makeHTTPError(const ns::URLResponsePtr& response) const;
  // The class whose acceptable values apply: this object's own, or for an unregistered subclass
  // the nearest registered class it derives from.
  std::string acceptingClassName() const;
  // Bytes the output stream already holds: its file offset, or what the memory stream holds.
  std::int64_t bytesHeldByOutputStream() const;
  // Puts the output stream at `offset`, dropping what follows; false when it holds less.
  bool positionOutputStream(std::int64_t offset);

  mutable std::mutex httpMutex_;
  mutable ns::ErrorPtr HTTPError_;
  dispatch::QueuePtr successCallbackQueue_;
  dispatch::QueuePtr failureCallbackQueue_;
  std::atomic<std::int64_t> totalContentLength_{0};
  std::atomic<std::int64_t> offsetContentLength_{0};
};

// In a subclass's declaration: its class operations, acting on the class registered as `name`
// (the inherited forms would act on NTHTTPRequestOperation).
#define NT_HTTP_REQUEST_OPERATION_CLASS_OPERATIONS(name)                                                     \
  using NTHTTPRequestOperation::acceptableContentTypes;                                                      \
  using NTHTTPRequestOperation::acceptableStatusCodes;                                                       \
  using NTHTTPRequestOperation::addAcceptableContentTypes;                                                   \
  using NTHTTPRequestOperation::addAcceptableStatusCodes;                                                    \
  using NTHTTPRequestOperation::canProcessRequest;                                                           \
  static std::optional<ns::IndexSet> acceptableStatusCodes() { return acceptableStatusCodes(name); }         \
  static void addAcceptableStatusCodes(const ns::IndexSet& codes) { addAcceptableStatusCodes(name, codes); } \
  static std::optional<NTContentTypeSet> acceptableContentTypes() { return acceptableContentTypes(name); }   \
  static void addAcceptableContentTypes(const NTContentTypeSet& types) {                                     \
    addAcceptableContentTypes(name, types);                                                                  \
  }                                                                                                          \
  static bool canProcessRequest(const ns::URLRequest& request) { return canProcessRequest(name, request); }
