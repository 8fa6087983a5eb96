#include "Media/MusicPlayerController.h"

#include "Media/AudioOutput.h"

namespace av {

std::shared_ptr<MusicPlayerController> MusicPlayerController::applicationMusicPlayer() {
  static const auto player = std::make_shared<MusicPlayerController>();
  return player;
}

float MusicPlayerController::volume() const { return detail::outputVolume(); }

void MusicPlayerController::setVolume(float volume) { detail::setOutputVolume(volume); }

}  // namespace av
