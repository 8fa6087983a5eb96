#include "Foundation/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace ns {
namespace {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void report(ErrorPtr* error, int errnoValue, const std::string& path, bool writing) {
  if (error) *error = fileErrorFromErrno(errnoValue, path, writing);
}

}  // namespace

ErrorPtr fileErrorFromErrno(int errnoValue, const std::string& path, bool writing) {
  std::int64_t code;
  switch (errnoValue) {
    case ENOENT:
    case ENOTDIR: code = writing ? kFileNoSuchFileError : kFileReadNoSuchFileError; break;
    case EACCES:
    case EPERM:
    case EROFS: code = writing ? kFileWriteNoPermissionError : kFileReadNoPermissionError; break;
    case ENOSPC:
    case EDQUOT: code = kFileWriteOutOfSpaceError; break;
    case EEXIST: code = kFileWriteFileExistsError; break;
    default: code = writing ? kFileWriteUnknownError : kFileReadUnknownError;
  }
  auto underlying = Error::make(kPOSIXErrorDomain, errnoValue, Dictionary{{kLocalizedDescriptionKey, std::string(std::strerror(errnoValue))}});
  std::string verb = writing ? "saved" : "opened";
  std::string name = std::filesystem::path(path).filename().string();
  return Error::make(kCocoaErrorDomain, code,
                     Dictionary{{kFilePathErrorKey, path},
                                {kUnderlyingErrorKey, Value(underlying)},
                                {kLocalizedDescriptionKey, "The file \u201c" + name + "\u201d couldn\u2019t be " + verb +
                                                               ": " + std::strerror(errnoValue) + "."}});
}

std::optional<Data> dataWithContentsOfFile(const std::string& path, ErrorPtr* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    report(error, errno, path, false);
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    report(error, EISDIR, path, false);
    return std::nullopt;
  }
  std::string bytes;
  if (info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      ::close(fd);
      report(error, saved, path, false);
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return Data(std::move(bytes));
}

bool writeDataToFile(const Data& data, const std::string& path, bool atomically, ErrorPtr* error, unsigned mode) {
  if (!atomically) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode ? mode : 0644);
    if (fd < 0) {
      report(error, errno, path, true);
      return false;
    }
    bool ok = writeAll(fd, data.view());
    int saved = errno;
    if (::close(fd) != 0 && ok) ok = false, saved = errno;
    if (!ok) report(error, saved, path, true);
    return ok;
  }
  std::filesystem::path target(path);
  std::filesystem::path folder = target.parent_path();
  std::string name = ".";
  name += target.filename().string();
  name += ".XXXXXX";
  std::string temporary = (folder / name).string();
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    report(error, errno, path, true);
    return false;
  }
  // A replaced file keeps its permissions; a new one gets the usual 0644 (less the umask).
  struct stat existing {};
  if (mode) {
    ::fchmod(fd, mode);
  } else if (::stat(path.c_str(), &existing) == 0) {
    ::fchmod(fd, existing.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0644 & ~mask);
  }
  bool ok = writeAll(fd, data.view()) && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) ok = false, saved = errno;
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false, saved = errno;
  if (!ok) {
    ::unlink(temporary.c_str());
    report(error, saved, path, true);
  }
  return ok;
}

}  // namespace ns
