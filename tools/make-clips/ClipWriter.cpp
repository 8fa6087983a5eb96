#include "ClipWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "Graphics/Context.h"
#include "Graphics/Text.h"

namespace clips {

namespace {

constexpr int kSampleRate = 48000;

struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

std::string describe(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// One output file (the HLS playlist with its segments, or the MP4) and its two streams.
class Muxer {
 public:
  ~Muxer() {
    if (!context_) return;
    if (ownsIO_) avio_closep(&context_->pb);
    avformat_free_context(context_);
  }

  bool open(const char* format, const std::string& path, AVDictionary** options, AVCodecContext* video,
            AVCodecContext* audio, std::string& error) {
    if (avformat_alloc_output_context2(&context_, nullptr, format, path.c_str()) < 0 || !context_) {
      error = "cannot make a " + std::string(format) + " muxer";
      return false;
    }
    for (AVCodecContext* encoder : {video, audio}) {
      if (!encoder) continue;
      AVStream* stream = avformat_new_stream(context_, nullptr);
      if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder) < 0) {
        error = "cannot add a stream";
        return false;
      }
      stream->time_base = encoder->time_base;
      (encoder == video ? videoIndex_ : audioIndex_) = stream->index;
    }
    if (!(context_->oformat->flags & AVFMT_NOFILE)) {
      int rc = avio_open(&context_->pb, path.c_str(), AVIO_FLAG_WRITE);
      if (rc < 0) {
        error = "cannot write " + path + ": " + describe(rc);
        return false;
      }
      ownsIO_ = true;
    }
    int rc = avformat_write_header(context_, options);
    if (rc < 0) {
      error = "cannot start " + path + ": " + describe(rc);
      return false;
    }
    started_ = true;
    return true;
  }

  bool write(const AVPacket* packet, bool video, AVRational base, std::string& error) {
    Packet copy(av_packet_clone(packet));
    if (!copy) return false;
    copy->stream_index = video ? videoIndex_ : audioIndex_;
    av_packet_rescale_ts(copy.get(), base, context_->streams[copy->stream_index]->time_base);
    int rc = av_interleaved_write_frame(context_, copy.get());
    if (rc < 0) error = "cannot write a packet: " + describe(rc);
    return rc >= 0;
  }

  bool finish(std::string& error) {
    if (!started_) return true;
    started_ = false;
    int rc = av_write_trailer(context_);
    if (rc < 0) error = "cannot finish a file: " + describe(rc);
    return rc >= 0;
  }

 private:
  AVFormatContext* context_ = nullptr;
  bool ownsIO_ = false;
  bool started_ = false;
  int videoIndex_ = -1, audioIndex_ = -1;
};

std::string counterText(double t) {
  long hundredths = std::lround(t * 100);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld.%02ld", hundredths / 6000, (hundredths / 100) % 60,
                hundredths % 100);
  return text;
}

void centred(cg::Context& c, const std::string& text, const cg::Font& font, double width, double y) {
  cg::Size size = cg::measureText(text, font);
  cg::drawText(c, text, {(width - size.width) / 2, y}, font);
}

// Grey grain in 2 x 2 blocks, twice the frame in each direction, drawn at a new offset each frame.
cg::ImagePtr makeGrain(int width, int height) {
  int w = width * 2, h = height * 2;
  std::vector<std::uint32_t> pixels(std::size_t(w) * std::size_t(h));
  std::uint32_t seed = 12345;
  for (int y = 0; y < h; y += 2)
    for (int x = 0; x < w; x += 2) {
      seed = seed * 1664525u + 1013904223u;
      std::uint32_t v = 40 + (seed >> 24) % 120;
      std::uint32_t pixel = 0xFF000000u | (v / 2) << 16 | (v * 3 / 4) << 8 | v;
      for (int dy = 0; dy < 2 && y + dy < h; ++dy)
        for (int dx = 0; dx < 2 && x + dx < w; ++dx)
          pixels[std::size_t(y + dy) * std::size_t(w) + std::size_t(x + dx)] = pixel;
    }
  return cg::Image::fromPixels(w, h, std::move(pixels));
}

