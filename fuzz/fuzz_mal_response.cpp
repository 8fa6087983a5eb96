// Feeds untrusted bytes to the version 1 dispatcher's response parser, in chunks cut where the
// input's first bytes say, checking that it never reads out of bounds, never keeps more than
// its cap, and never reports a response after an error without a reset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "AppAnalytics/Library/MALHTTPResponseParser.h"

namespace {

struct Recorder final : MALHTTPResponseParserDelegate {
  int responses = 0;
  int errors = 0;
  void responseParsed(MALHTTPResponseParser&, bool) override {
    if (errors) std::abort();
    ++responses;
  }
  void parseError(MALHTTPResponseParser&, int) override { ++errors; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  auto recorder = std::make_shared<Recorder>();
  auto parser = std::make_shared<MALHTTPResponseParser>()->initWithDelegate(recorder);
  // The first byte chooses the chunk size, as reads of 1 to 256 bytes would cut the stream.
  std::size_t chunk = static_cast<std::size_t>(data[0]) + 1;
  for (std::size_t offset = 1; offset < size; offset += chunk) {
    std::size_t length = size - offset < chunk ? size - offset : chunk;
    parser->parseResponse(data + offset, length);
  }
  if (recorder->errors > 1) std::abort();
  // Reset forgets the error, so responses may be reported again; the same bytes in one chunk
  // must not crash either.
  parser->reset();
  recorder->errors = 0;
  parser->parseResponse(data + 1, size - 1);
  return 0;
}
