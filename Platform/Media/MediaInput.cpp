#include "Media/MediaInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <netdb.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Foundation/URL.h"

namespace av::detail {

namespace {

// What the playlists of one video may hold: a master playlist names media playlists (and only
// those), a media playlist its segments and keys. Past these no video is this long; a playlist
// beyond them is refused before the rest of it is read.
constexpr std::int64_t kMaxPlaylistBytes = 8 << 20;
constexpr std::size_t kMaxPlaylistEntries = 25000;
constexpr std::size_t kMaxPlaylistVariants = 100;

// Blocking reads and connects give up after this long without progress.
constexpr const char* kReadTimeoutMicroseconds = "30000000";
// What an HTTP stream may open beneath it: TLS and TCP for its connections (through a proxy when
// one is set), and the decryption of encrypted HLS segments. Never a file, a raw socket named by
// the stream or any other of FFmpeg's protocols.
constexpr const char* kProtocolWhitelist = "http,https,tcp,tls,crypto,httpproxy";

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// The URL with its scheme in lower case (FFmpeg matches protocol names exactly), or nothing when
// it is no http or https URL.
std::optional<std::string> webURL(std::string_view url) {
  for (std::string_view scheme : {"http://", "https://"})
    if (startsWithIgnoringCase(url, scheme) && url.size() > scheme.size())
      return std::string(scheme) + std::string(url.substr(scheme.size()));
  return std::nullopt;
}

// What a playlist may have opened for it: its segments, keys and variant playlists over http or
// https, a segment possibly through the decryption layer the HLS demuxer puts over it.
bool mayOpenNested(std::string_view url) {
  if (startsWithIgnoringCase(url, "crypto+")) url.remove_prefix(7);
  return startsWithIgnoringCase(url, "http://") || startsWithIgnoringCase(url, "https://");
}

void initialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    // FFmpeg's console chatter would land in every test's output; failures reach callers as errors.
    av_log_set_level(AV_LOG_QUIET);
    avformat_network_init();
  });
}

bool hostResolves(const std::string& url) {
  auto parsed = ns::URL::URLWithString(url);
  if (!parsed || parsed->host().empty()) return true;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = getaddrinfo(parsed->host().c_str(), nullptr, &hints, &found);
  if (found) freeaddrinfo(found);
  return rc == 0;
}

ns::ErrorPtr urlError(std::int64_t code, const std::string& url, const char* description) {
  ns::Dictionary info;
  info.set(ns::kLocalizedDescriptionKey, description);
  info.set(ns::kURLErrorFailingURLErrorKey, url);
  info.set(ns::kURLErrorFailingURLStringErrorKey, url);
  return ns::Error::make(ns::kURLErrorDomain, code, std::move(info));
}

// A resource's failure as the URL loading system would report it; null for codes that are not
// about the transport (the caller decides what those mean).
ns::ErrorPtr transportError(int code, const std::string& url, bool opening) {
  namespace E = ns::URLError;
  switch (code) {
    case AVERROR_HTTP_NOT_FOUND:
    case AVERROR(ENOENT):
      return urlError(E::FileDoesNotExist, url, "The requested URL was not found on this server.");
    case AVERROR_HTTP_FORBIDDEN:
    case AVERROR(EACCES):
      return urlError(E::NoPermissionsToReadFile, url,
                      "The resource could not be loaded: access is forbidden.");
    case AVERROR_HTTP_UNAUTHORIZED:
      return urlError(E::UserAuthenticationRequired, url, "The resource requires authentication.");
    case AVERROR_HTTP_BAD_REQUEST:
    case AVERROR_HTTP_OTHER_4XX:
    case AVERROR_HTTP_SERVER_ERROR:
      return urlError(E::BadServerResponse, url, "The server returned an error status.");
    case AVERROR(ECONNREFUSED):
    case AVERROR(EHOSTUNREACH):
      return urlError(E::CannotConnectToHost, url, "Could not connect to the server.");
    case AVERROR(ENETUNREACH):
    case AVERROR(ENETDOWN):
      return urlError(E::NotConnectedToInternet, url, "The Internet connection appears to be offline.");
    case AVERROR(ETIMEDOUT):
      return urlError(E::TimedOut, url, "The request timed out.");
    case AVERROR(EIO):
      // FFmpeg reports a host name it cannot resolve as a plain I/O error.
      if (opening && !hostResolves(url))
        return urlError(E::CannotFindHost, url, "A server with the specified hostname could not be found.");
      return urlError(E::NetworkConnectionLost, url, "The network connection was lost.");
    case AVERROR(ECONNRESET):
    case AVERROR(EPIPE):
      return urlError(E::NetworkConnectionLost, url, "The network connection was lost.");
    case AVERROR_PROTOCOL_NOT_FOUND:
      return urlError(E::UnsupportedURL, url, "unsupported URL");
    case AVERROR_EXIT:
      return urlError(E::Cancelled, url, "cancelled");
    default:
      return nullptr;
  }
}

