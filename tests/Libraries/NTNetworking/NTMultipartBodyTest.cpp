#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Foundation/DataFile.h"
#include "Foundation/Exception.h"
#include "Foundation/Stream.h"
#include "NTNetworking/NTHTTPBodyPart.h"
#include "NTNetworking/NTMultipartBodyStream.h"
#include "NTNetworking/NTStreamingMultipartFormData.h"
#include "support/TempDir.h"

namespace {

using NTMultipartBodyTest = testsupport::TempDirTest;

const std::string kB = kNTMultipartFormBoundary;

struct ReadResult {
  std::string bytes;
  std::int64_t last = 0;  // the read that ended it: 0 at the end, -1 on a failure
  std::vector<std::int64_t> counts;
};

ReadResult readAll(const std::shared_ptr<ns::InputStream>& stream, std::size_t chunk) {
  ReadResult r;
  stream->open();
  std::vector<std::uint8_t> buffer(chunk);
  for (int guard = 0; guard < 1'000'000; ++guard) {
    std::int64_t n = stream->read(buffer.data(), chunk);
    r.counts.push_back(n);
    if (n <= 0) {
      r.last = n;
      break;
    }
    r.bytes.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
  }
  stream->close();
  return r;
}

std::shared_ptr<NTStreamingMultipartFormData> newForm(ns::StringEncoding encoding = ns::UTF8StringEncoding) {
  auto request = ns::URLRequest::requestWithURL(ns::URL::URLWithString("http://127.0.0.1/upload"));
  request->setHTTPMethod("POST");
  return std::make_shared<NTStreamingMultipartFormData>()->initWithURLRequest(request, encoding);
}

std::string writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST_F(NTMultipartBodyTest, BodyOfEveryKindOfPartIsExactAtAnyReadSize) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  auto build = [&] {
    auto form = newForm();
    form->appendPartWithFormData(ns::Data::fromString("1"), "a");
    form->appendPartWithFileData(ns::Data::fromString("hello"), "doc", "d.txt", "text/plain");
    EXPECT_TRUE(
        form->appendPartWithFileURL(ns::URL::fileURLWithPath(writeFile(tmp.file("p.png"), png)), "poster"));
    // A part whose source is any input stream.
    auto streamed = std::make_shared<NTHTTPBodyPart>()->init();
    streamed->setHeaders(ns::Dictionary{{"Content-Disposition", "form-data; name=\"stream\""}});
    streamed->setInputStream(ns::InputStream::inputStreamWithData(ns::Data::fromString("streamed")));
    streamed->setBodyContentLength(8);
    form->bodyStream()->appendHTTPBodyPart(streamed);
    return form->requestByFinalizingMultipartFormData();
  };
  const std::string golden =
      "--" + kB + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1" + "\r\n--" + kB +
      "\r\nContent-Disposition: form-data; name=\"doc\"; filename=\"d.txt\"\r\n" +
      "Content-Type: text/plain\r\n\r\nhello" + "\r\n--" + kB +
      "\r\nContent-Disposition: form-data; name=\"poster\"; filename=\"p.png\"\r\n" +
      "Content-Type: image/png\r\n\r\n" + png + "\r\n--" + kB +
      "\r\nContent-Disposition: form-data; name=\"stream\"\r\n\r\nstreamed" + "\r\n--" + kB + "--\r\n";
  for (std::size_t chunk : {1u, 7u, 64u, 4096u}) {
    auto request = build();
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "multipart/form-data; boundary=" + kB);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(golden.size()));
    auto result = readAll(request->HTTPBodyStream(), chunk);
    EXPECT_EQ(result.bytes, golden) << "chunk " << chunk;
    EXPECT_EQ(result.last, 0) << "chunk " << chunk;
  }
}

