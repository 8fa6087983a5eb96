#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Date.h"
#include "Foundation/Locale.h"

// Helpers of the version 1 tracker: the user's language and country, URL encoding, query
// parameters and times in milliseconds.
class MALUtils final {
 public:
  using QueryParameters = std::map<std::string, std::optional<std::string>>;

  // The first preferred language, lower-cased; "en" when there is none.
  static std::string systemLanguage();
  static std::string systemLanguageFromLanguages(const std::vector<std::string>& languages);
  // The current locale's country code, lower-cased.
  static std::string systemCountry();
  static std::string systemCountryFromLocale(const ns::Locale& locale);

  // Percent-escapes what may not stand in a URL and each of ";/?:@&=$+{}<>,[] " (UTF-8). Nothing
  // stays nothing.
  static std::optional<std::string> urlEncodeString(const std::optional<std::string>& text);
  // "a=1&b&c=x=y" gives a: "1", b: no value, c: "x=y". Nothing gives no parameters.
  static QueryParameters paramsFromQuery(const std::optional<std::string>& query);
  // Appends "&utmqt=" with the time the hit has waited, read from its "utmht=" creation time.
  static std::string addQueueTimeParameter(const std::string& hit, std::int64_t currentTimeMillis);
  static std::int64_t currentTimeMillis();
  static std::int64_t timeMillisForDate(ns::Date date);
};
