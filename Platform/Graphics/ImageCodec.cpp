// Decoding and encoding through gdk-pixbuf, behind the header check of ImageHeader.cpp.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>

#include "Graphics/Image.h"
#include "Graphics/ImageHeader.h"
#include "Graphics/JPEGDecode.h"
#include "Graphics/PNGScaledDecode.h"
#include "Graphics/ScaledRows.h"

namespace cg {
namespace {

std::atomic<std::uint64_t> decoders{0};
std::atomic<std::uint64_t> pixelsDecoded{0};

// What the decoders at work hold together stays within kMostDecodingBytes: a decoder that would
// pass it waits until others are done. (No one decoder holds more, so the wait ends.)
class DecodingRoom {
 public:
  void take(std::int64_t bytes) {
    std::unique_lock<std::mutex> hold(lock_);
    freed_.wait(hold, [&] { return held_ + bytes <= detail::kMostDecodingBytes; });
    held_ += bytes;
    most_ = std::max(most_, held_);
  }
  void give(std::int64_t bytes) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      held_ -= bytes;
    }
    freed_.notify_all();
  }
  std::int64_t most() {
    std::lock_guard<std::mutex> hold(lock_);
    return most_;
  }

 private:
  std::mutex lock_;
  std::condition_variable freed_;
  std::int64_t held_ = 0;
  std::int64_t most_ = 0;
};

// Never destroyed: pictures may be decoded during static destruction.
DecodingRoom& decodingRoom() {
  static auto* room = new DecodingRoom;
  return *room;
}

class RoomTaken {
 public:
  explicit RoomTaken(std::int64_t bytes) : bytes_(bytes) { decodingRoom().take(bytes_); }
  RoomTaken(const RoomTaken&) = delete;
  RoomTaken& operator=(const RoomTaken&) = delete;
  ~RoomTaken() { decodingRoom().give(bytes_); }

 private:
  std::int64_t bytes_;
};

std::int64_t drawnPixels(const PixelBox& box) {
  return std::max(detail::kLeastDrawnPixels, std::int64_t(box.width) * box.height);
}

bool hasBox(const PixelBox& box) { return box.width > 0 && box.height > 0; }

// The most one decoder may hold for a picture shown in this box.
std::int64_t mostHeldBytes(const PixelBox& box) {
  if (!hasBox(box)) return detail::kMostDecodingBytes;
  return std::min(detail::kMostDecodingBytes, 4 * detail::kMostStoredPerDrawn * drawnPixels(box));
}

const char* loaderName(detail::ImageFormat format) {
  switch (format) {
    case detail::ImageFormat::PNG:
      return "png";
    case detail::ImageFormat::JPEG:
      return "jpeg";
    case detail::ImageFormat::GIF:
      return "gif";
    case detail::ImageFormat::TIFF:
      return "tiff";
    case detail::ImageFormat::BMP:
      return "bmp";
    case detail::ImageFormat::ICO:
    case detail::ImageFormat::CUR:
      return "ico";
  }
  return "";
}

template <class T>
struct GObjectRef {
  T* ptr = nullptr;
  GObjectRef() = default;
  explicit GObjectRef(T* p) : ptr(p) {}
  GObjectRef(const GObjectRef&) = delete;
  GObjectRef& operator=(const GObjectRef&) = delete;
  ~GObjectRef() {
    if (ptr) g_object_unref(ptr);
  }
};

struct ErrorRef {
  GError* error = nullptr;
  ~ErrorRef() {
    if (error) g_error_free(error);
  }
};

struct Progress {
  bool tooLarge = false;
  // The rows the decoder reports of the first image, of the picture as stored (-1: all).
  std::int64_t rowCount = -1;
  int storedHeight = 0;
  std::vector<bool> rowsDone;
  bool counting = false;
  std::size_t rowsLeft = 0;
};

