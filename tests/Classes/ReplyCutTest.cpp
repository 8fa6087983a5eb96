// What a home row keeps of a category reply where the reply is decoded: reading the heading and the
// tiles from the cut gives what reading them from the whole reply does, for every shape a reply may
// take, and the cut holds no more than a row's tiles.
#include <gtest/gtest.h>

#include <string>

#include "Classes/MainPage/RubricTileInfo.h"
#include "Classes/MainPage/TLRubricScrollViewBase.h"
#include "Classes/TLSettings.h"
#include "RowTestSupport.h"

namespace {

// Values held by the value and everything inside it.
std::size_t valueCount(const ns::Value& value) {
  std::size_t n = 1;
  if (const ns::Array* array = value.asArray())
    for (const ns::Value& element : *array) n += valueCount(element);
  if (const ns::Dictionary* dict = value.asDictionary())
    for (const auto& entry : *dict) n += valueCount(entry.second);
  return n;
}

std::string titles(std::size_t n, std::size_t first = 0) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i)
    out += (i ? "," : "") + std::string(R"({"title": "t)") + std::to_string(first + i) + R"(", "id": ")" +
           std::to_string(first + i + 1) + R"(", "rating": "3"})";
  return out;
}

TEST(ReplyCutTest, ARowReadsTheSameFromTheCutAsFromTheWholeReply) {
  const std::string many = titles(250);
  const std::string group = R"({"items": [1, "x", null, )" + many + "]}";
  const struct {
    const char* name;
    std::string reply;
  } cases[] = {
      {"not an object", "[1, 2, 3]"},
      {"no items", R"({"title": "Кино"})"},
      {"items not a list", R"({"title": "Кино", "items": {"a": 1}})"},
      {"one group", R"({"title": "Кино", "items": [{"items": []}]})"},
      {"two groups", R"({"title": "Кино", "items": [{"items": []}, )" + group + "]}"},
      {"three groups", R"({"title": "Кино", "items": [{"items": []}, )" + group + ", " + group + "]}"},
      {"more groups", R"({"title": 7, "items": [1, )" + group + ", " + group + ", " + group + "]}"},
      {"groups that are no object", R"({"title": "Кино", "items": [{"items": []}, [1], "new"]})"},
      {"groups without a list", R"({"title": "Кино", "items": [{}, {"items": 5}, {"items": {}}]})"},
      {"few titles",
       R"({"items": [{}, {"items": [)" + titles(3) + R"(]}, {"items": [)" + titles(2, 50) + "]}]}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Value whole = testsupport::jsonText(c.reply);
    ASSERT_FALSE(whole.isNil());
    for (bool newGroup : {false, true}) {
      ns::Value cut = TLRubricScrollViewBase::categoryReplyForRow(whole, newGroup);
      EXPECT_EQ(cut.isDictionary(), whole.isDictionary()) << newGroup;
      EXPECT_EQ(TLSettings::stringFromObject(cut["title"]), TLSettings::stringFromObject(whole["title"]))
          << newGroup;
      EXPECT_EQ(RubricTileInfo::tilesFromCategoryReply(cut, newGroup),
                RubricTileInfo::tilesFromCategoryReply(whole, newGroup))
          << newGroup;
      // A row's tiles of a few values each, and the few that carry them.
      EXPECT_LE(valueCount(cut), 8 + 7 * RubricTileInfo::kMaxCategoryTiles) << newGroup;
    }
  }
}

}  // namespace
