#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/Object.h"

// Domain of the errors the JSON parser and writer put in their traces.
inline constexpr const char* RTJSONErrorDomain = "local.videocatalogue.RTJSONErrorDomain";

// Codes of RTJSONErrorDomain.
enum RTJsonErrorCode : unsigned {
  RTJsonErrorUnsupported = 1,       // writer: a value JSON cannot hold
  RTJsonErrorNumber = 2,            // a malformed or out-of-range number
  RTJsonErrorParse = 3,             // parser: what was expected is not there
  RTJsonErrorFragment = 4,          // top level: a scalar where an object or array is required
  RTJsonErrorControlCharacter = 5,  // an unescaped control character in a string
  RTJsonErrorUnicode = 6,           // a broken \u escape
  RTJsonErrorDepth = 7,             // nested too deep
  RTJsonErrorEscape = 8,            // an unknown escape
  RTJsonErrorTrailingComma = 9,
  RTJsonErrorGarbage = 10,  // text after the value
  RTJsonErrorEndOfInput = 11,
  RTJsonErrorInput = 12,  // no input, or input that is not UTF-8 text
};

using RTJsonErrorTrace = std::vector<ns::ErrorPtr>;

// What the JSON parser, writer and facade share: the error trace and the nesting limit. Every
// failure appends an error to the trace instead of throwing; each error links the one before it
// as its underlying error, so the last one is the outermost failure. Changes of the trace are
// announced to key-value observers under "errorTrace".
class RTJsonBase : public ns::Object {
 public:
  // Whatever maxDepth says, nesting stops here: deeper input would exhaust the stack.
  static constexpr unsigned kDepthCeiling = 1024;

  RTJsonBase();
  ~RTJsonBase() override;

  // nil (nullopt) until the first error after a clear.
  const std::optional<RTJsonErrorTrace>& errorTrace() const { return errorTrace_; }
  void addErrorWithCode(unsigned code, const std::string& description);
  void clearErrorTrace();

  // 0 means no limit of the caller's own (kDepthCeiling still applies); 512 after construction.
  unsigned maxDepth() const { return maxDepth_.load(); }
  virtual void setMaxDepth(unsigned maxDepth) { maxDepth_.store(maxDepth); }

 protected:
  // One level deeper, or code 7 "Nested too deep" and false past the limit.
  bool enterLevel();
  void leaveLevel() { --depth_; }
  // The trace becomes a copy of another one (the facade takes its component's).
  void setErrorTrace(std::optional<RTJsonErrorTrace> trace);

  unsigned depth_ = 0;

 private:
  std::optional<RTJsonErrorTrace> errorTrace_;
  std::atomic<unsigned> maxDepth_{512};
};
