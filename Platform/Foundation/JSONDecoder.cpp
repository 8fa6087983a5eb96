#include "Foundation/JSONDecoder.h"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>

namespace ns {

namespace {

static_assert(JSONDecoder::kPadding >= simdjson::SIMDJSON_PADDING);

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Short keys and strings are checked a word at a time instead of through a library call. Both
// sides lie inside the padded text, so the 16 bytes from either start may be loaded whatever n is.
std::uint64_t load(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

std::uint64_t lowBytes(std::size_t n) {
  return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (n * 8)) - 1;
}

bool sameBytes(const char* a, const char* b, std::size_t n) {
  if (n > 16) return std::memcmp(a, b, n) == 0;
  std::uint64_t low = (load(a) ^ load(b)) & lowBytes(n);
  std::uint64_t high = n > 8 ? (load(a + 8) ^ load(b + 8)) & lowBytes(n - 8) : 0;
  return (low | high) == 0;
}

bool hasBackslash(const char* p, std::size_t n) {
  if (n > 16) return std::memchr(p, '\\', n) != nullptr;
  constexpr std::uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  auto zeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
  std::uint64_t low = zeroByte(load(p) ^ (kOnes * '\\')) & lowBytes(n);
  std::uint64_t high = n > 8 ? zeroByte(load(p + 8) ^ (kOnes * '\\')) & lowBytes(n - 8) : 0;
  return (low | high) != 0;
}

// One scanner per thread keeps its buffers between documents; very large documents get their own
// so a thread does not hold on to their memory.
constexpr std::size_t kRetainedCapacity = 16 * 1024 * 1024;

}  // namespace

// A value constructed over a nil one (which owns nothing, so needs no destruction first).
template <class T, class... A>
void JSONDecoder::put(Value& out, A&&... args) {
  ::new (static_cast<void*>(&out)) Value(std::in_place_type<T>, std::forward<A>(args)...);
}

JSONDecoder::JSONDecoder(const simdjson::internal::dom_parser_implementation& scanner, Workspace& work,
                         const char* text, std::size_t length)
    : scanner_(scanner),
      text_(text),
      length_(length),
      indexes_(scanner.structural_indexes.get()),
      count_(scanner.n_structural_indexes),
      work_(work) {}

void JSONDecoder::Workspace::reset() {
  // Shapes refer to the previous text; scratch that grew large is let go.
  constexpr std::size_t kKeptElements = 4096;
  for (Level& level : levels) {
    level.shapeKeys.clear();
    level.shapeSlots.clear();
    level.keys.clear();
    level.values.clear();
    level.items.clear();
    if (level.items.capacity() > kKeptElements) std::vector<Value>().swap(level.items);
    if (level.values.capacity() > kKeptElements) std::vector<Value>().swap(level.values);
  }
  escapedKeys.clear();
  if (scratch.size() > kKeptElements * 16) std::string().swap(scratch);
}

Value JSONDecoder::decode(const char* text, std::size_t length, std::string* problem) {
  thread_local simdjson::dom::parser shared;
  std::unique_ptr<simdjson::dom::parser> own;
  simdjson::dom::parser* parser = &shared;
  if (length > kRetainedCapacity) {
    own = std::make_unique<simdjson::dom::parser>();
    parser = own.get();
  }
  std::size_t capacity = parser->implementation ? parser->implementation->capacity() : 0;
  if (capacity < length) {
    capacity = parser == &shared ? std::min(std::max(length, capacity * 2), kRetainedCapacity) : length;
    if (auto error = parser->allocate(capacity, simdjson::DEFAULT_MAX_DEPTH)) {
      *problem = std::string("Invalid JSON: ") + simdjson::error_message(error);
      return Value();
    }
  }
  auto& scanner = *parser->implementation;
  if (auto error = scanner.stage1(reinterpret_cast<const std::uint8_t*>(text), length,
                                  simdjson::stage1_mode::regular)) {
    *problem = std::string("Invalid JSON: ") + simdjson::error_message(error);
    return Value();
  }
  thread_local Workspace work;
  work.reset();
  JSONDecoder decoder(scanner, work, text, length);
  Value root;
  bool ok = decoder.parseValue(root, 0) &&
            (decoder.next_ == decoder.count_ || decoder.fail("unexpected text after the value"));
  work.reset();
  if (!ok) {
    *problem = "Invalid JSON: " + decoder.problem_;
    return Value();
  }
  return root;
}

bool JSONDecoder::fail(const char* what) {
  problem_ = what;
  if (next_ > 0 && next_ <= count_) problem_ += " around byte " + std::to_string(indexes_[next_ - 1]);
  return false;
}

JSONDecoder::Level& JSONDecoder::level(std::size_t depth) {
  while (work_.levelAt.size() <= depth) work_.levelAt.push_back(&work_.levels.emplace_back());
  return *work_.levelAt[depth];
}

bool JSONDecoder::parseValue(Value& out, std::size_t depth) {
  if (next_ >= count_) return fail("unexpected end of text");
  std::uint32_t at = indexes_[next_++];
  switch (text_[at]) {
    case '{':
      return parseObject(out, depth + 1);
    case '[':
      return parseArray(out, depth + 1);
    case '"': {
      std::string_view text;
      if (!readString(at, text, false)) return false;
      put<std::string>(out, text);
      return true;
    }
    case 't':
    case 'f':
    case 'n':
      return parseAtom(at, out);
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
      return parseNumber(at, out);
    default:
      return fail("unexpected character");
  }
}

bool JSONDecoder::readString(std::uint32_t at, std::string_view& out, bool isKey) {
  // The scan puts the next token right after the closing quote (or after white space that follows
  // it), so the string ends where the next token begins.
  std::size_t end = tokenEnd();
  if (end < at + 2 || text_[end - 1] != '"') return fail("unterminated string");
  const char* begin = text_ + at + 1;
  std::size_t length = end - 1 - (at + 1);
  if (!hasBackslash(begin, length)) {
    out = std::string_view(begin, length);
    return true;
  }
  // Unescaped text is never longer than the escaped form; the unescaper writes in wide blocks.
  std::string& scratch = work_.scratch;
  if (scratch.size() < length + 2 * kPadding) scratch.resize(length + 2 * kPadding);
  auto* into = reinterpret_cast<std::uint8_t*>(scratch.data());
  std::uint8_t* stop = scanner_.parse_string(reinterpret_cast<const std::uint8_t*>(begin), into);
  if (!stop) return fail("invalid escape in a string");
  out = std::string_view(scratch.data(), static_cast<std::size_t>(stop - into));
  if (isKey) out = work_.escapedKeys.emplace_back(out);
  return true;
}

bool JSONDecoder::parseAtom(std::uint32_t at, Value& out) {
  std::string_view token(text_ + at, tokenEnd() - at);
  if (token == "true")
    put<bool>(out, true);
  else if (token == "false")
    put<bool>(out, false);
  else if (token == "null")
    put<Value::NullTag>(out);
  else
    return fail("unexpected word");
  return true;
}

bool JSONDecoder::parseNumber(std::uint32_t at, Value& out) {
  const char* start = text_ + at;
  const char* end = text_ + tokenEnd();
  const char* p = start;
  bool negative = *p == '-';
  if (negative) ++p;
  const char* digits = p;
  if (p < end && *p == '0') {
    ++p;
  } else if (p < end && isDigit(*p)) {
    while (p < end && isDigit(*p)) ++p;
  } else {
    return fail("invalid number");
  }
  auto digitCount = static_cast<std::size_t>(p - digits);
  bool integer = true;
  const char* fraction = nullptr;
  std::size_t fractionCount = 0;
  if (p < end && *p == '.') {
    fraction = ++p;
    while (p < end && isDigit(*p)) ++p;
    if (p == fraction) return fail("invalid number");
    fractionCount = static_cast<std::size_t>(p - fraction);
    integer = false;
  }
  bool exponent = false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    exponent = true;
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* power = p;
    while (p < end && isDigit(*p)) ++p;
    if (p == power) return fail("invalid number");
    integer = false;
  }
  if (p != end) return fail("invalid number");

