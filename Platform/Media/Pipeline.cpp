#include "Media/Pipeline.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <thread>

#include "Foundation/Clock.h"
#include "Media/AudioOutput.h"
#include "Media/MediaInput.h"

namespace av::detail {

void Timeline::set(double mediaTime, double rate) {
  double now = ns::clockNow();
  std::lock_guard lock(mutex_);
  anchorMedia_ = mediaTime;
  anchorClock_ = now;
  rate_ = rate;
}

void Timeline::setEnd(double end) {
  std::lock_guard lock(mutex_);
  end_ = std::max(0.0, end);
}

double Timeline::position() const {
  double now = ns::clockNow();
  std::lock_guard lock(mutex_);
  double p = anchorMedia_ + (now - anchorClock_) * rate_;
  return std::clamp(p, 0.0, end_);
}

double Timeline::rate() const {
  std::lock_guard lock(mutex_);
  return rate_;
}

namespace {

// Less than any frame's duration: times this close count as equal.
constexpr double kEpsilon = 1e-4;
// How often a waiting worker looks at the clock again (it may move without telling anyone).
constexpr auto kClockPoll = std::chrono::milliseconds(10);
// Sound decoded ahead of the position for the device.
constexpr double kAudioAhead = 0.5;
// Loaded ranges are reported when they have grown by this much.
constexpr double kLoadedStep = 0.25;

enum class Mark { data, flush, end };

struct QueuedPacket {
  AVPacket* packet = nullptr;
  Mark mark = Mark::data;
  int serial = 0;
  double seekTarget = 0;  // for a flush: decode from here
};

struct PacketQueue {
  std::deque<QueuedPacket> items;
  std::size_t bytes = 0;
  // Its decoding thread waits on it for packets (and, for sound, for the clock).
  std::condition_variable filled;

  void clear() {
    for (auto& p : items) av_packet_free(&p.packet);
    items.clear();
    bytes = 0;
  }
};

void nameThread(const char* name) { pthread_setname_np(pthread_self(), name); }

double toSeconds(std::int64_t ts, AVRational base, double start) {
  if (ts == AV_NOPTS_VALUE) return NAN;
  return double(ts) * av_q2d(base) - start;
}

// Pixel buffers for converted pictures, handed back when the last picture using one is let go
// (on whichever thread): playback reuses a few buffers instead of allocating one per frame.
class PixelPool : public std::enable_shared_from_this<PixelPool> {
 public:
  using Buffer = std::vector<std::uint32_t>;

  std::unique_ptr<Buffer> take(std::size_t count) {
    std::unique_ptr<Buffer> buffer;
    {
      std::lock_guard lock(mutex_);
      if (!free_.empty()) {
        buffer = std::move(free_.back());
        free_.pop_back();
      }
    }
    if (!buffer) buffer = std::make_unique<Buffer>();
    buffer->resize(count);
    return buffer;
  }

  std::shared_ptr<const Buffer> share(std::unique_ptr<Buffer> buffer) {
    std::weak_ptr<PixelPool> pool = weak_from_this();
    return std::shared_ptr<const Buffer>(buffer.release(), [pool](const Buffer* b) {
      std::unique_ptr<Buffer> owned(const_cast<Buffer*>(b));
      if (auto p = pool.lock()) p->giveBack(std::move(owned));
    });
  }

 private:
  static constexpr std::size_t kKept = 4;
  void giveBack(std::unique_ptr<Buffer> buffer) {
    std::lock_guard lock(mutex_);
    if (free_.size() < kKept) free_.push_back(std::move(buffer));
  }
  std::mutex mutex_;
  std::vector<std::unique_ptr<Buffer>> free_;
};

AVCodecContext* openDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return nullptr;
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) return nullptr;
  // One thread per stream: the decoder's own threads are not needed at these sizes.
  context->thread_count = 1;
  context->pkt_timebase = stream->time_base;
  if (avcodec_parameters_to_context(context, stream->codecpar) < 0 ||
      avcodec_open2(context, codec, nullptr) < 0)
    avcodec_free_context(&context);
  return context;
}

}  // namespace

