#include "NTNetworking/NTXMLRequestOperation.h"

#include "NTNetworking/NTNetworkingConstants.h"

namespace {
const bool registered = (NTXMLRequestOperation::registerClass(), true);
}  // namespace

void NTXMLRequestOperation::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerResponseClass<NTXMLRequestOperation>("NTXMLRequestOperation", {"application/xml", "text/xml"},
                                                 {"xml"});
  });
}

dispatch::QueuePtr NTXMLRequestOperation::processingQueue() {
  static const auto* queue =
      new dispatch::QueuePtr(dispatch::queueCreate(NT_NETWORKING_PREFIX "networking.xml-request.processing"));
  return *queue;
}

ns::XMLParserPtr NTXMLRequestOperation::responseXMLParser() const {
  std::lock_guard guard(xmlMutex_);
  if (!responseXMLParser_ && isFinished()) {
    auto data = responseData();
    if (data && !data->empty()) responseXMLParser_ = std::make_shared<ns::XMLParser>()->initWithData(*data);
  }
  return responseXMLParser_;
}

void NTXMLRequestOperation::setResponseXMLParser(ns::XMLParserPtr parser) {
  std::lock_guard guard(xmlMutex_);
  responseXMLParser_ = std::move(parser);
}

ns::ErrorPtr NTXMLRequestOperation::XMLError() const {
  std::lock_guard guard(xmlMutex_);
  return XMLError_;
}

void NTXMLRequestOperation::setXMLError(ns::ErrorPtr error) {
  std::lock_guard guard(xmlMutex_);
  XMLError_ = std::move(error);
}

ns::ErrorPtr NTXMLRequestOperation::error() const {
  if (auto error = XMLError()) return error;
  return NTHTTPRequestOperation::error();
}

void NTXMLRequestOperation::cancel() {
  NTHTTPRequestOperation::cancel();
  ns::XMLParserPtr parser;
  {
    std::lock_guard guard(xmlMutex_);
    parser = responseXMLParser_;
  }
  if (parser) parser->setDelegate(nullptr);
}

void NTXMLRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
  setCompletionBody(
      [success = std::move(success), failure = std::move(failure)](const NTHTTPRequestOperationPtr& op) {
        auto self = std::static_pointer_cast<NTXMLRequestOperation>(op);
        dispatch::async(processingQueue(), [self, success, failure] {
          auto parser = self->responseXMLParser();
          if (self->error())
            reportFailure(failure, self);
          else if (success)
            dispatchTo(self->successCallbackQueue(),
                       [self, success, parser] { success(self, ns::Value(parser)); });
        });
      });
}

std::shared_ptr<NTXMLRequestOperation> NTXMLRequestOperation::XMLParserRequestOperationWithRequest(
    std::string_view cls, ns::URLRequestPtr request, RequestSuccessBlock success,
    RequestFailureBlock failure) {
  auto operation = makeOperationOfClass<NTXMLRequestOperation>(cls, std::move(request));
  if (!operation) return nullptr;
  operation->setCompletionBlockWithSuccess(
      [success](const NTHTTPRequestOperationPtr& op, const ns::Value& parser) {
        if (success) success(op->request(), op->response(), parser.asObject<ns::XMLParser>());
      },
      [failure](const NTHTTPRequestOperationPtr& op, const ns::ErrorPtr& error) {
        auto parser = std::static_pointer_cast<NTXMLRequestOperation>(op)->responseXMLParser();
        if (failure) failure(op->request(), op->response(), error, parser);
      });
  return operation;
}

std::int64_t NTXMLRequestOperation::maximumResponseLength() const { return kNTMaximumDecodedResponseLength; }
