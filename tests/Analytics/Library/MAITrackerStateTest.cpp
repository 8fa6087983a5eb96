#include <gtest/gtest.h>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIHitBuilder.h"
#include "Analytics/Library/MAIHitFormat.h"
#include "Analytics/Library/MAITrackerState.h"
#include "AnalyticsTestSupport.h"
#include "support/LogCapture.h"

namespace {

MAITrackerStatePtr newState(const std::string& clientId = "client") {
  return MAITrackerState::trackerStateWithTrackingId("UA-1", clientId, "App", std::nullopt);
}

MAIParameters nextHit(MAITrackerState& state, const char* type = kMAIHitFormatEventHitType) {
  auto hit = MAIHitBuilder::hitWithType(type, *state.model());
  return hit ? *hit : MAIParameters{};
}

TEST(MAITrackerStateTest, CreationRefusesMissingIdentifiers) {
  testsupport::LogCapture log;
  struct Case {
    std::optional<std::string> trackingId, clientId, appName;
    const char* message;
  } cases[] = {
      {std::nullopt, "c", "a", "Tracking ID must not be nil or empty."},
      {"t", "c", "", "Application name must not be nil or empty."},
      {"", "", "", "Tracking ID must not be nil or empty."},
      {"t", "", "a", "Client ID must not be nil or empty."},
  };
  for (const auto& c : cases) {
    log.clear();
    EXPECT_EQ(MAITrackerState::trackerStateWithTrackingId(c.trackingId, c.clientId, c.appName, "1"), nullptr);
    EXPECT_TRUE(log.contains(c.message)) << c.message;
  }
  auto state = newState();
  ASSERT_TRUE(state);
  EXPECT_EQ(state->trackingId(), "UA-1");
  EXPECT_EQ(state->appVersion(), std::nullopt);
  MAIParameters hit = nextHit(*state);
  EXPECT_FALSE(hit.contains("aip"));
  EXPECT_FALSE(hit.contains("sf"));
  EXPECT_FALSE(hit.contains("av"));
  state->setAnonymize(true);
  EXPECT_TRUE(state->anonymize());
  EXPECT_EQ(nextHit(*state).at("aip"), "1");
  EXPECT_EQ(nextHit(*state).at("aip"), "1");
}

TEST(MAITrackerStateTest, SamplingIsDeterministicAndRatesAreClamped) {
  testsupport::LogCapture log;
  auto state = newState();
  state->setSampleRate(150);
  EXPECT_EQ(state->sampleRate(), 100);
  EXPECT_TRUE(log.contains("ERROR: Invalid sample rate 150.00 supplied - truncated to 100.00."));
  EXPECT_TRUE(state->sampled());
  state->setSampleRate(-3);
  EXPECT_EQ(state->sampleRate(), 0);
  EXPECT_TRUE(log.contains("Invalid sample rate -3.00 supplied - truncated to 0.00."));
  EXPECT_FALSE(state->sampled());
  EXPECT_EQ(nextHit(*state).at("sf"), "0");
  state->setSampleRate(33.333);
  EXPECT_EQ(nextHit(*state).at("sf"), "33.33");

  // Half the clients are sampled at 50, each always the same way.
  int sampled = 0;
  for (int i = 0; i < 2000; ++i) {
    std::string id = "client-" + std::to_string(i);
    auto a = newState(id), b = newState(id);
    a->setSampleRate(50);
    b->setSampleRate(50);
    EXPECT_EQ(a->sampled(), b->sampled());
    sampled += a->sampled();
    b->setSampleRate(10);
    if (b->sampled()) {
      EXPECT_TRUE(a->sampled()) << "a client sampled at 10 is sampled at 50";
    }
  }
  EXPECT_GT(sampled, 850);
  EXPECT_LT(sampled, 1150);
}

TEST(MAITrackerStateTest, DispatchUrlsMustHaveTheirScheme) {
  analyticstest::ScopedEnv noOverride("VCC_COLLECT_URL", nullptr);
  auto state = newState();
  // The service's host, reached as the service is: over plain HTTP.
  EXPECT_EQ(state->dispatchUrl(), state->httpDispatchUrl());
  EXPECT_TRUE(state->dispatchUrl().starts_with("http://"));
  EXPECT_TRUE(state->dispatchUrl().ends_with("/collect"));
  state->setUseHttps(true);
  EXPECT_TRUE(state->dispatchUrl().starts_with("https://"));
  testsupport::LogCapture log;
  struct Case {
    bool https;
    std::optional<std::string> url;
    const char* message;  // nullptr: accepted
  } cases[] = {
      {false, "https://x/collect", "Non-HTTP URL https://x/collect rejected."},
      {false, "not a url", "Malformed HTTP URL not a url rejected."},
      {false, std::nullopt, "Malformed HTTP URL (null) rejected."},
      {false, "HTTP://h:1/collect", nullptr},
      {true, "http://x/collect", "Non-HTTPS URL http://x/collect rejected."},
      {true, "ftp://x/collect", "Non-HTTPS URL ftp://x/collect rejected."},
      {true, "https://s/collect", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url.value_or("(null)"));
    log.clear();
    std::string before = c.https ? state->httpsDispatchUrl() : state->httpDispatchUrl();
    c.https ? state->setHttpsDispatchUrl(c.url) : state->setHttpDispatchUrl(c.url);
    std::string after = c.https ? state->httpsDispatchUrl() : state->httpDispatchUrl();
    if (c.message) {
      EXPECT_TRUE(log.contains(c.message)) << testing::PrintToString(log.lines());
      EXPECT_EQ(after, before);
    } else {
      EXPECT_EQ(after, *c.url);
    }
  }
  EXPECT_EQ(state->dispatchUrl(), "https://s/collect");
  state->setUseHttps(false);
  EXPECT_EQ(state->dispatchUrl(), "HTTP://h:1/collect");

  analyticstest::ScopedEnv local("VCC_COLLECT_URL", "http://127.0.0.1:1234/collect");
  auto pointed = newState();
  EXPECT_EQ(pointed->dispatchUrl(), "http://127.0.0.1:1234/collect");
  EXPECT_EQ(pointed->httpDispatchUrl(), "http://127.0.0.1:1234/collect");
}

TEST(MAITrackerStateTest, ReferrerAndCampaignValuesLastOneHit) {
  auto state = newState();
  state->setReferrerUrl("http://ref/");
  state->setCampaignUrl("http://x/land?utm_source=a+b&utm_campaign=%D0%B7%D0%B8%D0%BC%D0%B0&gclid&utm_id=9");
  MAIParameters first = nextHit(*state);
  EXPECT_EQ(first.at("dr"), "http://ref/");
  EXPECT_EQ(first.at("cs"), "a b");
  EXPECT_EQ(first.at("cn"), "зима");
  EXPECT_EQ(first.at("gclid"), "");
  for (const char* absent : {"cm", "ck", "cc", "ci", "dclid", "gmob_t"})
    EXPECT_FALSE(first.contains(absent)) << absent;
  MAIParameters second = nextHit(*state);
  for (const char* gone : {"dr", "cs", "cn", "gclid"}) EXPECT_FALSE(second.contains(gone)) << gone;
  EXPECT_EQ(state->campaignUrl().value_or(""),
            "http://x/land?utm_source=a+b&utm_campaign=%D0%B7%D0%B8%D0%BC%D0%B0&gclid&utm_id=9");
}

TEST(MAITrackerStateTest, PerHitSettersWriteTheHitsOwnValues) {
  analyticstest::RussianTablet device;
  auto state = newState();
  state->setTimingParameters("load", 1.2345, "net", "home");
  EXPECT_EQ(nextHit(*state, kMAIHitFormatTimingHitType), (MAIParameters{{"v", "1"},
                                                                        {"tid", "UA-1"},
                                                                        {"cid", "client"},
                                                                        {"_v", "mi1b4"},
                                                                        {"sd", "24-bit"},
                                                                        {"an", "App"},
                                                                        {"t", "timing"},
                                                                        {"sr", "768x1024"},
                                                                        {"ul", "ru"},
                                                                        {"utv", "load"},
                                                                        {"utt", "1235"},
                                                                        {"utc", "net"},
                                                                        {"utl", "home"}}));
  state->setEventParameters("c", "a", std::nullopt, ns::Value(2.5));
  MAIParameters event = nextHit(*state);
  EXPECT_EQ(event.at("ev"), "2.5");
  EXPECT_FALSE(event.contains("el"));
  state->setExceptionParameters("boom", false);
  EXPECT_EQ(nextHit(*state, kMAIHitFormatExceptionHitType).at("exf"), "0");
  state->setExceptionParameters("boom", true);
  EXPECT_FALSE(nextHit(*state, kMAIHitFormatExceptionHitType).contains("exf"));
  MAITransaction transaction{"T1", "shop", 15250000, 0, -1000000, {{"sku", "Film", "films", 1500000, 2}}};
  state->setItemParameters(transaction.items[0], transaction);
  MAIParameters item = nextHit(*state, kMAIHitFormatItemHitType);
  EXPECT_EQ(item.at("ip"), "1.5");
  EXPECT_EQ(item.at("iq"), "2");
  EXPECT_EQ(item.at("ti"), "T1");
  state->setTransactionParameters(transaction);
  MAIParameters tran = nextHit(*state, kMAIHitFormatTransactionHitType);
  EXPECT_EQ(tran.at("tr"), "15.25");
  EXPECT_FALSE(tran.contains("ts"));
  EXPECT_EQ(tran.at("tt"), "-1");
  state->setSocialParameters("vk", "share", std::nullopt);
  MAIParameters social = nextHit(*state, kMAIHitFormatSocialHitType);
  EXPECT_EQ(social.at("sn"), "vk");
  EXPECT_FALSE(social.contains("st"));
}

}  // namespace