void drawProgramme(cg::Context& c, const ClipPlan& plan, double t, bool background) {
  double w = plan.width, h = plan.height;
  if (background) {
    c.setFillColor(cg::Color::rgba(0.10, 0.16, 0.35));
    c.fillRect({0, 0, w, h});
  }
  c.setFillColor(cg::Color::white(0.75));
  cg::drawText(c, "ПРОГРАММА", {h * 0.05, h * 0.04}, cg::Font::systemFont(h * 0.08));
  c.setFillColor(cg::Color::white(1));
  centred(c, counterText(t), cg::Font::boldSystemFont(h * 0.2), w, h * 0.3);
  // A bar that fills with the time, and a square that crosses the picture every two seconds.
  c.setFillColor(cg::Color::white(0.2));
  c.fillRect({w * 0.05, h * 0.8, w * 0.9, h * 0.06});
  c.setFillColor(cg::Color::rgba(1.0, 0.82, 0.1));
  c.fillRect({w * 0.05, h * 0.8, w * 0.9 * std::min(1.0, t / plan.seconds), h * 0.06});
  double side = h * 0.1, travel = std::fmod(t, 2.0) / 2.0;
  c.setFillColor(cg::Color::rgba(0.3, 0.9, 0.4));
  c.fillRect({(w - side) * travel, h * 0.64, side, side});
}

void drawAdvert(cg::Context& c, const ClipPlan& plan, double t) {
  double w = plan.width, h = plan.height;
  c.setFillColor(cg::Color::rgba(0.93, 0.45, 0.10));
  c.fillRect({0, 0, w, h});
  c.setFillColor(cg::Color::rgba(0.98, 0.78, 0.15));
  double stripe = w / 8, shift = std::fmod(t * stripe, 2 * stripe);
  for (double x = -2 * stripe + shift; x < w; x += 2 * stripe) c.fillRect({x, 0, stripe, h});
  c.setFillColor(cg::Color::black());
  centred(c, "РЕКЛАМА", cg::Font::boldSystemFont(h * 0.2), w, h * 0.25);
  char left[48];
  std::snprintf(left, sizeof left, "осталось %d с", int(std::ceil(plan.seconds - t - 1e-9)));
  centred(c, left, cg::Font::systemFont(h * 0.1), w, h * 0.6);
}

Codec openVideo(const ClipPlan& plan, std::string& error) {
  const AVCodec* codec =
      plan.h264 ? avcodec_find_encoder_by_name("libx264") : avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
  if (!codec) {
    error = plan.h264 ? "no H.264 encoder (libx264)" : "no MPEG-2 video encoder";
    return nullptr;
  }
  Codec c(avcodec_alloc_context3(codec));
  c->width = plan.width;
  c->height = plan.height;
  c->time_base = {1, plan.fps};
  c->framerate = {plan.fps, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  // A key frame opens every segment.
  c->gop_size = int(std::lround(plan.segmentSeconds * plan.fps));
  c->thread_count = plan.look == Look::grain ? 4 : 1;
  if (plan.h264) {
    std::string params =
        "scenecut=0:keyint=" + std::to_string(c->gop_size) + ":min-keyint=" + std::to_string(c->gop_size);
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    av_opt_set(c->priv_data, "x264-params", params.c_str(), 0);
    if (plan.videoBitRate > 0)
      c->bit_rate = plan.videoBitRate;
    else
      av_opt_set(c->priv_data, "crf", "28", 0);
  } else {
    c->bit_rate = plan.videoBitRate > 0 ? plan.videoBitRate : 400000;
  }
  int rc = avcodec_open2(c.get(), codec, nullptr);
  if (rc < 0) {
    error = "cannot open the video encoder: " + describe(rc);
    return nullptr;
  }
  return c;
}

Codec openAudio(std::string& error) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) {
    error = "no AAC encoder";
    return nullptr;
  }
  Codec c(avcodec_alloc_context3(codec));
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  c->sample_rate = kSampleRate;
  c->time_base = {1, kSampleRate};
  c->bit_rate = 64000;
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  av_channel_layout_copy(&c->ch_layout, &mono);
  int rc = avcodec_open2(c.get(), codec, nullptr);
  if (rc < 0) {
    error = "cannot open the audio encoder: " + describe(rc);
    return nullptr;
  }
  return c;
}

// Sends a frame (null: the end) and writes every packet the encoder gives back to every muxer.
bool encode(AVCodecContext* encoder, const AVFrame* frame, bool video, std::vector<Muxer*>& muxers,
            std::string& error) {
  int rc = avcodec_send_frame(encoder, frame);
  if (rc < 0) {
    error = "cannot encode: " + describe(rc);
    return false;
  }
  Packet packet(av_packet_alloc());
  while ((rc = avcodec_receive_packet(encoder, packet.get())) >= 0) {
    // Every picture lasts one frame, the last one too, so the playlist counts the full length.
    if (video && packet->duration == 0) packet->duration = 1;
    for (Muxer* m : muxers)
      if (!m->write(packet.get(), video, encoder->time_base, error)) return false;
    av_packet_unref(packet.get());
  }
  return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF;
}

}  // namespace