  // Integers stay integers while 64 bits hold them (unsigned above INT64_MAX); wider ones are read
  // as doubles.
  if (integer && digitCount <= 20) {
    std::uint64_t value = 0;
    bool fits = true;
    for (const char* d = digits; d < digits + digitCount; ++d) {
      auto digit = static_cast<std::uint64_t>(*d - '0');
      if (value > (UINT64_MAX - digit) / 10) {
        fits = false;
        break;
      }
      value = value * 10 + digit;
    }
    if (fits && !negative) {
      if (value <= static_cast<std::uint64_t>(INT64_MAX))
        put<std::int64_t>(out, static_cast<std::int64_t>(value));
      else
        put<std::uint64_t>(out, value);
      return true;
    }
    if (fits && value <= static_cast<std::uint64_t>(INT64_MAX) + 1) {
      put<std::int64_t>(out, static_cast<std::int64_t>(0 - value));
      return true;
    }
  }
  // A plain decimal with at most 15 digits: its digits and the power of ten are exact doubles, so one
  // division rounds correctly.
  if (!integer && !exponent && digitCount + fractionCount <= 15) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::uint64_t mantissa = 0;
    for (const char* d = digits; d < digits + digitCount; ++d)
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(*d - '0');
    for (const char* d = fraction; d < fraction + fractionCount; ++d)
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(*d - '0');
    double value = static_cast<double>(mantissa) / kPowers[fractionCount];
    put<double>(out, negative ? -value : value);
    return true;
  }
  double value = 0;
  auto [stop, code] = std::from_chars(start, end, value);
  if (code == std::errc::result_out_of_range) {
    // Too small reads as zero; too large has no JSON value.
    value = std::strtod(std::string(start, end).c_str(), nullptr);
    if (std::isinf(value)) return fail("number out of range");
  } else if (code != std::errc() || stop != end) {
    return fail("invalid number");
  }
  put<double>(out, value);
  return true;
}

