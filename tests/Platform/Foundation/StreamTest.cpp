#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include "Foundation/Stream.h"
#include "support/TempDir.h"

namespace {

using StreamTest = testsupport::TempDirTest;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::int64_t writeText(ns::OutputStream& stream, std::string_view text) {
  return stream.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string drain(ns::InputStream& stream, std::size_t piece) {
  std::string out;
  std::vector<std::uint8_t> buffer(piece);
  for (;;) {
    auto n = stream.read(buffer.data(), buffer.size());
    if (n <= 0) break;
    out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
  }
  return out;
}

TEST_F(StreamTest, MemoryStreamHandsOutItsBytesWithoutCopying) {
  auto stream = ns::OutputStream::outputStreamToMemory();
  EXPECT_EQ(writeText(*stream, "early"), -1);  // not open yet
  stream->open();
  EXPECT_TRUE(stream->hasSpaceAvailable());
  EXPECT_EQ(writeText(*stream, "hello "), 6);
  EXPECT_EQ(writeText(*stream, "world"), 5);
  auto first = stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey);
  auto second = stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey);
  ASSERT_TRUE(first.isData());
  EXPECT_EQ(first.asData()->toString(), "hello world");
  EXPECT_EQ(first.asData()->bytes(), second.asData()->bytes());
  EXPECT_TRUE(stream->propertyForKey(ns::kStreamFileCurrentOffsetKey).isNil());
  stream->close();
  EXPECT_EQ(writeText(*stream, "late"), -1);
  EXPECT_EQ(stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey).asData()->toString(),
            "hello world");
  EXPECT_FALSE(stream->truncateAtCurrentOffset());
}

// The first chunk handed over as Data is kept as it is; what follows never changes the caller's copy.
TEST_F(StreamTest, MemoryStreamKeepsAHandedOverChunkWithoutChangingIt) {
  auto stream = ns::OutputStream::outputStreamToMemory();
  ns::Data chunk = ns::Data::fromString("first ");
  EXPECT_EQ(stream->writeData(chunk), -1);  // not open yet
  stream->open();
  EXPECT_EQ(stream->writeData(chunk), 6);
  auto kept = stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey);
  EXPECT_EQ(kept.asData()->bytes(), chunk.bytes());
  EXPECT_EQ(stream->writeData(ns::Data::fromString("second ")), 7);
  EXPECT_EQ(writeText(*stream, "third"), 5);
  EXPECT_EQ(chunk.toString(), "first ");
  EXPECT_EQ(kept.asData()->toString(), "first ");
  auto all = stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey);
  EXPECT_EQ(all.asData()->toString(), "first second third");
  EXPECT_GE(all.asData()->tailRoom(), ns::Data::kTailRoom);
}

TEST_F(StreamTest, FileStreamTruncatesOrAppends) {
  struct Case {
    bool append;
    std::string expected;
    std::int64_t offsetAfterWrite;
  } cases[] = {{false, "new", 3}, {true, "old contentnew", 14}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.append);
    std::string path = tmp.file(c.append ? "append.bin" : "truncate.bin");
    writeFile(path, "old content");
    auto stream = ns::OutputStream::outputStreamToFileAtPath(path, c.append);
    stream->open();
    ASSERT_EQ(stream->streamStatus(), ns::StreamStatus::Open);
    EXPECT_EQ(writeText(*stream, "new"), 3);
    EXPECT_EQ(stream->propertyForKey(ns::kStreamFileCurrentOffsetKey).longLongValue(), c.offsetAfterWrite);
    stream->close();
    EXPECT_EQ(readFile(path), c.expected);
    EXPECT_TRUE(stream->propertyForKey(ns::kStreamDataWrittenToMemoryStreamKey).isNil());
  }
}

TEST_F(StreamTest, FileOffsetMovesTheNextWriteAndTruncationDropsTheTail) {
  std::string path = tmp.file("resume.bin");
  auto stream = ns::OutputStream::outputStreamToFileAtPath(path, false);
  stream->open();
  writeText(*stream, "0123456789");
  EXPECT_TRUE(stream->setPropertyForKey(ns::Value(4), ns::kStreamFileCurrentOffsetKey));
  EXPECT_FALSE(stream->setPropertyForKey(ns::Value(-1), ns::kStreamFileCurrentOffsetKey));
  EXPECT_FALSE(stream->setPropertyForKey(ns::Value("4"), ns::kStreamFileCurrentOffsetKey));
  writeText(*stream, "ab");
  EXPECT_EQ(readFile(path), "0123ab6789");
  EXPECT_TRUE(stream->truncateAtCurrentOffset());
  EXPECT_EQ(readFile(path), "0123ab");
  stream->close();
}

