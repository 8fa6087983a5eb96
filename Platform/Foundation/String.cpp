#include "Foundation/String.h"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>

#include "Foundation/Exception.h"
#include "Foundation/Format.h"

namespace ns {
namespace {

struct Decoded {
  char32_t code;
  std::size_t length;  // bytes consumed (1 for an invalid byte)
  bool valid;
};

// One code point at `i`; an invalid or truncated sequence consumes a single byte.
Decoded decodeAt(std::string_view s, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) return {b0, 1, true};
  std::size_t need;
  char32_t code, min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1, code = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2, code = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3, code = b0 & 0x07, min = 0x10000;
  } else {
    return {0xFFFD, 1, false};
  }
  if (i + need >= s.size()) return {0xFFFD, 1, false};
  for (std::size_t k = 1; k <= need; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return {0xFFFD, 1, false};
    code = (code << 6) | (b & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0xFFFD, 1, false};
  return {code, need + 1, true};
}

std::size_t unitsOf(char32_t code) { return code >= 0x10000 ? 2 : 1; }

void appendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Byte offset of a UTF-16 position, moved back to the start of the character it falls in.
// Returns npos when the position lies past the end.
std::size_t byteOffsetOf(std::string_view s, std::size_t unitIndex) {
  std::size_t units = 0, i = 0;
  while (i < s.size()) {
    Decoded d = decodeAt(s, i);
    std::size_t next = units + unitsOf(d.code);
    if (next > unitIndex) return i;
    units = next;
    i += d.length;
  }
  return units == unitIndex ? s.size() : std::string_view::npos;
}

[[noreturn]] void raiseRange(std::size_t index, std::size_t length) {
  throw Exception(kRangeException, format("Range or index out of bounds: %zu (length %zu)", index, length));
}

using CasingFunction = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

std::string mapCase(std::string_view text, CasingFunction function) {
  std::u16string source = toUTF16(text);
  std::u16string result(source.size() + 8, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = function(result.data(), static_cast<int32_t>(result.size()), source.data(),
                              static_cast<int32_t>(source.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      result.assign(static_cast<std::size_t>(length), u'\0');
      continue;
    }
    if (U_FAILURE(status)) return std::string(text);
    result.resize(static_cast<std::size_t>(length));
    return fromUTF16(result);
  }
  return std::string(text);
}

bool isWhitespace(char32_t c) { return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR; }

bool isWhitespaceOrNewline(char32_t c) {
  return isWhitespace(c) || (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

template <class Predicate>
std::string trim(std::string_view s, Predicate trimmed) {
  std::size_t begin = 0;
  while (begin < s.size()) {
    Decoded d = decodeAt(s, begin);
    if (!d.valid || !trimmed(d.code)) break;
    begin += d.length;
  }
  // Find the end of the last character that is kept.
  std::size_t end = begin, i = begin;
  while (i < s.size()) {
    Decoded d = decodeAt(s, i);
    i += d.length;
    if (!d.valid || !trimmed(d.code)) end = i;
  }
  return std::string(s.substr(begin, end - begin));
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <class T>
std::optional<T> scanHex(std::string_view s, std::size_t* consumed) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && hexDigit(s[i + 2]) >= 0) i += 2;
  std::size_t start = i;
  T value = 0;
  bool overflow = false;
  for (; i < s.size() && hexDigit(s[i]) >= 0; ++i) {
    if (value > (std::numeric_limits<T>::max() >> 4)) overflow = true;
    value = static_cast<T>((value << 4) | static_cast<T>(hexDigit(s[i])));
  }
  if (i == start) {
    if (consumed) *consumed = 0;
    return std::nullopt;
  }
  if (consumed) *consumed = i;
  return overflow ? std::numeric_limits<T>::max() : value;
}

}  // namespace

bool isValidUTF8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    Decoded d = decodeAt(text, i);
    if (!d.valid) return false;
    i += d.length;
  }
  return true;
}

std::string sanitizedUTF8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    Decoded d = decodeAt(text, i);
    if (d.valid)
      out.append(text.substr(i, d.length));
    else
      appendUTF8(out, 0xFFFD);
    i += d.length;
  }
  return out;
}

std::size_t utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    Decoded d = decodeAt(text, i);
    units += unitsOf(d.code);
    i += d.length;
  }
  return units;
}

std::u16string toUTF16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    Decoded d = decodeAt(text, i);
    if (d.code >= 0x10000) {
      char32_t v = d.code - 0x10000;
      out += static_cast<char16_t>(0xD800 + (v >> 10));
      out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      out += static_cast<char16_t>(d.code);
    }
    i += d.length;
  }
  return out;
}

