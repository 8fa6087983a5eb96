#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Foundation/Error.h"
#include "Graphics/Geometry.h"
#include "Graphics/Image.h"

// The media layer's decoding: internal to Platform/Media (and its benchmark).
namespace av::detail {

// Where playback stands on the process clock: a media position anchored at a clock time and a
// rate, capped at the end. Set on the main thread, read by the workers and the audio device.
class Timeline {
 public:
  // Anchors `mediaTime` at the clock's present moment.
  void set(double mediaTime, double rate);
  void setEnd(double end);
  double position() const;
  double rate() const;

 private:
  mutable std::mutex mutex_;
  double anchorMedia_ = 0;
  double anchorClock_ = 0;
  double rate_ = 0;
  double end_ = std::numeric_limits<double>::infinity();
};

struct VideoFrame {
  cg::ImagePtr image;
  double time = 0;  // seconds from the start of the timeline
  double duration = 0;
};

struct MediaInfo {
  std::optional<double> duration;  // nothing for a live stream
  cg::Size presentationSize;
  bool hasVideo = false;
  bool hasAudio = false;
};

// Plays one input: a demuxing thread reads ahead of the position into packet queues, one
// decoding thread per stream decodes them; video frames are converted to the renderer's pixel
// layout into a small queue, audio goes to the output device or, without one, is dropped as
// the position passes it. Paced by the timeline; unpaced (a benchmark) it decodes as fast as
// nextFrame() takes the frames. Events come on the worker threads; none after destruction,
// which stops and joins every thread.
class Pipeline {
 public:
  struct Options {
    bool paced = true;
    double start = 0;
    double readAhead = 15.0;                    // seconds of media read ahead of the position
    std::size_t packetBytes = 4 * 1024 * 1024;  // at most this much compressed data queued
    std::size_t frameQueue = 2;                 // converted frames waiting to be shown
  };
  struct Events {
    std::function<void(const MediaInfo&)> ready;  // the first picture (or sound) is decoded
    std::function<void(ns::ErrorPtr)> failed;
    std::function<void(double start, double end)> loaded;
  };

  Pipeline(std::string url, std::shared_ptr<const Timeline> timeline, Options options, Events events);
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Tells the workers the timeline's rate or anchor changed.
  void timelineChanged();
  // Decodes from `seconds` on (within the media: the item clamps it): the frame shown becomes the
  // one covering that time.
  void seek(double seconds);
  // The frame to show at a position; with `wait`, waits up to timeoutSeconds of real time for
  // the decoder to reach the position (no wait once the input failed or ended).
  cg::ImagePtr frameAt(double position, bool wait, double timeoutSeconds);
  // Whether the frame covering the position is decoded.
  bool hasFrameFor(double position);
  // When, in media time, the picture to show changes next after the one covering the position:
  // the next frame's time (decoded or due); the position itself while its own frame is still to
  // come; none once no other picture will come.
  std::optional<double> nextPictureTime(double position);
  // Unpaced use: the next frame in decoding order; nothing at the end or after a failure.
  std::optional<VideoFrame> nextFrame();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace av::detail
