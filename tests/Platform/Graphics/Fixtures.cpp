#include "Fixtures.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

// libjpeg's header needs FILE and size_t declared first.
#include <jpeglib.h>

namespace fixtures {
namespace {

void put16le(std::string& s, unsigned v) {
  s += char(v & 0xFF);
  s += char((v >> 8) & 0xFF);
}
void put32le(std::string& s, std::uint32_t v) {
  put16le(s, v & 0xFFFF);
  put16le(s, v >> 16);
}
void put16be(std::string& s, unsigned v) {
  s += char((v >> 8) & 0xFF);
  s += char(v & 0xFF);
}
void put32be(std::string& s, std::uint32_t v) {
  put16be(s, v >> 16);
  put16be(s, v & 0xFFFF);
}

// Indices into {red, blue, green, black}: left half 0, right half 1 (or all `fill`).
std::vector<std::uint8_t> halves(int width, int height, int fill = -1) {
  std::vector<std::uint8_t> indices;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) indices.push_back(std::uint8_t(fill >= 0 ? fill : x < width / 2 ? 0 : 1));
  return indices;
}

// LZW data that never compresses: a clear code before every two literals keeps codes 3 bits wide.
std::string lzwFrame(const std::vector<std::uint8_t>& indices) {
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  auto emit = [&](unsigned code) {
    bits |= code << count;
    count += 3;
    while (count >= 8) {
      out += char(bits & 0xFF);
      bits >>= 8;
      count -= 8;
    }
  };
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (i % 2 == 0) emit(4);
    emit(indices[i]);
  }
  emit(5);
  if (count > 0) out += char(bits & 0xFF);
  std::string blocks;
  blocks += char(2);  // minimum code size
  for (std::size_t at = 0; at < out.size(); at += 255) {
    std::string chunk = out.substr(at, 255);
    blocks += char(chunk.size());
    blocks += chunk;
  }
  blocks += char(0);
  return blocks;
}

// A frame of frameHeight rows from row `top` (the whole canvas when 0) on a width x height canvas.
std::string gifFile(int width, int height, bool secondFrame, int top = 0, int frameHeight = 0) {
  std::string s = "GIF89a";
  put16le(s, unsigned(width));
  put16le(s, unsigned(height));
  if (frameHeight > 0) height = frameHeight;
  s += char(0x91);  // global table of 4 colours
  s += char(0);
  s += char(0);
  s += std::string("\xFF\x00\x00\x00\x00\xFF\x00\xFF\x00\x00\x00\x00", 12);
  auto frame = [&](int fill) {
    s += char(0x2C);
    put16le(s, 0);
    put16le(s, unsigned(top));
    put16le(s, unsigned(width));
    put16le(s, unsigned(height));
    s += char(0);
    s += lzwFrame(halves(width, height, fill));
  };
  frame(-1);
  if (secondFrame) {
    s += std::string("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);  // a delay before the green frame
    frame(2);
  }
  s += char(0x3B);
  return s;
}

std::string pngChunk(const char* type, const std::string& data) {
  std::string chunk;
  put32be(chunk, std::uint32_t(data.size()));
  chunk += type;
  chunk += data;
  auto crc =
      crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(chunk.data() + 4), uInt(data.size() + 4));
  put32be(chunk, std::uint32_t(crc));
  return chunk;
}

}  // namespace

std::string saved(const char* type, int width, int height, bool noisy) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  guint8* pixels = gdk_pixbuf_get_pixels(pixbuf);
  int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      guint8* p = pixels + y * stride + x * 4;
      bool left = x < width / 2;
      // Noise spreads the coded data over the whole file, as in a photograph.
      guint8 noise = noisy ? guint8((x * 7919u + y * 104729u) * 2654435761u >> 27) : 0;
      p[0] = guint8(left ? 255 - noise : noise);
      p[1] = noise;
      p[2] = guint8(left ? noise : 255 - noise);
      p[3] = 255;
    }
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  if (!gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, type, &error, static_cast<char*>(nullptr))) {
    std::string message = error ? error->message : "unknown";
    if (error) g_error_free(error);
    g_object_unref(pixbuf);
    throw std::runtime_error("saving " + std::string(type) + ": " + message);
  }
  std::string bytes(buffer, size);
  g_free(buffer);
  g_object_unref(pixbuf);
  return bytes;
}

std::string gif(int width, int height) { return gifFile(width, height, false); }
std::string gifWithSmallFrame(int width, int height, int top, int frameHeight) {
  return gifFile(width, height, false, top, frameHeight);
}

