#include "NTNetworking/NTHTTPClient.h"

#include <algorithm>

#include "Dispatch/Dispatch.h"
#include "Foundation/Base64.h"
#include "Foundation/Bundle.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/JSONSerialization.h"
#include "Foundation/KeyedArchiver.h"
#include "Foundation/Locale.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"
#include "NTNetworking/NTQueryStringPair.h"
#include "NTNetworking/NTStreamingMultipartFormData.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

namespace {
const bool registered = (NTHTTPClient::registerClass(), true);

constexpr const char* kHTTPRequestOperationClass = "NTHTTPRequestOperation";
// What RFC 3986 allows in a query as it is: unreserved, sub-delimiters, ":@/?" and the escapes
// already made.
constexpr std::string_view kQueryCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~!$&'()*+,;=:@/?%";
}  // namespace

void NTHTTPClient::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] { ns::ClassRegistry::shared().registerClass<NTHTTPClient>("NTHTTPClient"); });
}

std::shared_ptr<NTHTTPClient> NTHTTPClient::clientWithBaseURL(const std::optional<ns::URL>& url) {
  return std::make_shared<NTHTTPClient>()->initWithBaseURL(url);
}

std::shared_ptr<NTHTTPClient> NTHTTPClient::initWithBaseURL(const std::optional<ns::URL>& url) {
  NS_PARAMETER_ASSERT(url);
  NTHTTPRequestOperation::registerClass();

  ns::URL base = *url;
  if (!base.path().empty() && !base.absoluteString().ends_with("/"))
    base = base.URLByAppendingPathComponent("");
  baseURL_ = std::move(base);

  stringEncoding_ = ns::UTF8StringEncoding;
  parameterEncoding_ = NTFormURLParameterEncoding;
  registeredHTTPOperationClassNames_.clear();
  defaultHeaders_.clear();

  setDefaultHeader("Accept-Language", ns::format("%@, en-us;q=0.8", ns::componentsJoinedByString(
                                                                        ns::preferredLanguages(), ", ")));

  auto bundle = ns::Bundle::mainBundle();
  std::string name = bundle->executable();
  if (name.empty()) name = bundle->bundleIdentifier();
  double scale = ui::Screen::mainScreen()->scale();
  setDefaultHeader("User-Agent",
                   ns::format("%@/%@ (%@; iOS %@; Scale/%0.2f)", name, bundle->version(),
                              ui::Device::currentDevice()->model(),
                              ui::Device::currentDevice()->systemVersion(), scale > 0 ? scale : 1.0));

  networkReachabilityStatus_ = NTNetworkReachabilityStatusUnknown;
  startMonitoringNetworkReachability();

  operationQueue_ = std::make_shared<ns::OperationQueue>();
  operationQueue_->setMaxConcurrentOperationCount(ns::OperationQueue::kDefaultMaxConcurrentOperationCount);
  return std::static_pointer_cast<NTHTTPClient>(shared_from_this());
}

NTHTTPClient::~NTHTTPClient() { stopMonitoringNetworkReachability(); }

std::string NTHTTPClient::describe() const {
  ns::Array names(registeredHTTPOperationClassNames_.begin(), registeredHTTPOperationClassNames_.end());
  return ns::format(
      "<%@: %p, baseURL: %@, defaultHeaders: %@, registeredOperationClasses: %@, operationQueue: %@>",
      className(), static_cast<const void*>(this), baseURL_.absoluteString(), defaultHeaders_, names,
      operationQueue_);
}

// MARK: operation classes

bool NTHTTPClient::registerHTTPOperationClass(std::string_view operationClassName) {
  if (!ns::ClassRegistry::shared().isSubclassOf(operationClassName, kHTTPRequestOperationClass)) return false;
  unregisterHTTPOperationClass(operationClassName);
  registeredHTTPOperationClassNames_.insert(registeredHTTPOperationClassNames_.begin(),
                                            std::string(operationClassName));
  return true;
}

