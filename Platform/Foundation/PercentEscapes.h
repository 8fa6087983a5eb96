#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/StringEncoding.h"

namespace ns {

// The URL string escaping routine: the text is taken in `encoding` and every byte is written as
// "%" and two upper-case hex digits unless it is an ASCII character that is legal in a URL
// (letters, digits, -_.!~*'() ;/?:@&=+$, and #) and not in `legalToEscape`, or is in
// `leaveUnescaped`. A space becomes %20, "%" always %25. Nothing when the text has no form in
// the encoding.
std::optional<std::string> addPercentEscapes(std::string_view text, std::string_view leaveUnescaped,
                                             std::string_view legalToEscape,
                                             StringEncoding encoding = UTF8StringEncoding);

// Percent-encodes every UTF-8 byte that is not one of the ASCII characters in `allowed`.
std::string addPercentEncoding(std::string_view text, std::string_view allowed);
// RFC 3986 unreserved characters, a common `allowed` set.
inline constexpr std::string_view kURLUnreservedCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";

// Decodes every "%XX" and reads the bytes in `encoding`. Nothing when a "%" is not followed by two
// hex digits or the decoded bytes are not valid in the encoding.
std::optional<std::string> removePercentEncoding(std::string_view text, StringEncoding encoding = UTF8StringEncoding);

}  // namespace ns
