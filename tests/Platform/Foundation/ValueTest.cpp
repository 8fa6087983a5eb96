#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Foundation/Foundation.h"

namespace {

TEST(ValueTest, TypedAccessorsReadWrongTypesAsEmpty) {
  ns::Value text("12abc");
  EXPECT_TRUE(text.isString());
  EXPECT_EQ(text.asArray(), nullptr);
  EXPECT_EQ(text.asDictionary(), nullptr);
  EXPECT_EQ(text.intValue(), 12);
  EXPECT_TRUE(text["key"].isNil());
  EXPECT_TRUE(text.at(0).isNil());

  ns::Value list(ns::Array{1, "two", 3.5});
  EXPECT_EQ(list.count(), 3u);
  EXPECT_EQ(*list.at(1).asString(), "two");
  EXPECT_TRUE(list.at(3).isNil());
  EXPECT_EQ(list.asString(), nullptr);
}

TEST(ValueTest, NilAndNullAreDistinct) {
  ns::Value nil;
  ns::Value null = ns::Value::null();
  EXPECT_TRUE(nil.isNil());
  EXPECT_FALSE(static_cast<bool>(nil));
  EXPECT_TRUE(null.isNull());
  EXPECT_TRUE(static_cast<bool>(null));
  EXPECT_FALSE(nil == null);
  EXPECT_EQ(null.intValue(), 0);
  EXPECT_EQ(null.describe(), "<null>");
}

TEST(ValueTest, NumbersKeepTheirKindAndCompareByValue) {
  EXPECT_TRUE(ns::Value(true).isBool());
  EXPECT_TRUE(ns::Value(7).isInteger());
  EXPECT_TRUE(ns::Value(7.0).isDouble());
  EXPECT_EQ(ns::Value(7), ns::Value(7.0));
  EXPECT_EQ(ns::Value(true), ns::Value(1));
  EXPECT_FALSE(ns::Value(7) == ns::Value("7"));

  std::uint64_t big = 18446744073709551615ull;
  ns::Value u(big);
  EXPECT_TRUE(u.isUnsigned());
  EXPECT_EQ(u.unsignedLongLongValue(), big);
  EXPECT_EQ(u.longLongValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_FALSE(ns::Value(std::uint64_t{5}).isUnsigned());
}

TEST(ValueTest, NumericReadingsSaturate) {
  struct Case {
    ns::Value value;
    int intValue;
    std::int64_t longValue;
  } cases[] = {
      {ns::Value(1e20), std::numeric_limits<int>::max(), std::numeric_limits<std::int64_t>::max()},
      {ns::Value(-1e20), std::numeric_limits<int>::min(), std::numeric_limits<std::int64_t>::min()},
      {ns::Value(std::nan("")), 0, 0},
      {ns::Value(std::numeric_limits<double>::infinity()), std::numeric_limits<int>::max(),
       std::numeric_limits<std::int64_t>::max()},
      {ns::Value(std::int64_t{1} << 40), std::numeric_limits<int>::max(), std::int64_t{1} << 40},
      {ns::Value(-2.9), -2, -2},
      {ns::Value("  -42xyz"), -42, -42},
      {ns::Value("99999999999999999999999"), std::numeric_limits<int>::max(), std::numeric_limits<std::int64_t>::max()},
      {ns::Value("-9223372036854775808"), std::numeric_limits<int>::min(), std::numeric_limits<std::int64_t>::min()},
      {ns::Value("abc"), 0, 0},
      {ns::Value(ns::Array{}), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.describe());
    EXPECT_EQ(c.value.intValue(), c.intValue);
    EXPECT_EQ(c.value.longLongValue(), c.longValue);
  }
}

TEST(ValueTest, StringDoubleAndBoolReadings) {
  struct Case {
    const char* text;
    double number;
    bool flag;
  } cases[] = {
      {"1.5e3x", 1500, true}, {"  +.5", 0.5, false}, {"-0", 0, false}, {"1e999", INFINITY, true},
      {"1e-999", 0, true},    {"YES", 0, true},      {"no", 0, false}, {"007", 7, true},
      {"", 0, false},         {"1.", 1, true},       {"e5", 0, false}, {"0.000e999", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ns::stringDoubleValue(c.text), c.number);
    EXPECT_EQ(ns::stringBoolValue(c.text), c.flag);
  }
}

TEST(ValueTest, DictionaryKeepsLastDuplicateAndDropsNil) {
  auto d = ns::Dictionary::fromEntries({{"b", 1}, {"a", 2}, {"b", 3}, {"c", ns::Value()}});
  EXPECT_EQ(d.size(), 2u);
  EXPECT_EQ(d["b"].intValue(), 3);
  EXPECT_EQ(d.keys(), (std::vector<std::string>{"a", "b"}));
  d.set("a", ns::Value());
  EXPECT_FALSE(d.contains("a"));
}

TEST(ValueTest, CopiesShareStorageUntilWritten) {
  ns::Value original(ns::Dictionary{{"items", ns::Array{1, 2}}});
  ns::Value copy = original;
  EXPECT_EQ(original.asDictionary(), copy.asDictionary());
  copy.mutableDictionary()->set("extra", true);
  EXPECT_NE(original.asDictionary(), copy.asDictionary());
  EXPECT_FALSE(original["extra"]);
  EXPECT_TRUE(copy["extra"].boolValue());
}

// A decoded dictionary keeps its entries inside its shared block; copies, moves out of it and growth
// must all leave both sides whole.
TEST(ValueTest, DecodedDictionariesCopyMoveAndGrow) {
  ns::Value decoded = ns::JSONSerialization::JSONObjectWithString(
      R"({"name":"a name long enough to be allocated","list":[1,2],"n":3})");
  ASSERT_TRUE(decoded.isDictionary());
  ns::Dictionary copy = *decoded.asDictionary();
  copy.set("added", "x");
  copy.remove("n");
  EXPECT_EQ(copy.keys(), (std::vector<std::string>{"added", "list", "name"}));
  EXPECT_EQ(decoded.asDictionary()->keys(), (std::vector<std::string>{"list", "n", "name"}));

  ns::Value writable = decoded;
  ns::Dictionary* inPlace = writable.mutableDictionary();
  ASSERT_NE(inPlace, nullptr);
  EXPECT_NE(inPlace, decoded.asDictionary());
  ns::Value unique =
      ns::JSONSerialization::JSONObjectWithString(R"({"k":"a value long enough to be allocated"})");
  ns::Dictionary* own = unique.mutableDictionary();
  for (int i = 0; i < 20; ++i) own->set("key" + std::to_string(i), i);  // outgrows its block
  EXPECT_EQ(own->size(), 21u);
  EXPECT_EQ((*own)["k"], ns::Value("a value long enough to be allocated"));
  ns::Dictionary moved = std::move(*own);
  EXPECT_EQ(moved.size(), 21u);
  ns::Value fresh =
      ns::JSONSerialization::JSONObjectWithString(R"({"z":"another value long enough here","a":1})");
  ns::Dictionary taken = std::move(*fresh.mutableDictionary());
  fresh = ns::Value();  // the block the entries came from goes
  EXPECT_EQ(taken["z"], ns::Value("another value long enough here"));
  taken = *decoded.asDictionary();
  EXPECT_EQ(ns::Value(taken), decoded);
}

TEST(ValueTest, DescriptionUsesPropertyListStyle) {
  ns::Value v(ns::Dictionary{{"name", "Кино"}, {"list", ns::Array{1, "a b"}}, {"ok", true}});
  EXPECT_EQ(v.describe(),
            "{\n    list = (\n        1,\n        \"a b\"\n    );\n    name = Кино;\n    ok = 1;\n}");
  EXPECT_EQ(ns::Value(ns::Data::fromString("abcde")).describe(), "<61626364 65>");
  EXPECT_EQ(ns::Value(ns::Date(0)).describe(), "1970-01-01 00:00:00 +0000");
}

TEST(FormatTest, PrintfConversionsAndObjects) {
  auto error = ns::Error::make("Domain", 7);
  struct Case {
    std::string got;
    std::string expected;
  } cases[] = {
      {ns::format("%d|%5d|%-3d|%03d", 1, 2, 3, 4), "1|    2|3  |004"},
      {ns::format("%lu %lld %zu", 5ul, -6ll, std::size_t{7}), "5 -6 7"},
      {ns::format("%.2f %g %e", 3.14159, 0.5, 1000.0), "3.14 0.5 1.000000e+03"},
      {ns::format("%@ and %@", std::string("text"), ns::Value(42)), "text and 42"},
      {ns::format("%s=%@", "key", ns::Value()), "key=(null)"},
      {ns::format("%x %X %o %c %%", 255, 255, 8, 'A'), "ff FF 10 A %"},
      {ns::format("%*d|%.*s", 4, 9, 2, "abcdef"), "   9|ab"},
      {ns::format("%@", error), "Error Domain=Domain Code=7 \"The operation couldn\u2019t be completed. (Domain error 7.)\""},
      {ns::format("missing %d %@"), "missing 0 0"},
      {ns::format("trailing %"), "trailing %"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(FormatTest, DecimalPointIgnoresProcessLocale) {
  const char* previous = setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (!setlocale(LC_NUMERIC, "ru_RU.UTF-8") && !setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no comma locale";
  EXPECT_EQ(ns::format("%.1f", 2.5), "2.5");
  setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ExceptionTest, ParameterAssertNamesTheCondition) {
  try {
    int count = 0;
    NS_PARAMETER_ASSERT(count > 0);
    FAIL();
  } catch (const ns::Exception& e) {
    EXPECT_EQ(e.name(), ns::kInternalInconsistencyException);
    EXPECT_EQ(e.reason(), "Invalid parameter not satisfying: count > 0");
  }
}

TEST(ValueTest, AssigningAnOwnElementKeepsIt) {
  ns::Value value(ns::Array{ns::Array{1}, 2});
  value = value.at(0);
  EXPECT_EQ(value, ns::Value(ns::Array{1}));
  value = value.at(0);
  EXPECT_EQ(value, ns::Value(1));
  ns::Value dictionary(ns::Dictionary{{"k", "text"}});
  dictionary = dictionary["k"];
  EXPECT_EQ(dictionary, ns::Value("text"));
}

}  // namespace
