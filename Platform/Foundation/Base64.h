#pragma once

#include <string>
#include <string_view>

namespace ns {

// The Base64 form of bytes (RFC 4648 alphabet, "=" padding, no line breaks), as the platform's
// base64EncodedString gives it with no options.
std::string base64EncodedString(std::string_view bytes);

}  // namespace ns