TEST_F(StreamTest, FileStreamFailuresAreReportedAsErrors) {
  struct Case {
    const char* name;
    std::string path;
    bool failsOnOpen;
    std::int64_t code;
  } cases[] = {
      {"missing folder", tmp.file("no/such/folder/file"), true, ENOENT},
      {"a folder, not a file", tmp.str(), true, EISDIR},
      {"a full device", "/dev/full", false, ENOSPC},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto stream = ns::OutputStream::outputStreamToFileAtPath(c.path, false);
    stream->open();
    if (!c.failsOnOpen) {
      ASSERT_EQ(stream->streamStatus(), ns::StreamStatus::Open);
      EXPECT_EQ(writeText(*stream, "bytes"), -1);
    }
    EXPECT_EQ(stream->streamStatus(), ns::StreamStatus::Error);
    ASSERT_NE(stream->streamError(), nullptr);
    EXPECT_EQ(stream->streamError()->domain(), ns::kPOSIXErrorDomain);
    EXPECT_EQ(stream->streamError()->code(), c.code);
    EXPECT_FALSE(stream->hasSpaceAvailable());
    EXPECT_EQ(writeText(*stream, "more"), -1);
  }
}

TEST_F(StreamTest, InputStreamsDeliverEveryByteWhateverThePieceSize) {
  std::string content;
  for (int i = 0; i < 1000; ++i) content += static_cast<char>(i * 7);
  std::string path = tmp.file("input.bin");
  writeFile(path, content);
  for (std::size_t piece : {1u, 7u, 64u, 4096u}) {
    SCOPED_TRACE(piece);
    for (bool fromFile : {false, true}) {
      auto stream = fromFile ? ns::InputStream::inputStreamWithFileAtPath(path)
                             : ns::InputStream::inputStreamWithData(ns::Data(content));
      std::uint8_t byte;
      EXPECT_EQ(stream->read(&byte, 1), -1);  // not open
      stream->open();
      EXPECT_TRUE(stream->hasBytesAvailable());
      EXPECT_EQ(drain(*stream, piece), content);
      EXPECT_EQ(stream->streamStatus(), ns::StreamStatus::AtEnd);
      EXPECT_FALSE(stream->hasBytesAvailable());
      EXPECT_EQ(stream->read(&byte, 1), 0);
      stream->close();
      EXPECT_EQ(stream->streamStatus(), ns::StreamStatus::Closed);
    }
  }
}

TEST_F(StreamTest, EmptyAndMissingInputs) {
  auto empty = ns::InputStream::inputStreamWithData(ns::Data());
  empty->open();
  EXPECT_FALSE(empty->hasBytesAvailable());
  std::uint8_t byte;
  EXPECT_EQ(empty->read(&byte, 1), 0);

  auto missing = ns::InputStream::inputStreamWithFileAtPath(tmp.file("missing"));
  missing->open();
  EXPECT_EQ(missing->streamStatus(), ns::StreamStatus::Error);
  ASSERT_NE(missing->streamError(), nullptr);
  EXPECT_EQ(missing->streamError()->code(), ENOENT);
  EXPECT_EQ(missing->read(&byte, 1), -1);

  EXPECT_EQ(ns::InputStream::inputStreamWithURL(*ns::URL::URLWithString("http://example.invalid/a")),
            nullptr);
  std::string path = tmp.file("by url.txt");
  writeFile(path, "via url");
  auto viaUrl = ns::InputStream::inputStreamWithURL(ns::URL::fileURLWithPath(path));
  ASSERT_NE(viaUrl, nullptr);
  viaUrl->open();
  EXPECT_EQ(drain(*viaUrl, 3), "via url");
}

TEST_F(StreamTest, FileInputOffsetCanRewind) {
  std::string path = tmp.file("rewind.txt");
  writeFile(path, "abcdef");
  auto stream = ns::InputStream::inputStreamWithFileAtPath(path);
  stream->open();
  EXPECT_EQ(drain(*stream, 4), "abcdef");
  EXPECT_TRUE(stream->setPropertyForKey(ns::Value(2), ns::kStreamFileCurrentOffsetKey));
  EXPECT_EQ(drain(*stream, 4), "cdef");
}

}  // namespace
