#include "Graphics/PNGScaledDecode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "Graphics/ScaledRows.h"

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

// The rows are read into `line` (or, interlaced, into `whole` through `rows`) and handed to `scaled`.
// Everything with a destructor lives in the caller's frame: libpng reports errors by a long jump out of this
// one.
bool readScaled(const std::uint8_t* bytes, std::size_t length, int width, int height,
                std::vector<std::uint8_t>& line, std::vector<std::uint8_t>& whole,
                std::vector<png_bytep>& rows, std::optional<ScaledRows>& scaled) {
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
  if (storedWidth == 0 || storedHeight == 0 || storedWidth < png_uint_32(width) ||
      storedHeight < png_uint_32(height))
    png_error(png, "not read here");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
  if (interlaced) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t rowBytes = std::size_t(storedWidth) * 4;
  if (png_get_rowbytes(png, info) != rowBytes) png_error(png, "unexpected layout");

  scaled.emplace(int(storedWidth), int(storedHeight), width, height);
  if (interlaced) {
    whole.resize(rowBytes * storedHeight);
    rows.resize(storedHeight);
    for (png_uint_32 y = 0; y < storedHeight; ++y) rows[y] = whole.data() + rowBytes * y;
    png_read_image(png, rows.data());
    for (png_uint_32 y = 0; y < storedHeight; ++y) scaled->add(rows[y]);
  } else {
    line.resize(rowBytes);
    for (png_uint_32 y = 0; y < storedHeight; ++y) {
      png_read_row(png, line.data(), nullptr);
      scaled->add(line.data());
    }
  }
  // The end chunk and every CRC up to it.
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

std::optional<std::vector<std::uint32_t>> decodePNGScaled(const std::uint8_t* bytes, std::size_t length,
                                                          int width, int height) {
  if (width <= 0 || height <= 0) return std::nullopt;
  std::vector<std::uint8_t> line, whole;
  std::vector<png_bytep> rows;
  std::optional<ScaledRows> scaled;
  if (!readScaled(bytes, length, width, height, line, whole, rows, scaled)) return std::nullopt;
  return scaled->finish();
}

}  // namespace cg::detail
