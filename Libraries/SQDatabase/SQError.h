#pragma once

#include <string>

#include "Foundation/Error.h"
#include "SQDatabase/SQDatabase.h"

// An error of the wrapper's own domain with a SQLite result code and a description.
inline ns::ErrorPtr sqMakeError(int code, const std::string& message) {
  return ns::Error::make(kSQDatabaseErrorDomain, code, {{ns::kLocalizedDescriptionKey, message}});
}
