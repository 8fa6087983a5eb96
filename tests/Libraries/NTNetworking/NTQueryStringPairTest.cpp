#include <gtest/gtest.h>

#include <string>

#include "Foundation/Value.h"
#include "NTNetworking/NTQueryStringPair.h"

namespace {

using ns::Array;
using ns::Dictionary;
using ns::Value;

TEST(NTQueryStringPairTest, EncodesParameterDictionaries) {
  struct Case {
    const char* name;
    Dictionary parameters;
    std::string query;
    ns::StringEncoding encoding = ns::UTF8StringEncoding;
  } cases[] = {
      {"nested dictionaries and arrays",
       {{"b", 1}, {"a", Dictionary{{"y", 2}, {"X", 3}}}, {"c", Array{4, 5}}},
       "a[X]=3&a[y]=2&b=1&c[]=4&c[]=5"},
      {"keys sorted ignoring case", {{"b", 1}, {"A", 2}, {"c", 3}}, "A=2&b=1&c=3"},
      {"dictionary inside an array", {{"list", Array{Dictionary{{"x", 1}}}}}, "list[][x]=1"},
      {"array inside an array", {{"m", Array{Array{1, 2}}}}, "m[][]=1&m[][]=2"},
      {"empty containers give no pair", {{"e", Array{}}, {"d", Dictionary{}}, {"k", "v"}}, "k=v"},
      {"empty dictionary", {}, ""},
      {"space and ampersand", {{"value", "a b&c"}}, "value=a%20b%26c"},
      {"non-ASCII byte by byte", {{"name", "\xD0\x81"}}, "name=%D0%81"},
      {"brackets and points kept, colon escaped", {{"ids[]", "a.b:c"}}, "ids[]=a.b%3Ac"},
      {"marks kept and forced ones escaped", {{"s", ",*'-_~!()"}}, "s=,*'-_%7E%21%28%29"},
      {"reserved characters", {{"r", ":/?&=;+@#$%"}}, "r=%3A%2F%3F%26%3D%3B%2B%40%23%24%25"},
      {"null marker gives the field alone", {{"f", Value::null()}, {"g", ""}}, "f&g="},
      {"nested null marker", {{"a", Dictionary{{"b", Value::null()}}}}, "a[b]"},
      {"numbers and flags by their text", {{"t", true}, {"n", -7}, {"d", 0.5}}, "d=0.5&n=-7&t=1"},
      {"data by its description", {{"bytes", ns::Data::fromString("\x01\x02")}}, "bytes=%3C0102%3E"},
      {"feed post order",
       {{"message", "hi"}, {"access_token", "T"}, {"link", "http://x/y"}},
       "access_token=T&link=http%3A%2F%2Fx%2Fy&message=hi"},
      {"Latin-1 bytes", {{"e", "\xC3\xA9"}}, "e=%E9", ns::ISOLatin1StringEncoding},
      {"pair without a form in the encoding is left out",
       {{"a", "\xD0\x81"}, {"b", "ok"}},
       "b=ok",
       ns::ISOLatin1StringEncoding},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NTQueryStringFromParametersWithEncoding(c.parameters, c.encoding), c.query) << c.name;
}

TEST(NTQueryStringPairTest, FlattensToFieldValuePairsInOrder) {
  auto pairs = NTQueryStringPairsFromDictionary(
      {{"user", Dictionary{{"name", "x"}, {"tags", Array{"p", Value::null()}}}}, {"id", 3}});
  std::vector<std::string> flat;
  for (const auto& p : pairs) flat.push_back(p->field().describe() + "|" + p->value().describe());
  EXPECT_EQ(flat,
            (std::vector<std::string>{"id|3", "user[name]|x", "user[tags][]|p", "user[tags][]|<null>"}));
  // A leaf under no key keeps a nil field.
  auto leaf = NTQueryStringPairsFromKeyAndValue(Value(), "v");
  ASSERT_EQ(leaf.size(), 1u);
  EXPECT_TRUE(leaf[0]->field().isNil());
}

}  // namespace
