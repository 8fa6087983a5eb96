#include "Classes/TLSettings.h"

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <set>
#include <string_view>

#include "Foundation/DataFile.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/PropertyList.h"
#include "Foundation/String.h"
#include "Foundation/UserDefaults.h"
#include "UIKit/AlertView.h"

#ifndef VCC_DEFAULT_SERVICE_HOST
#define VCC_DEFAULT_SERVICE_HOST "127.0.0.1:8080"
#endif

namespace {

constexpr const char* kApiPath = "/api/mobile?platform=ios&method=";
constexpr const char* kRefreshMainPageKey = "TLUpdateMainPage";

constexpr const char* kAlertTitle = "Ошибка";
constexpr const char* kAlertButton = "OK";
constexpr const char* kNoInternetMessage = "Нет интернет соединения. Проверьте настройки интернета";
constexpr const char* kNoServerConnectionMessage = "Нет соединения с сервером";
constexpr const char* kNoServerItemDataMessage =
    "Выбранный вами эпизод временно недоступен. Повторите попытку позже.";
constexpr const char* kNoServerDataMessage = "Данные временно недоступны. Повторите попытку позже.";

bool isDecimal(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "name", "1.2.3.4" or "[v6]", optionally ":port" (1-65535).
bool isHostAndPort(std::string_view text) {
  std::string_view host = text, port;
  if (!text.empty() && text.front() == '[') {
    auto close = text.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    host = text.substr(1, close - 1);
    if (!std::all_of(host.begin(), host.end(),
                     [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; }))
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
        !std::all_of(host.begin(), host.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; }))
      return false;
  }
  if (port.empty()) return true;
  if (!isDecimal(port) || port.size() > 5) return false;
  int number = std::stoi(std::string(port));
  return number >= 1 && number <= 65535;
}

// The folder at the path, created when missing. A failure is logged; the path is returned anyway
// and the later file operation there fails.
std::string ensureDirectory(const std::string& path, bool withIntermediateDirectories) {
  auto files = ns::FileManager::defaultManager();
  bool isDirectory = false;
  if (files->fileExistsAtPath(path, &isDirectory) && isDirectory) return path;
  ns::ErrorPtr error;
  if (!files->createDirectoryAtPath(path, withIntermediateDirectories, &error))
    ns::log("Cannot create the cache folder %@: %@", path, error);
  return path;
}

std::string inDirectory(const std::string& directory, const std::string& name) {
  return ns::stringByAppendingPathComponent(directory, name);
}

void showAlert(const char* message, const std::weak_ptr<ui::AlertViewDelegate>& delegate) {
  std::make_shared<ui::AlertView>()->initWithTitle(kAlertTitle, message, delegate, kAlertButton)->show();
}

// A cached category's id as text: a string as it is, an integer in decimal; nothing otherwise.
std::optional<std::string> categoryIdText(const ns::Value& entry) {
  const ns::Value& id = entry["id"];
  if (const std::string* s = id.asString()) return *s;
  if (id.isInteger()) return ns::format("%@", id);
  return std::nullopt;
}

// Runs the reader over the category list file's entries, at most kMaxCachedCategories of them
// (null when the file holds no list), with the number of entries the file holds. The list last
// parsed is kept with the bytes it came from: every home row looks its category's name up, and a
// big file must not be parsed again for each of them.
std::atomic<std::size_t> categoryFileParses{0};
void withCategoryFile(const std::function<void(const ns::Array* list, std::size_t entriesInFile)>& reader) {
  static std::mutex mutex;
  static bool parsedOnce = false, isList = false;
  static ns::Data parsedBytes;
  static ns::Array parsed;
  static std::size_t entriesInFile = 0;
  auto bytes = ns::dataWithContentsOfFile(TLSettings::cashedCategoriesFile());
  std::lock_guard lock(mutex);
  if (!bytes) return reader(nullptr, 0);
  if (!parsedOnce || !(parsedBytes == *bytes)) {
    ns::Value plist = ns::PropertyListSerialization::propertyListWithData(*bytes);
    const ns::Array* entries = plist.asArray();
    isList = entries != nullptr;
    entriesInFile = entries ? entries->size() : 0;
    auto kept = static_cast<std::ptrdiff_t>(std::min(entriesInFile, TLSettings::kMaxCachedCategories));
    parsed = entries ? ns::Array(entries->begin(), entries->begin() + kept) : ns::Array();
    parsedBytes = *bytes;
    parsedOnce = true;
    ++categoryFileParses;
  }
  reader(isList ? &parsed : nullptr, entriesInFile);
}

