#include "Graphics/ImageHeader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace cg::detail {
namespace {

std::uint32_t bigEndian32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Bounds-checked reads of little- and big-endian integers; every caller checks the length first.
class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t length, bool bigEndian = false)
      : bytes_(bytes), length_(length), bigEndian_(bigEndian) {}
  bool has(std::size_t offset, std::size_t count) const {
    return offset <= length_ && count <= length_ - offset;
  }
  std::uint8_t u8(std::size_t at) const { return bytes_[at]; }
  std::uint16_t u16(std::size_t at) const {
    return bigEndian_ ? std::uint16_t(bytes_[at] << 8 | bytes_[at + 1])
                      : std::uint16_t(bytes_[at] | bytes_[at + 1] << 8);
  }
  std::uint32_t u32(std::size_t at) const {
    std::uint32_t a = bytes_[at], b = bytes_[at + 1], c = bytes_[at + 2], d = bytes_[at + 3];
    return bigEndian_ ? (a << 24 | b << 16 | c << 8 | d) : (d << 24 | c << 16 | b << 8 | a);
  }
  // Big-endian whatever the reader's order (PNG's fields in an icon).
  std::uint32_t u32be(std::size_t at) const { return bigEndian32(bytes_ + at); }
  bool matches(std::size_t at, const char* magic, std::size_t count) const {
    return has(at, count) && std::memcmp(bytes_ + at, magic, count) == 0;
  }
  std::size_t length() const { return length_; }

 private:
  const std::uint8_t* bytes_;
  std::size_t length_;
  bool bigEndian_;
};

constexpr char kPNGSignature[] = "\x89PNG\r\n\x1a\n";

std::optional<ImageHeader> claim(ImageFormat format, std::int64_t width, std::int64_t height,
                                 std::size_t decodeLength) {
  if (width <= 0 || height <= 0) return std::nullopt;
  return ImageHeader{format, width, height, decodeLength};
}

bool readPNGSize(const Reader& r, std::size_t at, std::int64_t& width, std::int64_t& height) {
  if (!r.matches(at, kPNGSignature, 8) || !r.matches(at + 12, "IHDR", 4) || !r.has(at + 16, 8)) return false;
  width = r.u32be(at + 16);
  height = r.u32be(at + 20);
  return true;
}

std::optional<ImageHeader> readPNG(const Reader& r) {
  std::int64_t w = 0, h = 0;
  if (!readPNGSize(r, 0, w, h) || !r.has(28, 1)) return std::nullopt;
  auto header = claim(ImageFormat::PNG, w, h, r.length());
  if (header) header->interlaced = r.u8(28) != 0;
  return header;
}

// What libjpeg holds of a frame's coefficients when it keeps them all: per component, its blocks
// (rounded up to whole sampling units) of 64 two-byte coefficients.
std::int64_t coefficientBytes(const Reader& r, std::size_t frame, std::int64_t w, std::int64_t h) {
  if (!r.has(frame + 9, 1)) return 0;
  const std::size_t count = r.u8(frame + 9);
  if (!r.has(frame + 10, 3 * count)) return 0;
  int hMax = 1, vMax = 1;
  for (std::size_t i = 0; i < count; ++i) {
    hMax = std::max(hMax, r.u8(frame + 11 + 3 * i) >> 4);
    vMax = std::max(vMax, r.u8(frame + 11 + 3 * i) & 15);
  }
  std::int64_t bytes = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t hs = std::max(1, r.u8(frame + 11 + 3 * i) >> 4);
    const std::int64_t vs = std::max(1, r.u8(frame + 11 + 3 * i) & 15);
    auto up = [](std::int64_t n, std::int64_t m) { return (n + m - 1) / m * m; };
    const std::int64_t across = up((w * hs + 8 * hMax - 1) / (8 * hMax), hs);
    const std::int64_t down = up((h * vs + 8 * vMax - 1) / (8 * vMax), vs);
    bytes += across * down * 128;
  }
  return bytes;
}

