#pragma once

#include <cstdint>

#include "Foundation/Error.h"

// Errors of the version 1 tracker's operations. Codes are 32-bit; those with the top bit set read
// as negative numbers.
inline constexpr const char* kMALTrackerErrorDomain = "org.videocatalogue.MALTrackerError";
inline constexpr std::int32_t kMALErrorNotStarted = 0xBADA55;
inline constexpr std::int32_t kMALErrorBadArgument = 0xBADE7A9;
inline constexpr std::int32_t kMALErrorTooManyEvents = static_cast<std::int32_t>(0xBAD5704Eu);
inline constexpr std::int32_t kMALErrorNoStore = static_cast<std::int32_t>(0xBADBADDBu);

// Fills an optional error slot with an error of the domain, without user information.
inline void MALSetError(ns::ErrorPtr* slot, const char* domain, std::int64_t code) {
  if (slot) *slot = ns::Error::make(domain, code);
}
inline void MALSetTrackerError(ns::ErrorPtr* slot, std::int32_t code) {
  MALSetError(slot, kMALTrackerErrorDomain, code);
}
