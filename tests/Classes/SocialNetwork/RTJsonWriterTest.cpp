// The writer's output and refusals, the facade and the string and object conveniences.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "Classes/SocialNetwork/JSON/Object+RTJSON.h"
#include "Classes/SocialNetwork/JSON/RTJSON.h"
#include "Classes/SocialNetwork/JSON/String+RTJSON.h"
#include "Foundation/DecimalNumber.h"
#include "support/CaseName.h"
#include "support/LogCapture.h"

namespace {

using ns::Array;
using ns::Dictionary;
using ns::Value;

// Stands for whatever value it is given.
class Proxy final : public ns::Object, public RTJsonProxy {
 public:
  Value stand;
  Value proxyForJson() const override { return stand; }
};

std::shared_ptr<Proxy> proxyFor(Value stand) {
  auto proxy = std::make_shared<Proxy>();
  proxy->stand = std::move(stand);
  return proxy;
}

std::string lastMessage(const RTJsonBase& component) {
  return component.errorTrace() ? component.errorTrace()->back()->localizedDescription() : "";
}

TEST(RTJsonWriterTest, SortedHumanReadableOutputIndentsTwoBlanksPerLevel) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  writer->setSortKeys(true);
  writer->setHumanReadable(true);
  Value value = Dictionary{{"b", 1}, {"a", Array{true, Value::null()}}};
  EXPECT_EQ(writer->stringWithObject(value), "{\n  \"a\" : [\n    true,\n    null\n  ],\n  \"b\" : 1\n}");
  EXPECT_EQ(writer->stringWithObject(Array{Array{}, Dictionary{}}), "[\n  [],\n  {}\n]");
  // With no limit of its own the writer still counts levels, so the indent stays right.
  writer->setMaxDepth(0);
  EXPECT_EQ(writer->stringWithObject(Array{Array{1}}), "[\n  [\n    1\n  ]\n]");
}

struct Written {
  std::string name;
  Value value;
  std::string json;
};

class RTJsonWriterFragmentTest : public ::testing::TestWithParam<Written> {};

TEST_P(RTJsonWriterFragmentTest, WritesTheValue) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  EXPECT_EQ(writer->stringWithFragment(GetParam().value), GetParam().json);
  EXPECT_FALSE(writer->errorTrace());
}

INSTANTIATE_TEST_SUITE_P(
    Values, RTJsonWriterFragmentTest,
    ::testing::Values(
        Written{"control_character_as_u_escape", "a\x01z", R"("a\u0001z")"},
        Written{"slash_kept", "a/b", R"("a/b")"},
        Written{"named_escapes", "\"\\\t\n\r\b\f", R"("\"\\\t\n\r\b\f")"},
        Written{"unicode_copied", "ёж 😀", "\"ёж 😀\""},
        Written{"booleans", Array{true, false}, "[true,false]"},
        Written{"integers", Array{-7, std::uint64_t(18446744073709551615u)}, "[-7,18446744073709551615]"},
        Written{"double", 0.5, "0.5"},
        Written{"decimal_exactly",
                Value(ns::DecimalNumber::decimalNumberWithString("-1234567890.0987654321")),
                "-1234567890.0987654321"},
        Written{"null", Value::null(), "null"},
        Written{"proxy_written_in_place", Array{proxyFor(Dictionary{{"p", 1}})}, R"([{"p":1}])"}),
    testsupport::CaseName());

struct Unsupported {
  std::string name;
  Value value;
  std::vector<std::string> trace;
};

class RTJsonWriterRefuseTest : public ::testing::TestWithParam<Unsupported> {};

TEST_P(RTJsonWriterRefuseTest, GivesNilAndTheTrace) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  EXPECT_EQ(writer->stringWithFragment(GetParam().value), std::nullopt);
  std::vector<std::string> trace;
  for (const auto& error : *writer->errorTrace()) {
    EXPECT_EQ(error->code(), RTJsonErrorUnsupported);
    trace.push_back(error->localizedDescription());
  }
  EXPECT_EQ(trace, GetParam().trace);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RTJsonWriterRefuseTest,
    ::testing::Values(
        Unsupported{"nan", std::nan(""), {"JSON serialisation not supported for Number"}},
        Unsupported{"infinity_in_object",
                    Dictionary{{"x", std::numeric_limits<double>::infinity()}},
                    {"JSON serialisation not supported for Number", "Unsupported value for key x in object"}},
        Unsupported{"data", Array{ns::Data::fromString("ab")}, {"JSON serialisation not supported for Data"}},
        Unsupported{"date", ns::Date(0), {"JSON serialisation not supported for Date"}},
        Unsupported{
            "plain_object", Value(ns::Error::make("d", 1)), {"JSON serialisation not supported for Error"}},
        Unsupported{"nil", Value(), {"JSON serialisation not supported for (null)"}},
        Unsupported{"key_not_text", Dictionary{{"\xff", 1}}, {"JSON object key must be string"}}),
    testsupport::CaseName());

