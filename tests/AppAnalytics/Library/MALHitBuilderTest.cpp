#include <gtest/gtest.h>

#include "AppAnalytics/Library/MALHitBuilder.h"
#include "AppAnalytics/Library/MALUtils.h"
#include "Foundation/Clock.h"
#include "MALTestSupport.h"
#include "UIKit/Device.h"
#include "support/LogCapture.h"

namespace {

using Text = std::optional<std::string>;

class MALHitBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = ui::Device::setProfile(ui::DeviceProfile::tablet()); }
  void TearDown() override { ui::Device::setProfile(previous_); }

  static MALEventPtr event(Text pagePath, Text category, Text action, Text label, int value) {
    auto e = std::make_shared<MALEvent>()->initWithEventID(1, 123456, 1700000000, 1700000100, 1700000200, 3,
                                                           std::move(pagePath), std::move(category),
                                                           std::move(action), std::move(label), value);
    e->setVisitorId(777);
    return e;
  }
  static std::string locale() { return MALUtils::systemLanguage() + "-" + MALUtils::systemCountry(); }
  static std::string utme(const std::string& hit) {
    std::size_t from = hit.find("&utme=") + 6;
    return hit.substr(from, hit.find('&', from) - from);
  }

  // Hits carry their creation time: a fixed clock makes them exact.
  ns::ManualClock clock_{1700000300.5};
  ui::DeviceProfile previous_;
  const std::string cookie_ = "&utmcc=__utma%3D1.777.1700000000.1700000100.1700000200.3%3B";
};

TEST_F(MALHitBuilderTest, PageviewHitIsExact) {
  auto hits =
      maltest::builder({"UA-12345-1"})
          ->constructHitRequestPath(event("/category", kMALPageviewEventCategory, {}, {}, 0), nullptr);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0], "/__utm.gif?utmwv=4.9.1mi&utmn=123456&utmcs=UTF-8&utmsr=768x1024&utmsc=24-bit&utmul=" +
                         locale() + "&utmp=%2Fcategory&utmac=UA-12345-1" + cookie_ + "&utmht=1700000300500");
}

TEST_F(MALHitBuilderTest, EventHitIsExactAndAnonymousServerTimedHitsSaySo) {
  auto e = event("/p", "video", "play", "l", 3);
  e->setAdHitId(42);
  auto hits = maltest::builder({"UA-1"})->constructHitRequestPath(e, nullptr);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0],
            "/__utm.gif?utmwv=4.9.1mi&utmn=123456&utmt=event&utme=5(video*play*l)(3)&utmcs=UTF-8"
            "&utmsr=768x1024&utmsc=24-bit&utmul=" +
                locale() + "&utmac=UA-1&utmp=%2Fp&utmhid=42" + cookie_ + "&utmht=1700000300500");

  e->setUseServerTime(true);
  e->setAnonymizeIp(true);
  hits = maltest::builder({"UA-1"})->constructHitRequestPath(e, nullptr);
  EXPECT_EQ(hits[0].substr(hits[0].size() - cookie_.size() - 6), cookie_ + "&aip=1");
}

TEST_F(MALHitBuilderTest, EventTextIsX10WithItsStructuringCharactersEscaped) {
  struct Case {
    const char* name;
    Text category, action, label;
    int value;
    const char* utme;
  } cases[] = {
      {"no label, no value", "cat", "act", {}, -1, "5(cat*act)"},
      {"label and value", "cat", "act", "l", 3, "5(cat*act*l)(3)"},
      {"zero value", "cat", "act", "", 0, "5(cat*act*)(0)"},
      {"x10 characters", "it's", "a)b", "c*d!", -1, "5(it'0s*a'1b*c'2d'3)"},
      {"URL-encoded", "a b", "x=y", "Фильм", -1, "5(a%20b*x%3Dy*%D0%A4%D0%B8%D0%BB%D1%8C%D0%BC)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto hits = maltest::builder({"UA-1"})->constructHitRequestPath(
        event({}, c.category, c.action, c.label, c.value), nullptr);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(utme(hits[0]), c.utme);
    EXPECT_EQ(hits[0].find("&utmp="), std::string::npos);  // no page path, no utmp
  }
}

