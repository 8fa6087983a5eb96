#include "Classes/TLSettings.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>

#include "Foundation/Format.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/PropertyList.h"
#include "Foundation/String.h"

#ifndef VCC_DEFAULT_SERVICE_HOST
#define VCC_DEFAULT_SERVICE_HOST "127.0.0.1:8080"
#endif

namespace {

constexpr const char* kApiPath = "/api/mobile?platform=ios&method=";

bool isDecimal(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "name", "1.2.3.4" or "[v6]", optionally ":port" (1-65535).
bool isHostAndPort(std::string_view text) {
  std::string_view host = text, port;
  if (!text.empty() && text.front() == '[') {
    auto close = text.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    host = text.substr(1, close - 1);
    if (!std::all_of(host.begin(), host.end(), [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; }))
      return false;
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    port = rest.empty() ? rest : rest.substr(1);
    if (rest.size() == 1) return false;
  } else {
    auto colon = text.find(':');
    if (colon != std::string_view::npos) {
      host = text.substr(0, colon);
      port = text.substr(colon + 1);
      if (port.empty()) return false;
    }
    if (host.empty() || host.front() == '-' || host.front() == '.' ||
        !std::all_of(host.begin(), host.end(), [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; }))
      return false;
  }
  if (port.empty()) return true;
  if (!isDecimal(port) || port.size() > 5) return false;
  int number = std::stoi(std::string(port));
  return number >= 1 && number <= 65535;
}

std::string apiUrl(const std::string& methodAndParameters) {
  return "http://" + TLSettings::serviceHost() + kApiPath + methodAndParameters;
}

}  // namespace

std::string TLSettings::serviceHost() {
  if (const char* configured = getenv("VCC_SERVICE_HOST"); configured && *configured) {
    if (isHostAndPort(configured)) return configured;
    ns::log("VCC_SERVICE_HOST is not a host[:port] (%s); using %s", configured, VCC_DEFAULT_SERVICE_HOST);
  }
  return VCC_DEFAULT_SERVICE_HOST;
}

// MARK: API URLs

std::string TLSettings::categoriesUrl() { return apiUrl("get_categories"); }

std::vector<ns::URL> TLSettings::getCategoriesURL() {
  std::vector<ns::URL> urls;
  auto categories = ns::arrayWithContentsOfFile(cashedCategoriesFile());
  if (!categories) return urls;
  for (const ns::Value& entry : *categories) {
    // Ids go into the URL as they are, so only decimal ones are let through.
    std::string id = ns::format("%@", entry["id"]);
    if (!isDecimal(id)) {
      ns::log("Skipping a cached category with the id \"%@\": not a decimal number", id);
      continue;
    }
    auto url = ns::URL::URLWithString(
        apiUrl(ns::format("get_category&category_id=%@&popular_quantity=15&featured_quantity=15", id)));
    if (url) urls.push_back(*url);
  }
  return urls;
}

std::string TLSettings::categoryDetailsUrl(int categoryId) {
  return apiUrl(ns::format("get_category&category_id=%d", categoryId));
}

std::string TLSettings::genresUrl(int categoryId) { return categoryDetailsUrl(categoryId); }

std::string TLSettings::topCategoryBanerUrl(int categoryId) { return categoryDetailsUrl(categoryId); }

std::string TLSettings::getPostersURL() { return apiUrl("get_posters&poster_size=1000x424&limit=12"); }

std::string TLSettings::postersInCategories() { return apiUrl("get_posters&poster_size=1000x240&limit=7"); }

std::string TLSettings::getURLforSeriesListFilm(const ns::Value& titleId) {
  return apiUrl(ns::format("get_title&title_id=%@", titleId));
}

std::string TLSettings::getURLforAdvancedListFilm(const ns::Value& titleId) {
  return apiUrl(ns::format("get_related&title_id=%@", titleId));
}

std::string TLSettings::categoryTitles(int categoryId, const std::string& grouping, const std::string& order, int page) {
  return "http://" + serviceHost() +
         ns::format("/api/mobile.pl?platform=ios&method=get_category_titles&category_id=%d&orderby=%@&orderdir=%@"
                    "&limit=16&page=%d",
                    categoryId, grouping, order, page);
}

std::string TLSettings::getActorAPIwithID(const ns::Value& personId) {
  return apiUrl(ns::format("get_person&person_id=%@", personId));
}

std::string TLSettings::getEpisodeForID(const ns::Value& episodeId) {
  return apiUrl(ns::format("get_episode&episode_id=%@", episodeId));
}

std::string TLSettings::getSearchUrl(const std::string& query) {
  // Everything but the unreserved characters is escaped: a typed "&", "+", "#" or "=" would
  // otherwise change the request itself.
  return apiUrl(ns::format("get_search&q=%@&limit=50", ns::addPercentEncoding(query, ns::kURLUnreservedCharacters)));
}

// MARK: Coercions

std::string TLSettings::stringFromObject(const ns::Value& object) {
  const std::string* s = object.asString();
  return s ? *s : std::string();
}

std::optional<std::string> TLSettings::stringOrNilFromObject(const ns::Value& object) {
  const std::string* s = object.asString();
  if (!s || s->empty()) return std::nullopt;
  return *s;
}

int TLSettings::intFromObject(const ns::Value& object) {
  // intValue saturates out-of-range numbers and reads NaN as 0.
  return object.isNumber() || object.isString() ? object.intValue() : 0;
}

ns::Value TLSettings::dictionaryOrNilFromObject(const ns::Value& object) {
  return object.isDictionary() ? object : ns::Value();
}

ns::Value TLSettings::arrayOrNilFromObject(const ns::Value& object) {
  return object.isArray() ? object : ns::Value();
}
