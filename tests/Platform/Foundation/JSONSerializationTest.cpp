#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "Foundation/JSONSerialization.h"

namespace {

using ns::JSONSerialization;
using ns::Value;

TEST(JSONSerializationTest, ReadsValuesKeepingNumberKinds) {
  struct Case {
    std::string text;
    Value expected;
    Value::Type type;
  } cases[] = {
      {"42", Value(42), Value::Type::integer},
      {"-9223372036854775808", Value(std::numeric_limits<std::int64_t>::min()), Value::Type::integer},
      {"18446744073709551615", Value(std::numeric_limits<std::uint64_t>::max()), Value::Type::integer},
      {"123456789012345678901234567890", Value(1.2345678901234568e29), Value::Type::real},
      {"1.5", Value(1.5), Value::Type::real},
      {"1e2", Value(100.0), Value::Type::real},
      {"-0.0", Value(-0.0), Value::Type::real},
      {"true", Value(true), Value::Type::boolean},
      {"false", Value(false), Value::Type::boolean},
      {"null", Value::null(), Value::Type::null},
      {"\"\\u0401\\u043b\\ud83d\\ude00\\/\"", Value("Ёл\U0001F600/"), Value::Type::string},
      {"\xEF\xBB\xBF {\"a\":[1,\"b\"]}", Value(ns::Dictionary{{"a", ns::Array{1, "b"}}}),
       Value::Type::dictionary},
      {"{\"k\":1,\"k\":2}", Value(ns::Dictionary{{"k", 2}}), Value::Type::dictionary},
      {"[]", Value(ns::Array{}), Value::Type::array},
  };
  for (const auto& c : cases) {
    ns::ErrorPtr error;
    Value value = JSONSerialization::JSONObjectWithString(c.text, &error);
    EXPECT_EQ(error, nullptr) << c.text;
    EXPECT_EQ(value.type(), c.type) << c.text;
    EXPECT_EQ(value, c.expected) << c.text;
  }
  EXPECT_TRUE(JSONSerialization::JSONObjectWithString("1e400").isNil());
}

TEST(JSONSerializationTest, RefusesMalformedInputWithError3840) {
  const std::string bad[] = {
      "",        "   ",          "{",
      "[1,]",    "{\"a\" 1}",    "tru",
      "01",      "\"\xC3\x28\"", "\"\xED\xA0\x80\"",
      "[1] [2]", "{'a':1}",      "\"a\nb\"",
      "NaN",     "\xEF\xBB\xBF", std::string(2000, '[') + std::string(2000, ']'),
  };
  for (const auto& text : bad) {
    ns::ErrorPtr error;
    Value value = JSONSerialization::JSONObjectWithString(text, &error);
    EXPECT_TRUE(value.isNil()) << text.substr(0, 20);
    ASSERT_NE(error, nullptr) << text.substr(0, 20);
    EXPECT_EQ(error->domain(), "NSCocoaErrorDomain");
    EXPECT_EQ(error->code(), 3840);
    EXPECT_TRUE(error->userInfo()[ns::kDebugDescriptionErrorKey].asString());
  }
  // Without an error pointer a failure is just nil.
  EXPECT_TRUE(JSONSerialization::JSONObjectWithData(ns::Data::fromString("{")).isNil());
}

TEST(JSONSerializationTest, ReadsDeepButBoundedNesting) {
  std::string deep = std::string(500, '[') + "1" + std::string(500, ']');
  Value value = JSONSerialization::JSONObjectWithString(deep);
  for (int i = 0; i < 500; ++i) value = value.at(0);
  EXPECT_EQ(value, Value(1));
}

// Objects of a list are built in the key order found for the one before; every way the next one
// can differ must still give its own keys and values.
TEST(JSONSerializationTest, ReadsListsOfObjectsWhoseKeysChange) {
  using ns::Array;
  using ns::Dictionary;
  Value value = JSONSerialization::JSONObjectWithString(
      R"([{"b":1,"a":2},{"b":3,"a":4},{"a":5,"b":6},{"b":7},{"b":8,"a":9,"c":10},{"b":11,"b":12},)"
      R"({"b":13,"a":14},{"\u0062":15,"a":16},{"b":17,"a":{"y":1,"x":[]}},{"b":18,"a":{"x":2,"y":3}},{}])");
  Value expected(Array{
      Dictionary{{"a", 2}, {"b", 1}},
      Dictionary{{"a", 4}, {"b", 3}},
      Dictionary{{"a", 5}, {"b", 6}},
      Dictionary{{"b", 7}},
      Dictionary{{"a", 9}, {"b", 8}, {"c", 10}},
      Dictionary{{"b", 12}},
      Dictionary{{"a", 14}, {"b", 13}},
      Dictionary{{"a", 16}, {"b", 15}},
      Dictionary{{"a", Dictionary{{"x", Array{}}, {"y", 1}}}, {"b", 17}},
      Dictionary{{"a", Dictionary{{"x", 2}, {"y", 3}}}, {"b", 18}},
      Dictionary{},
  });
  EXPECT_EQ(value, expected) << value.describe();
  for (const Value& item : *value.asArray()) {
    std::vector<std::string> keys = item.asDictionary()->keys();
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << item.describe();
  }
  // A failure inside an object being built in place lets go of what it had built.
  for (std::string text :
       {R"([{"a":"long enough to own memory","b":2},{"a":"long enough to own memory","b":)",
        R"([{"a":[1],"b":2},{"a":[1],"b":2 "c"}])", R"([{"a":1,"b":2},{"a":1,"b":2,"c":3)"}) {
    ns::ErrorPtr error;
    EXPECT_TRUE(JSONSerialization::JSONObjectWithString(text, &error).isNil()) << text;
    EXPECT_NE(error, nullptr) << text;
  }
}

// Short arrays are counted ahead and read in place, long ones gathered: both must give the same
// elements, at and around the length where one way gives over to the other, and refuse the same
// broken lists.
TEST(JSONSerializationTest, ReadsShortAndLongArraysAlike) {
  using ns::Array;
  using ns::Dictionary;
  for (int count : {1, 2, 31, 32, 33, 64, 100}) {
    std::string text = "[";
    Array expected;
    for (int i = 0; i < count; ++i) {
      if (i) text += ",";
      if (i % 3 == 0) {
        text += std::to_string(i);
        expected.push_back(i);
      } else if (i % 3 == 1) {
        text += "[\"s" + std::to_string(i) + "\",[]]";
        expected.push_back(Array{"s" + std::to_string(i), Array{}});
      } else {
        text += "{\"k\":[" + std::to_string(i) + ",{}]}";
        expected.push_back(Dictionary{{"k", Array{i, Dictionary{}}}});
      }
    }
    text += "]";
    ns::ErrorPtr error;
    EXPECT_EQ(JSONSerialization::JSONObjectWithString(text, &error), Value(expected)) << text;
    EXPECT_EQ(error, nullptr) << text;
    // The same list one level down, followed by more of its parent.
    Value nested = JSONSerialization::JSONObjectWithString("{\"a\":" + text + ",\"b\":[" + text + ",1]}");
    EXPECT_EQ(nested, Value(Dictionary{{"a", expected}, {"b", Array{expected, 1}}})) << text;
  }
  for (std::string text : {"[1 2]", "[[1 2],3]", "[1,2}", "[{]}", "[[1],]", "{\"a\":[1 2]}", "[[1,2]",
                           "[\"a\":1]", "[[1,[2,]],3]", "[[\"x\",\"long enough to own memory\" 1]]"}) {
    ns::ErrorPtr error;
    EXPECT_TRUE(JSONSerialization::JSONObjectWithString(text, &error).isNil()) << text;
    EXPECT_NE(error, nullptr) << text;
  }
}

TEST(JSONSerializationTest, ReadsDataInPlaceOrCopied) {
  std::string text = R"({"list":[1,2.5,"x\n"],"flag":true})";
  Value expected(ns::Dictionary{{"list", ns::Array{1, 2.5, "x\n"}}, {"flag", true}});
  ns::Data copied(text);  // filled by Data itself: room past the end
  EXPECT_GE(copied.tailRoom(), ns::Data::kTailRoom);
  std::string exact = text;
  exact.shrink_to_fit();
  ns::Data adopted(std::move(exact));  // the string's own buffer, however tight
  EXPECT_EQ(JSONSerialization::JSONObjectWithData(copied), expected);
  EXPECT_EQ(JSONSerialization::JSONObjectWithData(adopted), expected);
  EXPECT_EQ(JSONSerialization::JSONObjectWithData(copied.subdata(0, text.size() - 1)), Value());
}

TEST(JSONSerializationTest, WritesCompactJSON) {
  struct Case {
    Value value;
    std::string expected;
  } cases[] = {
      {Value(ns::Dictionary{{"message", "a/b"}, {"access_token", "t"}, {"n", 3}}),
       "{\"access_token\":\"t\",\"message\":\"a\\/b\",\"n\":3}"},
      {Value(ns::Array{true, Value::null(), 1.5, -7, "Ё\n\x01\"\\"}),
       "[true,null,1.5,-7,\"Ё\\n\\u0001\\\"\\\\\"]"},
      {Value(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
      {Value(2.0), "2"},
      {Value(ns::Dictionary{}), "{}"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JSONSerialization::stringWithJSONObject(c.value), c.expected);
    EXPECT_EQ(JSONSerialization::JSONObjectWithString(c.expected), c.value) << c.expected;
  }
}

TEST(JSONSerializationTest, RefusesValuesJSONCannotHold) {
  Value bad[] = {
      Value(ns::Array{ns::Data::fromString("x")}),
      Value(ns::Dictionary{{"d", ns::Date(0)}}),
      Value(),
      Value(std::nan("")),
      Value(ns::Array{std::numeric_limits<double>::infinity()}),
      Value(std::string("\xFF")),
      Value(ns::Array{Value()}),
  };
  for (const auto& value : bad) {
    ns::ErrorPtr error;
    EXPECT_FALSE(JSONSerialization::dataWithJSONObject(value, &error)) << value.describe();
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), 3840);
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(value));
  }
}

}  // namespace
