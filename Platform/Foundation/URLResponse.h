#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Coding.h"
#include "Foundation/Data.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

namespace ns {

// What a load answered, before its body: the URL it finally came from (after redirects), the
// MIME type (lower case, without parameters), the text encoding name (the charset as given),
// the expected body length (-1 when not announced) and a suggested file name.
class URLResponse : public Object, public Coding {
 public:
  std::shared_ptr<URLResponse> initWithURL(ns::URL url, std::optional<std::string> MIMEType,
                                           std::int64_t expectedContentLength,
                                           std::optional<std::string> textEncodingName);

  const std::optional<ns::URL>& URL() const { return url_; }
  const std::optional<std::string>& MIMEType() const { return mimeType_; }
  std::int64_t expectedContentLength() const { return expectedContentLength_; }
  const std::optional<std::string>& textEncodingName() const { return textEncodingName_; }
  // The Content-Disposition file name, else the URL's last path component, else "Unknown".
  virtual std::string suggestedFilename() const;

  std::string describe() const override;
  void encodeWithCoder(KeyedArchiver& coder) override;
  std::shared_ptr<Object> initWithCoder(KeyedUnarchiver& coder) override;

 protected:
  std::optional<ns::URL> url_;
  std::optional<std::string> mimeType_;
  std::int64_t expectedContentLength_ = -1;
  std::optional<std::string> textEncodingName_;
};

// An HTTP answer: status code and header fields (names as the server sent them; several fields of
// one name joined with ", "). MIME type, encoding and length come from the header fields.
class HTTPURLResponse final : public URLResponse {
 public:
  std::shared_ptr<HTTPURLResponse> initWithURL(ns::URL url, long statusCode, std::string HTTPVersion,
                                               Dictionary headerFields);

  long statusCode() const { return statusCode_; }
  const std::string& HTTPVersion() const { return httpVersion_; }
  const Dictionary& allHeaderFields() const { return headers_; }
  // Case-insensitive.
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
  std::string suggestedFilename() const override;
  static std::string localizedStringForStatusCode(long statusCode);

  std::string describe() const override;
  void encodeWithCoder(KeyedArchiver& coder) override;
  std::shared_ptr<Object> initWithCoder(KeyedUnarchiver& coder) override;

 private:
  long statusCode_ = 0;
  std::string httpVersion_ = "HTTP/1.1";
  Dictionary headers_;
};

enum class URLCacheStoragePolicy : unsigned { Allowed = 0, AllowedInMemoryOnly = 1, NotAllowed = 2 };

// The response a load would store in a URL cache. There is no cache here: it is only offered to the
// connection's delegate, and carries no body bytes.
class CachedURLResponse final : public Object {
 public:
  std::shared_ptr<CachedURLResponse> initWithResponse(
      std::shared_ptr<URLResponse> response, Data data,
      URLCacheStoragePolicy storagePolicy = URLCacheStoragePolicy::Allowed);
  const std::shared_ptr<URLResponse>& response() const { return response_; }
  const Data& data() const { return data_; }
  URLCacheStoragePolicy storagePolicy() const { return storagePolicy_; }

 private:
  std::shared_ptr<URLResponse> response_;
  Data data_;
  URLCacheStoragePolicy storagePolicy_ = URLCacheStoragePolicy::Allowed;
};

using URLResponsePtr = std::shared_ptr<URLResponse>;
using HTTPURLResponsePtr = std::shared_ptr<HTTPURLResponse>;
using CachedURLResponsePtr = std::shared_ptr<CachedURLResponse>;

}  // namespace ns
