#include <gtest/gtest.h>
#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIDataStore.h"
#include "Analytics/Library/MAIHitBuilder.h"
#include "Analytics/Library/MAIHitUtil.h"
#include "Analytics/Library/MAIRequestBuilder.h"
#include "Analytics/Library/MAIStringUtil.h"
#include "Analytics/Library/MAITrackerState.h"
#include "AnalyticsTestSupport.h"
#include "Foundation/Clock.h"
#include "Foundation/String.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using analyticstest::RussianTablet;

constexpr const char* kUserAgent = "AppAnalytics/2.0b4 (iPad; U; CPU iOS 6.1 like Mac OS X; ru-ru)";

// A stored hit's request, built 5 seconds after the hit was queued.
ns::URLRequestPtr requestFor(const MAIParameters& parameters, double queuedAt) {
  ns::ManualClock clock(queuedAt + 5);
  auto store = MAIDataStore::dataStoreWithPath(std::nullopt, nullptr);
  auto hit = store->addHit(nullptr);
  hit->setTimestamp(ns::Date(queuedAt));
  hit->setParameters(parameters);
  hit->setDispatchUrl(std::string("http://127.0.0.1:9/collect"));
  return std::make_shared<MAIRequestBuilder>()->requestForHit(*hit);
}

// The body's parameters in any order, then ht, qt and z in this order.
void expectBody(const ns::URLRequest& request, std::set<std::string> parameters, const std::string& tail) {
  std::string body = request.HTTPBody()->toString();
  auto pieces = analyticstest::bodyPieces(body);
  ASSERT_GE(pieces.size(), 3u);
  std::string end = ns::componentsJoinedByString({pieces.end() - 3, pieces.end()}, "&");
  EXPECT_EQ(end, tail);
  EXPECT_EQ(std::set<std::string>(pieces.begin(), pieces.end() - 3), parameters);
  EXPECT_EQ(request.HTTPMethod(), "POST");
  EXPECT_EQ(request.URL()->absoluteString(), "http://127.0.0.1:9/collect");
  EXPECT_EQ(request.valueForHTTPHeaderField("Content-Type"),
            "application/x-www-form-urlencoded; charset=UTF-8");
  EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), std::to_string(body.size()));
  EXPECT_EQ(request.valueForHTTPHeaderField("User-Agent"), kUserAgent);
  EXPECT_EQ(request.cachePolicy(), ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData);
}

TEST(MAIRequestBuilderTest, AScreenViewAndAnEventWithCyrillicValuesGiveTheExactRequest) {
  RussianTablet device;
  auto state = MAITrackerState::trackerStateWithTrackingId("UA-7", "c-1", "Каталог", "1.0");
  ASSERT_TRUE(state);
  const std::set<std::string> common{
      "v=1",      "tid=UA-7",    "cid=c-1",
      "_v=mi1b4", "sd=24-bit",   "an=%D0%9A%D0%B0%D1%82%D0%B0%D0%BB%D0%BE%D0%B3",
      "av=1.0",   "sr=768x1024", "ul=ru"};
  state->setAppScreen("Главная");
  state->model()->setValue(ns::Value(""), "&empty", true);
  auto view = MAIHitBuilder::hitWithType(kMAIHitFormatViewHitType, *state->model());
  ASSERT_TRUE(view);
  (*view)["z"] = "42";
  const double queuedAt = 1700000000.25;
  auto request = requestFor(*view, queuedAt);
  ASSERT_TRUE(request);
  auto expected = common;
  expected.insert({"cd=%D0%93%D0%BB%D0%B0%D0%B2%D0%BD%D0%B0%D1%8F", "t=appview", "empty"});
  expectBody(*request, expected, "ht=1700000000250&qt=5000&z=42");

  state->setEventParameters("Home Screen", "Переход на вкладку", "новые поступления", ns::Value());
  auto event = MAIHitBuilder::hitWithType(kMAIHitFormatEventHitType, *state->model());
  ASSERT_TRUE(event);
  (*event)["z"] = "43";
  request = requestFor(*event, queuedAt);
  expected = common;
  expected.insert({"cd=%D0%93%D0%BB%D0%B0%D0%B2%D0%BD%D0%B0%D1%8F", "t=event", "ec=Home+Screen",
                   "ea=%D0%9F%D0%B5%D1%80%D0%B5%D1%85%D0%BE%D0%B4+%D0%BD%D0%B0+%D0%B2%D0%BA%D0%BB%D0%B0%D0%"
                   "B4%D0%BA%D1%83",
                   "el=%D0%BD%D0%BE%D0%B2%D1%8B%D0%B5+%D0%BF%D0%BE%D1%81%D1%82%D1%83%D0%BF%D0%BB%D0%B5%D0%BD%"
                   "D0%B8%D1%8F"});
  expectBody(*request, expected, "ht=1700000000250&qt=5000&z=43");
}