// ".<name>.XXXXXX": what an atomic write names its temporary file beside the target, the X's
// letters and digits.
bool isTemporaryFileName(std::string_view name) {
  constexpr std::size_t kSuffix = 7;
  if (name.size() < 2 + kSuffix || name.front() != '.' || name[name.size() - kSuffix] != '.') return false;
  std::string_view unique = name.substr(name.size() - kSuffix + 1);
  return std::all_of(unique.begin(), unique.end(), [](unsigned char c) { return std::isalnum(c); });
}

std::string apiUrl(const std::string& methodAndParameters) {
  return "http://" + TLSettings::serviceHost() + kApiPath + methodAndParameters;
}

// The method's URL for one id, or "" for an id longer than any the service gives out: such an
// id would only make a request as long as itself.
std::string apiUrlForId(const char* methodAndKey, const ns::Value& id) {
  std::string text = ns::format("%@", id);
  if (text.size() > TLSettings::kMaxIdLength) return {};
  return apiUrl(methodAndKey + text);
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
  auto categories = cachedCategories();
  if (!categories) return urls;
  std::set<std::string> seen;
  std::size_t skipped = 0;
  const ns::Value* firstSkipped = nullptr;
  for (const ns::Value& entry : *categories) {
    // Ids go into the URL as they are, so only decimal ones are let through.
    std::string id = categoryIdText(entry).value_or("");
    if (!isDecimal(id) || id.size() > kMaxIdLength) {
      if (!skipped++) firstSkipped = &entry["id"];
      continue;
    }
    // A list written before repeats were left out may still hold them: one row a category.
    if (!seen.insert(id).second) continue;
    auto url = ns::URL::URLWithString(
        apiUrl(ns::format("get_category&category_id=%@&popular_quantity=15&featured_quantity=15", id)));
    if (url) urls.push_back(*url);
  }
  // One line for the list, read at every start until a good list replaces it.
  if (skipped)
    ns::log(
        "Skipping %d cached categories whose id is not a decimal number of at most %d digits, the first "
        "\"%@\"",
        static_cast<long long>(skipped), static_cast<long long>(kMaxIdLength), *firstSkipped);
  return urls;
}

std::string TLSettings::categoryDetailsUrl(long long categoryId) {
  return apiUrl(ns::format("get_category&category_id=%d", categoryId));
}

std::string TLSettings::genresUrl(long long categoryId) { return categoryDetailsUrl(categoryId); }

std::string TLSettings::topCategoryBanerUrl(long long categoryId) { return categoryDetailsUrl(categoryId); }

std::string TLSettings::getPostersURL() { return apiUrl("get_posters&poster_size=1000x424&limit=12"); }

std::string TLSettings::postersInCategories() { return apiUrl("get_posters&poster_size=1000x240&limit=7"); }

std::string TLSettings::getURLforSeriesListFilm(const ns::Value& titleId) {
  return apiUrlForId("get_title&title_id=", titleId);
}

std::string TLSettings::getURLforAdvancedListFilm(const ns::Value& titleId) {
  return apiUrlForId("get_related&title_id=", titleId);
}

std::string TLSettings::categoryTitles(long long categoryId, const std::string& grouping, const std::string& order,
                                       int page) {
  return "http://" + serviceHost() +
         ns::format(
             "/api/mobile.pl?platform=ios&method=get_category_titles&category_id=%d&orderby=%@&orderdir=%@"
             "&limit=16&page=%d",
             categoryId, grouping, order, page);
}

std::string TLSettings::getActorAPIwithID(const ns::Value& personId) {
  return apiUrlForId("get_person&person_id=", personId);
}

std::string TLSettings::getEpisodeForID(const ns::Value& episodeId) {
  return apiUrlForId("get_episode&episode_id=", episodeId);
}