void NTHTTPClient::unregisterHTTPOperationClass(std::string_view operationClassName) {
  std::erase(registeredHTTPOperationClassNames_, operationClassName);
}

// MARK: default headers

std::optional<std::string> NTHTTPClient::defaultValueForHeader(std::string_view header) const {
  if (const std::string* value = defaultHeaders_[header].asString()) return *value;
  return std::nullopt;
}

void NTHTTPClient::setDefaultHeader(const std::string& header, const std::optional<std::string>& value) {
  if (value)
    defaultHeaders_.set(header, *value);
  else
    defaultHeaders_.remove(header);
}

void NTHTTPClient::setAuthorizationHeaderWithUsername(const std::string& username,
                                                      const std::string& password) {
  setDefaultHeader("Authorization",
                   ns::format("Basic %@", ns::base64EncodedString(ns::format("%@:%@", username, password))));
}

void NTHTTPClient::setAuthorizationHeaderWithToken(const std::string& token) {
  setDefaultHeader("Authorization", ns::format("Token token=\"%@\"", token));
}

void NTHTTPClient::clearAuthorizationHeader() { defaultHeaders_.remove("Authorization"); }

// MARK: requests

ns::URLRequestPtr NTHTTPClient::requestWithMethod(const std::optional<std::string>& method,
                                                  const std::optional<std::string>& path,
                                                  const std::optional<ns::Dictionary>& parameters) {
  NS_PARAMETER_ASSERT(method);
  std::string relative = path.value_or("");
  auto url = ns::URL::URLWithString(relative, baseURL_);
  auto request = ns::URLRequest::requestWithURL(url);
  request->setHTTPMethod(*method);
  request->setAllHTTPHeaderFields(defaultHeaders_);
  if (!parameters) return request;

  if (*method == "GET" || *method == "HEAD" || *method == "DELETE") {
    if (url) {
      // The pairs keep their brackets, as a form body does; RFC 3986 allows none in a query.
      std::string query = ns::addPercentEncoding(
          NTQueryStringFromParametersWithEncoding(*parameters, stringEncoding_), kQueryCharacters);
      bool hasQuery = relative.find('?') != std::string::npos;
      request->setURL(
          ns::URL::URLWithString(url->absoluteString() + ns::format(hasQuery ? "&%@" : "?%@", query)));
    }
    return request;
  }

  std::string charset = ns::ianaCharsetNameFromStringEncoding(stringEncoding_);
  ns::ErrorPtr error;
  switch (parameterEncoding_) {
    case NTFormURLParameterEncoding: {
      request->setValueForHTTPHeaderField(
          ns::format("application/x-www-form-urlencoded; charset=%@", charset), "Content-Type");
      std::string query = NTQueryStringFromParametersWithEncoding(*parameters, stringEncoding_);
      request->setHTTPBody(ns::dataFromString(query, stringEncoding_).value_or(ns::Data(query)));
      break;
    }
    case NTJSONParameterEncoding:
      request->setValueForHTTPHeaderField(ns::format("application/json; charset=%@", charset),
                                          "Content-Type");
      if (auto body = ns::JSONSerialization::dataWithJSONObject(ns::Value(*parameters), &error))
        request->setHTTPBody(std::move(*body));
      break;
    case NTPropertyListParameterEncoding:
      request->setValueForHTTPHeaderField(ns::format("application/x-plist; charset=%@", charset),
                                          "Content-Type");
      if (auto body = ns::PropertyListSerialization::dataWithPropertyList(
              ns::Value(*parameters), ns::PropertyListFormat::XML, &error))
        request->setHTTPBody(std::move(*body));
      break;
    default:
      break;
  }
  if (error) ns::log("%@ %@: %@", className(), "requestWithMethod:path:parameters:", error);
  return request;
}

