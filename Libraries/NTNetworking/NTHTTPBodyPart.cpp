#include "NTNetworking/NTHTTPBodyPart.h"

#include <algorithm>
#include <cstring>

#include "Foundation/Format.h"
#include "NTNetworking/NTMultipartFormData.h"

NTHTTPBodyPart::~NTHTTPBodyPart() {
  if (inputStream_) inputStream_->close();
}

std::shared_ptr<NTHTTPBodyPart> NTHTTPBodyPart::init() {
  transitionToNextPhase();
  return std::static_pointer_cast<NTHTTPBodyPart>(shared_from_this());
}

ns::Data NTHTTPBodyPart::textData(const std::string& text) const {
  // A text the encoding cannot hold goes as UTF-8, so the bytes counted are the bytes sent.
  if (auto bytes = ns::bytesFromString(text, stringEncoding_)) return ns::Data(std::move(*bytes));
  return ns::Data(text);
}

ns::Data NTHTTPBodyPart::openingBoundaryData() const {
  return textData(hasInitialBoundary_ ? NTMultipartFormInitialBoundary(kNTMultipartFormBoundary)
                                      : NTMultipartFormEncapsulationBoundary(kNTMultipartFormBoundary));
}

ns::Data NTHTTPBodyPart::finalBoundaryData() const {
  return hasFinalBoundary_ ? textData(NTMultipartFormFinalBoundary(kNTMultipartFormBoundary)) : ns::Data();
}

std::string NTHTTPBodyPart::stringForHeaders() const {
  std::string block;
  for (const auto& [name, value] : headers_)
    block += ns::format("%@: %@%@", name, value, kNTMultipartFormCRLF);
  block += kNTMultipartFormCRLF;
  return block;
}

std::uint64_t NTHTTPBodyPart::contentLength() const {
  return openingBoundaryData().length() + textData(stringForHeaders()).length() + bodyContentLength_ +
         finalBoundaryData().length();
}

bool NTHTTPBodyPart::hasBytesAvailable() const { return !complete_ && !error_; }

bool NTHTTPBodyPart::transitionToNextPhase() {
  switch (phase_) {
    case NTEncapsulationBoundaryPhase:
      phase_ = NTHeaderPhase;
      break;
    case NTHeaderPhase:
      if (inputStream_) inputStream_->open();
      bodyBytesRead_ = 0;
      phase_ = NTBodyPhase;
      break;
    case NTBodyPhase:
      if (inputStream_) inputStream_->close();
      phase_ = NTFinalBoundaryPhase;
      break;
    case NTFinalBoundaryPhase:
      complete_ = true;
      phase_ = NTEncapsulationBoundaryPhase;
      break;
    default:
      phase_ = NTEncapsulationBoundaryPhase;
      break;
  }
  phaseReadOffset_ = 0;
  return true;
}

std::size_t NTHTTPBodyPart::readData(const ns::Data& data, std::uint8_t* buffer, std::size_t maxLength) {
  std::uint64_t offset = std::min<std::uint64_t>(phaseReadOffset_, data.length());
  std::size_t count = std::min<std::size_t>(data.length() - offset, maxLength);
  if (count > 0) std::memcpy(buffer, data.bytes() + offset, count);
  phaseReadOffset_ += count;
  if (phaseReadOffset_ >= data.length()) transitionToNextPhase();
  return count;
}

void NTHTTPBodyPart::fail(ns::ErrorPtr underlying, const char* reason) {
  ns::Dictionary info{{ns::kLocalizedDescriptionKey, reason}};
  if (underlying) info.set(ns::kUnderlyingErrorKey, ns::Value(underlying));
  error_ = ns::Error::make(ns::kURLErrorDomain, ns::URLError::RequestBodyStreamExhausted, std::move(info));
  if (inputStream_) inputStream_->close();
}

std::int64_t NTHTTPBodyPart::readBody(std::uint8_t* buffer, std::size_t maxLength) {
  std::uint64_t remaining = bodyContentLength_ - bodyBytesRead_;
  std::int64_t count = 0;
  if (remaining > 0 && maxLength > 0) {
    if (!inputStream_) {
      fail(nullptr, "A multipart body part has no source for its announced length");
      return -1;
    }
    count =
        inputStream_->read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(remaining, maxLength)));
    if (count < 0) {
      fail(inputStream_->streamError(), "A multipart body part's source failed");
      return -1;
    }
    if (count == 0) {
      fail(nullptr, "A multipart body part's source ended before its announced length");
      return -1;
    }
    bodyBytesRead_ += static_cast<std::uint64_t>(count);
  }
  if (bodyBytesRead_ >= bodyContentLength_) transitionToNextPhase();
  return count;
}

std::int64_t NTHTTPBodyPart::read(std::uint8_t* buffer, std::size_t maxLength) {
  if (error_) return -1;
  std::size_t total = 0;
  if (phase_ == NTEncapsulationBoundaryPhase && !complete_)
    total += readData(openingBoundaryData(), buffer + total, maxLength - total);
  if (phase_ == NTHeaderPhase)
    total += readData(textData(stringForHeaders()), buffer + total, maxLength - total);
  if (phase_ == NTBodyPhase) {
    std::int64_t count = readBody(buffer + total, maxLength - total);
    if (count < 0) return -1;
    total += static_cast<std::size_t>(count);
  }
  if (phase_ == NTFinalBoundaryPhase)
    total += readData(finalBoundaryData(), buffer + total, maxLength - total);
  return static_cast<std::int64_t>(total);
}
