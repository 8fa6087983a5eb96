#include "SampleClips.h"

#include <fstream>
#include <sstream>

namespace sampleservice {

std::optional<std::string> ClipStore::file(const std::string& clip, const std::string& name) {
  std::string key = clip + "/" + name;
  std::lock_guard lock(mutex_);
  if (auto it = files_.find(key); it != files_.end()) return it->second;
  std::ifstream in(folder_ + "/" + key, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return files_.emplace(key, bytes.str()).first->second;
}

std::string defaultClipsFolder() { return SAMPLE_SERVICE_CLIPS_DIR; }

}  // namespace sampleservice
