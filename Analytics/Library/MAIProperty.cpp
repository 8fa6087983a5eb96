#include "Analytics/Library/MAIProperty.h"

#include <mutex>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAICoreDataUtil.h"
#include "Foundation/ClassRegistry.h"

cd::EntityDescriptionPtr MAIProperty::entityDescription() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    ns::ClassRegistry::shared().registerClass<MAIProperty>("MAIProperty", "ManagedObject");
  });
  auto entity = std::make_shared<cd::EntityDescription>();
  entity->setName("MAIProperty");
  entity->setManagedObjectClassName("MAIProperty");
  entity->setProperties({
      MAICoreDataUtil::attributeNamed(kPropertyNameField, cd::AttributeType::String, true, true),
      MAICoreDataUtil::attributeNamed("string", cd::AttributeType::String, false, false),
      MAICoreDataUtil::attributeNamed("number", cd::AttributeType::Integer64, false, false),
      MAICoreDataUtil::attributeNamed("maiVersion", cd::AttributeType::String, true, true),
  });
  return entity;
}

std::optional<std::string> MAIProperty::name() const {
  return MAICoreDataUtil::stringValue(*this, kPropertyNameField);
}
void MAIProperty::setName(std::optional<std::string> name) {
  setValueForKey(MAICoreDataUtil::optionalValue(name), kPropertyNameField);
}
std::optional<std::string> MAIProperty::string() const {
  return MAICoreDataUtil::stringValue(*this, "string");
}
void MAIProperty::setString(std::optional<std::string> value) {
  setValueForKey(MAICoreDataUtil::optionalValue(value), "string");
}

std::optional<std::int64_t> MAIProperty::number() const {
  ns::Value value = valueForKey("number");
  if (value.isNil()) return std::nullopt;
  return value.longLongValue();
}

void MAIProperty::setNumber(std::optional<std::int64_t> value) {
  setValueForKey(value ? ns::Value(*value) : ns::Value(), "number");
}

std::optional<std::string> MAIProperty::maiVersion() const {
  return MAICoreDataUtil::stringValue(*this, "maiVersion");
}
void MAIProperty::setMaiVersion(std::optional<std::string> version) {
  setValueForKey(MAICoreDataUtil::optionalValue(version), "maiVersion");
}