TEST(MAIRequestBuilderTest, NoQueueTimeInTheMillisecondOfQueueingAndNoRequestForAnUnreadableHit) {
  RussianTablet device;
  ns::ManualClock clock(1700000000.0);
  auto store = MAIDataStore::dataStoreWithPath(std::nullopt, nullptr);
  auto hit = store->addHit(nullptr);
  hit->setTimestamp(ns::Date(1700000000.0));
  hit->setParameters(MAIParameters{{"t", "appview"}});
  hit->setDispatchUrl(std::string("http://127.0.0.1:9/collect"));
  MAIRequestBuilder builder;
  auto request = builder.requestForHit(*hit);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->HTTPBody()->toString(), "t=appview&ht=1700000000000");

  testsupport::LogCapture log;
  hit->setValueForKey(ns::Value(ns::Data::fromString("not an archive")), "parametersData");
  EXPECT_EQ(hit->parameters(), std::nullopt);
  EXPECT_TRUE(log.contains("ERROR: Parameters deserialization exception:"));
  EXPECT_EQ(builder.requestForHit(*hit), nullptr);
  hit->setParameters(MAIParameters{{"t", "appview"}});
  hit->setDispatchUrl(std::string("not a url"));
  EXPECT_EQ(builder.requestForHit(*hit), nullptr);
}

TEST(MAIStringUtilTest, PercentCodingEscapesReservedCharactersAndRoundTrips) {
  struct Case {
    const char* name;
    const char* value;
    const char* encoded;
  } cases[] = {
      {"space", "a b", "k=a+b"},
      {"reserved", "a&b=c'd", "k=a%26b%3Dc%27d"},
      {"delimiters", ":/?#[]@!$()*,;+", "k=%3A%2F%3F%23%5B%5D%40%21%24%28%29%2A%2C%3B%2B"},
      {"unreserved", "AZaz09-._~", "k=AZaz09-._~"},
      {"empty", "", "k"},
      {"percent", "100%", "k=100%25"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MAIRequestBuilder::encodeParameter("k", c.value), c.encoded);
  }
  std::mt19937 random(12345);
  for (int round = 0; round < 500; ++round) {
    std::u32string points;
    for (int i = random() % 12; i > 0; --i) {
      char32_t c = random() % 4 == 0 ? random() % 0x80 : random() % 0x10FFFF;
      if (c >= 0xD800 && c < 0xE000) c = 0x41;
      points += c;
    }
    std::u16string utf16;
    for (char32_t c : points) {
      if (c < 0x10000) {
        utf16 += static_cast<char16_t>(c);
      } else {
        utf16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        utf16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      }
    }
    std::string text = ns::fromUTF16(utf16);
    std::string encoded = MAIStringUtil::percentEncode(text);
    EXPECT_EQ(
        encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%+"),
        std::string::npos);
    EXPECT_EQ(MAIStringUtil::percentDecode(encoded), text);
  }
  EXPECT_EQ(MAIStringUtil::percentDecode("%zz"), std::nullopt);
  EXPECT_EQ(MAIStringUtil::percentDecode("%C3"), std::nullopt);
}

