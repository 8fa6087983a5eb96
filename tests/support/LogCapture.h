#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "Foundation/Format.h"

namespace testsupport {

// Captures ns::log lines for the lifetime of the object (they no longer reach standard error).
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> lines() const;
  bool contains(const std::string& fragment) const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  ns::LogHandler previous_;
};

}  // namespace testsupport
