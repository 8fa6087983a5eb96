#pragma once

#include <cstdint>
#include <string>

#include "Foundation/Error.h"
#include "Foundation/Format.h"

// Errors of the tracker's own domain (kMAIErrorDomain).
class MAIError final {
 public:
  MAIError() = delete;

  static ns::ErrorPtr errorWithCode(std::int64_t code);
  static ns::ErrorPtr errorWithCode(std::int64_t code, const std::string& description);
  static ns::ErrorPtr errorWithCodeWithFailedFilePath(std::int64_t code, const std::string& path,
                                                      const std::string& description);
  static ns::ErrorPtr errorWithCodeWithUnderlyingError(std::int64_t code, const ns::ErrorPtr& underlying,
                                                       const std::string& description);

  template <class... Args>
  static ns::ErrorPtr errorWithCodeWithFormat(std::int64_t code, std::string_view format,
                                              const Args&... args) {
    return errorWithCode(code, ns::format(format, args...));
  }
  template <class... Args>
  static ns::ErrorPtr errorWithCodeWithFailedFilePathWithFormat(std::int64_t code, const std::string& path,
                                                                std::string_view format,
                                                                const Args&... args) {
    return errorWithCodeWithFailedFilePath(code, path, ns::format(format, args...));
  }
  template <class... Args>
  static ns::ErrorPtr errorWithCodeWithUnderlyingErrorWithFormat(std::int64_t code,
                                                                 const ns::ErrorPtr& underlying,
                                                                 std::string_view format,
                                                                 const Args&... args) {
    return errorWithCodeWithUnderlyingError(code, underlying, ns::format(format, args...));
  }
};
