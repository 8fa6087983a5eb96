#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "Foundation/URL.h"
#include "Foundation/Value.h"
#include "UIKit/View.h"

// The list a title page shows under its header for one section: the episodes of a series or the
// related titles, read from their per-title list file, or the persons of the title. What the
// tablet grid and the phone table share: the list and which entry is the current one.
class TLTitleFilmSubviewBase : public ui::View {
 public:
  // Dictionaries of titles or of persons.
  const ns::Array& items() const { return items_; }
  void setItems(ns::Array items) { items_ = std::move(items); }
  // Built with the kind "ser": episodes.
  bool isSeries() const { return isSeries_.load(); }
  void setIsSeries(bool value) { isSeries_.store(value); }
  bool isRole() const { return isRole_.load(); }
  void setIsRole(bool value) { isRole_.store(value); }
  // "-2": the series root is open and its last entry is current; a decimal item_index: that
  // entry; "-1": none.
  const std::string& indexItemSelected() const { return indexItemSelected_; }
  void setIndexItemSelected(std::string value) { indexItemSelected_ = std::move(value); }
  const std::optional<ns::URL>& urlForParse() const { return urlForParse_; }
  const std::string& parent_id() const { return parent_id_; }
  void setParent_id(std::string value) { parent_id_ = std::move(value); }

  // Position p of n entries carries item_index n - 1 - p.
  static int itemIndexAt(std::size_t position, std::size_t count) {
    return static_cast<int>(count) - 1 - static_cast<int>(position);
  }
  // Whether the entry at position p of n is the current one under the selected string.
  static bool isSelectedEntry(const std::string& selected, std::size_t position, std::size_t count);

 protected:
  // The "items" of the per-title list file, empty when the file is missing, unreadable, refused
  // or holds no array.
  static ns::Array itemsOfListFile(const std::string& fileName);
  // A text value of an entry: the string itself, an integer as its digits, anything else nothing.
  static std::optional<std::string> entryText(const ns::Value& entry, const char* key);
  void setUrlForParse(std::optional<ns::URL> url) { urlForParse_ = std::move(url); }

 private:
  ns::Array items_;
  std::atomic<bool> isSeries_{false};
  std::atomic<bool> isRole_{false};
  std::string indexItemSelected_ = "-1";
  std::optional<ns::URL> urlForParse_;
  std::string parent_id_;
};