// The size a picture of width x height is decoded at within the box: scaled down, its aspect kept,
// to cover the box, though to no more than four times the box's pixels (a picture far wider or
// taller than its view gives up some sharpness along its short side).
std::pair<int, int> sizeWithin(int width, int height, const Image::PixelBox& box) {
  if (box.width <= 0 || box.height <= 0) return {width, height};
  double factor = std::max(double(box.width) / width, double(box.height) / height);
  double most = 4.0 * box.width * box.height;
  factor = std::min({factor, std::sqrt(most / (double(width) * height)), 1.0});
  if (factor >= 1) return {width, height};
  return {std::max(1, int(std::lround(width * factor))), std::max(1, int(std::lround(height * factor)))};
}

// A second line of defence: should a decoder report a larger size than the header check read,
// the result is dropped.
void onSizePrepared(GdkPixbufLoader*, gint width, gint height, gpointer data) {
  auto* progress = static_cast<Progress*>(data);
  if (!detail::acceptablePixelSize(width, height)) {
    progress->tooLarge = true;
    return;
  }
  progress->storedHeight = height;
}

// Some decoders hand back what they have of a cut-off file as if it were whole; an image counts
// only when every row of its first image was reported decoded.
void onAreaUpdated(GdkPixbufLoader* loader, gint, gint y, gint, gint height, gpointer data) {
  auto* progress = static_cast<Progress*>(data);
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
  if (!pixbuf || y < 0 || height <= 0) return;
  if (!progress->counting) {
    // The decoder's own picture; the first image's rows are mapped onto it.
    const std::int64_t rows = gdk_pixbuf_get_height(pixbuf);
    const std::int64_t stored = progress->storedHeight > 0 ? progress->storedHeight : rows;
    std::int64_t last =
        progress->rowCount < 0 ? stored : std::clamp<std::int64_t>(progress->rowCount, 0, stored);
    last = (last * rows + stored - 1) / stored;
    progress->counting = true;
    progress->rowsDone.assign(std::size_t(rows), true);
    for (std::int64_t row = 0; row < last; ++row) progress->rowsDone[std::size_t(row)] = false;
    progress->rowsLeft = std::size_t(last);
  }
  for (int row = y; row < y + height && row < int(progress->rowsDone.size()); ++row) {
    if (!progress->rowsDone[std::size_t(row)]) {
      progress->rowsDone[std::size_t(row)] = true;
      --progress->rowsLeft;
    }
  }
}

// One row of RGB(A) bytes as premultiplied pixels. The usual layouts (3 and 4 channels) are
// instantiated with their channel count fixed, so that the loop is vectorised.
template <int FixedChannels, bool Alpha>
void convertRow(const guint8* p, std::uint32_t* out, int width, int channels = FixedChannels) {
  const int step = FixedChannels ? FixedChannels : channels;
  for (int x = 0; x < width; ++x, p += step) {
    const std::uint32_t a = Alpha ? p[3] : 255;
    std::uint32_t r = p[0], g = p[1], b = p[2];
    if constexpr (Alpha) {
      r = (r * a + 127) / 255;
      g = (g * a + 127) / 255;
      b = (b * a + 127) / 255;
    }
    out[x] = a << 24 | r << 16 | g << 8 | b;
  }
}

