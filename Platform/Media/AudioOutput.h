#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "Media/Pipeline.h"

// The media layer's sound output: internal to Platform/Media.
namespace av::detail {

// The process-wide output volume, 0...1, which every sound played is scaled by.
float outputVolume();
void setOutputVolume(float volume);

// Decoded sound of one pipeline waiting for the device: chunks of interleaved 16-bit samples at
// the device's rate and channel count, each stamped with its media time. The device takes from
// it what belongs at the timeline's position. Safe from any thread.
class AudioSource {
 public:
  AudioSource(std::shared_ptr<const Timeline> timeline, int sampleRate, int channels)
      : timeline_(std::move(timeline)), sampleRate_(sampleRate), channels_(channels) {}

  void push(double time, std::vector<std::int16_t> samples);
  void flush();
  // Media time up to which sound is queued; nothing queued gives `otherwise`.
  double queuedEnd(double otherwise) const;
  // Adds this source's sound for the next `frames` frames to `out`, scaled by `volume`.
  void mixInto(std::int16_t* out, int frames, float volume);

 private:
  struct Chunk {
    double time;
    std::vector<std::int16_t> samples;
    std::size_t offset = 0;  // samples already played
  };
  std::shared_ptr<const Timeline> timeline_;
  const int sampleRate_;
  const int channels_;
  mutable std::mutex mutex_;
  std::deque<Chunk> chunks_;
};

// The sound device, opened on first use through SDL's audio subsystem (which needs no window).
// Without a device open() is false and sound is dropped at the playback rate by its pipeline.
class AudioOutput {
 public:
  static AudioOutput& shared();
  bool open();
  int sampleRate() const { return sampleRate_; }
  int channels() const { return channels_; }
  void add(const std::shared_ptr<AudioSource>& source);
  void remove(const AudioSource* source);

 private:
  AudioOutput() = default;
  // With a driver initialised, under the lock.
  bool openDevice();
  static void fill(void* self, std::uint8_t* stream, int length);

  std::mutex mutex_;
  bool tried_ = false;
  bool opened_ = false;
  std::uint32_t device_ = 0;
  int sampleRate_ = 48000;
  int channels_ = 2;
  std::vector<std::shared_ptr<AudioSource>> sources_;
};

}  // namespace av::detail
