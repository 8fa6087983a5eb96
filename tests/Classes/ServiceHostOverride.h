#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace testsupport {

// Points the client at a fixed host for the duration of a test.
class ServiceHostOverride {
 public:
  explicit ServiceHostOverride(const char* value) {
    if (const char* old = getenv("VCC_SERVICE_HOST")) previous_ = old;
    if (value)
      setenv("VCC_SERVICE_HOST", value, 1);
    else
      unsetenv("VCC_SERVICE_HOST");
  }
  ~ServiceHostOverride() {
    if (previous_)
      setenv("VCC_SERVICE_HOST", previous_->c_str(), 1);
    else
      unsetenv("VCC_SERVICE_HOST");
  }

 private:
  std::optional<std::string> previous_;
};

}  // namespace testsupport
