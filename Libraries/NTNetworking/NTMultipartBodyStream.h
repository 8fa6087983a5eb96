#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "Foundation/Stream.h"
#include "Foundation/StringEncoding.h"
#include "NTNetworking/NTHTTPBodyPart.h"

// The body stream of a multipart request: reads its parts one after another, never holding the
// body in memory. The URL-loading layer opens it, reads until a read gives 0 and closes it. When a
// part's source fails or ends early the stream fails (status Error, streamError() set, read
// gives -1), so the transfer fails instead of sending fewer bytes than its Content-Length.
class NTMultipartBodyStream final : public ns::InputStream {
 public:
  // Sends as much as a read asks for (no throttling).
  static constexpr std::uint64_t kNoPacketLimit = 2147483647;

  std::shared_ptr<NTMultipartBodyStream> initWithStringEncoding(ns::StringEncoding encoding);

  ns::StringEncoding stringEncoding() const { return stringEncoding_; }
  void setStringEncoding(ns::StringEncoding encoding) { stringEncoding_ = encoding; }
  const std::vector<NTHTTPBodyPartPtr>& HTTPBodyParts() const { return HTTPBodyParts_; }
  void setHTTPBodyParts(std::vector<NTHTTPBodyPartPtr> parts) { HTTPBodyParts_ = std::move(parts); }
  // Index of the next part to read.
  std::size_t HTTPBodyPartEnumerator() const { return HTTPBodyPartEnumerator_; }
  void setHTTPBodyPartEnumerator(std::size_t position) { HTTPBodyPartEnumerator_ = position; }
  const NTHTTPBodyPartPtr& currentHTTPBodyPart() const { return currentHTTPBodyPart_; }
  void setCurrentHTTPBodyPart(NTHTTPBodyPartPtr part) { currentHTTPBodyPart_ = std::move(part); }
  std::uint64_t numberOfBytesInPacket() const { return numberOfBytesInPacket_; }
  void setNumberOfBytesInPacket(std::uint64_t count) { numberOfBytesInPacket_ = count; }
  double delay() const { return delay_; }
  void setDelay(double seconds) { delay_ = seconds; }

  void appendHTTPBodyPart(NTHTTPBodyPartPtr part);
  bool isEmpty() const { return HTTPBodyParts_.empty(); }
  // The first part opens with the initial boundary, the last closes with the final one.
  void setInitialAndFinalBoundaries();
  std::uint64_t contentLength() const;

  void open() override;
  void close() override;
  // 0 before open(), after close() and at the end; -1 once a part has failed.
  std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override;
  // True exactly while the stream is open.
  bool hasBytesAvailable() const override;
  bool getBuffer(const std::uint8_t** buffer, std::size_t* length) override;
  ns::Value propertyForKey(std::string_view key) const override;
  bool setPropertyForKey(const ns::Value& property, std::string_view key) override;

 private:
  ns::StringEncoding stringEncoding_ = ns::UTF8StringEncoding;
  std::vector<NTHTTPBodyPartPtr> HTTPBodyParts_;
  std::size_t HTTPBodyPartEnumerator_ = 0;
  NTHTTPBodyPartPtr currentHTTPBodyPart_;
  std::uint64_t numberOfBytesInPacket_ = kNoPacketLimit;
  double delay_ = 0;
};

using NTMultipartBodyStreamPtr = std::shared_ptr<NTMultipartBodyStream>;
