#include "Analytics/Library/MAIHitUtil.h"

#include <cmath>

#include "Analytics/Library/MAIConstants.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"
#include "Foundation/StringNumbers.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

std::string MAIHitUtil::systemLanguageFromLanguages(const std::vector<std::string>& languages) {
  return languages.empty() ? std::string("en") : ns::lowercaseString(languages.front());
}

std::string MAIHitUtil::systemLanguage() { return systemLanguageFromLanguages(ns::preferredLanguages()); }

std::string MAIHitUtil::systemCountryFromLocale(const ns::Locale& locale) {
  return ns::lowercaseString(locale.countryCode);
}

std::string MAIHitUtil::systemCountry() { return systemCountryFromLocale(ns::Locale::currentLocale()); }

std::string MAIHitUtil::userAgentStringWithProduct(const std::string& product, const std::string& version,
                                                   const std::string& deviceModel,
                                                   const std::string& systemName,
                                                   const std::string& systemVersion,
                                                   const std::string& language, const std::string& country) {
  return ns::format("%@/%@ (%@; U; CPU %@ %@ like Mac OS X; %@-%@)", product, version, deviceModel,
                    systemName, systemVersion, language, country);
}

std::string MAIHitUtil::userAgentString() {
  auto device = ui::Device::currentDevice();
  return userAgentStringWithProduct(kMAIProduct, kMAIVersion, device->model(), device->systemName(),
                                    device->systemVersion(), systemLanguage(), systemCountry());
}

std::string MAIHitUtil::systemScreenResolution() {
  cg::Rect bounds = ui::Screen::mainScreen()->bounds();
  return ns::format("%dx%d", ns::saturatingInt(bounds.size.width), ns::saturatingInt(bounds.size.height));
}

std::int64_t MAIHitUtil::millisecondsElapsedFrom(ns::Date from, ns::Date to) {
  return ns::saturatingInt64(std::trunc(to.timeIntervalSinceDate(from) * 1000.0));
}
