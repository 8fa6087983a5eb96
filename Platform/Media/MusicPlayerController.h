#pragma once

#include <memory>

#include "Foundation/Object.h"

namespace av {

// The application's music player, here only for its volume: the process-wide output volume,
// 0...1, that every sound the media layer plays is scaled by (values outside are clamped).
// Safe from any thread.
class MusicPlayerController final : public ns::Object {
 public:
  static std::shared_ptr<MusicPlayerController> applicationMusicPlayer();
  float volume() const;
  void setVolume(float volume);
};

}  // namespace av
