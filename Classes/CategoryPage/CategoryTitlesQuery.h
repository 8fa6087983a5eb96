#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "Foundation/Value.h"

// The category titles request and its reply, as the tablet grid and the phone list share them:
// the sort orders, the genre and year filters, the title records and the reading of a pack.
class CategoryTitlesQuery final {
 public:
  static constexpr int kPackSize = 16;
  // The totals a list shows until its first reply.
  static constexpr int kPlaceholderCount = 5000;
  static constexpr int kPlaceholderPacks = kPlaceholderCount / kPackSize;
  // What a list keeps at most: the packs of the placeholder page table and one more slot.
  static constexpr int kMaxSlots = kPlaceholderPacks * kPackSize + 1;
  // The most titles a reply may count: far more than a catalogue holds, and low enough that the
  // lists' sums over titles, packs and pages stay within an int.
  static constexpr int kMaxCount = 100'000'000;

  // Sort codes 0 to 3 (any other code reads as 0): the request's order, the sort switch's title
  // and the analytics label.
  static const char* orderby(int grouping);
  static const char* orderdir(int grouping);
  static const char* segmentTitle(int grouping);
  static const char* analyticsLabel(int grouping);

  // The calendar year (Gregorian, UTC) of the process clock.
  static int currentYear();
  // The newest year of year code 1: 2015, or the current year once it is later.
  static int newestYear(int currentYear);
  // The request text of a year code 1 to 7; empty for any other code.
  static std::string yearFilter(int year, int currentYear);
  // The page title of a year code: "2010-2015 годы" ... "до 1940 года".
  static std::string yearTitle(int year, int currentYear);

  // The URL of one pack: the titles URL, then the genre unless -1, then the year text.
  static std::string url(long long categoryId, int grouping, long long genreId, int year, int pack, int currentYear);

  // A reply title as a record of seven texts: name, year, description, image, url, rating, id.
  static ns::Value titleRecord(const ns::Value& item);

  // The most recommended titles a list keeps: as many as a row of tiles shows.
  static constexpr std::size_t kMaxRecommended = 100;

  // A titles reply as far as it is usable. A quantity is a non-empty text (its integer value, a
  // negative one read as 0, a larger one than kMaxCount as kMaxCount); items and also.items are
  // arrays whose first objects become records: kPackSize of the pack's titles (a pack holds no
  // more), kMaxRecommended recommended ones.
  struct Reply {
    std::optional<int> totalCount;
    std::optional<ns::Array> items;
    std::optional<ns::Array> also;
    bool usable() const { return totalCount && items && also; }
  };
  static Reply readReply(const ns::Value& JSON);
  // What readReply reads of a reply, for taking it where the reply was decoded: the quantity, and
  // those first objects of items and also.items; reading it gives what reading the whole does.
  static ns::Value cutReply(const ns::Value& JSON);
  // Packs for a number of titles: at least 1.
  static int packCount(int totalCount);
};
