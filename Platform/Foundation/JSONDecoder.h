#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Value.h"

namespace simdjson::internal {
class dom_parser_implementation;
}

namespace ns {

// Reads JSON text into values for JSONSerialization. A vectorised scan (the first stage of the
// simdjson library) validates the UTF-8 and finds every token; one pass over the tokens then checks
// the grammar and builds each value in its final place: strings straight from the text, objects
// into one allocation each, sorted by the order found for the previous object of the same depth.
class JSONDecoder final {
 public:
  // Up to kPadding bytes past the end of the text are read (allocated, whatever they hold).
  static constexpr std::size_t kPadding = 64;
  static constexpr std::size_t kMaxDepth = 1024;

  // nil with *problem set when the text is not JSON.
  static Value decode(const char* text, std::size_t length, std::string* problem);

 private:
  struct Level {
    // Keys and values of the object being read when it does not have the expected shape.
    std::vector<std::string_view> keys;
    std::vector<Value> values;
    // Elements of the array being read.
    std::vector<Value> items;
    // The keys of the last object read at this depth, in document order, and where each goes in
    // key order; empty when duplicate keys made the order unusable.
    std::vector<std::string_view> shapeKeys;
    std::vector<std::uint32_t> shapeSlots;
  };

  // What a thread keeps between documents, so that its scratch vectors keep their capacity.
  struct Workspace {
    std::deque<Level> levels;
    std::vector<Level*> levelAt;  // levels by depth, without the deque's index arithmetic
    // Unescaped strings wait here while they are being read; keys with escapes stay for the whole
    // document (the shape of each depth refers to them).
    std::string scratch;
    std::deque<std::string> escapedKeys;
    void reset();
  };

  JSONDecoder(const simdjson::internal::dom_parser_implementation& scanner, Workspace& work, const char* text,
              std::size_t length);
  bool fail(const char* what);
  bool parseValue(Value& out, std::size_t depth);
  bool parseArray(Value& out, std::size_t depth);
  // The number of elements of the array whose first element is the next token, when its closing
  // bracket comes within a few tokens; else 0.
  std::size_t countShortArray() const;
  bool parseObject(Value& out, std::size_t depth);
  bool readString(std::uint32_t at, std::string_view& out, bool isKey);
  bool parseNumber(std::uint32_t at, Value& out);
  bool parseAtom(std::uint32_t at, Value& out);
  bool finishObject(Level& level, Value& out);
  template <class T, class... A>
  static void put(Value& out, A&&... args);
  // Where the token just taken ends: before the next token, less white space.
  std::size_t tokenEnd() const {
    std::size_t end = next_ < count_ ? indexes_[next_] : length_;
    while (end > 0 && isSpace(text_[end - 1])) --end;
    return end;
  }
  static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  char peek() const { return next_ < count_ ? text_[indexes_[next_]] : '\0'; }
  Level& level(std::size_t depth);

  const simdjson::internal::dom_parser_implementation& scanner_;
  const char* text_;
  std::size_t length_;
  const std::uint32_t* indexes_;
  std::size_t count_;
  std::size_t next_ = 0;
  std::string problem_;
  Workspace& work_;
};

}  // namespace ns
