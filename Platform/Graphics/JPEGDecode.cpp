#include "Graphics/JPEGDecode.h"

#include <stdio.h>  // jpeglib.h needs FILE
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstring>

#include "Graphics/ScaledRows.h"

namespace cg::detail {
namespace {

struct Failure {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void failNow(j_common_ptr info) { std::longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1); }

// libjpeg carries on past data that ends early, a marker inside a scan or a damaged code, filling
// what it lacks with grey, and only warns: those warnings are failures here.
void onMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
      failNow(info);
  }
}

// The orientation an Exif block records (1 when none or unreadable).
int exifOrientation(const jpeg_decompress_struct& info) {
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 14 || std::memcmp(m->data, "Exif\0\0", 6) != 0)
      continue;
    const std::uint8_t* t = m->data + 6;
    const std::size_t n = m->data_length - 6;
    const bool big = t[0] == 'M';
    auto u16 = [&](std::size_t at) {
      return big ? std::uint32_t(t[at] << 8 | t[at + 1]) : std::uint32_t(t[at + 1] << 8 | t[at]);
    };
    auto u32 = [&](std::size_t at) {
      return big ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
    };
    const std::size_t ifd = u32(4);
    if (ifd > n - 2) return 1;
    const std::size_t count = u16(ifd);
    for (std::size_t i = 0; i < count && ifd + 2 + 12 * i + 12 <= n; ++i) {
      const std::size_t entry = ifd + 2 + 12 * i;
      if (u16(entry) == 0x0112 && u16(entry + 2) == 3) {
        const int value = int(u16(entry + 8));
        return value >= 1 && value <= 8 ? value : 1;
      }
    }
    return 1;
  }
  return 1;
}

// The pixels turned as an Exif orientation says.
void orient(DecodedPixels& image, int orientation) {
  if (orientation <= 1) return;
  const int w = image.width, h = image.height;
  const bool swap = orientation >= 5;
  const int ow = swap ? h : w;
  std::vector<std::uint32_t> out(image.pixels.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int ox = x, oy = y;
      switch (orientation) {
        case 2:
          ox = w - 1 - x;
          break;
        case 3:
          ox = w - 1 - x;
          oy = h - 1 - y;
          break;
        case 4:
          oy = h - 1 - y;
          break;
        case 5:
          ox = y;
          oy = x;
          break;
        case 6:
          ox = h - 1 - y;
          oy = x;
          break;
        case 7:
          ox = h - 1 - y;
          oy = w - 1 - x;
          break;
        case 8:
          ox = y;
          oy = w - 1 - x;
          break;
      }
      out[std::size_t(oy) * std::size_t(ow) + std::size_t(ox)] =
          image.pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)];
    }
  image.pixels = std::move(out);
  if (swap) std::swap(image.width, image.height);
}

// Everything with a destructor lives in the caller's frame: libjpeg reports errors by a long jump
// out of this one.
bool readScaled(jpeg_decompress_struct& info, Failure& failure, const std::uint8_t* bytes, std::size_t length,
                int width, int height, std::size_t mostHeldBytes, std::vector<std::uint8_t>& line,
                std::vector<std::uint8_t>& rgba, std::optional<ScaledRows>& scaled, int& orientation) {
  if (setjmp(failure.jump)) return false;
  jpeg_create_decompress(&info);
  // Beyond this the decoder would need storage on disk, which it has not: it fails instead.
  info.mem->max_memory_to_use = long(mostHeldBytes);
  jpeg_mem_src(&info, bytes, static_cast<unsigned long>(length));
  jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  const int storedWidth = int(info.image_width), storedHeight = int(info.image_height);
  if (storedWidth < width || storedHeight < height) return false;
  orientation = exifOrientation(info);
  unsigned denominator = 8;
  while (denominator > 1 && ((storedWidth + int(denominator) - 1) / int(denominator) < width ||
                             (storedHeight + int(denominator) - 1) / int(denominator) < height))
    denominator /= 2;
  info.scale_num = 1;
  info.scale_denom = denominator;
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&info);
  const int outWidth = int(info.output_width), outHeight = int(info.output_height);
  if (outWidth < width || outHeight < height || info.output_components != 4) return false;
  line.resize(std::size_t(outWidth) * 4);
  if (cmyk) rgba.resize(line.size());
  scaled.emplace(outWidth, outHeight, width, height);
  // Adobe's CMYK is stored inverted.
  const bool inverted = info.saw_Adobe_marker;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = line.data();
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
    if (!cmyk) {
      scaled->add(line.data());
      continue;
    }
    for (std::size_t x = 0; x < std::size_t(outWidth); ++x) {
      const std::uint8_t* p = line.data() + 4 * x;
      std::uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
      if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      rgba[4 * x] = std::uint8_t(c * k / 255);
      rgba[4 * x + 1] = std::uint8_t(m * k / 255);
      rgba[4 * x + 2] = std::uint8_t(y * k / 255);
      rgba[4 * x + 3] = 255;
    }
    scaled->add(rgba.data());
  }
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

std::optional<DecodedPixels> decodeJPEGScaled(const std::uint8_t* bytes, std::size_t length, int width,
                                              int height, std::size_t mostHeldBytes) {
  if (width <= 0 || height <= 0 || !bytes) return std::nullopt;
  jpeg_decompress_struct info{};
  Failure failure{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = failNow;
  failure.manager.emit_message = onMessage;
  std::vector<std::uint8_t> line, rgba;
  std::optional<ScaledRows> scaled;
  int orientation = 1;
  const bool ok =
      readScaled(info, failure, bytes, length, width, height, mostHeldBytes, line, rgba, scaled, orientation);
  jpeg_destroy_decompress(&info);
  if (!ok || !scaled) return std::nullopt;
  DecodedPixels image{width, height, scaled->finish()};
  orient(image, orientation);
  return image;
}

}  // namespace cg::detail
