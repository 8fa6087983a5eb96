#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Foundation/Date.h"
#include "Foundation/Locale.h"

// The device facts every hit carries.
class MAIHitUtil final {
 public:
  MAIHitUtil() = delete;

  // The first language, lower-cased; "en" when there is none.
  static std::string systemLanguageFromLanguages(const std::vector<std::string>& languages);
  static std::string systemLanguage();
  static std::string systemCountryFromLocale(const ns::Locale& locale);
  static std::string systemCountry();
  static std::string userAgentStringWithProduct(const std::string& product, const std::string& version,
                                                const std::string& deviceModel, const std::string& systemName,
                                                const std::string& systemVersion,
                                                const std::string& systemLanguage,
                                                const std::string& systemCountry);
  static std::string userAgentString();
  // "<width>x<height>" of the main screen in points.
  static std::string systemScreenResolution();
  static std::string systemScreenColorDepth() { return "24-bit"; }
  static std::int64_t millisecondsElapsedFrom(ns::Date from, ns::Date to);
};
