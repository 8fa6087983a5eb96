#include "Foundation/Locale.h"

#include <openssl/evp.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <cstdlib>

#include "Foundation/String.h"

namespace ns {
namespace {

std::string environmentLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* value = std::getenv(name); value && *value) return value;
  return {};
}

Locale parseLocale(std::string_view text) {
  text = text.substr(0, text.find_first_of(".@"));
  Locale locale;
  if (text.empty() || text == "C" || text == "POSIX") return Locale{"en", "US"};
  auto separator = text.find_first_of("_-");
  locale.languageCode = lowercaseString(text.substr(0, separator));
  if (separator != std::string_view::npos) locale.countryCode = uppercaseString(text.substr(separator + 1));
  return locale;
}

}  // namespace

Locale Locale::currentLocale() { return parseLocale(environmentLocale()); }

std::vector<std::string> preferredLanguages() {
  std::vector<std::string> languages;
  if (const char* list = std::getenv("LANGUAGE"); list && *list)
    for (const auto& entry : componentsSeparatedByString(list, ":"))
      if (!entry.empty()) {
        std::string code = parseLocale(entry).languageCode;
        if (std::find(languages.begin(), languages.end(), code) == languages.end()) languages.push_back(code);
      }
  if (languages.empty()) languages.push_back(Locale::currentLocale().languageCode);
  return languages;
}

std::string UUIDString() {
  uuid_t uuid;
  uuid_generate_random(uuid);
  char text[37];
  uuid_unparse_lower(uuid, text);
  return text;
}

std::string md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  return hexString(std::string_view(reinterpret_cast<const char*>(digest), length));
}

Random& Random::shared() {
  static Random random;
  return random;
}

Random::Random() : engine_(std::random_device{}()) {}

void Random::seed(std::uint64_t seed) {
  std::lock_guard lock(mutex_);
  engine_.seed(seed);
}

std::uint32_t Random::next() {
  std::lock_guard lock(mutex_);
  return static_cast<std::uint32_t>(engine_() >> 32);
}

std::uint32_t Random::uniform(std::uint32_t upperBound) {
  if (upperBound == 0) return 0;
  std::lock_guard lock(mutex_);
  return std::uniform_int_distribution<std::uint32_t>(0, upperBound - 1)(engine_);
}

}  // namespace ns
