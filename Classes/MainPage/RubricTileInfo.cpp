#include "Classes/MainPage/RubricTileInfo.h"

#include "Classes/TLSettings.h"

namespace {

std::string text(const ns::Value& item, const char* key) { return TLSettings::stringFromObject(item[key]); }
std::string id(const ns::Value& item, const char* key) { return TLSettings::idFromObject(item[key]); }

}  // namespace

std::optional<ns::Array> RubricTileInfo::tilesFromCategoryReply(const ns::Value& reply, bool newGroup) {
  if (!reply.isDictionary()) return std::nullopt;
  const ns::Value& groups = reply["items"];
  if (!groups.isArray()) return std::nullopt;
  std::size_t index = newGroup ? 2 : 1;
  // A category without the group has nothing in it: an empty row, not a failed one.
  if (groups.count() <= index) return ns::Array();
  const ns::Value& items = groups.at(index)["items"];
  if (!groups.at(index).isDictionary() || !items.isArray()) return std::nullopt;
  ns::Array tiles;
  for (std::size_t i = 0; i < items.count() && tiles.size() < kMaxCategoryTiles; ++i)
    if (items.at(i).isDictionary()) tiles.emplace_back(fromCategoryItem(items.at(i)));
  return tiles;
}

ns::Dictionary RubricTileInfo::fromCategoryItem(const ns::Value& item) {
  return ns::Dictionary{
      {"name", text(item, "title")},
      {"description", text(item, "description")},
      {"url", text(item, "url")},
      {"image", text(item, "image")},
      {"id", id(item, "id")},
      {"image_big", text(item, "image_big")},
      // Only a non-empty text counts; a numeric rating reads as none.
      {"rating", text(item, "rating")},
      {"item_type", "base_video"},
  };
}

ns::Dictionary RubricTileInfo::fromTitleListItem(const ns::Value& item, const std::string& rowParentId,
                                                 bool episodes) {
  std::string parentId = id(item, "parent_id");
  return ns::Dictionary{
      {"name", text(item, "title")},
      {"image", text(item, "image")},
      {"url", text(item, "url")},
      {"description", text(item, "description")},
      {"id", id(item, "id")},
      {"category", text(item, "category")},
      {"genre_id", text(item, "genre_id")},
      {"parent_id", parentId.empty() ? rowParentId : parentId},
      {"item_type", episodes ? "ser" : "base_video"},
  };
}
