#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// The platform string's view of text: strings are stored as UTF-8, but lengths, indexes and ranges
// count UTF-16 code units, as the platform does ("ё" is 1, an emoji outside the BMP is 2).
// Bytes that are not valid UTF-8 count as one unit each (they read as U+FFFD).

inline constexpr std::size_t NotFound = static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max());

struct Range {
  std::size_t location = 0;
  std::size_t length = 0;
  std::size_t max() const { return location + length; }
  bool operator==(const Range&) const = default;
};

bool isValidUTF8(std::string_view text);
// Replaces every invalid UTF-8 sequence with U+FFFD.
std::string sanitizedUTF8(std::string_view text);

std::size_t utf16Length(std::string_view text);
std::u16string toUTF16(std::string_view text);
std::string fromUTF16(std::u16string_view text);
// The UTF-16 unit at an index; throws NSRangeException past the end.
char16_t characterAtIndex(std::string_view text, std::size_t index);

// Substrings by UTF-16 positions. A position inside a character (between the two halves of a
// surrogate pair) moves back to the start of that character, so no character is ever cut in half.
// Positions past the end throw NSRangeException, as the platform does.
std::string substringToIndex(std::string_view text, std::size_t index);
std::string substringFromIndex(std::string_view text, std::size_t index);
std::string substringWithRange(std::string_view text, Range range);
// At most maxLength UTF-16 units of whole characters; never throws.
std::string truncatedToUTF16Length(std::string_view text, std::size_t maxLength);
// The UTF-16 range of the first occurrence, or {NotFound, 0}; an empty needle is never found.
Range rangeOfString(std::string_view text, std::string_view needle);
// The UTF-16 range of the user-perceived character (grapheme cluster) the unit at an index belongs
// to: a flag, an emoji with its modifiers or a letter with its combining accents is one. An index
// at or past the end gives an empty range at the end.
Range rangeOfComposedCharacterSequenceAtIndex(std::string_view text, std::size_t index);

// Locale-independent Unicode case mapping ("ёлка" -> "ЁЛКА", "ß" -> "SS").
std::string uppercaseString(std::string_view text);
std::string lowercaseString(std::string_view text);

// Trimming with the platform's character sets: white space is the Unicode space separators and tab;
// white space and newlines adds line feed, carriage return, vertical tab, form feed, U+0085,
// U+2028 and U+2029.
std::string trimWhitespace(std::string_view text);
std::string trimWhitespaceAndNewlines(std::string_view text);

std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view separator);
std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator);
std::string stringByReplacingOccurrences(std::string_view text, std::string_view target, std::string_view replacement);

// The scanner's hexadecimal readings: leading white space, an optional "0x"/"0X", then hex digits.
// Nothing when there are no digits; a value too large saturates. `consumed` receives the bytes read.
std::optional<std::uint32_t> scanHexInt(std::string_view text, std::size_t* consumed = nullptr);
std::optional<std::uint64_t> scanHexLongLong(std::string_view text, std::size_t* consumed = nullptr);

// Lower-case hexadecimal of bytes ("0a1b...").
std::string hexString(std::string_view bytes);

}  // namespace ns
