#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/ClassRegistry.h"
#include "Foundation/Coding.h"
#include "Foundation/Object.h"
#include "Foundation/OperationQueue.h"
#include "Foundation/StringEncoding.h"
#include "Foundation/URL.h"
#include "Foundation/URLRequest.h"
#include "Foundation/Value.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "NTNetworking/NTMultipartFormData.h"
#include "NTNetworking/NTNetworkReachability.h"

// How request parameters go into a body when the method does not carry them in the query.
enum NTHTTPClientParameterEncoding : int {
  NTFormURLParameterEncoding = 0,
  NTJSONParameterEncoding = 1,
  NTPropertyListParameterEncoding = 2,
};

// A client bound to one base URL: builds requests (plain and multipart) from a method, a path
// relative to the base URL and parameters, with the headers every request carries; makes HTTP
// request operations for them, choosing among registered operation classes; runs operations and
// batches on a queue of its own; watches the reachability of the base URL's host.
// Request building, registration and header changes take no lock: use a client from one thread.
class NTHTTPClient : public ns::Object, public ns::Coding {
 public:
  using SuccessBlock = NTHTTPRequestOperation::SuccessBlock;
  using FailureBlock = NTHTTPRequestOperation::FailureBlock;
  using ConstructingBodyBlock = std::function<void(NTMultipartFormData& formData)>;
  using BatchProgressBlock =
      std::function<void(std::size_t numberOfFinishedOperations, std::size_t totalNumberOfOperations)>;
  using BatchCompletionBlock = std::function<void(const std::vector<NTHTTPRequestOperationPtr>& operations)>;

  // Registers the class for archiving; subclasses register under their own name.
  static void registerClass();

  static std::shared_ptr<NTHTTPClient> clientWithBaseURL(const std::optional<ns::URL>& url);
  // The URL is required; a non-empty path gets a trailing "/". Starts reachability monitoring.
  std::shared_ptr<NTHTTPClient> initWithBaseURL(const std::optional<ns::URL>& url);
  ~NTHTTPClient() override;

  std::string describe() const override;

  // Only NTHTTPRequestOperation and classes derived from it; the newest registration goes first
  // in the list (and is consulted last).
  bool registerHTTPOperationClass(std::string_view operationClassName);
  // The same for a class given by type, which joins the class registry first when it is not in it.
  template <class T>
  bool registerHTTPOperationClass() {
    return registerHTTPOperationClass(ns::ClassRegistry::shared().registerClassIfNeeded<T>());
  }
  void unregisterHTTPOperationClass(std::string_view operationClassName);

  std::optional<std::string> defaultValueForHeader(std::string_view header) const;
  // No value removes the header.
  void setDefaultHeader(const std::string& header, const std::optional<std::string>& value);
  void setAuthorizationHeaderWithUsername(const std::string& username, const std::string& password);
  void setAuthorizationHeaderWithToken(const std::string& token);
  void clearAuthorizationHeader();

  // The method is required. GET, HEAD and DELETE (exactly so) carry parameters in the query;
  // other methods in a body of the parameter encoding. An empty dictionary counts as parameters.
  ns::URLRequestPtr requestWithMethod(const std::optional<std::string>& method,
                                      const std::optional<std::string>& path = std::nullopt,
                                      const std::optional<ns::Dictionary>& parameters = std::nullopt);
  // Not for GET or HEAD. Parameters become form parts, then the callback appends its own.
  ns::URLRequestPtr multipartFormRequestWithMethod(const std::optional<std::string>& method,
                                                   const std::optional<std::string>& path,
                                                   const std::optional<ns::Dictionary>& parameters,
                                                   const ConstructingBodyBlock& block);

  // Not started, not queued.
  NTHTTPRequestOperationPtr HTTPRequestOperationWithRequest(const ns::URLRequestPtr& urlRequest,
                                                            SuccessBlock success, FailureBlock failure);
  void enqueueHTTPRequestOperation(const NTHTTPRequestOperationPtr& operation);
  // Cancels the queued HTTP operations whose method (any, when absent) and whole URL match.
  void cancelAllHTTPOperationsWithMethod(const std::optional<std::string>& method, const std::string& path);
  void enqueueBatchOfHTTPRequestOperationsWithRequests(const std::vector<ns::URLRequestPtr>& urlRequests,
                                                       BatchProgressBlock progressBlock,
                                                       BatchCompletionBlock completionBlock);
  // Progress after each operation's own completion; the completion once, on the main queue,
  // after all of them.
  void enqueueBatchOfHTTPRequestOperations(const std::vector<NTHTTPRequestOperationPtr>& operations,
                                           BatchProgressBlock progressBlock,
                                           BatchCompletionBlock completionBlock);

