#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/Data.h"
#include "Foundation/URL.h"
#include "UIKit/Image.h"

// What the tiles share to fetch a picture once and keep it on disk: the URLs worth a request,
// the ids that may name a cache file, and the atomic PNG write.
class TLImageFetch final {
 public:
  TLImageFetch() = delete;

  // The longest picture body any download reads. The largest picture the client draws is the
  // slider's poster, 1000 x 424 points: even stored uncompressed at twice that size it takes
  // 6.8 MB. A longer body fails its picture alone, and nothing of it is cached.
  static constexpr std::int64_t kMaxPictureLength = std::int64_t{8} << 20;

  // The URL when a request for it could reach a server: well formed, http or https, with a host.
  static std::optional<ns::URL> fetchableURL(std::string_view text);

  // Sends a GET of the URL as a plain HTTP request operation, started at once. `done` gets the
  // body of a successful reply on `queue` (the main queue when null); a failed request, or a body
  // longer than kMaxPictureLength, calls `failed` there, when given. Nothing is sent, and false
  // returned, for a URL that is not fetchable.
  static bool get(std::string_view url, std::function<void(const ns::Data& body)> done,
                  dispatch::QueuePtr queue = nullptr, std::function<void()> failed = nullptr);

  // The pixels a view of this size in points draws at the screen's scale: the most a picture
  // shown in it need be decoded at.
  static cg::PixelBox pixelBox(const cg::Size& points);

  // The most pixels the title header shows a poster at: its widest frame on this device. Big
  // poster files, which the big tiles show too, are kept at least at it.
  static cg::PixelBox titleHeaderBox();
  // The box covering both: what a file shown by two views is kept at.
  static cg::PixelBox largerBox(cg::PixelBox a, cg::PixelBox b);

  // Reads the file at the box off the main thread (on the calling thread when that is another)
  // and hands the image, or none, to `show` on the main thread.
  static void readImageForMain(const std::string& path, cg::PixelBox box,
                               std::function<void(const std::shared_ptr<ui::Image>&)> show);

  // Service ids name cache files only when they are decimal numbers (no "../5", no "").
  static bool isDecimalId(std::string_view id);

  // Writes the PNG encoding of the image to the path atomically; a missing image or a failed
  // write leaves the file as it was, silently.
  static void savePNG(const std::string& path, const std::shared_ptr<ui::Image>& image);

  // What a cache file keeps of a picture decoded from this body: the body itself when it was
  // decoded at its own size and holds little beyond its pixels, otherwise the PNG of what was
  // decoded, so that no later read inflates more than is drawn or keeps a body's padding.
  static constexpr std::size_t kMostSurplusBytes = 64 << 10;
  static ns::Data cacheBytes(const ns::Data& body, const std::shared_ptr<ui::Image>& image);
  // The picture to keep in a cache file that views up to fileBox show as well, given the one
  // decoded from the body at shownBox: that one, unless it was scaled down and fileBox asks for
  // more, when the body is decoded again at fileBox.
  static std::shared_ptr<ui::Image> imageForFile(const ns::Data& body,
                                                 const std::shared_ptr<ui::Image>& shown,
                                                 cg::PixelBox shownBox, cg::PixelBox fileBox);

  static bool fileExists(const std::string& path);

  // The images read from the files, in the same order (null where a file is missing or no image),
  // read side by side: the caller reads too, and returns once every file has been read. Pictures
  // larger than the box are decoded scaled down to it.
  static std::vector<std::shared_ptr<ui::Image>> readImages(const std::vector<std::string>& paths,
                                                            cg::PixelBox box = {});
};
