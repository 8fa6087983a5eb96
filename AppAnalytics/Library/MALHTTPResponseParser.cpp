#include "AppAnalytics/Library/MALHTTPResponseParser.h"

#include <cctype>

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The integer value of text as the platform reads one: leading blanks, a sign, then digits.
int intValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  int value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && value < 100000000; ++i)
    value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

}  // namespace

std::shared_ptr<MALHTTPResponseParser> MALHTTPResponseParser::initWithDelegate(
    std::weak_ptr<MALHTTPResponseParserDelegate> delegate) {
  delegate_ = std::move(delegate);
  buffer_.reserve(kInitialBufferSize);
  return std::static_pointer_cast<MALHTTPResponseParser>(shared_from_this());
}

void MALHTTPResponseParser::reset() {
  buffer_.clear();
  start_ = end_ = 0;
  contentLength_ = 0;
  state_ = State::StatusLine;
  failed_ = false;
}

void MALHTTPResponseParser::fail(int statusCode) {
  failed_ = true;
  if (auto delegate = delegate_.lock()) delegate->parseError(*this, statusCode);
}

void MALHTTPResponseParser::complete() {
  state_ = State::StatusLine;
  contentLength_ = 0;
  if (auto delegate = delegate_.lock()) delegate->responseParsed(*this, persistentConnection_);
}

void MALHTTPResponseParser::parseResponse(const std::uint8_t* bytes, std::size_t length) {
  if (failed_ || !bytes || length == 0) return;
  // Bytes before start_ are done with.
  if (start_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    end_ -= start_;
    start_ = 0;
  }
  if (length > kMaxBufferedBytes - buffer_.size()) {
    fail(kMALMalformedResponseStatus);
    return;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + length);
  // A delegate that resets the parser (for a new request) empties the buffer, which ends the walk:
  // what was left belongs to no request.
  while (end_ < buffer_.size()) {
    const std::size_t i = end_++;
    if (state_ == State::Body) {
      if (i + 1 - start_ >= contentLength_) {
        start_ = i + 1;
        complete();
      }
    } else if (buffer_[i] == '\n' && i > start_ && buffer_[i - 1] == '\r') {
      std::string_view line(reinterpret_cast<const char*>(buffer_.data()) + start_, i - 1 - start_);
      start_ = i + 1;
      if (state_ == State::StatusLine) {
        // A blank line before a status line is tolerated.
        if (line.empty()) continue;
        int status = parseStatusLine(line);
        if (status != 200) {
          fail(status);
          return;
        }
        state_ = State::Headers;
      } else if (!line.empty()) {
        if (!parseHeader(line)) {
          fail(kMALMalformedResponseStatus);
          return;
        }
      } else if (contentLength_ > 0) {
        state_ = State::Body;
      } else {
        complete();
      }
    }
  }
}

int MALHTTPResponseParser::parseStatusLine(std::string_view line) {
  std::size_t first = line.find(' ');
  if (first == std::string_view::npos) return 500;
  std::size_t second = line.find(' ', first + 1);
  if (second == std::string_view::npos) return 500;
  if (line.substr(0, first) == "HTTP/1.0") persistentConnection_ = false;
  return intValue(line.substr(first + 1, std::min<std::size_t>(3, second - first - 1)));
}

bool MALHTTPResponseParser::parseHeader(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return true;
  std::string_view name = line.substr(0, colon);
  std::string_view value = trimmed(line.substr(colon + 1));
  if (equalsIgnoringCase(name, "Content-Length")) {
    if (value.empty() || value.size() > 9) return false;
    std::size_t length = 0;
    for (char c : value) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
      length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (length > kMaxBufferedBytes) return false;
    contentLength_ = length;
  } else if (equalsIgnoringCase(name, "Connection") && equalsIgnoringCase(value, "close")) {
    persistentConnection_ = false;
  }
  return true;
}
