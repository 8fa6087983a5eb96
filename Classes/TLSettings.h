#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Error.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

namespace ui {
class AlertViewDelegate;
}

// The application's global helpers: every API URL of the service, where the disk caches live and
// how cached posters are named, look-ups over the cached category list, the coercions through
// which replies are read, the standard connection alerts and the main-page refresh flag.
// Class operations only; nothing is kept between calls but the parsed category list, which is
// parsed again whenever the file's bytes change.
class TLSettings final {
 public:
  TLSettings() = delete;

  // The service's host as "host[:port]": the environment variable VCC_SERVICE_HOST when it holds a
  // well-formed value, else the one the build was configured with.
  static std::string serviceHost();

  // API URLs, "http://" + serviceHost() + path and query.
  static std::string categoriesUrl();
  // One URL per cached category, in the order of the cached list.
  static std::vector<ns::URL> getCategoriesURL();
  static std::string categoryDetailsUrl(long long categoryId);
  static std::string genresUrl(long long categoryId);
  static std::string topCategoryBanerUrl(long long categoryId);
  static std::string getPostersURL();
  static std::string postersInCategories();
  // The builders below that take an id answer "" for one longer than kMaxIdLength: no id the
  // service gives out is that long, and such a request would be as long as its id.
  static constexpr std::size_t kMaxIdLength = 64;
  static std::string getURLforSeriesListFilm(const ns::Value& titleId);
  static std::string getURLforAdvancedListFilm(const ns::Value& titleId);
  static std::string categoryTitles(long long categoryId, const std::string& grouping, const std::string& order,
                                    int page);
  static std::string getActorAPIwithID(const ns::Value& personId);
  static std::string getEpisodeForID(const ns::Value& episodeId);
  static std::string getSearchUrl(const std::string& query);

  // Directories, created when missing (a failed creation still returns the path).
  static std::string userDirectory();
  static std::string cacheDirectory();
  static std::string plistFilesDirectory();
  static std::string sliderPostersPath();
  static std::string postersPath();
  static std::string postersBigPath();
  static std::string rolesPath();
  static std::string filmImagesPath();
  // Files (their directory is created when missing).
  static std::string cashedCategoriesFile();
  static std::string databaseFilePath();
  // The per-title list file of that name in plistCache; nothing for a name that could reach
  // outside the folder (see isSafeFileName).
  static std::optional<std::string> getPlistDirectoryWithFileName(const std::string& fileName);
  // Service ids name cache files: a name is used only when it is not empty, not "." and holds no
  // "/", no ".." and no NUL.
  static bool isSafeFileName(const std::string& fileName);

  static std::string posterForBaseVideo(long long itemId);
  static std::string posterForEpisode(long long itemId);
  static std::string posterBigForBaseVideo(long long itemId);
  static std::string posterBigForEpisode(long long itemId);
  static bool isItemHasBigPoster(long long itemId, bool typeIsEpisode);

  // The service sends about ten categories, and each one costs the home page a row and a request:
  // a list holding more is cut to this many before it is stored, and when it is read.
  static constexpr std::size_t kMaxCachedCategories = 100;
  // The category list file's entries, at most kMaxCachedCategories of them; nothing when there is
  // no readable list.
  static std::optional<ns::Array> cachedCategories();
  // At start: a category list file holding more than kMaxCachedCategories entries is rewritten
  // with the first of them, so that no later start pays for the rest.
  static void cutCachedCategoriesFile();
  // At start: removes what interrupted atomic writes left in "userCache" and "plistCache", the
  // temporary files named ".<name>.XXXXXX" beside their target, once they are a minute old. No other
  // file is touched.
  static void removeStaleTemporaryFiles();

  // Look-ups over the cached category list.
  // The first entry whose "id" equals the argument, or nil.
  static ns::Value categoryInfoById(const std::string& categoryId);
  // The "title" of the last entry with that id, upper-cased; "" when there is none.
  static std::string getCategoryNameById(const std::string& categoryId);
  // How often this process has parsed the category list file: a reading parses it only when its
  // bytes differ from those parsed last.
  static std::size_t categoryFileParseCount();

  // Coercions of reply values. Each answers the value when it has the expected type, else the
  // empty string, nothing, 0 or nil.
  static std::string stringFromObject(const ns::Value& object);
  static std::optional<std::string> stringOrNilFromObject(const ns::Value& object);
  static int intFromObject(const ns::Value& object);
  // A numeric id (the service's ids pass 2^31): a whole number from 1 to 2^63-1, sent as a number
  // or as its digits alone. Anything else reads 0, the value of no id: a fraction, a sign, digits
  // followed by letters or a number past 63 bits would otherwise read as another title's id.
  static long long longFromObject(const ns::Value& object);
  static ns::Value dictionaryOrNilFromObject(const ns::Value& object);
  static ns::Value arrayOrNilFromObject(const ns::Value& object);
  // A title, episode, person or category id as text: the service sends most as strings and some
  // as JSON integers, which read as their decimal digits; anything else is "".
  static std::string idFromObject(const ns::Value& object);
  // The id a TitleInfo carries: a number object when the text is a whole number written as such
  // (past 2^63 an unsigned one), else the text itself, and 0 for no id; so that no id past
  // longFromObject's range opens another title or names another's files.
  static ns::Value titleInfoIdFromObject(const ns::Value& object);

  // The connection alerts, titled "Ошибка" with the one button "OK", shown at once (main thread).
  static void noInternetConnectionAlert();
  static void noInternetConnectionAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate);
  static void noServerConnectionAlert();
  static void noServerConnectionAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate);
  static void noServerItemDataAlert();
  static void noServerItemDataAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate);
  static void noServerDataAlert();
  static void noServerDataAlertWithDelegate(const std::weak_ptr<ui::AlertViewDelegate>& delegate);
  // Chooses one of the above by the error's code alone: -1009 no internet, -1004 and -1003 no
  // server connection, anything else (a missing error too) no server data.
  static void showConnectionError(const ns::ErrorPtr& error);
  static void showConnectionError(const ns::ErrorPtr& error,
                                  const std::weak_ptr<ui::AlertViewDelegate>& delegate);

  // The user-defaults flag "TLUpdateMainPage": set when the last category list request failed.
  static void addRefreshMainPageFlag();
  static void removeRefreshMainPageFlag();
  static bool isMainPageNeedUpdate();
};
