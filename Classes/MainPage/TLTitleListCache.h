#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "Foundation/Value.h"

// The per-title list files in the plist cache: the episodes of a series, "<id>ser.plist"
// (SerialEpisodesCache), and the titles related to one, "<id>als.plist" (RelatedTitlesCache).
// Each is an XML property list {"items": [record...], "rating": rating}; a record holds the texts
// "title", "image", "url", "description", "category", "id", "parent_id", "item_type", on the
// phone "rating", then "age", "rubric_name" and "genre" as far as the row has them. A rating is
// the reply's text or number as it came ("" for anything else); the readers take either, and ""
// from older files. The title pages and the player read these files; the layout must stay as it is.
class TLTitleListCache final {
 public:
  TLTitleListCache() = delete;

  // What a list keeps of a reply's items, its first this many: each costs a tile in the title
  // page's row and section list. More episodes than the longest series runs; the service sends
  // ten related titles.
  static constexpr std::size_t kMaxEpisodes = 500;
  static constexpr std::size_t kMaxRelatedTitles = 100;
  // What a list file may hold: the writer leaves out the records past it, and a larger file, which
  // this client never writes, is not read but removed.
  static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{4} << 20;

  // kMaxEpisodes for an episodes file ("<id>ser.plist"), else kMaxRelatedTitles.
  static std::size_t maxItemsOfFileName(const std::string& fileName);
  // The dictionaries among a reply's "items", in order, at most `max` of them; none when "items"
  // is not an array. Says nothing of a cut: write() tells it, once a reply.
  static ns::Array listItems(const ns::Value& reply, std::size_t max);

  // What the row that saves a list knows of the title being shown.
  struct RowFacts {
    std::string parentId;  // replaces an empty "parent_id"
    std::string itemType;  // "ser" in the episodes file, else "base_video"
    std::optional<std::string> age, rubric, genre;
  };

  enum class Outcome {
    written,
    wrongShape,  // the reply is not a dictionary
    noItems,     // "items" missing, empty, or without a single dictionary
    notWritten,  // the name was refused or the write failed
  };

  // "%@ser.plist", "%@als.plist" or "%@rol" filled with the title id when it is a decimal number;
  // nothing otherwise (the id comes from the service's URL and must not name another file).
  static std::optional<std::string> fileNameForTitleId(const std::string& titleId, const char* format);

  // Writes the file from a get_title or get_related reply, atomically; an older file stays unless
  // the new list is written whole. Elements of "items" that are not dictionaries are left out, and
  // so are those past the kind's count or past kMaxFileBytes; a list cut by either bound is told in
  // one log line with the title id, the count kept and the count sent.
  static Outcome write(const std::string& fileName, const ns::Value& reply, const RowFacts& facts,
                       bool withItemRating);

  // The file's root dictionary, its "items" cut to the kind's count; nil when it is missing,
  // unreadable, larger than kMaxFileBytes or the name is refused.
  static ns::Value read(const std::string& fileName);

  // The kind of a list file from its name: the three characters that begin nine before its end
  // ("42ser.plist" gives "ser"); "" for a shorter name.
  static std::string kindOfFileName(const std::string& fileName);
};
