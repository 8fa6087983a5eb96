#include "NTNetworking/NTJSONRequestOperation.h"

#include "Foundation/ClassRegistry.h"
#include "Foundation/JSONSerialization.h"
#include "NTNetworking/NTNetworkingConstants.h"

namespace {
const bool registered = (NTJSONRequestOperation::registerClass(), true);
}  // namespace

void NTJSONRequestOperation::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    NTHTTPRequestOperation::registerClass();
    ns::ClassRegistry::shared().registerClass<NTJSONRequestOperation>("NTJSONRequestOperation",
                                                                      "NTHTTPRequestOperation");
    auto& methods = ns::ClassMethods::shared();
    methods.setMethod<NTAcceptableContentTypesMethod>(
        "NTJSONRequestOperation", kNTAcceptableContentTypesSelector,
        [](std::string_view) -> std::optional<NTContentTypeSet> {
          return NTContentTypeSet{"application/json", "text/json", "text/javascript"};
        });
    methods.setMethod<NTCanProcessRequestMethod>("NTJSONRequestOperation", kNTCanProcessRequestSelector,
                                                 [](std::string_view self, const ns::URLRequest& request) {
                                                   auto url = request.URL();
                                                   return (url && url->pathExtension() == "json") ||
                                                          canProcessRequestByAcceptHeader(self, request);
                                                 });
  });
}

dispatch::QueuePtr NTJSONRequestOperation::processingQueue() {
  static const dispatch::QueuePtr queue =
      dispatch::queueCreate(NT_NETWORKING_PREFIX "networking.json-request.processing");
  return queue;
}

std::uint64_t NTJSONRequestOperation::JSONReadingOptions() const {
  std::lock_guard guard(jsonMutex_);
  return JSONReadingOptions_;
}

void NTJSONRequestOperation::setJSONReadingOptions(std::uint64_t options) {
  std::lock_guard guard(jsonMutex_);
  JSONReadingOptions_ = options;
}

ns::Value NTJSONRequestOperation::responseJSON() const {
  std::lock_guard guard(jsonMutex_);
  if (responseJSON_.isNil() && !JSONError_ && isFinished()) {
    auto data = responseData();
    if (data && !data->empty()) {
      ns::ErrorPtr error;
      responseJSON_ = ns::JSONSerialization::JSONObjectWithData(*data, &error);
      if (responseJSON_.isNil()) JSONError_ = error;
    }
  }
  return responseJSON_;
}

ns::ErrorPtr NTJSONRequestOperation::JSONError() const {
  std::lock_guard guard(jsonMutex_);
  return JSONError_;
}

ns::ErrorPtr NTJSONRequestOperation::error() const {
  if (auto error = JSONError()) return error;
  return NTHTTPRequestOperation::error();
}

void NTJSONRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
  std::weak_ptr<NTJSONRequestOperation> weakSelf =
      std::static_pointer_cast<NTJSONRequestOperation>(selfAsHTTP());
  setCompletionBlock([weakSelf, success = std::move(success), failure = std::move(failure)] {
    auto self = weakSelf.lock();
    if (!self || self->isCancelled()) return;
    if (self->error()) {
      if (failure)
        dispatchTo(self->failureCallbackQueue(), [self, failure] { failure(self, self->error()); });
      return;
    }
    dispatch::async(processingQueue(), [self, success, failure] {
      ns::Value JSON = self->responseJSON();
      if (self->JSONError()) {
        if (failure)
          dispatchTo(self->failureCallbackQueue(), [self, failure] { failure(self, self->error()); });
      } else if (success) {
        dispatchTo(self->successCallbackQueue(), [self, success, JSON] { success(self, JSON); });
      }
    });
  });
}

std::shared_ptr<NTJSONRequestOperation> NTJSONRequestOperation::JSONRequestOperationWithRequest(
    ns::URLRequestPtr request, RequestSuccessBlock success, RequestFailureBlock failure) {
  auto operation = std::make_shared<NTJSONRequestOperation>()->initWithRequest(std::move(request));
  if (!operation) return nullptr;
  operation->setCompletionBlockWithSuccess(
      [success](const NTHTTPRequestOperationPtr& op, const ns::Value& JSON) {
        if (success) success(op->request(), op->response(), JSON);
      },
      [failure](const NTHTTPRequestOperationPtr& op, const ns::ErrorPtr& error) {
        // Read here, on the failure queue: after an HTTP error this decodes a JSON error body.
        auto json = std::static_pointer_cast<NTJSONRequestOperation>(op)->responseJSON();
        if (failure) failure(op->request(), op->response(), error, json);
      });
  return operation;
}