std::string builtPNG(int width, int height, bool interlaced, bool sixteenBits) {
  std::string header;
  put32be(header, std::uint32_t(width));
  put32be(header, std::uint32_t(height));
  header += sixteenBits ? std::string("\x10\x06\x00\x00", 4) : std::string("\x08\x02\x00\x00", 4);
  header += char(interlaced ? 1 : 0);
  // The seven passes (or the one of a plain PNG), each its rows of its columns, every row with
  // filter 0.
  const int x0[] = {0, 4, 0, 2, 0, 1, 0}, dx[] = {8, 8, 4, 4, 2, 2, 1};
  const int y0[] = {0, 0, 4, 0, 2, 0, 1}, dy[] = {8, 8, 8, 4, 4, 2, 2};
  std::string raw;
  for (int pass = interlaced ? 0 : 6; pass < 7; ++pass) {
    const int left = interlaced ? x0[pass] : 0, across = interlaced ? dx[pass] : 1;
    const int top = interlaced ? y0[pass] : 0, down = interlaced ? dy[pass] : 1;
    if (left >= width || top >= height) continue;
    for (int y = top; y < height; y += down) {
      raw += char(0);
      for (int x = left; x < width; x += across) {
        const bool red = x < width / 2;
        if (sixteenBits)
          raw +=
              red ? std::string("\xFF\xFF\0\0\0\0\xFF\xFF", 8) : std::string("\0\0\0\0\xFF\xFF\xFF\xFF", 8);
        else
          raw += red ? std::string("\xFF\0\0", 3) : std::string("\0\0\xFF", 3);
      }
    }
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           uLong(raw.size()));
  packed.resize(size);
  return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", packed) +
         pngChunk("IEND", "");
}

std::string interlacedPNG(int width, int height) { return builtPNG(width, height, true, false); }

std::string withTextChunk(const std::string& png, std::size_t length) {
  std::string text = "Comment";
  text += char(0);
  text += std::string(length, 'x');
  std::string padded = png;
  return padded.insert(33, pngChunk("tEXt", text));  // after the signature and IHDR
}
std::string gifWithTwoFrames(int width, int height) { return gifFile(width, height, true); }

std::string cursor(int width, int height) {
  std::string ico = saved("ico", width, height);
  ico[2] = 2;
  return ico;
}

std::string progressiveJPEG(int width, int height) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(std::size_t(width) * 3);
  for (int x = 0; x < width; ++x) {
    bool left = x < width / 2;
    row[std::size_t(x) * 3] = left ? 255 : 0;
    row[std::size_t(x) * 3 + 1] = 0;
    row[std::size_t(x) * 3 + 2] = left ? 0 : 255;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<char*>(buffer), size);
  free(buffer);
  return bytes;
}

std::string withExifOrientation(std::string jpeg, int orientation) {
  std::string tiff = "MM";
  put16be(tiff, 42);
  put32be(tiff, 8);
  put16be(tiff, 1);       // one entry
  put16be(tiff, 0x0112);  // Orientation, SHORT, count 1
  put16be(tiff, 3);
  put32be(tiff, 1);
  put16be(tiff, unsigned(orientation));
  put16be(tiff, 0);
  put32be(tiff, 0);  // no next directory
  std::string app1 = "\xFF\xE1";
  put16be(app1, unsigned(2 + 6 + tiff.size()));
  app1 += std::string("Exif\0\0", 6) + tiff;
  return jpeg.insert(2, app1);
}

std::string pngHeader(std::uint32_t width, std::uint32_t height) {
  std::string s("\x89PNG\r\n\x1a\n", 8);
  put32be(s, 13);
  s += "IHDR";
  put32be(s, width);
  put32be(s, height);
  s += std::string("\x08\x06\x00\x00\x00", 5);
  put32be(s, 0);  // CRC, never checked before the size
  return s;
}

std::string jpegHeader(std::uint16_t width, std::uint16_t height) {
  std::string s("\xFF\xD8", 2);
  s += std::string("\xFF\xC0", 2);
  put16be(s, 17);
  s += char(8);
  put16be(s, height);
  put16be(s, width);
  s += char(3);
  s += std::string("\x01\x11\x00\x02\x11\x00\x03\x11\x00", 9);
  return s;
}

std::string gifHeader(std::uint16_t width, std::uint16_t height) {
  std::string s = "GIF89a";
  put16le(s, width);
  put16le(s, height);
  s += std::string("\x00\x00\x00", 3);
  s += char(0x2C);
  put16le(s, 0);
  put16le(s, 0);
  put16le(s, 1);
  put16le(s, 1);
  s += char(0);
  s += lzwFrame({0});
  s += char(0x3B);
  return s;
}

std::string bmpHeader(std::int32_t width, std::int32_t height) {
  std::string s = "BM";
  put32le(s, 0);
  put32le(s, 0);
  put32le(s, 54);
  put32le(s, 40);
  put32le(s, std::uint32_t(width));
  put32le(s, std::uint32_t(height));
  put16le(s, 1);
  put16le(s, 24);
  for (int i = 0; i < 6; ++i) put32le(s, 0);
  return s;
}

std::string icoWithPNGHeader(std::uint32_t width, std::uint32_t height) {
  std::string s;
  put16le(s, 0);
  put16le(s, 1);
  put16le(s, 1);
  s += std::string("\x00\x00\x00\x00", 4);
  put16le(s, 1);
  put16le(s, 32);
  std::string png = pngHeader(width, height);
  put32le(s, std::uint32_t(png.size()));
  put32le(s, 22);
  return s + png;
}

std::string tiffHeader(std::uint32_t width, std::uint32_t height) {
  std::string s("II*\0", 4);
  put32le(s, 8);
  put16le(s, 2);
  for (auto [tag, value] : {std::pair{256u, width}, std::pair{257u, height}}) {
    put16le(s, tag);
    put16le(s, 4);
    put32le(s, 1);
    put32le(s, value);
  }
  put32le(s, 0);
  return s;
}

}  // namespace fixtures