struct Pipeline::State {
  State(std::string u, std::shared_ptr<const Timeline> t, Options o, Events e)
      : url(std::move(u)), timeline(std::move(t)), options(o), events(std::move(e)) {}

  const std::string url;
  const std::shared_ptr<const Timeline> timeline;
  const Options options;
  const Events events;
  std::atomic<bool> stop{false};
  std::atomic<bool> halted{false};  // failed: every worker stops

  // One lock for the hand-offs; each kind of waiter has its own condition, so that a packet
  // wakes its decoder only and a frame its readers only.
  std::mutex mutex;
  std::condition_variable room;      // the demuxer waits for room in the packet queues
  std::condition_variable pictures;  // frame queue readers and the video decoder wait on it
  // Guarded by mutex.
  PacketQueue videoPackets, audioPackets;
  int serial = 0;  // bumped by every seek; older packets and frames are dropped
  std::optional<double> seekRequest;
  bool demuxEnded = false;
  bool demuxFull = false;      // the demuxer waits for the packet queues to drain
  bool decodingVideo = false;  // set once the decoders are open
  bool opened = false;
  std::deque<VideoFrame> frames;
  double firstFrameTime = INFINITY;  // of the current serial: shown for any earlier position
  bool videoEnded = false;
  std::optional<VideoFrame> shown;
  bool readySent = false;
  double loadedStart = 0, loadedEnd = 0, reportedEnd = -1;
  std::shared_ptr<AudioSource> audioSink;

  // Set by the demuxing thread before it starts the decoders; read-only afterwards.
  std::unique_ptr<Input> input;
  MediaInfo info;
  double startTime = 0;
  double frameDuration = 0.04;
  AVCodecContext* videoCodec = nullptr;
  AVCodecContext* audioCodec = nullptr;
  AVRational videoBase{1, 1}, audioBase{1, 1};

  const std::shared_ptr<PixelPool> pixelPool = std::make_shared<PixelPool>();
  std::thread demuxer, videoDecoder, audioDecoder;

  ~State() {
    videoPackets.clear();
    audioPackets.clear();
    avcodec_free_context(&videoCodec);
    avcodec_free_context(&audioCodec);
  }

  bool stopping() const {
    return stop.load(std::memory_order_relaxed) || halted.load(std::memory_order_relaxed);
  }

  void notifyEveryone() {
    videoPackets.filled.notify_all();
    audioPackets.filled.notify_all();
    room.notify_all();
    pictures.notify_all();
  }

  void fail(ns::ErrorPtr error) {
    {
      std::lock_guard lock(mutex);
      if (halted.exchange(true)) return;
      opened = true;
      notifyEveryone();
    }
    if (!stop.load() && events.failed) events.failed(std::move(error));
  }

  // Called with the lock held: reports the loaded range when it grew enough (outside the lock).
  void noteLoaded(std::unique_lock<std::mutex>& lock, bool force) {
    if (!force && loadedEnd - reportedEnd < kLoadedStep) return;
    reportedEnd = loadedEnd;
    double start = loadedStart, end = loadedEnd;
    lock.unlock();
    if (events.loaded) events.loaded(start, end);
    lock.lock();
  }

  void dropObsoleteFrames(double position) {
    while (frames.size() >= 2 && frames[1].time <= position + kEpsilon) frames.pop_front();
  }

  // Whether the first queued frame is the one to show at the position.
  bool frontCovers(double position) const {
    // A seek not taken up yet drops the queue: none of its frames is the one to keep showing.
    if (frames.empty() || seekRequest) return false;
    const VideoFrame& f = frames.front();
    // Before the first picture since the start or a seek, that picture is the one to show.
    if (f.time > position + kEpsilon) return f.time <= firstFrameTime + kEpsilon;
    return frames.size() >= 2 || videoEnded || f.time + f.duration > position + kEpsilon;
  }

  std::size_t queuedBytes() const { return videoPackets.bytes + audioPackets.bytes; }
  // Once the packet queues are full the demuxer waits until a quarter has drained, rather than
  // waking for every packet taken.
  bool hasRoom() const {
    std::size_t limit = demuxFull ? options.packetBytes / 4 * 3 : options.packetBytes;
    if (queuedBytes() >= limit) return false;
    return !options.paced || loadedEnd - timeline->position() < options.readAhead;
  }

