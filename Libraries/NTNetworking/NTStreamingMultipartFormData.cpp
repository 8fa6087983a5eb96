#include "NTNetworking/NTStreamingMultipartFormData.h"

#include "Foundation/Exception.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/Stream.h"
#include "NTNetworking/NTHTTPBodyPart.h"

namespace {

constexpr const char* NTNetworkingErrorDomain = "NTNetworkingErrorDomain";

// A name inside a quoted header parameter: a quote or line break would end it or start a header.
std::string escapedParameter(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '"':
        out += "%22";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

ns::ErrorPtr fileURLError(const ns::URL& url, const char* reason) {
  return ns::Error::make(NTNetworkingErrorDomain, ns::URLError::BadURL,
                         ns::Dictionary{{ns::kURLErrorFailingURLErrorKey, url.absoluteString()},
                                        {ns::kLocalizedFailureReasonErrorKey, reason}});
}

}  // namespace

std::shared_ptr<NTStreamingMultipartFormData> NTStreamingMultipartFormData::initWithURLRequest(
    const ns::URLRequestPtr& request, ns::StringEncoding encoding) {
  setRequest(request);
  stringEncoding_ = encoding;
  bodyStream_ = std::make_shared<NTMultipartBodyStream>()->initWithStringEncoding(encoding);
  return std::static_pointer_cast<NTStreamingMultipartFormData>(shared_from_this());
}

void NTStreamingMultipartFormData::appendPart(ns::Dictionary headers, std::shared_ptr<ns::InputStream> source,
                                              std::uint64_t length) {
  auto part = std::make_shared<NTHTTPBodyPart>()->init();
  part->setStringEncoding(stringEncoding_);
  part->setHeaders(std::move(headers));
  part->setBodyContentLength(length);
  part->setInputStream(std::move(source));
  bodyStream_->appendHTTPBodyPart(std::move(part));
}

bool NTStreamingMultipartFormData::appendPartWithFileURL(const std::optional<ns::URL>& fileURL,
                                                         const std::optional<std::string>& name,
                                                         ns::ErrorPtr* error) {
  NS_PARAMETER_ASSERT(fileURL);
  NS_PARAMETER_ASSERT(name);
  auto refuse = [&](const char* reason) {
    if (error) *error = fileURLError(*fileURL, reason);
    return false;
  };
  if (!fileURL->isFileURL()) return refuse("Expected URL to be a file URL");
  std::string path = fileURL->path();
  auto manager = ns::FileManager::defaultManager();
  if (!manager->fileExistsAtPath(path)) return refuse("File URL not reachable.");
  // The announced length must be the length sent, so a size that cannot be known is refused.
  auto attributes = manager->attributesOfItemAtPath(path);
  if (!attributes || attributes->isDirectory) return refuse("File size not readable.");

  ns::Dictionary headers{
      {"Content-Disposition", ns::format("form-data; name=\"%@\"; filename=\"%@\"", escapedParameter(*name),
                                         escapedParameter(fileURL->lastPathComponent()))}};
  if (auto type = NTContentTypeForPathExtension(fileURL->pathExtension())) headers.set("Content-Type", *type);
  appendPart(std::move(headers), ns::InputStream::inputStreamWithFileAtPath(path), attributes->size);
  return true;
}

void NTStreamingMultipartFormData::appendPartWithFileData(const std::optional<ns::Data>& data,
                                                          const std::optional<std::string>& name,
                                                          const std::optional<std::string>& fileName,
                                                          const std::optional<std::string>& mimeType) {
  NS_PARAMETER_ASSERT(name);
  NS_PARAMETER_ASSERT(fileName);
  NS_PARAMETER_ASSERT(mimeType);
  NS_PARAMETER_ASSERT(data);
  appendPartWithHeaders(ns::Dictionary{{"Content-Disposition",
                                        ns::format("form-data; name=\"%@\"; filename=\"%@\"",
                                                   escapedParameter(*name), escapedParameter(*fileName))},
                                       {"Content-Type", *mimeType}},
                        *data);
}

void NTStreamingMultipartFormData::appendPartWithFormData(const ns::Data& data,
                                                          const std::optional<std::string>& name) {
  NS_PARAMETER_ASSERT(name);
  appendPartWithHeaders(
      ns::Dictionary{{"Content-Disposition", ns::format("form-data; name=\"%@\"", escapedParameter(*name))}},
      data);
}

void NTStreamingMultipartFormData::appendPartWithHeaders(const ns::Dictionary& headers,
                                                         const ns::Data& body) {
  for (const auto& [field, value] : headers) {
    const std::string* text = value.asString();
    NS_PARAMETER_ASSERT(text && !hasLineBreak(field) && !hasLineBreak(*text));
  }
  appendPart(headers, ns::InputStream::inputStreamWithData(body), body.length());
}

void NTStreamingMultipartFormData::throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes,
                                                                   double delay) {
  bodyStream_->setNumberOfBytesInPacket(numberOfBytes);
  bodyStream_->setDelay(delay);
}

ns::URLRequestPtr NTStreamingMultipartFormData::requestByFinalizingMultipartFormData() {
  if (bodyStream_->isEmpty()) return request_;
  bodyStream_->setInitialAndFinalBoundaries();
  request_->setValueForHTTPHeaderField(
      ns::format("multipart/form-data; boundary=%@", kNTMultipartFormBoundary), "Content-Type");
  request_->setValueForHTTPHeaderField(ns::format("%llu", bodyStream_->contentLength()), "Content-Length");
  request_->setHTTPBodyStream(bodyStream_);
  return request_;
}