// The decoder's picture, made smaller to cover the box (these decoders cannot scale as they read).
ImagePtr imageFromPixbuf(GdkPixbuf* pixbuf, double scale, const PixelBox& box) {
  if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8)
    return nullptr;
  int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
  if (!detail::acceptablePixelSize(width, height)) return nullptr;
  int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
  bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  if (channels < (alpha ? 4 : 3)) return nullptr;
  const guint8* rows = gdk_pixbuf_read_pixels(pixbuf);
  if (auto [w, h] = sizeWithin(width, height, box); w != width || h != height) {
    detail::ScaledRows scaled(width, height, w, h);
    std::vector<std::uint8_t> rgba(std::size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
      const guint8* p = rows + std::size_t(y) * std::size_t(stride);
      for (std::size_t x = 0; x < std::size_t(width); ++x, p += channels) {
        std::memcpy(&rgba[4 * x], p, 3);
        rgba[4 * x + 3] = alpha ? p[3] : 255;
      }
      scaled.add(rgba.data());
    }
    pixelsDecoded.fetch_add(std::uint64_t(w) * std::uint64_t(h));
    return Image::fromPixels(w, h, scaled.finish(), scale * double(w) / width);
  }
  pixelsDecoded.fetch_add(std::uint64_t(width) * std::uint64_t(height));
  std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
  for (int y = 0; y < height; ++y) {
    const guint8* row = rows + std::size_t(y) * std::size_t(stride);
    std::uint32_t* out = pixels.data() + std::size_t(y) * std::size_t(width);
    if (!alpha && channels == 3)
      convertRow<3, false>(row, out, width);
    else if (alpha && channels == 4)
      convertRow<4, true>(row, out, width);
    else if (alpha)
      convertRow<0, true>(row, out, width, channels);
    else
      convertRow<0, false>(row, out, width, channels);
  }
  return Image::fromPixels(width, height, std::move(pixels), scale);
}

// A pixbuf of the image's colours, not premultiplied; without alpha the premultiplied channels
// are kept, which is the image composited over black.
GdkPixbuf* pixbufFromImage(const Image& image, const std::vector<std::uint32_t>& pixels, bool withAlpha) {
  int width = image.pixelWidth(), height = image.pixelHeight();
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, withAlpha, 8, width, height);
  if (!pixbuf) return nullptr;
  guint8* rows = gdk_pixbuf_get_pixels(pixbuf);
  int stride = gdk_pixbuf_get_rowstride(pixbuf), channels = gdk_pixbuf_get_n_channels(pixbuf);
  for (int y = 0; y < height; ++y) {
    guint8* out = rows + std::size_t(y) * std::size_t(stride);
    for (int x = 0; x < width; ++x, out += channels) {
      std::uint32_t p = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
      std::uint32_t a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (withAlpha && a != 0 && a != 255) {
        r = std::min<std::uint32_t>(255, (r * 255 + a / 2) / a);
        g = std::min<std::uint32_t>(255, (g * 255 + a / 2) / a);
        b = std::min<std::uint32_t>(255, (b * 255 + a / 2) / a);
      }
      out[0] = guint8(r);
      out[1] = guint8(g);
      out[2] = guint8(b);
      if (withAlpha) out[3] = guint8(a);
    }
  }
  return pixbuf;
}

// gdk-pixbuf loads a format's module the first time it is asked for one, and that first load is
// not safe on two threads at once: every module used here is loaded once, before any other call.
void loadPixbufModules() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (GdkPixbuf* pixel = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 1, 1)) {
      gdk_pixbuf_fill(pixel, 0);
      for (const char* type : {"png", "jpeg"}) {
        gchar* buffer = nullptr;
        gsize size = 0;
        if (gdk_pixbuf_save_to_buffer(pixel, &buffer, &size, type, nullptr, static_cast<char*>(nullptr)))
          g_free(buffer);
      }
      g_object_unref(pixel);
    }
    for (const char* type : {"png", "jpeg", "gif", "tiff", "bmp", "ico"}) {
      GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
      if (!loader) continue;
      GError* error = nullptr;
      gdk_pixbuf_loader_close(loader, &error);
      if (error) g_error_free(error);
      g_object_unref(loader);
    }
  });
}

ns::Data save(const Image& image, const std::vector<std::uint32_t>& pixels, bool withAlpha, const char* type,
              const char* option, const char* value) {
  loadPixbufModules();
  GObjectRef<GdkPixbuf> pixbuf(pixbufFromImage(image, pixels, withAlpha));
  if (!pixbuf.ptr) return {};
  gchar* buffer = nullptr;
  gsize size = 0;
  ErrorRef error;
  gboolean ok = option ? gdk_pixbuf_save_to_buffer(pixbuf.ptr, &buffer, &size, type, &error.error, option,
                                                   value, static_cast<char*>(nullptr))
                       : gdk_pixbuf_save_to_buffer(pixbuf.ptr, &buffer, &size, type, &error.error,
                                                   static_cast<char*>(nullptr));
  ns::Data data;
  if (ok && buffer) data = ns::Data(buffer, size);
  g_free(buffer);
  return data;
}

}  // namespace

