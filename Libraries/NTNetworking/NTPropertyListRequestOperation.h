#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "Foundation/Value.h"
#include "NTNetworking/NTHTTPRequestOperation.h"

// An HTTP request operation for property-list replies (XML or binary), decoded on the process's
// property-list processing queue; a decoding failure is reported as the operation's error.
class NTPropertyListRequestOperation : public NTHTTPRequestOperation {
 public:
  using RequestSuccessBlock =
      std::function<void(const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response,
                         const ns::Value& propertyList)>;
  using RequestFailureBlock =
      std::function<void(const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response,
                         const ns::ErrorPtr& error, const ns::Value& propertyList)>;

  static void registerClass();

  std::shared_ptr<NTPropertyListRequestOperation> initWithRequest(ns::URLRequestPtr request) {
    return initAs<NTPropertyListRequestOperation>(std::move(request));
  }

  // A new, not yet started operation whose callbacks get the request, the response and the
  // decoded value (the failure callback also the error); both run on the main queue.
  static std::shared_ptr<NTPropertyListRequestOperation> propertyListRequestOperationWithRequest(
      ns::URLRequestPtr request, RequestSuccessBlock success, RequestFailureBlock failure) {
    return propertyListRequestOperationWithRequest("NTPropertyListRequestOperation", std::move(request),
                                                   std::move(success), std::move(failure));
  }
  // The same, made of the named class (the receiving class): this one or a registered subclass;
  // nullptr for any other name.
  static std::shared_ptr<NTPropertyListRequestOperation> propertyListRequestOperationWithRequest(
      std::string_view cls, ns::URLRequestPtr request, RequestSuccessBlock success,
      RequestFailureBlock failure);

  // The decoded body: nil before the operation finished and for an empty body. After a decoding
  // failure a later read tries again.
  ns::Value responsePropertyList() const;
  // The decoding error when there is one, else the HTTP or connection error.
  ns::ErrorPtr error() const override;

  std::uint64_t propertyListReadOptions() const;
  void setPropertyListReadOptions(std::uint64_t options);
  // The format the reader found (the platform's format values; 0 before decoding).
  std::uint64_t propertyListFormat() const;
  void setPropertyListFormat(std::uint64_t format);
  ns::ErrorPtr propertyListError() const;
  void setPropertyListError(ns::ErrorPtr error);

  // The success closure gets the decoded value.
  void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;

  // Class operations.
  NT_HTTP_REQUEST_OPERATION_CLASS_OPERATIONS("NTPropertyListRequestOperation")

  // The serial queue every property-list body of the process is decoded on.
  static dispatch::QueuePtr processingQueue();

 protected:
  bool setUpWithRequest(ns::URLRequestPtr request) override;
  // Bodies past kNTMaximumDecodedResponseLength fail the operation before they are decoded.
  std::int64_t maximumResponseLength() const override;

 private:
  mutable std::mutex plistMutex_;
  mutable ns::Value responsePropertyList_;
  mutable std::uint64_t propertyListFormat_ = 0;
  mutable ns::ErrorPtr propertyListError_;
  std::uint64_t propertyListReadOptions_ = 0;
};

using NTPropertyListRequestOperationPtr = std::shared_ptr<NTPropertyListRequestOperation>;