bool isStartOfFrame(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<ImageHeader> readJPEG(const Reader& r) {
  std::int64_t w = 0, h = 0;
  bool sawFrame = false, progressive = false;
  std::size_t pos = 2, frame = 0, firstScan = 0;
  while (r.has(pos, 2)) {
    if (r.u8(pos) != 0xFF) {  // stray bytes between segments: the decoder skips them too
      ++pos;
      continue;
    }
    std::uint8_t marker = r.u8(pos + 1);
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;
      continue;
    }
    if (marker == 0xDA) firstScan = pos;
    if (marker == 0xD9 || marker == 0xDA) break;  // the frame header comes before the scan data
    if (!r.has(pos + 2, 2)) return std::nullopt;
    std::size_t segment = std::size_t(r.u8(pos + 2)) << 8 | r.u8(pos + 3);
    if (segment < 2) return std::nullopt;
    if (isStartOfFrame(marker)) {
      if (!r.has(pos + 5, 4)) return std::nullopt;
      std::int64_t fh = std::int64_t(r.u8(pos + 5)) << 8 | r.u8(pos + 6);
      std::int64_t fw = std::int64_t(r.u8(pos + 7)) << 8 | r.u8(pos + 8);
      if (fw == 0 || fh == 0) return std::nullopt;
      w = std::max(w, fw);
      h = std::max(h, fh);
      if (!sawFrame) frame = pos;
      progressive = progressive || (marker & 3) == 2;
      sawFrame = true;
    }
    pos += 2 + segment;
  }
  if (!sawFrame) return std::nullopt;
  auto header = claim(ImageFormat::JPEG, w, h, r.length());
  if (!header) return header;
  header->frameOffset = frame;
  // A first scan of fewer components than the frame's means several scans, as progressive does.
  const bool severalScans = progressive || !firstScan || !r.has(firstScan + 4, 1) || !r.has(frame + 9, 1) ||
                            r.u8(firstScan + 4) < r.u8(frame + 9);
  if (severalScans) header->coefficientBytes = coefficientBytes(r, frame, w, h);
  return header;
}

// Skips a chain of GIF data sub-blocks starting at pos; false when it runs past the end.
bool skipSubBlocks(const Reader& r, std::size_t& pos) {
  while (true) {
    if (!r.has(pos, 1)) return false;
    std::size_t n = r.u8(pos);
    pos += 1;
    if (n == 0) return true;
    pos += n;
  }
}

std::optional<ImageHeader> readGIF(const Reader& r) {
  if (!r.has(0, 13)) return std::nullopt;
  std::int64_t w = r.u16(6), h = r.u16(8);
  std::size_t pos = 13;
  if (r.u8(10) & 0x80) pos += 3u << ((r.u8(10) & 7) + 1);
  while (r.has(pos, 1)) {
    std::uint8_t block = r.u8(pos);
    if (block == 0x21) {  // extension: label, then sub-blocks
      pos += 2;
      if (!skipSubBlocks(r, pos)) return std::nullopt;
    } else if (block == 0x2C) {  // the first frame
      if (!r.has(pos, 10)) return std::nullopt;
      std::int64_t left = r.u16(pos + 1), top = r.u16(pos + 3);
      std::int64_t fw = r.u16(pos + 5), fh = r.u16(pos + 7);
      std::uint8_t flags = r.u8(pos + 9);
      pos += 10;
      if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
      pos += 1;  // minimum code size
      if (!skipSubBlocks(r, pos) || pos > r.length()) return std::nullopt;
      if (fw == 0 || fh == 0) return std::nullopt;
      auto header = claim(ImageFormat::GIF, std::max(w, left + fw), std::max(h, top + fh), pos);
      if (header) header->rowCount = fh;
      return header;
    } else {
      return std::nullopt;  // the trailer or garbage before any frame
    }
  }
  return std::nullopt;
}

std::optional<ImageHeader> readBMP(const Reader& r) {
  if (!r.has(14, 4)) return std::nullopt;
  std::uint32_t infoSize = r.u32(14);
  if (infoSize == 12) {
    if (!r.has(18, 4)) return std::nullopt;
    return claim(ImageFormat::BMP, r.u16(18), r.u16(20), r.length());
  }
  if (infoSize < 16 || !r.has(18, 8)) return std::nullopt;
  std::int64_t w = std::int32_t(r.u32(18)), h = std::int32_t(r.u32(22));
  return claim(ImageFormat::BMP, w, h < 0 ? -h : h, r.length());
}

