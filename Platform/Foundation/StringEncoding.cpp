#include "Foundation/StringEncoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <vector>

#include "Foundation/String.h"

namespace ns {
namespace {

struct KnownEncoding {
  StringEncoding encoding;
  const char* ianaName;
};

constexpr std::array kEncodings{
    KnownEncoding{UTF8StringEncoding, "utf-8"},
    KnownEncoding{ASCIIStringEncoding, "us-ascii"},
    KnownEncoding{ISOLatin1StringEncoding, "iso-8859-1"},
    KnownEncoding{ISOLatin2StringEncoding, "iso-8859-2"},
    KnownEncoding{WindowsCP1251StringEncoding, "windows-1251"},
    KnownEncoding{WindowsCP1252StringEncoding, "windows-1252"},
    KnownEncoding{WindowsCP1253StringEncoding, "windows-1253"},
    KnownEncoding{WindowsCP1254StringEncoding, "windows-1254"},
    KnownEncoding{WindowsCP1250StringEncoding, "windows-1250"},
    KnownEncoding{KOI8RStringEncoding, "koi8-r"},
    KnownEncoding{ISOLatinCyrillicStringEncoding, "iso-8859-5"},
    KnownEncoding{DOSRussianStringEncoding, "cp866"},
    KnownEncoding{UTF16StringEncoding, "utf-16"},
    KnownEncoding{UTF16BigEndianStringEncoding, "utf-16be"},
    KnownEncoding{UTF16LittleEndianStringEncoding, "utf-16le"},
    KnownEncoding{UTF32StringEncoding, "utf-32"},
    KnownEncoding{UTF32BigEndianStringEncoding, "utf-32be"},
    KnownEncoding{UTF32LittleEndianStringEncoding, "utf-32le"},
    KnownEncoding{JapaneseEUCStringEncoding, "euc-jp"},
    KnownEncoding{ShiftJISStringEncoding, "shift_jis"},
    KnownEncoding{ISO2022JPStringEncoding, "iso-2022-jp"},
    KnownEncoding{MacOSRomanStringEncoding, "macintosh"},
};

struct ConverterDeleter {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterDeleter>;

// A converter that stops at the first invalid input instead of substituting.
Converter openStrictConverter(const std::string& name) {
  if (name.empty()) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status) || !converter) return nullptr;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

// ICU's own name for a character set, which folds aliases and letter case.
std::string canonicalName(const std::string& name) {
  Converter converter = openStrictConverter(name);
  if (!converter) return {};
  UErrorCode status = U_ZERO_ERROR;
  const char* canonical = ucnv_getName(converter.get(), &status);
  return U_SUCCESS(status) && canonical ? canonical : "";
}

const std::vector<std::string>& canonicalNames() {
  // Never destroyed: decoding may still run on worker threads at exit.
  static const auto& names = *new std::vector<std::string>([] {
    std::vector<std::string> result;
    for (const auto& known : kEncodings) result.push_back(canonicalName(known.ianaName));
    return result;
  }());
  return names;
}

}  // namespace

std::string ianaCharsetNameFromStringEncoding(StringEncoding encoding) {
  for (const auto& known : kEncodings)
    if (known.encoding == encoding) return known.ianaName;
  return {};
}

std::optional<StringEncoding> stringEncodingFromIANACharsetName(std::string_view name) {
  for (const auto& known : kEncodings)
    if (name.size() == std::string_view(known.ianaName).size() &&
        std::equal(name.begin(), name.end(), known.ianaName,
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
      return known.encoding;
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  std::string canonical = canonicalName(std::string(name));
  if (canonical.empty()) return std::nullopt;
  const auto& names = canonicalNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == canonical) return kEncodings[i].encoding;
  return std::nullopt;
}

std::optional<std::string> stringFromBytes(std::string_view bytes, StringEncoding encoding) {
  if (encoding == UTF8StringEncoding) {
    if (!isValidUTF8(bytes)) return std::nullopt;
    return std::string(bytes);
  }
  if (encoding == ASCIIStringEncoding) {
    for (unsigned char c : bytes)
      if (c >= 0x80) return std::nullopt;
    return std::string(bytes);
  }
  Converter converter = openStrictConverter(ianaCharsetNameFromStringEncoding(encoding));
  if (!converter) return std::nullopt;
  if (bytes.empty()) return std::string();
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX / 2)) return std::nullopt;
  // Every input byte yields at most two UTF-16 units.
  std::u16string units(bytes.size() * 2 + 2, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(converter.get(), units.data(), static_cast<int32_t>(units.size()), bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) return std::nullopt;
  units.resize(static_cast<std::size_t>(length));
  return fromUTF16(units);
}

std::optional<std::string> bytesFromString(std::string_view text, StringEncoding encoding) {
  if (encoding == UTF8StringEncoding) return std::string(text);
  if (encoding == ASCIIStringEncoding) {
    for (unsigned char c : text)
      if (c >= 0x80) return std::nullopt;
    return std::string(text);
  }
  Converter converter = openStrictConverter(ianaCharsetNameFromStringEncoding(encoding));
  if (!converter) return std::nullopt;
  if (text.empty()) return std::string();
  if (!isValidUTF8(text) || text.size() > static_cast<std::size_t>(INT32_MAX / 8)) return std::nullopt;
  std::u16string units = toUTF16(text);
  std::string out(units.size() * 4 + 8, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()), units.data(),
                                   static_cast<int32_t>(units.size()), &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace ns
