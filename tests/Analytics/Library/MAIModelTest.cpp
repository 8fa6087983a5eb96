#include <gtest/gtest.h>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIHitBuilder.h"
#include "Analytics/Library/MAIHitFormat.h"
#include "Analytics/Library/MAIModel.h"
#include "support/LogCapture.h"

namespace {

MAIModelPtr newModel() {
  return std::make_shared<MAIModel>()->initWithMetaModel(MAIHitMetaModel::sharedInstance());
}

TEST(MAIHitFormatTest, TheTableHasEveryRowOnce) {
  EXPECT_EQ(MAIHitFormat::allKeys().size(), 58u);
  EXPECT_EQ(MAIHitFormat::hitMetaInfos().size(), 58u);
  EXPECT_EQ(MAIHitMetaModel::sharedInstance()->allKeys().size(), 58u);
  EXPECT_EQ(MAIHitFormat::metaInfoForKey("description")->urlParameter(), "cd");
  EXPECT_EQ(MAIHitMetaModel::sharedInstance()->keyForUrlParameter("exf"), "exFatal");
  EXPECT_EQ(MAIHitMetaModel::sharedInstance(), MAIHitMetaModel::sharedInstance());
  testsupport::LogCapture log;
  EXPECT_EQ(std::make_shared<MAIMetaInfo>()->initWithUrlParam("", false, std::nullopt, nullptr, nullptr),
            nullptr);
  EXPECT_TRUE(log.contains("ERROR: Missing or empty URL parameter!"));
}

TEST(MAIModelTest, ReadOnlyRowsRefuseTheSetterAndTakeTheRawSetter) {
  auto model = newModel();
  testsupport::LogCapture log;
  for (const char* key : {"apiVersion", "trackingId", "clientId", "clientVersion", "reserved", "x10data",
                          "queueTime", "cacheBuster", "hitTime"}) {
    SCOPED_TRACE(key);
    log.clear();
    EXPECT_FALSE(model->setValue(ns::Value("x"), key));
    EXPECT_TRUE(
        log.contains(std::string("ERROR: Trying to set key ") + key + ", but this field is read-only."));
    EXPECT_EQ(model->get(key), std::nullopt);
    EXPECT_TRUE(model->rawSetValue(ns::Value("raw"), key, false));
    EXPECT_EQ(model->get(key), "raw");
  }
  // The raw setter's own temporary flag changes nothing: the row decides.
  model->rawSetValue(ns::Value("1"), "trackingId", true);
  model->clearTemporaryValues();
  EXPECT_EQ(model->get("trackingId"), "1");
  model->rawSetValue(ns::Value("7"), "cacheBuster", false);
  model->clearTemporaryValues();
  EXPECT_EQ(model->get("cacheBuster"), std::nullopt);
}

TEST(MAIModelTest, ValuesAndKeysResolveAsTheTableSays) {
  auto model = newModel();
  testsupport::LogCapture log;
  EXPECT_TRUE(model->setValue(ns::Value("Home"), "&cd"));
  EXPECT_EQ(model->values().at("description"), "Home");
  EXPECT_TRUE(model->setValue(ns::Value("custom"), "&xyz"));
  EXPECT_TRUE(model->setValue(ns::Value(5), "&cm1"));
  EXPECT_TRUE(model->setValue(ns::Value(2.5), "appVersion"));
  EXPECT_TRUE(model->setValue(ns::Value("never sent"), "noSuchKey"));
  EXPECT_FALSE(model->setValue(ns::Value(ns::Date(0)), "appName"));
  EXPECT_TRUE(log.contains("ERROR: Cannot set non-string value"));
  // The event category is temporary by its row, whatever the caller asks.
  EXPECT_TRUE(model->setValue(ns::Value("cat"), "eventCategory", false));
  // Values equal to their row's assumed value are left out; others go under their URL parameter.
  for (const auto& [key, value] :
       std::vector<std::pair<std::string, std::string>>{{"sampleRate", "100"},
                                                        {"anonymizeIp", "0"},
                                                        {"exFatal", "1"},
                                                        {"transactionRevenue", "0"},
                                                        {"itemQuantity", "0"},
                                                        {"itemPrice", "0"},
                                                        {"transactionTax", "0"},
                                                        {"transactionShipping", "0"}})
    model->setValue(ns::Value(value), key);
  MAIParameters first = model->paramsWithValues();
  EXPECT_EQ(first,
            (MAIParameters{{"cd", "Home"}, {"xyz", "custom"}, {"cm1", "5"}, {"av", "2.5"}, {"ec", "cat"}}));
  model->clearTemporaryValues();
  model->setValue(ns::Value("50"), "sampleRate");
  EXPECT_EQ(model->paramsWithValues(),
            (MAIParameters{{"cd", "Home"}, {"xyz", "custom"}, {"cm1", "5"}, {"av", "2.5"}, {"sf", "50"}}));
}

TEST(MAIModelTest, ATemporaryRemovalHidesAPermanentValueForOneHit) {
  auto model = newModel();
  model->setValue(ns::Value("Home"), "description");
  model->setValue(ns::Value(), "description", true);
  EXPECT_EQ(model->get("description"), std::nullopt);
  EXPECT_FALSE(model->paramsWithValues().contains("cd"));
  model->clearTemporaryValues();
  EXPECT_EQ(model->paramsWithValues().at("cd"), "Home");
  // A temporary value over a permanent one, then a permanent set, which drops the temporary one.
  model->setValue(ns::Value("Once"), "description", true);
  EXPECT_EQ(model->get("description"), "Once");
  model->setValue(ns::Value("Later"), "description");
  EXPECT_EQ(model->temporaryValues().count("description"), 0u);
  model->setValue(ns::Value(), "description");
  EXPECT_EQ(model->get("description"), std::nullopt);
  // Removing what is not there leaves no marker behind.
  model->setValue(ns::Value(), "referrer", true);
  EXPECT_TRUE(model->temporaryValues().empty());
}

TEST(MAIModelTest, SettingFromADictionarySetsEveryPairAndReportsAnyFailure) {
  auto model = newModel();
  testsupport::LogCapture log;
  EXPECT_FALSE(model->setFromDictionary({{"eventLabel", "l"}, {"clientId", "refused"}, {"&cd3", 7}}, true));
  EXPECT_EQ(model->get("eventLabel"), "l");
  EXPECT_EQ(model->get("&cd3"), "7");
  EXPECT_EQ(model->get("clientId"), std::nullopt);
  model->clearTemporaryValues();
  EXPECT_EQ(model->get("&cd3"), std::nullopt);
}

struct MissingCase {
  const char* hitType;
  std::vector<std::string> unset;
  const char* message;  // nullptr: the hit is built
};

TEST(MAIHitBuilderTest, RequiredParametersAreCheckedInOrderAndTemporaryValuesClearedAlways) {
  const MissingCase cases[] = {
      {"appview", {}, nullptr},
      {"appview", {"description"}, "Missing parameter(s): description"},
      {"event", {"clientId", "appName"}, "Missing parameter(s): clientId, appName"},
      {"social", {}, "Missing parameter(s): socialNetwork, socialAction"},
      {"item", {"trackingId"}, "Missing parameter(s): transactionId, itemName, trackingId"},
      {"tran", {}, "Missing parameter(s): transactionId"},
      {"exception", {}, nullptr},
      {"timing", {}, nullptr},
      {"mystery", {}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.hitType) + (c.message ? c.message : ""));
    auto model = newModel();
    for (const char* key : {"apiVersion", "trackingId", "clientId", "appName"})
      model->rawSetValue(ns::Value("v"), key, false);
    model->setValue(ns::Value("Screen"), "description");
    for (const auto& key : c.unset) model->rawSetValue(ns::Value(), key, false);
    model->setValue(ns::Value("temporary"), "eventLabel");
    testsupport::LogCapture log;
    auto hit = MAIHitBuilder::hitWithType(c.hitType, *model);
    EXPECT_EQ(hit.has_value(), c.message == nullptr);
    if (c.message) {
      EXPECT_TRUE(log.contains(std::string("ERROR: ") + c.message)) << testing::PrintToString(log.lines());
    }
    if (hit) {
      EXPECT_EQ(hit->at("t"), c.hitType);
      EXPECT_EQ(hit->at("el"), "temporary");
      EXPECT_TRUE(hit->contains("sr") && hit->contains("ul"));
    }
    EXPECT_TRUE(model->temporaryValues().empty());
    EXPECT_EQ(model->get("hitType"), std::nullopt);
  }
}

}  // namespace