TEST(MAIStringUtilTest, QueriesAndUrlsDecodeToNamesAndValues) {
  using Map = std::map<std::string, std::string>;
  EXPECT_EQ(MAIStringUtil::decodeParametersFromQuery("utm_source=a+b&gclid"),
            (Map{{"utm_source", "a b"}, {"gclid", ""}}));
  EXPECT_EQ(MAIStringUtil::decodeParametersFromQuery("a=1&a=2&b=x%3Dy=z"), (Map{{"a", "2"}, {"b", "x=y=z"}}));
  // A pair that does not decode is left out instead of breaking the rest.
  EXPECT_EQ(MAIStringUtil::decodeParametersFromQuery("bad=%E0%A4&ok=1"), (Map{{"ok", "1"}}));
  EXPECT_EQ(MAIStringUtil::decodeParametersFromUrl("http://x/p?utm_campaign=%D0%BB"),
            (Map{{"utm_campaign", "л"}}));
  EXPECT_EQ(MAIStringUtil::decodeParametersFromUrl("http://x/p"), Map{});
  EXPECT_EQ(MAIStringUtil::decodeParametersFromUrl("http://x/p?"), Map{});
  EXPECT_EQ(MAIStringUtil::decodeParametersFromUrl("not a url"), std::nullopt);
  EXPECT_EQ(MAIStringUtil::trim(" \t\nid\u2028 "), "id");
}

// A locale whose decimal mark is a comma, compiled into a temporary folder (the machine may have none).
class DecimalCommaLocale {
 public:
  DecimalCommaLocale() {
    std::string command = "localedef -i ru_RU -f UTF-8 " + folder_.file("ru_RU.UTF-8") + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    setenv("LOCPATH", folder_.str().c_str(), 1);
    active_ = setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr;
  }
  ~DecimalCommaLocale() {
    setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
  }
  bool active() const { return active_; }

 private:
  testsupport::TempDir folder_;
  bool active_ = false;
};

TEST(MAIStringUtilTest, AmountsAndDecimalsUseAPointWhateverTheLocale) {
  DecimalCommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no decimal-comma locale can be made here";
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
  ASSERT_STREQ(buffer, "1,5");  // the locale is in force
  const std::pair<std::int64_t, const char*> currencies[] = {{15000000, "15"},
                                                             {1500000, "1.5"},
                                                             {250000, ".25"},
                                                             {-2000000, "-2"},
                                                             {0, "0"},
                                                             {-250000, "-.25"},
                                                             {1, ".000001"},
                                                             {INT64_MIN, "-9223372036854.775808"},
                                                             {123456789, "123.456789"}};
  for (const auto& [micros, text] : currencies)
    EXPECT_EQ(MAIStringUtil::currencyMicrosString(micros), text) << micros;
  const std::tuple<double, int, const char*> decimals[] = {
      {100, 2, "100"}, {12.5, 2, "12.5"}, {0, 2, "0"},       {33.333, 2, "33.33"},
      {0.005, 1, "0"}, {1200, 0, "1200"}, {-1.10, 2, "-1.1"}};
  for (const auto& [value, places, text] : decimals)
    EXPECT_EQ(MAIStringUtil::decimalString(value, places), text) << value;
  EXPECT_EQ(MAIStringUtil::intString(-5), "-5");
  EXPECT_EQ(MAIStringUtil::uintString(UINT64_MAX), "18446744073709551615");
}

TEST(MAIHitUtilTest, DeviceFactsComeFromThePlatform) {
  EXPECT_EQ(MAIHitUtil::systemLanguageFromLanguages({"RU", "en"}), "ru");
  EXPECT_EQ(MAIHitUtil::systemLanguageFromLanguages({}), "en");
  EXPECT_EQ(MAIHitUtil::systemCountryFromLocale({"ru", "RU"}), "ru");
  EXPECT_EQ(MAIHitUtil::millisecondsElapsedFrom(ns::Date(1), ns::Date(2.0019)), 1001);
  auto previous = ui::Device::setProfile(ui::DeviceProfile::phoneTall());
  EXPECT_EQ(MAIHitUtil::systemScreenResolution(), "320x568");
  ui::Device::setProfile(previous);
  RussianTablet device;
  EXPECT_EQ(MAIHitUtil::userAgentString(), kUserAgent);
}

}  // namespace
