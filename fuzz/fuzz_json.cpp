// The JSON reader on arbitrary bytes: a value or an error, and what it reads writes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Foundation/JSONSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ns::ErrorPtr error;
  ns::Value value = ns::JSONSerialization::JSONObjectWithData(ns::Data(data, size), &error);
  if (value.isNil() != (error != nullptr)) std::abort();
  if (!value.isNil()) {
    auto text = ns::JSONSerialization::stringWithJSONObject(value);
    if (text && ns::JSONSerialization::JSONObjectWithString(*text).isNil()) std::abort();
  }
  return 0;
}
