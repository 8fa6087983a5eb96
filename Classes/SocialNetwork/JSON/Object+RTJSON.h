#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

// The value written as JSON by a new writer: a dictionary or an array (JSONRepresentation) or any
// value JSON can hold (JSONFragment). On failure the trace is logged and the result is nil.
std::optional<std::string> JSONRepresentation(const ns::Value& value);
std::optional<std::string> JSONFragment(const ns::Value& value);
