#include "Foundation/FileManager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "Foundation/DataFile.h"

namespace ns {
namespace fs = std::filesystem;
namespace {

std::string ensureFolder(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  return path;
}

void report(ErrorPtr* error, int errnoValue, const std::string& path, bool writing) {
  if (error) *error = fileErrorFromErrno(errnoValue, path, writing);
}

}  // namespace

std::string sandboxRootPath() {
  if (const char* root = std::getenv("VCC_SANDBOX_ROOT"); root && *root) return ensureFolder(root);
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
    base = data;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::string(home) + "/.local/share";
  else
    base = "/tmp";
  return ensureFolder(base + "/video-catalogue-client");
}

std::string documentsDirectory() { return ensureFolder(sandboxRootPath() + "/Documents"); }
std::string libraryDirectory() { return ensureFolder(sandboxRootPath() + "/Library"); }
std::string cachesDirectory() { return ensureFolder(sandboxRootPath() + "/Library/Caches"); }
std::string temporaryDirectory() { return ensureFolder(sandboxRootPath() + "/tmp"); }

std::string stringByAppendingPathComponent(const std::string& path, const std::string& component) {
  if (path.empty()) return component;
  std::string out = path;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  std::string_view rest = component;
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  if (rest.empty()) return out;
  if (out.back() != '/') out += '/';
  return out.append(rest);
}

std::string lastPathComponent(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  auto slash = trimmed.rfind('/');
  return slash == std::string::npos || trimmed == "/" ? trimmed : trimmed.substr(slash + 1);
}

std::string pathExtension(const std::string& path) {
  std::string last = lastPathComponent(path);
  auto dot = last.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : last.substr(dot + 1);
}

std::string stringByDeletingLastPathComponent(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  auto slash = trimmed.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : trimmed.substr(0, slash);
}

std::shared_ptr<FileManager> FileManager::defaultManager() {
  static const auto* manager = new std::shared_ptr<FileManager>(std::make_shared<FileManager>());
  return *manager;
}

bool FileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return false;
  if (isDirectory) *isDirectory = S_ISDIR(info.st_mode);
  return true;
}

bool FileManager::createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                                        ErrorPtr* error) {
  if (withIntermediateDirectories) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path)) {
      report(error, ec ? ec.value() : EEXIST, path, true);
      return false;
    }
    return true;
  }
  if (::mkdir(path.c_str(), 0755) != 0) {
    report(error, errno, path, true);
    return false;
  }
  return true;
}

bool FileManager::removeItemAtPath(const std::string& path, ErrorPtr* error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    report(error, errno, path, true);
    return false;
  }
  std::error_code ec;
  fs::remove_all(path, ec);
  if (ec) report(error, ec.value(), path, true);
  return !ec;
}

bool FileManager::moveItemAtPath(const std::string& from, const std::string& to, ErrorPtr* error) {
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) {
    report(error, EEXIST, to, true);
    return false;
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    report(error, errno, from, true);
    return false;
  }
  return true;
}

std::optional<FileAttributes> FileManager::attributesOfItemAtPath(const std::string& path,
                                                                  ErrorPtr* error) const {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    report(error, errno, path, false);
    return std::nullopt;
  }
  FileAttributes attributes;
  attributes.size = static_cast<std::uint64_t>(info.st_size);
  attributes.modificationDate = Date(static_cast<double>(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9);
  attributes.isDirectory = S_ISDIR(info.st_mode);
  attributes.permissions = info.st_mode & 07777;
  return attributes;
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectoryAtPath(const std::string& path,
                                                                               ErrorPtr* error) const {
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) {
    report(error, ec.value(), path, false);
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<Data> FileManager::contentsAtPath(const std::string& path) const {
  return dataWithContentsOfFile(path);
}

bool FileManager::createFileAtPath(const std::string& path, const Data& contents) {
  return writeDataToFile(contents, path, true);
}

}  // namespace ns