// The codecs the platform plays; FFmpeg decodes many more, which the platform would refuse.
bool platformPlays(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
      return avcodec_find_decoder(id) != nullptr;
    default:
      return false;
  }
}

}  // namespace

ns::ErrorPtr mediaError(std::int64_t code, std::string description, std::string reason) {
  ns::Dictionary info;
  info.set(ns::kLocalizedDescriptionKey, std::move(description));
  info.set(ns::kLocalizedFailureReasonErrorKey, std::move(reason));
  return ns::Error::make(kMediaErrorDomain, code, std::move(info));
}

namespace {

// What one resource a video opens has yielded, read as FFmpeg reads it (decoded, when the server
// compressed it unasked) and, for a playlist, what it names.
struct Resource {
  Input::Hooks* owner = nullptr;
  std::string url;
  int (*read)(void*, std::uint8_t*, int) = nullptr;
  std::int64_t (*seek)(void*, std::int64_t, int) = nullptr;
  std::int64_t position = 0;
  std::int64_t announced = -1;  // the length the server gave, if any
  bool sniffed = false;
  bool playlist = false;
  bool master = false;
  std::int64_t playlistBytes = 0;
  std::size_t entries = 0;
  std::string line;  // the playlist line being read, its first kMaxLineBytes
  bool lineCut = false;
};

constexpr std::size_t kMaxLineBytes = 8 * 1024;

// Resources by the opaque handle FFmpeg passes their reads: the HTTP layer's own context, which
// its options (the redirect target, cookies) are found through, so it stays in place.
std::mutex& registryMutex() {
  static std::mutex mutex;
  return mutex;
}
std::unordered_map<void*, std::shared_ptr<Resource>>& registry() {
  static auto* resources = new std::unordered_map<void*, std::shared_ptr<Resource>>;
  return *resources;
}
std::shared_ptr<Resource> resourceOf(void* opaque) {
  std::lock_guard lock(registryMutex());
  auto it = registry().find(opaque);
  return it == registry().end() ? nullptr : it->second;
}

}  // namespace