  void runDemuxer();
  bool openDecoders();
  void readPackets();
  void runVideo();
  bool deliverFrame(AVFrame* frame, SwsContext*& scaler, int serialNow, double skipBefore, bool& first);
  void runAudio();
  void playSound(AVFrame* frame, SwrContext*& resampler, int serialNow);
  bool takePacket(PacketQueue& queue, QueuedPacket& out);
  // Waits for a change, or for the position to move: the clock moves without telling anyone,
  // while a change of rate is announced (timelineChanged).
  void waitForClock(std::unique_lock<std::mutex>& lock, std::condition_variable& condition) {
    if (timeline->rate() != 0)
      condition.wait_for(lock, kClockPoll);
    else
      condition.wait(lock);
  }
};

void Pipeline::State::runDemuxer() {
  nameThread("av.demux");
  ns::ErrorPtr error;
  bool notMedia = false;
  input = Input::open(url, &stop, error, notMedia);
  if (!input) {
    fail(error);
    return;
  }
  if (!openDecoders()) {
    fail(mediaError(kMediaErrorDecoderNotFound, "Cannot Decode",
                    "The media has no video or sound in a format that can be played."));
    return;
  }
  if (audioCodec && options.paced && AudioOutput::shared().open()) {
    auto& output = AudioOutput::shared();
    audioSink = std::make_shared<AudioSource>(timeline, output.sampleRate(), output.channels());
    output.add(audioSink);
  }
  {
    std::lock_guard lock(mutex);
    if (options.start > 0 && !seekRequest) seekRequest = options.start;
    decodingVideo = videoCodec != nullptr;
    opened = true;
    pictures.notify_all();
  }
  if (videoCodec) videoDecoder = std::thread([this] { runVideo(); });
  if (audioCodec) audioDecoder = std::thread([this] { runAudio(); });
  readPackets();
}

bool Pipeline::State::openDecoders() {
  AVFormatContext* context = input->context();
  startTime = input->startTime();
  info.duration = input->duration();
  if (int v = input->videoStream(); v >= 0) {
    const AVStream* stream = context->streams[v];
    videoCodec = openDecoder(stream);
    videoBase = stream->time_base;
    if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
      frameDuration = 1.0 / av_q2d(stream->avg_frame_rate);
    if (videoCodec) info.presentationSize = {double(videoCodec->width), double(videoCodec->height)};
  }
  if (int a = input->audioStream(); a >= 0) {
    audioCodec = openDecoder(context->streams[a]);
    audioBase = context->streams[a]->time_base;
  }
  info.hasVideo = videoCodec != nullptr;
  info.hasAudio = audioCodec != nullptr;
  return videoCodec || audioCodec;
}

