#include "Classes/MainPage/TLTitleListCache.h"

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/PropertyList.h"
#include "Foundation/String.h"

namespace {

// What the root dictionary and the "rating" add to the records in a list file, with room to spare.
constexpr std::uintmax_t kRootBytes = 64 << 10;

std::string text(const ns::Value& item, const char* key) { return TLSettings::stringFromObject(item[key]); }
std::string id(const ns::Value& item, const char* key) { return TLSettings::idFromObject(item[key]); }

// A rating as the readers take it, text or number; anything else is "", and so is a text far
// longer than a rating is.
ns::Value rating(const ns::Value& item) {
  const ns::Value& value = item["rating"];
  if (value.isNumber() && !value.isBool()) return value;
  std::string text = TLSettings::stringFromObject(value);
  return ns::Value(text.size() <= 32 ? std::move(text) : std::string());
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

// What a list keeps of a reply's items, and whether its count bound left some out.
struct KeptItems {
  ns::Array items;
  std::size_t sent = 0;  // elements of the reply's "items"
  bool cut = false;
};

KeptItems keepItems(const ns::Value& reply, std::size_t max) {
  KeptItems kept;
  const ns::Array* items = reply["items"].asArray();
  if (!items) return kept;
  kept.sent = items->size();
  for (const ns::Value& item : *items) {
    if (kept.items.size() == max) {
      kept.cut = true;
      break;
    }
    if (item.isDictionary()) kept.items.push_back(item);
  }
  return kept;
}

}  // namespace

std::optional<std::string> TLTitleListCache::fileNameForTitleId(const std::string& titleId,
                                                                const char* format) {
  if (!TLImageFetch::isDecimalId(titleId)) return std::nullopt;
  return ns::format(format, titleId);
}

std::size_t TLTitleListCache::maxItemsOfFileName(const std::string& fileName) {
  return kindOfFileName(fileName) == "ser" ? kMaxEpisodes : kMaxRelatedTitles;
}

ns::Array TLTitleListCache::listItems(const ns::Value& reply, std::size_t max) {
  return keepItems(reply, max).items;
}

TLTitleListCache::Outcome TLTitleListCache::write(const std::string& fileName, const ns::Value& reply,
                                                  const RowFacts& facts, bool withItemRating) {
  if (!reply.isDictionary()) return Outcome::wrongShape;
  ns::Array records;
  // Each record is measured as a file of its own, which is longer than its part of the list file:
  // the list stays within the bound the reader keeps to. The row's facts are copied into every
  // record, so a long one multiplies.
  std::uintmax_t bytes = 0;
  KeptItems kept = keepItems(reply, maxItemsOfFileName(fileName));
  bool tooLong = false;
  for (const ns::Value& item : kept.items) {
    ns::Value r(record(item, facts, withItemRating));
    auto encoded = ns::PropertyListSerialization::dataWithPropertyList(r, ns::PropertyListFormat::XML);
    // Text XML cannot carry sends the file to the binary format.
    if (!encoded)
      encoded = ns::PropertyListSerialization::dataWithPropertyList(r, ns::PropertyListFormat::Binary);
    bytes += encoded ? encoded->length() : kMaxFileBytes;
    if (bytes > kMaxFileBytes - kRootBytes) {
      tooLong = true;
      break;
    }
    records.push_back(std::move(r));
  }
  // The row, the title page's section and the player's stepping all show what the file keeps.
  // Every reply goes through here once, so a cut list is told once.
  if (kept.cut || tooLong) {
    std::size_t length = ns::utf16Length(fileName);
    ns::log("The %@ of title %@: the list keeps the first %d of the %d items sent%@",
            kindOfFileName(fileName) == "ser" ? "episodes" : "related titles",
            ns::substringToIndex(fileName, length > 9 ? length - 9 : 0),
            static_cast<long long>(records.size()), static_cast<long long>(kept.sent),
            tooLong ? ns::format("; the rest would take more than %d bytes",
                                 static_cast<long long>(kMaxFileBytes))
                    : std::string());
  }
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
  auto manager = ns::FileManager::defaultManager();
  auto attributes = manager->attributesOfItemAtPath(*path);
  if (!attributes || attributes->isDirectory) return {};
  // Only a hostile reply of an older client leaves such a file; reading it would cost every visit
  // of the title a minute and gigabytes.
  if (attributes->size > kMaxFileBytes) {
    ns::log("Removing the list %@: %d bytes, more than any list holds", *path,
            static_cast<long long>(attributes->size));
    manager->removeItemAtPath(*path);
    return {};
  }
  auto root = ns::dictionaryWithContentsOfFile(*path);
  if (!root) return {};
  if (const ns::Array* items = (*root)["items"].asArray()) {
    std::size_t max = maxItemsOfFileName(fileName);
    if (items->size() > max) root->set("items", ns::Array(items->begin(), items->begin() + max));
  }
  return ns::Value(std::move(*root));
}

std::string TLTitleListCache::kindOfFileName(const std::string& fileName) {
  std::size_t length = ns::utf16Length(fileName);
  if (length < 9) return {};
  return ns::substringWithRange(fileName, {length - 9, 3});
}
