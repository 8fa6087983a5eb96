// The service URLs and the reply-value coercions of TLSettings.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "Classes/TLSettings.h"
#include "ServiceHostOverride.h"
#include "support/LogCapture.h"

namespace {

using ns::Value;

TEST(TLSettingsURLTest, EveryBuilderFormatsItsTemplate) {
  testsupport::ServiceHostOverride host("catalogue.test:8081");
  const std::string api = "http://catalogue.test:8081/api/mobile?platform=ios&method=";
  struct Case {
    const char* name;
    std::string actual;
    std::string expected;
  };
  const Case cases[] = {
      {"categoriesUrl", TLSettings::categoriesUrl(), api + "get_categories"},
      {"categoryDetailsUrl", TLSettings::categoryDetailsUrl(7), api + "get_category&category_id=7"},
      {"genresUrl", TLSettings::genresUrl(31), api + "get_category&category_id=31"},
      {"topCategoryBanerUrl", TLSettings::topCategoryBanerUrl(-2), api + "get_category&category_id=-2"},
      {"getPostersURL", TLSettings::getPostersURL(), api + "get_posters&poster_size=1000x424&limit=12"},
      {"postersInCategories", TLSettings::postersInCategories(),
       api + "get_posters&poster_size=1000x240&limit=7"},
      {"getURLforSeriesListFilm string", TLSettings::getURLforSeriesListFilm(Value("42")),
       api + "get_title&title_id=42"},
      {"getURLforSeriesListFilm number", TLSettings::getURLforSeriesListFilm(Value(42)),
       api + "get_title&title_id=42"},
      {"getURLforAdvancedListFilm", TLSettings::getURLforAdvancedListFilm(Value("1001")),
       api + "get_related&title_id=1001"},
      {"getActorAPIwithID", TLSettings::getActorAPIwithID(Value(3001)), api + "get_person&person_id=3001"},
      {"getEpisodeForID", TLSettings::getEpisodeForID(Value("50003")), api + "get_episode&episode_id=50003"},
      {"categoryTitles", TLSettings::categoryTitles(5, "popularity", "desc", 2),
       "http://catalogue.test:8081/api/mobile.pl?platform=ios&method=get_category_titles&category_id=5"
       "&orderby=popularity&orderdir=desc&limit=16&page=2"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

// An id longer than any the service gives out makes no URL, however it was sent.
TEST(TLSettingsURLTest, IdBuildersRefuseIdsLongerThanAnyRealId) {
  testsupport::ServiceHostOverride host("catalogue.test");
  using Builder = std::string (*)(const ns::Value&);
  const std::pair<const char*, Builder> builders[] = {
      {"get_title&title_id=", TLSettings::getURLforSeriesListFilm},
      {"get_related&title_id=", TLSettings::getURLforAdvancedListFilm},
      {"get_person&person_id=", TLSettings::getActorAPIwithID},
      {"get_episode&episode_id=", TLSettings::getEpisodeForID},
  };
  struct Case {
    const char* name;
    Value id;
    bool built;
  };
  const Case cases[] = {
      {"64 digits", Value(std::string(64, '7')), true},
      {"65 digits", Value(std::string(65, '7')), false},
      {"a megabyte of digits", Value(std::string(1 << 20, '1')), false},
      {"65 letters", Value(std::string(65, 'x')), false},
      {"a number", Value(3000000000LL), true},
  };
  for (const auto& [method, build] : builders) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(method) + " " + c.name);
      std::string url = build(c.id);
      if (c.built)
        EXPECT_EQ(url, "http://catalogue.test/api/mobile?platform=ios&method=" + std::string(method) +
                           ns::format("%@", c.id));
      else
        EXPECT_EQ(url, "");
    }
  }
}

TEST(TLSettingsURLTest, SearchQueryEscapesEverythingButUnreservedCharacters) {
  testsupport::ServiceHostOverride host("catalogue.test");
  const std::string prefix = "http://catalogue.test/api/mobile?platform=ios&method=get_search&q=";
  struct Case {
    const char* query;
    const char* escaped;
  };
  const Case cases[] = {
      {"кино", "%D0%BA%D0%B8%D0%BD%D0%BE"},
      {"два слова", "%D0%B4%D0%B2%D0%B0%20%D1%81%D0%BB%D0%BE%D0%B2%D0%B0"},
      {"mail@host", "mail%40host"},
      // Reserved characters would change the request: "&" starts a parameter, "#" drops the rest.
      {"tom&jerry", "tom%26jerry"},
      {"c++", "c%2B%2B"},
      {"#1", "%231"},
      {"a=b?c", "a%3Db%3Fc"},
      {"100%/50", "100%25%2F50"},
      {"Safe-Name_1.0~", "Safe-Name_1.0~"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TLSettings::getSearchUrl(c.query), prefix + c.escaped + "&limit=50") << c.query;
}

TEST(TLSettingsURLTest, ServiceHostComesFromTheEnvironmentWhenWellFormed) {
  std::string builtIn;
  {
    testsupport::ServiceHostOverride none(nullptr);
    builtIn = TLSettings::serviceHost();
  }
  ASSERT_FALSE(builtIn.empty());
  struct Case {
    const char* value;
    bool accepted;
  };
  const Case cases[] = {
      {"127.0.0.1:8080", true}, {"catalogue.test", true}, {"my-host.example:65535", true},
      {"[::1]:8080", true},     {"[::1]", true},          {"", false},
      {"bad host", false},      {"host:0", false},        {"host:70000", false},
      {"host:", false},         {"a/b", false},           {"host:80/x", false},
      {"[::1", false},          {"-host", false},         {"user@host", false},
      {"[zz]:1", false},
  };
  for (const Case& c : cases) {
    testsupport::LogCapture log;
    testsupport::ServiceHostOverride host(c.value);
    EXPECT_EQ(TLSettings::serviceHost(), c.accepted ? std::string(c.value) : builtIn) << c.value;
    // A value that is set but refused says so; an empty one is simply unset.
    EXPECT_EQ(log.contains("VCC_SERVICE_HOST"), !c.accepted && *c.value) << c.value;
  }
}

TEST(TLSettingsCoercionTest, StringsAndContainersTakeOnlyTheirOwnType) {
  const Value dictionary = ns::Dictionary{{"a", 1}};
  const Value array = ns::Array{1, 2};
  struct Case {
    const char* name;
    Value value;
    std::string string;
    std::optional<std::string> stringOrNil;
    bool isDictionary, isArray;
  };
  const Case cases[] = {
      {"string", Value("abc"), "abc", "abc", false, false},
      {"empty string", Value(""), "", std::nullopt, false, false},
      {"number", Value(5), "", std::nullopt, false, false},
      {"double", Value(2.5), "", std::nullopt, false, false},
      {"bool", Value(true), "", std::nullopt, false, false},
      {"null", Value::null(), "", std::nullopt, false, false},
      {"nil", Value(), "", std::nullopt, false, false},
      {"dictionary", dictionary, "", std::nullopt, true, false},
      {"array", array, "", std::nullopt, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TLSettings::stringFromObject(c.value), c.string) << c.name;
    EXPECT_EQ(TLSettings::stringOrNilFromObject(c.value), c.stringOrNil) << c.name;
    EXPECT_EQ(TLSettings::dictionaryOrNilFromObject(c.value), c.isDictionary ? c.value : Value()) << c.name;
    EXPECT_EQ(TLSettings::arrayOrNilFromObject(c.value), c.isArray ? c.value : Value()) << c.name;
  }
}

TEST(TLSettingsCoercionTest, IntReadsNumbersAndNumericStringsAndSaturates) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    Value value;
    int expected;
  };
  const Case cases[] = {
      {"integer", Value(42), 42},
      {"negative", Value(-7), -7},
      {"fraction cut towards zero", Value(2.7), 2},
      {"negative fraction", Value(-2.7), -2},
      {"true", Value(true), 1},
      {"false", Value(false), 0},
      {"numeric string", Value("15"), 15},
      {"digits then letters", Value("12abc"), 12},
      {"blanks and sign", Value("  -8x"), -8},
      {"letters", Value("abc"), 0},
      {"empty string", Value(""), 0},
      {"null", Value::null(), 0},
      {"nil", Value(), 0},
      {"dictionary", Value(ns::Dictionary{{"a", 1}}), 0},
      {"array", Value(ns::Array{5}), 0},
      // Out of range: saturate instead of the undefined conversion.
      {"1e20", Value(1e20), INT_MAX},
      {"-1e20", Value(-1e20), INT_MIN},
      {"infinity", Value(inf), INT_MAX},
      {"minus infinity", Value(-inf), INT_MIN},
      {"NaN", Value(std::nan("")), 0},
      {"64-bit integer", Value(int64_t{5000000000}), INT_MAX},
      {"long digit string", Value("99999999999999999999"), INT_MAX},
      {"long negative digit string", Value("-99999999999"), INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(TLSettings::intFromObject(c.value), c.expected) << c.name;
}

}  // namespace