void Pipeline::State::readPackets() {
  AVFormatContext* context = input->context();
  AVPacket* packet = av_packet_alloc();
  for (;;) {
    std::optional<double> seekTo;
    {
      std::unique_lock lock(mutex);
      while (!stopping() && !seekRequest && (demuxEnded || !hasRoom())) {
        demuxFull = queuedBytes() >= options.packetBytes;
        // At the end only a seek (or the end of the pipeline) gives more to do.
        if (options.paced && !demuxEnded)
          waitForClock(lock, room);
        else
          room.wait(lock);
      }
      demuxFull = false;
      if (stopping()) break;
      if (seekRequest) {
        seekTo = std::exchange(seekRequest, std::nullopt);
        ++serial;
        videoPackets.clear();
        audioPackets.clear();
        QueuedPacket flush{nullptr, Mark::flush, serial, *seekTo};
        if (videoCodec) videoPackets.items.push_back(flush);
        if (audioCodec) audioPackets.items.push_back(flush);
        frames.clear();
        firstFrameTime = INFINITY;
        videoEnded = false;
        demuxEnded = false;
        loadedStart = loadedEnd = *seekTo;
        reportedEnd = -1;
        if (audioSink) audioSink->flush();
        notifyEveryone();
      }
    }
    if (seekTo) {
      std::int64_t ts = std::llround((*seekTo + startTime) * AV_TIME_BASE);
      // A stream that cannot seek goes on from where it is.
      avformat_seek_file(context, -1, INT64_MIN, ts, ts, 0);
      continue;
    }

    int rc = av_read_frame(context, packet);
    if (stop.load()) break;
    if (auto failure = input->resourceError()) {
      fail(failure);
      break;
    }
    if (rc == AVERROR(EAGAIN)) {
      // Nothing yet (a live source between segments): look again shortly.
      std::this_thread::sleep_for(kClockPoll);
      continue;
    }
    if (rc == AVERROR_EOF && context->pb && context->pb->error < 0 && context->pb->error != AVERROR_EOF)
      rc = context->pb->error;
    if (rc == AVERROR_EOF) {
      std::unique_lock lock(mutex);
      demuxEnded = true;
      for (PacketQueue* q : {&videoPackets, &audioPackets})
        if ((q == &videoPackets && videoCodec) || (q == &audioPackets && audioCodec))
          q->items.push_back({nullptr, Mark::end, serial, 0});
      if (info.duration) loadedEnd = std::max(loadedEnd, *info.duration);
      notifyEveryone();
      noteLoaded(lock, true);
      continue;
    }
    if (rc < 0) {
      fail(input->readError(rc));
      break;
    }

    bool video = packet->stream_index == input->videoStream() && videoCodec;
    bool audio = packet->stream_index == input->audioStream() && audioCodec;
    if (!video && !audio) {
      av_packet_unref(packet);
      continue;
    }
    AVRational base = video ? videoBase : audioBase;
    double time = toSeconds(packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts, base, startTime);
    double end = time + double(packet->duration) * av_q2d(base);
    QueuedPacket queued{av_packet_alloc(), Mark::data, 0, 0};
    av_packet_move_ref(queued.packet, packet);
    std::unique_lock lock(mutex);
    queued.serial = serial;
    PacketQueue& queue = video ? videoPackets : audioPackets;
    queue.bytes += std::size_t(std::max(0, queued.packet->size));
    queue.items.push_back(queued);
    if (!std::isnan(end)) loadedEnd = std::max(loadedEnd, end);
    queue.filled.notify_one();
    noteLoaded(lock, false);
  }
  av_packet_free(&packet);
}

bool Pipeline::State::takePacket(PacketQueue& queue, QueuedPacket& out) {
  std::unique_lock lock(mutex);
  queue.filled.wait(lock, [&] { return stopping() || !queue.items.empty(); });
  if (stopping()) return false;
  out = queue.items.front();
  queue.items.pop_front();
  if (out.packet) queue.bytes -= std::min(queue.bytes, std::size_t(std::max(0, out.packet->size)));
  if (!demuxFull || queuedBytes() < options.packetBytes / 4 * 3) room.notify_one();
  return true;
}

void Pipeline::State::runVideo() {
  nameThread("av.video");
  AVFrame* frame = av_frame_alloc();
  SwsContext* scaler = nullptr;
  int serialNow = 0;
  double skipBefore = -INFINITY;
  bool first = true;
  bool any = false;
  QueuedPacket queued;
  while (takePacket(videoPackets, queued)) {
    if (queued.mark == Mark::flush) {
      avcodec_flush_buffers(videoCodec);
      serialNow = queued.serial;
      skipBefore = queued.seekTarget;
      first = true;
      continue;
    }
    // A packet the decoder refuses (damaged data) is skipped; the next key frame recovers.
    avcodec_send_packet(videoCodec, queued.packet);
    av_packet_free(&queued.packet);
    bool running = true;
    while (running && avcodec_receive_frame(videoCodec, frame) >= 0) {
      running = deliverFrame(frame, scaler, serialNow, skipBefore, first);
      any = any || !first;
      av_frame_unref(frame);
    }
    if (!running) break;
    if (queued.mark == Mark::end) {
      avcodec_flush_buffers(videoCodec);
      if (!any && !audioCodec) {
        fail(mediaError(kMediaErrorDecodeFailed, "Cannot Decode",
                        "No picture of the media could be decoded."));
        break;
      }
      std::lock_guard lock(mutex);
      if (serial == serialNow) videoEnded = true;
      pictures.notify_all();
    }
  }
  sws_freeContext(scaler);
  av_frame_free(&frame);
}

