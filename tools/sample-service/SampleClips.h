#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace sampleservice {

// The generated video clips (tools/make-clips), read from their folder on first use and kept.
// A clip is a folder: "programme", "advert" or "unsupported". Safe to use from the server's threads.
class ClipStore {
 public:
  explicit ClipStore(std::string folder) : folder_(std::move(folder)) {}
  // The bytes of one file of a clip; nothing when it does not exist.
  std::optional<std::string> file(const std::string& clip, const std::string& name);

 private:
  std::string folder_;
  std::mutex mutex_;
  std::map<std::string, std::string> files_;
};

// The folder the build generates the clips into.
std::string defaultClipsFolder();

}  // namespace sampleservice
