#include "Classes/CategoryPage/CategoryTitlesQuery.h"

#include <time.h>

#include <algorithm>
#include <cmath>

#include "Classes/TLSettings.h"
#include "Foundation/Clock.h"
#include "Foundation/Format.h"

namespace {

struct Order {
  const char* orderby;
  const char* orderdir;
  const char* title;
  const char* label;
};

constexpr Order kOrders[] = {
    {"popularity", "desc", "По популярности", "по популярности"},
    {"newness", "desc", "По новизне", "по новизне"},
    {"alphabet", "asc", "По алфавиту", "по алфавиту"},
    {"rating", "desc", "По рейтингу", "по рейтенгу"},
};

const Order& order(int grouping) { return kOrders[grouping >= 0 && grouping <= 3 ? grouping : 0]; }

// Year codes 2 to 7: {year_min, year_max}; code 1 ends at the newest year.
constexpr int kYearBounds[][2] = {{2000, 2010}, {1990, 2000}, {1980, 1990},
                                  {1960, 1980}, {1940, 1960}, {1900, 1940}};

// The first `count` elements of the array that are objects.
ns::Array firstObjects(const ns::Value& list, std::size_t count) {
  ns::Array out;
  if (const ns::Array* array = list.asArray())
    for (auto item = array->begin(); item != array->end() && out.size() < count; ++item)
      if (item->isDictionary()) out.push_back(*item);
  return out;
}

}  // namespace

const char* CategoryTitlesQuery::orderby(int grouping) { return order(grouping).orderby; }
const char* CategoryTitlesQuery::orderdir(int grouping) { return order(grouping).orderdir; }
const char* CategoryTitlesQuery::segmentTitle(int grouping) { return order(grouping).title; }
const char* CategoryTitlesQuery::analyticsLabel(int grouping) { return order(grouping).label; }

int CategoryTitlesQuery::currentYear() {
  time_t seconds = static_cast<time_t>(std::floor(ns::clockNow()));
  struct tm parts {};
  gmtime_r(&seconds, &parts);
  return parts.tm_year + 1900;
}

int CategoryTitlesQuery::newestYear(int year) { return std::max(2015, year); }

std::string CategoryTitlesQuery::yearFilter(int year, int current) {
  if (year == 1) return ns::format("&year_min=2010&year_max=%d", newestYear(current));
  if (year < 2 || year > 7) return {};
  const int* bounds = kYearBounds[year - 2];
  return ns::format("&year_min=%d&year_max=%d", bounds[0], bounds[1]);
}

std::string CategoryTitlesQuery::yearTitle(int year, int current) {
  if (year == 1) return ns::format("2010-%d годы", newestYear(current));
  if (year >= 2 && year <= 6) {
    const int* bounds = kYearBounds[year - 2];
    return ns::format("%d-%d годы", bounds[0], bounds[1]);
  }
  return "до 1940 года";
}

std::string CategoryTitlesQuery::url(long long categoryId, int grouping, long long genreId, int year, int pack,
                                     int current) {
  std::string text = TLSettings::categoryTitles(categoryId, orderby(grouping), orderdir(grouping), pack);
  if (genreId != -1) text += ns::format("&genre_id=%d", genreId);
  return text + yearFilter(year, current);
}

ns::Value CategoryTitlesQuery::titleRecord(const ns::Value& item) {
  auto text = [&](const char* key) { return TLSettings::stringFromObject(item[key]); };
  auto id = [&](const char* key) { return TLSettings::idFromObject(item[key]); };
  return ns::Dictionary{
      {"name", text("title")},  {"year", text("year")}, {"description", text("description")},
      {"image", text("image")}, {"url", text("url")},   {"rating", text("rating")},
      {"id", id("id")}};
}

ns::Value CategoryTitlesQuery::cutReply(const ns::Value& JSON) {
  if (!JSON.isDictionary()) return ns::Value::null();
  ns::Dictionary cut;
  if (const ns::Value* quantity = JSON.asDictionary()->find("quantity")) cut.set("quantity", *quantity);
  if (JSON["items"].isArray())
    cut.set("items", firstObjects(JSON["items"], static_cast<std::size_t>(kPackSize)));
  if (const ns::Value& also = JSON["also"]; also.isDictionary()) {
    ns::Dictionary alsoCut;
    if (also["items"].isArray()) alsoCut.set("items", firstObjects(also["items"], kMaxRecommended));
    cut.set("also", std::move(alsoCut));
  }
  return cut;
}

CategoryTitlesQuery::Reply CategoryTitlesQuery::readReply(const ns::Value& JSON) {
  Reply reply;
  if (!JSON.isDictionary()) return reply;
  // Read in place, as far as a pack goes: a reply cut where it was decoded is not copied again here.
  auto records = [](const ns::Value& list, std::size_t count) -> std::optional<ns::Array> {
    const ns::Array* array = list.asArray();
    if (!array) return std::nullopt;
    ns::Array out;
    for (auto item = array->begin(); item != array->end() && out.size() < count; ++item)
      if (item->isDictionary()) out.push_back(titleRecord(*item));
    return out;
  };
  if (!TLSettings::stringOrNilFromObject(JSON["quantity"])) return reply;
  reply.totalCount = std::clamp(TLSettings::intFromObject(JSON["quantity"]), 0, kMaxCount);
  reply.items = records(JSON["items"], static_cast<std::size_t>(kPackSize));
  const ns::Value& also = JSON["also"];
  if (also.isDictionary()) reply.also = records(also["items"], kMaxRecommended);
  return reply;
}

int CategoryTitlesQuery::packCount(int totalCount) {
  int packs = totalCount / kPackSize + (totalCount % kPackSize ? 1 : 0);
  return std::max(packs, 1);
}