bool Pipeline::State::deliverFrame(AVFrame* frame, SwsContext*& scaler, int serialNow, double skipBefore,
                                   bool& first) {
  double time = toSeconds(frame->best_effort_timestamp, videoBase, startTime);
  if (std::isnan(time)) return true;
  double duration = frame->pkt_duration > 0 ? double(frame->pkt_duration) * av_q2d(videoBase) : frameDuration;
  // Frames before a seek's target are decoded only to reach it.
  if (time + duration <= skipBefore + kEpsilon) return true;
  // A late frame is not worth converting, unless nothing has been shown since the seek.
  if (options.paced && !first && time + duration <= timeline->position() - kEpsilon) return true;

  int width = frame->width, height = frame->height;
  if (width <= 0 || height <= 0) return true;
  scaler = sws_getCachedContext(scaler, width, height, AVPixelFormat(frame->format), width, height,
                                AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler) return true;
  auto pixels = pixelPool->take(std::size_t(width) * std::size_t(height));
  std::uint8_t* planes[4] = {reinterpret_cast<std::uint8_t*>(pixels->data()), nullptr, nullptr, nullptr};
  int strides[4] = {width * 4, 0, 0, 0};
  sws_scale(scaler, frame->data, frame->linesize, 0, height, planes, strides);
  auto image = std::make_shared<const cg::Image>(width, height, pixelPool->share(std::move(pixels)), 1.0);

  std::unique_lock lock(mutex);
  for (;;) {
    if (stopping()) return false;
    if (serial != serialNow) return true;
    if (options.paced) dropObsoleteFrames(timeline->position());
    if (frames.size() < options.frameQueue) break;
    if (options.paced)
      waitForClock(lock, pictures);
    else
      pictures.wait(lock);
  }
  if (first) firstFrameTime = time;
  first = false;
  frames.push_back({std::move(image), time, duration});
  bool announce = !readySent;
  readySent = true;
  pictures.notify_all();
  lock.unlock();
  if (announce && events.ready) events.ready(info);
  return true;
}

void Pipeline::State::runAudio() {
  nameThread("av.audio");
  AVFrame* frame = av_frame_alloc();
  SwrContext* resampler = nullptr;
  int serialNow = 0;
  QueuedPacket queued;
  while (takePacket(audioPackets, queued)) {
    if (queued.mark == Mark::flush) {
      avcodec_flush_buffers(audioCodec);
      serialNow = queued.serial;
      continue;
    }
    avcodec_send_packet(audioCodec, queued.packet);
    av_packet_free(&queued.packet);
    while (!stopping() && avcodec_receive_frame(audioCodec, frame) >= 0) {
      playSound(frame, resampler, serialNow);
      av_frame_unref(frame);
    }
    if (queued.mark == Mark::end) avcodec_flush_buffers(audioCodec);
  }
  swr_free(&resampler);
  av_frame_free(&frame);
}

void Pipeline::State::playSound(AVFrame* frame, SwrContext*& resampler, int serialNow) {
  double time = toSeconds(frame->best_effort_timestamp, audioBase, startTime);
  if (std::isnan(time)) return;
  if (!videoCodec) {
    std::unique_lock lock(mutex);
    bool announce = !readySent;
    readySent = true;
    lock.unlock();
    if (announce && events.ready) events.ready(info);
  }
  if (!options.paced) return;
  if (!audioSink) {
    // No device: the sound is dropped once the position has passed it.
    std::unique_lock lock(mutex);
    while (!stopping() && serial == serialNow && timeline->position() + kEpsilon < time)
      waitForClock(lock, audioPackets.filled);
    return;
  }

  int rate = AudioOutput::shared().sampleRate(), channels = AudioOutput::shared().channels();
  if (!resampler) {
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    if (swr_alloc_set_opts2(&resampler, &layout, AV_SAMPLE_FMT_S16, rate, &frame->ch_layout,
                            AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler) < 0) {
      swr_free(&resampler);
      return;
    }
  }
  int capacity = swr_get_out_samples(resampler, frame->nb_samples);
  if (capacity <= 0) return;
  std::vector<std::int16_t> samples(std::size_t(capacity) * std::size_t(channels));
  std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(samples.data())};
  int produced = swr_convert(resampler, out, capacity, const_cast<const std::uint8_t**>(frame->extended_data),
                             frame->nb_samples);
  if (produced <= 0) return;
  samples.resize(std::size_t(produced) * std::size_t(channels));

  std::unique_lock lock(mutex);
  while (!stopping() && serial == serialNow &&
         audioSink->queuedEnd(time) - timeline->position() > kAudioAhead)
    waitForClock(lock, audioPackets.filled);
  if (stopping() || serial != serialNow) return;
  lock.unlock();
  audioSink->push(time, std::move(samples));
}

