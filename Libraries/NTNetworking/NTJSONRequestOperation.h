#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "Foundation/Value.h"
#include "NTNetworking/NTHTTPRequestOperation.h"

// An HTTP request operation for JSON replies: JSON content types, the body decoded on the
// process's JSON processing queue, and a decoding failure reported as the operation's error.
class NTJSONRequestOperation : public NTHTTPRequestOperation {
 public:
  using RequestSuccessBlock = std::function<void(
      const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response, const ns::Value& JSON)>;
  using RequestFailureBlock =
      std::function<void(const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response,
                         const ns::ErrorPtr& error, const ns::Value& JSON)>;

  // Turns the decoded body into what the caller keeps, on the processing queue.
  using JSONProcessingBlock = std::function<ns::Value(const ns::Value& JSON)>;

  static void registerClass();

  std::shared_ptr<NTJSONRequestOperation> initWithRequest(ns::URLRequestPtr request) {
    return initAs<NTJSONRequestOperation>(std::move(request));
  }

  // A new, not yet started operation whose callbacks get the request, the response and the
  // decoded value (the failure callback also the error); both run on the main queue.
  static std::shared_ptr<NTJSONRequestOperation> JSONRequestOperationWithRequest(
      ns::URLRequestPtr request, RequestSuccessBlock success, RequestFailureBlock failure) {
    return JSONRequestOperationWithRequest("NTJSONRequestOperation", std::move(request), std::move(success),
                                           std::move(failure));
  }
  // The same, made of the named class (the receiving class): this one or a registered subclass;
  // nullptr for any other name.
  static std::shared_ptr<NTJSONRequestOperation> JSONRequestOperationWithRequest(std::string_view cls,
                                                                                 ns::URLRequestPtr request,
                                                                                 RequestSuccessBlock success,
                                                                                 RequestFailureBlock failure);

  // The same with a processing step: `processing` runs on the processing queue on the decoded
  // body, and the success callback gets what it returns. The decoded body is let go there, before
  // the next body of the process is decoded, so that a large reply of which the caller keeps a
  // little costs its whole size only while it is read. `processing` must not throw.
  static std::shared_ptr<NTJSONRequestOperation> JSONRequestOperationWithRequest(
      ns::URLRequestPtr request, JSONProcessingBlock processing, RequestSuccessBlock success,
      RequestFailureBlock failure);

  // The decoded body: nil before the operation finished, for an empty body, after a decoding
  // failure (which is kept in JSONError and not retried) and once a processing step has run.
  ns::Value responseJSON() const;
  ns::ErrorPtr JSONError() const;
  // The decoding error when there is one, else the HTTP or connection error.
  ns::ErrorPtr error() const override;

  std::uint64_t JSONReadingOptions() const;
  void setJSONReadingOptions(std::uint64_t options);

  // The success closure gets the decoded value, or what the processing step made of it.
  void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;
  // Set before start; see the processing form of JSONRequestOperationWithRequest.
  void setJSONProcessingBlock(JSONProcessingBlock block);

  // Class operations.
  NT_HTTP_REQUEST_OPERATION_CLASS_OPERATIONS("NTJSONRequestOperation")

  // The serial queue every JSON body of the process is decoded on.
  static dispatch::QueuePtr processingQueue();

 protected:
  // Bodies past kNTMaximumDecodedResponseLength fail the operation before they are decoded.
  std::int64_t maximumResponseLength() const override;
  // The completion closure runs on the processing queue, so the body it decodes there needs no
  // further hand-off.
  void runCompletion(std::function<void()> completion) final;

 private:
  // What the success closure gets: the decoded body, or the processing step's result, after which
  // the operation no longer holds the body.
  ns::Value processedResponseJSON();

  mutable std::mutex jsonMutex_;
  mutable ns::Value responseJSON_;
  mutable ns::ErrorPtr JSONError_;
  mutable bool responseJSONProcessed_ = false;
  JSONProcessingBlock processing_;
  std::uint64_t JSONReadingOptions_ = 0;
};

using NTJSONRequestOperationPtr = std::shared_ptr<NTJSONRequestOperation>;
