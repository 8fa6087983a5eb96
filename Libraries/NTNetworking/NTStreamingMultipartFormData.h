#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/StringEncoding.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTMultipartBodyStream.h"
#include "NTNetworking/NTMultipartFormData.h"

// Collects the parts of a multipart request and finalises it: the parts become the request's
// body stream, with the multipart Content-Type and the Content-Length computed from the parts'
// lengths, never from their contents.
class NTStreamingMultipartFormData final : public ns::Object, public NTMultipartFormData {
 public:
  // Keeps its own copy of the request.
  std::shared_ptr<NTStreamingMultipartFormData> initWithURLRequest(const ns::URLRequestPtr& request,
                                                                   ns::StringEncoding encoding);

  const ns::URLRequestPtr& request() const { return request_; }
  void setRequest(const ns::URLRequestPtr& request) { request_ = request ? request->copy() : nullptr; }
  const NTMultipartBodyStreamPtr& bodyStream() const { return bodyStream_; }
  void setBodyStream(NTMultipartBodyStreamPtr stream) { bodyStream_ = std::move(stream); }
  ns::StringEncoding stringEncoding() const { return stringEncoding_; }
  void setStringEncoding(ns::StringEncoding encoding) { stringEncoding_ = encoding; }

  bool appendPartWithFileURL(const std::optional<ns::URL>& fileURL, const std::optional<std::string>& name,
                             ns::ErrorPtr* error = nullptr) override;
  void appendPartWithFileData(const std::optional<ns::Data>& data, const std::optional<std::string>& name,
                              const std::optional<std::string>& fileName,
                              const std::optional<std::string>& mimeType) override;
  void appendPartWithFormData(const ns::Data& data, const std::optional<std::string>& name) override;
  void appendPartWithHeaders(const ns::Dictionary& headers, const ns::Data& body) override;
  void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) override;

  // The request unchanged when no part was added.
  ns::URLRequestPtr requestByFinalizingMultipartFormData();

 private:
  void appendPart(ns::Dictionary headers, std::shared_ptr<ns::InputStream> source, std::uint64_t length);

  ns::URLRequestPtr request_;
  NTMultipartBodyStreamPtr bodyStream_;
  ns::StringEncoding stringEncoding_ = ns::UTF8StringEncoding;
};
