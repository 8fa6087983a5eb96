#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Value.h"

namespace ns {

// JSON to and from values.
// Reading: any JSON text, top-level scalars included; a UTF-8 byte-order mark is skipped; text that
// is not valid UTF-8 is refused. Integers stay integers (up to 64 bits, unsigned above INT64_MAX),
// wider integers become doubles, numbers with a fraction or exponent are doubles, true and false
// are booleans, null is Value::null(). On failure the result is nil and *error (when given) gets
// domain "NSCocoaErrorDomain", code 3840 and a message under NSDebugDescription.
// Writing: compact (no white space), keys in order, "/" written as "\/" as the platform does.
// Data, dates, objects, nil, NaN, infinities and invalid UTF-8 make it fail with the same error.
class JSONSerialization final {
 public:
  static Value JSONObjectWithData(const Data& data, ErrorPtr* error = nullptr);
  static Value JSONObjectWithString(std::string_view text, ErrorPtr* error = nullptr);
  static std::optional<std::string> stringWithJSONObject(const Value& value, ErrorPtr* error = nullptr);
  static std::optional<Data> dataWithJSONObject(const Value& value, ErrorPtr* error = nullptr);
  static bool isValidJSONObject(const Value& value);
};

}  // namespace ns