ns::URLRequestPtr NTHTTPClient::multipartFormRequestWithMethod(
    const std::optional<std::string>& method, const std::optional<std::string>& path,
    const std::optional<ns::Dictionary>& parameters, const ConstructingBodyBlock& block) {
  NS_PARAMETER_ASSERT(method);
  NS_PARAMETER_ASSERT(*method != "GET" && *method != "HEAD");
  auto request = requestWithMethod(method, path, std::nullopt);
  auto formData =
      std::make_shared<NTStreamingMultipartFormData>()->initWithURLRequest(request, stringEncoding_);
  if (parameters) {
    for (const auto& pair : NTQueryStringPairsFromDictionary(*parameters)) {
      const ns::Value& value = pair->value();
      std::optional<ns::Data> data;
      if (const ns::Data* bytes = value.asData())
        data = *bytes;
      else if (value.isNull())
        data = ns::Data();
      else
        data = ns::dataFromString(value.describe(), stringEncoding_);
      if (data) formData->appendPartWithFormData(*data, pair->field().describe());
    }
  }
  if (block) block(*formData);
  return formData->requestByFinalizingMultipartFormData();
}

// MARK: operations

NTHTTPRequestOperationPtr NTHTTPClient::HTTPRequestOperationWithRequest(const ns::URLRequestPtr& urlRequest,
                                                                        SuccessBlock success,
                                                                        FailureBlock failure) {
  NTHTTPRequestOperationPtr operation;
  if (urlRequest) {
    auto& registry = ns::ClassRegistry::shared();
    // From the least recently registered class to the newest.
    for (auto name = registeredHTTPOperationClassNames_.rbegin();
         name != registeredHTTPOperationClassNames_.rend(); ++name) {
      if (!registry.contains(*name) || !NTHTTPRequestOperation::canProcessRequest(*name, *urlRequest))
        continue;
      if (auto made = std::dynamic_pointer_cast<NTHTTPRequestOperation>(registry.make(*name))) {
        operation = made->initWithRequest(urlRequest);
        break;
      }
    }
  }
  if (!operation) operation = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(urlRequest);
  if (operation) operation->setCompletionBlockWithSuccess(std::move(success), std::move(failure));
  return operation;
}

void NTHTTPClient::enqueueHTTPRequestOperation(const NTHTTPRequestOperationPtr& operation) {
  if (operation) operationQueue_->addOperation(operation);
}

void NTHTTPClient::cancelAllHTTPOperationsWithMethod(const std::optional<std::string>& method,
                                                     const std::string& path) {
  auto match = requestWithMethod(method.value_or("GET"), path, std::nullopt)->URL();
  std::string matchString = match ? match->absoluteString() : std::string();
  for (const auto& queued : operationQueue_->operations()) {
    auto operation = std::dynamic_pointer_cast<NTHTTPRequestOperation>(queued);
    if (!operation) continue;
    auto request = operation->request();
    if (!request) continue;
    bool methodMatches = !method || *method == request->HTTPMethod();
    std::string url = request->URL() ? request->URL()->absoluteString() : std::string();
    if (methodMatches && url == matchString) operation->cancel();
  }
}

void NTHTTPClient::enqueueBatchOfHTTPRequestOperationsWithRequests(
    const std::vector<ns::URLRequestPtr>& urlRequests, BatchProgressBlock progressBlock,
    BatchCompletionBlock completionBlock) {
  std::vector<NTHTTPRequestOperationPtr> operations;
  operations.reserve(urlRequests.size());
  for (const auto& request : urlRequests)
    if (auto operation = HTTPRequestOperationWithRequest(request, nullptr, nullptr))
      operations.push_back(std::move(operation));
  enqueueBatchOfHTTPRequestOperations(operations, std::move(progressBlock), std::move(completionBlock));
}

