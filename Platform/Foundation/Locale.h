#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// The user's locale as the environment gives it (LC_ALL, then LC_MESSAGES, then LANG):
// "ru_RU.UTF-8" is language "ru", country "RU", identifier "ru_RU". "C", "POSIX" or nothing
// read as "en" / "US".
struct Locale {
  std::string languageCode;
  std::string countryCode;
  std::string localeIdentifier() const { return countryCode.empty() ? languageCode : languageCode + "_" + countryCode; }
  static Locale currentLocale();
};
// Posted when the user changes the locale's settings.
inline constexpr const char* kCurrentLocaleDidChangeNotification = "NSCurrentLocaleDidChangeNotification";

// The user's languages in order of preference: $LANGUAGE's list when set, else the locale's language.
std::vector<std::string> preferredLanguages();

// A new random UUID in lower case ("1b4e28ba-2fa1-11d2-883f-0016d3cca427").
std::string UUIDString();

// MD5 digest of the bytes as 32 lower-case hex digits.
std::string md5Hex(std::string_view bytes);

// The process's one random source; seedable so tests can repeat a sequence. Thread-safe.
class Random final {
 public:
  static Random& shared();
  void seed(std::uint64_t seed);
  std::uint32_t next();
  // Uniform in [0, upperBound); 0 when upperBound is 0.
  std::uint32_t uniform(std::uint32_t upperBound);

 private:
  Random();
  std::mutex mutex_;
  std::mt19937_64 engine_;
};

}  // namespace ns