// Every directory entry and the image each points at, PNG or bitmap (whose height counts the
// mask too; taken as is, which only errs towards refusing).
std::optional<ImageHeader> readIcon(const Reader& r, ImageFormat format) {
  std::size_t count = r.u16(4);
  if (count == 0) return std::nullopt;
  std::int64_t w = 0, h = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t entry = 6 + 16 * i;
    if (!r.has(entry, 16)) return std::nullopt;
    w = std::max<std::int64_t>(w, r.u8(entry) ? r.u8(entry) : 256);
    h = std::max<std::int64_t>(h, r.u8(entry + 1) ? r.u8(entry + 1) : 256);
    std::size_t offset = r.u32(entry + 12);
    std::int64_t ew = 0, eh = 0;
    if (readPNGSize(r, offset, ew, eh)) {
    } else if (r.has(offset, 12)) {
      ew = std::int32_t(r.u32(offset + 4));
      eh = std::int32_t(r.u32(offset + 8));
      if (ew < 0) ew = -ew;
      if (eh < 0) eh = -eh;
    }
    w = std::max(w, ew);
    h = std::max(h, eh);
  }
  return claim(format, w, h, r.length());
}

std::optional<ImageHeader> readTIFF(const Reader& r) {
  std::size_t ifd = r.u32(4);
  if (!r.has(ifd, 2)) return std::nullopt;
  std::size_t count = r.u16(ifd);
  std::int64_t w = 0, h = 0, tileW = 0, tileH = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t entry = ifd + 2 + 12 * i;
    if (!r.has(entry, 12)) return std::nullopt;
    std::uint16_t tag = r.u16(entry), type = r.u16(entry + 2);
    std::int64_t value;
    if (type == 3)
      value = r.u16(entry + 8);
    else if (type == 4)
      value = r.u32(entry + 8);
    else
      continue;
    if (tag == 256) w = value;
    if (tag == 257) h = value;
    if (tag == 322) tileW = value;
    if (tag == 323) tileH = value;
  }
  if (w == 0 || h == 0) return std::nullopt;
  return claim(ImageFormat::TIFF, std::max(w, tileW), std::max(h, tileH), r.length());
}

std::optional<PixelSize> pixelSize(std::int64_t width, std::int64_t height) {
  if (!acceptablePixelSize(width, height)) return std::nullopt;
  return PixelSize{int(width), int(height)};
}

bool validPNGHeader(const std::uint8_t* data) {
  const std::uint8_t depth = data[8], colour = data[9];
  bool depthFits = false;
  switch (colour) {
    case 0:
      depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
      break;
    case 3:
      depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8;
      break;
    case 2:
    case 4:
    case 6:
      depthFits = depth == 8 || depth == 16;
      break;
  }
  return depthFits && data[10] == 0 && data[11] == 0 && data[12] <= 1;
}

// The structure walks below serve two ends: `trusted` asks whether a file may be taken at its
// header's word (CRCs, no orientation, only chunks and frames every decoder here knows), otherwise
// only whether the data reaches its end, as a decoder that stopped early would not.
std::optional<PixelSize> wholePNGSize(const std::uint8_t* bytes, std::size_t length, bool trusted) {
  std::size_t pos = 8;
  std::int64_t width = 0, height = 0;
  bool palette = false, imageData = false, imageDataEnded = false;
  std::uint8_t colour = 0;
  while (length - pos >= 12) {
    const std::uint32_t count = bigEndian32(bytes + pos);
    if (count > length - pos - 12) return std::nullopt;
    const std::uint8_t* type = bytes + pos + 4;
    const std::uint8_t* data = type + 4;
    if (trusted && crc32(crc32(0, nullptr, 0), type, uInt(count) + 4) != bigEndian32(data + count))
      return std::nullopt;
    auto is = [type](const char* name) { return std::memcmp(type, name, 4) == 0; };
    const bool first = pos == 8;
    pos += 12 + std::size_t(count);
    if (first != is("IHDR")) return std::nullopt;
    if (first) {
      if (count != 13 || (trusted && !validPNGHeader(data))) return std::nullopt;
      width = bigEndian32(data);
      height = bigEndian32(data + 4);
      colour = data[9];
    } else if (is("IDAT")) {
      if (imageDataEnded) return std::nullopt;
      imageData = true;
    } else if (is("IEND")) {
      if (!imageData || (colour == 3 && !palette)) return std::nullopt;
      return pixelSize(width, height);
    } else if (is("PLTE")) {
      if (imageData) return std::nullopt;
      palette = true;
    } else if (trusted && (is("eXIf") || !(type[0] & 0x20))) {
      // An orientation, or a critical chunk no decoder here knows.
      return std::nullopt;
    }
    if (imageData && !is("IDAT")) imageDataEnded = true;
  }
  return std::nullopt;
}

