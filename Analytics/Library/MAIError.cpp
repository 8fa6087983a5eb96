#include "Analytics/Library/MAIError.h"

#include "Analytics/Library/MAIConstants.h"

ns::ErrorPtr MAIError::errorWithCode(std::int64_t code) { return ns::Error::make(kMAIErrorDomain, code); }

ns::ErrorPtr MAIError::errorWithCode(std::int64_t code, const std::string& description) {
  return ns::Error::make(kMAIErrorDomain, code, {{ns::kLocalizedDescriptionKey, description}});
}

ns::ErrorPtr MAIError::errorWithCodeWithFailedFilePath(std::int64_t code, const std::string& path,
                                                       const std::string& description) {
  return ns::Error::make(kMAIErrorDomain, code,
                         {{ns::kLocalizedDescriptionKey, description}, {ns::kFilePathErrorKey, path}});
}

ns::ErrorPtr MAIError::errorWithCodeWithUnderlyingError(std::int64_t code, const ns::ErrorPtr& underlying,
                                                        const std::string& description) {
  ns::Dictionary info{{ns::kLocalizedDescriptionKey, description}};
  if (underlying) info.set(ns::kUnderlyingErrorKey, ns::Value(underlying));
  return ns::Error::make(kMAIErrorDomain, code, std::move(info));
}
