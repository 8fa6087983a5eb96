#pragma once

#include <memory>
#include <string>

#include "Foundation/Object.h"

namespace ns {

inline constexpr const char* kURLProtectionSpaceHTTP = "http";
inline constexpr const char* kURLProtectionSpaceHTTPS = "https";
inline constexpr const char* kURLProtectionSpaceHTTPProxy = "http";
inline constexpr const char* kURLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
inline constexpr const char* kURLAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
inline constexpr const char* kURLAuthenticationMethodHTTPDigest = "NSURLAuthenticationMethodHTTPDigest";
inline constexpr const char* kURLAuthenticationMethodHTMLForm = "NSURLAuthenticationMethodHTMLForm";
inline constexpr const char* kURLAuthenticationMethodNTLM = "NSURLAuthenticationMethodNTLM";
inline constexpr const char* kURLAuthenticationMethodNegotiate = "NSURLAuthenticationMethodNegotiate";
inline constexpr const char* kURLAuthenticationMethodClientCertificate =
    "NSURLAuthenticationMethodClientCertificate";
inline constexpr const char* kURLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";

// Where a credential applies: host, port, scheme, realm and authentication method (and whether the
// challenger is a proxy). Two spaces with the same fields are the same space.
class URLProtectionSpace final : public Object {
 public:
  std::shared_ptr<URLProtectionSpace> initWithHost(std::string host, int port, std::string protocol,
                                                   std::string realm, std::string authenticationMethod);
  std::shared_ptr<URLProtectionSpace> initWithProxyHost(std::string host, int port, std::string type,
                                                        std::string realm, std::string authenticationMethod);

  const std::string& host() const { return host_; }
  int port() const { return port_; }
  const std::string& protocol() const { return protocol_; }
  const std::string& realm() const { return realm_; }
  const std::string& authenticationMethod() const { return authenticationMethod_; }
  bool isProxy() const { return isProxy_; }
  const std::string& proxyType() const { return isProxy_ ? protocol_ : empty_; }
  bool receivesCredentialSecurely() const { return protocol_ == kURLProtectionSpaceHTTPS; }

  bool isEqual(const URLProtectionSpace& other) const;
  // A text that is equal exactly for equal spaces (a map key).
  std::string key() const;
  std::string describe() const override;

 private:
  std::string host_;
  int port_ = 0;
  std::string protocol_;
  std::string realm_;
  std::string authenticationMethod_;
  bool isProxy_ = false;
  static inline const std::string empty_;
};

using URLProtectionSpacePtr = std::shared_ptr<URLProtectionSpace>;

}  // namespace ns
