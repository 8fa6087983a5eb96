#pragma once

// The reverse-domain prefix of every lock, queue and notification name of the networking library.
#define NT_NETWORKING_PREFIX "tv.catalogue."

#include <cstdint>

// The longest body a JSON, property-list or XML operation reads: far more than the service ever
// sends, and a bound on what a hostile reply can make the client hold and decode.
inline constexpr std::int64_t kNTMaximumDecodedResponseLength = std::int64_t{16} << 20;
