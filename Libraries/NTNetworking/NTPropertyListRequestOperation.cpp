#include "NTNetworking/NTPropertyListRequestOperation.h"

#include "Foundation/PropertyList.h"
#include "NTNetworking/NTNetworkingConstants.h"

namespace {
const bool registered = (NTPropertyListRequestOperation::registerClass(), true);
}  // namespace

void NTPropertyListRequestOperation::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerResponseClass<NTPropertyListRequestOperation>("NTPropertyListRequestOperation",
                                                          {"application/x-plist"}, {"plist"});
  });
}

dispatch::QueuePtr NTPropertyListRequestOperation::processingQueue() {
  static const auto* queue = new dispatch::QueuePtr(
      dispatch::queueCreate(NT_NETWORKING_PREFIX "networking.property-list-request.processing"));
  return *queue;
}

bool NTPropertyListRequestOperation::setUpWithRequest(ns::URLRequestPtr request) {
  if (!NTHTTPRequestOperation::setUpWithRequest(std::move(request))) return false;
  setPropertyListReadOptions(0);
  return true;
}

std::uint64_t NTPropertyListRequestOperation::propertyListReadOptions() const {
  std::lock_guard guard(plistMutex_);
  return propertyListReadOptions_;
}

void NTPropertyListRequestOperation::setPropertyListReadOptions(std::uint64_t options) {
  std::lock_guard guard(plistMutex_);
  propertyListReadOptions_ = options;
}

std::uint64_t NTPropertyListRequestOperation::propertyListFormat() const {
  std::lock_guard guard(plistMutex_);
  return propertyListFormat_;
}

void NTPropertyListRequestOperation::setPropertyListFormat(std::uint64_t format) {
  std::lock_guard guard(plistMutex_);
  propertyListFormat_ = format;
}

ns::ErrorPtr NTPropertyListRequestOperation::propertyListError() const {
  std::lock_guard guard(plistMutex_);
  return propertyListError_;
}

void NTPropertyListRequestOperation::setPropertyListError(ns::ErrorPtr error) {
  std::lock_guard guard(plistMutex_);
  propertyListError_ = std::move(error);
}

ns::Value NTPropertyListRequestOperation::responsePropertyList() const {
  std::lock_guard guard(plistMutex_);
  if (responsePropertyList_.isNil() && isFinished()) {
    auto data = responseData();
    if (data && !data->empty()) {
      // The reader's containers are immutable values whatever the mutability option asks.
      ns::PropertyListFormat format{};
      ns::ErrorPtr error;
      responsePropertyList_ = ns::PropertyListSerialization::propertyListWithData(*data, &format, &error);
      propertyListFormat_ = responsePropertyList_.isNil() ? 0 : static_cast<std::uint64_t>(format);
      propertyListError_ = responsePropertyList_.isNil() ? error : nullptr;
    }
  }
  return responsePropertyList_;
}

ns::ErrorPtr NTPropertyListRequestOperation::error() const {
  if (auto error = propertyListError()) return error;
  return NTHTTPRequestOperation::error();
}

void NTPropertyListRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success,
                                                                   FailureBlock failure) {
  setCompletionBody(
      [success = std::move(success), failure = std::move(failure)](const NTHTTPRequestOperationPtr& op) {
        if (op->error()) {
          reportFailure(failure, op);
          return;
        }
        auto self = std::static_pointer_cast<NTPropertyListRequestOperation>(op);
        dispatch::async(processingQueue(), [self, success, failure] {
          ns::Value propertyList = self->responsePropertyList();
          if (self->propertyListError())
            reportFailure(failure, self);
          else if (success)
            dispatchTo(self->successCallbackQueue(),
                       [self, success, propertyList] { success(self, propertyList); });
        });
      });
}

std::shared_ptr<NTPropertyListRequestOperation>
NTPropertyListRequestOperation::propertyListRequestOperationWithRequest(std::string_view cls,
                                                                        ns::URLRequestPtr request,
                                                                        RequestSuccessBlock success,
                                                                        RequestFailureBlock failure) {
  auto operation = makeOperationOfClass<NTPropertyListRequestOperation>(cls, std::move(request));
  if (!operation) return nullptr;
  operation->setCompletionBlockWithSuccess(
      [success](const NTHTTPRequestOperationPtr& op, const ns::Value& propertyList) {
        if (success) success(op->request(), op->response(), propertyList);
      },
      [failure](const NTHTTPRequestOperationPtr& op, const ns::ErrorPtr& error) {
        // Read here, on the failure queue: after an HTTP error this decodes a property-list body.
        auto propertyList =
            std::static_pointer_cast<NTPropertyListRequestOperation>(op)->responsePropertyList();
        if (failure) failure(op->request(), op->response(), error, propertyList);
      });
  return operation;
}

std::int64_t NTPropertyListRequestOperation::maximumResponseLength() const {
  return kNTMaximumDecodedResponseLength;
}
