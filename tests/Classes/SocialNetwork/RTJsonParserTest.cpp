// The parser on texts it accepts and refuses: codes, messages, traces, depth and exact decimals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Classes/SocialNetwork/JSON/RTJSON.h"
#include "Foundation/DecimalNumber.h"
#include "support/CaseName.h"

namespace {

std::vector<std::string> messages(const RTJsonBase& component) {
  std::vector<std::string> out;
  if (const auto& trace = component.errorTrace())
    for (const auto& error : *trace) out.push_back(error->localizedDescription());
  return out;
}

std::shared_ptr<RTJsonWriter> sortedWriter() {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  writer->setSortKeys(true);
  return writer;
}

std::string nested(const std::string& open, const std::string& close, int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += open;
  for (int i = 0; i < levels; ++i) text += close;
  return text;
}

struct Accepted {
  std::string name;
  std::string text;
  std::string written;  // compact, keys sorted
  bool fragment = false;
};

class RTJsonParserAcceptTest : public ::testing::TestWithParam<Accepted> {};

TEST_P(RTJsonParserAcceptTest, ParsesAndWritesBack) {
  const Accepted& c = GetParam();
  auto parser = std::make_shared<RTJsonParser>()->init();
  ns::Value value = c.fragment ? parser->fragmentWithString(c.text) : parser->objectWithString(c.text);
  ASSERT_FALSE(value.isNil()) << ::testing::PrintToString(messages(*parser));
  EXPECT_FALSE(parser->errorTrace());
  EXPECT_EQ(sortedWriter()->stringWithFragment(value), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RTJsonParserAcceptTest,
    ::testing::Values(Accepted{"empty_containers", " { } ", "{}"}, Accepted{"empty_array", "[]", "[]"},
                      Accepted{"missing_comma_between_elements", "[1 2]", "[1,2]"},
                      Accepted{"missing_comma_between_pairs", R"({"a":1 "b":2})", R"({"a":1,"b":2})"},
                      Accepted{"repeated_key_keeps_later", R"({"k":1,"k":2})", R"({"k":2})"},
                      Accepted{"literals", "[true,false,null]", "[true,false,null]"},
                      Accepted{"all_whitespace_kinds", "\t\n\v\f\r [ 1 ]\r\n", "[1]"},
                      Accepted{"escapes", R"(["\"\\\/\b\f\n\r\t"])", R"(["\"\\/\b\f\n\r\t"])"},
                      Accepted{"unicode_escape_either_case", R"(["\u00e9\u00C9"])", "[\"éÉ\"]"},
                      Accepted{"surrogate_pair", R"(["\ud83d\ude00"])", "[\"😀\"]"},
                      Accepted{"plain_utf8", "[\"Привет\"]", "[\"Привет\"]"},
                      Accepted{"escaped_nul", R"(["a\u0000b"])", R"(["a\u0000b"])"},
                      Accepted{"numbers", "[0,-0,12,-3.25,1e2,1E-2,2.50e+1]", "[0,0,12,-3.25,100,0.01,25]"},
                      Accepted{"fragment_true", "true", "true", true},
                      Accepted{"fragment_string", "\"x\"", "\"x\"", true},
                      Accepted{"literal_followed_by_letters_left_for_caller", "[truefalse]", "[true,false]"},
                      Accepted{"input_ends_at_nul", std::string("[1]\0garbage", 11), "[1]"}),
    testsupport::CaseName());

struct Refused {
  std::string name;
  std::optional<std::string> text;
  unsigned code;
  std::string message;  // the last (outermost) error
  bool fragment = false;
};

class RTJsonParserRefuseTest : public ::testing::TestWithParam<Refused> {};

TEST_P(RTJsonParserRefuseTest, GivesNilAndTheOutermostError) {
  const Refused& c = GetParam();
  auto parser = std::make_shared<RTJsonParser>()->init();
  std::optional<std::string_view> text;
  if (c.text) text = *c.text;
  ns::Value value = c.fragment ? parser->fragmentWithString(text) : parser->objectWithString(text);
  EXPECT_TRUE(value.isNil());
  ASSERT_TRUE(parser->errorTrace());
  const auto& last = parser->errorTrace()->back();
  EXPECT_EQ(last->domain(), RTJSONErrorDomain);
  EXPECT_EQ(last->code(), c.code);
  EXPECT_EQ(last->localizedDescription(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RTJsonParserRefuseTest,
    ::testing::Values(
        Refused{"nil", std::nullopt, 12, "Input was 'nil'"},
        Refused{"invalid_utf8", std::string("[\"\xff\"]"), 12, "Input was 'nil'"},
        Refused{"empty", "", 11, "Unexpected end of string"},
        Refused{"only_nul", std::string("\0[1]", 4), 11, "Unexpected end of string"},
        Refused{"scalar_as_object", "true", 4, "Valid fragment, but not JSON"},
        Refused{"garbage", "{} x", 10, "Garbage after JSON"},
        Refused{"trailing_comma_array", "[1,]", 9, "Trailing comma disallowed in array"},
        Refused{"trailing_comma_object", R"({"a":1, })", 9, "Trailing comma disallowed in object"},
        Refused{"end_after_comma", "[1,", 11, "End of input while parsing array"},
        Refused{"end_in_object", R"({"a":1)", 11, "End of input while parsing object"},
        Refused{"leading_zero", "01", 2, "Leading 0 disallowed in number", true},
        Refused{"lone_minus", "-", 2, "No digits after initial minus", true},
        Refused{"point_without_digits", "1.", 2, "No digits after decimal point", true},
        Refused{"exponent_without_digits", "1e", 2, "No digits after exponent", true},
        Refused{"leading_plus", "+1", 2, "Leading + disallowed in number", true},
        Refused{"huge_exponent", "1e999999999", 2, "Failed creating decimal instance", true},
        Refused{"tiny_exponent", "1e-999999999", 2, "Failed creating decimal instance", true},
        Refused{"bad_true", "[tru]", 3, "Expected value while parsing array"},
        Refused{"bad_false", "fals", 3, "Expected 'false'", true},
        Refused{"bad_null", "nul", 3, "Expected 'null'", true},
        Refused{"unknown_leading", "x", 3, "Unrecognised leading character", true},
        Refused{"key_not_string", "{1:2}", 3, "Object key string expected"},
        Refused{"missing_colon", R"({"a" 1})", 3, "Expected ':' separating key and value"},
        Refused{"missing_value", R"({"ключ":})", 3, "Object value expected for key: ключ"},
        Refused{"control_character", "[\"a\tb\"]", 3, "Expected value while parsing array"},
        Refused{"unterminated_string", "\"abc", 5, "Unescaped control character '0x0'", true},
        Refused{"illegal_escape", R"("\x")", 8, "Illegal escape sequence '0x78'", true},
        Refused{"backslash_at_end", "\"\\", 8, "Illegal escape sequence '0x0'", true},
        Refused{"end_right_after_escape", R"("a\n)", 11, "Unexpected EOF while parsing string", true},
        Refused{"lone_low_surrogate", R"("\udc00")", 6, "Broken unicode character", true}),
    testsupport::CaseName());

struct Chain {
  std::string name;
  std::string text;
  std::vector<std::string> trace;  // innermost first
};

class RTJsonParserTraceTest : public ::testing::TestWithParam<Chain> {};

TEST_P(RTJsonParserTraceTest, ListsEveryFailureInnermostFirstEachLinkedToThePrevious) {
  const Chain& c = GetParam();
  auto parser = std::make_shared<RTJsonParser>()->init();
  EXPECT_TRUE(parser->objectWithString(c.text).isNil());
  EXPECT_EQ(messages(*parser), c.trace);
  const auto& trace = *parser->errorTrace();
  EXPECT_EQ(trace.front()->userInfo()[ns::kUnderlyingErrorKey].asObject(), nullptr);
  for (std::size_t i = 1; i < trace.size(); ++i)
    EXPECT_EQ(trace[i]->userInfo()[ns::kUnderlyingErrorKey].asObject(), trace[i - 1]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RTJsonParserTraceTest,
    ::testing::Values(Chain{"bad_hex_digit",
                            R"(["\u12x4"])",
                            {"Missing hex digit in quad", "Missing hex quad", "Broken unicode character",
                             "Expected value while parsing array"}},
                      Chain{"high_surrogate_alone",
                            R"(["\ud800x"])",
                            {"Missing low character in surrogate pair", "Broken unicode character",
                             "Expected value while parsing array"}},
                      Chain{"bad_low_quad",
                            R"(["\ud800\u00g0"])",
                            {"Missing hex digit in quad", "Missing low character in surrogate pair",
                             "Broken unicode character", "Expected value while parsing array"}},
                      Chain{"low_out_of_range",
                            R"(["\ud800\u0041"])",
                            {"Invalid low surrogate char", "Broken unicode character",
                             "Expected value while parsing array"}},
                      Chain{"lone_low",
                            R"(["\udc00"])",
                            {"Invalid high character in surrogate pair", "Broken unicode character",
                             "Expected value while parsing array"}},
                      Chain{"nested_key",
                            R"({"a":[{"b":tru}]})",
                            {"Expected 'true'", "Object value expected for key: b",
                             "Expected value while parsing array", "Object value expected for key: a"}},
                      Chain{"unterminated_key",
                            R"({"a)",
                            {"Unescaped control character '0x0'", "Object key string expected"}}),
    testsupport::CaseName());

TEST(RTJsonParserTest, AnnouncesEachAddedErrorUnderErrorTrace) {
  auto parser = std::make_shared<RTJsonParser>()->init();
  std::vector<std::pair<std::size_t, bool>> heard;  // trace length seen, before or after
  parser->addObserverForKey("errorTrace", [&](ns::Object&, std::string_view, bool prior) {
    heard.emplace_back(parser->errorTrace() ? parser->errorTrace()->size() : 0, prior);
  });
  parser->objectWithString(std::string_view("[x]"));
  std::vector<std::pair<std::size_t, bool>> expected{{0, true}, {1, false}, {1, true}, {2, false}};
  EXPECT_EQ(heard, expected);
}

TEST(RTJsonParserTest, ClearsTheTraceAtEveryEntry) {
  auto parser = std::make_shared<RTJsonParser>()->init();
  EXPECT_TRUE(parser->objectWithString(std::string_view("[")).isNil());
  EXPECT_TRUE(parser->errorTrace());
  EXPECT_FALSE(parser->objectWithString(std::string_view("[1]")).isNil());
  EXPECT_FALSE(parser->errorTrace());
  parser->objectWithString(std::string_view("["));
  parser->clearErrorTrace();
  EXPECT_FALSE(parser->errorTrace());
}

TEST(RTJsonParserTest, DefaultLimitTakes512LevelsAndRefuses513) {
  auto parser = std::make_shared<RTJsonParser>()->init();
  EXPECT_EQ(parser->maxDepth(), 512u);
  EXPECT_FALSE(parser->objectWithString(nested("[", "]", 512)).isNil());
  std::string objects = nested("{\"k\":", "}", 511);
  objects.insert(511 * 5, "1");
  EXPECT_FALSE(parser->objectWithString("[" + objects + "]").isNil());
  EXPECT_TRUE(parser->objectWithString(nested("[", "]", 513)).isNil());
  EXPECT_EQ(parser->errorTrace()->front()->localizedDescription(), "Nested too deep");
  EXPECT_EQ(parser->errorTrace()->front()->code(), 7);
  // Depth starts again from 0: a failed deep call does not count against the next.
  EXPECT_FALSE(parser->objectWithString(nested("[", "]", 512)).isNil());
}

TEST(RTJsonParserTest, NoLimitStillStopsAtTheCeilingInsteadOfExhaustingTheStack) {
  auto parser = std::make_shared<RTJsonParser>()->init();
  parser->setMaxDepth(0);
  EXPECT_FALSE(parser->objectWithString(nested("[", "]", RTJsonBase::kDepthCeiling)).isNil());
  EXPECT_TRUE(parser->objectWithString(nested("[", "]", 100000)).isNil());
  EXPECT_EQ(parser->errorTrace()->front()->localizedDescription(), "Nested too deep");
  parser->setMaxDepth(3);
  EXPECT_FALSE(parser->objectWithString(std::string_view("[[[1]]]")).isNil());
  EXPECT_TRUE(parser->objectWithString(std::string_view("[[[[1]]]]")).isNil());
}

TEST(RTJsonParserTest, NumbersAreExactDecimals) {
  auto parser = std::make_shared<RTJsonParser>()->init();
  ns::Value v = parser->objectWithString(std::string_view(
      "[0.1, 123456789012345678901234567890, -2.5e-3, 1e308, 9007199254740993, 0e999999999]"));
  ASSERT_EQ(v.count(), 6u);
  auto decimal = [&](std::size_t i) { return v.at(i).asObject<ns::DecimalNumber>(); };
  ASSERT_TRUE(decimal(0));
  EXPECT_EQ(decimal(0)->stringValue(), "0.1");
  EXPECT_DOUBLE_EQ(v.at(0).doubleValue(), 0.1);
  EXPECT_EQ(decimal(1)->stringValue(), "123456789012345678901234567890");
  EXPECT_EQ(v.at(1).longLongValue(), INT64_MAX);
  EXPECT_EQ(decimal(2)->stringValue(), "-0.0025");
  EXPECT_EQ(v.at(2).intValue(), 0);
  EXPECT_EQ(v.at(3).doubleValue(), 1e308);
  // Beyond a double's 53 bits the integer is still exact.
  EXPECT_EQ(v.at(4).longLongValue(), 9007199254740993);
  EXPECT_TRUE(decimal(5)->isZero());
  EXPECT_EQ(ns::Value(ns::DecimalNumber::decimalNumberWithString("1.50")),
            ns::Value(ns::DecimalNumber::decimalNumberWithString("15e-1")));
}

}  // namespace
