#pragma once

#include <fstream>
#include <string>

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// How much the process's resident memory has grown at its highest since the object was made, in
// megabytes: the peak is reset first.
class PeakMemoryGrowth {
 public:
  PeakMemoryGrowth() {
    std::ofstream("/proc/self/clear_refs") << "5";
    start_ = read("VmHWM:");
  }
  double megabytes() const { return (read("VmHWM:") - start_) / 1024.0; }

 private:
  static double read(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind(field, 0) == 0) return std::stod(line.substr(field.size()));
    return 0;
  }
  double start_ = 0;
};

}  // namespace testsupport
