#pragma once

#include <optional>
#include <string>

#include "Foundation/Value.h"

// One item of a rubric row: a dictionary of texts ("name", "description", "url", "image", "id",
// and by source "rating", "image_big", "category", "parent_id", "genre_id", "item_type"), built
// here from the service's replies; reply values are read through the coercions of TLSettings.
class RubricTileInfo final {
 public:
  RubricTileInfo() = delete;

  // The tiles of a get_category reply: the group at index 2 for the "new" row, else the one at
  // index 1; elements that are not dictionaries are skipped. Nothing when the reply has not that
  // shape (not a dictionary, no such group, a group without an "items" array).
  static std::optional<ns::Array> tilesFromCategoryReply(const ns::Value& reply, bool newGroup);
  static ns::Dictionary fromCategoryItem(const ns::Value& item);

  // A title-list item (get_title episodes, get_related titles, or a record of a cached list).
  // An empty "parent_id" takes rowParentId.
  static ns::Dictionary fromTitleListItem(const ns::Value& item, const std::string& rowParentId,
                                          bool episodes);
};
