#pragma once

#include <memory>
#include <string>

#include "Foundation/Object.h"

namespace ns {

enum class URLCredentialPersistence : unsigned {
  None = 0,
  ForSession = 1,
  Permanent = 2,
  Synchronizable = 3
};

// A user name and password. Kept for the session in the shared credential storage when its
// persistence says so; nothing is ever written to disk.
class URLCredential final : public Object {
 public:
  static std::shared_ptr<URLCredential> credentialWithUser(std::string user, std::string password,
                                                           URLCredentialPersistence persistence);
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  bool hasPassword() const { return true; }
  URLCredentialPersistence persistence() const { return persistence_; }
  // Never shows the password.
  std::string describe() const override;

 private:
  std::string user_;
  std::string password_;
  URLCredentialPersistence persistence_ = URLCredentialPersistence::None;
};

using URLCredentialPtr = std::shared_ptr<URLCredential>;

}  // namespace ns
