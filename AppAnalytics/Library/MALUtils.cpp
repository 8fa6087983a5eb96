#include "AppAnalytics/Library/MALUtils.h"

#include <cctype>

#include "Foundation/Format.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/String.h"

std::string MALUtils::systemLanguage() { return systemLanguageFromLanguages(ns::preferredLanguages()); }

std::string MALUtils::systemLanguageFromLanguages(const std::vector<std::string>& languages) {
  return languages.empty() ? "en" : ns::lowercaseString(languages.front());
}

std::string MALUtils::systemCountry() { return systemCountryFromLocale(ns::Locale::currentLocale()); }

std::string MALUtils::systemCountryFromLocale(const ns::Locale& locale) {
  return ns::lowercaseString(locale.countryCode);
}

std::optional<std::string> MALUtils::urlEncodeString(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return ns::addPercentEscapes(*text, "", ";/?:@&=$+{}<>,[] ", ns::UTF8StringEncoding);
}

MALUtils::QueryParameters MALUtils::paramsFromQuery(const std::optional<std::string>& query) {
  QueryParameters params;
  if (!query) return params;
  for (const std::string& part : ns::componentsSeparatedByString(*query, "&")) {
    std::size_t equals = part.find('=');
    if (equals == std::string::npos)
      params[part] = std::nullopt;
    else
      params[part.substr(0, equals)] = part.substr(equals + 1);
  }
  return params;
}

std::string MALUtils::addQueueTimeParameter(const std::string& hit, std::int64_t currentTimeMillis) {
  std::vector<std::string> parts = ns::componentsSeparatedByString(hit, "utmht=");
  if (parts.size() != 2) return hit;
  // Reads a 64-bit integer at the start, as the platform's scanner does (leading blanks, a sign).
  const std::string& rest = parts[1];
  std::size_t i = 0;
  while (i < rest.size() && std::isspace(static_cast<unsigned char>(rest[i]))) ++i;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '-' || rest[i] == '+')) negative = rest[i++] == '-';
  std::size_t digits = i;
  std::int64_t created = 0;
  bool overflow = false;
  for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) {
    if (created > (INT64_MAX - (rest[i] - '0')) / 10) overflow = true;
    if (!overflow) created = created * 10 + (rest[i] - '0');
  }
  if (i > digits && !overflow && !negative && created > 0)
    return hit + ns::format("&utmqt=%lld", static_cast<long long>(currentTimeMillis - created));
  ns::log("Error parsing utmht parameter: %@", rest);
  return hit;
}

std::int64_t MALUtils::currentTimeMillis() { return timeMillisForDate(ns::Date::now()); }

std::int64_t MALUtils::timeMillisForDate(ns::Date date) {
  return static_cast<std::int64_t>(date.timeIntervalSince1970() * 1000.0);
}