// Sits between the demuxers and FFmpeg's own resource opening: remembers which URL each open
// resource came from and the first one that failed, opening or while being read, and holds every
// read to the bounds below. A refused resource stops the whole input at once.
struct Input::Hooks {
  const std::atomic<bool>* stop = nullptr;
  int (*defaultOpen)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) = nullptr;
  int (*defaultClose)(AVFormatContext*, AVIOContext*) = nullptr;
  std::map<const AVIOContext*, std::string> urls;
  std::unordered_set<void*> registered;
  bool masterSeen = false;
  std::atomic<bool> refused{false};
  ns::ErrorPtr firstFailure;

  ~Hooks() {
    std::lock_guard lock(registryMutex());
    for (void* opaque : registered)
      if (auto it = registry().find(opaque); it != registry().end() && it->second->owner == this)
        registry().erase(it);
  }

  void refuse(ns::ErrorPtr error) {
    if (!firstFailure) firstFailure = std::move(error);
    refused = true;
  }

  void refusePlaylist(const Resource& r, const std::string& reason) {
    refuse(mediaError(kMediaErrorFileFormatNotRecognized, "Cannot Open", reason + ": " + r.url));
  }

  // Counts and checks one whole line of a playlist.
  void playlistLine(Resource& r, std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.remove_suffix(1);
    if (line.empty()) return;
    std::optional<std::string_view> named;
    if (line.front() == '#') {
      bool variantTag = line.starts_with("#EXT-X-STREAM-INF") ||
                        line.starts_with("#EXT-X-I-FRAME-STREAM-INF") || line.starts_with("#EXT-X-MEDIA:");
      if (variantTag && !r.master) {
        // A master playlist names media playlists; one reached from another is a loop or a chain.
        if (masterSeen) return refusePlaylist(r, "A master playlist is named by another playlist");
        masterSeen = r.master = true;
      }
      if (auto at = line.find("URI=\""); at != std::string_view::npos) {
        std::string_view rest = line.substr(at + 5);
        named = rest.substr(0, rest.find('"'));
      }
    } else {
      named = line;
    }
    if (!named) return;
    if (++r.entries > (r.master ? kMaxPlaylistVariants : kMaxPlaylistEntries))
      return refusePlaylist(r, "The playlist names more entries than any video has");
    auto base = ns::URL::URLWithString(r.url);
    auto target = base ? ns::URL::URLWithString(*named, *base) : std::nullopt;
    if (target && target->absoluteString() == base->absoluteString())
      return refusePlaylist(r, "The playlist names itself");
  }

  void received(Resource& r, const std::uint8_t* data, std::size_t n) {
    if (!r.sniffed && r.position == 0) {
      // What the playlist demuxer itself looks for.
      r.playlist = n >= 7 && std::memcmp(data, "#EXTM3U", 7) == 0;
      r.sniffed = true;
    }
    r.position += static_cast<std::int64_t>(n);
    // Only a body the server compressed decodes to more than its stated length.
    if (r.announced >= 0 && r.position > r.announced)
      return refuse(urlError(ns::URLError::DataLengthExceedsMaximum, r.url,
                             "The reply decodes to more than its stated length."));
    if (!r.playlist) return;
    r.playlistBytes += static_cast<std::int64_t>(n);
    if (r.playlistBytes > kMaxPlaylistBytes)
      return refuse(urlError(ns::URLError::DataLengthExceedsMaximum, r.url,
                             "The playlist is longer than any video's."));
    std::string_view text(reinterpret_cast<const char*>(data), n);
    while (!text.empty() && !refused) {
      std::size_t end = text.find('\n');
      std::string_view piece = text.substr(0, end);
      if (!r.lineCut) {
        std::size_t room = kMaxLineBytes - r.line.size();
        r.line.append(piece.substr(0, room));
        r.lineCut = piece.size() > room;
      }
      if (end == std::string_view::npos) break;
      playlistLine(r, r.line);
      r.line.clear();
      r.lineCut = false;
      text.remove_prefix(end + 1);
    }
  }

  static int read(void* opaque, std::uint8_t* buffer, int size) {
    auto r = resourceOf(opaque);
    if (!r) return AVERROR_BUG;
    Hooks& self = *r->owner;
    if (self.refused) return AVERROR_EXIT;
    int n = r->read(opaque, buffer, size);
    if (n > 0) self.received(*r, buffer, static_cast<std::size_t>(n));
    if (n == AVERROR_EOF && !r->line.empty()) {
      self.playlistLine(*r, r->line);
      r->line.clear();
    }
    return self.refused ? AVERROR_EXIT : n;
  }

  static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
    auto r = resourceOf(opaque);
    if (!r) return AVERROR_BUG;
    std::int64_t rc = r->seek(opaque, offset, whence);
    if (!(whence & AVSEEK_SIZE) && rc >= 0) r->position = rc;
    return rc;
  }

  // Puts this input's bounds on the reads of a resource just opened.
  void watch(AVIOContext* pb, const std::string& url) {
    if (!pb->read_packet || !pb->opaque) return;
    auto r = std::make_shared<Resource>();
    r->owner = this;
    r->url = url;
    r->read = pb->read_packet;
    r->seek = pb->seek;
    if (r->seek) {
      std::int64_t size = r->seek(pb->opaque, 0, AVSEEK_SIZE);
      if (size >= 0) r->announced = size;
    }
    {
      std::lock_guard lock(registryMutex());
      registry()[pb->opaque] = r;
    }
    registered.insert(pb->opaque);
    pb->read_packet = &Hooks::read;
    if (pb->seek) pb->seek = &Hooks::seek;
  }

  void failed(int code, const std::string& url, bool opening) {
    if (firstFailure || code == AVERROR_EOF || code == AVERROR_EXIT) return;
    firstFailure = transportError(code, url, opening);
    if (!firstFailure && opening)
      firstFailure =
          urlError(ns::URLError::CannotParseResponse, url, "The server's response could not be read.");
  }

  static int open(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options) {
    auto* self = static_cast<Hooks*>(s->opaque);
    if (self->refused) return AVERROR_EXIT;
    if (!mayOpenNested(url)) {
      self->failed(AVERROR_PROTOCOL_NOT_FOUND, url, true);
      return AVERROR_PROTOCOL_NOT_FOUND;
    }
    int rc = self->defaultOpen(s, pb, url, flags, options);
    if (rc < 0)
      self->failed(rc, url, true);
    else if (*pb) {
      self->urls[*pb] = url;
      self->watch(*pb, url);
    }
    return rc;
  }

  static int close(AVFormatContext* s, AVIOContext* pb) {
    auto* self = static_cast<Hooks*>(s->opaque);
    if (self->registered.erase(pb->opaque)) {
      std::lock_guard lock(registryMutex());
      if (auto it = registry().find(pb->opaque); it != registry().end() && it->second->owner == self)
        registry().erase(it);
    }
    if (auto it = self->urls.find(pb); it != self->urls.end()) {
      if (pb->error < 0) self->failed(pb->error, it->second, false);
      self->urls.erase(it);
    }
    return self->defaultClose(s, pb);
  }

  static int interrupted(void* opaque) {
    auto* self = static_cast<Hooks*>(opaque);
    if (self->refused.load(std::memory_order_relaxed)) return 1;
    return self->stop && self->stop->load(std::memory_order_relaxed) ? 1 : 0;
  }
};

