#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Data.h"
#include "Foundation/Date.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"

namespace ns {

// The application's sandbox: a root folder holding Documents, Library, Library/Caches and tmp.
// The root is $VCC_SANDBOX_ROOT when set, else $XDG_DATA_HOME/video-catalogue-client (by default
// ~/.local/share/video-catalogue-client). The folders are created on first use.
std::string sandboxRootPath();
std::string documentsDirectory();
std::string libraryDirectory();
std::string cachesDirectory();
std::string temporaryDirectory();

std::string stringByAppendingPathComponent(const std::string& path, const std::string& component);
std::string lastPathComponent(const std::string& path);
std::string pathExtension(const std::string& path);
std::string stringByDeletingLastPathComponent(const std::string& path);

struct FileAttributes {
  std::uint64_t size = 0;
  Date modificationDate;
  bool isDirectory = false;
  unsigned permissions = 0;
};

// File and folder operations; failures are "NSCocoaErrorDomain" file errors (see DataFile.h).
class FileManager final : public Object {
 public:
  static std::shared_ptr<FileManager> defaultManager();

  bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
  // Without intermediates the parent must exist; an existing folder counts as success only with
  // intermediates, as on the platform.
  bool createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories, ErrorPtr* error = nullptr);
  // Removes a file or a whole folder.
  bool removeItemAtPath(const std::string& path, ErrorPtr* error = nullptr);
  // Fails when the destination exists.
  bool moveItemAtPath(const std::string& from, const std::string& to, ErrorPtr* error = nullptr);
  std::optional<FileAttributes> attributesOfItemAtPath(const std::string& path, ErrorPtr* error = nullptr) const;
  // Names of the folder's entries, sorted.
  std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(const std::string& path,
                                                                     ErrorPtr* error = nullptr) const;
  std::optional<Data> contentsAtPath(const std::string& path) const;
  // Atomic: the file holds the old or the new bytes, never a part.
  bool createFileAtPath(const std::string& path, const Data& contents);
};

}  // namespace ns
