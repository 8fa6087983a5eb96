#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "Foundation/XMLParser.h"
#include "NTNetworking/NTHTTPRequestOperation.h"

// An HTTP request operation for XML replies. It does not parse: the success callback receives an
// event-driven parser over the body, not yet run, which the receiver gives a delegate and runs.
// Malformed XML therefore shows only when the parser runs. The parser never loads external
// entities, so a reply cannot make the client fetch other URLs.
class NTXMLRequestOperation : public NTHTTPRequestOperation {
 public:
  using RequestSuccessBlock =
      std::function<void(const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response,
                         const ns::XMLParserPtr& parser)>;
  using RequestFailureBlock =
      std::function<void(const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response,
                         const ns::ErrorPtr& error, const ns::XMLParserPtr& parser)>;

  static void registerClass();

  std::shared_ptr<NTXMLRequestOperation> initWithRequest(ns::URLRequestPtr request) {
    return initAs<NTXMLRequestOperation>(std::move(request));
  }

  // A new, not yet started operation whose callbacks get the request, the response and the
  // parser (the failure callback also the error); both run on the main queue.
  static std::shared_ptr<NTXMLRequestOperation> XMLParserRequestOperationWithRequest(
      ns::URLRequestPtr request, RequestSuccessBlock success, RequestFailureBlock failure) {
    return XMLParserRequestOperationWithRequest("NTXMLRequestOperation", std::move(request),
                                                std::move(success), std::move(failure));
  }
  // The same, made of the named class (the receiving class): this one or a registered subclass;
  // nullptr for any other name.
  static std::shared_ptr<NTXMLRequestOperation> XMLParserRequestOperationWithRequest(
      std::string_view cls, ns::URLRequestPtr request, RequestSuccessBlock success,
      RequestFailureBlock failure);

  // A parser over the body, made once the operation finished with a non-empty body.
  ns::XMLParserPtr responseXMLParser() const;
  void setResponseXMLParser(ns::XMLParserPtr parser);
  ns::ErrorPtr XMLError() const;
  void setXMLError(ns::ErrorPtr error);
  // XMLError when set, else the HTTP or connection error.
  ns::ErrorPtr error() const override;

  // Also takes the delegate away from a parser already made.
  void cancel() override;

  // The success closure gets the parser (as an object value; nil for an empty body).
  void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;

  // Class operations.
  NT_HTTP_REQUEST_OPERATION_CLASS_OPERATIONS("NTXMLRequestOperation")

  // The serial queue on which every XML operation of the process makes its parser.
  static dispatch::QueuePtr processingQueue();

 protected:
  // Bodies past kNTMaximumDecodedResponseLength fail the operation before they are decoded.
  std::int64_t maximumResponseLength() const override;

 private:
  mutable std::mutex xmlMutex_;
  mutable ns::XMLParserPtr responseXMLParser_;
  ns::ErrorPtr XMLError_;
};

using NTXMLRequestOperationPtr = std::shared_ptr<NTXMLRequestOperation>;
