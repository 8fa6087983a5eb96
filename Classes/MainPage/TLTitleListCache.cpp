#include "Classes/MainPage/TLTitleListCache.h"

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Foundation/Format.h"
#include "Foundation/PropertyList.h"
#include "Foundation/String.h"

namespace {

std::string text(const ns::Value& item, const char* key) { return TLSettings::stringFromObject(item[key]); }
std::string id(const ns::Value& item, const char* key) { return TLSettings::idFromObject(item[key]); }

// A rating as the readers take it, text or number; anything else is "".
ns::Value rating(const ns::Value& item) {
  const ns::Value& value = item["rating"];
  if (value.isNumber() && !value.isBool()) return value;
  return ns::Value(TLSettings::stringFromObject(value));
}

ns::Dictionary record(const ns::Value& item, const TLTitleListCache::RowFacts& facts, bool withItemRating) {
  std::string parentId = id(item, "parent_id");
  ns::Dictionary r{
      {"title", text(item, "title")},
      {"image", text(item, "image")},
      {"url", text(item, "url")},
      {"description", text(item, "description")},
      {"category", text(item, "category")},
      {"id", id(item, "id")},
      {"parent_id", parentId.empty() ? facts.parentId : parentId},
      {"item_type", facts.itemType},
  };
  if (withItemRating) r.set("rating", rating(item));
  // The record ends at the first fact the row does not have.
  const std::pair<const char*, const std::optional<std::string>*> tail[] = {
      {"age", &facts.age}, {"rubric_name", &facts.rubric}, {"genre", &facts.genre}};
  for (const auto& [key, value] : tail) {
    if (!*value) break;
    r.set(key, **value);
  }
  return r;
}

}  // namespace

std::optional<std::string> TLTitleListCache::fileNameForTitleId(const std::string& titleId,
                                                                const char* format) {
  if (!TLImageFetch::isDecimalId(titleId)) return std::nullopt;
  return ns::format(format, titleId);
}

TLTitleListCache::Outcome TLTitleListCache::write(const std::string& fileName, const ns::Value& reply,
                                                  const RowFacts& facts, bool withItemRating) {
  if (!reply.isDictionary()) return Outcome::wrongShape;
  const ns::Value& items = reply["items"];
  ns::Array records;
  for (std::size_t i = 0; i < items.count() && items.isArray(); ++i)
    if (items.at(i).isDictionary()) records.emplace_back(record(items.at(i), facts, withItemRating));
  // An empty list keeps the file the last load left.
  if (records.empty()) return Outcome::noItems;

  auto path = TLSettings::getPlistDirectoryWithFileName(fileName);
  if (!path) return Outcome::notWritten;
  ns::Value root(ns::Dictionary{{"items", std::move(records)}, {"rating", rating(reply)}});
  ns::ErrorPtr error;
  if (!ns::writePropertyListToFile(root, *path, true, ns::PropertyListFormat::XML, &error)) {
    ns::log("Cannot write the list %@: %@", *path, error);
    return Outcome::notWritten;
  }
  return Outcome::written;
}

ns::Value TLTitleListCache::read(const std::string& fileName) {
  auto path = TLSettings::getPlistDirectoryWithFileName(fileName);
  if (!path) return {};
  auto root = ns::dictionaryWithContentsOfFile(*path);
  return root ? ns::Value(std::move(*root)) : ns::Value();
}

std::string TLTitleListCache::kindOfFileName(const std::string& fileName) {
  std::size_t length = ns::utf16Length(fileName);
  if (length < 9) return {};
  return ns::substringWithRange(fileName, {length - 9, 3});
}
