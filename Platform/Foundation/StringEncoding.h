#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Data.h"

namespace ns {

// The platform's string-encoding codes (values as the platform numbers them). Encodings without a
// code of their own carry 0x80000000 plus their character-set code, as the platform converts them.
using StringEncoding = std::uint64_t;
inline constexpr StringEncoding ASCIIStringEncoding = 1;
inline constexpr StringEncoding JapaneseEUCStringEncoding = 3;
inline constexpr StringEncoding UTF8StringEncoding = 4;
inline constexpr StringEncoding ISOLatin1StringEncoding = 5;
inline constexpr StringEncoding ShiftJISStringEncoding = 8;
inline constexpr StringEncoding ISOLatin2StringEncoding = 9;
inline constexpr StringEncoding UnicodeStringEncoding = 10;
inline constexpr StringEncoding UTF16StringEncoding = UnicodeStringEncoding;
inline constexpr StringEncoding WindowsCP1251StringEncoding = 11;
inline constexpr StringEncoding WindowsCP1252StringEncoding = 12;
inline constexpr StringEncoding WindowsCP1253StringEncoding = 13;
inline constexpr StringEncoding WindowsCP1254StringEncoding = 14;
inline constexpr StringEncoding WindowsCP1250StringEncoding = 15;
inline constexpr StringEncoding ISO2022JPStringEncoding = 21;
inline constexpr StringEncoding MacOSRomanStringEncoding = 30;
inline constexpr StringEncoding UTF16BigEndianStringEncoding = 0x90000100;
inline constexpr StringEncoding UTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr StringEncoding UTF32StringEncoding = 0x8c000100;
inline constexpr StringEncoding UTF32BigEndianStringEncoding = 0x98000100;
inline constexpr StringEncoding UTF32LittleEndianStringEncoding = 0x9c000100;
inline constexpr StringEncoding KOI8RStringEncoding = 0x80000A02;
inline constexpr StringEncoding ISOLatinCyrillicStringEncoding = 0x80000205;
inline constexpr StringEncoding DOSRussianStringEncoding = 0x80000413;

// The IANA character-set name of an encoding in the platform's spelling ("utf-8", "windows-1251");
// empty for an unknown code.
std::string ianaCharsetNameFromStringEncoding(StringEncoding encoding);
// The encoding an IANA name (or one of its registered aliases, any letter case) stands for;
// nothing when the name is not recognised.
std::optional<StringEncoding> stringEncodingFromIANACharsetName(std::string_view name);

// Bytes in an encoding to UTF-8 text. Nothing when the bytes are not valid in that encoding
// (conversion stops at the first invalid or truncated sequence) or the encoding is unknown.
std::optional<std::string> stringFromBytes(std::string_view bytes, StringEncoding encoding);
inline std::optional<std::string> stringFromData(const Data& data, StringEncoding encoding) {
  return stringFromBytes(data.view(), encoding);
}
// UTF-8 text to bytes in an encoding. Nothing when a character has no form in that encoding.
std::optional<std::string> bytesFromString(std::string_view text, StringEncoding encoding);
inline std::optional<Data> dataFromString(std::string_view text, StringEncoding encoding) {
  auto bytes = bytesFromString(text, encoding);
  return bytes ? std::optional<Data>(Data(std::move(*bytes))) : std::nullopt;
}

}  // namespace ns