namespace detail {
std::uint64_t decodersStarted() { return decoders.load(); }
std::uint64_t pixelsDecoded() { return ::cg::pixelsDecoded.load(); }
std::int64_t mostDecodingBytesAtOnce() { return decodingRoom().most(); }
}  // namespace detail

ImagePtr Image::decode(const void* bytes, std::size_t length, double scale, PixelBox box) {
  const auto* data = static_cast<const std::uint8_t*>(bytes);
  auto header = detail::readImageHeader(data, length);
  if (!header || !detail::acceptablePixelSize(header->width, header->height)) return nullptr;
  // Far more pixels than the view draws, or more than a decoder may hold for it, is no picture
  // for it; nor is a JPEG whose frame header comes after more than metadata's room.
  if (hasBox(box) && header->width * header->height > detail::kMostStoredPerDrawn * drawnPixels(box))
    return nullptr;
  const std::int64_t held = detail::decoderHeldBytes(*header, length);
  if (held > mostHeldBytes(box)) return nullptr;
  if (header->format == detail::ImageFormat::JPEG &&
      std::int64_t(header->frameOffset) > detail::kMetadataRoom)
    return nullptr;
  // A decoder fills in what a cut-off picture lacks and reports it done: one whose data stops
  // before its end is refused before any decoder runs.
  if (!detail::reachesItsEnd(*header, data, length)) return nullptr;

  RoomTaken room(held);
  // PNG and JPEG are decoded straight into the size their box needs.
  if (header->format == detail::ImageFormat::PNG || header->format == detail::ImageFormat::JPEG) {
    auto [w, h] = sizeWithin(int(header->width), int(header->height), box);
    decoders.fetch_add(1);
    const double factor = double(w) / double(header->width);
    if (header->format == detail::ImageFormat::PNG) {
      auto pixels = detail::decodePNGScaled(data, length, w, h);
      if (!pixels) return nullptr;
      pixelsDecoded.fetch_add(std::uint64_t(w) * std::uint64_t(h));
      return fromPixels(w, h, std::move(*pixels), scale * factor);
    }
    auto image = detail::decodeJPEGScaled(data, length, w, h, std::size_t(mostHeldBytes(box)));
    if (!image) return nullptr;
    pixelsDecoded.fetch_add(std::uint64_t(w) * std::uint64_t(h));
    return fromPixels(image->width, image->height, std::move(image->pixels), scale * factor);
  }

  loadPixbufModules();
  ErrorRef error;
  GObjectRef<GdkPixbufLoader> loader(
      gdk_pixbuf_loader_new_with_type(loaderName(header->format), &error.error));
  if (!loader.ptr) return nullptr;
  decoders.fetch_add(1);
  Progress progress;
  progress.rowCount = header->rowCount;
  g_signal_connect(loader.ptr, "size-prepared", G_CALLBACK(onSizePrepared), &progress);
  g_signal_connect(loader.ptr, "area-updated", G_CALLBACK(onAreaUpdated), &progress);

  bool ok =
      gdk_pixbuf_loader_write(loader.ptr, static_cast<const guchar*>(bytes), header->decodeLength, nullptr);
  if (ok && header->format == detail::ImageFormat::GIF) {
    static const guchar trailer = 0x3B;
    ok = gdk_pixbuf_loader_write(loader.ptr, &trailer, 1, nullptr);
  }
  // Always closed, also after a failed write; a close that reports an error means the data was
  // incomplete, and a partial image is no image.
  ok = gdk_pixbuf_loader_close(loader.ptr, nullptr) && ok;
  bool complete = progress.counting && progress.rowsLeft == 0;
  GdkPixbuf* pixbuf =
      ok && complete && !progress.tooLarge ? gdk_pixbuf_loader_get_pixbuf(loader.ptr) : nullptr;
  if (!pixbuf) return nullptr;
  GObjectRef<GdkPixbuf> upright(gdk_pixbuf_apply_embedded_orientation(pixbuf));
  if (!upright.ptr) return nullptr;
  return imageFromPixbuf(upright.ptr, scale, box);
}