std::string fromUTF16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    appendUTF8(out, c);
  }
  return out;
}

char16_t characterAtIndex(std::string_view text, std::size_t index) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    Decoded d = decodeAt(text, i);
    if (d.code >= 0x10000) {
      char32_t v = d.code - 0x10000;
      if (units == index) return static_cast<char16_t>(0xD800 + (v >> 10));
      if (units + 1 == index) return static_cast<char16_t>(0xDC00 + (v & 0x3FF));
      units += 2;
    } else {
      if (units == index) return static_cast<char16_t>(d.code);
      ++units;
    }
    i += d.length;
  }
  raiseRange(index, units);
}

std::string substringToIndex(std::string_view text, std::size_t index) {
  std::size_t end = byteOffsetOf(text, index);
  if (end == std::string_view::npos) raiseRange(index, utf16Length(text));
  return std::string(text.substr(0, end));
}

std::string substringFromIndex(std::string_view text, std::size_t index) {
  std::size_t begin = byteOffsetOf(text, index);
  if (begin == std::string_view::npos) raiseRange(index, utf16Length(text));
  return std::string(text.substr(begin));
}

std::string substringWithRange(std::string_view text, Range range) {
  if (range.location > NotFound || range.length > NotFound - range.location) raiseRange(range.location, utf16Length(text));
  std::size_t begin = byteOffsetOf(text, range.location);
  std::size_t end = byteOffsetOf(text, range.max());
  if (begin == std::string_view::npos || end == std::string_view::npos) raiseRange(range.max(), utf16Length(text));
  return std::string(text.substr(begin, end - begin));
}

std::string truncatedToUTF16Length(std::string_view text, std::size_t maxLength) {
  std::size_t end = byteOffsetOf(text, maxLength);
  return std::string(end == std::string_view::npos ? text : text.substr(0, end));
}

Range rangeOfString(std::string_view text, std::string_view needle) {
  if (needle.empty()) return {NotFound, 0};
  std::size_t at = text.find(needle);
  // A match must start on a character boundary of a valid sequence.
  while (at != std::string_view::npos) {
    if (byteOffsetOf(text, utf16Length(text.substr(0, at))) == at) break;
    at = text.find(needle, at + 1);
  }
  if (at == std::string_view::npos) return {NotFound, 0};
  return {utf16Length(text.substr(0, at)), utf16Length(needle)};
}

Range rangeOfComposedCharacterSequenceAtIndex(std::string_view text, std::size_t index) {
  const std::u16string units = toUTF16(text);
  if (index >= units.size()) return {units.size(), 0};
  UErrorCode status = U_ZERO_ERROR;
  UBreakIterator* breaks = ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar*>(units.data()),
                                     static_cast<std::int32_t>(units.size()), &status);
  if (U_FAILURE(status)) {
    // Without break rules, a whole code point.
    const bool pair = units[index] >= 0xD800 && units[index] <= 0xDBFF && index + 1 < units.size();
    return {index, pair ? 2u : 1u};
  }
  // The boundary after the index, and the one before that: the start of the character the index
  // falls in (asked from inside a surrogate pair, the iterator would step one character too far).
  std::int32_t end = ubrk_following(breaks, static_cast<std::int32_t>(index));
  if (end == UBRK_DONE) end = static_cast<std::int32_t>(units.size());
  std::int32_t start = ubrk_preceding(breaks, end);
  ubrk_close(breaks);
  if (start == UBRK_DONE) start = 0;
  return {static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)};
}

std::string uppercaseString(std::string_view text) { return mapCase(text, &u_strToUpper); }
std::string lowercaseString(std::string_view text) { return mapCase(text, &u_strToLower); }

std::string trimWhitespace(std::string_view text) { return trim(text, isWhitespace); }
std::string trimWhitespaceAndNewlines(std::string_view text) { return trim(text, isWhitespaceOrNewline); }

std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + separator.size())
    parts.emplace_back(text.substr(start, at - start));
  parts.emplace_back(text.substr(start));
  return parts;
}

std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

std::string stringByReplacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement) {
  if (target.empty()) return std::string(text);
  std::string out;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(target, start)) != std::string_view::npos; start = at + target.size()) {
    out.append(text.substr(start, at - start));
    out.append(replacement);
  }
  out.append(text.substr(start));
  return out;
}

std::optional<std::uint32_t> scanHexInt(std::string_view text, std::size_t* consumed) {
  return scanHex<std::uint32_t>(text, consumed);
}

std::optional<std::uint64_t> scanHexLongLong(std::string_view text, std::size_t* consumed) {
  return scanHex<std::uint64_t>(text, consumed);
}

std::string hexString(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace ns
