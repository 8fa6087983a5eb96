#pragma once

#include <string>

// Client identifiers: a new random UUID in lower case.
class MAIClientId final {
 public:
  MAIClientId() = delete;
  static std::string generateClientId();
};
