// The media layer on the generated 60-second clip (640 x 360 H.264 at about 1.2 Mbit/s with AAC
// sound, an MP4 file), against FFmpeg used directly, in the same run:
//   decode: the layer's pipeline (a demuxing thread and one decoding thread per stream, pictures
//     converted to the renderer's pixels into its frame queue) run as fast as frames are taken,
//     against FFmpeg's own read-decode-scale loop on one thread, to the same pixels. Best of 3,
//     compared by the processor time of the whole process (every thread of the pipeline counts):
//     on a shared machine the wall time depends on how the scheduler treats a thread that
//     sleeps and wakes, which is no property of the code. Wall times are printed too.
//   memory: how much resident memory grows while a player opens and plays the whole clip at
//     normal speed (on the manual clock, the player layer drawing the frame of each moment),
//     from before the item is opened (its reading ahead and decoders are playback's cost too),
//     against the clip's file size: what playback holds at once, not what passes through it.
// The layer opens media over HTTP only, so the clips are served from a loopback server in this
// process, and FFmpeg's own loop reads the same URL: both pay for the transport alike.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <httplib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Context.h"
#include "Media/Pipeline.h"
#include "Media/PlayerLayer.h"

namespace {

constexpr int kRepeats = 3;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Serves the files of a folder on 127.0.0.1, in pieces read as they are sent (ranges included),
// so the server holds no copy of a clip.
class ClipServer {
 public:
  explicit ClipServer(std::string folder) {
    server_.Get(
        R"(/([A-Za-z0-9_./]+))", [folder](const httplib::Request& request, httplib::Response& response) {
          std::string name = request.matches[1];
          auto file = std::make_shared<std::ifstream>(folder + "/" + name, std::ios::binary);
          std::error_code ec;
          auto size = std::filesystem::file_size(folder + "/" + name, ec);
          if (ec || name.find("..") != std::string::npos || !*file) {
            response.status = 404;
            return;
          }
          response.set_content_provider(
              size, "video/mp4", [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                std::vector<char> piece(std::min<std::size_t>(length, 64 * 1024));
                file->clear();
                file->seekg(std::streamoff(offset));
                file->read(piece.data(), std::streamsize(piece.size()));
                auto n = std::size_t(file->gcount());
                return n > 0 && sink.write(piece.data(), n);
              });
        });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~ClipServer() {
    server_.stop();
    thread_.join();
  }
  std::string url(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

struct Run {
  double seconds = 0;  // processor time
  double wallSeconds = 0;
  long frames = 0;
};

// Times a run by the process's processor time and the wall clock.
template <class F>
Run measure(F&& body) {
  Run run;
  double cpu = processSeconds();
  auto start = Clock::now();
  run.frames = body();
  run.seconds = processSeconds() - cpu;
  run.wallSeconds = secondsSince(start);
  return run;
}

// FFmpeg's own loop: read, decode on one thread, scale every picture to 32-bit ARGB.
long decodeWithFFmpeg(const std::string& url) {
  long frames = 0;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, url.c_str(), nullptr, nullptr) < 0) return frames;
  avformat_find_stream_info(format, nullptr);
  int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec = avcodec_find_decoder(format->streams[index]->codecpar->codec_id);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(decoder, format->streams[index]->codecpar);
  decoder->thread_count = 1;
  avcodec_open2(decoder, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* scaler = nullptr;
  std::vector<std::uint32_t> pixels;
  auto drain = [&] {
    while (avcodec_receive_frame(decoder, frame) >= 0) {
      scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                    frame->width, frame->height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr,
                                    nullptr, nullptr);
      pixels.resize(std::size_t(frame->width) * std::size_t(frame->height));
      std::uint8_t* planes[4] = {reinterpret_cast<std::uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
      int strides[4] = {frame->width * 4, 0, 0, 0};
      sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
      ++frames;
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    drain();
  }
  avcodec_send_packet(decoder, nullptr);
  drain();
  sws_freeContext(scaler);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return frames;
}

// The layer's pipeline, unpaced: frames are taken as soon as they are converted.
long decodeWithPipeline(const std::string& url) {
  long frames = 0;
  av::detail::Pipeline::Options options;
  options.paced = false;
  av::detail::Pipeline pipeline(url, std::make_shared<av::detail::Timeline>(), options, {});
  while (auto frame = pipeline.nextFrame()) ++frames;
  return frames;
}

long residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

struct Memory {
  long atStart = 0;  // when playback starts: the item is open and ready
  long peak = 0;
  bool played = false;
};

// Plays `seconds` of the clip at normal speed: the clock moves one frame's time at a time and
// the layer draws the frame of each moment.
Memory play(const std::string& url, double seconds) {
  Memory memory;
  ns::ManualClock clock;
  auto item =
      av::PlayerItem::playerItemWithAsset(av::URLAsset::URLAssetWithURL(*ns::URL::URLWithString(url)));
  auto player = av::Player::playerWithPlayerItem(item);
  auto layer = av::PlayerLayer::playerLayerWithPlayer(player);
  layer->setFrame({0, 0, 320, 180});
  auto canvas = cg::Context::makeBitmap({320, 180}, true, 1);
  auto deadline = Clock::now() + std::chrono::seconds(60);
  while (item->status() == av::PlayerItemStatus::unknown && Clock::now() < deadline)
    ns::RunLoop::currentRunLoop()->runOnce(0.05);
  memory.played = item->status() == av::PlayerItemStatus::readyToPlay;
  memory.atStart = memory.peak = residentBytes();
  if (!memory.played) return memory;
  player->play();
  for (double t = 0; t < seconds; t += 0.04) {
    clock.advance(0.04);
    layer->drawInContext(*canvas);
    memory.peak = std::max(memory.peak, residentBytes());
  }
  return memory;
}

}  // namespace

int main() {
  const std::string path = std::string(VCC_CLIPS_DIR) + "/bench/clip.mp4";
  std::error_code ec;
  auto fileSize = std::filesystem::file_size(path, ec);
  if (ec) {
    std::fprintf(stderr, "bench_media: no clip at %s (the build generates it)\n", path.c_str());
    return 1;
  }
  std::printf("clip: %s, %.2f MB\n", path.c_str(), double(fileSize) / 1e6);
  ClipServer server(VCC_CLIPS_DIR);
  const std::string url = server.url("bench/clip.mp4");

  // Memory first, before the decoding runs have grown the allocator's caches.
  // A first play of the small programme clip brings in the code, which is no playback cost.
  play(server.url("programme/clip.mp4"), 2);
  long before = residentBytes();
  Memory memory = play(url, 60);
  long growth = std::max(0L, memory.peak - before);
  std::printf(
      "playing 60 s: resident %.2f MB before opening, %.2f MB when playback starts, %.2f MB at most%s\n",
      double(before) / 1e6, double(memory.atStart) / 1e6, double(memory.peak) / 1e6,
      memory.played ? "" : " (the clip did not play)");
  std::printf("growth with opening the item %.2f MB (after it was ready %.2f MB)\n", double(growth) / 1e6,
              double(std::max(0L, memory.peak - memory.atStart)) / 1e6);

  Run ffmpeg{1e9, 1e9, 0}, ours{1e9, 1e9, 0};
  for (int i = 0; i < kRepeats; ++i) {
    Run a = measure([&] { return decodeWithFFmpeg(url); });
    Run b = measure([&] { return decodeWithPipeline(url); });
    if (a.seconds < ffmpeg.seconds) ffmpeg = a;
    if (b.seconds < ours.seconds) ours = b;
  }
  std::printf("decode and convert, FFmpeg loop: %ld frames in %.3f s of processor time (%.3f s wall)\n",
              ffmpeg.frames, ffmpeg.seconds, ffmpeg.wallSeconds);
  std::printf("decode and convert, media layer: %ld frames in %.3f s of processor time (%.3f s wall)\n",
              ours.frames, ours.seconds, ours.wallSeconds);
  if (ours.frames != ffmpeg.frames) std::printf("warning: the frame counts differ\n");

  std::printf("ratio media_decode_time = %.2f (target <= 1.2)\n", ours.seconds / ffmpeg.seconds);
  std::printf("ratio media_memory = %.2f (target <= 1.0)\n", double(growth) / double(fileSize));
  return 0;
}