TEST_F(MALHitBuilderTest, CustomVariablesFormProjectsEightNineAndEleven) {
  auto buffer = std::make_shared<MALCustomVariableBuffer>();
  auto variable = [](unsigned index, const char* name, const char* value, int scope) {
    return std::make_shared<MALCustomVariable>()->initWithIndex(index, name, value, scope);
  };
  ASSERT_TRUE(buffer->addCustomVariable(variable(2, "a", "b", 3)));
  auto b = maltest::builder({"UA-1"});
  auto pageview = event("/", kMALPageviewEventCategory, {}, {}, 0);
  pageview->setCustomVariableBuffer(buffer);
  EXPECT_EQ(b->customVariableParamsForEvent(pageview), "8(2!a)9(2!b)11(2!3)");

  ASSERT_TRUE(buffer->addCustomVariable(variable(1, "a*b", "x y", 1)));
  EXPECT_FALSE(buffer->addCustomVariable(variable(0, "n", "v", 3)));
  EXPECT_FALSE(buffer->addCustomVariable(variable(51, "n", "v", 3)));
  EXPECT_FALSE(buffer->addCustomVariable(nullptr));
  const std::string params = "8(1!a'2b*2!a)9(1!x%20y*2!b)11(1!1*2!3)";
  EXPECT_EQ(b->customVariableParamsForEvent(pageview), params);
  EXPECT_EQ(utme(b->constructHitRequestPath(pageview, nullptr)[0]), params);

  // In an event they follow the event's own text, and the whole is URL-encoded once more.
  auto e = event({}, "c", "a", {}, -1);
  e->setCustomVariableBuffer(buffer);
  EXPECT_EQ(utme(b->constructHitRequestPath(e, nullptr)[0]),
            "5(c*a)8(1!a'2b*2!a)9(1!x%2520y*2!b)11(1!1*2!3)");

  e->setCustomVariableBuffer(std::make_shared<MALCustomVariableBuffer>());
  EXPECT_EQ(b->customVariableParamsForEvent(e), "");
}

TEST_F(MALHitBuilderTest, TransactionsAndItemsLeaveZeroAmountsEmpty) {
  auto b = maltest::builder({"UA-1"});
  auto tran = event({}, kMALTransactionEventCategory, "", "", -1);
  EXPECT_EQ(b->constructTransactionRequestPath(tran), "");
  tran->setTransaction(std::make_shared<MALTransaction>()->initWithOrderID("o 1", std::nullopt, 12.5, 0, 2));
  auto hits = b->constructHitRequestPath(tran, nullptr);
  EXPECT_EQ(hits[0],
            "/__utm.gif?utmwv=4.9.1mi&utmn=123456&utmt=tran&utmtid=o%201&utmtst=&utmtto=12.500000"
            "&utmttx=&utmtsp=2.000000&utmtci=&utmtrg=&utmtco=&utmac=UA-1" +
                cookie_ + "&utmht=1700000300500");

  auto item = event({}, kMALItemEventCategory, "", "", -1);
  EXPECT_EQ(b->constructItemRequestPath(item), "");
  item->setItem(std::make_shared<MALItem>()->initWithOrderID("o1", "s/1", 3.25, 2, "Фильм", std::nullopt));
  item->setAccountId("UA-1");
  EXPECT_EQ(b->constructItemRequestPath(item),
            "/__utm.gif?utmwv=4.9.1mi&utmn=123456&utmt=item&utmtid=o1&utmipc=s%2F1&utmipn=%D0%A4%D0%B8%D0%BB%"
            "D1%8C%D0%BC"
            "&utmiva=&utmipr=3.250000&utmiqt=2&utmac=UA-1");
}