TEST_F(NTMultipartBodyTest, SmallFormsAndBoundaryPlacement) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;
  } cases[] = {
      {"one byte",
       {{"a", "\x01"}},
       "--" + kB + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n\x01\r\n--" + kB + "--\r\n"},
      {"empty value",
       {{"e", ""}},
       "--" + kB + "\r\nContent-Disposition: form-data; name=\"e\"\r\n\r\n\r\n--" + kB + "--\r\n"},
      {"two parts",
       {{"a", "x"}, {"b", "y"}},
       "--" + kB + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--" + kB +
           "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\ny\r\n--" + kB + "--\r\n"},
      {"quotes and line breaks in names",
       {{"a\"b\r\nX-Injected: 1", "v"}},
       "--" + kB + "\r\nContent-Disposition: form-data; name=\"a%22b%0D%0AX-Injected: 1\"\r\n\r\nv\r\n--" +
           kB + "--\r\n"},
  };
  for (const auto& c : cases) {
    auto form = newForm();
    for (const auto& [name, value] : c.fields) form->appendPartWithFormData(ns::Data(value), name);
    auto request = form->requestByFinalizingMultipartFormData();
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(c.body.size())) << c.name;
    EXPECT_EQ(readAll(request->HTTPBodyStream(), 5).bytes, c.body) << c.name;
  }
  // No parts: the request as it was.
  auto form = newForm();
  auto request = form->requestByFinalizingMultipartFormData();
  EXPECT_FALSE(request->valueForHTTPHeaderField("Content-Type"));
  EXPECT_EQ(request->HTTPBodyStream(), nullptr);
}

TEST_F(NTMultipartBodyTest, FileNamesAreEscapedAndUnknownTypesGetNoContentType) {
  auto form = newForm();
  form->appendPartWithFileData(ns::Data::fromString("d"), "f", "evil\".txt\r\nX: y", "text/plain");
  ASSERT_TRUE(
      form->appendPartWithFileURL(ns::URL::fileURLWithPath(writeFile(tmp.file("notes.zzqx"), "z")), "n"));
  auto body = readAll(form->requestByFinalizingMultipartFormData()->HTTPBodyStream(), 64).bytes;
  EXPECT_NE(body.find("filename=\"evil%22.txt%0D%0AX: y\"\r\n"), std::string::npos) << body;
  auto notes = body.find("filename=\"notes.zzqx\"\r\n\r\nz");
  EXPECT_NE(notes, std::string::npos) << body;
}

TEST_F(NTMultipartBodyTest, RefusesBadFileURLsAndHeaderLineBreaks) {
  auto form = newForm();
  struct Case {
    const char* name;
    ns::URL url;
    const char* reason;
  } cases[] = {
      {"not a file URL", *ns::URL::URLWithString("http://127.0.0.1/x.png"), "Expected URL to be a file URL"},
      {"missing file", ns::URL::fileURLWithPath(tmp.file("missing.png")), "File URL not reachable."},
      {"folder", ns::URL::fileURLWithPath(tmp.str()), "File size not readable."},
  };
  for (const auto& c : cases) {
    ns::ErrorPtr error;
    EXPECT_FALSE(form->appendPartWithFileURL(c.url, "f", &error)) << c.name;
    ASSERT_NE(error, nullptr) << c.name;
    EXPECT_EQ(error->domain(), "NTNetworkingErrorDomain") << c.name;
    EXPECT_EQ(error->code(), ns::URLError::BadURL) << c.name;
    EXPECT_EQ(error->userInfo()[ns::kLocalizedFailureReasonErrorKey], ns::Value(c.reason)) << c.name;
    EXPECT_FALSE(form->appendPartWithFileURL(c.url, "f")) << c.name;  // no place for the error
  }
  EXPECT_TRUE(form->bodyStream()->isEmpty());

  auto reason = [](auto&& call) -> std::string {
    try {
      call();
    } catch (const ns::Exception& e) {
      return e.reason();
    }
    return "";
  };
  EXPECT_EQ(reason([&] { form->appendPartWithFileURL(std::nullopt, "f"); }),
            "Invalid parameter not satisfying: fileURL");
  EXPECT_EQ(reason([&] { form->appendPartWithFormData(ns::Data(), std::nullopt); }),
            "Invalid parameter not satisfying: name");
  EXPECT_EQ(reason([&] { form->appendPartWithFileData(ns::Data(), "n", "f", std::nullopt); }),
            "Invalid parameter not satisfying: mimeType");
  EXPECT_NE(reason([&] { form->appendPartWithHeaders({{"X-A", "1\r\nX-B: 2"}}, ns::Data()); }), "");
  EXPECT_NE(reason([&] { form->appendPartWithFileData(ns::Data(), "n", "f", "text/plain\r\nX: 1"); }), "");
  EXPECT_TRUE(form->bodyStream()->isEmpty());
}