bool JSONDecoder::parseArray(Value& out, std::size_t depth) {
  if (depth > kMaxDepth) return fail("too deeply nested");
  if (peek() == ']') {
    ++next_;
    put<std::shared_ptr<const Array>>(out, std::make_shared<const Array>());
    return true;
  }
  // A short array (the usual lists of names, ids and people) is counted first and read straight
  // into place.
  if (std::size_t n = countShortArray()) {
    auto array = std::make_shared<Array>();
    array->reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      if (!parseValue(array->emplace_back(), depth)) return false;
      char c = peek();
      ++next_;
      if (c != (i + 1 < n ? ',' : ']')) return fail("expected ',' or ']'");
    }
    put<std::shared_ptr<const Array>>(out, std::move(array));
    return true;
  }
  // Elements gather at this depth (references into the deque stay valid as deeper levels are
  // added), then move into an array of exactly their number.
  Level& here = level(depth);
  here.items.clear();
  for (;;) {
    if (!parseValue(here.items.emplace_back(), depth)) return false;
    char c = peek();
    ++next_;
    if (c == ',') continue;
    if (c == ']') break;
    return fail("expected ',' or ']'");
  }
  auto array = std::make_shared<Array>();
  array->reserve(here.items.size());
  for (Value& item : here.items) array->push_back(std::move(item));
  here.items.clear();
  put<std::shared_ptr<const Array>>(out, std::move(array));
  return true;
}

std::size_t JSONDecoder::countShortArray() const {
  constexpr std::size_t kLookAhead = 64;
  std::size_t depth = 0, elements = 1;
  for (std::size_t i = next_, end = std::min(count_, next_ + kLookAhead); i < end; ++i) {
    switch (text_[indexes_[i]]) {
      case '[':
      case '{':
        ++depth;
        break;
      case '}':
        if (depth-- == 0) return 0;
        break;
      case ']':
        if (depth-- == 0) return elements;
        break;
      case ',':
        if (depth == 0) ++elements;
        break;
      default:
        break;
    }
  }
  return 0;
}