std::optional<std::int64_t> Image::mostEncodedLength(const void* head, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(head);
  if (length < 8) return std::nullopt;
  auto starts = [&](const char* magic, std::size_t n) { return std::memcmp(bytes, magic, n) == 0; };
  const bool gif = starts("GIF87a", 6) || starts("GIF89a", 6);
  const bool known = gif || starts("\x89PNG\r\n\x1a\n", 8) || starts("\xFF\xD8\xFF", 3) || starts("BM", 2) ||
                     starts("\0\0\1\0", 4) || starts("\0\0\2\0", 4) || starts("II*\0", 4) ||
                     starts("MM\0*", 4);
  if (!known) return kMostLengthOfNone;
  std::int64_t width = 0, height = 0;
  if (auto header = detail::readImageHeader(bytes, length)) {
    width = header->width;
    height = header->height;
  } else if (gif && length >= 13) {
    // The canvas, while the first frame is still coming.
    width = bytes[6] | bytes[7] << 8;
    height = bytes[8] | bytes[9] << 8;
  } else {
    // A header that does not come within the head (a JPEG's frame header after more metadata, a
    // TIFF's directory at its end) is refused: its size cannot bound the rest.
    return length < kMostHeadLength ? std::nullopt : std::optional<std::int64_t>(kMostLengthOfNone);
  }
  // A size no decoder here accepts makes the picture none, whatever follows.
  if (!detail::acceptablePixelSize(width, height)) return kMostLengthOfNone;
  // Its pixels stored uncompressed at 16 bytes each, and room for metadata.
  return width * height * 16 + detail::kMetadataRoom;
}

std::optional<std::string> detail::readEncodedFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  std::streamoff size = in.tellg();
  if (size <= 0 || std::uintmax_t(size) > kMaxEncodedFileBytes) return std::nullopt;
  std::string bytes(std::size_t(size), '\0');
  in.seekg(0);
  if (!in.read(bytes.data(), size)) return std::nullopt;
  return bytes;
}

ImagePtr Image::fromFile(const std::string& path, double scale) {
  auto bytes = detail::readEncodedFile(path);
  return bytes ? decode(bytes->data(), bytes->size(), scale) : nullptr;
}

// An image decoded on demand is decoded for the encoding alone: writing it to a file does not
// keep its pixels.
ns::Data Image::pngData() const {
  auto pixels = pixelBuffer(false);
  bool alpha = std::any_of(pixels->begin(), pixels->end(), [](std::uint32_t p) { return (p >> 24) != 0xFF; });
  return save(*this, *pixels, alpha, "png", nullptr, nullptr);
}

ns::Data Image::jpegData(double quality) const {
  if (!std::isfinite(quality)) quality = 1;
  // A picture decoded on demand from a JPEG at its stored size is at its best in the bytes it came
  // in: they decode to exactly its pixels, with no decoding and encoding again.
  if (quality >= 1 && onDemand_) {
    const ns::Data encoded = encodedBytes();
    auto header = detail::readImageHeader(encoded.bytes(), encoded.length());
    if (header && header->format == detail::ImageFormat::JPEG &&
        header->width * header->height == std::int64_t(width_) * height_)
      return encoded;
  }
  auto percent = std::to_string(std::lround(std::clamp(quality, 0.0, 1.0) * 100));
  return save(*this, *pixelBuffer(false), false, "jpeg", "quality", percent.c_str());
}

}  // namespace cg
