#include "support/CompressedBody.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace testsupport {

namespace {

constexpr std::size_t kMegabyte = 1 << 20;

// One megabyte of zeros as raw deflate ended by a full flush: the compressor forgets what came
// before, so the same bytes decode to the next megabyte wherever they stand in the stream.
std::string deflatedMegabyte() {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> in(kMegabyte, 0), out(64 * 1024);
  std::string segment;
  z.next_in = in.data();
  z.avail_in = static_cast<uInt>(in.size());
  do {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FULL_FLUSH);
    segment.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
  } while (z.avail_out == 0);
  deflateEnd(&z);
  return segment;
}

void appendLittleEndian(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

void appendBigEndian(std::string& out, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

void appendChunk(std::string& png, const char* type, const std::string& data) {
  appendBigEndian(png, static_cast<std::uint32_t>(data.size()));
  std::string typed = type + data;
  png += typed;
  appendBigEndian(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                        static_cast<uInt>(typed.size()))));
}

}  // namespace

std::string greyPNG(int width, int height, std::size_t padding) {
  std::string header;
  appendBigEndian(header, static_cast<std::uint32_t>(width));
  appendBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x00\x00\x00\x00", 5);  // 8-bit grey, not interlaced
  std::string png("\x89PNG\r\n\x1a\n", 8);
  appendChunk(png, "IHDR", header);
  if (padding > 0) appendChunk(png, "tEXt", std::string("Comment") + '\0' + std::string(padding, 'x'));
  // Each row is a filter byte of 0 and its grey pixels.
  std::vector<unsigned char> row(static_cast<std::size_t>(width) + 1, 0x80), out(64 * 1024);
  row[0] = 0;
  z_stream z{};
  deflateInit(&z, 9);
  std::string data;
  for (int y = 0; y <= height; ++y) {
    z.next_in = y < height ? row.data() : nullptr;
    z.avail_in = y < height ? static_cast<uInt>(row.size()) : 0;
    int flush = y < height ? Z_NO_FLUSH : Z_FINISH;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      data.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  appendChunk(png, "IDAT", data);
  appendChunk(png, "IEND", "");
  return png;
}

std::shared_ptr<const std::string> gzippedZeros(std::size_t megabytes) {
  static const std::string segment = deflatedMegabyte();
  auto stream = std::make_shared<std::string>("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  stream->reserve(stream->size() + segment.size() * megabytes + 10);
  for (std::size_t i = 0; i < megabytes; ++i) *stream += segment;
  *stream += std::string("\x03\x00", 2);  // an empty final block
  std::vector<unsigned char> zeros(kMegabyte, 0);
  const uLong one = crc32(0, zeros.data(), static_cast<uInt>(zeros.size()));
  uLong crc = megabytes ? one : crc32(0, nullptr, 0);
  for (std::size_t i = 1; i < megabytes; ++i) crc = crc32_combine(crc, one, static_cast<z_off_t>(kMegabyte));
  appendLittleEndian(*stream, static_cast<std::uint32_t>(crc));
  appendLittleEndian(*stream, static_cast<std::uint32_t>((megabytes * kMegabyte) & 0xffffffffu));
  return stream;
}

Reply gzippedZerosReply(std::string contentType, std::size_t megabytes) {
  auto stream = gzippedZeros(megabytes);
  Reply reply;
  reply.contentType = std::move(contentType);
  reply.headers.push_back({"Content-Encoding", "gzip"});
  // Generated, so the server sends the bytes as they are instead of compressing them again.
  reply.generatedLength = stream->size();
  reply.generatedByte = [stream](std::size_t offset) { return (*stream)[offset]; };
  reply.chunkSize = 64 * 1024;
  return reply;
}

Reply gzippedReply(std::string contentType, std::string_view bytes, std::size_t keep) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  auto stream = std::make_shared<std::string>(deflateBound(&z, static_cast<uLong>(bytes.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(stream->data());
  z.avail_out = static_cast<uInt>(stream->size());
  deflate(&z, Z_FINISH);
  stream->resize(z.total_out);
  deflateEnd(&z);
  if (keep < stream->size()) stream->resize(keep);
  Reply reply;
  reply.contentType = std::move(contentType);
  reply.headers.push_back({"Content-Encoding", "gzip"});
  reply.generatedLength = stream->size();
  reply.generatedByte = [stream](std::size_t offset) { return (*stream)[offset]; };
  return reply;
}

}  // namespace testsupport
