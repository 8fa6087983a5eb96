#include <gtest/gtest.h>

#include "NTNetworking/NTAcceptableValues.h"

namespace {

TEST(NTAcceptableValuesTest, StringFromIndexSetPrintsRuns) {
  struct Case {
    ns::IndexSet set;
    std::string text;
  } cases[] = {
      {ns::IndexSet::indexSetWithIndexesInRange({200, 100}), "200-299"},
      {[] {
         auto s = ns::IndexSet::indexSetWithIndexesInRange({200, 100});
         s.addIndexes({304, 400, 401});
         return s;
       }(),
       "200-299,304,400-401"},
      {ns::IndexSet{7}, "7"},
      {ns::IndexSet{1, 3, 5}, "1,3,5"},
      {ns::IndexSet(), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NTStringFromIndexSet(c.set), c.text);
}

TEST(NTAcceptableValuesTest, ContentTypesFromHeader) {
  struct Case {
    std::optional<std::string> header;
    std::optional<NTContentTypeSet> types;
  } cases[] = {
      {std::nullopt, std::nullopt},
      {"", NTContentTypeSet{}},
      {"application/json", NTContentTypeSet{"application/json"}},
      {" text/html ;q=0.9,\r\n application/json; charset=utf-8 ,, */*;q=0.1",
       NTContentTypeSet{"text/html", "application/json", "*/*"}},
      {";q=1, ,", NTContentTypeSet{}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NTContentTypesFromHTTPHeader(c.header), c.types) << c.header.value_or("none");
}

}  // namespace
