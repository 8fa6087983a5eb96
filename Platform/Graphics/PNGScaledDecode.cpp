#include "Graphics/PNGScaledDecode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace cg::detail {
namespace {

struct Source {
  const std::uint8_t* bytes;
  std::size_t length;
  std::size_t at = 0;
};

void readFromSource(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<Source*>(png_get_io_ptr(png));
  if (count > source->length - source->at) png_error(png, "the data ends early");
  std::memcpy(out, source->bytes + source->at, count);
  source->at += count;
}

void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignore(png_structp, png_const_charp) {}

// The sums of the premultiplied channels of the stored pixels falling in each pixel of one row
// of the smaller picture, and how many there were.
struct RowSums {
  std::vector<std::uint64_t> sums;  // a, r, g, b per pixel
  std::vector<std::uint32_t> counts;
};

void flush(RowSums& row, std::uint32_t* out) {
  for (std::size_t x = 0; x < row.counts.size(); ++x) {
    std::uint64_t n = row.counts[x];
    const std::uint64_t* s = row.sums.data() + 4 * x;
    auto mean = [n](std::uint64_t sum) { return n ? std::uint32_t((sum + n / 2) / n) : 0u; };
    out[x] = mean(s[0]) << 24 | mean(s[1]) << 16 | mean(s[2]) << 8 | mean(s[3]);
  }
  std::fill(row.sums.begin(), row.sums.end(), 0);
  std::fill(row.counts.begin(), row.counts.end(), 0);
}

// The rows are read one at a time into `line`, so no more than one stored row and one row of sums
// are held besides the result. Everything with a destructor lives in the caller's frame: libpng
// reports errors by a long jump out of this one.
bool readScaled(const std::uint8_t* bytes, std::size_t length, int width, int height,
                std::vector<std::uint8_t>& line, RowSums& row, std::vector<std::uint32_t>& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignore);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  Source source{bytes, length};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, readFromSource);
  png_read_info(png, info);
  const png_uint_32 storedWidth = png_get_image_width(png, info);
  const png_uint_32 storedHeight = png_get_image_height(png, info);
  if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE || storedWidth == 0 || storedHeight == 0 ||
      storedWidth < png_uint_32(width) || storedHeight < png_uint_32(height))
    png_error(png, "not read here");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t(storedWidth) * 4) png_error(png, "unexpected layout");

  line.resize(std::size_t(storedWidth) * 4);
  row.sums.assign(std::size_t(width) * 4, 0);
  row.counts.assign(std::size_t(width), 0);
  pixels.assign(std::size_t(width) * std::size_t(height), 0);
  int current = 0;
  for (png_uint_32 y = 0; y < storedHeight; ++y) {
    png_read_row(png, line.data(), nullptr);
    int target = int(std::uint64_t(y) * std::uint64_t(height) / storedHeight);
    if (target != current) {
      flush(row, pixels.data() + std::size_t(current) * std::size_t(width));
      current = target;
    }
    for (png_uint_32 x = 0; x < storedWidth; ++x) {
      const std::uint8_t* p = line.data() + 4 * std::size_t(x);
      std::size_t column = std::size_t(std::uint64_t(x) * std::uint64_t(width) / storedWidth);
      std::uint64_t* s = row.sums.data() + 4 * column;
      const std::uint32_t a = p[3];
      s[0] += a;
      s[1] += (p[0] * a + 127) / 255;
      s[2] += (p[1] * a + 127) / 255;
      s[3] += (p[2] * a + 127) / 255;
      ++row.counts[column];
    }
  }
  flush(row, pixels.data() + std::size_t(current) * std::size_t(width));
  // The end chunk and every CRC up to it.
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

std::optional<std::vector<std::uint32_t>> decodePNGScaled(const std::uint8_t* bytes, std::size_t length,
                                                          int width, int height) {
  if (width <= 0 || height <= 0) return std::nullopt;
  std::vector<std::uint8_t> line;
  RowSums row;
  std::vector<std::uint32_t> pixels;
  if (!readScaled(bytes, length, width, height, line, row, pixels)) return std::nullopt;
  return pixels;
}

}  // namespace cg::detail