Pipeline::Pipeline(std::string url, std::shared_ptr<const Timeline> timeline, Options options, Events events)
    : state_(std::make_unique<State>(std::move(url), std::move(timeline), options, std::move(events))) {
  State* s = state_.get();
  s->demuxer = std::thread([s] { s->runDemuxer(); });
}

Pipeline::~Pipeline() {
  State& s = *state_;
  s.stop.store(true);
  {
    std::lock_guard lock(s.mutex);
    s.notifyEveryone();
  }
  if (s.demuxer.joinable()) s.demuxer.join();
  // The demuxer started the decoders; it has been joined, so they are seen here.
  if (s.videoDecoder.joinable()) s.videoDecoder.join();
  if (s.audioDecoder.joinable()) s.audioDecoder.join();
  if (s.audioSink) AudioOutput::shared().remove(s.audioSink.get());
}

void Pipeline::timelineChanged() {
  std::lock_guard lock(state_->mutex);
  state_->notifyEveryone();
}

void Pipeline::seek(double seconds) {
  std::lock_guard lock(state_->mutex);
  state_->seekRequest = seconds;
  state_->notifyEveryone();
}

cg::ImagePtr Pipeline::frameAt(double position, bool wait, double timeoutSeconds) {
  State& s = *state_;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  std::unique_lock lock(s.mutex);
  for (;;) {
    s.dropObsoleteFrames(position);
    if (s.frontCovers(position) || !wait || s.halted || (s.videoEnded && s.frames.empty()) ||
        (s.opened && !s.decodingVideo))
      break;
    if (s.pictures.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  if (!s.frames.empty() && (s.frames.front().time <= position + kEpsilon || s.frontCovers(position)))
    s.shown = s.frames.front();
  s.pictures.notify_all();
  return s.shown ? s.shown->image : nullptr;
}

bool Pipeline::hasFrameFor(double position) {
  std::lock_guard lock(state_->mutex);
  state_->dropObsoleteFrames(position);
  return state_->frontCovers(position);
}

std::optional<double> Pipeline::nextPictureTime(double position) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  s.dropObsoleteFrames(position);
  const bool decoding = !s.halted && !(s.opened && !s.decodingVideo);
  if (!s.frontCovers(position)) {
    if (!decoding || (s.videoEnded && s.frames.empty())) return std::nullopt;
    return position;
  }
  if (s.frames.size() >= 2) return s.frames[1].time;
  if (s.videoEnded || !decoding) return std::nullopt;
  // The next frame is not decoded yet: it is due when this one ends (a first picture shown
  // before its time, after a seek, stays until then too).
  const VideoFrame& front = s.frames.front();
  return std::max(front.time, position) + std::max(front.duration, kEpsilon);
}

std::optional<VideoFrame> Pipeline::nextFrame() {
  State& s = *state_;
  std::unique_lock lock(s.mutex);
  s.pictures.wait(lock, [&] {
    return !s.frames.empty() || s.halted || s.videoEnded || s.stop.load() || (s.opened && !s.decodingVideo);
  });
  if (s.frames.empty()) return std::nullopt;
  VideoFrame f = std::move(s.frames.front());
  s.frames.pop_front();
  s.pictures.notify_all();
  return f;
}

}  // namespace av::detail
