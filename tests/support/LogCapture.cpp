#include "support/LogCapture.h"

namespace testsupport {

LogCapture::LogCapture() {
  previous_ = ns::setLogHandler([this](const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
  });
}

LogCapture::~LogCapture() { ns::setLogHandler(std::move(previous_)); }

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool LogCapture::contains(const std::string& fragment) const {
  std::lock_guard lock(mutex_);
  for (const auto& line : lines_)
    if (line.find(fragment) != std::string::npos) return true;
  return false;
}

void LogCapture::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

}  // namespace testsupport
