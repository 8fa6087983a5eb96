#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Error.h"
#include "Media/MediaError.h"

struct AVFormatContext;

// The media layer's own: opening a stream or file with FFmpeg's demuxers, and what went wrong.
namespace av::detail {

using av::kMediaErrorDecodeFailed;
using av::kMediaErrorDecoderNotFound;
using av::kMediaErrorDomain;
using av::kMediaErrorFileFormatNotRecognized;
using av::kMediaErrorUnknown;

ns::ErrorPtr mediaError(std::int64_t code, std::string description, std::string reason);

// One opened input: FFmpeg's format context with the stream information read, plus a record of
// the first failure of any resource it opened on the way (a playlist, a segment, the file),
// which says more than the demuxer's own result (a playlist demuxer skips a segment that fails).
// Belongs to one thread at a time.
class Input {
 public:
  struct Track {
    bool video = false;  // else audio
    bool supported = false;
    int stream = -1;
  };

  // Opens and probes an http or https URL; any other URL fails with -1002 (unsupported URL)
  // before anything is opened, and so does anything but http or https a playlist names. On
  // failure returns null and sets error; transport failures and HTTP
  // statuses are errors of the URL domain, anything else of the media domain. notMedia is set
  // when the resource answered but is no media this layer knows (an HTML page, garbage).
  // `stop` (may be null) aborts blocking reads when it turns true.
  static std::unique_ptr<Input> open(const std::string& url, const std::atomic<bool>* stop,
                                     ns::ErrorPtr& error, bool& notMedia);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  AVFormatContext* context() const { return context_; }
  const std::vector<Track>& tracks() const { return tracks_; }
  // Seconds, or nothing for a live stream or an unknown length.
  std::optional<double> duration() const;
  // Seconds of the first timestamp (of the picture, when there is one): the timeline's zero.
  double startTime() const;
  // The best supported video and audio streams, -1 for none.
  int videoStream() const { return videoStream_; }
  int audioStream() const { return audioStream_; }

  // The error for a failed read of the demuxer (its return code): a resource's transport
  // failure when one was recorded, else a media error.
  ns::ErrorPtr readError(int code) const;
  // A resource failed since the input was opened (e.g. a truncated or missing segment).
  ns::ErrorPtr resourceError() const;

  struct Hooks;

 private:
  Input() = default;

  AVFormatContext* context_ = nullptr;
  std::unique_ptr<Hooks> hooks_;
  std::vector<Track> tracks_;
  int videoStream_ = -1;
  int audioStream_ = -1;
};

}  // namespace av::detail
