#include "Analytics/Library/MAIHit.h"

#include <mutex>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAICoreDataUtil.h"
#include "Analytics/Library/MAILog.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/KeyedArchiver.h"

cd::EntityDescriptionPtr MAIHit::entityDescription() {
  static std::once_flag registered;
  std::call_once(registered,
                 [] { ns::ClassRegistry::shared().registerClass<MAIHit>("MAIHit", "ManagedObject"); });
  auto entity = std::make_shared<cd::EntityDescription>();
  entity->setName("MAIHit");
  entity->setManagedObjectClassName("MAIHit");
  entity->setProperties({
      MAICoreDataUtil::attributeNamed(kTimestampField, cd::AttributeType::Date, true, true),
      MAICoreDataUtil::attributeNamed("parametersData", cd::AttributeType::Binary, false, true),
      MAICoreDataUtil::attributeNamed("dispatchUrl", cd::AttributeType::String, true, true),
      MAICoreDataUtil::attributeNamed("maiVersion", cd::AttributeType::String, true, true),
  });
  return entity;
}

std::optional<ns::Date> MAIHit::timestamp() const {
  ns::Value value = valueForKey(kTimestampField);
  if (auto date = value.asDate()) return *date;
  return std::nullopt;
}

void MAIHit::setTimestamp(std::optional<ns::Date> timestamp) {
  setValueForKey(timestamp ? ns::Value(*timestamp) : ns::Value(), kTimestampField);
}

std::optional<std::string> MAIHit::dispatchUrl() const {
  return MAICoreDataUtil::stringValue(*this, "dispatchUrl");
}
void MAIHit::setDispatchUrl(std::optional<std::string> url) {
  setValueForKey(MAICoreDataUtil::optionalValue(url), "dispatchUrl");
}
std::optional<std::string> MAIHit::maiVersion() const {
  return MAICoreDataUtil::stringValue(*this, "maiVersion");
}
void MAIHit::setMaiVersion(std::optional<std::string> version) {
  setValueForKey(MAICoreDataUtil::optionalValue(version), "maiVersion");
}

std::optional<MAIParameters> MAIHit::parameters() const {
  ns::Value data = valueForKey("parametersData");
  if (!data.isData()) return std::nullopt;
  ns::ErrorPtr error;
  ns::Value decoded = ns::KeyedUnarchiver::unarchiveObjectWithData(*data.asData(), &error);
  const ns::Dictionary* dictionary = decoded.asDictionary();
  if (!dictionary) {
    MAI_LOG_ERROR("Parameters deserialization exception: %@",
                  error ? error->localizedDescription() : std::string("not a dictionary"));
    return std::nullopt;
  }
  MAIParameters parameters;
  for (const auto& [key, value] : *dictionary) {
    if (!value.isString()) {
      MAI_LOG_ERROR("Parameters deserialization exception: %@", "a value is not a string");
      return std::nullopt;
    }
    parameters.emplace(key, *value.asString());
  }
  return parameters;
}

void MAIHit::setParameters(const std::optional<MAIParameters>& parameters) {
  if (!parameters) {
    setValueForKey(ns::Value(), "parametersData");
    return;
  }
  ns::Dictionary dictionary;
  for (const auto& [key, value] : *parameters) dictionary.set(key, value);
  ns::ErrorPtr error;
  auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(std::move(dictionary)), &error);
  if (!data) {
    MAI_LOG_ERROR("Parameters serialization exception: %@", error);
    setValueForKey(ns::Value(), "parametersData");
    return;
  }
  setValueForKey(ns::Value(std::move(*data)), "parametersData");
}
