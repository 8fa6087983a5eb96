#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "Foundation/Value.h"

// One item of a rubric row: a dictionary of texts ("name", "description", "url", "image", "id",
// and by source "rating", "image_big", "category", "parent_id", "genre_id", "item_type"), built
// here from the service's replies; reply values are read through the coercions of TLSettings.
class RubricTileInfo final {
 public:
  RubricTileInfo() = delete;

  // A row asks for 15 titles of a group; a reply holding more is cut to this many.
  static constexpr std::size_t kMaxCategoryTiles = 100;

  // The tiles of a get_category reply: the group at index 2 for the "new" row, else the one at
  // index 1, at most kMaxCategoryTiles of them; elements that are not dictionaries are skipped.
  // A reply without that group has none. Nothing when the reply has not the shape (not a
  // dictionary, "items" not an array, a group that is not a dictionary with an "items" array).
  static std::optional<ns::Array> tilesFromCategoryReply(const ns::Value& reply, bool newGroup);
  static ns::Dictionary fromCategoryItem(const ns::Value& item);

  // A title-list item (get_title episodes, get_related titles, or a record of a cached list).
  // An empty "parent_id" takes rowParentId.
  static ns::Dictionary fromTitleListItem(const ns::Value& item, const std::string& rowParentId,
                                          bool episodes);
};