  void getPath(const std::string& path, const std::optional<ns::Dictionary>& parameters, SuccessBlock success,
               FailureBlock failure);
  void postPath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                SuccessBlock success, FailureBlock failure);
  void putPath(const std::string& path, const std::optional<ns::Dictionary>& parameters, SuccessBlock success,
               FailureBlock failure);
  void deletePath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                  SuccessBlock success, FailureBlock failure);
  void patchPath(const std::string& path, const std::optional<ns::Dictionary>& parameters,
                 SuccessBlock success, FailureBlock failure);

  // Reachability of the base URL's host; reports come on the main thread.
  void startMonitoringNetworkReachability();
  void stopMonitoringNetworkReachability();
  void setReachabilityStatusChangeBlock(NTNetworkReachabilityStatusBlock block);

  // Fields. The writers only store.
  const sc::NetworkReachabilityPtr& networkReachability() const { return networkReachability_; }
  void setNetworkReachability(sc::NetworkReachabilityPtr reachability) {
    networkReachability_ = std::move(reachability);
  }
  const ns::URL& baseURL() const { return baseURL_; }
  void setBaseURL(ns::URL url) { baseURL_ = std::move(url); }
  ns::StringEncoding stringEncoding() const { return stringEncoding_; }
  void setStringEncoding(ns::StringEncoding encoding) { stringEncoding_ = encoding; }
  NTHTTPClientParameterEncoding parameterEncoding() const { return parameterEncoding_; }
  void setParameterEncoding(NTHTTPClientParameterEncoding encoding) { parameterEncoding_ = encoding; }
  const std::vector<std::string>& registeredHTTPOperationClassNames() const {
    return registeredHTTPOperationClassNames_;
  }
  void setRegisteredHTTPOperationClassNames(std::vector<std::string> names) {
    registeredHTTPOperationClassNames_ = std::move(names);
  }
  const ns::Dictionary& defaultHeaders() const { return defaultHeaders_; }
  void setDefaultHeaders(ns::Dictionary headers) { defaultHeaders_ = std::move(headers); }
  const std::shared_ptr<ns::OperationQueue>& operationQueue() const { return operationQueue_; }
  void setOperationQueue(std::shared_ptr<ns::OperationQueue> queue) { operationQueue_ = std::move(queue); }
  NTNetworkReachabilityStatus networkReachabilityStatus() const { return networkReachabilityStatus_; }
  void setNetworkReachabilityStatus(NTNetworkReachabilityStatus status) {
    networkReachabilityStatus_ = status;
  }
  const NTNetworkReachabilityStatusBlock& networkReachabilityStatusBlock() const {
    return networkReachabilityStatusBlock_;
  }
  void setNetworkReachabilityStatusBlock(NTNetworkReachabilityStatusBlock block) {
    networkReachabilityStatusBlock_ = std::move(block);
  }

  // The base URL, encodings, registered classes and default headers; not the queue or callback.
  void encodeWithCoder(ns::KeyedArchiver& coder) override;
  std::shared_ptr<ns::Object> initWithCoder(ns::KeyedUnarchiver& coder) override;
  // A client of the same class for the same base URL, with its own copies of the lists, the same
  // status callback, and its own queue and monitoring.
  std::shared_ptr<NTHTTPClient> copy() const;

 private:
  void enqueueWithMethod(const char* method, const std::string& path,
                         const std::optional<ns::Dictionary>& parameters, SuccessBlock success,
                         FailureBlock failure);

  sc::NetworkReachabilityPtr networkReachability_;
  ns::URL baseURL_;
  ns::StringEncoding stringEncoding_ = ns::UTF8StringEncoding;
  NTHTTPClientParameterEncoding parameterEncoding_ = NTFormURLParameterEncoding;
  std::vector<std::string> registeredHTTPOperationClassNames_;
  ns::Dictionary defaultHeaders_;
  std::shared_ptr<ns::OperationQueue> operationQueue_;
  NTNetworkReachabilityStatus networkReachabilityStatus_ = NTNetworkReachabilityStatusUnknown;
  NTNetworkReachabilityStatusBlock networkReachabilityStatusBlock_;
};

using NTHTTPClientPtr = std::shared_ptr<NTHTTPClient>;
