#include "Analytics/Library/MAIRequestBuilder.h"

#include <cmath>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIHit.h"
#include "Analytics/Library/MAIHitUtil.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAIProperty.h"
#include "Analytics/Library/MAIStringUtil.h"
#include "Foundation/Format.h"
#include "Foundation/StringNumbers.h"

namespace {
constexpr const char* kPostMethod = "POST";
constexpr const char* kCacheBusterParameter = "z";
}  // namespace

MAIRequestBuilder::MAIRequestBuilder() : userAgent_(MAIHitUtil::userAgentString()) {}

std::string MAIRequestBuilder::encodeParameter(const std::string& name, const std::string& value) {
  return value.empty() ? name : name + "=" + MAIStringUtil::percentEncode(value);
}

std::string MAIRequestBuilder::encodeParameters(const MAIParameters& parameters) {
  std::string out;
  for (const auto& [name, value] : parameters) {
    if (!out.empty()) out += '&';
    out += encodeParameter(name, value);
  }
  return out;
}

ns::URLRequestPtr MAIRequestBuilder::requestForHit(const MAIHit& hit) const {
  auto parameters = hit.parameters();
  auto timestamp = hit.timestamp();
  auto dispatchUrl = hit.dispatchUrl();
  auto url = dispatchUrl ? ns::URL::URLWithString(*dispatchUrl) : std::nullopt;
  if (!parameters || !timestamp || !url) {
    MAI_LOG_ERROR("Cannot build the request of hit %@.", hit.objectID().describe());
    return nullptr;
  }
  std::optional<std::string> cacheBuster;
  if (auto it = parameters->find(kCacheBusterParameter); it != parameters->end()) {
    cacheBuster = it->second;
    parameters->erase(it);
  }
  std::string body = encodeParameters(*parameters);
  auto piece = [&body](const std::string& text) {
    if (!body.empty()) body += '&';
    body += text;
  };
  double milliseconds = std::trunc(timestamp->timeIntervalSince1970() * 1000.0);
  piece("ht=" + ns::format("%llu", static_cast<std::uint64_t>(std::max(0.0, milliseconds))));
  std::int64_t queueTime = MAIHitUtil::millisecondsElapsedFrom(*timestamp, ns::Date::now());
  if (queueTime > 0) piece("qt=" + MAIStringUtil::uintString(static_cast<std::uint64_t>(queueTime)));
  if (cacheBuster) piece("z=" + *cacheBuster);

  auto request =
      ns::URLRequest::requestWithURL(*url, ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData,
                                     ns::URLRequest::kDefaultTimeoutInterval);
  request->setHTTPMethod(kPostMethod);
  request->setHTTPBody(ns::Data::fromString(body));
  request->setValueForHTTPHeaderField(ns::format("%d", body.size()), "Content-Length");
  request->setValueForHTTPHeaderField(
      ns::format("%@; charset=%@", kMAIHitFormatContentType, kMAIHitFormatUTF8CharSet), "Content-Type");
  request->setValueForHTTPHeaderField(userAgent_, "User-Agent");
  return request;
}
