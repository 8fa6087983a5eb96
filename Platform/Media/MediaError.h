#pragma once

#include <cstdint>

namespace av {

// The media framework's error domain, and the codes the media layer reports in it: media it
// cannot read or decode. Transport failures and HTTP statuses are errors of the URL domain.
inline constexpr const char* kMediaErrorDomain = "AVFoundationErrorDomain";
inline constexpr std::int64_t kMediaErrorUnknown = -11800;
inline constexpr std::int64_t kMediaErrorDecodeFailed = -11821;
inline constexpr std::int64_t kMediaErrorFileFormatNotRecognized = -11828;
inline constexpr std::int64_t kMediaErrorDecoderNotFound = -11833;

}  // namespace av