std::string TLSettings::getSearchUrl(const std::string& query) {
  // Everything but the unreserved characters is escaped: a typed "&", "+", "#" or "=" would
  // otherwise change the request itself.
  return apiUrl(
      ns::format("get_search&q=%@&limit=50", ns::addPercentEncoding(query, ns::kURLUnreservedCharacters)));
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

long long TLSettings::longFromObject(const ns::Value& object) {
  constexpr long long kLargest = std::numeric_limits<long long>::max();
  if (object.isBool() || object.isUnsigned()) return 0;
  if (object.isInteger()) return std::max<long long>(object.longLongValue(), 0);
  if (object.isDouble()) {
    // Past 2^53 a double no longer tells neighbouring ids apart.
    const double d = object.doubleValue();
    return d >= 1 && d <= 9007199254740992.0 && d == std::trunc(d) ? static_cast<long long>(d) : 0;
  }
  const std::string* text = object.asString();
  if (!text || text->empty() || text->size() > 19) return 0;
  long long value = 0;
  for (char c : *text) {
    if (c < '0' || c > '9') return 0;
    const int digit = c - '0';
    if (value > (kLargest - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

std::string TLSettings::idFromObject(const ns::Value& object) {
  if (const std::string* s = object.asString()) return *s;
  if (object.isUnsigned()) return std::to_string(object.unsignedLongLongValue());
  if (object.isInteger()) return std::to_string(object.longLongValue());
  return {};
}

ns::Value TLSettings::titleInfoIdFromObject(const ns::Value& object) {
  std::string text = idFromObject(object);
  if (text.empty()) return ns::Value(0ll);
  // Only the digits' own form ("7", not "07" or "+7") reads back as the same text.
  bool digits = text.size() <= 20 && (text == "0" || text[0] != '0') &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) return ns::Value(std::move(text));
  std::uint64_t value = 0;
  for (char c : text) {
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return ns::Value(std::move(text));
    value = value * 10 + digit;
  }
  return ns::Value(value);
}

ns::Value TLSettings::dictionaryOrNilFromObject(const ns::Value& object) {
  return object.isDictionary() ? object : ns::Value();
}

ns::Value TLSettings::arrayOrNilFromObject(const ns::Value& object) {
  return object.isArray() ? object : ns::Value();
}

// MARK: Directories and files

std::string TLSettings::userDirectory() { return ns::documentsDirectory(); }

std::string TLSettings::cacheDirectory() {
  return ensureDirectory(inDirectory(ns::cachesDirectory(), "userCache"), false);
}

std::string TLSettings::plistFilesDirectory() {
  return ensureDirectory(inDirectory(ns::cachesDirectory(), "plistCache"), false);
}

std::string TLSettings::sliderPostersPath() {
  return ensureDirectory(inDirectory(cacheDirectory(), "sliderPosters"), true);
}

std::string TLSettings::postersPath() {
  return ensureDirectory(inDirectory(cacheDirectory(), "posters"), true);
}

std::string TLSettings::postersBigPath() {
  return ensureDirectory(inDirectory(cacheDirectory(), "postersBig"), true);
}

std::string TLSettings::rolesPath() { return ensureDirectory(inDirectory(postersPath(), "roles"), true); }

std::string TLSettings::filmImagesPath() {
  return ensureDirectory(inDirectory(cacheDirectory(), "filmImages"), true);
}

std::string TLSettings::cashedCategoriesFile() { return inDirectory(cacheDirectory(), "categories.plist"); }

std::string TLSettings::databaseFilePath() { return inDirectory(userDirectory(), "data.sqlite3"); }

bool TLSettings::isSafeFileName(const std::string& fileName) {
  return !fileName.empty() && fileName != "." && fileName.find('/') == std::string::npos &&
         fileName.find("..") == std::string::npos && fileName.find('\0') == std::string::npos;
}

std::optional<std::string> TLSettings::getPlistDirectoryWithFileName(const std::string& fileName) {
  if (!isSafeFileName(fileName)) {
    ns::log("Refusing the cache file name \"%@\"", fileName);
    return std::nullopt;
  }
  return inDirectory(plistFilesDirectory(), fileName);
}

std::string TLSettings::posterForBaseVideo(long long itemId) {
  return inDirectory(postersPath(), ns::format("%d.png", itemId));
}

std::string TLSettings::posterForEpisode(long long itemId) {
  return inDirectory(postersPath(), ns::format("e%d.png", itemId));
}

std::string TLSettings::posterBigForBaseVideo(long long itemId) {
  return inDirectory(postersBigPath(), ns::format("%d.png", itemId));
}

std::string TLSettings::posterBigForEpisode(long long itemId) {
  return inDirectory(postersBigPath(), ns::format("e%d.png", itemId));
}

bool TLSettings::isItemHasBigPoster(long long itemId, bool typeIsEpisode) {
  bool isDirectory = false;
  std::string path = typeIsEpisode ? posterBigForEpisode(itemId) : posterBigForBaseVideo(itemId);
  return ns::FileManager::defaultManager()->fileExistsAtPath(path, &isDirectory) && !isDirectory;
}

// MARK: The category list

std::optional<ns::Array> TLSettings::cachedCategories() {
  std::optional<ns::Array> categories;
  withCategoryFile([&](const ns::Array* list, std::size_t) {
    if (list) categories = *list;
  });
  return categories;
}

void TLSettings::cutCachedCategoriesFile() {
  std::optional<ns::Array> cut;
  std::size_t entries = 0;
  withCategoryFile([&](const ns::Array* list, std::size_t entriesInFile) {
    if (list && entriesInFile > list->size()) cut = *list;
    entries = entriesInFile;
  });
  if (!cut) return;
  ns::ErrorPtr error;
  if (ns::writePropertyListToFile(ns::Value(std::move(*cut)), cashedCategoriesFile(), true,
                                  ns::PropertyListFormat::XML, &error))
    ns::log("Cut the cached category list from %d entries to %d", static_cast<long long>(entries),
            static_cast<long long>(kMaxCachedCategories));
  else
    ns::log("Cannot cut the cached category list: %@", error);
}

void TLSettings::removeStaleTemporaryFiles() {
  namespace fs = std::filesystem;
  // A younger one may belong to a write still running in another copy of the application.
  constexpr auto kStale = std::chrono::minutes(1);
  auto now = fs::file_time_type::clock::now();
  for (const char* folder : {"userCache", "plistCache"}) {
    std::error_code error;
    fs::recursive_directory_iterator it(inDirectory(ns::cachesDirectory(), folder),
                                        fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      const fs::path& path = it->path();
      if (!isTemporaryFileName(path.filename().string())) continue;
      std::error_code fileError;
      if (it->symlink_status(fileError).type() != fs::file_type::regular) continue;
      auto modified = fs::last_write_time(path, fileError);
      if (fileError || now - modified < kStale) continue;
      if (fs::remove(path, fileError)) ns::log("Removed the stale temporary file %@", path.string());
    }
  }
}

// MARK: Category look-ups

ns::Value TLSettings::categoryInfoById(const std::string& categoryId) {
  ns::Value info;
  withCategoryFile([&](const ns::Array* list, std::size_t) {
    if (!list) return;
    auto entry = std::find_if(list->begin(), list->end(),
                              [&](const ns::Value& e) { return categoryIdText(e) == categoryId; });
    if (entry != list->end()) info = *entry;
  });
  return info;
}

std::string TLSettings::getCategoryNameById(const std::string& categoryId) {
  std::string name;
  withCategoryFile([&](const ns::Array* list, std::size_t) {
    if (!list) return;
    for (const ns::Value& entry : *list)
      if (categoryIdText(entry) == categoryId) name = ns::uppercaseString(stringFromObject(entry["title"]));
  });
  return name;
}

std::size_t TLSettings::categoryFileParseCount() { return categoryFileParses.load(); }

// MARK: Alerts

void TLSettings::noInternetConnectionAlert() { showAlert(kNoInternetMessage, {}); }

void TLSettings::noInternetConnectionAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate) {
  showAlert(kNoInternetMessage, delegate);
}

void TLSettings::noServerConnectionAlert() { showAlert(kNoServerConnectionMessage, {}); }

void TLSettings::noServerConnectionAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate) {
  showAlert(kNoServerConnectionMessage, delegate);
}

void TLSettings::noServerItemDataAlert() { showAlert(kNoServerItemDataMessage, {}); }

void TLSettings::noServerItemDataAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate) {
  showAlert(kNoServerItemDataMessage, delegate);
}

void TLSettings::noServerDataAlert() { showAlert(kNoServerDataMessage, {}); }

void TLSettings::noServerDataAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate) {
  showAlert(kNoServerDataMessage, delegate);
}

void TLSettings::showConnectionError(const ns::ErrorPtr& error) { showConnectionError(error, {}); }

void TLSettings::showConnectionError(const ns::ErrorPtr& error,
                                     const std::weak_ptr<ui::AlertViewDelegate>& delegate) {
  switch (error ? error->code() : 0) {
    case ns::URLError::NotConnectedToInternet:
      showAlert(kNoInternetMessage, delegate);
      break;
    case ns::URLError::CannotConnectToHost:
    case ns::URLError::CannotFindHost:
      showAlert(kNoServerConnectionMessage, delegate);
      break;
    default:
      showAlert(kNoServerDataMessage, delegate);
  }
}

// MARK: Refresh flag

void TLSettings::addRefreshMainPageFlag() {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->setBool(true, kRefreshMainPageKey);
  defaults->synchronize();
}

void TLSettings::removeRefreshMainPageFlag() {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->setBool(false, kRefreshMainPageKey);
  defaults->synchronize();
}

bool TLSettings::isMainPageNeedUpdate() {
  return ns::UserDefaults::standardUserDefaults()->boolForKey(kRefreshMainPageKey);
}