TEST(RTJsonWriterTest, ObjectEntryTakesCollectionsAndProxiesOnly) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  EXPECT_EQ(writer->stringWithObject(proxyFor(Array{1})), "[1]");
  EXPECT_EQ(writer->stringWithObject(proxyFor(proxyFor(Dictionary{}))), "{}");
  for (const Value& refused : {Value("text"), Value(1), Value(proxyFor("text"))}) {
    EXPECT_EQ(writer->stringWithObject(refused), std::nullopt);
    ASSERT_EQ(writer->errorTrace()->size(), 1u);
    EXPECT_EQ(writer->errorTrace()->back()->code(), RTJsonErrorFragment);
    EXPECT_EQ(lastMessage(*writer), "Not valid type for JSON");
  }
}

TEST(RTJsonWriterTest, AProxyStandingForItselfEndsAtTheDepthLimit) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  auto loop = std::make_shared<Proxy>();
  loop->stand = Value(std::static_pointer_cast<ns::Object>(loop));
  EXPECT_EQ(writer->stringWithFragment(Array{loop}), std::nullopt);
  EXPECT_EQ(writer->errorTrace()->front()->localizedDescription(), "Nested too deep");
  EXPECT_EQ(writer->stringWithObject(Value(loop)), std::nullopt);
  loop->stand = Value();  // break the cycle
}

TEST(RTJsonWriterTest, DepthLimitAppliesToWriting) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  writer->setMaxDepth(2);
  EXPECT_EQ(writer->stringWithObject(Array{Array{}}), "[[]]");
  EXPECT_EQ(writer->stringWithObject(Array{Array{Array{}}}), std::nullopt);
  EXPECT_EQ(writer->errorTrace()->front()->code(), RTJsonErrorDepth);
}

TEST(RTJSONTest, FacadeCopiesTheComponentTraceAndGivesTheLastError) {
  auto json = std::make_shared<RTJSON>()->init();
  EXPECT_EQ(json->maxDepth(), 512u);
  ns::ErrorPtr error;
  EXPECT_TRUE(json->objectWithString(std::string_view("[1,]"), &error).isNil());
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), RTJsonErrorTrailingComma);
  ASSERT_TRUE(json->errorTrace());
  EXPECT_EQ(json->errorTrace()->back(), error);
  EXPECT_EQ(*json->errorTrace(), *json->jsonParser()->errorTrace());

  EXPECT_TRUE(json->objectWithString(std::string_view("1"), &error).isNil());
  EXPECT_EQ(error->code(), RTJsonErrorFragment);
  EXPECT_EQ(json->fragmentWithString(std::string_view("1"), &error).intValue(), 1);
  EXPECT_TRUE(json->fragmentWithString(std::string_view("1"), nullptr));

  EXPECT_EQ(json->stringWithObject(Value("s"), &error), std::nullopt);
  EXPECT_EQ(error->code(), RTJsonErrorFragment);
  EXPECT_EQ(json->stringWithFragment(Value("s"), &error), "\"s\"");
  EXPECT_EQ(json->stringWithFragment(Value(ns::Data()), &error), std::nullopt);
  EXPECT_EQ(error->code(), RTJsonErrorUnsupported);
  EXPECT_EQ(json->stringWithFragment(Value(ns::Data()), nullptr), std::nullopt);
}

TEST(RTJSONTest, FacadeSettingsReachItsComponents) {
  auto json = std::make_shared<RTJSON>()->init();
  json->setMaxDepth(1);
  EXPECT_EQ(json->jsonParser()->maxDepth(), 1u);
  EXPECT_EQ(json->jsonWriter()->maxDepth(), 1u);
  EXPECT_TRUE(json->objectWithString(std::string_view("[[]]")).isNil());
  EXPECT_EQ(json->stringWithObject(Array{Array{}}), std::nullopt);
  json->setSortKeys(true);
  json->setHumanReadable(true);
  EXPECT_TRUE(json->jsonWriter()->sortKeys());
  EXPECT_TRUE(json->jsonWriter()->humanReadable());
  EXPECT_EQ(json->stringWithObject(Dictionary{{"k", 1}}), "{\n  \"k\" : 1\n}");
}

TEST(RTJSONCategoriesTest, ConveniencesLogTheTraceOnFailure) {
  testsupport::LogCapture log;
  EXPECT_EQ(JSONValue(std::string_view(R"({"a":[1]})"))["a"].at(0).intValue(), 1);
  EXPECT_EQ(JSONFragmentValue(std::string_view("\"x\"")), Value("x"));
  EXPECT_EQ(JSONRepresentation(Array{1}), "[1]");
  EXPECT_EQ(JSONFragment(Value(2)), "2");
  EXPECT_TRUE(log.lines().empty());

  EXPECT_TRUE(JSONValue(std::string_view("true")).isNil());
  EXPECT_TRUE(JSONFragmentValue(std::nullopt).isNil());
  EXPECT_EQ(JSONRepresentation(Value("x")), std::nullopt);
  EXPECT_EQ(JSONFragment(ns::Date(0)), std::nullopt);
  auto lines = log.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find("-JSONValue failed. Error trace is: "), std::string::npos);
  EXPECT_NE(lines[0].find("Valid fragment, but not JSON"), std::string::npos);
  EXPECT_NE(lines[1].find("-JSONFragmentValue failed. Error trace is: "), std::string::npos);
  EXPECT_NE(lines[2].find("-JSONRepresentation failed. Error trace is: "), std::string::npos);
  EXPECT_NE(lines[3].find("-JSONFragment failed. Error trace is: "), std::string::npos);
}

}  // namespace
