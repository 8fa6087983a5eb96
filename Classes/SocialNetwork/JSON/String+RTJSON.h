#pragma once

#include <optional>
#include <string_view>

#include "Foundation/Value.h"

// The text read as JSON by a new parser: a dictionary or an array (JSONValue) or any JSON value
// (JSONFragmentValue). On failure the trace is logged and the result is nil.
ns::Value JSONValue(std::optional<std::string_view> text);
ns::Value JSONFragmentValue(std::optional<std::string_view> text);