TEST_F(MALHitBuilderTest, EachAccountGetsItsOwnHitAndTheReferrerRidesInTheCookie) {
  auto referrer =
      std::make_shared<MALReferrer>()->initWithReferrer("utmcsr=news|utmccn=spring", 1700000200, 3, 2);
  auto hits = maltest::builder({"UA-1", "UA-2"})
                  ->constructHitRequestPath(event("/x", kMALPageviewEventCategory, {}, {}, 0), referrer);
  ASSERT_EQ(hits.size(), 2u);
  std::string second = hits[1];
  second.replace(second.find("utmac=UA-2"), 10, "utmac=UA-1");
  EXPECT_EQ(hits[0], second);
  EXPECT_NE(hits[0].find(cookie_ + "%2B__utmz%3D1.1700000200.3.2.utmcsr%3Dnews%7Cutmccn%3Dspring%3B&utmht="),
            std::string::npos);
  EXPECT_TRUE(maltest::builder({})
                  ->constructHitRequestPath(event("/x", kMALPageviewEventCategory, {}, {}, 0), nullptr)
                  .empty());
}

TEST(MALUtilsTest, UrlEncodingEscapesWhatAURLMayNotHoldAndItsDelimiters) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"/Фильмы и сериалы/id=5/!()",
       "%2F%D0%A4%D0%B8%D0%BB%D1%8C%D0%BC%D1%8B%20%D0%B8%20%D1%81%D0%B5%D1%80%D0%B8%D0%B0%D0%BB%D1%8B%2Fid%"
       "3D5%2F!()"},
      {";/?:@&=$+{}<>,[] ", "%3B%2F%3F%3A%40%26%3D%24%2B%7B%7D%3C%3E%2C%5B%5D%20"},
      {"aZ09-_.!~*'()", "aZ09-_.!~*'()"},
      {"100%\"|\\^`", "100%25%22%7C%5C%5E%60"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MALUtils::urlEncodeString(std::string(c.in)), c.out) << c.in;
  EXPECT_EQ(MALUtils::urlEncodeString(std::nullopt), std::nullopt);
}

TEST(MALUtilsTest, QueueTimeIsAddedOnlyToAHitWithOneReadableCreationTime) {
  testsupport::LogCapture log;
  struct Case {
    std::string hit, expected;
    bool logged;
  } cases[] = {
      {"/__utm.gif?a=1&utmht=1000", "/__utm.gif?a=1&utmht=1000&utmqt=500", false},
      {"/__utm.gif?utmht=1000&b=2", "/__utm.gif?utmht=1000&b=2&utmqt=500", false},
      {"/__utm.gif?a=1", "/__utm.gif?a=1", false},
      {"/__utm.gif?utmht=1&utmht=2", "/__utm.gif?utmht=1&utmht=2", false},
      {"/__utm.gif?utmht=abc", "/__utm.gif?utmht=abc", true},
      {"/__utm.gif?utmht=0", "/__utm.gif?utmht=0", true},
      {"/__utm.gif?utmht=99999999999999999999", "/__utm.gif?utmht=99999999999999999999", true},
  };
  for (const auto& c : cases) {
    log.clear();
    EXPECT_EQ(MALUtils::addQueueTimeParameter(c.hit, 1500), c.expected);
    EXPECT_EQ(log.contains("Error parsing utmht parameter"), c.logged) << c.hit;
  }
}

TEST(MALUtilsTest, QueryParametersAndLanguageFallBackSensibly) {
  auto params = MALUtils::paramsFromQuery(std::string("a=1&b&c=x=y&=z"));
  EXPECT_EQ(params.size(), 4u);
  EXPECT_EQ(params["a"], "1");
  EXPECT_EQ(params["b"], std::nullopt);
  EXPECT_EQ(params["c"], "x=y");
  EXPECT_EQ(params[""], "z");
  EXPECT_TRUE(MALUtils::paramsFromQuery(std::nullopt).empty());
  EXPECT_EQ(MALUtils::systemLanguageFromLanguages({}), "en");
  EXPECT_EQ(MALUtils::systemLanguageFromLanguages({"RU", "en"}), "ru");
  EXPECT_EQ(MALUtils::systemCountryFromLocale({"ru", "RU"}), "ru");
  EXPECT_EQ(MALUtils::timeMillisForDate(ns::Date(1.2345)), 1234);
}

}  // namespace