void NTHTTPClient::enqueueBatchOfHTTPRequestOperations(
    const std::vector<NTHTTPRequestOperationPtr>& operations, BatchProgressBlock progressBlock,
    BatchCompletionBlock completionBlock) {
  auto group = dispatch::groupCreate();
  auto batchedOperation = ns::BlockOperation::blockOperationWithBlock([group, operations, completionBlock] {
    dispatch::groupNotify(group, dispatch::mainQueue(), [operations, completionBlock] {
      if (completionBlock) completionBlock(operations);
    });
  });

  // Weak: an operation's own completion must not keep the batch (and so itself) alive.
  auto members = std::make_shared<std::vector<std::weak_ptr<NTHTTPRequestOperation>>>(operations.begin(),
                                                                                      operations.end());
  std::size_t total = operations.size();
  for (const auto& operation : operations) {
    auto original = std::static_pointer_cast<ns::Operation>(operation)->completionBlock();
    std::weak_ptr<NTHTTPRequestOperation> weakOperation = operation;
    operation->setCompletionBlock([weakOperation, original, group, members, total, progressBlock] {
      auto self = weakOperation.lock();
      auto queue =
          self && self->successCallbackQueue() ? self->successCallbackQueue() : dispatch::mainQueue();
      dispatch::groupAsync(group, queue, [original, group, members, total, progressBlock] {
        if (original) original();
        std::size_t finished = 0;
        for (const auto& member : *members)
          if (auto op = member.lock(); op && op->isFinished()) ++finished;
        if (progressBlock) progressBlock(finished, total);
        dispatch::groupLeave(group);
      });
    });
    dispatch::groupEnter(group);
    batchedOperation->addDependency(operation);
  }
  std::vector<ns::OperationPtr> queued(operations.begin(), operations.end());
  operationQueue_->addOperations(queued, false);
  operationQueue_->addOperation(batchedOperation);
}

void NTHTTPClient::enqueueWithMethod(const char* method, const std::string& path,
                                     const std::optional<ns::Dictionary>& parameters, SuccessBlock success,
                                     FailureBlock failure) {
  auto request = requestWithMethod(std::string(method), path, parameters);
  enqueueHTTPRequestOperation(
      HTTPRequestOperationWithRequest(request, std::move(success), std::move(failure)));
}

void NTHTTPClient::getPath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                           SuccessBlock success, FailureBlock failure) {
  enqueueWithMethod("GET", path, parameters, std::move(success), std::move(failure));
}

void NTHTTPClient::postPath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                            SuccessBlock success, FailureBlock failure) {
  enqueueWithMethod("POST", path, parameters, std::move(success), std::move(failure));
}

void NTHTTPClient::putPath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                           SuccessBlock success, FailureBlock failure) {
  enqueueWithMethod("PUT", path, parameters, std::move(success), std::move(failure));
}

void NTHTTPClient::deletePath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                              SuccessBlock success, FailureBlock failure) {
  enqueueWithMethod("DELETE", path, parameters, std::move(success), std::move(failure));
}

void NTHTTPClient::patchPath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                             SuccessBlock success, FailureBlock failure) {
  enqueueWithMethod("PATCH", path, parameters, std::move(success), std::move(failure));
}

// MARK: reachability

