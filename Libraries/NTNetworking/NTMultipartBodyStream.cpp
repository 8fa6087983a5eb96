#include "NTNetworking/NTMultipartBodyStream.h"

#include <algorithm>

#include "Foundation/Thread.h"

std::shared_ptr<NTMultipartBodyStream> NTMultipartBodyStream::initWithStringEncoding(
    ns::StringEncoding encoding) {
  stringEncoding_ = encoding;
  HTTPBodyParts_.clear();
  numberOfBytesInPacket_ = kNoPacketLimit;
  delay_ = 0;
  return std::static_pointer_cast<NTMultipartBodyStream>(shared_from_this());
}

void NTMultipartBodyStream::appendHTTPBodyPart(NTHTTPBodyPartPtr part) {
  if (part) HTTPBodyParts_.push_back(std::move(part));
}

void NTMultipartBodyStream::setInitialAndFinalBoundaries() {
  if (HTTPBodyParts_.empty()) return;
  for (const auto& part : HTTPBodyParts_) {
    part->setHasInitialBoundary(false);
    part->setHasFinalBoundary(false);
  }
  HTTPBodyParts_.front()->setHasInitialBoundary(true);
  HTTPBodyParts_.back()->setHasFinalBoundary(true);
}

std::uint64_t NTMultipartBodyStream::contentLength() const {
  std::uint64_t length = 0;
  for (const auto& part : HTTPBodyParts_) length += part->contentLength();
  return length;
}

void NTMultipartBodyStream::open() {
  if (streamStatus() == ns::StreamStatus::Open) return;
  setStreamStatus(ns::StreamStatus::Open);
  setInitialAndFinalBoundaries();
  HTTPBodyPartEnumerator_ = 0;
  currentHTTPBodyPart_ = nullptr;
}

void NTMultipartBodyStream::close() { setStreamStatus(ns::StreamStatus::Closed); }

std::int64_t NTMultipartBodyStream::read(std::uint8_t* buffer, std::size_t maxLength) {
  auto status = streamStatus();
  if (status == ns::StreamStatus::Error) return -1;
  if (status != ns::StreamStatus::Open || !buffer) return 0;
  std::size_t gathered = 0;
  std::uint64_t wanted = std::min<std::uint64_t>(maxLength, numberOfBytesInPacket_);
  while (gathered < wanted) {
    if (!currentHTTPBodyPart_ || !currentHTTPBodyPart_->hasBytesAvailable()) {
      if (HTTPBodyPartEnumerator_ >= HTTPBodyParts_.size()) break;
      currentHTTPBodyPart_ = HTTPBodyParts_[HTTPBodyPartEnumerator_++];
      continue;
    }
    std::int64_t count = currentHTTPBodyPart_->read(buffer + gathered, maxLength - gathered);
    if (count < 0) {
      failWithError(currentHTTPBodyPart_->error());
      return -1;
    }
    gathered += static_cast<std::size_t>(count);
    if (delay_ > 0) ns::Thread::sleepForTimeInterval(delay_);
  }
  return static_cast<std::int64_t>(gathered);
}

bool NTMultipartBodyStream::hasBytesAvailable() const { return streamStatus() == ns::StreamStatus::Open; }

bool NTMultipartBodyStream::getBuffer(const std::uint8_t**, std::size_t*) { return false; }

ns::Value NTMultipartBodyStream::propertyForKey(std::string_view) const { return ns::Value(); }

bool NTMultipartBodyStream::setPropertyForKey(const ns::Value&, std::string_view) { return false; }
