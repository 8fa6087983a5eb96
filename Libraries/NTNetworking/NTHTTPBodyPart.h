#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/Stream.h"
#include "Foundation/StringEncoding.h"
#include "Foundation/Value.h"

// The read phases of a part, in order.
enum NTHTTPBodyPartReadPhase : int {
  NTEncapsulationBoundaryPhase = 1,
  NTHeaderPhase = 2,
  NTBodyPhase = 3,
  NTFinalBoundaryPhase = 4,
};

// One part of a multipart body: its opening boundary, header block, body source and, for the last
// part, the final boundary, produced on demand while the request is sent. Phases change on the
// reading thread; the source is opened on entering the body and closed on leaving it, and needs
// no run loop. Exactly bodyContentLength bytes of the source are sent: a source that ends early or
// fails makes the part (and the body) fail rather than send fewer bytes than announced, and
// bytes past that length are not sent.
class NTHTTPBodyPart final : public ns::Object {
 public:
  ~NTHTTPBodyPart() override;
  // Moves the part into its first phase.
  std::shared_ptr<NTHTTPBodyPart> init();

  int phase() const { return phase_; }
  void setPhase(int phase) { phase_ = phase; }
  std::uint64_t phaseReadOffset() const { return phaseReadOffset_; }
  void setPhaseReadOffset(std::uint64_t offset) { phaseReadOffset_ = offset; }
  ns::StringEncoding stringEncoding() const { return stringEncoding_; }
  void setStringEncoding(ns::StringEncoding encoding) { stringEncoding_ = encoding; }
  const ns::Dictionary& headers() const { return headers_; }
  void setHeaders(ns::Dictionary headers) { headers_ = std::move(headers); }
  std::uint64_t bodyContentLength() const { return bodyContentLength_; }
  void setBodyContentLength(std::uint64_t length) { bodyContentLength_ = length; }
  const std::shared_ptr<ns::InputStream>& inputStream() const { return inputStream_; }
  void setInputStream(std::shared_ptr<ns::InputStream> stream) { inputStream_ = std::move(stream); }
  bool hasInitialBoundary() const { return hasInitialBoundary_; }
  void setHasInitialBoundary(bool flag) { hasInitialBoundary_ = flag; }
  bool hasFinalBoundary() const { return hasFinalBoundary_; }
  void setHasFinalBoundary(bool flag) { hasFinalBoundary_ = flag; }

  // "Name: value CRLF" per header, then one more CRLF.
  std::string stringForHeaders() const;
  // Opening boundary + header block + body + final boundary, in bytes.
  std::uint64_t contentLength() const;
  // False once the part has been read to its end, or has failed.
  bool hasBytesAvailable() const;
  // Places up to maxLength bytes, crossing phases as they complete; 0 when nothing is left, -1
  // when the source failed or ended early (error() says which).
  std::int64_t read(std::uint8_t* buffer, std::size_t maxLength);
  // Copies the rest of a phase's fixed text from phaseReadOffset; moves on when it is all out.
  std::size_t readData(const ns::Data& data, std::uint8_t* buffer, std::size_t maxLength);
  // 1 -> 2 -> 3 (opens the source) -> 4 (closes it) -> 1; always true.
  bool transitionToNextPhase();

  ns::ErrorPtr error() const { return error_; }

 private:
  ns::Data textData(const std::string& text) const;
  ns::Data openingBoundaryData() const;
  ns::Data finalBoundaryData() const;
  std::int64_t readBody(std::uint8_t* buffer, std::size_t maxLength);
  void fail(ns::ErrorPtr underlying, const char* reason);

  int phase_ = 0;
  std::uint64_t phaseReadOffset_ = 0;
  ns::StringEncoding stringEncoding_ = ns::UTF8StringEncoding;
  ns::Dictionary headers_;
  std::uint64_t bodyContentLength_ = 0;
  std::shared_ptr<ns::InputStream> inputStream_;
  bool hasInitialBoundary_ = false;
  bool hasFinalBoundary_ = false;
  std::uint64_t bodyBytesRead_ = 0;
  bool complete_ = false;
  ns::ErrorPtr error_;
};

using NTHTTPBodyPartPtr = std::shared_ptr<NTHTTPBodyPart>;
