#include "Classes/MainPage/RubricTileInfo.h"

#include "Classes/TLSettings.h"

namespace {

std::string text(const ns::Value& item, const char* key) { return TLSettings::stringFromObject(item[key]); }

}  // namespace

std::optional<ns::Array> RubricTileInfo::tilesFromCategoryReply(const ns::Value& reply, bool newGroup) {
  if (!reply.isDictionary()) return std::nullopt;
  const ns::Value groups = TLSettings::arrayOrNilFromObject(reply["items"]);
  const ns::Value group = TLSettings::dictionaryOrNilFromObject(groups.at(newGroup ? 2 : 1));
  const ns::Value items = TLSettings::arrayOrNilFromObject(group["items"]);
  if (items.isNil()) return std::nullopt;
  ns::Array tiles;
  for (std::size_t i = 0; i < items.count(); ++i)
    if (items.at(i).isDictionary()) tiles.emplace_back(fromCategoryItem(items.at(i)));
  return tiles;
}

ns::Dictionary RubricTileInfo::fromCategoryItem(const ns::Value& item) {
  return ns::Dictionary{
      {"name", text(item, "title")},
      {"description", text(item, "description")},
      {"url", text(item, "url")},
      {"image", text(item, "image")},
      {"id", text(item, "id")},
      {"image_big", text(item, "image_big")},
      // Only a non-empty text counts; a numeric rating reads as none.
      {"rating", text(item, "rating")},
      {"item_type", "base_video"},
  };
}

ns::Dictionary RubricTileInfo::fromTitleListItem(const ns::Value& item, const std::string& rowParentId,
                                                 bool episodes) {
  std::string parentId = text(item, "parent_id");
  return ns::Dictionary{
      {"name", text(item, "title")},
      {"image", text(item, "image")},
      {"url", text(item, "url")},
      {"description", text(item, "description")},
      {"id", text(item, "id")},
      {"category", text(item, "category")},
      {"genre_id", text(item, "genre_id")},
      {"parent_id", parentId.empty() ? rowParentId : parentId},
      {"item_type", episodes ? "ser" : "base_video"},
  };
}