std::unique_ptr<Input> Input::open(const std::string& url, const std::atomic<bool>* stop, ns::ErrorPtr& error,
                                   bool& notMedia) {
  error = nullptr;
  notMedia = false;
  std::optional<std::string> location = webURL(url);
  if (!location) {
    error = urlError(ns::URLError::UnsupportedURL, url, "unsupported URL");
    return nullptr;
  }
  initialiseOnce();
  std::unique_ptr<Input> input(new Input);
  input->hooks_ = std::make_unique<Hooks>();
  Hooks* hooks = input->hooks_.get();
  hooks->stop = stop;

  AVFormatContext* context = avformat_alloc_context();
  if (!context) {
    error = mediaError(kMediaErrorUnknown, "The operation could not be completed", "Out of memory.");
    return nullptr;
  }
  context->opaque = hooks;
  hooks->defaultOpen = context->io_open;
  hooks->defaultClose = context->io_close2;
  context->io_open = &Hooks::open;
  context->io_close2 = &Hooks::close;
  context->interrupt_callback = {&Hooks::interrupted, hooks};

  AVDictionary* options = nullptr;
  av_dict_set(&options, "rw_timeout", kReadTimeoutMicroseconds, 0);
  // One connection per segment, so that each segment's failure is seen when it is closed.
  av_dict_set(&options, "http_persistent", "0", 0);
  // Taken over by every resource the demuxers open, and by what those open beneath them.
  av_dict_set(&options, "protocol_whitelist", kProtocolWhitelist, 0);
  int rc = avformat_open_input(&context, location->c_str(), nullptr, &options);
  av_dict_free(&options);
  if (rc >= 0) {
    input->context_ = context;
    // The decoders that look at the first frames run on this thread too: no pool of decoding
    // threads is started (and its memory kept) for a glance.
    std::vector<AVDictionary*> probeOptions(context->nb_streams, nullptr);
    for (auto& o : probeOptions) av_dict_set(&o, "threads", "1", 0);
    rc = avformat_find_stream_info(context, probeOptions.data());
    for (auto& o : probeOptions) av_dict_free(&o);
  }
  // A playlist demuxer goes past a segment it cannot load; a missing piece is still a failure.
  if (rc < 0 || hooks->firstFailure) {
    error = hooks->firstFailure ? hooks->firstFailure : transportError(rc, url, true);
    if (!error) {
      notMedia = true;
      error = mediaError(kMediaErrorFileFormatNotRecognized, "Cannot Open",
                         "The media format is not recognized.");
    }
    return nullptr;
  }

  for (unsigned i = 0; i < context->nb_streams; ++i) {
    AVStream* stream = context->streams[i];
    AVMediaType type = stream->codecpar->codec_type;
    bool picture = stream->disposition & AV_DISPOSITION_ATTACHED_PIC;
    if ((type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) || picture) {
      stream->discard = AVDISCARD_ALL;
      continue;
    }
    Track track{type == AVMEDIA_TYPE_VIDEO, platformPlays(stream->codecpar->codec_id), int(i)};
    input->tracks_.push_back(track);
    int& chosen = track.video ? input->videoStream_ : input->audioStream_;
    if (track.supported && chosen < 0)
      chosen = track.stream;
    else
      stream->discard = AVDISCARD_ALL;
  }
  return input;
}

Input::~Input() {
  if (context_) avformat_close_input(&context_);
}

std::optional<double> Input::duration() const {
  if (!context_ || context_->duration == AV_NOPTS_VALUE || context_->duration <= 0) return std::nullopt;
  return double(context_->duration) / AV_TIME_BASE;
}

double Input::startTime() const {
  if (!context_) return 0;
  // The picture's first frame is time zero: sound that starts a little earlier (an encoder's
  // priming) must not shift every frame's time.
  if (videoStream_ >= 0) {
    const AVStream* video = context_->streams[videoStream_];
    if (video->start_time != AV_NOPTS_VALUE) return double(video->start_time) * av_q2d(video->time_base);
  }
  if (context_->start_time == AV_NOPTS_VALUE) return 0;
  return double(context_->start_time) / AV_TIME_BASE;
}

ns::ErrorPtr Input::resourceError() const { return hooks_->firstFailure; }

ns::ErrorPtr Input::readError(int code) const {
  if (hooks_->firstFailure) return hooks_->firstFailure;
  const char* url = context_ && context_->url ? context_->url : "";
  if (context_ && context_->pb && context_->pb->error < 0 && context_->pb->error != AVERROR_EOF)
    if (auto e = transportError(context_->pb->error, url, false)) return e;
  if (auto e = transportError(code, url, false)) return e;
  return mediaError(kMediaErrorDecodeFailed, "Cannot Decode", "The media data could not be read.");
}

}  // namespace av::detail
