#pragma once

#include <memory>
#include <string>

#include "Analytics/Library/MAIModel.h"
#include "Foundation/Object.h"
#include "Foundation/URLRequest.h"

class MAIHit;

// Builds the POST request that carries one stored hit. One per dispatcher; its user agent is fixed
// at creation.
class MAIRequestBuilder final : public ns::Object {
 public:
  MAIRequestBuilder();

  // "name=value" with the value percent-encoded; the bare name for an empty value.
  static std::string encodeParameter(const std::string& name, const std::string& value);
  // Every parameter encoded, joined with "&".
  static std::string encodeParameters(const MAIParameters& parameters);
  // The request of the hit, or nullptr (with a log line) when its parameters, time or URL cannot be read.
  ns::URLRequestPtr requestForHit(const MAIHit& hit) const;

  const std::string& userAgent() const { return userAgent_; }

 private:
  std::string userAgent_;
};
