#include <gtest/gtest.h>

#include "Foundation/Exception.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/String.h"
#include "Foundation/StringEncoding.h"

namespace {

// "ё" is two UTF-8 bytes and one UTF-16 unit; the emoji is four bytes and a surrogate pair.
const std::string kMixed = "a\u0451\U0001F600b";

TEST(StringTest, CountsUTF16Units) {
  struct Case {
    std::string text;
    std::size_t units;
  } cases[] = {
      {"", 0}, {"abc", 3}, {"\u0401\u043B\u043A\u0430", 4}, {kMixed, 5}, {"\xFF\xFE", 2}, {"\xE2\x82", 2},
  };
  for (const auto& c : cases) EXPECT_EQ(ns::utf16Length(c.text), c.units) << c.text;
  EXPECT_EQ(ns::fromUTF16(ns::toUTF16(kMixed)), kMixed);
  EXPECT_EQ(ns::characterAtIndex(kMixed, 2), 0xD83D);
  EXPECT_EQ(ns::characterAtIndex(kMixed, 3), 0xDE00);
  EXPECT_THROW(ns::characterAtIndex(kMixed, 5), ns::Exception);
}

TEST(StringTest, SubstringsNeverSplitACharacter) {
  struct Case {
    std::size_t to;
    std::string expected;
  } cases[] = {{0, ""}, {1, "a"}, {2, "a\u0451"}, {3, "a\u0451"}, {4, "a\u0451\U0001F600"}, {5, kMixed}};
  for (const auto& c : cases) {
    EXPECT_EQ(ns::substringToIndex(kMixed, c.to), c.expected) << c.to;
    EXPECT_EQ(ns::truncatedToUTF16Length(kMixed, c.to), c.expected) << c.to;
  }
  EXPECT_EQ(ns::substringFromIndex(kMixed, 3), "\U0001F600b");
  EXPECT_EQ(ns::substringWithRange(kMixed, {1, 3}), "\u0451\U0001F600");
  EXPECT_EQ(ns::truncatedToUTF16Length(kMixed, 100), kMixed);
  EXPECT_THROW(ns::substringToIndex(kMixed, 6), ns::Exception);
  EXPECT_THROW(ns::substringWithRange(kMixed, {4, 2}), ns::Exception);
  EXPECT_THROW(ns::substringWithRange(kMixed, {ns::NotFound, 1}), ns::Exception);
}

TEST(StringTest, FindsRangesInUTF16Units) {
  EXPECT_EQ(ns::rangeOfString(kMixed, "b"), (ns::Range{4, 1}));
  EXPECT_EQ(ns::rangeOfString(kMixed, "\U0001F600"), (ns::Range{2, 2}));
  EXPECT_EQ(ns::rangeOfString(kMixed, "z").location, ns::NotFound);
  EXPECT_EQ(ns::rangeOfString(kMixed, "").location, ns::NotFound);
}

TEST(StringTest, CasesUnicodeWithoutLocale) {
  struct Case {
    std::string in, upper, lower;
  } cases[] = {
      {"Ёлка 2x", "ЁЛКА 2X", "ёлка 2x"},
      {"straße", "STRASSE", "straße"},
      {"İi", "İI", "i̇i"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ns::uppercaseString(c.in), c.upper);
    EXPECT_EQ(ns::lowercaseString(c.in), c.lower);
  }
}

TEST(StringTest, TrimsUnicodeWhitespace) {
  struct Case {
    std::string in, whitespace, whitespaceAndNewlines;
  } cases[] = {
      {"  ab c\t", "ab c", "ab c"},
      {"\u00A0\u3000x\u2009", "x", "x"},
      {"\n x \n", "\n x \n", "x"},
      {"\u2028y\u0085", "\u2028y\u0085", "y"},
      {" \t ", "", ""},
      {"\xFF ", "\xFF", "\xFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ns::trimWhitespace(c.in), c.whitespace);
    EXPECT_EQ(ns::trimWhitespaceAndNewlines(c.in), c.whitespaceAndNewlines);
  }
}

TEST(StringTest, ScansHexLikeTheScanner) {
  struct Case {
    std::string text;
    std::optional<std::uint32_t> value;
    std::size_t consumed;
  } cases[] = {
      {"ff", 0xff, 2}, {"  0x1A2bz", 0x1a2b, 8}, {"0X10", 16, 4}, {"0x", 0, 1}, {"xyz", std::nullopt, 0},
      {"", std::nullopt, 0}, {"123456789", 0xffffffff, 9},
  };
  for (const auto& c : cases) {
    std::size_t consumed = 99;
    EXPECT_EQ(ns::scanHexInt(c.text, &consumed), c.value) << c.text;
    EXPECT_EQ(consumed, c.consumed) << c.text;
  }
  EXPECT_EQ(ns::scanHexLongLong("0xFFFFFFFFFF"), 0xFFFFFFFFFFull);
}

TEST(StringTest, SplitsJoinsAndReplaces) {
  EXPECT_EQ(ns::componentsSeparatedByString("a&&b&", "&"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(ns::componentsJoinedByString({"a", "b"}, ", "), "a, b");
  EXPECT_EQ(ns::stringByReplacingOccurrences("a-b-c", "-", "+-"), "a+-b+-c");
  EXPECT_EQ(ns::hexString("\x01\xAB"), "01ab");
}

TEST(StringEncodingTest, NamesFollowTheIANARegistry) {
  struct Case {
    std::string name;
    std::optional<ns::StringEncoding> encoding;
  } cases[] = {
      {"utf-8", ns::UTF8StringEncoding},          {"UTF-8", ns::UTF8StringEncoding},
      {"utf8", ns::UTF8StringEncoding},           {"windows-1251", ns::WindowsCP1251StringEncoding},
      {"CP1251", ns::WindowsCP1251StringEncoding}, {"latin1", ns::ISOLatin1StringEncoding},
      {"KOI8-R", ns::KOI8RStringEncoding},        {"no-such-charset", std::nullopt},
      {"", std::nullopt},                         {std::string("utf-8\0x", 7), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ns::stringEncodingFromIANACharsetName(c.name), c.encoding) << c.name;
  EXPECT_EQ(ns::ianaCharsetNameFromStringEncoding(ns::UTF8StringEncoding), "utf-8");
  EXPECT_EQ(ns::ianaCharsetNameFromStringEncoding(999), "");
}

TEST(StringEncodingTest, ConvertsAndStopsOnInvalidInput) {
  struct Case {
    std::string bytes;
    ns::StringEncoding encoding;
    std::optional<std::string> text;
  } cases[] = {
      {"\xD0\x81\xD0\xBB", ns::UTF8StringEncoding, "Ёл"},
      {"\xA8\xEB", ns::WindowsCP1251StringEncoding, "Ёл"},
      {"\xE5\xEC\xC5", ns::KOI8RStringEncoding, "ЕЛе"},
      {"caf\xE9", ns::ISOLatin1StringEncoding, "café"},
      {std::string("\xFF\xFE" "a\0", 4), ns::UTF16StringEncoding, "a"},
      {"\xFF\xFE" "a", ns::UTF16StringEncoding, std::nullopt},
      {"\xC3\x28", ns::UTF8StringEncoding, std::nullopt},
      {"\xED\xA0\x80", ns::UTF8StringEncoding, std::nullopt},
      {"\x80", ns::ASCIIStringEncoding, std::nullopt},
      {"\x82\xA0\x82", ns::ShiftJISStringEncoding, std::nullopt},
      {"abc", 12345, std::nullopt},
      {"", ns::KOI8RStringEncoding, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ns::stringFromBytes(c.bytes, c.encoding), c.text) << c.bytes;

  EXPECT_EQ(ns::bytesFromString("Ёл", ns::WindowsCP1251StringEncoding), std::string("\xA8\xEB"));
  EXPECT_EQ(ns::bytesFromString("Ё", ns::ISOLatin1StringEncoding), std::nullopt);
  EXPECT_EQ(ns::bytesFromString("é", ns::ASCIIStringEncoding), std::nullopt);
  EXPECT_EQ(ns::dataFromString("ab", ns::UTF8StringEncoding)->toString(), "ab");
}

TEST(PercentEscapesTest, EscapesLikeTheURLRoutine) {
  struct Case {
    std::string text, leave, toEscape, expected;
  } cases[] = {
      // Query-string members: "[]." kept, ":/?&=;+!@#$()~" forced.
      {"a b&c", "[].", ":/?&=;+!@#$()~", "a%20b%26c"},
      {"\u0401", "[].", ":/?&=;+!@#$()~", "%D0%81"},
      {"ids[].x:y", "[].", ":/?&=;+!@#$()~", "ids[].x%3Ay"},
      {",*'~!()%", "[].", ":/?&=;+!@#$()~", ",*'%7E%21%28%29%25"},
      // Search queries: only "@" forced, other reserved characters pass.
      {"a b@c&=+/?:#", "", "@", "a%20b%40c&=+/?:#"},
      {"<\">{}|\\^`", "", "", "%3C%22%3E%7B%7D%7C%5C%5E%60"},
  };
  for (const auto& c : cases) EXPECT_EQ(ns::addPercentEscapes(c.text, c.leave, c.toEscape), c.expected) << c.text;
  EXPECT_EQ(ns::addPercentEscapes("\u0401", "", "", ns::WindowsCP1251StringEncoding), "%A8");
  EXPECT_EQ(ns::addPercentEscapes("\u4E00", "", "", ns::WindowsCP1251StringEncoding), std::nullopt);
  EXPECT_EQ(ns::addPercentEncoding("a b~\u0451", ns::kURLUnreservedCharacters), "a%20b~%D1%91");
}

TEST(PercentEscapesTest, UnescapingReportsInvalidInput) {
  struct Case {
    std::string text;
    std::optional<std::string> expected;
  } cases[] = {
      {"a%20b%40c", "a b@c"}, {"%D0%81", "Ё"}, {"plain+text", "plain+text"}, {"", ""},
      {"%", std::nullopt},    {"%4", std::nullopt}, {"%zz", std::nullopt}, {"%FF", std::nullopt},
      {"%C3", std::nullopt},  {"%00", std::string(1, '\0')},
  };
  for (const auto& c : cases) EXPECT_EQ(ns::removePercentEncoding(c.text), c.expected) << c.text;
  EXPECT_EQ(ns::removePercentEncoding("%A8", ns::WindowsCP1251StringEncoding), "Ё");
}

}  // namespace