bool JSONDecoder::parseObject(Value& out, std::size_t depth) {
  if (depth > kMaxDepth) return fail("too deeply nested");
  if (peek() == '}') {
    ++next_;
    put<std::shared_ptr<const Dictionary>>(out, std::make_shared<const Dictionary>());
    return true;
  }
  Level& here = level(depth);
  here.keys.clear();
  here.values.clear();
  // While the keys come as in the previous object of this depth, each entry is built straight in
  // its sorted place; on the first difference the entries built so far move out to the general path.
  const std::size_t expected = here.shapeKeys.size();
  std::shared_ptr<Dictionary> dictionary = expected ? Dictionary::makeShared(expected) : nullptr;
  Dictionary::Entry* slots = dictionary ? dictionary->entries_ : nullptr;
  // Entries built in place are destroyed here if reading stops (a syntax error, an exception).
  struct Built {
    const std::vector<std::uint32_t>& slotOf;
    Dictionary::Entry* slots;
    std::size_t count = 0;
    void destroy() {
      for (std::size_t i = 0; i < count; ++i) std::destroy_at(slots + slotOf[i]);
      count = 0;
    }
    ~Built() { destroy(); }
  } built{here.shapeSlots, slots};
  bool inShape = expected > 0;
  auto leaveShape = [&] {
    for (std::size_t i = 0; i < built.count; ++i) {
      Dictionary::Entry& entry = slots[here.shapeSlots[i]];
      here.keys.push_back(here.shapeKeys[i]);
      here.values.push_back(std::move(entry.second));
    }
    built.destroy();
    inShape = false;
  };

  for (std::size_t n = 0;; ++n) {
    if (next_ >= count_) return fail("unexpected end of text");
    std::uint32_t at = indexes_[next_++];
    if (text_[at] != '"') return fail("expected a key");
    std::string_view key;
    // The expected key, when it came unescaped from this text, is matched on the raw bytes.
    if (inShape && n < expected) {
      std::string_view want = here.shapeKeys[n];
      std::size_t end = tokenEnd();
      if (want.data() > text_ && want.data() < text_ + length_ && end == at + 2 + want.size() &&
          text_[end - 1] == '"' && sameBytes(text_ + at + 1, want.data(), want.size()))
        key = want;
    }
    if (!key.data() && !readString(at, key, true)) return false;
    if (peek() != ':') return fail("expected ':'");
    ++next_;
    if (inShape && (n >= expected || (key.data() != here.shapeKeys[n].data() && key != here.shapeKeys[n])))
      leaveShape();
    Value* target;
    if (inShape) {
      auto* entry = ::new (static_cast<void*>(slots + here.shapeSlots[n]))
          Dictionary::Entry(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple());
      ++built.count;
      target = &entry->second;
    } else {
      here.keys.push_back(key);
      target = &here.values.emplace_back();
    }
    if (!parseValue(*target, depth)) return false;
    char c = peek();
    ++next_;
    if (c == ',') continue;
    if (c == '}') break;
    return fail("expected ',' or '}'");
  }
  if (inShape && built.count != expected) leaveShape();
  if (inShape) {
    dictionary->size_ = static_cast<std::uint32_t>(expected);
    built.count = 0;
    put<std::shared_ptr<const Dictionary>>(out, std::move(dictionary));
    return true;
  }
  return finishObject(here, out);
}

bool JSONDecoder::finishObject(Level& here, Value& out) {
  const std::size_t n = here.keys.size();
  std::vector<std::uint32_t> order(n);
  for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return here.keys[a] < here.keys[b]; });
  bool unique = true;
  for (std::size_t i = 1; i < n && unique; ++i) unique = here.keys[order[i]] != here.keys[order[i - 1]];
  if (!unique) {
    // Duplicate keys: the last one wins, and this order is not one to predict from.
    std::vector<Dictionary::Entry> entries;
    entries.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
      entries.emplace_back(std::string(here.keys[i]), std::move(here.values[i]));
    here.shapeKeys.clear();
    here.shapeSlots.clear();
    here.keys.clear();
    here.values.clear();
    put<std::shared_ptr<const Dictionary>>(
        out, std::make_shared<const Dictionary>(Dictionary::fromEntries(std::move(entries))));
    return true;
  }
  auto dictionary = Dictionary::makeShared(n);
  here.shapeKeys = here.keys;
  here.shapeSlots.resize(n);
  for (std::uint32_t slot = 0; slot < n; ++slot) {
    std::uint32_t i = order[slot];
    here.shapeSlots[i] = slot;
    Dictionary::Entry& entry = dictionary->appendUnchecked(here.keys[i]);
    entry.second = std::move(here.values[i]);
  }
  here.keys.clear();
  here.values.clear();
  put<std::shared_ptr<const Dictionary>>(out, std::move(dictionary));
  return true;
}

}  // namespace ns