bool writeClip(const ClipPlan& plan, const std::string& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  Codec video = openVideo(plan, error);
  if (!video) return false;
  Codec audio;
  if (plan.audio && !(audio = openAudio(error))) return false;

  Muxer hls, mp4;
  std::vector<Muxer*> muxers;
  if (plan.hls) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "hls_time", std::to_string(plan.segmentSeconds).c_str(), 0);
    av_dict_set(&options, "hls_list_size", "0", 0);
    av_dict_set(&options, "hls_segment_filename", (folder + "/segment%d.ts").c_str(), 0);
    bool ok = hls.open("hls", folder + "/index.m3u8", &options, video.get(), audio.get(), error);
    av_dict_free(&options);
    if (!ok) return false;
    muxers.push_back(&hls);
  }
  if (plan.mp4) {
    AVDictionary* options = nullptr;
    // The index first, so that a player over HTTP needs no seek to the end to start.
    av_dict_set(&options, "movflags", "+faststart", 0);
    bool ok = mp4.open("mp4", folder + "/clip.mp4", &options, video.get(), audio.get(), error);
    av_dict_free(&options);
    if (!ok) return false;
    muxers.push_back(&mp4);
  }

  auto canvas = cg::Context::makeBitmap({double(plan.width), double(plan.height)}, true, 1);
  std::unique_ptr<SwsContext, ScalerFree> scaler(sws_getContext(plan.width, plan.height, AV_PIX_FMT_RGB32,
                                                                plan.width, plan.height, AV_PIX_FMT_YUV420P,
                                                                SWS_BILINEAR, nullptr, nullptr, nullptr));
  Frame picture(av_frame_alloc());
  picture->format = AV_PIX_FMT_YUV420P;
  picture->width = plan.width;
  picture->height = plan.height;
  if (!canvas || !scaler || av_frame_get_buffer(picture.get(), 0) < 0) {
    error = "cannot set up the picture";
    return false;
  }
  Frame sound;
  if (audio) {
    sound.reset(av_frame_alloc());
    sound->format = audio->sample_fmt;
    sound->sample_rate = audio->sample_rate;
    sound->nb_samples = audio->frame_size;
    av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
    if (av_frame_get_buffer(sound.get(), 0) < 0) {
      error = "cannot set up the sound";
      return false;
    }
  }
  cg::ImagePtr grain = plan.look == Look::grain ? makeGrain(plan.width, plan.height) : nullptr;

  const long frames = std::lround(plan.seconds * plan.fps);
  std::int64_t samplesDone = 0;
  std::uint32_t seed = 99;
  for (long i = 0; i < frames; ++i) {
    double t = double(i) / plan.fps;
    // The sound up to this picture's time first, so the muxers get both in order.
    while (audio && double(samplesDone) / kSampleRate <= t) {
      if (av_frame_make_writable(sound.get()) < 0) return false;
      auto* out = reinterpret_cast<float*>(sound->data[0]);
      for (int k = 0; k < sound->nb_samples; ++k) {
        double at = double(samplesDone + k) / kSampleRate;
        // The advertisement beeps; the programme hums.
        bool on = plan.look != Look::advert || std::fmod(at, 0.5) < 0.2;
        out[k] = on ? float(0.3 * std::sin(2 * M_PI * plan.toneHz * at)) : 0.0f;
      }
      sound->pts = samplesDone;
      samplesDone += sound->nb_samples;
      if (!encode(audio.get(), sound.get(), false, muxers, error)) return false;
    }

    if (plan.look == Look::advert) {
      drawAdvert(*canvas, plan, t);
    } else if (grain) {
      seed = seed * 1664525u + 1013904223u;
      canvas->drawImage(*grain, cg::Point{-double((seed >> 8) % unsigned(plan.width)),
                                          -double((seed >> 20) % unsigned(plan.height))});
      drawProgramme(*canvas, plan, t, false);
    } else {
      drawProgramme(*canvas, plan, t, true);
    }
    cg::ImagePtr image = canvas->makeImage();
    if (!image || av_frame_make_writable(picture.get()) < 0) return false;
    const std::uint8_t* source[4] = {reinterpret_cast<const std::uint8_t*>(image->pixels().data()), nullptr,
                                     nullptr, nullptr};
    int sourceStride[4] = {plan.width * 4, 0, 0, 0};
    sws_scale(scaler.get(), source, sourceStride, 0, plan.height, picture->data, picture->linesize);
    picture->pts = i;
    if (!encode(video.get(), picture.get(), true, muxers, error)) return false;
  }
  if (!encode(video.get(), nullptr, true, muxers, error)) return false;
  if (audio && !encode(audio.get(), nullptr, false, muxers, error)) return false;
  for (Muxer* m : muxers)
    if (!m->finish(error)) return false;
  return true;
}

}  // namespace clips