void NTHTTPClient::startMonitoringNetworkReachability() {
  stopMonitoringNetworkReachability();
  if (baseURL_.empty()) return;
  auto reachability = sc::NetworkReachability::createWithName(baseURL_.host());
  if (!reachability) return;
  networkReachability_ = reachability;

  // Holds the client without owning it: a report after the client is gone does nothing.
  std::weak_ptr<NTHTTPClient> weakSelf = std::static_pointer_cast<NTHTTPClient>(shared_from_this());
  NTNetworkReachabilityStatusBlock callback = [weakSelf](NTNetworkReachabilityStatus status) {
    auto self = weakSelf.lock();
    if (!self) return;
    self->networkReachabilityStatus_ = status;
    if (auto block = self->networkReachabilityStatusBlock_) block(status);
  };
  // The reachability object keeps its own copy of the wrapper until its callback is replaced.
  std::shared_ptr<const NTNetworkReachabilityStatusBlock> context(
      NTNetworkReachabilityRetainCallback(&callback), NTNetworkReachabilityReleaseCallback);
  reachability->setCallback([context](sc::NetworkReachability& target, sc::NetworkReachabilityFlags flags) {
    NTNetworkReachabilityCallback(target, flags, context.get());
  });
  reachability->scheduleWithRunLoop(ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes);

  // A numeric host is not reported until it changes: report where it stands now, without the
  // notification.
  if (NTURLHostIsIPAddress(baseURL_)) {
    sc::NetworkReachabilityFlags flags = 0;
    if (reachability->getFlags(flags)) {
      auto status = NTNetworkReachabilityStatusForFlags(flags);
      dispatch::async(dispatch::mainQueue(), [callback, status] { callback(status); });
    }
  }
}

void NTHTTPClient::stopMonitoringNetworkReachability() {
  if (!networkReachability_) return;
  networkReachability_->unscheduleFromRunLoop(ns::RunLoop::mainRunLoop(), ns::kRunLoopCommonModes);
  networkReachability_->setCallback(nullptr);
  networkReachability_.reset();
}

void NTHTTPClient::setReachabilityStatusChangeBlock(NTNetworkReachabilityStatusBlock block) {
  networkReachabilityStatusBlock_ = std::move(block);
}

// MARK: archiving and copying

void NTHTTPClient::encodeWithCoder(ns::KeyedArchiver& coder) {
  coder.encodeURL(baseURL_, "baseURL");
  coder.encodeInt64(static_cast<std::int64_t>(stringEncoding_), "stringEncoding");
  coder.encodeInt64(parameterEncoding_, "parameterEncoding");
  coder.encodeObject(
      ns::Array(registeredHTTPOperationClassNames_.begin(), registeredHTTPOperationClassNames_.end()),
      "registeredHTTPOperationClassNames");
  coder.encodeObject(defaultHeaders_, "defaultHeaders");
}

std::shared_ptr<ns::Object> NTHTTPClient::initWithCoder(ns::KeyedUnarchiver& coder) {
  auto url = coder.decodeURLForKey("baseURL");
  if (!url) return nullptr;
  auto self = initWithBaseURL(url);
  if (!self) return nullptr;
  stringEncoding_ = static_cast<ns::StringEncoding>(coder.decodeInt64ForKey("stringEncoding"));
  parameterEncoding_ =
      static_cast<NTHTTPClientParameterEncoding>(coder.decodeInt64ForKey("parameterEncoding"));
  registeredHTTPOperationClassNames_.clear();
  if (const ns::Array* names = coder.decodeObjectForKey("registeredHTTPOperationClassNames").asArray())
    for (const auto& name : *names)
      if (const std::string* text = name.asString()) registeredHTTPOperationClassNames_.push_back(*text);
  ns::Dictionary headers;
  if (const ns::Dictionary* decoded = coder.decodeObjectForKey("defaultHeaders").asDictionary())
    for (const auto& [field, value] : *decoded)
      if (value.isString()) headers.set(field, value);
  defaultHeaders_ = std::move(headers);
  return self;
}

std::shared_ptr<NTHTTPClient> NTHTTPClient::copy() const {
  auto made = std::dynamic_pointer_cast<NTHTTPClient>(ns::ClassRegistry::shared().make(className()));
  if (!made) made = std::make_shared<NTHTTPClient>();
  auto client = made->initWithBaseURL(baseURL_);
  client->stringEncoding_ = stringEncoding_;
  client->parameterEncoding_ = parameterEncoding_;
  client->registeredHTTPOperationClassNames_ = registeredHTTPOperationClassNames_;
  client->defaultHeaders_ = defaultHeaders_;
  client->networkReachabilityStatusBlock_ = networkReachabilityStatusBlock_;
  return client;
}
