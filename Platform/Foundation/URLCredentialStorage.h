#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Foundation/Object.h"
#include "Foundation/URLCredential.h"
#include "Foundation/URLProtectionSpace.h"

namespace ns {

// The process's credentials by protection space and user, with one default per space.
// Safe from any thread.
class URLCredentialStorage final : public Object {
 public:
  static std::shared_ptr<URLCredentialStorage> sharedCredentialStorage();

  // User name to credential.
  std::map<std::string, URLCredentialPtr> credentialsForProtectionSpace(
      const URLProtectionSpace& space) const;
  // Every space's key (URLProtectionSpace::key) with its credentials.
  std::map<std::string, std::map<std::string, URLCredentialPtr>> allCredentials() const;
  // A credential whose persistence is None is not stored.
  void setCredential(const URLCredentialPtr& credential, const URLProtectionSpace& space);
  void removeCredential(const URLCredentialPtr& credential, const URLProtectionSpace& space);
  URLCredentialPtr defaultCredentialForProtectionSpace(const URLProtectionSpace& space) const;
  // Also stores the credential for its user.
  void setDefaultCredential(const URLCredentialPtr& credential, const URLProtectionSpace& space);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::map<std::string, URLCredentialPtr>> credentials_;
  std::map<std::string, URLCredentialPtr> defaults_;
};

}  // namespace ns
