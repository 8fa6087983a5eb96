#include "Media/AudioOutput.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "Graphics/Layer.h"

namespace av::detail {

namespace {

std::atomic<float> volume{1.0f};

// Sound this far from where the position says it belongs is skipped or waited for.
constexpr double kDriftTolerance = 0.1;

}  // namespace

float outputVolume() { return volume.load(std::memory_order_relaxed); }

void setOutputVolume(float v) {
  if (!(v >= 0)) v = 0;  // also catches not-a-number
  v = std::min(v, 1.0f);
  // Volume sliders draw it.
  if (volume.exchange(v, std::memory_order_relaxed) != v) cg::noteWholeDisplayChange();
}

void AudioSource::push(double time, std::vector<std::int16_t> samples) {
  std::lock_guard lock(mutex_);
  chunks_.push_back({time, std::move(samples), 0});
}

void AudioSource::flush() {
  std::lock_guard lock(mutex_);
  chunks_.clear();
}

double AudioSource::queuedEnd(double otherwise) const {
  std::lock_guard lock(mutex_);
  if (chunks_.empty()) return otherwise;
  const Chunk& last = chunks_.back();
  return last.time + double(last.samples.size() / std::size_t(channels_)) / sampleRate_;
}

void AudioSource::mixInto(std::int16_t* out, int frames, float scale) {
  if (timeline_->rate() <= 0) return;
  double want = timeline_->position();
  std::lock_guard lock(mutex_);
  int written = 0;
  while (written < frames && !chunks_.empty()) {
    Chunk& chunk = chunks_.front();
    std::size_t left = (chunk.samples.size() - chunk.offset) / std::size_t(channels_);
    double at = chunk.time + double(chunk.offset / std::size_t(channels_)) / sampleRate_;
    double due = want + double(written) / sampleRate_;
    if (at < due - kDriftTolerance) {
      // Behind the position (a seek, a stall): skip to it.
      std::size_t skip = std::min(left, std::size_t((due - at) * sampleRate_));
      chunk.offset += std::max<std::size_t>(skip, 1) * std::size_t(channels_);
    } else if (at > due + kDriftTolerance) {
      break;  // ahead of the position: silence until it gets there
    } else {
      std::size_t n = std::min(left, std::size_t(frames - written));
      const std::int16_t* from = chunk.samples.data() + chunk.offset;
      std::int16_t* to = out + std::size_t(written) * std::size_t(channels_);
      for (std::size_t i = 0; i < n * std::size_t(channels_); ++i) {
        int mixed = int(to[i]) + int(float(from[i]) * scale);
        to[i] = std::int16_t(std::clamp(mixed, -32768, 32767));
      }
      chunk.offset += n * std::size_t(channels_);
      written += int(n);
    }
    if (chunk.offset >= chunk.samples.size()) chunks_.pop_front();
  }
}

AudioOutput& AudioOutput::shared() {
  static AudioOutput* output = new AudioOutput;  // the device thread may outlive static destruction
  return *output;
}

bool AudioOutput::open() {
  std::lock_guard lock(mutex_);
  if (tried_) return opened_;
  tried_ = true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  for (int i = 0; i < SDL_GetNumAudioDrivers() && !opened_; ++i) {
    std::string driver = SDL_GetAudioDriver(i);
    // A file writer and a null sink are no sound device; ALSA (and sndio over it) without a
    // sound card has none either, and would only print its complaints.
    bool overALSA = driver == "alsa" || driver == "sndio";
    if (driver == "disk" || driver == "dummy" || (overALSA && !std::filesystem::exists("/dev/snd"))) continue;
    if (SDL_AudioInit(driver.c_str()) != 0) continue;
    if (!openDevice()) SDL_AudioQuit();
  }
  return opened_;
}

bool AudioOutput::openDevice() {
  SDL_AudioSpec want{};
  want.freq = sampleRate_;
  want.format = AUDIO_S16SYS;
  want.channels = std::uint8_t(channels_);
  want.samples = 1024;
  want.callback = &AudioOutput::fill;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
  if (device_ == 0 || have.channels == 0 || have.freq <= 0) {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    return false;
  }
  sampleRate_ = have.freq;
  channels_ = have.channels;
  opened_ = true;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void AudioOutput::add(const std::shared_ptr<AudioSource>& source) {
  std::lock_guard lock(mutex_);
  sources_.push_back(source);
}

void AudioOutput::remove(const AudioSource* source) {
  std::lock_guard lock(mutex_);
  std::erase_if(sources_, [source](const auto& s) { return s.get() == source; });
}

void AudioOutput::fill(void* userdata, std::uint8_t* stream, int length) {
  auto* self = static_cast<AudioOutput*>(userdata);
  std::memset(stream, 0, std::size_t(length));
  std::vector<std::shared_ptr<AudioSource>> sources;
  int frames = 0;
  {
    std::lock_guard lock(self->mutex_);
    sources = self->sources_;
    frames = length / int(sizeof(std::int16_t)) / self->channels_;
  }
  float scale = outputVolume();
  for (const auto& source : sources) source->mixInto(reinterpret_cast<std::int16_t*>(stream), frames, scale);
}

}  // namespace av::detail
