#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "Foundation/Object.h"

class MALHTTPResponseParser;

class MALHTTPResponseParserDelegate {
 public:
  virtual ~MALHTTPResponseParserDelegate() = default;
  // A whole "200" response was read; persistent is false once the server said it will close.
  virtual void responseParsed(MALHTTPResponseParser& parser, bool persistentConnection) = 0;
  // A response with another status, or one that breaks the rules (kMALMalformedResponseStatus).
  virtual void parseError(MALHTTPResponseParser& parser, int statusCode) = 0;
};

// What parseError reports for a response that cannot be read: a bad Content-Length, or more
// bytes than the parser keeps.
inline constexpr int kMALMalformedResponseStatus = -1;

// Reads the collection host's replies as they arrive, in chunks split anywhere: status line,
// headers (Content-Length, Connection), body. Everything it reads is untrusted: lines are
// bounded, at most kMaxBufferedBytes wait unread, and a bad length is an error. After an error
// it ignores everything until reset.
class MALHTTPResponseParser final : public ns::Object {
 public:
  static constexpr std::size_t kInitialBufferSize = 4096;
  static constexpr std::size_t kMaxBufferedBytes = 64 * 1024;

  std::shared_ptr<MALHTTPResponseParser> initWithDelegate(
      std::weak_ptr<MALHTTPResponseParserDelegate> delegate);

  void parseResponse(const std::uint8_t* bytes, std::size_t length);
  // Forgets unread bytes and any error; keeps whether the connection is persistent.
  void reset();

  bool persistentConnection() const { return persistentConnection_; }
  // The status of a status line: 500 without two spaces. "HTTP/1.0" clears persistentConnection.
  int parseStatusLine(std::string_view line);
  // False for a Content-Length that is not a number up to kMaxBufferedBytes.
  bool parseHeader(std::string_view line);

 private:
  enum class State { StatusLine, Headers, Body };
  void fail(int statusCode);
  void complete();

  std::weak_ptr<MALHTTPResponseParserDelegate> delegate_;
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0, end_ = 0;
  State state_ = State::StatusLine;
  std::size_t contentLength_ = 0;
  bool persistentConnection_ = true;
  bool failed_ = false;
};

using MALHTTPResponseParserPtr = std::shared_ptr<MALHTTPResponseParser>;