std::optional<PixelSize> wholeJPEGSize(const std::uint8_t* bytes, std::size_t length, bool trusted) {
  std::size_t pos = 2;
  std::int64_t width = 0, height = 0;
  bool frame = false, scan = false;
  while (length - pos >= 2) {
    if (bytes[pos] != 0xFF) {
      if (trusted) return std::nullopt;
      ++pos;  // stray bytes between segments, which the decoder skips
      continue;
    }
    const std::uint8_t marker = bytes[pos + 1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xD9) return frame && scan ? pixelSize(width, height) : std::nullopt;
    if (marker == 0xD8 && trusted) return std::nullopt;  // a second start
    if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;
      continue;
    }
    if (length - pos < 4) return std::nullopt;
    const std::size_t segment = std::size_t(bytes[pos + 2]) << 8 | bytes[pos + 3];
    if (segment < 2 || segment > length - pos - 2) return std::nullopt;
    const std::uint8_t* data = bytes + pos + 4;
    if (isStartOfFrame(marker)) {
      // Huffman-coded baseline, extended and progressive frames only; one frame.
      if ((trusted && (marker > 0xC2 || frame)) || segment < 8) return std::nullopt;
      height = std::int64_t(data[1]) << 8 | data[2];
      width = std::int64_t(data[3]) << 8 | data[4];
      frame = true;
    } else if (trusted && marker == 0xE1 && segment >= 8 && std::memcmp(data, "Exif\0", 5) == 0) {
      return std::nullopt;
    }
    pos += 2 + segment;
    if (marker != 0xDA) continue;
    if (!frame) return std::nullopt;
    scan = true;
    // The coded data runs to the next marker: 0xFF is followed by a stuffed zero, a restart
    // marker or fill bytes inside it.
    while (length - pos >= 2 && (bytes[pos] != 0xFF || bytes[pos + 1] == 0x00 || bytes[pos + 1] == 0xFF ||
                                 (bytes[pos + 1] >= 0xD0 && bytes[pos + 1] <= 0xD7)))
      ++pos;
  }
  return std::nullopt;
}

}  // namespace

std::optional<PixelSize> wholeImageSize(const std::uint8_t* bytes, std::size_t length) {
  if (!bytes) return std::nullopt;
  if (length >= 8 && std::memcmp(bytes, kPNGSignature, 8) == 0) return wholePNGSize(bytes, length, true);
  if (length >= 3 && std::memcmp(bytes, "\xFF\xD8\xFF", 3) == 0) return wholeJPEGSize(bytes, length, true);
  return std::nullopt;
}

std::int64_t decoderHeldBytes(const ImageHeader& header, std::size_t length) {
  const std::int64_t pixels = header.width * header.height, rows = header.width * 256;
  switch (header.format) {
    case ImageFormat::PNG:
      return rows + (header.interlaced ? 4 * pixels : 0);
    case ImageFormat::JPEG:
      return rows + header.coefficientBytes;
    case ImageFormat::GIF:
      return 8 * pixels;
    case ImageFormat::TIFF:
      return 4 * pixels + std::int64_t(length);
    case ImageFormat::BMP:
    case ImageFormat::ICO:
    case ImageFormat::CUR:
      return 4 * pixels;
  }
  return 4 * pixels;
}

bool reachesItsEnd(const ImageHeader& header, const std::uint8_t* bytes, std::size_t length) {
  switch (header.format) {
    case ImageFormat::PNG:
      return wholePNGSize(bytes, length, false).has_value();
    case ImageFormat::JPEG:
      return wholeJPEGSize(bytes, length, false).has_value();
    default:
      return true;
  }
}

std::optional<ImageHeader> readImageHeader(const std::uint8_t* bytes, std::size_t length) {
  if (!bytes) return std::nullopt;
  Reader le(bytes, length);
  if (le.matches(0, kPNGSignature, 8)) return readPNG(le);
  if (le.matches(0, "\xFF\xD8\xFF", 3)) return readJPEG(le);
  if (le.matches(0, "GIF87a", 6) || le.matches(0, "GIF89a", 6)) return readGIF(le);
  if (le.matches(0, "BM", 2)) return readBMP(le);
  if (le.matches(0, "\0\0\1\0", 4) && le.has(0, 6)) return readIcon(le, ImageFormat::ICO);
  if (le.matches(0, "\0\0\2\0", 4) && le.has(0, 6)) return readIcon(le, ImageFormat::CUR);
  if (le.matches(0, "II*\0", 4) && le.has(0, 8)) return readTIFF(le);
  if (le.matches(0, "MM\0*", 4) && le.has(0, 8)) return readTIFF(Reader(bytes, length, true));
  return std::nullopt;
}

}  // namespace cg::detail
