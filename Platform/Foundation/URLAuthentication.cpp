// Protection spaces, credentials, their storage and challenges.
#include <cstdio>

#include "Foundation/URLAuthenticationChallenge.h"
#include "Foundation/URLCredentialStorage.h"

namespace ns {

std::shared_ptr<URLProtectionSpace> URLProtectionSpace::initWithHost(std::string host, int port,
                                                                     std::string protocol, std::string realm,
                                                                     std::string authenticationMethod) {
  host_ = std::move(host);
  port_ = port;
  protocol_ = std::move(protocol);
  realm_ = std::move(realm);
  authenticationMethod_ =
      authenticationMethod.empty() ? kURLAuthenticationMethodDefault : std::move(authenticationMethod);
  return std::static_pointer_cast<URLProtectionSpace>(shared_from_this());
}

std::shared_ptr<URLProtectionSpace> URLProtectionSpace::initWithProxyHost(std::string host, int port,
                                                                          std::string type, std::string realm,
                                                                          std::string authenticationMethod) {
  initWithHost(std::move(host), port, std::move(type), std::move(realm), std::move(authenticationMethod));
  isProxy_ = true;
  return std::static_pointer_cast<URLProtectionSpace>(shared_from_this());
}

bool URLProtectionSpace::isEqual(const URLProtectionSpace& other) const { return key() == other.key(); }

std::string URLProtectionSpace::key() const {
  std::string k;
  for (const std::string* part : {&host_, &protocol_, &realm_, &authenticationMethod_}) {
    k += std::to_string(part->size());
    k += ':';
    k += *part;
  }
  return k + std::to_string(port_) + (isProxy_ ? "P" : "S");
}

std::string URLProtectionSpace::describe() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return std::string("<URLProtectionSpace: ") + address + ">: Host:" + host_ + ", Server:" + protocol_ +
         ", Auth-Scheme:" + authenticationMethod_ + ", Realm:" + realm_ + ", Port:" + std::to_string(port_) +
         ", Proxy:" + (isProxy_ ? "YES" : "NO");
}

std::shared_ptr<URLCredential> URLCredential::credentialWithUser(std::string user, std::string password,
                                                                 URLCredentialPersistence persistence) {
  auto credential = std::make_shared<URLCredential>();
  credential->user_ = std::move(user);
  credential->password_ = std::move(password);
  credential->persistence_ = persistence;
  return credential;
}

std::string URLCredential::describe() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return std::string("<URLCredential: ") + address + ">: " + user_;
}

std::shared_ptr<URLCredentialStorage> URLCredentialStorage::sharedCredentialStorage() {
  static const auto* storage = new auto(std::make_shared<URLCredentialStorage>());
  return *storage;
}

std::map<std::string, URLCredentialPtr> URLCredentialStorage::credentialsForProtectionSpace(
    const URLProtectionSpace& space) const {
  std::lock_guard lock(mutex_);
  auto it = credentials_.find(space.key());
  return it == credentials_.end() ? std::map<std::string, URLCredentialPtr>() : it->second;
}

std::map<std::string, std::map<std::string, URLCredentialPtr>> URLCredentialStorage::allCredentials() const {
  std::lock_guard lock(mutex_);
  return credentials_;
}

void URLCredentialStorage::setCredential(const URLCredentialPtr& credential,
                                         const URLProtectionSpace& space) {
  if (!credential || credential->persistence() == URLCredentialPersistence::None) return;
  std::lock_guard lock(mutex_);
  credentials_[space.key()][credential->user()] = credential;
}

void URLCredentialStorage::removeCredential(const URLCredentialPtr& credential,
                                            const URLProtectionSpace& space) {
  if (!credential) return;
  std::lock_guard lock(mutex_);
  auto key = space.key();
  if (auto it = credentials_.find(key); it != credentials_.end()) {
    it->second.erase(credential->user());
    if (it->second.empty()) credentials_.erase(it);
  }
  if (auto it = defaults_.find(key); it != defaults_.end() && it->second->user() == credential->user())
    defaults_.erase(it);
}

URLCredentialPtr URLCredentialStorage::defaultCredentialForProtectionSpace(
    const URLProtectionSpace& space) const {
  std::lock_guard lock(mutex_);
  auto it = defaults_.find(space.key());
  return it == defaults_.end() ? nullptr : it->second;
}

void URLCredentialStorage::setDefaultCredential(const URLCredentialPtr& credential,
                                                const URLProtectionSpace& space) {
  if (!credential || credential->persistence() == URLCredentialPersistence::None) return;
  std::lock_guard lock(mutex_);
  credentials_[space.key()][credential->user()] = credential;
  defaults_[space.key()] = credential;
}

std::shared_ptr<URLAuthenticationChallenge> URLAuthenticationChallenge::initWithProtectionSpace(
    URLProtectionSpacePtr space, URLCredentialPtr proposedCredential, std::int64_t previousFailureCount,
    URLResponsePtr failureResponse, ErrorPtr error,
    std::shared_ptr<URLAuthenticationChallengeSender> sender) {
  space_ = std::move(space);
  proposed_ = std::move(proposedCredential);
  failureCount_ = previousFailureCount;
  failureResponse_ = std::move(failureResponse);
  error_ = std::move(error);
  sender_ = std::move(sender);
  return std::static_pointer_cast<URLAuthenticationChallenge>(shared_from_this());
}

}  // namespace ns
