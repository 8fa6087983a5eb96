#pragma once

#include <string>

namespace clips {

// What a clip shows: the programme's time counter and progress bar, the advertisement's
// stripes and countdown, or the programme's picture over moving grain (a realistic bit rate).
enum class Look { programme, advert, grain };

struct ClipPlan {
  Look look = Look::programme;
  int width = 320;
  int height = 180;
  int fps = 25;
  double seconds = 12;
  bool h264 = true;  // else MPEG-2 video, which the platform does not play
  bool audio = true;
  double toneHz = 440;
  long videoBitRate = 0;  // 0: constant quality
  double segmentSeconds = 4;
  bool hls = true;  // index.m3u8 and segment<N>.ts
  bool mp4 = true;  // clip.mp4
};

// Encodes the clip with FFmpeg's libraries into the folder (created if missing). False with a
// message when an encoder or a file fails.
bool writeClip(const ClipPlan& plan, const std::string& folder, std::string& error);

}  // namespace clips
