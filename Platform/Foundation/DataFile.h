#pragma once

#include <optional>
#include <string>

#include "Foundation/Data.h"
#include "Foundation/Error.h"

namespace ns {

// Reading and writing whole files. Failures are "NSCocoaErrorDomain" errors with a file code
// (kFileReadNoSuchFileError, kFileWriteNoPermissionError, ...), the path under NSFilePath and the
// system's errno as an underlying "NSPOSIXErrorDomain" error.

std::optional<Data> dataWithContentsOfFile(const std::string& path, ErrorPtr* error = nullptr);

// Atomically: the bytes go to a temporary file in the same folder, which is flushed and then
// renamed over the destination, so the file holds either its old or its new contents, never a
// part. Without atomically the destination is truncated and written in place.
// `mode` 0 keeps a replaced file's permissions (0644 less the umask for a new one); any other
// value is given to the file before its contents are visible.
bool writeDataToFile(const Data& data, const std::string& path, bool atomically = true, ErrorPtr* error = nullptr,
                     unsigned mode = 0);

// The error for a failed file operation on `path`, built from errno.
ErrorPtr fileErrorFromErrno(int errnoValue, const std::string& path, bool writing);

}  // namespace ns
