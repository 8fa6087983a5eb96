#include "Classes/TitlePage/TLTitleFilmSubviewBase.h"

#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/TLSettings.h"

bool TLTitleFilmSubviewBase::isSelectedEntry(const std::string& selected, std::size_t position,
                                             std::size_t count) {
  int index = ns::Value(selected).intValue();
  if (index == itemIndexAt(position, count)) return true;
  return index == -2 && position + 1 == count;
}

ns::Array TLTitleFilmSubviewBase::itemsOfListFile(const std::string& fileName) {
  ns::Value file = TLTitleListCache::read(fileName);
  if (const ns::Array* items = file["items"].asArray()) return *items;
  return {};
}

std::optional<std::string> TLTitleFilmSubviewBase::entryText(const ns::Value& entry, const char* key) {
  const ns::Value& value = entry[key];
  if (!value.isString() && !value.isInteger()) return std::nullopt;
  return TLSettings::idFromObject(value);
}
