// Generates the sample service's video clips with FFmpeg's libraries.
// Usage: make-clips <output folder>
//   programme/    12 s, counter and tone: index.m3u8 with three 4-second segments, clip.mp4
//   advert/       8 s advertising clip that looks and sounds different: HLS and MP4
//   unsupported/  4 s of MPEG-2 video, which the platform does not play: HLS
//   bench/        60 s at 640 x 360 over moving grain, for the media benchmark: clip.mp4
#include <cstdio>
#include <string>

#include "ClipWriter.h"
#include "ToolUsage.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
  constexpr const char* kArguments =
      "FOLDER\n"
      "  FOLDER    where the clips go: programme/, advert/, unsupported/ and bench/ (no default)";
  if (auto exitCode = toolusage::checkArguments(argc, argv, kArguments)) return *exitCode;
  if (argc != 2) {
    std::fputs(toolusage::usageLine(argv[0], kArguments).c_str(), stderr);
    return 2;
  }
  const std::string out = argv[1];
  // The encoders' progress notes would fill the build's output; failures are reported below.
  av_log_set_level(AV_LOG_ERROR);

  clips::ClipPlan programme;

  clips::ClipPlan advert;
  advert.look = clips::Look::advert;
  advert.seconds = 8;
  advert.toneHz = 880;

  clips::ClipPlan unsupported;
  unsupported.seconds = 4;
  unsupported.h264 = false;
  unsupported.audio = false;
  unsupported.mp4 = false;

  clips::ClipPlan bench;
  bench.look = clips::Look::grain;
  bench.width = 640;
  bench.height = 360;
  bench.seconds = 60;
  bench.videoBitRate = 1'200'000;
  bench.hls = false;

  const std::pair<const char*, const clips::ClipPlan*> all[] = {
      {"programme", &programme}, {"advert", &advert}, {"unsupported", &unsupported}, {"bench", &bench}};
  for (const auto& [name, plan] : all) {
    std::string error;
    if (!clips::writeClip(*plan, out + "/" + name, error)) {
      std::fprintf(stderr, "make-clips: %s: %s\n", name, error.c_str());
      return 1;
    }
  }
  return 0;
}
