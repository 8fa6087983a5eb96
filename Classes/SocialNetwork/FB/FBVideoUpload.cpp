#include "Classes/SocialNetwork/FB/FBVideoUpload.h"

#include <algorithm>
#include <vector>

#include "Classes/SocialNetwork/FB/FBConfiguration.h"
#include "Foundation/DataFile.h"
#include "Foundation/Format.h"
#include "Foundation/Locale.h"
#include "Foundation/String.h"

std::optional<std::string> FBVideoUpload::kAPIURL() {
  auto origin = FBConfiguration::videoUploadOrigin();
  if (!origin) return std::nullopt;
  return *origin + "/restserver.php";
}

std::optional<std::string> FBVideoUpload::sessionID() const {
  auto fields = ns::componentsSeparatedByString(accessToken_, "|");
  if (fields.size() < 2) return std::nullopt;
  return fields[1];
}

std::string FBVideoUpload::md5HexDigest(std::string_view input) { return ns::md5Hex(input); }

std::string FBVideoUpload::signatureForParams(const ns::Dictionary& params) const {
  std::vector<std::string> keys = params.keys();
  std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
    return ns::lowercaseString(a) < ns::lowercaseString(b);
  });
  std::string signed_;
  for (const auto& key : keys)
    if (auto value = params[key].asString()) signed_ += key + "=" + *value;
  signed_ += appSecret_;
  return md5HexDigest(signed_);
}

void FBVideoUpload::startUploadWithURL(const ns::URL& fileURL, const ns::Dictionary& params,
                                       std::weak_ptr<FBRequestDelegate> delegate) {
  auto session = sessionID();
  if (!session) {
    ns::log("Unable to retrieve session key from the access token.");
    return;
  }
  auto video = ns::dataWithContentsOfFile(fileURL.path());
  if (!video) {
    ns::log("Unable to read the video file %@.", fileURL.path());
    return;
  }
  ns::Dictionary signedParams = params;
  signedParams.set("method", "facebook.video.upload");
  signedParams.set("v", "1.0");
  signedParams.set("session_key", *session);
  signedParams.set("api_key", apiKey_);
  signedParams.set("sig", signatureForParams(signedParams));
  signedParams.set(fileURL.lastPathComponent(), std::move(*video));
  // A refused origin leaves the URL empty: the request then fails to its delegate.
  FBRequest::getRequestWithParams(std::move(signedParams), "POST", std::move(delegate),
                                  kAPIURL().value_or(""))
      ->connect();
}
