#include "Classes/SearchPage/TLSearchReply.h"

#include <algorithm>
#include <utility>

#include "Classes/PageShell.h"
#include "Classes/TLSettings.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/URLRequest.h"

namespace {

constexpr std::pair<const char*, const char*> kShownCategories[] = {
    {"Сериал", "2"},      {"Фильм", "1"},  {"Телепередача", "3"},
    {"Мультфильм", "31"}, {"Спорт", "29"}, {"Музыка", "28"},
};

// The reply's title keys and the record keys they go to.
constexpr std::pair<const char*, const char*> kRecordKeys[] = {
    {"title", "name"},  {"description", "description"},
    {"image", "image"}, {"rating", "rating"},
    {"url", "url"},     {"id", "id"},
};

std::string phoneText(const ns::Value& value) {
  if (const std::string* text = value.asString()) return *text;
  if (value.isNumber()) return ns::format("%@", value);
  return "";
}

ns::Value record(const ns::Value& item, bool withCategory, std::string (*text)(const ns::Value&)) {
  ns::Dictionary out;
  for (const auto& [from, to] : kRecordKeys) out.set(to, text(item[from]));
  // Some ids come as JSON integers.
  if (out["id"] == ns::Value("")) out.set("id", TLSettings::idFromObject(item["id"]));
  if (withCategory) out.set("category", text(item["category"]));
  return ns::Value(std::move(out));
}

void requireObject(const ns::Value& reply) {
  if (!reply.isDictionary())
    throw ns::Exception(ns::kInvalidArgumentException, "the search reply is not an object");
}

const ns::Array* recommendedItems(const ns::Value& reply) {
  const ns::Array* also = reply["also"].asArray();
  if (!also || also->empty()) return nullptr;
  return (*also)[0]["items"].asArray();
}

// Visits the first `count` elements of the list that are objects, where they are.
template <class Visit>
void forFirstObjects(const ns::Array* list, std::size_t count, Visit visit) {
  if (!list) return;
  std::size_t seen = 0;
  for (auto item = list->begin(); item != list->end() && seen < count; ++item)
    if (item->isDictionary()) {
      ++seen;
      visit(*item);
    }
}

// The first `count` elements of the list that are objects.
ns::Array firstObjects(const ns::Array* list, std::size_t count) {
  ns::Array out;
  forFirstObjects(list, count, [&](const ns::Value& item) { out.push_back(item); });
  return out;
}

}  // namespace

std::string TLSearchReply::rowIdentifier(const std::string& category) {
  for (const auto& [name, id] : kShownCategories)
    if (category == name) return id;
  return "";
}

ns::Value TLSearchReply::cutReply(const ns::Value& reply) {
  if (!reply.isDictionary()) return ns::Value::null();
  ns::Dictionary cut;
  if (const ns::Array* items = reply["items"].asArray()) cut.set("items", firstObjects(items, kMaxFound));
  if (const ns::Array* recommended = recommendedItems(reply))
    cut.set("also", ns::Array{ns::Dictionary{{"items", firstObjects(recommended, kMaxRecommended)}}});
  return cut;
}

// Both readers read the reply in place, as far as cutReply would keep it: a reply cut where it was
// decoded is not copied again here.
TLSearchReply::Grouped TLSearchReply::groupForTablet(const ns::Value& reply) {
  requireObject(reply);
  Grouped out;
  forFirstObjects(reply["items"].asArray(), kMaxFound, [&](const ns::Value& item) {
    std::string category = TLSettings::stringFromObject(item["category"]);
    ns::Value tile = record(item, true, TLSettings::stringFromObject);
    auto group = std::find_if(out.groups.begin(), out.groups.end(),
                              [&](const Group& g) { return g.category == category; });
    if (group != out.groups.end()) {
      group->records.push_back(std::move(tile));
    } else if (!rowIdentifier(category).empty()) {
      out.groups.push_back({category, ns::Array{std::move(tile)}});
    }
  });
  forFirstObjects(recommendedItems(reply), kMaxRecommended, [&](const ns::Value& item) {
    out.recommended.push_back(record(item, false, TLSettings::stringFromObject));
  });
  return out;
}

TLSearchReply::Flat TLSearchReply::listForPhone(const ns::Value& reply) {
  requireObject(reply);
  Flat out;
  forFirstObjects(reply["items"].asArray(), kMaxFound,
                  [&](const ns::Value& item) { out.found.push_back(record(item, true, phoneText)); });
  forFirstObjects(recommendedItems(reply), kMaxRecommended,
                  [&](const ns::Value& item) { out.recommended.push_back(record(item, false, phoneText)); });
  return out;
}

void TLLatestSearch::send(const std::string& query, std::function<void(const ns::Value& reply)> success,
                          std::function<void(const ns::ErrorPtr& error)> failure) {
  unsigned mine = ++*latest_;
  std::weak_ptr<unsigned> latest = latest_;
  auto current = [latest, mine] {
    auto now = latest.lock();
    return now && *now == mine;
  };
  startJSONRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString(TLSettings::getSearchUrl(query))),
      TLSearchReply::cutReply,
      [current, success = std::move(success)](const ns::Value& json) {
        if (current() && success) success(json);
      },
      [current, failure = std::move(failure)](const ns::ErrorPtr& error) {
        if (current() && failure) failure(error);
      });
}
