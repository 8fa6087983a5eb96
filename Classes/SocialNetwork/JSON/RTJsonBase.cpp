#include "Classes/SocialNetwork/JSON/RTJsonBase.h"

#include <utility>

namespace {

// Each error holds the one before it; letting them go last first keeps that chain from unwinding
// recursively through the whole trace.
void releaseTrace(std::optional<RTJsonErrorTrace>& trace) {
  if (!trace) return;
  while (!trace->empty()) trace->pop_back();
  trace.reset();
}

}  // namespace

RTJsonBase::RTJsonBase() = default;

RTJsonBase::~RTJsonBase() { releaseTrace(errorTrace_); }

void RTJsonBase::addErrorWithCode(unsigned code, const std::string& description) {
  ns::Dictionary userInfo{{ns::kLocalizedDescriptionKey, description}};
  if (errorTrace_ && !errorTrace_->empty()) userInfo.set(ns::kUnderlyingErrorKey, errorTrace_->back());
  auto error = ns::Error::make(RTJSONErrorDomain, code, std::move(userInfo));
  willChangeValueForKey("errorTrace");
  if (!errorTrace_) errorTrace_.emplace();
  errorTrace_->push_back(std::move(error));
  didChangeValueForKey("errorTrace");
}

void RTJsonBase::clearErrorTrace() { releaseTrace(errorTrace_); }

void RTJsonBase::setErrorTrace(std::optional<RTJsonErrorTrace> trace) {
  willChangeValueForKey("errorTrace");
  releaseTrace(errorTrace_);
  errorTrace_ = std::move(trace);
  didChangeValueForKey("errorTrace");
}

bool RTJsonBase::enterLevel() {
  unsigned limit = maxDepth();
  if (limit == 0 || limit > kDepthCeiling) limit = kDepthCeiling;
  if (++depth_ > limit) {
    addErrorWithCode(RTJsonErrorDepth, "Nested too deep");
    return false;
  }
  return true;
}