// A source that ends early or fails must not let the body come out shorter than announced.
TEST_F(NTMultipartBodyTest, ShortOrFailingSourcesFailTheBodyAndLongOnesAreCut) {
  struct Case {
    const char* name;
    std::string fileBytes;  // what the file holds when the body is read
    bool removeFile;        // the file is gone when the body is read
    std::int64_t last;      // how reading ends
  } cases[] = {
      {"shrunk", "abc", false, -1},
      {"removed", "", true, -1},
      {"grown", "abcdefghijKLMNOP", false, 0},
      {"same", "abcdefghij", false, 0},
  };
  for (const auto& c : cases) {
    std::string path = writeFile(tmp.file(std::string("f-") + c.name + ".bin"), "abcdefghij");
    auto form = newForm();
    ASSERT_TRUE(form->appendPartWithFileURL(ns::URL::fileURLWithPath(path), "f"));
    auto request = form->requestByFinalizingMultipartFormData();
    auto announced = std::stoull(*request->valueForHTTPHeaderField("Content-Length"));
    if (c.removeFile)
      std::filesystem::remove(path);
    else
      writeFile(path, c.fileBytes);
    auto stream = request->HTTPBodyStream();
    auto result = readAll(stream, 7);
    EXPECT_EQ(result.last, c.last) << c.name;
    if (c.last == 0) {
      EXPECT_EQ(result.bytes.size(), announced) << c.name;
      EXPECT_NE(result.bytes.find("\r\n\r\nabcdefghij\r\n--"), std::string::npos) << c.name;
    } else {
      EXPECT_LT(result.bytes.size(), announced) << c.name;
      ASSERT_NE(stream->streamError(), nullptr) << c.name;
      EXPECT_EQ(stream->streamError()->code(), ns::URLError::RequestBodyStreamExhausted) << c.name;
      EXPECT_EQ(stream->streamStatus(), ns::StreamStatus::Closed) << c.name;
    }
  }
}

TEST_F(NTMultipartBodyTest, StreamStatesAndReadsOutsideTheOpenWindow) {
  auto form = newForm();
  form->appendPartWithFormData(ns::Data::fromString("v"), "k");
  auto request = form->requestByFinalizingMultipartFormData();
  auto stream = std::static_pointer_cast<NTMultipartBodyStream>(request->HTTPBodyStream());
  std::uint8_t buffer[256];
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);  // before open
  EXPECT_FALSE(stream->hasBytesAvailable());
  stream->open();
  EXPECT_TRUE(stream->hasBytesAvailable());
  auto n = stream->read(buffer, sizeof buffer);
  EXPECT_EQ(static_cast<std::uint64_t>(n), stream->contentLength());
  // At the end the stream stays open and keeps answering 0.
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(stream->hasBytesAvailable());
  EXPECT_EQ(stream->streamStatus(), ns::StreamStatus::Open);
  stream->close();
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
  EXPECT_FALSE(stream->hasBytesAvailable());
  EXPECT_FALSE(stream->getBuffer(nullptr, nullptr));
  EXPECT_FALSE(stream->setPropertyForKey(ns::Value(1), ns::kStreamFileCurrentOffsetKey));
  EXPECT_TRUE(stream->propertyForKey(ns::kStreamFileCurrentOffsetKey).isNil());
  EXPECT_EQ(stream->streamError(), nullptr);
}

TEST_F(NTMultipartBodyTest, ThrottledBodyReturnsAfterEachPartReadAndSleepsAfterIt) {
  auto form = newForm();
  form->appendPartWithFormData(ns::Data::fromString("first"), "a");
  form->appendPartWithFormData(ns::Data::fromString("second"), "b");
  form->throttleBandwidthWithPacketSize(1, 0.002);
  auto request = form->requestByFinalizingMultipartFormData();
  auto stream = std::static_pointer_cast<NTMultipartBodyStream>(request->HTTPBodyStream());
  EXPECT_EQ(stream->numberOfBytesInPacket(), 1u);
  auto started = std::chrono::steady_clock::now();
  auto result = readAll(stream, 16);
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Every read stops after one part read: it never spans two parts, whatever room it was given.
  std::size_t reads = result.counts.size() - 1;
  EXPECT_EQ(result.bytes.size(), stream->contentLength());
  EXPECT_GE(reads, (result.bytes.size() + 15) / 16);
  for (std::size_t i = 0; i < reads; ++i) EXPECT_GT(result.counts[i], 0);
  EXPECT_GE(elapsed, 0.002 * static_cast<double>(reads));
  // Without throttling one read takes in as much as there is room for.
  auto plain = newForm();
  plain->appendPartWithFormData(ns::Data::fromString("first"), "a");
  plain->appendPartWithFormData(ns::Data::fromString("second"), "b");
  auto whole = readAll(plain->requestByFinalizingMultipartFormData()->HTTPBodyStream(), 4096);
  EXPECT_EQ(whole.counts.size(), 2u);
  EXPECT_EQ(whole.bytes, result.bytes);
}

}  // namespace
