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
    registerResponseClass<NTJSONRequestOperation>(
        "NTJSONRequestOperation", {"application/json", "text/json", "text/javascript"}, {"json"});
  });
}

dispatch::QueuePtr NTJSONRequestOperation::processingQueue() {
  static const auto* queue = new dispatch::QueuePtr(
      dispatch::queueCreate(NT_NETWORKING_PREFIX "networking.json-request.processing"));
  return *queue;
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
  if (responseJSON_.isNil() && !JSONError_ && !responseJSONProcessed_ && isFinished()) {
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

void NTJSONRequestOperation::setJSONProcessingBlock(JSONProcessingBlock block) {
  std::lock_guard guard(jsonMutex_);
  processing_ = std::move(block);
}

ns::Value NTJSONRequestOperation::processedResponseJSON() {
  ns::Value JSON = responseJSON();
  JSONProcessingBlock processing;
  {
    std::lock_guard guard(jsonMutex_);
    processing = processing_;
    if (!processing) return JSON;
    responseJSON_ = ns::Value();
    responseJSONProcessed_ = true;
  }
  return processing(JSON);
}

void NTJSONRequestOperation::runCompletion(std::function<void()> completion) {
  dispatch::async(processingQueue(), std::move(completion));
}

void NTJSONRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
  // Runs on the processing queue (runCompletion), where the body is decoded.
  setCompletionBody(
      [success = std::move(success), failure = std::move(failure)](const NTHTTPRequestOperationPtr& op) {
        if (op->error()) {
          reportFailure(failure, op);
          return;
        }
        auto self = std::static_pointer_cast<NTJSONRequestOperation>(op);
        ns::Value JSON = self->responseJSON();
        if (self->JSONError()) {
          reportFailure(failure, self);
        } else if (success) {
          // Only what the processing step keeps outlives this block.
          JSON = self->processedResponseJSON();
          dispatchTo(self->successCallbackQueue(), [self, success, JSON = std::move(JSON)]() mutable {
            success(self, JSON);
            // The decoded value (and the operation, which keeps it) are let go back on the processing
            // queue, whose thread allocated the value: the allocator frees blocks on their own thread
            // cheaply, where blocks freed from another thread must later be collected one by one.
            dispatch::async(processingQueue(), [self = std::move(self), JSON = std::move(JSON)] {});
          });
        }
      });
}

std::shared_ptr<NTJSONRequestOperation> NTJSONRequestOperation::JSONRequestOperationWithRequest(
    std::string_view cls, ns::URLRequestPtr request, RequestSuccessBlock success,
    RequestFailureBlock failure) {
  auto operation = makeOperationOfClass<NTJSONRequestOperation>(cls, std::move(request));
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

std::shared_ptr<NTJSONRequestOperation> NTJSONRequestOperation::JSONRequestOperationWithRequest(
    ns::URLRequestPtr request, JSONProcessingBlock processing, RequestSuccessBlock success,
    RequestFailureBlock failure) {
  auto operation =
      JSONRequestOperationWithRequest(std::move(request), std::move(success), std::move(failure));
  if (operation) operation->setJSONProcessingBlock(std::move(processing));
  return operation;
}

std::int64_t NTJSONRequestOperation::maximumResponseLength() const { return kNTMaximumDecodedResponseLength; }
