#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Classes/SocialNetwork/FB/FBRequest.h"
#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

// A signed video upload through the REST server: the session key from the access token, the
// parameters signed with the application secret, the file as a multipart part.
class FBVideoUpload final : public ns::Object {
 public:
  const std::string& accessToken() const { return accessToken_; }
  void setAccessToken(std::string token) { accessToken_ = std::move(token); }
  const std::string& apiKey() const { return apiKey_; }
  void setApiKey(std::string key) { apiKey_ = std::move(key); }
  const std::string& appSecret() const { return appSecret_; }
  void setAppSecret(std::string secret) { appSecret_ = std::move(secret); }

  // The second "|"-separated field of the access token; none when there are fewer than two.
  std::optional<std::string> sessionID() const;
  // Sends the file at fileURL with the parameters as a "POST" to the upload endpoint; without a
  // session key, or when the file cannot be read, it logs why and sends nothing.
  void startUploadWithURL(const ns::URL& fileURL, const ns::Dictionary& params,
                          std::weak_ptr<FBRequestDelegate> delegate);
  // MD5 (lower-case hex) of key=value for every string value, keys sorted without regard to
  // case, followed by the application secret.
  std::string signatureForParams(const ns::Dictionary& params) const;
  static std::string md5HexDigest(std::string_view input);
  // The upload endpoint: the configured video-upload origin and "/restserver.php".
  static std::optional<std::string> kAPIURL();

 private:
  std::string accessToken_;
  std::string apiKey_;
  std::string appSecret_;
};
